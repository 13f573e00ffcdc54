#include "script/exprcompiler.h"

#include "script/exprcodes.h"
#include "script/exprlexer.h"
#include "script/numbertext.h"
#include "script/sysfunctable.h"
#include "support/errors.h"

namespace qubo {

const char* const kSyntaxErrorMessage = "\x8d\x5c\x95\xb6\x83\x47\x83\x89\x81\x5b";  // 構文エラー
const char* const kBadSubscriptsMessage =
    "\x94\x7a\x97\xf1\x82\xcc\x93\x59\x82\xa6\x8e\x9a\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7";  // 配列の添え字が不正です

namespace {

using expr::CharIndex;
using expr::IsBlank;

[[noreturn]] void SyntaxError() { throw QuboError(kSyntaxErrorMessage); }

std::string Replace(const std::string& text, const CharIndex& ci, size_t from, size_t to, std::string_view with) {
  std::string out;
  out.reserve(text.size() + with.size());
  out.append(text, 0, ci.Begin(from));
  out.append(with);
  out.append(text, ci.Begin(to), std::string::npos);
  return out;
}

// Step 1 helper: the literal opening at character open, with escapes resolved. Answers the
// character index after the closing quote, or 0 when the literal is not closed.
size_t ScanLiteral(const CharIndex& ci, std::string_view text, size_t open, std::string& content) {
  content.clear();
  for (size_t k = open + 1; k < ci.Count(); ++k) {
    if (ci.Is(k, '"')) return k + 1;
    if (ci.Is(k, '\\') && k + 1 < ci.Count()) {
      if (ci.Is(k + 1, '"') || ci.Is(k + 1, '\\')) {
        content += ci.Single(k + 1);
        ++k;
        continue;
      }
      if (ci.Is(k + 1, 'n')) {
        content += "\r\n";
        ++k;
        continue;
      }
    }
    content.append(text.substr(ci.Begin(k), ci.End(k) - ci.Begin(k)));
  }
  return 0;
}

// Index of the ')' matching the '(' at open (parentheses known to be balanced).
size_t MatchParen(const CharIndex& ci, size_t open) {
  int depth = 0;
  for (size_t k = open; k < ci.Count(); ++k) {
    if (ci.Is(k, '(')) ++depth;
    if (ci.Is(k, ')') && --depth == 0) return k;
  }
  SyntaxError();
}

void CheckParens(const CharIndex& ci) {
  int depth = 0;
  for (size_t k = 0; k < ci.Count(); ++k) {
    if (ci.Is(k, '(')) ++depth;
    if (ci.Is(k, ')') && --depth < 0) SyntaxError();
  }
  if (depth != 0) SyntaxError();
}

// Removes parentheses that enclose the whole argument, repeatedly.
std::string_view StripEnclosing(std::string_view arg) {
  for (;;) {
    arg = expr::TrimBlanks(arg);
    const CharIndex ci(arg);
    if (ci.Count() < 2 || !ci.Is(0, '(') || !ci.Is(ci.Count() - 1, ')')) return arg;
    int depth = 0;
    for (size_t k = 0; k < ci.Count(); ++k) {
      if (ci.Is(k, '(')) ++depth;
      if (ci.Is(k, ')') && --depth == 0) {
        if (k != ci.Count() - 1) return arg;
        break;
      }
    }
    if (depth != 0) return arg;
    arg = ci.Slice(1, ci.Count() - 1);
  }
}

bool IsComplex(std::string_view arg) {
  const CharIndex ci(arg);
  for (size_t k = 0; k < ci.Count(); ++k) {
    if (expr::IsComplexChar(ci.Single(k))) return true;
  }
  return false;
}

// Splits at the commas outside '[' ']'.
std::vector<std::string_view> SplitArguments(std::string_view inner) {
  std::vector<std::string_view> parts;
  const CharIndex ci(inner);
  int depth = 0;
  size_t start = 0;
  for (size_t k = 0; k < ci.Count(); ++k) {
    if (ci.Is(k, '[')) ++depth;
    if (ci.Is(k, ']') && --depth < 0) SyntaxError();
    if (ci.Is(k, ',') && depth == 0) {
      parts.push_back(ci.Slice(start, k));
      start = k + 1;
    }
  }
  if (depth != 0) SyntaxError();
  parts.push_back(ci.Slice(start, ci.Count()));
  return parts;
}

// '=' '+' '-' '*' '/' '%' '&' '^' '|' '[' '(' ',' '<' '>': what may stand before a unary sign.
bool BeforeUnary(std::string_view token) {
  if (token.empty()) return false;
  switch (token[0]) {
    case '=': case '+': case '-': case '*': case '/': case '%': case '&':
    case '^': case '|': case '[': case '(': case ',': case '<': case '>':
      return true;
    default:
      return false;
  }
}

// What may not stand before a binary operator.
bool BadBeforeBinary(std::string_view token) {
  if (token.empty()) return true;
  switch (token[0]) {
    case '+': case '-': case '*': case '/': case '%': case '|': case '&':
    case '^': case '=': case '[': case '(': case '<': case '>':
      return true;
    default:
      return false;
  }
}

uint8_t CodeOf(std::string_view op) {
  for (uint8_t c = ocTo; c <= kLastOpeCode; ++c) {
    if (OpeCodeSymbol(c) == op) return c;
  }
  SyntaxError();
}

}  // namespace

std::string TBuildQuboParser::NewValueTemp() { return ValueTempName(counter_++); }
std::string TBuildQuboParser::NewElementTemp() { return ElementTempName(counter_++); }

void TBuildQuboParser::Emit(uint8_t code, std::string destination, std::vector<std::string> operands) {
  ops_.push_back({code, std::move(destination), std::move(operands)});
}

void TBuildQuboParser::Compile(std::string_view text) {
  const size_t first = ops_.size();
  CompileText(std::string(text));
  (void)first;
  CleanUp();
}

std::string TBuildQuboParser::OperandFor(std::string_view argument) {
  const std::string_view arg = StripEnclosing(argument);
  if (!IsComplex(arg)) return std::string(arg);
  std::string temp = NewValueTemp();
  CompileText(temp + " = " + std::string(arg));
  return temp;
}

void TBuildQuboParser::CompileText(std::string text) {
  // Steps 1-4 find nothing in a text without any of these bytes ('"', '(' and ')' are never
  // trail bytes; where '[' or ']' is one, the steps run and step over it).
  const bool flat = text.find_first_of("\"()[]") == std::string::npos;

  // 1. String literals, left to right.
  if (!flat) {
    size_t k = 0;
    std::string content;
    for (;;) {
      const CharIndex ci(text);
      while (k < ci.Count() && !ci.Is(k, '"')) ++k;
      if (k >= ci.Count()) break;
      const size_t end = ScanLiteral(ci, text, k, content);
      if (end == 0) break;  // unclosed: stays as operand text
      const std::string temp = NewValueTemp();
      Emit(ocTo, temp, {"\"" + content + "\""});
      text = Replace(text, ci, k, end, temp);
      k += temp.size();  // a temporary's name is single-byte characters only
    }
  }

  // 2. Function calls, always the rightmost '(' after a name character.
  while (!flat) {
    const CharIndex ci(text);
    CheckParens(ci);
    size_t open = ci.Count(), nameEnd = 0;
    for (size_t k = ci.Count(); k-- > 0;) {
      if (!ci.Is(k, '(')) continue;
      size_t j = k;
      while (j > 0 && IsBlank(ci.Single(j - 1))) --j;
      if (j > 0 && expr::IsNameChar(ci.Single(j - 1))) {
        open = k;
        nameEnd = j;
        break;
      }
    }
    if (open == ci.Count()) break;
    size_t nameBegin = nameEnd;
    while (nameBegin > 0 && expr::IsNameChar(ci.Single(nameBegin - 1))) --nameBegin;
    const size_t close = MatchParen(ci, open);
    const std::string name(ci.Slice(nameBegin, nameEnd));
    std::vector<std::string_view> parts = SplitArguments(ci.Slice(open + 1, close));
    if (expr::TrimBlanks(parts.back()).empty()) parts.pop_back();
    std::string temp = NewValueTemp();
    std::vector<std::string> operands{name};
    for (std::string_view part : parts) {
      if (expr::TrimBlanks(part).empty()) SyntaxError();  // f(a,,b) or f(,a)
      operands.push_back(OperandFor(part));
    }
    Emit(ocFunc, temp, std::move(operands));
    text = Replace(text, ci, nameBegin, close + 1, temp);
  }

  // 3. Subscripts, always the rightmost '['.
  while (!flat) {
    const CharIndex ci(text);
    size_t open = ci.Count();
    for (size_t k = ci.Count(); k-- > 0;) {
      if (ci.Is(k, '[')) {
        open = k;
        break;
      }
    }
    if (open == ci.Count()) {
      for (size_t k = 0; k < ci.Count(); ++k) {
        if (ci.Is(k, ']')) SyntaxError();
      }
      break;
    }
    size_t nameEnd = open;
    while (nameEnd > 0 && IsBlank(ci.Single(nameEnd - 1))) --nameEnd;
    size_t nameBegin = nameEnd;
    while (nameBegin > 0) {
      const char c = ci.Single(nameBegin - 1);
      if (IsBlank(c) || expr::IsOperatorChar(c) || expr::IsBracketChar(c)) break;
      --nameBegin;
    }
    if (nameBegin == nameEnd) SyntaxError();  // an operator, a bracket or nothing before '['
    size_t close = open + 1;
    while (close < ci.Count() && !ci.Is(close, ']')) ++close;
    if (close == ci.Count()) SyntaxError();
    const std::string_view inner = ci.Slice(open + 1, close);
    if (expr::TrimBlanks(inner).empty()) throw QuboError(kBadSubscriptsMessage);
    std::string temp = NewElementTemp();
    std::vector<std::string> operands{std::string(ci.Slice(nameBegin, nameEnd))};
    const CharIndex ii(inner);
    size_t start = 0;
    for (size_t k = 0; k <= ii.Count(); ++k) {
      if (k < ii.Count() && !ii.Is(k, ',')) continue;
      const std::string_view sub = ii.Slice(start, k);
      if (expr::TrimBlanks(sub).empty()) throw QuboError(kBadSubscriptsMessage);  // a[1,] or a[,1]
      operands.push_back(OperandFor(sub));
      start = k + 1;
    }
    Emit(ocDimTo, temp, std::move(operands));
    text = Replace(text, ci, nameBegin, close + 1, temp);
  }

  // 4. Parenthesized groups, always the rightmost '('.
  while (!flat) {
    const CharIndex ci(text);
    size_t open = ci.Count();
    for (size_t k = ci.Count(); k-- > 0;) {
      if (ci.Is(k, '(')) {
        open = k;
        break;
      }
    }
    if (open == ci.Count()) break;
    const size_t close = MatchParen(ci, open);
    const std::string temp = NewValueTemp();
    const std::string inner(ci.Slice(open + 1, close));
    text = Replace(text, ci, open, close + 1, temp);
    CompileText(temp + " = " + inner);
  }

  // 5. Tokens.
  std::vector<expr::Token> tokens = expr::Tokenize(text);
  if (tokens.empty()) {
    Emit(ocTo, std::string(kArgName), {std::string(expr::TrimBlanks(text))});
    return;
  }

  // 6. Unary signs.
  for (size_t i = tokens.size() >= 2 ? tokens.size() - 2 : 0; i >= 1 && i + 1 < tokens.size(); --i) {
    const expr::Token& t = tokens[i];
    if (t.isOperator && (t.text == "+" || t.text == "-") && BeforeUnary(tokens[i - 1].text)) {
      if (tokens[i + 1].isOperator) SyntaxError();
      if (t.text == "+") {
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i));
      } else {
        std::string temp = NewValueTemp();
        Emit(ocMinus, temp, {"0", tokens[i + 1].text});
        tokens[i] = {std::move(temp), false};
        tokens.erase(tokens.begin() + static_cast<ptrdiff_t>(i + 1));
      }
    }
  }

  // 7. Reduction by precedence, leftmost first within a level.
  bool assigned = false;
  for (;;) {
    size_t at = tokens.size();
    int best = 99;
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (!tokens[i].isOperator) continue;
      const int level = expr::OperatorLevel(tokens[i].text);
      if (level < best) {
        best = level;
        at = i;
      }
    }
    if (at == tokens.size()) break;
    const std::string op = tokens[at].text;
    // An operator needs an operand after it (an operator at the end fails here).
    if (at + 1 >= tokens.size() || tokens[at + 1].isOperator) SyntaxError();
    if (at == 0) {
      if (op != "+" && op != "-") SyntaxError();
      std::string temp = NewValueTemp();
      Emit(op == "+" ? ocPlus : ocMinus, temp, {"0", tokens[1].text});
      tokens[0] = {std::move(temp), false};
      tokens.erase(tokens.begin() + 1);
      continue;
    }
    const auto first = tokens.begin() + static_cast<ptrdiff_t>(at - 1);
    if (op == "=") {
      Emit(ocTo, tokens[at - 1].text, {tokens[at + 1].text});
      tokens.erase(first, first + 3);
      assigned = true;
      continue;
    }
    if (tokens[at - 1].isOperator || BadBeforeBinary(tokens[at - 1].text)) SyntaxError();
    std::string temp = NewValueTemp();
    Emit(CodeOf(op), temp, {tokens[at - 1].text, tokens[at + 1].text});
    *first = {std::move(temp), false};
    tokens.erase(first + 1, first + 3);
  }
  if (assigned) {
    if (!tokens.empty()) SyntaxError();
    return;
  }
  if (tokens.size() != 1) SyntaxError();
  Emit(ocTo, std::string(kArgName), {tokens[0].text});
}

