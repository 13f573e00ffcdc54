// System variables: created with every table once installed and never removed, their types
// and counts, reads from the host and platform in every type, the write rules, element
// access, @Result and @Temp forwarding, and their use from expressions.

#include "script/sysvars.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "fakescripthost.h"
#include "script/expreval.h"
#include "script/sysfunctable.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {
namespace {

using testing::FakeHost;
using testing::HostScope;

const std::string kInternalError = "\x93\xE0\x95\x94\x83\x47\x83\x89\x81\x5B";  // 内部エラー

// Installs the system-variable factory for one test and removes it again, so that the other
// suites of this binary keep their empty tables.
struct InstalledSystemVars {
  InstalledSystemVars() { InstallSystemVars(); }
  ~InstalledSystemVars() { TParamCollection::SetSystemFactory(nullptr); }
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const QuboError& e) {
    return e.what();
  }
  return "(no error)";
}

struct Fixture {
  InstalledSystemVars installed;
  TParamCollection vars;
  FakeHost host;
  HostScope scope{host};
  TCustomParam& Sys(const char* name) { return vars.FindVar(name)->Value(); }
};

TEST(SysVars, EveryTableStartsWithTheFiftyOneInOrderAndKeepsThem) {
  Fixture f;
  ASSERT_EQ(f.vars.Count(), kSysVarCount);
  ASSERT_EQ(f.vars.SystemCount(), kSysVarCount);
  for (int i = 0; i < kSysVarCount; ++i) {
    EXPECT_EQ(f.vars.Var(i)->Name(), kSysVars[static_cast<size_t>(i)].name);
    EXPECT_TRUE(f.vars.Var(i)->IsSystem());
    EXPECT_EQ(dynamic_cast<TParamSystem&>(f.vars.Var(i)->Value()).Number(), i);
  }
  EXPECT_EQ(f.vars.FindVar("@pi"), f.vars.Var(30));  // names fold case

  // Deleting, clearing and loading a game record leave them in place.
  f.vars.AddNamed(PT_INT, "x");
  EXPECT_FALSE(f.vars.Delete(0));
  EXPECT_FALSE(f.vars.Delete(f.vars.Var(50)));
  f.vars.ClearVars();
  EXPECT_EQ(f.vars.Count(), kSysVarCount);
  f.vars.AddNamed(PT_STR, "y");
  TKoMemoryStream record;
  f.vars.SaveGameVars(record);
  record.SetPosition(0);
  f.vars.LoadGameVars(record, TParamCollection::kCurrentSaveVersion);
  ASSERT_EQ(f.vars.Count(), kSysVarCount + 1);
  EXPECT_EQ(f.vars.Var(kSysVarCount)->Name(), "y");
  EXPECT_EQ(f.vars.Var(7)->Name(), "@TextDelay");

  // Without the factory a table has none.
  TParamCollection::SetSystemFactory(nullptr);
  TParamCollection bare;
  EXPECT_EQ(bare.Count(), 0);
  InstallSystemVars();
}

TEST(SysVars, NumbersOutsideTheTableAreAnInternalError) {
  EXPECT_EQ(ErrorOf([] { TParamSystem v(51, nullptr); }), kInternalError);
  EXPECT_EQ(ErrorOf([] { TParamSystem v(-1, nullptr); }), kInternalError);
  EXPECT_EQ(ErrorOf([] { TParamSystem v(50, nullptr); }), "(no error)");
}

TEST(SysVars, TypesAndCounts) {
  Fixture f;
  f.host.args = {"a", "b", "c"};
  f.host.ports = {"Port A", "Port B"};
  for (int i = 0; i < kSysVarCount; ++i) {
    const TCustomParam& v = f.vars.Var(i)->Value();
    const SysVarInfo& info = kSysVars[static_cast<size_t>(i)];
    SCOPED_TRACE(std::string(info.name));
    // @Result and @Temp without a target act as an integer scalar.
    EXPECT_EQ(v.ParamType(), info.type == PT_NONE ? uint8_t{PT_INT} : info.type);
    EXPECT_EQ(v.DimCount(), 1);
    EXPECT_EQ(v.Dim(0), v.Count());
    EXPECT_EQ(v.Dim(1), 1);
  }
  EXPECT_EQ(f.Sys("@KeyPush").Count(), 258);
  EXPECT_EQ(f.Sys("@KeyClick").Count(), 258);
  EXPECT_EQ(f.Sys("@KeyRepeat").Count(), 258);
  EXPECT_EQ(f.Sys("@ParamStr").Count(), 3);
  EXPECT_EQ(f.Sys("@MidiPorts").Count(), 2);
  EXPECT_EQ(f.Sys("@Title").Count(), 1);
  f.host.ports.clear();
  EXPECT_EQ(f.Sys("@MidiPorts").Count(), 0);
  // Resizing and fills do nothing to the variables that stand for themselves.
  f.Sys("@ParamStr").SetCount(9);
  f.Sys("@ParamStr").SetDims({4, 4});
  EXPECT_EQ(f.Sys("@ParamStr").Count(), 3);
}

