#pragma once
// TSysFuncMan: the dispatcher of the built-in functions. It checks the index and the argument
// count, hands the table functions to their own dispatcher and every other index to the
// function families in turn (script/sysfuncfamilies.h). It keeps no state of its own; the
// generator seed of Random lives with the numeric family.
//
// Also here: the small helpers the families share to read arguments and to write into
// arguments that are variables.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/expreval.h"
#include "script/exprfunc.h"
#include "script/params.h"
#include "script/sysfuncfamilies.h"

namespace qubo {

class TParamCollection;
class TScriptHost;

class TSysFuncMan : public TExprFunctions {
 public:
  // tables: the dispatcher of the table functions (null: those indexes fail); host: the
  // host the functions reach (null: whatever ScriptHost() answers at each call).
  explicit TSysFuncMan(TParamCollection& vars, TExprFunctions* tables = nullptr, TScriptHost* host = nullptr);

  // Raises the internal-error message for an index outside the table or one no family
  // takes, and the argument-count message when argCount lies outside the function's limits
  // (a damaged stored expression must not make a function read past its arguments).
  void Call(int index, TCustomParam* const* args, int argCount, TFuncResult& result) override;

  void SetTables(TExprFunctions* tables) { tables_ = tables; }
  void SetHost(TScriptHost* host) { host_ = host; }
  // The context that Calc compiles and runs its text in (null: the global context when it
  // runs over this table, else one of the manager's own over the table and the manager).
  void SetContext(TExprContext* context) { context_ = context; }
  TExprContext& Context();

  TParamCollection& Vars() { return vars_; }
  TScriptHost& Host();

  // The manager whose Call is running now (the innermost when calls nest); null outside.
  static TSysFuncMan* Current();

 private:
  TParamCollection& vars_;
  TExprFunctions* tables_;
  TScriptHost* host_;
  TExprContext* context_ = nullptr;
  TExprContext own_;
};

// The generator of Random: seed := seed * 134775813 + 1 (mod 2^32). The host seeds it from
// the time of day at start-up.
void SetRandomSeed(uint32_t seed);
uint32_t RandomSeed();

// The context a compile made by a function (Calc) runs in: that of the manager dispatching
// the call, or the global one.
TExprContext& CallContext(const TFuncCall& call);

namespace sysfunc {

// Longest text a function builds (StringOfChar, StringReplace, IntToStr padding, joins...):
// beyond it the function raises kMsgTooLong instead of exhausting memory.
inline constexpr size_t kMaxTextBytes = size_t{16} << 20;

// 内部エラー
inline constexpr const char* kMsgInternal = "\x93\xE0\x95\x94\x83G\x83\x89\x81[";
// 文字列が長すぎます
inline constexpr const char* kMsgTooLong = "\x95\xB6\x8E\x9A\x97\xF1\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xDC\x82\xB7";
// :変数が見つかりません  (after the function name)
inline constexpr const char* kMsgNoVariableTail = ":\x95\xCF\x90\x94\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// " 引数の数が不正です" (after the function name)
inline constexpr const char* kMsgArgCountTail = " \x88\xF8\x90\x94\x82\xCC\x90\x94\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";

[[noreturn]] void ThrowTooLong();
// Raises kMsgTooLong when a text of n bytes would pass kMaxTextBytes.
inline void CheckTextSize(uint64_t n) {
  if (n > kMaxTextBytes) ThrowTooLong();
}

// Argument k, counting from 1 (the caller has checked the count).
inline const TCustomParam& Arg(const TFuncCall& c, int k) { return *c.args[k - 1]; }
inline bool HasArg(const TFuncCall& c, int k) { return k >= 1 && k <= c.argCount; }
// Argument k, counting from 1, or null when the call has fewer.
inline TCustomParam* ArgPtr(const TFuncCall& c, int k) { return HasArg(c, k) ? c.args[k - 1] : nullptr; }
inline std::string StrArg(const TFuncCall& c, int k, std::string def = {}) {
  return HasArg(c, k) ? Arg(c, k).AsStr() : def;
}
inline int32_t IntArg(const TFuncCall& c, int k, int32_t def = 0) { return HasArg(c, k) ? Arg(c, k).AsInt() : def; }
inline bool BoolArg(const TFuncCall& c, int k, bool def = false) { return HasArg(c, k) ? Arg(c, k).AsBool() : def; }
inline Real FloatArg(const TFuncCall& c, int k, Real def = 0) { return HasArg(c, k) ? Arg(c, k).AsFloat() : def; }

// The text of a value's element 0 (for a reference, of the element it refers to) without a
// copy when it is a string element; otherwise AsStr() kept in scratch. The view lives until
// the value is written or scratch changes.
std::string_view TextOf(const TCustomParam& p, std::string& scratch);

// Argument k when it is a variable written by name that resolves (a reference with a
// target); null for a constant, which belongs to the compiled expression and is never
// written, and for an unresolved reference.
TCustomParam* VarArg(const TFuncCall& c, int k);
// VarArg, or the failure "name:変数が見つかりません".
TCustomParam& RequireVar(const TFuncCall& c, int k, const char* name);

// The locale's comparisons of texts, answered -1, 0 or 1: without regard to case (ASCII
// and the double-byte Latin, Greek and Cyrillic letters), and with it, where texts equal but
// for case are ordered lower case first. Both are total orders.
int32_t CompareTextNoCase(std::string_view a, std::string_view b);
int32_t CompareTextCase(std::string_view a, std::string_view b);

}  // namespace sysfunc
}  // namespace qubo
