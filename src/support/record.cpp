#include "support/record.h"

#include <bit>
#include <cstring>

#include "support/errors.h"

namespace qubo {

void RecordReader::Fail() const { throw FormatError(error_); }
void RecordReader::Fail(const std::string& message) const { throw FormatError(message); }

void RecordReader::Read(void* buffer, int64_t n) {
  if (n <= 0) return;
  const int64_t got = s_.Read(buffer, n);
  if (got == n) return;
  if (truncation_ == Truncation::ZeroFill) {
    std::memset(static_cast<uint8_t*>(buffer) + (got > 0 ? got : 0), 0, static_cast<size_t>(n - (got > 0 ? got : 0)));
    return;
  }
  Fail();
}

int32_t RecordReader::I32() {
  uint8_t b[4];
  Read(b, 4);
  return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
}

int16_t RecordReader::I16() {
  uint8_t b[2];
  Read(b, 2);
  return static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
}

uint8_t RecordReader::U8() {
  uint8_t b;
  Read(&b, 1);
  return b;
}

int64_t RecordReader::I64() {
  uint8_t b[8];
  Read(b, 8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
  return static_cast<int64_t>(v);
}

double RecordReader::Double() { return std::bit_cast<double>(static_cast<uint64_t>(I64())); }

Extended80 RecordReader::ExtendedRaw() {
  Extended80 e{};
  Read(e.data(), 10);
  return e;
}

void RecordReader::CheckCount(int64_t count, int64_t minElementSize) {
  if (count < 0) Fail();
  if (minElementSize < 1) minElementSize = 1;
  // In a lenient reader a count may still not promise more bytes than exist.
  if (count > Remaining() / minElementSize) Fail();
}

int32_t RecordReader::Count(int64_t minElementSize) {
  const int32_t n = I32();
  CheckCount(n, minElementSize);
  return n;
}

std::string RecordReader::String() {
  const int32_t n = I32();
  if (n <= 0) return {};
  return Text(n);
}

std::string RecordReader::Text(int64_t n) {
  if (n <= 0) return {};
  if (n > Remaining()) {
    if (truncation_ == Truncation::Raise) Fail();
    // Lenient: what exists, then zeros, but never more than the stream could have held.
    std::string out(static_cast<size_t>(Remaining()), '\0');
    Read(out.data(), static_cast<int64_t>(out.size()));
    return out;
  }
  std::string out(static_cast<size_t>(n), '\0');
  Read(out.data(), n);
  return out;
}

std::vector<uint8_t> RecordReader::Bytes(int64_t n) {
  if (n <= 0) return {};
  if (n > Remaining()) Fail();
  std::vector<uint8_t> out(static_cast<size_t>(n));
  Read(out.data(), n);
  return out;
}

void RecordReader::Skip(int64_t n) {
  if (n <= 0) return;
  if (n > Remaining()) {
    if (truncation_ == Truncation::Raise) Fail();
    n = Remaining();
  }
  s_.Seek(n, SeekOrigin::Current);
}

void RecordWriter::I32(int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                        static_cast<uint8_t>(u >> 24)};
  s_.WriteBuffer(b, 4);
}

void RecordWriter::I16(int16_t v) {
  const uint16_t u = static_cast<uint16_t>(v);
  const uint8_t b[2] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)};
  s_.WriteBuffer(b, 2);
}

void RecordWriter::I64(int64_t v) {
  uint8_t b[8];
  uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i, u >>= 8) b[i] = static_cast<uint8_t>(u);
  s_.WriteBuffer(b, 8);
}

void RecordWriter::Double(double v) { I64(static_cast<int64_t>(std::bit_cast<uint64_t>(v))); }

void RecordWriter::String(const std::string& v) {
  if (v.size() > 0x7FFFFFFF) throw StreamError(kStreamWriteError);
  I32(static_cast<int32_t>(v.size()));
  s_.WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
}

}  // namespace qubo
