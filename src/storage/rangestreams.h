#pragma once
// Read-only windows onto a byte range of another stream, plain or holding a scrambled block
// image. Seek, Read and Write of one window are serialised by its own lock, so a window may be
// read from another thread; a source shared by several windows needs its own protection.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "storage/bigstreams.h"
#include "storage/scrambles.h"
#include "support/stream.h"

namespace qubo {

class TRangeStream : public TStream {
 public:
  // A window of size bytes from start over a stream the caller keeps alive. Size 0 means up
  // to the end of the source. The window is clamped to the bytes the source holds.
  TRangeStream(TStream& source, int64_t size, int64_t start);
  // The same over a stream the window owns.
  TRangeStream(std::unique_ptr<TStream> source, int64_t size, int64_t start);
  TRangeStream(const TRangeStream&) = delete;
  TRangeStream& operator=(const TRangeStream&) = delete;

  // The position is clamped into [0, size].
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // Requests reaching past the end of the window are shortened.
  int64_t Read(void* buffer, int64_t count) override;
  // Read-only: writes nothing and answers 0.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t GetSize() override { return size_; }

  int64_t Start() const { return start_; }

 protected:
  // Reads up to n bytes at offset of the window (no lock taken; clamped to the window).
  int64_t ReadWindow(int64_t offset, void* buffer, int64_t n);
  std::mutex& Lock() { return lock_; }

 private:
  std::unique_ptr<TStream> owned_;
  TStream& source_;
  int64_t start_ = 0;
  int64_t size_ = 0;
  int64_t pos_ = 0;
  std::mutex lock_;
};

// A window onto a file opened read-only as a (possibly segmented) big file stream.
class TFileRangeStream : public TRangeStream {
 public:
  TFileRangeStream(const std::string& path, int64_t size, int64_t start);
};

// A window onto a resource of this program (see ResourceSource; StreamError when missing).
class TResourceRangeStream : public TRangeStream {
 public:
  TResourceRangeStream(const std::string& type, int64_t size, int64_t start, const std::string& name);
};

// A window holding a scrambled block image, read as the plain bytes without unscrambling the
// whole. Construction raises FormatError for a window shorter than the 8-byte header, a block
// size below 1 or too many blocks.
class TScrambleRangeStream : public TRangeStream {
 public:
  TScrambleRangeStream(TStream& source, int64_t size, int64_t start);
  TScrambleRangeStream(std::unique_ptr<TStream> source, int64_t size, int64_t start);

  // Logical positions, clamped into [0, logical size].
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // Reads are clamped to the logical size.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t GetSize() override { return logicalSize_; }

  int32_t BlockSize() const { return blockSize_; }

 private:
  void ReadHeader();

  int32_t blockSize_ = 1;
  int64_t logicalSize_ = 0;
  int64_t logicalPos_ = 0;
  TScrambleInts inverse_{0};
};

class TFileScrambleRangeStream : public TScrambleRangeStream {
 public:
  TFileScrambleRangeStream(const std::string& path, int64_t size, int64_t start);
};

class TResourceScrambleRangeStream : public TScrambleRangeStream {
 public:
  TResourceScrambleRangeStream(const std::string& type, int64_t size, int64_t start, const std::string& name);
};

}  // namespace qubo
