// Component functions through a fake scene: properties, entries (with preview-menu entry
// names), listing, coordinates, menus, cabinets, creation and deletion, input method; and
// what each answers when the component does not exist.

#include <gtest/gtest.h>

#include "fakescripthost.h"

namespace qubo {
namespace {

using testing::Caller;
using testing::FakeComponent;

enum {
  kGetProp = 2, kSetProp = 3, kExists = 19, kGetCheck = 24, kSetCheck = 25, kListCompo = 32, kToClientX = 33,
  kToClientY = 34, kToScreenX = 35, kToScreenY = 36, kIndexOfMenu = 47, kInPrimary = 69, kGetEnabled = 131,
  kSetEnabled = 132, kGetVisible = 140, kSetVisible = 141, kGetGroupIndex = 145, kGetSelected = 146,
  kSetSelected = 147, kInCabinet = 154, kCreateObject = 161, kDeleteObject = 162, kGetItem = 163,
  kGetImeOpened = 166, kSetImeOpened = 167,
};
constexpr int32_t kLtButton = 4, kLtMenu = 9, kLtEdit = 22, kLtPrevMenu = 25, kLtCabinet = 27, kLtBase = 1;

TFuncResult Do(Caller& c, int index, std::vector<TCustomParam*> args) { return c.Call(CallComponentFunction, index, args); }

TEST(ComponentFunctions, PropertiesAndExistence) {
  Caller c;
  FakeComponent& img = c.host.Add("img", 2);
  img.props[5] = "42";
  TFuncResult r = Do(c, kGetProp, {c.Str("img"), c.Int(5)});
  EXPECT_EQ(r.type, PT_STR);
  EXPECT_EQ(r.strValue, "42");
  EXPECT_FALSE(Do(c, kGetProp, {c.Str("img"), c.Int(6)}).HasValue());
  EXPECT_FALSE(Do(c, kGetProp, {c.Str("none"), c.Int(5)}).HasValue());
  // The property id is its low byte, as the evaluator types the result.
  EXPECT_EQ(Do(c, kGetProp, {c.Str("img"), c.Int(0x105)}).strValue, "42");

  EXPECT_FALSE(Do(c, kSetProp, {c.Str("img"), c.Int(7), c.Str("abc")}).HasValue());
  EXPECT_EQ(img.props[7], "abc");
  Do(c, kSetProp, {c.Str("none"), c.Int(7), c.Str("x")});

  EXPECT_TRUE(Do(c, kExists, {c.Str("img")}).flagValue);
  EXPECT_FALSE(Do(c, kExists, {c.Str("IMG")}).flagValue);  // component names compare exactly
  EXPECT_FALSE(Do(c, kExists, {c.Str("")}).flagValue);
  EXPECT_EQ(Do(c, kExists, {c.Str("")}).type, PT_BOOL);

  bool handled = true;
  c.Call(CallComponentFunction, 26, {c.Int(5)}, &handled);
  EXPECT_FALSE(handled);
}

TEST(ComponentFunctions, EntryStates) {
  Caller c;
  FakeComponent& group = c.host.Add("group", kLtButton);
  group.entries[0] = {true, true, true, false, 3, "first"};
  group.entries[1] = {false, false, false, true, 4, "second"};
  EXPECT_TRUE(Do(c, kGetCheck, {c.Str("group"), c.Int(0)}).flagValue);
  EXPECT_FALSE(Do(c, kGetEnabled, {c.Str("group"), c.Int(1)}).flagValue);
  EXPECT_FALSE(Do(c, kGetVisible, {c.Str("group"), c.Int(1)}).flagValue);
  EXPECT_TRUE(Do(c, kGetSelected, {c.Str("group"), c.Int(1)}).flagValue);
  EXPECT_EQ(Do(c, kGetGroupIndex, {c.Str("group"), c.Int(1)}).intValue, 4);
  EXPECT_EQ(Do(c, kGetItem, {c.Str("group"), c.Int(1)}).strValue, "second");
  // A text entry of an ordinary component is its integer text.
  EXPECT_EQ(Do(c, kGetGroupIndex, {c.Str("group"), c.Str("1")}).intValue, 4);

  // The setters yield nothing.
  EXPECT_FALSE(Do(c, kSetCheck, {c.Str("group"), c.Int(1), c.Flag(true)}).HasValue());
  EXPECT_FALSE(Do(c, kSetEnabled, {c.Str("group"), c.Int(1), c.Int(1)}).HasValue());
  EXPECT_FALSE(Do(c, kSetVisible, {c.Str("group"), c.Int(1), c.Str("TRUE")}).HasValue());
  EXPECT_FALSE(Do(c, kSetSelected, {c.Str("group"), c.Int(1), c.Flag(false)}).HasValue());
  EXPECT_TRUE(group.entries[1].check);
  EXPECT_TRUE(group.entries[1].enabled);
  EXPECT_TRUE(group.entries[1].visible);
  EXPECT_FALSE(group.entries[1].selected);

  // A missing component: the getters yield nothing (GetItem the empty text).
  for (int index : {kGetCheck, kGetEnabled, kGetVisible, kGetSelected, kGetGroupIndex, kSetCheck, kSetVisible}) {
    EXPECT_FALSE(Do(c, index, {c.Str("none"), c.Int(0), c.Flag(true)}).HasValue()) << index;
  }
  TFuncResult item = Do(c, kGetItem, {c.Str("none"), c.Int(0)});
  EXPECT_EQ(item.type, PT_STR);
  EXPECT_EQ(item.strValue, "");
}

TEST(ComponentFunctions, PreviewMenuEntriesByName) {
  Caller c;
  FakeComponent& prev = c.host.Add("prev", kLtPrevMenu);
  prev.entries[0] = {false, true, true, false, 1, "start"};
  prev.entries[2] = {false, true, true, false, 7, "12"};
  prev.entries[12] = {false, true, true, false, 9, "other"};
  // Entry names go through the name lookup, integer texts are indexes.
  EXPECT_EQ(Do(c, kGetGroupIndex, {c.Str("prev"), c.Str("start")}).intValue, 1);
  EXPECT_EQ(Do(c, kGetGroupIndex, {c.Str("prev"), c.Str("12")}).intValue, 9);
  EXPECT_EQ(Do(c, kGetGroupIndex, {c.Str("prev"), c.Int(2)}).intValue, 7);
  Do(c, kSetEnabled, {c.Str("prev"), c.Str("start"), c.Flag(false)});
  EXPECT_FALSE(prev.entries[0].enabled);
  Do(c, kSetVisible, {c.Str("prev"), c.Str("$C"), c.Flag(false)});
  EXPECT_FALSE(prev.entries[12].visible);
  // GetCheck, SetCheck and GetItem always take the integer.
  prev.entries[3] = {true, false, true, false, 3, "third"};
  EXPECT_FALSE(Do(c, kGetEnabled, {c.Str("prev"), c.Str("third")}).flagValue);  // by name: entry 3
  EXPECT_FALSE(Do(c, kGetCheck, {c.Str("prev"), c.Str("third")}).flagValue);    // "third" as integer: 0
  EXPECT_EQ(Do(c, kGetItem, {c.Str("prev"), c.Str("third")}).strValue, "start");
  Do(c, kSetCheck, {c.Str("prev"), c.Str("third"), c.Flag(true)});
  EXPECT_TRUE(prev.entries[0].check);
  // An unknown name is entry -1 (outside every real menu's range).
  prev.entries[-1] = {false, true, true, false, 55, ""};
  EXPECT_EQ(Do(c, kGetGroupIndex, {c.Str("prev"), c.Str("nothing")}).intValue, 55);
}

TEST(ComponentFunctions, ListCompo) {
  Caller c;
  FakeComponent& base = c.host.Add("base0", kLtBase);
  FakeComponent& cab = c.host.Add("cab", kLtCabinet, &base);
  c.host.Add("b1", kLtButton, &cab);
  FakeComponent& inner = c.host.Add("inner", kLtCabinet, &cab);
  c.host.Add("b2", kLtButton, &inner);
  c.host.Add("m1", kLtMenu, &base);

  struct Case {
    std::vector<std::string> args;  // type, parent, deep as texts; empty: not given
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {{}, {"base0", "cab", "b1", "inner", "b2", "m1"}},
      {{"0", "ALL"}, {"base0", "cab", "b1", "inner", "b2", "m1"}},
      {{"99"}, {"base0", "cab", "b1", "inner", "b2", "m1"}},
      {{"4"}, {"b1", "b2"}},
      {{"0", "cab"}, {"b1", "inner"}},
      {{"0", "cab", "1"}, {"b1", "inner", "b2"}},
      {{"27", "base0", "1"}, {"cab", "inner"}},
      {{"4", "cab"}, {"b1"}},
      {{"0", "ALL", "1"}, {"base0", "cab", "b1", "inner", "b2", "m1"}},  // each name once
      {{"9", "cab"}, {}},
      {{"0", "none"}, {}},
      {{"-1"}, {}},
  };
  for (const Case& k : cases) {
    std::string trace;
    for (const auto& a : k.args) trace += a + " ";
    SCOPED_TRACE(trace);
    std::vector<TCustomParam*> args{c.Ref("list")};
    if (k.args.size() >= 1) args.push_back(c.Int(std::stoi(k.args[0])));
    if (k.args.size() >= 2) args.push_back(c.Str(k.args[1]));
    if (k.args.size() >= 3) args.push_back(c.Flag(k.args[2] == "1"));
    c.Var("list").SetDims({9});  // whatever it held before
    TFuncResult r = Do(c, kListCompo, args);
    EXPECT_EQ(r.intValue, static_cast<int32_t>(k.names.size()));
    TCustomParam& list = c.Var("list");
    if (k.names.empty()) {
      EXPECT_EQ(list.Count(), 1);
      EXPECT_TRUE(list.DimList().empty());
      EXPECT_EQ(list.AsStr(), "");
    } else {
      EXPECT_EQ(list.DimList(), std::vector<int32_t>{static_cast<int32_t>(k.names.size())});
      for (size_t i = 0; i < k.names.size(); ++i) EXPECT_EQ(list.GetStrAt(static_cast<int32_t>(i)), k.names[i]);
    }
  }
}

TEST(ComponentFunctions, CoordinatesMenusAndPlaces) {
  Caller c;
  FakeComponent& box = c.host.Add("box", 2);
  box.left = 100;
  box.top = 50;
  EXPECT_EQ(Do(c, kToClientX, {c.Str("box"), c.Int(130)}).intValue, 30);
  EXPECT_EQ(Do(c, kToClientY, {c.Str("box"), c.Int(130)}).intValue, 80);
  EXPECT_EQ(Do(c, kToScreenX, {c.Str("box"), c.Int(5)}).intValue, 105);
  EXPECT_EQ(Do(c, kToScreenY, {c.Str("box"), c.Int(5)}).intValue, 55);
  for (int index : {kToClientX, kToClientY, kToScreenX, kToScreenY}) {
    EXPECT_EQ(Do(c, index, {c.Str("none"), c.Int(-9)}).intValue, -9);
  }

  FakeComponent& menu = c.host.Add("menu", kLtMenu);
  menu.menuText = "Start\r\nLoad\nConfig\r\r\x83\x5C" "End";
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("menu"), c.Str("load")}).intValue, 1);
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("menu"), c.Str("CONFIG")}).intValue, 2);
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("menu"), c.Str("")}).intValue, 3);
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("menu"), c.Str("\x83\x5C" "end")}).intValue, 4);
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("menu"), c.Str("\x83\x7C" "End")}).intValue, -1);  // another character
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("menu"), c.Str("Quit")}).intValue, -1);
  EXPECT_EQ(Do(c, kIndexOfMenu, {c.Str("none"), c.Str("Load")}).intValue, -1);

  FakeComponent& onBack = c.host.Add("onBack", 2);
  onBack.onCurrentBase = false;
  FakeComponent& inCab = c.host.Add("inCab", 2);
  inCab.inCabinet = true;
  struct Place {
    const char* name;
    bool primary, cabinet;
  };
  for (const Place& p : {Place{"box", true, false}, Place{"onBack", false, false}, Place{"inCab", false, true},
                         Place{"none", false, false}}) {
    EXPECT_EQ(Do(c, kInPrimary, {c.Str(p.name)}).flagValue, p.primary) << p.name;
    EXPECT_EQ(Do(c, kInCabinet, {c.Str(p.name)}).flagValue, p.cabinet) << p.name;
  }
}

