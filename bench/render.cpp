// Drawing surfaces against their floor and peers, frame-sized: memcpy of the frame, then each
// operation of ours beside the nearest pixman operation. Counters: x_memcpy is our time over
// the memcpy of the same frame, x_pixman our time over pixman's (below 1 is faster).
// The three are timed the same way at the same moment: interleaved batches, the best batch of
// each, so that load from other processes weighs on all of them alike (the figures of the
// Time column are Google Benchmark's own mean and are not used for the ratios).
// PIXMAN_OP_ADD without a mask is a plain saturating add: it does less than our weighted add
// (no multiply per channel); it is still the nearest operation. pixman 0.42 has no fast path
// for ADD between x8r8g8b8 images (our format) and goes through its general scanline path,
// so DrawAdd is also timed against the same ADD on the same memory declared a8r8g8b8
// (x_pixman_argb), which takes pixman's fast path: the harder figure to beat.
// pixman does not compute this system's arithmetic (the >> 8 blend, equal pixels left alone,
// exact copies at 255); it is the nearest work, not the same bytes. SDL2's software blitter
// is not measured here.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "render/crossfade.h"
#include "render/dibx.h"
#include "render/drawrows.h"

#ifdef QUBO_HAVE_PIXMAN
#include <pixman.h>
#endif

using namespace qubo;

namespace {

struct Frame {
  int32_t w, h;
  TDIBX a, b, c, mask;
  Frame(int32_t width, int32_t height) : w(width), h(height) {
    std::mt19937 rng(1);
    for (TDIBX* s : {&a, &b, &c}) {
      s->SetSize(w, h, 32);
      for (int32_t y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(s->Lock(0, y));
        for (int32_t x = 0; x < w; ++x) row[x] = rng() & 0x00FFFFFF;
      }
    }
    mask.SetSize(w, h, 8);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = mask.Lock(0, y);
      // A sprite-like mask: runs of opaque, transparent and edge values.
      for (int32_t x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(((x / 64 + y / 64) % 3 == 0) ? 0 : ((x % 64) < 48 ? 255 : rng()));
    }
  }
  size_t Bytes() const { return size_t(w) * h * 4; }
};

Frame& GetFrame(int64_t w, int64_t h) {
  static std::map<std::pair<int64_t, int64_t>, std::unique_ptr<Frame>> frames;
  auto& f = frames[{w, h}];
  if (!f) f = std::make_unique<Frame>(static_cast<int32_t>(w), static_cast<int32_t>(h));
  return *f;
}

// Seconds per run of fn over one batch of runs.
template <typename Fn>
double Batch(Fn&& fn) {
  constexpr int kRuns = 8;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kRuns; ++i) fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / kRuns;
}

struct MemcpyRun {
  std::vector<uint8_t> dst;
  const uint8_t* src;
  size_t bytes;
  explicit MemcpyRun(Frame& f) : dst(f.Bytes()), src(f.a.Lock(0, 0)), bytes(f.Bytes()) {}
  void operator()() {
    std::memcpy(dst.data(), src, bytes);
    benchmark::DoNotOptimize(dst.data());
  }
};

#ifdef QUBO_HAVE_PIXMAN
struct Pix {
  pixman_image_t *a, *b, *c, *mask, *solid, *bArgb, *cArgb;
  explicit Pix(Frame& f) {
    auto wrap = [&](TDIBX& s, pixman_format_code_t fmt) {
      return pixman_image_create_bits(fmt, s.Width(), s.Height(), reinterpret_cast<uint32_t*>(s.Lock(0, 0)), s.Pitch());
    };
    a = wrap(f.a, PIXMAN_a8r8g8b8);
    b = wrap(f.b, PIXMAN_x8r8g8b8);
    c = wrap(f.c, PIXMAN_x8r8g8b8);
    bArgb = wrap(f.b, PIXMAN_a8r8g8b8);
    cArgb = wrap(f.c, PIXMAN_a8r8g8b8);
    mask = wrap(f.mask, PIXMAN_a8);
    pixman_color_t half{0x8000, 0x8000, 0x8000, 0x8000};
    solid = pixman_image_create_solid_fill(&half);
  }
};
Pix& GetPix(Frame& f) {
  static std::map<Frame*, std::unique_ptr<Pix>> pix;
  auto& p = pix[&f];
  if (!p) p = std::make_unique<Pix>(f);
  return *p;
}
enum class PixOp { OverSolid, OverMask, Add, CrossFade, AddArgb };
void PixmanRun(Frame& f, Pix& p, PixOp op) {
  switch (op) {
    case PixOp::OverSolid:
      pixman_image_composite32(PIXMAN_OP_OVER, p.b, p.solid, p.c, 0, 0, 0, 0, 0, 0, f.w, f.h);
      break;
    case PixOp::OverMask:
      pixman_image_composite32(PIXMAN_OP_OVER, p.b, p.mask, p.c, 0, 0, 0, 0, 0, 0, f.w, f.h);
      break;
    case PixOp::Add:
      pixman_image_composite32(PIXMAN_OP_ADD, p.b, nullptr, p.c, 0, 0, 0, 0, 0, 0, f.w, f.h);
      break;
    case PixOp::AddArgb:
      pixman_image_composite32(PIXMAN_OP_ADD, p.bArgb, nullptr, p.cArgb, 0, 0, 0, 0, 0, 0, f.w, f.h);
      break;
    case PixOp::CrossFade:
      pixman_image_composite32(PIXMAN_OP_SRC, p.a, nullptr, p.c, 0, 0, 0, 0, 0, 0, f.w, f.h);
      pixman_image_composite32(PIXMAN_OP_OVER, p.b, p.solid, p.c, 0, 0, 0, 0, 0, 0, f.w, f.h);
      break;
  }
}
#endif

