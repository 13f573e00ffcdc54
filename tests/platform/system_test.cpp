// The real shell's pieces that can run in a test: user folders, command lines built without a
// shell, the one-instance lock, the language test and the system clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/spawn.h"
#include "platform/system.h"
#include "platform/userdirs.h"
#include "support/encoding.h"
#include "testkit/testkit.h"

namespace qubo::platform {
namespace {

namespace fs = std::filesystem;

// A fake environment.
struct Env {
  std::map<std::string, std::string> vars;
  EnvLookup Lookup() const {
    return [this](const char* name) -> const char* {
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
};

void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  testkit::WriteFileBytes(p.string(), std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(UserFolders, ReadFromUserDirsFileWithHomeExpanded) {
  testkit::TempDir t;
  const std::string home = t / "home";
  Env env{{{"HOME", home}, {"XDG_CONFIG_HOME", t / "config"}}};
  WriteText(t.Path() / "config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\n"
            "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n"
            "XDG_DOCUMENTS_DIR=\"/data/My \\\"Docs\\\"/\"\n");
  EXPECT_EQ(ResolveUserFolder(UserFolder::Desktop, env.Lookup()), home + "/デスクトップ");
  EXPECT_EQ(ResolveUserFolder(UserFolder::Documents, env.Lookup()), "/data/My \"Docs\"");
}

TEST(UserFolders, DefaultConfigFolderIsUnderHome) {
  testkit::TempDir t;
  const std::string home = t / "home";
  Env env{{{"HOME", home}}};
  WriteText(fs::path(home) / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  EXPECT_EQ(ResolveUserFolder(UserFolder::Desktop, env.Lookup()), home + "/Schreibtisch");
}

TEST(UserFolders, FallBackToEnvironmentThenHomeSubfolderThenHome) {
  testkit::TempDir t;
  const std::string home = t / "home";
  fs::create_directories(home);
  Env env{{{"HOME", home + "/"}, {"XDG_CONFIG_HOME", t / "none"}}};
  EXPECT_EQ(ResolveUserFolder(UserFolder::Desktop, env.Lookup()), home) << "no Desktop folder: home itself";
  fs::create_directories(home + "/Desktop");
  EXPECT_EQ(ResolveUserFolder(UserFolder::Desktop, env.Lookup()), home + "/Desktop");
  env.vars["XDG_DESKTOP_DIR"] = "/elsewhere/desk/";
  EXPECT_EQ(ResolveUserFolder(UserFolder::Desktop, env.Lookup()), "/elsewhere/desk");
  env.vars["XDG_DESKTOP_DIR"] = "relative/desk";
  EXPECT_EQ(ResolveUserFolder(UserFolder::Desktop, env.Lookup()), home + "/Desktop") << "relative values are ignored";
}

TEST(UserFolders, ParserAcceptsOnlyHomeOrAbsoluteValues) {
  struct Case {
    const char* text;
    const char* expect;
  };
  const Case cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Desk\"\n", "/h/Desk"},
      {"  XDG_DESKTOP_DIR=\"$HOME\"\n", "/h"},
      {"XDG_DESKTOP_DIR=\"$HOMEWORK/x\"\n", ""},
      {"XDG_DESKTOP_DIR=\"Desk\"\n", ""},
      {"XDG_DESKTOP_DIR=\"/abs/Desk\n", ""},  // unterminated
      {"#XDG_DESKTOP_DIR=\"/abs\"\n", ""},
      {"XDG_DESKTOP_DIRX=\"/abs\"\n", ""},
      {"XDG_DESKTOP_DIR=/abs\n", ""},
      {"XDG_DESKTOP_DIR=\"/first\"\nXDG_DESKTOP_DIR=\"/second\"\n", "/second"},
      {"XDG_DESKTOP_DIR=\"/first\"\nXDG_DESKTOP_DIR=\"bad\"\n", "/first"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseUserDirsValue(c.text, "XDG_DESKTOP_DIR", "/h"), c.expect) << c.text;
  }
}

TEST(Opener, TargetIsOneArgumentAndCannotBecomeAnOption) {
  EXPECT_TRUE(OpenerArgv("").empty());
  const std::string hostile = "http://x.test/a b\"c';rm -rf ~ $(id) `id` | cat";
  EXPECT_EQ(OpenerArgv(hostile), (std::vector<std::string>{"xdg-open", hostile}));
  EXPECT_EQ(OpenerArgv("--help"), (std::vector<std::string>{"xdg-open", "./--help"}));
  EXPECT_EQ(OpenerArgv("/home/a b/c"), (std::vector<std::string>{"xdg-open", "/home/a b/c"}));
}

TEST(Spawn, ArgumentsReachTheProgramUnchanged) {
  const std::string printf = FindProgram("printf");
  if (printf.empty()) GTEST_SKIP() << "no printf program";
  const std::vector<std::string> args{"a b", "\"q\" 'r'", ";echo x", "$(id)", "", "\\n"};
  std::vector<std::string> argv{printf, "[%s]"};
  argv.insert(argv.end(), args.begin(), args.end());
  int pumps = 0;
  const RunResult r = RunAndCapture(argv, [&] { ++pumps; });
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "[a b][\"q\" 'r'][;echo x][$(id)][][\\n]");
  (void)pumps;
}

TEST(Spawn, ExitCodesAndMissingProgramsAreReported) {
  const std::string sh = FindProgram("false");
  if (!sh.empty()) {
    const RunResult r = RunAndCapture({sh});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 1);
  }
  EXPECT_FALSE(RunAndCapture({"/nonexistent/program"}).started);
  EXPECT_FALSE(RunAndCapture({}).started);
  EXPECT_FALSE(SpawnDetached({"/nonexistent/program"}));
  const std::string t = FindProgram("true");
  if (!t.empty()) {
    EXPECT_TRUE(SpawnDetached({t}));
  }
}

TEST(Spawn, FindProgramSearchesTheListInOrder) {
  testkit::TempDir t;
  fs::create_directories(t.Path() / "a");
  fs::create_directories(t.Path() / "b");
  WriteText(t.Path() / "a/tool", "#!/bin/sh\n");  // not executable
  WriteText(t.Path() / "b/tool", "#!/bin/sh\n");
  fs::permissions(t.Path() / "b/tool", fs::perms::owner_all);
  const std::string list = (t / "a") + ":" + (t / "b");
  EXPECT_EQ(FindProgram("tool", list), t / "b/tool");
  EXPECT_EQ(FindProgram("other", list), "");
  EXPECT_EQ(FindProgram("", list), "");
  EXPECT_EQ(FindProgram(t / "b/tool", ""), t / "b/tool");
}

TEST(Zenity, CommandLinesForEachDialog) {
  FileDialogRequest r;
  r.kind = FileDialogKind::Open;
  r.title = *Utf8ToCp932("開く");
  r.filter = *Utf8ToCp932("画像|*.png;*.bmp|すべて|*.*");
  r.initialFolder = "/home/p/Desk top";
  EXPECT_EQ(ZenityArgv(r),
            (std::vector<std::string>{"zenity", "--file-selection", "--title=開く", "--filename=/home/p/Desk top/",
                                      "--file-filter=画像 | *.png *.bmp", "--file-filter=すべて | *.*"}));
  r.kind = FileDialogKind::Save;
  r.title.clear();
  r.filter.clear();
  r.initialName = "save 1.txt";
  EXPECT_EQ(ZenityArgv(r), (std::vector<std::string>{"zenity", "--file-selection", "--save", "--confirm-overwrite",
                                                     "--filename=/home/p/Desk top/save 1.txt"}));
  r.kind = FileDialogKind::Folder;
  r.filter = "All|*.*";
  r.initialFolder.clear();
  EXPECT_EQ(ZenityArgv(r), (std::vector<std::string>{"zenity", "--file-selection", "--directory"}))
      << "a folder dialog has no filters and takes no proposed name";
}

TEST(Language, JapaneseWhenTheMessagesLocaleSaysSo) {
  struct Case {
    std::map<std::string, std::string> vars;
    bool japanese;
  };
  const Case cases[] = {
      {{}, false},
      {{{"LANG", "ja_JP.UTF-8"}}, true},
      {{{"LANG", "ja"}}, true},
      {{{"LANG", "jam_JM"}}, false},
      {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.eucJP"}}, true},
      {{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "C"}}, false},
      {{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", ""}}, true},
  };
  for (const auto& c : cases) {
    Env env{c.vars};
    EXPECT_EQ(IsJapaneseLocale(env.Lookup()), c.japanese) << (c.vars.count("LANG") ? c.vars.at("LANG") : "-");
  }
}

TEST(InstanceLock, OneHolderPerNameUntilReleased) {
  testkit::TempDir t;
  const std::string name = "C:-GAMES-MY GAME/..-";
  EXPECT_EQ(fs::path(InstanceLockPath(t.Path().string(), name)).parent_path(), t.Path());
  EXPECT_NE(InstanceLockPath("/r", "A"), InstanceLockPath("/r", "B"));
  auto first = AcquireInstanceLock(t.Path().string(), name);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(AcquireInstanceLock(t.Path().string(), name), nullptr);
  EXPECT_NE(AcquireInstanceLock(t.Path().string(), "another game"), nullptr);
  first.reset();
  EXPECT_NE(AcquireInstanceLock(t.Path().string(), name), nullptr);
  EXPECT_EQ(AcquireInstanceLock(t / "missing", name), nullptr);
}

TEST(Wallpaper, PathBecomesAnEscapedFileUri) {
  const auto cmds = WallpaperCommands("/usr/bin/gsettings", "/home/p/壁 紙%.bmp", 1);
  ASSERT_EQ(cmds.size(), 3u);
  const std::string uri = "file:///home/p/%E5%A3%81%20%E7%B4%99%25.bmp";
  EXPECT_EQ(cmds[0], (std::vector<std::string>{"/usr/bin/gsettings", "set", "org.gnome.desktop.background",
                                               "picture-uri", uri}));
  EXPECT_EQ(cmds[2].back(), "wallpaper");
  EXPECT_EQ(WallpaperCommands("g", "/a", 0)[2].back(), "centered");
  EXPECT_EQ(WallpaperCommands("g", "/a", 7)[2].back(), "stretched");
}

TEST(SystemClock, MovesForwardAndGivesAPlausibleDate) {
  auto clock = MakeSystemClock();
  const uint64_t a = clock->Milliseconds();
  clock->Sleep(2);
  EXPECT_GE(clock->Milliseconds(), a + 2);
  const LocalDateTime now = clock->Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.weekday, 0);
  EXPECT_LE(now.weekday, 6);
  EXPECT_LT(clock->RandomSeed(), 86400000u);
}

}  // namespace
}  // namespace qubo::platform
