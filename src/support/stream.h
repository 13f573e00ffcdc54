#pragma once
// The ordinary stream: 64-bit positions and sizes, read/write/seek. Memory and file streams
// live here; the large-file family and range streams build on it in storage/.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qubo {

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// base + offset clamped into [0, size], without overflow for any operands.
int64_t ClampedSeekTarget(int64_t base, int64_t offset, int64_t size);

class TStream {
 public:
  virtual ~TStream() = default;

  // Transfer up to count bytes; answer how many moved. Never throws for a short transfer.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;

  virtual int64_t GetSize();
  // Streams that cannot change their size throw StreamError.
  virtual void SetSize(int64_t size);

  int64_t GetPosition() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }
  int64_t Remaining() {
    const int64_t left = GetSize() - GetPosition();
    return left > 0 ? left : 0;
  }

  // Exactly count bytes or StreamError.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies count bytes from source's current position (count 0: the whole source from its
  // start). Raises StreamError when the source runs short.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable stream in memory.
class TKoMemoryStream : public TStream {
 public:
  TKoMemoryStream() = default;
  explicit TKoMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  void Clear() {
    data_.clear();
    pos_ = 0;
  }
  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  std::vector<uint8_t>& Bytes() { return data_; }
  // Takes the content; the position goes to 0.
  void Assign(std::vector<uint8_t> bytes) {
    data_ = std::move(bytes);
    pos_ = 0;
  }

  // The whole stream to or from a file (host path, UTF-8). Raise StreamError on failure.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;
  // Replaces the content by the rest of source; position 0 afterwards.
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& dest) const { dest.WriteBuffer(data_.data(), GetSizeConst()); }

 private:
  int64_t GetSizeConst() const { return static_cast<int64_t>(data_.size()); }
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

// An ordinary file on disk (host path, UTF-8).
class TFileStream : public TStream {
 public:
  enum class Mode { OpenRead, OpenReadWrite, Create };
  // Raises StreamError when the file cannot be opened.
  TFileStream(const std::string& path, Mode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;
  void Flush();
  const std::string& Path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace qubo
