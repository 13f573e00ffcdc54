#include "storage/zlibs.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "storage/crc32.h"
#include "storage/serial.h"
#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

// Compressible but not trivial: runs of text with a drifting counter.
std::vector<uint8_t> Sample(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    v[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>('a' + i % 26);
  }
  return v;
}

std::vector<uint8_t> Compressed(const std::vector<uint8_t>& plain, int level) {
  TKoMemoryStream s(plain);
  Compress(s, level);
  return s.Bytes();
}

TEST(Zlib, RoundTrips) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{1000}, size_t{2500000}}) {
    for (int level : {0, 2, 9, -1}) {
      const std::vector<uint8_t> plain = Sample(n);
      TKoMemoryStream s(plain);
      Compress(s, level);
      EXPECT_EQ(s.GetPosition(), 0);
      // zlib itself reads what we write.
      std::vector<uint8_t> check(n + 1);
      uLongf len = static_cast<uLongf>(check.size());
      ASSERT_EQ(uncompress(check.data(), &len, s.Memory(), static_cast<uLong>(s.GetSize())), Z_OK);
      ASSERT_EQ(len, n);
      Decompress(s);
      EXPECT_EQ(s.GetPosition(), 0);
      ASSERT_EQ(s.Bytes(), plain) << "n=" << n << " level=" << level;
    }
  }
}

TEST(Zlib, DamagedStreamsRaiseAndLeaveTheContent) {
  const std::vector<uint8_t> good = Compressed(Sample(5000), 6);
  std::vector<std::vector<uint8_t>> bad;
  for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, size_t{10}, good.size() / 2, good.size() - 1}) {
    bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  bad.push_back({'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'});
  std::vector<uint8_t> flipped = good;
  flipped[good.size() / 2] ^= 0x55;
  flipped[good.size() / 2 + 1] ^= 0xAA;
  bad.push_back(flipped);
  std::vector<uint8_t> badCheck = good;
  badCheck.back() ^= 1;  // the Adler-32 trailer
  bad.push_back(badCheck);
  for (size_t i = 0; i < bad.size(); ++i) {
    TKoMemoryStream s(bad[i]);
    EXPECT_THROW(Decompress(s), FormatError) << "case " << i;
    EXPECT_EQ(s.Bytes(), bad[i]) << "case " << i;
  }
}

TEST(Zlib, SizeBound) {
  const std::vector<uint8_t> plain = Sample(3000);
  TKoMemoryStream exact(Compressed(plain, 2));
  Decompress(exact, 3000);
  EXPECT_EQ(exact.Bytes(), plain);
  TKoMemoryStream over(Compressed(plain, 2));
  EXPECT_THROW(Decompress(over, 2999), FormatError);
  // A small stream that expands enormously is stopped at the bound.
  TKoMemoryStream bomb(std::vector<uint8_t>(50000000, 0));
  Compress(bomb, 9);
  EXPECT_LT(bomb.GetSize(), 100000);
  TKoMemoryStream sink;
  EXPECT_THROW(DecompressTo(bomb, sink, 1000000), FormatError);
  EXPECT_LE(sink.GetSize(), 1000000);
}

TEST(Zlib, DecompressToAppendsAndStopsAtTheStreamEnd) {
  const std::vector<uint8_t> a = Sample(700);
  std::vector<uint8_t> packed = Compressed(a, 2);
  const size_t packedSize = packed.size();
  packed.push_back(0xEE);  // a byte after the compressed stream
  TKoMemoryStream source(packed);
  TKoMemoryStream dest(std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(DecompressTo(source, dest), 700);
  EXPECT_EQ(dest.GetSize(), 703);
  EXPECT_EQ(std::vector<uint8_t>(dest.Bytes().begin() + 3, dest.Bytes().end()), a);
  EXPECT_EQ(source.GetPosition(), static_cast<int64_t>(packedSize));
}

TEST(Crc32, KnownValuesAndChunking) {
  TKoMemoryStream abc(std::vector<uint8_t>{'a', 'b', 'c'});
  abc.SetPosition(2);  // read from the start whatever the position
  EXPECT_EQ(Crc32(abc), 0x352441C2u);
  TKoMemoryStream empty;
  EXPECT_EQ(Crc32(empty), 0u);
  const std::vector<uint8_t> big = Sample(3 * 1048576 + 17);
  TKoMemoryStream s(big);
  EXPECT_EQ(Crc32(s), static_cast<uint32_t>(crc32(0, big.data(), static_cast<uInt>(big.size()))));
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
}

TEST(Serial, StringsIntsBytes) {
  TKoMemoryStream s;
  WriteString(s, "");
  WriteString(s, "name");
  WriteInt(s, -2);
  WriteByte(s, 0xFE);
  EXPECT_EQ(s.Bytes(), (testkit::Bytes().i32(0).str("name").i32(-2).u8(0xFE).b));
  s.SetPosition(0);
  EXPECT_EQ(ReadString(s), "");
  EXPECT_EQ(ReadString(s), "name");
  EXPECT_EQ(ReadInt(s), -2);
  EXPECT_EQ(ReadByte(s), 0xFE);
  EXPECT_THROW(ReadByte(s), FormatError);

  // A negative count is the empty string and uses only its 4 bytes.
  TKoMemoryStream neg(testkit::Bytes().i32(-5).u8(9).b);
  EXPECT_EQ(ReadString(neg), "");
  EXPECT_EQ(neg.GetPosition(), 4);
  // A count beyond the bytes left is a format error, not an allocation.
  TKoMemoryStream huge(testkit::Bytes().i32(0x7FFFFFFF).raw("abc").b);
  EXPECT_THROW(ReadString(huge), FormatError);
  TKoMemoryStream cut(std::vector<uint8_t>{1, 2});
  EXPECT_THROW(ReadInt(cut), FormatError);
}

}  // namespace
}  // namespace qubo
