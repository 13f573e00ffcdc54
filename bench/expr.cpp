// Expressions: 10^6 runs of four statements over a table with 0 or 1000 other variables, and
// 10^5 compile+run of a short text; beside each the same statement in Lua 5.4 (a precompiled
// chunk, and luaL_loadstring + pcall for the compile case). Each of ours reports ns per
// expression, its ratio to the Lua run measured just before it (vs_lua), and the median
// ratio of alternating batches of both (vs_lua_paired), steadier on a loaded machine.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <map>
#include <string>
#include <vector>

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
    {"i = i + 1", "i = i + 1"},
    {"s = \"x\" ++ t", "s = \"x\" .. t"},
    {"a[i % 100] = a[i % 100] + i * 2", "a[i % 100] = a[i % 100] + i * 2"},
    {"f = Sin(x) * 2.5 + Abs(k)", "f = math.sin(x) * 2.5 + math.abs(k)"},
};
const char* const kShortText = "x = i * 2 + 1";
const char* const kShortLua = "x = i * 2 + 1";

// ns per expression of the last Lua run, by benchmark id, for the ratio.
std::map<int64_t, double>& LuaNs() {
  static std::map<int64_t, double> ns;
  return ns;
}
int64_t Key(int64_t statement, int64_t others) { return statement * 100000 + others; }

// "v<n>", built by appending (GCC 12 warns falsely about "v" + std::to_string(n) at -O2).
std::string OtherName(int n) {
  std::string name = "v";
  name += std::to_string(n);
  return name;
}

void FillOurs(TParamCollection& vars, int others) {
  for (int n = 0; n < others; ++n) vars.AddNamed(PT_INT, OtherName(n))->Value().SetInt(n);
  vars.AddNamed(PT_INT, "i");
  vars.AddNamed(PT_STR, "s");
  vars.AddNamed(PT_STR, "t")->Value().SetStr("abc");
  vars.AddNamed(PT_INT, "a")->Value().SetDims({100});
  vars.AddNamed(PT_FLOAT, "f");
  vars.AddNamed(PT_FLOAT, "x")->Value().SetFloat(0.5L);
  vars.AddNamed(PT_INT, "k")->Value().SetInt(-3);
}

double ThreadNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// CPU time of this thread per run of body (steadier than wall time on a shared machine).
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

void Report(benchmark::State& state, double ns, int64_t key) {
  state.counters["ns_per_expr"] = ns;
  const auto it = LuaNs().find(key);
  if (it != LuaNs().end() && it->second > 0) state.counters["vs_lua"] = ns / it->second;
}

#ifdef QUBO_HAVE_LUA
lua_State* NewLua(int others) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  for (int n = 0; n < others; ++n) {
    lua_pushinteger(L, n);
    lua_setglobal(L, OtherName(n).c_str());
  }
  luaL_dostring(L, "i = 0; s = ''; t = 'abc'; a = {}; for n = 0, 99 do a[n] = 0 end; f = 0.0; x = 0.5; k = -3");
  return L;
}

void BM_LuaRun(benchmark::State& state) {
  lua_State* L = NewLua(static_cast<int>(state.range(1)));
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
  state.counters["ns_per_expr"] = ns;
  LuaNs()[Key(state.range(0), state.range(1))] = ns;
  lua_close(L);
}

void BM_LuaCompileRun(benchmark::State& state) {
  lua_State* L = NewLua(static_cast<int>(state.range(1)));
  const double ns = TimedLoop(state, [&] {
    if (luaL_loadstring(L, kShortLua) == LUA_OK) benchmark::DoNotOptimize(lua_pcall(L, 0, 0, 0));
  });
  state.counters["ns_per_expr"] = ns;
  LuaNs()[Key(9, state.range(1))] = ns;
  lua_close(L);
}