// 8. An assignment from one value temporary to another disappears; later uses of its
// destination name its source instead.
void TBuildQuboParser::CleanUp() {
  for (size_t i = 0; i < ops_.size();) {
    const TBuildOpeData& op = ops_[i];
    if (op.code != ocTo || op.operands.size() != 1 || !IsValueTempName(op.destination) ||
        !IsValueTempName(op.operands[0])) {
      ++i;
      continue;
    }
    const std::string from = op.destination, to = op.operands[0];
    ops_.erase(ops_.begin() + static_cast<ptrdiff_t>(i));
    for (size_t j = i; j < ops_.size(); ++j) {
      if (ops_[j].destination == from) ops_[j].destination = to;
      for (std::string& operand : ops_[j].operands) {
        if (operand == from) operand = to;
      }
    }
  }
}

TStoredExpression TBuildQuboParser::ToStored() const {
  std::vector<TBuildOpeData> copy = ops_;
  return StoredFrom(copy);
}

TStoredExpression TBuildQuboParser::TakeStored() {
  std::vector<TBuildOpeData> ops = std::move(ops_);
  ops_.clear();
  return StoredFrom(ops);
}

TStoredExpression TBuildQuboParser::StoredFrom(std::vector<TBuildOpeData>& ops) {
  TStoredExpression e;
  e.operations.reserve(ops.size());
  for (TBuildOpeData& op : ops) {
    TStoredOperation s;
    s.code = op.code;
    s.destination = std::move(op.destination);
    size_t firstOperand = 0;
    if (op.code == ocFunc) {
      const std::string& name = op.operands.empty() ? std::string() : op.operands[0];
      const int index = FindSysFunc(name);
      // "\"%s\" 関数名がありません"
      if (index < 0) throw QuboError("\"" + name + "\" \x8a\xd6\x90\x94\x96\xbc\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
      const int args = static_cast<int>(op.operands.size()) - 1;
      // " 引数の数が不正です"
      if (!kSysFuncs[static_cast<size_t>(index)].AcceptsArgCount(args)) {
        throw QuboError(name + " \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7");
      }
      s.funcIndex = static_cast<uint8_t>(index);
      firstOperand = 1;
    }
    s.operands.reserve(op.operands.size() - firstOperand);
    for (size_t k = firstOperand; k < op.operands.size(); ++k) {
      s.operands.push_back(ClassifyOperandText(std::move(op.operands[k])));
    }
    e.operations.push_back(std::move(s));
  }
  return e;
}

void TBuildQuboParser::SaveToStream(TStream& stream) const { WriteStoredExpression(stream, ToStored()); }

std::string DumpOperations(const std::vector<TBuildOpeData>& ops) {
  std::string out;
  for (const TBuildOpeData& op : ops) {
    out += op.destination + " := ";
    if (op.code == ocFunc) {
      out += (op.operands.empty() ? std::string() : op.operands[0]) + "(";
      for (size_t k = 1; k < op.operands.size(); ++k) out += (k > 1 ? ", " : "") + op.operands[k];
      out += ")";
    } else if (op.code == ocDimTo) {
      out += (op.operands.empty() ? std::string() : op.operands[0]) + "[";
      for (size_t k = 1; k < op.operands.size(); ++k) out += (k > 1 ? ", " : "") + op.operands[k];
      out += "]";
    } else if (op.code == ocTo && op.operands.size() == 1) {
      out += op.operands[0];
    } else if (op.operands.size() == 2) {
      out += op.operands[0] + " " + std::string(OpeCodeSymbol(op.code)) + " " + op.operands[1];
    } else {
      out += std::string(OpeCodeName(op.code));
      for (const std::string& o : op.operands) out += " " + o;
    }
    out += "\n";
  }
  return out;
}

TStoredOperand ClassifyOperandText(const std::string& text) { return ClassifyOperandText(std::string(text)); }

TStoredOperand ClassifyOperandText(std::string&& text) {
  if (const auto i = numtext::ParseInt(text)) return TStoredOperand::Int(*i);
  if (const auto f = numtext::ParseFloat(text)) return TStoredOperand::Float(LongDoubleToExtended(*f));
  if (text == "TRUE") return TStoredOperand::Flag(true);
  if (text == "FALSE") return TStoredOperand::Flag(false);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return TStoredOperand::String(text.substr(1, text.size() - 2));
  }
  return TStoredOperand::Name(std::move(text));
}

}  // namespace qubo
