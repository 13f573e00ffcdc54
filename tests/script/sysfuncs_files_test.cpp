// File functions: file-name texts (double-byte aware), game files through the virtual file
// system, screen snapshots, the dialogs, ExtractFile and CopyFile, with hostile names that try
// to leave their folders.

#include <gtest/gtest.h>

#include <filesystem>

#include "fakescripthost.h"
#include "storage/vrfiles.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;
using testing::Caller;

enum {
  kFileExists = 71, kLoadTextFile = 72, kExtractFilePath = 75, kExtractFileName = 76, kExtractFileExt = 77,
  kIsPathDelimiter = 78, kAddBackSlash = 79, kChangeFileExt = 80, kIsDelimiter = 81, kSaveScreen = 137,
  kSelectOpenFile = 148, kSelectSaveFile = 149, kSelectDirectory = 150, kExtractFile = 151, kCopyFile = 158,
};

const std::string kHyo = "\x95\x5C";  // 表: its trail byte is '\'
const std::string kSo = "\x83\x5C";   // ソ: likewise
// 既に同名のファイルが存在します。上書きしますか？
const std::string kOverwrite =
    "\x8A\xF9\x82\xC9\x93\xAF\x96\xBC\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB5"
    "\x82\xDC\x82\xB7\x81\x42\x8F\xE3\x8F\x91\x82\xAB\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";

std::string Str(const TFuncResult& r) { return r.type == PT_STR ? r.strValue : "(not a string)"; }
bool Flag(const TFuncResult& r) {
  EXPECT_EQ(r.type, PT_BOOL);
  return r.flagValue;
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> b = testkit::ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}
void WriteText(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  testkit::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(FileFunctions, FileNameTexts) {
  Caller c;
  struct Case {
    int index;
    std::string a, b;
    std::string want;
  };
  const Case cases[] = {
      {kExtractFilePath, "data\\cg\\ev.brx", "", "data\\cg\\"},
      {kExtractFilePath, "c:ev.brx", "", "c:"},
      {kExtractFilePath, "ev.brx", "", ""},
      {kExtractFilePath, kHyo + "\\" + kSo, "", kHyo + "\\"},  // trail bytes are no delimiters
      {kExtractFilePath, kHyo + kSo, "", ""},
      {kExtractFileName, "data\\cg\\ev.brx", "", "ev.brx"},
      {kExtractFileName, kHyo + kSo + ".txt", "", kHyo + kSo + ".txt"},
      {kExtractFileExt, "data\\ev.Brx", "", ".Brx"},
      {kExtractFileExt, "data.old\\ev", "", ""},
      {kExtractFileExt, "a.b.c", "", ".c"},
      {kExtractFileExt, "noext", "", ""},
      {kAddBackSlash, "data", "", "data\\"},
      {kAddBackSlash, "data\\", "", "data\\"},
      {kAddBackSlash, kHyo, "", kHyo + "\\"},  // ends in a trail byte '\', not a delimiter
      {kAddBackSlash, "", "", "\\"},
      {kChangeFileExt, "data\\ev.brx", ".png", "data\\ev.png"},
      {kChangeFileExt, "data.old\\ev", ".png", "data.old\\ev.png"},
      {kChangeFileExt, "ev.brx", "", "ev"},
      {kChangeFileExt, kSo + ".txt", ".dat", kSo + ".dat"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.index) + " " + k.a);
    std::vector<TCustomParam*> args{c.Str(k.a)};
    if (k.index == kChangeFileExt) args.push_back(c.Str(k.b));
    EXPECT_EQ(Str(c.Call(CallFileFunction, k.index, args)), k.want);
  }

  struct DelimCase {
    std::string s;
    int32_t pos;
    bool pathDelim, commaOrBackslash;
  };
  const DelimCase delims[] = {
      {"a\\b", 2, true, true},  {"a\\b", 1, false, false}, {"a,b", 2, false, true},
      {kHyo, 2, false, false},  // the trail byte of 表
      {"a\\", 0, false, false}, {"a\\", 3, false, false},  {"a\\", -1, false, false},
  };
  for (const DelimCase& d : delims) {
    SCOPED_TRACE(d.s + " @" + std::to_string(d.pos));
    EXPECT_EQ(Flag(c.Call(CallFileFunction, kIsPathDelimiter, {c.Str(d.s), c.Int(d.pos)})), d.pathDelim);
    EXPECT_EQ(Flag(c.Call(CallFileFunction, kIsDelimiter, {c.Str(",\\"), c.Str(d.s), c.Int(d.pos)})),
              d.commaOrBackslash);
  }
  // A delimiter list holding 表 does not make its trail byte '\' a delimiter.
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kIsDelimiter, {c.Str(kHyo), c.Str("a\\"), c.Int(2)})));

  bool handled = true;
  c.Call(CallFileFunction, 0, {c.Int(1)}, &handled);
  EXPECT_FALSE(handled);
}