TEST(ComponentFunctions, CreateAndDelete) {
  Caller c;
  FakeComponent& base = c.host.Add("base0", kLtBase);
  base.baseLayer = true;
  c.host.Add("cab", kLtCabinet);
  EXPECT_TRUE(Do(c, kCreateObject, {c.Int(kLtButton), c.Str("b1")}).flagValue);
  EXPECT_TRUE(Do(c, kCreateObject, {c.Int(kLtButton), c.Str("b2"), c.Str("cab")}).flagValue);
  EXPECT_TRUE(Do(c, kCreateObject, {c.Int(kLtButton), c.Str("b3"), c.Str("nowhere")}).flagValue);
  EXPECT_FALSE(Do(c, kCreateObject, {c.Int(0), c.Str("b4")}).flagValue);
  ASSERT_EQ(c.host.created.size(), 4u);
  EXPECT_EQ(c.host.created[0].parent, "");  // the current base layer
  EXPECT_EQ(c.host.created[1].parent, "cab");
  EXPECT_EQ(c.host.created[2].parent, "");  // not found: the current base layer

  EXPECT_TRUE(Do(c, kDeleteObject, {c.Str("b1")}).flagValue);
  EXPECT_EQ(c.host.FindComponent("b1"), nullptr);
  EXPECT_FALSE(Do(c, kDeleteObject, {c.Str("b1")}).flagValue);
  EXPECT_FALSE(Do(c, kDeleteObject, {c.Str("base0")}).flagValue);
  EXPECT_NE(c.host.FindComponent("base0"), nullptr);
}

TEST(ComponentFunctions, InputMethodState) {
  Caller c;
  FakeComponent& edit = c.host.Add("edit", kLtEdit);
  EXPECT_FALSE(Do(c, kGetImeOpened, {c.Str("edit")}).flagValue);
  EXPECT_TRUE(Do(c, kSetImeOpened, {c.Str("edit"), c.Flag(true)}).flagValue);
  EXPECT_TRUE(Do(c, kGetImeOpened, {c.Str("edit")}).flagValue);
  // The answer is whether the state read back is the one asked for.
  edit.imeWorks = false;
  EXPECT_FALSE(Do(c, kSetImeOpened, {c.Str("edit"), c.Flag(false)}).flagValue);
  EXPECT_TRUE(Do(c, kSetImeOpened, {c.Str("edit"), c.Flag(true)}).flagValue);
  EXPECT_FALSE(Do(c, kSetImeOpened, {c.Str("none"), c.Flag(false)}).flagValue);
  EXPECT_FALSE(Do(c, kGetImeOpened, {c.Str("none")}).flagValue);
}

}  // namespace
}  // namespace qubo
