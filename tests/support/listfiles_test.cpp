#include "support/listfiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/testkit.h"

namespace fs = std::filesystem;

namespace qubo {
namespace {

// root/
//   a.QFT  b.txt  .hidden.qft  ro.qft (read-only)
//   sub/   c.qft  deeper/ d.qft
//   loop -> . (symbolic link to its own folder)
class ListFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : {"a.QFT", "b.txt", ".hidden.qft", "ro.qft", "sub/c.qft", "sub/deeper/d.qft"}) {
      fs::create_directories(fs::path(dir_ / f).parent_path());
      testkit::WriteFileBytes(dir_ / f, {1});
    }
    fs::permissions(dir_ / "ro.qft", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory_symlink(".", dir_.Path() / "loop");
    root_ = dir_.Path().string();
  }
  std::vector<std::string> List(const ListFilesOptions& o) {
    std::vector<std::string> out;
    ListFiles(root_, o, out);
    for (auto& p : out) p = p.substr(root_.size());
    return out;
  }
  testkit::TempDir dir_;
  std::string root_;
};

using Names = std::vector<std::string>;

TEST_F(ListFilesTest, AttributesAndPlainFiles) {
  ListFilesOptions o;
  o.takePlainFiles = true;
  EXPECT_EQ(List(o), (Names{"/a.QFT", "/b.txt"}));
  o = {};
  o.attributes = kFaArchive;  // every regular file
  EXPECT_EQ(List(o), (Names{"/.hidden.qft", "/a.QFT", "/b.txt", "/ro.qft"}));
  o = {};
  o.attributes = kFaReadOnly | kFaHidden;
  EXPECT_EQ(List(o), (Names{"/.hidden.qft", "/ro.qft"}));
  o = {};
  o.attributes = kFaDirectory;
  EXPECT_EQ(List(o), (Names{"/loop", "/sub"}));
  o.markFolders = true;
  EXPECT_EQ(List(o), (Names{"/loop/", "/sub/"}));
}

TEST_F(ListFilesTest, ExtensionFilterIgnoresCaseAndSparesFolders) {
  ListFilesOptions o;
  o.attributes = kFaArchive | kFaDirectory;
  o.extension = ".qft";
  EXPECT_EQ(List(o), (Names{"/.hidden.qft", "/a.QFT", "/loop", "/ro.qft", "/sub"}));
}

TEST_F(ListFilesTest, RecursionMarksFoldersAndDoesNotFollowLinks) {
  ListFilesOptions o;
  o.attributes = kFaDirectory;
  o.takePlainFiles = true;
  o.extension = ".QFT";
  o.recurse = true;
  EXPECT_EQ(List(o), (Names{"/a.QFT", "/loop", "/sub", "/sub/c.qft", "/sub/deeper/", "/sub/deeper/d.qft"}));
}

TEST_F(ListFilesTest, ClearAttributesAndListHandling) {
  ListFilesOptions o;
  o.takePlainFiles = true;
  o.clearAttributes = true;
  std::vector<std::string> out = {"kept"};
  ListFiles(root_ + "/", o, out);  // a trailing '/' is not doubled
  EXPECT_EQ(out, (Names{"kept", root_ + "/.hidden.qft", root_ + "/a.QFT", root_ + "/b.txt", root_ + "/ro.qft"}));
  EXPECT_NE(fs::status(dir_ / "ro.qft").permissions() & fs::perms::owner_write, fs::perms::none);
  o.clearListFirst = true;
  ListFiles(root_ + "/missing", o, out);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace qubo
