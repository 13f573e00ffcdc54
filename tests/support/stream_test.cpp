#include "support/stream.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

TEST(MemoryStream, ReadsWritesAndSeeksWithinBounds) {
  TKoMemoryStream s;
  EXPECT_EQ(s.Write("hello", 5), 5);
  EXPECT_EQ(s.Seek(-10, SeekOrigin::Current), 0);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(s.Read(buf, 8), 0);
  s.Seek(7, SeekOrigin::Begin);
  s.Write("!", 1);  // the gap fills with zeros
  EXPECT_EQ(s.GetSize(), 8);
  EXPECT_EQ(s.Bytes()[5], 0);
  EXPECT_THROW(s.ReadBuffer(buf, 1), StreamError);
}

TEST(FileStream, SavesAndLoadsThroughMemoryStreams) {
  testkit::TempDir dir;
  TKoMemoryStream out(std::vector<uint8_t>{1, 2, 3, 4});
  out.SaveToFile(dir / "a.bin");
  TKoMemoryStream in;
  in.LoadFromFile(dir / "a.bin");
  EXPECT_EQ(in.Bytes(), out.Bytes());
  EXPECT_THROW(in.LoadFromFile(dir / "missing.bin"), StreamError);
}

TEST(Stream, CopyFromAShortSourceRaises) {
  TKoMemoryStream src(std::vector<uint8_t>(10, 7)), dst;
  src.SetPosition(4);
  EXPECT_THROW(dst.CopyFrom(src, 100), StreamError);
  EXPECT_EQ(dst.CopyFrom(src, 0), 10);  // 0: the whole source from its start
  EXPECT_EQ(dst.Bytes().size(), 10u);  // the failed copy wrote nothing
}

}  // namespace
}  // namespace qubo
