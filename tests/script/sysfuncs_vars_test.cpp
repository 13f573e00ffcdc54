// Variable and array functions run from compiled expressions through the function manager:
// shapes, fills, copies, splits and joins, search, sort orders with NaN, element inserts and
// deletes, the temp target, Calc, pushed sets, frame removal, and the failures of functions
// whose first argument must be a variable.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/messages.h"
#include "script/paramcollection.h"
#include "script/scripthost.h"
#include "script/sysfuncman.h"
#include "functionrig.h"

namespace qubo {
namespace {

const std::string kHyo = "\x95\x5C";  // 表: trail byte '\'

// A call stack of a few frames; RemoveFrame takes one off.
struct StackHost : TScriptHost {
  int32_t frames = 0;
  std::vector<int32_t> removed;
  int32_t FrameCount() override { return frames; }
  bool RemoveFrame(int32_t n) override {
    if (n < 0 || n >= frames) return false;
    removed.push_back(n);
    --frames;
    return true;
  }
};

struct VarFunctions : testkit::FunctionRig {
  StackHost host;

  VarFunctions() : FunctionRig(&host) {
    for (const char* n : {"a", "n", "x"}) vars.AddNamed(PT_INT, n);
    vars.AddNamed(PT_STR, "s");
    vars.AddNamed(PT_FLOAT, "f");
    vars.AddNamed(PT_BOOL, "b");
  }
  TCustomParam& V(const std::string& name) { return vars.FindVar(name)->Value(); }
  TCustomParam& Array(const std::string& name, uint8_t type, const std::vector<std::string>& items) {
    TParamCollectionItem* v = vars.FindVar(name);
    if (v == nullptr) v = vars.AddNamed(type, name);
    v->Value().SetDims({static_cast<int32_t>(items.size())});
    for (size_t k = 0; k < items.size(); ++k) v->Value().SetStrAt(static_cast<int32_t>(k), items[k]);
    return v->Value();
  }
  static std::vector<std::string> Items(const TCustomParam& v) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < v.Count(); ++i) out.push_back(v.GetStrAt(i));
    return out;
  }
  static std::vector<int32_t> Dims(const TCustomParam& v) {
    std::vector<int32_t> out;
    for (int32_t k = 0; k < v.DimCount(); ++k) out.push_back(v.Dim(k));
    return out;
  }

};

using Strings = std::vector<std::string>;

TEST_F(VarFunctions, ShapesFillsAndCopies) {
  Eval("SetArray(a, 3, 5)");
  EXPECT_EQ(Eval("GetArraySize(a)"), "15");
  EXPECT_EQ(Eval("GetArraySize(a, 0)"), "5");
  EXPECT_EQ(Eval("GetArraySize(a, 1)"), "3");
  EXPECT_EQ(Eval("GetArraySize(n)"), "1");
  EXPECT_EQ(Eval("GetArraySize(a, 2)"), "1");
  EXPECT_EQ(Eval("GetArraySize(a, -2147483647 - 1)"), "1");
  Eval("FillMem(a, \"7\")");
  EXPECT_EQ(V("a").GetIntAt(14), 7);
  Array("t", PT_STR, {"p", "q"});
  Eval("FillMem(t, 3)");
  EXPECT_EQ(Items(V("t")), (Strings{"3", "3"}));

  Array("u", PT_STR, {"x"});
  Eval("CopyMem(u, t)");
  EXPECT_EQ(Items(V("u")), (Strings{"3", "3"}));
  EXPECT_EQ(Dims(V("u")), (std::vector<int32_t>{2}));
  EXPECT_EQ(Failure("CopyMem(a, t)"), msg::kMsgCopyType);

  // CopyArray converts and takes the shape.
  EXPECT_EQ(Eval("CopyArray(s, a)"), "TRUE");
  EXPECT_EQ(V("s").Count(), 15);
  EXPECT_EQ(Dims(V("s")), (std::vector<int32_t>{3, 5}));
  EXPECT_EQ(V("s").GetStrAt(0), "7");
  EXPECT_EQ(Eval("CopyArray(1, a)"), "FALSE");
}

