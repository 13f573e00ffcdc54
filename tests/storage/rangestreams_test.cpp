#include "storage/rangestreams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "storage/scrambles.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint32_t salt = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 131 + i / 253 + salt) & 0xFF);
  return v;
}

std::vector<uint8_t> ReadAll(TStream& s, int64_t n) {
  std::vector<uint8_t> out(static_cast<size_t>(n));
  out.resize(static_cast<size_t>(s.Read(out.data(), n)));
  return out;
}

TEST(TRangeStream, SeeksAndReadsAreClampedToTheWindow) {
  TKoMemoryStream source(Pattern(200));
  TRangeStream r(source, 50, 100);
  EXPECT_EQ(r.GetSize(), 50);
  EXPECT_EQ(r.Seek(-5, SeekOrigin::Begin), 0);
  EXPECT_EQ(r.Seek(60, SeekOrigin::Begin), 50);
  EXPECT_EQ(r.Seek(-10, SeekOrigin::End), 40);
  EXPECT_EQ(r.Seek(3, SeekOrigin::Current), 43);
  EXPECT_EQ(r.Seek(INT64_MAX, SeekOrigin::Current), 50);
  EXPECT_EQ(r.Seek(INT64_MIN, SeekOrigin::Current), 0);

  r.Seek(-10, SeekOrigin::End);
  uint8_t buf[100];
  EXPECT_EQ(r.Read(buf, 100), 10);
  const std::vector<uint8_t> all = Pattern(200);
  EXPECT_TRUE(std::equal(buf, buf + 10, all.begin() + 140));
  EXPECT_EQ(r.Read(buf, 100), 0);
  EXPECT_EQ(r.GetPosition(), 50);
  EXPECT_EQ(r.Read(buf, -1), 0);
}

TEST(TRangeStream, WindowShapes) {
  const std::vector<uint8_t> all = Pattern(100);
  struct Case {
    int64_t size, start, wantStart, wantSize;
  };
  const Case cases[] = {
      {0, 30, 30, 70},    // size 0: up to the end of the source
      {20, 30, 30, 20},   // an ordinary window
      {500, 90, 90, 10},  // cut at the end of the source
      {10, 150, 100, 0},  // starting beyond the source
      {-7, 10, 10, 0},    // a negative size is empty
      {10, -5, 0, 10},    // a negative start is the source's start
  };
  for (const Case& c : cases) {
    TKoMemoryStream source(all);
    TRangeStream r(source, c.size, c.start);
    EXPECT_EQ(r.Start(), c.wantStart) << c.size << "/" << c.start;
    ASSERT_EQ(r.GetSize(), c.wantSize) << c.size << "/" << c.start;
    const std::vector<uint8_t> got = ReadAll(r, 1000);
    EXPECT_EQ(got, std::vector<uint8_t>(all.begin() + c.wantStart, all.begin() + c.wantStart + c.wantSize));
  }
}

