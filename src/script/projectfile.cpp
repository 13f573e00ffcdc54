#include "script/projectfile.h"

#include "script/projectmessages.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {
namespace {

// The smallest stored forms: a folder-disk entry (empty string, disc), an initial variable
// (type, empty name, no value).
constexpr int64_t kMinFolderDisk = 8;
constexpr int64_t kMinInitialVar = 5;

// The position of the last backslash that is a character of its own, or npos.
size_t LastBackslash(std::string_view s) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i = sjis::Next(s, i)) {
    if (s[i] == '\\') last = i;
  }
  return last;
}

std::string WithBackslash(std::string_view s) {
  std::string out(s);
  if (out.empty() || LastBackslash(out) + 1 != out.size()) out += '\\';
  return out;
}

}  // namespace

int32_t TFolderDiskList::DiskOf(std::string_view name) const {
  std::string text = sjis::AsciiUpper(name);
  while (!text.empty()) {
    const std::string key = WithBackslash(text);
    for (const Entry& e : entries_) {
      if (sjis::EqualsNoCase(WithBackslash(e.folder), key)) return e.disk;
    }
    const size_t cut = LastBackslash(text);
    text.resize(cut == std::string::npos ? 0 : cut);
  }
  return 0;
}

void TFolderDiskList::Load(RecordReader& r) {
  entries_.clear();
  const int32_t n = r.Count(kMinFolderDisk);
  entries_.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    Entry e;
    e.folder = r.String();
    e.disk = r.I32();
    entries_.push_back(std::move(e));
  }
}

void TFolderDiskList::Save(RecordWriter& w) const {
  w.I32(static_cast<int32_t>(entries_.size()));
  for (const Entry& e : entries_) {
    w.String(e.folder);
    w.I32(e.disk);
  }
}

TProjectFile ReadProjectFile(TStream& stream) {
  RecordReader r(stream, RecordReader::Truncation::Raise, msg::kMsgDamagedProject);
  TProjectFile p;
  p.version = r.I32();
  if (p.version > kProjectVersionMax) throw FormatError(msg::kMsgUnsupportedVersion);
  const int32_t v = p.version;
  p.title = r.String();
  p.screenWidth = r.I32();
  p.screenHeight = r.I32();
  p.fullScreenWidth = r.I32();
  p.fullScreenHeight = r.I32();
  p.startPage = r.String();
  p.exitPage = v >= kProjectExitPageSince ? r.String() : std::string();
  p.registryKey = r.String();
  p.identification = r.I32();
  p.writeStatus = v >= kProjectWriteStatusSince ? r.U8() : 0;
  p.idleSleep = v >= kProjectIdleSleepSince ? r.U8() : 0;
  p.mediaExtensions = v >= kProjectMediaExtSince ? r.String() : std::string(kDefaultMediaExtensions);
  p.pauseWhenInactive = v >= kProjectPauseSince ? r.U8() : 0;
  p.multiDisc = v >= kProjectMultiDiscSince ? r.U8() : 0;
  p.toolbarVisible = v >= kProjectToolbarSince ? r.U8() : 1;
  p.diskMessage = r.String();
  p.quitMessage = r.String();
  const int32_t n = r.Count(kMinInitialVar);
  p.initialVars.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TInitialVar var;
    var.type = r.U8();
    var.name = r.String();
    switch (var.type) {
      case PT_INT: var.intValue = r.I32(); break;
      case PT_FLOAT: var.realValue = r.ExtendedRaw(); break;
      case PT_BOOL: var.flagValue = r.U8(); break;
      case PT_STR: var.strValue = r.String(); break;
      default: break;
    }
    p.initialVars.push_back(std::move(var));
  }
  p.folderDisks.Load(r);
  return p;
}

TProjectFile ReadProjectFile(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream s(bytes);
  return ReadProjectFile(s);
}

}  // namespace qubo
