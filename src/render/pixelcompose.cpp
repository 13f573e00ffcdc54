// The compositions of the pixel storage: copies, keyed copies, layer blends and drawing
// through the alpha plane, each at the storage's own depth with its own arithmetic.

#include <cstring>

#include "render/clip.h"
#include "render/pixelstore.h"

namespace qubo {
namespace {

constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Visits the clipped rows: f(destRow, destX, sourceRow, sourceX, y, width) per row.
template <typename F>
void ForRows(TDIBSurface& dest, const TStraightClip& c, const TDIBSurface& source, F&& f) {
  const int32_t w = c.src.right - c.src.left;
  for (int32_t i = 0; i < c.src.bottom - c.src.top; ++i)
    f(dest.Row(c.dy + i), c.dx, source.Row(c.src.top + i), c.src.left, c.dy + i, w);
}

uint32_t BlendChannels255(uint32_t s, uint32_t d, uint32_t a, const TPixelFormat& f) {
  const uint32_t ia = 255 - a;
  uint32_t out = 0;
  for (uint32_t m : {f.redMask, f.greenMask, f.blueMask}) out |= ((ia * (d & m) + a * (s & m)) / 255) & m;
  return out;
}

uint32_t Blend24(uint32_t s, uint32_t d, uint32_t a) {
  const uint32_t ia = 255 - a;
  uint32_t out = 0;
  for (int sh = 0; sh < 24; sh += 8) out |= ((ia * ((d >> sh) & 0xFF) + a * ((s >> sh) & 0xFF)) / 255) << sh;
  return out;
}

// ((255 - w) * D + w * S) >> 8 on the three 8-bit channels, red and blue together; top byte 0.
inline uint32_t Blend888Shift(uint32_t s, uint32_t d, uint32_t w) {
  const uint32_t iw = 255 - w;
  const uint32_t rb = ((iw * (d & 0xFF00FF) + w * (s & 0xFF00FF)) >> 8) & 0xFF00FF;
  const uint32_t g = ((iw * (d & 0x00FF00) + w * (s & 0x00FF00)) >> 8) & 0x00FF00;
  return rb | g;
}

template <int B>
void KeyedRows(TDIBSurface& dest, const TStraightClip& c, const TDIBSurface& source, int32_t key) {
  ForRows(dest, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t, int32_t w) {
    for (int32_t i = 0; i < w; ++i) {
      const uint32_t p = ReadRowPixel(s, sx + i, B);
      if (!KeyMatches(key, p)) WriteRowPixel(d, dx + i, B, p);
    }
  });
}

template <int B>
void DitherRows(TDIBSurface& dest, const TStraightClip& c, const TDIBSurface& source, int32_t key, int level) {
  ForRows(dest, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t y, int32_t w) {
    const uint8_t* m = kBayer[y & 3];
    for (int32_t i = 0; i < w; ++i) {
      const uint32_t p = ReadRowPixel(s, sx + i, B);
      if (!KeyMatches(key, p) && level >= m[(dx + i) & 3]) WriteRowPixel(d, dx + i, B, p);
    }
  });
}

template <int B>
void MaskThresholdRows(TDIBSurface& dest, const TStraightClip& c, const TDIBSurface& source) {
  const TDIBSurface& alpha = *source.Alpha();
  ForRows(dest, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t y, int32_t w) {
    const uint8_t* m = alpha.Row(c.src.top + (y - c.dy)) + sx;
    for (int32_t i = 0; i < w; ++i)
      if (m[i] >= 128) WriteRowPixel(d, dx + i, B, ReadRowPixel(s, sx + i, B));
  });
}

}  // namespace

void TDIBSurface::CopyRect(int32_t x, int32_t y, const TRect& src, const TDIBSurface& source) {
  if (!SameFormat(format_, source.format_)) return;
  TStraightClip c;
  if (!ClipStraight(x, y, src, source.BoundsRect(), EffectiveClip(), false, false, c)) return;
  const int bits = format_.storageBits;
  if (bits >= 8) {
    const int bpp = bits / 8;
    const int32_t w = c.src.right - c.src.left, h = c.src.bottom - c.src.top;
    // A copy within one storage runs bottom-up when it moves rows down.
    const bool backwards = &source == this && c.dy > c.src.top;
    for (int32_t n = 0; n < h; ++n) {
      const int32_t i = backwards ? h - 1 - n : n;
      std::memmove(Row(c.dy + i) + int64_t{c.dx} * bpp, source.Row(c.src.top + i) + int64_t{c.src.left} * bpp,
                   static_cast<size_t>(w) * bpp);
    }
    return;
  }
  if (bits == 4)
    KeyedRows<4>(*this, c, source, -1);
  else
    KeyedRows<1>(*this, c, source, -1);
}

void TDIBSurface::CopyKeyed(int32_t x, int32_t y, int32_t key, const TRect& src, const TDIBSurface& source) {
  if (!SameFormat(format_, source.format_)) return;
  TStraightClip c;
  if (!ClipStraight(x, y, src, source.BoundsRect(), EffectiveClip(), false, false, c)) return;
  switch (format_.storageBits) {
    case 1: KeyedRows<1>(*this, c, source, key); break;
    case 4: KeyedRows<4>(*this, c, source, key); break;
    case 8: KeyedRows<8>(*this, c, source, key); break;
    case 16: KeyedRows<16>(*this, c, source, key); break;
    case 24: KeyedRows<24>(*this, c, source, key); break;
    default: KeyedRows<32>(*this, c, source, key); break;
  }
}

