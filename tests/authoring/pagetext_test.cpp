// The page assembler: text to bytes and back for every command at every version, labels,
// expressions as source and as raw operations, code-page-932 text, and its errors.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/pagetext.h"
#include "script/exprcodes.h"
#include "script/exprcompiler.h"
#include "script/pageformat.h"
#include "script/sysfunctable.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::authoring {
namespace {

// "表" and "ソ": trail byte '\\'.
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";
// Text that is hard to carry: trail bytes '\\', quotes, braces, control bytes, bytes outside
// code page 932, a lone lead byte at the end.
const std::string kAwkward = kHyou + "\"{q}\\\r\n\t\x01 \x80\xFD" + kSo + "\x81";

TStoredExpression Compile(const std::string& text) {
  TBuildQuboParser c;
  c.Compile(text);
  return c.ToStored();
}

TPageImage ReadBytes(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream s(bytes);
  TPageImage p;
  ReadPageImage(s, "t.qsb", p);
  EXPECT_EQ(s.Remaining(), 0);
  return p;
}

// Expressions our compiler makes, and ones it never would (only raw operations carry them).
std::vector<TStoredExpression> SampleExpressions() {
  std::vector<TStoredExpression> out = {
      Compile("a + b * 2"),
      Compile("x = (a + b) * -c"),
      Compile("s = \"" + kHyou + "\\\"}{\" ++ IntToStr(n + 1)"),
      Compile("arr[i, j + 1] = Max(1.5, y) >> 2"),
      Compile(kSo + " <> FALSE"),
      TStoredExpression{},
  };
  TStoredExpression odd;
  TStoredOperation none;
  none.code = ocNone;
  none.destination = "de\tst " + kAwkward;
  none.operands = {TStoredOperand::Float({1, 2, 3, 4, 5, 6, 7, 0, 0xFF, 0x7F}), TStoredOperand::Flag(true),
                   TStoredOperand::String(kAwkward), TStoredOperand::Name(""), TStoredOperand::Int(INT32_MIN)};
  TStoredOperation call;
  call.code = ocFunc;
  call.destination = "____7";
  call.funcIndex = kSysFuncCalc;
  call.operands = {TStoredOperand::String("1+1")};
  odd.operations = {none, call};
  out.push_back(odd);
  return out;
}

struct MaskTable {
  const char* what;
  int32_t count;
  int32_t size;
};

// Every command type once per code, every field filled (those the version has).
TPageImage FullPage(int32_t version, const MaskTable& table) {
  TPageImage p;
  p.version = version;
  p.resultType = 4;
  p.maskEntrySize = table.size;
  const auto& defaults = DefaultPropertyMasks();
  for (int32_t i = 0; i < table.count; ++i) {
    std::vector<uint8_t> e(static_cast<size_t>(table.size), 0);
    for (size_t b = 0; b < e.size(); ++b) {
      e[b] = i < kCommandTypes && b < kMaskBytes ? defaults[static_cast<size_t>(i)][b] : static_cast<uint8_t>(0xA5 ^ b);
    }
    p.maskEntries.push_back(e);
  }
  const auto masks = p.Masks();
  const auto exprs = SampleExpressions();
  size_t next = 0;
  auto expr = [&]() { return exprs[next++ % exprs.size()]; };
  for (int code = 0; code < kCommandTypes; ++code) {
    TCommandRecord c;
    c.typeByte = static_cast<uint8_t>(code == cmdCall ? 0x85 : code);
    c.indent = code % 5 == 0 ? -code : code % 7;
    c.disabled = static_cast<uint8_t>(code % 3);
    c.continueFlag = static_cast<uint8_t>(code % 2);
    c.line = code * 10;
    const TCommandDef& def = CommandDef(code);
    c.fields.resize(def.fields.size());
    for (size_t f = 0; f < def.fields.size(); ++f) {
      if (version < def.fields[f].sinceVersion) continue;
      TFieldValue& v = c.fields[f];
      switch (def.fields[f].kind) {
        case TFieldKind::Str: v.text = code == cmdLabel ? "top" : "s" + kAwkward; break;
        case TFieldKind::Text: v.text = "[r]" + kAwkward; break;
        case TFieldKind::Int: v.number = code == cmdJump ? 3 : -7 - code; break;
        case TFieldKind::Byte: v.number = 255 - code; break;
        case TFieldKind::Expr: v.exprs = {expr()}; break;
        case TFieldKind::ExprList: v.exprs = {expr(), expr(), expr()}; break;
        case TFieldKind::Props:
          for (int id = 0; id < kPropertyCount; ++id) {
            if (!MaskHas(masks[static_cast<size_t>(code)], id)) continue;
            v.propIds.push_back(static_cast<uint8_t>(id));
            v.exprs.push_back(expr());
          }
          break;
      }
    }
    p.commands.push_back(c);
  }
  return p;
}

TEST(PageText, EveryCommandRoundTripsAtEveryVersionAndMaskTable) {
  const MaskTable tables[] = {{"default", 64, 22}, {"entry size 20", 64, 20}, {"entry size 24", 64, 24},
                              {"70 entries", 70, 22}, {"no entries", 0, 22}};
  for (const int32_t version : {103, 106, 107, 111, 117}) {
    for (const MaskTable& table : tables) {
      SCOPED_TRACE(std::to_string(version) + ", " + table.what);
      const TPageImage built = FullPage(version, table);
      const std::vector<uint8_t> bytes = PageImageBytes(built);
      const TPageImage read = ReadBytes(bytes);
      ASSERT_EQ(read, built);
      for (const std::string name : {"", "t.qsb"}) {
        const std::string text = PageToText(read, name);
        TPageImage parsed;
        ASSERT_NO_THROW(parsed = ParsePageText(text)) << text;
        EXPECT_EQ(parsed, read) << text;
        EXPECT_EQ(PageImageBytes(parsed), bytes);
      }
    }
  }
}

TEST(PageText, DefaultMaskTableIsOneLineAndSmallerSizesAreKept) {
  const std::string text = PageToText(FullPage(117, {"", 64, 22}));
  EXPECT_NE(text.find("\nmasks default\n"), std::string::npos);
  EXPECT_EQ(text.find("\nmask "), std::string::npos);
  const std::string narrow = PageToText(FullPage(117, {"", 64, 20}));
  EXPECT_NE(narrow.find("\nmasks 64 20\n"), std::string::npos);
  // Entry 8 (BoxNew) keeps its first 20 bytes; properties 160..175 are gone from it.
  EXPECT_NE(narrow.find("\nmask 8 7f7f0028fc8b0000800001008800f2004000bf00\n"), std::string::npos);
  const TPageImage p = ParsePageText(narrow);
  EXPECT_FALSE(MaskHas(p.Masks()[cmdBoxNew], 163));
  EXPECT_TRUE(MaskHas(DefaultPropertyMasks()[cmdBoxNew], 163));
}

// An empty mask table may state any entry size (the reader never reads an entry); building it
// allocates nothing of that size.
TEST(PageText, AnEmptyMaskTableWithAHugeEntrySizeBuildsAtOnce) {
  const TPageImage p = ParsePageText("page 116\nresult 0\nmasks 0 1946217984\n");
  EXPECT_TRUE(p.maskEntries.empty());
  EXPECT_EQ(p.maskEntrySize, 1946217984);
  TKoMemoryStream s(PageImageBytes(p));
  TPageImage back;
  ReadPageImage(s, "x.qsb", back);
  EXPECT_EQ(back, p);
}

TEST(PageText, TextBuildsTheExpectedRecords) {
  const std::string text =
      "page 107\n"
      "result 3\n"
      "Label name=\"top\" continue\n"
      "If cond={a > 3} line=12\n"
      "  Jump page=\"x.qsb\" target=@top cond=\"" + Cp932ToUtf8(kHyou) + " == \\\"}\\\"\"\n"
      "    Calc expr=[Plus \"____0\" v:\"a\" i:-3; To \"____arg\" v:\"____0\"] disabled=2\n"
      "Call page=\"f.qsb\" target=5 result=\"r\" args=({1} {} [To \"____arg\" b:1]) typebyte=0x85 indent=-4\n"
      "VarNew name=\"" + Cp932ToUtf8(kSo) + "\" type=str init={\"a\\\\\"} scope=3\n"
      "imgnew p0={\"bg\"} p12={100}   # any letter case\n"
      "Wait time={500} blocks={TRUE}\n";
  const TPageImage p = ParsePageText(text);
  EXPECT_EQ(p.version, 107);
  EXPECT_EQ(p.resultType, 3);
  ASSERT_EQ(p.commands.size(), 8u);
  const TCommandRecord& label = p.commands[0];
  EXPECT_EQ(label.typeByte, cmdLabel);
  EXPECT_EQ(label.continueFlag, 1);
  EXPECT_EQ(label.fields[0].text, "top");
  const TCommandRecord& cond = p.commands[1];
  EXPECT_EQ(cond.line, 12);
  EXPECT_EQ(cond.indent, 0);
  EXPECT_EQ(cond.fields[0].exprs, std::vector<TStoredExpression>{Compile("a > 3")});
  const TCommandRecord& jump = p.commands[2];
  EXPECT_EQ(jump.indent, 1);
  EXPECT_EQ(jump.fields[0].text, "x.qsb");
  EXPECT_EQ(jump.fields[1].number, 0);
  EXPECT_EQ(jump.fields[2].exprs[0], Compile(kHyou + " == \"}\""));
  const TCommandRecord& calc = p.commands[3];
  EXPECT_EQ(calc.indent, 2);
  EXPECT_EQ(calc.disabled, 2);
  ASSERT_EQ(calc.fields[0].exprs[0].operations.size(), 2u);
  EXPECT_EQ(calc.fields[0].exprs[0].operations[0].code, ocPlus);
  EXPECT_EQ(calc.fields[0].exprs[0].operations[0].operands[1], TStoredOperand::Int(-3));
  const TCommandRecord& call = p.commands[4];
  EXPECT_EQ(call.typeByte, 0x85);
  EXPECT_EQ(call.indent, -4);
  EXPECT_EQ(call.fields[1].number, 5);
  EXPECT_EQ(call.fields[2].text, "r");
  EXPECT_TRUE(call.fields[3].exprs[0].operations.empty());
  ASSERT_EQ(call.fields[4].exprs.size(), 3u);
  EXPECT_EQ(call.fields[4].exprs[0], Compile("1"));
  EXPECT_TRUE(call.fields[4].exprs[1].operations.empty());
  EXPECT_EQ(call.fields[4].exprs[2].operations[0].operands[0], TStoredOperand::Flag(true));
  const TCommandRecord& var = p.commands[5];
  EXPECT_EQ(var.fields[0].text, kSo);
  EXPECT_EQ(var.fields[1].number, 4);
  EXPECT_EQ(var.fields[2].exprs[0].operations[0].operands[0], TStoredOperand::String("a\\"));
  EXPECT_EQ(var.fields[3].number, 3);
  const TCommandRecord& img = p.commands[6];
  EXPECT_EQ(img.typeByte, cmdImgNew);
  const auto& ids = img.fields[0].propIds;
  ASSERT_EQ(ids.size(), img.fields[0].exprs.size());
  for (size_t k = 0; k < ids.size(); ++k) {
    EXPECT_TRUE(MaskHas(DefaultPropertyMasks()[cmdImgNew], ids[k]));
    const TStoredExpression want = ids[k] == 0 ? Compile("\"bg\"") : ids[k] == 12 ? Compile("100") : TStoredExpression{};
    EXPECT_EQ(img.fields[0].exprs[k], want) << int{ids[k]};
  }
  const TCommandRecord& wait = p.commands[7];
  EXPECT_TRUE(wait.fields[0].exprs[0].operations.empty());
  EXPECT_EQ(wait.fields[2].exprs[0], Compile("TRUE"));
  // The bytes read back to the same records, and their dump builds the same bytes.
  const std::vector<uint8_t> bytes = PageImageBytes(p);
  EXPECT_EQ(ReadBytes(bytes), p);
  EXPECT_EQ(PageImageBytes(ParsePageText(PageToText(ReadBytes(bytes)))), bytes);
}

TEST(PageText, LabelsAndRelativeTargetsResolveToCommandIndexes) {
  const TPageImage p = ParsePageText(
      "page 117\n"
      "name \"Main.qsb\"\n"
      "Jump page=\"main.qsb\" target=@loop\n"       // 0: page names compare in any letter case
      "Label name=\"loop\"\n"                       // 1
      "While cond={i < 3} exit=@end\n"              // 2
      "  Break cond={x} target=@+2\n"               // 3
      "  Continue target=@-1\n"                     // 4
      "  Label name=\"loop\"\n"                     // 5: a second label of that name is never found
      "  Label name=\"" + Cp932ToUtf8(kHyou) + " 2\"\n"  // 6
      "  WhileLoop head=@\"" + Cp932ToUtf8(kHyou) + " 2\"\n"  // 7
      "GameSave page=\"main.qsb\" position=@loop\n"  // 8
      "Call page=\"other.qsb\" target=12\n");       // 9
  ASSERT_EQ(p.commands.size(), 10u);
  EXPECT_EQ(p.commands[0].fields[1].number, 1);
  EXPECT_EQ(p.commands[2].fields[1].number, 10);
  EXPECT_EQ(p.commands[3].fields[1].number, 5);
  EXPECT_EQ(p.commands[4].fields[1].number, 3);
  EXPECT_EQ(p.commands[7].fields[1].number, 6);
  EXPECT_EQ(p.commands[8].fields[2].number, 1);
  EXPECT_EQ(p.commands[9].fields[1].number, 12);
  // A dump that knows the page's name shows same-page targets that are labels by name.
  const std::string text = PageToText(p, "MAIN.qsb");
  EXPECT_NE(text.find("Jump page=\"main.qsb\" target=@loop"), std::string::npos) << text;
  EXPECT_NE(text.find("head=@\"" + Cp932ToUtf8(kHyou) + " 2\""), std::string::npos) << text;
  EXPECT_EQ(ParsePageText(text), p);
  EXPECT_NE(PageToText(p).find("Jump page=\"main.qsb\" target=1"), std::string::npos);
}

TEST(PageText, ExpressionsDumpAsSourceWhereTheCompilerGivesThemBack) {
  struct Case {
    std::string source;
    std::string text;  // the dump, UTF-8
  };
  const Case cases[] = {
      {"1 + 2 * 3", "{1 + 2 * 3}"},
      {"(1 + 2) * 3", "{(1 + 2) * 3}"},
      {"a - (b - c)", "{a - (b - c)}"},
      {"x = -5", "{x = 0 - 5}"},
      {"x = a * -b", "{x = a * -b}"},
      {"y = Sin(a + 1) + Max(a, b[1] + 2)", "{y = Sin(a + 1) + Max(a, b[1] + 2)}"},
      {"arr[i, j] = \"q\\\"}\"", "{arr[i, j] = \"q\\\"}\"}"},
      {"s = \"" + kHyou + "\\n\" ++ " + kSo, "{s = \"" + Cp932ToUtf8(kHyou) + "\\n\" ++ " + Cp932ToUtf8(kSo) + "}"},
      {"f = 2.5 >= 1.25", "{f = 2.5 >= 1.25}"},
      {"a = 1.0E10", "{a = 1e10}"},
      {"a = 0.00001", "{a = 0.00001}"},
      {"TRUE", "{TRUE}"},
      // Braces inside string literals need no balance.
      {"\"}\" ++ \"{{\"", "{\"}\" ++ \"{{\"}"},
      // A control byte is carried by the quoted form.
      {"\"a\tb\"", "\"\\\"a\\tb\\\"\""},
      // Bytes without a UTF-8 form keep their code as \x in the quoted form.
      {"\"\x80\"", "\"\\\"\\x80\\\"\""},
  };
  for (const Case& c : cases) {
    const TStoredExpression e = Compile(c.source);
    const std::string text = ExpressionToText(e);
    EXPECT_EQ(text, c.text) << Cp932ToUtf8(c.source);
    const TPageImage p = ParsePageText("page 117\nCalc expr=" + text + "\n");
    EXPECT_EQ(p.commands[0].fields[0].exprs[0], e) << text;
  }
  EXPECT_EQ(ExpressionToText(TStoredExpression{}), "{}");
}

TEST(PageText, ExpressionsOurCompilerWouldNotMakeDumpAsRawOperations) {
  const auto samples = SampleExpressions();
  for (const TStoredExpression& e : samples) {
    const std::string text = ExpressionToText(e);
    // The compiled samples come first and read as source; the last one only as operations.
    EXPECT_EQ(text[0], &e == &samples.back() ? '[' : '{') << text;
    const TPageImage p = ParsePageText("page 117\nCalc expr=" + text + "\n");
    EXPECT_EQ(p.commands[0].fields[0].exprs[0], e) << text;
  }
  TStoredExpression raw;
  raw.operations.resize(1);
  raw.operations[0].code = ocTo;
  raw.operations[0].destination = "____arg";
  raw.operations[0].operands = {TStoredOperand::Int(-5)};  // the compiler makes 0 - 5
  EXPECT_EQ(ExpressionToText(raw), "[To \"____arg\" i:-5]");
}

TEST(PageText, Cp932TextWithBackslashTrailBytesSurvives) {
  // Strings as UTF-8, bytes without a UTF-8 form as \x; trail bytes '\\' are never escapes.
  const std::string text = "x" + kHyou + "\"" + kSo + "\\" + kAwkward;
  TPageImage p;
  p.version = 117;
  TCommandRecord c;
  c.typeByte = cmdTextIns;
  c.fields.resize(CommandDef(cmdTextIns).fields.size());
  c.fields[0].text = text;
  for (int f = 1; f <= 4; ++f) c.fields[static_cast<size_t>(f)].exprs = {Compile("\"" + kHyou + "\" ++ " + kSo)};
  p.commands.push_back(c);
  const std::string dump = PageToText(p);
  EXPECT_NE(dump.find("text=\"x" + Cp932ToUtf8(kHyou) + "\\\"" + Cp932ToUtf8(kSo) + "\\\\"), std::string::npos) << dump;
  EXPECT_NE(dump.find("box={\"" + Cp932ToUtf8(kHyou) + "\" ++ " + Cp932ToUtf8(kSo) + "}"), std::string::npos) << dump;
  const TPageImage back = ParsePageText(dump);
  EXPECT_EQ(back.commands[0].fields[0].text, text);
  EXPECT_EQ(PageImageBytes(back), PageImageBytes(p));
}

TEST(PageText, MasksAutoSetsTheBitsOfUsedProperties) {
  const TPageImage p = ParsePageText("page 117\nmasks auto\nTimer p1={5} p0={\"t\"}\nBoxNew p2={1}\n");
  const auto masks = p.Masks();
  EXPECT_TRUE(MaskHas(masks[cmdTimer], 1));
  EXPECT_TRUE(MaskHas(masks[cmdBoxNew], 2));
  EXPECT_FALSE(MaskHas(DefaultPropertyMasks()[cmdTimer], 1));
  // Every other default bit stays.
  for (int id = 0; id < kPropertyCount; ++id) {
    EXPECT_TRUE(!MaskHas(DefaultPropertyMasks()[cmdTimer], id) || MaskHas(masks[cmdTimer], id)) << id;
  }
  EXPECT_EQ(p.commands[0].fields[0].propIds[1], 1);
  EXPECT_EQ(p.commands[0].fields[0].exprs[1], Compile("5"));
  // The dump lists the mask table entry by entry, and builds the same page.
  EXPECT_EQ(ParsePageText(PageToText(p)), p);
}

TEST(PageText, WindowsLineEndsAndAByteOrderMarkAreRead) {
  const TPageImage p = ParsePageText("\xEF\xBB\xBFpage 117\r\n# note\r\nComment text=\"a b\"\r\n  If cond={a}\r\n");
  ASSERT_EQ(p.commands.size(), 2u);
  EXPECT_EQ(p.commands[0].fields[0].text, "a b");
  EXPECT_EQ(p.commands[1].indent, 1);
  EXPECT_EQ(p.commands[1].fields[0].exprs[0], Compile("a"));
}

TEST(PageText, VersionsOutsideTheReadRangeAreTheVersionAlone) {
  for (const int32_t v : {102, 118}) {
    const TPageImage p = ParsePageText("page " + std::to_string(v) + "\n");
    EXPECT_EQ(PageImageBytes(p), (std::vector<uint8_t>{static_cast<uint8_t>(v), 0, 0, 0}));
    EXPECT_EQ(PageToText(p), "page " + std::to_string(v) + "\n");
  }
}

TEST(PageText, ErrorsNameTheLineAndWhatIsWrong) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"", "empty text"},
      {"If\n", "line 1: the first line is \"page VERSION\""},
      {"page 117\n\nFrobnicate\n", "line 3: unknown command Frobnicate"},
      {"page 106\nWait blocks={1}\n", "line 2: Wait blocks needs page version 107 or later"},
      {"page 110\nCallHist format={1}\n", "line 2: CallHist format needs page version 111 or later"},
      {"page 117\nIf cond={1} cond={2}\n", "line 2: cond given twice"},
      {"page 117\nIf bogus={1}\n", "line 2: If has no field bogus (fields: cond)"},
      {"page 117\n If cond={1}\n", "line 2: indent with two spaces per level"},
      {"page 117\nJump target=x1\n", "line 2: bad target \"x1\""},
      {"page 117\nIf cond={a ++ \"}\n", "line 2: unclosed {"},
      {"page 117\nIf cond={a + (b}\n", "line 2: cond: \x8d\x5c\x95\xb6\x83\x47\x83\x89\x81\x5b"},
      {"page 117\nCalc expr=[Func \"____0\" Sin i:1 i:2]\n", "line 2: Sin does not take 2 arguments"},
      {"page 117\nCalc expr=[Frob \"x\"]\n", "line 2: unknown operation Frob"},
      {"page 117\nLabel name=top\n", "line 2: name takes a quoted string"},
      {"page 117\nJump target=@nowhere\n", "line 2: unknown label @nowhere"},
      {"page 117\nname \"a.qsb\"\nLabel name=\"t\"\nJump page=\"b.qsb\" target=@t\n",
       "line 4: a label names a command of this page, but the command goes to \"b.qsb\""},
      {"page 117\nTimer p1={5}\n", "line 2: property p1 is not in the mask of Timer"},
      {"page 117\nTimer p171={5}\n", "line 2: bad property id \"171\""},
      {"page 117\nmasks 2 22\nmask 2 01\n", "line 3: mask 2 is past the entry count"},
      {"page 117\nmask 2 01\n", "line 2: mask lines need \"masks COUNT SIZE\""},
      {"page 117\nVarNew scope=256\n", "line 2: bad scope \"256\""},
      {"page 117\nCall args={1}\n", "line 2: args takes a list"},
      {"page 117\nCall typebyte=0x86\n", "line 2: typebyte 0x86 is not a Call"},
      {"page 118\nIf\n", "line 2: a page of version 118 holds no commands"},
      {"page 117\nComment text=\"\\q\"\n", "line 2: unknown escape \\q"},
  };
  for (const Case& c : cases) {
    try {
      ParsePageText(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const QuboError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what() << "\nwanted: " << c.message;
    }
  }
}

}  // namespace
}  // namespace qubo::authoring
