// Moving composed frames of layered images into drawing surfaces.

#include <cstring>

#include "render/brximage.h"
#include "render/dibx.h"
#include "render/pixelconvert.h"

namespace qubo {

void FrameToSurface(const TBrixFrame& frame, TCustomDIBX& surface) {
  const TDIBSurface& img = frame.Image;
  surface.SetSize(img.Width(), img.Height(), surface.BitCount());
  surface.DrawRects = frame.DrawRects;
  surface.ExtraRects = frame.ExtraRects;
  if (surface.IsEmpty() || img.IsEmpty() || surface.Width() != img.Width() || surface.Height() != img.Height()) return;
  uint8_t* base = surface.Lock(0, 0);
  if (!base) return;
  const int32_t pitch = surface.Pitch();
  const int srcBits = img.StorageBits();
  if (surface.StorageBitCount() == 32 && (srcBits == 24 || srcBits == 32)) {
    for (int32_t y = 0; y < img.Height(); ++y) {
      const uint8_t* s = img.Row(y);
      uint8_t* d = base + int64_t{y} * pitch;
      for (int32_t x = 0; x < img.Width(); ++x) {
        // blue | green << 8 | red << 16, top byte 0.
        const uint32_t v = ReadRowPixel(s, x, srcBits) & 0xFFFFFFu;
        std::memcpy(d + 4 * int64_t{x}, &v, 4);
      }
    }
  } else {
    TPaletteEntry palette[256];
    surface.GetPalette(palette);
    const TPixelSpace from = TPixelSpace::Of(img), to{surface.Format(), palette};
    for (int32_t y = 0; y < img.Height(); ++y) ConvertRow(img.Row(y), from, base + int64_t{y} * pitch, to, img.Width());
  }
  surface.Unlock();
}

void PrepareTextureFrame(TBrixFrame& frame) {
  TDIBSurface& img = frame.Image;
  if (img.IsEmpty()) return;
  if (!img.Alpha() && frame.TransColor != -1) img.AlphaFromKey(frame.TransColor);
  if (img.BitCount() <= 8) {
    TDIBSurface converted(img.Width(), img.Height(), 24);
    ConvertPixels(img, converted);
    if (img.Alpha()) converted.SetAlphaFrom(*img.Alpha());
    frame.TransColor = ConvertKey(frame.TransColor, TPixelSpace::Of(img), TPixelSpace::Of(converted));
    img.CopyFrom(converted);
  }
}

bool AlphaToMask(const TBrixFrame& frame, TCustomDIBX& mask) {
  const TDIBSurface* alpha = frame.Image.Alpha();
  if (!alpha) return false;
  mask.SetSize(alpha->Width(), alpha->Height(), 8);
  if (mask.BitCount() != 8 || mask.Width() != alpha->Width() || mask.Height() != alpha->Height()) return false;
  uint8_t* base = mask.Lock(0, 0);
  if (!base) return false;
  for (int32_t y = 0; y < alpha->Height(); ++y)
    std::memcpy(base + int64_t{y} * mask.Pitch(), alpha->Row(y), static_cast<size_t>(alpha->Width()));
  mask.Unlock();
  return true;
}

bool AlphaToStorage(const TBrixFrame& frame, TDIBSurface& storage) {
  const TDIBSurface* alpha = frame.Image.Alpha();
  if (!alpha) return false;
  storage.SetSize(alpha->Width(), alpha->Height(), 8);
  for (int32_t y = 0; y < alpha->Height(); ++y)
    std::memcpy(storage.Row(y), alpha->Row(y), static_cast<size_t>(alpha->Width()));
  return true;
}

}  // namespace qubo
