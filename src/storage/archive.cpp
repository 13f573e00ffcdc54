#include "storage/archive.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <limits>

#include <libdeflate.h>

#include "storage/bigstreams.h"
#include "storage/scrambles.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo {

const char* const kArchiveDamaged = "\x83\x41\x81\x5b\x83\x4a\x83\x43\x83\x75\x82\xaa\x89\xf3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";

namespace {

[[noreturn]] void Damaged() { throw FormatError(kArchiveDamaged); }

// Exact reads from a buffered source with a known number of bytes left; running short is a
// damaged index.
class IndexReader {
 public:
  IndexReader(TStream& source, int64_t left) : source_(source), left_(left) {}
  int64_t Left() const { return left_; }
  void Read(void* buffer, int64_t n) {
    if (n < 0 || n > left_ || source_.Read(buffer, n) != n) Damaged();
    left_ -= n;
  }
  int32_t I32() {
    uint8_t b[4];
    Read(b, 4);
    return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
  }
  int64_t I64() {
    uint8_t b[8];
    Read(b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
    return static_cast<int64_t>(v);
  }

 private:
  TStream& source_;
  int64_t left_;
};

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}
void PutI64(std::vector<uint8_t>& out, int64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
}

bool MasksNames(int32_t version) { return version >= 100; }
bool WideOffsets(int32_t version) { return version >= 101; }
bool HasTypeTables(int32_t version) { return version >= 101; }
bool HasPlainFlags(int32_t version) { return version >= 102; }

// Bytes of the fixed-size part per member: the name length, one offset, the tables.
int64_t PerMemberBytes(int32_t version) {
  int64_t n = 4 + (WideOffsets(version) ? 8 : 4);
  if (HasTypeTables(version)) n += 1 + 4 + 4;
  if (HasPlainFlags(version)) n += 1;
  return n;
}

// A key value applied to an offset: 4-byte offsets take the value, 8-byte ones the value
// sign-extended to 64 bits.
int64_t MaskOffset(int64_t offset, TKoRandom& key, bool wide) {
  const int32_t k = key.Next();
  if (wide) return offset ^ static_cast<int64_t>(k);
  return static_cast<int32_t>(static_cast<uint32_t>(offset) ^ static_cast<uint32_t>(k));
}

}  // namespace

ArchiveIndex ReadArchiveIndex(TStream& index, int64_t base, int64_t dataSize) {
  ArchiveIndex result;
  const int64_t start = index.GetPosition();
  int64_t available = std::max<int64_t>(0, index.GetSize() - start);
  uint8_t head[2] = {};
  if (available >= 6 && index.Read(head, 2) == 2 && head[0] == 'v' && head[1] == 'f') {
    available -= 2;
    result.version = -1;  // read below
  } else {
    index.SetPosition(start);
  }
  TKoBuffBigStream buffered(index);
  IndexReader r(buffered, available);
  result.version = result.version == -1 ? r.I32() : 0;
  const int32_t version = result.version;
  const int32_t count = r.I32();
  // Every member takes at least its fixed-size fields, and there is one more offset.
  const int64_t offsetBytes = WideOffsets(version) ? 8 : 4;
  if (count < 0 || count > (r.Left() - offsetBytes) / PerMemberBytes(version)) Damaged();

  auto& entries = result.entries;
  entries.resize(static_cast<size_t>(count));
  TKoRandom nameKey(kArchiveMaskIncrement);
  for (auto& e : entries) {
    const int32_t n = r.I32();
    if (n <= 0) continue;
    if (n > r.Left()) Damaged();
    e.name.resize(static_cast<size_t>(n));
    r.Read(e.name.data(), n);
    if (MasksNames(version)) {
      for (char& c : e.name) c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(nameKey.Next()));
    }
  }

  // Offsets relative to the base: 0 <= offset[i] <= offset[i + 1] <= the bytes after base.
  const int64_t limit = dataSize - base;
  if (base < 0 || limit < 0) Damaged();
  TKoRandom offsetKey(kArchiveMaskIncrement);
  int64_t previous = 0;
  for (int32_t i = 0; i <= count; ++i) {
    int64_t o = WideOffsets(version) ? r.I64() : r.I32();
    if (MasksNames(version)) o = MaskOffset(o, offsetKey, WideOffsets(version));
    if (o < previous || o > limit) Damaged();
    if (i > 0) entries[static_cast<size_t>(i - 1)].size = o - previous;
    if (i < count) entries[static_cast<size_t>(i)].offset = base + o;
    previous = o;
  }

  if (HasTypeTables(version)) {
    std::vector<uint8_t> table(static_cast<size_t>(count) * 4);
    r.Read(table.data(), count);
    for (int32_t i = 0; i < count; ++i) entries[static_cast<size_t>(i)].type = table[static_cast<size_t>(i)];
    for (auto& e : entries) e.time = r.I32();
    for (auto& e : entries) e.checksum = r.I32();
  } else {
    for (auto& e : entries) e.type = kStoreCompressed;
  }
  if (HasPlainFlags(version)) {
    for (auto& e : entries) r.Read(&e.plainChecksum, 1);
  }
  return result;
}

