#pragma once
// The project file qubo.qpb and the folder-to-disc list it carries.
//
// TProjectFile holds every field of the file as stored (so a writer can give back the same
// bytes); TFolderDiskList answers which disc of a multi-disc game holds a file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/params.h"
#include "support/extended.h"
#include "support/record.h"
#include "support/stream.h"

namespace qubo {

// The newest project file version this player reads.
inline constexpr int32_t kProjectVersionMax = 117;
// The media extensions of a project file that carries none (and of a project before its file
// is read): the extensions for which no other disc is asked for.
inline constexpr const char* kDefaultMediaExtensions = ".wav.wma.ogg.mid";

// Which data folders lie on which disc.
class TFolderDiskList {
 public:
  struct Entry {
    std::string folder;  // code page 932, backslashes
    int32_t disk = 0;
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  // The disc of the registered folder that contains name (the closest one), 0 when none does.
  int32_t DiskOf(std::string_view name) const;

  void Add(std::string folder, int32_t disk) { entries_.push_back({std::move(folder), disk}); }
  void Clear() { entries_.clear(); }
  const std::vector<Entry>& Entries() const { return entries_; }
  int Count() const { return static_cast<int>(entries_.size()); }

  // i32 count, then per entry a string and an i32 disc number.
  void Load(RecordReader& r);
  void Save(RecordWriter& w) const;

  friend bool operator==(const TFolderDiskList&, const TFolderDiskList&) = default;

 private:
  std::vector<Entry> entries_;
};

// One variable the project declares: created as a status variable at start-up when it does
// not exist yet.
struct TInitialVar {
  uint8_t type = PT_INT;  // 1 integer, 2 real, 3 flag, 4 string; other codes carry no value
  std::string name;
  int32_t intValue = 0;
  Extended80 realValue{};  // as stored
  uint8_t flagValue = 0;   // the stored byte (any value other than 0 is true)
  std::string strValue;
  friend bool operator==(const TInitialVar&, const TInitialVar&) = default;
};

struct TProjectFile {
  int32_t version = kProjectVersionMax;
  std::string title;
  int32_t screenWidth = 0, screenHeight = 0;
  int32_t fullScreenWidth = 0, fullScreenHeight = 0;
  std::string startPage;
  std::string exitPage;       // version >= 110
  std::string registryKey;
  int32_t identification = 0;
  uint8_t writeStatus = 1;    // version >= 104, else 0
  uint8_t idleSleep = 1;      // version >= 106, else 0
  std::string mediaExtensions = kDefaultMediaExtensions;  // version >= 109
  uint8_t pauseWhenInactive = 0;  // version >= 113
  uint8_t multiDisc = 0;          // version >= 114
  uint8_t toolbarVisible = 1;     // version >= 116, else 1
  std::string diskMessage;
  std::string quitMessage;
  std::vector<TInitialVar> initialVars;
  TFolderDiskList folderDisks;

  friend bool operator==(const TProjectFile&, const TProjectFile&) = default;
};

// The first version that carries each gated field.
inline constexpr int32_t kProjectExitPageSince = 110;
inline constexpr int32_t kProjectWriteStatusSince = 104;
inline constexpr int32_t kProjectIdleSleepSince = 106;
inline constexpr int32_t kProjectMediaExtSince = 109;
inline constexpr int32_t kProjectPauseSince = 113;
inline constexpr int32_t kProjectMultiDiscSince = 114;
inline constexpr int32_t kProjectToolbarSince = 116;

// Parses a project file from the stream's position. A version above kProjectVersionMax
// raises the unsupported-version message; a truncated or impossible record raises
// FormatError with the damaged-project message. Fields the version lacks get the values an
// old file stands for (see TProjectFile).
TProjectFile ReadProjectFile(TStream& stream);
TProjectFile ReadProjectFile(const std::vector<uint8_t>& bytes);

}  // namespace qubo
