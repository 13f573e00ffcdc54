// Variable lookup with every name in one hash bucket (10, 10^3 and 10^4 names), beside a walk
// of that bucket's chain as the plain hashed collection does it; and the game record of 10^5
// variables written and read back.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "script/paramcollection.h"
#include "support/hash.h"
#include "support/stream.h"

using namespace qubo;

namespace {

// Names of one length whose first and second-to-last bytes agree share a bucket.
std::string ClusteredName(int i) { return "v" + std::to_string(100000 + i) + "_z"; }

void Fill(TParamCollection& t, int n) {
  for (int i = 0; i < n; ++i) t.AddNamed(PT_INT, ClusteredName(i))->Value().SetInt(i);
}

void BM_FindVar(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TParamCollection t;
  Fill(t, n);
  std::vector<std::string> names;
  for (int i = 0; i < n; i += (n > 64 ? n / 64 : 1)) names.push_back(ClusteredName(i));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.FindVar(names[k]));
    if (++k == names.size()) k = 0;
  }
}
BENCHMARK(BM_FindVar)->Arg(10)->Arg(1000)->Arg(10000);

// The peer: the bucket chain walked from its head, comparing names.
void BM_ChainWalk(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  THashCollection c;
  for (int i = 0; i < n; ++i) c.AddNamed(ClusteredName(i));
  std::vector<std::string> names;
  for (int i = 0; i < n; i += (n > 64 ? n / 64 : 1)) names.push_back(ClusteredName(i));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.Find(names[k]));
    if (++k == names.size()) k = 0;
  }
}
BENCHMARK(BM_ChainWalk)->Arg(10)->Arg(1000)->Arg(10000);

void BM_SaveGameVars(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TParamCollection t;
  Fill(t, n);
  TKoMemoryStream s;
  for (auto _ : state) {
    s.Clear();
    t.SaveGameVars(s);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * s.GetSize());
}
BENCHMARK(BM_SaveGameVars)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LoadGameVars(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TParamCollection source;
  Fill(source, n);
  TKoMemoryStream s;
  source.SaveGameVars(s);
  TParamCollection t;
  for (auto _ : state) {
    s.SetPosition(0);
    t.LoadGameVars(s, TParamCollection::kCurrentSaveVersion);  // replaces the previous load
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * s.GetSize());
}
BENCHMARK(BM_LoadGameVars)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
