#include "script/paramcollection.h"

#include <gtest/gtest.h>

#include <functional>

#include "script/messages.h"
#include "script/paramvar.h"
#include "support/errors.h"

namespace qubo {
namespace {

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const QuboError& e) {
    return e.what();
  }
  return "(no error)";
}

// A table with two registered system variables in front, as the built-ins will make it.
struct Table {
  TParamCollection t;
  Table() {
    t.AddSystem("@Pi", NewParam(PT_FLOAT))->Value().SetFloat(3.25L);
    t.AddSystem("@SelStr", NewParam(PT_STR));
  }
  TParamCollectionItem* Declare(const std::string& name, uint8_t type, VarScope scope, int32_t value = 0) {
    auto d = t.Declare(name, type, scope);
    if (!d.keepValue) {
      TParamInt v;
      v.SetInt(value);
      TParamCollection::StoreAs(d.var->Value(), type, v);
    }
    return d.var;
  }
};

TEST(ParamCollection, LookupIsCaseInsensitiveAndOldestNonLocalWins) {
  Table f;
  TParamCollectionItem* a = f.t.AddNamed(PT_INT, "Score");
  TParamCollectionItem* b = f.t.AddNamed(PT_INT, "SCORE");  // a second variable of the same name
  EXPECT_EQ(f.t.FindVar("score"), a);            // oldest non-local
  EXPECT_EQ(f.t.Find("sCoRe", false), b);        // newest non-local
  EXPECT_EQ(f.t.IndexOf("score"), a->CachedIndex());
  EXPECT_EQ(f.t.IndexOf("nothing"), -1);
  EXPECT_EQ(f.t.Find("nothing", false), nullptr);
  EXPECT_EQ(f.t.FindVar("@pi"), f.t.Var(0));
  // Renaming puts the variable at the head of its chain: it becomes the newest.
  a->SetName("other");
  a->SetName("score");
  EXPECT_EQ(f.t.FindVar("score"), b);
  EXPECT_EQ(f.t.Find("score", false), a);
  // A double-byte name: only ASCII letters fold; the trail byte 'A' stays.
  TParamCollectionItem* k = f.t.AddNamed(PT_INT, "\x83\x41x");
  EXPECT_EQ(f.t.FindVar("\x83\x41X"), k);
  EXPECT_EQ(f.t.FindVar("\x83\x61x"), nullptr);
}

TEST(ParamCollection, LocalsAreVisibleOnlyAtTheirDepth) {
  Table f;
  f.t.SetCurrentLocalId(1);
  TParamCollectionItem* global = f.Declare("x", PT_INT, VarScope::Global, 1);
  f.t.SetCurrentLocalId(2);
  TParamCollectionItem* local = f.Declare("x", PT_INT, VarScope::Local, 2);
  ASSERT_NE(local, global);
  EXPECT_EQ(local->LocalId(), 2);
  EXPECT_TRUE(local->IsLocal());
  EXPECT_EQ(global->LocalId(), -1);

  struct Case {
    int32_t depth;
    int32_t seen;
  } cases[] = {{2, 2}, {1, 1}, {3, 1}, {0, 1}};
  for (const auto& c : cases) {
    f.t.SetCurrentLocalId(c.depth);
    EXPECT_EQ(f.t.FindVar("x")->Value().AsInt(), c.seen) << c.depth;
  }
  // A local declared again at its depth is found again, not duplicated.
  f.t.SetCurrentLocalId(2);
  EXPECT_EQ(f.Declare("x", PT_INT, VarScope::Local, 5), local);
  EXPECT_EQ(local->Value().AsInt(), 5);
  // A global declaration at that depth still finds the global.
  EXPECT_EQ(f.t.Find("x", false), global);
  // A second local at depth 3 hides the global there and nothing else.
  f.t.SetCurrentLocalId(3);
  TParamCollectionItem* deeper = f.Declare("x", PT_INT, VarScope::Local, 3);
  EXPECT_EQ(f.t.FindVar("x"), deeper);
  f.t.SetCurrentLocalId(2);
  EXPECT_EQ(f.t.FindVar("x"), local);

  // The frame of depth 3 ends, then the one of depth 2.
  f.t.DeleteLocal(3);
  f.t.SetCurrentLocalId(3);
  EXPECT_EQ(f.t.FindVar("x"), global);
  f.t.DeleteLocal(2);
  f.t.SetCurrentLocalId(2);
  EXPECT_EQ(f.t.FindVar("x"), global);
  EXPECT_EQ(f.t.Count(), 3);
}

