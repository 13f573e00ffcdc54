#pragma once
// The virtual file system: game files addressed by relative code-page-932 names (with
// backslashes), looked up in a base folder, then in the registered archives in order, then
// on the CD-ROM roots.
//
// TVrFileCollection is one archive (or a folder, or an in-memory collection such as a save
// file being built); TVrFile one member. TVrFileManager is the process-wide search order with
// the temporary copies handed to players that need a real file.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "storage/archive.h"
#include "storage/bigstreams.h"
#include "storage/diskprompt.h"
#include "support/hash.h"
#include "support/stream.h"

namespace qubo {

// "%s:ファイルがありません" with the name (code page 932).
std::string MissingFileMessage(std::string_view name);
extern const char* const kResourceMissing;     // リソースが見つかりません
extern const char* const kCannotMakeWorkFile;  // 作業用ファイルが作れません

class TVrFile : public THashCollectionItem {
 public:
  std::string DefaultDisplayName() const override { return "TVrFile"; }
  // Renaming a member tells its collection's name index.
  void SetName(const std::string& name) override;

  int64_t offset = 0;  // absolute position of the stored bytes in the archive
  int64_t size = 0;    // stored bytes
  uint8_t type = kStoreCompressed;
  int32_t time = 0;
  int32_t checksum = 0;
  uint8_t plainChecksum = 0;
  // True for a member read from the collection's archive index: its bytes are there.
  bool stored = false;
  // Member held in memory; takes precedence over the archive bytes.
  std::unique_ptr<TKoMemoryStream> data;

  ArchiveEntry Entry() const;
};

// Called while writing with the member index and count; answering false cancels.
using TVrProgress = std::function<bool(int index, int count)>;

class TVrFileCollection : public THashCollection {
 public:
  TVrFileCollection() { SetMode(1); }
  ~TVrFileCollection() override;

  // Opens an archive file (host path). A program carries its archive behind the trailer
  // (".exe"/".scr" always; other names when the last six bytes are a valid trailer and the
  // file does not begin with an index); a file with a ".ext" companion takes its index from
  // there. A name that is no file becomes the collection's folder, unless allowMissing,
  // which keeps the file's folder and leaves the collection empty (a save file not written
  // yet). FormatError for a damaged index.
  void OpenFile(const std::string& path, bool allowMissing = false);
  // Opens an archive stored as a resource (see ResourceSource). The module is remembered but
  // resources always come from the installed source on this platform.
  void OpenResource(const std::string& module, const std::string& name, const std::string& type);
  // Replaces the members by those of the index at index's position (offsets + base, checked
  // against dataSize).
  void LoadIndex(TStream& index, int64_t base, int64_t dataSize);

  int FileCount() const { return Count(); }
  // The base operations, keeping the name index honest.
  void Clear() {
    THashCollection::Clear();
    MarkStale();
  }
  void Delete(int i) {
    THashCollection::Delete(i);
    MarkStale();
  }
  TVrFile* File(int i) const { return ItemAs<TVrFile>(i); }
  // The newest member of that name (ASCII case ignored), or nullptr. Besides the hashed
  // chains (whose hash puts names like "cg\\ev001.brx" and "cg\\ev002.brx" into one bucket),
  // the collection keeps an exact index of lower-cased names, rebuilt when it goes stale.
  TVrFile* FindFile(std::string_view name) const;

  // The plain content of a member into dest (position 0). A missing member, or one without
  // any source of bytes, raises "%s:ファイルがありません".
  void ReadMember(TKoMemoryStream& dest, std::string_view name);
  // False when the member has neither data nor an archive to read from.
  bool ReadFile(const TVrFile& file, TKoMemoryStream& dest);
  // Streams a member's plain content into dest in 1 MiB pieces (compressed members inflate
  // as they go). False as ReadFile.
  bool CopyFileTo(const TVrFile& file, TStream& dest);
  // A read-only stream over a member's plain content (stored and scrambled members are read
  // in place; compressed ones are inflated into memory first). nullptr when missing.
  std::unique_ptr<TStream> OpenMemberRange(std::string_view name);

  // A member whose bytes come from the collection's folder when written.
  TVrFile* AddMember(const std::string& name);
  // A member holding a new empty memory stream (replacing its data when it exists).
  TVrFile* AddMemoryMember(const std::string& name);
  void DeleteMember(std::string_view name);

  // Writes the whole collection as an archive of the current version at out's position.
  // False when the progress callback cancelled.
  bool Write(TStream& out, bool scrambleAll);

  // Appends to list the names of members directly inside folder (code page 932, no trailing
  // backslash needed), skipping names whose file-name part is in the list already.
  void ListFolder(std::string_view folder, std::vector<std::string>& list) const;

  const std::string& Folder() const { return folder_; }      // host path, trailing '/'
  const std::string& FileName() const { return fileName_; }  // host path, may be empty
  TKoBigStream* Archive() const { return archive_.get(); }
  bool IsResource() const { return !resourceName_.empty(); }
  int32_t Version() const { return version_; }

