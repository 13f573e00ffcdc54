#pragma once
// Writing a collection as an archive, with the packing rules that choose how each member is
// stored.
//
// A member's bytes come from, in order: its in-memory data; the collection's own archive
// (for a member read from an index, so a rewritten save file never picks up a file of the
// same name lying on disk); a file of that name in the collection's folder (resolved by the
// folder resolver, so ".." or rooted names never reach outside it).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "storage/vrfiles.h"
#include "support/stream.h"

namespace qubo {

// Memory members and folder files above this many bytes are stored, not compressed.
inline constexpr int64_t kMaxCompressedSize = 5242879;
// The zlib level of archive members.
inline constexpr int kArchiveCompressionLevel = 2;
// Extensions (upper case, each between dots) of files that are never compressed.
inline constexpr const char* kUncompressedExtensions = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";

struct ArchiveWriteOptions {
  // 102 normally; 0, 100 and 101 for older readers (before 101 every member is compressed
  // and nothing can be scrambled).
  int32_t version = kArchiveVersion;
  bool scrambleAll = false;
  // Seeds for scrambling (random 31-bit values when empty).
  std::function<int32_t()> seed;
  TVrProgress progress;
  std::function<void(const std::string& message)> onError;
};

// Writes the collection as an archive at out's position (offsets relative to it); out ends
// after the last member. False when the progress callback cancelled. A failing member is
// reported to onError as "エラー:" + its name, then the error goes on.
bool WriteArchive(TVrFileCollection& collection, TStream& out, const ArchiveWriteOptions& options);

// Block size used to scramble size bytes: min(max(size / 100, 256), 4096).
int32_t ScrambleBlockSizeFor(int64_t size);
// Whether a file from a folder is compressed: a layered image when its header says its
// planes are uncompressed; never the extensions above; anything else below 5 MiB.
// file is positioned anywhere; its position is left unspecified.
bool IsCompressibleFile(std::string_view name, TStream& file);
// The file date as a packed DOS date and time (local time), as archives store it.
int32_t DosDateTime(int64_t unixSeconds);

}  // namespace qubo
