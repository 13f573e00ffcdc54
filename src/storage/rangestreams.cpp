#include "storage/rangestreams.h"

#include <algorithm>
#include <limits>

#include "support/errors.h"
#include "support/record.h"

namespace qubo {

// ---- TRangeStream ----

TRangeStream::TRangeStream(TStream& source, int64_t size, int64_t start) : source_(source) {
  const int64_t total = std::max<int64_t>(0, source_.GetSize());
  start_ = std::clamp<int64_t>(start, 0, total);
  const int64_t room = total - start_;
  size_ = size == 0 ? room : std::clamp<int64_t>(size, 0, room);
}

TRangeStream::TRangeStream(std::unique_ptr<TStream> source, int64_t size, int64_t start)
    : TRangeStream(*source, size, start) {
  owned_ = std::move(source);
}

int64_t TRangeStream::Seek(int64_t offset, SeekOrigin origin) {
  std::lock_guard<std::mutex> hold(lock_);
  const int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? pos_ : size_;
  pos_ = ClampedSeekTarget(base, offset, size_);
  return pos_;
}

int64_t TRangeStream::ReadWindow(int64_t offset, void* buffer, int64_t n) {
  if (offset < 0 || offset >= size_ || n <= 0) return 0;
  n = std::min(n, size_ - offset);
  if (source_.Seek(start_ + offset, SeekOrigin::Begin) != start_ + offset) return 0;
  return std::max<int64_t>(0, source_.Read(buffer, n));
}

int64_t TRangeStream::Read(void* buffer, int64_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  const int64_t got = ReadWindow(pos_, buffer, count);
  pos_ += got;
  return got;
}

int64_t TRangeStream::Write(const void*, int64_t) {
  std::lock_guard<std::mutex> hold(lock_);
  return 0;
}

TFileRangeStream::TFileRangeStream(const std::string& path, int64_t size, int64_t start)
    : TRangeStream(std::make_unique<TKoBigFileStream>(path, TKoBigFileStream::Mode::OpenRead), size, start) {}

TResourceRangeStream::TResourceRangeStream(const std::string& type, int64_t size, int64_t start,
                                           const std::string& name)
    : TRangeStream(std::make_unique<TKoBigResourceStream>(name, type), size, start) {}

// ---- TScrambleRangeStream ----

TScrambleRangeStream::TScrambleRangeStream(TStream& source, int64_t size, int64_t start)
    : TRangeStream(source, size, start) {
  ReadHeader();
}

TScrambleRangeStream::TScrambleRangeStream(std::unique_ptr<TStream> source, int64_t size, int64_t start)
    : TRangeStream(std::move(source), size, start) {
  ReadHeader();
}

void TScrambleRangeStream::ReadHeader() {
  uint8_t header[8];
  if (TRangeStream::GetSize() < 8 || ReadWindow(0, header, 8) != 8)
    throw FormatError("Damaged data: scrambled header is truncated");
  TKoMemoryStream bytes(std::vector<uint8_t>(header, header + 8));
  RecordReader r(bytes);
  blockSize_ = r.I32();
  const int32_t seed = r.I32() ^ kScrambleSeedMask;
  if (blockSize_ < 1) throw FormatError("Damaged data: invalid scrambled block size");
  logicalSize_ = TRangeStream::GetSize() - 8;
  const int64_t blocks = ScrambleBlockCount(logicalSize_, blockSize_);
  if (blocks > kMaxScrambleBlocks) throw FormatError("Damaged data: too many scrambled blocks");
  inverse_ = TScrambleInts(seed);
  if (blocks > 0) inverse_.MakeInverse(0, static_cast<int32_t>(blocks - 1));
}

int64_t TScrambleRangeStream::Seek(int64_t offset, SeekOrigin origin) {
  std::lock_guard<std::mutex> hold(Lock());
  const int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? logicalPos_ : logicalSize_;
  logicalPos_ = ClampedSeekTarget(base, offset, logicalSize_);
  return logicalPos_;
}

int64_t TScrambleRangeStream::Read(void* buffer, int64_t count) {
  std::lock_guard<std::mutex> hold(Lock());
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (count - done > 0 && logicalPos_ < logicalSize_) {
    const int64_t block = logicalPos_ / blockSize_;
    const int64_t within = logicalPos_ % blockSize_;
    const int32_t stored = inverse_.Item(block);
    if (stored < 0) break;
    const int64_t want = std::min({count - done, blockSize_ - within, logicalSize_ - logicalPos_});
    const int64_t got = ReadWindow(8 + int64_t{stored} * blockSize_ + within, out + done, want);
    if (got <= 0) break;
    done += got;
    logicalPos_ += got;
    if (got < want) break;
  }
  return done;
}

int64_t TScrambleRangeStream::Write(const void*, int64_t) {
  std::lock_guard<std::mutex> hold(Lock());
  return 0;
}

TFileScrambleRangeStream::TFileScrambleRangeStream(const std::string& path, int64_t size, int64_t start)
    : TScrambleRangeStream(std::make_unique<TKoBigFileStream>(path, TKoBigFileStream::Mode::OpenRead), size, start) {}

TResourceScrambleRangeStream::TResourceScrambleRangeStream(const std::string& type, int64_t size, int64_t start,
                                                           const std::string& name)
    : TScrambleRangeStream(std::make_unique<TKoBigResourceStream>(name, type), size, start) {}

}  // namespace qubo
