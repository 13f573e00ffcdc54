// Where the save file goes: the safe folder name of a title, the game id and the folders.

#include <gtest/gtest.h>

#include <filesystem>

#include "script/savepath.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

TEST(SavePath, SafeFolderNameTable) {
  struct Case {
    std::string titleCp932;
    std::string expected;  // UTF-8
  };
  const Case cases[] = {
      {"Plain Title", "Plain Title"},
      {"A:B?C", "A_B_C"},
      {"\\/:,;*?\"<>|", "___________"},
      {"", "_"},
      {".", "_"},
      {"..", "__"},
      {"...x", "...x"},
      {std::string("a\x01\tb\x7F", 5), "a__b_"},
      // Double-byte characters whose trail byte is '\\' or '|' are kept whole.
      {"\x95\x5C\x8E\xA6", "表示"},
      {"\x83\x7C\x83\x5C", "ポソ"},
      {"\x82\xA0:\x82\xA2", "あ_い"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.titleCp932);
    EXPECT_EQ(SafeFolderName(c.titleCp932), c.expected);
  }
}

TEST(SavePath, LongTitlesAreCutBetweenCharacters) {
  std::string title;
  for (int i = 0; i < 100; ++i) title += "\x82\xA0";  // あ, three bytes in UTF-8
  const std::string name = SafeFolderName(title);
  EXPECT_LE(name.size(), kMaxSafeNameBytes);
  EXPECT_EQ(name.size() % 3, 0u);
}

TEST(SavePath, GameIdSeparatesGamesOfOneTitle) {
  const std::string a = GameId("Game", {1, 2, 3});
  const std::string b = GameId("Game", {1, 2, 4});
  EXPECT_NE(a, b);
  EXPECT_EQ(a, GameId("Game", {1, 2, 3}));
  EXPECT_EQ(a.rfind("Game-", 0), 0u);
  EXPECT_EQ(a.size(), 5u + 8u);
}

TEST(SavePath, RootFollowsTheDataHome) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* root;
  };
  const Case cases[] = {
      {"/data", "/home/u", "/data/quboplayer"},
      {"/data/", "/home/u", "/data/quboplayer"},
      {"relative", "/home/u", "/home/u/.local/share/quboplayer"},
      {nullptr, "/home/u/", "/home/u/.local/share/quboplayer"},
      {nullptr, nullptr, ""},
      {nullptr, "rel", ""},
  };
  for (const Case& c : cases) {
    const SaveEnvLookup env = [&](const char* name) -> const char* {
      return std::string(name) == "XDG_DATA_HOME" ? c.xdg : std::string(name) == "HOME" ? c.home : nullptr;
    };
    EXPECT_EQ(SaveRoot(env), c.root);
  }
}

TEST(SavePath, ResolveMakesTheFolderAndTakesOverAnOldSave) {
  testkit::TempDir dir;
  fs::create_directories(dir.Path() / "game");
  testkit::WriteFileBytes(dir / "game/save.dat", {7, 7});
  const std::string data = dir / "data";
  const SaveEnvLookup env = [&](const char* name) -> const char* {
    return std::string(name) == "XDG_DATA_HOME" ? data.c_str() : nullptr;
  };
  SavePathRequest r;
  r.titleCp932 = "My:Game";
  r.projectBytes = {1};
  r.gameFolder = dir / "game";
  const std::string path = ResolveSavePath(r, env);
  EXPECT_EQ(path, (fs::path(data) / "quboplayer" / GameId("My:Game", {1}) / "save.dat").string());
  EXPECT_EQ(testkit::ReadFileBytes(path), (std::vector<uint8_t>{7, 7}));
  // The user's file is never replaced by the old one again.
  testkit::WriteFileBytes(path, {1});
  ResolveSavePath(r, env);
  EXPECT_EQ(testkit::ReadFileBytes(path), (std::vector<uint8_t>{1}));

  r.saveDirOverride = dir / "mine/deep";
  EXPECT_EQ(ResolveSavePath(r, env), dir / "mine/deep/save.dat");

  // A folder that cannot be made.
  testkit::WriteFileBytes(dir / "blocker", {0});
  r.saveDirOverride = dir / "blocker/sub";
  EXPECT_THROW(ResolveSavePath(r, env), QuboError);
  r.saveDirOverride.clear();
  EXPECT_THROW(ResolveSavePath(r, [](const char*) -> const char* { return nullptr; }), QuboError);
}

}  // namespace
}  // namespace qubo
