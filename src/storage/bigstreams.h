#pragma once
// The 64-bit stream family: segmented files, memory, module resources, and a buffered
// sequential reader.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/stream.h"

namespace qubo {

// A stream with 64-bit sizes and positions plus copies between streams. Every copy raises
// StreamError when its source runs short.
class TKoBigStream : public TStream {
 public:
  // Copies count bytes from source's position (count 0: the whole source from its start).
  virtual int64_t CopyFromBig(TKoBigStream& source, int64_t count) { return CopyFrom(source, count); }
  // The same from an ordinary stream.
  virtual int64_t WriteFrom(TStream& source, int64_t count) { return CopyFrom(source, count); }
  // Copies count bytes from this stream's position into dest (count 0: the whole of this
  // stream from its start).
  virtual int64_t ReadTo(TStream& dest, int64_t count) { return dest.CopyFrom(*this, count); }
};

// A file stored as one or more segment files of at most segmentSize bytes each. Segment 0 is
// the file itself; segment i >= 1 is the name without its extension followed by ".%.3d"
// ("game.dat" -> "game.001", "game.002", ...).
class TKoBigFileStream : public TKoBigStream {
 public:
  enum class Mode { OpenRead, OpenReadWrite, Create };
  static constexpr int64_t kDefaultSegmentSize = int64_t{1} << 30;

  // The name of segment index (0: path itself).
  static std::string SegmentName(const std::string& path, int index);

  // Create first deletes every existing segment (0 upward until one is missing), then
  // creates segment 0. The open modes open every existing segment in order; StreamError when
  // segment 0 cannot be opened.
  TKoBigFileStream(const std::string& path, Mode mode, int64_t segmentSize = kDefaultSegmentSize);
  ~TKoBigFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  // Writing at the end of a full last segment creates the next segment file.
  int64_t Write(const void* buffer, int64_t count) override;
  // The position is clamped into [0, size].
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // The sum of the segment sizes.
  int64_t GetSize() override;

  int SegmentCount() const { return static_cast<int>(segments_.size()); }
  int64_t SegmentSize() const { return segmentSize_; }
  const std::string& Path() const { return path_; }

 private:
  TFileStream* Segment(int index);

  std::string path_;
  Mode mode_;
  int64_t segmentSize_;
  int64_t pos_ = 0;
  std::vector<std::unique_ptr<TFileStream>> segments_;
};

// A big stream over an owned memory stream.
class TKoBigMemoryStream : public TKoBigStream {
 public:
  TKoBigMemoryStream() = default;
  explicit TKoBigMemoryStream(std::vector<uint8_t> bytes) : mem_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override { return mem_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return mem_.Write(buffer, count); }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return mem_.Seek(offset, origin); }
  int64_t GetSize() override { return mem_.GetSize(); }
  void SetSize(int64_t size) override { mem_.SetSize(size); }

  void SaveToFile(const std::string& path) const { mem_.SaveToFile(path); }
  void LoadFromFile(const std::string& path) { mem_.LoadFromFile(path); }
  TKoMemoryStream& Memory() { return mem_; }

 private:
  TKoMemoryStream mem_;
};

// Where module resources come from. This platform has none: no source is installed unless a
// caller (a test, an embedding host) installs one.
class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  // The bytes of the named resource of the given type, or false when there is none.
  virtual bool Load(const std::string& name, const std::string& type, std::vector<uint8_t>& out) = 0;
};
// Installs the process-wide source (nullptr: none). The caller keeps ownership.
void SetResourceSource(ResourceSource* source);
ResourceSource* GetResourceSource();

// A read-only stream over a module resource. Raises StreamError when the resource is
// missing (always, when no resource source is installed).
class TKoBigResourceStream : public TKoBigStream {
 public:
  TKoBigResourceStream(const std::string& name, const std::string& type);

  int64_t Read(void* buffer, int64_t count) override { return mem_.Read(buffer, count); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return mem_.Seek(offset, origin); }
  int64_t GetSize() override { return mem_.GetSize(); }

  const std::string& Name() const { return name_; }
  const std::string& Type() const { return type_; }

 private:
  std::string name_;
  std::string type_;
  TKoMemoryStream mem_;
};

// A buffered sequential reader over a stream. When it goes away, the source is moved back by
// the bytes buffered but not consumed, so the source ends right after what was delivered.
class TKoBuffBigStream : public TStream {
 public:
  static constexpr int64_t kDefaultBufferSize = 102400;
  explicit TKoBuffBigStream(TStream& source, int64_t bufferSize = kDefaultBufferSize);
  ~TKoBuffBigStream() override;
  TKoBuffBigStream(const TKoBuffBigStream&) = delete;
  TKoBuffBigStream& operator=(const TKoBuffBigStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  // Positions are those of the source; a seek other than a query drops the buffer.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t GetSize() override { return source_.GetSize(); }

 private:
  int64_t Unconsumed() const { return fill_ - next_; }

  TStream& source_;
  std::vector<uint8_t> buffer_;
  int64_t fill_ = 0;
  int64_t next_ = 0;
};

}  // namespace qubo