// A virtual file system over a game folder in a temporary folder, with a memory collection
// first; the program's folder, the desktop and the documents are temporary folders too.
struct Files {
  testkit::TempDir dir;
  std::string game = dir / "game";
  std::string program = dir / "prog";
  std::string desktop = dir / "desk";
  std::string documents = dir / "docs";
  std::unique_ptr<TVrFileManager> files;
  TVrFileCollection* memory = nullptr;
  std::unique_ptr<Caller> c;

  Files() {
    for (const std::string& d : {game, program, desktop, documents}) fs::create_directories(d);
    files = std::make_unique<TVrFileManager>(std::vector<std::string>{}, dir / "tmp");
    memory = files->Collection(files->AddCollection(std::make_unique<TVrFileCollection>()));
    files->SetBaseFolder(game);
    TVrFileManager::SetInstance(files.get());
    platform::HeadlessOptions o;
    o.programPath = program + "/quboplayer";
    o.desktopFolder = desktop;
    o.documentsFolder = documents;
    c = std::make_unique<Caller>(o);
  }
  ~Files() { TVrFileManager::SetInstance(nullptr); }

  void Memory(const std::string& name, const std::string& bytes) {
    memory->AddMemoryMember(name)->data->Assign(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  std::string MemoryText(const std::string& name) {
    const TVrFile* f = memory->FindFile(name);
    if (f == nullptr || !f->data) return "(none)";
    return std::string(f->data->Bytes().begin(), f->data->Bytes().end());
  }
  // Every regular file under the temporary folder, relative to it.
  std::vector<std::string> AllFiles() {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir.Path())) {
      if (e.is_regular_file()) out.push_back(fs::relative(e.path(), dir.Path()).string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST(FileFunctions, FileExistsAndLoadTextFile) {
  Files f;
  Caller& c = *f.c;
  WriteText(f.game + "/text/lines.txt", "one\r\ntwo\nthree\r\rfive\r\n");
  WriteText(f.game + "/text/last.txt", "a\nb");
  WriteText(f.game + "/text/empty.txt", "");
  f.Memory("mem:note", "x\r\ny");

  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kFileExists, {c.Str("TEXT\\Lines.txt")})));
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kFileExists, {c.Str("mem:note")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kFileExists, {c.Str("")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kFileExists, {c.Str("..\\game\\text\\lines.txt")})));

  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("v"), c.Str("text\\lines.txt")})));
  TCustomParam& v = c.Var("v");
  ASSERT_EQ(v.Count(), 5);
  EXPECT_EQ(v.DimList(), std::vector<int32_t>{5});
  const char* want[] = {"one", "two", "three", "", "five"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(v.GetStrAt(i), want[i]);

  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("v"), c.Str("text\\last.txt")})));
  EXPECT_EQ(v.Count(), 2);
  EXPECT_EQ(v.GetStrAt(1), "b");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("v"), c.Str("mem:note")})));
  EXPECT_EQ(v.GetStrAt(1), "y");

  // An empty file has no line: false, and the variable becomes the empty string.
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("v"), c.Str("text\\empty.txt")})));
  EXPECT_EQ(v.Count(), 1);
  EXPECT_EQ(v.AsStr(), "");
  // A missing file leaves the variable alone.
  v.SetStr("kept");
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("v"), c.Str("text\\none.txt")})));
  EXPECT_EQ(v.AsStr(), "kept");
  // An integer variable converts each line.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("n", PT_INT), c.Str("mem:note")})));
  EXPECT_EQ(c.Var("n").Count(), 2);
}

