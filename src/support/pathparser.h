#pragma once
// Splits the game's own paths (code-page-932 bytes, '\' separators, as scripts and stored
// data write them) into components, and resolves relative paths against a base folder.
// Host paths never come here; they use '/' and are handled with std::filesystem.

#include <string>
#include <string_view>
#include <vector>

namespace qubo {

class TPathParser {
 public:
  // Empties the list and splits path: upper-cased (ASCII letters only), given a trailing '\'
  // when it has none, then cut into components each ending in its '\'. "\\server\share\..."
  // gives "\\SERVER\" as its first component; "c:..." gives its first three bytes. Steps by
  // character, so a '\' trail byte never ends a component. An empty path gives none.
  void Parse(std::string_view path);
  // The components concatenated.
  std::string Join() const;
  int Count() const { return static_cast<int>(items_.size()); }
  // The empty string outside the list.
  const std::string& Get(int i) const;
  void Delete(int i);
  void Clear() { items_.clear(); }
  const std::vector<std::string>& Items() const { return items_; }

  // path unchanged when it has one byte or less, begins with '\' or has ':' as its second
  // byte; base + path when it does not begin with "..\"; otherwise every leading "..\" drops
  // the last component of base (while there is one), and the result is the remaining
  // components (upper-cased by parsing) followed by the rest of path.
  static std::string ResolveRelative(std::string_view path, std::string_view base);

 private:
  std::vector<std::string> items_;
};

}  // namespace qubo