TEST(TRangeStream, WriteChangesNothing) {
  TKoMemoryStream source(Pattern(40));
  TRangeStream r(source, 20, 10);
  const uint8_t junk[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(r.Write(junk, 5), 0);
  EXPECT_EQ(r.GetPosition(), 0);
  EXPECT_THROW(r.WriteBuffer(junk, 5), StreamError);
  EXPECT_EQ(source.Bytes(), Pattern(40));
  EXPECT_THROW(r.SetSize(3), StreamError);
}

TEST(TRangeStream, KeepsItsOwnPositionWhenTheSourceMoves) {
  TKoMemoryStream source(Pattern(100));
  TRangeStream a(source, 10, 0), b(source, 10, 50);
  uint8_t x[4], y[4];
  a.ReadBuffer(x, 4);
  b.ReadBuffer(y, 4);
  a.ReadBuffer(x, 4);
  const std::vector<uint8_t> all = Pattern(100);
  EXPECT_TRUE(std::equal(x, x + 4, all.begin() + 4));
  EXPECT_TRUE(std::equal(y, y + 4, all.begin() + 50));
}

TEST(TFileRangeStream, ReadsAWindowOfAFile) {
  testkit::TempDir dir;
  const std::string path = dir / "data.bin";
  testkit::WriteFileBytes(path, Pattern(300));
  TFileRangeStream r(path, 0, 256);
  const std::vector<uint8_t> all = Pattern(300);
  EXPECT_EQ(ReadAll(r, 100), std::vector<uint8_t>(all.begin() + 256, all.end()));
  EXPECT_THROW(TFileRangeStream(dir / "missing.bin", 0, 0), StreamError);
}

struct FakeResources : ResourceSource {
  bool Load(const std::string& name, const std::string& type, std::vector<uint8_t>& out) override {
    if (name != "ARCHIVE" || type != "DATA") return false;
    out = Pattern(64);
    return true;
  }
};

TEST(TResourceRangeStream, NeedsAResourceSource) {
  ASSERT_EQ(GetResourceSource(), nullptr);
  EXPECT_THROW(TResourceRangeStream("DATA", 0, 0, "ARCHIVE"), StreamError);
  EXPECT_THROW(TResourceScrambleRangeStream("DATA", 0, 0, "ARCHIVE"), StreamError);
  FakeResources fake;
  SetResourceSource(&fake);
  {
    TResourceRangeStream r("DATA", 8, 4, "ARCHIVE");
    const std::vector<uint8_t> all = Pattern(64);
    EXPECT_EQ(ReadAll(r, 100), std::vector<uint8_t>(all.begin() + 4, all.begin() + 12));
    EXPECT_THROW(TResourceRangeStream("DATA", 0, 0, "OTHER"), StreamError);
  }
  SetResourceSource(nullptr);
}

// A source holding prefix bytes, then a scrambled image of plain, then suffix bytes.
struct ScrambledFixture {
  std::vector<uint8_t> plain;
  TKoMemoryStream source;
  int64_t start = 0, size = 0;
  ScrambledFixture(size_t n, int32_t b, int32_t seed) : ScrambledFixture(Pattern(n, 7), b, seed) {}
  ScrambledFixture(std::vector<uint8_t> bytes, int32_t b, int32_t seed) : plain(std::move(bytes)) {
    TKoMemoryStream img(plain);
    Scramble(img, b, seed);
    std::vector<uint8_t> all = Pattern(13, 99);
    start = static_cast<int64_t>(all.size());
    size = img.GetSize();
    all.insert(all.end(), img.Bytes().begin(), img.Bytes().end());
    const std::vector<uint8_t> tail = Pattern(17, 55);
    all.insert(all.end(), tail.begin(), tail.end());
    source.Assign(std::move(all));
  }
};

TEST(TScrambleRangeStream, ReadsEqualUnscrambleAnywhere) {
  std::mt19937 rng(2024);
  for (int32_t b : {1, 5, 64, 333}) {
    for (size_t n : {size_t{1}, size_t(b), size_t(b) + 1, size_t(10 * b - 1), size_t{4096}}) {
      ScrambledFixture f(n, b, static_cast<int32_t>(rng()));
      TScrambleRangeStream s(f.source, f.size, f.start);
      ASSERT_EQ(s.GetSize(), static_cast<int64_t>(n));
      EXPECT_EQ(s.BlockSize(), b);
      EXPECT_EQ(ReadAll(s, static_cast<int64_t>(n) + 50), f.plain) << "B=" << b << " n=" << n;
      for (int k = 0; k < 60; ++k) {
        const int64_t pos = static_cast<int64_t>(rng() % (n + 1));
        const int64_t len = static_cast<int64_t>(rng() % (3 * b + 10));
        ASSERT_EQ(s.Seek(pos, SeekOrigin::Begin), pos);
        const std::vector<uint8_t> got = ReadAll(s, len);
        const int64_t want = std::min<int64_t>(len, static_cast<int64_t>(n) - pos);
        ASSERT_EQ(static_cast<int64_t>(got.size()), want) << "B=" << b << " n=" << n << " pos=" << pos;
        ASSERT_TRUE(std::equal(got.begin(), got.end(), f.plain.begin() + pos)) << "B=" << b << " pos=" << pos;
        ASSERT_EQ(s.GetPosition(), pos + want);
      }
    }
  }
}

TEST(TScrambleRangeStream, SeekWriteAndEmptyImage) {
  ScrambledFixture f(100, 16, 5);
  TScrambleRangeStream s(f.source, f.size, f.start);
  EXPECT_EQ(s.Seek(-5, SeekOrigin::Begin), 0);
  EXPECT_EQ(s.Seek(1000, SeekOrigin::Begin), 100);
  EXPECT_EQ(s.Seek(-10, SeekOrigin::End), 90);
  EXPECT_EQ(ReadAll(s, 100).size(), 10u);
  const uint8_t junk[3] = {9, 9, 9};
  s.SetPosition(0);
  EXPECT_EQ(s.Write(junk, 3), 0);
  EXPECT_EQ(ReadAll(s, 100), f.plain);

  ScrambledFixture empty(0, 16, 5);
  TScrambleRangeStream e(empty.source, empty.size, empty.start);
  EXPECT_EQ(e.GetSize(), 0);
  EXPECT_EQ(ReadAll(e, 10).size(), 0u);
}

TEST(TScrambleRangeStream, DamagedHeadersAreFormatErrors) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"empty window", {}},
      {"shorter than the header", {4, 0, 0, 0, 0, 0, 0}},
      {"block size 0", {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
      {"negative block size", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    TKoMemoryStream source(c.bytes);
    EXPECT_THROW(TScrambleRangeStream(source, 0, 0), FormatError) << c.what;
  }
  // A window that claims more than the source holds is cut to the source first.
  TKoMemoryStream source(std::vector<uint8_t>{4, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3});
  TScrambleRangeStream s(source, 1000, 0);
  EXPECT_EQ(s.GetSize(), 3);
}

TEST(TFileScrambleRangeStream, ReadsAScrambledMemberOfAFile) {
  ScrambledFixture f(5000, 512, -77);
  testkit::TempDir dir;
  const std::string path = dir / "archive.dat";
  testkit::WriteFileBytes(path, f.source.Bytes());
  TFileScrambleRangeStream s(path, f.size, f.start);
  EXPECT_EQ(ReadAll(s, 10000), f.plain);
}

TEST(TScrambleRangeStream, ConcurrentReadersEachGetWholeChunks) {
  // Chunk k of the plain data starts with k; two threads read chunks in turn. With every
  // read serialised, each chunk arrives whole and exactly once.
  constexpr size_t kChunk = 64, kChunks = 2000;
  std::vector<uint8_t> plain = Pattern(kChunk * kChunks);
  for (size_t k = 0; k < kChunks; ++k) {
    plain[k * kChunk] = static_cast<uint8_t>(k);
    plain[k * kChunk + 1] = static_cast<uint8_t>(k >> 8);
  }
  ScrambledFixture f(plain, 100, 3);
  TScrambleRangeStream s(f.source, f.size, f.start);
  std::vector<int> seen[2];
  std::vector<uint8_t> torn[2];
  auto reader = [&](int t) {
    std::vector<uint8_t> chunk(kChunk);
    while (s.Read(chunk.data(), kChunk) == static_cast<int64_t>(kChunk)) {
      const size_t k = chunk[0] | size_t{chunk[1]} << 8;
      seen[t].push_back(static_cast<int>(k));
      if (k >= kChunks || !std::equal(chunk.begin(), chunk.end(), plain.begin() + k * kChunk)) torn[t].push_back(1);
    }
  };
  std::thread t1(reader, 0), t2(reader, 1);
  t1.join();
  t2.join();
  EXPECT_TRUE(torn[0].empty() && torn[1].empty());
  std::vector<int> all = seen[0];
  all.insert(all.end(), seen[1].begin(), seen[1].end());
  std::sort(all.begin(), all.end());
  ASSERT_EQ(all.size(), kChunks);
  for (size_t k = 0; k < kChunks; ++k) ASSERT_EQ(all[k], static_cast<int>(k));
}

}  // namespace
}  // namespace qubo