TEST(ParamCollection, AutoFreeVariablesDieWithTheirFrame) {
  Table f;
  f.t.SetCurrentLocalId(1);
  f.Declare("keep", PT_INT, VarScope::Global);
  TParamCollectionItem* a = f.Declare("tmp", PT_STR, VarScope::AutoFree);
  EXPECT_EQ(a->LocalId(), 1);
  EXPECT_FALSE(a->IsLocal());
  f.t.SetCurrentLocalId(2);
  EXPECT_EQ(f.t.FindVar("tmp"), a);  // visible from every depth
  f.Declare("tmp2", PT_INT, VarScope::AutoFree);
  f.t.DeleteLocal(1);
  EXPECT_EQ(f.t.FindVar("tmp"), nullptr);
  EXPECT_NE(f.t.FindVar("tmp2"), nullptr);
  EXPECT_NE(f.t.FindVar("keep"), nullptr);
  // Frame renumbering: IDs above 1 drop by one.
  f.t.LowerLocalIdsAbove(1);
  EXPECT_EQ(f.t.FindVar("tmp2")->LocalId(), 1);
  // Cached indexes stay equal to positions after the deletions.
  for (int i = 0; i < f.t.Count(); ++i) EXPECT_EQ(f.t.Var(i)->CachedIndex(), i);
}

TEST(ParamCollection, StatusVariablesSurviveClearAndKeepTheirValue) {
  Table f;
  TParamCollectionItem* s = f.Declare("flagS", PT_INT, VarScope::Status, 7);
  EXPECT_TRUE(s->IsStatus());
  f.Declare("g", PT_INT, VarScope::Global, 1);
  EXPECT_EQ(f.Declare("flagS", PT_INT, VarScope::Status, 99), s);
  EXPECT_EQ(s->Value().AsInt(), 7);
  f.t.Globals().textDelay = 10;
  f.t.Globals().cursor = "hand";
  f.t.ClearVars();
  EXPECT_EQ(f.t.FindVar("g"), nullptr);
  EXPECT_EQ(f.t.FindVar("flagS"), s);
  EXPECT_EQ(f.t.Globals().textDelay, 50);
  EXPECT_EQ(f.t.Globals().cursor, "");
  EXPECT_EQ(f.t.Count(), 3);
}

TEST(ParamCollection, DeclareConvertsIntoAnExistingVariableOfAnotherType) {
  Table f;
  TParamCollectionItem* v = f.Declare("v", PT_STR, VarScope::Global);
  v->Value().SetStr("old");
  auto d = f.t.Declare("v", PT_INT, VarScope::Global);
  EXPECT_EQ(d.var, v);
  TParamFloat init;
  init.SetFloat(2.5L);
  TParamCollection::StoreAs(d.var->Value(), PT_INT, init);
  EXPECT_EQ(v->Value().ParamType(), PT_STR);  // keeps its class
  EXPECT_EQ(v->Value().AsStr(), "2");        // SetInt(AsInt)
  EXPECT_EQ(ErrorOf([&] { f.t.Declare("", PT_INT, VarScope::Global); }), msg::kMsgNoName);
}

TEST(ParamCollection, BadNamesAreRefusedAndLeaveNoVariableBehind) {
  Table f;
  const int before = f.t.Count();
  for (const char* bad : {"1abc", "a b", " x", "9"}) {
    EXPECT_EQ(ErrorOf([&] { f.t.AddNamed(PT_INT, bad); }), std::string("\"") + bad + msg::kMsgBadNameTail) << bad;
    EXPECT_EQ(ErrorOf([&] { f.t.Declare(bad, PT_INT, VarScope::Global); }),
              std::string("\"") + bad + msg::kMsgBadNameTail);
    EXPECT_EQ(f.t.Count(), before) << bad;
  }
  TParamCollectionItem* v = f.t.AddNamed(PT_INT, "ok");
  EXPECT_THROW(v->SetName(""), QuboError);
  EXPECT_EQ(v->Name(), "ok");
  EXPECT_EQ(f.t.FindVar("ok"), v);
  for (const char* good : {"a1", "_x", "@y", "\x82\xA0"}) EXPECT_NE(f.t.AddNamed(PT_INT, good), nullptr) << good;
  EXPECT_EQ(f.t.Add(5), nullptr);
}

TEST(ParamCollection, SystemVariablesAreNeverDeleted) {
  Table f;
  f.t.SetCurrentLocalId(0);
  TParamCollectionItem* pi = f.t.Var(0);
  pi->SetLocalId(0);  // even one that looks like a frame variable
  EXPECT_FALSE(f.t.Delete(pi));
  EXPECT_FALSE(f.t.Delete(1));
  f.t.DeleteLocal(0);
  f.t.ClearVars();
  EXPECT_EQ(f.t.Count(), 2);
  EXPECT_EQ(f.t.SystemCount(), 2);
  EXPECT_TRUE(f.t.Var(1)->IsSystem());
  EXPECT_FALSE(f.t.Delete(-1));
  EXPECT_FALSE(f.t.Delete(99));
}

