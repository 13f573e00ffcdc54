#include "script/numbertext.h"

#include <charconv>
#include <cmath>

namespace qubo::numtext {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseInt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    const int d = hex ? HexValue(s[i]) : (IsDigit(s[i]) ? s[i] - '0' : -1);
    if (d < 0) return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    // Decimal: up to 2^31 for a negative text, 2^31 - 1 otherwise. Hex: 32 bits.
    const uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    if (v > limit) return std::nullopt;
  }
  uint32_t u = static_cast<uint32_t>(v);
  if (negative) u = 0u - u;
  return static_cast<int32_t>(u);
}

int32_t IntOrZero(std::string_view s) { return ParseInt(s).value_or(0); }

std::optional<Real> ParseFloat(std::string_view s) {
  size_t i = 0, end = s.size();
  while (i < end && s[i] == ' ') ++i;
  while (end > i && s[end - 1] == ' ') --end;
  bool negative = false;
  if (i < end && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < end && IsDigit(s[i])) ++i, ++digits;
  if (i < end && s[i] == '.') {
    ++i;
    while (i < end && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < end && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < end && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < end && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  Real v = 0;
  const auto r = std::from_chars(s.data() + start, s.data() + end, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != s.data() + end) {
    if (r.ec != std::errc::result_out_of_range) return std::nullopt;
    // Too small to represent is zero; too large is not a number.
    const std::string_view body = s.substr(start, end - start);
    const size_t e = body.find_first_of("eE");
    if (e == std::string_view::npos || e + 1 >= body.size() || body[e + 1] != '-') return std::nullopt;
    v = 0;
  }
  return negative ? -v : v;
}

Real FloatOrZero(std::string_view s) { return ParseFloat(s).value_or(0); }

std::string IntToText(int32_t v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string FloatToText(Real v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
  // buf: [-]d.dddddddddddddde[+-]x...
  std::string_view t(buf, static_cast<size_t>(r.ptr - buf));
  std::string out;
  if (t[0] == '-') {
    out.push_back('-');
    t.remove_prefix(1);
  }
  const size_t e = t.find('e');
  std::string digits;
  digits.push_back(t[0]);
  digits.append(t.substr(2, e - 2));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exp = 0;
  std::from_chars(t.data() + e + (t[e + 1] == '+' ? 2 : 1), t.data() + t.size(), exp);
  if (exp < -5 || exp >= 15) {
    out.push_back(digits[0]);
    if (digits.size() > 1) {
      out.push_back('.');
      out.append(digits, 1);
    }
    out.push_back('E');
    out.append(std::to_string(exp));
    return out;
  }
  if (exp < 0) {
    out.append("0.");
    out.append(static_cast<size_t>(-exp - 1), '0');
    out.append(digits);
    return out;
  }
  const size_t intDigits = static_cast<size_t>(exp) + 1;
  if (digits.size() <= intDigits) {
    out.append(digits);
    out.append(intDigits - digits.size(), '0');
  } else {
    out.append(digits, 0, intDigits);
    out.push_back('.');
    out.append(digits, intDigits);
  }
  return out;
}

}  // namespace qubo::numtext
