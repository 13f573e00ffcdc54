#include "support/tabstrings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qubo {
namespace {

using Fields = std::vector<std::string>;

TEST(TabStrings, SplitsAtTheSeparator) {
  struct Case {
    std::string text;
    Fields fields;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\tb\tc", {"a", "b", "c"}},
      {"a\t\tb", {"a", "", "b"}},  // adjacent separators: an empty field between
      {"a\tb\t", {"a", "b"}},      // a trailing separator adds no field
      {"\t", {""}},
      {"\t\ta", {"", "", "a"}},
      {"\x83\x5C\tx", {"\x83\x5C", "x"}},
      {"a\t\x83", {"a", "\x83"}},  // a lead byte at the very end stands alone
      {"\x83\tb", {"\x83\tb"}},    // a lead byte takes the next byte, even a TAB
  };
  TTabStrings t;
  for (const auto& c : cases) {
    t.SetText(c.text);
    EXPECT_EQ(t.Items(), c.fields) << c.text;
  }
}

TEST(TabStrings, TrailByteEqualToSeparatorDoesNotSplit) {
  // 0x5C and 0x7C are trail bytes in code page 932; with '\' or '|' as separator the second
  // byte of such a character must not end a field.
  TTabStrings t('\\');
  t.SetText("\x95\x5Cz\\b\\\x83\x5C");
  EXPECT_EQ(t.Items(), (Fields{"\x95\x5Cz", "b", "\x83\x5C"}));
  t.SetSeparator('|');
  t.SetText("\x83\x7C|x||");
  EXPECT_EQ(t.Items(), (Fields{"\x83\x7C", "x", ""}));
}

TEST(TabStrings, GetOutsideTheListAndReadingPosition) {
  TTabStrings t;
  t.SetText("one\ttwo");
  EXPECT_EQ(t.Get(2), "");
  EXPECT_EQ(t.Get(-1), "");
  EXPECT_EQ(t.ReadNext(), "one");
  EXPECT_EQ(t.ReadNext(), "two");
  EXPECT_EQ(t.ReadNext(), "");
  EXPECT_EQ(t.Position(), 3);
  t.Clear();
  EXPECT_EQ(t.Position(), 0);
  EXPECT_EQ(t.Count(), 0);
}

}  // namespace
}  // namespace qubo