TEST(FileFunctions, SaveScreenWritesOnlyWhereItMay) {
  Files f;
  Caller& c = *f.c;
  auto& host = c.host;

  // A plain name goes to the game folder; the size defaults to the game's.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("shot.BRX")})));
  EXPECT_EQ(ReadText(f.game + "/shot.BRX"), "BRX 640x480");
  ASSERT_EQ(host.snapshots.size(), 1u);
  EXPECT_FALSE(host.snapshots[0].backLayer);
  EXPECT_EQ(host.dropped, std::vector<std::string>{"shot.BRX"});
  EXPECT_TRUE(host.deleteOnExit.empty());

  // Width, height, the back layer, and the two ways of keeping track of the file.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("a.brx"), c.Int(160), c.Int(0), c.Flag(true), c.Int(1)})));
  EXPECT_EQ(ReadText(f.game + "/a.brx"), "BRX 160x480");
  EXPECT_TRUE(host.snapshots.back().backLayer);
  EXPECT_EQ(host.deleteOnExit, std::vector<std::string>{f.game + "/a.brx"});
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("b.brx"), c.Int(0), c.Int(0), c.Flag(false), c.Int(2)})));
  EXPECT_EQ(host.installNames, std::vector<std::string>{"b.brx"});

  // Memory and save files.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("mem:thumb.brx"), c.Int(64), c.Int(48)})));
  EXPECT_EQ(f.MemoryText("mem:thumb.brx"), "BRX 64x48");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("SAVE:thumb.brx"), c.Int(8), c.Int(8)})));
  EXPECT_EQ(f.MemoryText("save:thumb.brx"), "BRX 8x8");
  EXPECT_EQ(host.saveEntries.count("SAVE:thumb.brx"), 1u);

  const size_t before = host.snapshots.size();
  const std::string refused[] = {"shot.bmp", "", "brx", ".brx.png"};
  for (const std::string& name : refused) {
    EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str(name)}))) << name;
  }
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("neg.brx"), c.Int(-1), c.Int(10)})));
  host.width = 0;
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("zero.brx")})));
  host.width = 640;
  EXPECT_EQ(host.snapshots.size(), before);

  // Names that try to leave the game folder are refused, with nothing written anywhere.
  const std::vector<std::string> files = f.AllFiles();
  const std::string hostile[] = {"..\\out.brx",        "sub\\..\\..\\out.brx", "\\tmp\\out.brx",  "/tmp/out.brx",
                                 "c:\\out.brx",       "c:out.brx",            "..//out.brx",     "sub/../../out.brx",
                                 "\\\\server\\x.brx"};
  for (const std::string& name : hostile) {
    EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str(name), c.Int(0), c.Int(0), c.Flag(false), c.Int(1)})))
        << name;
  }
  EXPECT_EQ(f.AllFiles(), files);
  EXPECT_EQ(host.deleteOnExit.size(), 1u);

  // Without a screen there is nothing to save.
  host.screen = false;
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("none.brx")})));
  EXPECT_FALSE(fs::exists(f.game + "/none.brx"));
}

