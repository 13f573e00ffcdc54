#include "render/wiperows.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numbers>

#include "render/drawrows.h"

namespace qubo::wipe {
namespace {

// Scratch rows reused by the stretching draws (no allocation per frame once grown).
std::vector<uint32_t>& ScratchRow(size_t n) {
  thread_local std::vector<uint32_t> row;
  if (row.size() < n) row.resize(n);
  return row;
}
std::vector<int32_t>& ScratchColumns(size_t n) {
  thread_local std::vector<int32_t> cols;
  if (cols.size() < n) cols.resize(n);
  return cols;
}

int32_t Fixed(double v) {
  const double f = std::trunc(v * 65536.0);
  if (!(f == f)) return 0;
  return static_cast<int32_t>(std::clamp(f, -2147483647.0, 2147483647.0));
}

}  // namespace

void StretchDraw32(TCustomDIBX& dst, const TRect& dr, TCustomDIBX& src, const TRect& sr, uint32_t opacity) {
  if (opacity == 0 || &dst == &src || dst.BitCount() != 32 || src.BitCount() != 32) return;
  const TRect s = rects::Intersect(sr, src.BoundsRect());
  if (!rects::Equal(s, sr) || rects::Empty(s) || rects::Empty(dr)) return;
  const TRect c = rects::Intersect(dr, dst.ClipRect());
  if (rects::Empty(c)) return;
  const int64_t dw = rects::Width(dr), dh = rects::Height(dr);
  const int64_t sw = rects::Width(s), sh = rects::Height(s);
  const int64_t stepX = static_cast<int64_t>(std::trunc(static_cast<double>(sw) / static_cast<double>(dw) * 65536.0));
  const int64_t stepY = static_cast<int64_t>(std::trunc(static_cast<double>(sh) / static_cast<double>(dh) * 65536.0));
  const int32_t n = c.right - c.left;
  std::vector<int32_t>& cols = ScratchColumns(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const int64_t k = int64_t{c.left} + i - dr.left;
    const int64_t col = (int64_t{s.left} * 65536 + stepX / 2 + k * stepX) >> 16;
    cols[static_cast<size_t>(i)] = static_cast<int32_t>(std::clamp<int64_t>(col, s.left, s.right - 1));
  }
  TLockedRows d(dst), sp(src);
  if (!d.ok() || !sp.ok()) return;
  std::vector<uint32_t>& tmp = ScratchRow(static_cast<size_t>(n));
  const auto& k = rows::Kernels32();
  for (int32_t y = c.top; y < c.bottom; ++y) {
    const int64_t ky = int64_t{y} - dr.top;
    const int64_t row = std::clamp<int64_t>((int64_t{s.top} * 65536 + stepY / 2 + ky * stepY) >> 16, s.top, s.bottom - 1);
    const uint32_t* sRow = sp.Row32(static_cast<int32_t>(row));
    for (int32_t i = 0; i < n; ++i) tmp[static_cast<size_t>(i)] = sRow[cols[static_cast<size_t>(i)]];
    uint32_t* dRow = d.Row32(y) + c.left;
    if (opacity >= 255)
      std::memcpy(dRow, tmp.data(), static_cast<size_t>(n) * 4);
    else
      k.blend(dRow, tmp.data(), n, opacity, 0, false);
  }
}

void RotateDraw32(TCustomDIBX& dst, int32_t x, int32_t y, uint32_t opacity, double angle, int32_t px, int32_t py,
                  const TRect& sr, TCustomDIBX& src, double sx, double sy, TCustomDIBX* mask) {
  if (opacity == 0 || !(sx > 0) || !(sy > 0) || &dst == &src) return;
  if (dst.BitCount() != 32 || src.BitCount() != 32) return;
  const TRect s = rects::Intersect(sr, src.BoundsRect());
  if (rects::Empty(s)) return;
  if (mask && (mask->BitCount() != 8 || mask->Width() < s.right || mask->Height() < s.bottom)) return;
  const double ca = std::cos(-angle), sa = std::sin(-angle);
  const int64_t rowX = Fixed(ca / sx), rowY = Fixed(sa / sy);
  const int64_t colX = Fixed(-sa / sx), colY = Fixed(ca / sy);

  // Destination bounding box of the turned corners.
  const double sw = static_cast<double>(rects::Width(s)), sh = static_cast<double>(rects::Height(s));
  const double cx[4] = {-px * sx, sw * sx - px * sx - 1, -px * sx, sw * sx - px * sx - 1};
  const double cy[4] = {-py * sy, -py * sy, sh * sy - py * sy - 1, sh * sy - py * sy - 1};
  const double c = std::cos(angle), si = std::sin(angle);
  double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
  for (int i = 0; i < 4; ++i) {
    const double rx = cx[i] * c - cy[i] * si + x, ry = cx[i] * si + cy[i] * c + y;
    minX = std::min(minX, rx), maxX = std::max(maxX, rx);
    minY = std::min(minY, ry), maxY = std::max(maxY, ry);
  }
  const TRect clip = dst.ClipRect();
  const TRect box = rects::Intersect(
      rects::Make(static_cast<int32_t>(std::clamp(std::trunc(minX), -1e9, 1e9)),
                  static_cast<int32_t>(std::clamp(std::trunc(minY), -1e9, 1e9)),
                  static_cast<int32_t>(std::clamp(std::trunc(maxX + 1), -1e9, 1e9)),
                  static_cast<int32_t>(std::clamp(std::trunc(maxY + 1), -1e9, 1e9))),
      clip);
  if (rects::Empty(box)) return;

  TLockedRows d(dst), sp(src);
  if (!d.ok() || !sp.ok()) return;
  std::unique_ptr<TLockedRows> mp;
  if (mask) {
    mp = std::make_unique<TLockedRows>(*mask);
    if (!mp->ok()) return;
  }
  const uint32_t a = std::min<uint32_t>(opacity, 255);
  for (int32_t Y = box.top; Y < box.bottom; ++Y) {
    uint32_t* dRow = d.Row32(Y);
    int64_t posX = int64_t{px} * 65536 + (int64_t{box.left} - x) * rowX + (int64_t{Y} - y) * colX;
    int64_t posY = int64_t{py} * 65536 + (int64_t{box.left} - x) * rowY + (int64_t{Y} - y) * colY;
    for (int32_t X = box.left; X < box.right; ++X, posX += rowX, posY += rowY) {
      if (posX < 0 || posY < 0) continue;
      const int64_t col = posX >> 16, row = posY >> 16;
      if (col < s.left || col >= s.right || row < s.top || row >= s.bottom) continue;
      const uint32_t p = sp.Row32(static_cast<int32_t>(row))[col];
      uint32_t w = a;
      if (mp) {
        const uint32_t m = mp->Row(static_cast<int32_t>(row))[col];
        if (m == 0) continue;
        w = a == 255 ? m : (a * m) >> 8;
        if (w == 0) continue;
      }
      if (w == 255 && (!mp || a == 255))
        dRow[X] = p;
      else if (dRow[X] != p)
        dRow[X] = Blend(p, dRow[X], w);
    }
  }
}

void FillSector(uint8_t* plane, int64_t pitch, int32_t w, int32_t h, double cx, double cy, double start, double sweep,
                uint8_t value) {
  if (!(sweep > 0) || w <= 0 || h <= 0) return;
  const double twoPi = 2 * std::numbers::pi;
  if (sweep >= twoPi) {
    for (int32_t y = 0; y < h; ++y) std::memset(plane + y * pitch, value, static_cast<size_t>(w));
    return;
  }
  // Inside the sector from u to v: cross(u, p) >= 0 and cross(p, v) > 0 when the sweep is at
  // most half a turn; otherwise outside the complementary sector from v to u.
  const double ux = std::cos(start), uy = std::sin(start);
  const double vx = std::cos(start + sweep), vy = std::sin(start + sweep);
  const bool wide = sweep > std::numbers::pi;
  for (int32_t y = 0; y < h; ++y) {
    const double dy = y + 0.5 - cy;
    uint8_t* row = plane + y * pitch;
    for (int32_t x = 0; x < w; ++x) {
      const double dx = x + 0.5 - cx;
      bool in;
      if (!wide)
        in = ux * dy - uy * dx >= 0 && dx * vy - dy * vx > 0;
      else
        in = !(vx * dy - vy * dx >= 0 && dx * uy - dy * ux > 0);
      if (in) row[x] = value;
    }
  }
}

void FillCircle(uint8_t* plane, int64_t pitch, int32_t w, int32_t h, double cx, double cy, int64_t r, uint8_t value) {
  if (r <= 0 || w <= 0 || h <= 0) return;
  const double r2 = static_cast<double>(r) * static_cast<double>(r);
  for (int32_t y = 0; y < h; ++y) {
    const double dy = y + 0.5 - cy;
    if (dy * dy > r2) continue;
    const double half = std::sqrt(r2 - dy * dy);
    // Centres x + 0.5 within [cx - half, cx + half].
    const double lo = std::ceil(cx - half - 0.5), hi = std::floor(cx + half - 0.5);
    const int64_t x0 = std::max<int64_t>(0, static_cast<int64_t>(std::max(lo, -1.0)));
    const int64_t x1 = std::min<int64_t>(w - 1, static_cast<int64_t>(std::min(hi, static_cast<double>(w))));
    if (x1 < x0) continue;
    std::memset(plane + y * pitch + x0, value, static_cast<size_t>(x1 - x0 + 1));
  }
}

bool DifferenceMask(TCustomDIBX& a, TCustomDIBX& b, int32_t w, int32_t h, TDIBX& out) {
  if (w <= 0 || h <= 0 || a.BitCount() != 32 || b.BitCount() != 32 || a.Width() < w || a.Height() < h ||
      b.Width() < w || b.Height() < h)
    return false;
  out.SetSize(w, h, 8);
  TLockedRows ra(a), rb(b), ro(out);
  if (!ra.ok() || !rb.ok() || !ro.ok()) return false;
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* pa = ra.Row32(y);
    const uint32_t* pb = rb.Row32(y);
    uint8_t* m = ro.Row(y);
    for (int32_t x = 0; x < w; ++x) m[x] = ((pa[x] ^ pb[x]) & kRgbMask) ? 255 : 0;
  }
  return true;
}

std::vector<uint8_t> GreyLevels(TCustomDIBX& image) {
  std::vector<uint8_t> out;
  const int bits = image.BitCount();
  if (image.IsEmpty() || (bits != 8 && bits != 32)) return out;
  TLockedRows r(image);
  if (!r.ok()) return out;
  const int32_t w = image.Width(), h = image.Height();
  out.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  uint8_t lut[256];
  if (bits == 8) {
    TPaletteEntry pal[256];
    image.GetPalette(pal);
    for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint8_t>((pal[i].red + pal[i].green + pal[i].blue + 1) / 3);
  }
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* o = out.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    if (bits == 8) {
      const uint8_t* row = r.Row(y);
      for (int32_t x = 0; x < w; ++x) o[x] = lut[row[x]];
    } else {
      const uint32_t* row = r.Row32(y);
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = row[x];
        o[x] = static_cast<uint8_t>((((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) + 1) / 3);
      }
    }
  }
  return out;
}

}  // namespace qubo::wipe
