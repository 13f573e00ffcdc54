#pragma once
// Drawing surfaces. TCustomDIBX declares the surface operations and implements the pixel work
// on a few primitives (size, format, Lock, pixels); TDIBX is the surface in ordinary memory,
// on a TDIBSurface.
//
// Drawing depths are 32 bits (8-8-8 channels, top byte free) and 8 bits (masks; the byte is
// one channel). A request for 15, 16 or 24 bits makes a 32-bit surface; 1- and 4-bit
// surfaces hold glyph and index sources and are read and written a pixel at a time.
//
// Drawing never throws: bad geometry, a source of another depth, a mask that is not 8-bit,
// a zero opacity or a failed Lock draw nothing. Sources and masks are clipped to their own
// bounds as well as the destination to its clip rectangle.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/pixelformat.h"
#include "render/rect.h"

namespace qubo {

class TDIBSurface;
class TStream;

class TCustomDIBX {
 public:
  TCustomDIBX() = default;
  virtual ~TCustomDIBX() = default;
  TCustomDIBX(const TCustomDIBX&) = delete;
  TCustomDIBX& operator=(const TCustomDIBX&) = delete;

  // Primitives.
  bool IsEmpty() const { return width_ <= 0 || height_ <= 0; }
  virtual int BitCount() const { return 0; }
  virtual void SetBitCount(int) {}
  virtual const TPixelFormat& Format() const;
  uint32_t RedMask() const { return Format().redMask; }
  uint32_t GreenMask() const { return Format().greenMask; }
  uint32_t BlueMask() const { return Format().blueMask; }
  int RedShift() const { return Format().redShift; }
  int GreenShift() const { return Format().greenShift; }
  int BlueShift() const { return Format().blueShift; }
  virtual int32_t Pitch() const { return 0; }
  virtual uint32_t GetPixel(int32_t, int32_t) const { return 0; }
  virtual void SetPixel(int32_t, int32_t, uint32_t) {}
  int32_t Height() const { return height_; }
  int32_t Width() const { return width_; }
  virtual TCustomDIBX* TargetSurface() { return this; }
  virtual int StorageBitCount() const { return BitCount(); }
  virtual void SetSize(int32_t width, int32_t height, int bits);
  // Address of pixel (x, y), or null.
  virtual uint8_t* Lock(int32_t, int32_t) { return nullptr; }
  virtual void Unlock() {}

  // Clip rectangle. AddClipRect clamps to the surface, ignores an empty result, and grows
  // the clip to the bounding box. SetClipRect replaces it, always intersected with the
  // surface; an empty result is an explicit empty clip that draws nothing.
  void ResetClip() { hasClip_ = false; }
  void AddClipRect(const TRect& r);
  void SetClipRect(const TRect& r);
  TRect ClipRect() const;
  TRect BoundsRect() const { return rects::Make(0, 0, width_, height_); }
  struct ClipState {
    bool set;
    TRect rect;
  };
  ClipState SaveClip() const { return ClipState{hasClip_, clip_}; }
  void RestoreClip(const ClipState& s) { hasClip_ = s.set, clip_ = s.rect; }

  // Colour reference (0x00BBGGRR) to pixel value; -1 for a negative value.
  virtual int32_t ColorToPixel(int32_t colorRef) const;
  int BytesPerPixel() const { return (BitCount() + 7) / 8; }

  // Fills.
  virtual void Clear(uint32_t value) { FillRect(BoundsRect(), value); }
  virtual void FillRect(const TRect& r, uint32_t value);
  virtual void FillRectBlend(const TRect& r, uint32_t value, uint32_t opacity);
  virtual void FillRectAdd(const TRect& r, uint32_t value);
  virtual void FillRectSub(const TRect& r, uint32_t value);
  virtual void FrameRect(const TRect& r, int32_t border, uint32_t value);
  virtual void FrameRectBlend(const TRect& r, int32_t border, uint32_t opacity, uint32_t value);
  virtual void FrameRectAdd(const TRect& r, int32_t border, uint32_t value);

