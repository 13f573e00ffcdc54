// The fills and straight draws of TCustomDIBX, on the Lock and Pitch primitives and the row
// kernels.

#include <algorithm>
#include <cstring>
#include <limits>

#include "render/clip.h"
#include "render/dibx.h"
#include "render/drawrows.h"
#include "render/pixelstore.h"

namespace qubo {
namespace {

constexpr int32_t kFlipBlock = 256;

// Locks a surface for the length of one operation; Unlock on every exit.
class TLockGuard {
 public:
  TLockGuard(TCustomDIBX& s, int32_t x, int32_t y) : s_(s), p_(s.Lock(x, y)) {}
  ~TLockGuard() {
    if (p_) s_.Unlock();
  }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;
  uint8_t* get() const { return p_; }

 private:
  TCustomDIBX& s_;
  uint8_t* p_;
};

bool DrawDepth(int bits) { return bits == 32 || bits == 8; }

uint32_t ClampOpacity(uint32_t a) { return std::min<uint32_t>(a, 255); }

// A read-only copy of the part of a surface that a draw reads, for draws whose source or
// mask is the destination itself.
struct TSnapshot {
  TDIBX surface;
  TRect rect;
};

// Runs fn(dest, source, mask, count) over the rows of a clipped straight draw. Source and
// mask pixels arrive in destination order: flipped rows are reversed into a block first.
// Source and mask share coordinates; either may be absent (mask only: FillMasked).
template <typename Fn>
void StraightRows(TCustomDIBX& dest, int32_t x, int32_t y, bool flipV, bool flipH, const TRect& srcRect,
                  TCustomDIBX* source, TCustomDIBX* mask, Fn&& fn) {
  const int dbpp = dest.BitCount() / 8;
  TRect limit = source ? source->BoundsRect() : mask->BoundsRect();
  if (source && mask) limit = rects::Intersect(limit, mask->BoundsRect());
  TStraightClip c;
  if (!ClipStraight(x, y, srcRect, limit, dest.ClipRect(), flipH, flipV, c)) return;

  // A source or mask that is the destination is read from a snapshot of the rectangle (both
  // inputs then, so that they keep sharing coordinates).
  std::unique_ptr<TSnapshot> snapS, snapM;
  if (source == &dest || mask == &dest) {
    const TRect orig = c.src;
    auto snapshot = [&](TCustomDIBX*& s, std::unique_ptr<TSnapshot>& keep) {
      keep = std::make_unique<TSnapshot>();
      keep->surface.SetSize(orig.right - orig.left, orig.bottom - orig.top, s->BitCount());
      keep->surface.Draw(0, 0, false, false, false, orig, *s);
      s = &keep->surface;
    };
    if (source) snapshot(source, snapS);
    if (mask) snapshot(mask, snapM);
    c.src = rects::Make(0, 0, orig.right - orig.left, orig.bottom - orig.top);
  }

  const int32_t w = c.src.right - c.src.left, h = c.src.bottom - c.src.top;
  const int32_t firstRow = flipV ? c.src.bottom - 1 : c.src.top;
  TLockGuard dl(dest, c.dx, c.dy);
  if (!dl.get()) return;
  std::unique_ptr<TLockGuard> sl, ml;
  const uint8_t* sbase = nullptr;
  const uint8_t* mbase = nullptr;
  int64_t sstep = 0, mstep = 0;
  int sbpp = 0;
  if (source) {
    sl = std::make_unique<TLockGuard>(*source, c.src.left, firstRow);
    if (!sl->get()) return;
    sbase = sl->get();
    sstep = flipV ? -int64_t{source->Pitch()} : source->Pitch();
    sbpp = source->BitCount() / 8;
  }
  if (mask) {
    ml = std::make_unique<TLockGuard>(*mask, c.src.left, firstRow);
    if (!ml->get()) return;
    mbase = ml->get();
    mstep = flipV ? -int64_t{mask->Pitch()} : mask->Pitch();
  }
  const int64_t dstep = dest.Pitch();
  alignas(32) uint8_t sbuf[kFlipBlock * 4];
  alignas(32) uint8_t mbuf[kFlipBlock];
  for (int32_t i = 0; i < h; ++i) {
    uint8_t* d = dl.get() + i * dstep;
    const uint8_t* s = sbase ? sbase + i * sstep : nullptr;
    const uint8_t* m = mbase ? mbase + i * mstep : nullptr;
    if (!flipH) {
      fn(d, s, m, w);
      continue;
    }
    for (int32_t o = 0; o < w; o += kFlipBlock) {
      const int32_t n = std::min(kFlipBlock, w - o);
      // Destination pixels o .. o + n - 1 show source columns w - 1 - o down to w - o - n.
      for (int32_t k = 0; k < n; ++k) {
        const int64_t col = int64_t{w} - 1 - o - k;
        if (s) std::memcpy(sbuf + k * sbpp, s + col * sbpp, static_cast<size_t>(sbpp));
        if (m) mbuf[k] = m[col];
      }
      fn(d + int64_t{o} * dbpp, s ? sbuf : nullptr, m ? mbuf : nullptr, n);
    }
  }
}

inline uint32_t* P32(uint8_t* p) { return reinterpret_cast<uint32_t*>(p); }
inline const uint32_t* P32(const uint8_t* p) { return reinterpret_cast<const uint32_t*>(p); }

// Visits the rows of a rectangle clipped to the clip rectangle: fn(row, count).
template <typename Fn>
void FillRows(TCustomDIBX& dest, const TRect& r, Fn&& fn) {
  const TRect c = rects::Intersect(r, dest.ClipRect());
  if (rects::Empty(c)) return;
  TLockGuard l(dest, c.left, c.top);
  if (!l.get()) return;
  const int64_t step = dest.Pitch();
  for (int32_t y = 0; y < c.bottom - c.top; ++y) fn(l.get() + y * step, c.right - c.left);
}

TRect Band(int64_t l, int64_t t, int64_t r, int64_t b) {
  auto cl = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  };
  return rects::Make(cl(l), cl(t), cl(r), cl(b));
}

template <typename Fill>
void FrameBands(const TRect& r, int32_t border, Fill&& fill) {
  if (border <= 0) return;
  const int64_t l = r.left, t = r.top, rr = r.right, b = r.bottom, bw = border;
  fill(Band(l, t, rr, t + bw));
  fill(Band(l, b - bw, rr, b));
  if (b - t - 2 * bw > 0) {
    fill(Band(l, t + bw, l + bw, b - bw));
    fill(Band(rr - bw, t + bw, rr, b - bw));
  }
}

}  // namespace

