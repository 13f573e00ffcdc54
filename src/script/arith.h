#pragma once
// Script integer arithmetic: 32-bit two's complement that wraps (done in unsigned, so there is
// no signed overflow), division and remainder that raise instead of trapping, and the one
// real-to-integer conversion.

#include <cmath>
#include <cstdint>

#include "script/messages.h"
#include "script/numbertext.h"
#include "support/errors.h"

namespace qubo::arith {

constexpr int32_t Add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
constexpr int32_t Sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
constexpr int32_t Mul(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }
constexpr int32_t Neg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }

// Truncating division and its remainder (sign of the dividend). Dividing by 0, or the lowest
// integer by -1, raises QuboError.
inline int32_t Div(int32_t a, int32_t b) {
  if (b == 0 || (b == -1 && a == INT32_MIN)) throw QuboError(msg::kMsgIntDivide);
  return a / b;
}
inline int32_t Mod(int32_t a, int32_t b) {
  if (b == 0 || (b == -1 && a == INT32_MIN)) throw QuboError(msg::kMsgIntDivide);
  return a % b;
}

// Truncated toward zero to 64 bits, then the low 32 bits. NaN, infinities and values whose
// truncation does not fit 64 bits raise QuboError.
inline int64_t RealToInt64(Real x) {
  if (!std::isfinite(x)) throw QuboError(msg::kMsgRealToInt);
  const Real t = std::trunc(x);
  constexpr Real kTwo63 = 9223372036854775808.0L;
  if (t < -kTwo63 || t >= kTwo63) throw QuboError(msg::kMsgRealToInt);
  return static_cast<int64_t>(t);
}
inline int32_t RealToInt(Real x) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(RealToInt64(x)))); }

}  // namespace qubo::arith
