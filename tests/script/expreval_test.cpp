// The evaluator: results and types of expression texts, run directly and through the stored
// bytes; silent failure; temporaries; calls; nested compiles.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <optional>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/messages.h"
#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "script/sysfunctable.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {
namespace {

const std::string kSo = "\x83\x5c";  // ソ: trail byte '\'
const std::string kPo = "\x83\x7c";  // ポ: trail byte '|'

// A few stand-ins for built-in functions, enough to drive the evaluator.
class FakeFunctions : public TExprFunctions {
 public:
  std::map<int, std::function<void(TCustomParam* const*, int, TFuncResult&)>> impl;
  void Call(int index, TCustomParam* const* args, int n, TFuncResult& result) override {
    const auto it = impl.find(index);
    if (it == impl.end()) throw QuboError("no such function here");
    it->second(args, n, result);
  }
};

struct Env {
  TParamCollection vars;
  FakeFunctions functions;
  TExprContext ctx;

  Env() {
    ctx.vars = &vars;
    ctx.functions = &functions;
    vars.AddNamed(PT_INT, "i")->Value().SetInt(7);
    vars.AddNamed(PT_FLOAT, "f")->Value().SetFloat(2.5L);
    vars.AddNamed(PT_STR, "s")->Value().SetStr("12");
    vars.AddNamed(PT_STR, "one")->Value().SetStr("1");
    vars.AddNamed(PT_BOOL, "b")->Value().SetBool(true);
    TCustomParam& arr = vars.AddNamed(PT_INT, "arr")->Value();
    arr.SetDims({3});
    for (int k = 0; k < 3; ++k) arr.SetIntAt(k, 10 * (k + 1));
    TCustomParam& m = vars.AddNamed(PT_INT, "m")->Value();
    m.SetDims({2, 3});
    for (int k = 0; k < 6; ++k) m.SetIntAt(k, k);
    vars.AddNamed(PT_INT, kSo + kPo)->Value().SetInt(5);
    vars.AddNamed(PT_STR, "x")->Value().SetStr("old");
    functions.impl[39] = [](TCustomParam* const* a, int, TFuncResult& r) { r.SetFloat(std::sin(a[0]->AsFloat())); };
    functions.impl[48] = [](TCustomParam* const* a, int, TFuncResult& r) {
      r.SetInt(a[0]->AsInt() < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(a[0]->AsInt())) : a[0]->AsInt());
    };
    functions.impl[50] = [this](TCustomParam* const* a, int, TFuncResult& r) {
      r.SetBool(vars.FindVar(a[0]->AsStr()) != nullptr);
    };
    functions.impl[136] = [this](TCustomParam* const* a, int, TFuncResult& r) {
      if (RunText(ctx, a[0]->AsStr())) r.SetStr("TRUE");
    };
    functions.impl[kSysFuncGetProp] = [](TCustomParam* const*, int, TFuncResult&) {};
  }

  const TCustomParam& Var(const std::string& name) { return vars.FindVar(name)->Value(); }
};

std::vector<uint8_t> Compiled(const std::string& text) {
  TBuildQuboParser c;
  c.Compile(text);
  TKoMemoryStream s;
  c.SaveToStream(s);
  return s.Bytes();
}

struct Outcome {
  bool hasResult = false;
  uint8_t type = PT_NONE;
  std::string value;
  std::string error;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Outcome& r) {
  return o << (r.hasResult ? std::to_string(r.type) + ":" + r.value : "(none)") << " [" << r.error << "]";
}

Outcome Observe(const TQuboParser& p) {
  Outcome o;
  o.error = p.LastError();
  if (const TCustomParam* r = p.Result()) {
    o.hasResult = true;
    o.type = r->ParamType();
    o.value = r->AsStr();
  }
  return o;
}

