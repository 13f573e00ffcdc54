#include "script/params.h"

#include <gtest/gtest.h>

#include <functional>

#include "script/messages.h"
#include "support/errors.h"
#include "support/extended.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

using testkit::Bytes;

std::unique_ptr<TCustomParam> Make(uint8_t type) { return NewParam(type); }

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const QuboError& e) {
    return e.what();
  }
  return "(no error)";
}

std::vector<int32_t> Ints(const TCustomParam& p) {
  std::vector<int32_t> out;
  for (int32_t i = 0; i < p.Count(); ++i) out.push_back(p.GetIntAt(i));
  return out;
}

std::vector<uint8_t> Saved(const TCustomParam& p) {
  TKoMemoryStream s;
  RecordWriter w(s);
  p.SaveToStream(w);
  return s.Bytes();
}

TEST(Params, NewValuesAreScalars) {
  for (uint8_t type : {PT_INT, PT_FLOAT, PT_BOOL, PT_STR}) {
    auto p = Make(type);
    EXPECT_EQ(p->ParamType(), type);
    EXPECT_EQ(p->Count(), 1);
    EXPECT_EQ(p->DimCount(), 1);
    EXPECT_EQ(p->Dim(0), 1);
    EXPECT_EQ(p->Dim(7), 1);
    EXPECT_TRUE(p->DimList().empty());
    EXPECT_EQ(p->AsInt(), 0);
    EXPECT_FALSE(p->AsBool());
    const auto bytes = Saved(*p);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), (Bytes().i32(0).i32(1).b));
  }
  EXPECT_EQ(NewParam(5), nullptr);
  EXPECT_EQ(NewParam(255), nullptr);
}

// What each getter of each class answers after each setter: the two conversion tables.
TEST(Params, ConversionsBetweenEveryPairOfTypes) {
  struct Case {
    uint8_t type;
    std::function<void(TCustomParam&)> set;
    int32_t asInt;
    Real asFloat;
    bool asBool;
    std::string asStr;
  } cases[] = {
      {PT_INT, [](TCustomParam& p) { p.SetInt(-12); }, -12, -12, true, "-12"},
      {PT_INT, [](TCustomParam& p) { p.SetFloat(2.9L); }, 2, 2, true, "2"},
      {PT_INT, [](TCustomParam& p) { p.SetFloat(-2.9L); }, -2, -2, true, "-2"},
      {PT_INT, [](TCustomParam& p) { p.SetBool(true); }, 1, 1, true, "1"},
      {PT_INT, [](TCustomParam& p) { p.SetStr("$10"); }, 16, 16, true, "16"},
      {PT_INT, [](TCustomParam& p) { p.SetStr("abc"); }, 0, 0, false, "0"},
      {PT_FLOAT, [](TCustomParam& p) { p.SetInt(7); }, 7, 7, true, "7"},
      {PT_FLOAT, [](TCustomParam& p) { p.SetFloat(-2.5L); }, -2, -2.5L, true, "-2.5"},
      {PT_FLOAT, [](TCustomParam& p) { p.SetBool(true); }, 1, 1, true, "1"},
      {PT_FLOAT, [](TCustomParam& p) { p.SetStr("1E15"); }, -1530494976, 1e15L, true, "1E15"},  // low 32 bits
      {PT_FLOAT, [](TCustomParam& p) { p.SetStr("x"); }, 0, 0, false, "0"},
      {PT_BOOL, [](TCustomParam& p) { p.SetInt(-3); }, 1, 1, true, "TRUE"},
      {PT_BOOL, [](TCustomParam& p) { p.SetFloat(0.0L); }, 0, 0, false, "FALSE"},
      {PT_BOOL, [](TCustomParam& p) { p.SetFloat(0.25L); }, 1, 1, true, "TRUE"},
      {PT_BOOL, [](TCustomParam& p) { p.SetStr("TRUE"); }, 1, 1, true, "TRUE"},
      {PT_BOOL, [](TCustomParam& p) { p.SetStr("true"); }, 0, 0, false, "FALSE"},
      {PT_BOOL, [](TCustomParam& p) { p.SetStr("1"); }, 0, 0, false, "FALSE"},
      {PT_STR, [](TCustomParam& p) { p.SetInt(42); }, 42, 42, true, "42"},
      {PT_STR, [](TCustomParam& p) { p.SetFloat(0.1L); }, 0, 0.1L, false, "0.1"},
      {PT_STR, [](TCustomParam& p) { p.SetBool(false); }, 0, 0, false, "FALSE"},
      {PT_STR, [](TCustomParam& p) { p.SetStr("TRUE"); }, 0, 0, true, "TRUE"},
      {PT_STR, [](TCustomParam& p) { p.SetStr("1"); }, 1, 1, true, "1"},
      {PT_STR, [](TCustomParam& p) { p.SetStr("true"); }, 0, 0, false, "true"},
      {PT_STR, [](TCustomParam& p) { p.SetStr("x1"); }, 1, 0, true, "x1"},
      {PT_STR, [](TCustomParam& p) { p.SetStr("2.5"); }, 0, 2.5L, false, "2.5"},
  };
  int row = 0;
  for (const auto& c : cases) {
    auto p = Make(c.type);
    c.set(*p);
    EXPECT_EQ(p->AsInt(), c.asInt) << "row " << row;
    EXPECT_EQ(p->AsFloat(), c.asFloat) << "row " << row;
    EXPECT_EQ(p->AsBool(), c.asBool) << "row " << row;
    EXPECT_EQ(p->AsStr(), c.asStr) << "row " << row;
    // Element access answers the same, except the string element flag rule.
    EXPECT_EQ(p->GetIntAt(0), c.asInt) << "row " << row;
    EXPECT_EQ(p->GetStrAt(0), c.asStr) << "row " << row;
    if (c.type != PT_STR) {
      EXPECT_EQ(p->GetBoolAt(0), c.asBool) << "row " << row;
    }
    ++row;
  }
}

