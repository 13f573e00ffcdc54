#include "script/numbertext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "script/arith.h"
#include "support/errors.h"

namespace qubo {
namespace {

TEST(NumberText, IntegerTexts) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"12", 12},
      {" 12", 12},
      {"   -7", -7},
      {"+5", 5},
      {"x1", 1},
      {"X1f", 31},
      {"$FF", 255},
      {"$ff", 255},
      {"0x1F", 31},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$000000001", 1},  // leading zeros do not count against 32 bits
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"$100000000", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"12 ", std::nullopt},  // trailing characters
      {"1.5", std::nullopt},
      {"1e3", std::nullopt},
      {"\t1", std::nullopt},  // only blanks lead
      {"abc", std::nullopt},
      {"TRUE", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numtext::ParseInt(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(numtext::IntOrZero(c.text), c.value.value_or(0)) << c.text;
  }
}

TEST(NumberText, FloatTextsRead) {
  struct Case {
    const char* text;
    std::optional<Real> value;
  } cases[] = {
      {"0", 0.0L},       {"1.5", 1.5L},   {"-2.25", -2.25L}, {"+3", 3.0L},    {" 7 ", 7.0L},
      {".5", 0.5L},      {"5.", 5.0L},    {"1E20", 1e20L},   {"1e-10", 1e-10L}, {"2.5E+3", 2500.0L},
      {"1e-99999", 0.0L},  // too small is zero
      {"", std::nullopt}, {".", std::nullopt}, {"1e", std::nullopt}, {"1,5", std::nullopt},
      {"$FF", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt}, {"1e99999", std::nullopt},
      {"1.5x", std::nullopt}, {"e5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(numtext::ParseFloat(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(numtext::ParseFloat("0.1"), 0.1L);
}

TEST(NumberText, GeneralFloatText) {
  struct Case {
    Real value;
    const char* text;
  } cases[] = {
      {0.0L, "0"},
      {-0.0L, "0"},
      {0.1L, "0.1"},
      {static_cast<Real>(0.1), "0.1"},  // a double's 0.1 rounds the same at 15 digits
      {1.5L, "1.5"},
      {-2.9L, "-2.9"},
      {100.0L, "100"},
      {1e20L, "1E20"},
      {1e-10L, "1E-10"},
      {1.5e-7L, "1.5E-7"},
      {-2.5e30L, "-2.5E30"},
      {0.00001L, "0.00001"},
      {0.000001L, "1E-6"},
      {123456789012345.0L, "123456789012345"},  // 15 integer digits: fixed
      {1e15L, "1E15"},                          // 16: scientific
      {1234567890123456.0L, "1.23456789012346E15"},
      {999999999999999.9L, "1E15"},  // rounding to 15 digits carries into a 16th
      {1.0L / 3.0L, "0.333333333333333"},
      {2.0L / 3.0L, "0.666666666666667"},
      {3.14159265358979323846L, "3.14159265358979"},
      {std::numeric_limits<Real>::infinity(), "INF"},
      {-std::numeric_limits<Real>::infinity(), "-INF"},
      {std::numeric_limits<Real>::quiet_NaN(), "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(numtext::FloatToText(c.value), c.text);
}

TEST(NumberText, FloatTextReadsBackItsOwnOutput) {
  for (Real v : {0.1L, 1e20L, 1e-10L, -123.456L, 7.0L, 0.00001L, 1.5e300L}) {
    const std::string t = numtext::FloatToText(v);
    const auto back = numtext::ParseFloat(t);
    ASSERT_TRUE(back.has_value()) << t;
    EXPECT_EQ(numtext::FloatToText(*back), t);
  }
}

TEST(Arith, ThirtyTwoBitOperationsWrap) {
  EXPECT_EQ(arith::Add(INT32_MAX, 1), INT32_MIN);
  EXPECT_EQ(arith::Sub(INT32_MIN, 1), INT32_MAX);
  EXPECT_EQ(arith::Mul(65536, 65536), 0);
  EXPECT_EQ(arith::Mul(INT32_MIN, -1), INT32_MIN);
  EXPECT_EQ(arith::Neg(INT32_MIN), INT32_MIN);
  EXPECT_EQ(arith::Div(-7, 2), -3);
  EXPECT_EQ(arith::Mod(-7, 2), -1);
  EXPECT_EQ(arith::Mod(INT32_MIN, 1), 0);
}

TEST(Arith, DivisionFailuresRaise) {
  const std::pair<int32_t, int32_t> bad[] = {{1, 0}, {0, 0}, {INT32_MIN, -1}};
  for (auto [a, b] : bad) {
    EXPECT_THROW(arith::Div(a, b), QuboError) << a << "/" << b;
    EXPECT_THROW(arith::Mod(a, b), QuboError) << a << "%" << b;
  }
}

TEST(Arith, RealToIntTruncatesToTheLow32BitsOrRaises) {
  struct Case {
    Real x;
    int32_t v;
  } cases[] = {
      {2.9L, 2}, {-2.9L, -2}, {0.999L, 0}, {-0.5L, 0}, {2147483647.9L, INT32_MAX},
      {2147483648.0L, INT32_MIN},     // low 32 bits of the 64-bit result
      {4294967296.0L + 5, 5},         // 2^32 + 5
      {-4294967297.0L, -1},           // -(2^32 + 1)
      {9223372036854775807.0L, -1},   // just below 2^63 in the wider format
  };
  for (const auto& c : cases) EXPECT_EQ(arith::RealToInt(c.x), c.v) << static_cast<double>(c.x);
  const Real bad[] = {std::numeric_limits<Real>::quiet_NaN(), std::numeric_limits<Real>::infinity(),
                      -std::numeric_limits<Real>::infinity(), 9223372036854775808.0L, -9223372036854777856.0L, 1e30L};
  for (Real x : bad) EXPECT_THROW(arith::RealToInt(x), QuboError) << static_cast<double>(x);
  EXPECT_EQ(arith::RealToInt64(-9223372036854775808.0L), INT64_MIN);
}

}  // namespace
}  // namespace qubo
