// The virtual file system: opening an archive index of 100 000 members, member lookup, and
// reading a large compressed member (150 MB plain, about 60 MB stored) through the file
// system beside raw zlib and raw libdeflate inflation of the same bytes (with the exact
// output size and a ready buffer given to both; the file system reuses its destination
// stream between iterations, as a caller reading into the same stream would).
// BM_ReadCompressedMember reports its speed relative to each peer as counters (run the
// peers first, as registered); the target is at least 0.8 of raw libdeflate.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>
#include <zlib.h>
#ifdef QUBO_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "storage/archive.h"
#include "storage/archivewriter.h"
#include "storage/vrfiles.h"
#include "storage/zlibs.h"
#include "support/stream.h"

using namespace qubo;

namespace {

namespace fs = std::filesystem;

fs::path BenchFolder() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("qubo-bench-vfs-" + std::to_string(::getpid()));
    fs::create_directories(d);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(fs::temp_directory_path() / ("qubo-bench-vfs-" + std::to_string(::getpid())), ec);
    });
    return d;
  }();
  return dir;
}

std::string MemberName(int i) { return "data\\cg\\ev" + std::to_string(i) + ".brx"; }

// An archive of 100 000 empty members: the cost is all in the index.
const std::string& IndexArchive() {
  static const std::string path = [] {
    constexpr int kCount = 100000;
    std::vector<ArchiveEntry> entries(kCount);
    for (int i = 0; i < kCount; ++i) entries[static_cast<size_t>(i)].name = MemberName(i);
    const int64_t end = ArchiveIndexSize(kArchiveVersion, entries);
    for (auto& e : entries) e.offset = end;
    TKoMemoryStream out;
    WriteArchiveIndex(out, kArchiveVersion, entries, 0, end);
    const std::string p = (BenchFolder() / "index.dat").string();
    out.SaveToFile(p);
    return p;
  }();
  return path;
}

void BM_OpenIndex100k(benchmark::State& state) {
  const std::string& path = IndexArchive();
  for (auto _ : state) {
    TVrFileCollection c;
    c.OpenFile(path);
    benchmark::DoNotOptimize(c.FileCount());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_OpenIndex100k)->Unit(benchmark::kMillisecond);

void BM_MemberLookup(benchmark::State& state) {
  TVrFileCollection c;
  c.OpenFile(IndexArchive());
  std::vector<std::string> names;
  for (int i = 0; i < 1024; ++i) names.push_back(MemberName((i * 7919) % 100000));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.FindFile(names[k]));
    k = (k + 1) & 1023;
  }
}
BENCHMARK(BM_MemberLookup);

// 150 MB of archive-like content (script text, smooth image rows, some noise) that
// compresses at the archive level to about 60 MB.
struct BigMember {
  std::vector<uint8_t> plain;
  std::vector<uint8_t> packed;
  std::string archive;
};

