#pragma once
// TProject: the game as a whole. It locates the game data (an installed folder, game.dat
// archives, discs), reads qubo.qpb, restores the persistent status data, declares the
// project's initial variables, owns the engine and starts the first page; it answers whether
// a game file is available (asking for another disc when needed), carries out save and load
// requests after each tick, and at shutdown runs the exit page and writes the status data.
//
// Everything it needs from outside comes through TProjectHost: the dialogs of the platform,
// the file system, the variable table, the engine (through TProjectEngine) and the saved
// data (through TProjectSaveData).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "script/installset.h"
#include "script/projectfile.h"
#include "script/savepath.h"
#include "storage/diskprompt.h"
#include "support/stream.h"

namespace qubo {

class TParamCollection;
class TProject;
class TVrFileCollection;
class TVrFileManager;

// What the project needs of the execution engine.
class TProjectEngine {
 public:
  virtual ~TProjectEngine() = default;
  // Makes page the current page from its start.
  virtual void Start(const std::string& page) = 0;
  // Executes commands until one waits.
  virtual void Run() = 0;
};

// The saved data the project drives: the status record and the game saves.
class TProjectSaveData {
 public:
  virtual ~TProjectSaveData() = default;
  // Reads the status record found in the save file at start-up; stream is positioned after
  // the record's prefix, version is the prefix's (0 without one).
  virtual void LoadStatus(TProject& project, TStream& stream, int32_t version) = 0;
  // Writes the status data (at shutdown).
  virtual void SaveStatus(TProject& project) = 0;
  virtual void LoadGame(TProject& project, int32_t slot) = 0;
  virtual void SaveGame(TProject& project, int32_t slot, const std::string& caption, const std::string& afterLoadPage,
                        int32_t afterLoadPosition) = 0;
  // Fills the project's saved-games list from the save file (SetSaveCaption).
  virtual void BuildSaveList(TProject& project) = 0;
};

struct TProjectHost {
  platform::Dialogs* dialogs = nullptr;  // required: every start-up message goes here
  TVrFileManager* files = nullptr;       // nullptr: TVrFileManager::Instance()
  TParamCollection* vars = nullptr;      // nullptr: no initial variables are made
  // Command-line arguments after the program's name. With a first argument other than
  // "/config" the host has set the data folder itself and no install record is looked for.
  std::vector<std::string> args;
  std::string programFolder;  // host folder of the program (where install.dat and game.dat may lie)
  SaveEnvLookup env;          // nullptr: the process environment
  DiskPrompt* diskPrompt = nullptr;  // nullptr: message boxes through dialogs
  TProjectSaveData* saveData = nullptr;
  // Makes the engine; nullptr: the project runs without one.
  std::function<std::unique_ptr<TProjectEngine>(TProject&)> makeEngine;
  // The application title and the main window's caption (code page 932).
  std::function<void(const std::string&)> setTitle;
  // The terminated flag: once set the host closes the program.
  std::function<void(bool)> setTerminated;
  // The abnormal-end flag: set when a loaded game failed; the exit page and status save are
  // then skipped.
  std::function<bool()> abnormalEnd;
  // Asks the main window to close.
  std::function<void()> requestClose;
};

class TProject {
 public:
  // How the start-up ended.
  enum class StartResult {
    Started,     // the engine runs the start page
    Terminated,  // a message was shown and the terminated flag set
  };

  explicit TProject(TProjectHost host);
  ~TProject();
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // The one project the host made, or nullptr.
  static TProject* Instance();
  static void SetInstance(TProject* project);

  // The save folder chosen by the user (host path); takes effect when set before Create.
  void SetSaveDir(std::string folder) { saveDir_ = std::move(folder); }

  // The start-up sequence. Every way it can stop shows a message through the dialogs and
  // sets the terminated flag.
  StartResult Create();
  // The shutdown sequence (once; the destructor calls it when it was not called).
  void Destroy();

  // True when the file system has the file; for a file of another disc whose extension is
  // not a media extension, asks for that disc and answers whether it came.
  bool HasFile(const std::string& name);
  void Run();
  // Carries out the pending load and save requests; true when a game was loaded.
  bool AfterTick();

  // The save file's host path (computed once: needs the project file read).
  const std::string& SavePath();
  std::string SaveCaption(int32_t slot) const;
  void SetSaveCaption(int32_t slot, const std::string& caption);
  struct SavedGame {
    std::string caption;
    int32_t slot = 0;
  };
  const std::vector<SavedGame>& SavedGames() const { return savedGames_; }
  void ClearSavedGames() { savedGames_.clear(); }

  // Requests of GameLoad and GameSave.
  void RequestLoad(int32_t slot) { loadRequest_ = slot; }
  void RequestSave(int32_t slot, std::string caption, std::string afterLoadPage, int32_t afterLoadPosition);
  int32_t LoadRequest() const { return loadRequest_; }
  int32_t SaveRequest() const { return saveRequest_; }

  const TProjectFile& File() const { return file_; }
  const std::vector<uint8_t>& FileBytes() const { return fileBytes_; }
  const std::string& Title() const { return file_.title; }
  const TFolderDiskList& FolderDisks() const { return folderDisks_; }
  int32_t ScreenCenterX() const { return file_.screenWidth / 2; }
  int32_t ScreenCenterY() const { return file_.screenHeight / 2; }
  TProjectEngine* Engine() const { return engine_.get(); }
  bool Terminated() const { return terminated_; }
  TProjectHost& Host() { return host_; }
  TVrFileManager& Files() const;

  // The disc request in the project's wording.
  DiskRequest MakeDiskRequest() const;

 private:
  class DialogDiskPrompt;

  StartResult CreateSteps();
  StartResult Terminate(const std::string& caption, const std::string& text, platform::MsgIcon icon);
  void SetTerminated(bool on);
  platform::MsgButton Show(const std::string& caption, const std::string& text, platform::MsgButtons buttons,
                           platform::MsgIcon icon);
  bool LocateGameData();
  bool FirstDiscPresent();
  void ReadSaveFile();
  void DeclareInitialVars();
  TVrFileCollection& MemoryCollection();
  DiskPrompt& Prompt();

  TProjectHost host_;
  std::unique_ptr<DiskPrompt> ownPrompt_;
  TProjectFile file_;
  std::vector<uint8_t> fileBytes_;
  TFolderDiskList folderDisks_;
  std::unique_ptr<TProjectEngine> engine_;
  std::string saveDir_;
  std::string savePath_;
  bool savePathKnown_ = false;
  bool terminated_ = false;
  bool created_ = false;
  bool destroyed_ = false;

  int32_t loadRequest_ = -1;
  int32_t saveRequest_ = -1;
  std::string saveCaption_;
  std::string afterLoadPage_;
  int32_t afterLoadPosition_ = 0;
  std::vector<SavedGame> savedGames_;
};

// Reads the install record at a host path; nullopt when it cannot be read.
std::optional<TQuboInstallSet> ReadInstallFile(const std::string& hostPath);

// The extension rule of HasFile: true when name's extension (lower-cased, with a dot before
// and after it) occurs in the media extension list (lower-cased, a dot appended; a missing
// leading dot is supplied).
bool IsMediaExtension(std::string_view name, std::string_view mediaExtensions);

}  // namespace qubo
