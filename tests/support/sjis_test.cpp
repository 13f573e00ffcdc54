#include "support/sjis.h"

#include <gtest/gtest.h>

#include "support/encoding.h"

namespace qubo {
namespace {

// "表" is 0x95 0x5C: its trail byte is a backslash.
const std::string kHyo = "\x95\x5C";

TEST(Sjis, FindCharNeverMatchesATrailByte) {
  const std::string s = "a" + kHyo + "\\b";
  EXPECT_EQ(sjis::FindChar(s, '\\'), 3u);
  EXPECT_EQ(sjis::FindChar(kHyo, '\\'), std::string::npos);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(sjis::CharLen("\x95", 0), 1u);
}

TEST(Sjis, CaseMappingTouchesAsciiLettersOnly) {
  // 0x82 0x60 is a full-width letter; its trail byte 0x60 and 0x8A 0x41 ('A' as trail) stay.
  const std::string s = "Ab\x8A\x41z";
  EXPECT_EQ(sjis::AsciiLower(s), "ab\x8A\x41z");
  EXPECT_EQ(sjis::AsciiUpper(s), "AB\x8A\x41Z");
  EXPECT_TRUE(sjis::EqualsNoCase("FooBar", "fOObAR"));
  EXPECT_FALSE(sjis::EqualsNoCase("\x8A\x41", "\x8A\x61"));
}

TEST(Encoding, ConvertsBothWays) {
  EXPECT_EQ(Cp932ToUtf8(kHyo + "x"), "\xE8\xA1\xA8x");
  EXPECT_EQ(Utf8ToCp932("\xE8\xA1\xA8x").value(), kHyo + "x");
  EXPECT_EQ(Cp932ToUtf8("\xA0"), "\xEF\xBF\xBD");           // not a character of the code page
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80").has_value());  // an emoji has no code-page-932 form
  EXPECT_EQ(Utf8ToCp932Lossy("a\xF0\x9F\x98\x80" "b"), "a?b");
}

}  // namespace
}  // namespace qubo