TEST(ParamCollection, GetCopyIsFreeStanding) {
  Table f;
  TParamCollectionItem* a = f.Declare("arr", PT_INT, VarScope::Global);
  a->Value().SetDims({2, 2});
  a->Value().SetIntAt(3, 4);
  auto copy = f.t.GetCopy("ARR");
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->ParamType(), PT_INT);
  EXPECT_EQ(copy->GetIntAt(3), 4);
  EXPECT_EQ(copy->DimList(), (std::vector<int32_t>{2, 2}));
  copy->SetIntAt(3, 0);
  EXPECT_EQ(a->Value().GetIntAt(3), 4);
  EXPECT_EQ(f.t.GetCopy("none"), nullptr);
  f.t.AddNamed(PT_NONE, "ref");
  EXPECT_EQ(ErrorOf([&] { f.t.GetCopy("ref"); }), std::string("ref") + msg::kMsgBadVariableTail);
}

TEST(ParamCollection, ReferencesForwardToTheirElement) {
  Table f;
  TParamCollectionItem* a = f.Declare("a", PT_INT, VarScope::Global);
  a->Value().SetDims({2, 3});
  TParamVar ref(&f.t);
  // Without a target.
  EXPECT_EQ(ref.ParamType(), PT_NONE);
  EXPECT_EQ(ref.Count(), 0);
  EXPECT_EQ(ref.DimCount(), 0);
  EXPECT_EQ(ref.Dim(0), 0);
  EXPECT_EQ(ref.FindStr("", true, false), -1);
  EXPECT_EQ(ref.AsStr(), "");
  ref.SetInt(5);

  f.t.ResolveElement(ref, "A", {1, 2});
  EXPECT_EQ(ref.Target(), a);
  EXPECT_EQ(ref.Element(), 5);
  ref.SetInt(9);
  EXPECT_EQ(a->Value().GetIntAt(5), 9);
  EXPECT_EQ(ref.AsStr(), "9");
  EXPECT_EQ(ref.ParamType(), PT_INT);
  EXPECT_EQ(ref.Count(), 6);
  EXPECT_EQ(ref.GetIntAt(0), 0);  // indexed operations pass through unchanged

  // A whole-variable reference through a variable whose value is itself a reference.
  TParamCollectionItem* r = f.t.AddNamed(PT_NONE, "r");
  auto& inner = static_cast<TParamVar&>(r->Value());
  inner.SetTarget(a);
  inner.SetElement(5);
  TParamVar outer(&f.t);
  outer.SetName("r");
  f.t.ResolveReference(outer);
  EXPECT_EQ(outer.Target(), r);
  EXPECT_EQ(outer.Element(), 5);
  EXPECT_EQ(outer.AsInt(), 9);

  TParamVar missing(&f.t);
  missing.SetName("zz");
  EXPECT_EQ(ErrorOf([&] { f.t.ResolveReference(missing); }), std::string("\"zz") + msg::kMsgNoVariableTail);
}

TEST(ParamCollection, ElementReferenceSubscripts) {
  Table f;
  f.Declare("a", PT_INT, VarScope::Global)->Value().SetDims({2, 3});
  f.Declare("s", PT_INT, VarScope::Global);
  f.Declare("big", PT_BOOL, VarScope::Global)->Value().SetDims({4096, 4096});
  struct Case {
    const char* array;
    std::vector<int32_t> subs;
    int32_t element;  // when ok
    const char* error;
  } cases[] = {
      {"a", {1, 2}, 5, nullptr},
      {"a", {0, 5}, 5, nullptr},  // single subscripts are not checked
      {"a", {0, 0}, 0, nullptr},
      {"a", {1, -1}, 2, nullptr},
      {"a", {-1, 0}, -3, nullptr},  // negative: left to the element access
      {"a", {1, 3}, 0, msg::kMsgBeyondCount},
      {"a", {1}, 0, msg::kMsgSubscriptCount},
      {"a", {1, 1, 1}, 0, msg::kMsgSubscriptCount},
      {"s", {0}, 0, nullptr},
      {"s", {1}, 0, msg::kMsgBeyondCount},
      // Values that would wrap a 32-bit (or a careless 64-bit) sum back into range.
      {"a", {INT32_MAX, INT32_MAX}, 0, msg::kMsgBeyondCount},
      {"a", {1431655765, 1}, 0, msg::kMsgBeyondCount},  // 2^32 exactly: 0 in 32 bits
      {"a", {715827883, -2147483647}, 2, nullptr},       // exact sum, however large the terms
      {"big", {INT32_MAX, INT32_MAX}, 0, msg::kMsgBeyondCount},
      {"big", {-INT32_MAX, INT32_MIN}, INT32_MIN, nullptr},
      {"big", {4095, 4095}, 4096 * 4096 - 1, nullptr},
  };
  for (const auto& c : cases) {
    TParamVar ref(&f.t);
    std::string subs;
    for (size_t k = 0; k < c.subs.size(); ++k) subs += (k ? "," : "") + std::to_string(c.subs[k]);
    const std::string error = ErrorOf([&] { f.t.ResolveElement(ref, c.array, c.subs); });
    if (c.error) {
      EXPECT_EQ(error, std::string(c.array) + "[" + subs + "]\r\n" + c.error) << subs;
    } else {
      EXPECT_EQ(error, "(no error)") << subs;
      EXPECT_EQ(ref.Element(), c.element) << subs;
    }
  }
  TParamVar ref(&f.t);
  f.t.ResolveElement(ref, "a", {-1, 0});
  EXPECT_EQ(ErrorOf([&] { ref.AsInt(); }), "[-3]" + std::string(msg::kMsgBadIndexTail));
}

