#include "support/cliplist.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "support/geometry.h"
#include "support/workarea.h"

namespace qubo {
namespace {

TEST(ClipList, NearRectanglesMergeFarOnesStaySeparate) {
  TClipList l;
  l.AddRect({0, 0, 10, 10});
  l.AddRect({25, 0, 35, 10});  // 15 px to the right of the first
  ASSERT_EQ(l.Count(), 1);
  EXPECT_EQ(l.Rect(0), (TRect{0, 0, 35, 10}));

  l.AddRect({60, 0, 70, 10});  // 25 px beyond the union
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Rect(1), (TRect{60, 0, 70, 10}));

  // Exactly 20 px away still counts as near, on every side.
  const TRect base{100, 100, 110, 110};
  const TRect touching[] = {{130, 100, 140, 110}, {70, 100, 80, 110}, {100, 130, 110, 140}, {100, 70, 110, 80}};
  for (const TRect& r : touching) {
    TClipList m;
    m.AddRect(base);
    m.AddRect(r);
    EXPECT_EQ(m.Count(), 1) << r.left << "," << r.top;
    EXPECT_EQ(m.Rect(0), UnionRect(base, r));
  }
  TClipList far;
  far.AddRect(base);
  far.AddRect({131, 100, 140, 110});
  EXPECT_EQ(far.Count(), 2);
}

TEST(ClipList, MergesCascadeThroughEarlierRectangles) {
  TClipList l;
  l.AddRect({0, 0, 10, 10});
  l.AddRect({100, 0, 110, 10});
  l.AddRect({200, 0, 210, 10});
  ASSERT_EQ(l.Count(), 3);
  // Near the middle one only; its union with it reaches neither neighbour...
  l.AddRect({120, 0, 130, 10});
  ASSERT_EQ(l.Count(), 3);
  // ...but this one joins the first, and the growing union swallows the rest in turn.
  l.AddRect({10, 0, 190, 10});
  ASSERT_EQ(l.Count(), 1);
  EXPECT_EQ(l.Rect(0), (TRect{0, 0, 210, 10}));
}

TEST(ClipList, InsideAndEmptyChangeNothingAndChangedFlag) {
  TClipList l;
  EXPECT_FALSE(l.Changed());
  l.AddRect({0, 0, 0, 10});
  l.AddRect({5, 5, 4, 10});
  EXPECT_FALSE(l.Changed());
  EXPECT_EQ(l.Count(), 0);
  l.AddRect({0, 0, 50, 50});
  EXPECT_TRUE(l.Changed());
  l.SetChanged(false);
  l.AddRect({10, 10, 20, 20});
  EXPECT_FALSE(l.Changed());
  EXPECT_EQ(l.Count(), 1);
  l.Delete(3);
  EXPECT_FALSE(l.Changed());
  l.Delete(0);
  EXPECT_TRUE(l.Changed());
  l.SetChanged(false);
  l.Clear();
  EXPECT_TRUE(l.Changed());
}

TEST(ClipList, ExtremeCoordinatesDoNotWrap) {
  const int32_t lo = std::numeric_limits<int32_t>::min();
  const int32_t hi = std::numeric_limits<int32_t>::max();
  TClipList l;
  l.AddRect({hi - 10, hi - 10, hi, hi});
  l.AddRect({lo, lo, lo + 10, lo + 10});
  EXPECT_EQ(l.Count(), 2);
  l.AddRect({lo, lo, hi, hi});
  EXPECT_EQ(l.Count(), 1);
}

// Whatever is added, the stored rectangles cover every added one and no two are near.
TEST(ClipList, RandomRectanglesStayCoveredAndApart) {
  std::mt19937 rng(3);
  TClipList l;
  std::vector<TRect> added;
  for (int i = 0; i < 400; ++i) {
    const int x = static_cast<int>(rng() % 2000), y = static_cast<int>(rng() % 2000);
    const TRect r{x, y, x + static_cast<int>(rng() % 30), y + static_cast<int>(rng() % 30)};
    l.AddRect(r);
    if (!r.IsEmpty()) added.push_back(r);
  }
  for (const TRect& r : added) {
    bool covered = false;
    for (const TRect& s : l.Rects()) covered = covered || s.Contains(r);
    EXPECT_TRUE(covered);
  }
  for (int i = 0; i < l.Count(); ++i) {
    for (int j = i + 1; j < l.Count(); ++j) EXPECT_FALSE(TClipList::Near(l.Rect(i), l.Rect(j)));
  }
}

TEST(Geometry, IntersectAndUnion) {
  const TRect a{0, 0, 10, 10}, b{5, 5, 20, 20}, c{30, 30, 40, 40}, e{3, 3, 3, 9};
  EXPECT_EQ(IntersectRect(a, b), (TRect{5, 5, 10, 10}));
  EXPECT_EQ(IntersectRect(a, c), TRect{});
  EXPECT_TRUE(IntersectRect(a, {10, 0, 20, 10}).IsEmpty());  // edges touch only
  EXPECT_EQ(UnionRect(a, c), (TRect{0, 0, 40, 40}));
  EXPECT_EQ(UnionRect(a, e), a);
  EXPECT_EQ(UnionRect(e, e), TRect{});
  EXPECT_EQ(OffsetRect(a, -5, 7), (TRect{-5, 7, 5, 17}));
  EXPECT_EQ(a.Width(), 10);
}

TEST(WorkArea, CutsTheTaskBarOnlyFromASingleScreen) {
  const TRect screen{0, 0, 1920, 1080};
  struct Case {
    TRect virtualScreen, taskBar, expected;
  };
  const Case cases[] = {
      {screen, {0, 1040, 1920, 1080}, {0, 0, 1920, 1040}},                      // bottom
      {screen, {0, 0, 1920, 40}, {0, 40, 1920, 1080}},                          // top
      {screen, {0, 0, 60, 1080}, {60, 0, 1920, 1080}},                          // left
      {screen, {1860, 0, 1920, 1080}, {0, 0, 1860, 1080}},                      // right
      {screen, {-2, 1040, 1922, 1082}, {0, 0, 1920, 1040}},                     // overhanging a little
      {screen, {100, 1040, 1000, 1080}, screen},                                // not a whole side
      {screen, {}, screen},                                                     // no task bar
      {{-1920, 0, 1920, 1080}, {0, 1040, 1920, 1080}, {-1920, 0, 1920, 1080}},  // two screens
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WorkArea(c.virtualScreen, screen, c.taskBar), c.expected) << c.taskBar.left << "," << c.taskBar.top;
  }
}

}  // namespace
}  // namespace qubo