int64_t ArchiveIndexSize(int32_t version, const std::vector<ArchiveEntry>& entries) {
  int64_t n = (version == 0 ? 0 : 6) + 4 + (WideOffsets(version) ? 8 : 4);
  for (const auto& e : entries) n += PerMemberBytes(version) + static_cast<int64_t>(e.name.size());
  return n;
}

void WriteArchiveIndex(TStream& out, int32_t version, const std::vector<ArchiveEntry>& entries, int64_t base,
                       int64_t endOffset) {
  if (entries.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) Damaged();
  const int32_t count = static_cast<int32_t>(entries.size());
  // Without the signature, a count whose low bytes spell "vf" would read back as one.
  if (version == 0 && (count & 0xFFFF) == ('v' | 'f' << 8)) throw FormatError("too many members for a version-0 index");
  std::vector<uint8_t> b;
  b.reserve(static_cast<size_t>(ArchiveIndexSize(version, entries)));
  if (version != 0) {
    b.push_back('v');
    b.push_back('f');
    PutI32(b, version);
  }
  PutI32(b, count);
  TKoRandom nameKey(kArchiveMaskIncrement);
  for (const auto& e : entries) {
    PutI32(b, static_cast<int32_t>(e.name.size()));
    for (char c : e.name) {
      uint8_t v = static_cast<uint8_t>(c);
      if (MasksNames(version)) v ^= static_cast<uint8_t>(nameKey.Next());
      b.push_back(v);
    }
  }
  TKoRandom offsetKey(kArchiveMaskIncrement);
  for (int32_t i = 0; i <= count; ++i) {
    int64_t o = (i < count ? entries[static_cast<size_t>(i)].offset : endOffset) - base;
    if (!WideOffsets(version) && (o < 0 || o > std::numeric_limits<int32_t>::max())) {
      throw FormatError("archive too large for 32-bit offsets");
    }
    if (MasksNames(version)) o = MaskOffset(o, offsetKey, WideOffsets(version));
    if (WideOffsets(version)) PutI64(b, o);
    else PutI32(b, static_cast<int32_t>(o));
  }
  if (HasTypeTables(version)) {
    for (const auto& e : entries) b.push_back(e.type);
    for (const auto& e : entries) PutI32(b, e.time);
    for (const auto& e : entries) PutI32(b, e.checksum);
  }
  if (HasPlainFlags(version)) {
    for (const auto& e : entries) b.push_back(e.plainChecksum);
  }
  out.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
}

std::optional<int64_t> ReadExecutableTrailer(TStream& file) {
  const int64_t size = file.GetSize();
  if (size < kTrailerSize) return std::nullopt;
  uint8_t t[kTrailerSize];
  file.SetPosition(size - kTrailerSize);
  if (file.Read(t, kTrailerSize) != kTrailerSize) return std::nullopt;
  if (t[4] != 'q' || t[5] != 'b') return std::nullopt;
  const int32_t offset = static_cast<int32_t>(uint32_t{t[0]} | uint32_t{t[1]} << 8 | uint32_t{t[2]} << 16 | uint32_t{t[3]} << 24);
  if (offset < 0 || offset > size - kTrailerSize) return std::nullopt;
  return offset;
}

