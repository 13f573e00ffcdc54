#include <gtest/gtest.h>

#include "script/messages.h"
#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "support/errors.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

void AddSystemVars(TParamCollection& t) {
  t.AddSystem("@Pi", NewParam(PT_FLOAT))->Value().SetFloat(3.25L);
  t.AddSystem("@Count", NewParam(PT_INT));
}

// The variable record of an integer scalar, with its type byte.
Bytes& IntRecord(Bytes& b, const std::string& name, int32_t value, int32_t localId = -1, uint8_t local = 0) {
  return b.u8(PT_INT).str(name).i32(0).i32(1).i32(value).u8(0).u8(0).i32(localId).u8(local);
}

// A table with one variable of every kind the record holds.
void Fill(TParamCollection& t) {
  t.SetCurrentLocalId(2);
  t.Declare("i", PT_INT, VarScope::Global).var->Value().SetInt(-7);
  auto* f = t.Declare("f", PT_FLOAT, VarScope::AutoFree).var;
  f->Value().SetDims({2});
  f->Value().SetFloatAt(1, 0.1L);
  t.Declare("b", PT_BOOL, VarScope::Local).var->Value().SetBool(true);
  auto* s = t.Declare("s", PT_STR, VarScope::Global).var;
  s->Value().SetDims({2, 2});
  s->Value().SetStrAt(3, "\x83\x41\x5C");
  s->SetReserved(9);
  t.Declare("keep", PT_INT, VarScope::Status).var->Value().SetInt(11);
  t.Globals() = {33, "cursor", "sel", 4, "i"};
}

std::vector<uint8_t> SaveGame(TParamCollection& t) {
  TKoMemoryStream s;
  t.SaveGameVars(s);
  return s.Bytes();
}

void LoadGame(TParamCollection& t, const std::vector<uint8_t>& bytes, int32_t version,
              TGameVarsExtras* extras = nullptr) {
  TKoMemoryStream s(bytes);
  TGameVarsExtras e = t.LoadGameVars(s, version);
  EXPECT_EQ(s.Remaining(), 0);
  if (extras) *extras = e;
}

std::vector<std::string> Names(const TParamCollection& t) {
  std::vector<std::string> out;
  for (int i = t.SystemCount(); i < t.Count(); ++i) out.push_back(t.Var(i)->Name());
  return out;
}

void ExpectConsistent(const TParamCollection& t) {
  for (int i = 0; i < t.Count(); ++i) {
    EXPECT_EQ(t.Var(i)->CachedIndex(), i);
    EXPECT_FALSE(t.Var(i)->Name().empty()) << i;
  }
}

TEST(ParamStore, GameRecordRoundTripsNewestFirst) {
  TParamCollection a;
  AddSystemVars(a);
  Fill(a);
  a.PushVars({"i", "s"});
  const auto bytes = SaveGame(a);

  TParamCollection b;
  AddSystemVars(b);
  b.Declare("gone", PT_INT, VarScope::Global);
  LoadGame(b, bytes, TParamCollection::kCurrentSaveVersion);
  EXPECT_EQ(Names(b), (std::vector<std::string>{"s", "b", "f", "i"}));  // newest first, appended in that order
  EXPECT_EQ(b.Count(), 6);
  // Saved again, the order is reversed (loading appended the newest first); a second round
  // gives the first bytes back.
  TParamCollection c;
  AddSystemVars(c);
  LoadGame(c, SaveGame(b), TParamCollection::kCurrentSaveVersion);
  EXPECT_EQ(Names(c), (std::vector<std::string>{"i", "f", "b", "s"}));
  EXPECT_EQ(SaveGame(c), bytes);
  b.SetCurrentLocalId(2);
  EXPECT_EQ(b.FindVar("s")->Value().GetStrAt(3), "\x83\x41\x5C");
  EXPECT_EQ(b.FindVar("s")->Reserved(), 9);
  EXPECT_EQ(b.FindVar("f")->Value().GetFloatAt(1), 0.1L);
  EXPECT_EQ(b.FindVar("f")->LocalId(), 2);
  EXPECT_TRUE(b.FindVar("b")->IsLocal());
  EXPECT_EQ(b.Globals().textDelay, 33);
  EXPECT_EQ(b.Globals().tempTarget, "i");
  EXPECT_EQ(b.PushedCount(), 1);
  EXPECT_EQ(b.Pushed(0).Bytes(), a.Pushed(0).Bytes());
  ExpectConsistent(b);
}