const BigMember& Big() {
  static const BigMember big = [] {
    BigMember b;
    const size_t size = 150u << 20;
    b.plain.reserve(size);
    uint32_t seed = 12345;
    auto rnd = [&] {
      seed = seed * 1664525u + 1013904223u;
      return seed >> 8;
    };
    static const char* words[] = {"\x82\xa0", "\x82\xa2", "\x8e\x84", "\x82\xcd", "Mes ", "Wait ", "@Flag", "Jump ", " = ", "\r\n"};
    while (b.plain.size() < size) {
      switch (rnd() % 10) {
        case 0: case 1: case 2: case 3: case 4: case 5: {  // text
          for (int i = 0; i < 2048; ++i) {
            const char* w = words[rnd() % 10];
            while (*w) b.plain.push_back(static_cast<uint8_t>(*w++));
          }
          break;
        }
        case 6: case 7: case 8: {  // image rows
          const uint32_t base = rnd();
          for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 1024; ++x) b.plain.push_back(static_cast<uint8_t>(base + x / 4 + y * 3 + (rnd() % 2)));
          }
          break;
        }
        default:  // noise
          for (int i = 0; i < 2048; ++i) b.plain.push_back(static_cast<uint8_t>(rnd()));
      }
    }
    b.plain.resize(size);
    TKoMemoryStream m(b.plain);
    Compress(m, kArchiveCompressionLevel);
    b.packed = m.Bytes();
    // The same bytes as a member of an archive file.
    std::vector<ArchiveEntry> entries(1);
    entries[0].name = "big.bin";
    entries[0].type = kStoreCompressed;
    const int64_t indexSize = ArchiveIndexSize(kArchiveVersion, entries);
    entries[0].offset = indexSize;
    TKoMemoryStream out;
    WriteArchiveIndex(out, kArchiveVersion, entries, 0, indexSize + static_cast<int64_t>(b.packed.size()));
    out.WriteBuffer(b.packed.data(), static_cast<int64_t>(b.packed.size()));
    b.archive = (BenchFolder() / "big.dat").string();
    out.SaveToFile(b.archive);
    return b;
  }();
  return big;
}

double g_zlibSeconds = 0, g_libdeflateSeconds = 0;

double SecondsPerIteration(benchmark::State& state, std::chrono::steady_clock::duration total) {
  return std::chrono::duration<double>(total).count() / static_cast<double>(state.iterations());
}

void BM_RawZlibInflate(benchmark::State& state) {
  const BigMember& b = Big();
  std::vector<uint8_t> out(b.plain.size());
  std::chrono::steady_clock::duration total{};
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    uLongf n = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &n, b.packed.data(), static_cast<uLong>(b.packed.size())) != Z_OK) state.SkipWithError("zlib");
    total += std::chrono::steady_clock::now() - t0;
  }
  g_zlibSeconds = SecondsPerIteration(state, total);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(b.plain.size()));
  state.counters["packed_MB"] = static_cast<double>(b.packed.size()) / (1 << 20);
}
BENCHMARK(BM_RawZlibInflate)->Unit(benchmark::kMillisecond);

#ifdef QUBO_HAVE_LIBDEFLATE
void BM_RawLibdeflateInflate(benchmark::State& state) {
  const BigMember& b = Big();
  std::vector<uint8_t> out(b.plain.size());
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::chrono::steady_clock::duration total{};
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (libdeflate_zlib_decompress(d, b.packed.data(), b.packed.size(), out.data(), out.size(), nullptr) !=
        LIBDEFLATE_SUCCESS) {
      state.SkipWithError("libdeflate");
    }
    total += std::chrono::steady_clock::now() - t0;
  }
  libdeflate_free_decompressor(d);
  g_libdeflateSeconds = SecondsPerIteration(state, total);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(b.plain.size()));
}
BENCHMARK(BM_RawLibdeflateInflate)->Unit(benchmark::kMillisecond);
#endif

// Read through the file system: the member's bytes from the archive file, inflated into a
// memory stream of unknown final size.
void BM_ReadCompressedMember(benchmark::State& state) {
  const BigMember& b = Big();
  TVrFileManager manager({}, BenchFolder().string());
  manager.AddArchiveFile(b.archive);
  TKoMemoryStream dest;
  std::chrono::steady_clock::duration total{};
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    manager.Read(dest, "BIG.BIN");
    total += std::chrono::steady_clock::now() - t0;
    if (dest.GetSize() != static_cast<int64_t>(b.plain.size())) state.SkipWithError("wrong size");
  }
  const double ours = SecondsPerIteration(state, total);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(b.plain.size()));
  if (g_zlibSeconds > 0) state.counters["x_raw_zlib"] = g_zlibSeconds / ours;
  if (g_libdeflateSeconds > 0) state.counters["x_raw_libdeflate"] = g_libdeflateSeconds / ours;
}
BENCHMARK(BM_ReadCompressedMember)->Unit(benchmark::kMillisecond);

}  // namespace
