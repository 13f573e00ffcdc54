#include "storage/vrfiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unordered_set>

#include <sys/stat.h>
#include <unistd.h>

#include "storage/cdroots.h"
#include "storage/folderresolve.h"
#include "storage/rangestreams.h"
#include "storage/zlibs.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {

const char* const kResourceMissing = "\x83\x8a\x83\x5c\x81\x5b\x83\x58\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
const char* const kCannotMakeWorkFile = "\x8d\xec\x8b\xc6\x97\x70\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8d\xec\x82\xea\x82\xdc\x82\xb9\x82\xf1";

std::string MissingFileMessage(std::string_view name) {
  // ":ファイルがありません"
  return std::string(name) + ":\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
}

namespace {

constexpr int64_t kCopyChunk = 1 << 20;

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string ParentFolder(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return WithSlash(parent.empty() ? "." : parent);
}

// Index of the last single-byte '\' of a code-page-932 name (npos when none).
size_t LastBackslash(std::string_view name) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < name.size(); i = sjis::Next(name, i)) {
    if (sjis::CharLen(name, i) == 1 && name[i] == '\\') last = i;
  }
  return last;
}

std::string_view DirectoryPart(std::string_view name) {
  const size_t at = LastBackslash(name);
  return at == std::string_view::npos ? std::string_view() : name.substr(0, at);
}

std::string_view FilePart(std::string_view name) {
  const size_t at = LastBackslash(name);
  return at == std::string_view::npos ? name : name.substr(at + 1);
}

// A game folder without its trailing backslash (a trail byte 0x5C is not one).
std::string_view TrimFolder(std::string_view folder) {
  while (!folder.empty()) {
    const size_t at = LastBackslash(folder);
    if (at == std::string_view::npos || at + 1 != folder.size()) break;
    folder.remove_suffix(1);
  }
  return folder;
}

void CopyChunks(TStream& source, TStream& dest) {
  std::vector<uint8_t> buffer(static_cast<size_t>(kCopyChunk));
  for (;;) {
    const int64_t got = source.Read(buffer.data(), kCopyChunk);
    if (got <= 0) break;
    dest.WriteBuffer(buffer.data(), got);
  }
}

std::unique_ptr<TStream> MemoryRange(std::vector<uint8_t> bytes) {
  return std::make_unique<TRangeStream>(std::make_unique<TKoMemoryStream>(std::move(bytes)), 0, 0);
}

// Adds names to list unless their file-name part is there already (ignoring case).
class FolderListing {
 public:
  explicit FolderListing(std::vector<std::string>& list) : list_(list) {
    for (const auto& n : list) seen_.insert(sjis::AsciiLower(FilePart(n)));
  }
  void Add(const std::string& name) {
    if (seen_.insert(sjis::AsciiLower(FilePart(name))).second) list_.push_back(name);
  }

 private:
  std::vector<std::string>& list_;
  std::unordered_set<std::string> seen_;
};

}  // namespace

// ---- TVrFile ----

ArchiveEntry TVrFile::Entry() const {
  ArchiveEntry e;
  e.name = Name();
  e.offset = offset;
  e.size = size;
  e.type = type;
  e.time = time;
  e.checksum = checksum;
  e.plainChecksum = plainChecksum;
  return e;
}

void TVrFile::SetName(const std::string& name) {
  THashCollectionItem::SetName(name);
  if (auto* c = dynamic_cast<TVrFileCollection*>(Collection())) c->MarkStale();
}

// ---- TVrFileCollection ----

TVrFile* TVrFileCollection::FindFile(std::string_view name) const {
  if (indexedCount_ != Count()) {
    byName_.clear();
    byName_.reserve(static_cast<size_t>(Count()));
    // Later members overwrite earlier ones: the newest of equal names wins, as in the chains.
    for (int i = 0; i < Count(); ++i) byName_[sjis::AsciiLower(File(i)->Name())] = File(i);
    indexedCount_ = Count();
  }
  const auto it = byName_.find(sjis::AsciiLower(name));
  return it == byName_.end() ? nullptr : it->second;
}

TVrFile* TVrFileCollection::AddNamedFile(const std::string& name) {
  const bool current = indexedCount_ == Count();
  auto* f = static_cast<TVrFile*>(AddNamed(name));
  if (current) {
    byName_[sjis::AsciiLower(name)] = f;
    indexedCount_ = Count();
  }
  return f;
}

TVrFileCollection::~TVrFileCollection() = default;

