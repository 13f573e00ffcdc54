#include "script/sysfuncman.h"

#include <array>
#include <atomic>

#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "script/scripthost.h"
#include "script/sysfunctable.h"
#include "support/errors.h"

namespace qubo {

namespace {

TSysFuncMan* current = nullptr;

// The table functions, handed to the injected dispatcher.
bool IsTableFunction(int index) { return (index >= 87 && index <= 124) || index == 159 || index == 160; }

struct CurrentScope {
  TSysFuncMan* saved;
  explicit CurrentScope(TSysFuncMan* m) : saved(current) { current = m; }
  ~CurrentScope() { current = saved; }
};

}  // namespace

TSysFuncMan::TSysFuncMan(TParamCollection& vars, TExprFunctions* tables, TScriptHost* host)
    : vars_(vars), tables_(tables), host_(host) {
  own_.vars = &vars_;
  own_.functions = this;
}

TScriptHost& TSysFuncMan::Host() { return host_ != nullptr ? *host_ : ScriptHost(); }

TExprContext& TSysFuncMan::Context() {
  if (context_ != nullptr) return *context_;
  TExprContext& global = GlobalExprContext();
  return global.vars == &vars_ ? global : own_;
}

TSysFuncMan* TSysFuncMan::Current() { return current; }

void TSysFuncMan::Call(int index, TCustomParam* const* args, int argCount, TFuncResult& result) {
  if (index < 0 || index >= kSysFuncCount) throw QuboError(sysfunc::kMsgInternal);
  const SysFuncInfo& info = kSysFuncs[static_cast<size_t>(index)];
  if (argCount < 0 || !info.AcceptsArgCount(argCount)) {
    throw QuboError(std::string(info.name) + sysfunc::kMsgArgCountTail);
  }
  for (int k = 0; k < argCount; ++k) {
    if (args[k] == nullptr) throw QuboError(sysfunc::kMsgInternal);
  }
  CurrentScope scope(this);
  if (IsTableFunction(index)) {
    if (tables_ == nullptr) throw QuboError(sysfunc::kMsgInternal);
    tables_->Call(index, args, argCount, result);
    return;
  }
  TFuncCall call{args, argCount, result, vars_, Host()};
  // The family that took an index is remembered, so later calls go straight to it.
  using Family = bool (*)(int, TFuncCall&);
  static constexpr Family kFamilies[] = {CallTextFunction, CallNumberFunction,    CallVarFunction,
                                         CallFileFunction, CallComponentFunction, CallOtherFunction};
  static std::array<std::atomic<uint8_t>, kSysFuncCount> owner{};
  std::atomic<uint8_t>& known = owner[static_cast<size_t>(index)];
  if (const uint8_t f = known.load(std::memory_order_relaxed); f != 0 && kFamilies[f - 1](index, call)) return;
  for (size_t f = 0; f < std::size(kFamilies); ++f) {
    if (kFamilies[f](index, call)) {
      known.store(static_cast<uint8_t>(f + 1), std::memory_order_relaxed);
      return;
    }
  }
  throw QuboError(sysfunc::kMsgInternal);
}

TExprContext& CallContext(const TFuncCall& call) {
  if (TSysFuncMan* m = TSysFuncMan::Current(); m != nullptr && &m->Vars() == &call.vars) return m->Context();
  return GlobalExprContext();
}

namespace sysfunc {

void ThrowTooLong() { throw QuboError(kMsgTooLong); }

std::string_view TextOf(const TCustomParam& p, std::string& scratch) {
  int32_t element = 0;
  if (p.StoredType() == PT_NONE) element = static_cast<const TParamVar&>(p).Element();
  if (const auto* str = dynamic_cast<const TParamArray<std::string>*>(p.Resolve())) {
    const std::vector<std::string>& items = str->Elements();
    if (element >= 0 && static_cast<size_t>(element) < items.size()) return items[static_cast<size_t>(element)];
  }
  scratch = p.AsStr();
  return scratch;
}

TCustomParam* VarArg(const TFuncCall& c, int k) {
  if (!HasArg(c, k)) return nullptr;
  TCustomParam* p = c.args[k - 1];
  if (p->StoredType() != PT_NONE || p->Resolve() == nullptr) return nullptr;
  return p;
}

TCustomParam& RequireVar(const TFuncCall& c, int k, const char* name) {
  TCustomParam* p = VarArg(c, k);
  if (p == nullptr) throw QuboError(std::string(name) + kMsgNoVariableTail);
  return *p;
}

}  // namespace sysfunc
}  // namespace qubo
