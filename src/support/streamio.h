#pragma once
// Stream helpers in the byte layout of every stored record: little-endian integers, doubles,
// 10-byte extended reals and i32-length-prefixed strings. Thin wrappers over RecordReader and
// RecordWriter for code that reads one field at a time.
//
// A short read raises FormatError with the stream read error text; string lengths are
// checked against the bytes left before anything is allocated.

#include <cstdint>
#include <string>

namespace qubo {

class TStream;

void WriteInt(TStream& s, int32_t v);
int32_t ReadInt(TStream& s);
void WriteInt16(TStream& s, int16_t v);
int16_t ReadInt16(TStream& s);
void WriteByte(TStream& s, uint8_t v);
uint8_t ReadByte(TStream& s);
// Two i32 (8 bytes), a first.
void WritePair(TStream& s, int32_t a, int32_t b);
void ReadPair(TStream& s, int32_t& a, int32_t& b);
void WriteDouble(TStream& s, double v);
double ReadDouble(TStream& s);
void WriteExtended(TStream& s, double v);
double ReadExtended(TStream& s);
// i32 byte count then the bytes; the empty string is the count 0 alone.
void WriteString(TStream& s, const std::string& v);
// A count of 0 or less reads as the empty string.
std::string ReadString(TStream& s);

// Copies size bytes from source's current position to dest and answers size. A size of 0
// copies the whole source from its start; a negative size copies nothing and answers 0.
// A memory-stream source is written straight from its memory. A source that runs short
// raises StreamError (what was already copied stays written); a memory stream too short for
// the size raises before anything is written.
int64_t CopyStream(TStream& dest, TStream& source, int64_t size);

// The largest buffer CopyStream uses, and the step by which it shrinks the buffer when the
// allocation fails.
inline constexpr int64_t kCopyBufferMax = 10485760;
inline constexpr int64_t kCopyBufferStep = 1048576;

}  // namespace qubo