void TVrFileCollection::Reset() {
  Clear();
  MarkStale();
  archive_.reset();
  folder_.clear();
  fileName_.clear();
  resourceModule_.clear();
  resourceName_.clear();
  resourceType_.clear();
  version_ = kArchiveVersion;
}

void TVrFileCollection::OpenFile(const std::string& path, bool allowMissing) {
  Reset();
  fileName_ = path;
  const bool exists = IsRegularFile(path);
  folder_ = exists || allowMissing ? ParentFolder(path) : WithSlash(path);
  if (!exists) return;
  archive_ = std::make_unique<TKoBigFileStream>(path, TKoBigFileStream::Mode::OpenRead);
  const int64_t size = archive_->GetSize();
  if (size == 0) return;  // an empty file is an empty archive

  const std::optional<int64_t> trailer = ReadExecutableTrailer(*archive_);
  if (HasExecutableExtension(path)) {
    if (!trailer) throw FormatError(kArchiveDamaged);
    archive_->SetPosition(*trailer);
    LoadIndex(*archive_, *trailer, size - kTrailerSize);
    return;
  }

  // A separate index beside the file: the same name with the extension ".ext".
  const std::filesystem::path p(path);
  const std::string extName = p.stem().string() + ".ext";
  if (auto ext = FolderResolver::Instance().Resolve(folder_, HostNameToCp932(extName))) {
    TKoMemoryStream index;
    index.LoadFromFile(*ext);
    LoadIndex(index, 0, size);
    return;
  }

  uint8_t head[2] = {};
  archive_->SetPosition(0);
  const bool signed_ = archive_->Read(head, 2) == 2 && head[0] == 'v' && head[1] == 'f';
  if (!signed_ && trailer) {
    // A program of this platform with an appended archive (any name). Should the trailer be
    // a coincidence of the last bytes of a plain archive, read that instead.
    try {
      archive_->SetPosition(*trailer);
      LoadIndex(*archive_, *trailer, size - kTrailerSize);
      return;
    } catch (const FormatError&) {
    }
  }
  archive_->SetPosition(0);
  LoadIndex(*archive_, 0, size);
}

void TVrFileCollection::OpenResource(const std::string& module, const std::string& name, const std::string& type) {
  Reset();
  folder_ = ParentFolder(module);
  try {
    archive_ = std::make_unique<TKoBigResourceStream>(name, type);
  } catch (const StreamError&) {
    throw QuboError(kResourceMissing);
  }
  if (archive_->GetSize() == 0) {
    archive_.reset();
    throw QuboError(kResourceMissing);
  }
  resourceModule_ = module;
  resourceName_ = name;
  resourceType_ = type;
  archive_->SetPosition(0);
  LoadIndex(*archive_, 0, archive_->GetSize());
}

void TVrFileCollection::LoadIndex(TStream& index, int64_t base, int64_t dataSize) {
  Clear();
  ArchiveIndex idx = ReadArchiveIndex(index, base, dataSize);
  version_ = idx.version;
  for (auto& e : idx.entries) {
    auto* f = AddNamedFile(e.name);
    f->offset = e.offset;
    f->size = e.size;
    f->type = e.type;
    f->time = e.time;
    f->checksum = e.checksum;
    f->plainChecksum = e.plainChecksum;
    f->stored = true;
  }
}

void TVrFileCollection::ReadMember(TKoMemoryStream& dest, std::string_view name) {
  const TVrFile* f = FindFile(name);
  if (!f || !ReadFile(*f, dest)) throw QuboError(MissingFileMessage(name));
}

bool TVrFileCollection::ReadFile(const TVrFile& file, TKoMemoryStream& dest) {
  if (file.data) {
    dest.Assign(file.data->Bytes());
    return true;
  }
  if (!file.stored || !archive_) return false;
  ReadMemberData(*archive_, file.Entry(), dest);
  return true;
}

std::unique_ptr<TStream> TVrFileCollection::OpenStoredWindow(const TVrFile& file, bool ownHandle) {
  const bool scrambled = IsScrambledType(file.type);
  if (IsResource()) {
    if (scrambled) return std::make_unique<TResourceScrambleRangeStream>(resourceType_, file.size, file.offset, resourceName_);
    return std::make_unique<TResourceRangeStream>(resourceType_, file.size, file.offset, resourceName_);
  }
  if (ownHandle) {
    if (scrambled) return std::make_unique<TFileScrambleRangeStream>(fileName_, file.size, file.offset);
    return std::make_unique<TFileRangeStream>(fileName_, file.size, file.offset);
  }
  if (scrambled) return std::make_unique<TScrambleRangeStream>(*archive_, file.size, file.offset);
  return std::make_unique<TRangeStream>(*archive_, file.size, file.offset);
}

