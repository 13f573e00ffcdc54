#include "storage/bigstreams.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "support/errors.h"

namespace qubo {

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

// ---- TKoBigFileStream ----

std::string TKoBigFileStream::SegmentName(const std::string& path, int index) {
  if (index <= 0) return path;
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  std::string stem = path;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem = path.substr(0, dot);
  char digits[16];
  std::snprintf(digits, sizeof digits, ".%.3d", index);
  return stem + digits;
}

TKoBigFileStream::TKoBigFileStream(const std::string& path, Mode mode, int64_t segmentSize)
    : path_(path), mode_(mode), segmentSize_(segmentSize > 0 ? segmentSize : kDefaultSegmentSize) {
  if (mode == Mode::Create) {
    for (int i = 0;; ++i) {
      const std::string name = SegmentName(path, i);
      if (!FileExists(name)) break;
      std::error_code ec;
      std::filesystem::remove(name, ec);
      if (ec) throw StreamError("Cannot delete file \"" + name + "\"");
    }
    segments_.push_back(std::make_unique<TFileStream>(path, TFileStream::Mode::Create));
    return;
  }
  const auto fileMode = mode == Mode::OpenRead ? TFileStream::Mode::OpenRead : TFileStream::Mode::OpenReadWrite;
  segments_.push_back(std::make_unique<TFileStream>(path, fileMode));
  for (int i = 1; i < std::numeric_limits<int>::max(); ++i) {
    const std::string name = SegmentName(path, i);
    if (!FileExists(name)) break;
    segments_.push_back(std::make_unique<TFileStream>(name, fileMode));
  }
}

TKoBigFileStream::~TKoBigFileStream() {
  if (mode_ != Mode::OpenRead)
    for (auto& s : segments_) s->Flush();
}

TFileStream* TKoBigFileStream::Segment(int index) {
  if (index < 0) return nullptr;
  if (index < SegmentCount()) return segments_[static_cast<size_t>(index)].get();
  // Only the segment right after the last one may be created, and only when writing.
  if (index != SegmentCount() || mode_ == Mode::OpenRead) return nullptr;
  segments_.push_back(std::make_unique<TFileStream>(SegmentName(path_, index), TFileStream::Mode::Create));
  return segments_.back().get();
}

int64_t TKoBigFileStream::GetSize() {
  int64_t size = 0;
  for (auto& s : segments_) size += s->GetSize();
  return size;
}

int64_t TKoBigFileStream::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t size = GetSize();
  const int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? pos_ : size;
  pos_ = ClampedSeekTarget(base, offset, size);
  return pos_;
}

int64_t TKoBigFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (count - done > 0) {
    const int64_t index = pos_ / segmentSize_;
    const int64_t offset = pos_ % segmentSize_;
    if (index >= SegmentCount()) break;
    TFileStream* seg = segments_[static_cast<size_t>(index)].get();
    const int64_t want = std::min(count - done, segmentSize_ - offset);
    if (seg->Seek(offset, SeekOrigin::Begin) != offset) break;
    const int64_t got = seg->Read(out + done, want);
    if (got <= 0) break;
    done += got;
    pos_ += got;
    if (got < want) break;
  }
  return done;
}

int64_t TKoBigFileStream::Write(const void* buffer, int64_t count) {
  if (mode_ == Mode::OpenRead) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (count - done > 0) {
    const int64_t index = pos_ / segmentSize_;
    const int64_t offset = pos_ % segmentSize_;
    if (index >= std::numeric_limits<int>::max()) break;
    TFileStream* seg = Segment(static_cast<int>(index));
    if (!seg) break;
    const int64_t want = std::min(count - done, segmentSize_ - offset);
    if (seg->Seek(offset, SeekOrigin::Begin) != offset) break;
    const int64_t put = seg->Write(in + done, want);
    if (put <= 0) break;
    done += put;
    pos_ += put;
    if (put < want) break;
  }
  return done;
}

// ---- Resources ----

namespace {
std::atomic<ResourceSource*> g_resources{nullptr};
}

void SetResourceSource(ResourceSource* source) { g_resources.store(source); }
ResourceSource* GetResourceSource() { return g_resources.load(); }

TKoBigResourceStream::TKoBigResourceStream(const std::string& name, const std::string& type)
    : name_(name), type_(type) {
  ResourceSource* source = GetResourceSource();
  std::vector<uint8_t> bytes;
  if (!source || !source->Load(name, type, bytes)) throw StreamError("Resource \"" + name + "\" not found");
  mem_.Assign(std::move(bytes));
}

// ---- TKoBuffBigStream ----

TKoBuffBigStream::TKoBuffBigStream(TStream& source, int64_t bufferSize)
    : source_(source), buffer_(static_cast<size_t>(bufferSize > 0 ? bufferSize : kDefaultBufferSize)) {}

TKoBuffBigStream::~TKoBuffBigStream() {
  if (Unconsumed() <= 0) return;
  try {
    source_.Seek(-Unconsumed(), SeekOrigin::Current);
  } catch (...) {
    // A destructor must not throw; the source position is then simply left where it is.
  }
}

int64_t TKoBuffBigStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  const int64_t capacity = static_cast<int64_t>(buffer_.size());
  while (count - done > 0) {
    if (Unconsumed() == 0) {
      if (count - done >= capacity) {
        // A large request bypasses the buffer.
        const int64_t got = source_.Read(out + done, count - done);
        if (got > 0) done += got;
        break;
      }
      fill_ = std::max<int64_t>(0, source_.Read(buffer_.data(), capacity));
      next_ = 0;
      if (fill_ == 0) break;
    }
    const int64_t n = std::min(count - done, Unconsumed());
    std::memcpy(out + done, buffer_.data() + next_, static_cast<size_t>(n));
    next_ += n;
    done += n;
  }
  return done;
}

int64_t TKoBuffBigStream::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t logical = source_.Seek(0, SeekOrigin::Current) - Unconsumed();
  if (origin == SeekOrigin::Current && offset == 0) return logical;
  source_.Seek(logical, SeekOrigin::Begin);
  fill_ = next_ = 0;
  return source_.Seek(offset, origin);
}

}  // namespace qubo
