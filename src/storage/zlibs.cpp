#include "storage/zlibs.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "support/errors.h"

namespace qubo {

namespace {

constexpr int64_t kInChunk = 1000000;
constexpr int64_t kOutChunk = 1000000;

// Ends the inflate or deflate state on every path out.
struct InflateGuard {
  z_stream* z;
  ~InflateGuard() { inflateEnd(z); }
};
struct DeflateGuard {
  z_stream* z;
  ~DeflateGuard() { deflateEnd(z); }
};

}  // namespace

void Compress(TKoMemoryStream& stream, int level) {
  if (level < -1 || level > 9) level = Z_DEFAULT_COMPRESSION;
  z_stream z{};
  if (deflateInit(&z, level) != Z_OK) throw StreamError("Cannot start compression");
  DeflateGuard guard{&z};
  const std::vector<uint8_t>& in = stream.Bytes();
  std::vector<uint8_t> out;
  std::vector<uint8_t> chunk(static_cast<size_t>(kOutChunk));
  size_t offset = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    // zlib counts in 32-bit units; feed the input in pieces.
    if (z.avail_in == 0 && offset < in.size()) {
      const size_t n = std::min<size_t>(in.size() - offset, 1u << 30);
      z.next_in = const_cast<Bytef*>(in.data() + offset);
      z.avail_in = static_cast<uInt>(n);
      offset += n;
    }
    z.next_out = chunk.data();
    z.avail_out = static_cast<uInt>(chunk.size());
    status = deflate(&z, offset < in.size() ? Z_NO_FLUSH : Z_FINISH);
    if (status == Z_STREAM_ERROR) throw StreamError("Compression failed");
    out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
  }
  stream.Assign(std::move(out));
}

int64_t DecompressTo(TStream& source, TStream& dest, int64_t maxSize) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw StreamError("Cannot start decompression");
  InflateGuard guard{&z};
  std::vector<uint8_t> in(static_cast<size_t>(kInChunk));
  std::vector<uint8_t> out(static_cast<size_t>(kOutChunk));
  dest.Seek(0, SeekOrigin::End);
  int64_t total = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (z.avail_in == 0) {
      const int64_t got = source.Read(in.data(), kInChunk);
      if (got <= 0) throw FormatError("Damaged data: compressed data is truncated");
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(got);
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_NEED_DICT || status == Z_DATA_ERROR || status == Z_MEM_ERROR || status == Z_STREAM_ERROR)
      throw FormatError("Damaged data: compressed data is invalid");
    const int64_t produced = static_cast<int64_t>(out.size() - z.avail_out);
    if (maxSize >= 0 && produced > maxSize - total)
      throw FormatError("Damaged data: decompressed data is larger than recorded");
    dest.WriteBuffer(out.data(), produced);
    total += produced;
    // Z_BUF_ERROR only means no progress was possible with the input at hand: read more.
  }
  // Give back the input read past the end of the compressed stream.
  if (z.avail_in > 0) source.Seek(-static_cast<int64_t>(z.avail_in), SeekOrigin::Current);
  return total;
}

void Decompress(TKoMemoryStream& stream, int64_t maxSize) {
  TKoMemoryStream out;
  stream.SetPosition(0);
  DecompressTo(stream, out, maxSize);
  stream.Assign(std::move(out.Bytes()));
}

}  // namespace qubo
