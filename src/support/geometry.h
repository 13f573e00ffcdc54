#pragma once
// Integer rectangles: left and top inclusive, right and bottom exclusive. A rectangle whose
// right is not beyond its left, or whose bottom is not below its top, is empty.

#include <algorithm>
#include <cstdint>

namespace qubo {

struct TRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;

  bool IsEmpty() const { return right <= left || bottom <= top; }
  // Sizes as 32-bit two's complement (a rectangle spanning more than 2^31 wraps).
  int32_t Width() const { return static_cast<int32_t>(static_cast<uint32_t>(right) - static_cast<uint32_t>(left)); }
  int32_t Height() const { return static_cast<int32_t>(static_cast<uint32_t>(bottom) - static_cast<uint32_t>(top)); }
  bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
  // True when other lies wholly inside this rectangle.
  bool Contains(const TRect& other) const {
    return other.left >= left && other.top >= top && other.right <= right && other.bottom <= bottom;
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// The common part of a and b; the all-zero rectangle when they do not overlap.
inline TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

// The bounding box of a and b. An empty rectangle takes no part; the all-zero rectangle when
// both are empty.
inline TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? TRect{} : b;
  if (b.IsEmpty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Moved by (dx, dy), wrapping as 32-bit two's complement.
inline TRect OffsetRect(const TRect& r, int32_t dx, int32_t dy) {
  auto add = [](int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  };
  return {add(r.left, dx), add(r.top, dy), add(r.right, dx), add(r.bottom, dy)};
}

}  // namespace qubo
