#pragma once
// The vocabulary of compiled expressions: operation codes with their names, operand kinds of
// the stored form, and the names of evaluation temporaries.

#include <cstdint>
#include <string>
#include <string_view>

namespace qubo {

enum TOpeCode : uint8_t {
  ocNone = 0,
  ocTo = 1,
  ocPlus = 2,
  ocMinus = 3,
  ocMul = 4,
  ocDiv = 5,
  ocMod = 6,
  ocOr = 7,
  ocAnd = 8,
  ocXor = 9,
  ocDimTo = 10,
  ocFunc = 11,
  ocEqual = 12,
  ocBig = 13,
  ocSmall = 14,
  ocEBig = 15,
  ocESmall = 16,
  ocShiftL = 17,
  ocShiftR = 18,
  ocComboStr = 19,
  ocNEqual = 20,
};

inline constexpr uint8_t kLastOpeCode = ocNEqual;

// "ocNone" ... "ocNEqual"; "" for codes above the table.
std::string_view OpeCodeName(uint8_t code);
// The operator as written in expression text ("=", "+", "<<", ...); "" for ocNone, ocDimTo
// and ocFunc.
std::string_view OpeCodeSymbol(uint8_t code);

// Operand kinds of the stored form. The compiler writes kOperandName (0) for variables.
enum TOperandKind : uint8_t {
  kOperandName = 0,
  kOperandInt = 1,
  kOperandFloat = 2,
  kOperandFlag = 3,
  kOperandString = 4,
};

// Temporaries: every name beginning with "____" is one.
inline constexpr std::string_view kTempPrefix = "____";
inline constexpr std::string_view kArgName = "____arg";

constexpr bool IsTempName(std::string_view name) { return name.substr(0, 4) == kTempPrefix; }
// "____" followed by decimal digits only (the value temporaries), not "____d_%d" or "____arg".
bool IsValueTempName(std::string_view name);
// The number n of a name "____n" or "____d_n"; -1 for any other name.
int64_t TempNumber(std::string_view name);

std::string ValueTempName(int64_t n);    // "____%d"
std::string ElementTempName(int64_t n);  // "____d_%d"

}  // namespace qubo
