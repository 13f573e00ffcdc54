#pragma once
// Lists the entries of a host folder into a string list, filtered by attribute and extension.
//
// Paths are host paths (UTF-8, '/' separators). The folder gets a trailing '/'; each entry is
// listed as folder + name, a folder with a trailing '/' when asked.
//
// The attribute bits are the ones stored data and callers use; Linux has only some of them:
//   kFaReadOnly  the owner may not write the entry (no owner write permission);
//   kFaHidden    the name begins with '.';
//   kFaSysFile, kFaVolumeId  never set;
//   kFaDirectory the entry is a folder (a symbolic link to a folder counts, but is never
//                descended into, so links cannot make the recursion loop);
//   kFaArchive   set on every regular file, as on a system that marks new and copied files.
// "Take plain files" asks for files with none of read-only, hidden, system, volume and folder;
// the archive bit is left out of that test because Linux keeps no such bit, so an ordinary
// file is found both by callers that ask for kFaArchive and by callers that take plain files.
//
// "Clear attributes" gives the owner write permission (read-only removed); a hidden name
// cannot lose its leading '.' without renaming the entry, so only the entry's attributes as
// tested here lose the hidden bit. Entries are listed in byte order of their names; with
// recursion a subfolder's entries follow right after the subfolder's own place in the list.

#include <cstdint>
#include <string>
#include <vector>

namespace qubo {

inline constexpr uint32_t kFaReadOnly = 0x01;
inline constexpr uint32_t kFaHidden = 0x02;
inline constexpr uint32_t kFaSysFile = 0x04;
inline constexpr uint32_t kFaVolumeId = 0x08;
inline constexpr uint32_t kFaDirectory = 0x10;
inline constexpr uint32_t kFaArchive = 0x20;

struct ListFilesOptions {
  uint32_t attributes = 0;      // bits asked for (kFa...)
  bool takePlainFiles = false;  // also list files with none of the attributes
  std::string extension;        // with the dot, compared ignoring ASCII case; empty: any
  bool clearAttributes = false;
  bool markFolders = false;  // a folder's path gets a trailing '/'
  bool recurse = false;      // subfolders are listed too, always with marked folders
  bool clearListFirst = false;
};

// Entries that cannot be read are skipped; a folder that does not exist lists nothing.
void ListFiles(const std::string& folder, const ListFilesOptions& options, std::vector<std::string>& list);

}  // namespace qubo
