// Numeric and date functions run from compiled expressions through the function manager:
// conversions, the generator of Random, wrapping Abs, processor errors, calendar checks,
// rounding of times to the millisecond, weekdays, and decoded parts written into variables.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/messages.h"
#include "script/paramcollection.h"
#include "script/sysfuncman.h"
#include "functionrig.h"

namespace qubo {
namespace {

// 日付が不正です, 時刻が不正です, 日付の値が範囲外です
const std::string kBadDate = "\x93\xFA\x95t\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
const std::string kBadTime = "\x8E\x9E\x8D\x8F\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
const std::string kDateRange = "\x93\xFA\x95t\x82\xCC\x92l\x82\xAA\x94\xCD\x88\xCD\x8AO\x82\xC5\x82\xB7";

struct NumberFunctions : testkit::FunctionRig {
  NumberFunctions() {
    for (const char* n : {"y", "m", "d"}) vars.AddNamed(PT_INT, n);
    vars.AddNamed(PT_FLOAT, "x");
    vars.AddNamed(PT_STR, "text");
  }
  const TCustomParam& V(const std::string& name) { return vars.FindVar(name)->Value(); }
  void SetX(long double v) { vars.FindVar("x")->Value().SetFloat(v); }

};

struct Case {
  const char* expr;
  const char* expected;
};

TEST_F(NumberFunctions, Numbers) {
  const std::vector<Case> cases = {
      {"Not(0)", "TRUE"},
      {"Not(\"TRUE\")", "FALSE"},
      {"Not(2.5)", "FALSE"},
      {"Int(2.9)", "2"},
      {"Int(-2.9)", "-2"},
      {"Int(\"7\")", "7"},
      {"Float(3)", "3"},
      {"Float(\"1.25\")", "1.25"},
      {"Sin(0)", "0"},
      {"Cos(0)", "1"},
      {"Tan(0)", "0"},
      {"ArcTan(1) * 4 > 3.14159", "TRUE"},
      {"ArcTan2(1, 0) * 2 > 3.14159", "TRUE"},
      {"ArcTan2(0, -1) > 3.14159", "TRUE"},
      {"Hypot(3, 4)", "5"},
      {"Abs(-5)", "5"},
      {"Abs(-2147483647 - 1)", "-2147483648"},
      {"Fabs(-1.5)", "1.5"},
      {"Min(3, -4)", "-4"},
      {"Max(3, -4)", "3"},
      {"Fmin(0.5, 0.25)", "0.25"},
      {"Fmax(0.5, 0.25)", "0.5"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
}

TEST_F(NumberFunctions, ProcessorErrorsFail) {
  EXPECT_EQ(Failure("Int(1E30)"), msg::kMsgRealToInt);
  EXPECT_EQ(Failure("ArcSin(2)"), "Invalid floating point operation");
  EXPECT_EQ(Failure("Hypot(1E4932, 1E4932)"), "Floating point overflow");
}

TEST_F(NumberFunctions, RandomFollowsTheGenerator) {
  SetRandomSeed(0);
  // seed 1, then 1 * 134775813 + 1: the high 32 bits of seed * 65536.
  EXPECT_EQ(Eval("Random(65536)"), "0");
  EXPECT_EQ(Eval("Random(65536)"), std::to_string(134775814u >> 16));
  EXPECT_EQ(RandomSeed(), 134775814u);

  SetRandomSeed(12345);
  std::vector<std::string> first;
  for (int k = 0; k < 5; ++k) first.push_back(Eval("Random(1000)"));
  SetRandomSeed(12345);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(Eval("Random(1000)"), first[static_cast<size_t>(k)]);

  for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu, 0x80000000u}) {
    SetRandomSeed(seed);
    for (int k = 0; k < 50; ++k) ASSERT_EQ(Eval("Random(1)"), "0");
  }
  SetRandomSeed(99);
  for (int k = 0; k < 200; ++k) {
    const int v = std::stoi(Eval("Random(7)"));
    ASSERT_TRUE(v >= 0 && v < 7) << v;
  }
}

TEST_F(NumberFunctions, Dates) {
  const std::vector<Case> cases = {
      {"EncodeDate(1899, 12, 30)", "0"},
      {"EncodeDate(2000, 1, 1)", "36526"},
      {"EncodeDate(2024, 2, 29)", "45351"},
      {"EncodeDate(1, 1, 1)", "-693593"},
      {"EncodeDate(9999, 12, 31)", "2958465"},
      {"EncodeTime(12, 0, 0)", "0.5"},
      {"EncodeTime(6, 0, 0) * 4", "1"},
      {"GetYear(36526.75)", "2000"},
      {"GetMonth(36526.75)", "1"},
      {"GetDay(36526.75)", "1"},
      {"GetHour(36526.75)", "18"},
      {"GetMin(EncodeTime(1, 2, 3))", "2"},
      {"GetSec(EncodeTime(1, 2, 3))", "3"},
      // Before the epoch the fraction is still the time of that day.
      {"GetDay(-1.25)", "29"},
      {"GetHour(-1.25)", "6"},
      {"GetWeek(0)", "7"},
      {"GetWeek(EncodeDate(2024, 1, 1))", "2"},
      {"GetWeek(EncodeDate(1, 1, 1))", "2"},
      {"GetWeekStr(EncodeDate(2000, 1, 1))", "Saturday"},
      {"GetWeekStr(EncodeDate(2000, 1, 2))", "Sunday"},
      {"GetYear(2958465.5)", "9999"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
  EXPECT_EQ(Eval("GetWeekJStr(EncodeDate(2000, 1, 1))"), "\x93y");  // 土
  EXPECT_EQ(Eval("GetWeekJStr(EncodeDate(2000, 1, 2))"), "\x93\xFA");  // 日
}

TEST_F(NumberFunctions, InvalidDatesAndValuesFail) {
  for (const char* e : {"EncodeDate(2023, 2, 29)", "EncodeDate(0, 1, 1)", "EncodeDate(10000, 1, 1)",
                        "EncodeDate(2000, 13, 1)", "EncodeDate(2000, 4, 31)", "EncodeDate(2000, 1, 0)"}) {
    EXPECT_EQ(Failure(e), kBadDate) << e;
  }
  for (const char* e : {"EncodeTime(24, 0, 0)", "EncodeTime(0, 60, 0)", "EncodeTime(0, 0, 60)", "EncodeTime(-1, 0, 0)"}) {
    EXPECT_EQ(Failure(e), kBadTime) << e;
  }
  for (const char* e : {"GetYear(1E300)", "GetHour(-1E300)", "GetWeek(-700000)", "GetDay(2958467)",
                        "DecodeDate(1E20, y, m, d)"}) {
    EXPECT_EQ(Failure(e), kDateRange) << e;
  }
  SetX(std::nanl(""));
  EXPECT_EQ(Failure("GetYear(x)"), kDateRange);
  SetX(HUGE_VALL);
  EXPECT_EQ(Failure("DecodeTime(x, y, m, d)"), kDateRange);
}

TEST_F(NumberFunctions, DecodeWritesVariablesAndRoundsToTheMillisecond) {
  EXPECT_EQ(Eval("DecodeDate(EncodeDate(2024, 2, 29) + 0.9, y, m, d)"), "0");
  EXPECT_EQ(V("y").AsInt(), 2024);
  EXPECT_EQ(V("m").AsInt(), 2);
  EXPECT_EQ(V("d").AsInt(), 29);

  // Just under noon by less than half a millisecond is noon, not 11:59:59.
  SetX(0.5L - 1e-10L);
  Eval("DecodeTime(x, y, m, d)");
  EXPECT_EQ(V("y").AsInt(), 12);
  EXPECT_EQ(V("m").AsInt(), 0);
  EXPECT_EQ(V("d").AsInt(), 0);
  // 15:00:00 built from its parts comes back whole.
  Eval("DecodeTime(EncodeTime(15, 0, 0), y, m, d)");
  EXPECT_EQ(V("y").AsInt() * 10000 + V("m").AsInt() * 100 + V("d").AsInt(), 150000);

  // A time that rounds up to midnight belongs to the next day.
  SetX(36526.0L + 1.0L - 1e-10L);
  EXPECT_EQ(Eval("GetHour(x)"), "0");
  EXPECT_EQ(Eval("GetDay(x)"), "2");
  EXPECT_EQ(Eval("GetWeek(x)"), "1");

  // Parts written into a string variable arrive as text.
  Eval("DecodeDate(0, text, m, d)");
  EXPECT_EQ(V("text").AsStr(), "1899");
}

TEST_F(NumberFunctions, DecodeNeverWritesIntoConstants) {
  auto e = Compiled("DecodeDate(36526, 7, 8, 9)");
  ASSERT_TRUE(e->Execute(ctx)) << e->LastError();
  ASSERT_TRUE(e->Execute(ctx)) << e->LastError();
  const TOpeData& call = e->Operations().front();
  ASSERT_EQ(call.code, ocFunc);
  EXPECT_EQ(call.operands[1]->AsInt(), 7);
  EXPECT_EQ(call.operands[2]->AsInt(), 8);
  EXPECT_EQ(call.operands[3]->AsInt(), 9);
}

}  // namespace
}  // namespace qubo