TEST_F(VarFunctions, FunctionsOnAVariableRefuseAConstant) {
  const std::string tail = sysfunc::kMsgNoVariableTail;
  EXPECT_EQ(Failure("GetArraySize(5)"), "GetArraySize" + tail);
  EXPECT_EQ(Failure("SetArray(5, 2)"), "SetArray" + tail);
  EXPECT_EQ(Failure("FillMem(1.5, 2)"), "FillMem" + tail);
  EXPECT_EQ(Failure("CopyMem(a, 4)"), "CopyMem" + tail);
  EXPECT_EQ(Failure("CopyMem(TRUE, a)"), "CopyMem" + tail);
  EXPECT_EQ(Failure("SetArray(a, 3, 0)"),
            std::string(msg::kMsgBadDimsHead) + "3,0" + msg::kMsgBadDimsTail);
}

TEST_F(VarFunctions, SplitAndJoin) {
  Eval("StringToArray(\"a,b;c\", s, \",;\")");
  EXPECT_EQ(Items(V("s")), (Strings{"a", "b", "c"}));
  Eval("StringToArray(\"a,,b,\", s, \",\")");
  EXPECT_EQ(Items(V("s")), (Strings{"a", "", "b"}));
  EXPECT_EQ(Dims(V("s")), (std::vector<int32_t>{3}));
  V("x").SetInt(0);
  vars.AddNamed(PT_STR, "lines")->Value().SetStr("x\r\ny\nz\r\r\n");
  Eval("StringToArray(lines, s)");
  EXPECT_EQ(Items(V("s")), (Strings{"x", "y", "z", ""}));
  Eval("StringToArray(\"\", s)");
  EXPECT_EQ(V("s").Count(), 1);
  EXPECT_EQ(V("s").DimList().size(), 0u);
  EXPECT_EQ(V("s").AsStr(), "");
  // The trail byte of a double-byte character is never a separator.
  vars.AddNamed(PT_STR, "path")->Value().SetStr(kHyo + "\\x\\" + kHyo);
  vars.AddNamed(PT_STR, "bs")->Value().SetStr("\\");
  Eval("StringToArray(path, s, bs)");
  EXPECT_EQ(Items(V("s")), (Strings{kHyo, "x", kHyo}));
  // A double-byte separator splits only at itself.
  vars.AddNamed(PT_STR, "jsep")->Value().SetStr(kHyo);
  vars.AddNamed(PT_STR, "jtext")->Value().SetStr("a" + kHyo + "b\\c");
  Eval("StringToArray(jtext, s, jsep)");
  EXPECT_EQ(Items(V("s")), (Strings{"a", "b\\c"}));
  // Parts go into an integer array as integers.
  Eval("StringToArray(\"4,x,6\", a, \",\")");
  EXPECT_EQ(V("a").GetIntAt(0) * 100 + V("a").GetIntAt(1) * 10 + V("a").GetIntAt(2), 406);

  Array("t", PT_STR, {"p", "q", "r"});
  EXPECT_EQ(Eval("ArrayToString(t, \"+\")"), "p+q+r");
  EXPECT_EQ(Eval("ArrayToString(t)"), "p\r\nq\r\nr");
  EXPECT_EQ(Eval("ArrayToString(5)"), "5");
}

TEST_F(VarFunctions, SearchAndSort) {
  Array("t", PT_STR, {"b", "a", "C", "A", "ab"});
  EXPECT_EQ(Eval("IndexOfStr(t, \"c\")"), "-1");
  EXPECT_EQ(Eval("IndexOfStr(t, \"c\", FALSE)"), "2");
  EXPECT_EQ(Eval("IndexOfStr(t, \"B\", FALSE, TRUE)"), "0");
  Eval("SortStr(t)");
  EXPECT_EQ(Items(V("t")), (Strings{"a", "A", "ab", "b", "C"}));
  Eval("SortStr(t, TRUE)");
  EXPECT_EQ(Items(V("t")), (Strings{"C", "b", "ab", "A", "a"}));

  Array("num", PT_STR, {"10", "9", "100", "-1"});
  Eval("SortStr(num, FALSE, TRUE)");
  EXPECT_EQ(Items(V("num")), (Strings{"-1", "9", "10", "100"}));
  Eval("SortStr(num)");
  EXPECT_EQ(Items(V("num")), (Strings{"-1", "10", "100", "9"}));
}

