#pragma once
// The script world of the tool commands that run scripts: a variable table and the context
// expressions run in, with the built-in functions the player has.

#include <string>

#include "script/expreval.h"
#include "script/paramcollection.h"

namespace qubo {
class TProject;
}

namespace qubo::tool {

struct TToolScript {
  TParamCollection vars;
  TExprContext context;
  TProject* project = nullptr;

  TToolScript();
  ~TToolScript();
};

// A value for people: strings in quotes, arrays as [a, b, ...] (at most 20 elements shown).
std::string ValueText(const TCustomParam& v);

}  // namespace qubo::tool