// Runs text on a fresh environment twice: loaded from the compiler's image directly, and
// from the stored bytes. Both must agree; the stored bytes must survive load and save.
Outcome RunBoth(const std::string& text, std::function<void(Env&)> check = nullptr) {
  Outcome outcomes[2];
  for (int way = 0; way < 2; ++way) {
    Env env;
    const int before = env.vars.Count();
    TQuboParser p;
    if (way == 0) {
      TBuildQuboParser c;
      c.Compile(text);
      p.LoadFromStored(c.ToStored());
    } else {
      const std::vector<uint8_t> bytes = Compiled(text);
      TKoMemoryStream in(bytes);
      p.LoadFromStream(in);
      TKoMemoryStream again;
      p.SaveToStream(again);
      EXPECT_EQ(again.Bytes(), bytes) << text;
    }
    p.Execute(env.ctx);
    outcomes[way] = Observe(p);
    EXPECT_EQ(env.vars.Count(), before) << "temporaries left by " << text;
    if (check) check(env);
  }
  EXPECT_EQ(outcomes[0], outcomes[1]) << text;
  return outcomes[1];
}

struct EvalCase {
  std::string text;
  uint8_t type;  // PT_NONE: no result
  std::string value;
};

TEST(ExprEval, ResultsAndTypes) {
  const EvalCase cases[] = {
      // precedence and grouping
      {"1 + 2 * 3", PT_INT, "7"},
      {"(1 + 2) * 3", PT_INT, "9"},
      {"((1 + 2)) * (3 - 1)", PT_INT, "6"},
      {"10 - 4 - 3", PT_INT, "3"},
      {"5 | 2 ^ 3 & 1", PT_INT, "7"},
      {"1 + 1 == 2", PT_BOOL, "TRUE"},
      // unary signs
      {"-5", PT_INT, "-5"},
      {"i * -i", PT_INT, "-49"},
      {"+i", PT_INT, "7"},
      {"- -i", PT_INT, "7"},
      {"-f", PT_FLOAT, "-2.5"},
      // strings: + adds as numbers when a is a string, ++ joins
      {"\"12\" + \"3\"", PT_STR, "15"},
      {"\"12\" ++ \"3\"", PT_STR, "123"},
      {"s + 1", PT_STR, "13"},
      {"1 + s", PT_INT, "13"},
      {"b ++ 1", PT_STR, "TRUE1"},
      {"f ++ \"\"", PT_STR, "2.5"},
      // integer and real division
      {"7 / 2", PT_INT, "3"},
      {"-7 / 2", PT_INT, "-3"},
      {"-7 % 2", PT_INT, "-1"},
      {"7.0 / 2", PT_FLOAT, "3.5"},
      {"7 / 2.0", PT_FLOAT, "3.5"},
      {"f * 2", PT_FLOAT, "5"},
      {"2147483647 + 1", PT_INT, "-2147483648"},
      {"65536 * 65536", PT_INT, "0"},
      // comparisons take the type of a
      {"3 >= 3.5", PT_BOOL, "TRUE"},
      {"3.5 <= 3", PT_BOOL, "FALSE"},
      {"2.5 < 3", PT_BOOL, "TRUE"},
      {"s == 12", PT_BOOL, "TRUE"},
      {"i == \"7\"", PT_BOOL, "TRUE"},
      {"\"abc\" < \"abd\"", PT_BOOL, "TRUE"},
      {"\"b\" > \"B\"", PT_BOOL, "TRUE"},
      {"\"\x82\xa0\" > \"z\"", PT_BOOL, "TRUE"},  // bytes compare unsigned
      {"\"a\" <> \"a\"", PT_BOOL, "FALSE"},
      {"b == 5", PT_BOOL, "TRUE"},
      {"FALSE < TRUE", PT_BOOL, "TRUE"},
      // a flag read through a reference takes the element rule: only "TRUE" is true
      {"b <> one", PT_BOOL, "TRUE"},
      // shifts and bit operations
      {"-1 >> 28", PT_INT, "15"},
      {"1 << 33", PT_INT, "2"},
      {"1 << -1", PT_INT, "-2147483648"},
      {"6 & 3", PT_INT, "2"},
      {"6 | 3", PT_INT, "7"},
      {"6 ^ 3", PT_INT, "5"},
      {"$10 | x1", PT_INT, "17"},
      // array elements
      {"arr[1]", PT_INT, "20"},
      {"arr[1] + arr[2]", PT_INT, "50"},
      {"arr[i - 6] * 2", PT_INT, "40"},
      {"m[1, 2]", PT_INT, "5"},
      {"m[(1), 0] + m[0, arr[0] / 10]", PT_INT, "4"},
      // names and literals with trail bytes 5C and 7C
      {kSo + kPo + " + 1", PT_INT, "6"},
      {"\"a" + kSo + "\" ++ \"" + kPo + "\"", PT_STR, "a" + kSo + kPo},
      {"\"q\\\"" + kSo + "\\\\\"", PT_STR, "q\"" + kSo + "\\"},
      {"\"l\\n\"", PT_STR, "l\r\n"},
      // literals
      {"TRUE", PT_BOOL, "TRUE"},
      {"1.5E3", PT_FLOAT, "1500"},
      // calls
      {"Abs(-3) + 1", PT_INT, "4"},
      {"Sin(0) * 2.5 + Abs(i)", PT_FLOAT, "7"},
      {"GetProp(x, 3)", PT_INT, "0"},
      // assignments leave no result
      {"x = 5", PT_NONE, ""},
      // failures: no result
      {"1 / 0", PT_NONE, ""},
      {"5 % 0", PT_NONE, ""},
      {"1.0 / 0", PT_NONE, ""},
      {"0.0 / 0.0", PT_NONE, ""},
      {"1E4000 * 1E4000", PT_NONE, ""},
      {"nope + 1", PT_NONE, ""},
      {"arr[3]", PT_NONE, ""},
      {"arr[1, 1]", PT_NONE, ""},
      {"GetProp(x, 171)", PT_NONE, ""},
  };
  for (const EvalCase& c : cases) {
    const Outcome o = RunBoth(c.text);
    EXPECT_EQ(o.hasResult, c.type != PT_NONE) << c.text << " -> " << o;
    if (!o.hasResult) continue;
    EXPECT_EQ(o.type, c.type) << c.text;
    EXPECT_EQ(o.value, c.value) << c.text;
  }
}

