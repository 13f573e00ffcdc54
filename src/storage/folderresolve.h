#pragma once
// Finding game files in real folders.
//
// Game names are relative paths in code page 932 with backslashes ("bgm\Title.ogg"). On disk
// the same file may be named in any letter case, and its name may be stored as code-page-932
// bytes or (for games unpacked with converted names) as UTF-8. The resolver maps a game name
// to the host path of an existing entry, one component at a time, comparing without regard
// to ASCII letter case and accepting either encoding. Folder listings are cached and
// re-read when a folder's modification time changes.
//
// A name never leads out of the folder it is resolved in: rooted names, drive names,
// ".." components and names with ':' or NUL bytes resolve to nothing.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qubo {

// The components of a game name ('\\' or '/' separated, code-page-932 aware; empty and "."
// components dropped). False when the name could leave its folder (see above) or is empty.
bool SplitGameName(std::string_view name, std::vector<std::string>& parts);

// A host file name (UTF-8 or raw bytes) as code page 932: UTF-8 that converts is converted,
// anything else is taken as code-page-932 bytes already.
std::string HostNameToCp932(std::string_view hostName);
// A code-page-932 name as a host name (UTF-8; bytes that do not convert are kept as they are).
std::string Cp932ToHostName(std::string_view cp932);

class FolderResolver {
 public:
  // The process-wide resolver every folder lookup goes through.
  static FolderResolver& Instance();

  // The host path of the existing regular file (or, with wantFolder, folder) that the game
  // name names under folder (a host path); nullopt when there is none.
  std::optional<std::string> Resolve(const std::string& folder, std::string_view gameName, bool wantFolder = false);
  // A host path for writing the game name under folder: existing folders and an existing
  // file are matched as Resolve does, missing parts are converted to UTF-8. nullopt when the
  // name could leave the folder.
  std::optional<std::string> PathForWrite(const std::string& folder, std::string_view gameName);
  // Code-page-932 names of the regular files directly inside the game folder under folder
  // (gameFolder may be empty: folder itself), sorted.
  std::vector<std::string> ListFiles(const std::string& folder, std::string_view gameFolder);

  // Forgets every cached listing.
  void Invalidate();

 private:
  struct Listing {
    int64_t mtimeSec = -1;
    int64_t mtimeNsec = -1;
    uint64_t inode = 0;
    // Lower-cased code-page-932 key -> host names (sorted).
    std::map<std::string, std::vector<std::string>> byKey;
  };
  // The cached listing of a host folder, refreshed when stale; nullptr when not a folder.
  const Listing* List(const std::string& dir);
  // The host name in dir matching one component, or nullopt.
  std::optional<std::string> Match(const std::string& dir, const std::string& component);

  std::mutex lock_;
  std::map<std::string, Listing> cache_;
};

}  // namespace qubo