  TVrProgress progress;
  // Told "エラー:" and the member's name when packing a member fails (the error then goes on).
  std::function<void(const std::string& message)> onWriteError;

 protected:
  std::unique_ptr<THashCollectionItem> NewItem() override { return std::make_unique<TVrFile>(); }

 private:
  friend class TVrFile;
  void Reset();
  void MarkStale() { indexedCount_ = -1; }
  // AddNamed keeping the name index current.
  TVrFile* AddNamedFile(const std::string& name);
  // A window onto the stored bytes of a member of the archive (plain or scrambled as
  // stored), opened on its own file handle when the archive is a file.
  std::unique_ptr<TStream> OpenStoredWindow(const TVrFile& file, bool ownHandle);

  std::string folder_;
  std::string fileName_;
  std::string resourceModule_, resourceName_, resourceType_;
  std::unique_ptr<TKoBigStream> archive_;
  int32_t version_ = kArchiveVersion;
  mutable std::unordered_map<std::string, TVrFile*> byName_;
  mutable int indexedCount_ = -1;  // Count() when byName_ was made; -1: stale
};

// The process-wide list of temporary files to delete (failures ignored).
void AddTemporaryFile(const std::string& path);
void DeleteTemporaryFiles();
size_t PendingTemporaryFiles();

class TVrFileManager {
 public:
  // cdRoots: host folders (trailing '/'); tempParent: where the private folder of the
  // temporary copies is made ("" = the system's temporary folder).
  explicit TVrFileManager(std::vector<std::string> cdRoots, std::string tempParent = std::string());
  // The CD-ROM roots of this machine.
  TVrFileManager();
  // Frees the locks and the collections, deletes the listed temporary files and the private
  // folder.
  ~TVrFileManager();
  TVrFileManager(const TVrFileManager&) = delete;
  TVrFileManager& operator=(const TVrFileManager&) = delete;

  // The one instance the host created, or nullptr.
  static TVrFileManager* Instance();
  static void SetInstance(TVrFileManager* manager);

  // Host path; a trailing '/' is added (empty stays empty). Tells the add listener.
  void SetBaseFolder(const std::string& folder);
  const std::string& BaseFolder() const { return baseFolder_; }

  int AddArchiveFile(const std::string& path);
  int AddResourceArchive(const std::string& module, const std::string& name, const std::string& type);
  // Appends a collection made elsewhere (an in-memory one, for example).
  int AddCollection(std::unique_ptr<TVrFileCollection> collection);
  void RemoveArchive(int index);
  void Clear();
  int Count() const { return static_cast<int>(collections_.size()); }
  TVrFileCollection* Collection(int i) const;

  bool Exists(std::string_view name);
  // Plain content into dest, position 0; "%s:ファイルがありません" when missing.
  void Read(TKoMemoryStream& dest, std::string_view name);
  // A read-only stream over the file's plain content; "%s:ファイルがありません" when missing.
  std::unique_ptr<TStream> OpenRange(std::string_view name);
  // A host path holding the content: the base folder's file, a temporary copy of a member
  // (shared by every caller until released), a CD-ROM root's file, else the name itself
  // (empty for a name that could leave its folder).
  std::string RealPath(std::string_view name);
  // Drops one use of the temporary copy of name; the last one queues the copy for deletion.
  void ReleasePath(std::string_view name);
  void ListFolder(std::string_view folder, std::vector<std::string>& list);
  TVrFile* FindMember(std::string_view name, TVrFileCollection** owner = nullptr);
  // Asks for disc d of a multi-disc game until it is inserted or the user quits.
  bool AskForDisk(int d, DiskPrompt& prompt, const DiskRequest& request);

  const std::vector<std::string>& CdRoots() const { return cdRoots_; }
  // The private folder of this process's temporary copies (created on first use).
  const std::string& TempFolder();
  int LockCount() const { return static_cast<int>(locks_.size()); }

  std::function<void(TVrFileCollection* added)> onAdded;  // nullptr: the base folder changed
  std::function<void(TVrFileCollection* removing)> onRemoving;

 private:
  struct Lock {
    int32_t id;
    std::string name;
    int32_t uses;
    std::string path;
  };
  std::string MakeTemporaryCopy(const TVrFile& file, TVrFileCollection& owner, std::string_view name);
  void FreeLock(size_t i);

  std::vector<std::unique_ptr<TVrFileCollection>> collections_;
  std::string baseFolder_;
  std::vector<std::string> cdRoots_;
  std::string tempParent_;
  std::string tempFolder_;
  std::vector<Lock> locks_;
};

// The extension a temporary copy of name gets: from the last component only, letters and
// digits, at most eight of them, with its dot; "" otherwise.
std::string TemporaryExtension(std::string_view name);

}  // namespace qubo
