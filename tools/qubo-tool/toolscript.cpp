#include "toolscript.h"

namespace qubo::tool {

TToolScript::TToolScript() { context.vars = &vars; }
TToolScript::~TToolScript() = default;

std::string ValueText(const TCustomParam& v) {
  auto one = [&](int32_t i) {
    const std::string s = v.GetStrAt(i);
    return v.ParamType() == PT_STR ? "\"" + s + "\"" : s;
  };
  if (v.DimCount() == 0) return one(0);
  std::string out = "[";
  const int32_t n = v.Count();
  for (int32_t i = 0; i < n && i < 20; ++i) out += (i > 0 ? ", " : "") + one(i);
  if (n > 20) out += ", ...";
  return out + "]";
}

}  // namespace qubo::tool
