#include "render/pixelconvert.h"

#include <cstring>

#include "render/pixelstore.h"

namespace qubo {

uint8_t WidenChannel(uint32_t v, int bits) {
  if (bits >= 8) return static_cast<uint8_t>(v);
  if (bits <= 0) return 0;
  uint32_t out = 0;
  int have = 0;
  // Repeat the field downwards until eight bits are filled.
  while (have < 8) {
    const int shift = 8 - have - bits;
    out |= shift >= 0 ? (v << shift) : (v >> -shift);
    have += bits;
  }
  return static_cast<uint8_t>(out);
}

TNearestColor::TNearestColor(const TPaletteEntry* palette, int count) : palette_(palette), count_(count) {
  keys_.fill(0xFFFFFFFFu);
  values_.fill(0);
}

uint32_t TNearestColor::Find(TRgb c) {
  const uint32_t key = ColorRefFromRgb(c);
  const uint32_t slot = ((key * 2654435761u) >> 20) & 4095u;
  if (keys_[slot] == key) return values_[slot];
  int best = 0;
  int64_t bestDist = INT64_MAX;
  for (int i = 0; i < count_; ++i) {
    const int dr = int{palette_[i].red} - c.r, dg = int{palette_[i].green} - c.g, db = int{palette_[i].blue} - c.b;
    const int64_t d = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
    if (d < bestDist) {
      bestDist = d;
      best = i;
      if (d == 0) break;
    }
  }
  keys_[slot] = key;
  values_[slot] = static_cast<uint8_t>(best);
  return static_cast<uint32_t>(best);
}

TPixelSpace TPixelSpace::Of(const TDIBSurface& s) { return TPixelSpace{s.Format(), s.Palette()}; }

TRgb PixelToRgb(const TPixelSpace& sp, uint32_t pixel) {
  const TPixelFormat& f = sp.format;
  if (f.Paletted()) {
    const TPaletteEntry& e = sp.palette[pixel & 0xFF];
    return TRgb{e.red, e.green, e.blue};
  }
  if (f.storageBits >= 24)
    return TRgb{static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)};
  return TRgb{WidenChannel((pixel & f.redMask) >> f.redShift, f.redBits),
              WidenChannel((pixel & f.greenMask) >> f.greenShift, f.greenBits),
              WidenChannel((pixel & f.blueMask) >> f.blueShift, f.blueBits)};
}

static uint32_t PackRgb(const TPixelFormat& f, TRgb c) {
  if (f.storageBits >= 24) return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
  return ((uint32_t{c.r} >> (8 - f.redBits)) << f.redShift) | ((uint32_t{c.g} >> (8 - f.greenBits)) << f.greenShift) |
         ((uint32_t{c.b} >> (8 - f.blueBits)) << f.blueShift);
}

uint32_t RgbToPixel(const TPixelSpace& sp, TRgb c) {
  if (sp.format.Paletted()) {
    TNearestColor n(sp.palette, 1 << sp.format.storageBits);
    return n.Find(c);
  }
  return PackRgb(sp.format, c);
}

void ConvertRow(const uint8_t* src, const TPixelSpace& from, uint8_t* dst, const TPixelSpace& to, int32_t count) {
  if (count <= 0) return;
  const int sb = from.format.storageBits, db = to.format.storageBits;
  if (SameFormat(from.format, to.format) && (!from.format.Paletted() || from.palette == to.palette ||
                                             std::memcmp(from.palette, to.palette, sizeof(TPaletteEntry) << sb) == 0)) {
    if (sb >= 8) {
      std::memcpy(dst, src, static_cast<size_t>(count) * (sb / 8));
    } else {
      for (int32_t x = 0; x < count; ++x) WriteRowPixel(dst, x, db, ReadRowPixel(src, x, sb));
    }
    return;
  }
  if (sb == 24 && db == 32) {
    for (int32_t x = 0; x < count; ++x) {
      const uint8_t* p = src + 3 * int64_t{x};
      const uint32_t v = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      std::memcpy(dst + 4 * int64_t{x}, &v, 4);
    }
    return;
  }
  if (sb == 32 && db == 24) {
    for (int32_t x = 0; x < count; ++x) std::memcpy(dst + 3 * int64_t{x}, src + 4 * int64_t{x}, 3);
    return;
  }
  if (to.format.Paletted()) {
    TNearestColor nearest(to.palette, 1 << db);
    for (int32_t x = 0; x < count; ++x) WriteRowPixel(dst, x, db, nearest.Find(PixelToRgb(from, ReadRowPixel(src, x, sb))));
    return;
  }
  for (int32_t x = 0; x < count; ++x) WriteRowPixel(dst, x, db, PackRgb(to.format, PixelToRgb(from, ReadRowPixel(src, x, sb))));
}

void ConvertPixels(const TDIBSurface& src, TDIBSurface& dst) {
  const int32_t w = std::min(src.Width(), dst.Width()), h = std::min(src.Height(), dst.Height());
  if (w <= 0 || h <= 0) return;
  const TPixelSpace from = TPixelSpace::Of(src), to = TPixelSpace::Of(dst);
  if (to.format.Paletted() && !SameFormat(from.format, to.format)) {
    // One nearest-colour cache for the whole image.
    TNearestColor nearest(to.palette, 1 << to.format.storageBits);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = src.Row(y);
      uint8_t* d = dst.Row(y);
      for (int32_t x = 0; x < w; ++x)
        WriteRowPixel(d, x, to.format.storageBits,
                      nearest.Find(PixelToRgb(from, ReadRowPixel(s, x, from.format.storageBits))));
    }
    return;
  }
  for (int32_t y = 0; y < h; ++y) ConvertRow(src.Row(y), from, dst.Row(y), to, w);
}

int32_t ConvertKey(int32_t key, const TPixelSpace& from, const TPixelSpace& to) {
  if (key == -1) return -1;
  uint8_t in[4], out[4] = {0, 0, 0, 0};
  std::memset(in, 0, sizeof in);
  WriteRowPixel(in, 0, from.format.storageBits, static_cast<uint32_t>(key));
  ConvertRow(in, from, out, to, 1);
  return static_cast<int32_t>(ReadRowPixel(out, 0, to.format.storageBits));
}

}  // namespace qubo
