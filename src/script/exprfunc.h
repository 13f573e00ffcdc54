#pragma once
// How an expression calls a built-in function. The function runs with the call's operand
// values (variables written by name arrive as resolved references, so a function can write
// into them) and hands back what it yields; the evaluator then looks the destination up and
// stores the value with the setter of its type. Nothing is written through a destination
// found before the call, so a function that deletes variables cannot leave it dangling.

#include <cstdint>
#include <string>

#include "script/params.h"

namespace qubo {

// What a call yields: nothing (type PT_NONE) or one value of the type set last.
struct TFuncResult {
  uint8_t type = PT_NONE;
  int32_t intValue = 0;
  Real floatValue = 0;
  bool flagValue = false;
  std::string strValue;

  void Clear() { type = PT_NONE; }
  bool HasValue() const { return type != PT_NONE; }
  void SetInt(int32_t v) {
    type = PT_INT;
    intValue = v;
  }
  void SetFloat(Real v) {
    type = PT_FLOAT;
    floatValue = v;
  }
  void SetBool(bool v) {
    type = PT_BOOL;
    flagValue = v;
  }
  void SetStr(std::string v) {
    type = PT_STR;
    strValue = std::move(v);
  }
  // Stores the value into dest with the setter of the value's type; nothing without one.
  void StoreInto(TCustomParam& dest) const {
    switch (type) {
      case PT_INT: dest.SetInt(intValue); break;
      case PT_FLOAT: dest.SetFloat(floatValue); break;
      case PT_BOOL: dest.SetBool(flagValue); break;
      case PT_STR: dest.SetStr(strValue); break;
      default: break;
    }
  }
};

// The dispatcher of the built-in functions (the function manager implements it).
class TExprFunctions {
 public:
  virtual ~TExprFunctions() = default;
  // Performs function index (0..168) with argCount operand values. result arrives cleared;
  // a function that yields nothing leaves it so. Failures raise.
  virtual void Call(int index, TCustomParam* const* args, int argCount, TFuncResult& result) = 0;
};

}  // namespace qubo
