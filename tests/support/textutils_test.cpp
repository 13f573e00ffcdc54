#include "support/textutils.h"

#include <gtest/gtest.h>

#include "support/errors.h"

namespace qubo {
namespace {

// Code-page-932 fixtures.
const std::string kA = "\x83\x41";       // katakana a; its trail byte is 'A'
const std::string kSo = "\x83\x5C";      // katakana so; its trail byte is '\'
const std::string kGa = "\x83\x4B";      // katakana ga
const std::string kU = "\x83\x45";       // katakana u
const std::string kDaku = "\x81\x4A";    // voiced sound mark
const std::string kKanji = "\x8A\xBF";   // a kanji
const std::string kFullSp = "\x81\x40";  // full-width blank
const std::string kEq = "\x81\x81";      // full-width '=': both bytes in the lead range

TEST(TextUtils, LengthCountsCharactersAndALoneTrailingLeadByte) {
  struct Case {
    std::string text;
    int32_t chars;
  } cases[] = {
      {"", 0}, {"abc", 3}, {kA + "b" + kKanji, 3}, {"a\x83", 2}, {kEq + kEq + "\x81", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(JLength(c.text), c.chars) << c.text;
}

TEST(TextUtils, CharToByteIndex) {
  const std::string t = "a" + kA + "b";  // bytes: a(1) A(2,3) b(4)
  struct Case {
    int32_t charPos, bytePos;
  } cases[] = {{-5, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 4}, {4, 5}, {99, 5}};
  for (const auto& c : cases) EXPECT_EQ(CharToByteIndex(t, c.charPos), c.bytePos) << c.charPos;
}

TEST(TextUtils, IsTrailByteCountsLeadRunsBackwards) {
  // "=" "=" "a" "\": runs of lead-range bytes that are themselves trail bytes.
  const std::string t = kEq + kEq + "a" + kSo;
  const bool expect[] = {false, true, false, true, false, false, true};
  for (int32_t p = 1; p <= static_cast<int32_t>(t.size()); ++p) EXPECT_EQ(IsTrailByte(t, p), expect[p - 1]) << p;
  for (int32_t bad : {0, -1, 8}) {
    try {
      IsTrailByte(t, bad);
      ADD_FAILURE() << bad;
    } catch (const QuboError& e) {
      EXPECT_STREQ(e.what(), "Illegal Index");
    }
  }
}

TEST(TextUtils, JPosMatchesOnlyAtCharacterBoundaries) {
  struct Case {
    std::string pattern, text;
    int32_t pos;
  } cases[] = {
      {"A", kA, 0},                     // 'A' is the trail byte of the kana
      {"A", kA + "A", 2},               // the real 'A' after it
      {"\\", kSo + "x\\", 3},           // '\' trail byte skipped
      {kA, "x" + kKanji + kA, 3},
      {"", "abc", 0},
      {"abcd", "abc", 0},
      {"c", "abc", 3},
      {"bc", "abc", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(JPos(c.pattern, c.text), c.pos) << c.pattern << " in " << c.text;
}

TEST(TextUtils, JCopy) {
  const std::string t = "a" + kA + "b" + kKanji;  // 4 characters
  struct Case {
    int32_t start, count;
    std::string out;
  } cases[] = {
      {1, 0, ""},
      {1, -1, ""},
      {5, 3, ""},                // start past the last character
      {0, 3, "a" + kA},          // start 0 shortens the run
      {2, 2, kA + "b"},
      {3, 100, "b" + kKanji},
      {-2147483647, 2147483647, ""},  // start + count computed without overflow
      {2, 2147483647, kA + "b" + kKanji},
  };
  for (const auto& c : cases) EXPECT_EQ(JCopy(t, c.start, c.count), c.out) << c.start << "," << c.count;
  EXPECT_EQ(JCopy("", 1, 5), "");
  EXPECT_EQ(JCopy("a\x83", 2, 1), "\x83");
}

TEST(TextUtils, JInsert) {
  struct Case {
    std::string text;
    int32_t pos;
    std::string out;
  } cases[] = {
      {"", 1, "XY"},
      {"", 5, "XY"},
      {"a" + kA + "b", 1, "XYa" + kA + "b"},
      {"a" + kA + "b", -3, "XYa" + kA + "b"},
      {"a" + kA + "b", 3, "a" + kA + "XYb"},
      {"a" + kA + "b", 4, "a" + kA + "bXY"},
      {"a" + kA + "b", 40, "a" + kA + "bXY"},
  };
  for (const auto& c : cases) {
    std::string t = c.text;
    JInsert("XY", t, c.pos);
    EXPECT_EQ(t, c.out) << c.pos;
  }
}

TEST(TextUtils, JDelete) {
  const std::string t = "a" + kA + "b" + kKanji;
  struct Case {
    int32_t pos, count;
    std::string out;
  } cases[] = {
      {2, 0, t},                 // count 0: unchanged
      {2, -4, t},
      {5, 1, t},                 // past the end: unchanged
      {2, 1, "ab" + kKanji},
      {0, 1, kA + "b" + kKanji},  // below 1 counts as 1
      {3, 99, "a" + kA},         // larger than the rest cuts off
      {1, 4, ""},
      {4, 1, "a" + kA + "b"},
  };
  for (const auto& c : cases) {
    std::string s = t;
    JDelete(s, c.pos, c.count);
    EXPECT_EQ(s, c.out) << c.pos << "," << c.count;
  }
}

TEST(TextUtils, CutToken) {
  struct Case {
    std::string source, delims, token, rest;
  } cases[] = {
      {"a b c", " ", "a", "b c"},
      {"abc", " ", "abc", ""},
      {"", " ", "", ""},
      {"a,b", "", "a,b", ""},
      {kSo + "\\x", "\\", kSo, "x"},  // the trail byte of so is not a delimiter
      {"k=v;w", ";=", "k", "v;w"},
      {",x", ",", "", "x"},
      {"x,", ",", "x", ""},
  };
  for (const auto& c : cases) {
    std::string src = c.source, token = "stale";
    CutToken(src, c.delims, token);
    EXPECT_EQ(token, c.token) << c.source;
    EXPECT_EQ(src, c.rest) << c.source;
  }
}

TEST(TextUtils, TrimsRemoveOnlyHalfAndFullWidthBlanks) {
  struct Case {
    std::string in, left, right, both;
  } cases[] = {
      {"", "", "", ""},
      {"  " + kFullSp + "a b" + kFullSp + " ", "a b" + kFullSp + " ", "  " + kFullSp + "a b", "a b"},
      {"\tx\t", "\tx\t", "\tx\t", "\tx\t"},  // TAB is kept
      {kFullSp + kFullSp, "", "", ""},
      // A '@' (0x40) ending a kanji that ends in 0x81: "\x81\x81" then "@" is not a blank.
      {kEq + "\x40", kEq + "\x40", kEq + "\x40", kEq + "\x40"},
      // A trail byte 0x20 is impossible; a lone lead byte at the end stops the right trim.
      {"a \x81", "a \x81", "a \x81", "a \x81"},
      {"a" + kA + " ", "a" + kA + " ", "a" + kA, "a" + kA},
  };
  for (const auto& c : cases) {
    std::string l = c.in, r = c.in;
    TrimLeftJ(l);
    TrimRightJ(r);
    EXPECT_EQ(l, c.left) << c.in;
    EXPECT_EQ(r, c.right) << c.in;
    EXPECT_EQ(JTrim(c.in), c.both) << c.in;
  }
}

TEST(TextUtils, CharacterCodes) {
  const std::string t = "A" + kA;
  EXPECT_EQ(CharCodeAt(t, 1), 0x41);
  EXPECT_EQ(CharCodeAt(t, 2), 0x8341);
  EXPECT_EQ(CharCodeAt(t, 3), 0);
  EXPECT_EQ(CharCodeAt("", 1), 0);
  EXPECT_EQ(CharCodeAt("a\x83", 2), 0x83);
  EXPECT_EQ(CharFromCode(0x8341), kA);
  EXPECT_EQ(CharFromCode(0x41), "A");
  EXPECT_EQ(CharFromCode(0x100), std::string("\x01\x00", 2));
  EXPECT_EQ(CharFromCode(0), std::string(1, '\0'));
}

TEST(TextUtils, HanToZen) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"\xB6\xDE\xB3\xDE", kGa + kU + kDaku},  // ga, then u with a separate mark
      {std::string("a\x01") + "b", "\x82\x81\x82\x82"},
      {kKanji + kA, kKanji + kA},
      {"09AZaz", "\x82\x4F\x82\x58\x82\x60\x82\x79\x82\x81\x82\x9A"},
      {" !\"\\~", kFullSp + "\x81\x49\x81\x68\x81\x8F\x81\x60"},
      {"\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xB0\xB1\xDD\xDE\xDF",
       "\x81\x42\x81\x75\x81\x76\x81\x41\x81\x45\x83\x92\x83\x40\x81\x5B\x83\x41\x83\x93\x81\x4A\x81\x4B"},
      {"\xCA\xDF\xCE\xDE\xB1\xDF", "\x83\x70\x83\x7B\x83\x41\x81\x4B"},  // pa, bo, a + mark
      {std::string("\x7F\x80\xA0\xFD\xFE\xFF\x00", 7), ""},                 // dropped
      {"a\x83", "\x82\x81\x83"},                                          // lone lead byte kept
  };
  for (const auto& c : cases) EXPECT_EQ(HanToZen(c.in), c.out) << c.in;
}

TEST(TextUtils, ZenToHan) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {kGa + kKanji, "\xB6\xDE"},
      {"\x81\x67\x81\x68", "\"\""},
      {"\x81\x8F", "\\"},
      {"\x83\x70\x83\x94\x83\x95\x83\x96\x83\x8E\x83\x90\x83\x91", "\xCA\xDF"},  // vu, small ka/ke, wi/we dropped
      {"abc\xB1", "abc\xB1"},
      {"\x82\xA0", ""},  // hiragana dropped
  };
  for (const auto& c : cases) EXPECT_EQ(ZenToHan(c.in), c.out) << c.in;
}

TEST(TextUtils, HanToZenAndBackIsIdentityOnPrintableHalfWidth) {
  std::string all;
  for (int b = 0x20; b <= 0x7E; ++b) all.push_back(static_cast<char>(b));
  for (int b = 0xA1; b <= 0xDF; ++b) all.push_back(static_cast<char>(b));
  const std::string full = HanToZen(all);
  // Every printable byte has a form (the marks combine with the kana before them only where
  // a combined kana exists; 0xDD 0xDE is n + mark, kept apart).
  EXPECT_EQ(ZenToHan(full), all);
  EXPECT_EQ(JLength(full), JLength(all));
}

}  // namespace
}  // namespace qubo
