#pragma once
// The one reader and writer of stored records: little-endian integers, one-byte booleans,
// length-prefixed strings and 10-byte extended reals, over any stream.
//
// The reader is bounded: every count and length is checked against the bytes left in the
// stream before anything is allocated. A short read raises FormatError, unless the reader
// was made lenient, in which case missing bytes read as zeros (for the few records whose
// format says so).

#include <cstdint>
#include <string>
#include <vector>

#include "support/extended.h"
#include "support/stream.h"

namespace qubo {

class RecordReader {
 public:
  enum class Truncation { Raise, ZeroFill };
  explicit RecordReader(TStream& stream, Truncation truncation = Truncation::Raise,
                        std::string error = "Damaged data: unexpected end of record")
      : s_(stream), truncation_(truncation), error_(std::move(error)) {}

  TStream& Stream() { return s_; }
  int64_t Remaining() { return s_.Remaining(); }
  int64_t Position() { return s_.GetPosition(); }

  int32_t I32();
  uint32_t U32() { return static_cast<uint32_t>(I32()); }
  int16_t I16();
  uint16_t U16() { return static_cast<uint16_t>(I16()); }
  uint8_t U8();
  int64_t I64();
  // One byte; any value other than 0 is true.
  bool Bool() { return U8() != 0; }
  double Double();
  double Extended() { return ExtendedToDouble(ExtendedRaw()); }
  Extended80 ExtendedRaw();
  // i32 byte count, then the bytes; a count of 0 or less is the empty string.
  std::string String();
  // Exactly n bytes (n checked against what is left).
  std::vector<uint8_t> Bytes(int64_t n);
  std::string Text(int64_t n);
  void Read(void* buffer, int64_t n);
  void Skip(int64_t n);

  // An i32 element count, checked: 0 <= count and count * minElementSize <= bytes left.
  // minElementSize is the smallest number of bytes one element can take in the stream.
  int32_t Count(int64_t minElementSize);
  // Checks a count read by other means the same way.
  void CheckCount(int64_t count, int64_t minElementSize);

  [[noreturn]] void Fail() const;
  [[noreturn]] void Fail(const std::string& message) const;

 private:
  TStream& s_;
  Truncation truncation_;
  std::string error_;
};

class RecordWriter {
 public:
  explicit RecordWriter(TStream& stream) : s_(stream) {}
  TStream& Stream() { return s_; }

  void I32(int32_t v);
  void U32(uint32_t v) { I32(static_cast<int32_t>(v)); }
  void I16(int16_t v);
  void U8(uint8_t v) { s_.WriteBuffer(&v, 1); }
  void I64(int64_t v);
  void Bool(bool v) { U8(v ? 1 : 0); }
  void Double(double v);
  void Extended(double v) { ExtendedRaw(DoubleToExtended(v)); }
  void ExtendedRaw(const Extended80& v) { s_.WriteBuffer(v.data(), 10); }
  // The empty string is the count 0 alone.
  void String(const std::string& v);
  void Bytes(const void* data, int64_t n) { s_.WriteBuffer(data, n); }

 private:
  TStream& s_;
};

}  // namespace qubo
