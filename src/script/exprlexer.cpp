#include "script/exprlexer.h"

#include "support/sjis.h"

namespace qubo::expr {

CharIndex::CharIndex(std::string_view text) : text_(text) {
  starts_.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); i = sjis::Next(text, i)) starts_.push_back(static_cast<uint32_t>(i));
  starts_.push_back(static_cast<uint32_t>(text.size()));
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

namespace {

bool IsTwoCharOperator(char a, char b) {
  return (a == '=' && b == '=') || (a == '>' && b == '=') || (a == '<' && b == '=') || (a == '+' && b == '+') ||
         (a == '<' && b == '>') || (a == '<' && b == '<') || (a == '>' && b == '>');
}

void PushOperand(std::vector<Token>& tokens, std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  if (!t.empty()) tokens.push_back({std::string(t), false});
}

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  const CharIndex ci(text);
  size_t operandStart = 0;  // character index
  for (size_t k = 0; k < ci.Count(); ++k) {
    const char c = ci.Single(k);
    if (!IsOperatorChar(c)) continue;
    PushOperand(tokens, ci.Slice(operandStart, k));
    const char next = ci.Single(k + 1);
    if (next != '\0' && IsTwoCharOperator(c, next)) {
      tokens.push_back({std::string{c, next}, true});
      ++k;
    } else {
      tokens.push_back({std::string(1, c), true});
    }
    operandStart = k + 1;
  }
  PushOperand(tokens, ci.Slice(operandStart, ci.Count()));
  return tokens;
}

int OperatorLevel(std::string_view op) {
  if (op == "*" || op == "/" || op == "%") return 1;
  if (op == "+" || op == "-") return 2;
  if (op == "<<" || op == ">>") return 3;
  if (op == "==" || op == ">=" || op == "<=" || op == ">" || op == "<" || op == "<>") return 4;
  if (op == "++") return 5;
  if (op == "&") return 6;
  if (op == "^") return 7;
  if (op == "|") return 8;
  if (op == "=") return 9;
  return 0;
}

}  // namespace qubo::expr
