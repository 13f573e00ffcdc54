// The execution engine: commands per second of a tight counted loop (WhileInit, While, Calc,
// WhileLoop) run within one tick, beside the same loop in Lua 5.4; and loading a page of
// 20 000 commands from its bytes.

#include <benchmark/benchmark.h>

#include "authoring/pagebuilder.h"
#include "script/callman.h"
#include "script/paramcollection.h"

#ifdef QUBO_HAVE_LUA
#include <lua.hpp>
#endif

using namespace qubo;
using namespace qubo::authoring;

namespace {

class MemoryHost : public TEngineHost {
 public:
  std::vector<uint8_t> page;
  bool HasPage(const std::string&) override { return true; }
  std::vector<uint8_t> ReadPage(const std::string&) override { return page; }
};

// i from 0 to n-1: s = s + i. Four commands per turn: While, Calc, WhileLoop (and the Calc of
// the loop step inside it).
std::vector<uint8_t> LoopPage(int32_t n) {
  TPageBuilder b;
  b.Add(cmdVarNew, 0, {Str("i"), Int(PT_INT), Expr("0"), Int(0)});
  b.Add(cmdVarNew, 0, {Str("s"), Int(PT_INT), Expr("0"), Int(0)});
  b.Add(cmdWhileInit, 0, {Expr("i = 0")});
  const int32_t head = b.Add(cmdWhile, 0, {Expr("i < " + std::to_string(n)), Int(0)});
  b.Add(cmdCalc, 1, {Expr("s = s + i")});
  const int32_t step = b.Add(cmdWhileLoop, 0, {Expr("i = i + 1"), Int(head)});
  b.SetInt(head, 1, step + 1);
  return b.Bytes();
}

void BM_LoopCommands(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  MemoryHost host;
  host.page = LoopPage(n);
  for (auto _ : state) {
    TParamCollection vars;
    TExprContext ctx;
    ctx.vars = &vars;
    TCallMan engine(host, ctx);
    engine.Stack().SetVars(&vars);
    engine.Start("loop.qsb");
    engine.Run();
    benchmark::DoNotOptimize(vars.FindVar("s")->Value().AsInt());
  }
  state.SetItemsProcessed(state.iterations() * 3 * n);
  state.counters["commands/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 3 * n, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopCommands)->Arg(100000)->Unit(benchmark::kMillisecond);

#ifdef QUBO_HAVE_LUA
void BM_LoopLua(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  const std::string code = "s = 0 i = 0 while i < " + std::to_string(state.range(0)) + " do s = s + i i = i + 1 end";
  luaL_loadstring(L, code.c_str());
  const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    lua_pcall(L, 0, 0, 0);
  }
  state.SetItemsProcessed(state.iterations() * 3 * state.range(0));
  lua_close(L);
}
BENCHMARK(BM_LoopLua)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

void BM_LoadPage(benchmark::State& state) {
  TPageBuilder b;
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (int32_t i = 0; i < n; ++i) {
    switch (i % 4) {
      case 0: b.Add(cmdCalc, 0, {Expr("x = x + " + std::to_string(i))}); break;
      case 1: b.Add(cmdIf, 0, {Expr("x > 10 | y == \"abc\"")}); break;
      case 2: b.Add(cmdLabel, 1, {Str("label" + std::to_string(i))}); break;
      default: b.Add(cmdWait, 1, {Expr(""), Expr("100"), Expr("0")}); break;
    }
  }
  const std::vector<uint8_t> bytes = b.Bytes();
  for (auto _ : state) {
    TPage page;
    page.LoadFromBytes("big.qsb", bytes);
    benchmark::DoNotOptimize(page.Count());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  state.counters["commands"] = static_cast<double>(n);
}
BENCHMARK(BM_LoadPage)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
