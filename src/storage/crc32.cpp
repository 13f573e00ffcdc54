#include "storage/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace qubo {

uint32_t Crc32(const void* data, int64_t n, uint32_t crc) {
  const auto* p = static_cast<const Bytef*>(data);
  uLong c = crc;
  while (n > 0) {
    const int64_t piece = std::min<int64_t>(n, 1 << 30);
    c = crc32(c, p, static_cast<uInt>(piece));
    p += piece;
    n -= piece;
  }
  return static_cast<uint32_t>(c);
}

uint32_t Crc32(TStream& stream) {
  constexpr int64_t kChunk = 1048576;
  stream.SetPosition(0);
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(kChunk, std::max<int64_t>(1, stream.GetSize()))));
  uint32_t crc = 0;
  for (;;) {
    const int64_t got = stream.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got <= 0) break;
    crc = Crc32(buffer.data(), got, crc);
  }
  return crc;
}

}  // namespace qubo
