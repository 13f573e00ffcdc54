// Decoding of a 6-frame 800 x 600 animation (24 bits, zlib planes, one layer with an alpha
// plane per frame) beside the raw inflate of the same plane bytes.

#include <benchmark/benchmark.h>

#include <zlib.h>

#include <algorithm>

#include "authoring/brxauthor.h"
#include "render/brximage.h"
#include "support/stream.h"

namespace {

using namespace qubo;

struct Fixture {
  std::vector<uint8_t> file;
  std::vector<std::vector<uint8_t>> planes;  // the zlib streams of the planes
  std::vector<size_t> sizes;                 // their inflated sizes
  int64_t pixelBytes = 0;
};

const Fixture& Animation(bool blocks) {
  static Fixture fx[2];
  Fixture& f = fx[blocks];
  if (!f.file.empty()) return f;
  authoring::TBrixAuthorDoc doc;
  doc.form = authoring::TBrixForm::Structured;
  if (blocks) {
    doc.header.blockWidth = 32;
    doc.header.blockHeight = 32;
    doc.findReferences = true;
  }
  for (int i = 0; i < 6; ++i) {
    authoring::TBrixAuthorFrame fr;
    fr.width = 800;
    fr.height = 600;
    fr.bpp = 24;
    authoring::TBrixAuthorLayer l;
    l.image = authoring::PatternImage(800, 600, 24, static_cast<uint32_t>(i % 2), true);
    l.alphaOn = true;
    fr.layers = {l};
    doc.frames.push_back(fr);
  }
  f.file = authoring::BuildBrix(doc);
  // The same planes as plain zlib streams.
  for (const auto& fr : doc.frames) {
    for (const TDIBSurface* p : {fr.layers[0].image.get(), fr.layers[0].image->Alpha()}) {
      const size_t n = static_cast<size_t>(p->Pitch()) * static_cast<size_t>(p->Height());
      uLongf bound = compressBound(static_cast<uLong>(n));
      std::vector<uint8_t> z(bound);
      compress2(z.data(), &bound, p->TopRow(), static_cast<uLong>(n), Z_DEFAULT_COMPRESSION);
      z.resize(bound);
      f.planes.push_back(std::move(z));
      f.sizes.push_back(n);
      f.pixelBytes += static_cast<int64_t>(n);
    }
  }
  return f;
}

void BM_BrxDecode(benchmark::State& state) {
  const Fixture& f = Animation(state.range(0) != 0);
  for (auto _ : state) {
    TBrixFrameList list;
    TKoMemoryStream s(f.file);
    list.LoadFromStream(s, false, false, false);
    benchmark::DoNotOptimize(list.Frame(5).Image.TopRow());
  }
  state.SetBytesProcessed(state.iterations() * f.pixelBytes);
}
BENCHMARK(BM_BrxDecode)->Arg(0)->Arg(1)->ArgName("blocks")->Unit(benchmark::kMillisecond);

void BM_RawInflate(benchmark::State& state) {
  const Fixture& f = Animation(false);
  std::vector<uint8_t> out(*std::max_element(f.sizes.begin(), f.sizes.end()));
  for (auto _ : state) {
    for (size_t i = 0; i < f.planes.size(); ++i) {
      uLongf n = static_cast<uLongf>(f.sizes[i]);
      uncompress(out.data(), &n, f.planes[i].data(), static_cast<uLong>(f.planes[i].size()));
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * f.pixelBytes);
}
BENCHMARK(BM_RawInflate)->Unit(benchmark::kMillisecond);

}  // namespace