TEST(Params, StringFlagRulesDifferBetweenScalarAndElement) {
  struct Case {
    const char* text;
    bool asBool, getBoolAt;
  } cases[] = {{"TRUE", true, true}, {"FALSE", false, false}, {"1", true, false}, {"$2", true, false},
               {"0", false, false},  {"true", false, false}, {"", false, false},  {" 5", true, false}};
  for (const auto& c : cases) {
    TParamStr s;
    s.SetStr(c.text);
    EXPECT_EQ(s.AsBool(), c.asBool) << c.text;
    EXPECT_EQ(s.GetBoolAt(0), c.getBoolAt) << c.text;
  }
}

TEST(Params, FloatToIntegerOfNonFiniteRaisesAndLeavesTheValue) {
  TParamFloat f;
  f.SetFloat(std::numeric_limits<Real>::quiet_NaN());
  EXPECT_THROW(f.AsInt(), QuboError);
  f.SetFloat(1e30L);
  EXPECT_THROW(f.GetIntAt(0), QuboError);
  TParamInt i;
  i.SetDims({2, 2});
  EXPECT_THROW(i.SetFloat(std::numeric_limits<Real>::infinity()), QuboError);
  EXPECT_EQ(i.Count(), 4);  // the failed store did not make it a scalar
}

TEST(Params, SetDimsKeepsFlatPositionsAndScalarSetterCollapses) {
  TParamInt p;
  p.SetInt(7);
  p.SetDims({2, 3});
  EXPECT_EQ(Ints(p), (std::vector<int32_t>{7, 0, 0, 0, 0, 0}));
  EXPECT_EQ(p.DimCount(), 2);
  EXPECT_EQ(p.Dim(0), 2);
  EXPECT_EQ(p.Dim(1), 3);
  EXPECT_EQ(p.Dim(2), 1);
  p.SetIntAt(5, 9);
  p.SetDims({3});
  EXPECT_EQ(Ints(p), (std::vector<int32_t>{7, 0, 0}));
  p.SetInt(5);
  EXPECT_EQ(Ints(p), (std::vector<int32_t>{5}));
  EXPECT_TRUE(p.DimList().empty());
}

