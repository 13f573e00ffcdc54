#include "render/pixelstore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "render/pixelconvert.h"
#include "support/errors.h"

namespace qubo {

// "スキャンラインのインデックスが範囲を越えました (%d)"
const char* const kScanLineRangeMessage =
    "\x83\x58\x83\x4c\x83\x83\x83\x93\x83\x89\x83\x43\x83\x93\x82\xcc\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4e"
    "\x83\x58\x82\xaa\x94\xcd\x88\xcd\x82\xf0\x89\x7a\x82\xa6\x82\xdc\x82\xb5\x82\xbd (%d)";

TDIBSurface::TDIBSurface() { DefaultPalette(); }
TDIBSurface::~TDIBSurface() = default;

void TDIBSurface::DefaultPalette() {
  // A grey ramp, so that 8-bit storages used as masks convert to and from grey levels.
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    palette_[i] = TPaletteEntry{v, v, v, 0};
  }
}

void TDIBSurface::SetSize(int32_t width, int32_t height, int bits) {
  TPixelFormat f;
  if (!TPixelFormat::ForBitCount(bits, f)) throw QuboError("unsupported bit count " + std::to_string(bits));
  SetSizeFormat(width, height, f);
}

void TDIBSurface::SetSizeFormat(int32_t width, int32_t height, const TPixelFormat& f) {
  if (width < 0 || height < 0) throw QuboError("invalid storage size");
  const int64_t row = (int64_t{width} * f.storageBits + 31) / 32 * 4;
  const int64_t total = row * height;
  if (row > std::numeric_limits<int32_t>::max() || total > std::numeric_limits<int32_t>::max())
    throw QuboError("storage size too large");
  const bool wasPaletted = format_.Paletted();
  std::vector<uint8_t> fresh(static_cast<size_t>(total));
  bits_.swap(fresh);
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int32_t>(row);
  format_ = f;
  if (f.Paletted() && !wasPaletted) DefaultPalette();
  if (alpha_) alpha_->SetSize(width, height, 8);
}

uint8_t* TDIBSurface::ScanLine(int32_t y) {
  if (y < 0 || y >= height_) {
    char buf[160];
    std::snprintf(buf, sizeof buf, kScanLineRangeMessage, y);
    throw QuboError(buf);
  }
  return Row(y);
}

const uint8_t* TDIBSurface::ScanLine(int32_t y) const { return const_cast<TDIBSurface*>(this)->ScanLine(y); }

uint32_t TDIBSurface::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return ReadRowPixel(Row(y), x, format_.storageBits);
}

void TDIBSurface::SetPixel(int32_t x, int32_t y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  WriteRowPixel(Row(y), x, format_.storageBits, value);
}

void TDIBSurface::SetBitCount(int bits) {
  TPixelFormat f;
  if (!TPixelFormat::ForBitCount(bits, f)) return;
  if (SameFormat(f, format_)) return;
  TDIBSurface tmp;
  tmp.palette_ = palette_;
  tmp.SetSizeFormat(width_, height_, f);
  tmp.palette_ = palette_;
  ConvertPixels(*this, tmp);
  bits_.swap(tmp.bits_);
  pitch_ = tmp.pitch_;
  format_ = f;
}

void TDIBSurface::Greyscale(int bits) {
  if (bits != 1 && bits != 4 && bits != 8) return;
  TDIBSurface tmp;
  tmp.SetSize(width_, height_, bits);
  const int entries = 1 << bits;
  for (int i = 0; i < 256; ++i) tmp.palette_[i] = TPaletteEntry{};
  for (int i = 0; i < entries; ++i) {
    // Grey level i scaled to 8 bits, its top bits repeated into the low bits.
    const uint8_t v = WidenChannel(static_cast<uint32_t>(i), bits);
    tmp.palette_[i] = TPaletteEntry{v, v, v, 0};
  }
  const TPixelSpace from = TPixelSpace::Of(*this);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = Row(y);
    uint8_t* d = tmp.Row(y);
    for (int32_t x = 0; x < width_; ++x) {
      const TRgb c = PixelToRgb(from, ReadRowPixel(s, x, format_.storageBits));
      const uint32_t grey = (uint32_t{c.r} * 77 + uint32_t{c.g} * 151 + uint32_t{c.b} * 28) >> 8;
      WriteRowPixel(d, x, bits, grey >> (8 - bits));
    }
  }
  bits_.swap(tmp.bits_);
  pitch_ = tmp.pitch_;
  format_ = tmp.format_;
  palette_ = tmp.palette_;
}

void TDIBSurface::Negative() {
  if (format_.storageBits > 8) {
    for (uint8_t& b : bits_) b = static_cast<uint8_t>(~b);
    return;
  }
  for (TPaletteEntry& e : palette_) {
    e.red = static_cast<uint8_t>(~e.red);
    e.green = static_cast<uint8_t>(~e.green);
    e.blue = static_cast<uint8_t>(~e.blue);
  }
}

void TDIBSurface::SetClipRect(const TRect& r) {
  hasClip_ = true;
  clip_ = rects::Intersect(r, BoundsRect());
}

