#include "storage/archivewriter.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <random>

#include <sys/stat.h>

#include "storage/archive.h"
#include "storage/crc32.h"
#include "storage/folderresolve.h"
#include "storage/scrambles.h"
#include "storage/zlibs.h"
#include "support/errors.h"
#include "support/koxmls.h"
#include "support/sjis.h"

namespace qubo {
namespace {

constexpr int64_t kCopyChunk = 1 << 20;
// "エラー:"
constexpr const char* kErrorPrefix = "\x83\x47\x83\x89\x81\x5b\x3a";

std::string UpperExtension(std::string_view name) {
  size_t start = 0;
  for (size_t i = 0; i < name.size(); i = sjis::Next(name, i)) {
    if (sjis::CharLen(name, i) == 1 && (name[i] == '\\' || name[i] == '/')) start = i + 1;
  }
  const std::string_view last = name.substr(start);
  const size_t dot = last.find_last_of('.');
  return dot == std::string_view::npos ? std::string() : sjis::AsciiUpper(last.substr(dot));
}

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The layered image header's compression type is 1 (planes stored uncompressed).
bool BrxIsUncompressed(TStream& file) {
  file.SetPosition(0);
  uint8_t sig[8] = {};
  const int64_t got = file.Read(sig, 8);
  if (got < 7 || sig[0] != 'B' || sig[1] != 'r' || sig[2] != 'i' || sig[3] != 'x') return false;
  if (got == 8 && sig[4] == 'X') {
    if (sig[5] < '0' || sig[5] > '2') return false;
    // The structured form: u32 length, then the zlib-compressed XML header.
    uint8_t len[4];
    if (file.Read(len, 4) != 4) return false;
    const int64_t n = ReadU32(len);
    if (n <= 0 || n > file.Remaining() || n > (int64_t{16} << 20)) return false;
    std::vector<uint8_t> packed(static_cast<size_t>(n));
    if (file.Read(packed.data(), n) != n) return false;
    try {
      TKoMemoryStream xml;
      InflateWhole(packed.data(), packed.size(), xml.Bytes(), int64_t{64} << 20);
      TKoXml doc;
      doc.LoadFromStream(xml);
      return doc.AttrInt("CompType", 0) == 1;
    } catch (const QuboError&) {
      return false;
    }
  }
  if (sig[4] < '0' || sig[4] > '9' || sig[5] < '0' || sig[5] > '9' || sig[6] < '0' || sig[6] > '9') return false;
  const int version = (sig[4] - '0') * 100 + (sig[5] - '0') * 10 + (sig[6] - '0');
  if (version < 103) return false;
  // The record form: u32 header length H, then the header record; CompType at offset 22.
  file.SetPosition(7);
  uint8_t head[4 + 23];
  if (file.Read(head, sizeof head) != static_cast<int64_t>(sizeof head)) return false;
  return ReadU32(head) > 22 && head[4 + 22] == 1;
}

class MemberPacker {
 public:
  MemberPacker(TStream& out, const ArchiveWriteOptions& options) : out_(out), options_(options) {}

  // Packs plain bytes held in memory.
  void PackMemory(const std::vector<uint8_t>& plain, bool scramble, ArchiveEntry& e) {
    const int64_t size = static_cast<int64_t>(plain.size());
    if (Legacy()) return PackCompressed(plain, false, e);
    if (size > kMaxCompressedSize) {
      if (scramble) {
        TKoMemoryStream m(plain);
        ScrambleStream(m);
        e.type = kStoreScrambled;
        Emit(m.Bytes(), e, false);
      } else {
        e.type = kStorePlain;
        Emit(plain, e, false);
      }
      return;
    }
    PackCompressed(plain, scramble, e);
  }

  // Packs a file of the collection's folder.
  void PackFile(const std::string& path, bool scramble, ArchiveEntry& e) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) e.time = DosDateTime(st.st_mtime);
    TFileStream in(path, TFileStream::Mode::OpenRead);
    const int64_t size = in.GetSize();
    const bool compressible = Legacy() || IsCompressibleFile(e.name, in);
    in.SetPosition(0);
    if (!compressible && !scramble) {
      // Stored as it is, streamed.
      e.type = kStorePlain;
      uint32_t crc = 0;
      std::vector<uint8_t> buffer(static_cast<size_t>(std::min(size, kCopyChunk)));
      for (int64_t left = size; left > 0;) {
        const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
        in.ReadBuffer(buffer.data(), n);
        crc = Crc32(buffer.data(), n, crc);
        out_.WriteBuffer(buffer.data(), n);
        left -= n;
      }
      e.checksum = static_cast<int32_t>(crc);
      return;
    }
    if (size > std::numeric_limits<int32_t>::max()) throw FormatError("file too large to pack in memory");
    std::vector<uint8_t> plain(static_cast<size_t>(size));
    in.ReadBuffer(plain.data(), size);
    if (!compressible) {
      TKoMemoryStream m(plain);
      ScrambleStream(m);
      e.type = kStoreScrambled;
      Emit(m.Bytes(), e, e.plainChecksum != 0, &plain);
      return;
    }
    if (Legacy()) return PackCompressed(plain, false, e);
    const uint32_t plainCrc = e.plainChecksum ? Crc32(plain.data(), size) : 0;
    TKoMemoryStream m(plain);
    Compress(m, kArchiveCompressionLevel);
    const bool keepPlain = size * 9 / 10 < m.GetSize();
    if (keepPlain) m.Assign(std::move(plain));
    e.type = keepPlain ? kStorePlain : kStoreCompressed;
    if (scramble) {
      ScrambleStream(m);
      e.type = keepPlain ? kStoreScrambled : kStoreCompressedScrambled;
    }
    out_.WriteBuffer(m.Memory(), m.GetSize());
    e.checksum = static_cast<int32_t>(e.plainChecksum ? plainCrc : Crc32(m.Memory(), m.GetSize()));
  }

