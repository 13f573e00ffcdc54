#pragma once
// Row kernels of the drawing surfaces: one row of 32-bit pixels (8-8-8 channels, top byte
// free) at a time, forward only (callers reverse flipped rows into a block first).
//
// Arithmetic, per channel, weight w 0..255:
//   Blend  (w * S + (255 - w) * D) >> 8      Add  min(255, D + ((w * S) >> 8))
//   Sub    max(0, D - S)
// Blended and added results have a top byte of 0; copies keep all four bytes.
//
// Three variants give identical bytes: a per-pixel reference, a portable version in fixed
// blocks for the compiler's vectoriser, and AVX2 versions of the hottest kernels chosen at
// run time.

#include <cstdint>
#include <vector>

namespace qubo::rows {

struct TRowKernels32 {
  const char* name;
  // s == key pixels are left out.
  void (*copyKeyed)(uint32_t* d, const uint32_t* s, int32_t n, uint32_t key);
  // Destination pixels equal to the source and (when useKey) source pixels equal to key are
  // left alone; the others become Blend with w.
  void (*blend)(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey);
  // m = 0 leaves, m = 255 copies, else Blend with w = m.
  void (*alpha)(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n);
  // m = 0 leaves, else Blend with w = (a * m) >> 8.
  void (*alphaBlend)(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t a);
  // Source pixels equal to key (when useKey) are left out; the others Add with w.
  void (*add)(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey);
  // m = 0 leaves, else Add with w = (a * m) >> 8.
  void (*alphaAdd)(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t a);
  // Colour through a mask: m = 0 and pixels equal to color are left; w = m when a is 255,
  // (a * m) >> 8 otherwise; Blend of color.
  void (*fillMasked)(uint32_t* d, const uint8_t* m, int32_t n, uint32_t a, uint32_t color);
  // Pixels equal to color are left; the others Blend of color with w.
  void (*fillBlend)(uint32_t* d, int32_t n, uint32_t color, uint32_t w);
  void (*fillAdd)(uint32_t* d, int32_t n, uint32_t color);
  void (*fillSub)(uint32_t* d, int32_t n, uint32_t color);
  // d = from, then to blended over it with w where to differs from from (a copy followed by
  // a constant-weight blend, in one pass).
  void (*crossFade)(uint32_t* d, const uint32_t* from, const uint32_t* to, int32_t n, uint32_t w);
  // m = 0 gives from, m = 255 gives to, else Blend of to over from with w = m; with hard,
  // any m > 0 gives to.
  void (*crossFadeMask)(uint32_t* d, const uint32_t* from, const uint32_t* to, const uint8_t* m, int32_t n, bool hard);
};

// The variant for this processor, chosen once.
const TRowKernels32& Kernels32();
const TRowKernels32& ReferenceKernels32();
const TRowKernels32& PortableKernels32();
// Null when the processor lacks AVX2.
const TRowKernels32* Avx2Kernels32();
// Every variant this processor can run, the reference first.
std::vector<const TRowKernels32*> AllKernels32();

// 8-bit (mask) destinations: the byte is the one channel.
void CopyKeyed8(uint8_t* d, const uint8_t* s, int32_t n, uint32_t key);
void Blend8(uint8_t* d, const uint8_t* s, int32_t n, uint32_t w, uint32_t key, bool useKey);
void Alpha8(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n);
void AlphaBlend8(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, uint32_t a);
// Indices add without a weight: min(255, S + D).
void Add8(uint8_t* d, const uint8_t* s, int32_t n, uint32_t key, bool useKey);
void AlphaAdd8(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, uint32_t a);
// Weight (a * m) >> 8, no test for equal pixels.
void FillMasked8(uint8_t* d, const uint8_t* m, int32_t n, uint32_t a, uint32_t color);
void FillBlend8(uint8_t* d, int32_t n, uint32_t color, uint32_t w);
void FillAdd8(uint8_t* d, int32_t n, uint32_t color);
void FillSub8(uint8_t* d, int32_t n, uint32_t color);

}  // namespace qubo::rows
