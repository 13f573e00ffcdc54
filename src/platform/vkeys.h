#pragma once
// Virtual-key codes: the key numbers that games' scripts test (@KeyPush[13] is Enter). They
// follow the numbering of the system the games were written for, so they are fixed here and
// not taken from any library. Keys are mapped by their position on a US keyboard (letters by
// the layout's letter when it has one), so a game's keys sit where its players expect.

#include <cstdint>

namespace qubo::platform {

namespace vk {
inline constexpr int32_t kLButton = 0x01, kRButton = 0x02, kCancel = 0x03, kMButton = 0x04;
inline constexpr int32_t kBack = 0x08, kTab = 0x09, kClear = 0x0C, kReturn = 0x0D;
inline constexpr int32_t kShift = 0x10, kControl = 0x11, kMenu = 0x12, kPause = 0x13, kCapital = 0x14;
inline constexpr int32_t kKana = 0x15, kKanji = 0x19, kEscape = 0x1B, kConvert = 0x1C, kNonConvert = 0x1D;
inline constexpr int32_t kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
inline constexpr int32_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
inline constexpr int32_t kSelect = 0x29, kPrint = 0x2A, kExecute = 0x2B, kSnapshot = 0x2C;
inline constexpr int32_t kInsert = 0x2D, kDelete = 0x2E, kHelp = 0x2F;
inline constexpr int32_t k0 = 0x30, kA = 0x41;  // '0'-'9' and 'A'-'Z' are their ASCII codes
inline constexpr int32_t kLWin = 0x5B, kRWin = 0x5C, kApps = 0x5D;
inline constexpr int32_t kNumpad0 = 0x60, kMultiply = 0x6A, kAdd = 0x6B, kSeparator = 0x6C;
inline constexpr int32_t kSubtract = 0x6D, kDecimal = 0x6E, kDivide = 0x6F;
inline constexpr int32_t kF1 = 0x70, kF24 = 0x87;
inline constexpr int32_t kNumLock = 0x90, kScroll = 0x91;
inline constexpr int32_t kVolumeMute = 0xAD, kVolumeDown = 0xAE, kVolumeUp = 0xAF;
inline constexpr int32_t kMediaNext = 0xB0, kMediaPrev = 0xB1, kMediaStop = 0xB2, kMediaPlayPause = 0xB3;
inline constexpr int32_t kOem1 = 0xBA, kOemPlus = 0xBB, kOemComma = 0xBC, kOemMinus = 0xBD;
inline constexpr int32_t kOemPeriod = 0xBE, kOem2 = 0xBF, kOem3 = 0xC0;
inline constexpr int32_t kOem4 = 0xDB, kOem5 = 0xDC, kOem6 = 0xDD, kOem7 = 0xDE, kOem102 = 0xE2;
}  // namespace vk

// The virtual-key code of a key event, from the key's scancode (USB HID keyboard usage, the
// numbering SDL's scancodes use) and its keycode in the current layout (SDL keycode: the
// character for character keys). Left and right modifier keys give the shared code (Shift
// 0x10, Control 0x11, Alt 0x12), as key messages carry them; a keypad key that the layout
// makes a navigation key (Num Lock off) gives that key's code. 0 for keys without a code.
int32_t VkFromKey(uint32_t scancode, int32_t keycode);

}  // namespace qubo::platform
