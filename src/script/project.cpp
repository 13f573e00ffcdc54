#include "script/project.h"

#include <cstdlib>
#include <filesystem>

#include "script/paramcollection.h"
#include "script/projectmessages.h"
#include "storage/folderresolve.h"
#include "storage/vrfiles.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;
using platform::MsgButton;
using platform::MsgButtons;
using platform::MsgIcon;

TProject* gInstance = nullptr;

constexpr const char* kStatusMember = "STATUSSAVEDATA";
constexpr const char* kOriginalProject = "/original_qubo.qpb";

std::string FolderWithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The host path of a file directly in a host folder, or "" when there is none.
std::string FileIn(const std::string& folder, const char* name) {
  if (folder.empty()) return std::string();
  return FolderResolver::Instance().Resolve(FolderWithSlash(folder), name).value_or(std::string());
}

// The version of a status record from its prefix "Status" and three digits, with the stream
// moved past it; without the prefix the stream is at its start and the version 0.
int32_t StatusVersion(TKoMemoryStream& s) {
  const std::vector<uint8_t>& b = s.Bytes();
  s.SetPosition(0);
  if (b.size() < 9 || std::string(b.begin(), b.begin() + 6) != "Status") return 0;
  int32_t v = 0;
  for (size_t i = 6; i < 9; ++i) {
    if (b[i] < '0' || b[i] > '9') return 0;
    v = v * 10 + (b[i] - '0');
  }
  s.SetPosition(9);
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The disc prompt over the platform's message boxes.

class TProject::DialogDiskPrompt : public DiskPrompt {
 public:
  explicit DialogDiskPrompt(TProject& project) : project_(project) {}
  bool Ask(const std::string& caption, const std::string& message) override {
    return project_.Show(caption, message, MsgButtons::OkCancel, MsgIcon::Information) == MsgButton::Ok;
  }
  void Quit() override {
    project_.SetTerminated(true);
    if (project_.host_.requestClose) project_.host_.requestClose();
  }
  std::optional<DiscIdentity> ReadInstall(const std::string& hostPath) override {
    const auto set = ReadInstallFile(hostPath);
    if (!set) return std::nullopt;
    return DiscIdentity{set->projectName, set->discIndex};
  }

 private:
  TProject& project_;
};

std::optional<TQuboInstallSet> ReadInstallFile(const std::string& hostPath) {
  try {
    TKoMemoryStream s;
    s.LoadFromFile(hostPath);
    return ReadInstallSet(s);
  } catch (const QuboError&) {
    return std::nullopt;
  }
}

bool IsMediaExtension(std::string_view name, std::string_view mediaExtensions) {
  // The extension of the last path component.
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < name.size(); i = sjis::Next(name, i)) {
    if (name[i] == '\\' || name[i] == '/') {
      dot = std::string_view::npos;
    } else if (name[i] == '.') {
      dot = i;
    }
  }
  const std::string ext = dot == std::string_view::npos ? std::string() : sjis::AsciiLower(name.substr(dot + 1));
  std::string list = sjis::AsciiLower(mediaExtensions);
  if (list.empty() || list.front() != '.') list.insert(list.begin(), '.');
  list += '.';
  return list.find("." + ext + ".") != std::string::npos;
}

// ---------------------------------------------------------------------------------------

TProject* TProject::Instance() { return gInstance; }
void TProject::SetInstance(TProject* project) { gInstance = project; }

TProject::TProject(TProjectHost host) : host_(std::move(host)) {
  file_.title = msg::kCaptionInfo;
  file_.diskMessage = msg::kDefaultDiskMessage;
  file_.quitMessage = msg::kDefaultQuitMessage;
  file_.mediaExtensions = kDefaultMediaExtensions;
  if (!host_.env) host_.env = [](const char* name) -> const char* { return std::getenv(name); };
}

TProject::~TProject() {
  if (created_ && !destroyed_) {
    try {
      Destroy();
    } catch (...) {
      // A destructor reports nothing; Destroy is the place that shows failures.
    }
  }
  if (gInstance == this) gInstance = nullptr;
}

TVrFileManager& TProject::Files() const {
  TVrFileManager* files = host_.files != nullptr ? host_.files : TVrFileManager::Instance();
  if (files == nullptr) throw QuboError("no file system");
  return *files;
}

DiskPrompt& TProject::Prompt() {
  if (host_.diskPrompt != nullptr) return *host_.diskPrompt;
  if (!ownPrompt_) ownPrompt_ = std::make_unique<DialogDiskPrompt>(*this);
  return *ownPrompt_;
}

DiskRequest TProject::MakeDiskRequest() const { return {file_.title, file_.diskMessage, file_.quitMessage}; }

MsgButton TProject::Show(const std::string& caption, const std::string& text, MsgButtons buttons, MsgIcon icon) {
  platform::MessageBoxRequest r;
  r.caption = caption;
  r.text = text;
  r.buttons = buttons;
  r.icon = icon;
  if (host_.dialogs == nullptr) return platform::EscapeAnswer(buttons);
  return host_.dialogs->ShowMessage(r);
}

