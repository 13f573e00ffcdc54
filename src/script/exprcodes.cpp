#include "script/exprcodes.h"

#include <array>

namespace qubo {

namespace {

constexpr std::array<std::string_view, kLastOpeCode + 1> kNames = {
    "ocNone",  "ocTo",     "ocPlus",  "ocMinus", "ocMul",    "ocDiv",    "ocMod",
    "ocOr",    "ocAnd",    "ocXor",   "ocDimTo", "ocFunc",   "ocEqual",  "ocBig",
    "ocSmall", "ocEBig",   "ocESmall", "ocShiftL", "ocShiftR", "ocComboStr", "ocNEqual",
};

constexpr std::array<std::string_view, kLastOpeCode + 1> kSymbols = {
    "", "=", "+", "-", "*", "/", "%", "|", "&", "^", "", "", "==", ">", "<", ">=", "<=", "<<", ">>", "++", "<>",
};

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int64_t DigitsValue(std::string_view s) {
  int64_t v = 0;
  for (char c : s) {
    if (v > (INT64_MAX - 9) / 10) return -1;  // too long to be one of ours
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

std::string_view OpeCodeName(uint8_t code) { return code <= kLastOpeCode ? kNames[code] : std::string_view(); }
std::string_view OpeCodeSymbol(uint8_t code) { return code <= kLastOpeCode ? kSymbols[code] : std::string_view(); }

bool IsValueTempName(std::string_view name) { return IsTempName(name) && AllDigits(name.substr(4)); }

int64_t TempNumber(std::string_view name) {
  if (!IsTempName(name)) return -1;
  std::string_view rest = name.substr(4);
  if (rest.substr(0, 2) == "d_") rest = rest.substr(2);
  return AllDigits(rest) ? DigitsValue(rest) : -1;
}

std::string ValueTempName(int64_t n) { return std::string(kTempPrefix) + std::to_string(n); }
std::string ElementTempName(int64_t n) { return std::string(kTempPrefix) + "d_" + std::to_string(n); }

}  // namespace qubo
