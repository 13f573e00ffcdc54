#pragma once
// The built-in functions are split by family. The function manager hands a call to each
// family in turn until one takes it; the table functions have a dispatcher of their own.

#include "script/exprfunc.h"
#include "script/params.h"

namespace qubo {

class TParamCollection;
class TScriptHost;

// One call of a built-in function: the operand values (variables written by name arrive as
// resolved references), the result to fill (arrives cleared), the variable table and the host.
struct TFuncCall {
  TCustomParam* const* args;
  int argCount;
  TFuncResult& result;
  TParamCollection& vars;
  TScriptHost& host;
};

// Each answers false when index is not one of its functions; failures raise.
bool CallTextFunction(int index, TFuncCall& call);       // strings, J-strings, conversions
bool CallNumberFunction(int index, TFuncCall& call);     // numbers, Random, dates and times
bool CallVarFunction(int index, TFuncCall& call);        // variables and arrays, Calc, stacks
bool CallFileFunction(int index, TFuncCall& call);       // files, dialogs, screen saves, copies
bool CallComponentFunction(int index, TFuncCall& call);  // components and their entries
bool CallOtherFunction(int index, TFuncCall& call);      // captions, display modes, history, shell

}  // namespace qubo
