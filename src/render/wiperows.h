#pragma once
// Row-level helpers of the transitions: locked rows of 32-bit and 8-bit surfaces, grey-level
// arithmetic, nearest-sample stretching and rotation with the sampling rules of the surfaces'
// transformed draws, sector and circle rasterisers for masks.

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "render/dibx.h"
#include "render/rect.h"

namespace qubo::wipe {

// The rows of a surface locked at (0, 0) for the life of the object.
class TLockedRows {
 public:
  explicit TLockedRows(TCustomDIBX& s) : s_(s), base_(s.Lock(0, 0)), pitch_(s.Pitch()) {}
  ~TLockedRows() {
    if (base_) s_.Unlock();
  }
  TLockedRows(const TLockedRows&) = delete;
  TLockedRows& operator=(const TLockedRows&) = delete;
  bool ok() const { return base_ != nullptr; }
  uint8_t* Row(int32_t y) const { return base_ + int64_t{y} * pitch_; }
  uint32_t* Row32(int32_t y) const { return reinterpret_cast<uint32_t*>(Row(y)); }

 private:
  TCustomDIBX& s_;
  uint8_t* base_;
  int64_t pitch_;
};

inline constexpr uint32_t kRgbMask = 0x00FFFFFF;

// Saturating add and floored subtract of grey g (0..255) to each channel of an 8-8-8 pixel;
// the top byte of the result is 0. Byte-parallel: the low seven bits of each channel are
// added without carries between channels, the top bits and the carry out come after.
inline uint32_t AddGrey(uint32_t p, uint32_t g) {
  const uint32_t a = p & 0xFFFFFF, b = g * 0x010101u;
  uint32_t s = (a & 0x7F7F7F) + (b & 0x7F7F7F);
  const uint32_t carry = ((a & b) | (s & (a ^ b))) & 0x808080;
  s = (s ^ ((a ^ b) & 0x808080)) & 0xFFFFFF;
  return s | ((carry >> 7) * 0xFF);
}
inline uint32_t SubGrey(uint32_t p, uint32_t g) { return ~AddGrey(~p, g) & 0xFFFFFF; }

// Blend of s over d with weight w (0..255), per channel (w * S + (255 - w) * D) >> 8.
inline uint32_t Blend(uint32_t s, uint32_t d, uint32_t w) {
  const uint32_t rb = ((s & 0xFF00FF) * w + (d & 0xFF00FF) * (255 - w)) >> 8;
  const uint32_t g = ((s & 0x00FF00) * w + (d & 0x00FF00) * (255 - w)) >> 8;
  return (rb & 0xFF00FF) | (g & 0x00FF00);
}

// A real rounded to the nearest integer, halves away from zero, limited to the i32 range
// (NaN gives 0).
inline int32_t RoundI32(double v) {
  if (!(v == v)) return 0;
  const double r = std::round(v);
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

// Copies (opacity 255) or blends (1..254, over destination pixels that differ) the source
// rectangle sr of src scaled to the destination rectangle dr, nearest sample at each
// destination pixel's centre (16.16 steps). Clipped to the destination's clip rectangle;
// 32-bit surfaces only. src may not be dst.
void StretchDraw32(TCustomDIBX& dst, const TRect& dr, TCustomDIBX& src, const TRect& sr, uint32_t opacity);

// Rotation and zoom: the source rectangle sr of src, turned by angle (radians, clockwise on
// the screen) and scaled by (sx, sy) about the pivot (px, py) in source coordinates, which
// lands at (x, y). Opacity 255 copies, 1..254 blends; with a mask (8-bit, source coordinates)
// the weight is m (opacity 255) or (opacity * m) >> 8 and m = 0 leaves the destination.
// Nothing is drawn for opacity 0 or a scale that is not positive. 32-bit surfaces only.
void RotateDraw32(TCustomDIBX& dst, int32_t x, int32_t y, uint32_t opacity, double angle, int32_t px, int32_t py,
                  const TRect& sr, TCustomDIBX& src, double sx, double sy, TCustomDIBX* mask);

// Fills the pixels of a W x H 8-bit plane (rows pitch bytes apart) whose centres lie in the sector that starts at
// angle start (radians, clockwise on the screen from the +x axis) and sweeps sweep radians
// clockwise around (cx, cy). A sweep of 0 or less fills nothing, 2 pi or more everything.
void FillSector(uint8_t* plane, int64_t pitch, int32_t w, int32_t h, double cx, double cy, double start, double sweep,
                uint8_t value);

// Fills the pixels whose centres lie within radius r of (cx, cy); r = 0 fills nothing.
void FillCircle(uint8_t* plane, int64_t pitch, int32_t w, int32_t h, double cx, double cy, int64_t r, uint8_t value);

// 255 where the two 32-bit surfaces differ (ignoring the free top byte), 0 elsewhere, over
// the destination size w x h; empty when a surface cannot be read.
bool DifferenceMask(TCustomDIBX& a, TCustomDIBX& b, int32_t w, int32_t h, TDIBX& out);

// The grey level (0..255) of every pixel of an image: 8-bit surfaces through their palette,
// 32-bit surfaces as the mean of the channels. Empty when the image cannot be read.
std::vector<uint8_t> GreyLevels(TCustomDIBX& image);

// Distance of a pixel centre from the centre of a w x h picture, rounded.
inline int32_t CentreDistance(int32_t x, int32_t y, int32_t w, int32_t h) {
  const double dx = x + 0.5 - w / 2.0, dy = y + 0.5 - h / 2.0;
  return RoundI32(std::sqrt(dx * dx + dy * dy));
}

}  // namespace qubo::wipe