// Ours against Lua in alternating short batches on the same thread: the median of the
// per-round ratios follows the load of a shared machine, which a Lua run measured before
// ours (vs_lua) cannot.
template <class Ours, class Peer>
double PairedRatio(int64_t batch, Ours&& ours, Peer&& peer) {
  constexpr int kRounds = 21;
  std::vector<double> ratios;
  for (int r = 0; r < kRounds; ++r) {
    const double t0 = ThreadNs();
    for (int64_t n = 0; n < batch; ++n) peer();
    const double t1 = ThreadNs();
    for (int64_t n = 0; n < batch; ++n) ours();
    const double t2 = ThreadNs();
    if (t1 > t0) ratios.push_back((t2 - t1) / (t1 - t0));
  }
  if (ratios.empty()) return 0;
  std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2), ratios.end());
  return ratios[ratios.size() / 2];
}
#endif

void BM_ExprRun(benchmark::State& state) {
  const Statement& st = kStatements[state.range(0)];
  TParamCollection vars;
  FillOurs(vars, static_cast<int>(state.range(1)));
  // The player's own built-in functions, so Sin and Abs cost what they cost in a game.
  TSysFuncMan functions(vars);
  TExprContext ctx;
  ctx.vars = &vars;
  ctx.functions = &functions;
  functions.SetContext(&ctx);
  TBuildQuboParser compiler;
  compiler.Compile(st.ours);
  TQuboParser expression;
  expression.LoadFromStored(compiler.ToStored());
  if (!expression.Execute(ctx)) {
    state.SkipWithError(expression.LastError().c_str());
    return;
  }
  const double ns = TimedLoop(state, [&] { benchmark::DoNotOptimize(expression.Execute(ctx)); });
  Report(state, ns, Key(state.range(0), state.range(1)));
#ifdef QUBO_HAVE_LUA
  lua_State* L = NewLua(static_cast<int>(state.range(1)));
  if (luaL_loadstring(L, st.lua) == LUA_OK) {
    const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
    state.counters["vs_lua_paired"] = PairedRatio(
        20000, [&] { benchmark::DoNotOptimize(expression.Execute(ctx)); },
        [&] {
          lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
          benchmark::DoNotOptimize(lua_pcall(L, 0, 0, 0));
        });
  }
  lua_close(L);
#endif
}

void BM_ExprCompileRun(benchmark::State& state) {
  TParamCollection vars;
  FillOurs(vars, static_cast<int>(state.range(1)));
  TExprContext ctx;
  ctx.vars = &vars;
  vars.AddNamed(PT_INT, "x0");
  const double ns = TimedLoop(state, [&] { benchmark::DoNotOptimize(RunText(ctx, kShortText)); });
  Report(state, ns, Key(9, state.range(1)));
#ifdef QUBO_HAVE_LUA
  lua_State* L = NewLua(static_cast<int>(state.range(1)));
  state.counters["vs_lua_paired"] = PairedRatio(
      2000, [&] { benchmark::DoNotOptimize(RunText(ctx, kShortText)); },
      [&] {
        if (luaL_loadstring(L, kShortLua) == LUA_OK) benchmark::DoNotOptimize(lua_pcall(L, 0, 0, 0));
      });
  lua_close(L);
#endif
}


// Lua first, so that each of ours finds the measurement to compare with.
void Register() {
  for (int64_t st = 0; st < 4; ++st) {
    for (int64_t others : {0, 1000}) {
#ifdef QUBO_HAVE_LUA
      benchmark::RegisterBenchmark("BM_LuaRun", BM_LuaRun)->Args({st, others})->Iterations(1000000);
#endif
      benchmark::RegisterBenchmark("BM_ExprRun", BM_ExprRun)->Args({st, others})->Iterations(1000000);
    }
  }
  for (int64_t others : {0, 1000}) {
#ifdef QUBO_HAVE_LUA
    benchmark::RegisterBenchmark("BM_LuaCompileRun", BM_LuaCompileRun)->Args({9, others})->Iterations(100000);
#endif
    benchmark::RegisterBenchmark("BM_ExprCompileRun", BM_ExprCompileRun)->Args({9, others})->Iterations(100000);
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
