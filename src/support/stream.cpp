#include "support/stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <sys/types.h>
#include <unistd.h>

#include "support/errors.h"

namespace qubo {

int64_t ClampedSeekTarget(int64_t base, int64_t offset, int64_t size) {
  int64_t target;
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) {
    target = size;
  } else if (offset < 0 && base < std::numeric_limits<int64_t>::min() - offset) {
    target = 0;
  } else {
    target = base + offset;
  }
  return std::clamp<int64_t>(target, 0, size);
}

int64_t TStream::GetSize() {
  const int64_t pos = Seek(0, SeekOrigin::Current);
  const int64_t size = Seek(0, SeekOrigin::End);
  Seek(pos, SeekOrigin::Begin);
  return size;
}

void TStream::SetSize(int64_t) { throw StreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Read(buffer, count) != count) throw StreamError(kStreamReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Write(buffer, count) != count) throw StreamError(kStreamWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (count < 0) return 0;
  constexpr int64_t kChunk = 1 << 20;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

// ---- TKoMemoryStream ----

int64_t TKoMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = GetSize();
  if (count <= 0 || pos_ >= size) return 0;
  const int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TKoMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (pos_ > std::numeric_limits<int64_t>::max() - count) return 0;
  const int64_t end = pos_ + count;
  if (end > GetSize()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ = end;
  return count;
}

int64_t TKoMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = 0;
  if (origin == SeekOrigin::Current) base = pos_;
  if (origin == SeekOrigin::End) base = GetSize();
  // Like an ordinary memory stream, a position beyond the end is allowed (a write fills the
  // gap with zeros); a negative one is not.
  int64_t target = base + offset;
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) target = base;
  pos_ = std::max<int64_t>(0, target);
  return pos_;
}

void TKoMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  data_.resize(static_cast<size_t>(size));
  if (pos_ > size) pos_ = size;
}

void TKoMemoryStream::LoadFromFile(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  LoadFromStream(file);
}

void TKoMemoryStream::SaveToFile(const std::string& path) const {
  TFileStream file(path, TFileStream::Mode::Create);
  SaveToStream(file);
}

void TKoMemoryStream::LoadFromStream(TStream& source) {
  const int64_t n = source.Remaining();
  std::vector<uint8_t> bytes(static_cast<size_t>(n));
  source.ReadBuffer(bytes.data(), n);
  Assign(std::move(bytes));
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
  const char* how = mode == Mode::OpenRead ? "rb" : mode == Mode::OpenReadWrite ? "r+b" : "w+b";
  file_ = std::fopen(path.c_str(), how);
  if (!file_) throw StreamError("Cannot open file \"" + path + "\"");
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  if (fseeko(file_, static_cast<off_t>(offset), whence) != 0) {
    if (origin == SeekOrigin::Begin && offset < 0) fseeko(file_, 0, SEEK_SET);
  }
  return static_cast<int64_t>(ftello(file_));
}

int64_t TFileStream::GetSize() {
  const off_t pos = ftello(file_);
  fseeko(file_, 0, SEEK_END);
  const off_t size = ftello(file_);
  fseeko(file_, pos, SEEK_SET);
  return static_cast<int64_t>(size);
}

void TFileStream::SetSize(int64_t size) {
  std::fflush(file_);
  if (size < 0 || ftruncate(fileno(file_), static_cast<off_t>(size)) != 0)
    throw StreamError("Cannot set the size of \"" + path_ + "\"");
  if (ftello(file_) > size) fseeko(file_, static_cast<off_t>(size), SEEK_SET);
}

void TFileStream::Flush() { std::fflush(file_); }

}  // namespace qubo
