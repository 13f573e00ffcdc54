// Drives the qubo-tool binary built beside this test (skipped when it is not there).

#include <cstdlib>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "storage/archivewriter.h"
#include "storage/vrfiles.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

std::string ToolPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return std::string();
  const fs::path tool = self.parent_path() / "qubo-tool";
  return fs::exists(tool) ? tool.string() : std::string();
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Exit code of the tool run with args (output discarded).
int RunTool(const std::string& args) {
  const int status = std::system((Quote(ToolPath()) + " archive " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  testkit::WriteFileBytes(path.string(), std::vector<uint8_t>(text.begin(), text.end()));
}

std::string FileText(const fs::path& path) {
  const auto b = testkit::ReadFileBytes(path.string());
  return std::string(b.begin(), b.end());
}

class ArchiveTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ToolPath().empty()) GTEST_SKIP() << "qubo-tool is not built";
  }
  testkit::TempDir dir;
  fs::path P(const std::string& name) { return dir.Path() / name; }
};

TEST_F(ArchiveTool, PacksListsExtractsAndAppends) {
  WriteFile(P("src/a.txt"), "alpha");
  WriteFile(P("src/BGM/Title.ogg"), std::string(3000, 'o'));
  WriteFile(P("src/\xE8\xA1\xA8.txt"), "hyo");  // a UTF-8 name becomes code page 932 inside
  for (const char* options : {"", "--scramble", "--version 0", "--version 100"}) {
    SCOPED_TRACE(options);
    fs::remove_all(P("out"));
    ASSERT_EQ(RunTool("pack " + Quote(P("src")) + " " + Quote(P("game.dat")) + " " + options), 0);
    EXPECT_EQ(RunTool("list " + Quote(P("game.dat"))), 0);
    ASSERT_EQ(RunTool("extract " + Quote(P("game.dat")) + " " + Quote(P("out"))), 0);
    EXPECT_EQ(FileText(P("out/a.txt")), "alpha");
    EXPECT_EQ(FileText(P("out/BGM/Title.ogg")), std::string(3000, 'o'));
    EXPECT_EQ(FileText(P("out/\xE8\xA1\xA8.txt")), "hyo");
  }
  EXPECT_EQ(RunTool("pack " + Quote(P("src")) + " " + Quote(P("x.dat")) + " --scramble --version 100"), 2);

  // A program with the archive appended is an archive too, whatever its name.
  WriteFile(P("player"), std::string(5000, '\x7F'));
  ASSERT_EQ(RunTool("append " + Quote(P("player")) + " " + Quote(P("game.dat"))), 0);
  EXPECT_EQ(FileText(P("player")).substr(0, 5000), std::string(5000, '\x7F'));
  TVrFileCollection c;
  c.OpenFile(P("player").string());
  TKoMemoryStream s;
  c.ReadMember(s, "a.txt");
  EXPECT_EQ(std::string(s.Bytes().begin(), s.Bytes().end()), "alpha");
  EXPECT_EQ(RunTool("append " + Quote(P("player")) + " " + Quote(P("game.dat"))), 1);  // only once
  EXPECT_EQ(RunTool("append " + Quote(P("player")) + " " + Quote(P("src/a.txt"))), 1);  // not an archive
}

TEST_F(ArchiveTool, ExtractRefusesNamesThatLeaveTheFolder) {
  TVrFileCollection c;
  for (const char* name : {"good.txt", "..\\evil.txt", "sub\\..\\..\\evil2.txt", "/tmp/evil3.txt", "C:\\evil4.txt"}) {
    c.AddMemoryMember(name)->data->Write("x", 1);
  }
  TKoMemoryStream out;
  ASSERT_TRUE(WriteArchive(c, out, {}));
  out.SaveToFile(P("bad.dat").string());
  fs::create_directories(P("out"));
  EXPECT_EQ(RunTool("extract " + Quote(P("bad.dat")) + " " + Quote(P("out"))), 1);
  EXPECT_EQ(FileText(P("out/good.txt")), "x");
  EXPECT_FALSE(fs::exists(P("evil.txt")));
  EXPECT_FALSE(fs::exists(P("evil2.txt")));
  EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "evil2.txt"));
  EXPECT_EQ(std::distance(fs::directory_iterator(P("out")), fs::directory_iterator()), 1);

  // Nor does it write through a symbolic link planted in the target.
  TVrFileCollection d;
  d.AddMemoryMember("link\\x.txt")->data->Write("x", 1);
  TKoMemoryStream out2;
  ASSERT_TRUE(WriteArchive(d, out2, {}));
  out2.SaveToFile(P("link.dat").string());
  fs::create_directories(P("elsewhere"));
  fs::create_directory_symlink(P("elsewhere"), P("out/link"));
  EXPECT_EQ(RunTool("extract " + Quote(P("link.dat")) + " " + Quote(P("out"))), 1);
  EXPECT_FALSE(fs::exists(P("elsewhere/x.txt")));
}

}  // namespace
}  // namespace qubo