TEST(ExprEval, AssignmentsConvertToTheDestinationType) {
  RunBoth("i = 2.9", [](Env& e) { EXPECT_EQ(e.Var("i").AsInt(), 2); });
  RunBoth("i = -2.9 * 1", [](Env& e) { EXPECT_EQ(e.Var("i").AsInt(), -2); });
  RunBoth("f = 7 / 2", [](Env& e) { EXPECT_EQ(e.Var("f").AsFloat(), 3.0L); });
  RunBoth("x = 1 + 2", [](Env& e) { EXPECT_EQ(e.Var("x").AsStr(), "3"); });
  RunBoth("b = \"true\"", [](Env& e) { EXPECT_FALSE(e.Var("b").AsBool()); });
  RunBoth("arr[2] = arr[0] + i * 2", [](Env& e) { EXPECT_EQ(e.Var("arr").GetIntAt(2), 24); });
  RunBoth(kSo + kPo + " = " + kSo + kPo + " ++ 0", [](Env& e) { EXPECT_EQ(e.Var(kSo + kPo).AsInt(), 50); });
  RunBoth("m[1, 0] = \"9\"", [](Env& e) { EXPECT_EQ(e.Var("m").GetIntAt(3), 9); });
  // The float error leaves the variable as it was.
  RunBoth("f = 1.0 / 0", [](Env& e) { EXPECT_EQ(e.Var("f").AsFloat(), 2.5L); });
}

// x := 5, then y := missing, then ____arg := x: the first effect stays, no result.
TEST(ExprEval, PartialFailureKeepsEarlierEffects) {
  TStoredExpression e;
  e.operations.push_back({ocTo, "i", 0, {TStoredOperand::Int(5)}});
  e.operations.push_back({ocTo, "x", 0, {TStoredOperand::Name("missing")}});
  e.operations.push_back({ocTo, "____arg", 0, {TStoredOperand::Name("i")}});
  Env env;
  TQuboParser p;
  p.LoadFromStored(e);
  EXPECT_FALSE(p.Execute(env.ctx));
  EXPECT_EQ(p.Result(), nullptr);
  EXPECT_EQ(env.Var("i").AsInt(), 5);
  EXPECT_EQ(env.Var("x").AsStr(), "old");
  EXPECT_EQ(p.LastError(), "\"missing" + std::string(msg::kMsgNoVariableTail));
  // The same expression with the variable present runs to the end.
  env.vars.AddNamed(PT_INT, "missing");
  EXPECT_TRUE(p.Execute(env.ctx));
  ASSERT_NE(p.Result(), nullptr);
  EXPECT_EQ(p.Result()->AsInt(), 5);
  EXPECT_EQ(env.Var("x").AsStr(), "0");
}

