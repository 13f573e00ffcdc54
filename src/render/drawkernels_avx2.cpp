// AVX2 versions of the hottest row kernels: sixteen pixels per step (two independent groups of
// eight in 16-bit lanes), the tail left to the portable kernels. Only these functions are
// compiled for AVX2; they run only when the processor reports it.

#include <immintrin.h>

#include "render/drawrows.h"

#define QUBO_AVX2 __attribute__((target("avx2")))

namespace qubo::rows {
namespace {

QUBO_AVX2 inline __m256i Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
QUBO_AVX2 inline void Store(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// The blend through pmaddubsw: source and destination bytes, offset by -128 into signed bytes,
// are interleaved in pairs and multiplied by (w, 255 - w) pairs of unsigned weights; adding
// 128 * 255 back gives w * S + (255 - w) * D exactly (at most 65025, so the 16-bit lane holds
// it; the signed sum stays within +-32640, so pmaddubsw never saturates). Weights and bias of
// the top byte of each pixel are 0, so the top byte of the result is 0 with no masking.
// wlo/whi: the weight pairs of the pixels in the low and high unpacked halves.
QUBO_AVX2 inline __m256i BlendMadd(__m256i s, __m256i d, __m256i wlo, __m256i whi, __m256i bias) {
  const __m256i sign = _mm256_set1_epi8(-128);
  const __m256i ss = _mm256_xor_si256(s, sign), ds = _mm256_xor_si256(d, sign);
  __m256i lo = _mm256_maddubs_epi16(wlo, _mm256_unpacklo_epi8(ss, ds));
  __m256i hi = _mm256_maddubs_epi16(whi, _mm256_unpackhi_epi8(ss, ds));
  lo = _mm256_srli_epi16(_mm256_add_epi16(lo, bias), 8);
  hi = _mm256_srli_epi16(_mm256_add_epi16(hi, bias), 8);
  return _mm256_packus_epi16(lo, hi);
}

// One weight for every colour byte: pairs (w, 255 - w) for the three channels, (0, 0) for the
// top byte.
QUBO_AVX2 inline __m256i ConstWeights(uint32_t w) {
  const int64_t pair = static_cast<int64_t>((w & 0xFF) | ((255 - w) & 0xFF) << 8);
  return _mm256_set1_epi64x(pair | pair << 16 | pair << 32);
}

// The bias 128 * 255 for the colour words, 0 for the top byte's.
QUBO_AVX2 inline __m256i BlendBias() { return _mm256_set1_epi64x(0x00007F807F807F80LL); }

// Per-pixel weight pairs from eight mask bytes: (m, 255 - m) three times and (0, 0) for each
// pixel, in the order of the low (pixels 0, 1 | 4, 5) and high (2, 3 | 6, 7) unpacked halves.
QUBO_AVX2 inline void MaskPairs(__m128i m8, __m256i& wlo, __m256i& whi) {
  const __m128i pairs = _mm_unpacklo_epi8(m8, _mm_xor_si128(m8, _mm_set1_epi32(-1)));
  const __m256i both = _mm256_broadcastsi128_si256(pairs);
  const __m256i lo = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, -1, -1, 2, 3, 2, 3, 2, 3, -1, -1,  //
                                      8, 9, 8, 9, 8, 9, -1, -1, 10, 11, 10, 11, 10, 11, -1, -1);
  const __m256i hi = _mm256_setr_epi8(4, 5, 4, 5, 4, 5, -1, -1, 6, 7, 6, 7, 6, 7, -1, -1,  //
                                      12, 13, 12, 13, 12, 13, -1, -1, 14, 15, 14, 15, 14, 15, -1, -1);
  wlo = _mm256_shuffle_epi8(both, lo);
  whi = _mm256_shuffle_epi8(both, hi);
}

template <bool kKey>
QUBO_AVX2 inline void BlendRun(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key) {
  const __m256i wv = ConstWeights(w), bias = BlendBias(), keyv = _mm256_set1_epi32(static_cast<int>(key));
  int32_t i = 0;
  auto step = [&](int32_t at) QUBO_AVX2 {
    const __m256i sv = Load(s + at), dv = Load(d + at);
    const __m256i r = BlendMadd(sv, dv, wv, wv, bias);
    __m256i keep = _mm256_cmpeq_epi32(sv, dv);
    if constexpr (kKey) keep = _mm256_or_si256(keep, _mm256_cmpeq_epi32(sv, keyv));
    Store(d + at, _mm256_blendv_epi8(r, dv, keep));
  };
  for (; i + 16 <= n; i += 16) {
    step(i);
    step(i + 8);
  }
  if (i + 8 <= n) {
    step(i);
    i += 8;
  }
  if (i < n) PortableKernels32().blend(d + i, s + i, n - i, w, key, kKey);
}

QUBO_AVX2 void Blend(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  if (useKey)
    BlendRun<true>(d, s, n, w, key);
  else
    BlendRun<false>(d, s, n, w, key);
}

// Eight pixels through eight mask bytes: m = 0 keeps the destination, 255 takes the source.
QUBO_AVX2 inline void AlphaStep(uint32_t* d, const uint32_t* s, __m128i m8, __m256i bias) {
  __m256i wlo, whi;
  MaskPairs(m8, wlo, whi);
  const __m256i m32 = _mm256_cvtepu8_epi32(m8);
  const __m256i sv = Load(s), dv = Load(d);
  __m256i r = BlendMadd(sv, dv, wlo, whi, bias);
  r = _mm256_blendv_epi8(r, sv, _mm256_cmpeq_epi32(m32, _mm256_set1_epi32(255)));
  r = _mm256_blendv_epi8(r, dv, _mm256_cmpeq_epi32(m32, _mm256_setzero_si256()));
  Store(d, r);
}

// Sixteen pixels at a time; where all sixteen mask bytes are 0 nothing is read or written,
// where all are 255 the source is copied without reading the destination.
QUBO_AVX2 void Alpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n) {
  const __m256i bias = BlendBias();
  const __m128i ones = _mm_set1_epi32(-1);
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i mv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i));
    if (_mm_testz_si128(mv, mv)) continue;
    if (_mm_testc_si128(mv, ones)) {
      Store(d + i, Load(s + i));
      Store(d + i + 8, Load(s + i + 8));
      continue;
    }
    AlphaStep(d + i, s + i, mv, bias);
    AlphaStep(d + i + 8, s + i + 8, _mm_unpackhi_epi64(mv, mv), bias);
  }
  if (i + 8 <= n) {
    AlphaStep(d + i, s + i, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + i)), bias);
    i += 8;
  }
  if (i < n) PortableKernels32().alpha(d + i, s + i, m + i, n - i);
}

