#pragma once
// The fixed tables of built-in functions and system variables, as data. A compiled expression
// stores a function by its position in kSysFuncs, so the order of the table is part of the
// stored form and must never change.

#include <array>
#include <cstdint>
#include <string_view>

namespace qubo {

struct SysFuncInfo {
  std::string_view name;  // matched case-sensitively by the compiler
  int16_t minArgs;        // negative: no lower limit
  int16_t maxArgs;        // negative: no upper limit
  // Value type code of the result (1 integer, 2 float, 3 flag, 4 string); 0 for GetProp,
  // whose result takes the type of the property it reads.
  uint8_t resultType;
  // The function works on its argument values only: it neither looks at nor changes the
  // variable table, the scene or anything that could run another expression. Expressions
  // made only of such calls may keep their temporaries out of the variable table.
  bool tableFree;

  bool AcceptsArgCount(int n) const { return (minArgs < 0 || n >= minArgs) && (maxArgs < 0 || n <= maxArgs); }
};

inline constexpr int kSysFuncCount = 169;
inline constexpr int kSysFuncGetProp = 2;
inline constexpr int kSysFuncCalc = 136;

extern const std::array<SysFuncInfo, kSysFuncCount> kSysFuncs;

// Index of the function with exactly this name, or -1.
int FindSysFunc(std::string_view name);

struct SysVarInfo {
  std::string_view name;
  // Value type code; 0 where the type is that of the value the variable stands for
  // (@Result, @Temp).
  uint8_t type;
  bool isArray;  // element access reads per-element state (@ParamStr, @KeyPush, ...)
};

inline constexpr int kSysVarCount = 51;

extern const std::array<SysVarInfo, kSysVarCount> kSysVars;

}  // namespace qubo
