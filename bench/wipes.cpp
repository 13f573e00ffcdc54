// Screen transitions at 800 x 600 and 1920 x 1080: the time of one step of each kind (the
// elapsed time moves on every step, so mask kinds redraw their mask), Prepare timed apart,
// beside memcpy of one frame. Counter x_memcpy: a step's time over the memcpy of the frame.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/dibx.h"
#include "render/wipe.h"

using namespace qubo;

namespace {

const char* const kNames[] = {"none",   "fade",      "blindh",    "blindv",    "curtainh", "curtainv", "scrollh",
                              "scrollv", "grid",     "gridh",     "gridv",     "dither",   "white",    "black",
                              "flash",  "mosaic",    "sudareh",   "sudarev",   "spot",     "maskfade", "maskwhite",
                              "maskblack", "small",  "big",       "ripple",    "blurwhite", "blurblack", "twisth",
                              "twistv", "crack",     "zoomin",    "clockhand", "rubberh",  "rubberv",  "fan",
                              "wfan",   "circle",    "blockcoil", "blockrandom"};

struct Screen {
  int32_t w, h;
  TDIBX from, to, dest, maskImage;
  Screen(int32_t width, int32_t height) : w(width), h(height) {
    std::mt19937 rng(1);
    for (TDIBX* s : {&from, &to, &dest}) s->SetSize(w, h, 32);
    for (int32_t y = 0; y < h; ++y) {
      auto* f = reinterpret_cast<uint32_t*>(from.Lock(0, y));
      auto* t = reinterpret_cast<uint32_t*>(to.Lock(0, y));
      for (int32_t x = 0; x < w; ++x) {
        f[x] = rng() & 0x00FFFFFF;
        t[x] = rng() & 0x00FFFFFF;
      }
    }
    maskImage.SetSize(256, 256, 8);
    for (int32_t y = 0; y < 256; ++y)
      for (int32_t x = 0; x < 256; ++x) maskImage.SetPixel(x, y, static_cast<uint32_t>((x + y) / 2));
  }
  size_t Bytes() const { return size_t(w) * size_t(h) * 4; }
};

Screen& GetScreen(int64_t w, int64_t h) {
  static std::map<std::pair<int64_t, int64_t>, std::unique_ptr<Screen>> screens;
  auto& s = screens[{w, h}];
  if (!s) s = std::make_unique<Screen>(static_cast<int32_t>(w), static_cast<int32_t>(h));
  return *s;
}

// Seconds of one memcpy of the frame: the best of several batches.
double MemcpySeconds(Screen& s) {
  static std::map<std::pair<int32_t, int32_t>, double> cache;
  auto it = cache.find({s.w, s.h});
  if (it != cache.end()) return it->second;
  std::vector<uint8_t> a(s.Bytes(), 1), b(s.Bytes());
  double best = 1e9;
  for (int rep = 0; rep < 7; ++rep) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
      std::memcpy(b.data(), a.data(), a.size());
      benchmark::DoNotOptimize(b.data());
      benchmark::ClobberMemory();
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / 10);
  }
  cache[{s.w, s.h}] = best;
  return best;
}

std::unique_ptr<TCustomWipe> NewWipe(int32_t kind, Screen& s, TWipeRandom& rnd) {
  TWipeServices services;
  services.random = &rnd;
  auto w = CreateWipe(kind, &s.dest, &s.from, &s.to, services);
  w->Duration = 1 << 20;
  w->Elapsed = 0;
  if (kind == WP_MASKFADE || kind == WP_MASKWHITE || kind == WP_MASKBLACK) w->SetSourceImage(s.maskImage);
  return w;
}

void BM_Memcpy(benchmark::State& state) {
  Screen& s = GetScreen(state.range(0), state.range(1));
  std::vector<uint8_t> a(s.Bytes(), 1), b(s.Bytes());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.Bytes()));
}

void BM_Step(benchmark::State& state, int32_t kind) {
  Screen& s = GetScreen(state.range(0), state.range(1));
  TWipeSeededRandom rnd(1);
  auto w = NewWipe(kind, s, rnd);
  w->Prepare();
  // Steps spread over the whole transition by a golden-ratio stride, so that consecutive steps
  // are at different progress values and mask kinds redraw.
  int64_t i = 0;
  for (auto _ : state) {
    w->Elapsed = static_cast<int32_t>((i * 648055 + 1) % w->Duration);
    ++i;
    benchmark::DoNotOptimize(w->Step());
  }
  // (time per step) / (time of one memcpy): the rate of "memcpy-seconds" per step, inverted.
  state.counters["x_memcpy"] = benchmark::Counter(
      MemcpySeconds(s), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Prepare(benchmark::State& state, int32_t kind) {
  Screen& s = GetScreen(state.range(0), state.range(1));
  TWipeSeededRandom rnd(1);
  for (auto _ : state) {
    auto w = NewWipe(kind, s, rnd);
    w->Prepare();
    benchmark::DoNotOptimize(w.get());
  }
}

const int kRegistered = [] {
  for (auto [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}})
    benchmark::RegisterBenchmark("memcpy_frame", BM_Memcpy)->Args({w, h})->Unit(benchmark::kMillisecond);
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind) {
    const std::string name = kNames[kind];
    for (auto [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
      benchmark::RegisterBenchmark(("step/" + name).c_str(), BM_Step, kind)->Args({w, h})->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("prepare/" + name).c_str(), BM_Prepare, kind)
          ->Args({w, h})
          ->Unit(benchmark::kMillisecond);
    }
  }
  return 0;
}();

}  // namespace
