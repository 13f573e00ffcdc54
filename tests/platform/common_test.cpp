// Shared pieces of the platform interface: button sets, dialog filters, virtual-key codes.

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/vkeys.h"
#include "support/encoding.h"

namespace qubo::platform {
namespace {

TEST(MessageButtons, EscapeAnswerPrefersCancelThenNoThenOk) {
  struct Case {
    MsgButtons set;
    MsgButton escape;
    size_t count;
  };
  const Case cases[] = {
      {MsgButtons::Ok, MsgButton::Ok, 1},
      {MsgButtons::OkCancel, MsgButton::Cancel, 2},
      {MsgButtons::YesNo, MsgButton::No, 2},
      {MsgButtons::YesNoCancel, MsgButton::Cancel, 3},
      {MsgButtons::YesNoAllCancel, MsgButton::Cancel, 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeAnswer(c.set), c.escape) << static_cast<int>(c.set);
    EXPECT_EQ(ButtonsOf(c.set).size(), c.count) << static_cast<int>(c.set);
  }
  const std::vector<MsgButton> all{MsgButton::Yes, MsgButton::No, MsgButton::YesToAll, MsgButton::NoToAll,
                                   MsgButton::Cancel};
  EXPECT_EQ(ButtonsOf(MsgButtons::YesNoAllCancel), all);
}

TEST(DialogFilter, SplitsPairsAndPatterns) {
  const auto entries = ParseDialogFilter("Text|*.txt; *.log|All|*.*|Dangling");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (FilterEntry{"Text", {"*.txt", "*.log"}}));
  EXPECT_EQ(entries[1], (FilterEntry{"All", {"*.*"}}));
  EXPECT_TRUE(ParseDialogFilter("").empty());
  EXPECT_TRUE(ParseDialogFilter("Nothing|;; ").empty());
}

TEST(DialogFilter, TrailBytesThatLookLikeSeparatorsStayInTheText) {
  // "ポ" is 0x83 0x7C in code page 932: its trail byte is '|'. "表" is 0x95 0x5C.
  const std::string desc = *Utf8ToCp932("ポイント表");
  ASSERT_NE(desc.find('|'), std::string::npos);
  const auto entries = ParseDialogFilter(desc + "|*.pt");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].description, desc);
  EXPECT_EQ(entries[0].patterns, std::vector<std::string>{"*.pt"});
}

TEST(LocalTime, MillisecondsOfDayClampsFields) {
  EXPECT_EQ(MillisecondsOfDay({2000, 1, 1, 0, 0, 0, 0, 6}), 0u);
  EXPECT_EQ(MillisecondsOfDay({2000, 1, 1, 23, 59, 59, 999, 6}), 86399999u);
  EXPECT_EQ(MillisecondsOfDay({2000, 1, 1, 1, 2, 3, 4, 6}), 3723004u);
  EXPECT_EQ(MillisecondsOfDay({2000, 1, 1, 99, -5, 70, 5000, 6}), 86399999u - 59 * 60000);
}

// Scancodes are USB HID keyboard usages; keycodes are the layout's characters (SDL's
// numbering: a character key's code is its character; others are the scancode | 1 << 30).
constexpr int32_t K(uint32_t scancode) { return static_cast<int32_t>(scancode | (1u << 30)); }

TEST(VirtualKeys, MapsTheKeysGamesTest) {
  struct Case {
    uint32_t scancode;
    int32_t keycode;
    int32_t vk;
    const char* what;
  };
  const Case cases[] = {
      {4, 'a', 'A', "A"},
      {29, 'z', 'Z', "Z"},
      {20, 'a', 'A', "AZERTY: the key at Q's place types a"},
      {4, 0x444, 'A', "a non-Latin layout keeps the position"},
      {30, '1', '1', "1"},
      {39, '0', '0', "0"},
      {40, '\r', vk::kReturn, "Enter"},
      {88, K(88), vk::kReturn, "keypad Enter"},
      {41, 27, vk::kEscape, "Escape"},
      {42, 8, vk::kBack, "Backspace"},
      {43, 9, vk::kTab, "Tab"},
      {44, ' ', vk::kSpace, "Space"},
      {79, K(79), vk::kRight, "Right"},
      {80, K(80), vk::kLeft, "Left"},
      {81, K(81), vk::kDown, "Down"},
      {82, K(82), vk::kUp, "Up"},
      {58, K(58), vk::kF1, "F1"},
      {69, K(69), vk::kF1 + 11, "F12"},
      {104, K(104), vk::kF1 + 12, "F13"},
      {115, K(115), vk::kF24, "F24"},
      {98, K(98), vk::kNumpad0, "keypad 0"},
      {97, K(97), vk::kNumpad0 + 9, "keypad 9"},
      {95, K(74), vk::kHome, "keypad 7 with Num Lock off"},
      {90, K(81), vk::kDown, "keypad 2 with Num Lock off"},
      {99, K(76), vk::kDelete, "keypad point with Num Lock off"},
      {95, K(58), vk::kNumpad0 + 7, "keypad 7 with a keycode that is no navigation key"},
      {224, K(224), vk::kControl, "left Control"},
      {228, K(228), vk::kControl, "right Control"},
      {225, K(225), vk::kShift, "left Shift"},
      {229, K(229), vk::kShift, "right Shift"},
      {226, K(226), vk::kMenu, "left Alt"},
      {230, K(230), vk::kMenu, "right Alt"},
      {73, K(73), vk::kInsert, "Insert"},
      {76, 127, vk::kDelete, "Delete"},
      {74, K(74), vk::kHome, "Home"},
      {77, K(77), vk::kEnd, "End"},
      {75, K(75), vk::kPrior, "Page Up"},
      {78, K(78), vk::kNext, "Page Down"},
      {51, ';', vk::kOem1, "semicolon"},
      {54, ',', vk::kOemComma, "comma"},
      {138, K(138), vk::kConvert, "henkan"},
      {139, K(139), vk::kNonConvert, "muhenkan"},
      {0, 0, 0, "unknown"},
      {300, K(300), 0, "beyond the table"},
      {100000, 0, 0, "far beyond"},
  };
  for (const auto& c : cases) EXPECT_EQ(VkFromKey(c.scancode, c.keycode), c.vk) << c.what;
}

}  // namespace
}  // namespace qubo::platform
