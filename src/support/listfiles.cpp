#include "support/listfiles.h"

#include <algorithm>
#include <filesystem>

#include "support/sjis.h"

namespace fs = std::filesystem;

namespace qubo {

namespace {

// The extension with its dot: from the last '.' of the name ("" when there is none).
std::string_view Extension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
}

struct Entry {
  std::string name;
  bool folder = false;
  bool realFolder = false;  // a folder that is not a symbolic link
};

void ListOne(const std::string& folderIn, const ListFilesOptions& o, std::vector<std::string>& list) {
  std::string folder = folderIn;
  if (folder.empty() || folder.back() != '/') folder += '/';

  std::vector<Entry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    Entry e;
    e.name = it->path().filename().string();
    if (e.name == "." || e.name == "..") continue;
    std::error_code sec;
    const fs::file_status linkStatus = it->symlink_status(sec);
    const fs::file_status status = it->status(sec);
    e.folder = fs::is_directory(status);
    e.realFolder = e.folder && !fs::is_symlink(linkStatus);
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

  for (const Entry& e : entries) {
    const std::string path = folder + e.name;
    std::error_code sec;
    const fs::file_status status = fs::status(path, sec);
    uint32_t attr = 0;
    if (e.folder) attr |= kFaDirectory;
    if (fs::is_regular_file(status)) attr |= kFaArchive;
    if (!sec && (status.permissions() & fs::perms::owner_write) == fs::perms::none) attr |= kFaReadOnly;
    if (e.name[0] == '.') attr |= kFaHidden;
    if (o.clearAttributes) {
      if (attr & kFaReadOnly) fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, sec);
      attr &= ~(kFaReadOnly | kFaHidden);
    }

    bool take;
    if (e.folder) {
      take = (o.attributes & kFaDirectory) != 0;
    } else {
      constexpr uint32_t kNotPlain = kFaReadOnly | kFaHidden | kFaSysFile | kFaVolumeId | kFaDirectory;
      take = (attr & o.attributes) != 0 || (o.takePlainFiles && (attr & kNotPlain) == 0);
      if (take && !o.extension.empty()) take = sjis::EqualsNoCase(Extension(e.name), o.extension);
    }
    if (take) list.push_back(e.folder && o.markFolders ? path + '/' : path);
    if (o.recurse && e.realFolder) {
      ListFilesOptions sub = o;
      sub.markFolders = true;
      ListOne(path, sub, list);
    }
  }
}

}  // namespace

void ListFiles(const std::string& folder, const ListFilesOptions& options, std::vector<std::string>& list) {
  if (options.clearListFirst) list.clear();
  ListOne(folder, options, list);
}

}  // namespace qubo
