// The project's start-up, disc requests, requests after a tick and shutdown, over a game
// folder in a temporary directory, the headless platform and fake engine and save data.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "platform/headless.h"
#include "script/paramcollection.h"
#include "script/project.h"
#include "script/projectmessages.h"
#include "storage/vrfiles.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;
using platform::HeadlessPlatform;
using platform::MsgButton;
using testkit::Bytes;

struct ProjectSpec {
  int32_t version = 117;
  std::string title = "Game";
  std::string startPage = "start.qsb";
  std::string exitPage;
  uint8_t multiDisc = 0;
  std::string mediaExt = ".wav.ogg";
  std::vector<std::pair<std::string, int32_t>> disks;
  Bytes vars = Bytes().i32(0);
};

std::vector<uint8_t> ProjectBytes(const ProjectSpec& p) {
  Bytes b;
  b.i32(p.version).str(p.title).i32(640).i32(480).i32(0).i32(0).str(p.startPage).str(p.exitPage).str("").i32(0);
  b.u8(1).u8(1).str(p.mediaExt).u8(0).u8(p.multiDisc).u8(1).str("disk %d").str("quit");
  b.b.insert(b.b.end(), p.vars.b.begin(), p.vars.b.end());
  b.i32(static_cast<int32_t>(p.disks.size()));
  for (const auto& [folder, disk] : p.disks) b.str(folder).i32(disk);
  return b.b;
}

std::vector<uint8_t> InstallBytes(const std::string& name, int32_t disc, bool full) {
  Bytes b;
  b.raw("is103").i32(disc).str(name).str("").str("").str("").u8(0).str("").u8(0).i32(0).str("");
  b.i32(0).u8(0).u8(0).str("").str("");
  for (int i = 0; i < 4; ++i) b.i32(0).i32(0);
  b.u8(0).u8(0).i32(0).u8(full ? 1 : 0);
  return b.b;
}

// An archive file holding the given members.
void WriteArchive(const std::string& path, const std::map<std::string, std::string>& members) {
  TVrFileCollection c;
  for (const auto& [name, text] : members) {
    TVrFile* f = c.AddMemoryMember(name);
    f->data->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  }
  TFileStream out(path, TFileStream::Mode::Create);
  ASSERT_TRUE(c.Write(out, false));
}

struct FakeEngine : TProjectEngine {
  std::vector<std::string>* log;
  explicit FakeEngine(std::vector<std::string>* l) : log(l) {}
  void Start(const std::string& page) override { log->push_back("Start " + page); }
  void Run() override { log->push_back("Run"); }
};

struct FakeSaveData : TProjectSaveData {
  std::vector<std::string> log;
  void LoadStatus(TProject& project, TStream& stream, int32_t version) override {
    log.push_back("LoadStatus " + std::to_string(version));
    project.Host().vars->LoadStatusVars(stream);
  }
  void SaveStatus(TProject&) override { log.push_back("SaveStatus"); }
  void LoadGame(TProject&, int32_t slot) override { log.push_back("LoadGame " + std::to_string(slot)); }
  void SaveGame(TProject&, int32_t slot, const std::string& caption, const std::string& page, int32_t pos) override {
    log.push_back("SaveGame " + std::to_string(slot) + " " + caption + " " + page + " " + std::to_string(pos));
  }
  void BuildSaveList(TProject& project) override { project.SetSaveCaption(3, "third"); }
};

class ProjectStartup : public ::testing::Test {
 protected:
  ProjectStartup() : files_({(dir_.Path() / "cd").string() + "/"}, dir_ / "tmp") {
    for (const char* d : {"game", "prog", "cd", "tmp", "data"}) fs::create_directories(dir_.Path() / d);
    dataHome_ = dir_ / "data";
  }

  void WriteGame(const std::string& name, const std::vector<uint8_t>& bytes) {
    testkit::WriteFileBytes(dir_ / ("game/" + name), bytes);
  }

