#pragma once
// Number texts of the script, independent of any locale: integer text (decimal, or hex after
// '$', 'x' or "0x"), float text with '.' as the decimal point, and the general float text of
// at most 15 significant digits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qubo {

// The script's float: the 80-bit extended real where long double is one, so the 10-byte
// stored form round-trips; at least double precision everywhere.
using Real = long double;

namespace numtext {

// Optional leading blanks, optional sign, then decimal digits or hex digits after '$', 'x'
// or "0x", and nothing after them. Decimal texts must fit 32 bits; hex texts may use all 32
// bits ("$FFFFFFFF" is -1). Anything else is not integer text.
std::optional<int32_t> ParseInt(std::string_view s);
int32_t IntOrZero(std::string_view s);

// Optional blanks, optional sign, digits with an optional '.' and fraction (at least one
// digit), optional exponent 'E'/'e' with optional sign, optional blanks. A value outside the
// range of Real is not float text.
std::optional<Real> ParseFloat(std::string_view s);
Real FloatOrZero(std::string_view s);

std::string IntToText(int32_t v);
// Rounded to 15 significant digits, trailing zeros dropped; fixed notation for at most 15
// integer digits and a magnitude of at least 0.00001, else "1.5E20" / "1E-10". "0" for zero,
// "NAN", "INF", "-INF" for the special values.
std::string FloatToText(Real v);

}  // namespace numtext
}  // namespace qubo