TEST(ExprEval, CallsThatReadTheTableSeeTheTemporaries) {
  // VarExists reads the table: the expression runs with its temporaries in it.
  EXPECT_EQ(RunBoth("VarExists(\"____0\")").value, "TRUE");
  EXPECT_EQ(RunBoth("VarExists(\"____9\")").value, "FALSE");
}

TEST(ExprEval, AnExistingTemporaryIsWrittenAndKept) {
  Env env;
  env.vars.AddNamed(PT_STR, "____0")->Value().SetStr("outer");
  TQuboParser p;
  TBuildQuboParser c;
  c.Compile("1 + 2 * 3");  // ____0 := 2 * 3 into the existing string
  p.LoadFromStored(c.ToStored());
  p.Execute(env.ctx);
  ASSERT_NE(p.Result(), nullptr);
  EXPECT_EQ(p.Result()->AsInt(), 7);
  ASSERT_NE(env.vars.FindVar("____0"), nullptr);
  EXPECT_EQ(env.Var("____0").AsStr(), "6");
}

TEST(ExprEval, CompileDuringARunGetsItsOwnTemporaries) {
  RunBoth("x = \"a\" ++ Calc(\"y = 1 + 2\")", [](Env& e) {
    EXPECT_EQ(e.Var("x").AsStr(), "aTRUE");
  });
  Env env;
  env.vars.AddNamed(PT_INT, "y");
  TQuboParser p;
  TBuildQuboParser c;
  c.Compile("x = \"a\" ++ Calc(\"y = 1 + 2\")");
  p.LoadFromStored(c.ToStored());
  EXPECT_TRUE(p.Execute(env.ctx)) << p.LastError();
  EXPECT_EQ(env.Var("y").AsInt(), 3);
  EXPECT_EQ(env.Var("x").AsStr(), "aTRUE");
  EXPECT_EQ(env.ctx.tempFloor, 0);
}

TEST(ExprEval, CallDestinationIsFoundAfterTheCall) {
  Env env;
  // A function that deletes its own destination temporary.
  env.functions.impl[156] = [&env](TCustomParam* const*, int, TFuncResult& r) {
    env.vars.Delete(env.vars.FindVar("____0"));
    r.SetBool(true);
  };
  const int before = env.vars.Count();
  TQuboParser p;
  TBuildQuboParser c;
  c.Compile("x = PopVar()");
  p.LoadFromStored(c.ToStored());
  EXPECT_FALSE(p.Execute(env.ctx));
  EXPECT_EQ(p.LastError(), "\"____0" + std::string(msg::kMsgNoVariableTail));
  EXPECT_EQ(env.Var("x").AsStr(), "old");
  EXPECT_EQ(env.vars.Count(), before);
}

TEST(ExprEval, CallsFailWithoutFunctions) {
  Env env;
  env.ctx.functions = nullptr;
  TQuboParser p;
  TBuildQuboParser c;
  c.Compile("x = Abs(1)");
  p.LoadFromStored(c.ToStored());
  EXPECT_FALSE(p.Execute(env.ctx));
  EXPECT_EQ(env.Var("x").AsStr(), "old");
}

