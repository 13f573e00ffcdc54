#include "storage/folderresolve.h"

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

#include "support/encoding.h"
#include "support/sjis.h"

namespace qubo {
namespace {

std::string JoinHost(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool SplitGameName(std::string_view name, std::vector<std::string>& parts) {
  parts.clear();
  if (name.empty()) return false;
  // Rooted ("\x", "/x", "\\server") and drive ("C:...") names are refused outright.
  if (name[0] == '\\' || name[0] == '/') return false;
  std::string current;
  auto flush = [&]() -> bool {
    if (current == "..") return false;
    if (!current.empty() && current != ".") parts.push_back(current);
    current.clear();
    return true;
  };
  for (size_t i = 0; i < name.size();) {
    const size_t n = sjis::CharLen(name, i);
    if (n == 1) {
      const char c = name[i];
      if (c == '\0' || c == ':') return false;
      if (c == '\\' || c == '/') {
        if (!flush()) return false;
        ++i;
        continue;
      }
    }
    current.append(name.substr(i, n));
    i += n;
  }
  if (!flush()) return false;
  return !parts.empty();
}

std::string HostNameToCp932(std::string_view hostName) {
  bool ascii = std::all_of(hostName.begin(), hostName.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  if (ascii) return std::string(hostName);
  if (auto converted = Utf8ToCp932(hostName)) return *converted;
  return std::string(hostName);
}

std::string Cp932ToHostName(std::string_view cp932) {
  bool ascii = std::all_of(cp932.begin(), cp932.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  if (ascii) return std::string(cp932);
  const std::string utf8 = Cp932ToUtf8(cp932);
  // Text that is not code page 932 would come back with replacement characters: keep it raw.
  if (Utf8ToCp932(utf8).value_or(std::string()) != cp932) return std::string(cp932);
  return utf8;
}

FolderResolver& FolderResolver::Instance() {
  static FolderResolver resolver;
  return resolver;
}

void FolderResolver::Invalidate() {
  std::lock_guard<std::mutex> guard(lock_);
  cache_.clear();
}

const FolderResolver::Listing* FolderResolver::List(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    cache_.erase(dir);
    return nullptr;
  }
  Listing& l = cache_[dir];
  if (l.mtimeSec == st.st_mtim.tv_sec && l.mtimeNsec == st.st_mtim.tv_nsec && l.inode == st.st_ino) return &l;
  l.byKey.clear();
  l.mtimeSec = st.st_mtim.tv_sec;
  l.mtimeNsec = st.st_mtim.tv_nsec;
  l.inode = st.st_ino;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      // A name can be found under its converted form and under its raw bytes.
      const std::string converted = HostNameToCp932(name);
      l.byKey[sjis::AsciiLower(converted)].push_back(name);
      if (converted != name) l.byKey[sjis::AsciiLower(name)].push_back(name);
    }
    ::closedir(d);
  }
  for (auto& [key, names] : l.byKey) std::sort(names.begin(), names.end());
  return &l;
}

std::optional<std::string> FolderResolver::Match(const std::string& dir, const std::string& component) {
  const Listing* l = List(dir);
  if (!l) return std::nullopt;
  const auto it = l->byKey.find(sjis::AsciiLower(component));
  if (it == l->byKey.end()) return std::nullopt;
  // Of several names equal but for letter case, the one spelled exactly like the request.
  for (const auto& name : it->second) {
    if (HostNameToCp932(name) == component || name == component) return name;
  }
  return it->second.front();
}

std::optional<std::string> FolderResolver::Resolve(const std::string& folder, std::string_view gameName,
                                                   bool wantFolder) {
  std::vector<std::string> parts;
  if (folder.empty() || !SplitGameName(gameName, parts)) return std::nullopt;
  std::lock_guard<std::mutex> guard(lock_);
  std::string path = folder;
  for (const auto& part : parts) {
    const auto name = Match(path, part);
    if (!name) return std::nullopt;
    path = JoinHost(path, *name);
  }
  if (wantFolder ? !IsFolder(path) : !IsRegularFile(path)) return std::nullopt;
  return path;
}

std::optional<std::string> FolderResolver::PathForWrite(const std::string& folder, std::string_view gameName) {
  std::vector<std::string> parts;
  if (folder.empty() || !SplitGameName(gameName, parts)) return std::nullopt;
  std::lock_guard<std::mutex> guard(lock_);
  std::string path = folder;
  bool existing = true;
  for (const auto& part : parts) {
    std::optional<std::string> name;
    if (existing) name = Match(path, part);
    if (!name) {
      existing = false;
      name = Cp932ToHostName(part);
    }
    path = JoinHost(path, *name);
  }
  return path;
}

std::vector<std::string> FolderResolver::ListFiles(const std::string& folder, std::string_view gameFolder) {
  std::string dir = folder;
  if (!gameFolder.empty()) {
    const auto resolved = Resolve(folder, gameFolder, true);
    if (!resolved) return {};
    dir = *resolved;
  }
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> names;
  const Listing* l = List(dir);
  if (!l) return names;
  for (const auto& [key, hostNames] : l->byKey) {
    for (const auto& host : hostNames) {
      const std::string cp = HostNameToCp932(host);
      // Each entry appears under its converted key; skip the raw-byte duplicates.
      if (sjis::AsciiLower(cp) != key) continue;
      if (IsRegularFile(JoinHost(dir, host))) names.push_back(cp);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qubo