bool TVrFileCollection::CopyFileTo(const TVrFile& file, TStream& dest) {
  if (file.data) {
    dest.WriteBuffer(file.data->Memory(), file.data->GetSize());
    return true;
  }
  if (!file.stored || !archive_) return false;
  if (file.type > kStoreCompressedScrambled) throw FormatError(kArchiveDamaged);
  if (file.size <= 0) return true;
  auto window = OpenStoredWindow(file, false);
  if (IsCompressedType(file.type)) {
    DecompressTo(*window, dest, InflateBound(file.size));
  } else {
    CopyChunks(*window, dest);
  }
  return true;
}

std::unique_ptr<TStream> TVrFileCollection::OpenMemberRange(std::string_view name) {
  const TVrFile* f = FindFile(name);
  if (!f) return nullptr;
  if (f->data) return MemoryRange(f->data->Bytes());
  if (!f->stored || !archive_) return nullptr;
  if (f->size <= 0 || IsCompressedType(f->type) || f->type > kStoreCompressedScrambled) {
    // A window of size 0 would mean "to the end of the archive", and compressed bytes are
    // not the content: hand out the decoded content instead.
    TKoMemoryStream plain;
    ReadFile(*f, plain);
    return MemoryRange(std::move(plain.Bytes()));
  }
  return OpenStoredWindow(*f, true);
}

TVrFile* TVrFileCollection::AddMember(const std::string& name) {
  if (TVrFile* f = FindFile(name)) return f;
  return AddNamedFile(name);
}

TVrFile* TVrFileCollection::AddMemoryMember(const std::string& name) {
  TVrFile* f = FindFile(name);
  if (!f) f = AddNamedFile(name);
  f->data = std::make_unique<TKoMemoryStream>();
  return f;
}

void TVrFileCollection::DeleteMember(std::string_view name) {
  const TVrFile* f = FindFile(name);
  if (!f) return;
  Delete(f->CachedIndex());
}

void TVrFileCollection::ListFolder(std::string_view folder, std::vector<std::string>& list) const {
  folder = TrimFolder(folder);
  FolderListing listing(list);
  for (int i = 0; i < Count(); ++i) {
    const std::string& name = File(i)->Name();
    if (sjis::EqualsNoCase(DirectoryPart(name), folder)) listing.Add(name);
  }
}

// ---- temporary files ----

namespace {

std::mutex g_tempLock;
std::vector<std::string>& TempList() {
  static std::vector<std::string> list;
  return list;
}

TVrFileManager* g_manager = nullptr;

}  // namespace

void AddTemporaryFile(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_tempLock);
  TempList().push_back(path);
}

void DeleteTemporaryFiles() {
  std::vector<std::string> list;
  {
    std::lock_guard<std::mutex> guard(g_tempLock);
    list.swap(TempList());
  }
  for (const auto& path : list) ::unlink(path.c_str());
}

size_t PendingTemporaryFiles() {
  std::lock_guard<std::mutex> guard(g_tempLock);
  return TempList().size();
}

std::string TemporaryExtension(std::string_view name) {
  std::string_view last = FilePart(name);
  const size_t slash = last.find_last_of('/');
  if (slash != std::string_view::npos) last = last.substr(slash + 1);
  const size_t dot = last.find_last_of('.');
  if (dot == std::string_view::npos) return std::string();
  const std::string_view ext = last.substr(dot + 1);
  if (ext.empty() || ext.size() > 8) return std::string();
  for (char c : ext) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!ok) return std::string();
  }
  return "." + std::string(ext);
}

// ---- TVrFileManager ----

TVrFileManager::TVrFileManager(std::vector<std::string> cdRoots, std::string tempParent)
    : cdRoots_(std::move(cdRoots)), tempParent_(std::move(tempParent)) {
  for (auto& r : cdRoots_) r = WithSlash(r);
}

TVrFileManager::TVrFileManager() : TVrFileManager(SystemCdRoots()) {}

TVrFileManager::~TVrFileManager() {
  for (const auto& l : locks_) AddTemporaryFile(l.path);
  locks_.clear();
  collections_.clear();
  DeleteTemporaryFiles();
  if (!tempFolder_.empty()) ::rmdir(tempFolder_.c_str());
  if (g_manager == this) g_manager = nullptr;
}

