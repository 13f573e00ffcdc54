#pragma once
// zlib-format compression helpers over streams.

#include <cstdint>

#include "support/stream.h"

namespace qubo {

// No bound on the decompressed size.
inline constexpr int64_t kNoSizeLimit = -1;

// Replaces the content by its zlib compression at level (0..9, or -1 for zlib's default);
// the position ends at 0.
void Compress(TKoMemoryStream& stream, int level);

// Replaces the content by its decompression; the position ends at 0. A damaged or truncated
// stream, or one whose output would pass maxSize (when maxSize >= 0), raises FormatError and
// leaves the content as it was.
void Decompress(TKoMemoryStream& stream, int64_t maxSize = kNoSizeLimit);

// Decompresses one zlib stream read from source's position and appends the output at the end
// of dest. The source is left right after the compressed stream. Answers the bytes appended.
// Raises FormatError as Decompress does; what was appended before the fault stays in dest.
int64_t DecompressTo(TStream& source, TStream& dest, int64_t maxSize = kNoSizeLimit);

}  // namespace qubo