TEST_F(VarFunctions, SortPutsNaNInOneFixedPlace) {
  TCustomParam& v = vars.AddNamed(PT_FLOAT, "fl")->Value();
  const int32_t n = 300;
  v.SetDims({n});
  for (int32_t i = 0; i < n; ++i) v.SetFloatAt(i, i % 3 == 0 ? std::nanl("") : static_cast<long double>((i * 37) % 101));
  Eval("SortStr(fl, FALSE, TRUE)");
  int32_t nans = 0;
  while (nans < n && std::isnan(v.GetFloatAt(nans))) ++nans;
  EXPECT_EQ(nans, 100);
  for (int32_t i = nans + 1; i < n; ++i) {
    ASSERT_FALSE(std::isnan(v.GetFloatAt(i)));
    ASSERT_LE(v.GetFloatAt(i - 1), v.GetFloatAt(i));
  }
  Eval("SortStr(fl, TRUE, TRUE)");
  for (int32_t i = 0; i < n - 100; ++i) ASSERT_FALSE(std::isnan(v.GetFloatAt(i)));
  for (int32_t i = n - 100; i < n; ++i) ASSERT_TRUE(std::isnan(v.GetFloatAt(i)));
}

TEST_F(VarFunctions, AddInsertDeleteElements) {
  Array("t", PT_STR, {"p", "q"});
  Array("nums", PT_INT, {"1", "2", "3"});
  EXPECT_EQ(Eval("AddArray(t, nums)"), "5");
  EXPECT_EQ(Items(V("t")), (Strings{"p", "q", "1", "2", "3"}));
  EXPECT_EQ(Eval("AddArray(nums, nums)"), "6");
  EXPECT_EQ(Items(V("nums")), (Strings{"1", "2", "3", "1", "2", "3"}));
  EXPECT_EQ(Eval("AddArray(nums, \"9x\")"), "7");  // not integer text: 0
  EXPECT_EQ(V("nums").GetIntAt(6), 0);

  TCustomParam& grid = vars.AddNamed(PT_INT, "grid")->Value();
  grid.SetDims({2, 2});
  EXPECT_EQ(Eval("AddArray(grid, nums)"), "4");
  EXPECT_EQ(Eval("AddArray(nums, grid)"), "7");
  EXPECT_EQ(Eval("DeleteArray(grid, 0, 1)"), "4");

  Array("t", PT_STR, {"p", "q"});
  Array("u", PT_STR, {"x", "y"});
  EXPECT_EQ(Eval("InsertArray(t, 1, u)"), "4");
  EXPECT_EQ(Items(V("t")), (Strings{"p", "x", "y", "q"}));
  Eval("InsertArray(t, -5, \"first\")");
  Eval("InsertArray(t, 99, \"last\")");
  EXPECT_EQ(Items(V("t")), (Strings{"first", "p", "x", "y", "q", "last"}));

  Array("d", PT_STR, {"a", "b", "c", "d"});
  EXPECT_EQ(Eval("DeleteArray(d, 10, 5)"), "3");
  EXPECT_EQ(Items(V("d")), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Eval("DeleteArray(d, -3, 1)"), "2");
  EXPECT_EQ(Items(V("d")), (Strings{"b", "c"}));
  EXPECT_EQ(Eval("DeleteArray(d, 0, 0)"), "2");
  EXPECT_EQ(Eval("DeleteArray(d, 0, 99)"), "0");
  EXPECT_EQ(Eval("AddArray(d, \"z\")"), "1");
  EXPECT_EQ(Items(V("d")), (Strings{"z"}));

  Array("w", PT_INT, {"3", "1", "3", "2", "1", "0"});
  EXPECT_EQ(Eval("UniqueArray(w)"), "4");
  EXPECT_EQ(Items(V("w")), (Strings{"3", "1", "2", "0"}));
  EXPECT_EQ(Eval("TrimArray(w)"), "3");
  EXPECT_EQ(Eval("TrimArray(w, \"1\")"), "2");
  EXPECT_EQ(Items(V("w")), (Strings{"3", "2"}));
  EXPECT_EQ(Eval("UniqueArray(grid)"), "4");
}

