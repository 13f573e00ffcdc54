#pragma once
// The rectangle type of the drawing code (right and bottom exclusive) and the few
// operations on it that clipping needs. Uses the shared geometry header when it exists.

#include <algorithm>
#include <cstdint>

#if __has_include("support/geometry.h")
#include "support/geometry.h"
#else
namespace qubo {
struct TRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
}  // namespace qubo
#define QUBO_RENDER_OWN_RECT 1
#endif

namespace qubo::rects {

inline TRect Make(int32_t l, int32_t t, int32_t r, int32_t b) {
  TRect x;
  x.left = l;
  x.top = t;
  x.right = r;
  x.bottom = b;
  return x;
}
inline bool Empty(const TRect& r) { return r.right <= r.left || r.bottom <= r.top; }
inline int64_t Width(const TRect& r) { return int64_t{r.right} - r.left; }
inline int64_t Height(const TRect& r) { return int64_t{r.bottom} - r.top; }
inline TRect Intersect(const TRect& a, const TRect& b) {
  return Make(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom));
}
inline TRect Union(const TRect& a, const TRect& b) {
  return Make(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom));
}
inline bool Equal(const TRect& a, const TRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace qubo::rects
