// The stored form of expressions: exact round trips and hostile bytes.

#include <gtest/gtest.h>

#include "script/exprcodes.h"
#include "script/exprstore.h"
#include "support/errors.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

TStoredExpression Read(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream s(bytes);
  return ReadStoredExpression(s);
}

std::vector<uint8_t> Write(const TStoredExpression& e) {
  TKoMemoryStream s;
  WriteStoredExpression(s, e);
  return s.Bytes();
}

// x := Max(a, 2.5) with every operand kind once.
Bytes Sample() {
  Bytes b;
  b.i32(3);
  b.u8(ocFunc).str("____0").i32(2).u8(127).u8(0).str("a").u8(1).i32(-7);
  b.u8(ocTo).str("____1").i32(1).u8(2).raw(std::string("\x00\x00\x00\x00\x00\x00\x00\xa0\x00\x40", 10));
  b.u8(ocComboStr).str("x").i32(2).u8(4).str("s\x83\x5c").u8(3).u8(1);
  return b;
}

TEST(ExprStore, RoundTripIsByteExact) {
  const Bytes b = Sample();
  const TStoredExpression e = Read(b.b);
  ASSERT_EQ(e.operations.size(), 3u);
  EXPECT_EQ(e.operations[0].funcIndex, 127);
  EXPECT_EQ(e.operations[0].operands[0], TStoredOperand::Name("a"));
  EXPECT_EQ(e.operations[2].operands[0], TStoredOperand::String("s\x83\x5c"));
  EXPECT_EQ(Write(e), b.b);
  EXPECT_EQ(Write(Read(Write(e))), b.b);
  EXPECT_EQ(Write(Read(Bytes().i32(0).b)), Bytes().i32(0).b);
}

TEST(ExprStore, EveryTruncationIsAFormatError) {
  const std::vector<uint8_t> full = Sample().b;
  for (size_t n = 0; n < full.size(); ++n) {
    EXPECT_THROW(Read(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<ptrdiff_t>(n))), FormatError)
        << n;
  }
}

TEST(ExprStore, LoaderRefusesWhatCouldNotRunSafely) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"operation code 21", Bytes().i32(1).u8(21).str("x").i32(0)},
      {"operation code 255", Bytes().i32(1).u8(255).str("x").i32(0)},
      {"function index 169", Bytes().i32(1).u8(ocFunc).str("____0").i32(1).u8(169).u8(1).i32(0)},
      {"function index 255", Bytes().i32(1).u8(ocFunc).str("____0").i32(0).u8(255)},
      {"too few arguments", Bytes().i32(1).u8(ocFunc).str("____0").i32(0).u8(39)},      // Sin()
      {"too many arguments", Bytes().i32(1).u8(ocFunc).str("____0").i32(2).u8(39).u8(1).i32(0).u8(1).i32(0)},
      {"operand kind 5", Bytes().i32(1).u8(ocTo).str("x").i32(1).u8(5).str("y")},
      {"operand kind 200", Bytes().i32(1).u8(ocTo).str("x").i32(1).u8(200).i32(0)},
      {"negative operation count", Bytes().i32(-1)},
      {"huge operation count", Bytes().i32(0x7fffffff).u8(ocTo).str("x").i32(0)},
      {"huge operand count", Bytes().i32(1).u8(ocTo).str("x").i32(0x40000000).u8(1).i32(0)},
      {"huge name length", Bytes().i32(1).u8(ocTo).i32(0x7ffffff0).raw("x")},
  };
  for (const auto& [what, bytes] : cases) EXPECT_THROW(Read(bytes.b), FormatError) << what;
}

TEST(ExprStore, UnlimitedFunctionsAcceptManyArgumentsAndNoneWhereAllowed) {
  Bytes b;
  b.i32(2);
  b.u8(ocFunc).str("____0").i32(10).u8(21);  // SetArray, 2..unlimited
  for (int i = 0; i < 10; ++i) b.u8(1).i32(i);
  b.u8(ocFunc).str("____1").i32(0).u8(156);  // PopVar()
  EXPECT_EQ(Write(Read(b.b)), b.b);
}

}  // namespace
}  // namespace qubo