// (w * S) >> 8 through pmulhuw: the even bytes shifted to the top of their 16-bit lane and
// multiplied by w, the odd bytes in place multiplied by w << 8 (the top byte's weight is 0).
template <bool kKey>
QUBO_AVX2 inline void AddRun(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key) {
  const __m256i wv = _mm256_set1_epi16(static_cast<short>(w));
  const __m256i w8v = _mm256_set1_epi32(static_cast<int>((w & 0xFF) << 8));
  const __m256i hiBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF), keyv = _mm256_set1_epi32(static_cast<int>(key));
  auto step = [&](int32_t at) QUBO_AVX2 {
    const __m256i sv = Load(s + at), dv = Load(d + at);
    const __m256i even = _mm256_mulhi_epu16(_mm256_slli_epi16(sv, 8), wv);
    const __m256i odd = _mm256_and_si256(_mm256_mulhi_epu16(_mm256_and_si256(sv, hiBytes), w8v), hiBytes);
    const __m256i r = _mm256_and_si256(_mm256_adds_epu8(dv, _mm256_or_si256(even, odd)), rgb);
    if constexpr (kKey)
      Store(d + at, _mm256_blendv_epi8(r, dv, _mm256_cmpeq_epi32(sv, keyv)));
    else
      Store(d + at, r);
  };
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    step(i);
    step(i + 8);
  }
  if (i + 8 <= n) {
    step(i);
    i += 8;
  }
  if (i < n) PortableKernels32().add(d + i, s + i, n - i, w, key, kKey);
}