TRect TDIBSurface::ClipRect() const { return hasClip_ ? rects::Intersect(clip_, BoundsRect()) : BoundsRect(); }
TRect TDIBSurface::EffectiveClip() const { return ClipRect(); }

void TDIBSurface::FillRect(const TRect& r, uint32_t value) {
  const TRect c = rects::Intersect(r, BoundsRect());
  if (rects::Empty(c)) return;
  const int bits = format_.storageBits;
  for (int32_t y = c.top; y < c.bottom; ++y) {
    uint8_t* row = Row(y);
    if (bits == 32) {
      auto* p = reinterpret_cast<uint32_t*>(row) + c.left;
      std::fill(p, p + (c.right - c.left), value);
    } else if (bits == 8) {
      std::memset(row + c.left, static_cast<uint8_t>(value), static_cast<size_t>(c.right - c.left));
    } else {
      for (int32_t x = c.left; x < c.right; ++x) WriteRowPixel(row, x, bits, value);
    }
  }
}

uint32_t TDIBSurface::ColorFromRGB(int32_t r, int32_t g, int32_t b) const {
  const uint32_t ur = static_cast<uint32_t>(r), ug = static_cast<uint32_t>(g), ub = static_cast<uint32_t>(b);
  if (format_.Paletted()) {
    TNearestColor n(palette_.data(), 1 << format_.storageBits);
    return n.Find(TRgb{static_cast<uint8_t>(std::clamp(r, 0, 255)), static_cast<uint8_t>(std::clamp(g, 0, 255)),
                       static_cast<uint8_t>(std::clamp(b, 0, 255))});
  }
  switch (format_.BitCount()) {
    case 15:
      return ((ur << 10) & 0x7FFF) | ((ug * 32) & 0x3FF) | (ub & 0x1F);
    case 16:
      return ((ur << 11) & 0xFFFF) | ((ug * 32) & 0x7FF) | (ub & 0x1F);
    default:
      return ((ug << 8) & 0xFFFF) | (ub & 0xFF) | ((ur << 16) & 0xFFFFFF);
  }
}

void TDIBSurface::RGBFromPixel(uint32_t v, int32_t& r, int32_t& g, int32_t& b) const {
  if (format_.Paletted()) {
    const TPaletteEntry& e = palette_[v & 0xFF];
    r = e.red, g = e.green, b = e.blue;
    return;
  }
  if (format_.storageBits == 16) {
    r = static_cast<int32_t>((v & format_.redMask) >> format_.redShift);
    g = static_cast<int32_t>((v & format_.greenMask) >> format_.greenShift);
    b = static_cast<int32_t>((v & format_.blueMask) >> format_.blueShift);
    return;
  }
  r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
}

void TDIBSurface::CopyFrom(const TDIBSurface& s) {
  if (&s == this) return;
  bits_ = s.bits_;
  width_ = s.width_;
  height_ = s.height_;
  pitch_ = s.pitch_;
  format_ = s.format_;
  palette_ = s.palette_;
  if (s.alpha_) {
    if (!alpha_) alpha_ = std::make_unique<TDIBSurface>();
    alpha_->CopyFrom(*s.alpha_);
  } else {
    alpha_.reset();
  }
}

// Copies the part of rectangle r of source that lies inside it to (0, 0) of dest, which has
// r's size and source's format; the rest of dest stays zero.
static void CopyOverlap(const TDIBSurface& source, const TRect& r, TDIBSurface& dest) {
  const TRect in = rects::Intersect(r, source.BoundsRect());
  if (rects::Empty(in)) return;
  const int bits = source.StorageBits();
  const int32_t w = in.right - in.left;
  const int32_t dx = static_cast<int32_t>(int64_t{in.left} - r.left);
  const int32_t dy0 = static_cast<int32_t>(int64_t{in.top} - r.top);
  for (int32_t y = in.top; y < in.bottom; ++y) {
    const uint8_t* s = source.Row(y);
    uint8_t* d = dest.Row(dy0 + (y - in.top));
    if (bits >= 8) {
      const int bpp = bits / 8;
      std::memcpy(d + int64_t{dx} * bpp, s + int64_t{in.left} * bpp, static_cast<size_t>(w) * bpp);
    } else {
      for (int32_t x = 0; x < w; ++x) WriteRowPixel(d, dx + x, bits, ReadRowPixel(s, in.left + x, bits));
    }
  }
}

void TDIBSurface::Extract(const TDIBSurface& source, const TRect& r, bool withAlpha) {
  if (&source == this) {
    Crop(r);
    return;
  }
  if (rects::Empty(r) || rects::Width(r) > std::numeric_limits<int32_t>::max() ||
      rects::Height(r) > std::numeric_limits<int32_t>::max())
    return;
  const auto w = static_cast<int32_t>(rects::Width(r)), h = static_cast<int32_t>(rects::Height(r));
  TDIBSurface tmp;
  tmp.SetSizeFormat(w, h, source.format_);
  CopyOverlap(source, r, tmp);
  bits_.swap(tmp.bits_);
  width_ = w, height_ = h, pitch_ = tmp.pitch_, format_ = source.format_;
  palette_ = source.palette_;
  if (withAlpha && source.alpha_) {
    auto a = std::make_unique<TDIBSurface>();
    a->SetSize(w, h, 8);
    CopyOverlap(*source.alpha_, r, *a);
    alpha_ = std::move(a);
  } else {
    alpha_.reset();
  }
}