void TCustomDIBX::FillRect(const TRect& r, uint32_t value) {
  const int bits = BitCount();
  if (bits == 32) {
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { std::fill_n(P32(row), n, value); });
  } else if (bits == 8) {
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { std::memset(row, static_cast<int>(value & 0xFF), static_cast<size_t>(n)); });
  } else if (bits == 1 || bits == 4) {
    const TRect c = rects::Intersect(r, ClipRect());
    for (int32_t y = c.top; y < c.bottom; ++y)
      for (int32_t x = c.left; x < c.right; ++x) SetPixel(x, y, value);
  }
}

void TCustomDIBX::FillRectBlend(const TRect& r, uint32_t value, uint32_t opacity) {
  if (opacity == 0) return;
  const uint32_t w = ClampOpacity(opacity);
  const int bits = BitCount();
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { k.fillBlend(P32(row), n, value, w); });
  } else if (bits == 8) {
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { rows::FillBlend8(row, n, value, w); });
  }
}

void TCustomDIBX::FillRectAdd(const TRect& r, uint32_t value) {
  const int bits = BitCount();
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { k.fillAdd(P32(row), n, value); });
  } else if (bits == 8) {
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { rows::FillAdd8(row, n, value); });
  }
}

void TCustomDIBX::FillRectSub(const TRect& r, uint32_t value) {
  const int bits = BitCount();
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { k.fillSub(P32(row), n, value); });
  } else if (bits == 8) {
    FillRows(*this, r, [&](uint8_t* row, int32_t n) { rows::FillSub8(row, n, value); });
  }
}

void TCustomDIBX::FrameRect(const TRect& r, int32_t border, uint32_t value) {
  FrameBands(r, border, [&](const TRect& b) { FillRect(b, value); });
}

void TCustomDIBX::FrameRectBlend(const TRect& r, int32_t border, uint32_t opacity, uint32_t value) {
  FrameBands(r, border, [&](const TRect& b) { FillRectBlend(b, value, opacity); });
}

void TCustomDIBX::FrameRectAdd(const TRect& r, int32_t border, uint32_t value) {
  FrameBands(r, border, [&](const TRect& b) { FillRectAdd(b, value); });
}

void TCustomDIBX::Assign(TCustomDIBX& source) {
  if (&source == this) return;
  auto* a = dynamic_cast<TDIBX*>(this);
  auto* b = dynamic_cast<TDIBX*>(&source);
  if (a && b && a->Width() == b->Width() && a->Height() == b->Height() && a->Pitch() == b->Pitch() &&
      a->BitCount() == b->BitCount() && !IsEmpty()) {
    uint8_t* d = Lock(0, 0);
    if (!d) return;
    uint8_t* s = source.Lock(0, 0);
    if (s) {
      std::memcpy(d, s, static_cast<size_t>(Pitch()) * static_cast<size_t>(Height()));
      source.Unlock();
    }
    Unlock();
    return;
  }
  Draw(0, 0, false, false, false, source.BoundsRect(), source);
}

void TCustomDIBX::Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool useKey, const TRect& src, TCustomDIBX& source) {
  const int bits = BitCount();
  if (!DrawDepth(bits) || source.BitCount() != bits) return;
  const bool keyed = useKey && source.TransparentColor != -1;
  const uint32_t key = static_cast<uint32_t>(source.TransparentColor);
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, &source, nullptr, [&](uint8_t* d, const uint8_t* s, const uint8_t*, int32_t n) {
      if (keyed)
        k.copyKeyed(P32(d), P32(s), n, key);
      else
        std::memcpy(d, s, static_cast<size_t>(n) * 4);
    });
  } else {
    StraightRows(*this, x, y, flipV, flipH, src, &source, nullptr, [&](uint8_t* d, const uint8_t* s, const uint8_t*, int32_t n) {
      if (keyed)
        rows::CopyKeyed8(d, s, n, key);
      else
        std::memcpy(d, s, static_cast<size_t>(n));
    });
  }
}

