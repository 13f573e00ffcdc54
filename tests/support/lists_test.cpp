#include "support/lists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "support/errors.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

void ExpectMessage(const std::function<void()>& f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const QuboError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST(IntList, SetIntPadsWithZeros) {
  TIntList l;
  l.SetInt(5, 7);
  EXPECT_EQ(l.Items(), (std::vector<int32_t>{0, 0, 0, 0, 0, 7}));
  l.SetInt(2, -3);
  EXPECT_EQ(l.GetInt(2), -3);
  EXPECT_EQ(l.Count(), 6);
  EXPECT_EQ(l.IndexOf(7), 5);
  EXPECT_EQ(l.IndexOf(0), 0);
  EXPECT_EQ(l.IndexOf(99), -1);
}

TEST(IntList, BadIndexesRaiseTheirMessages) {
  TIntList l;
  l.Add(1);
  ExpectMessage([&] { l.GetInt(1); }, "Error:TIntList.GetInt");
  ExpectMessage([&] { l.GetInt(-1); }, "Error:TIntList.GetInt");
  ExpectMessage([&] { l.SetInt(-1, 0); }, "Error:TIntList.SetInt");
  // A huge index is refused instead of appending zeros until memory runs out.
  ExpectMessage([&] { l.SetInt(TIntList::kMaxEntries, 0); }, "Error:TIntList.SetInt");
  ExpectMessage([&] { l.SetInt(std::numeric_limits<int>::max(), 0); }, "Error:TIntList.SetInt");
  EXPECT_EQ(l.Count(), 1);
}

TEST(ExtendedList, SortBothWaysAndExactIndexOf) {
  TExtendedList l;
  for (double x : {3.0, -1.5, 2.0, 3.0, 0.1 + 0.2}) l.Add(x);
  EXPECT_EQ(l.IndexOf(0.3), -1);  // exact comparison only
  EXPECT_EQ(l.IndexOf(0.1 + 0.2), 4);
  l.Sort(false);
  EXPECT_EQ(l.Items(), (std::vector<double>{-1.5, 0.1 + 0.2, 2.0, 3.0, 3.0}));
  l.Sort(true);
  EXPECT_EQ(l.Items(), (std::vector<double>{3.0, 3.0, 2.0, 0.1 + 0.2, -1.5}));
  ExpectMessage([&] { l.Get(5); }, "Error:TExtendedList.Get");
}

TEST(ExtendedList, NaNsGoLastAndNumbersStaySorted) {
  TExtendedList l;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 200; ++i) l.Add(i % 3 == 0 ? nan : static_cast<double>((i * 37) % 101));
  l.Sort(false);
  int numbers = 0;
  while (numbers < l.Count() && !std::isnan(l.Get(numbers))) ++numbers;
  EXPECT_EQ(numbers, 133);
  for (int i = numbers; i < l.Count(); ++i) EXPECT_TRUE(std::isnan(l.Get(i)));
  for (int i = 1; i < numbers; ++i) EXPECT_LE(l.Get(i - 1), l.Get(i));
}

TEST(IntArray, GetAndBounds) {
  TIntArray a;
  EXPECT_EQ(a.Add(4), 0);
  EXPECT_EQ(a.Add(5), 1);
  EXPECT_EQ(a.Get(1), 5);
  ExpectMessage([&] { a.Get(2); }, "Error:TIntArray.Get");
}

struct Tracked {
  Tracked(std::vector<int>* log, int id) : log(log), id(id) {}
  ~Tracked() { log->push_back(id); }
  std::vector<int>* log;
  int id;
};

TEST(ObjList, OwnsAndFreesItsObjects) {
  std::vector<int> freed;
  {
    TObjList<Tracked> l;
    for (int i = 0; i < 4; ++i) l.Add(std::make_unique<Tracked>(&freed, i));
    l.Delete(1);
    EXPECT_EQ(freed, std::vector<int>{1});
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l[1]->id, 2);
    auto taken = l.Extract(0);
    EXPECT_EQ(taken->id, 0);
    EXPECT_EQ(l.IndexOf(taken.get()), -1);
    l.Delete(7);  // ignored
    l.Clear();
    EXPECT_EQ(freed, (std::vector<int>{1, 3, 2}));
    l.Add(std::make_unique<Tracked>(&freed, 9));
  }
  // The extracted object went with its unique_ptr (declared last, so freed first), the last
  // one with the list.
  EXPECT_EQ(freed, (std::vector<int>{1, 3, 2, 0, 9}));
}

TEST(ArrayString, RoundTripAndEmptyOutsideRange) {
  TArrayString a;
  a.Add("one");
  a.Add("");
  a.Add("\x83\x5C\x83\x41");
  TKoMemoryStream s;
  a.SaveToStream(s);
  EXPECT_EQ(s.Bytes(), (testkit::Bytes{}.i32(3).str("one").str("").str("\x83\x5C\x83\x41").b));
  s.SetPosition(0);
  TArrayString b;
  b.Add("stale");
  b.LoadFromStream(s);
  EXPECT_EQ(b, a);
  EXPECT_EQ(b.Get(3), "");
  EXPECT_EQ(b.Get(-1), "");
  TArrayString c;
  c.Assign(a);
  EXPECT_EQ(c.Count(), 3);
}

TEST(ArrayString, HostileCountsAndTruncationRaise) {
  const std::vector<std::vector<uint8_t>> bad = {
      testkit::Bytes{}.i32(-1).b,                    // negative count
      testkit::Bytes{}.i32(0x7FFFFFFF).b,            // count far beyond the bytes
      testkit::Bytes{}.i32(3).i32(0).i32(0).b,       // 3 strings need 12 bytes at least
      testkit::Bytes{}.i32(1).i32(10).raw("abc").b,  // string cut short
      testkit::Bytes{}.i16(1).b,                     // count cut short
  };
  for (const auto& bytes : bad) {
    TKoMemoryStream s(bytes);
    TArrayString a;
    a.Add("x");
    EXPECT_THROW(a.LoadFromStream(s), FormatError);
    EXPECT_EQ(a.Count(), 0);
  }
}

}  // namespace
}  // namespace qubo
