#include "authoring/exprsource.h"

#include <map>

#include "script/exprcodes.h"
#include "script/exprcompiler.h"
#include "script/numbertext.h"
#include "script/sysfunctable.h"
#include "support/errors.h"
#include "support/sjis.h"

namespace qubo::authoring {
namespace {

// The decompiler proposes a text; ExpressionSource keeps it only when the compiler gives
// back the same operations.

constexpr int kAtomLevel = 10;

int OperatorLevel(uint8_t code) {
  switch (code) {
    case ocMul: case ocDiv: case ocMod: return 9;
    case ocPlus: case ocMinus: return 8;
    case ocShiftL: case ocShiftR: return 7;
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: return 6;
    case ocComboStr: return 5;
    case ocAnd: return 4;
    case ocXor: return 3;
    case ocOr: return 2;
    default: return -1;
  }
}

// A string literal of the expression language: \" and \\ escaped, "\r\n" as \n.
std::string LiteralText(std::string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const size_t n = sjis::CharLen(s, i);
    if (n == 1 && s[i] == '"') {
      out += "\\\"";
    } else if (n == 1 && s[i] == '\\') {
      out += "\\\\";
    } else if (n == 1 && s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      out += "\\n";
      i += 2;
      continue;
    } else {
      out.append(s.substr(i, n));
    }
    i += n;
  }
  return out + "\"";
}

// Float text the compiler reads back as this value: no sign (that would be an operator), an
// exponent without '+', and never integer text.
std::optional<std::string> FloatSource(const Extended80& raw) {
  const long double v = ExtendedToLongDouble(raw);
  if (!(v >= 0)) return std::nullopt;
  auto fits = [&](std::string t) -> std::optional<std::string> {
    if (const size_t e = t.find("e+"); e != std::string::npos) t.erase(e + 1, 1);
    if (t.find_first_of(".e") == std::string::npos) t += ".0";
    if (t.find_first_of("-+") != std::string::npos || numtext::ParseInt(t)) return std::nullopt;
    const auto back = numtext::ParseFloat(t);
    if (back && LongDoubleToExtended(*back) == raw) return t;
    return std::nullopt;
  };
  char buf[128];
  for (int precision = 1; precision <= 21; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*Lg", precision, v);
    if (auto t = fits(buf)) return t;
  }
  for (int precision = 1; precision <= 40; ++precision) {
    if (v >= 1e30L) break;
    std::snprintf(buf, sizeof buf, "%.*Lf", precision, v);
    if (auto t = fits(buf)) return t;
  }
  return std::nullopt;
}

struct Rendered {
  std::string text;
  int level = kAtomLevel;
};

class Decompiler {
 public:
  explicit Decompiler(bool unaryMinus) : unaryMinus_(unaryMinus) {}

  std::optional<std::string> Run(const TStoredExpression& e) {
    const auto& ops = e.operations;
    for (size_t i = 0; i < ops.size(); ++i) {
      const TStoredOperation& op = ops[i];
      if (i + 1 == ops.size()) return Final(op);
      if (!IsTempName(op.destination) || op.destination == kArgName || temps_.count(op.destination)) return {};
      auto r = Step(op);
      if (!r) return {};
      temps_[op.destination] = std::move(*r);
    }
    return std::nullopt;
  }

 private:
  std::optional<Rendered> Operand(const TStoredOperand& o) {
    switch (o.kind) {
      case kOperandInt: return Rendered{std::to_string(o.intValue)};
      case kOperandFlag: return Rendered{o.flagValue ? "TRUE" : "FALSE"};
      case kOperandFloat: {
        auto t = FloatSource(o.floatValue);
        if (!t) return std::nullopt;
        return Rendered{*t};
      }
      case kOperandName: {
        if (o.text.empty()) return std::nullopt;
        if (!IsTempName(o.text)) return Rendered{o.text};
        auto it = temps_.find(o.text);
        if (it == temps_.end()) return std::nullopt;
        Rendered r = std::move(it->second);
        temps_.erase(it);  // a temporary is used once
        return r;
      }
      default: return std::nullopt;
    }
  }

  static std::string Group(const Rendered& r, bool paren) { return paren ? "(" + r.text + ")" : r.text; }

  std::optional<Rendered> Step(const TStoredOperation& op) {
    const auto& a = op.operands;
    if (op.code == ocTo) {
      if (a.size() != 1 || a[0].kind != kOperandString || !IsValueTempName(op.destination)) return std::nullopt;
      return Rendered{LiteralText(a[0].text)};
    }
    if (op.code == ocFunc || op.code == ocDimTo) {
      std::string head;
      size_t first = 0;
      if (op.code == ocFunc) {
        if (op.funcIndex >= kSysFuncCount) return std::nullopt;
        head = std::string(kSysFuncs[op.funcIndex].name) + "(";
      } else {
        if (a.empty() || a[0].kind != kOperandName || IsTempName(a[0].text) || a[0].text.empty()) return std::nullopt;
        head = a[0].text + "[";
        first = 1;
      }
      for (size_t k = first; k < a.size(); ++k) {
        auto r = Operand(a[k]);
        if (!r) return std::nullopt;
        head += (k > first ? ", " : "") + r->text;
      }
      return Rendered{head + (op.code == ocFunc ? ")" : "]")};
    }
    const int level = OperatorLevel(op.code);
    if (level < 0 || a.size() != 2) return std::nullopt;
    auto l = Operand(a[0]);
    auto r = Operand(a[1]);
    if (!l || !r) return std::nullopt;
    if (unaryMinus_ && op.code == ocMinus && a[0].kind == kOperandInt && a[0].intValue == 0 &&
        r->level == kAtomLevel) {
      return Rendered{"-" + r->text};
    }
    return Rendered{Group(*l, l->level < level) + " " + std::string(OpeCodeSymbol(op.code)) + " " +
                        Group(*r, r->level <= level),
                    level};
  }

  std::optional<std::string> Final(const TStoredOperation& op) {
    if (op.code != ocTo || op.operands.size() != 1) return std::nullopt;
    std::string dest;
    if (op.destination != kArgName) {
      if (!IsTempName(op.destination)) {
        dest = op.destination;
      } else {
        auto it = temps_.find(op.destination);
        if (it == temps_.end() || TempNumber(op.destination) < 0 || IsValueTempName(op.destination)) return std::nullopt;
        dest = it->second.text;
        temps_.erase(it);
      }
    }
    auto v = Operand(op.operands[0]);
    if (!v || !temps_.empty()) return std::nullopt;
    return dest.empty() ? v->text : dest + " = " + v->text;
  }

  bool unaryMinus_;
  std::map<std::string, Rendered> temps_;
};

}  // namespace

std::optional<std::string> ExpressionSource(const TStoredExpression& e) {
  for (bool unary : {false, true}) {
    auto text = Decompiler(unary).Run(e);
    if (!text) continue;
    try {
      TBuildQuboParser compiler;
      compiler.Compile(*text);
      if (compiler.ToStored() == e) return text;
    } catch (const QuboError&) {
    }
  }
  return std::nullopt;
}

}  // namespace qubo::authoring
