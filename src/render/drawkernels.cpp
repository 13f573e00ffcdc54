// Portable row kernels in fixed blocks: each block first computes the arithmetic on every
// byte (loops the vectoriser turns into packed 16-bit multiplies at the baseline instruction
// set), then picks per pixel between the result, the source and the destination with
// branch-free selects. Also the 8-bit kernels and the run-time choice of variant.

#include <algorithm>
#include <cstring>

#include "render/drawrows.h"

namespace qubo::rows {
namespace {

constexpr int32_t kBlock = 64;
constexpr uint32_t kRgb = 0x00FFFFFF;

// out = (w * s + (255 - w) * d) >> 8 per byte, one weight.
inline void BlendBytes(uint8_t* out, const uint8_t* s, const uint8_t* d, int32_t nbytes, uint32_t w) {
  const uint16_t w16 = static_cast<uint16_t>(w), iw16 = static_cast<uint16_t>(255 - w);
  for (int32_t j = 0; j < nbytes; ++j)
    out[j] = static_cast<uint8_t>((static_cast<uint16_t>(s[j] * w16) + static_cast<uint16_t>(d[j] * iw16)) >> 8);
}

// Per-byte weights.
inline void BlendBytesW(uint8_t* out, const uint8_t* s, const uint8_t* d, const uint8_t* w, int32_t nbytes) {
  for (int32_t j = 0; j < nbytes; ++j)
    out[j] = static_cast<uint8_t>(
        (static_cast<uint16_t>(s[j] * w[j]) + static_cast<uint16_t>(d[j] * static_cast<uint8_t>(255 - w[j]))) >> 8);
}

inline void AddBytes(uint8_t* out, const uint8_t* s, const uint8_t* d, int32_t nbytes, uint32_t w) {
  const uint16_t w16 = static_cast<uint16_t>(w);
  for (int32_t j = 0; j < nbytes; ++j) {
    const uint16_t v = static_cast<uint16_t>(d[j] + (static_cast<uint16_t>(s[j] * w16) >> 8));
    out[j] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

inline void AddBytesW(uint8_t* out, const uint8_t* s, const uint8_t* d, const uint8_t* w, int32_t nbytes) {
  for (int32_t j = 0; j < nbytes; ++j) {
    const uint16_t v = static_cast<uint16_t>(d[j] + (static_cast<uint16_t>(s[j] * w[j]) >> 8));
    out[j] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

// Spreads one weight per pixel over its four bytes.
inline void SpreadWeights(uint32_t* out, const uint8_t* m, int32_t n) {
  for (int32_t i = 0; i < n; ++i) out[i] = m[i] * 0x01010101u;
}

inline const uint8_t* B(const uint32_t* p) { return reinterpret_cast<const uint8_t*>(p); }
inline uint8_t* B(uint32_t* p) { return reinterpret_cast<uint8_t*>(p); }

void CopyKeyed(uint32_t* d, const uint32_t* s, int32_t n, uint32_t key) {
  for (int32_t i = 0; i < n; ++i) d[i] = s[i] == key ? d[i] : s[i];
}

void Blend(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  alignas(32) uint32_t t[kBlock];
  const uint32_t keyOn = useKey ? 0xFFFFFFFFu : 0;
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    BlendBytes(B(t), B(s + o), B(d + o), c * 4, w);
    for (int32_t i = 0; i < c; ++i) {
      const uint32_t sv = s[o + i], dv = d[o + i];
      const uint32_t keep = (sv == dv ? 0xFFFFFFFFu : 0) | ((sv == key ? 0xFFFFFFFFu : 0) & keyOn);
      d[o + i] = (dv & keep) | (t[i] & kRgb & ~keep);
    }
  }
}

// What a block of mask bytes holds: all 0, all 255, or a mixture.
enum class MaskRun { kNone, kFull, kMixed };
inline MaskRun ClassifyMask(const uint8_t* m, int32_t n) {
  uint8_t any = 0, all = 0xFF;
  for (int32_t i = 0; i < n; ++i) any |= m[i], all &= m[i];
  return any == 0 ? MaskRun::kNone : all == 0xFF ? MaskRun::kFull : MaskRun::kMixed;
}

void Alpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n) {
  alignas(32) uint32_t t[kBlock], wb[kBlock];
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    const MaskRun run = ClassifyMask(m + o, c);
    if (run == MaskRun::kNone) continue;
    if (run == MaskRun::kFull) {
      std::memcpy(d + o, s + o, static_cast<size_t>(c) * 4);
      continue;
    }
    SpreadWeights(wb, m + o, c);
    BlendBytesW(B(t), B(s + o), B(d + o), B(wb), c * 4);
    for (int32_t i = 0; i < c; ++i) {
      const uint32_t mv = m[o + i], sv = s[o + i], dv = d[o + i];
      const uint32_t r = mv == 255 ? sv : (t[i] & kRgb);
      d[o + i] = mv == 0 ? dv : r;
    }
  }
}

void AlphaBlend(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t a) {
  alignas(32) uint32_t t[kBlock], wb[kBlock];
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    for (int32_t i = 0; i < c; ++i) wb[i] = ((a * m[o + i]) >> 8) * 0x01010101u;
    BlendBytesW(B(t), B(s + o), B(d + o), B(wb), c * 4);
    for (int32_t i = 0; i < c; ++i) d[o + i] = m[o + i] == 0 ? d[o + i] : (t[i] & kRgb);
  }
}

void Add(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  alignas(32) uint32_t t[kBlock];
  const uint32_t keyOn = useKey ? 0xFFFFFFFFu : 0;
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    AddBytes(B(t), B(s + o), B(d + o), c * 4, w);
    for (int32_t i = 0; i < c; ++i) {
      const uint32_t keep = (s[o + i] == key ? 0xFFFFFFFFu : 0) & keyOn;
      d[o + i] = (d[o + i] & keep) | (t[i] & kRgb & ~keep);
    }
  }
}

void AlphaAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t a) {
  alignas(32) uint32_t t[kBlock], wb[kBlock];
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    for (int32_t i = 0; i < c; ++i) wb[i] = ((a * m[o + i]) >> 8) * 0x01010101u;
    AddBytesW(B(t), B(s + o), B(d + o), B(wb), c * 4);
    for (int32_t i = 0; i < c; ++i) d[o + i] = m[o + i] == 0 ? d[o + i] : (t[i] & kRgb);
  }
}

