#pragma once
// Clipping of straight (unscaled) draws: one place for the rules every composition shares.

#include <cstdint>

#include "render/rect.h"

namespace qubo {

// A straight draw after clipping: the destination position of the first drawn pixel and
// the source rectangle that is actually read (in source coordinates).
struct TStraightClip {
  int32_t dx = 0, dy = 0;
  TRect src;
};

// Clips a draw of source rectangle src at destination (x, y). The source rectangle is first
// cut to srcLimit (the source pixels that exist, intersected with any mask read alongside);
// then the destination is cut to clip. With flipH the source is read right column first, so
// a cut on one side of the destination shortens the opposite side of the source; flipV
// likewise for rows. All arithmetic is 64-bit; false when nothing is left to draw.
bool ClipStraight(int32_t x, int32_t y, const TRect& src, const TRect& srcLimit, const TRect& clip,
                  bool flipH, bool flipV, TStraightClip& out);

}  // namespace qubo