void WriteExecutableTrailer(TStream& out, int64_t archiveOffset) {
  if (archiveOffset < 0 || archiveOffset > std::numeric_limits<int32_t>::max()) {
    throw FormatError("a program with an archive must stay below 2 GiB");
  }
  std::vector<uint8_t> b;
  PutI32(b, static_cast<int32_t>(archiveOffset));
  b.push_back('q');
  b.push_back('b');
  out.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
}

bool HasExecutableExtension(std::string_view path) {
  if (path.size() < 4) return false;
  const std::string ext = sjis::AsciiLower(path.substr(path.size() - 4));
  return ext == ".exe" || ext == ".scr";
}

int64_t InflateBound(int64_t storedSize) {
  constexpr int64_t kMaxPlain = std::numeric_limits<int32_t>::max();
  if (storedSize <= 0) return 0;
  if (storedSize > kMaxPlain / 1032) return kMaxPlain;
  return std::min<int64_t>(kMaxPlain, storedSize * 1032 + 65536);
}

namespace {

struct Decompressor {
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  ~Decompressor() { libdeflate_free_decompressor(d); }
};

}  // namespace

void InflateWhole(const uint8_t* data, size_t size, std::vector<uint8_t>& out, int64_t bound) {
  thread_local Decompressor decompressor;
  if (!decompressor.d) throw std::bad_alloc();
  // Archive data mostly inflates to two to four times its size; start there and grow.
  const size_t limit = static_cast<size_t>(std::max<int64_t>(0, bound));
  size_t capacity = std::min(limit, std::max<size_t>(size * 4, 4096));
  for (;;) {
    out.resize(capacity);
    size_t actual = 0;
    const libdeflate_result r =
        libdeflate_zlib_decompress(decompressor.d, data, size, out.data(), capacity, &actual);
    if (r == LIBDEFLATE_SUCCESS) {
      out.resize(actual);
      return;
    }
    if (r != LIBDEFLATE_INSUFFICIENT_SPACE || capacity >= limit) {
      out.clear();
      Damaged();
    }
    capacity = capacity > limit / 2 ? limit : capacity * 2;
  }
}

void DecodeMember(TKoMemoryStream& stream, uint8_t type) {
  if (type > kStoreCompressedScrambled) Damaged();
  if (stream.GetSize() == 0) return;
  if (IsScrambledType(type)) Unscramble(stream);
  if (IsCompressedType(type)) {
    std::vector<uint8_t> plain;
    InflateWhole(stream.Memory(), stream.Bytes().size(), plain, InflateBound(stream.GetSize()));
    stream.Assign(std::move(plain));
  }
  stream.SetPosition(0);
}

void ReadMemberData(TStream& archive, const ArchiveEntry& entry, TKoMemoryStream& dest) {
  if (entry.type > kStoreCompressedScrambled) Damaged();
  if (entry.size <= 0) {
    dest.Clear();
    return;
  }
  if (entry.size > std::numeric_limits<int32_t>::max()) Damaged();
  archive.SetPosition(entry.offset);
  if (entry.type == kStoreCompressed) {
    // The common case: inflate from a read buffer straight into dest's own memory. The read
    // buffer is kept between reads (up to kKeptReadBuffer bytes), so its pages are not
    // faulted in again for every member.
    constexpr int64_t kKeptReadBuffer = int64_t{64} << 20;
    thread_local std::vector<uint8_t> kept;
    std::unique_ptr<uint8_t[]> large;
    uint8_t* stored;
    if (entry.size <= kKeptReadBuffer) {
      if (kept.size() < static_cast<size_t>(entry.size)) kept.resize(static_cast<size_t>(entry.size));
      stored = kept.data();
    } else {
      large.reset(new uint8_t[static_cast<size_t>(entry.size)]);
      stored = large.get();
    }
    if (archive.Read(stored, entry.size) != entry.size) Damaged();
    InflateWhole(stored, static_cast<size_t>(entry.size), dest.Bytes(), InflateBound(entry.size));
    dest.SetPosition(0);
    return;
  }
  std::vector<uint8_t>& bytes = dest.Bytes();
  bytes.resize(static_cast<size_t>(entry.size));
  if (archive.Read(bytes.data(), entry.size) != entry.size) {
    dest.Clear();
    Damaged();
  }
  DecodeMember(dest, entry.type);
}

}  // namespace qubo
