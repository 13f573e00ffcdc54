#include "storage/cdroots.h"

#include <fstream>
#include <sstream>

namespace qubo {
namespace {

// Mount tables escape blanks, tabs, newlines and backslashes as a backslash and three octal
// digits.
std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

}  // namespace

std::vector<std::string> ParseCdRoots(std::string_view mountTable) {
  std::vector<std::string> roots;
  std::istringstream lines{std::string(mountTable)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    if (type != "iso9660" && type != "udf") continue;
    std::string root = Unescape(mountPoint);
    if (root.empty()) continue;
    if (root.back() != '/') root += '/';
    roots.push_back(root);
  }
  return roots;
}

const std::vector<std::string>& SystemCdRoots() {
  static const std::vector<std::string> roots = [] {
    std::ifstream f("/proc/mounts");
    if (!f) return std::vector<std::string>();
    std::stringstream text;
    text << f.rdbuf();
    return ParseCdRoots(text.str());
  }();
  return roots;
}

}  // namespace qubo
