#pragma once
// The 10-byte extended real of stored records: 64-bit mantissa with an explicit integer bit,
// 15-bit exponent biased by 16383, sign in the top bit; little-endian. Encoded and decoded
// by arithmetic, never by copying into a long double (its layout differs between platforms).

#include <array>
#include <cstdint>

namespace qubo {

using Extended80 = std::array<uint8_t, 10>;

// Exact for every double (a double fits the wider format); NaN stays NaN, infinities stay.
Extended80 DoubleToExtended(double value);
// Rounds to nearest; values beyond the double range become infinities, tiny ones zero or
// subnormals.
double ExtendedToDouble(const Extended80& bytes);
double ExtendedToDouble(const uint8_t* bytes);

// The same for long double (exact where long double has a 64-bit mantissa).
Extended80 LongDoubleToExtended(long double value);
long double ExtendedToLongDouble(const Extended80& bytes);

}  // namespace qubo
