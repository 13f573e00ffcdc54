#include "storage/folderresolve.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "storage/cdroots.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

// "表" is 0x95 0x5C in code page 932 (its trail byte is a backslash) and E8 A1 A8 in UTF-8.
const std::string kHyo = "\x95\x5C";
const std::string kHyoUtf8 = "\xE8\xA1\xA8";

void Touch(const std::string& path, const std::string& text = "x") {
  fs::create_directories(fs::path(path).parent_path());
  testkit::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(FolderResolver, SplitsNamesAndRefusesThoseThatLeaveTheFolder) {
  struct Case {
    std::string name;
    bool ok;
    std::vector<std::string> parts;
  } cases[] = {
      {"a.txt", true, {"a.txt"}},
      {"bgm\\Title.ogg", true, {"bgm", "Title.ogg"}},
      {"a/b\\\\c", true, {"a", "b", "c"}},
      {".\\a", true, {"a"}},
      {kHyo + "\\" + kHyo + ".txt", true, {kHyo, kHyo + ".txt"}},  // the trail byte is no separator
      {"", false, {}},
      {"..\\secret", false, {}},
      {"a\\..\\..\\b", false, {}},
      {"\\etc\\passwd", false, {}},
      {"/etc/passwd", false, {}},
      {"\\\\server\\share", false, {}},
      {"C:\\Windows", false, {}},
      {"c:x", false, {}},
      {"a.txt:stream", false, {}},
      {std::string("a\0b", 3), false, {}},
      {"\\", false, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> parts;
    EXPECT_EQ(SplitGameName(c.name, parts), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(parts, c.parts) << c.name;
    }
  }
}

TEST(FolderResolver, MatchesCaseAndEitherEncodingOnDisk) {
  testkit::TempDir dir;
  const std::string root = dir.Path().string();
  Touch(dir / "BGM/Title.OGG");
  Touch(dir / (kHyoUtf8 + ".txt"), "utf8");   // a name converted to UTF-8
  Touch(dir / ("raw" + kHyo + ".txt"), "raw");  // a name kept as code-page-932 bytes
  auto& r = FolderResolver::Instance();

  EXPECT_EQ(r.Resolve(root, "bgm\\title.ogg"), dir / "BGM/Title.OGG");
  EXPECT_EQ(r.Resolve(root, "Bgm/TITLE.ogg"), dir / "BGM/Title.OGG");
  EXPECT_EQ(r.Resolve(root, kHyo + ".TXT"), dir / (kHyoUtf8 + ".txt"));
  EXPECT_EQ(r.Resolve(root, "RAW" + kHyo + ".txt"), dir / ("raw" + kHyo + ".txt"));
  EXPECT_FALSE(r.Resolve(root, "bgm"));          // a folder is not a file
  EXPECT_EQ(r.Resolve(root, "bgm", true), dir / "BGM");
  EXPECT_FALSE(r.Resolve(root, "missing.txt"));
  EXPECT_FALSE(r.Resolve("", "bgm\\title.ogg"));  // no folder set

  // Of two names that differ only in case, the exact spelling wins.
  Touch(dir / "bgm2/a.txt");
  Touch(dir / "bgm2/A.txt");
  EXPECT_EQ(r.Resolve(root, "bgm2\\A.txt"), dir / "bgm2/A.txt");
  EXPECT_EQ(r.Resolve(root, "bgm2\\a.txt"), dir / "bgm2/a.txt");
}

TEST(FolderResolver, NeverLeavesItsFolder) {
  testkit::TempDir dir;
  Touch(dir / "outside.txt");
  Touch(dir / "game/inside.txt");
  const std::string game = dir / "game";
  auto& r = FolderResolver::Instance();
  EXPECT_TRUE(r.Resolve(game, "inside.txt"));
  EXPECT_FALSE(r.Resolve(game, "..\\outside.txt"));
  EXPECT_FALSE(r.Resolve(game, (dir / "outside.txt")));
  EXPECT_FALSE(r.PathForWrite(game, "..\\outside.txt"));
  EXPECT_FALSE(r.PathForWrite(game, "/tmp/x"));
}

TEST(FolderResolver, SeesFilesMadeAfterTheFirstLookup) {
  testkit::TempDir dir;
  const std::string root = dir.Path().string();
  auto& r = FolderResolver::Instance();
  EXPECT_FALSE(r.Resolve(root, "Later.txt"));
  Touch(dir / "later.TXT");
  EXPECT_EQ(r.Resolve(root, "Later.txt"), dir / "later.TXT");
  fs::remove(dir / "later.TXT");
  EXPECT_FALSE(r.Resolve(root, "Later.txt"));
}

TEST(FolderResolver, ListsAndNamesFilesForWriting) {
  testkit::TempDir dir;
  const std::string root = dir.Path().string();
  Touch(dir / "Save/b.dat");
  Touch(dir / ("Save/" + kHyoUtf8 + ".dat"));
  fs::create_directories(dir / "Save/sub");
  auto& r = FolderResolver::Instance();
  EXPECT_EQ(r.ListFiles(root, "save"), (std::vector<std::string>{"b.dat", kHyo + ".dat"}));
  EXPECT_TRUE(r.ListFiles(root, "nothing").empty());

  // Existing parts keep their spelling on disk; new ones are written in UTF-8.
  EXPECT_EQ(r.PathForWrite(root, "SAVE\\B.DAT"), dir / "Save/b.dat");
  EXPECT_EQ(r.PathForWrite(root, "save\\new\\" + kHyo + ".dat"), dir / ("Save/new/" + kHyoUtf8 + ".dat"));
}

TEST(CdRoots, TakesMountedDiscFileSystemsOnly) {
  const std::string table =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "/dev/sr0 /media/cdrom0 iso9660 ro,nosuid 0 0\n"
      "/dev/sr1 /media/My\\040Disc udf ro 0 0\n"
      "proc /proc proc rw 0 0\n"
      "broken line\n";
  EXPECT_EQ(ParseCdRoots(table), (std::vector<std::string>{"/media/cdrom0/", "/media/My Disc/"}));
  EXPECT_TRUE(ParseCdRoots("").empty());
}

}  // namespace
}  // namespace qubo
