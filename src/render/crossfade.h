#pragma once
// Three-surface compositions of transitions: a picture made from two others in one pass.

#include <cstdint>

namespace qubo {

class TCustomDIBX;

// dest = from with to blended over it at weight w (0..255) where the two differ: the pixels of
// Assign(from) followed by DrawBlend(to, w) without a key. 32-bit surfaces of one size only;
// drawn inside dest's clip rectangle.
void CrossFade(TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to, uint32_t weight);
// Per pixel by the 8-bit mask at the same position: 0 gives from, 255 to, other values the
// blend of to over from with that weight; with hard, any non-zero value gives to. The mask
// is as wide as dest; its rows repeat downwards (row y mod mask height).
void CrossFadeMasked(TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to, TCustomDIBX& mask, bool hard);

}  // namespace qubo
