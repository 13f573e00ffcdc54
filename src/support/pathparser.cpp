#include "support/pathparser.h"

#include <algorithm>

#include "support/sjis.h"

namespace qubo {

namespace {

// True when the last character of s is a single-byte '\' (not the trail byte of a
// double-byte character).
bool EndsWithBackslash(std::string_view s) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i = sjis::Next(s, i)) last = i;
  return last != std::string_view::npos && sjis::CharLen(s, last) == 1 && s[last] == '\\';
}

}  // namespace

void TPathParser::Parse(std::string_view path) {
  items_.clear();
  if (path.empty()) return;
  std::string p = sjis::AsciiUpper(path);
  if (!EndsWithBackslash(p)) p += '\\';
  size_t pos = 0;
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    const size_t slash = sjis::FindChar(p, '\\', 2);
    pos = slash == std::string::npos ? p.size() : slash + 1;
    items_.push_back(p.substr(0, pos));
  } else if (p.size() >= 2 && p[1] == ':') {
    pos = std::min<size_t>(3, p.size());
    items_.push_back(p.substr(0, pos));
  }
  while (pos < p.size()) {
    const size_t slash = sjis::FindChar(p, '\\', pos);
    const size_t end = slash == std::string::npos ? p.size() : slash + 1;
    items_.push_back(p.substr(pos, end - pos));
    pos = end;
  }
}

std::string TPathParser::Join() const {
  std::string out;
  for (const auto& s : items_) out += s;
  return out;
}

const std::string& TPathParser::Get(int i) const {
  static const std::string empty;
  return i >= 0 && i < Count() ? items_[static_cast<size_t>(i)] : empty;
}

void TPathParser::Delete(int i) {
  if (i >= 0 && i < Count()) items_.erase(items_.begin() + i);
}

std::string TPathParser::ResolveRelative(std::string_view path, std::string_view base) {
  if (path.size() <= 1 || path[0] == '\\' || path[1] == ':') return std::string(path);
  if (path.substr(0, 3) != "..\\") return std::string(base) + std::string(path);
  TPathParser parser;
  parser.Parse(base);
  while (parser.Count() > 0 && path.substr(0, 3) == "..\\") {
    parser.Delete(parser.Count() - 1);
    path.remove_prefix(3);
  }
  return parser.Join() + std::string(path);
}

}  // namespace qubo