TVrFileManager* TVrFileManager::Instance() { return g_manager; }
void TVrFileManager::SetInstance(TVrFileManager* manager) { g_manager = manager; }

void TVrFileManager::SetBaseFolder(const std::string& folder) {
  baseFolder_ = WithSlash(folder);
  if (onAdded) onAdded(nullptr);
}

int TVrFileManager::AddCollection(std::unique_ptr<TVrFileCollection> collection) {
  collections_.push_back(std::move(collection));
  if (onAdded) onAdded(collections_.back().get());
  return Count() - 1;
}

int TVrFileManager::AddArchiveFile(const std::string& path) {
  auto c = std::make_unique<TVrFileCollection>();
  c->OpenFile(path);
  return AddCollection(std::move(c));
}

int TVrFileManager::AddResourceArchive(const std::string& module, const std::string& name, const std::string& type) {
  auto c = std::make_unique<TVrFileCollection>();
  c->OpenResource(module, name, type);
  return AddCollection(std::move(c));
}

void TVrFileManager::RemoveArchive(int index) {
  if (index < 0 || index >= Count()) return;
  if (onRemoving) onRemoving(collections_[static_cast<size_t>(index)].get());
  collections_.erase(collections_.begin() + index);
}

void TVrFileManager::Clear() {
  while (Count() > 0) RemoveArchive(Count() - 1);
}

TVrFileCollection* TVrFileManager::Collection(int i) const {
  return i >= 0 && i < Count() ? collections_[static_cast<size_t>(i)].get() : nullptr;
}

TVrFile* TVrFileManager::FindMember(std::string_view name, TVrFileCollection** owner) {
  for (const auto& c : collections_) {
    if (TVrFile* f = c->FindFile(name)) {
      if (owner) *owner = c.get();
      return f;
    }
  }
  return nullptr;
}

bool TVrFileManager::Exists(std::string_view name) {
  if (name.empty()) return false;
  if (FindMember(name)) return true;
  auto& resolver = FolderResolver::Instance();
  if (resolver.Resolve(baseFolder_, name)) return true;
  for (const auto& root : cdRoots_) {
    if (resolver.Resolve(root, name)) return true;
  }
  return false;
}

void TVrFileManager::Read(TKoMemoryStream& dest, std::string_view name) {
  auto& resolver = FolderResolver::Instance();
  if (!name.empty()) {
    if (auto path = resolver.Resolve(baseFolder_, name)) {
      dest.LoadFromFile(*path);
      return;
    }
    for (const auto& c : collections_) {
      const TVrFile* f = c->FindFile(name);
      if (f && c->ReadFile(*f, dest)) return;
    }
    for (const auto& root : cdRoots_) {
      if (auto path = resolver.Resolve(root, name)) {
        dest.LoadFromFile(*path);
        return;
      }
    }
  }
  throw QuboError(MissingFileMessage(name));
}

std::unique_ptr<TStream> TVrFileManager::OpenRange(std::string_view name) {
  auto& resolver = FolderResolver::Instance();
  if (!name.empty()) {
    if (auto path = resolver.Resolve(baseFolder_, name)) return std::make_unique<TFileRangeStream>(*path, 0, 0);
    for (const auto& c : collections_) {
      if (auto range = c->OpenMemberRange(name)) return range;
    }
    for (const auto& root : cdRoots_) {
      if (auto path = resolver.Resolve(root, name)) return std::make_unique<TFileRangeStream>(*path, 0, 0);
    }
  }
  throw QuboError(MissingFileMessage(name));
}

const std::string& TVrFileManager::TempFolder() {
  if (!tempFolder_.empty()) return tempFolder_;
  std::string parent = tempParent_;
  if (parent.empty()) {
    const char* env = std::getenv("TMPDIR");
    parent = env && *env ? env : "/tmp";
  }
  std::string pattern = WithSlash(parent) + "quboplay-XXXXXX";
  // mkdtemp makes the folder readable by this user only.
  if (!::mkdtemp(pattern.data())) throw QuboError(kCannotMakeWorkFile);
  tempFolder_ = WithSlash(pattern);
  return tempFolder_;
}

