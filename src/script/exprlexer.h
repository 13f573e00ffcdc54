#pragma once
// Character-level scanning of expression text (code page 932). Every scanner here steps by
// character, so a trail byte that looks like '\\', '|', '[' or ']' never acts as one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qubo::expr {

// The text split into characters: Begin(k)/End(k) are the byte offsets of character k.
class CharIndex {
 public:
  explicit CharIndex(std::string_view text);
  size_t Count() const { return starts_.size() - 1; }
  size_t Begin(size_t k) const { return starts_[k]; }
  size_t End(size_t k) const { return starts_[k + 1]; }
  // The byte of a single-byte character, 0 for a double-byte one (or past the end).
  char Single(size_t k) const {
    return k < Count() && End(k) - Begin(k) == 1 ? text_[Begin(k)] : '\0';
  }
  bool Is(size_t k, char c) const { return Single(k) == c && c != '\0'; }
  // Bytes of the characters [from, to).
  std::string_view Slice(size_t from, size_t to) const { return text_.substr(Begin(from), Begin(to) - Begin(from)); }

 private:
  std::string_view text_;
  std::vector<uint32_t> starts_;
};

// '%' '&' '*' '+' '-' '/' '<' '=' '>' '^' '|'
constexpr bool IsOperatorChar(char c) {
  switch (c) {
    case '%': case '&': case '*': case '+': case '-': case '/':
    case '<': case '=': case '>': case '^': case '|':
      return true;
    default:
      return false;
  }
}
constexpr bool IsBracketChar(char c) { return c == '(' || c == ')' || c == '[' || c == ']'; }
// Control characters and the space.
constexpr bool IsBlank(char c) { return c != '\0' && static_cast<uint8_t>(c) <= 0x20; }
// Characters of a function name.
constexpr bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
// The characters that make a call argument or a subscript an expression of its own.
constexpr bool IsComplexChar(char c) {
  return IsOperatorChar(c) || IsBracketChar(c) || c == ',';
}

// Removes leading and trailing bytes <= 0x20 (never a trail byte).
std::string_view TrimBlanks(std::string_view s);

// One token of flat text: an operand (trimmed, never empty) or an operator.
struct Token {
  std::string text;
  bool isOperator = false;
};

// Splits text without brackets at every operator character; two-character operators
// ("==", ">=", "<=", "++", "<>", "<<", ">>") become one token.
std::vector<Token> Tokenize(std::string_view text);

// Operator precedence level 1 (binds tightest) .. 9 (assignment); 0 for an unknown text.
int OperatorLevel(std::string_view op);

}  // namespace qubo::expr