  // A project over the game folder given as the first argument.
  std::unique_ptr<TProject> Make(bool withArgument = true) {
    TProjectHost h;
    h.dialogs = &platform_->GetDialogs();
    h.files = &files_;
    h.vars = &vars_;
    if (withArgument) {
      files_.SetBaseFolder(dir_ / "game");
      h.args = {dir_ / "game"};
    }
    h.programFolder = dir_ / "prog";
    h.env = [this](const char* name) -> const char* {
      return std::string(name) == "XDG_DATA_HOME" ? dataHome_.c_str() : nullptr;
    };
    h.saveData = &save_;
    h.makeEngine = [this](TProject&) { return std::make_unique<FakeEngine>(&engineLog_); };
    h.setTitle = [this](const std::string& t) { title_ = t; };
    h.setTerminated = [this](bool on) { engineLog_.push_back(on ? "terminated" : "running"); };
    h.abnormalEnd = [this] { return abnormal_; };
    return std::make_unique<TProject>(std::move(h));
  }

  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& m : platform_->MessageBoxes()) out.push_back(m.caption + "|" + m.text);
    return out;
  }

  testkit::TempDir dir_;
  std::string dataHome_;
  TVrFileManager files_;
  std::unique_ptr<HeadlessPlatform> platform_ = std::make_unique<HeadlessPlatform>();
  TParamCollection vars_;
  FakeSaveData save_;
  std::vector<std::string> engineLog_;
  std::string title_;
  bool abnormal_ = false;
};

TEST_F(ProjectStartup, StartsTheStartPageAndDeclaresInitialVariables) {
  ProjectSpec spec;
  spec.vars = Bytes().i32(4).u8(1).str("n").i32(7).u8(3).str("f").u8(2).u8(4).str("s").str("text");
  spec.vars.u8(9).str("odd");
  WriteGame("qubo.qpb", ProjectBytes(spec));
  WriteGame("start.qsb", {1});
  auto p = Make();
  EXPECT_EQ(p->Create(), TProject::StartResult::Started);
  EXPECT_EQ(engineLog_, (std::vector<std::string>{"Start start.qsb"}));
  EXPECT_EQ(title_, "Game");
  EXPECT_TRUE(Boxes().empty());
  ASSERT_NE(vars_.FindVar("n"), nullptr);
  EXPECT_EQ(vars_.FindVar("n")->Value().AsInt(), 7);
  EXPECT_TRUE(vars_.FindVar("n")->IsStatus());
  EXPECT_TRUE(vars_.FindVar("f")->Value().AsBool());
  EXPECT_EQ(vars_.FindVar("s")->Value().AsStr(), "text");
  EXPECT_EQ(vars_.FindVar("odd"), nullptr);
  EXPECT_EQ(p->SaveCaption(3), "third");
  // The save file lives in the user's data folder, under the title and the file's hash.
  EXPECT_EQ(fs::path(p->SavePath()).parent_path().parent_path(), fs::path(dataHome_) / "quboplayer");
  EXPECT_EQ(fs::path(p->SavePath()).parent_path().filename().string().rfind("Game-", 0), 0u);
}

