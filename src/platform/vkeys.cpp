// Scancode (USB HID usage) to virtual-key table.

#include "platform/vkeys.h"

#include <array>

namespace qubo::platform {
namespace {

struct ScanVk {
  uint16_t scancode;
  uint8_t vk;
};

// Keys other than the letters, digits and function-key runs handled in VkFromKey.
constexpr ScanVk kTable[] = {
    {40, vk::kReturn},      {41, vk::kEscape},
    {42, vk::kBack},        {43, vk::kTab},
    {44, vk::kSpace},       {45, vk::kOemMinus},
    {46, vk::kOemPlus},     {47, vk::kOem4},
    {48, vk::kOem6},        {49, vk::kOem5},
    {50, vk::kOem5},        {51, vk::kOem1},
    {52, vk::kOem7},        {53, vk::kOem3},
    {54, vk::kOemComma},    {55, vk::kOemPeriod},
    {56, vk::kOem2},        {57, vk::kCapital},
    {70, vk::kSnapshot},    {71, vk::kScroll},
    {72, vk::kPause},       {73, vk::kInsert},
    {74, vk::kHome},        {75, vk::kPrior},
    {76, vk::kDelete},      {77, vk::kEnd},
    {78, vk::kNext},        {79, vk::kRight},
    {80, vk::kLeft},        {81, vk::kDown},
    {82, vk::kUp},          {83, vk::kNumLock},
    {84, vk::kDivide},      {85, vk::kMultiply},
    {86, vk::kSubtract},    {87, vk::kAdd},
    {88, vk::kReturn},      {99, vk::kDecimal},
    {100, vk::kOem102},     {101, vk::kApps},
    {116, vk::kExecute},    {117, vk::kHelp},
    {118, vk::kApps},       {119, vk::kSelect},
    {127, vk::kVolumeMute}, {128, vk::kVolumeUp},
    {129, vk::kVolumeDown}, {133, vk::kSeparator},
    {135, vk::kOem102},      // JIS "ro" key (backslash and underscore)
    {136, vk::kKana},        // katakana/hiragana
    {137, vk::kOem5},        // JIS yen key
    {138, vk::kConvert},     // henkan
    {139, vk::kNonConvert},  // muhenkan
    {144, vk::kKana},        // Korean hangul / Japanese kana on some keyboards
    {145, vk::kKanji},       // hanja
    {154, vk::kCancel},     {156, vk::kClear},
    {224, vk::kControl},    {225, vk::kShift},
    {226, vk::kMenu},       {227, vk::kLWin},
    {228, vk::kControl},    {229, vk::kShift},
    {230, vk::kMenu},       {231, vk::kRWin},
    {258, vk::kMediaNext},  {259, vk::kMediaPrev},
    {260, vk::kMediaStop},  {261, vk::kMediaPlayPause},
    {262, vk::kVolumeMute},
};

constexpr std::array<uint8_t, 512> BuildTable() {
  std::array<uint8_t, 512> t{};
  for (const auto& e : kTable) t[e.scancode] = e.vk;
  return t;
}
constexpr auto kByScan = BuildTable();

}  // namespace

int32_t VkFromKey(uint32_t scancode, int32_t keycode) {
  // Letters: the layout's letter when it is a Latin one, else the key's position.
  if (keycode >= 'a' && keycode <= 'z') return vk::kA + (keycode - 'a');
  // A keypad key that the layout turns into a navigation key (Num Lock off) is that key.
  constexpr int32_t kScancodeMask = 1 << 30;
  if (scancode >= 89 && scancode <= 99 && (keycode & kScancodeMask)) {
    const uint32_t nav = static_cast<uint32_t>(keycode & ~kScancodeMask);
    if (nav >= 73 && nav <= 82) scancode = nav;
  }
  if (scancode >= 4 && scancode <= 29) return vk::kA + static_cast<int32_t>(scancode - 4);
  if (scancode >= 30 && scancode <= 38) return vk::k0 + 1 + static_cast<int32_t>(scancode - 30);
  if (scancode == 39) return vk::k0;
  if (scancode >= 58 && scancode <= 69) return vk::kF1 + static_cast<int32_t>(scancode - 58);
  if (scancode >= 104 && scancode <= 115) return vk::kF1 + 12 + static_cast<int32_t>(scancode - 104);
  if (scancode >= 89 && scancode <= 97) return vk::kNumpad0 + 1 + static_cast<int32_t>(scancode - 89);
  if (scancode == 98) return vk::kNumpad0;
  if (scancode < kByScan.size()) return kByScan[scancode];
  return 0;
}

}  // namespace qubo::platform
