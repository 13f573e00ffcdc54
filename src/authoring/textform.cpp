#include "authoring/textform.h"

#include <cstdlib>

#include "support/encoding.h"
#include "support/errors.h"

namespace qubo::authoring::textform {

void ForEachLine(std::string_view text, const std::function<void(std::string_view, int)>& each) {
  int lineNo = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    each(line, ++lineNo);
  }
}

void LineError(int line, const std::string& what) { throw QuboError("line " + std::to_string(line) + ": " + what); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseReal(const std::string& w, Extended80& out, std::string& error) {
  if (w.rfind("raw:", 0) == 0) {
    error = "raw: needs 20 hexadecimal digits";
    if (w.size() != 24) return false;
    for (size_t b = 0; b < 10; ++b) {
      const int hi = HexValue(w[4 + 2 * b]), lo = HexValue(w[5 + 2 * b]);
      if (hi < 0 || lo < 0) return false;
      out[b] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
  }
  char* end = nullptr;
  const long double v = std::strtold(w.c_str(), &end);
  if (end == w.c_str() || *end != '\0') {
    error = "bad real \"" + w + "\"";
    return false;
  }
  out = LongDoubleToExtended(v);
  return true;
}

bool ReadQuoted(std::string_view s, size_t& pos, std::string& out, std::string& error) {
  std::string utf8;
  auto flush = [&]() {
    if (utf8.empty()) return true;
    const auto cp = Utf8ToCp932(utf8);
    if (!cp) {
      error = "text without a code-page-932 form";
      return false;
    }
    out += *cp;
    utf8.clear();
    return true;
  };
  ++pos;  // the opening quote
  while (pos < s.size()) {
    const char d = s[pos++];
    if (d == '"') return flush();
    if (d != '\\') {
      utf8 += d;
      continue;
    }
    if (pos >= s.size()) break;
    const char e = s[pos++];
    switch (e) {
      case '"': utf8 += '"'; break;
      case '\\': utf8 += '\\'; break;
      case 'n': utf8 += '\n'; break;
      case 'r': utf8 += '\r'; break;
      case 't': utf8 += '\t'; break;
      case 'x': {
        const int hi = pos < s.size() ? HexValue(s[pos]) : -1;
        const int lo = pos + 1 < s.size() ? HexValue(s[pos + 1]) : -1;
        if (hi < 0 || lo < 0) {
          error = "\\x needs two hexadecimal digits";
          return false;
        }
        if (!flush()) return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default: error = std::string("unknown escape \\") + e; return false;
    }
  }
  error = "unterminated string";
  return false;
}

}  // namespace qubo::authoring::textform