TEST(ExprEval, NamesAreLookedUpAgainWhenTheTableChanges) {
  Env env;
  TQuboParser p;
  TBuildQuboParser c;
  c.Compile("i + 1");
  p.LoadFromStored(c.ToStored());
  ASSERT_TRUE(p.Execute(env.ctx));
  EXPECT_EQ(p.Result()->AsStr(), "8");
  // Replaced by a float of the same name.
  env.vars.Delete(env.vars.FindVar("i"));
  env.vars.AddNamed(PT_FLOAT, "I")->Value().SetFloat(0.5L);
  ASSERT_TRUE(p.Execute(env.ctx));
  EXPECT_EQ(p.Result()->ParamType(), PT_FLOAT);
  EXPECT_EQ(p.Result()->AsStr(), "1.5");
  // A local of the current depth hides it; at another depth it does not.
  auto d = env.vars.Declare("i", PT_INT, VarScope::Local);
  d.var->Value().SetInt(100);
  ASSERT_TRUE(p.Execute(env.ctx));
  EXPECT_EQ(p.Result()->AsStr(), "101");
  env.vars.SetCurrentLocalId(env.vars.CurrentLocalId() + 1);
  ASSERT_TRUE(p.Execute(env.ctx));
  EXPECT_EQ(p.Result()->AsStr(), "1.5");
  // Gone: the run fails.
  env.vars.SetCurrentLocalId(env.vars.CurrentLocalId() - 1);
  env.vars.Delete(d.var);
  env.vars.Delete(env.vars.FindVar("i"));
  EXPECT_FALSE(p.Execute(env.ctx));
  EXPECT_EQ(p.Result(), nullptr);
}

TEST(ExprEval, ExpressionOutlivesItsTableAndMeetsANewOneAtTheSameAddress) {
  TQuboParser p;
  TBuildQuboParser c;
  c.Compile("i + 1");
  p.LoadFromStored(c.ToStored());
  std::optional<TParamCollection> vars;  // one storage, so the second table has the same address
  for (int value : {1, 41}) {
    vars.emplace();
    vars->AddNamed(PT_INT, "i")->Value().SetInt(value);
    TExprContext ctx;
    ctx.vars = &*vars;
    ASSERT_TRUE(p.Execute(ctx)) << p.LastError();
    EXPECT_EQ(p.Result()->AsInt(), value + 1);
    vars.reset();
  }
}

TEST(ExprEval, InvalidOperationsFailWithTheirMessage) {
  Env env;
  TStoredExpression e;
  e.operations.push_back({ocNone, "____0", 0, {TStoredOperand::Int(1)}});
  TQuboParser p;
  p.LoadFromStored(e);
  EXPECT_FALSE(p.Execute(env.ctx));
  EXPECT_EQ(p.LastError(), "\x95\x73\x90\xb3\x82\xc8\x8e\xae\r\n\r\n\x91\xe3\x93\xfc\x90\xe6:____0"
                           "\x89\x89\x8e\x5a\x83\x5e\x83\x43\x83\x76:ocNone\r\n1");
  // ocNone on an existing variable does nothing.
  TStoredExpression quiet;
  quiet.operations.push_back({ocNone, "x", 0, {}});
  p.LoadFromStored(quiet);
  EXPECT_TRUE(p.Execute(env.ctx));
  // Too few operands for the code.
  TStoredExpression shortOp;
  shortOp.operations.push_back({ocPlus, "____0", 0, {TStoredOperand::Int(1)}});
  p.LoadFromStored(shortOp);
  EXPECT_FALSE(p.Execute(env.ctx));
}

TEST(ExprEval, RunTextReportsCompileFailuresOnly) {
  Env env;
  EXPECT_FALSE(RunText(env.ctx, "   "));
  EXPECT_FALSE(RunText(env.ctx, "x = (1"));
  EXPECT_FALSE(RunText(env.ctx, "x = Nope(1)"));
  std::string error;
  EXPECT_TRUE(RunText(env.ctx, " x = 1 / 0 ", &error));
  EXPECT_EQ(env.Var("x").AsStr(), "old");
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(RunText(env.ctx, "x = 40 + 2", &error));
  EXPECT_EQ(env.Var("x").AsStr(), "42");
  EXPECT_TRUE(error.empty());
}

TEST(ExprEval, AssignCopiesOperationsAndResultsStayIndependent) {
  Env env;
  TBuildQuboParser c;
  c.Compile("i * 2 + f");
  TQuboParser a, b;
  a.LoadFromStored(c.ToStored());
  b.Assign(a);
  TKoMemoryStream sa, sb;
  a.SaveToStream(sa);
  b.SaveToStream(sb);
  EXPECT_EQ(sa.Bytes(), sb.Bytes());
  ASSERT_TRUE(b.Execute(env.ctx));
  EXPECT_EQ(b.Result()->AsStr(), "16.5");
  EXPECT_EQ(a.Result(), nullptr);
}

}  // namespace
}  // namespace qubo