TEST(FileFunctions, Dialogs) {
  Files f;
  Caller& c = *f.c;
  auto& pf = c.host.Headless();
  pf.QueuePathAnswer(f.desktop + "/my file.txt");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSelectOpenFile, {c.Ref("p"), c.Str("Text|*.txt")})));
  const std::string scriptDesktop = [&] {
    std::string s = f.desktop;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
  }();
  EXPECT_EQ(c.Var("p").AsStr(), scriptDesktop + "\\my file.txt");
  ASSERT_EQ(pf.PathDialogs().size(), 1u);
  EXPECT_EQ(pf.PathDialogs()[0].kind, platform::FileDialogKind::Open);
  EXPECT_EQ(pf.PathDialogs()[0].filter, "Text|*.txt");
  EXPECT_EQ(pf.PathDialogs()[0].initialFolder, f.desktop);

  pf.QueuePathAnswer(std::nullopt);
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSelectSaveFile, {c.Ref("p")})));
  EXPECT_EQ(c.Var("p").AsStr(), scriptDesktop + "\\my file.txt");
  EXPECT_EQ(pf.PathDialogs()[1].kind, platform::FileDialogKind::Save);

  pf.QueuePathAnswer(f.documents);
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kSelectDirectory, {c.Ref("p")})));
  EXPECT_EQ(c.Var("p").AsStr().back(), '\\');
  EXPECT_EQ(pf.PathDialogs()[2].kind, platform::FileDialogKind::Folder);

  c.host.withPlatform = false;
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSelectDirectory, {c.Ref("p")})));
}

TEST(FileFunctions, ExtractFileCopiesGameFilesIntoTheChosenFolder) {
  Files f;
  Caller& c = *f.c;
  WriteText(f.game + "/data/a.txt", "A");
  WriteText(f.game + "/data/b.txt", "B");
  WriteText(f.game + "/data/c.dat", "C");
  WriteText(f.game + "/readme.txt", "R");
  f.Memory("..\\..\\escape.txt", "E");  // a member whose name would leave any folder

  TCustomParam& list = c.vars.AddNamed(PT_STR, "list")->Value();
  list.SetDims({4});
  list.SetStrAt(0, "\\data\\*.TXT");
  list.SetStrAt(1, "readme.txt");
  list.SetStrAt(2, "missing.txt");
  list.SetStrAt(3, "..\\..\\escape.txt");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("out")})));
  EXPECT_EQ(ReadText(f.program + "/out/data/a.txt"), "A");
  EXPECT_EQ(ReadText(f.program + "/out/data/b.txt"), "B");
  EXPECT_EQ(ReadText(f.program + "/out/readme.txt"), "R");
  EXPECT_FALSE(fs::exists(f.program + "/out/data/c.dat"));
  EXPECT_FALSE(fs::exists(f.program + "/out/missing.txt"));

  // The user's folders, case-insensitively; anything else in braces is refused.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("{desktop}\\sub")})));
  EXPECT_EQ(ReadText(f.desktop + "/sub/readme.txt"), "R");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("{MyDocuments}")})));
  EXPECT_EQ(ReadText(f.documents + "/data/a.txt"), "A");
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("{Windows}\\x")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("{Desktop")})));

  // A destination that could leave its folder: a plain one falls back to the program's
  // folder itself; one after a folder word is refused.
  const std::vector<std::string> before = f.AllFiles();
  const std::string refused[] = {"{Desktop}\\..\\..", "{Desktop}..\\x", "{Desktop}\\c:\\x", "{Desktop}\\\\\\server\\x",
                                 "{Desktop}/../x"};
  for (const std::string& dest : refused) {
    EXPECT_FALSE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str(dest)}))) << dest;
  }
  EXPECT_EQ(f.AllFiles(), before);
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("..\\..\\x")})));
  EXPECT_EQ(ReadText(f.program + "/readme.txt"), "R");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("\\\\server\\share")})));
  EXPECT_EQ(ReadText(f.program + "/server/share/readme.txt"), "R");
  EXPECT_FALSE(fs::exists(f.dir / "escape.txt"));
  for (const std::string& p : f.AllFiles()) EXPECT_EQ(p.find("escape"), std::string::npos) << p;

  // Without a destination the folder dialog asks; cancelling ends with false.
  c.host.Headless().QueuePathAnswer(f.dir / "picked");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list")})));
  EXPECT_EQ(ReadText(f.dir / "picked/readme.txt"), "R");
  c.host.Headless().QueuePathAnswer(std::nullopt);
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list")})));
}