TEST(SysVars, ReadsComeFromTheHostAndThePlatform) {
  Fixture f;
  f.host.mouse = {12, 34};
  f.host.mouseFlags[static_cast<int>(TScriptHost::MouseFlag::LPush)] = true;
  f.host.mouseFlags[static_cast<int>(TScriptHost::MouseFlag::WheelUp)] = true;
  f.host.ticks = 4321;
  f.host.updates = 77;
  f.host.frames = 2;
  f.host.sender = "btn";
  f.host.title = "Title";
  f.host.width = 800;
  f.host.history[""] = {5, 100};
  f.host.Headless().AdvanceClock(1500);  // 2001-02-03 04:05:07.507, a Saturday
  EXPECT_EQ(f.Sys("@MouseX").AsInt(), 12);
  EXPECT_EQ(f.Sys("@MouseY").AsInt(), 34);
  EXPECT_TRUE(f.Sys("@LPush").AsBool());
  EXPECT_FALSE(f.Sys("@RPush").AsBool());
  EXPECT_TRUE(f.Sys("@WheelUp").AsBool());
  EXPECT_FALSE(f.Sys("@WheelDown").AsBool());
  EXPECT_EQ(f.Sys("@TickCount").AsInt(), 4321);
  EXPECT_EQ(f.Sys("@PCTickCount").AsInt(), 1001500);
  EXPECT_EQ(f.Sys("@UpdateCount").AsInt(), 77);
  EXPECT_EQ(f.Sys("@StackCount").AsInt(), 2);
  EXPECT_EQ(f.Sys("@Sender").AsStr(), "btn");
  EXPECT_EQ(f.Sys("@Title").AsStr(), "Title");
  EXPECT_EQ(f.Sys("@ScrWidth").AsInt(), 800);
  EXPECT_EQ(f.Sys("@ScrHeight").AsInt(), 480);
  EXPECT_EQ(f.Sys("@HistoryCount").AsInt(), 5);
  EXPECT_EQ(f.Sys("@HistoryMaxCount").AsInt(), 100);
  EXPECT_EQ(f.Sys("@DisplayModeCount").AsInt(), 2);
  const int expected[] = {2001, 2, 3, 7, 4, 5, 7};
  const char* names[] = {"@Year", "@Month", "@Day", "@Week", "@Hour", "@Min", "@Sec"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(f.Sys(names[i]).AsInt(), expected[i]) << names[i];
  EXPECT_EQ(f.Sys("@Fonts").AsStr(), "IPAGothic\r\nIPAMincho\r\nIPAPGothic\r\nIPAPMincho");
  EXPECT_EQ(f.Sys("@FixedFonts").AsStr(), "IPAGothic\r\nIPAMincho");
  EXPECT_EQ(f.Sys("@Pi").AsFloat(), 3.141592653589793238462643383279502884L);
  EXPECT_EQ(f.Sys("@1Hour").AsFloat(), 1.0L / 24);
  EXPECT_EQ(f.Sys("@1Min").AsFloat(), 1.0L / 1440);
  EXPECT_EQ(f.Sys("@1Sec").AsFloat(), 1.0L / 86400);
  EXPECT_FALSE(f.Sys("@IsDebug").AsBool());
  EXPECT_EQ(f.Sys("@TextDelay").AsInt(), 50);
  // Without a history format the counts read 0.
  f.host.history.clear();
  EXPECT_EQ(f.Sys("@HistoryCount").AsInt(), 0);
}

TEST(SysVars, ReadsInAnotherTypeConvertFromTheVariablesType) {
  Fixture f;
  f.host.mouse = {-7, 0};
  f.host.fullScreen = true;
  struct Case {
    const char* var;
    std::string title;  // for @Title
    int32_t asInt;
    Real asFloat;
    bool asBool;
    bool elementBool;  // GetBoolAt(0)
    std::string asStr;
  };
  const Case cases[] = {
      {"@MouseX", "", -7, -7.0L, true, true, "-7"},
      {"@Pi", "", 3, 3.141592653589793238462643383279502884L, true, true, "3.14159265358979"},
      {"@FullScr", "", 1, 1.0L, true, true, "TRUE"},
      {"@IsDebug", "", 0, 0.0L, false, false, "FALSE"},
      // A string reads as integer text; as a flag it is true when not empty, while its
      // element follows the text rule.
      {"@Title", "12", 12, 12.0L, true, true, "12"},
      {"@Title", "$1F", 31, 31.0L, true, true, "$1F"},
      {"@Title", "1.5", 0, 0.0L, true, false, "1.5"},
      {"@Title", "FALSE", 0, 0.0L, true, false, "FALSE"},
      {"@Title", "TRUE", 0, 0.0L, true, true, "TRUE"},
      {"@Title", "0", 0, 0.0L, true, false, "0"},
      {"@Title", "", 0, 0.0L, false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.var) + " " + c.title);
    f.host.title = c.title;
    const TCustomParam& v = f.Sys(c.var);
    EXPECT_EQ(v.AsInt(), c.asInt);
    EXPECT_EQ(v.AsFloat(), c.asFloat);
    EXPECT_EQ(v.AsBool(), c.asBool);
    EXPECT_EQ(v.GetBoolAt(0), c.elementBool);
    EXPECT_EQ(v.AsStr(), c.asStr);
    EXPECT_EQ(v.GetStrAt(0), c.asStr);
    EXPECT_EQ(v.GetIntAt(0), c.asInt);
  }
}

