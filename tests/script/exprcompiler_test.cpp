// The compiler: operations produced from text, syntax errors, and the stored bytes.

#include <gtest/gtest.h>

#include "script/exprcodes.h"
#include "script/exprcompiler.h"
#include "script/exprstore.h"
#include "support/errors.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

std::string Ops(const std::string& text) {
  TBuildQuboParser p;
  p.Compile(text);
  return DumpOperations(p.Operations());
}

struct CompileCase {
  const char* text;
  const char* ops;
};

TEST(ExprCompiler, OperationsFollowPrecedenceAndGrouping) {
  const CompileCase cases[] = {
      {"x = a + b * 2", "____0 := b * 2\n____1 := a + ____0\nx := ____1\n"},
      {"1 + 2 * 3", "____0 := 2 * 3\n____1 := 1 + ____0\n____arg := ____1\n"},
      {"(1 + 2) * 3", "____1 := 1 + 2\n____2 := ____1 * 3\n____arg := ____2\n"},
      {"f(a+1, b)", "____2 := a + 1\n____0 := f(____2, b)\n____arg := ____0\n"},
      {"a = 5", "a := 5\n"},
      {"-5", "____0 := 0 - 5\n____arg := ____0\n"},
      {"+x", "____0 := 0 + x\n____arg := ____0\n"},
      {"a * -b", "____0 := 0 - b\n____1 := a * ____0\n____arg := ____1\n"},
      {"a - -b", "____0 := 0 - b\n____1 := a - ____0\n____arg := ____1\n"},
      {"a + +b", "____0 := a + b\n____arg := ____0\n"},
      // left association within a level
      {"a - b - c", "____0 := a - b\n____1 := ____0 - c\n____arg := ____1\n"},
      {"a | b ^ c & d ++ e == f << g + h * i",
       "____0 := h * i\n____1 := g + ____0\n____2 := f << ____1\n____3 := e == ____2\n____4 := d ++ ____3\n"
       "____5 := c & ____4\n____6 := b ^ ____5\n____7 := a | ____6\n____arg := ____7\n"},
      {"a<>b", "____0 := a <> b\n____arg := ____0\n"},
      {"a>=b", "____0 := a >= b\n____arg := ____0\n"},
      {"a+++b", "____0 := a ++ b\n____arg := ____0\n"},
      {"a<-1", "____0 := 0 - 1\n____1 := a < ____0\n____arg := ____1\n"},
      {"f(a,)", "____0 := f(a)\n____arg := ____0\n"},
      {"f()", "____0 := f()\n____arg := ____0\n"},
      {"f(((a)))", "____0 := f(a)\n____arg := ____0\n"},
      // enclosing parentheses go, inner groups stay
      {"f(((a)+(b)))", "____2 := b\n____3 := a\n____4 := ____3 + ____2\n____0 := f(____4)\n____arg := ____0\n"},
      {"Max(Min(a, 1), 2)", "____0 := Min(a, 1)\n____1 := Max(____0, 2)\n____arg := ____1\n"},
      {"a[i % 100] = a[i % 100] + i * 2",
       "____2 := i % 100\n____d_0 := a[____2]\n____5 := i % 100\n____d_3 := a[____5]\n____6 := i * 2\n"
       "____7 := ____d_0 + ____6\n____d_3 := ____7\n"},
      {"m[1, j]", "____d_0 := m[1, j]\n____arg := ____d_0\n"},
      {"s = \"x\" ++ t", "____0 := \"x\"\n____1 := ____0 ++ t\ns := ____1\n"},
      {"\"a\\\"b\"", "____0 := \"a\"b\"\n____arg := ____0\n"},
      {"\"a\\nb\\\\\"", "____0 := \"a\r\nb\\\"\n____arg := ____0\n"},
      // an unclosed quote stays as operand text
      {"\"abc", "____arg := \"abc\n"},
      {"", "____arg := \n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Ops(c.text), c.ops) << c.text;
}

TEST(ExprCompiler, TrailBytesNeverActAsOperatorsOrEscapes) {
  // ソ = 83 5C (trail '\'), ポ = 83 7C (trail '|'), ー = 83 5B (trail '[').
  const std::string so = "\x83\x5c", po = "\x83\x7c", bar = "\x81\x5b";
  EXPECT_EQ(Ops("x" + po + " = " + so + po + " + 1"), "____0 := " + so + po + " + 1\nx" + po + " := ____0\n");
  // A literal ending in ソ: the trail byte does not escape the closing quote.
  EXPECT_EQ(Ops("\"" + so + "\" ++ a"), "____0 := \"" + so + "\"\n____1 := ____0 ++ a\n____arg := ____1\n");
  // ー after an array name is part of the name, not a bracket.
  EXPECT_EQ(Ops("a" + bar + "[1]"), "____d_0 := a" + bar + "[1]\n____arg := ____d_0\n");
  // A double-byte character whose trail byte is a letter is no function name.
  const std::string a = "\x83\x41";  // ア
  EXPECT_EQ(Ops("x" + a + "(1)"), "____0 := 1\n____arg := x" + a + "____0\n");
}

TEST(ExprCompiler, SyntaxErrorsRaiseTheSystemMessages) {
  const char* syntax[] = {
      "a +", "a + (b", "a + b)", ")(", "= a", "* a", "a = b = c", "f(a,,b)", "f(,a)", "a * -",
      "-", "(", "f(a", "a]", "[1]", "a = ()", "x = 1 + ", "a[1", "a ++", "a + * b", "1 2 = 3 4 =",
  };
  for (const char* text : syntax) {
    try {
      Ops(text);
      ADD_FAILURE() << "compiled: " << text;
    } catch (const QuboError& e) {
      EXPECT_STREQ(e.what(), kSyntaxErrorMessage) << text;
    }
  }
  for (const char* text : {"a[]", "a[ ]", "a[1,]", "a[,1]"}) {
    try {
      Ops(text);
      ADD_FAILURE() << "compiled: " << text;
    } catch (const QuboError& e) {
      EXPECT_STREQ(e.what(), kBadSubscriptsMessage) << text;
    }
  }
}

std::vector<uint8_t> Stored(const std::string& text) {
  TBuildQuboParser p;
  p.Compile(text);
  TKoMemoryStream s;
  p.SaveToStream(s);
  return s.Bytes();
}

TEST(ExprCompiler, StoredBytesClassifyOperands) {
  const Extended80 x15 = DoubleToExtended(1.5);
  testkit::Bytes want;
  want.i32(7);
  want.u8(ocTo).str("____0").i32(1).u8(4).str("s");
  want.u8(ocMinus).str("____3").i32(2).u8(1).i32(0).u8(1).i32(3);
  want.u8(ocFunc).str("____1").i32(1).u8(48).u8(0).str("____3");
  want.u8(ocPlus).str("____4").i32(2).u8(0).str("____1").u8(2);
  want.b.insert(want.b.end(), x15.begin(), x15.end());
  want.u8(ocComboStr).str("____5").i32(2).u8(0).str("____0").u8(0).str("____4");
  want.u8(ocOr).str("____6").i32(2).u8(0).str("____5").u8(3).u8(1);
  want.u8(ocTo).str("x").i32(1).u8(0).str("____6");
  EXPECT_EQ(Stored("x = \"s\" ++ Abs(-3) + 1.5 | TRUE"), want.b);
}

TEST(ExprCompiler, HexAndEmptyExpressionStoreAsThePartSays) {
  TKoMemoryStream in(Stored("$ff + x10"));
  const TStoredExpression e = ReadStoredExpression(in);
  ASSERT_EQ(e.operations.size(), 2u);
  EXPECT_EQ(e.operations[0].operands[0], TStoredOperand::Int(255));
  EXPECT_EQ(e.operations[0].operands[1], TStoredOperand::Int(16));  // "x10" is integer text
  TBuildQuboParser none;
  TKoMemoryStream empty;
  none.SaveToStream(empty);
  EXPECT_EQ(empty.Bytes(), testkit::Bytes().i32(0).b);
}

TEST(ExprCompiler, StoringChecksFunctionsAndArgumentCounts) {
  auto storeFails = [](const std::string& text, const std::string& message) {
    TBuildQuboParser p;
    p.Compile(text);
    TKoMemoryStream s;
    try {
      p.SaveToStream(s);
      ADD_FAILURE() << "stored: " << text;
    } catch (const QuboError& e) {
      EXPECT_EQ(e.what(), message) << text;
    }
  };
  storeFails("Nope(1)", "\"Nope\" \x8a\xd6\x90\x94\x96\xbc\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
  storeFails("sin(1)", "\"sin\" \x8a\xd6\x90\x94\x96\xbc\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
  storeFails("Sin(1, 2)", "Sin \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7");
  storeFails("Sin()", "Sin \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7");
  TBuildQuboParser ok;
  ok.Compile("SetArray(a, 1, 2, 3, 4, 5, 6, 7, 8) + PopVar()");
  TKoMemoryStream s;
  EXPECT_NO_THROW(ok.SaveToStream(s));
}

TEST(ExprCompiler, CounterStartsWhereTheCallerSays) {
  TBuildQuboParser p(40);
  p.Compile("x = a + 1");
  EXPECT_EQ(DumpOperations(p.Operations()), "____40 := a + 1\nx := ____40\n");
}

}  // namespace
}  // namespace qubo
