#pragma once
// TDIBSurface: the pixel storage under memory surfaces and layered images. Rows of pixels in
// ordinary memory at 1, 4, 8, 16, 24 or 32 bits, a 256-entry palette, a clip rectangle for
// the compositions, and an optional companion alpha plane (8 bits, same size, 255 = opaque).
//
// Rows are kept top row first with a positive pitch; every loop reaches them through Row()
// or ScanLine(), so the addressing lives here alone.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/pixelformat.h"
#include "render/rect.h"

namespace qubo {

class TStream;

class TDIBSurface {
 public:
  TDIBSurface();
  TDIBSurface(int32_t width, int32_t height, int bits) : TDIBSurface() { SetSize(width, height, bits); }
  ~TDIBSurface();
  TDIBSurface(const TDIBSurface&) = delete;
  TDIBSurface& operator=(const TDIBSurface&) = delete;

  // Reallocates (content zeroed). 15 selects 16-bit storage with 5-5-5 channels, 16 the 5-6-5
  // channels, 24 and 32 the 8-8-8 channels, 1, 4 and 8 palette indices. Raises QuboError for
  // another bit count, a negative size, or a size whose rows do not fit 32-bit offsets. The
  // alpha plane, when there is one, follows the size.
  void SetSize(int32_t width, int32_t height, int bits);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool IsEmpty() const { return width_ <= 0 || height_ <= 0; }
  int StorageBits() const { return format_.storageBits; }
  int BitCount() const { return format_.BitCount(); }
  const TPixelFormat& Format() const { return format_; }
  TRect BoundsRect() const { return rects::Make(0, 0, width_, height_); }

  // Bytes from one row to the next one below it (rows padded to 4 bytes).
  int32_t Pitch() const { return pitch_; }
  // Row y (0 = top); an index outside the rows raises QuboError with the index.
  uint8_t* ScanLine(int32_t y);
  const uint8_t* ScanLine(int32_t y) const;
  uint8_t* TopRow() { return bits_.data(); }
  const uint8_t* TopRow() const { return bits_.data(); }
  // Unchecked row access for loops that have clipped already.
  uint8_t* Row(int32_t y) { return bits_.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch_); }
  const uint8_t* Row(int32_t y) const { return bits_.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch_); }

  // Raw pixels; outside the storage 0 is read and writes are ignored.
  uint32_t GetPixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, uint32_t value);

  TPaletteEntry* Palette() { return palette_.data(); }
  const TPaletteEntry* Palette() const { return palette_.data(); }
  // Pixels here live in plain memory; there is no platform bitmap to refresh or release.
  void UpdatePalette() {}
  void ReleaseGdiBitmap() {}

  void SetBitCount(int bits);
  void Greyscale(int bits);
  void Negative();
  void Blur(int bits, int32_t radius);

  // Destination clip of the compositions. ResetClip: the whole storage. SetClipRect always
  // intersects the bounds; an empty result is an explicit empty clip that draws nothing.
  void SetClipRect(const TRect& r);
  void ResetClip() { hasClip_ = false; }
  TRect ClipRect() const;

  // Compositions. The source must have this storage's bit count (and channel layout);
  // otherwise, or when clipping leaves nothing, nothing is drawn.
  void CopyRect(int32_t x, int32_t y, const TRect& src, const TDIBSurface& source);
  void CopyAll(int32_t x, int32_t y, const TDIBSurface& source) { CopyRect(x, y, source.BoundsRect(), source); }
  void CopyKeyed(int32_t x, int32_t y, int32_t key, const TRect& src, const TDIBSurface& source);
  void BlendLayer(int32_t x, int32_t y, int32_t opacity, int32_t key, const TRect& src, const TDIBSurface& source);
  void DrawMasked(int32_t x, int32_t y, int32_t opacity, const TRect& src, const TDIBSurface& source);
  // Fills the rectangle clipped to the storage (not to the clip rectangle).
  void FillRect(const TRect& r, uint32_t value);

  uint32_t ColorFromRGB(int32_t r, int32_t g, int32_t b) const;
  void RGBFromPixel(uint32_t value, int32_t& r, int32_t& g, int32_t& b) const;

  void CopyFrom(const TDIBSurface& source);
  // Becomes the rectangle r of source (size of r; only the part inside source is copied, the
  // rest is zero), with its palette and, when asked and present, its alpha rectangle.
  void Extract(const TDIBSurface& source, const TRect& r, bool withAlpha);
  void Crop(const TRect& r);
  void MirrorH();
  void FlipRows();
  TRect OpaqueBounds(int32_t key) const;
  TRect TrimToOpaque(int32_t key);

  TDIBSurface* Alpha() { return alpha_.get(); }
  const TDIBSurface* Alpha() const { return alpha_.get(); }
  void CreateAlpha();
  void FreeAlpha() { alpha_.reset(); }
  // Creates the alpha plane and copies the overlapping rows of an 8-bit storage into it
  // (the rest of the plane is 0). Nothing happens for a storage of another bit count.
  void SetAlphaFrom(const TDIBSurface& mask);
  void FillAlpha();
  void AlphaFromKey(int32_t key);

  // Decodes a JPEG image from the stream's position into 24-bit pixels (FormatError when it
  // is not one).
  void AssignJPEG(TStream& jpeg);

  // mode 1 and the others: median-cut quantiser for targets of 8 bits and less (with
  // Floyd-Steinberg error diffusion when dither is set); channel conversion above.
  void ConvertBitCount(int mode, int bits, bool dither, int colors);
  void Resize(int32_t width, int32_t height, int32_t key, bool keepFormat);

 private:
  void SetSizeFormat(int32_t width, int32_t height, const TPixelFormat& f);
  void DefaultPalette();
  TRect EffectiveClip() const;

  int32_t width_ = 0, height_ = 0;
  int32_t pitch_ = 0;
  TPixelFormat format_;
  std::vector<uint8_t> bits_;
  std::array<TPaletteEntry, 256> palette_{};
  bool hasClip_ = false;
  TRect clip_{};
  std::unique_ptr<TDIBSurface> alpha_;
};

// The message of a row index out of range (code page 932).
extern const char* const kScanLineRangeMessage;

}  // namespace qubo
