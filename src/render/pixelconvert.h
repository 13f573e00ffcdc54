#pragma once
// The one conversion between pixel formats: raw pixels of any depth to colours and back,
// palettes (nearest entry), rows and whole storages, and transparent keys (a key is
// converted exactly as a pixel is).
//
// Channels narrower than 8 bits widen by repeating their top bits (5 bits: v << 3 | v >> 2),
// so that full scale stays full scale; they narrow by dropping low bits.

#include <array>
#include <cstdint>

#include "render/pixelformat.h"

namespace qubo {

class TDIBSurface;

struct TRgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const TRgb&) const = default;
};

inline TRgb RgbFromColorRef(uint32_t c) {
  return TRgb{static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)};
}
inline uint32_t ColorRefFromRgb(TRgb c) { return c.r | (uint32_t{c.g} << 8) | (uint32_t{c.b} << 16); }

uint8_t WidenChannel(uint32_t value, int bits);

// Nearest palette entry by squared distance (the first of equals), with a small cache so that
// converting a whole image costs one search per distinct colour.
class TNearestColor {
 public:
  TNearestColor(const TPaletteEntry* palette, int count);
  uint32_t Find(TRgb c);

 private:
  const TPaletteEntry* palette_;
  int count_;
  std::array<uint32_t, 4096> keys_;
  std::array<uint8_t, 4096> values_;
};

// One side of a conversion: a format and, for palette formats, its palette.
struct TPixelSpace {
  TPixelFormat format;
  const TPaletteEntry* palette = nullptr;  // 256 entries; used at 8 bits and less
  static TPixelSpace Of(const TDIBSurface& s);
};

TRgb PixelToRgb(const TPixelSpace& space, uint32_t pixel);
// Palette formats search the nearest entry; 32-bit results have a top byte of 0.
uint32_t RgbToPixel(const TPixelSpace& space, TRgb c);

// count pixels of a row from one space to another. A 32-bit to 32-bit (or equal format)
// conversion copies the raw values.
void ConvertRow(const uint8_t* src, const TPixelSpace& from, uint8_t* dst, const TPixelSpace& to,
                int32_t count);

// Converts the overlapping area of two storages, top-left aligned.
void ConvertPixels(const TDIBSurface& src, TDIBSurface& dst);

// A transparent value of one space in another; -1 stays -1.
int32_t ConvertKey(int32_t key, const TPixelSpace& from, const TPixelSpace& to);

}  // namespace qubo
