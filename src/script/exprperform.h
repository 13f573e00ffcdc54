#pragma once
// The arithmetic of one operation: the type a new temporary gets, and the operation itself on
// values already resolved. Shared by both ways of running an expression.

#include <cstdint>

#include "script/expreval.h"
#include "script/params.h"

namespace qubo::expr {

// Raises the invalid-operation message for an operation that has too few operands for its
// code, or whose code cannot make a temporary.
[[noreturn]] void BadOperation(const TOpeData& op);
// True when op has the operands its code needs (a, or a and b).
bool HasOperands(const TOpeData& op);

// Type of a temporary that op creates; a is operand 0, b operand 1 (null when absent).
// ocFunc and ocDimTo are decided by the caller; raises for ocNone and unknown codes.
uint8_t TemporaryType(const TOpeData& op);
// The temporary's type for the codes whose type does not depend on the operands (ocMod,
// comparisons, ocComboStr, ocDimTo...); kTypeOfOperands for the others.
inline constexpr uint8_t kTypeOfOperands = 0xFF;
uint8_t FixedTemporaryType(uint8_t code);
// The type of a call's temporary: the function's result type, or for GetProp the declared
// type of the property named by the low byte of argument 2.
uint8_t CallResultType(const TOpeData& op, TPropertyReader& properties);

// Performs codes 1-9 and 12-20 into dest, whose ParamType is destType.
void Perform(uint8_t code, TCustomParam& dest, uint8_t destType, const TCustomParam& a, const TCustomParam& b);

}  // namespace qubo::expr
