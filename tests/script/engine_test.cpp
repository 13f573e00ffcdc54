// The execution engine: control flow, calls and returns, waits across ticks, event handlers
// at their levels, the page cache, stored state, page loading and failures.

#include <gtest/gtest.h>

#include "script/commands.h"
#include "script/messages.h"
#include "testkit/testkit.h"
#include "enginekit.h"

namespace qubo {
namespace {

using authoring::Expr;
using authoring::Exprs;
using authoring::Int;
using authoring::Str;
using authoring::TPageBuilder;
using testkit::EngineRig;

// VarNew name (integer, global) = init.
void NewInt(TPageBuilder& b, const std::string& name, const std::string& init = "0", int indent = 0) {
  b.Add(cmdVarNew, indent, {Str(name), Int(PT_INT), Expr(init), Int(0)});
}
void NewStr(TPageBuilder& b, const std::string& name, const std::string& init = "\"\"") {
  b.Add(cmdVarNew, 0, {Str(name), Int(PT_STR), Expr(init), Int(0)});
}
void Calc(TPageBuilder& b, const std::string& e, int indent = 0) { b.Add(cmdCalc, indent, {Expr(e)}); }

struct FlowCase {
  const char* name;
  void (*build)(TPageBuilder&);
  int32_t expected;
};

const FlowCase kFlowCases[] = {
    {"elseif chain runs exactly one block",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       b.Add(cmdIf, 0, {Expr("1 == 2")});
       Calc(b, "r = 1", 1);
       b.Add(cmdElseif, 0, {Expr("1 == 3")});
       Calc(b, "r = 2", 1);
       b.Add(cmdElseif, 0, {Expr("2 == 2")});
       Calc(b, "r = r + 3", 1);
       b.Add(cmdElse, 0);
       Calc(b, "r = r + 100", 1);
       Calc(b, "r = r * 10");
     },
     30},
    {"true if skips its elseif and else",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       b.Add(cmdIf, 0, {Expr("1 == 1")});
       Calc(b, "r = 1", 1);
       b.Add(cmdElseif, 0, {Expr("1 == 1")});
       Calc(b, "r = r + 2", 1);
       b.Add(cmdElse, 0);
       Calc(b, "r = r + 4", 1);
     },
     1},
    {"a false if without a branch stops at the next command of its indent",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       b.Add(cmdIf, 0, {Expr("0")});
       Calc(b, "r = 1", 1);
       b.Add(cmdLabel, 0, {Str("here")});
       Calc(b, "r = r + 5");
     },
     5},
    {"an empty condition is false",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       b.Add(cmdIf, 0, {Expr("")});
       Calc(b, "r = 1", 1);
     },
     0},
    {"counted loop with while, break and continue",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       NewInt(b, "i");
       const int32_t init = b.Add(cmdWhileInit, 0, {Expr("i = 0")});
       const int32_t head = b.Add(cmdWhile, 0, {Expr("i < 10"), Int(0)});
       const int32_t cont = b.Add(cmdContinue, 1, {Expr("i == 2"), Int(0)});
       const int32_t brk = b.Add(cmdBreak, 1, {Expr("i == 6"), Int(0)});
       Calc(b, "r = r + i", 1);
       const int32_t step = b.Add(cmdWhileLoop, 0, {Expr("i = i + 1"), Int(head)});
       Calc(b, "r = r * 100");
       (void)init;
       b.SetInt(head, 1, step + 1);
       b.SetInt(cont, 1, step);
       b.SetInt(brk, 1, step + 1);
     },
     (0 + 1 + 3 + 4 + 5) * 100},
    {"break with a negative target leaves the page",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       b.Add(cmdBreak, 0, {Expr("1"), Int(-1)});
       Calc(b, "r = 9");
     },
     0},
    {"exit leaves only when its condition holds",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       b.Add(cmdExit, 0, {Expr("0")});
       Calc(b, "r = 1");
       b.Add(cmdExit, 0, {Expr("1")});
       Calc(b, "r = 2");
     },
     1},
    {"disabled commands and comments are skipped",
     [](TPageBuilder& b) {
       NewInt(b, "r");
       Calc(b, "r = 1");
       b.Image().commands.back().disabled = 1;
       b.Add(cmdComment, 0, {Str("r = 5")});
       b.Add(cmdIfdef, 0);
       Calc(b, "r = r + 2");
     },
     2},
};

class EngineFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(EngineFlow, RunsToTheExpectedValue) {
  EngineRig rig;
  TPageBuilder b;
  GetParam().build(b);
  rig.AddPage("main.qsb", b);
  rig.engine.Start("main.qsb");
  rig.Ticks(3);
  EXPECT_TRUE(rig.host.failures.empty());
  EXPECT_EQ(rig.Int("r"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, EngineFlow, ::testing::ValuesIn(kFlowCases),
                         [](const auto& info) {
                           std::string n;
                           for (const char* p = info.param.name; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return n;
                         });

TEST(Engine, JumpAndCallWithArgumentsAndResult) {
  EngineRig rig;
  TPageBuilder main;
  NewStr(main, "got");
  NewStr(main, "res");
  // The second argument has no value and is left out.
  main.Add(cmdCall, 0, {Str("sub.qsb"), Int(1), Str("res"), Expr("1"), Exprs({"\"a\"", "", "1 + 2"})});
  Calc(main, "got = got ++ \"|back\"");
  main.Add(cmdJump, 0, {Str("other.qsb"), Int(0), Expr("1")});
  Calc(main, "got = \"not reached\"");
  rig.AddPage("main.qsb", main);

  TPageBuilder sub(kNewestPageVersion, PT_STR);
  Calc(sub, "got = \"skipped\"");  // the call enters at index 1
  sub.Add(cmdWait, 0, {Expr(""), Expr("1")});
  rig.AddPage("sub.qsb", sub);

  TPageBuilder other;
  Calc(other, "got = got ++ \"|other\"");
  rig.AddPage("other.qsb", other);

  rig.engine.Start("main.qsb");
  rig.Tick();
  ASSERT_EQ(rig.engine.ArgumentCount(), 2);
  EXPECT_EQ(rig.engine.Argument(0), "a");
  EXPECT_EQ(rig.engine.Argument(1), "3");
  EXPECT_EQ(rig.engine.Stack().Count(), 1);
  EXPECT_EQ(rig.vars.CurrentLocalId(), 1);
  // The callee's result goes to the result variable as a value: quotes and backslashes in it
  // are never compiled.
  ASSERT_NE(rig.engine.CallResult(), nullptr);
  rig.engine.CallResult()->SetStr("q\"uote\\ = 1");
  rig.Ticks(3);
  EXPECT_TRUE(rig.host.failures.empty());
  EXPECT_EQ(rig.Str("res"), "q\"uote\\ = 1");
  EXPECT_EQ(rig.Str("got"), "|back|other");
  EXPECT_EQ(rig.engine.Stack().Count(), 0);
  EXPECT_EQ(rig.vars.CurrentLocalId(), 0);
}

TEST(Engine, CallResultIntoAnArrayElement) {
  EngineRig rig;
  TPageBuilder main;
  rig.vars.AddNamed(PT_INT, "a")->Value().SetDims({3});
  main.Add(cmdCall, 0, {Str("sub.qsb"), Int(0), Str("a[1]"), Expr("1")});
  rig.AddPage("main.qsb", main);
  TPageBuilder sub;
  sub.Add(cmdWait, 0, {Expr(""), Expr("1")});
  rig.AddPage("sub.qsb", sub);
  rig.engine.Start("main.qsb");
  rig.Tick();
  ASSERT_NE(rig.engine.CallResult(), nullptr);
  rig.engine.CallResult()->SetInt(42);
  rig.Ticks(3);
  TParamCollectionItem* a = rig.vars.FindVar("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Value().GetIntAt(1), 42);
}

TEST(Engine, MissingPagesMakeJumpAndCallFallThrough) {
  EngineRig rig;
  TPageBuilder main;
  NewInt(main, "r");
  main.Add(cmdJump, 0, {Str("nowhere.qsb"), Int(0), Expr("1")});
  main.Add(cmdCall, 0, {Str("nowhere.qsb"), Int(0), Str(""), Expr("1")});
  Calc(main, "r = 7");
  rig.AddPage("main.qsb", main);
  rig.engine.Start("main.qsb");
  rig.Tick();
  EXPECT_EQ(rig.Int("r"), 7);
  EXPECT_TRUE(rig.host.failures.empty());
}

// Wait with time 100 at 30 ms frames: the first execution skips, then 100 → 70 → 40 → 10 →
// −20: the Wait completes on its fifth execution.
TEST(Engine, WaitCountsFramesAfterTheFirst) {
  EngineRig rig;
  rig.host.elapsed = 30;
  TPageBuilder b;
  NewInt(b, "r");
  b.Add(cmdWait, 0, {Expr(""), Expr("100")});
  Calc(b, "r = 1");
  rig.AddPage("main.qsb", b);
  rig.engine.Start("main.qsb");
  for (int tick = 1; tick <= 4; ++tick) {
    rig.Tick();
    EXPECT_EQ(rig.Int("r"), 0) << tick;
  }
  rig.Tick();
  EXPECT_EQ(rig.Int("r"), 1);
}

TEST(Engine, WaitWithAFalseConditionCompletesAtOnce) {
  EngineRig rig;
  TPageBuilder b;
  NewInt(b, "r");
  b.Add(cmdWait, 0, {Expr("0"), Expr("100000")});
  Calc(b, "r = 1");
  rig.AddPage("main.qsb", b);
  rig.engine.Start("main.qsb");
  rig.Tick();
  rig.Tick();
  EXPECT_EQ(rig.Int("r"), 1);
}

// A page whose main script waits; the handler page counts its runs.
EngineRig& WaitingGame(EngineRig& rig, bool blocks) {
  TPageBuilder main;
  NewInt(main, "r");
  NewInt(main, "h");
  main.Add(cmdWait, 0, {Expr(""), Expr("50"), Expr(blocks ? "1" : "0")});
  Calc(main, "r = r + 1");
  rig.AddPage("main.qsb", main);
  TPageBuilder click;
  Calc(click, "h = h + 1");
  click.Add(cmdLabel, 0, {Str("second")});
  Calc(click, "h = h + 10");
  rig.AddPage("click.qsb", click);
  rig.engine.Start("main.qsb");
  rig.Tick();
  return rig;
}

TEST(Engine, HandlerRunsInTheTickDuringANonBlockingWait) {
  EngineRig rig;
  WaitingGame(rig, false);
  rig.Post("click.txt:second", "btn", {"x"});
  rig.host.objects = {"btn"};
  rig.Tick();
  EXPECT_EQ(rig.Int("h"), 10);  // started at the label, extension replaced by qsb
  EXPECT_EQ(rig.host.queue.Size(), 0u);
  EXPECT_EQ(rig.engine.RunState(), 0);
  EXPECT_EQ(rig.Int("r"), 0);  // the Wait goes on where it was
  rig.Ticks(3);
  EXPECT_EQ(rig.Int("r"), 1);
}

TEST(Engine, BlockingWaitKeepsEventsQueued) {
  EngineRig rig;
  WaitingGame(rig, true);
  rig.Post("click.qsb");
  rig.Tick();
  EXPECT_EQ(rig.Int("h"), 0);
  EXPECT_EQ(rig.host.queue.Size(), 1u);
  rig.Ticks(4);  // the Wait ends, then the event runs
  EXPECT_EQ(rig.Int("r"), 1);
  EXPECT_EQ(rig.Int("h"), 11);
}

TEST(Engine, HandlerThatWaitsLetsTheNextEventRunNested) {
  EngineRig rig;
  TPageBuilder main;
  NewInt(main, "h1");
  NewInt(main, "h2");
  main.Add(cmdWait, 0, {});  // waits for ever
  rig.AddPage("main.qsb", main);
  TPageBuilder first;
  Calc(first, "h1 = 1");
  first.Add(cmdWait, 0, {Expr(""), Expr("40")});
  Calc(first, "h1 = 2");
  rig.AddPage("first.qsb", first);
  TPageBuilder second;
  Calc(second, "h2 = h1 * 10 + 1");
  rig.AddPage("second.qsb", second);

  rig.engine.Start("main.qsb");
  rig.Tick();
  rig.Post("first.qsb", "a");
  rig.Post("second.qsb", "b");
  rig.host.objects = {"a", "b"};
  rig.Tick();
  // The first handler yielded in its Wait, which ends the tick.
  EXPECT_EQ(rig.Int("h1"), 1);
  EXPECT_EQ(rig.Int("h2"), 0);
  EXPECT_EQ(rig.engine.RunState(), 2);
  rig.Tick();
  // The second ran nested at level 2 while the first was still waiting.
  EXPECT_EQ(rig.Int("h2"), 11);
  EXPECT_EQ(rig.engine.Stack().Count(), 1);
  EXPECT_EQ(rig.engine.SenderName(), "a");
  rig.Ticks(5);
  EXPECT_EQ(rig.Int("h1"), 2);
  EXPECT_EQ(rig.engine.RunState(), 0);
  EXPECT_EQ(rig.host.queue.Size(), 0u);
  EXPECT_EQ(rig.engine.Stack().Count(), 0);
}

TEST(Engine, ReturningIntoAnInterruptedWaitRestoresItsTime) {
  EngineRig rig;
  rig.host.elapsed = 10;
  TPageBuilder main;
  NewInt(main, "r");
  NewInt(main, "h");
  main.Add(cmdWait, 0, {Expr(""), Expr("45")});
  Calc(main, "r = 1");
  rig.AddPage("main.qsb", main);
  TPageBuilder click;
  Calc(click, "h = 1");
  rig.AddPage("click.qsb", click);
  rig.engine.Start("main.qsb");
  rig.Ticks(3);  // skip, 35, 25
  rig.Post("click.qsb");
  rig.Tick();  // the handler runs; the Wait continues at 25 and goes to 15
  EXPECT_EQ(rig.Int("h"), 1);
  rig.Tick();  // 5
  EXPECT_EQ(rig.Int("r"), 0);
  rig.Tick();  // -5
  EXPECT_EQ(rig.Int("r"), 1);
}

TEST(Engine, PCResetInAHandlerRedirectsTheMainScriptWhenItReturns) {
  EngineRig rig;
  TPageBuilder main;
  NewInt(main, "r");
  NewInt(main, "h");
  main.Add(cmdWait, 0, {});
  Calc(main, "r = 99");
  rig.AddPage("main.qsb", main);
  TPageBuilder click;
  click.Add(cmdPCReset, 0, {Str("next.qsb"), Int(1), Int(0)});
  Calc(click, "h = 1");  // the handler continues after the PCReset
  rig.AddPage("click.qsb", click);
  TPageBuilder next;
  Calc(next, "r = 1");
  Calc(next, "r = r + 2");
  rig.AddPage("next.qsb", next);
  rig.engine.Start("main.qsb");
  rig.Tick();
  rig.Post("click.qsb");
  rig.Post("click.qsb");
  rig.Tick();
  EXPECT_EQ(rig.Int("h"), 1);
  EXPECT_EQ(rig.Int("r"), 2);  // next.qsb from index 1
  EXPECT_EQ(rig.engine.CurrentPage()->Name(), "next.qsb");
}

TEST(Engine, ResetAllStartsAfreshAndEmptiesTheQueue) {
  EngineRig rig;
  TPageBuilder main;
  NewInt(main, "r");
  main.Add(cmdWait, 0, {});
  rig.AddPage("main.qsb", main);
  TPageBuilder click;
  click.Add(cmdPCReset, 0, {Str("next.qsb"), Int(0), Int(1)});
  rig.AddPage("click.qsb", click);
  TPageBuilder next;
  Calc(next, "r = 5");
  rig.AddPage("next.qsb", next);
  rig.engine.Start("main.qsb");
  rig.Tick();
  rig.Post("click.qsb");
  rig.Post("nothing.qsb");
  rig.Tick();
  rig.Tick();
  EXPECT_EQ(rig.Int("r"), 5);
  EXPECT_EQ(rig.host.queue.Size(), 0u);
  EXPECT_EQ(rig.engine.Stack().Count(), 0);
}

TEST(Engine, EventForAMissingPageStaysQueued) {
  EngineRig rig;
  TPageBuilder main;
  main.Add(cmdWait, 0, {});
  rig.AddPage("main.qsb", main);
  rig.engine.Start("main.qsb");
  rig.Post("gone.qsb");
  rig.Ticks(2);
  EXPECT_EQ(rig.host.queue.Size(), 1u);
  EXPECT_EQ(rig.engine.RunState(), 0);
}

TEST(Engine, HandlerTextsSplitIntoPageAndLabel) {
  struct Case {
    std::string handler, page, label;
  } cases[] = {
      {"a.txt:lbl", "a.qsb", "lbl"},
      {"dir:x\\a.qsb", "dir:x\\a.qsb", ""},
      {"a.qsb", "a.qsb", ""},
      {"a.qsb:", "a.qsb", ""},
      {"d\\e.qsb:l:m", "d\\e.qsqsb", "m"},  // the last three characters go, whatever they are
      // ソ ends in the byte 0x5C, which is no folder separator; ： (81 46) holds no colon.
      {"\x83\x5C.qsb:\x83\x5C", "\x83\x5C.qsb", "\x83\x5C"},
      {"a\x81\x46" "b", "qsb", ""},
      {"ab", "qsb", ""},
  };
  for (const Case& c : cases) {
    std::string page, label;
    SplitHandler(c.handler, page, label);
    EXPECT_EQ(page, c.page) << c.handler;
    EXPECT_EQ(label, c.label) << c.handler;
  }
}

TEST(Engine, TheThirtyFirstPageEvictsTheLeastRecentlyUsed) {
  EngineRig rig;
  TPageBuilder empty;
  empty.Add(cmdWait, 0, {});
  for (int i = 0; i <= 31; ++i) rig.AddPage("p" + std::to_string(i) + ".qsb", empty);
  rig.engine.Start("p0.qsb");
  std::weak_ptr<TPage> p1 = rig.engine.LoadPage("p1.qsb", true);
  for (int i = 2; i <= 30; ++i) rig.engine.LoadPage("p" + std::to_string(i) + ".qsb", true);
  // 31 pages: p0 (current, oldest) is kept beyond the limit.
  EXPECT_FALSE(p1.expired());
  rig.engine.LoadPage("p31.qsb", true);
  EXPECT_TRUE(p1.expired());
  EXPECT_EQ(rig.engine.CurrentPage()->Name(), "p0.qsb");
  // A page someone still holds outlives its eviction.
  TPageRef held = rig.engine.LoadPage("p2.qsb", false);
  for (int i = 3; i <= 31; ++i) rig.engine.LoadPage("p" + std::to_string(i) + ".qsb", true);
  rig.engine.LoadPage("p1.qsb", true);
  EXPECT_EQ(held->Name(), "p2.qsb");
}

TEST(Engine, StoredStateRoundTripsMidWait) {
  TKoMemoryStream saved;
  {
    EngineRig rig;
    rig.host.elapsed = 10;
    TPageBuilder main;
    NewInt(main, "r");
    main.Add(cmdCall, 0, {Str("sub.qsb"), Int(0), Str(""), Expr("1"), Exprs({"\"arg\""})});
    Calc(main, "r = 1");
    rig.AddPage("main.qsb", main);
    TPageBuilder sub;
    sub.Add(cmdWait, 0, {Expr(""), Expr("100")});
    rig.AddPage("sub.qsb", sub);
    rig.engine.Start("main.qsb");
    rig.Ticks(4);  // skip, 90, 80, 70
    rig.engine.Save(saved);
  }
  EngineRig rig;
  rig.host.elapsed = 10;
  TPageBuilder main;
  NewInt(main, "r");
  main.Add(cmdCall, 0, {Str("sub.qsb"), Int(0), Str(""), Expr("1"), Exprs({"\"arg\""})});
  Calc(main, "r = 1");
  rig.AddPage("main.qsb", main);
  TPageBuilder sub;
  sub.Add(cmdWait, 0, {Expr(""), Expr("100")});
  rig.AddPage("sub.qsb", sub);
  rig.vars.AddNamed(PT_INT, "r");
  saved.Seek(0, SeekOrigin::Begin);
  rig.engine.Load(saved, 144);
  EXPECT_EQ(saved.GetPosition(), saved.GetSize());
  EXPECT_EQ(rig.engine.Stack().Count(), 1);
  EXPECT_EQ(rig.engine.Argument(0), "arg");
  auto* wait = dynamic_cast<TComWait*>(rig.engine.CurrentPage()->Command(0));
  ASSERT_NE(wait, nullptr);
  EXPECT_EQ(wait->Remaining(), 70);
  rig.Ticks(6);
  EXPECT_EQ(rig.Int("r"), 0);
  rig.Tick();
  EXPECT_EQ(rig.Int("r"), 1);

  // Save and load again give the same bytes; a version-115 save reads no event level.
  TKoMemoryStream again;
  rig.engine.Save(again);
  TKoMemoryStream old(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end() - 4));
  rig.engine.Load(old, 115);
  EXPECT_EQ(rig.engine.EventLevel(), 2);
}

TEST(Engine, WaitStateRecordsWithoutTheTagStillLoad) {
  // A record written before the tag existed: two integers, no flag.
  testkit::Bytes b;
  b.i32(123).i32(0);
  TKoMemoryStream s(b.b);
  TPageBuilder page;
  page.Add(cmdWait, 0, {Expr(""), Expr("5")});
  TPage p;
  p.LoadFromImage("x.qsb", page.Image());
  auto* wait = static_cast<TComWait*>(p.Command(0));
  wait->LoadState(s);
  EXPECT_EQ(wait->Remaining(), 123);
  EXPECT_FALSE(wait->BlocksEvents());
  EXPECT_EQ(s.GetPosition(), 8);
}

TEST(Engine, PagesFromOldAndNewToolsAndDamagedPages) {
  {
    EngineRig rig;
    TPageBuilder old(102);
    rig.AddPage("old.qsb", old);
    rig.engine.Start("old.qsb");
    EXPECT_TRUE(rig.engine.Terminated());
    EXPECT_TRUE(rig.engine.AbnormalEnd());
    ASSERT_EQ(rig.host.warnings.size(), 1u);
    EXPECT_EQ(rig.host.warnings[0], std::string(kCaptionWarning) + "|old.qsb\r\n" + kMsgRebuildPage);
    EXPECT_EQ(rig.host.closeRequests, 1);
  }
  {
    EngineRig rig;
    TPageBuilder newer(118);
    rig.AddPage("new.qsb", newer);
    rig.engine.Start("new.qsb");
    rig.Tick();
    // A page from a newer tool ends the game with a report naming it.
    EXPECT_TRUE(rig.engine.Terminated());
    ASSERT_EQ(rig.host.failures.size(), 1u);
    EXPECT_NE(rig.host.failures[0].message.find("new.qsb: page version 118"), std::string::npos);
  }
  {
    EngineRig rig;
    TPageBuilder main;
    main.Add(cmdJump, 0, {Str("bad.qsb"), Int(0), Expr("1")});
    main.Image().commands.back().line = 77;
    rig.AddPage("main.qsb", main);
    TPageBuilder bad;
    Calc(bad, "x = 1");
    std::vector<uint8_t> bytes = bad.Bytes();
    bytes.resize(bytes.size() - 3);
    rig.host.pages["bad.qsb"] = bytes;
    rig.engine.Start("main.qsb");
    rig.Tick();
    EXPECT_TRUE(rig.engine.Terminated());
    ASSERT_EQ(rig.host.failures.size(), 1u);
    EXPECT_EQ(rig.host.failures[0].page, "main.qsb");
    EXPECT_EQ(rig.host.failures[0].line, 77);
    EXPECT_NE(rig.host.failures[0].message.find("bad.qsb"), std::string::npos);
  }
}

TEST(Engine, FailingCommandEndsTheGameWithAReport) {
  EngineRig rig;
  TPageBuilder main;
  NewInt(main, "r");
  main.Add(cmdVarNew, 0, {Str(""), Int(PT_INT), Expr("1"), Int(0)});
  Calc(main, "r = 1");
  rig.AddPage("main.qsb", main);
  rig.engine.Start("main.qsb");
  rig.Ticks(2);
  EXPECT_TRUE(rig.engine.Terminated());
  EXPECT_EQ(rig.Int("r"), 0);
  ASSERT_EQ(rig.host.failures.size(), 1u);
  EXPECT_EQ(rig.host.failures[0].line, 2);
  EXPECT_EQ(rig.host.failures[0].message, msg::kMsgNoName);
}

TEST(Engine, VarNewKeepsStatusVariablesAndReinitialisesOthers) {
  EngineRig rig;
  TPageBuilder main;
  main.Add(cmdVarNew, 0, {Str("st"), Int(PT_INT), Expr("5"), Int(3)});
  main.Add(cmdVarNew, 0, {Str("g"), Int(PT_STR), Expr("5"), Int(0)});
  main.Add(cmdVarNew, 0, {Str("st"), Int(PT_INT), Expr("6"), Int(3)});
  main.Add(cmdVarNew, 0, {Str("g"), Int(PT_STR), Expr("6 + 1"), Int(0)});
  main.Add(cmdVarDel, 0, {Str("nothing")});
  rig.AddPage("main.qsb", main);
  rig.engine.Start("main.qsb");
  rig.Tick();
  EXPECT_EQ(rig.Int("st"), 5);
  EXPECT_EQ(rig.Str("g"), "7");
}

TEST(Engine, LocalsDieWithTheirFrame) {
  EngineRig rig;
  TPageBuilder main;
  NewInt(main, "seen", "-1");
  main.Add(cmdCall, 0, {Str("sub.qsb"), Int(0), Str(""), Expr("1")});
  rig.AddPage("main.qsb", main);
  TPageBuilder sub;
  sub.Add(cmdVarNew, 0, {Str("loc"), Int(PT_INT), Expr("3"), Int(2)});
  Calc(sub, "seen = loc");
  rig.AddPage("sub.qsb", sub);
  rig.engine.Start("main.qsb");
  rig.Tick();
  EXPECT_EQ(rig.Int("seen"), 3);
  EXPECT_EQ(rig.vars.FindVar("loc"), nullptr);
}

TEST(Engine, RequestsResetAndTerminate) {
  EngineRig rig;
  TPageBuilder main;
  main.Add(cmdGameSave, 0, {Expr("3"), Str("after.qsb"), Int(4), Expr("\"cap\"")});
  main.Add(cmdGameLoad, 0, {Expr("")});
  main.Add(cmdReset, 0, {Str("two.qsb"), Int(0), Int(0)});
  rig.AddPage("main.qsb", main);
  TPageBuilder two;
  two.Add(cmdTerminate, 0);
  Calc(two, "x = 1");
  rig.AddPage("two.qsb", two);
  rig.vars.AddNamed(PT_INT, "gone");
  rig.engine.Start("main.qsb");
  rig.Tick();  // the save ends the tick
  rig.Tick();  // so does the load
  ASSERT_EQ(rig.host.requests.size(), 2u);
  EXPECT_EQ(rig.host.requests[0], "save 3 cap after.qsb 4");
  EXPECT_EQ(rig.host.requests[1], "load 0");
  rig.Tick();
  EXPECT_EQ(rig.host.resets, 1);
  EXPECT_EQ(rig.vars.FindVar("gone"), nullptr);
  EXPECT_TRUE(rig.engine.Terminated());
  EXPECT_FALSE(rig.engine.AbnormalEnd());
  EXPECT_EQ(rig.engine.Pc(), 0);  // Terminate stays on itself
  EXPECT_EQ(rig.vars.FindVar("x"), nullptr);
}

TEST(Engine, TraceLinesOncePerCommand) {
  EngineRig rig;
  std::vector<std::string> lines;
  rig.engine.SetTraceSink([&](std::string_view l) { lines.emplace_back(l); });
  TPageBuilder main;
  main.Add(cmdWait, 0, {Expr(""), Expr("40")});
  rig.AddPage("main.qsb", main);
  rig.host.clock = 0x1234 - 16;
  rig.engine.Start("main.qsb");
  rig.Ticks(4);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "00001234 : main.qsb(1)");
}

}  // namespace
}  // namespace qubo
