#include "support/streamio.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/errors.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

TEST(StreamIo, FieldsInStoredLayout) {
  TKoMemoryStream s;
  WriteInt(s, -2);
  WriteInt16(s, 0x1234);
  WriteByte(s, 0xAB);
  WritePair(s, 1, 0x7FFFFFFF);
  WriteString(s, "\x83\x5Cxy");
  WriteString(s, "");
  WriteDouble(s, 0.5);
  WriteExtended(s, -1.0);
  const auto expected = testkit::Bytes{}
                            .i32(-2)
                            .i16(0x1234)
                            .u8(0xAB)
                            .i32(1)
                            .i32(0x7FFFFFFF)
                            .str("\x83\x5Cxy")
                            .i32(0)
                            .raw(std::string("\0\0\0\0\0\0\xE0\x3F", 8))
                            .raw(std::string("\0\0\0\0\0\0\0\x80\xFF\xBF", 10))
                            .b;
  EXPECT_EQ(s.Bytes(), expected);

  s.SetPosition(0);
  EXPECT_EQ(ReadInt(s), -2);
  EXPECT_EQ(ReadInt16(s), 0x1234);
  EXPECT_EQ(ReadByte(s), 0xAB);
  int32_t a = 0, b = 0;
  ReadPair(s, a, b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0x7FFFFFFF);
  EXPECT_EQ(ReadString(s), "\x83\x5Cxy");
  EXPECT_EQ(ReadString(s), "");
  EXPECT_EQ(ReadDouble(s), 0.5);
  EXPECT_EQ(ReadExtended(s), -1.0);
  EXPECT_THROW(ReadByte(s), FormatError);
}

TEST(StreamIo, ShortReadsRaise) {
  TKoMemoryStream cut({1, 2, 3});
  EXPECT_THROW(ReadInt(cut), FormatError);
  TKoMemoryStream cutString(testkit::Bytes{}.i32(5).raw("abc").b);
  EXPECT_THROW(ReadString(cutString), FormatError);
  TKoMemoryStream absurd(testkit::Bytes{}.i32(0x7FFFFFFF).b);  // nothing is allocated
  EXPECT_THROW(ReadString(absurd), FormatError);
  TKoMemoryStream negative(testkit::Bytes{}.i32(-5).b);
  EXPECT_EQ(ReadString(negative), "");
}

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return v;
}

// A stream that hands out at most a few bytes per Read, like a pipe.
class TrickleStream : public TStream {
 public:
  explicit TrickleStream(std::vector<uint8_t> bytes, int64_t step) : inner_(std::move(bytes)), step_(step) {}
  int64_t Read(void* buffer, int64_t count) override { return inner_.Read(buffer, std::min(count, step_)); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return inner_.Seek(offset, origin); }

 private:
  TKoMemoryStream inner_;
  int64_t step_;
};

TEST(CopyStream, FromMemory) {
  TKoMemoryStream src(Pattern(1000));
  src.SetPosition(100);
  TKoMemoryStream dest;
  EXPECT_EQ(CopyStream(dest, src, 300), 300);
  EXPECT_EQ(src.GetPosition(), 400);
  EXPECT_EQ(dest.Bytes(), std::vector<uint8_t>(src.Bytes().begin() + 100, src.Bytes().begin() + 400));

  // Size 0: the whole source from its start, whatever its position.
  TKoMemoryStream all;
  EXPECT_EQ(CopyStream(all, src, 0), 1000);
  EXPECT_EQ(all.Bytes(), src.Bytes());

  // Too short for the size: raises and writes nothing.
  src.SetPosition(900);
  TKoMemoryStream none;
  EXPECT_THROW(CopyStream(none, src, 101), StreamError);
  EXPECT_EQ(none.GetSize(), 0);
  EXPECT_EQ(CopyStream(none, src, -4), 0);
}

TEST(CopyStream, FromFileAndPartialReads) {
  testkit::TempDir dir;
  const auto data = Pattern(3 * 1024 * 1024 + 17);
  testkit::WriteFileBytes(dir / "src.bin", data);
  {
    TFileStream file(dir / "src.bin", TFileStream::Mode::OpenRead);
    TFileStream out(dir / "out.bin", TFileStream::Mode::Create);
    EXPECT_EQ(CopyStream(out, file, 0), static_cast<int64_t>(data.size()));
  }
  EXPECT_EQ(testkit::ReadFileBytes(dir / "out.bin"), data);

  TrickleStream trickle(Pattern(1000), 7);
  TKoMemoryStream dest;
  EXPECT_EQ(CopyStream(dest, trickle, 1000), 1000);
  EXPECT_EQ(dest.Bytes(), Pattern(1000));
}

TEST(CopyStream, ShortSourceRaisesInsteadOfLooping) {
  testkit::TempDir dir;
  testkit::WriteFileBytes(dir / "short.bin", Pattern(100));
  TFileStream file(dir / "short.bin", TFileStream::Mode::OpenRead);
  TKoMemoryStream dest;
  EXPECT_THROW(CopyStream(dest, file, 150), StreamError);
  EXPECT_EQ(dest.Bytes(), Pattern(100));  // what existed was copied

  TrickleStream trickle(Pattern(10), 3);
  TKoMemoryStream dest2;
  EXPECT_THROW(CopyStream(dest2, trickle, 11), StreamError);
}

}  // namespace
}  // namespace qubo