void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH, const TRect& src,
                            TCustomDIBX& source) {
  const int bits = BitCount();
  if (!DrawDepth(bits) || source.BitCount() != bits || mask.BitCount() != 8) return;
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, &source, &mask,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) { k.alpha(P32(d), P32(s), m, n); });
  } else {
    StraightRows(*this, x, y, flipV, flipH, src, &source, &mask,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) { rows::Alpha8(d, s, m, n); });
  }
}

void TCustomDIBX::DrawBlend(int32_t x, int32_t y, uint32_t opacity, bool flipV, bool flipH, bool useKey, const TRect& src,
                            TCustomDIBX& source) {
  if (opacity == 0) return;
  const int bits = BitCount();
  if (!DrawDepth(bits) || source.BitCount() != bits) return;
  const uint32_t w = ClampOpacity(opacity);
  const uint32_t key = static_cast<uint32_t>(source.TransparentColor);
  const bool hasKey = source.TransparentColor != -1;
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, &source, nullptr, [&](uint8_t* d, const uint8_t* s, const uint8_t*, int32_t n) {
      k.blend(P32(d), P32(s), n, w, key, useKey && hasKey);
    });
  } else {
    // The 8-bit path always tests the key.
    StraightRows(*this, x, y, flipV, flipH, src, &source, nullptr, [&](uint8_t* d, const uint8_t* s, const uint8_t*, int32_t n) {
      rows::Blend8(d, s, n, w, key, hasKey);
    });
  }
}

void TCustomDIBX::DrawAlphaBlend(int32_t x, int32_t y, uint32_t opacity, TCustomDIBX& mask, bool flipV, bool flipH,
                                 const TRect& src, TCustomDIBX& source) {
  if (opacity == 0) return;
  const int bits = BitCount();
  if (!DrawDepth(bits) || source.BitCount() != bits || mask.BitCount() != 8) return;
  const uint32_t a = ClampOpacity(opacity);
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, &source, &mask,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) { k.alphaBlend(P32(d), P32(s), m, n, a); });
  } else {
    StraightRows(*this, x, y, flipV, flipH, src, &source, &mask,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) { rows::AlphaBlend8(d, s, m, n, a); });
  }
}

void TCustomDIBX::DrawAdd(int32_t x, int32_t y, uint32_t opacity, bool flipV, bool flipH, bool, const TRect& src,
                          TCustomDIBX& source) {
  if (opacity == 0) return;
  const int bits = BitCount();
  if (!DrawDepth(bits) || source.BitCount() != bits) return;
  const uint32_t w = ClampOpacity(opacity);
  const uint32_t key = static_cast<uint32_t>(source.TransparentColor);
  const bool hasKey = source.TransparentColor != -1;
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, &source, nullptr, [&](uint8_t* d, const uint8_t* s, const uint8_t*, int32_t n) {
      k.add(P32(d), P32(s), n, w, key, hasKey);
    });
  } else {
    StraightRows(*this, x, y, flipV, flipH, src, &source, nullptr,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t*, int32_t n) { rows::Add8(d, s, n, key, hasKey); });
  }
}

void TCustomDIBX::DrawAlphaAdd(int32_t x, int32_t y, uint32_t opacity, TCustomDIBX& mask, bool flipV, bool flipH,
                               const TRect& src, TCustomDIBX& source) {
  if (opacity == 0) return;
  const int bits = BitCount();
  if (!DrawDepth(bits) || source.BitCount() != bits || mask.BitCount() != 8) return;
  const uint32_t a = ClampOpacity(opacity);
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, &source, &mask,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) { k.alphaAdd(P32(d), P32(s), m, n, a); });
  } else {
    StraightRows(*this, x, y, flipV, flipH, src, &source, &mask,
                 [&](uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) { rows::AlphaAdd8(d, s, m, n, a); });
  }
}

void TCustomDIBX::FillMasked(int32_t x, int32_t y, uint32_t opacity, uint32_t value, bool flipV, bool flipH,
                             const TRect& src, TCustomDIBX& mask) {
  if (opacity == 0) return;
  const int bits = BitCount();
  if (!DrawDepth(bits) || mask.BitCount() != 8) return;
  const uint32_t a = ClampOpacity(opacity);
  if (bits == 32) {
    const auto& k = rows::Kernels32();
    StraightRows(*this, x, y, flipV, flipH, src, nullptr, &mask,
                 [&](uint8_t* d, const uint8_t*, const uint8_t* m, int32_t n) { k.fillMasked(P32(d), m, n, a, value); });
  } else {
    StraightRows(*this, x, y, flipV, flipH, src, nullptr, &mask,
                 [&](uint8_t* d, const uint8_t*, const uint8_t* m, int32_t n) { rows::FillMasked8(d, m, n, a, value); });
  }
}

}  // namespace qubo
