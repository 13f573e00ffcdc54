#pragma once
// Full-width forms of the code-page-932 half-width katakana and punctuation (0xA1-0xDF), and
// of the half-width kana that take a following voiced (0xDE) or semi-voiced (0xDF) mark.

#include <cstdint>

namespace qubo::kana {

struct FullChar {
  uint8_t lead;
  uint8_t trail;
};

inline constexpr uint8_t kHalfFirst = 0xA1;
inline constexpr uint8_t kHalfLast = 0xDF;
inline constexpr int kHalfCount = kHalfLast - kHalfFirst + 1;

// Indexed by byte - kHalfFirst.
extern const FullChar kHalfToFull[kHalfCount];

// The one full-width kana that half-width b followed by 0xDE (Voiced) or 0xDF (SemiVoiced)
// stands for; nullptr when b takes no such mark as part of itself.
const FullChar* Voiced(uint8_t b);
const FullChar* SemiVoiced(uint8_t b);

}  // namespace qubo::kana
