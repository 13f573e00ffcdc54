#pragma once
// Fingerprints and PNG copies of presented frames, for the headless back end and tests.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qubo::platform {

// 64-bit FNV-1a over the width and height (4 bytes each, little-endian) and then, row by row,
// the B, G and R bytes of every pixel. The unused top byte and the row padding take no part,
// so equal pictures hash equal whatever their pitch. A frame without pixels hashes its size.
uint64_t HashFrame(const FrameView& frame);

// Writes the frame as an 8-bit RGB PNG file. False when the frame is empty or the file
// cannot be written.
bool WriteFramePng(const FrameView& frame, const std::string& path);

// A frame is usable when it has pixels, a positive size and a pitch that is a multiple of 4
// and at least 4 * width.
bool IsValidFrame(const FrameView& frame);

}  // namespace qubo::platform