TEST_F(VarFunctions, TypesTempTargetAndExistence) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"GetVarType(a)", "1"},  {"GetVarType(f)", "2"},      {"GetVarType(b)", "3"},
      {"GetVarType(s)", "4"},  {"GetVarType(1.5)", "2"},    {"VarExists(\"A\")", "TRUE"},
      {"VarExists(\"zz\")", "FALSE"}, {"AssignTemp(\"zz\")", "FALSE"}, {"AssignTemp(\"s\")", "TRUE"},
  };
  for (const auto& [expr, expected] : cases) EXPECT_EQ(Eval(expr), expected) << expr;
  EXPECT_EQ(vars.Globals().tempTarget, "s");
}

TEST_F(VarFunctions, CalcCompilesAndRunsItsText) {
  EXPECT_EQ(Eval("Calc(\"\")"), "");
  EXPECT_EQ(Eval("Calc(\"   \")"), "");
  EXPECT_EQ(Eval("Calc(\"1 +\")"), "");
  EXPECT_EQ(Eval("Calc(\"x = 2 * 3 + 1\")"), "TRUE");
  EXPECT_EQ(V("x").AsInt(), 7);
  // The outer expression's temporaries survive the nested run.
  EXPECT_EQ(Eval("(1 + 2) * 10 + Length(Calc(\"n = (4 + 5) * 2\"))"), "34");
  EXPECT_EQ(V("n").AsInt(), 18);

  // A text that runs itself stops at a bounded depth instead of exhausting the stack: the
  // innermost level fails, every level above it completes.
  vars.AddNamed(PT_STR, "self")->Value().SetStr("x = x + 1 + Length(Calc(self))");
  V("x").SetInt(0);
  EXPECT_EQ(Eval("Calc(self)"), "TRUE");
  EXPECT_GT(V("x").AsInt(), 0);
  EXPECT_LT(V("x").AsInt(), 5 * 1000);
  EXPECT_EQ(V("x").AsInt() % 5, 0);
}

TEST_F(VarFunctions, PushAndPopVariableSets) {
  V("a").SetInt(5);
  V("s").SetStr("keep");
  EXPECT_EQ(Eval("PushVar(\"a\", \"s\", \"missing\")"), "TRUE");
  V("a").SetInt(6);
  V("s").SetStr("changed");
  EXPECT_EQ(Eval("PopVar()"), "TRUE");
  EXPECT_EQ(V("a").AsInt(), 5);
  EXPECT_EQ(V("s").AsStr(), "keep");
  EXPECT_EQ(Eval("PopVar()"), "TRUE");  // nothing pushed: no change
  EXPECT_EQ(V("a").AsInt(), 5);
}

TEST_F(VarFunctions, DeleteStackRemovesAFrameButNeverTheRunningOne) {
  host.frames = 3;
  for (int32_t id = 1; id <= 3; ++id) {
    vars.SetCurrentLocalId(id);
    vars.Declare("loc" + std::to_string(id), PT_INT, VarScope::Local);
  }
  vars.SetCurrentLocalId(3);
  EXPECT_EQ(Eval("DeleteStack(2)"), "FALSE");  // the running frame
  EXPECT_EQ(Eval("DeleteStack(3)"), "FALSE");
  EXPECT_EQ(Eval("DeleteStack(-1)"), "FALSE");
  EXPECT_TRUE(host.removed.empty());
  EXPECT_NE(vars.FindVar("loc3"), nullptr);

  EXPECT_EQ(Eval("DeleteStack(0)"), "TRUE");
  EXPECT_EQ(host.removed, (std::vector<int32_t>{0}));
  EXPECT_EQ(vars.CurrentLocalId(), 2);
  // Frame 0's local is gone; the others moved down one ID and the running one is visible.
  EXPECT_EQ(vars.Find("loc1", true), nullptr);
  ASSERT_NE(vars.FindVar("loc3"), nullptr);
  EXPECT_EQ(vars.FindVar("loc3")->LocalId(), 2);
  vars.SetCurrentLocalId(1);
  ASSERT_NE(vars.FindVar("loc2"), nullptr);
  EXPECT_EQ(vars.FindVar("loc2")->LocalId(), 1);
}

}  // namespace
}  // namespace qubo