TEST(SysVars, WritesConvertToTheVariablesTypeOrAreIgnored) {
  Fixture f;
  TCustomParam& full = f.Sys("@FullScr");
  full.SetStr("TRUE");  // not integer text
  EXPECT_FALSE(f.host.fullScreen);
  full.SetStr("1");
  EXPECT_TRUE(f.host.fullScreen);
  full.SetInt(0);
  EXPECT_FALSE(f.host.fullScreen);
  full.SetFloat(0.5L);
  EXPECT_TRUE(f.host.fullScreen);
  full.SetStr("0");
  EXPECT_FALSE(f.host.fullScreen);

  TCustomParam& delay = f.Sys("@TextDelay");
  delay.SetStr("abc");
  EXPECT_EQ(delay.AsInt(), 50);
  delay.SetStr(" $10");
  EXPECT_EQ(f.vars.Globals().textDelay, 16);
  delay.SetFloat(-2.9L);
  EXPECT_EQ(delay.AsInt(), -2);
  delay.SetBool(true);
  EXPECT_EQ(delay.AsInt(), 1);
  EXPECT_THROW(delay.SetFloat(1e30L), QuboError);  // as for any integer variable

  TCustomParam& sel = f.Sys("@SelStr");
  sel.SetInt(-5);
  EXPECT_EQ(f.vars.Globals().selStr, "-5");
  sel.SetFloat(1.5L);
  EXPECT_EQ(sel.AsStr(), "1.5");
  sel.SetBool(false);
  EXPECT_EQ(sel.AsStr(), "FALSE");
  f.Sys("@SelIndex").SetStr("9");
  EXPECT_EQ(f.vars.Globals().selIndex, 9);
  f.Sys("@Cursor").SetStr("hand");
  EXPECT_EQ(f.vars.Globals().cursor, "hand");

  // The mouse moves along one axis at a time.
  f.host.mouse = {3, 4};
  f.Sys("@MouseX").SetInt(100);
  f.Sys("@MouseY").SetStr("200");
  EXPECT_EQ(f.host.mouse.x, 100);
  EXPECT_EQ(f.host.mouse.y, 200);

  f.Sys("@LClick").SetBool(true);
  EXPECT_TRUE(f.host.mouseFlags[static_cast<int>(TScriptHost::MouseFlag::LClick)]);
  f.Sys("@CGDither").SetInt(2);
  EXPECT_TRUE(f.host.dither);
  f.Sys("@SoundON").SetStr("0");
  EXPECT_FALSE(f.host.soundOn);
  f.Sys("@DisplayModeIndex").SetInt(1);
  EXPECT_EQ(f.host.modeIndex, 1);
  f.host.history[""] = {0, 10};
  f.Sys("@HistoryMaxCount").SetInt(30);
  EXPECT_EQ(f.host.history[""].second, 30);
  f.Sys("@MidiPort").SetStr("Synth");
  EXPECT_EQ(f.host.port, "Synth");
  f.host.Add("edit1", 22);
  f.Sys("@ActiveCompo").SetStr("edit1");
  f.Sys("@ActiveCompo").SetStr("nothing");
  EXPECT_EQ(f.Sys("@ActiveCompo").AsStr(), "edit1");

  // Read-only variables ignore writes.
  f.Sys("@LPush").SetBool(true);
  f.Sys("@WheelUp").SetBool(true);
  EXPECT_FALSE(f.host.mouseFlags[static_cast<int>(TScriptHost::MouseFlag::LPush)]);
  EXPECT_FALSE(f.host.mouseFlags[static_cast<int>(TScriptHost::MouseFlag::WheelUp)]);
  f.Sys("@Pi").SetFloat(3);
  EXPECT_GT(f.Sys("@Pi").AsFloat(), 3.14L);
  f.Sys("@Title").SetStr("x");
  EXPECT_EQ(f.host.title, "Game");
}

