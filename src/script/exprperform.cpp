#include "script/exprperform.h"

#include <cmath>
#include <string>

#include "script/arith.h"
#include "script/sysfunctable.h"
#include "support/errors.h"

namespace qubo {

const char* const kMsgGetPropArgument = "GetProp\x82\xcc\x88\xf8\x90\x94\x82\xaa\x88\xe1\x82\xa2\x82\xdc\x82\xb7";

std::string BadOperationMessage(const TOpeData& op) {
  // 不正な式\r\n\r\n代入先: ... 演算タイプ: ...
  std::string m = "\x95\x73\x90\xb3\x82\xc8\x8e\xae\r\n\r\n\x91\xe3\x93\xfc\x90\xe6:";
  m += op.destination;
  m += "\x89\x89\x8e\x5a\x83\x5e\x83\x43\x83\x76:";
  m += OpeCodeName(op.code);
  for (const auto& operand : op.operands) m += "\r\n" + operand->AsStr();
  return m;
}

namespace expr {

namespace {

constexpr const char* kFloatZeroDivide = "Floating point division by zero";
constexpr const char* kFloatOverflow = "Floating point overflow";
constexpr const char* kFloatInvalid = "Invalid floating point operation";

bool IsBinary(uint8_t code) { return code != ocTo && code != ocDimTo && code != ocFunc && code != ocNone; }

// What the floating-point unit reports with its exceptions unmasked: a NaN made from numbers
// is an invalid operation, an infinity made from finite numbers an overflow or a division by
// zero. Infinities and NaNs that came in pass through as the hardware lets them.
Real Checked(Real r, Real x, Real y, bool division) {
  if (std::isnan(r)) {
    if (!std::isnan(x) && !std::isnan(y)) throw QuboError(kFloatInvalid);
  } else if (std::isinf(r) && std::isfinite(x) && std::isfinite(y)) {
    throw QuboError(division && y == 0 ? kFloatZeroDivide : kFloatOverflow);
  }
  return r;
}

template <class T>
bool Compare(uint8_t code, const T& x, const T& y) {
  switch (code) {
    case ocEqual: return x == y;
    case ocBig: return x > y;
    case ocSmall: return x < y;
    case ocEBig: return x >= y;
    case ocESmall: return x <= y;
    default: return x != y;  // ocNEqual
  }
}

}  // namespace

void BadOperation(const TOpeData& op) { throw QuboError(BadOperationMessage(op)); }

bool HasOperands(const TOpeData& op) {
  if (op.code == ocTo || op.code == ocDimTo) return !op.operands.empty();
  if (IsBinary(op.code)) return op.operands.size() >= 2;
  return true;
}

uint8_t TemporaryType(const TOpeData& op) {
  if (op.code == ocNone || op.code > kLastOpeCode || !HasOperands(op)) BadOperation(op);
  if (op.code == ocDimTo) return PT_NONE;
  const TCustomParam& a = *op.operands[0];
  switch (op.code) {
    case ocTo:
      return a.ParamType();
    case ocPlus:
      if (a.ParamType() == PT_STR) return PT_STR;
      [[fallthrough]];
    case ocMinus:
    case ocMul:
    case ocDiv:
      return a.ParamType() == PT_FLOAT || op.operands[1]->ParamType() == PT_FLOAT ? PT_FLOAT : PT_INT;
    default:
      if (const uint8_t fixed = FixedTemporaryType(op.code); fixed != kTypeOfOperands) return fixed;
      BadOperation(op);
  }
}

uint8_t FixedTemporaryType(uint8_t code) {
  switch (code) {
    case ocMod:
    case ocOr:
    case ocAnd:
    case ocXor:
    case ocShiftL:
    case ocShiftR:
      return PT_INT;
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual:
      return PT_BOOL;
    case ocComboStr:
      return PT_STR;
    case ocDimTo:
      return PT_NONE;
    default:
      return kTypeOfOperands;
  }
}

uint8_t CallResultType(const TOpeData& op, TPropertyReader& properties) {
  if (op.funcIndex != kSysFuncGetProp) return kSysFuncs[op.funcIndex].resultType;
  const int id = op.operands.size() >= 2 ? (op.operands[1]->AsInt() & 0xFF) : 0;
  if (id > kLastPropertyId) throw QuboError(kMsgGetPropArgument);
  return properties.PropertyType(id);
}

void Perform(uint8_t code, TCustomParam& dest, uint8_t destType, const TCustomParam& a, const TCustomParam& b) {
  switch (code) {
    case ocTo:
      switch (destType) {
        case PT_INT: dest.SetInt(a.AsInt()); break;
        case PT_FLOAT: dest.SetFloat(a.AsFloat()); break;
        case PT_BOOL: dest.SetBool(a.AsBool()); break;
        case PT_STR: dest.SetStr(a.AsStr()); break;
        default: break;
      }
      return;
    case ocPlus:
    case ocMinus:
    case ocMul:
    case ocDiv:
      if (destType == PT_FLOAT) {
        const Real x = a.AsFloat(), y = b.AsFloat();
        Real r;
        switch (code) {
          case ocPlus: r = x + y; break;
          case ocMinus: r = x - y; break;
          case ocMul: r = x * y; break;
          default: r = x / y; break;
        }
        dest.SetFloat(Checked(r, x, y, code == ocDiv));
      } else {
        const int32_t x = a.AsInt(), y = b.AsInt();
        switch (code) {
          case ocPlus: dest.SetInt(arith::Add(x, y)); break;
          case ocMinus: dest.SetInt(arith::Sub(x, y)); break;
          case ocMul: dest.SetInt(arith::Mul(x, y)); break;
          default: dest.SetInt(arith::Div(x, y)); break;
        }
      }
      return;
    case ocMod: {
      const int32_t x = a.AsInt(), y = b.AsInt();
      dest.SetInt(arith::Mod(x, y));
      return;
    }
    case ocOr: {
      const int32_t x = a.AsInt(), y = b.AsInt();
      dest.SetInt(x | y);
      return;
    }
    case ocAnd: {
      const int32_t x = a.AsInt(), y = b.AsInt();
      dest.SetInt(x & y);
      return;
    }
    case ocXor: {
      const int32_t x = a.AsInt(), y = b.AsInt();
      dest.SetInt(x ^ y);
      return;
    }
    case ocShiftL: {
      const auto x = static_cast<uint32_t>(a.AsInt());
      const auto n = static_cast<uint32_t>(b.AsInt()) & 31u;
      dest.SetInt(static_cast<int32_t>(x << n));
      return;
    }
    case ocShiftR: {
      const auto x = static_cast<uint32_t>(a.AsInt());
      const auto n = static_cast<uint32_t>(b.AsInt()) & 31u;
      dest.SetInt(static_cast<int32_t>(x >> n));
      return;
    }
    case ocComboStr: {
      std::string s = a.AsStr();
      s += b.AsStr();
      dest.SetStr(s);
      return;
    }
    case ocEqual:
    case ocBig:
    case ocSmall:
    case ocEBig:
    case ocESmall:
    case ocNEqual: {
      bool r;
      switch (a.ParamType()) {
        case PT_STR: {
          const std::string x = a.AsStr(), y = b.AsStr();
          r = Compare(code, x.compare(y), 0);
          break;
        }
        case PT_FLOAT: {
          const Real x = a.AsFloat(), y = b.AsFloat();
          if (std::isnan(x) || std::isnan(y)) throw QuboError(kFloatInvalid);
          r = Compare(code, x, y);
          break;
        }
        case PT_BOOL: {
          const bool x = a.AsBool(), y = b.AsBool();
          r = Compare(code, x, y);
          break;
        }
        default: {
          const int32_t x = a.AsInt(), y = b.AsInt();
          r = Compare(code, x, y);
          break;
        }
      }
      dest.SetBool(r);
      return;
    }
    default:
      return;  // ocNone: nothing to do on an existing destination
  }
}

}  // namespace expr
}  // namespace qubo