TEST_F(ProjectStartup, LoadedStatusWinsOverTheInitialValue) {
  ProjectSpec spec;
  spec.vars = Bytes().i32(2).u8(1).str("score").i32(1).u8(1).str("fresh").i32(2);
  WriteGame("qubo.qpb", ProjectBytes(spec));
  WriteGame("start.qsb", {1});
  {
    // A status record holding score = 99, and a script file, in the save file.
    TParamCollection earlier;
    auto* v = earlier.Declare("score", PT_INT, VarScope::Status).var;
    v->Value().SetInt(99);
    TKoMemoryStream status;
    status.WriteBuffer("Status103", 9);
    earlier.SaveStatusVars(status);
    auto p = Make();
    p->SetSaveDir(dir_ / "saves");
    const std::string path = p->SavePath();
    EXPECT_EQ(path, dir_ / "saves/save.dat");
    TVrFileCollection c;
    c.AddMemoryMember("STATUSSAVEDATA")->data->WriteBuffer(status.Memory(), status.GetSize());
    c.AddMemoryMember("save:notes.txt")->data->WriteBuffer("hi", 2);
    c.AddMemoryMember("GAMESAVEDATA1")->data->WriteBuffer("x", 1);
    TFileStream out(path, TFileStream::Mode::Create);
    ASSERT_TRUE(c.Write(out, false));
  }
  auto p = Make();
  p->SetSaveDir(dir_ / "saves");
  EXPECT_EQ(p->Create(), TProject::StartResult::Started);
  EXPECT_EQ(save_.log, (std::vector<std::string>{"LoadStatus 103"}));
  EXPECT_EQ(vars_.FindVar("score")->Value().AsInt(), 99);
  EXPECT_EQ(vars_.FindVar("fresh")->Value().AsInt(), 2);
  EXPECT_TRUE(files_.Exists("save:notes.txt"));
  EXPECT_FALSE(files_.Exists("GAMESAVEDATA1"));
}

TEST_F(ProjectStartup, EveryFailedStartShowsAMessageAndEnds) {
  struct Case {
    const char* what;
    std::vector<uint8_t> project;  // empty vector with writeProject false: no file
    bool writeProject;
    std::string caption, text;
  };
  ProjectSpec noStart;
  noStart.startPage = "missing.qsb";
  ProjectSpec tooNew;
  tooNew.version = 118;
  std::vector<uint8_t> damaged = ProjectBytes(ProjectSpec{});
  damaged.resize(damaged.size() - 3);
  const Case cases[] = {
      {"missing start page", ProjectBytes(noStart), true, msg::kCaptionWarning, msg::kMsgNoStartPage},
      {"empty project", {}, true, msg::kCaptionWarning, msg::kMsgNoProject},
      {"no project", {}, false, msg::kCaptionInfo, MissingFileMessage("qubo.qpb")},
      {"too new", ProjectBytes(tooNew), true, msg::kCaptionInfo, msg::kMsgUnsupportedVersion},
      {"damaged", damaged, true, msg::kCaptionInfo, msg::kMsgDamagedProject},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir_ / "game/qubo.qpb");
    if (c.writeProject) WriteGame("qubo.qpb", c.project);
    WriteGame("start.qsb", {1});
    platform_ = std::make_unique<HeadlessPlatform>();
    engineLog_.clear();
    auto p = Make();
    EXPECT_EQ(p->Create(), TProject::StartResult::Terminated);
    EXPECT_TRUE(p->Terminated());
    EXPECT_EQ(Boxes(), (std::vector<std::string>{c.caption + "|" + c.text}));
    EXPECT_EQ(std::count(engineLog_.begin(), engineLog_.end(), "Start start.qsb"), 0);
  }
}

TEST_F(ProjectStartup, LocatesAnInstalledGameBesideTheProgram) {
  testkit::WriteFileBytes(dir_ / "prog/install.dat", InstallBytes("Game", 0, true));
  WriteArchive(dir_ / "prog/game.dat", {{"qubo.qpb", std::string()}});
  {
    // The project comes from game.dat; the start page lies in the program's folder.
    const auto bytes = ProjectBytes(ProjectSpec{});
    WriteArchive(dir_ / "prog/game.dat", {{"qubo.qpb", std::string(bytes.begin(), bytes.end())}});
  }
  testkit::WriteFileBytes(dir_ / "prog/start.qsb", {1});
  auto p = Make(false);
  EXPECT_EQ(p->Create(), TProject::StartResult::Started);
  EXPECT_EQ(files_.BaseFolder(), (dir_ / "prog") + "/");
  EXPECT_EQ(files_.Count(), 1);
}