TEST(Params, SetDimsRejectsBadShapes) {
  struct Case {
    std::vector<int32_t> dims;
    std::string list;
  } cases[] = {
      {{3, 0}, "3,0"},
      {{-1}, "-1"},
      {{0}, "0"},
      {{65536, 65536}, "65536,65536"},  // product beyond the cap, computed without wrapping
      {{65536, 65536, 65536, 65536}, "65536,65536,65536,65536"},  // wraps to 0 in 64 bits
      {{2147483647, 2}, "2147483647,2"},
  };
  for (const auto& c : cases) {
    TParamStr p;
    p.SetStr("keep");
    EXPECT_EQ(ErrorOf([&] { p.SetDims(c.dims); }), msg::kMsgBadDimsHead + c.list + msg::kMsgBadDimsTail);
    EXPECT_EQ(p.Count(), 1);
    EXPECT_EQ(p.AsStr(), "keep");
  }
  TParamFlag big;
  big.SetDims({4096, 4096});
  EXPECT_EQ(big.Count(), 4096 * 4096);
}

TEST(Params, ElementAccessChecksTheIndex) {
  for (uint8_t type : {PT_INT, PT_FLOAT, PT_BOOL, PT_STR}) {
    auto p = Make(type);
    p->SetDims({3});
    for (int32_t bad : {-1, 3, INT32_MIN, INT32_MAX}) {
      const std::string expect = "[" + std::to_string(bad) + "]" + msg::kMsgBadIndexTail;
      EXPECT_EQ(ErrorOf([&] { p->GetIntAt(bad); }), expect);
      EXPECT_EQ(ErrorOf([&] { p->SetStrAt(bad, "1"); }), expect);
      EXPECT_EQ(ErrorOf([&] { p->GetBoolAt(bad); }), expect);
      EXPECT_EQ(ErrorOf([&] { p->SetFloatAt(bad, 1); }), expect);
    }
    p->SetIntAt(2, 1);
    EXPECT_EQ(p->GetIntAt(2), 1);
  }
}

TEST(Params, SetCountKeepsElementsAndRaisesBeyondTheCap) {
  TParamStr s;
  s.SetStr("a");
  s.SetCount(3);
  EXPECT_EQ(s.GetStrAt(0), "a");
  EXPECT_EQ(s.GetStrAt(2), "");
  s.SetCount(0);
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(s.AsStr(), "");  // scalar read of an empty value
  s.SetStr("b");             // and a scalar store makes one element again
  EXPECT_EQ(s.Count(), 1);
  EXPECT_THROW(s.SetCount(-1), QuboError);
  EXPECT_THROW(s.SetCount(kMaxParamElements + 1), QuboError);
}

TEST(Params, FillsActOnlyOnTheirOwnType) {
  TParamInt i;
  i.SetDims({3});
  i.FillStr("9");
  i.FillFloat(9);
  i.FillBool(true);
  EXPECT_EQ(Ints(i), (std::vector<int32_t>{0, 0, 0}));
  i.FillInt(4);
  EXPECT_EQ(Ints(i), (std::vector<int32_t>{4, 4, 4}));
  TParamStr s;
  s.SetCount(2);
  s.FillStr("x");
  EXPECT_EQ(s.GetStrAt(1), "x");
}

TEST(Params, CopyValueNeedsTheSameClassAndTakesTheShape) {
  TParamInt src;
  src.SetDims({2, 2});
  src.SetIntAt(3, 8);
  TParamInt dst;
  dst.CopyValue(src);
  EXPECT_EQ(Ints(dst), (std::vector<int32_t>{0, 0, 0, 8}));
  EXPECT_EQ(dst.DimList(), (std::vector<int32_t>{2, 2}));

  TParamInt scalar;
  scalar.SetInt(3);
  dst.CopyValue(scalar);
  EXPECT_EQ(Ints(dst), (std::vector<int32_t>{3}));
  EXPECT_EQ(dst.DimList(), (std::vector<int32_t>{1}));  // a scalar source gives [1]

  TParamFloat other;
  EXPECT_EQ(ErrorOf([&] { dst.CopyValue(other); }), msg::kMsgCopyType);
  dst.CopyValue(dst);
  EXPECT_EQ(Ints(dst), (std::vector<int32_t>{3}));
}

