// The page file reader against hostile and version-dependent bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/exprcodes.h"
#include "script/exprcompiler.h"
#include "script/pageformat.h"
#include "support/errors.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

const std::string kPageName = "scene\\t.qsb";

TPageReadResult Read(const std::vector<uint8_t>& bytes, TPageImage& out, int64_t* left = nullptr) {
  TKoMemoryStream s(bytes);
  const TPageReadResult r = ReadPageImage(s, kPageName, out);
  if (left) *left = s.Remaining();
  return r;
}

TStoredExpression Compile(const std::string& text) {
  TBuildQuboParser c;
  c.Compile(text);
  return c.ToStored();
}

// Page header: version, result type, no mask entries (size 22), then the command count.
Bytes Header(int32_t version, int32_t commands, int32_t maskCount = 0) {
  Bytes b;
  b.i32(version).u8(1).i32(maskCount).i32(22);
  for (int32_t i = 0; i < maskCount; ++i) b.raw(std::string(22, '\xFF'));
  return b.i32(commands);
}

Bytes& RecordHead(Bytes& b, uint8_t type) { return b.u8(type).i32(1).u8(0).u8(1).i32(42); }

Bytes& EmptyExpr(Bytes& b) { return b.i32(0); }

// A page that uses every kind of field: strings, numbers, bytes, expressions, lists, text
// and property expressions.
std::vector<uint8_t> SamplePage() {
  TPageImage p;
  p.version = 117;
  for (const auto& m : DefaultPropertyMasks()) p.maskEntries.emplace_back(m.begin(), m.end());
  auto add = [&](int code) -> TCommandRecord& {
    TCommandRecord c;
    c.typeByte = static_cast<uint8_t>(code);
    c.line = 7;
    const TCommandDef& def = CommandDef(code);
    c.fields.resize(def.fields.size());
    for (size_t f = 0; f < def.fields.size(); ++f) {
      TFieldValue& v = c.fields[f];
      switch (def.fields[f].kind) {
        case TFieldKind::Str: v.text = "p\x95\x5C"; break;
        case TFieldKind::Text: v.text = "hello"; break;
        case TFieldKind::Int: v.number = -3; break;
        case TFieldKind::Byte: v.number = 2; break;
        case TFieldKind::Expr: v.exprs = {Compile("a + 1")}; break;
        case TFieldKind::ExprList: v.exprs = {Compile("x"), TStoredExpression{}}; break;
        case TFieldKind::Props:
          for (int id = 0; id < kPropertyCount; ++id) {
            if (!MaskHas(DefaultPropertyMasks()[static_cast<size_t>(code)], id)) continue;
            v.propIds.push_back(static_cast<uint8_t>(id));
            v.exprs.push_back(id == 0 ? Compile("\"name\"") : TStoredExpression{});
          }
          break;
      }
    }
    p.commands.push_back(c);
    return p.commands.back();
  };
  add(cmdCall);
  add(cmdTextIns);
  add(cmdVarNew);
  add(cmdTimer);
  add(cmdSaveCabinet);
  return PageImageBytes(p);
}

TEST(PageFormat, SampleReadsAndWritesBackExactly) {
  const std::vector<uint8_t> bytes = SamplePage();
  TPageImage p;
  int64_t left = -1;
  ASSERT_EQ(Read(bytes, p, &left), TPageReadResult::Loaded);
  EXPECT_EQ(left, 0);
  ASSERT_EQ(p.commands.size(), 5u);
  EXPECT_EQ(p.commands[0].fields[4].exprs.size(), 2u);
  EXPECT_EQ(p.commands[3].fields[0].propIds, (std::vector<uint8_t>{0, 26, 27, 33, 71, 151}));
  EXPECT_EQ(PageImageBytes(p), bytes);
}

TEST(PageFormat, EveryTruncationIsAFormatErrorNamingThePage) {
  const std::vector<uint8_t> full = SamplePage();
  for (size_t n = 0; n < full.size(); ++n) {
    TPageImage p;
    try {
      Read(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<ptrdiff_t>(n)), p);
      ADD_FAILURE() << "a page cut at " << n << " of " << full.size() << " bytes was read";
    } catch (const FormatError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(kPageName + ": ", 0), 0u) << n << ": " << e.what();
    }
  }
}