  // Straight draws of a source rectangle at (x, y).
  virtual void Assign(TCustomDIBX& source);
  virtual void Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool useKey, const TRect& src, TCustomDIBX& source);
  virtual void DrawAlpha(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH, const TRect& src,
                         TCustomDIBX& source);
  virtual void DrawBlend(int32_t x, int32_t y, uint32_t opacity, bool flipV, bool flipH, bool useKey, const TRect& src,
                         TCustomDIBX& source);
  virtual void DrawAlphaBlend(int32_t x, int32_t y, uint32_t opacity, TCustomDIBX& mask, bool flipV, bool flipH,
                              const TRect& src, TCustomDIBX& source);
  virtual void DrawAdd(int32_t x, int32_t y, uint32_t opacity, bool flipV, bool flipH, bool ignored, const TRect& src,
                       TCustomDIBX& source);
  virtual void DrawAlphaAdd(int32_t x, int32_t y, uint32_t opacity, TCustomDIBX& mask, bool flipV, bool flipH,
                            const TRect& src, TCustomDIBX& source);
  // A colour through an 8-bit mask (src is a rectangle of the mask).
  virtual void FillMasked(int32_t x, int32_t y, uint32_t opacity, uint32_t value, bool flipV, bool flipH,
                          const TRect& src, TCustomDIBX& mask);
  // Writes the bytes of an 8-bit surface of the same size into the top byte of every pixel
  // of a 32-bit surface.
  void CopyAlphaFrom(TCustomDIBX& mask);

  // Files. LoadFromStream chooses the decoder by signature ("BM", "PNG" at offset 1); the
  // picture is converted to this surface's depth. Answers whether anything was loaded;
  // decoder errors (FormatError) propagate. LoadFromFile reads ".bmp" files only, SaveToFile
  // writes them only (24 bits).
  virtual bool LoadFromFile(const std::string& path);
  virtual bool LoadFromStream(TStream& stream, int32_t idCode);
  virtual bool SaveToFile(const std::string& path);

  virtual void Release() { width_ = height_ = 0; }
  virtual void ReleaseDevice() {}
  virtual void ReleaseGdiBitmap() {}
  virtual void GetPaletteEntries(TPaletteEntry*, int, int) const {}
  virtual void SetPaletteEntries(const TPaletteEntry*, int, int) {}
  void GetPalette(TPaletteEntry* entries) const { GetPaletteEntries(entries, 0, 256); }
  void SetPalette(const TPaletteEntry* entries) { SetPaletteEntries(entries, 0, 256); }

  // Pixel value of the transparent colour when this surface is a keyed source; -1 = none.
  int32_t TransparentColor = -1;
  std::vector<TRect> DrawRects;
  std::vector<TRect> ExtraRects;

 protected:
  // The clip in effect, intersected with the surface (empty when nothing may be drawn).
  TRect EffectiveClip() const { return ClipRect(); }
  int32_t width_ = 0, height_ = 0;

 private:
  bool hasClip_ = false;
  TRect clip_{};
};

// The surface in ordinary memory.
class TDIBX : public TCustomDIBX {
 public:
  TDIBX();
  // A surface on a storage it does not own (the storage must outlive it).
  explicit TDIBX(TDIBSurface* borrowed);
  ~TDIBX() override;

  int BitCount() const override;
  void SetBitCount(int bits) override;
  const TPixelFormat& Format() const override;
  int32_t Pitch() const override;
  uint32_t GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, uint32_t value) override;
  int StorageBitCount() const override;
  void SetSize(int32_t width, int32_t height, int bits) override;
  uint8_t* Lock(int32_t x, int32_t y) override;
  void Clear(uint32_t value) override;
  int32_t ColorToPixel(int32_t colorRef) const override;
  void Release() override;
  void GetPaletteEntries(TPaletteEntry* out, int first, int count) const override;
  void SetPaletteEntries(const TPaletteEntry* in, int first, int count) override;

  TDIBSurface& Storage() { return *storage_; }
  const TDIBSurface& Storage() const { return *storage_; }
  // The drawing depth a requested bit count gets: 1, 4 and 8 stay, the rest become 32.
  static int DrawingBits(int bits);

 private:
  std::unique_ptr<TDIBSurface> own_;
  TDIBSurface* storage_;
};

}  // namespace qubo
