// The reference row kernels: one pixel at a time, channel by channel, written to read like
// the arithmetic. The faster variants are tested against these.

#include <algorithm>

#include "render/drawrows.h"

namespace qubo::rows {
namespace {

inline uint32_t Ch(uint32_t p, int i) { return (p >> (8 * i)) & 0xFF; }

uint32_t BlendPx(uint32_t s, uint32_t d, uint32_t w) {
  uint32_t out = 0;
  for (int i = 0; i < 3; ++i) out |= ((w * Ch(s, i) + (255 - w) * Ch(d, i)) >> 8) << (8 * i);
  return out;
}

uint32_t AddPx(uint32_t s, uint32_t d, uint32_t w) {
  uint32_t out = 0;
  for (int i = 0; i < 3; ++i) out |= std::min<uint32_t>(255, Ch(d, i) + ((w * Ch(s, i)) >> 8)) << (8 * i);
  return out;
}

void CopyKeyed(uint32_t* d, const uint32_t* s, int32_t n, uint32_t key) {
  for (int32_t i = 0; i < n; ++i)
    if (s[i] != key) d[i] = s[i];
}

void Blend(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  for (int32_t i = 0; i < n; ++i) {
    if (useKey && s[i] == key) continue;
    if (d[i] == s[i]) continue;
    d[i] = BlendPx(s[i], d[i], w);
  }
}

void Alpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (m[i] == 0) continue;
    d[i] = m[i] == 255 ? s[i] : BlendPx(s[i], d[i], m[i]);
  }
}

void AlphaBlend(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t a) {
  for (int32_t i = 0; i < n; ++i)
    if (m[i] != 0) d[i] = BlendPx(s[i], d[i], (a * m[i]) >> 8);
}

void Add(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  for (int32_t i = 0; i < n; ++i)
    if (!(useKey && s[i] == key)) d[i] = AddPx(s[i], d[i], w);
}

void AlphaAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t a) {
  for (int32_t i = 0; i < n; ++i)
    if (m[i] != 0) d[i] = AddPx(s[i], d[i], (a * m[i]) >> 8);
}

void FillMasked(uint32_t* d, const uint8_t* m, int32_t n, uint32_t a, uint32_t color) {
  for (int32_t i = 0; i < n; ++i) {
    if (m[i] == 0 || d[i] == color) continue;
    d[i] = BlendPx(color, d[i], a == 255 ? m[i] : (a * m[i]) >> 8);
  }
}

void FillBlend(uint32_t* d, int32_t n, uint32_t color, uint32_t w) {
  for (int32_t i = 0; i < n; ++i)
    if (d[i] != color) d[i] = BlendPx(color, d[i], w);
}

void FillAdd(uint32_t* d, int32_t n, uint32_t color) {
  for (int32_t i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) out |= std::min<uint32_t>(255, Ch(d[i], c) + Ch(color, c)) << (8 * c);
    d[i] = out;
  }
}

void FillSub(uint32_t* d, int32_t n, uint32_t color) {
  for (int32_t i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c)
      out |= (Ch(d[i], c) > Ch(color, c) ? Ch(d[i], c) - Ch(color, c) : 0) << (8 * c);
    d[i] = out;
  }
}

void CrossFade(uint32_t* d, const uint32_t* from, const uint32_t* to, int32_t n, uint32_t w) {
  for (int32_t i = 0; i < n; ++i) d[i] = to[i] == from[i] ? from[i] : BlendPx(to[i], from[i], w);
}

void CrossFadeMask(uint32_t* d, const uint32_t* from, const uint32_t* to, const uint8_t* m, int32_t n, bool hard) {
  for (int32_t i = 0; i < n; ++i) {
    if (m[i] == 0)
      d[i] = from[i];
    else if (m[i] == 255 || hard)
      d[i] = to[i];
    else
      d[i] = BlendPx(to[i], from[i], m[i]);
  }
}

}  // namespace

const TRowKernels32& ReferenceKernels32() {
  static const TRowKernels32 k{"reference", CopyKeyed, Blend,    Alpha,   AlphaBlend, Add,       AlphaAdd,
                               FillMasked,  FillBlend, FillAdd,  FillSub, CrossFade,  CrossFadeMask};
  return k;
}

}  // namespace qubo::rows
