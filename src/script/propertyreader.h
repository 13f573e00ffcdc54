#pragma once
// Property reads of expressions go through this interface: the declared type of a property
// (the type of the temporary that receives a GetProp call) and the read itself. The scene
// provides the real one; without a scene the null reader finds no component.

#include <cstdint>
#include <string_view>

#include "script/exprfunc.h"

namespace qubo {

inline constexpr int kLastPropertyId = 170;

class TPropertyReader {
 public:
  virtual ~TPropertyReader() = default;
  // Declared value type (PT_INT ... PT_STR) of property id 0..kLastPropertyId.
  virtual uint8_t PropertyType(int id) const = 0;
  // Reads property id of the component named component into out; false (out untouched)
  // when there is no such component.
  virtual bool GetProp(std::string_view component, int id, TFuncResult& out) = 0;
};

// No scene: no component exists, so no read yields anything. The declared types are those of
// the property table, which comes with the scene; until then every property reads as an
// integer.
class TNullPropertyReader final : public TPropertyReader {
 public:
  uint8_t PropertyType(int) const override { return PT_INT; }
  bool GetProp(std::string_view, int, TFuncResult&) override { return false; }
};

}  // namespace qubo
