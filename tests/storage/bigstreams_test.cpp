#include "storage/bigstreams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/errors.h"
#include "support/record.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 37 + i / 256);
  return v;
}

int64_t FileSize(const std::string& path) { return static_cast<int64_t>(fs::file_size(path)); }

TEST(TKoBigFileStream, SegmentNames) {
  struct Case {
    const char* path;
    int index;
    const char* want;
  };
  const Case cases[] = {
      {"game.dat", 0, "game.dat"},
      {"game.dat", 1, "game.001"},
      {"game.dat", 12, "game.012"},
      {"game.dat", 1000, "game.1000"},
      {"dir/game", 1, "dir/game.001"},
      {"a.b/game", 2, "a.b/game.002"},
      {"a.b/game.x.dat", 3, "a.b/game.x.003"},
  };
  for (const Case& c : cases) EXPECT_EQ(TKoBigFileStream::SegmentName(c.path, c.index), c.want);
}

TEST(TKoBigFileStream, OneByteMoreThanASegment) {
  testkit::TempDir dir;
  const std::string path = dir / "data.bin";
  const std::vector<uint8_t> bytes = Pattern(1025);
  {
    TKoBigFileStream s(path, TKoBigFileStream::Mode::Create, 1024);
    s.WriteBuffer(bytes.data(), 1025);
    EXPECT_EQ(s.GetSize(), 1025);
    EXPECT_EQ(s.SegmentCount(), 2);
  }
  EXPECT_EQ(FileSize(path), 1024);
  EXPECT_EQ(FileSize(dir / "data.001"), 1);
  EXPECT_FALSE(fs::exists(dir / "data.002"));

  TKoBigFileStream r(path, TKoBigFileStream::Mode::OpenRead, 1024);
  EXPECT_EQ(r.GetSize(), 1025);
  r.SetPosition(1000);
  std::vector<uint8_t> got(100);
  EXPECT_EQ(r.Read(got.data(), 100), 25);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 25, bytes.begin() + 1000));
}

