// Stand-ins for the families built elsewhere (files, components, other functions) until they
// are linked in: each takes no index.
#include "script/sysfuncfamilies.h"

namespace qubo {

__attribute__((weak)) bool CallFileFunction(int, TFuncCall&) { return false; }
__attribute__((weak)) bool CallComponentFunction(int, TFuncCall&) { return false; }
__attribute__((weak)) bool CallOtherFunction(int, TFuncCall&) { return false; }

}  // namespace qubo