TEST(ParamStore, StatusRecordHoldsOnlyStatusVariablesAndLoadAppends) {
  TParamCollection a;
  AddSystemVars(a);
  Fill(a);
  a.Declare("keep2", PT_STR, VarScope::Status).var->Value().SetStr("z");
  TKoMemoryStream s;
  a.SaveStatusVars(s);

  TParamCollection b;
  AddSystemVars(b);
  b.Declare("other", PT_INT, VarScope::Global);
  s.SetPosition(0);
  b.LoadStatusVars(s);
  EXPECT_EQ(Names(b), (std::vector<std::string>{"other", "keep2", "keep"}));
  EXPECT_TRUE(b.FindVar("keep")->IsStatus());
  EXPECT_EQ(b.FindVar("keep")->Value().AsInt(), 11);

  // The game record leaves status variables alone both ways.
  const auto game = SaveGame(a);
  LoadGame(b, game, TParamCollection::kCurrentSaveVersion);
  EXPECT_EQ(b.FindVar("keep")->Value().AsInt(), 11);
  EXPECT_EQ(b.FindVar("other"), nullptr);
}

TEST(ParamStore, OlderVersionsReadOnlyTheirFields) {
  struct Case {
    int32_t version;
    bool sel, history, temp, pushed;
  } cases[] = {
      {102, false, false, false, false}, {103, true, false, false, false}, {113, true, true, false, false},
      {121, true, true, true, false},    {134, true, true, true, false},   {135, true, false, true, false},
      {138, true, false, true, false},   {139, true, false, true, true},   {144, true, false, true, true},
  };
  for (const auto& c : cases) {
    Bytes b;
    b.i32(2);
    IntRecord(b, "x", 5);
    IntRecord(b, "y", 6);
    b.i32(70).str("cur");
    if (c.sel) b.str("selected").i32(3);
    if (c.history) b.i32(1).i32(2).i32(3).i32(4).i32(5).i32(6);
    if (c.temp) b.str("x");
    if (c.pushed) {
      b.i32(2);
      b.i32(1).i32(PT_INT).str("x").i32(0).i32(1).i32(99);  // one set of one entry
      b.i32(0);                                          // an empty set
    }
    TParamCollection t;
    AddSystemVars(t);
    t.Globals().selStr = "before";
    t.Globals().tempTarget = "before";
    t.PushVars({"@Pi"});
    TGameVarsExtras extras;
    LoadGame(t, b.b, c.version, &extras);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"x", "y"})) << c.version;
    EXPECT_EQ(t.Globals().textDelay, 70);
    EXPECT_EQ(t.Globals().cursor, "cur");
    EXPECT_EQ(t.Globals().selStr, c.sel ? "selected" : "before") << c.version;
    EXPECT_EQ(t.Globals().tempTarget, c.temp ? "x" : "before") << c.version;
    EXPECT_EQ(extras.hasHistoryFormat, c.history) << c.version;
    if (c.history) {
      EXPECT_EQ(extras.historyFormat, (std::array<int32_t, 6>{1, 2, 3, 4, 5, 6}));
    }
    EXPECT_EQ(t.PushedCount(), c.pushed ? 2 : 0) << c.version;
    if (c.pushed) {
      t.PopVars();  // the empty set
      t.PopVars();
      EXPECT_EQ(t.FindVar("x")->Value().AsInt(), 99);
    }
  }
}

