// The string functions run from compiled expressions through the function manager: byte and
// character positions, code-page-932 texts whose trail byte is '\', writes into variables,
// constants that stay as compiled, size limits and the dispatcher's own failures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/sysfuncman.h"
#include "functionrig.h"
#include "support/errors.h"

namespace qubo {
namespace {

const std::string kHyo = "\x95\x5C";   // 表: trail byte '\'
const std::string kJi = "\x8E\xA6";    // 示
const std::string kFullA = "\x82\x60";  // Ａ
const std::string kFullLowA = "\x82\x81";  // ａ
const std::string kFullBlank = "\x81\x40";

struct TextFunctions : testkit::FunctionRig {
  TextFunctions() {
    Str("hyo", kHyo);
    Str("hyoji", kHyo + kJi);
    Str("bs", "\\");
    Str("s", "abc");
    vars.AddNamed(PT_INT, "i");
  }
  void Str(const std::string& name, const std::string& value) {
    TParamCollectionItem* v = vars.FindVar(name);
    if (v == nullptr) v = vars.AddNamed(PT_STR, name);
    v->Value().SetStr(value);
  }
  const TCustomParam& V(const std::string& name) { return vars.FindVar(name)->Value(); }
};

struct Case {
  const char* expr;
  std::string expected;
};

TEST_F(TextFunctions, AsciiCases) {
  const std::vector<Case> cases = {
      {"IntToStr(7, 3)", "007"},
      {"IntToStr(-7, 3)", "-007"},
      {"IntToStr(0, 0)", "0"},
      {"IntToStr(12345, 2)", "12345"},
      {"IntToStr(-2147483648)", "-2147483648"},
      {"IntToStr(5, \"\")", "5"},
      {"IntToHex(255, 4)", "00FF"},
      {"IntToHex(-1, 2)", "FFFFFFFF"},
      {"IntToHex(10, 0)", "A"},
      {"Length(\"abc\")", "3"},
      {"Copy(\"abcdef\", 3)", "cdef"},
      {"Copy(\"abcdef\", 3, 2)", "cd"},
      {"Copy(\"abc\", 0, 2)", "ab"},
      {"Copy(\"abc\", 4)", ""},
      {"Copy(\"abc\", 2, -1)", ""},
      {"CompareStr(\"a\", \"b\") < 0", "TRUE"},
      {"CompareStr(\"ab\", \"a\") > 0", "TRUE"},
      {"CompareStr(\"a\", \"a\")", "0"},
      {"CompareText(\"abc\", \"ABD\")", "-1"},
      {"CompareText(\"ABC\", \"abc\")", "0"},
      {"CompareText(\"b\", \"A\")", "1"},
      {"Pos(\"cd\", \"abcdcd\")", "3"},
      {"Pos(\"\", \"abc\")", "0"},
      {"Pos(\"x\", \"abc\")", "0"},
      {"Trim(\"  a b  \")", "a b"},
      {"LowerCase(\"AbC1\")", "abc1"},
      {"UpperCase(\"AbC1\")", "ABC1"},
      {"StringOfChar(\"ab\", 3)", "ababab"},
      {"StringOfChar(\"x\", 0)", ""},
      {"StringOfChar(\"x\", -4)", ""},
      {"StringReplace(\"aXbXc\", \"X\", \"-\")", "a-bXc"},
      {"StringReplace(\"aXbXc\", \"X\", \"-\", TRUE)", "a-b-c"},
      {"StringReplace(\"aXbxc\", \"x\", \"-\", TRUE, TRUE)", "a-b-c"},
      {"StringReplace(\"aXbxc\", \"x\", \"-\", TRUE)", "aXb-c"},
      {"StringReplace(\"abc\", \"\", \"-\", TRUE)", "abc"},
      {"AddDelimiter(\",\", \"\")", ""},
      {"AddDelimiter(\",\", \"a\")", "a,"},
      {"StrToIntDef(\"12\", 5)", "12"},
      {"StrToIntDef(\"$FF\", 5)", "255"},
      {"StrToIntDef(\"12x\", 5)", "5"},
      {"StrToFloatDef(\"1.5\", 0)", "1.5"},
      {"StrToFloatDef(\"abc\", 2.5)", "2.5"},
      {"Chr(65)", "A"},
      {"Chr(321)", "A"},
      {"Chr(-191)", "A"},
      {"Ord(\"A\")", "65"},
      {"Ord(\"\")", "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
}

TEST_F(TextFunctions, DoubleByteTextWithBackslashTrailByte) {
  Str("mixed", "a" + kHyo + "b" + kJi);
  Str("blanks", kFullBlank + " x" + kFullBlank + " ");
  Str("caps", "A" + kHyo + kFullA + "\x83\x61");  // ピ's trail byte is 'a'
  Str("broken", kHyo + "\x95");
  Str("path", kHyo + "\\x");
  Str("leads", "a\x95\x95\x95\x95" "a");  // two characters whose trail bytes are lead-range bytes
  Str("pair", "\x95\x95");
  Str("tailA", "\x95" "a");
  const std::vector<Case> cases = {
      {"Length(hyo)", "2"},
      {"JLength(hyoji)", "2"},
      {"JLength(mixed)", "4"},
      {"JCopy(mixed, 2, 2)", kHyo + "b"},
      {"JCopy(mixed, 4)", kJi},
      {"Pos(bs, hyo)", "0"},
      {"Pos(bs, path)", "3"},
      {"JPos(bs, path)", "2"},
      {"JPos(\"b\", mixed)", "3"},
      {"JTrim(blanks)", "x"},
      {"Trim(blanks)", kFullBlank + " x" + kFullBlank},
      {"FixStr(broken)", kHyo},
      {"FixStr(hyo)", kHyo},
      {"FixStr(\"a\")", "a"},
      {"LowerCase(caps)", "a" + kHyo + kFullLowA + "\x83\x61"},
      {"UpperCase(LowerCase(caps))", "A" + kHyo + kFullA + "\x83\x61"},
      {"StringReplace(path, bs, \"/\", TRUE)", kHyo + "/x"},
      {"StringReplace(hyoji, hyo, \"x\")", "x" + kJi},
      {"Pos(pair, leads)", "2"},
      {"Pos(tailA, leads)", "0"},
      {"JPos(tailA, leads)", "0"},
      {"StringReplace(leads, pair, \"x\", TRUE)", "axxa"},
      {"StringReplace(leads, tailA, \"x\", TRUE)", "a\x95\x95\x95\x95" "a"},
      {"Ord(hyo)", "149"},
      {"HanToZen(\"A1\")", kFullA + "\x82\x50"},
      {"ZenToHan(HanToZen(\"A1\"))", "A1"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
}

TEST_F(TextFunctions, DeleteAndInsertWriteTheirVariableAndYieldNothing) {
  EXPECT_EQ(Eval("Delete(s, 2, 1)"), "");
  EXPECT_EQ(V("s").AsStr(), "ac");
  Str("s", "abc");
  Eval("Delete(s, 2)");
  EXPECT_EQ(V("s").AsStr(), "a");
  Str("s", "abc");
  Eval("Delete(s, 0, 1)");  // a start outside the text changes nothing
  EXPECT_EQ(V("s").AsStr(), "abc");
  Eval("Insert(\"XY\", s, 2)");
  EXPECT_EQ(V("s").AsStr(), "aXYbc");
  Eval("Insert(\"!\", s, 99)");
  EXPECT_EQ(V("s").AsStr(), "aXYbc!");

  Str("t", kHyo + kJi + kHyo);
  Eval("JDelete(t, 2, 1)");
  EXPECT_EQ(V("t").AsStr(), kHyo + kHyo);
  Eval("JInsert(\"a\", t, 2)");
  EXPECT_EQ(V("t").AsStr(), kHyo + "a" + kHyo);

}

TEST_F(TextFunctions, ConstantArgumentsStayAsCompiled) {
  TBuildQuboParser compiler;
  compiler.Compile("Delete(12345, 2, 1)");
  TQuboParser e;
  e.LoadFromStored(compiler.ToStored());
  for (int run = 0; run < 2; ++run) ASSERT_TRUE(e.Execute(ctx)) << e.LastError();
  const TOpeData& call = e.Operations().front();
  ASSERT_EQ(call.code, ocFunc);
  EXPECT_EQ(call.operands[0]->AsInt(), 12345);

  compiler = TBuildQuboParser();
  compiler.Compile("Insert(\"9\", 100, 1)");
  TQuboParser ins;
  ins.LoadFromStored(compiler.ToStored());
  ASSERT_TRUE(ins.Execute(ctx));
  for (const TOpeData& op : ins.Operations()) {
    if (op.code == ocFunc) {
      EXPECT_EQ(op.operands[1]->AsInt(), 100);
    }
  }
}

TEST_F(TextFunctions, IntToStrWidthIsDigitsOnlyAndCapped) {
  const std::string bad = "IntToStr:\x8F\x91\x8E\xAE\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
  EXPECT_EQ(Failure("IntToStr(1, \"%s\")"), bad);
  EXPECT_EQ(Failure("IntToStr(1, -3)"), bad);
  EXPECT_EQ(Failure("IntToStr(1, \"3d%n\")"), bad);
  EXPECT_EQ(Eval("Length(IntToStr(1, 100000000))"), "1024");
  EXPECT_EQ(Eval("Length(IntToHex(1, 2000000000))"), "1024");
}

TEST_F(TextFunctions, BuildersRefuseTextsPastTheLimit) {
  EXPECT_EQ(Failure("StringOfChar(\"abcd\", 10000000)"), sysfunc::kMsgTooLong);
  EXPECT_EQ(Failure("StringOfChar(\"x\", 2147483647)"), sysfunc::kMsgTooLong);
  Str("big", std::string(1 << 20, 'a'));
  EXPECT_EQ(Failure("StringReplace(big, \"a\", \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\", TRUE)"), sysfunc::kMsgTooLong);
  EXPECT_EQ(Eval("Length(StringOfChar(\"ab\", 8388608))"), "16777216");
}

TEST_F(TextFunctions, ManagerChecksIndexAndArgumentCount) {
  TFuncResult r;
  TParamInt one;
  TCustomParam* args[] = {&one, &one, &one, &one};
  try {
    functions.Call(169, args, 1, r);
    FAIL();
  } catch (const QuboError& e) {
    EXPECT_STREQ(e.what(), sysfunc::kMsgInternal);
  }
  try {
    functions.Call(7, args, 4, r);  // Copy takes 2 or 3
    FAIL();
  } catch (const QuboError& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Copy") + sysfunc::kMsgArgCountTail);
  }
  // Table functions go to their dispatcher; without one nobody takes them.
  EXPECT_THROW(functions.Call(101, args, 0, r), QuboError);
  struct Tables : TExprFunctions {
    int seen = -1;
    void Call(int index, TCustomParam* const*, int, TFuncResult& res) override {
      seen = index;
      res.SetInt(42);
    }
  } tables;
  functions.SetTables(&tables);
  functions.Call(160, args, 2, r);
  EXPECT_EQ(tables.seen, 160);
  EXPECT_EQ(r.intValue, 42);
}

}  // namespace

}  // namespace qubo
