// AVX2 versions of the hottest row kernels: eight pixels per step in 16-bit lanes, the tail
// left to the portable kernels. Only these functions are compiled for AVX2; they run only
// when the processor reports it.

#include <immintrin.h>

#include "render/drawrows.h"

#define QUBO_AVX2 __attribute__((target("avx2")))

namespace qubo::rows {
namespace {

QUBO_AVX2 inline __m256i Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
QUBO_AVX2 inline void Store(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// (w * s + iw * d) >> 8 per byte, weights as 16-bit lanes for the low and high halves.
QUBO_AVX2 inline __m256i BlendV(__m256i s, __m256i d, __m256i wlo, __m256i whi, __m256i iwlo, __m256i iwhi) {
  const __m256i z = _mm256_setzero_si256();
  const __m256i lo = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, z), wlo), _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, z), iwlo)), 8);
  const __m256i hi = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, z), whi), _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, z), iwhi)), 8);
  return _mm256_packus_epi16(lo, hi);
}

// Eight mask bytes as 16-bit lane weights matching the unpacked low and high halves.
QUBO_AVX2 inline void MaskWeights(const uint8_t* m, __m256i& m32, __m256i& wlo, __m256i& whi) {
  m32 = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)));
  const __m256i both = _mm256_or_si256(m32, _mm256_slli_epi32(m32, 16));
  wlo = _mm256_unpacklo_epi32(both, both);
  whi = _mm256_unpackhi_epi32(both, both);
}

QUBO_AVX2 void Blend(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  const __m256i wv = _mm256_set1_epi16(static_cast<short>(w)), iwv = _mm256_set1_epi16(static_cast<short>(255 - w));
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF), keyv = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i keyOn = _mm256_set1_epi32(useKey ? -1 : 0);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sv = Load(s + i), dv = Load(d + i);
    const __m256i r = _mm256_and_si256(BlendV(sv, dv, wv, wv, iwv, iwv), rgb);
    const __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi32(sv, dv), _mm256_and_si256(_mm256_cmpeq_epi32(sv, keyv), keyOn));
    Store(d + i, _mm256_blendv_epi8(r, dv, keep));
  }
  if (i < n) PortableKernels32().blend(d + i, s + i, n - i, w, key, useKey);
}

QUBO_AVX2 void Alpha(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n) {
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF), full = _mm256_set1_epi32(255), ff = _mm256_set1_epi16(255);
  const __m256i z = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i m32, wlo, whi;
    MaskWeights(m + i, m32, wlo, whi);
    const __m256i sv = Load(s + i), dv = Load(d + i);
    __m256i r = _mm256_and_si256(BlendV(sv, dv, wlo, whi, _mm256_sub_epi16(ff, wlo), _mm256_sub_epi16(ff, whi)), rgb);
    r = _mm256_blendv_epi8(r, sv, _mm256_cmpeq_epi32(m32, full));
    r = _mm256_blendv_epi8(r, dv, _mm256_cmpeq_epi32(m32, z));
    Store(d + i, r);
  }
  if (i < n) PortableKernels32().alpha(d + i, s + i, m + i, n - i);
}

QUBO_AVX2 void Add(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey) {
  const __m256i wv = _mm256_set1_epi16(static_cast<short>(w));
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF), keyv = _mm256_set1_epi32(static_cast<int>(key));
  const __m256i keyOn = _mm256_set1_epi32(useKey ? -1 : 0), z = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i sv = Load(s + i), dv = Load(d + i);
    const __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(sv, z), wv), 8);
    const __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(sv, z), wv), 8);
    const __m256i r = _mm256_and_si256(_mm256_adds_epu8(dv, _mm256_packus_epi16(lo, hi)), rgb);
    const __m256i keep = _mm256_and_si256(_mm256_cmpeq_epi32(sv, keyv), keyOn);
    Store(d + i, _mm256_blendv_epi8(r, dv, keep));
  }
  if (i < n) PortableKernels32().add(d + i, s + i, n - i, w, key, useKey);
}

QUBO_AVX2 void CrossFade(uint32_t* d, const uint32_t* from, const uint32_t* to, int32_t n, uint32_t w) {
  const __m256i wv = _mm256_set1_epi16(static_cast<short>(w)), iwv = _mm256_set1_epi16(static_cast<short>(255 - w));
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i fv = Load(from + i), tv = Load(to + i);
    const __m256i r = _mm256_and_si256(BlendV(tv, fv, wv, wv, iwv, iwv), rgb);
    Store(d + i, _mm256_blendv_epi8(r, fv, _mm256_cmpeq_epi32(tv, fv)));
  }
  if (i < n) PortableKernels32().crossFade(d + i, from + i, to + i, n - i, w);
}

QUBO_AVX2 void CrossFadeMask(uint32_t* d, const uint32_t* from, const uint32_t* to, const uint8_t* m, int32_t n, bool hard) {
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF), full = _mm256_set1_epi32(255), ff = _mm256_set1_epi16(255);
  const __m256i z = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i m32, wlo, whi;
    MaskWeights(m + i, m32, wlo, whi);
    const __m256i fv = Load(from + i), tv = Load(to + i);
    const __m256i none = _mm256_cmpeq_epi32(m32, z);
    __m256i r;
    if (hard) {
      r = _mm256_blendv_epi8(tv, fv, none);
    } else {
      r = _mm256_and_si256(BlendV(tv, fv, wlo, whi, _mm256_sub_epi16(ff, wlo), _mm256_sub_epi16(ff, whi)), rgb);
      r = _mm256_blendv_epi8(r, tv, _mm256_cmpeq_epi32(m32, full));
      r = _mm256_blendv_epi8(r, fv, none);
    }
    Store(d + i, r);
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
