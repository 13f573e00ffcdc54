#pragma once
// The small serialisers of stored records, one value at a time over a stream. Reads are
// bounded: a short read raises FormatError.

#include <cstdint>
#include <string>

#include "support/stream.h"

namespace qubo {

// i32 byte count, then the bytes; a count of 0 or less is the empty string (4 bytes used).
std::string ReadString(TStream& stream);
// The empty string is written as the count 0 alone.
void WriteString(TStream& stream, const std::string& s);
int32_t ReadInt(TStream& stream);
void WriteInt(TStream& stream, int32_t v);
uint8_t ReadByte(TStream& stream);
void WriteByte(TStream& stream, uint8_t v);

}  // namespace qubo