void TProject::SetTerminated(bool on) {
  terminated_ = on;
  if (host_.setTerminated) host_.setTerminated(on);
}

TProject::StartResult TProject::Terminate(const std::string& caption, const std::string& text, MsgIcon icon) {
  Show(caption, text, MsgButtons::Ok, icon);
  SetTerminated(true);
  return StartResult::Terminated;
}

TProject::StartResult TProject::Create() {
  created_ = true;
  try {
    return CreateSteps();
  } catch (const std::exception& e) {
    // A project that cannot be read (missing, damaged, too new), a save file that cannot be
    // opened or a declaration that is refused: the game cannot start, and says so.
    engine_.reset();
    return Terminate(msg::kCaptionInfo, e.what(), MsgIcon::Information);
  }
}

TProject::StartResult TProject::CreateSteps() {
  TVrFileManager& files = Files();
  const bool noGameArgument = host_.args.empty() || sjis::EqualsNoCase(host_.args.front(), "/config");
  if (noGameArgument && !LocateGameData()) {
    SetTerminated(true);
    return StartResult::Terminated;
  }

  TKoMemoryStream raw;
  files.Read(raw, "qubo.qpb");
  if (raw.GetSize() == 0) return Terminate(msg::kCaptionWarning, msg::kMsgNoProject, MsgIcon::Warning);
  fileBytes_ = raw.Bytes();
  file_ = ReadProjectFile(raw);
  if (host_.setTitle) host_.setTitle(file_.title);
  folderDisks_ = file_.folderDisks;

  if (file_.multiDisc != 0 && !FirstDiscPresent()) {
    // The user gave up on the first disc: say that the game ends instead of leaving an idle
    // window.
    return Terminate(file_.title, file_.quitMessage, MsgIcon::Information);
  }

  ReadSaveFile();
  DeclareInitialVars();
  if (host_.saveData != nullptr) host_.saveData->BuildSaveList(*this);

  if (files.Exists(kOriginalProject)) {
    TKoMemoryStream original;
    files.Read(original, kOriginalProject);
    folderDisks_ = ReadProjectFile(original).folderDisks;
  }

  if (host_.makeEngine) engine_ = host_.makeEngine(*this);
  if (!files.Exists(file_.startPage)) return Terminate(msg::kCaptionWarning, msg::kMsgNoStartPage, MsgIcon::Warning);
  if (engine_) engine_->Start(file_.startPage);
  return StartResult::Started;
}

bool TProject::LocateGameData() {
  TVrFileManager& files = Files();
  if (files.BaseFolder().empty() && !FileIn(host_.programFolder, "install.dat").empty()) {
    files.SetBaseFolder(host_.programFolder);
  }
  if (!files.Exists("install.dat")) {
    Show(msg::kCaptionInfo, msg::kMsgReinstall, MsgButtons::Ok, MsgIcon::Information);
    return false;
  }
  TKoMemoryStream s;
  files.Read(s, "install.dat");
  const TQuboInstallSet install = ReadInstallSet(s);
  if (const std::string game = FileIn(host_.programFolder, "game.dat"); !game.empty()) files.AddArchiveFile(game);
  if (install.IsFullInstall()) return true;

  for (;;) {
    for (const std::string& root : files.CdRoots()) {
      const std::string game = FileIn(root, "game.dat");
      const std::string inst = FileIn(root, "install.dat");
      if (game.empty() || inst.empty()) continue;
      const auto disc = ReadInstallFile(inst);
      if (!disc || disc->projectName != install.projectName) continue;
      files.AddArchiveFile(game);
      return true;
    }
    if (Show(msg::kCaptionInfo, msg::kMsgInsertDisc, MsgButtons::OkCancel, MsgIcon::Information) == MsgButton::Ok) {
      continue;
    }
    if (Show(file_.title, file_.quitMessage, MsgButtons::OkCancel, MsgIcon::Information) == MsgButton::Ok) return false;
  }
}

bool TProject::FirstDiscPresent() {
  TVrFileManager& files = Files();
  for (;;) {
    for (const std::string& root : files.CdRoots()) {
      const std::string inst = FileIn(root, "install.dat");
      if (inst.empty()) continue;
      const auto disc = ReadInstallFile(inst);
      if (disc && disc->projectName == file_.title) return true;
    }
    if (Show(file_.title, msg::kMsgInsertFirstDisc, MsgButtons::OkCancel, MsgIcon::Information) != MsgButton::Ok) {
      return false;
    }
  }
}

const std::string& TProject::SavePath() {
  if (!savePathKnown_) {
    SavePathRequest r;
    r.titleCp932 = file_.title;
    r.projectBytes = fileBytes_;
    r.saveDirOverride = saveDir_;
    // A save.dat of an older installation lies beside the game data.
    r.gameFolder = !host_.args.empty() && !sjis::EqualsNoCase(host_.args.front(), "/config") ? host_.args.front()
                                                                                              : host_.programFolder;
    savePath_ = ResolveSavePath(r, host_.env);
    // Before the project file is read the game id is not known yet: ask again later.
    savePathKnown_ = !fileBytes_.empty();
  }
  return savePath_;
}

