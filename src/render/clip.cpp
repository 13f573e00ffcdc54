#include "render/clip.h"

namespace qubo {
namespace {

// One axis: source span [s0, s1) drawn from destination d; limit [l0, l1) of the source,
// clip [c0, c1) of the destination.
bool ClipAxis(int64_t& d, int64_t& s0, int64_t& s1, int64_t l0, int64_t l1, int64_t c0, int64_t c1,
              bool flip) {
  if (s1 <= s0) return false;
  int64_t cut = l0 - s0;
  if (cut > 0) {
    s0 += cut;
    if (!flip) d += cut;
  }
  cut = s1 - l1;
  if (cut > 0) {
    s1 -= cut;
    if (flip) d += cut;
  }
  if (s1 <= s0) return false;
  cut = c0 - d;
  if (cut > 0) {
    if (flip)
      s1 -= cut;
    else
      s0 += cut;
    d += cut;
  }
  if (s1 <= s0) return false;
  cut = d + (s1 - s0) - c1;
  if (cut > 0) {
    if (flip)
      s0 += cut;
    else
      s1 -= cut;
  }
  return s1 > s0;
}

}  // namespace

bool ClipStraight(int32_t x, int32_t y, const TRect& src, const TRect& srcLimit, const TRect& clip,
                  bool flipH, bool flipV, TStraightClip& out) {
  int64_t dx = x, dy = y;
  int64_t sl = src.left, sr = src.right, st = src.top, sb = src.bottom;
  if (!ClipAxis(dx, sl, sr, srcLimit.left, srcLimit.right, clip.left, clip.right, flipH)) return false;
  if (!ClipAxis(dy, st, sb, srcLimit.top, srcLimit.bottom, clip.top, clip.bottom, flipV)) return false;
  // Every value now lies inside the limit or the clip, both 32-bit rectangles.
  out.dx = static_cast<int32_t>(dx);
  out.dy = static_cast<int32_t>(dy);
  out.src = rects::Make(static_cast<int32_t>(sl), static_cast<int32_t>(st), static_cast<int32_t>(sr),
                        static_cast<int32_t>(sb));
  return true;
}

}  // namespace qubo
