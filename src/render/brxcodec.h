#pragma once
// The plane codings of the layered image file, both ways: whole rows (natural or permuted
// order, stored or zlib), block tables with their references, and JPEG colour planes.

#include <cstdint>
#include <functional>
#include <vector>

#include "render/brxformat.h"

namespace qubo {

class TDIBSurface;

namespace brx {

// How the planes of one file are coded (taken from its header).
struct TPlaneCoding {
  int32_t version = kStructuredVersion;
  uint8_t compType = kCompZlib;
  int32_t blockWidth = 0, blockHeight = 0;
  bool randomized = false;
  int32_t idCode = 0;
};

// The plane of the same kind (colour or alpha) of layer `layer` of frame `frame`, when that
// layer has been decoded completely; null otherwise.
using TPlaneLookup = std::function<const TDIBSurface*(int32_t frame, int32_t layer)>;

// Decodes stored plane data into plane, which the caller has sized and formatted (palette
// included). colour selects the colour-plane rules (JPEG). Every inconsistency (sizes,
// truncation, inflation that does not give exactly the expected bytes, a block reference to
// a block or plane that is not decoded, out of range, or of another size or depth) raises
// FormatError with the damaged-file message; randomized data without an identification
// code raises its own message; an unknown compression type the unreadable-format message.
void DecodePlane(const uint8_t* data, size_t size, const TPlaneCoding& coding, bool colour, TDIBSurface& plane,
                 const TPlaneLookup& lookup);

struct TPlaneEncoding : TPlaneCoding {
  int zlibLevel = -1;  // zlib's default
  int jpegQuality = 90;
  // Block table to store (one entry per block, in block order); null stores every block.
  // Referencing entries store nothing: the caller makes sure their pixels are what the
  // reference gives.
  const std::vector<TBrixBlockRef>* table = nullptr;
};

// The stored data of a plane under the same rules (the inverse of DecodePlane).
std::vector<uint8_t> EncodePlane(const TDIBSurface& plane, bool colour, const TPlaneEncoding& encoding);

// Inflates a zlib stream that must give exactly expected bytes (FormatError otherwise).
std::vector<uint8_t> InflateExact(const uint8_t* data, size_t size, size_t expected);
// Inflates a zlib stream of unknown length, at most limit bytes.
std::vector<uint8_t> InflateBounded(const uint8_t* data, size_t size, size_t limit);
std::vector<uint8_t> Deflate(const uint8_t* data, size_t size, int level);

}  // namespace brx
}  // namespace qubo
