#pragma once
// Pages built in code: one call per command, fields in table order, expressions as source
// text compiled by the player's own compiler. Tests, benchmarks and tools use it where a
// page text would be longer than the page.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "script/pageformat.h"

namespace qubo::authoring {

// Field values.
TFieldValue Expr(const std::string& source);  // "" is the empty expression
TFieldValue Exprs(std::initializer_list<std::string> sources);
TFieldValue Str(const std::string& text);
TFieldValue Int(int32_t n);

class TPageBuilder {
 public:
  // A page of that version with the default masks as 64 entries of 22 bytes.
  explicit TPageBuilder(int32_t version = kNewestPageVersion, uint8_t resultType = 1);

  // Appends a command of code at indent with the fields of its type (missing trailing fields
  // stay empty); continueFlag 1 lets the engine go on within the tick. Answers its index.
  int32_t Add(uint8_t code, int32_t indent, std::vector<TFieldValue> fields = {}, uint8_t continueFlag = 1);
  // The index the next command will get.
  int32_t Next() const { return static_cast<int32_t>(image_.commands.size()); }
  // Changes an Int field of an added command (for targets known only later).
  void SetInt(int32_t command, size_t field, int32_t value);

  TPageImage& Image() { return image_; }
  std::vector<uint8_t> Bytes() const { return PageImageBytes(image_); }

 private:
  TPageImage image_;
};

}  // namespace qubo::authoring
