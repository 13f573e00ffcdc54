// The evaluator's shortcuts against the way an expression runs as written: operators reading
// through element temporaries and reference variables, one-subscript elements, repeated runs
// with moving subscripts, and RunText handing the stored form over without its bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {
namespace {

struct Table {
  TParamCollection vars;
  TExprContext ctx;

  Table() {
    ctx.vars = &vars;
    vars.AddNamed(PT_INT, "i")->Value().SetInt(7);
    vars.AddNamed(PT_INT, "k");
    TCustomParam& arr = vars.AddNamed(PT_INT, "arr")->Value();
    arr.SetDims({3});
    for (int n = 0; n < 3; ++n) arr.SetIntAt(n, 10 * (n + 1));
    TCustomParam& sa = vars.AddNamed(PT_STR, "sa")->Value();
    sa.SetDims({2});
    sa.SetStrAt(0, "TRUE");
    sa.SetStrAt(1, "5");
    TCustomParam& m = vars.AddNamed(PT_INT, "m")->Value();
    m.SetDims({2, 3});
    for (int n = 0; n < 6; ++n) m.SetIntAt(n, n);
    // r: a reference variable to arr[2]; q: one to arr as a whole (element 0).
    vars.ResolveElement(Ref("r"), "arr", {2});
    Ref("q").SetTarget(vars.FindVar("arr"));
    // c1 and c2 refer to each other.
    TParamVar& c1 = Ref("c1");
    TParamVar& c2 = Ref("c2");
    c1.SetTarget(vars.FindVar("c2"));
    c2.SetTarget(vars.FindVar("c1"));
  }
  TParamVar& Ref(const std::string& name) {
    TParamCollectionItem* v = vars.FindVar(name);
    if (v == nullptr) v = vars.AddNamed(PT_NONE, name);
    return static_cast<TParamVar&>(v->Value());
  }
  const TCustomParam& Var(const std::string& name) { return vars.FindVar(name)->Value(); }
};

std::unique_ptr<TQuboParser> Load(const std::string& text) {
  TBuildQuboParser c;
  c.Compile(text);
  auto p = std::make_unique<TQuboParser>();
  p->LoadFromStored(c.ToStored());
  return p;
}

struct Outcome {
  bool ok = false;
  std::string value;  // the result as text, "(none)" without one
  std::string error;
  bool operator==(const Outcome&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Outcome& r) {
  return o << (r.ok ? "ok " : "failed ") << r.value << " [" << r.error << "]";
}

Outcome Observe(TQuboParser& p, TExprContext& ctx) {
  Outcome o;
  o.ok = p.Execute(ctx);
  o.value = p.Result() != nullptr ? p.Result()->AsStr() : "(none)";
  o.error = p.LastError();
  return o;
}

std::string BadIndex(int32_t i) {
  try {
    ThrowBadIndex(i);
  } catch (const QuboError& e) {
    return e.what();
  }
  return {};
}

// Each value expression runs twice on fresh tables: as the evaluator chooses (private
// temporaries), and as written (a "____arg" of the result's type already in the table makes
// the expression put its temporaries into the table). Both ways must agree, and the
// expected value or failure must come out.
TEST(ExprPerfPaths, ReadsThroughReferencesAgreeWithTheWrittenWay) {
  struct Case {
    std::string text;
    uint8_t type;       // of the result, for the "____arg" of the written way
    std::string value;  // "" with an error
    std::string error;
  };
  const Case cases[] = {
      {"arr[i - 5] + arr[i - 7]", PT_INT, "40", ""},
      {"arr[i - 8]", PT_INT, "", BadIndex(-1)},
      {"arr[i - 8] + 1", PT_INT, "", BadIndex(-1)},
      {"r + 1", PT_INT, "31", ""},
      {"r * arr[1]", PT_INT, "600", ""},
      {"r == 30", PT_BOOL, "TRUE", ""},
      {"r ++ \"x\"", PT_STR, "30x", ""},
      {"arr[r - 29] + r", PT_INT, "50", ""},
      {"q[2] + q[0]", PT_INT, "40", ""},
      {"q + 1", PT_INT, "11", ""},
      {"c1 + 1", PT_INT, "1", ""},
      {"c1 ++ \"x\"", PT_STR, "x", ""},
      {"sa[1] ++ sa[0]", PT_STR, "5TRUE", ""},
      {"sa[0] == \"TRUE\"", PT_BOOL, "TRUE", ""},
      {"sa[1] * 2.5", PT_FLOAT, "12.5", ""},
      {"m[1, 2] + m[0, arr[0] / 10]", PT_INT, "6", ""},
      {"arr[1] / (arr[0] - 10)", PT_INT, "", ""},
  };
  for (const Case& c : cases) {
    Outcome ways[2];
    for (int way = 0; way < 2; ++way) {
      Table t;
      if (way == 1) t.vars.AddNamed(c.type, "____arg");
      auto p = Load(c.text);
      ways[way] = Observe(*p, t.ctx);
    }
    EXPECT_EQ(ways[0], ways[1]) << c.text;
    if (c.value.empty()) {
      EXPECT_FALSE(ways[0].ok) << c.text;
      if (!c.error.empty()) {
        EXPECT_EQ(ways[0].error, c.error) << c.text;
      }
    } else {
      EXPECT_TRUE(ways[0].ok) << c.text << ": " << ways[0].error;
      EXPECT_EQ(ways[0].value, c.value) << c.text;
    }
  }
}

// One expression object run again and again while its subscripts move, the table changes
// under it and runs fail half-way.
TEST(ExprPerfPaths, RepeatedRunsFollowMovingSubscripts) {
  Table t;
  auto p = Load("arr[k] = arr[k] + k * 2");
  for (int32_t k : {0, 1, 2, 0}) {
    t.vars.FindVar("k")->Value().SetInt(k);
    EXPECT_TRUE(p->Execute(t.ctx)) << p->LastError();
  }
  EXPECT_EQ(t.Var("arr").GetIntAt(0), 10);
  EXPECT_EQ(t.Var("arr").GetIntAt(1), 22);
  EXPECT_EQ(t.Var("arr").GetIntAt(2), 34);

  // Out of range: the run fails before the assignment, the elements stay.
  t.vars.FindVar("k")->Value().SetInt(3);
  EXPECT_FALSE(p->Execute(t.ctx));
  t.vars.FindVar("k")->Value().SetInt(-1);
  EXPECT_FALSE(p->Execute(t.ctx));
  EXPECT_EQ(p->LastError(), BadIndex(-1));
  EXPECT_EQ(t.Var("arr").GetIntAt(0), 10);

  // Assigning through a reference variable writes the element it refers to.
  auto viaRef = Load("r = r + arr[0]");
  EXPECT_TRUE(viaRef->Execute(t.ctx));
  EXPECT_EQ(t.Var("arr").GetIntAt(2), 44);

  // The array replaced by a larger one: the same expression reaches the new elements.
  ASSERT_TRUE(t.vars.Delete(t.vars.FindVar("arr")));
  t.vars.AddNamed(PT_INT, "arr")->Value().SetDims({5});
  t.vars.FindVar("k")->Value().SetInt(4);
  EXPECT_TRUE(p->Execute(t.ctx)) << p->LastError();
  EXPECT_EQ(t.Var("arr").GetIntAt(4), 8);
  // No temporaries are left in the table.
  EXPECT_EQ(t.vars.FindVar("____d_0"), nullptr);
}

// A call that yields nothing leaves a fresh value in its temporary, also when the same
// expression's earlier run left a value there.
TEST(ExprPerfPaths, ACallYieldingNothingLeavesAFreshValue) {
  struct Toggle : TExprFunctions {
    bool yield = true;
    void Call(int, TCustomParam* const* args, int, TFuncResult& result) override {
      if (yield) result.SetInt(args[0]->AsInt() * 10);
    }
  } functions;
  Table t;
  t.ctx.functions = &functions;
  t.vars.FindVar("k")->Value().SetInt(4);
  auto p = Load("Abs(k) + 1");
  for (const auto& [yield, value] : std::vector<std::pair<bool, std::string>>{{true, "41"}, {false, "1"}, {true, "41"}}) {
    functions.yield = yield;
    EXPECT_TRUE(p->Execute(t.ctx)) << p->LastError();
    ASSERT_NE(p->Result(), nullptr);
    EXPECT_EQ(p->Result()->AsStr(), value) << yield;
  }
}

// RunText gives what compiling, writing the bytes, reading them back and running gives.
TEST(ExprPerfPaths, RunTextMatchesTheStoredBytes) {
  const std::string texts[] = {
      "k = i * 2 + 1", "arr[1] = \"7\" ++ \"1\"", "k = arr[i - 6] - r", "k = (i + 1) * -2",
      "k = 1.5 * 3", "k = 0 - 2147483647 - 1", "k = sa[1] ++ \"\\\"q\\\"\"",
  };
  for (const std::string& text : texts) {
    Table direct, stored;
    std::string error;
    EXPECT_TRUE(RunText(direct.ctx, text, &error)) << text;
    EXPECT_TRUE(error.empty()) << text << ": " << error;

    TBuildQuboParser c;
    c.Compile(text);
    TKoMemoryStream bytes;
    c.SaveToStream(bytes);
    bytes.SetPosition(0);
    TQuboParser p;
    p.LoadFromStream(bytes);
    EXPECT_TRUE(p.Execute(stored.ctx)) << text;

    for (const char* name : {"k", "arr"}) {
      const TCustomParam& a = direct.Var(name);
      const TCustomParam& b = stored.Var(name);
      ASSERT_EQ(a.Count(), b.Count()) << text;
      for (int32_t n = 0; n < a.Count(); ++n) EXPECT_EQ(a.GetStrAt(n), b.GetStrAt(n)) << text << " " << name;
    }
    EXPECT_EQ(direct.vars.Count(), stored.vars.Count()) << text;
  }
  // A compile failure is still reported, and nothing runs.
  Table t;
  std::string error;
  EXPECT_FALSE(RunText(t.ctx, "k = arr[1", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(RunText(t.ctx, "k = 1 ]", &error));
  EXPECT_EQ(t.Var("k").AsInt(), 0);
}

// The compiler's shortcut for texts without quotes or brackets keeps their operations.
TEST(ExprPerfPaths, FlatTextsCompileAsBefore) {
  TBuildQuboParser flat;
  flat.Compile("x = i * 2 + 1");
  EXPECT_EQ(DumpOperations(flat.Operations()), "____0 := i * 2\n____1 := ____0 + 1\nx := ____1\n");
  // The same text with brackets around a term takes the long way to the same result.
  TBuildQuboParser grouped;
  grouped.Compile("x = (i * 2) + 1");
  EXPECT_EQ(DumpOperations(grouped.Operations()), "____1 := i * 2\n____2 := ____1 + 1\nx := ____2\n");
  // Stored texts keep the moved operands intact.
  TBuildQuboParser a, b;
  a.Compile("s = \"ab\" ++ t");
  b.Compile("s = \"ab\" ++ t");
  EXPECT_EQ(a.ToStored(), b.TakeStored());
  EXPECT_TRUE(b.Operations().empty());
}

}  // namespace
}  // namespace qubo