 private:
  bool Legacy() const { return options_.version < 101; }

  void PackCompressed(const std::vector<uint8_t>& plain, bool scramble, ArchiveEntry& e) {
    const uint32_t plainCrc = e.plainChecksum ? Crc32(plain.data(), static_cast<int64_t>(plain.size())) : 0;
    TKoMemoryStream m(plain);
    Compress(m, kArchiveCompressionLevel);
    e.type = kStoreCompressed;
    if (scramble) {
      ScrambleStream(m);
      e.type = kStoreCompressedScrambled;
    }
    out_.WriteBuffer(m.Memory(), m.GetSize());
    e.checksum = static_cast<int32_t>(e.plainChecksum ? plainCrc : Crc32(m.Memory(), m.GetSize()));
  }

  // Writes bytes; the checksum covers them, or plain when asked.
  void Emit(const std::vector<uint8_t>& bytes, ArchiveEntry& e, bool ofPlain, const std::vector<uint8_t>* plain = nullptr) {
    out_.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    const std::vector<uint8_t>& covered = ofPlain && plain ? *plain : bytes;
    e.checksum = static_cast<int32_t>(Crc32(covered.data(), static_cast<int64_t>(covered.size())));
  }

  void ScrambleStream(TKoMemoryStream& m) {
    int32_t seed;
    if (options_.seed) {
      seed = options_.seed() & 0x7FFFFFFF;
    } else {
      static thread_local std::mt19937 random{std::random_device{}()};
      seed = static_cast<int32_t>(random() & 0x7FFFFFFF);
    }
    Scramble(m, ScrambleBlockSizeFor(m.GetSize()), seed);
  }

  TStream& out_;
  const ArchiveWriteOptions& options_;
};

}  // namespace

int32_t ScrambleBlockSizeFor(int64_t size) {
  return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(size / 100, 256), 4096));
}

bool IsCompressibleFile(std::string_view name, TStream& file) {
  const std::string ext = UpperExtension(name);
  if (ext == ".BRX") return BrxIsUncompressed(file);
  if (!ext.empty() && std::string_view(kUncompressedExtensions).find(ext + ".") != std::string_view::npos) return false;
  return file.GetSize() <= kMaxCompressedSize;
}

int32_t DosDateTime(int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm) || tm.tm_year < 80) return 0;
  const uint32_t date = static_cast<uint32_t>((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
  const uint32_t time = static_cast<uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
  return static_cast<int32_t>(date << 16 | time);
}

bool WriteArchive(TVrFileCollection& collection, TStream& out, const ArchiveWriteOptions& options) {
  const int32_t version = options.version;
  if (version < 101 && options.scrambleAll) throw FormatError("archives before version 101 cannot scramble members");
  const int count = collection.FileCount();
  std::vector<ArchiveEntry> entries(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const TVrFile* f = collection.File(i);
    entries[static_cast<size_t>(i)].name = f->Name();
    entries[static_cast<size_t>(i)].plainChecksum = f->plainChecksum;
  }
  const int64_t base = out.GetPosition();
  // The index first with empty offsets, then every member, then the index again.
  WriteArchiveIndex(out, version, entries, base, base);

  MemberPacker packer(out, options);
  for (int i = 0; i < count; ++i) {
    if (options.progress && !options.progress(i, count)) return false;
    const TVrFile* f = collection.File(i);
    ArchiveEntry& e = entries[static_cast<size_t>(i)];
    e.offset = out.GetPosition();
    e.time = f->time;
    // The stored type only says whether to keep scrambling.
    const bool scramble = version >= 101 && (options.scrambleAll || IsScrambledType(f->type));
    try {
      if (f->data) {
        packer.PackMemory(f->data->Bytes(), scramble, e);
      } else if (f->stored && collection.Archive()) {
        TKoMemoryStream plain;
        collection.ReadFile(*f, plain);
        packer.PackMemory(plain.Bytes(), scramble, e);
      } else {
        const auto path = FolderResolver::Instance().Resolve(collection.Folder(), f->Name());
        if (!path) throw QuboError(MissingFileMessage(f->Name()));
        packer.PackFile(*path, scramble, e);
      }
    } catch (...) {
      if (options.onError) options.onError(kErrorPrefix + f->Name());
      throw;
    }
  }
  const int64_t end = out.GetPosition();
  out.SetPosition(base);
  WriteArchiveIndex(out, version, entries, base, end);
  out.SetPosition(end);
  return true;
}

bool TVrFileCollection::Write(TStream& out, bool scrambleAll) {
  ArchiveWriteOptions options;
  options.scrambleAll = scrambleAll;
  options.progress = progress;
  options.onError = onWriteError;
  return WriteArchive(*this, out, options);
}

}  // namespace qubo