TEST(TKoBigFileStream, WritesAndReadsAcrossManySegments) {
  testkit::TempDir dir;
  const std::string path = dir / "big.dat";
  const std::vector<uint8_t> bytes = Pattern(100 * 7 + 33);
  {
    TKoBigFileStream s(path, TKoBigFileStream::Mode::Create, 100);
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(s.SegmentCount(), 8);
    // Overwrite across a boundary.
    s.SetPosition(195);
    const uint8_t x[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    s.WriteBuffer(x, 10);
  }
  std::vector<uint8_t> want = bytes;
  for (int i = 0; i < 10; ++i) want[195 + static_cast<size_t>(i)] = static_cast<uint8_t>(i + 1);
  TKoBigFileStream r(path, TKoBigFileStream::Mode::OpenRead, 100);
  ASSERT_EQ(r.GetSize(), static_cast<int64_t>(want.size()));
  std::vector<uint8_t> got(want.size());
  r.ReadBuffer(got.data(), static_cast<int64_t>(got.size()));
  EXPECT_EQ(got, want);
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(FileSize(TKoBigFileStream::SegmentName(path, i)), i < 7 ? 100 : 33);
}

TEST(TKoBigFileStream, CreateDeletesOldSegmentsUpToTheFirstGap) {
  testkit::TempDir dir;
  const std::string path = dir / "game.dat";
  for (const char* name : {"game.dat", "game.001", "game.002", "game.004"})
    testkit::WriteFileBytes(dir / name, Pattern(10));
  {
    TKoBigFileStream s(path, TKoBigFileStream::Mode::Create, 1024);
    EXPECT_EQ(s.GetSize(), 0);
  }
  EXPECT_EQ(FileSize(path), 0);
  EXPECT_FALSE(fs::exists(dir / "game.001"));
  EXPECT_FALSE(fs::exists(dir / "game.002"));
  EXPECT_TRUE(fs::exists(dir / "game.004"));
}

TEST(TKoBigFileStream, OpenModes) {
  testkit::TempDir dir;
  const std::string path = dir / "f.dat";
  EXPECT_THROW(TKoBigFileStream(path, TKoBigFileStream::Mode::OpenRead, 16), StreamError);
  testkit::WriteFileBytes(path, Pattern(16));
  {
    TKoBigFileStream r(path, TKoBigFileStream::Mode::OpenRead, 16);
    r.Seek(0, SeekOrigin::End);
    const uint8_t b = 1;
    EXPECT_EQ(r.Write(&b, 1), 0);
    EXPECT_EQ(r.SegmentCount(), 1);
    EXPECT_EQ(r.Seek(100, SeekOrigin::Begin), 16);
    EXPECT_EQ(r.Seek(-100, SeekOrigin::Current), 0);
  }
  EXPECT_FALSE(fs::exists(dir / "f.001"));
  {
    // Read/write: writing at the end of a full segment opens the next one.
    TKoBigFileStream w(path, TKoBigFileStream::Mode::OpenReadWrite, 16);
    w.Seek(0, SeekOrigin::End);
    const uint8_t b[3] = {7, 8, 9};
    w.WriteBuffer(b, 3);
    EXPECT_EQ(w.GetSize(), 19);
  }
  EXPECT_EQ(testkit::ReadFileBytes(dir / "f.001"), (std::vector<uint8_t>{7, 8, 9}));
}

TEST(TKoBigFileStream, DefaultSegmentBoundaryOnASparseFile) {
  testkit::TempDir dir;
  const std::string path = dir / "huge.dat";
  const int64_t segment = TKoBigFileStream::kDefaultSegmentSize;
  {
    TFileStream f(path, TFileStream::Mode::Create);
    f.SetSize(segment);  // sparse: no data blocks are written
  }
  {
    TKoBigFileStream s(path, TKoBigFileStream::Mode::OpenReadWrite);
    EXPECT_EQ(s.Seek(0, SeekOrigin::End), segment);
    const uint8_t b = 0xAB;
    s.WriteBuffer(&b, 1);
    EXPECT_EQ(s.GetSize(), segment + 1);
  }
  EXPECT_EQ(FileSize(path), segment);
  EXPECT_EQ(testkit::ReadFileBytes(dir / "huge.001"), std::vector<uint8_t>{0xAB});
  TKoBigFileStream r(path, TKoBigFileStream::Mode::OpenRead);
  r.SetPosition(segment - 1);
  uint8_t two[2];
  r.ReadBuffer(two, 2);
  EXPECT_EQ(two[0], 0);
  EXPECT_EQ(two[1], 0xAB);
}

TEST(TKoBigStream, CopiesAndShortSources) {
  TKoBigMemoryStream dest;
  TKoMemoryStream src(Pattern(50));
  src.SetPosition(20);
  EXPECT_EQ(dest.WriteFrom(src, 0), 50);  // 0: the whole source from its start
  EXPECT_EQ(dest.Memory().Bytes(), Pattern(50));

  TKoBigMemoryStream big(Pattern(30));
  big.SetPosition(10);
  TKoBigMemoryStream part;
  EXPECT_EQ(part.CopyFromBig(big, 15), 15);
  const std::vector<uint8_t> thirty = Pattern(30);
  EXPECT_EQ(part.Memory().Bytes(), std::vector<uint8_t>(thirty.begin() + 10, thirty.begin() + 25));

  TKoMemoryStream out;
  big.SetPosition(0);
  EXPECT_EQ(big.ReadTo(out, 30), 30);
  EXPECT_EQ(out.Bytes(), Pattern(30));

  // A source shorter than the count raises instead of answering the full count.
  big.SetPosition(25);
  TKoMemoryStream sink;
  EXPECT_THROW(big.ReadTo(sink, 10), StreamError);
  big.SetPosition(25);
  EXPECT_THROW(part.CopyFromBig(big, 10), StreamError);
  src.SetPosition(45);
  EXPECT_THROW(dest.WriteFrom(src, 6), StreamError);
}

TEST(TKoBigMemoryStream, FileRoundTrip) {
  testkit::TempDir dir;
  TKoBigMemoryStream m(Pattern(300));
  m.SaveToFile(dir / "m.bin");
  TKoBigMemoryStream n;
  n.LoadFromFile(dir / "m.bin");
  EXPECT_EQ(n.GetSize(), 300);
  EXPECT_EQ(n.Memory().Bytes(), Pattern(300));
}

TEST(TKoBuffBigStream, GivesBackUnconsumedBytes) {
  const std::vector<uint8_t> bytes = Pattern(100);
  TKoBigMemoryStream source(bytes);
  {
    TKoBuffBigStream b(source, 16);
    uint8_t x[5];
    EXPECT_EQ(b.Read(x, 5), 5);
    EXPECT_EQ(source.GetPosition(), 16);  // the buffer read ahead
    EXPECT_EQ(b.GetPosition(), 5);
  }
  EXPECT_EQ(source.GetPosition(), 5);
  {
    TKoBuffBigStream b(source, 16);
    std::vector<uint8_t> got(200);
    EXPECT_EQ(b.Read(got.data(), 200), 95);  // what the source has
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 95, bytes.begin() + 5));
    EXPECT_EQ(b.Read(got.data(), 1), 0);
  }
  EXPECT_EQ(source.GetPosition(), 100);
}

TEST(TKoBuffBigStream, RecordsAndSeeksThroughTheBuffer) {
  TKoMemoryStream raw;
  RecordWriter w(raw);
  for (int i = 0; i < 100; ++i) {
    w.I32(i);
    w.String(std::string(static_cast<size_t>(i % 7), 'a'));
  }
  raw.SetPosition(0);
  int64_t mid = 0;
  {
    TKoBuffBigStream b(raw, 64);
    RecordReader r(b);
    for (int i = 0; i < 50; ++i) {
      ASSERT_EQ(r.I32(), i);
      ASSERT_EQ(r.String(), std::string(static_cast<size_t>(i % 7), 'a'));
    }
    mid = b.GetPosition();
    EXPECT_EQ(r.Remaining(), raw.GetSize() - mid);
    b.SetPosition(0);
    EXPECT_EQ(r.I32(), 0);
    b.SetPosition(mid);
    EXPECT_EQ(r.I32(), 50);
  }
  EXPECT_EQ(raw.GetPosition(), mid + 4);  // the source ends right after the last i32 read
}

TEST(TKoBigResourceStream, NoResourcesOnThisPlatform) {
  EXPECT_THROW(TKoBigResourceStream("ARCHIVE", "DATA"), StreamError);
}

}  // namespace
}  // namespace qubo
