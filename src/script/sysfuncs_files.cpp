// Built-in functions on files: game files through the virtual file system, file-name texts,
// screen snapshots, the file and folder dialogs, copies of game files to the user's disk and
// copies between memory files.
//
// Nothing here writes outside the folder it is meant for: names are resolved under their
// folder with FolderResolver::PathForWrite, which refuses rooted and drive names, ".."
// components and ':' in any form; a destination that could leave its folder is refused.

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "script/paramcollection.h"
#include "script/scripthost.h"
#include "script/sysfuncfamilies.h"
#include "script/sysfuncman.h"
#include "storage/folderresolve.h"
#include "storage/vrfiles.h"
#include "support/errors.h"
#include "support/sjis.h"
#include "support/stream.h"

namespace qubo {
namespace {

using sysfunc::ArgPtr;
using sysfunc::BoolArg;
using sysfunc::IntArg;
using sysfunc::StrArg;

namespace fs = std::filesystem;

enum : int {
  kFileExists = 71,
  kLoadTextFile = 72,
  kExtractFilePath = 75,
  kExtractFileName = 76,
  kExtractFileExt = 77,
  kIsPathDelimiter = 78,
  kAddBackSlash = 79,
  kChangeFileExt = 80,
  kIsDelimiter = 81,
  kSaveScreen = 137,
  kSelectOpenFile = 148,
  kSelectSaveFile = 149,
  kSelectDirectory = 150,
  kExtractFile = 151,
  kCopyFile = 158,
};

// 既に同名のファイルが存在します。上書きしますか？
const char* const kMsgOverwrite =
    "\x8A\xF9\x82\xC9\x93\xAF\x96\xBC\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB5"
    "\x82\xDC\x82\xB7\x81\x42\x8F\xE3\x8F\x91\x82\xAB\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
// 確認
const char* const kCaptionConfirm = "\x8A\x6D\x94\x46";


bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && sjis::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}
bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && sjis::EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}
bool IsMemoryName(std::string_view name) { return StartsWithNoCase(name, "mem:") || StartsWithNoCase(name, "save:"); }
bool IsSaveName(std::string_view name) { return StartsWithNoCase(name, "save:"); }

// ---- File-name texts (character-aware: a trail byte may be '\\')

// Byte index of the last single-byte character of s that occurs in delims; npos when none.
size_t LastDelimiter(std::string_view s, std::string_view delims) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i = sjis::Next(s, i)) {
    if (sjis::CharLen(s, i) == 1 && delims.find(s[i]) != std::string_view::npos) found = i;
  }
  return found;
}

// Whether the 1-based byte position pos of s starts a single-byte character.
bool SingleByteAt(std::string_view s, int32_t pos) {
  if (pos < 1 || static_cast<size_t>(pos) > s.size()) return false;
  const size_t at = static_cast<size_t>(pos - 1);
  size_t i = 0;
  while (i < at) i = sjis::Next(s, i);
  return i == at && sjis::CharLen(s, i) == 1;
}

std::string ExtractFilePath(const std::string& s) {
  const size_t p = LastDelimiter(s, "\\:");
  return p == std::string::npos ? std::string() : s.substr(0, p + 1);
}
std::string ExtractFileName(const std::string& s) {
  const size_t p = LastDelimiter(s, "\\:");
  return p == std::string::npos ? s : s.substr(p + 1);
}
std::string ExtractFileExt(const std::string& s) {
  const size_t p = LastDelimiter(s, ".\\:");
  return p != std::string::npos && s[p] == '.' ? s.substr(p) : std::string();
}
std::string ChangeFileExt(const std::string& s, const std::string& ext) {
  size_t p = LastDelimiter(s, ".\\:");
  if (p == std::string::npos || s[p] != '.') p = s.size();
  return s.substr(0, p) + ext;
}
bool IsPathDelimiter(const std::string& s, int32_t pos) { return SingleByteAt(s, pos) && s[static_cast<size_t>(pos - 1)] == '\\'; }
bool IsDelimiter(const std::string& delims, const std::string& s, int32_t pos) {
  return SingleByteAt(s, pos) && sjis::FindChar(delims, s[static_cast<size_t>(pos - 1)]) != std::string::npos;
}
std::string AddBackSlash(const std::string& s) {
  return IsPathDelimiter(s, static_cast<int32_t>(s.size())) ? s : s + "\\";
}

// A host path as the script sees paths: code page 932 with '\\' separators.
std::string HostToScriptPath(const std::string& host) {
  std::string s = HostNameToCp932(host);
  for (size_t i = 0; i < s.size(); i = sjis::Next(s, i)) {
    if (sjis::CharLen(s, i) == 1 && s[i] == '/') s[i] = '\\';
  }
  return s;
}