void TDIBSurface::Crop(const TRect& r) {
  if (rects::Empty(r) || rects::Width(r) > std::numeric_limits<int32_t>::max() ||
      rects::Height(r) > std::numeric_limits<int32_t>::max())
    return;
  const auto w = static_cast<int32_t>(rects::Width(r)), h = static_cast<int32_t>(rects::Height(r));
  TDIBSurface tmp;
  tmp.SetSizeFormat(w, h, format_);
  CopyOverlap(*this, r, tmp);
  if (alpha_) {
    auto a = std::make_unique<TDIBSurface>();
    a->SetSize(w, h, 8);
    CopyOverlap(*alpha_, r, *a);
    alpha_ = std::move(a);
  }
  bits_.swap(tmp.bits_);
  width_ = w, height_ = h, pitch_ = tmp.pitch_;
}

void TDIBSurface::MirrorH() {
  const int bits = format_.storageBits;
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = Row(y);
    for (int32_t a = 0, b = width_ - 1; a < b; ++a, --b) {
      const uint32_t pa = ReadRowPixel(row, a, bits), pb = ReadRowPixel(row, b, bits);
      WriteRowPixel(row, a, bits, pb);
      WriteRowPixel(row, b, bits, pa);
    }
  }
  if (alpha_) alpha_->MirrorH();
}

void TDIBSurface::FlipRows() {
  std::vector<uint8_t> tmp(static_cast<size_t>(pitch_));
  for (int32_t a = 0, b = height_ - 1; a < b; ++a, --b) {
    std::memcpy(tmp.data(), Row(a), tmp.size());
    std::memcpy(Row(a), Row(b), tmp.size());
    std::memcpy(Row(b), tmp.data(), tmp.size());
  }
  if (alpha_) alpha_->FlipRows();
}

TRect TDIBSurface::OpaqueBounds(int32_t key) const {
  if (key == -1 || IsEmpty()) return BoundsRect();
  const int bits = format_.storageBits;
  auto rowOpaque = [&](int32_t y) {
    const uint8_t* row = Row(y);
    for (int32_t x = 0; x < width_; ++x)
      if (!KeyMatches(key, ReadRowPixel(row, x, bits))) return true;
    return false;
  };
  int32_t top = 0;
  while (top < height_ && !rowOpaque(top)) ++top;
  if (top == height_) return TRect{};
  int32_t bottom = height_;
  while (bottom > top && !rowOpaque(bottom - 1)) --bottom;
  auto colOpaque = [&](int32_t x) {
    for (int32_t y = top; y < bottom; ++y)
      if (!KeyMatches(key, ReadRowPixel(Row(y), x, bits))) return true;
    return false;
  };
  int32_t left = 0;
  while (left < width_ && !colOpaque(left)) ++left;
  int32_t right = width_;
  while (right > left && !colOpaque(right - 1)) --right;
  return rects::Make(left, top, right, bottom);
}

TRect TDIBSurface::TrimToOpaque(int32_t key) {
  TRect r = OpaqueBounds(key);
  if (rects::Empty(r)) r = rects::Make(0, 0, 1, 1);
  if (!rects::Equal(r, BoundsRect())) Crop(r);
  return r;
}

void TDIBSurface::CreateAlpha() {
  if (!alpha_) alpha_ = std::make_unique<TDIBSurface>();
  if (alpha_->width_ != width_ || alpha_->height_ != height_ || alpha_->StorageBits() != 8)
    alpha_->SetSize(width_, height_, 8);
}

void TDIBSurface::SetAlphaFrom(const TDIBSurface& mask) {
  if (mask.StorageBits() != 8 || &mask == alpha_.get()) return;
  CreateAlpha();
  std::fill(alpha_->bits_.begin(), alpha_->bits_.end(), uint8_t{0});
  const int32_t w = std::min(width_, mask.width_), h = std::min(height_, mask.height_);
  for (int32_t y = 0; y < h; ++y) std::memcpy(alpha_->Row(y), mask.Row(y), static_cast<size_t>(std::max(w, 0)));
}

void TDIBSurface::FillAlpha() {
  CreateAlpha();
  std::fill(alpha_->bits_.begin(), alpha_->bits_.end(), uint8_t{255});
}

void TDIBSurface::AlphaFromKey(int32_t key) {
  CreateAlpha();
  const int bits = format_.storageBits;
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = Row(y);
    uint8_t* a = alpha_->Row(y);
    for (int32_t x = 0; x < width_; ++x) a[x] = KeyMatches(key, ReadRowPixel(s, x, bits)) ? 0 : 255;
  }
}

}  // namespace qubo
