#include "support/extended.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace qubo {
namespace {

struct Parts {
  bool negative;
  uint16_t exponent;  // biased, 15 bits
  uint64_t mantissa;  // with the explicit integer bit
};

Extended80 Pack(const Parts& p) {
  Extended80 out{};
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(p.mantissa >> (8 * i));
  const uint16_t se = static_cast<uint16_t>((p.negative ? 0x8000u : 0u) | (p.exponent & 0x7FFFu));
  out[8] = static_cast<uint8_t>(se);
  out[9] = static_cast<uint8_t>(se >> 8);
  return out;
}

Parts Unpack(const uint8_t* b) {
  Parts p{};
  for (int i = 0; i < 8; ++i) p.mantissa |= static_cast<uint64_t>(b[i]) << (8 * i);
  const uint16_t se = static_cast<uint16_t>(b[8] | (b[9] << 8));
  p.negative = (se & 0x8000u) != 0;
  p.exponent = se & 0x7FFFu;
  return p;
}

constexpr int kBias = 16383;

}  // namespace

Extended80 DoubleToExtended(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  Parts p{};
  p.negative = (bits >> 63) != 0;
  const int e = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t frac = bits & ((uint64_t{1} << 52) - 1);
  if (e == 0x7FF) {
    p.exponent = 0x7FFF;
    // Infinity: integer bit alone. NaN: keep the payload and make it quiet.
    p.mantissa = (uint64_t{1} << 63) | (frac << 11);
    if (frac != 0) p.mantissa |= uint64_t{1} << 62;
  } else if (e == 0) {
    if (frac == 0) {
      p.exponent = 0;
      p.mantissa = 0;
    } else {
      // Subnormal double: normalise into the wider exponent range.
      const int shift = std::countl_zero(frac);  // frac < 2^52, so shift >= 12
      p.mantissa = frac << shift;
      p.exponent = static_cast<uint16_t>(kBias - 1022 - (shift - 11));
    }
  } else {
    p.exponent = static_cast<uint16_t>(e - 1023 + kBias);
    p.mantissa = (uint64_t{1} << 63) | (frac << 11);
  }
  return Pack(p);
}

double ExtendedToDouble(const uint8_t* bytes) {
  const Parts p = Unpack(bytes);
  const double sign = p.negative ? -1.0 : 1.0;
  if (p.exponent == 0x7FFF) {
    if ((p.mantissa & ~(uint64_t{1} << 63)) == 0) return sign * std::numeric_limits<double>::infinity();
    return std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
  }
  if (p.mantissa == 0) return sign * 0.0;
  // value = mantissa * 2^(exponent - bias - 63); a zero exponent stands for 1 - bias.
  const int exp2 = (p.exponent == 0 ? 1 : p.exponent) - kBias - 63;
  if (exp2 > 1100) return sign * std::numeric_limits<double>::infinity();
  if (exp2 < -1200) return sign * 0.0;
  // Round the 64-bit mantissa to the precision the result can hold, once, so subnormal
  // results do not round twice.
  const int top = 63 - std::countl_zero(p.mantissa);  // index of the highest set bit
  const int valueExp = exp2 + top;                     // value in [2^valueExp, 2^(valueExp+1))
  int keep = 53;
  if (valueExp < -1022) keep = 53 - (-1022 - valueExp);
  if (keep <= 0) {
    // Below half the smallest subnormal, or rounding up to it.
    if (keep == 0) {
      const bool aboveHalf = (p.mantissa & ~(uint64_t{1} << top)) != 0;
      return aboveHalf ? sign * std::numeric_limits<double>::denorm_min() : sign * 0.0;
    }
    return sign * 0.0;
  }
  uint64_t m = p.mantissa;
  int drop = top + 1 - keep;
  if (drop > 0) {
    const uint64_t half = uint64_t{1} << (drop - 1);
    const uint64_t rest = m & ((uint64_t{1} << drop) - 1);
    m >>= drop;
    if (rest > half || (rest == half && (m & 1))) ++m;
  } else {
    drop = 0;
  }
  return sign * std::ldexp(static_cast<double>(m), exp2 + drop);
}

double ExtendedToDouble(const Extended80& bytes) { return ExtendedToDouble(bytes.data()); }

Extended80 LongDoubleToExtended(long double value) {
  if (std::numeric_limits<long double>::digits <= 53) return DoubleToExtended(static_cast<double>(value));
  Parts p{};
  p.negative = std::signbit(value);
  if (std::isnan(value)) {
    p.exponent = 0x7FFF;
    p.mantissa = uint64_t{3} << 62;
  } else if (std::isinf(value)) {
    p.exponent = 0x7FFF;
    p.mantissa = uint64_t{1} << 63;
  } else if (value == 0) {
    p.exponent = 0;
    p.mantissa = 0;
  } else {
    int e = 0;
    const long double m = std::frexp(std::fabs(value), &e);  // [0.5, 1)
    int biased = e - 1 + kBias;
    int shift = 64;
    if (biased <= 0) {  // subnormal in the 80-bit format
      shift += biased - 1;
      biased = 0;
    }
    p.exponent = static_cast<uint16_t>(biased);
    p.mantissa = shift > 0 ? static_cast<uint64_t>(std::ldexp(m, shift)) : 0;
  }
  return Pack(p);
}

long double ExtendedToLongDouble(const Extended80& bytes) {
  if (std::numeric_limits<long double>::digits <= 53) return ExtendedToDouble(bytes);
  const Parts p = Unpack(bytes.data());
  const long double sign = p.negative ? -1.0L : 1.0L;
  if (p.exponent == 0x7FFF) {
    if ((p.mantissa & ~(uint64_t{1} << 63)) == 0) return sign * std::numeric_limits<long double>::infinity();
    return std::copysign(std::numeric_limits<long double>::quiet_NaN(), sign);
  }
  const int exp2 = (p.exponent == 0 ? 1 : p.exponent) - kBias - 63;
  return sign * std::ldexp(static_cast<long double>(p.mantissa), exp2);
}

}  // namespace qubo
