#pragma once
// CRC-32 (the reflected IEEE 802.3 polynomial, as zlib computes it).

#include <cstdint>

#include "support/stream.h"

namespace qubo {

// The CRC of the whole stream, read from its start; the position ends at the end.
uint32_t Crc32(TStream& stream);
// The CRC of n bytes, continuing from crc (0 to start).
uint32_t Crc32(const void* data, int64_t n, uint32_t crc = 0);

}  // namespace qubo