// Lines of a text: broken at CR, LF or CR LF; a break at the very end gives no empty line.
std::vector<std::string> SplitLines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool pending = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char ch = static_cast<char>(bytes[i]);
    if (ch == '\r' || ch == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      pending = false;
      if (ch == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line.push_back(ch);
      pending = true;
    }
  }
  if (pending) lines.push_back(std::move(line));
  return lines;
}

// Makes a variable (written by name, so it may arrive as a reference, whose scalar setters
// write one element) a scalar holding the empty string.
void MakeEmptyString(TCustomParam& var) {
  var.SetDims({1});
  var.MakeScalar();
  var.SetStrAt(0, std::string());
}

// Writes lines into the variable: dimensions [n] and one string per element, or the empty
// string when there are none.
void StoreLines(TCustomParam& var, const std::vector<std::string>& lines) {
  if (lines.empty()) {
    MakeEmptyString(var);
    return;
  }
  var.SetDims({static_cast<int32_t>(lines.size())});
  for (size_t i = 0; i < lines.size(); ++i) var.SetStrAt(static_cast<int32_t>(i), lines[i]);
}

// ---- The virtual file system's memory files

// The collection that holds the memory files: the first one when it has no archive, file or
// folder (where the host registers it), else one such collection further on; with create,
// one is added when there is none.
TVrFileCollection* MemoryFiles(TVrFileManager& files, bool create) {
  for (int i = 0; i < files.Count(); ++i) {
    TVrFileCollection* c = files.Collection(i);
    if (c->Archive() == nullptr && c->FileName().empty() && c->Folder().empty()) return c;
  }
  if (!create) return nullptr;
  return files.Collection(files.AddCollection(std::make_unique<TVrFileCollection>()));
}

bool WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  try {
    TFileStream out(path, TFileStream::Mode::Create);
    if (!bytes.empty()) out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return true;
  } catch (const QuboError&) {
    return false;
  }
}

bool LoadTextFile(TFuncCall& c) {
  TCustomParam* var = ArgPtr(c, 1);
  const std::string name = StrArg(c, 2);
  TVrFileManager* files = TVrFileManager::Instance();
  if (var == nullptr || name.empty() || files == nullptr || !files->Exists(name)) return false;
  TKoMemoryStream text;
  try {
    files->Read(text, name);
  } catch (const QuboError&) {
    return false;
  }
  const std::vector<std::string> lines = SplitLines(text.Bytes());
  StoreLines(*var, lines);
  return !lines.empty();
}

// SaveScreen(name, width, height, back, keep): the snapshot as a layered image.
bool SaveScreen(TFuncCall& c) {
  const std::string name = StrArg(c, 1);
  if (!EndsWithNoCase(name, ".brx")) return false;
  TSnapshotRequest request;
  request.width = IntArg(c, 2);
  request.height = IntArg(c, 3);
  if (request.width == 0) request.width = c.host.ScreenWidth();
  if (request.height == 0) request.height = c.host.ScreenHeight();
  if (request.width <= 0 || request.height <= 0) return false;
  request.backLayer = BoolArg(c, 4);
  const int32_t keep = IntArg(c, 5);

  TVrFileManager* files = TVrFileManager::Instance();
  if (files == nullptr) return false;
  TKoMemoryStream image;
  if (!c.host.WriteSnapshot(image, request)) return false;

  if (IsMemoryName(name)) {
    TVrFile* f = MemoryFiles(*files, true)->AddMemoryMember(name);
    f->data->Assign(image.Bytes());
    if (IsSaveName(name)) c.host.StoreSaveEntry(name, image.Bytes());
  } else {
    // A file of the game folder, and nowhere else.
    if (files->BaseFolder().empty()) return false;
    const std::optional<std::string> path = FolderResolver::Instance().PathForWrite(files->BaseFolder(), name);
    if (!path || !WriteHostFile(*path, image.Bytes())) return false;
    if (keep == 1) c.host.AddDeleteOnExit(*path);
    if (keep == 2) c.host.AddInstallName(name);
  }
  c.host.DropImage(name);
  return true;
}

// SelectOpenFile / SelectSaveFile(var, filter): the chosen file into var.
bool SelectFile(TFuncCall& c, platform::FileDialogKind kind) {
  TCustomParam* var = ArgPtr(c, 1);
  platform::Platform* p = c.host.Platform();
  if (var == nullptr || p == nullptr) return false;
  platform::FileDialogRequest request;
  request.kind = kind;
  request.filter = StrArg(c, 2);
  request.initialFolder = p->GetShell().UserFolderPath(platform::UserFolder::Desktop);
  const std::optional<std::string> chosen = p->GetDialogs().SelectPath(request);
  if (!chosen) return false;
  var->SetStr(HostToScriptPath(*chosen));
  return true;
}