TEST(ParamStore, NamelessRecordIsReadInItsOwnTypeAndDropped) {
  // A float array record without a name sits before a normal record: reading it as
  // anything but a float would misplace every byte after it.
  Bytes b;
  b.i32(2);
  b.u8(PT_FLOAT).str("").i32(1).i32(2).i32(2).raw(std::string(20, '\x01')).u8(0).u8(0).i32(-1).u8(0);
  IntRecord(b, "after", 42);
  b.i32(50).str("").str("").i32(0).str("").i32(0);
  TParamCollection t;
  AddSystemVars(t);
  LoadGame(t, b.b, 144);
  EXPECT_EQ(Names(t), (std::vector<std::string>{"after"}));
  EXPECT_EQ(t.FindVar("after")->Value().AsInt(), 42);
  ExpectConsistent(t);
}

TEST(ParamStore, ReferencesAreWrittenAfterTheirTargetAndRelinkOnLoad) {
  TParamCollection a;
  AddSystemVars(a);
  auto* target = a.Declare("target", PT_INT, VarScope::Global).var;
  target->Value().SetDims({3});
  target->Value().SetIntAt(2, 8);
  auto* ref = a.AddNamed(PT_NONE, "ref");
  auto& rv = static_cast<TParamVar&>(ref->Value());
  rv.SetName("target");
  rv.SetTarget(target);
  rv.SetElement(2);
  // "ref" is newer than its target, so newest-first order would write it first: it waits.
  auto* late = a.AddNamed(PT_NONE, "late");  // refers to a newer variable: no wait needed
  auto* newest = a.Declare("newest", PT_STR, VarScope::Global).var;
  auto& lv = static_cast<TParamVar&>(late->Value());
  lv.SetTarget(newest);
  // A cycle of two references must not stall the writer.
  auto* c1 = a.AddNamed(PT_NONE, "c1");
  auto* c2 = a.AddNamed(PT_NONE, "c2");
  static_cast<TParamVar&>(c1->Value()).SetTarget(c2);
  static_cast<TParamVar&>(c2->Value()).SetTarget(c1);

  const auto bytes = SaveGame(a);
  TParamCollection b;
  AddSystemVars(b);
  LoadGame(b, bytes, 144);
  const auto names = Names(b);
  ASSERT_EQ(names.size(), 6u);
  auto pos = [&](const char* n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
  EXPECT_LT(pos("target"), pos("ref"));
  EXPECT_LT(pos("newest"), pos("late"));
  EXPECT_EQ(b.FindVar("ref")->Value().StoredType(), PT_NONE);
  EXPECT_EQ(b.FindVar("ref")->Value().AsInt(), 8);
  EXPECT_EQ(static_cast<TParamVar&>(b.FindVar("late")->Value()).Target(), b.FindVar("newest"));
}

TEST(ParamStore, HostileGameRecords) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"huge variable count", Bytes().i32(0x7FFFFFFF).i32(0).b},
      {"negative variable count", Bytes().i32(-1).b},
      {"type byte 5", Bytes().i32(1).u8(5).str("x").i32(0).i32(1).i32(0).u8(0).u8(0).i32(-1).u8(0).b},
      {"type byte 255", Bytes().i32(1).u8(255).str("x").i32(0).i32(1).i32(0).u8(0).u8(0).i32(-1).u8(0).b},
      {"huge element count",
       Bytes().i32(1).u8(PT_INT).str("x").i32(0).i32(0x40000000).i32(0).u8(0).u8(0).i32(-1).u8(0).b},
      {"huge pushed-set count", Bytes().i32(0).i32(50).str("").str("").i32(0).str("").i32(0x7FFFFFFF).b},
      {"pushed entry with type 9",
       Bytes().i32(0).i32(50).str("").str("").i32(0).str("").i32(1).i32(1).i32(9).str("x").i32(0).i32(1).i32(0).b},
      {"pushed entry count beyond bytes",
       Bytes().i32(0).i32(50).str("").str("").i32(0).str("").i32(1).i32(1000).i32(1).str("x").i32(0).b},
  };
  for (const auto& c : cases) {
    TParamCollection t;
    AddSystemVars(t);
    TKoMemoryStream s(c.bytes);
    EXPECT_THROW(t.LoadGameVars(s, 144), FormatError) << c.what;
    ExpectConsistent(t);
  }
}

