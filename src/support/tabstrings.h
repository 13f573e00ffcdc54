#pragma once
// A string list filled by splitting a text at a separator byte (TAB by default), stepping
// by code-page-932 character so that a trail byte equal to the separator never splits.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qubo {

class TTabStrings {
 public:
  TTabStrings() = default;
  explicit TTabStrings(char separator) : separator_(separator) {}

  // Empties the list and splits text: every separator ends a field (two adjacent separators
  // give an empty field between them); the rest after the last separator is added when it is
  // not empty, so a text ending in a separator has no empty last field. A lead byte and the
  // byte after it are one character, unless the lead byte is the last byte of the text.
  void SetText(std::string_view text);
  // The empty string outside the list.
  const std::string& Get(int i) const;
  int Count() const { return static_cast<int>(items_.size()); }
  void Add(std::string s) { items_.push_back(std::move(s)); }
  // Empties the list and sets the reading position to 0.
  void Clear();
  const std::vector<std::string>& Items() const { return items_; }

  char Separator() const { return separator_; }
  void SetSeparator(char separator) { separator_ = separator; }

  // The reading position, for callers that take the fields one after another.
  int32_t Position() const { return position_; }
  void SetPosition(int32_t position) { position_ = position; }
  // The field at the reading position (empty past the end), then the position advances.
  const std::string& ReadNext() { return Get(position_++); }

 private:
  std::vector<std::string> items_;
  int32_t position_ = 0;
  char separator_ = '\t';
};

}  // namespace qubo