TVrFileCollection& TProject::MemoryCollection() {
  TVrFileManager& files = Files();
  if (files.Count() > 0) {
    TVrFileCollection* first = files.Collection(0);
    if (first->Archive() == nullptr && first->FileName().empty() && first->Folder().empty()) return *first;
  }
  const int i = files.AddCollection(std::make_unique<TVrFileCollection>());
  return *files.Collection(i);
}

void TProject::ReadSaveFile() {
  const std::string& path = SavePath();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return;
  TVrFileCollection save;
  save.OpenFile(path, true);
  if (save.FindFile(kStatusMember) != nullptr && host_.saveData != nullptr) {
    TKoMemoryStream status;
    save.ReadMember(status, kStatusMember);
    const int32_t version = StatusVersion(status);
    host_.saveData->LoadStatus(*this, status, version);
  }
  TVrFileCollection* memory = nullptr;
  for (int i = 0; i < save.FileCount(); ++i) {
    const TVrFile* f = save.File(i);
    const std::string& name = f->Name();
    if (name.size() < 5 || !sjis::EqualsNoCase(std::string_view(name).substr(0, 5), "save:")) continue;
    if (memory == nullptr) memory = &MemoryCollection();
    TVrFile* copy = memory->AddMemoryMember(name);
    bool ok = false;
    try {
      ok = save.ReadFile(*f, *copy->data);
    } catch (const QuboError&) {
      ok = false;
    }
    if (!ok) memory->DeleteMember(name);
  }
}

void TProject::DeclareInitialVars() {
  if (host_.vars == nullptr) return;
  TParamCollection& vars = *host_.vars;
  for (const TInitialVar& init : file_.initialVars) {
    // Only the four value types can be made; a declaration of another code has no value to
    // give and is passed over.
    if (init.type < PT_INT || init.type > PT_STR) continue;
    if (vars.IndexOf(init.name) >= 0) continue;
    TParamCollectionItem* var = vars.Declare(init.name, init.type, VarScope::Status).var;
    TCustomParam& v = var->Value();
    switch (init.type) {
      case PT_INT: v.SetInt(init.intValue); break;
      case PT_FLOAT: v.SetFloat(ExtendedToLongDouble(init.realValue)); break;
      case PT_BOOL: v.SetBool(init.flagValue != 0); break;
      case PT_STR: v.SetStr(init.strValue); break;
      default: break;
    }
  }
}

bool TProject::HasFile(const std::string& name) {
  TVrFileManager& files = Files();
  if (files.Exists(name)) return true;
  if (name.empty()) return false;
  const int32_t disk = folderDisks_.DiskOf(name);
  if (disk <= 0 || IsMediaExtension(name, file_.mediaExtensions)) return false;
  return files.AskForDisk(disk, Prompt(), MakeDiskRequest());
}

void TProject::Run() {
  if (engine_) engine_->Run();
}

void TProject::RequestSave(int32_t slot, std::string caption, std::string afterLoadPage, int32_t afterLoadPosition) {
  saveRequest_ = slot;
  saveCaption_ = std::move(caption);
  afterLoadPage_ = std::move(afterLoadPage);
  afterLoadPosition_ = afterLoadPosition;
}

bool TProject::AfterTick() {
  bool loaded = false;
  if (loadRequest_ >= 0) {
    const int32_t slot = loadRequest_;
    loadRequest_ = -1;
    if (host_.saveData != nullptr) host_.saveData->LoadGame(*this, slot);
    loaded = true;
  }
  if (saveRequest_ >= 0) {
    const int32_t slot = saveRequest_;
    saveRequest_ = -1;
    if (host_.saveData != nullptr) host_.saveData->SaveGame(*this, slot, saveCaption_, afterLoadPage_, afterLoadPosition_);
  }
  return loaded;
}

std::string TProject::SaveCaption(int32_t slot) const {
  for (const SavedGame& g : savedGames_) {
    if (g.slot == slot) return g.caption;
  }
  return std::string();
}

void TProject::SetSaveCaption(int32_t slot, const std::string& caption) {
  for (SavedGame& g : savedGames_) {
    if (g.slot == slot) {
      g.caption = caption;
      return;
    }
  }
  savedGames_.push_back({caption, slot});
}

void TProject::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  const bool abnormal = host_.abnormalEnd && host_.abnormalEnd();
  if (!abnormal && created_) {
    if (engine_ && !file_.exitPage.empty() && Files().Exists(file_.exitPage)) {
      engine_->Start(file_.exitPage);
      SetTerminated(false);
      engine_->Run();
      SetTerminated(true);
    }
    if (host_.saveData != nullptr && !fileBytes_.empty()) host_.saveData->SaveStatus(*this);
  }
  engine_.reset();
  savedGames_.clear();
  folderDisks_.Clear();
}

}  // namespace qubo