TEST(PageFormat, HugeCountsAreFormatErrorsBeforeAnythingIsAllocated) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Bytes mask = Bytes().i32(117).u8(1).i32(0x7FFFFFFF).i32(22).i32(0);
  Bytes maskSize = Bytes().i32(117).u8(1).i32(1).i32(0x7FFFFFFF).i32(0);
  Bytes negative = Bytes().i32(117).u8(1).i32(-1).i32(22).i32(0);
  Bytes negSize = Bytes().i32(117).u8(1).i32(1).i32(-22).i32(0);
  Bytes commands = Header(117, 0x7FFFFFFF);
  Bytes negCommands = Header(117, -1);
  Bytes args = Header(117, 1);
  RecordHead(args, cmdCall).str("p").i32(0).str("r");
  EmptyExpr(args).i32(0x7FFFFFFF);
  Bytes text = Header(117, 1);
  RecordHead(text, cmdTextIns).i32(0x7FFFFFFF).raw("abc");
  Bytes label = Header(117, 1);
  RecordHead(label, cmdLabel).i32(0x7FFFFFF0).raw("abc");
  Bytes ops = Header(117, 1);
  RecordHead(ops, cmdCalc).i32(0x7FFFFFFF);
  const Case cases[] = {{"mask entries", mask},     {"mask entry size", maskSize}, {"negative mask count", negative},
                        {"negative entry size", negSize}, {"commands", commands}, {"negative commands", negCommands},
                        {"call arguments", args},   {"message text", text},        {"label name", label},
                        {"expression operations", ops}};
  for (const Case& c : cases) {
    TPageImage p;
    EXPECT_THROW(Read(c.bytes.b, p), FormatError) << c.what;
  }
}

// Entries of size 0 take no room in the file, so their number is bounded on its own: a 17-byte
// file cannot size a table of two thousand million entries, while a few empty entries read and
// write back as they are.
TEST(PageFormat, EmptyMaskEntriesAreBoundedByNumber) {
  TPageImage p;
  EXPECT_THROW(Read(Bytes().i32(117).u8(1).i32(0x7FFFFFFF).i32(0).i32(0).b, p), FormatError);
  EXPECT_THROW(Read(Bytes().i32(117).u8(1).i32(kMaxEmptyMaskEntries + 1).i32(0).i32(0).b, p), FormatError);
  const std::vector<uint8_t> ten = Bytes().i32(116).u8(0).i32(10).i32(0).i32(0).b;
  Read(ten, p);
  EXPECT_EQ(p.maskEntries.size(), 10u);
  EXPECT_EQ(PageImageBytes(p), ten);
}

TEST(PageFormat, TypeCodeAbove63IsTheBadCommandError) {
  for (const uint8_t type : {uint8_t{0x40}, uint8_t{0x7F}, uint8_t{0xC0}}) {
    Bytes b = Header(117, 1);
    RecordHead(b, type);
    TPageImage p;
    try {
      Read(b.b, p);
      ADD_FAILURE() << "type " << int{type} << " was read";
    } catch (const FormatError& e) {
      ADD_FAILURE() << "type " << int{type} << " gave a format error: " << e.what();
    } catch (const QuboError& e) {
      EXPECT_STREQ(e.what(), "\x95\x73\x90\xB3\x82\xC8\x83\x52\x83\x7D\x83\x93\x83\x68");
    }
  }
}

TEST(PageFormat, TopBitOfTheTypeByteIsIgnoredAndKept) {
  Bytes b = Header(117, 1);
  RecordHead(b, 0x85).str("next.qsb").i32(9).str("");
  EmptyExpr(b).i32(0);
  TPageImage p;
  ASSERT_EQ(Read(b.b, p), TPageReadResult::Loaded);
  ASSERT_EQ(p.commands.size(), 1u);
  EXPECT_EQ(p.commands[0].Code(), cmdCall);
  EXPECT_EQ(p.commands[0].typeByte, 0x85);
  EXPECT_EQ(p.commands[0].fields[0].text, "next.qsb");
  EXPECT_EQ(p.commands[0].fields[1].number, 9);
  EXPECT_EQ(PageImageBytes(p), b.b);
}

