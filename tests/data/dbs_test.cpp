// Tables: fields and their conversions, record movement, search, sort, TSV loading, and the
// manager's table operations.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "data/dbs.h"
#include "script/params.h"

namespace qubo {
namespace {

std::unique_ptr<TParamStr> Strs(const std::vector<std::string>& v) {
  auto p = std::make_unique<TParamStr>();
  p->SetDims({static_cast<int32_t>(v.size())});
  for (size_t i = 0; i < v.size(); ++i) p->SetStrAt(static_cast<int32_t>(i), v[i]);
  return p;
}
std::unique_ptr<TParamFlag> Flags(const std::vector<bool>& v) {
  auto p = std::make_unique<TParamFlag>();
  p->SetDims({static_cast<int32_t>(v.size())});
  for (size_t i = 0; i < v.size(); ++i) p->SetBoolAt(static_cast<int32_t>(i), v[i]);
  return p;
}
std::unique_ptr<TParamInt> Int1(int32_t v) {
  auto p = std::make_unique<TParamInt>();
  p->SetInt(v);
  return p;
}

// A table with an integer, a real, a flag and a 10-byte string field.
struct Four : ::testing::Test {
  TDBTable t{"t"};
  void SetUp() override {
    ASSERT_EQ(t.AddField("i", DB_INT, 0), 0);
    ASSERT_EQ(t.AddField("f", DB_FLOAT, 0), 1);
    ASSERT_EQ(t.AddField("b", DB_BOOL, 0), 2);
    ASSERT_EQ(t.AddField("s", DB_STR, 10), 3);
  }
  std::string Str(int32_t r, int f) {
    std::string s;
    EXPECT_TRUE(t.GetStr(r, f, s));
    return s;
  }
};

TEST_F(Four, FieldLayoutAndNames) {
  EXPECT_EQ(t.Fields().RecordSize(), 4 + 10 + 1 + 11);
  EXPECT_EQ(t.Fields().Field(3).offset, 15);
  EXPECT_EQ(t.AddField("S", DB_STR, 3), -1);  // the name exists in another case
  EXPECT_EQ(t.AddField("x", 0, 3), -1);
  EXPECT_EQ(t.AddField("x", 5, 3), -1);
  EXPECT_EQ(t.AddField("big", DB_STR, kDBMaxRecordSize), -1);
  EXPECT_EQ(t.Fields().Count(), 4);
  // A negative length leaves room for the empty string only.
  EXPECT_EQ(t.AddField("neg", DB_STR, -7), 4);
  EXPECT_EQ(t.Fields().Field(4).size, 1);
}

TEST_F(Four, ConversionTable) {
  ASSERT_TRUE(t.Append());
  // Writes of every type into every field, then reads of every type.
  struct Case {
    int field;
    std::function<void()> write;
    int32_t i;
    Real f;
    bool b;
    std::string s;
  } cases[] = {
      {0, [&] { t.SetInt(0, 0, -12); }, -12, -12, true, "-12"},
      {0, [&] { t.SetFloat(0, 0, 2.5L); }, 2, 2, true, "2"},
      {0, [&] { t.SetBool(0, 0, true); }, 1, 1, true, "1"},
      {0, [&] { t.SetStr(0, 0, "x"); }, 0, 0, false, "0"},
      {0, [&] { t.SetStr(0, 0, "$10"); }, 16, 16, true, "16"},
      {1, [&] { t.SetInt(0, 1, 7); }, 7, 7, true, "7"},
      {1, [&] { t.SetFloat(0, 1, 1.25L); }, 1, 1.25L, true, "1.25"},
      {1, [&] { t.SetStr(0, 1, "nan?"); }, 0, 0, false, "0"},
      {2, [&] { t.SetInt(0, 2, 5); }, 1, 1, true, "TRUE"},
      {2, [&] { t.SetFloat(0, 2, 0); }, 0, 0, false, "FALSE"},
      {2, [&] { t.SetStr(0, 2, "true"); }, 0, 0, false, "FALSE"},  // only the exact TRUE
      {2, [&] { t.SetStr(0, 2, "TRUE"); }, 1, 1, true, "TRUE"},
      {3, [&] { t.SetInt(0, 3, 42); }, 42, 42, false, "42"},
      {3, [&] { t.SetFloat(0, 3, 0.5L); }, 0, 0.5L, false, "0.5"},
      {3, [&] { t.SetBool(0, 3, true); }, 0, 0, true, "TRUE"},
      {3, [&] { t.SetStr(0, 3, "abc"); }, 0, 0, false, "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.s);
    c.write();
    int32_t i = -99;
    Real f = -99;
    bool b = !c.b;
    EXPECT_TRUE(t.GetInt(0, c.field, i));
    EXPECT_TRUE(t.GetFloat(0, c.field, f));
    EXPECT_TRUE(t.GetBool(0, c.field, b));
    EXPECT_EQ(i, c.i);
    EXPECT_EQ(f, c.f);
    EXPECT_EQ(b, c.b);
    EXPECT_EQ(Str(0, c.field), c.s);
  }
}

TEST_F(Four, RealsRoundToNearestWithTiesToEvenAndNeverOverflow) {
  ASSERT_TRUE(t.Append());
  const struct {
    Real x;
    int32_t want;
  } cases[] = {{2.5L, 2},  {3.5L, 4},   {-2.5L, -2}, {-3.5L, -4}, {2.4999L, 2}, {-0.5L, 0},
               {0.5L, 0},  {1.5L, 2},   {2147483647.5L, INT32_MIN},  // low 32 bits of 2^31
               {1e30L, 0}, {-1e30L, 0}, {std::numeric_limits<Real>::quiet_NaN(), 0},
               {std::numeric_limits<Real>::infinity(), 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.x));
    t.SetFloat(0, 0, c.x);  // into the integer field
    int32_t v = -1;
    t.GetInt(0, 0, v);
    EXPECT_EQ(v, c.want);
    t.SetFloat(0, 1, c.x);  // the real field read as integer
    t.GetInt(0, 1, v);
    EXPECT_EQ(v, c.want);
  }
}

TEST_F(Four, StringFieldsHoldTheirLengthAndNeverHalfACharacter) {
  ASSERT_TRUE(t.Append());
  t.SetStr(0, 3, "0123456789ABC");
  EXPECT_EQ(Str(0, 3), "0123456789");
  // Nine single bytes then a two-byte character: the character does not fit and is dropped.
  t.SetStr(0, 3, "012345678\x82\xA0" "Z");
  EXPECT_EQ(Str(0, 3), "012345678");
  t.SetStr(0, 3, "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9");
  EXPECT_EQ(Str(0, 3), "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8");
  // A shorter text leaves no trace of the longer one.
  t.SetStr(0, 3, "ab");
  EXPECT_EQ(Str(0, 3), "ab");
  const uint8_t* rec = t.Record(0);
  for (int k = 2; k < 11; ++k) EXPECT_EQ(rec[15 + k], 0) << k;
}

TEST_F(Four, IndexesOutsideTheirRangeFail) {
  int32_t v;
  EXPECT_FALSE(t.GetInt(0, 0, v));
  ASSERT_TRUE(t.Append());
  EXPECT_FALSE(t.GetInt(1, 0, v));
  EXPECT_FALSE(t.GetInt(-1, 0, v));
  EXPECT_FALSE(t.SetInt(0, 4, 1));
  EXPECT_FALSE(t.SetInt(0, -1, 1));
  EXPECT_FALSE(t.SetStr("nope", "x"));
  EXPECT_TRUE(t.SetStr("S", "x"));  // by name without regard to case, current record
}

TEST_F(Four, AddingAFieldZeroesItInEveryRecord) {
  for (int r = 0; r < 3; ++r) {
    ASSERT_TRUE(t.Append());
    t.SetInt(r, 0, r + 1);
    t.SetStr(r, 3, "r" + std::to_string(r));
  }
  ASSERT_EQ(t.AddField("n", DB_INT, 0), 4);
  ASSERT_EQ(t.AddField("g", DB_FLOAT, 0), 5);
  ASSERT_EQ(t.AddField("q", DB_BOOL, 0), 6);
  ASSERT_EQ(t.AddField("z", DB_STR, 4), 7);
  for (int r = 0; r < 3; ++r) {
    int32_t i;
    Real f;
    bool b;
    std::string s;
    EXPECT_TRUE(t.GetInt(r, 0, i));
    EXPECT_EQ(i, r + 1);  // the old fields kept their values
    EXPECT_EQ(Str(r, 3), "r" + std::to_string(r));
    t.GetInt(r, 4, i);
    t.GetFloat(r, 5, f);
    t.GetBool(r, 6, b);
    t.GetStr(r, 7, s);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(f, 0);
    EXPECT_FALSE(b);
    EXPECT_EQ(s, "");
  }
}

TEST_F(Four, CurrentRecordMovement) {
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_FALSE(t.First());
  EXPECT_FALSE(t.Last());
  EXPECT_FALSE(t.Next());
  EXPECT_FALSE(t.Prior());
  EXPECT_FALSE(t.Delete());
  for (int r = 0; r < 3; ++r) ASSERT_TRUE(t.Append());
  EXPECT_EQ(t.RecNo(), 2);  // the appended record is current
  EXPECT_FALSE(t.Next());
  EXPECT_TRUE(t.Prior());
  EXPECT_TRUE(t.First());
  EXPECT_FALSE(t.Prior());
  EXPECT_TRUE(t.SetRecNo(-5));
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_FALSE(t.Next());
  EXPECT_TRUE(t.SetRecNo(1));
  EXPECT_FALSE(t.SetRecNo(3));  // the count: refused, current kept
  EXPECT_EQ(t.RecNo(), 1);
}

TEST_F(Four, DeletingMovesUpAndKeepsTheIndexInRange) {
  for (int r = 0; r < 3; ++r) {
    ASSERT_TRUE(t.Append());
    t.SetInt(r, 0, r);
  }
  t.SetRecNo(0);
  ASSERT_TRUE(t.Delete());
  EXPECT_EQ(t.RecNo(), 0);
  int32_t v;
  t.GetInt(0, 0, v);
  EXPECT_EQ(v, 1);
  t.Last();
  ASSERT_TRUE(t.Delete());  // the last of two
  EXPECT_EQ(t.RecNo(), 0);
  ASSERT_TRUE(t.Delete());  // the only one
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_EQ(t.RecordCount(), 0);

  for (int r = 0; r < 3; ++r) ASSERT_TRUE(t.Append());
  ASSERT_TRUE(t.Delete());  // the last of three
  EXPECT_EQ(t.RecNo(), 1);
  t.ClearRecords();
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_EQ(t.Fields().Count(), 4);
  t.Reset();
  EXPECT_EQ(t.Fields().Count(), 0);
}

// ---- Find ----

struct People : ::testing::Test {
  TDBTable t{"p"};
  void SetUp() override {
    t.AddField("name", DB_STR, 20);
    t.AddField("age", DB_INT, 0);
    t.AddField("h", DB_FLOAT, 0);
    t.AddField("on", DB_BOOL, 0);
    const struct {
      const char* n;
      int a;
      Real h;
      bool on;
    } rows[] = {{"bc", 30, 1.5L, true}, {"Alice", 20, 1.25L, false}, {"alice", 30, 1.5L, true}, {"", 40, 2, false}};
    for (const auto& r : rows) {
      t.Append();
      const int32_t i = t.RecNo();
      t.SetStr(i, 0, r.n);
      t.SetInt(i, 1, r.a);
      t.SetFloat(i, 2, r.h);
      t.SetBool(i, 3, r.on);
    }
  }
  std::vector<int32_t> Find(const std::vector<std::string>& names, const TCustomParam& values, bool partial = false,
                            bool ignoreCase = false) {
    std::vector<int32_t> out{99};
    const auto n = Strs(names);
    t.Find(out, n.get(), partial, ignoreCase, &values);
    return out;
  }
};

TEST_F(People, FindComparesByTheTypeOfTheValues) {
  using V = std::vector<int32_t>;
  EXPECT_EQ(Find({"age"}, *Int1(30)), (V{0, 2}));
  EXPECT_EQ(Find({"name"}, *Strs({"alice"})), (V{2}));
  EXPECT_EQ(Find({"name"}, *Strs({"alice"}), false, true), (V{1, 2}));
  // Partial: the field's text must occur within the value (bc within abcd); the empty text
  // occurs nowhere.
  EXPECT_EQ(Find({"name"}, *Strs({"abcd"}), true), (V{0}));
  EXPECT_EQ(Find({"name"}, *Strs({"xxALICEyy"}), true, true), (V{1, 2}));
  EXPECT_EQ(Find({"name"}, *Strs({"xxALICEyy"}), true, false), (V{}));
  // An integer field read as text.
  EXPECT_EQ(Find({"age"}, *Strs({"40"})), (V{3}));
  for (const char* notTheText : {"040", "+40", " 40", "$28", "40.0", ""}) {
    EXPECT_EQ(Find({"age"}, *Strs({notTheText})), (V{})) << notTheText;
  }
  EXPECT_EQ(Find({"age"}, *Strs({"4"}), true), (V{}));   // partial: 40 does not lie within 4
  EXPECT_EQ(Find({"age"}, *Strs({"x30x"}), true), (V{0, 2}));
  auto h = std::make_unique<TParamFloat>();
  h->SetFloat(1.5L);
  EXPECT_EQ(Find({"h"}, *h), (V{0, 2}));
  auto on = std::make_unique<TParamFlag>();
  on->SetBool(false);
  EXPECT_EQ(Find({"ON"}, *on), (V{1, 3}));
  // Two keys; the shorter list decides how many are used.
  auto two = Strs({"alice", "30"});
  EXPECT_EQ(Find({"name", "age"}, *two, false, true), (V{2}));
  EXPECT_EQ(Find({"name"}, *two, false, true), (V{1, 2}));
}

TEST_F(People, FindWithoutKeysListsEveryRecordAndAnUnknownNameNone) {
  std::vector<int32_t> out;
  t.Find(out, nullptr, false, false, nullptr);
  EXPECT_EQ(out, (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_TRUE(Find({"age", "nope"}, *Strs({"30", "x"})).empty());
}

// ---- Sort ----

TEST_F(People, SortByTwoKeysWithDirections) {
  auto names = Strs({"age", "name"});
  auto desc = Flags({true, false});
  t.Sort(names.get(), desc.get());
  std::vector<std::string> order;
  for (int32_t r = 0; r < t.RecordCount(); ++r) {
    std::string s;
    t.GetStr(r, 0, s);
    order.push_back(s);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"", "alice", "bc", "Alice"}));  // 40, 30 by name up, 20
  auto one = Strs({"name"});
  auto down = Flags({true});
  t.Sort(one.get(), down.get());
  std::string first;
  t.GetStr(0, 0, first);
  EXPECT_EQ(first, "bc");  // strings from high to low by bytes
}

TEST(DBSort, ExtremeIntegersAndNaNKeepAStrictOrder) {
  TDBTable t("x");
  t.AddField("i", DB_INT, 0);
  t.AddField("f", DB_FLOAT, 0);
  const int32_t ints[] = {INT32_MAX, INT32_MIN, 0, -1, INT32_MAX, INT32_MIN, 1};
  const Real nan = std::numeric_limits<Real>::quiet_NaN();
  const Real reals[] = {nan, 1, -std::numeric_limits<Real>::infinity(), nan, 0, 3, nan};
  for (int k = 0; k < 7; ++k) {
    t.Append();
    t.SetInt(k, 0, ints[k]);
    t.SetFloat(k, 1, reals[k]);
  }
  auto byInt = Strs({"i"});
  auto up = Flags({false});
  t.Sort(byInt.get(), up.get());
  for (int k = 1; k < 7; ++k) {
    int32_t a, b;
    t.GetInt(k - 1, 0, a);
    t.GetInt(k, 0, b);
    EXPECT_LE(a, b);  // a difference would overflow between INT32_MIN and INT32_MAX
  }
  auto byReal = Strs({"f"});
  t.Sort(byReal.get(), up.get());
  Real got[7];
  for (int k = 0; k < 7; ++k) t.GetFloat(k, 1, got[k]);
  EXPECT_EQ(got[0], -std::numeric_limits<Real>::infinity());
  EXPECT_EQ(got[1], 0);
  EXPECT_EQ(got[2], 1);
  EXPECT_EQ(got[3], 3);
  for (int k = 4; k < 7; ++k) EXPECT_TRUE(std::isnan(got[k]));
}

// ---- TSV ----

TEST(DBTsv, HeaderDeclaresFields) {
  TDBTable t("t");
  ASSERT_TRUE(t.LoadTsv({"id int\tname\tok bool\tw float\tcode str 3\tn x abc", "1\tAl\tTRUE\t2.5\tabcdef\tq"}));
  const auto& f = t.Fields();
  ASSERT_EQ(f.Count(), 6);
  EXPECT_EQ(f.Field(0).type, DB_INT);
  EXPECT_EQ(f.Field(1).type, DB_STR);
  EXPECT_EQ(f.Field(1).size, 81);  // a name alone: a string of length 80
  EXPECT_EQ(f.Field(2).type, DB_BOOL);
  EXPECT_EQ(f.Field(3).type, DB_FLOAT);
  EXPECT_EQ(f.Field(4).size, 4);
  EXPECT_EQ(f.Field(5).size, 81);  // a length that is not a number
  std::string s;
  t.GetStr(0, 4, s);
  EXPECT_EQ(s, "abc");
  bool b;
  t.GetBool(0, 2, b);
  EXPECT_TRUE(b);
}

TEST(DBTsv, RowsShorterOrLongerThanTheHeader) {
  TDBTable t("t");
  ASSERT_TRUE(t.LoadTsv({"a int\tb\tc int", "1\tx", "", "2\ty\t3\textra\tmore", "\t\t9"}));
  ASSERT_EQ(t.RecordCount(), 3);  // the empty line is skipped
  int32_t v;
  std::string s;
  t.GetInt(0, 2, v);
  EXPECT_EQ(v, 0);
  t.GetInt(1, 2, v);
  EXPECT_EQ(v, 3);
  t.GetStr(2, 1, s);
  EXPECT_EQ(s, "");
  t.GetInt(2, 2, v);
  EXPECT_EQ(v, 9);
}

TEST(DBTsv, ADuplicateHeaderFieldDoesNotShiftTheColumns) {
  TDBTable t("t");
  ASSERT_TRUE(t.LoadTsv({"a int\tA\tb", "1\t2\tthree"}));
  ASSERT_EQ(t.Fields().Count(), 2);
  int32_t a;
  std::string b;
  t.GetInt(0, 0, a);
  t.GetStr(0, 1, b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, "three");
}

TEST(DBTsv, EscapesAndFailures) {
  TDBTable t("t");
  ASSERT_TRUE(t.LoadTsv({"s", "a\\\"b\\\\c\\nd\\q"}));
  std::string s;
  t.GetStr(0, 0, s);
  EXPECT_EQ(s, "a\"b\\c\r\nd\\q");
  // A trail byte that is a backslash is no escape: ソ (0x83 0x5C) before n.
  ASSERT_TRUE(t.LoadTsv({"s", "\x83\x5cn"}));
  t.GetStr(0, 0, s);
  EXPECT_EQ(s, "\x83\x5cn");

  EXPECT_FALSE(t.LoadTsv({}));
  ASSERT_TRUE(t.LoadTsv({"a\tb", "1\t2"}));
  EXPECT_FALSE(t.LoadTsv({"a\t\tb", "1\t2"}));  // an empty name ends the load
  EXPECT_EQ(t.Fields().Count(), 0);
  EXPECT_EQ(t.RecordCount(), 0);
}

TEST(DBTsv, LinesSplitAtEveryBreak) {
  EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitTextLines("").empty());
}

// ---- manager ----

TEST(DBManager, CreateFindActivateDelete) {
  TDBManager m;
  EXPECT_EQ(m.CreateTable("", false), -1);
  EXPECT_EQ(m.CreateTable("a", false), 0);
  EXPECT_EQ(m.CreateTable("b", true), 1);
  EXPECT_EQ(m.Active()->Name(), "b");
  m.Table(0)->AddField("x", DB_INT, 0);
  m.Table(1)->AddField("y", DB_INT, 0);
  // An existing status request keeps the table; a game request empties it.
  EXPECT_EQ(m.CreateTable("B", true), 1);
  EXPECT_EQ(m.Table(1)->Fields().Count(), 1);
  EXPECT_EQ(m.CreateTable("A", false), 0);
  EXPECT_EQ(m.Table(0)->Fields().Count(), 0);
  EXPECT_EQ(m.ActiveIndex(), 0);
  EXPECT_FALSE(m.SetActive("zz"));
  EXPECT_EQ(m.ActiveIndex(), 0);
  EXPECT_TRUE(m.SetActive("b"));
  // Deleting a table before the active one keeps the same table active.
  EXPECT_TRUE(m.DeleteTable("a"));
  EXPECT_EQ(m.Active()->Name(), "b");
  EXPECT_FALSE(m.DeleteTable("a"));
  EXPECT_TRUE(m.DeleteTable("b"));
  EXPECT_EQ(m.Active(), nullptr);
}

TEST(DBManager, CopyAndInsertRecords) {
  TDBManager m;
  m.CreateTable("dst", false);
  m.CreateTable("src", false);
  TDBTable* src = m.Active();
  src->AddField("n", DB_INT, 0);
  src->AddField("s", DB_STR, 5);
  for (int r = 0; r < 4; ++r) {
    src->Append();
    src->SetInt(r, 0, r * 10);
  }
  EXPECT_FALSE(m.CopyRecordsTo("src", {0}));  // not onto itself
  EXPECT_FALSE(m.CopyRecordsTo("none", {0}));
  ASSERT_TRUE(m.CopyRecordsTo("dst", {3, 1, 99}));
  TDBTable* dst = m.Find("dst");
  ASSERT_TRUE(dst->Fields().Equals(src->Fields()));
  ASSERT_EQ(dst->RecordCount(), 2);
  int32_t v;
  dst->GetInt(0, 0, v);
  EXPECT_EQ(v, 30);

  // Inserting from the active table itself copies from a snapshot of the listed records.
  ASSERT_TRUE(m.InsertRecordsFrom("src", {0, 1, 2, 3}));
  ASSERT_EQ(src->RecordCount(), 8);
  for (int r = 0; r < 8; ++r) {
    src->GetInt(r, 0, v);
    EXPECT_EQ(v, (r % 4) * 10);
  }
  // Field lists must agree exactly (names compared with case).
  m.CreateTable("other", false);
  m.Active()->AddField("N", DB_INT, 0);
  m.Active()->AddField("s", DB_STR, 5);
  m.SetActive("src");
  EXPECT_FALSE(m.InsertRecordsFrom("other", {}));
  EXPECT_TRUE(m.InsertRecordsFrom("dst", {0}));
  EXPECT_EQ(src->RecordCount(), 9);
}

TEST(DBManager, DirectAccessUsesTheFirstMatchAndChangesNothingElse) {
  TDBManager m;
  m.CreateTable("t", false);
  TDBTable* t = m.Active();
  t->LoadTsv({"k\tv int", "a\t1", "b\t2", "b\t3"});
  t->SetRecNo(0);
  m.CreateTable("other", false);
  auto names = Strs({"k"});
  auto values = Strs({"b"});
  int32_t v = 0;
  EXPECT_TRUE(m.DirectGetInt("T", names.get(), values.get(), false, false, "v", -1, v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(m.DirectSetInt("t", names.get(), values.get(), false, false, "v", 20));
  auto none = Strs({"zz"});
  EXPECT_FALSE(m.DirectGetInt("t", names.get(), none.get(), false, false, "v", -7, v));
  EXPECT_EQ(v, -7);
  EXPECT_FALSE(m.DirectGetInt("t", names.get(), values.get(), false, false, "nofield", -8, v));
  EXPECT_EQ(v, -8);
  EXPECT_FALSE(m.DirectSetStr("missing", names.get(), values.get(), false, false, "v", "1"));
  EXPECT_EQ(m.Active()->Name(), "other");
  EXPECT_EQ(t->RecNo(), 0);
  t->GetInt(1, 1, v);
  EXPECT_EQ(v, 20);
}

TEST(DBManager, DropGameTablesKeepsStatusTables) {
  TDBManager m;
  m.CreateTable("g1", false);
  m.CreateTable("s", true);
  m.CreateTable("g2", false);
  m.DropGameTables();
  ASSERT_EQ(m.Count(), 1);
  EXPECT_EQ(m.Table(0)->Name(), "s");
  EXPECT_EQ(m.Active(), nullptr);
  m.Clear();
  EXPECT_EQ(m.Count(), 0);
}

}  // namespace
}  // namespace qubo
