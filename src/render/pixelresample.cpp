// Pixel storage operations that compute new pixels from many: box blur, resizing and
// conversion to fewer colours.

#include <algorithm>
#include <cstring>
#include <vector>

#include "render/pixelconvert.h"
#include "render/pixelstore.h"

namespace qubo {
namespace {

// Resamples a plane of ch bytes per pixel. Growing in either direction samples bilinearly;
// otherwise every destination pixel is the area-weighted average of the source pixels it
// covers, leaving out pixels equal to key (24-bit planes only; -1 = none). A destination
// pixel that covers only key pixels becomes the key.
void ResamplePlane(const TDIBSurface& src, TDIBSurface& dst, int ch, int32_t key) {
  const int64_t sw = src.Width(), sh = src.Height(), dw = dst.Width(), dh = dst.Height();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (dw > sw || dh > sh) {
    auto coord = [](int64_t i, int64_t s, int64_t d) {
      // Source position of the centre of destination pixel i, 16.16, clamped to the pixels.
      int64_t f = ((2 * i + 1) * s * 65536) / (2 * d) - 32768;
      return std::clamp<int64_t>(f, 0, (s - 1) * 65536);
    };
    for (int64_t y = 0; y < dh; ++y) {
      const int64_t fy = coord(y, sh, dh);
      const int64_t y0 = fy >> 16, y1 = std::min(y0 + 1, sh - 1), wy = fy & 0xFFFF;
      const uint8_t* r0 = src.Row(static_cast<int32_t>(y0));
      const uint8_t* r1 = src.Row(static_cast<int32_t>(y1));
      uint8_t* out = dst.Row(static_cast<int32_t>(y));
      for (int64_t x = 0; x < dw; ++x) {
        const int64_t fx = coord(x, sw, dw);
        const int64_t x0 = fx >> 16, x1 = std::min(x0 + 1, sw - 1), wx = fx & 0xFFFF;
        for (int c = 0; c < ch; ++c) {
          const int64_t a = r0[x0 * ch + c], b = r0[x1 * ch + c], cc = r1[x0 * ch + c], d = r1[x1 * ch + c];
          const int64_t top = a * (65536 - wx) + b * wx, bottom = cc * (65536 - wx) + d * wx;
          const int64_t v = (top * (65536 - wy) + bottom * wy + (int64_t{1} << 31)) >> 32;
          out[x * ch + c] = static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
        }
      }
    }
    return;
  }
  // Area average: destination column x covers [x * sw, (x + 1) * sw) in units where a source
  // pixel i spans [i * dw, (i + 1) * dw).
  struct Span {
    int64_t first, last;
  };
  auto spans = [](int64_t s, int64_t d) {
    std::vector<Span> v(static_cast<size_t>(d));
    for (int64_t i = 0; i < d; ++i) v[i] = Span{(i * s) / d, ((i + 1) * s - 1) / d};
    return v;
  };
  auto weight = [](int64_t i, int64_t x, int64_t s, int64_t d) {
    return std::min((i + 1) * d, (x + 1) * s) - std::max(i * d, x * s);
  };
  const std::vector<Span> cols = spans(sw, dw), rows = spans(sh, dh);
  std::vector<int64_t> acc(static_cast<size_t>(ch));
  for (int64_t y = 0; y < dh; ++y) {
    uint8_t* out = dst.Row(static_cast<int32_t>(y));
    for (int64_t x = 0; x < dw; ++x) {
      std::fill(acc.begin(), acc.end(), 0);
      int64_t total = 0;
      for (int64_t sy = rows[y].first; sy <= rows[y].last; ++sy) {
        const int64_t wy = weight(sy, y, sh, dh);
        const uint8_t* row = src.Row(static_cast<int32_t>(sy));
        for (int64_t sx = cols[x].first; sx <= cols[x].last; ++sx) {
          const uint8_t* p = row + sx * ch;
          if (key != -1 && ch == 3 && static_cast<uint32_t>(key) == ReadRowPixel(row, static_cast<int32_t>(sx), 24))
            continue;
          const int64_t wgt = wy * weight(sx, x, sw, dw);
          total += wgt;
          for (int c = 0; c < ch; ++c) acc[c] += wgt * p[c];
        }
      }
      if (total == 0) {
        WriteRowPixel(out, static_cast<int32_t>(x), 24, static_cast<uint32_t>(key));
        continue;
      }
      for (int c = 0; c < ch; ++c) out[x * ch + c] = static_cast<uint8_t>((acc[c] + total / 2) / total);
    }
  }
}

}  // namespace

void TDIBSurface::Blur(int bits, int32_t r) {
  if (r <= 0 || IsEmpty()) return;
  if (format_.storageBits != 24 && format_.storageBits != 32) SetBitCount(24);
  const int ch = format_.storageBits / 8;
  const int64_t w = width_, h = height_;
  const std::vector<uint8_t> src = bits_;
  std::vector<uint64_t> colSum(static_cast<size_t>(w * ch), 0);
  auto addRow = [&](int64_t y, int sign) {
    const uint8_t* row = src.data() + y * pitch_;
    for (int64_t i = 0; i < w * ch; ++i) colSum[i] += sign > 0 ? row[i] : -uint64_t{row[i]};
  };
  for (int64_t y = 0; y <= std::min<int64_t>(r, h - 1); ++y) addRow(y, 1);
  std::vector<uint64_t> sum(static_cast<size_t>(ch));
  for (int64_t y = 0; y < h; ++y) {
    if (y > 0) {
      if (y + r < h) addRow(y + r, 1);
      if (y - r - 1 >= 0) addRow(y - r - 1, -1);
    }
    const int64_t nRows = std::min<int64_t>(h - 1, y + r) - std::max<int64_t>(0, y - r) + 1;
    std::fill(sum.begin(), sum.end(), 0);
    for (int64_t x = 0; x <= std::min<int64_t>(r, w - 1); ++x)
      for (int c = 0; c < ch; ++c) sum[c] += colSum[x * ch + c];
    uint8_t* out = Row(static_cast<int32_t>(y));
    for (int64_t x = 0; x < w; ++x) {
      if (x > 0) {
        if (x + r < w)
          for (int c = 0; c < ch; ++c) sum[c] += colSum[(x + r) * ch + c];
        if (x - r - 1 >= 0)
          for (int c = 0; c < ch; ++c) sum[c] -= colSum[(x - r - 1) * ch + c];
      }
      const int64_t nCols = std::min<int64_t>(w - 1, x + r) - std::max<int64_t>(0, x - r) + 1;
      const uint64_t n = static_cast<uint64_t>(nRows * nCols);
      for (int c = 0; c < ch; ++c) out[x * ch + c] = static_cast<uint8_t>(sum[c] / n);
    }
  }
  SetBitCount(bits);
}

void TDIBSurface::Resize(int32_t width, int32_t height, int32_t key, bool keepFormat) {
  if (width == width_ && height == height_) return;
  if (width <= 0 || height <= 0) return;
  if (alpha_) {
    TDIBSurface a;
    a.SetSize(width, height, 8);
    ResamplePlane(*alpha_, a, 1, -1);
    alpha_->SetSize(0, 0, 8);
    alpha_->CopyFrom(a);
  }
  const int previous = format_.BitCount();
  const int32_t key24 = ConvertKey(key, TPixelSpace::Of(*this), TPixelSpace{TPixelFormat::Of(24), palette_.data()});
  TDIBSurface src;
  src.SetSize(width_, height_, 24);
  ConvertPixels(*this, src);
  TDIBSurface out;
  out.SetSize(width, height, 24);
  ResamplePlane(src, out, 3, key24);
  bits_.swap(out.bits_);
  width_ = width, height_ = height, pitch_ = out.pitch_, format_ = out.format_;
  if (keepFormat) SetBitCount(previous);
}

namespace {

struct Box {
  int lo[3], hi[3];  // inclusive 5-bit ranges
  int64_t count;
};

// Median cut over a 5-bit-per-channel histogram.
std::vector<TRgb> MedianCut(const std::vector<uint32_t>& hist, int colors) {
  auto idx = [](int r, int g, int b) { return (r << 10) | (g << 5) | b; };
  auto shrink = [&](Box& bx) {
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
    int64_t n = 0;
    for (int r = bx.lo[0]; r <= bx.hi[0]; ++r)
      for (int g = bx.lo[1]; g <= bx.hi[1]; ++g)
        for (int b = bx.lo[2]; b <= bx.hi[2]; ++b) {
          const uint32_t c = hist[idx(r, g, b)];
          if (!c) continue;
          n += c;
          const int v[3] = {r, g, b};
          for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
        }
    bx.count = n;
    if (n) std::copy(lo, lo + 3, bx.lo), std::copy(hi, hi + 3, bx.hi);
  };
  std::vector<Box> boxes{Box{{0, 0, 0}, {31, 31, 31}, 0}};
  shrink(boxes[0]);
  while (static_cast<int>(boxes.size()) < colors) {
    int best = -1, axisLen = 0;
    for (size_t i = 0; i < boxes.size(); ++i)
      for (int k = 0; k < 3; ++k)
        if (boxes[i].count > 1 && boxes[i].hi[k] - boxes[i].lo[k] > axisLen)
          best = static_cast<int>(i), axisLen = boxes[i].hi[k] - boxes[i].lo[k];
    if (best < 0) break;
    Box bx = boxes[best];
    int axis = 0;
    for (int k = 1; k < 3; ++k)
      if (bx.hi[k] - bx.lo[k] > bx.hi[axis] - bx.lo[axis]) axis = k;
    // Count along the axis and cut at the median.
    std::vector<int64_t> along(32, 0);
    for (int r = bx.lo[0]; r <= bx.hi[0]; ++r)
      for (int g = bx.lo[1]; g <= bx.hi[1]; ++g)
        for (int b = bx.lo[2]; b <= bx.hi[2]; ++b) along[axis == 0 ? r : axis == 1 ? g : b] += hist[idx(r, g, b)];
    int64_t acc = 0;
    int cut = bx.lo[axis];
    for (int v = bx.lo[axis]; v < bx.hi[axis]; ++v) {
      acc += along[v];
      cut = v;
      if (acc * 2 >= bx.count) break;
    }
    Box a = bx, b = bx;
    a.hi[axis] = cut;
    b.lo[axis] = cut + 1;
    shrink(a);
    shrink(b);
    boxes[best] = a;
    if (b.count) boxes.push_back(b);
  }
  std::vector<TRgb> out;
  for (const Box& bx : boxes) {
    int64_t s[3] = {0, 0, 0}, n = 0;
    for (int r = bx.lo[0]; r <= bx.hi[0]; ++r)
      for (int g = bx.lo[1]; g <= bx.hi[1]; ++g)
        for (int b = bx.lo[2]; b <= bx.hi[2]; ++b) {
          const int64_t c = hist[idx(r, g, b)];
          s[0] += c * r, s[1] += c * g, s[2] += c * b, n += c;
        }
    if (!n) continue;
    out.push_back(TRgb{WidenChannel(static_cast<uint32_t>(s[0] / n), 5), WidenChannel(static_cast<uint32_t>(s[1] / n), 5),
                       WidenChannel(static_cast<uint32_t>(s[2] / n), 5)});
  }
  return out;
}

}  // namespace

void TDIBSurface::ConvertBitCount(int /*mode*/, int bits, bool dither, int colors) {
  if (bits != 1 && bits != 4 && bits != 8) {
    SetBitCount(bits);
    return;
  }
  const int limit = 1 << bits;
  const int maxColors = colors > 0 ? std::min(colors, limit) : limit;
  const TPixelSpace from = TPixelSpace::Of(*this);
  if (format_.Paletted() && format_.storageBits <= bits) {
    // A larger palette keeps the entries; the new ones are black.
    for (int i = 1 << format_.storageBits; i < 256; ++i) palette_[i] = TPaletteEntry{};
    TDIBSurface tmp;
    tmp.SetSize(width_, height_, bits);
    for (int32_t y = 0; y < height_; ++y)
      for (int32_t x = 0; x < width_; ++x) WriteRowPixel(tmp.Row(y), x, bits, ReadRowPixel(Row(y), x, format_.storageBits));
    bits_.swap(tmp.bits_);
    pitch_ = tmp.pitch_, format_ = tmp.format_;
    return;
  }
  // The image's own colours when there are few enough.
  std::vector<TRgb> own;
  bool few = true;
  for (int32_t y = 0; y < height_ && few; ++y)
    for (int32_t x = 0; x < width_ && few; ++x) {
      const TRgb c = PixelToRgb(from, ReadRowPixel(Row(y), x, format_.storageBits));
      if (std::find(own.begin(), own.end(), c) == own.end()) {
        if (static_cast<int>(own.size()) == maxColors)
          few = false;
        else
          own.push_back(c);
      }
    }
  std::vector<TRgb> pal;
  if (few) {
    pal = own;
    dither = false;
  } else {
    std::vector<uint32_t> hist(32768, 0);
    for (int32_t y = 0; y < height_; ++y)
      for (int32_t x = 0; x < width_; ++x) {
        const TRgb c = PixelToRgb(from, ReadRowPixel(Row(y), x, format_.storageBits));
        ++hist[((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3)];
      }
    pal = MedianCut(hist, maxColors);
  }
  std::array<TPaletteEntry, 256> newPal{};
  for (size_t i = 0; i < pal.size(); ++i) newPal[i] = TPaletteEntry{pal[i].b, pal[i].g, pal[i].r, 0};
  TDIBSurface tmp;
  tmp.SetSize(width_, height_, bits);
  TNearestColor nearest(newPal.data(), std::max<int>(1, static_cast<int>(pal.size())));
  // Floyd-Steinberg error rows (current and next), in 1/16 units.
  std::vector<int32_t> err(dither ? static_cast<size_t>(width_ + 2) * 3 * 2 : 0, 0);
  for (int32_t y = 0; y < height_; ++y) {
    int32_t* cur = dither ? err.data() + ((y & 1) ? (width_ + 2) * 3 : 0) : nullptr;
    int32_t* next = dither ? err.data() + ((y & 1) ? 0 : (width_ + 2) * 3) : nullptr;
    if (dither) std::fill(next, next + (width_ + 2) * 3, 0);
    for (int32_t x = 0; x < width_; ++x) {
      TRgb c = PixelToRgb(from, ReadRowPixel(Row(y), x, format_.storageBits));
      int v[3] = {c.r, c.g, c.b};
      if (dither)
        for (int k = 0; k < 3; ++k) v[k] = std::clamp(v[k] + cur[(x + 1) * 3 + k] / 16, 0, 255);
      const TRgb want{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])};
      const uint32_t index = nearest.Find(want);
      WriteRowPixel(tmp.Row(y), x, bits, index);
      if (dither) {
        const TPaletteEntry& e = newPal[index];
        const int got[3] = {e.red, e.green, e.blue};
        for (int k = 0; k < 3; ++k) {
          const int e0 = v[k] - got[k];
          cur[(x + 2) * 3 + k] += e0 * 7;
          next[x * 3 + k] += e0 * 3;
          next[(x + 1) * 3 + k] += e0 * 5;
          next[(x + 2) * 3 + k] += e0;
        }
      }
    }
  }
  bits_.swap(tmp.bits_);
  pitch_ = tmp.pitch_, format_ = tmp.format_;
  palette_ = newPal;
}

}  // namespace qubo
