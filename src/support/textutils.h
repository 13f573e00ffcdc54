#pragma once
// Character-wise text operations on code-page-932 byte strings. Positions are 1-based; the
// functions whose names begin with J count characters, the others bytes. A character is one
// byte, or a lead byte and the byte after it; a lead byte that ends the text stands alone.
// Character stepping itself is support/sjis.h.

#include <cstdint>
#include <string>
#include <string_view>

namespace qubo {

inline constexpr uint8_t kHalfBlank = 0x20;
inline constexpr uint8_t kFullBlankLead = 0x81;
inline constexpr uint8_t kFullBlankTrail = 0x40;

// Half-width katakana and punctuation 0xA1-0xDF (a single-byte character).
constexpr bool IsHalfKana(uint8_t b) { return b >= 0xA1 && b <= 0xDF; }

// Byte position (1-based) where character charPos begins; 1 for charPos <= 1, size + 1 past
// the last character.
int32_t CharToByteIndex(std::string_view text, int32_t charPos);

// Whether the byte at 1-based position pos is the trail byte of a two-byte character.
// Raises QuboError "Illegal Index" for a position outside the text.
bool IsTrailByte(std::string_view text, int32_t pos);

// Number of characters.
int32_t JLength(std::string_view text);
// Character position of the first occurrence of pattern that starts on a character
// boundary; 0 when none or when pattern is empty.
int32_t JPos(std::string_view pattern, std::string_view text);
// The characters at positions start <= p < start + count.
std::string JCopy(std::string_view text, int32_t start, int32_t count);
// Inserts before the character at pos (pos < 1 counts as 1; past the end appends).
void JInsert(std::string_view insertion, std::string& text, int32_t pos);
// Removes count characters from pos on (pos < 1 counts as 1).
void JDelete(std::string& text, int32_t pos, int32_t count);

// Splits off the text before the first delimiter byte found at a character boundary: the
// token gets that text and the source loses it and the delimiter. Without a delimiter (or
// with an empty set) the token is the whole source and the source becomes empty.
void CutToken(std::string& source, std::string_view delimiters, std::string& token);
inline std::string CutToken(std::string& source, std::string_view delimiters) {
  std::string token;
  CutToken(source, delimiters, token);
  return token;
}

// Remove half-width (0x20) and full-width (0x81 0x40) blanks; nothing else.
void TrimLeftJ(std::string& text);
void TrimRightJ(std::string& text);
std::string JTrim(std::string_view text);

// Code of the character at charPos (lead * 256 + trail, or the byte); 0 past the last one.
uint16_t CharCodeAt(std::string_view text, int32_t charPos);
// Two bytes (high, low) for a code of 256 or more, else the one byte.
std::string CharFromCode(uint16_t code);

// Half-width digits, letters, symbols and katakana to their full-width forms (other
// single bytes are dropped; two-byte characters pass unchanged), and back (two-byte
// characters without a half-width form are dropped; single bytes pass unchanged).
std::string HanToZen(std::string_view text);
std::string ZenToHan(std::string_view text);

}  // namespace qubo
