// Reading a scrambled member in place against a plain window over the same bytes (memcpy is
// the floor), unscrambling the whole, and building permutations: the order-statistic draw
// against the list-removal draw it reproduces.

#include <benchmark/benchmark.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "storage/rangestreams.h"
#include "storage/scrambles.h"

using namespace qubo;

namespace {

constexpr int64_t kBytes = 16 << 20;
constexpr int64_t kChunk = 64 << 10;

std::vector<uint8_t> Data() {
  std::vector<uint8_t> v(static_cast<size_t>(kBytes));
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 31 + (i >> 11));
  return v;
}

std::vector<uint8_t> Image(int32_t blockSize) {
  TKoMemoryStream s(Data());
  Scramble(s, blockSize, 0x1234);
  return s.Bytes();
}

void BM_Memcpy(benchmark::State& state) {
  const std::vector<uint8_t> src = Data();
  std::vector<uint8_t> buf(static_cast<size_t>(kChunk));
  for (auto _ : state) {
    for (int64_t at = 0; at < kBytes; at += kChunk) {
      std::memcpy(buf.data(), src.data() + at, static_cast<size_t>(kChunk));
      benchmark::DoNotOptimize(buf.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_Memcpy);

void BM_PlainRangeRead(benchmark::State& state) {
  TKoMemoryStream source(Image(static_cast<int32_t>(state.range(0))));
  TRangeStream r(source, 0, 8);
  std::vector<uint8_t> buf(static_cast<size_t>(kChunk));
  for (auto _ : state) {
    r.SetPosition(0);
    while (r.Read(buf.data(), kChunk) > 0) benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_PlainRangeRead)->Arg(4096);

void BM_ScrambleRangeRead(benchmark::State& state) {
  TKoMemoryStream source(Image(static_cast<int32_t>(state.range(0))));
  TScrambleRangeStream s(source, 0, 0);
  std::vector<uint8_t> buf(static_cast<size_t>(kChunk));
  for (auto _ : state) {
    s.SetPosition(0);
    while (s.Read(buf.data(), kChunk) > 0) benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_ScrambleRangeRead)->Arg(512)->Arg(4096)->Arg(65536);

void BM_UnscrambleWhole(benchmark::State& state) {
  const std::vector<uint8_t> image = Image(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    TKoMemoryStream s(image);
    Unscramble(s);
    benchmark::DoNotOptimize(s.Memory());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_UnscrambleWhole)->Arg(4096);

void BM_MakeForward(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    TScrambleInts p(0x1234);
    p.MakeForward(0, n - 1);
    benchmark::DoNotOptimize(p.Array().data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_MakeForward)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The draw as first described: take list[index] out of a list, moving the tail each time.
void BM_MakeForwardListRemoval(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    std::vector<int32_t> list(static_cast<size_t>(n)), out;
    std::iota(list.begin(), list.end(), 0);
    out.reserve(list.size());
    TGetRandom g(0x1234);
    while (!list.empty()) {
      const int32_t count = static_cast<int32_t>(list.size());
      const int32_t index = count < 2 ? 0 : g.IRandom(0, count - 2);
      out.push_back(list[static_cast<size_t>(index)]);
      list.erase(list.begin() + index);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
// (At 10^6 this takes tens of seconds, so it stops at 10^5.)
BENCHMARK(BM_MakeForwardListRemoval)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