void FillMasked(uint32_t* d, const uint8_t* m, int32_t n, uint32_t a, uint32_t color) {
  alignas(32) uint32_t t[kBlock], wb[kBlock], cb[kBlock];
  for (int32_t i = 0; i < kBlock; ++i) cb[i] = color;
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    if (a == 255)
      SpreadWeights(wb, m + o, c);
    else
      for (int32_t i = 0; i < c; ++i) wb[i] = ((a * m[o + i]) >> 8) * 0x01010101u;
    BlendBytesW(B(t), B(cb), B(d + o), B(wb), c * 4);
    for (int32_t i = 0; i < c; ++i) {
      const uint32_t dv = d[o + i];
      d[o + i] = (m[o + i] == 0 || dv == color) ? dv : (t[i] & kRgb);
    }
  }
}

void FillBlend(uint32_t* d, int32_t n, uint32_t color, uint32_t w) {
  alignas(32) uint32_t t[kBlock], cb[kBlock];
  for (int32_t i = 0; i < kBlock; ++i) cb[i] = color;
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    BlendBytes(B(t), B(cb), B(d + o), c * 4, w);
    for (int32_t i = 0; i < c; ++i) d[o + i] = d[o + i] == color ? d[o + i] : (t[i] & kRgb);
  }
}

void FillAdd(uint32_t* d, int32_t n, uint32_t color) {
  alignas(32) uint32_t cb[kBlock];
  for (int32_t i = 0; i < kBlock; ++i) cb[i] = color;
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    uint8_t* db = B(d + o);
    const uint8_t* sb = B(cb);
    for (int32_t j = 0; j < c * 4; ++j) {
      const uint16_t v = static_cast<uint16_t>(db[j] + sb[j]);
      db[j] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    for (int32_t i = 0; i < c; ++i) d[o + i] &= kRgb;
  }
}

void FillSub(uint32_t* d, int32_t n, uint32_t color) {
  alignas(32) uint32_t cb[kBlock];
  for (int32_t i = 0; i < kBlock; ++i) cb[i] = color;
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    uint8_t* db = B(d + o);
    const uint8_t* sb = B(cb);
    for (int32_t j = 0; j < c * 4; ++j) db[j] = static_cast<uint8_t>(db[j] > sb[j] ? db[j] - sb[j] : 0);
    for (int32_t i = 0; i < c; ++i) d[o + i] &= kRgb;
  }
}

void CrossFade(uint32_t* d, const uint32_t* from, const uint32_t* to, int32_t n, uint32_t w) {
  alignas(32) uint32_t t[kBlock];
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    BlendBytes(B(t), B(to + o), B(from + o), c * 4, w);
    for (int32_t i = 0; i < c; ++i) {
      const uint32_t f = from[o + i];
      d[o + i] = to[o + i] == f ? f : (t[i] & kRgb);
    }
  }
}

