#include "support/tabstrings.h"

#include "support/sjis.h"

namespace qubo {

void TTabStrings::SetText(std::string_view text) {
  items_.clear();
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const size_t len = sjis::CharLen(text, i);
    if (len == 1 && text[i] == separator_) {
      items_.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
    i += len;
  }
  if (start < text.size()) items_.emplace_back(text.substr(start));
}

const std::string& TTabStrings::Get(int i) const {
  static const std::string empty;
  return i >= 0 && i < Count() ? items_[static_cast<size_t>(i)] : empty;
}

void TTabStrings::Clear() {
  items_.clear();
  position_ = 0;
}

}  // namespace qubo
