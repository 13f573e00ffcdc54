// Stored table sets: round trips of game and status sets, and damaged sets that must be
// refused without changing the tables.

#include <gtest/gtest.h>

#include "data/dbs.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

std::vector<uint8_t> Save(const TDBManager& m, bool status) {
  TKoMemoryStream s;
  m.SaveTables(s, status);
  return s.Bytes();
}

void Load(TDBManager& m, const std::vector<uint8_t>& bytes, bool status) {
  TKoMemoryStream s(bytes);
  m.LoadTables(s, status);
}

// Two game tables (one with records of every type) and a status table.
void Fill(TDBManager& m) {
  m.CreateTable("g1", false);
  m.Active()->LoadTsv({"i int\tf float\tb bool\ts str 6", "1\t2.5\tTRUE\t\x82\xA0x", "-7\t1e300\tFALSE\tabcdef"});
  m.Active()->SetRecNo(0);
  m.CreateTable("st", true);
  m.Active()->AddField("n", DB_INT, 0);
  m.Active()->Append();
  m.CreateTable("g2", false);
}

TEST(DBStore, GameSetRoundTripsAndLeavesStatusTables) {
  TDBManager a;
  Fill(a);
  a.SetActive("g1");
  const auto game = Save(a, false);
  const auto status = Save(a, true);

  TDBManager b;
  b.CreateTable("st2", true);
  b.CreateTable("old", false);
  Load(b, game, false);
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(b.Table(0)->Name(), "st2");  // the status table stays
  EXPECT_EQ(b.FindTable("old"), -1);
  ASSERT_NE(b.Active(), nullptr);
  EXPECT_EQ(b.Active()->Name(), "g1");
  EXPECT_EQ(b.Active()->RecNo(), 0);
  EXPECT_EQ(Save(b, false), game);  // byte for byte

  std::string s;
  b.Active()->GetStr(1, 1, s);
  EXPECT_EQ(s, "1E300");

  Load(b, status, true);
  ASSERT_EQ(b.Count(), 3);
  EXPECT_EQ(b.FindTable("st2"), -1);
  EXPECT_EQ(b.Active()->Name(), "st");  // the last status table read
  EXPECT_EQ(Save(b, true), status);
}

TEST(DBStore, EmptySetsAndAnActiveNameThatIsGone) {
  TDBManager m;
  const auto empty = Save(m, false);
  EXPECT_EQ(empty, (Bytes{}.i32(100).i32(0).i32(0).b));
  m.CreateTable("s", true);
  Load(m, Bytes{}.i32(100).i32(0).str("nothere").b, false);
  EXPECT_EQ(m.Active(), nullptr);
  EXPECT_EQ(m.Count(), 1);
  Load(m, Bytes{}.i32(100).i32(0).b, true);
  EXPECT_EQ(m.Count(), 0);
  EXPECT_EQ(m.Active(), nullptr);
}

// One stored table: name, status, fields, records, current record.
Bytes OneTable(int32_t fieldSize, uint8_t type, int32_t count, int32_t current, int extraRecordBytes = 0) {
  Bytes b;
  b.i32(100).i32(1).u8(0).str("t").u8(0).i32(1).i32(fieldSize).str("f").u8(type).i32(count);
  for (int64_t k = 0; k < int64_t{count} * (fieldSize > 0 ? fieldSize : 0) + extraRecordBytes && k < 4096; ++k) b.u8(0);
  b.i32(current).str("t");
  return b;
}

TEST(DBStore, HostileSetsAreRefusedAndChangeNothing) {
  // The well-formed base reads.
  {
    TDBManager m;
    Load(m, OneTable(4, DB_INT, 2, 1).b, false);
    ASSERT_EQ(m.Count(), 1);
    EXPECT_EQ(m.Active()->RecordCount(), 2);
  }
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"integer field of 5 bytes", OneTable(5, DB_INT, 1, 0).b},
      {"real field of 4 bytes", OneTable(4, DB_FLOAT, 1, 0).b},
      {"flag field of 0 bytes", OneTable(0, DB_BOOL, 1, 0).b},
      {"string field of 0 bytes", OneTable(0, DB_STR, 0, -1).b},
      {"string field of negative size", OneTable(-3, DB_STR, 0, -1).b},
      {"unknown type", OneTable(4, 9, 1, 0).b},
      {"current past the end", OneTable(4, DB_INT, 2, 2).b},
      {"current below -1", OneTable(4, DB_INT, 2, -2).b},
      {"huge record count", OneTable(4, DB_INT, 0x7FFFFFFF, 0).b},
      {"negative record count", OneTable(4, DB_INT, -1, -1).b},
      {"huge table count", Bytes{}.i32(100).i32(0x40000000).b},
      {"negative table count", Bytes{}.i32(100).i32(-1).b},
      {"unknown kind", Bytes{}.i32(100).i32(1).u8(1).str("t").u8(0).i32(0).i32(0).i32(-1).str("").b},
      {"huge field count", Bytes{}.i32(100).i32(1).u8(0).str("t").u8(0).i32(0x10000000).i32(0).i32(-1).b},
      {"duplicate field names",
       Bytes{}.i32(100).i32(1).u8(0).str("t").u8(0).i32(2).i32(1).str("a").u8(DB_BOOL).i32(1).str("A").u8(DB_BOOL)
           .i32(0).i32(-1).str("").b},
      {"string field beyond the record bound", OneTable(kDBMaxRecordSize + 1, DB_STR, 0, -1).b},
      {"fieldless records beyond the bound", OneTable(0, 0, 0, 0).b},
  };
  // The fieldless case: no fields and a record count above the bound.
  cases[16].bytes = Bytes{}.i32(100).i32(1).u8(0).str("t").u8(0).i32(0).i32(kDBMaxRecords + 1).i32(-1).str("").b;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TDBManager m;
    m.CreateTable("keep", false);
    m.Active()->AddField("k", DB_INT, 0);
    EXPECT_THROW(Load(m, c.bytes, false), FormatError);
    ASSERT_EQ(m.Count(), 1);
    EXPECT_EQ(m.Table(0)->Name(), "keep");
    EXPECT_EQ(m.ActiveIndex(), 0);
  }
}

TEST(DBStore, TruncationAtEveryOffsetIsRefused) {
  TDBManager a;
  Fill(a);
  const auto game = Save(a, false);
  for (size_t n = 0; n < game.size(); ++n) {
    TDBManager m;
    m.CreateTable("keep", false);
    std::vector<uint8_t> cut(game.begin(), game.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_THROW(Load(m, cut, false), FormatError) << n;
    EXPECT_EQ(m.Count(), 1) << n;
  }
}

TEST(DBStore, StoredStringsWithoutTerminatorStopAtTheField) {
  TDBManager m;
  Load(m,
       Bytes{}.i32(100).i32(1).u8(0).str("t").u8(0).i32(1).i32(3).str("s").u8(DB_STR).i32(1).raw("abc").i32(0).str("t").b,
       false);
  std::string s;
  ASSERT_TRUE(m.Active()->GetStr(0, 0, s));
  EXPECT_EQ(s, "abc");
}

}  // namespace
}  // namespace qubo