bool SelectDirectory(TFuncCall& c) {
  TCustomParam* var = ArgPtr(c, 1);
  platform::Platform* p = c.host.Platform();
  if (var == nullptr || p == nullptr) return false;
  platform::FileDialogRequest request;
  request.kind = platform::FileDialogKind::Folder;
  const std::optional<std::string> chosen = p->GetDialogs().SelectPath(request);
  if (!chosen) return false;
  var->SetStr(AddBackSlash(HostToScriptPath(*chosen)));
  return true;
}

// ---- ExtractFile

// The host folder ExtractFile writes into, or nullopt when the destination is refused or the
// user cancels. Created when missing.
std::optional<std::string> ExtractDestination(TFuncCall& c, platform::Platform* p) {
  std::string root;
  std::string sub;
  if (c.argCount < 2) {
    if (p == nullptr) return std::nullopt;
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Folder;
    const std::optional<std::string> chosen = p->GetDialogs().SelectPath(request);
    if (!chosen || chosen->empty()) return std::nullopt;
    root = *chosen;
  } else {
    std::string dest = AddBackSlash(StrArg(c, 2));
    if (!dest.empty() && dest[0] == '{') {
      const size_t close = sjis::FindChar(dest, '}');
      if (close == std::string::npos || p == nullptr) return std::nullopt;
      const std::string word = dest.substr(1, close - 1);
      platform::UserFolder which;
      if (sjis::EqualsNoCase(word, "Desktop")) {
        which = platform::UserFolder::Desktop;
      } else if (sjis::EqualsNoCase(word, "MyDocuments")) {
        which = platform::UserFolder::Documents;
      } else {
        return std::nullopt;
      }
      root = p->GetShell().UserFolderPath(which);
      sub = dest.substr(close + 1);
      if (!sub.empty() && sub[0] == '\\') sub.erase(0, 1);
      // What follows the folder word stays inside that folder: a rest that could leave it
      // is refused (SplitGameName below refuses rooted and drive forms; ".." and ':' anywhere
      // are refused here as they are for a plain destination).
      if (sub.find("..") != std::string::npos || sub.find(':') != std::string::npos) return std::nullopt;
    } else {
      // Leading separators go: the rest is relative to the program's folder.
      dest.erase(0, std::min(dest.size(), dest.find_first_not_of("\\/")));
      if (dest.find("..") != std::string::npos || dest.find(':') != std::string::npos) dest.clear();
      sub = dest;
      if (p == nullptr) return std::nullopt;
      root = fs::path(p->GetShell().ProgramPath()).parent_path().string();
    }
  }
  if (root.empty()) return std::nullopt;
  std::string folder = root;
  std::vector<std::string> parts;
  if (SplitGameName(sub, parts)) {
    const std::optional<std::string> path = FolderResolver::Instance().PathForWrite(root, sub);
    if (!path) return std::nullopt;
    folder = *path;
  } else if (!parts.empty() || sub.find_first_not_of("\\/.") != std::string::npos) {
    // Not empty, yet refused: it could leave the folder.
    return std::nullopt;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return std::nullopt;
  return folder;
}

// '*' any run of characters, '?' one character; ASCII letter case ignored; code-page-932 aware.
bool MatchesMask(std::string_view name, std::string_view mask) {
  size_t n = 0, m = 0;
  size_t starM = std::string_view::npos, starN = 0;
  auto same = [](std::string_view a, size_t i, std::string_view b, size_t j) {
    const size_t la = sjis::CharLen(a, i), lb = sjis::CharLen(b, j);
    return la == lb && sjis::EqualsNoCase(a.substr(i, la), b.substr(j, lb));
  };
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (m < mask.size() && (mask[m] == '?' || same(name, n, mask, m))) {
      n = sjis::Next(name, n);
      m = sjis::Next(mask, m);
    } else if (starM != std::string_view::npos) {
      starN = sjis::Next(name, starN);
      n = starN;
      m = starM + 1;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// The game file names element i of the list stands for.
std::vector<std::string> ExpandName(TVrFileManager& files, std::string name) {
  if (!name.empty() && name[0] == '\\') name.erase(0, 1);
  if (sjis::FindChar(name, '*') == std::string::npos && sjis::FindChar(name, '?') == std::string::npos) return {name};
  const std::string folder = ExtractFilePath(name);
  const std::string mask = ExtractFileName(name);
  std::vector<std::string> all, out;
  files.ListFolder(folder, all);
  for (const std::string& f : all) {
    if (MatchesMask(ExtractFileName(f), mask)) out.push_back(f);
  }
  return out;
}

bool CopyGameFile(TVrFileManager& files, const std::string& name, const std::string& target) {
  try {
    std::unique_ptr<TStream> in = files.OpenRange(name);
    std::error_code ec;
    fs::create_directories(fs::path(target).parent_path(), ec);
    TFileStream out(target, TFileStream::Mode::Create);
    out.CopyFrom(*in, 0);
    return true;
  } catch (const QuboError&) {
    return false;
  }
}

// ExtractFile(files, destination, confirm).
bool ExtractFile(TFuncCall& c) {
  TVrFileManager* files = TVrFileManager::Instance();
  platform::Platform* p = c.host.Platform();
  const TCustomParam* list = ArgPtr(c, 1);
  if (files == nullptr || list == nullptr) return false;
  const std::optional<std::string> folder = ExtractDestination(c, p);
  if (!folder) return false;
  bool ask = BoolArg(c, 3);
  bool skipExisting = false;
  for (int32_t i = 0, n = list->Count(); i < n; ++i) {
    for (const std::string& name : ExpandName(*files, list->GetStrAt(i))) {
      if (name.empty() || !files->Exists(name)) continue;
      // A name that could leave the destination folder is passed over.
      const std::optional<std::string> target = FolderResolver::Instance().PathForWrite(*folder, name);
      if (!target) continue;
      std::error_code ec;
      if (fs::exists(*target, ec)) {
        if (skipExisting) continue;
        if (ask && p != nullptr) {
          platform::MessageBoxRequest box;
          box.caption = kCaptionConfirm;
          box.text = HostToScriptPath(*target) + "\r\n\r\n" + kMsgOverwrite;
          box.buttons = platform::MsgButtons::YesNoAllCancel;
          box.icon = platform::MsgIcon::Question;
          switch (p->GetDialogs().ShowMessage(box)) {
            case platform::MsgButton::Yes: break;
            case platform::MsgButton::YesToAll: ask = false; break;
            case platform::MsgButton::NoToAll: skipExisting = true; continue;
            case platform::MsgButton::Cancel: return false;
            default: continue;  // No
          }
        }
      }
      CopyGameFile(*files, name, *target);
    }
  }
  return true;
}

// CopyFile(source, destination) between memory files.
bool CopyFile(TFuncCall& c) {
  const std::string source = StrArg(c, 1);
  const std::string dest = StrArg(c, 2);
  TVrFileManager* files = TVrFileManager::Instance();
  if (files == nullptr || !IsMemoryName(source) || dest.empty()) return false;
  TVrFileCollection* memory = MemoryFiles(*files, false);
  const TVrFile* from = memory ? memory->FindFile(source) : nullptr;
  if (from == nullptr || !from->data) return false;
  // The bytes are taken before the destination is emptied: a copy onto itself keeps them.
  std::vector<uint8_t> bytes = from->data->Bytes();
  TVrFile* to = memory->AddMemoryMember(dest);
  to->data->Assign(bytes);
  bool ok = true;
  if (IsSaveName(dest)) ok = c.host.StoreSaveEntry(dest, bytes);
  files->ReleasePath(dest);
  return ok;
}

}  // namespace

bool CallFileFunction(int index, TFuncCall& c) {
  TFuncResult& r = c.result;
  switch (index) {
    case kFileExists: {
      const std::string name = StrArg(c, 1);
      TVrFileManager* files = TVrFileManager::Instance();
      r.SetBool(!name.empty() && files != nullptr && files->Exists(name));
      return true;
    }
    case kLoadTextFile: r.SetBool(LoadTextFile(c)); return true;
    case kExtractFilePath: r.SetStr(ExtractFilePath(StrArg(c, 1))); return true;
    case kExtractFileName: r.SetStr(ExtractFileName(StrArg(c, 1))); return true;
    case kExtractFileExt: r.SetStr(ExtractFileExt(StrArg(c, 1))); return true;
    case kIsPathDelimiter: r.SetBool(IsPathDelimiter(StrArg(c, 1), IntArg(c, 2))); return true;
    case kAddBackSlash: r.SetStr(AddBackSlash(StrArg(c, 1))); return true;
    case kChangeFileExt: r.SetStr(ChangeFileExt(StrArg(c, 1), StrArg(c, 2))); return true;
    case kIsDelimiter: r.SetBool(IsDelimiter(StrArg(c, 1), StrArg(c, 2), IntArg(c, 3))); return true;
    case kSaveScreen: r.SetBool(SaveScreen(c)); return true;
    case kSelectOpenFile: r.SetBool(SelectFile(c, platform::FileDialogKind::Open)); return true;
    case kSelectSaveFile: r.SetBool(SelectFile(c, platform::FileDialogKind::Save)); return true;
    case kSelectDirectory: r.SetBool(SelectDirectory(c)); return true;
    case kExtractFile: r.SetBool(ExtractFile(c)); return true;
    case kCopyFile: r.SetBool(CopyFile(c)); return true;
    default: return false;
  }
}

}  // namespace qubo
