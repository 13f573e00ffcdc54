#include "render/pixelformat.h"

namespace qubo {

bool TPixelFormat::ForBitCount(int bits, TPixelFormat& f) {
  f = TPixelFormat{};
  switch (bits) {
    case 1:
    case 4:
    case 8:
      f.storageBits = bits;
      f.redMask = f.greenMask = f.blueMask = 0;
      f.redShift = f.greenShift = f.blueShift = 0;
      f.redBits = f.greenBits = f.blueBits = 0;
      return true;
    case 15:
      f.storageBits = 16;
      f.redMask = 0x7C00, f.greenMask = 0x03E0, f.blueMask = 0x001F;
      f.redShift = 10, f.greenShift = 5, f.blueShift = 0;
      f.redBits = 5, f.greenBits = 5, f.blueBits = 5;
      return true;
    case 16:
      f.storageBits = 16;
      f.redMask = 0xF800, f.greenMask = 0x07E0, f.blueMask = 0x001F;
      f.redShift = 11, f.greenShift = 5, f.blueShift = 0;
      f.redBits = 5, f.greenBits = 6, f.blueBits = 5;
      return true;
    case 24:
    case 32:
      f.storageBits = bits;
      return true;
    default:
      return false;
  }
}

}  // namespace qubo
