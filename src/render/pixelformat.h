#pragma once
// Pixel formats of stored images and drawing surfaces: storage bits, channel masks and shifts,
// and the raw access to one pixel of a row.

#include <cstdint>
#include <cstring>

namespace qubo {

struct TPaletteEntry {
  uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

struct TPixelFormat {
  int storageBits = 32;  // 1, 4, 8, 16, 24 or 32
  uint32_t redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
  int redShift = 16, greenShift = 8, blueShift = 0;
  int redBits = 8, greenBits = 8, blueBits = 8;

  bool Paletted() const { return storageBits <= 8; }
  // 15 for 16-bit storage with 5-5-5 channels, else the storage bits.
  int BitCount() const { return storageBits == 16 && greenMask == 0x03E0 ? 15 : storageBits; }
  int BytesPerPixel() const { return (storageBits + 7) / 8; }

  // 15 selects 5-5-5 in 16-bit storage, 16 selects 5-6-5, 1, 4 and 8 palette indices,
  // 24 and 32 the 8-8-8 channels. Other values answer false.
  static bool ForBitCount(int bits, TPixelFormat& out);
  static TPixelFormat Of(int bits) {
    TPixelFormat f;
    ForBitCount(bits, f);
    return f;
  }
};

inline bool SameFormat(const TPixelFormat& a, const TPixelFormat& b) {
  return a.storageBits == b.storageBits && a.greenMask == b.greenMask;
}

// Raw pixel x of a row: 1- and 4-bit values most significant bits first, 24-bit values as
// blue | green << 8 | red << 16.
inline uint32_t ReadRowPixel(const uint8_t* row, int32_t x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case 8:
      return row[x];
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * int64_t{x}, 2);
      return v;
    }
    case 24: {
      const uint8_t* p = row + 3 * int64_t{x};
      return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    }
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * int64_t{x}, 4);
      return v;
    }
  }
}

inline void WriteRowPixel(uint8_t* row, int32_t x, int bits, uint32_t v) {
  switch (bits) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
      if (v & 1)
        row[x >> 3] |= bit;
      else
        row[x >> 3] &= static_cast<uint8_t>(~bit);
      break;
    }
    case 4: {
      uint8_t& b = row[x >> 1];
      if (x & 1)
        b = static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
      else
        b = static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(v);
      break;
    case 16: {
      const uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(row + 2 * int64_t{x}, &w, 2);
      break;
    }
    case 24: {
      uint8_t* p = row + 3 * int64_t{x};
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      break;
    }
    default:
      std::memcpy(row + 4 * int64_t{x}, &v, 4);
      break;
  }
}

// A transparent value of -1 matches no pixel; any other value matches the equal raw pixel.
inline bool KeyMatches(int32_t key, uint32_t pixel) { return key != -1 && static_cast<uint32_t>(key) == pixel; }

}  // namespace qubo
