#pragma once
// Code page 932 character stepping. A character is one byte, or a lead byte followed by a
// trail byte; trail bytes include '\\', '[', ']', '^' and '|', so every scanner of text in the
// player steps with these functions and never byte by byte.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qubo::sjis {

// The double-byte lead test of code page 932: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsLeadByte(char c) { return IsLeadByte(static_cast<uint8_t>(c)); }

// Length in bytes of the character starting at s[i]: 2 for a lead byte with a byte after it,
// else 1 (a lead byte at the very end stands alone). 0 at or past the end.
constexpr size_t CharLen(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1;
}

// Index of the character after the one at i.
constexpr size_t Next(std::string_view s, size_t i) { return i + (i < s.size() ? CharLen(s, i) : 1); }

// Finds the first single-byte character c at a character boundary at or after from; npos when
// none. Never matches a trail byte.
constexpr size_t FindChar(std::string_view s, char c, size_t from = 0) {
  for (size_t i = from; i < s.size(); i = Next(s, i)) {
    if (CharLen(s, i) == 1 && s[i] == c) return i;
  }
  return std::string_view::npos;
}

// Lower-cases ASCII letters only; double-byte characters are stepped over unchanged.
std::string AsciiLower(std::string_view s);
std::string AsciiUpper(std::string_view s);
// Equality without regard to ASCII letter case, double-byte aware.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace qubo::sjis