TEST(SysVars, ElementAccess) {
  Fixture f;
  f.host.keys.insert({static_cast<int>(TScriptHost::KeyState::Push), 65});
  f.host.keys.insert({static_cast<int>(TScriptHost::KeyState::Click), 257});
  f.host.keys.insert({static_cast<int>(TScriptHost::KeyState::Repeat), 13});
  TCustomParam& push = f.Sys("@KeyPush");
  EXPECT_TRUE(push.GetBoolAt(65));
  EXPECT_EQ(push.GetIntAt(65), 1);
  EXPECT_EQ(push.GetStrAt(65), "TRUE");
  EXPECT_FALSE(push.GetBoolAt(66));
  EXPECT_FALSE(push.GetBoolAt(300));
  EXPECT_FALSE(push.GetBoolAt(-1));
  EXPECT_FALSE(push.AsBool());  // as a scalar
  EXPECT_TRUE(f.Sys("@KeyClick").GetBoolAt(257));
  EXPECT_TRUE(f.Sys("@KeyRepeat").GetBoolAt(13));
  EXPECT_FALSE(f.Sys("@KeyRepeat").GetBoolAt(65));
  push.SetBoolAt(66, true);  // read-only
  EXPECT_FALSE(push.GetBoolAt(66));

  f.host.args = {"first", "1", "FALSE"};
  TCustomParam& params = f.Sys("@ParamStr");
  EXPECT_EQ(params.GetStrAt(0), "first");
  EXPECT_EQ(params.GetIntAt(1), 1);
  EXPECT_TRUE(params.GetBoolAt(1));  // the text rule: integer text other than 0
  EXPECT_FALSE(params.GetBoolAt(2));
  EXPECT_EQ(params.GetStrAt(3), "");
  EXPECT_EQ(params.AsStr(), "");  // a scalar read
  EXPECT_EQ(params.FindStr("FALSE", true, false), 2);

  f.host.ports = {"Port A", "Port B"};
  EXPECT_EQ(f.Sys("@MidiPorts").AsStr(), "Port A");
  EXPECT_EQ(f.Sys("@MidiPorts").GetStrAt(1), "Port B");
  EXPECT_EQ(f.Sys("@MidiPorts").GetStrAt(2), "");

  // A scalar has element 0 only, for reads and writes.
  TCustomParam& delay = f.Sys("@TextDelay");
  EXPECT_THROW(delay.GetIntAt(1), QuboError);
  EXPECT_THROW(delay.SetIntAt(1, 5), QuboError);
  delay.SetIntAt(0, 5);
  EXPECT_EQ(delay.GetIntAt(0), 5);
}

TEST(SysVars, ResultForwardsToTheCurrentFramesResult) {
  Fixture f;
  TCustomParam& result = f.Sys("@Result");
  // Without a frame: an integer scalar 0 that ignores writes.
  result.SetInt(5);
  result.SetDims({3});
  EXPECT_EQ(result.AsInt(), 0);
  EXPECT_EQ(result.Count(), 1);
  EXPECT_EQ(result.ParamType(), PT_INT);
  EXPECT_EQ(result.Resolve(), nullptr);

  f.host.result = NewParam(PT_STR);
  result.SetInt(42);
  EXPECT_EQ(f.host.result->AsStr(), "42");
  EXPECT_EQ(result.ParamType(), PT_STR);
  result.SetDims({2, 2});
  EXPECT_EQ(f.host.result->Count(), 4);
  EXPECT_EQ(result.DimCount(), 2);
  result.SetStrAt(3, "last");
  EXPECT_EQ(f.host.result->GetStrAt(3), "last");
  result.FillStr("z");
  EXPECT_EQ(f.host.result->GetStrAt(0), "z");
  EXPECT_EQ(result.Resolve(), f.host.result.get());
  // Copies from and into it.
  TParamStr other;
  other.SetStr("copied");
  result.CopyValue(other);
  EXPECT_EQ(f.host.result->AsStr(), "copied");
  TParamInt wrong;
  EXPECT_THROW(result.CopyValue(wrong), QuboError);
}

