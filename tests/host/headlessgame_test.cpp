// A whole game run without a window: the project read from its folder, the start page run
// tick by tick, the exit page at the end; failures and missing pieces reported on the
// terminal.

#include <gtest/gtest.h>

#include "authoring/pagebuilder.h"
#include "authoring/projectwriter.h"
#include "host/headlessgame.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using authoring::Expr;
using authoring::Int;
using authoring::Str;
using authoring::TPageBuilder;

struct Game {
  testkit::TempDir dir;
  TProjectFile project;

  Game() {
    project.title = "t";
    project.startPage = "start.qsb";
  }
  void Page(const std::string& name, const TPageBuilder& b) { testkit::WriteFileBytes(dir / name, b.Bytes()); }
  std::string Run(int64_t ticks = 1000, int* code = nullptr) {
    testkit::WriteFileBytes(dir / "qubo.qpb", authoring::ProjectFileBytes(project));
    host::THeadlessOptions o;
    o.gameDir = dir.Path().string();
    o.maxTicks = ticks;
    o.printVars = true;
    testing::internal::CaptureStdout();
    const int rc = host::RunHeadless(o);
    if (code != nullptr) *code = rc;
    return testing::internal::GetCapturedStdout();
  }
};

TEST(HeadlessGame, RunsTheStartPageAndTheExitPage) {
  Game g;
  g.project.exitPage = "exit.qsb";
  TPageBuilder start;
  start.Add(cmdVarNew, 0, {Str("n"), Int(PT_INT), Expr("41"), Int(3)});
  start.Add(cmdWait, 0, {Expr(""), Expr("100")});
  start.Add(cmdCalc, 0, {Expr("n = n + 1")});
  g.Page("start.qsb", start);
  TPageBuilder exit;
  exit.Add(cmdCalc, 0, {Expr("n = n * 2")});
  g.Page("exit.qsb", exit);
  int code = -1;
  const std::string out = g.Run(1000, &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(out.find("n = 42\n"), std::string::npos) << out;
  EXPECT_NE(out.find("stopped after 8 ticks: the script ended"), std::string::npos) << out;
}

TEST(HeadlessGame, StopsAtTheTickLimitWhileTheScriptWaits) {
  Game g;
  TPageBuilder start;
  start.Add(cmdWait, 0);
  g.Page("start.qsb", start);
  EXPECT_NE(g.Run(5).find("stopped after 5 ticks: the tick limit was reached"), std::string::npos);
}

TEST(HeadlessGame, FailuresAndMissingPiecesAreReported) {
  {
    Game g;  // no start page
    int code = -1;
    const std::string out = g.Run(10, &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("スタートページがありません"), std::string::npos) << out;
  }
  {
    Game g;
    TPageBuilder start;
    start.Add(cmdVarDel, 0, {Str("x")});
    start.Add(cmdVarNew, 0, {Str(""), Int(PT_INT), Expr(""), Int(0)});
    g.Page("start.qsb", start);
    int code = -1;
    const std::string out = g.Run(10, &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("error: start.qsb(2): 変数名がありません"), std::string::npos) << out;
    EXPECT_NE(out.find("the game failed"), std::string::npos) << out;
  }
  {
    Game g;
    TPageBuilder start(102);
    g.Page("start.qsb", start);
    const std::string out = g.Run(10);
    EXPECT_NE(out.find("[警告] start.qsb\r\nリビルドしてください"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace qubo