QUBO_AVX2 void Add(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  if (useKey)
    AddRun<true>(d, s, n, w, key);
  else
    AddRun<false>(d, s, n, w, key);
}

QUBO_AVX2 void CrossFade(uint32_t* d, const uint32_t* from, const uint32_t* to, int32_t n, uint32_t w) {
  const __m256i wv = ConstWeights(w), bias = BlendBias();
  auto step = [&](int32_t at) QUBO_AVX2 {
    const __m256i fv = Load(from + at), tv = Load(to + at);
    Store(d + at, _mm256_blendv_epi8(BlendMadd(tv, fv, wv, wv, bias), fv, _mm256_cmpeq_epi32(tv, fv)));
  };
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    step(i);
    step(i + 8);
  }
  if (i + 8 <= n) {
    step(i);
    i += 8;
  }
  if (i < n) PortableKernels32().crossFade(d + i, from + i, to + i, n - i, w);
}

// Eight pixels of a soft masked cross-fade: m = 0 gives from, 255 gives to.
QUBO_AVX2 inline void CrossFadeMaskStep(uint32_t* d, const uint32_t* from, const uint32_t* to, __m128i m8, __m256i bias) {
  __m256i wlo, whi;
  MaskPairs(m8, wlo, whi);
  const __m256i m32 = _mm256_cvtepu8_epi32(m8);
  const __m256i fv = Load(from), tv = Load(to);
  __m256i r = BlendMadd(tv, fv, wlo, whi, bias);
  r = _mm256_blendv_epi8(r, tv, _mm256_cmpeq_epi32(m32, _mm256_set1_epi32(255)));
  r = _mm256_blendv_epi8(r, fv, _mm256_cmpeq_epi32(m32, _mm256_setzero_si256()));
  Store(d, r);
}

// Sixteen pixels at a time; stretches where the mask is all 0 or all 255 are copies.
QUBO_AVX2 void CrossFadeMask(uint32_t* d, const uint32_t* from, const uint32_t* to, const uint8_t* m, int32_t n, bool hard) {
  const __m256i bias = BlendBias(), z = _mm256_setzero_si256();
  const __m128i ones = _mm_set1_epi32(-1);
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i mv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i));
    const uint32_t* src = _mm_testz_si128(mv, mv) ? from : _mm_testc_si128(mv, ones) ? to : nullptr;
    if (src) {
      Store(d + i, Load(src + i));
      Store(d + i + 8, Load(src + i + 8));
    } else if (hard) {
      for (int32_t h = 0; h < 16; h += 8) {
        const __m256i m32 = _mm256_cvtepu8_epi32(h ? _mm_unpackhi_epi64(mv, mv) : mv);
        Store(d + i + h, _mm256_blendv_epi8(Load(to + i + h), Load(from + i + h), _mm256_cmpeq_epi32(m32, z)));
      }
    } else {
      CrossFadeMaskStep(d + i, from + i, to + i, mv, bias);
      CrossFadeMaskStep(d + i + 8, from + i + 8, to + i + 8, _mm_unpackhi_epi64(mv, mv), bias);
    }
  }
  if (i < n) PortableKernels32().crossFadeMask(d + i, from + i, to + i, m + i, n - i, hard);
}

TRowKernels32 MakeAvx2() {
  TRowKernels32 k = PortableKernels32();
  k.name = "avx2";
  k.blend = Blend;
  k.alpha = Alpha;
  k.add = Add;
  k.crossFade = CrossFade;
  k.crossFadeMask = CrossFadeMask;
  return k;
}

}  // namespace

const TRowKernels32* Avx2Kernels32() {
  static const bool has = __builtin_cpu_supports("avx2");
  static const TRowKernels32 k = MakeAvx2();
  return has ? &k : nullptr;
}

}  // namespace qubo::rows
