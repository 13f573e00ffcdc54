#include "support/sjis.h"

#include <string>

namespace qubo::sjis {
namespace {

template <bool kUpper>
std::string MapCase(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    const size_t n = CharLen(out, i);
    if (n == 1) {
      char& c = out[i];
      if (kUpper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!kUpper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    i += n;
  }
  return out;
}

}  // namespace

std::string AsciiLower(std::string_view s) { return MapCase<false>(s); }
std::string AsciiUpper(std::string_view s) { return MapCase<true>(s); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t n = CharLen(a, i);
    if (n != CharLen(b, i)) return false;
    if (n == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else {
      char x = a[i], y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
      if (x != y) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace qubo::sjis