TEST(PageFormat, VersionsOutsideTheReadRangeStopAfterTheVersion) {
  struct Case {
    int32_t version;
    TPageReadResult result;
  };
  for (const Case c : {Case{102, TPageReadResult::TooOld}, Case{-1, TPageReadResult::TooOld},
                       Case{118, TPageReadResult::TooNew}, Case{0x7FFFFFFF, TPageReadResult::TooNew}}) {
    // What follows the version would not read as a page at all.
    const std::vector<uint8_t> bytes = Bytes().i32(c.version).raw("\xFF\xFF\xFF\xFF\xFF").b;
    TPageImage p;
    int64_t left = 0;
    EXPECT_EQ(Read(bytes, p, &left), c.result) << c.version;
    EXPECT_EQ(left, 5) << c.version;
    EXPECT_EQ(p.version, c.version);
    EXPECT_TRUE(p.commands.empty());
    EXPECT_TRUE(p.maskEntries.empty());
    EXPECT_EQ(PageImageBytes(p), Bytes().i32(c.version).b);
  }
  for (const int32_t version : {103, 117}) {
    TPageImage p;
    EXPECT_EQ(Read(Header(version, 0).b, p), TPageReadResult::Loaded) << version;
  }
}

TEST(PageFormat, WaitReadsTwoExpressionsBefore107AndThreeFrom107) {
  // One Wait record with three expressions, then nothing.
  auto page = [](int32_t version) {
    Bytes b = Header(version, 1);
    RecordHead(b, cmdWait);
    b.i32(1).u8(ocTo).str("____arg").i32(1).u8(1).i32(1);     // cond: 1
    b.i32(1).u8(ocTo).str("____arg").i32(1).u8(1).i32(500);   // time: 500
    b.i32(1).u8(ocTo).str("____arg").i32(1).u8(3).u8(1);      // blocks: TRUE
    return b.b;
  };
  TPageImage old;
  int64_t left = -1;
  ASSERT_EQ(Read(page(106), old, &left), TPageReadResult::Loaded);
  ASSERT_EQ(old.commands.size(), 1u);
  EXPECT_EQ(old.commands[0].fields[1].exprs[0].operations[0].operands[0].intValue, 500);
  EXPECT_TRUE(old.commands[0].fields[2].exprs.empty());
  EXPECT_EQ(left, 4 + 1 + (4 + 7) + 4 + 1 + 1);  // the third expression is not part of the page

  TPageImage now;
  ASSERT_EQ(Read(page(107), now, &left), TPageReadResult::Loaded);
  EXPECT_EQ(left, 0);
  ASSERT_EQ(now.commands[0].fields[2].exprs.size(), 1u);
  EXPECT_TRUE(now.commands[0].fields[2].exprs[0].operations[0].operands[0].flagValue);
}

TEST(PageFormat, ComponentWithoutMaskEntryReadsOnlyItsHeader) {
  // Two mask entries (types 0 and 1); an ImgNew (type 9) then has no properties, and the
  // Calc after it is read from the very next byte.
  Bytes b = Header(117, 2, 2);
  RecordHead(b, cmdImgNew);
  RecordHead(b, cmdCalc);
  b.i32(1).u8(ocTo).str("x").i32(1).u8(1).i32(5);
  TPageImage p;
  int64_t left = -1;
  ASSERT_EQ(Read(b.b, p, &left), TPageReadResult::Loaded);
  EXPECT_EQ(left, 0);
  ASSERT_EQ(p.commands.size(), 2u);
  EXPECT_TRUE(p.commands[0].fields[0].propIds.empty());
  EXPECT_TRUE(p.commands[0].fields[0].exprs.empty());
  EXPECT_EQ(p.commands[0].indent, 1);
  EXPECT_EQ(p.commands[0].line, 42);
  EXPECT_EQ(p.commands[1].fields[0].exprs[0].operations[0].destination, "x");
  EXPECT_EQ(PageImageBytes(p), b.b);
}

TEST(PageFormat, MaskEntriesBeyond22BytesOr64TypesAreSkipped) {
  // Entry size 24: bytes 22 and 23 are not mask bits. 70 entries: 64..69 are not types.
  Bytes b;
  b.i32(117).u8(1).i32(70).i32(24);
  for (int i = 0; i < 70; ++i) {
    std::string entry(24, '\0');
    if (i == cmdTimer) entry[0] = '\x02';  // property 1
    entry[22] = entry[23] = '\xFF';
    b.raw(entry);
  }
  b.i32(1);
  RecordHead(b, cmdTimer);
  b.i32(1).u8(ocTo).str("____arg").i32(1).u8(1).i32(7);
  TPageImage p;
  int64_t left = -1;
  ASSERT_EQ(Read(b.b, p, &left), TPageReadResult::Loaded);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(p.maskEntries.size(), 70u);
  EXPECT_EQ(p.commands[0].fields[0].propIds, std::vector<uint8_t>{1});
  EXPECT_EQ(PageImageBytes(p), b.b);
}

}  // namespace
}  // namespace qubo
