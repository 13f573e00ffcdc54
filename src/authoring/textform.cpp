#include "authoring/textform.h"

#include <cstdlib>

#include "support/errors.h"

namespace qubo::authoring::textform {

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

}  // namespace qubo::authoring::textform
