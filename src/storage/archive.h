#pragma once
// The archive format: the index (versions 0, 100, 101 and 102, with masked names and
// offsets), the executable trailer, and the decoding of a member's stored bytes.
//
// Index layout, from the archive's base position:
//   "vf" + i32 version (absent in version 0), i32 member count N,
//   N names (i32 length + bytes; bytes masked from version 100 on),
//   N + 1 offsets (i32 before version 101, i64 from 101 on; masked from version 100 on),
//   from 101 on: N storage-type bytes, N i32 times, N i32 checksums,
//   from 102 on: N checksum-of-plain bytes;
//   then the member data. Offsets are relative to the base position.
//
// Every stored index is untrusted: counts and lengths are checked against the bytes that
// exist before anything is allocated, and offsets must satisfy
// 0 <= offset[i] <= offset[i + 1] <= data size.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/stream.h"

namespace qubo {

inline constexpr int32_t kArchiveVersion = 102;
// Increment of the key streams that mask names and offsets.
inline constexpr int32_t kArchiveMaskIncrement = 1583926047;

// How a member's bytes are stored.
enum StorageType : uint8_t {
  kStoreCompressed = 0,
  kStorePlain = 1,
  kStoreScrambled = 2,
  kStoreCompressedScrambled = 3,
};
inline bool IsScrambledType(uint8_t type) { return type == kStoreScrambled || type == kStoreCompressedScrambled; }
inline bool IsCompressedType(uint8_t type) { return type == kStoreCompressed || type == kStoreCompressedScrambled; }

struct ArchiveEntry {
  std::string name;     // code page 932, backslashes
  int64_t offset = 0;   // absolute position of the stored bytes (base added)
  int64_t size = 0;     // stored bytes
  uint8_t type = kStoreCompressed;
  int32_t time = 0;
  int32_t checksum = 0;
  uint8_t plainChecksum = 0;  // 1: the checksum covers the plain data
};

struct ArchiveIndex {
  int32_t version = 0;
  std::vector<ArchiveEntry> entries;
};

// "アーカイブが壊れています" (code page 932): a damaged index.
extern const char* const kArchiveDamaged;

// Reads an index from index's position. base is added to every offset; dataSize is the size
// of the stream that holds the member data (the index may come from a separate ".ext"
// file). Raises FormatError for a truncated or inconsistent index.
ArchiveIndex ReadArchiveIndex(TStream& index, int64_t base, int64_t dataSize);

// Bytes an index of this version with these names takes.
int64_t ArchiveIndexSize(int32_t version, const std::vector<ArchiveEntry>& entries);
// Writes an index at out's position: entry offsets are taken relative to base, endOffset is
// the absolute end of the last member. Versions below 101 store 32-bit offsets and no type
// tables; FormatError when an offset does not fit, or when a version-0 count would read back
// as the "vf" signature.
void WriteArchiveIndex(TStream& out, int32_t version, const std::vector<ArchiveEntry>& entries, int64_t base,
                       int64_t endOffset);

// The trailer of an executable that carries an archive: i32 archive offset, then "qb".
inline constexpr int64_t kTrailerSize = 6;
// The archive's offset when the last six bytes of file are a valid trailer whose offset lies
// inside the file (before the trailer); nullopt otherwise.
std::optional<int64_t> ReadExecutableTrailer(TStream& file);
void WriteExecutableTrailer(TStream& out, int64_t archiveOffset);
// ".exe" or ".scr", ignoring case (the Windows rule).
bool HasExecutableExtension(std::string_view path);

// The largest plain size a member may decode to: zlib cannot expand more than about 1032:1,
// and the player's memory streams stay below 2 GiB.
int64_t InflateBound(int64_t storedSize);

// Inflates one zlib stream held in memory into out (replacing its content), growing the
// buffer as needed up to bound. FormatError for damaged data or output beyond the bound.
void InflateWhole(const uint8_t* data, size_t size, std::vector<uint8_t>& out, int64_t bound);

// Turns a member's stored bytes (in stream) into its plain content in place: unscrambles
// types 2 and 3, inflates types 0 and 3. FormatError for an unknown type or damaged data.
void DecodeMember(TKoMemoryStream& stream, uint8_t type);

// Reads the stored bytes of entry from archive and decodes them into dest (position 0).
void ReadMemberData(TStream& archive, const ArchiveEntry& entry, TKoMemoryStream& dest);

}  // namespace qubo
