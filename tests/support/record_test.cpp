#include "support/record.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/errors.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

TEST(RecordReader, ReadsLittleEndianFieldsAndStrings) {
  TKoMemoryStream s(Bytes().i32(-2).i16(0x1234).u8(7).u8(2).str("abc").i32(0).i32(-5).b);
  RecordReader r(s);
  EXPECT_EQ(r.I32(), -2);
  EXPECT_EQ(r.I16(), 0x1234);
  EXPECT_EQ(r.U8(), 7);
  EXPECT_TRUE(r.Bool());
  EXPECT_EQ(r.String(), "abc");
  EXPECT_EQ(r.String(), "");  // count 0
  EXPECT_EQ(r.String(), "");  // negative count reads as empty and consumes 4 bytes
  EXPECT_EQ(r.Remaining(), 0);
}

TEST(RecordReader, TruncationRaisesAtEveryCut) {
  const auto full = Bytes().i32(5).str("hello").i16(1).b;
  for (size_t cut = 0; cut < full.size(); ++cut) {
    TKoMemoryStream s(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(cut)));
    RecordReader r(s);
    EXPECT_THROW(
        {
          r.I32();
          r.String();
          r.I16();
        },
        FormatError)
        << "cut at " << cut;
  }
}

TEST(RecordReader, ImpossibleCountsAndLengthsRaiseBeforeAllocating) {
  struct Case {
    int32_t count;
    int64_t elementSize;
  } cases[] = {{-1, 1}, {0x7FFFFFFF, 1}, {3, 4}, {INT32_MIN, 1}};
  for (const auto& c : cases) {
    TKoMemoryStream s(Bytes().i32(c.count).i32(0).i32(0).b);  // 8 bytes follow the count
    RecordReader r(s);
    EXPECT_THROW(r.Count(c.elementSize), FormatError) << c.count;
  }
  TKoMemoryStream ok(Bytes().i32(2).i32(0).i32(0).b);
  RecordReader r(ok);
  EXPECT_EQ(r.Count(4), 2);

  TKoMemoryStream huge(Bytes().i32(0x7FFFFFF0).raw("xy").b);
  RecordReader hr(huge);
  EXPECT_THROW(hr.String(), FormatError);
}

TEST(RecordReader, LenientReaderFillsZeros) {
  TKoMemoryStream s(Bytes().u8(1).u8(2).b);
  RecordReader r(s, RecordReader::Truncation::ZeroFill);
  EXPECT_EQ(r.I32(), 0x0201);
  EXPECT_EQ(r.I32(), 0);
}

TEST(RecordWriter, RoundTripsEveryField) {
  TKoMemoryStream s;
  RecordWriter w(s);
  w.I32(INT32_MIN);
  w.I16(-3);
  w.U8(200);
  w.Bool(true);
  w.I64(-1234567890123LL);
  w.Double(0.1);
  w.Extended(-2.5);
  w.String("");
  w.String(std::string("\x82\xa0\x5c", 3));
  EXPECT_EQ(s.GetSize(), 4 + 2 + 1 + 1 + 8 + 8 + 10 + 4 + 7);
  s.SetPosition(0);
  RecordReader r(s);
  EXPECT_EQ(r.I32(), INT32_MIN);
  EXPECT_EQ(r.I16(), -3);
  EXPECT_EQ(r.U8(), 200);
  EXPECT_TRUE(r.Bool());
  EXPECT_EQ(r.I64(), -1234567890123LL);
  EXPECT_EQ(r.Double(), 0.1);
  EXPECT_EQ(r.Extended(), -2.5);
  EXPECT_EQ(r.String(), "");
  EXPECT_EQ(r.String(), std::string("\x82\xa0\x5c", 3));
}

// Known encodings of the 10-byte format.
TEST(Extended, EncodesKnownValues) {
  struct Case {
    double value;
    Extended80 bytes;
  } cases[] = {
      {1.0, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {-2.0, {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}},
      {0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {0.5, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x3F}},
      {3.0, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0x00, 0x40}},
      {std::numeric_limits<double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DoubleToExtended(c.value), c.bytes) << c.value;
    EXPECT_EQ(ExtendedToDouble(c.bytes), c.value) << c.value;
  }
}

TEST(Extended, RoundTripsDoublesIncludingSubnormalsAndNaN) {
  const double values[] = {0.1, -0.0, 1e308, -1e-308, 5e-324, 2.2250738585072014e-308, 123456789.125, 1e-10, 1e20};
  for (double v : values) {
    const double back = ExtendedToDouble(DoubleToExtended(v));
    EXPECT_EQ(back, v);
    EXPECT_EQ(std::signbit(back), std::signbit(v));
  }
  EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::nan("")))));
}

TEST(Extended, NarrowsWideValuesByRounding) {
  // 1 + 2^-63: below half an ulp of a double, so it rounds to 1.
  Extended80 e = {1, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(ExtendedToDouble(e), 1.0);
  // Exponent far beyond the double range.
  Extended80 big = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x5F};
  EXPECT_TRUE(std::isinf(ExtendedToDouble(big)));
  Extended80 tiny = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x1F};
  EXPECT_EQ(ExtendedToDouble(tiny), 0.0);
}

TEST(Extended, LongDoubleKeepsTheFullMantissa) {
  Extended80 e = {1, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  const long double v = ExtendedToLongDouble(e);
  EXPECT_EQ(LongDoubleToExtended(v), e);
}

}  // namespace
}  // namespace qubo
