#include "storage/vrfiles.h"

#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "storage/archivewriter.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

// "表" is 0x95 0x5C in code page 932: its trail byte is a backslash.
const std::string kHyo = "\x95\x5C";
const std::string kHyoUtf8 = "\xE8\xA1\xA8";

using Members = std::vector<std::pair<std::string, std::string>>;

std::vector<uint8_t> ArchiveBytes(const Members& members, bool scramble = false, int32_t version = kArchiveVersion) {
  TVrFileCollection c;
  for (const auto& [name, content] : members) c.AddMemoryMember(name)->data->Write(content.data(), static_cast<int64_t>(content.size()));
  TKoMemoryStream out;
  ArchiveWriteOptions options;
  options.version = version;
  options.scrambleAll = scramble;
  options.seed = [] { return 4242; };
  EXPECT_TRUE(WriteArchive(c, out, options));
  return out.Bytes();
}

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  testkit::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string FileText(const std::string& path) {
  const auto b = testkit::ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

std::string Text(const TKoMemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

std::string ReadText(TVrFileManager& m, std::string_view name) {
  TKoMemoryStream s;
  m.Read(s, name);
  EXPECT_EQ(s.GetPosition(), 0);
  return Text(s);
}

std::string RangeText(TVrFileManager& m, std::string_view name) {
  auto r = m.OpenRange(name);
  std::string out(static_cast<size_t>(r->GetSize()), '\0');
  EXPECT_EQ(r->Read(out.data(), r->GetSize()), r->GetSize());
  return out;
}

std::string Utf8Error(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return Cp932ToUtf8(e.what());
  }
  return "(no error)";
}

class VrFiles : public ::testing::Test {
 protected:
  testkit::TempDir dir;
  TVrFileManager manager{{}, dir.Path().string()};
  std::string Path(const std::string& name) { return dir / name; }
  void Archive(const std::string& name, const Members& members, bool scramble = false) {
    testkit::WriteFileBytes(Path(name), ArchiveBytes(members, scramble));
  }
};

TEST_F(VrFiles, BaseFolderComesFirstThenArchivesInOrder) {
  WriteFile(Path("base/Both.txt"), "from the folder");
  Archive("one.dat", {{"both.txt", "first archive"}, {"Two.txt", "first archive"}});
  Archive("two.dat", {{"two.txt", "second archive"}, {"only2.txt", "second"}});
  manager.SetBaseFolder(Path("base"));
  manager.AddArchiveFile(Path("one.dat"));
  manager.AddArchiveFile(Path("two.dat"));
  EXPECT_EQ(ReadText(manager, "BOTH.TXT"), "from the folder");
  EXPECT_EQ(RangeText(manager, "both.txt"), "from the folder");
  EXPECT_EQ(ReadText(manager, "two.txt"), "first archive");
  EXPECT_EQ(ReadText(manager, "Only2.Txt"), "second");
  EXPECT_TRUE(manager.Exists("ONLY2.txt"));
  EXPECT_FALSE(manager.Exists(""));
  EXPECT_FALSE(manager.Exists("none.txt"));
  EXPECT_EQ(Utf8Error([&] { ReadText(manager, "none.txt"); }), "none.txt:ファイルがありません");
  EXPECT_EQ(Utf8Error([&] { manager.OpenRange("none.txt"); }), "none.txt:ファイルがありません");
  TVrFileCollection* owner = nullptr;
  ASSERT_TRUE(manager.FindMember("two.txt", &owner));
  EXPECT_EQ(owner, manager.Collection(0));
}

TEST_F(VrFiles, EveryStorageTypeReadsWholeAsRangeAndAsRealFile) {
  std::string small = "small and compressible, small and compressible";
  std::string big(5242880, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 13);
  const Members members = {{"small.txt", small}, {"big.bin", big}};
  Archive("plain.dat", members, false);
  Archive("mixed.dat", members, true);
  for (const char* file : {"plain.dat", "mixed.dat"}) {
    TVrFileManager m({}, dir.Path().string());
    m.AddArchiveFile(Path(file));
    const TVrFileCollection& c = *m.Collection(0);
    const bool scrambled = std::string(file) == "mixed.dat";
    EXPECT_EQ(c.FindFile("small.txt")->type, scrambled ? kStoreCompressedScrambled : kStoreCompressed);
    EXPECT_EQ(c.FindFile("big.bin")->type, scrambled ? kStoreScrambled : kStorePlain);
    for (const auto& [name, content] : members) {
      SCOPED_TRACE(std::string(file) + " " + name);
      EXPECT_EQ(ReadText(m, name), content);
      EXPECT_EQ(RangeText(m, name), content);
      const std::string real = m.RealPath(name);
      EXPECT_EQ(FileText(real), content);
    }
  }
}

TEST_F(VrFiles, NamesIgnoreCaseAndKeepTrailBytes) {
  const std::string member = "Dir\\" + kHyo + ".txt";
  Archive("a.dat", {{member, "hyo"}, {kHyo + "\\in.txt", "in a 5C folder"}, {"dir\\sub\\deep.txt", "deep"}});
  manager.AddArchiveFile(Path("a.dat"));
  EXPECT_EQ(ReadText(manager, "DIR\\" + kHyo + ".TXT"), "hyo");
  std::vector<std::string> list;
  manager.ListFolder("dir\\", list);
  EXPECT_EQ(list, std::vector<std::string>{member});
  // A folder name ending in the trail byte 0x5C is not a folder with a trailing backslash.
  list.clear();
  manager.ListFolder(kHyo, list);
  EXPECT_EQ(list, std::vector<std::string>{kHyo + "\\in.txt"});
  // The real copy of a member keeps a sane extension.
  EXPECT_EQ(fs::path(manager.RealPath(member)).extension(), ".txt");
}

TEST_F(VrFiles, ListFolderJoinsArchivesAndFoldersWithoutRepeats) {
  WriteFile(Path("base/Voice/a.wav"), "folder");
  WriteFile(Path("base/Voice/c.wav"), "folder");
  WriteFile(Path("base/Voice/" + kHyoUtf8 + ".wav"), "folder");
  Archive("a.dat", {{"voice\\A.WAV", "archive"}, {"voice\\b.wav", "archive"}, {"other\\x.wav", "no"}});
  manager.SetBaseFolder(Path("base"));
  manager.AddArchiveFile(Path("a.dat"));
  std::vector<std::string> list;
  manager.ListFolder("VOICE", list);
  EXPECT_EQ(list, (std::vector<std::string>{"voice\\A.WAV", "voice\\b.wav", "VOICE\\c.wav", "VOICE\\" + kHyo + ".wav"}));
}

TEST_F(VrFiles, ZeroSizeMemberIsEmptyEverywhere) {
  Archive("a.dat", {{"empty.txt", ""}, {"after.txt", "after"}});
  manager.AddArchiveFile(Path("a.dat"));
  EXPECT_TRUE(manager.Exists("empty.txt"));
  EXPECT_EQ(ReadText(manager, "empty.txt"), "");
  // A window of size 0 must not reach to the end of the archive.
  EXPECT_EQ(manager.OpenRange("empty.txt")->GetSize(), 0);
  EXPECT_EQ(FileText(manager.RealPath("empty.txt")), "");
  EXPECT_EQ(ReadText(manager, "after.txt"), "after");
}

TEST_F(VrFiles, RealPathSharesOneCopyUntilReleased) {
  Archive("a.dat", {{"movie\\op.mpg", "frames"}, {"b.ogg", "sound"}});
  manager.AddArchiveFile(Path("a.dat"));
  DeleteTemporaryFiles();
  const std::string first = manager.RealPath("movie\\op.mpg");
  const std::string second = manager.RealPath("MOVIE\\OP.MPG");
  EXPECT_EQ(first, second);
  EXPECT_EQ(manager.LockCount(), 1);
  EXPECT_EQ(fs::path(first).filename(), "~qb00000000.mpg");
  EXPECT_EQ(fs::path(first).parent_path().string() + "/", manager.TempFolder());
  // The private folder is this process's own.
  struct stat st;
  ASSERT_EQ(::stat(manager.TempFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(fs::path(manager.RealPath("b.ogg")).filename(), "~qb00000001.ogg");

  manager.ReleasePath("movie\\op.mpg");
  EXPECT_EQ(PendingTemporaryFiles(), 0u);
  manager.ReleasePath("movie\\op.mpg");
  EXPECT_EQ(PendingTemporaryFiles(), 1u);
  DeleteTemporaryFiles();
  EXPECT_FALSE(fs::exists(first));
  // The freed id is taken again.
  EXPECT_EQ(fs::path(manager.RealPath("movie\\op.mpg")).filename(), "~qb00000000.mpg");
}

TEST_F(VrFiles, RealPathOfFilesAndUnknownNames) {
  WriteFile(Path("base/Real.txt"), "r");
  manager.SetBaseFolder(Path("base"));
  EXPECT_EQ(manager.RealPath("real.TXT"), Path("base/Real.txt"));
  EXPECT_EQ(manager.RealPath("nothing\\x.txt"), "nothing\\x.txt");
  EXPECT_EQ(manager.RealPath("..\\x.txt"), "");
  EXPECT_EQ(manager.LockCount(), 0);
}

TEST_F(VrFiles, FreeingTheManagerDeletesItsCopies) {
  Archive("a.dat", {{"x.wav", "data"}});
  std::string copy, folder;
  {
    TVrFileManager m({}, dir.Path().string());
    m.AddArchiveFile(Path("a.dat"));
    copy = m.RealPath("x.wav");
    folder = m.TempFolder();
    EXPECT_TRUE(fs::exists(copy));
  }
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_FALSE(fs::exists(folder));
}

TEST(VrFileCollection, NameIndexFollowsAddsDeletesAndRenames) {
  TVrFileCollection c;
  TVrFile* older = c.AddMemoryMember("cg\\ev001.brx");
  c.AddMemoryMember("cg\\ev002.brx");
  // A duplicate name added through the base collection: the newer one is found.
  auto* newer = static_cast<TVrFile*>(c.AddNamed("CG\\EV001.BRX"));
  EXPECT_EQ(c.FindFile("cg\\ev001.brx"), newer);
  c.DeleteMember("cg\\ev001.brx");
  EXPECT_EQ(c.FindFile("cg\\EV001.brx"), older);
  older->SetName("renamed");
  EXPECT_EQ(c.FindFile("cg\\ev001.brx"), nullptr);
  EXPECT_EQ(c.FindFile("RENAMED"), older);
  c.Delete(0);
  EXPECT_EQ(c.FindFile("renamed"), nullptr);
  EXPECT_EQ(c.FindFile("cg\\ev002.brx")->CachedIndex(), 0);
}

TEST(VrTemporaryExtension, ComesFromTheLastComponentOnly) {
  struct Case {
    std::string name, ext;
  } cases[] = {
      {"a\\b.mpg", ".mpg"},     {"x.Ogg", ".Ogg"},         {kHyo + ".wav", ".wav"},
      {"dir.mpg\\noext", ""},   {"a.b c", ""},             {"a.verylongx", ""},
      {"a.mp3/../../x", ""},    {"a.", ""},                {"a.m-p", ""},
      {"a.b\\..\\c.mid", ".mid"},
  };
  for (const auto& c : cases) EXPECT_EQ(TemporaryExtension(c.name), c.ext) << c.name;
}

TEST_F(VrFiles, ProgramsCarryTheirArchiveBehindTheTrailer) {
  const std::vector<uint8_t> archive = ArchiveBytes({{"in.txt", "inside"}});
  auto program = [&](const std::string& name, bool trailer) {
    TKoMemoryStream bytes(std::vector<uint8_t>(3000, 0x7F));
    const int64_t offset = bytes.GetSize();
    bytes.Seek(0, SeekOrigin::End);
    bytes.WriteBuffer(archive.data(), static_cast<int64_t>(archive.size()));
    if (trailer) WriteExecutableTrailer(bytes, offset);
    bytes.SaveToFile(Path(name));
  };
  program("quboplayer", true);  // no extension on this platform
  program("GAME.EXE", true);    // upper-case extension
  program("broken.exe", false);
  for (const char* name : {"quboplayer", "GAME.EXE"}) {
    TVrFileManager m({}, dir.Path().string());
    m.AddArchiveFile(Path(name));
    EXPECT_EQ(ReadText(m, "in.txt"), "inside") << name;
  }
  EXPECT_THROW(manager.AddArchiveFile(Path("broken.exe")), FormatError);

  // A version-0 archive whose last bytes happen to look like a trailer is still read from 0.
  std::vector<uint8_t> old = ArchiveBytes({{"old.txt", "abc"}}, false, 0);
  old.insert(old.end(), {0x10, 0, 0, 0, 'q', 'b'});
  testkit::WriteFileBytes(Path("old.dat"), old);
  TVrFileManager m({}, dir.Path().string());
  m.AddArchiveFile(Path("old.dat"));
  EXPECT_TRUE(m.Exists("old.txt"));
}

TEST_F(VrFiles, SeparateIndexFileTakesPrecedence) {
  const std::vector<uint8_t> archive = ArchiveBytes({{"a.txt", "alpha"}, {"b.txt", "beta"}});
  TKoMemoryStream s(archive);
  const ArchiveIndex idx = ReadArchiveIndex(s, 0, s.GetSize());
  const int64_t indexSize = ArchiveIndexSize(idx.version, idx.entries);
  // The index lives in game.ext; game.dat holds only data (its first bytes are not an index).
  std::vector<uint8_t> data = archive;
  std::fill(data.begin(), data.begin() + indexSize, 0xEE);
  testkit::WriteFileBytes(Path("game.dat"), data);
  testkit::WriteFileBytes(Path("GAME.EXT"), std::vector<uint8_t>(archive.begin(), archive.begin() + indexSize));
  manager.AddArchiveFile(Path("game.dat"));
  EXPECT_EQ(ReadText(manager, "b.txt"), "beta");
}

TEST_F(VrFiles, MissingAndDamagedArchives) {
  TVrFileCollection c;
  c.OpenFile(Path("save/save.dat"), true);  // not written yet
  EXPECT_EQ(c.FileCount(), 0);
  EXPECT_EQ(c.Folder(), Path("save") + "/");
  EXPECT_EQ(c.Archive(), nullptr);
  c.OpenFile(Path("somefolder"), false);  // no file: the name is the folder
  EXPECT_EQ(c.Folder(), Path("somefolder") + "/");

  std::vector<uint8_t> bytes = ArchiveBytes({{"a.txt", "alpha"}});
  bytes.resize(bytes.size() - 2);
  testkit::WriteFileBytes(Path("cut.dat"), bytes);
  EXPECT_THROW(manager.AddArchiveFile(Path("cut.dat")), FormatError);
  EXPECT_EQ(manager.Count(), 0);
  testkit::WriteFileBytes(Path("empty.dat"), {});
  manager.AddArchiveFile(Path("empty.dat"));
  EXPECT_EQ(manager.Collection(0)->FileCount(), 0);
}

TEST_F(VrFiles, ListenersHearAddsAndRemovals) {
  Archive("a.dat", {{"a.txt", "a"}});
  std::vector<std::string> heard;
  manager.onAdded = [&](TVrFileCollection* c) { heard.push_back(c ? "add" : "base"); };
  manager.onRemoving = [&](TVrFileCollection* c) { heard.push_back(c->FindFile("a.txt") ? "remove" : "?"); };
  manager.SetBaseFolder("");
  EXPECT_EQ(manager.BaseFolder(), "");
  manager.AddArchiveFile(Path("a.dat"));
  manager.AddArchiveFile(Path("a.dat"));
  manager.RemoveArchive(0);
  manager.RemoveArchive(5);  // nothing there
  manager.Clear();
  EXPECT_EQ(heard, (std::vector<std::string>{"base", "add", "add", "remove", "remove"}));
}

class FakeResources : public ResourceSource {
 public:
  std::vector<uint8_t> bytes;
  bool Load(const std::string& name, const std::string& type, std::vector<uint8_t>& out) override {
    if (name != "GAMEDATA" || type != "RCDATA") return false;
    out = bytes;
    return true;
  }
};

TEST_F(VrFiles, ResourceArchives) {
  FakeResources resources;
  resources.bytes = ArchiveBytes({{"r.txt", "resource"}, {"s.bin", std::string(300, 's')}}, true);
  SetResourceSource(&resources);
  manager.AddResourceArchive(Path("prog"), "GAMEDATA", "RCDATA");
  EXPECT_EQ(ReadText(manager, "r.txt"), "resource");
  EXPECT_EQ(RangeText(manager, "s.bin"), std::string(300, 's'));
  EXPECT_EQ(Utf8Error([&] { manager.AddResourceArchive(Path("prog"), "OTHER", "RCDATA"); }), "リソースが見つかりません");
  resources.bytes.clear();
  EXPECT_EQ(Utf8Error([&] { manager.AddResourceArchive(Path("prog"), "GAMEDATA", "RCDATA"); }), "リソースが見つかりません");
  SetResourceSource(nullptr);
}

class FakePrompt : public DiskPrompt {
 public:
  std::vector<bool> answers;  // consumed in order
  std::vector<std::string> shown;
  bool quit = false;
  std::function<void()> beforeAnswer;
  bool Ask(const std::string& caption, const std::string& message) override {
    shown.push_back(caption + "|" + message);
    if (beforeAnswer) beforeAnswer();
    if (answers.empty()) throw std::runtime_error("asked too often");
    const bool a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void Quit() override { quit = true; }
  std::optional<DiscIdentity> ReadInstall(const std::string& hostPath) override {
    const std::string text = FileText(hostPath);
    return DiscIdentity{text.substr(1), text[0] - '0'};
  }
};

TEST_F(VrFiles, AskForDiskWaitsForTheRightDisc) {
  const std::string cd = Path("cdrom");
  TVrFileManager m({cd}, dir.Path().string());
  fs::create_directories(cd);
  testkit::WriteFileBytes(cd + "/GAME.DAT", ArchiveBytes({{"disc2.txt", "two"}}));
  WriteFile(cd + "/Install.dat", "0Title");  // the first disc is in the drive
  m.AddArchiveFile(cd + "/GAME.DAT");         // an archive of the old disc goes away

  FakePrompt prompt;
  prompt.answers = {true, true};
  int asked = 0;
  prompt.beforeAnswer = [&] {
    if (++asked == 2) WriteFile(cd + "/Install.dat", "1Title");  // now the second disc
  };
  const DiskRequest request{"Title", "Disc %s %d %d", "Quit?"};
  EXPECT_TRUE(m.AskForDisk(2, prompt, request));
  EXPECT_EQ(prompt.shown[0], "Title|Disc %s 2 %d");  // only the first %d is filled in
  EXPECT_EQ(m.Count(), 1);
  EXPECT_TRUE(m.Exists("disc2.txt"));
  EXPECT_FALSE(prompt.quit);

  // Cancel, then "no" to quitting, then cancel and "yes".
  FakePrompt leaving;
  leaving.answers = {false, false, false, true};
  EXPECT_FALSE(m.AskForDisk(3, leaving, request));
  EXPECT_TRUE(leaving.quit);
  EXPECT_EQ(leaving.shown.size(), 4u);
  EXPECT_EQ(leaving.shown[1], "Title|Quit?");
}

}  // namespace
}  // namespace qubo