void TDIBSurface::BlendLayer(int32_t x, int32_t y, int32_t a, int32_t key, const TRect& src, const TDIBSurface& source) {
  if (a == 0 || !SameFormat(format_, source.format_)) return;
  const int bits = format_.storageBits;
  const int level = a / 16;
  if (a > 254 || a < 0 || (bits <= 8 && level > 14)) {
    CopyKeyed(x, y, key, src, source);
    return;
  }
  TStraightClip c;
  if (!ClipStraight(x, y, src, source.BoundsRect(), EffectiveClip(), false, false, c)) return;
  const uint32_t ua = static_cast<uint32_t>(a);
  switch (bits) {
    case 1: DitherRows<1>(*this, c, source, key, level); return;
    case 4: DitherRows<4>(*this, c, source, key, level); return;
    case 8: DitherRows<8>(*this, c, source, key, level); return;
    case 16:
      ForRows(*this, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t, int32_t w) {
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t sp = ReadRowPixel(s, sx + i, 16);
          if (KeyMatches(key, sp)) continue;
          WriteRowPixel(d, dx + i, 16, BlendChannels255(sp, ReadRowPixel(d, dx + i, 16), ua, format_));
        }
      });
      return;
    case 24:
      ForRows(*this, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t, int32_t w) {
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t sp = ReadRowPixel(s, sx + i, 24);
          if (KeyMatches(key, sp)) continue;
          WriteRowPixel(d, dx + i, 24, Blend24(sp, ReadRowPixel(d, dx + i, 24), ua));
        }
      });
      return;
    default:
      ForRows(*this, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t, int32_t w) {
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t sp = ReadRowPixel(s, sx + i, 32);
          if (KeyMatches(key, sp)) continue;
          WriteRowPixel(d, dx + i, 32, Blend888Shift(sp, ReadRowPixel(d, dx + i, 32), ua));
        }
      });
      return;
  }
}

void TDIBSurface::DrawMasked(int32_t x, int32_t y, int32_t a, const TRect& src, const TDIBSurface& source) {
  const TDIBSurface* alpha = source.Alpha();
  if (!alpha) {
    BlendLayer(x, y, a, -1, src, source);
    return;
  }
  if (!SameFormat(format_, source.format_) || alpha->StorageBits() != 8) return;
  // The alpha plane follows the storage's size; intersect anyway so that a plane of another
  // size is never read outside its rows.
  const TRect limit = rects::Intersect(source.BoundsRect(), alpha->BoundsRect());
  TStraightClip c;
  if (!ClipStraight(x, y, src, limit, EffectiveClip(), false, false, c)) return;
  const int bits = format_.storageBits;
  auto maskRow = [&](int32_t destY) { return alpha->Row(c.src.top + (destY - c.dy)); };
  switch (bits) {
    case 1: MaskThresholdRows<1>(*this, c, source); return;
    case 4: MaskThresholdRows<4>(*this, c, source); return;
    case 8: MaskThresholdRows<8>(*this, c, source); return;
    case 16:
      ForRows(*this, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t y0, int32_t w) {
        const uint8_t* m = maskRow(y0) + sx;
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t mv = m[i];
          if (mv == 0) continue;
          const uint32_t sp = ReadRowPixel(s, sx + i, 16);
          if (mv == 255) {
            WriteRowPixel(d, dx + i, 16, sp);
            continue;
          }
          const uint32_t dp = ReadRowPixel(d, dx + i, 16);
          uint32_t out = 0;
          for (uint32_t mk : {format_.redMask, format_.greenMask, format_.blueMask})
            out |= (((255 - mv) * (dp & mk) + mv * (sp & mk)) >> 8) & mk;
          WriteRowPixel(d, dx + i, 16, out);
        }
      });
      return;
    case 24: {
      const int64_t a64 = a;
      const bool full = a >= 255;
      ForRows(*this, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t y0, int32_t w) {
        const uint8_t* m = maskRow(y0) + sx;
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t mv = m[i];
          uint32_t wgt;
          if (full) {
            if (mv == 0) continue;
            if (mv == 255) {
              WriteRowPixel(d, dx + i, 24, ReadRowPixel(s, sx + i, 24));
              continue;
            }
            wgt = mv;
          } else {
            const int64_t am = a64 * mv;
            if (am < 256) continue;
            wgt = static_cast<uint32_t>(am >> 8);
          }
          WriteRowPixel(d, dx + i, 24, Blend888Shift(ReadRowPixel(s, sx + i, 24), ReadRowPixel(d, dx + i, 24), wgt));
        }
      });
      return;
    }
    default:
      ForRows(*this, c, source, [&](uint8_t* d, int32_t dx, const uint8_t* s, int32_t sx, int32_t y0, int32_t w) {
        const uint8_t* m = maskRow(y0) + sx;
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t mv = m[i];
          if (mv == 0) continue;
          const uint32_t sp = ReadRowPixel(s, sx + i, 32);
          WriteRowPixel(d, dx + i, 32, mv == 255 ? sp : Blend888Shift(sp, ReadRowPixel(d, dx + i, 32), mv));
        }
      });
      return;
  }
}

}  // namespace qubo