TEST(Params, AssignAllCopiesTheListUnchangedAndConvertsOtherTypes) {
  TParamStr src;
  src.SetCount(3);
  src.SetStrAt(0, "5");
  src.SetStrAt(2, "$A");
  TParamInt dst;
  dst.AssignAll(src);
  EXPECT_EQ(Ints(dst), (std::vector<int32_t>{5, 0, 10}));
  EXPECT_TRUE(dst.DimList().empty());
  TParamStr copy;
  src.SetDims({3});
  copy.AssignAll(src);
  EXPECT_EQ(copy.DimList(), (std::vector<int32_t>{3}));
  EXPECT_EQ(copy.GetStrAt(2), "$A");
}

TEST(Params, UniqueAndRemoveValue) {
  TParamInt i;
  i.SetCount(5);
  const int32_t values[] = {3, 1, 3, 2, 1};
  for (int32_t k = 0; k < 5; ++k) i.SetIntAt(k, values[k]);
  i.SetDims({5});
  i.Unique();
  EXPECT_EQ(Ints(i), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(i.DimList(), (std::vector<int32_t>{5}));  // the shape is not touched

  TParamFlag f;
  f.SetCount(4);
  f.SetBoolAt(0, true);
  TParamFlag t;
  t.SetBool(true);
  f.RemoveValue(&t);
  EXPECT_EQ(Ints(f), (std::vector<int32_t>{0, 0, 0}));
  f.Unique();
  EXPECT_EQ(f.Count(), 1);

  TParamStr s;
  s.SetCount(4);
  s.SetStrAt(0, "a");
  s.SetStrAt(1, "A");
  s.SetStrAt(3, "a");
  s.RemoveValue(nullptr);  // none: the empty string
  EXPECT_EQ(s.Count(), 3);
  s.Unique();  // exact comparison keeps "a" and "A"
  EXPECT_EQ(s.Count(), 2);

  TParamFloat x;
  x.SetCount(4);
  x.SetFloatAt(0, std::numeric_limits<Real>::quiet_NaN());
  x.SetFloatAt(1, std::numeric_limits<Real>::quiet_NaN());
  x.SetFloatAt(2, -0.0L);
  x.Unique();  // NaN equals nothing; -0 equals 0
  EXPECT_EQ(x.Count(), 3);
  TParamInt two;
  two.SetInt(2);
  x.SetFloatAt(2, 2);
  x.RemoveValue(&two);
  EXPECT_EQ(x.Count(), 2);
}

TEST(Params, FindStr) {
  TParamStr s;
  s.SetCount(3);
  s.SetStrAt(0, "Apple");
  s.SetStrAt(1, "banana");
  s.SetStrAt(2, "cherry pie");
  struct Case {
    const char* needle;
    bool caseSensitive, partial;
    int32_t index;
  } cases[] = {
      {"apple", false, false, 0}, {"apple", true, false, -1}, {"Apple", true, false, 0},
      {"NAN", false, true, 1},    {"NAN", true, true, -1},    {"pple", true, true, 0},
      {"Ap", true, true, 0},      {"CHERRY", false, true, 2}, {"", false, true, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(s.FindStr(c.needle, c.caseSensitive, c.partial), c.index) << c.needle;
  TParamStr kana;
  kana.SetStr("\x83\x41pple");  // the 'A' is a trail byte and never matches or folds
  EXPECT_EQ(kana.FindStr("Apple", true, true), -1);
  EXPECT_EQ(kana.FindStr("apple", false, true), -1);
  EXPECT_EQ(kana.FindStr("\x83\x41PPLE", false, false), 0);
  TParamInt i;
  i.SetCount(2);
  i.SetIntAt(1, 12);
  EXPECT_EQ(i.FindStr("12", true, false), 1);
}

TEST(Params, StoredFormsRoundTrip) {
  TParamInt i;
  i.SetDims({2, 2});
  i.SetIntAt(3, -5);
  TParamFloat f;
  f.SetCount(2);
  f.SetFloatAt(1, 3.14159265358979323846L);
  TParamFlag b;
  b.SetCount(3);
  b.SetBoolAt(2, true);
  TParamStr s;
  s.SetCount(2);
  s.SetStrAt(0, "\x83\x41\x5C");
  TCustomParam* all[] = {&i, &f, &b, &s};
  for (TCustomParam* p : all) {
    TKoMemoryStream stream(Saved(*p));
    auto q = Make(p->ParamType());
    RecordReader r(stream);
    q->LoadFromStream(r);
    EXPECT_EQ(r.Remaining(), 0);
    EXPECT_EQ(Saved(*q), Saved(*p));
    EXPECT_EQ(q->DimList(), p->DimList());
  }
  // The float keeps the full 80-bit value.
  TKoMemoryStream fs(Saved(f));
  TParamFloat g;
  RecordReader rf(fs);
  g.LoadFromStream(rf);
  EXPECT_EQ(g.GetFloatAt(1), 3.14159265358979323846L);
}

TEST(Params, StoredFormsMatchHandMadeBytes) {
  TKoMemoryStream s(Bytes().i32(1).i32(3).i32(3).u8(1).u8(0).u8(7).b);
  TParamFlag f;
  RecordReader r(s);
  f.LoadFromStream(r);
  EXPECT_EQ(f.DimList(), (std::vector<int32_t>{3}));
  EXPECT_EQ(Ints(f), (std::vector<int32_t>{1, 0, 1}));

  const Extended80 half = DoubleToExtended(0.5);
  TKoMemoryStream fs(Bytes().i32(0).i32(1).raw(std::string(half.begin(), half.end())).b);
  TParamFloat x;
  RecordReader rx(fs);
  x.LoadFromStream(rx);
  EXPECT_EQ(x.AsFloat(), 0.5L);
}

TEST(Params, HostileStoredValues) {
  struct Case {
    const char* what;
    uint8_t type;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"huge dimension count", PT_INT, Bytes().i32(0x7FFFFFFF).b},
      {"negative dimension count", PT_INT, Bytes().i32(-1).b},
      {"zero dimension", PT_INT, Bytes().i32(1).i32(0).i32(0).b},
      {"dimension product beyond the cap", PT_INT, Bytes().i32(2).i32(65536).i32(65536).i32(0).b},
      {"huge element count", PT_INT, Bytes().i32(0).i32(0x7FFFFFFF).b},
      {"float count beyond bytes", PT_FLOAT, Bytes().i32(0).i32(2).raw(std::string(15, '\0')).b},
      {"string count beyond bytes", PT_STR, Bytes().i32(0).i32(3).i32(0).i32(0).b},
      {"string length beyond bytes", PT_STR, Bytes().i32(0).i32(1).i32(1000).raw("ab").b},
      {"truncated count", PT_BOOL, Bytes().i32(0).i16(1).b},
  };
  for (const auto& c : cases) {
    auto p = Make(c.type);
    p->SetInt(1);
    TKoMemoryStream s(c.bytes);
    RecordReader r(s);
    EXPECT_THROW(p->LoadFromStream(r), FormatError) << c.what;
    EXPECT_EQ(p->Count(), 1) << c.what;  // a failed load leaves the value as it was
    EXPECT_EQ(p->AsInt(), 1) << c.what;
  }
  // Truncated at every offset of a valid record.
  TParamStr s;
  s.SetDims({2});
  s.SetStrAt(1, "xyz");
  const auto full = Saved(s);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    TKoMemoryStream t(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    TParamStr q;
    RecordReader r(t);
    EXPECT_THROW(q.LoadFromStream(r), FormatError) << cut;
  }
}

}  // namespace
}  // namespace qubo