TEST(FileFunctions, ExtractFileAsksBeforeOverwriting) {
  using platform::MsgButton;
  struct Case {
    std::vector<MsgButton> answers;
    bool result;
    std::string a, b, readme;  // contents afterwards
    size_t boxes;
  };
  const Case cases[] = {
      {{MsgButton::Yes, MsgButton::No, MsgButton::Yes}, true, "A", "old", "R", 3},
      {{MsgButton::YesToAll}, true, "A", "B", "R", 1},
      {{MsgButton::No, MsgButton::NoToAll}, true, "old", "old", "old", 2},
      {{MsgButton::Yes, MsgButton::Cancel}, false, "A", "old", "old", 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.boxes);
    Files f;
    Caller& c = *f.c;
    WriteText(f.game + "/data/a.txt", "A");
    WriteText(f.game + "/data/b.txt", "B");
    WriteText(f.game + "/readme.txt", "R");
    for (const char* name : {"out/data/a.txt", "out/data/b.txt", "out/readme.txt"}) WriteText(f.program + "/" + name, "old");
    TCustomParam& list = c.vars.AddNamed(PT_STR, "list")->Value();
    list.SetDims({2});
    list.SetStrAt(0, "data\\*.txt");
    list.SetStrAt(1, "readme.txt");
    for (MsgButton b : k.answers) c.host.Headless().QueueMessageAnswer(b);
    EXPECT_EQ(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("list"), c.Str("out"), c.Flag(true)})), k.result);
    EXPECT_EQ(ReadText(f.program + "/out/data/a.txt"), k.a);
    EXPECT_EQ(ReadText(f.program + "/out/data/b.txt"), k.b);
    EXPECT_EQ(ReadText(f.program + "/out/readme.txt"), k.readme);
    const auto& boxes = c.host.Headless().MessageBoxes();
    ASSERT_EQ(boxes.size(), k.boxes);
    EXPECT_EQ(boxes[0].buttons, platform::MsgButtons::YesNoAllCancel);
    // The target path, a blank line, then the question.
    const std::string tail = "\\out\\data\\a.txt\r\n\r\n" + kOverwrite;
    ASSERT_GE(boxes[0].text.size(), tail.size());
    EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - tail.size()), tail);
  }
}

TEST(FileFunctions, CopyFileBetweenMemoryFiles) {
  Files f;
  Caller& c = *f.c;
  f.Memory("mem:src", "hello");
  f.Memory("save:keep", "kept");
  WriteText(f.game + "/plain.txt", "P");

  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("mem:src"), c.Str("mem:dst")})));
  EXPECT_EQ(f.MemoryText("mem:dst"), "hello");
  // Onto itself (in any letter case): the bytes survive.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("mem:src"), c.Str("MEM:SRC")})));
  EXPECT_EQ(f.MemoryText("mem:src"), "hello");
  // An existing destination is replaced, not appended to.
  f.Memory("mem:big", "0123456789");
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("mem:src"), c.Str("mem:big")})));
  EXPECT_EQ(f.MemoryText("mem:big"), "hello");
  // A save file goes to the save archive too.
  EXPECT_TRUE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("save:keep"), c.Str("save:copy")})));
  EXPECT_EQ(f.MemoryText("save:copy"), "kept");
  ASSERT_EQ(c.host.saveEntries.count("save:copy"), 1u);
  EXPECT_EQ(c.host.saveEntries["save:copy"].size(), 4u);
  c.host.saveArchive = false;
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("save:keep"), c.Str("save:other")})));

  // Sources outside the memory files are refused.
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("plain.txt"), c.Str("mem:p")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("mem:none"), c.Str("mem:p")})));
  EXPECT_EQ(f.MemoryText("mem:p"), "(none)");
}

TEST(FileFunctions, WithoutAFileSystemEverythingAnswersFalse) {
  Caller c;
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kFileExists, {c.Str("a.txt")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kLoadTextFile, {c.Ref("v"), c.Str("a.txt")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kSaveScreen, {c.Str("a.brx")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kCopyFile, {c.Str("mem:a"), c.Str("mem:b")})));
  EXPECT_FALSE(Flag(c.Call(CallFileFunction, kExtractFile, {c.Ref("v"), c.Str("x")})));
}

}  // namespace
}  // namespace qubo