TEST(ParamStore, TruncatedGameRecordsFailCleanly) {
  TParamCollection a;
  AddSystemVars(a);
  Fill(a);
  a.PushVars({"s", "f"});
  const auto bytes = SaveGame(a);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TParamCollection t;
    AddSystemVars(t);
    TKoMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_THROW(t.LoadGameVars(s, 144), FormatError) << cut;
    ExpectConsistent(t);
    EXPECT_EQ(t.SystemCount(), 2);
  }
}

TEST(ParamStore, RecordWithABadNameLeavesNoHalfMadeVariable) {
  Bytes b;
  b.i32(2);
  IntRecord(b, "fine", 1);
  IntRecord(b, "1bad", 2);
  TParamCollection t;
  AddSystemVars(t);
  TKoMemoryStream s(b.b);
  try {
    t.LoadGameVars(s, 144);
    ADD_FAILURE();
  } catch (const QuboError& e) {
    EXPECT_EQ(std::string(e.what()), std::string("\"1bad") + msg::kMsgBadNameTail);
  }
  EXPECT_EQ(Names(t), (std::vector<std::string>{"fine"}));
  ExpectConsistent(t);
}

TEST(ParamStore, PushAndPopVariableSets) {
  TParamCollection t;
  AddSystemVars(t);
  auto* x = t.Declare("x", PT_INT, VarScope::Global).var;
  x->Value().SetInt(1);
  auto* s = t.Declare("s", PT_STR, VarScope::Global).var;
  s->Value().SetDims({2});
  s->Value().SetStrAt(1, "two");
  t.AddNamed(PT_NONE, "ref");

  t.PopVars();  // empty stack: nothing happens
  EXPECT_EQ(t.Count(), 5);

  t.PushVars({"x", "missing", "ref", "S", "@Pi"});
  // Count: x, s and @Pi (the reference and the missing name are left out).
  EXPECT_EQ(t.Pushed(0).Bytes()[0], 3);
  x->Value().SetInt(50);
  t.Delete(s);                                         // gone: made again
  t.Declare("tmp", PT_INT, VarScope::Global);          // untouched
  t.Var(0)->Value().SetFloat(1);                       // a system variable is written back...
  t.PopVars();
  EXPECT_EQ(t.PushedCount(), 0);
  EXPECT_EQ(t.FindVar("x"), x);
  EXPECT_EQ(x->Value().AsInt(), 1);
  ASSERT_NE(t.FindVar("s"), nullptr);
  EXPECT_EQ(t.FindVar("s")->Value().GetStrAt(1), "two");
  EXPECT_EQ(t.FindVar("s")->Value().DimList(), (std::vector<int32_t>{2}));
  EXPECT_EQ(t.Var(0)->Value().AsFloat(), 3.25L);  // ...through its own value
  EXPECT_NE(t.FindVar("tmp"), nullptr);

  // A variable of another type is replaced by one of the pushed type; a system variable of
  // another type is never deleted.
  t.PushVars({"x"});
  t.Delete(t.FindVar("x"));
  t.Declare("x", PT_BOOL, VarScope::Global);
  t.PopVars();
  EXPECT_EQ(t.FindVar("x")->Value().ParamType(), PT_INT);
  EXPECT_EQ(t.FindVar("x")->Value().AsInt(), 1);
  EXPECT_EQ(t.Var(1)->Name(), "@Count");
  ExpectConsistent(t);
}

TEST(ParamStore, PopLeavesSystemVariablesOfAnotherType) {
  // A set loaded from a game record that names a system variable with another type.
  Bytes b;
  b.i32(0).i32(50).str("").str("").i32(0).str("");
  b.i32(1).i32(2).i32(PT_STR).str("@Count").i32(0).i32(1).str("zz").i32(PT_STR).str("y").i32(0).i32(1).str("text");
  TParamCollection t;
  AddSystemVars(t);
  LoadGame(t, b.b, 144);
  t.PopVars();
  EXPECT_TRUE(t.Var(1)->IsSystem());
  EXPECT_EQ(t.Var(1)->Value().ParamType(), PT_INT);
  EXPECT_EQ(t.FindVar("y")->Value().AsStr(), "text");  // the entry after it still lands
  ExpectConsistent(t);
}

}  // namespace
}  // namespace qubo