TEST_F(ProjectStartup, WithoutFullInstallTheDiscIsLookedFor) {
  testkit::WriteFileBytes(dir_ / "prog/install.dat", InstallBytes("Game", 0, false));
  testkit::WriteFileBytes(dir_ / "prog/start.qsb", {1});
  const auto bytes = ProjectBytes(ProjectSpec{});
  WriteArchive(dir_ / "prog/game.dat", {{"other", "x"}});
  // No disc yet: the user is asked, answers OK once more after inserting it.
  platform_->QueueMessageAnswer(MsgButton::Cancel);  // "insert the disc": cancel
  platform_->QueueMessageAnswer(MsgButton::Cancel);  // quit? no: search again
  platform_->QueueMessageAnswer(MsgButton::Cancel);
  platform_->QueueMessageAnswer(MsgButton::Ok);      // quit
  auto p = Make(false);
  EXPECT_EQ(p->Create(), TProject::StartResult::Terminated);
  EXPECT_EQ(Boxes().size(), 4u);
  EXPECT_EQ(Boxes()[0], std::string(msg::kCaptionInfo) + "|" + msg::kMsgInsertDisc);
  EXPECT_EQ(files_.Count(), 1);  // the program's game.dat was added even so

  testkit::WriteFileBytes(dir_ / "cd/install.dat", InstallBytes("Game", 0, false));
  WriteArchive(dir_ / "cd/game.dat", {{"qubo.qpb", std::string(bytes.begin(), bytes.end())}});
  files_.Clear();
  files_.SetBaseFolder("");
  auto q = Make(false);
  EXPECT_EQ(q->Create(), TProject::StartResult::Started);
  EXPECT_EQ(files_.Count(), 2);
}

TEST_F(ProjectStartup, MissingInstallRecordAsksForReinstalling) {
  auto p = Make(false);
  EXPECT_EQ(p->Create(), TProject::StartResult::Terminated);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string(msg::kCaptionInfo) + "|" + msg::kMsgReinstall}));
}

TEST_F(ProjectStartup, CancelledFirstDiscEndsWithTheQuitMessage) {
  ProjectSpec spec;
  spec.multiDisc = 1;
  WriteGame("qubo.qpb", ProjectBytes(spec));
  WriteGame("start.qsb", {1});
  platform_->QueueMessageAnswer(MsgButton::Ok);
  platform_->QueueMessageAnswer(MsgButton::Cancel);
  auto p = Make();
  EXPECT_EQ(p->Create(), TProject::StartResult::Terminated);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string("Game|") + msg::kMsgInsertFirstDisc,
                                               std::string("Game|") + msg::kMsgInsertFirstDisc, "Game|quit"}));
  // With the first disc in the drive nothing is asked.
  testkit::WriteFileBytes(dir_ / "cd/install.dat", InstallBytes("Game", 0, false));
  auto q = Make();
  EXPECT_EQ(q->Create(), TProject::StartResult::Started);
  EXPECT_EQ(Boxes().size(), 3u);
}

