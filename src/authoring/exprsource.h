#pragma once
// Expressions as source text: the operations of a stored expression read back as the text our
// compiler would have been given, kept only when compiling that text gives back the same
// operations.

#include <optional>
#include <string>

#include "script/exprstore.h"

namespace qubo::authoring {

// The source of e, or nullopt when no text our compiler takes gives exactly e.
std::optional<std::string> ExpressionSource(const TStoredExpression& e);

}  // namespace qubo::authoring
