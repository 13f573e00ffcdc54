// String functions on a text of 10^4 characters: Copy and JCopy of 20 characters from the
// middle, Pos of a needle near the end, and IntToStr with zero padding, each as one compiled
// expression run through the function manager, beside the same in Lua 5.4 (string.sub,
// utf8.offset + string.sub over the same text in UTF-8, string.find plain, string.format).
// Each of ours reports ns per call and its ratio to the Lua run measured just before it.

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <string>

#include "script/exprcompiler.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/sysfuncman.h"

#ifdef QUBO_HAVE_LUA
#include <lua.hpp>
#endif

using namespace qubo;

namespace {

struct Statement {
  const char* ours;
  const char* lua;
};

const Statement kStatements[] = {
    {"r = Copy(t, i, 20)", "r = string.sub(t, i, i + 19)"},
    {"r = JCopy(t, i, 20)", "local a = utf8.offset(t, i); r = string.sub(t, a, utf8.offset(t, 20, a) - 1)"},
    {"p = Pos(\"needle\", t)", "p = string.find(t, 'needle', 1, true) or 0"},
    {"r = IntToStr(i, 8)", "r = string.format('%08d', i)"},
};

constexpr int kChars = 10000;
constexpr int kMiddle = kChars / 2;

// Every third character double-byte (表 in code page 932, 3 bytes in UTF-8); the needle
// just before the end.
std::string Text(bool utf8) {
  std::string s;
  for (int k = 0; k < kChars - 6; ++k) s += k % 3 == 2 ? (utf8 ? "\xE8\xA1\xA8" : "\x95\x5C") : "a";
  return s + "needle";
}

std::map<int64_t, double>& LuaNs() {
  static std::map<int64_t, double> ns;
  return ns;
}

double ThreadNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

template <class F>
double TimedLoop(benchmark::State& state, F&& body) {
  const double start = ThreadNs();
  int64_t n = 0;
  for (auto _ : state) {
    body();
    ++n;
  }
  return n > 0 ? (ThreadNs() - start) / static_cast<double>(n) : 0;
}

void BM_SysFunc(benchmark::State& state) {
  TParamCollection vars;
  vars.AddNamed(PT_STR, "t")->Value().SetStr(Text(false));
  vars.AddNamed(PT_INT, "i")->Value().SetInt(kMiddle);
  vars.AddNamed(PT_STR, "r");
  vars.AddNamed(PT_INT, "p");
  TSysFuncMan functions(vars);
  TExprContext ctx;
  ctx.vars = &vars;
  ctx.functions = &functions;
  functions.SetContext(&ctx);
  TBuildQuboParser compiler;
  compiler.Compile(kStatements[state.range(0)].ours);
  TQuboParser expression;
  expression.LoadFromStored(compiler.ToStored());
  if (!expression.Execute(ctx)) {
    state.SkipWithError(expression.LastError().c_str());
    return;
  }
  const double ns = TimedLoop(state, [&] { benchmark::DoNotOptimize(expression.Execute(ctx)); });
  state.counters["ns_per_call"] = ns;
  const auto it = LuaNs().find(state.range(0));
  if (it != LuaNs().end() && it->second > 0) state.counters["vs_lua"] = ns / it->second;
}

#ifdef QUBO_HAVE_LUA
void BM_LuaString(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  const std::string text = Text(true);
  lua_pushlstring(L, text.data(), text.size());
  lua_setglobal(L, "t");
  lua_pushinteger(L, kMiddle);
  lua_setglobal(L, "i");
  if (luaL_loadstring(L, kStatements[state.range(0)].lua) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
  const double ns = TimedLoop(state, [&] {
    lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
    benchmark::DoNotOptimize(lua_pcall(L, 0, 0, 0));
  });
  state.counters["ns_per_call"] = ns;
  LuaNs()[state.range(0)] = ns;
  lua_close(L);
}
#endif

// Lua first, so that each of ours finds the measurement to compare with.
void Register() {
  for (int64_t st = 0; st < 4; ++st) {
#ifdef QUBO_HAVE_LUA
    benchmark::RegisterBenchmark("BM_LuaString", BM_LuaString)->Arg(st)->Iterations(200000);
#endif
    benchmark::RegisterBenchmark("BM_SysFunc", BM_SysFunc)->Arg(st)->Iterations(200000);
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
