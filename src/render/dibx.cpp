#include "render/dibx.h"

#include <algorithm>

#include "render/pixelstore.h"

namespace qubo {

const TPixelFormat& TCustomDIBX::Format() const {
  static const TPixelFormat none = [] {
    TPixelFormat f;
    f.storageBits = 0;
    f.redMask = f.greenMask = f.blueMask = 0;
    f.redShift = f.greenShift = f.blueShift = 0;
    f.redBits = f.greenBits = f.blueBits = 0;
    return f;
  }();
  return none;
}

void TCustomDIBX::SetSize(int32_t width, int32_t height, int) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

void TCustomDIBX::AddClipRect(const TRect& r) {
  const TRect c = rects::Intersect(r, BoundsRect());
  if (rects::Empty(c)) return;
  if (!hasClip_ || rects::Empty(clip_))
    clip_ = c;
  else
    clip_ = rects::Union(clip_, c);
  hasClip_ = true;
}

void TCustomDIBX::SetClipRect(const TRect& r) {
  hasClip_ = true;
  clip_ = rects::Intersect(r, BoundsRect());
}

TRect TCustomDIBX::ClipRect() const {
  if (!hasClip_) return BoundsRect();
  const TRect c = rects::Intersect(clip_, BoundsRect());
  return rects::Empty(c) ? TRect{} : c;
}

int32_t TCustomDIBX::ColorToPixel(int32_t colorRef) const { return colorRef; }

void TCustomDIBX::CopyAlphaFrom(TCustomDIBX& mask) {
  if (mask.BitCount() != 8 || BitCount() != 32 || mask.Width() != width_ || mask.Height() != height_ || IsEmpty())
    return;
  uint8_t* d = Lock(0, 0);
  if (!d) return;
  uint8_t* m = mask.Lock(0, 0);
  if (!m) {
    Unlock();
    return;
  }
  const int32_t dp = Pitch(), mp = mask.Pitch();
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = d + int64_t{y} * dp;
    const uint8_t* mr = m + int64_t{y} * mp;
    for (int32_t x = 0; x < width_; ++x) row[4 * int64_t{x} + 3] = mr[x];
  }
  mask.Unlock();
  Unlock();
}

// TDIBX

TDIBX::TDIBX() : own_(std::make_unique<TDIBSurface>()), storage_(own_.get()) {
  storage_->SetSize(1, 1, DrawingBits(15));
  width_ = height_ = 1;
}

TDIBX::TDIBX(TDIBSurface* borrowed) : storage_(borrowed) {
  width_ = storage_->Width();
  height_ = storage_->Height();
}

TDIBX::~TDIBX() = default;

int TDIBX::DrawingBits(int bits) { return bits == 1 || bits == 4 || bits == 8 ? bits : 32; }

int TDIBX::BitCount() const { return storage_->BitCount(); }
int TDIBX::StorageBitCount() const { return storage_->StorageBits(); }
const TPixelFormat& TDIBX::Format() const { return storage_->Format(); }
int32_t TDIBX::Pitch() const { return storage_->Pitch(); }

void TDIBX::SetBitCount(int bits) { storage_->SetBitCount(DrawingBits(bits)); }

void TDIBX::SetSize(int32_t width, int32_t height, int bits) {
  storage_->SetSize(width, height, DrawingBits(bits));
  width_ = storage_->Width();
  height_ = storage_->Height();
}

uint32_t TDIBX::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return storage_->GetPixel(x, y);
}

void TDIBX::SetPixel(int32_t x, int32_t y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  storage_->SetPixel(x, y, value);
}

uint8_t* TDIBX::Lock(int32_t x, int32_t y) {
  // A storage changed behind the surface's back (borrowed) gives no address rather than rows
  // it does not have.
  if (IsEmpty() || width_ > storage_->Width() || height_ > storage_->Height()) return nullptr;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  const int bits = storage_->StorageBits();
  uint8_t* row = storage_->Row(y);
  switch (bits) {
    case 1: return row + x / 8;
    case 4: return row + x / 2;
    default: return row + int64_t{x} * (bits / 8);
  }
}

void TDIBX::Clear(uint32_t value) {
  if (IsEmpty()) return;
  const int bits = storage_->StorageBits();
  if (bits == 32) {
    FillRect(BoundsRect(), value);
    return;
  }
  uint8_t b = static_cast<uint8_t>(value);
  if (bits == 1) b = value ? 0xFF : 0x00;
  if (bits == 4) b = static_cast<uint8_t>((value & 0x0F) * 0x11);
  if (bits == 16 || bits == 24) {
    storage_->FillRect(storage_->BoundsRect(), value);
    return;
  }
  for (int32_t y = 0; y < storage_->Height(); ++y) std::fill_n(storage_->Row(y), storage_->Pitch(), b);
}

int32_t TDIBX::ColorToPixel(int32_t colorRef) const {
  if (colorRef < 0) return -1;
  const TPixelFormat& f = storage_->Format();
  if (f.Paletted()) return colorRef;
  const uint32_t c = static_cast<uint32_t>(colorRef);
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  // Each channel narrowed to its field and placed at its shift: red high, blue low, for
  // every depth (24 bits included).
  return static_cast<int32_t>(((r >> (8 - f.redBits)) << f.redShift) | ((g >> (8 - f.greenBits)) << f.greenShift) |
                              ((b >> (8 - f.blueBits)) << f.blueShift));
}

void TDIBX::Release() {
  width_ = height_ = 0;
  storage_->SetSize(8, 8, storage_->BitCount());
}

void TDIBX::GetPaletteEntries(TPaletteEntry* out, int first, int count) const {
  for (int i = 0; i < count; ++i)
    if (first + i >= 0 && first + i < 256) out[i] = storage_->Palette()[first + i];
}

void TDIBX::SetPaletteEntries(const TPaletteEntry* in, int first, int count) {
  for (int i = 0; i < count; ++i)
    if (first + i >= 0 && first + i < 256) storage_->Palette()[first + i] = in[i];
  storage_->UpdatePalette();
}

}  // namespace qubo