// Runs one of our operations and reports the ratios: ours, memcpy and pixman in turns, one
// warm-up run each, then the best of several interleaved batches of each.
template <typename Fn>
void Ours(benchmark::State& state, Frame& f, int pixOp, Fn&& fn, int pixOp2 = -1) {
  for (auto _ : state) fn();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.Bytes()));
  MemcpyRun mem(f);
  double ours = 1e9, floor = 1e9;
#ifdef QUBO_HAVE_PIXMAN
  double peer = 1e9;
  Pix& p = GetPix(f);
  auto pix = [&] { PixmanRun(f, p, static_cast<PixOp>(pixOp)); };
  auto pix2 = [&] { PixmanRun(f, p, static_cast<PixOp>(pixOp2)); };
  double peer2 = 1e9;
  if (pixOp >= 0) pix();
  if (pixOp2 >= 0) pix2();
#endif
  fn();
  mem();
  for (int batch = 0; batch < 7; ++batch) {
    ours = std::min(ours, Batch(fn));
    floor = std::min(floor, Batch(mem));
#ifdef QUBO_HAVE_PIXMAN
    if (pixOp >= 0) peer = std::min(peer, Batch(pix));
    if (pixOp2 >= 0) peer2 = std::min(peer2, Batch(pix2));
#endif
  }
  state.counters["x_memcpy"] = ours / floor;
#ifdef QUBO_HAVE_PIXMAN
  if (pixOp >= 0) state.counters["x_pixman"] = ours / peer;
  if (pixOp2 >= 0) state.counters["x_pixman_argb"] = ours / peer2;
#else
  (void)pixOp, (void)pixOp2;
#endif
}

void BM_Memcpy(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  MemcpyRun run(f);
  Ours(state, f, -1, run);
}

// The memory floor of an in-place draw from one source: read both frames, write one back,
// with no arithmetic to speak of.
void BM_ReadModifyWriteFloor(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  auto* d = reinterpret_cast<uint64_t*>(f.c.Lock(0, 0));
  const auto* s = reinterpret_cast<const uint64_t*>(f.b.Lock(0, 0));
  const size_t words = f.Bytes() / 8;
  Ours(state, f, 4, [&] {
    for (size_t i = 0; i < words; ++i) d[i] |= s[i];
    benchmark::DoNotOptimize(d);
  });
}

void BM_DrawBlend(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  Ours(state, f, 0, [&] { f.c.DrawBlend(0, 0, 128, false, false, false, f.b.BoundsRect(), f.b); });
}

void BM_DrawAlphaMask(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  Ours(state, f, 1, [&] { f.c.DrawAlpha(0, 0, f.mask, false, false, f.b.BoundsRect(), f.b); });
}

void BM_DrawAdd(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  Ours(state, f, 2, [&] { f.c.DrawAdd(0, 0, 200, false, false, false, f.b.BoundsRect(), f.b); }, 4);
}

void BM_CrossFade(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  Ours(state, f, 3, [&] { CrossFade(f.c, f.a, f.b, 100); });
}

void BM_CrossFadeMasked(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  Ours(state, f, 1, [&] { CrossFadeMasked(f.c, f.a, f.b, f.mask, false); });
}

// The blend kernel of each variant alone, to show what the run-time choice buys.
void BM_BlendKernel(benchmark::State& state) {
  Frame& f = GetFrame(state.range(0), state.range(1));
  const auto variants = rows::AllKernels32();
  const size_t which = static_cast<size_t>(state.range(2));
  if (which >= variants.size()) {
    state.SkipWithError("variant not available on this processor");
    return;
  }
  const rows::TRowKernels32& k = *variants[which];
  state.SetLabel(k.name);
  Ours(state, f, 0, [&] {
    for (int32_t y = 0; y < f.h; ++y)
      k.blend(reinterpret_cast<uint32_t*>(f.c.Lock(0, y)), reinterpret_cast<const uint32_t*>(f.b.Lock(0, y)), f.w, 128, 0,
              false);
  });
}

#define SIZES Args({1280, 720})->Args({1920, 1080})
BENCHMARK(BM_Memcpy)->SIZES;
BENCHMARK(BM_ReadModifyWriteFloor)->SIZES;
BENCHMARK(BM_DrawBlend)->SIZES;
BENCHMARK(BM_DrawAlphaMask)->SIZES;
BENCHMARK(BM_DrawAdd)->SIZES;
BENCHMARK(BM_CrossFade)->SIZES;
BENCHMARK(BM_CrossFadeMasked)->SIZES;
BENCHMARK(BM_BlendKernel)->Args({1920, 1080, 0})->Args({1920, 1080, 1})->Args({1920, 1080, 2});

}  // namespace