std::string TVrFileManager::MakeTemporaryCopy(const TVrFile& file, TVrFileCollection& owner, std::string_view name) {
  int32_t id = 0;
  while (std::any_of(locks_.begin(), locks_.end(), [&](const Lock& l) { return l.id == id; })) ++id;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%.8X", static_cast<unsigned>(id));
  const std::string path = TempFolder() + "~qb" + hex + TemporaryExtension(name);
  if (IsRegularFile(path)) ::chmod(path.c_str(), 0600);
  bool copied = false;
  try {
    std::unique_ptr<TFileStream> out;
    try {
      out = std::make_unique<TFileStream>(path, TFileStream::Mode::Create);
    } catch (const StreamError&) {
      throw QuboError(kCannotMakeWorkFile);
    }
    copied = owner.CopyFileTo(file, *out);
  } catch (...) {
    ::unlink(path.c_str());
    throw;
  }
  if (!copied) {
    ::unlink(path.c_str());
    return std::string();
  }
  // Only a complete copy is registered.
  locks_.push_back({id, std::string(name), 1, path});
  return path;
}

std::string TVrFileManager::RealPath(std::string_view name) {
  auto& resolver = FolderResolver::Instance();
  if (auto path = resolver.Resolve(baseFolder_, name)) return *path;
  for (auto& l : locks_) {
    if (sjis::EqualsNoCase(l.name, name)) {
      ++l.uses;
      return l.path;
    }
  }
  for (const auto& c : collections_) {
    const TVrFile* f = c->FindFile(name);
    if (!f) continue;
    std::string path = MakeTemporaryCopy(*f, *c, name);
    if (!path.empty()) return path;
  }
  for (const auto& root : cdRoots_) {
    if (auto path = resolver.Resolve(root, name)) return *path;
  }
  std::vector<std::string> parts;
  return SplitGameName(name, parts) ? Cp932ToHostName(name) : std::string();
}

void TVrFileManager::FreeLock(size_t i) {
  AddTemporaryFile(locks_[i].path);
  locks_.erase(locks_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TVrFileManager::ReleasePath(std::string_view name) {
  for (size_t i = 0; i < locks_.size(); ++i) {
    if (!sjis::EqualsNoCase(locks_[i].name, name)) continue;
    if (--locks_[i].uses <= 0) FreeLock(i);
    return;
  }
}

void TVrFileManager::ListFolder(std::string_view folder, std::vector<std::string>& list) {
  folder = TrimFolder(folder);
  for (const auto& c : collections_) c->ListFolder(folder, list);
  FolderListing listing(list);
  auto addFrom = [&](const std::string& root) {
    if (root.empty()) return;
    for (const auto& file : FolderResolver::Instance().ListFiles(root, folder)) {
      listing.Add(folder.empty() ? file : std::string(folder) + "\\" + file);
    }
  };
  addFrom(baseFolder_);
  for (const auto& root : cdRoots_) addFrom(root);
}

bool TVrFileManager::AskForDisk(int d, DiskPrompt& prompt, const DiskRequest& request) {
  auto startsWithNoCase = [](const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && sjis::EqualsNoCase(s.substr(0, prefix.size()), prefix);
  };
  for (int i = Count() - 1; i >= 0; --i) {
    const std::string& folder = collections_[static_cast<size_t>(i)]->Folder();
    if (std::any_of(cdRoots_.begin(), cdRoots_.end(), [&](const std::string& r) { return startsWithNoCase(folder, r); })) {
      RemoveArchive(i);
    }
  }
  // The message comes from the project: only its first "%d" is filled in, nothing else in it
  // is taken as a format.
  std::string message = request.diskMessage;
  for (size_t at = sjis::FindChar(message, '%'); at != std::string::npos; at = sjis::FindChar(message, '%', at + 1)) {
    if (at + 1 < message.size() && message[at + 1] == 'd') {
      message.replace(at, 2, std::to_string(d));
      break;
    }
  }
  auto& resolver = FolderResolver::Instance();
  for (;;) {
    if (prompt.Ask(request.title, message)) {
      bool added = false;
      for (const auto& root : cdRoots_) {
        const auto game = resolver.Resolve(root, "game.dat");
        const auto install = resolver.Resolve(root, "install.dat");
        if (!game || !install) continue;
        const auto id = prompt.ReadInstall(*install);
        if (!id || id->projectName != request.title || id->discIndex != d - 1) continue;
        AddArchiveFile(*game);
        added = true;
      }
      if (added) return true;
    } else if (prompt.Ask(request.title, request.quitMessage)) {
      prompt.Quit();
      return false;
    }
  }
}

}  // namespace qubo