TEST(SysVars, TempForwardsToTheNamedVariable) {
  Fixture f;
  TCustomParam& temp = f.Sys("@Temp");
  EXPECT_EQ(temp.AsStr(), "");
  EXPECT_EQ(temp.Count(), 1);
  temp.SetStr("lost");

  TCustomParam& arr = f.vars.AddNamed(PT_INT, "arr")->Value();
  arr.SetDims({3});
  arr.SetIntAt(2, 9);
  f.vars.Globals().tempTarget = "ARR";
  EXPECT_EQ(temp.Count(), 3);
  EXPECT_EQ(temp.GetIntAt(2), 9);
  temp.SetIntAt(0, 4);
  EXPECT_EQ(arr.GetIntAt(0), 4);
  EXPECT_THROW(temp.GetIntAt(3), QuboError);
  temp.FillInt(1);
  EXPECT_EQ(arr.GetIntAt(2), 1);
  temp.SetInt(8);  // a scalar write makes the target a scalar
  EXPECT_EQ(arr.Count(), 1);
  // A copy of the temp variable copies the target.
  std::unique_ptr<TCustomParam> copy = f.vars.GetCopy("@Temp");
  EXPECT_EQ(copy->AsInt(), 8);

  // Standing for itself, or for @Result standing for @Temp, is no target: no recursion.
  f.vars.Globals().tempTarget = "@Temp";
  EXPECT_EQ(temp.AsInt(), 0);
  temp.SetInt(3);
  f.vars.Globals().tempTarget = "@Result";
  EXPECT_EQ(temp.AsInt(), 0);

  // Once the variable is gone the name stands for nothing.
  f.vars.Globals().tempTarget = "arr";
  f.vars.Delete(f.vars.FindVar("arr"));
  EXPECT_EQ(temp.AsInt(), 0);
  EXPECT_EQ(temp.ParamType(), PT_INT);
}

TEST(SysVars, FromExpressions) {
  Fixture f;
  TExprContext ctx;
  ctx.vars = &f.vars;
  f.host.keys.insert({static_cast<int>(TScriptHost::KeyState::Push), 65});
  f.host.args = {"x", "y"};
  f.vars.AddNamed(PT_BOOL, "k");
  f.vars.AddNamed(PT_STR, "s");
  f.vars.AddNamed(PT_FLOAT, "p");
  std::string error;
  ASSERT_TRUE(RunText(ctx, "@TextDelay = @TextDelay + 5", &error)) << error;
  EXPECT_EQ(f.vars.Globals().textDelay, 55);
  ASSERT_TRUE(RunText(ctx, "k = @KeyPush[65]", &error)) << error;
  EXPECT_TRUE(f.vars.FindVar("k")->Value().AsBool());
  ASSERT_TRUE(RunText(ctx, "s = @ParamStr[1] ++ @Title", &error)) << error;
  EXPECT_EQ(f.vars.FindVar("s")->Value().AsStr(), "yGame");
  ASSERT_TRUE(RunText(ctx, "p = @Pi * 2", &error)) << error;
  EXPECT_NEAR(static_cast<double>(f.vars.FindVar("p")->Value().AsFloat()), 6.283185307179586, 1e-12);
  // Beyond the argument count the element reference itself fails.
  EXPECT_TRUE(RunText(ctx, "s = @ParamStr[2]", &error));
  EXPECT_NE(error, "");
  EXPECT_EQ(f.vars.FindVar("s")->Value().AsStr(), "yGame");
  ASSERT_TRUE(RunText(ctx, "@FullScr = 1", &error)) << error;
  EXPECT_TRUE(f.host.fullScreen);
  // The system variables stay the first items after the evaluator's temporaries come and go.
  EXPECT_EQ(f.vars.Count(), kSysVarCount + 3);
}

// qubo-tool calc, built beside this test (skipped when it is not there), starts from a table
// holding the system variables.
TEST(SysVars, CalcToolStartsWithThem) {
  std::error_code ec;
  const std::filesystem::path tool = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "qubo-tool";
  if (ec || !std::filesystem::exists(tool)) GTEST_SKIP() << "qubo-tool is not built";
  const std::string command =
      "'" + tool.string() + "' calc '@Pi' '@TextDelay = @TextDelay + 1' '@ParamCount' '@KeyPush[65]' 2>&1";
  std::FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
  EXPECT_EQ(pclose(out), 0) << text;
  EXPECT_EQ(text, "float 3.14159265358979\nint 51\nint 0\nflag FALSE\n");
}

}  // namespace
}  // namespace qubo