void CrossFadeMask(uint32_t* d, const uint32_t* from, const uint32_t* to, const uint8_t* m, int32_t n, bool hard) {
  alignas(32) uint32_t t[kBlock], wb[kBlock];
  for (int32_t o = 0; o < n; o += kBlock) {
    const int32_t c = std::min(kBlock, n - o);
    if (hard) {
      for (int32_t i = 0; i < c; ++i) d[o + i] = m[o + i] == 0 ? from[o + i] : to[o + i];
      continue;
    }
    const MaskRun run = ClassifyMask(m + o, c);
    if (run != MaskRun::kMixed) {
      std::memmove(d + o, (run == MaskRun::kNone ? from : to) + o, static_cast<size_t>(c) * 4);
      continue;
    }
    SpreadWeights(wb, m + o, c);
    BlendBytesW(B(t), B(to + o), B(from + o), B(wb), c * 4);
    for (int32_t i = 0; i < c; ++i) {
      const uint32_t mv = m[o + i];
      const uint32_t r = mv == 255 ? to[o + i] : (t[i] & kRgb);
      d[o + i] = mv == 0 ? from[o + i] : r;
    }
  }
}

}  // namespace

const TRowKernels32& PortableKernels32() {
  static const TRowKernels32 k{"portable", CopyKeyed, Blend,    Alpha,   AlphaBlend, Add,       AlphaAdd,
                               FillMasked, FillBlend, FillAdd,  FillSub, CrossFade,  CrossFadeMask};
  return k;
}

const TRowKernels32& Kernels32() {
  static const TRowKernels32& k = Avx2Kernels32() ? *Avx2Kernels32() : PortableKernels32();
  return k;
}

std::vector<const TRowKernels32*> AllKernels32() {
  std::vector<const TRowKernels32*> v{&ReferenceKernels32(), &PortableKernels32()};
  if (const TRowKernels32* a = Avx2Kernels32()) v.push_back(a);
  return v;
}

// 8-bit destinations.

static inline uint8_t Blend1(uint32_t s, uint32_t d, uint32_t w) {
  return static_cast<uint8_t>((w * s + (255 - w) * d) >> 8);
}

void CopyKeyed8(uint8_t* d, const uint8_t* s, int32_t n, uint32_t key) {
  for (int32_t i = 0; i < n; ++i) d[i] = s[i] == key ? d[i] : s[i];
}

void Blend8(uint8_t* d, const uint8_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  for (int32_t i = 0; i < n; ++i) {
    const bool keep = s[i] == d[i] || (useKey && s[i] == key);
    d[i] = keep ? d[i] : Blend1(s[i], d[i], w);
  }
}

void Alpha8(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) {
  for (int32_t i = 0; i < n; ++i) d[i] = m[i] == 0 ? d[i] : m[i] == 255 ? s[i] : Blend1(s[i], d[i], m[i]);
}

void AlphaBlend8(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, uint32_t a) {
  for (int32_t i = 0; i < n; ++i) d[i] = m[i] == 0 ? d[i] : Blend1(s[i], d[i], (a * m[i]) >> 8);
}

void Add8(uint8_t* d, const uint8_t* s, int32_t n, uint32_t key, bool useKey) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t v = std::min<uint32_t>(255, uint32_t{s[i]} + d[i]);
    d[i] = (useKey && s[i] == key) ? d[i] : static_cast<uint8_t>(v);
  }
}

void AlphaAdd8(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, uint32_t a) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t w = (a * m[i]) >> 8;
    const uint32_t v = std::min<uint32_t>(255, d[i] + ((w * s[i]) >> 8));
    d[i] = m[i] == 0 ? d[i] : static_cast<uint8_t>(v);
  }
}

void FillMasked8(uint8_t* d, const uint8_t* m, int32_t n, uint32_t a, uint32_t color) {
  const uint32_t c = color & 0xFF;
  for (int32_t i = 0; i < n; ++i) d[i] = m[i] == 0 ? d[i] : Blend1(c, d[i], (a * m[i]) >> 8);
}

void FillBlend8(uint8_t* d, int32_t n, uint32_t color, uint32_t w) {
  const uint32_t c = color & 0xFF;
  for (int32_t i = 0; i < n; ++i) d[i] = d[i] == c ? d[i] : Blend1(c, d[i], w);
}

void FillAdd8(uint8_t* d, int32_t n, uint32_t color) {
  const uint32_t c = color & 0xFF;
  for (int32_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(std::min<uint32_t>(255, d[i] + c));
}

void FillSub8(uint8_t* d, int32_t n, uint32_t color) {
  const uint32_t c = color & 0xFF;
  for (int32_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(d[i] > c ? d[i] - c : 0);
}

}  // namespace qubo::rows