TEST(ParamCollection, ReferenceToADeletedVariableActsUnresolved) {
  Table f;
  TParamCollectionItem* a = f.Declare("a", PT_INT, VarScope::Global, 3);
  TParamVar ref(&f.t);
  ref.SetName("a");
  f.t.ResolveReference(ref);
  EXPECT_EQ(ref.AsInt(), 3);
  EXPECT_TRUE(f.t.Delete(a));
  EXPECT_EQ(ref.Target(), nullptr);
  EXPECT_EQ(ref.AsInt(), 0);
  ref.SetInt(1);  // ignored, no crash
  EXPECT_EQ(ref.ParamType(), PT_NONE);
  // A reference outlives the variables a clear removes.
  TParamCollectionItem* b = f.Declare("b", PT_STR, VarScope::Global);
  b->Value().SetStr("x");
  TParamVar copy(&f.t);
  copy.SetName("b");
  f.t.ResolveReference(copy);
  EXPECT_EQ(copy.AsStr(), "x");
  f.t.ClearVars();
  EXPECT_EQ(copy.AsStr(), "");
}

TEST(ParamCollection, CyclicReferencesDoNotRecurse) {
  Table f;
  TParamCollectionItem* a = f.t.AddNamed(PT_NONE, "a");
  TParamCollectionItem* b = f.t.AddNamed(PT_NONE, "b");
  static_cast<TParamVar&>(a->Value()).SetTarget(b);
  static_cast<TParamVar&>(b->Value()).SetTarget(a);
  EXPECT_EQ(a->Value().AsInt(), 0);
  a->Value().SetStr("x");
  EXPECT_EQ(a->Value().Count(), 0);
  static_cast<TParamVar&>(a->Value()).SetTarget(a);
  EXPECT_EQ(a->Value().AsStr(), "");
  EXPECT_EQ(a->Value().Resolve(), nullptr);
}

TEST(ParamCollection, LookupsStayExactWithManyNamesInOneBucket) {
  // Names of one length whose first and second-to-last bytes are equal share a bucket.
  TParamCollection t;
  std::vector<TParamCollectionItem*> vars;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "v" + std::to_string(10000 + i) + "x" + "_z";
    vars.push_back(t.AddNamed(PT_INT, name));
  }
  const int bucket = THashCollection::NameHash(vars[0]->Name());
  for (auto* v : vars) EXPECT_EQ(THashCollection::NameHash(v->Name()), bucket);
  for (size_t i = 0; i < vars.size(); i += 97) EXPECT_EQ(t.FindVar(vars[i]->Name()), vars[i]);
  // Delete a few in the middle; the rest keep their answers and cached indexes.
  t.Delete(vars[500]);
  t.Delete(vars[10]);
  EXPECT_EQ(t.FindVar("v10500x_z"), nullptr);
  EXPECT_EQ(t.FindVar("v11999x_z"), vars[1999]);
  EXPECT_EQ(t.IndexOf("v11999x_z"), t.Count() - 1);
  // The chain walk of the bucket answers the same as the index for every name.
  for (int i = 0; i < t.Count(); i += 37) {
    const std::string& name = t.Var(i)->Name();
    const THashCollectionItem* oldest = nullptr;
    for (THashCollectionItem* p = t.Bucket(bucket); p; p = p->NextInBucket()) {
      if (p->Name() == name) oldest = p;
    }
    EXPECT_EQ(t.FindVar(name), oldest);
  }
}

}  // namespace
}  // namespace qubo