struct FakePrompt : DiskPrompt {
  std::vector<std::string> asked;
  std::vector<bool> answers;
  DiscIdentity disc;
  bool Ask(const std::string&, const std::string& message) override {
    asked.push_back(message);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void Quit() override { asked.push_back("quit"); }
  std::optional<DiscIdentity> ReadInstall(const std::string&) override { return disc; }
};

TEST_F(ProjectStartup, HasFileAsksForTheDiscOfNonMediaFilesOnly) {
  ProjectSpec spec;
  spec.disks = {{"bgm", 2}, {"scene", 2}};
  WriteGame("qubo.qpb", ProjectBytes(spec));
  WriteGame("start.qsb", {1});
  FakePrompt prompt;
  prompt.disc = {"Game", 1};
  prompt.answers = {true};
  auto p = Make();
  p->Host().diskPrompt = &prompt;
  ASSERT_EQ(p->Create(), TProject::StartResult::Started);

  EXPECT_TRUE(p->HasFile("start.qsb"));
  EXPECT_FALSE(p->HasFile("bgm\\title.wav"));
  EXPECT_FALSE(p->HasFile("bgm\\TITLE.OGG"));
  EXPECT_FALSE(p->HasFile("other\\x.qsb"));  // on no other disc
  EXPECT_FALSE(p->HasFile(""));
  EXPECT_TRUE(prompt.asked.empty());

  WriteArchive(dir_ / "cd/game.dat", {{"scene\\two.qsb", "x"}});
  testkit::WriteFileBytes(dir_ / "cd/install.dat", {0});
  EXPECT_TRUE(p->HasFile("scene\\two.qsb"));
  EXPECT_EQ(prompt.asked, (std::vector<std::string>{"disk 2"}));
  EXPECT_TRUE(files_.Exists("scene\\two.qsb"));

  // A cancelled prompt: the user chooses to quit.
  prompt.answers = {false, true};
  EXPECT_FALSE(p->HasFile("scene\\three.qsb"));
  EXPECT_EQ(prompt.asked.back(), "quit");
}

TEST(ProjectMedia, ExtensionRule) {
  struct Case {
    const char* name;
    const char* list;
    bool media;
  };
  const Case cases[] = {
      {"a.wav", ".wav.wma.ogg.mid", true}, {"a.WAV", ".wav.wma.ogg.mid", true}, {"a.mid", ".wav.wma.ogg.mid", true},
      {"a.qsb", ".wav.wma.ogg.mid", false}, {"a", ".wav.wma.ogg.mid", false},    {"a.av", ".wav", false},
      {"a.wav", "wav.wma.ogg", true},       {"x.ogg\\a.qsb", ".ogg", false},     {"a.wav", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsMediaExtension(c.name, c.list), c.media);
  }
}

TEST_F(ProjectStartup, ShutdownRunsTheExitPageOnceAndSavesStatus) {
  ProjectSpec spec;
  spec.exitPage = "exit.qsb";
  WriteGame("qubo.qpb", ProjectBytes(spec));
  WriteGame("start.qsb", {1});
  WriteGame("exit.qsb", {1});
  auto p = Make();
  ASSERT_EQ(p->Create(), TProject::StartResult::Started);
  engineLog_.clear();
  p->Destroy();
  EXPECT_EQ(engineLog_, (std::vector<std::string>{"Start exit.qsb", "running", "Run", "terminated"}));
  EXPECT_EQ(save_.log, (std::vector<std::string>{"SaveStatus"}));
  p->Destroy();  // once only
  EXPECT_EQ(save_.log.size(), 1u);

  abnormal_ = true;
  save_.log.clear();
  auto q = Make();
  ASSERT_EQ(q->Create(), TProject::StartResult::Started);
  engineLog_.clear();
  q.reset();
  EXPECT_TRUE(engineLog_.empty());
  EXPECT_TRUE(save_.log.empty());
}

TEST_F(ProjectStartup, AfterTickLoadsThenSavesAndClearsTheRequests) {
  WriteGame("qubo.qpb", ProjectBytes(ProjectSpec{}));
  WriteGame("start.qsb", {1});
  auto p = Make();
  ASSERT_EQ(p->Create(), TProject::StartResult::Started);
  EXPECT_FALSE(p->AfterTick());
  p->RequestSave(2, "cap", "after", 5);
  p->RequestLoad(4);
  EXPECT_TRUE(p->AfterTick());
  EXPECT_EQ(save_.log, (std::vector<std::string>{"LoadGame 4", "SaveGame 2 cap after 5"}));
  EXPECT_EQ(p->LoadRequest(), -1);
  EXPECT_EQ(p->SaveRequest(), -1);
  EXPECT_FALSE(p->AfterTick());
  p->SetSaveCaption(3, "again");
  p->SetSaveCaption(8, "new");
  EXPECT_EQ(p->SaveCaption(3), "again");
  EXPECT_EQ(p->SavedGames().size(), 2u);
  EXPECT_EQ(p->SaveCaption(5), "");
}

}  // namespace
}  // namespace qubo
