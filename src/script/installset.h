#pragma once
// The install record install.dat: written by a game's installer beside the installed data
// and on every disc. The player needs three of its fields (disc index, project name, full
// install); the rest are kept so the record can be read to its end and written back.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/stream.h"

namespace qubo {

// The newest record version with a field of its own.
inline constexpr int32_t kInstallVersionMax = 108;

struct TQuboInstallSet {
  int32_t version = kInstallVersionMax;  // 0: no "is" header
  int32_t discIndex = 0;                 // 0 for the first disc
  std::string projectName;
  std::string text1, text2, text3;
  uint8_t byte1 = 0;
  std::string text4;
  uint8_t byte2 = 0;
  std::string text5;
  int32_t number1 = 0;
  uint8_t byte3 = 0, byte4 = 0;
  std::string text6, text7;
  // Groups of four numbers, 8 bytes each from version 100 on (4 bytes before; the high
  // half is then not stored).
  std::vector<std::array<int64_t, 4>> groups;
  std::array<int64_t, 4> numbers{};
  uint8_t byte5 = 0;
  uint8_t byte6 = 0;                  // version >= 101
  std::vector<std::string> list1;     // version >= 102; empty strings are kept as stored
  uint8_t fullInstall = 0;            // version >= 103
  uint8_t byte7 = 0;                  // version >= 104
  uint8_t byte8 = 0;                  // version >= 105
  std::vector<std::string> list2;     // version >= 106
  std::string text8;                  // version >= 107
  std::string text9, text10;          // version >= 108

  bool IsFullInstall() const { return fullInstall != 0; }
  // list1 without its empty strings, as the installer uses it.
  std::vector<std::string> NonEmptyList1() const;

  friend bool operator==(const TQuboInstallSet&, const TQuboInstallSet&) = default;
};

inline constexpr int32_t kInstallWideNumbersSince = 100;
inline constexpr int32_t kInstallByte6Since = 101;
inline constexpr int32_t kInstallList1Since = 102;
inline constexpr int32_t kInstallFullSince = 103;
inline constexpr int32_t kInstallByte7Since = 104;
inline constexpr int32_t kInstallByte8Since = 105;
inline constexpr int32_t kInstallList2Since = 106;
inline constexpr int32_t kInstallText8Since = 107;
inline constexpr int32_t kInstallText9Since = 108;

// Reads a record from the stream's position. FormatError (the damaged-install message) for
// a truncated record, impossible counts or a version that is not three digits.
TQuboInstallSet ReadInstallSet(TStream& stream);
TQuboInstallSet ReadInstallSet(const std::vector<uint8_t>& bytes);

}  // namespace qubo
