// Transitions: the invariants of every kind, the mask framework and the edge cases of single
// kinds.

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <stdexcept>

#include "render/pixelstore.h"
#include "render/wipe.h"
#include "render/wipemasks.h"
#include "render/wipemotion.h"
#include "render/wiperows.h"

namespace qubo {
namespace {

// From and To differ at every pixel (in the green channel, or by half the range at 8 bits).
struct Pictures {
  TDIBX from, to, dest;
  Pictures(int32_t w, int32_t h, int bits = 32) {
    for (TDIBX* s : {&from, &to, &dest}) s->SetSize(w, h, bits);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        if (bits == 8) {
          from.SetPixel(x, y, static_cast<uint32_t>((x * 7 + y * 3) % 128));
          to.SetPixel(x, y, static_cast<uint32_t>(128 + (x * 5 + y * 11) % 128));
        } else {
          from.SetPixel(x, y, (uint32_t(x * 4 & 255) << 16) | (uint32_t(y * 5 & 255) << 8) | 64);
          to.SetPixel(x, y, (uint32_t(255 - (x * 3 & 255)) << 16) | (128u << 8) | uint32_t((x + y) * 3 & 255));
        }
      }
    dest.Clear(0);
  }
};

// Kinds whose first frame is by design not the old picture.
bool StartsAtFrom(int32_t kind) {
  switch (kind) {
    case WP_FLASH:   // a white flash fading into To
    case WP_MOSAIC:  // starts at blocks of about four pixels
    case WP_SMALL:   // From drawn at scale (Duration - 1) / Duration
      return false;
    default:
      return true;
  }
}

std::unique_ptr<TCustomWipe> Make(int32_t kind, Pictures& p, int32_t duration, bool reverse = false) {
  auto w = CreateWipe(kind, &p.dest, &p.from, &p.to);
  if (!w) return w;
  w->Duration = duration;
  w->SetReverse(reverse);
  w->Elapsed = 0;
  w->Prepare();
  return w;
}

int64_t CountDiffering(TDIBX& a, TDIBX& b) {
  int64_t n = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x) n += ((a.GetPixel(x, y) ^ b.GetPixel(x, y)) & 0xFFFFFF) != 0;
  return n;
}

struct TSize {
  int32_t w, h;
};
const TSize kSizes[] = {{64, 48}, {7, 5}, {1, 1}, {1, 9}, {9, 1}};

TEST(WipeFactory, KindZeroAndKindsOutsideTheTableCreateNothing) {
  Pictures p(8, 8);
  for (int32_t k : {0, -1, 39, 1000, INT_MIN, INT_MAX}) EXPECT_EQ(CreateWipe(k, &p.dest, &p.from, &p.to), nullptr) << k;
  for (int32_t k = 1; k <= kWipeKindLast; ++k) EXPECT_NE(CreateWipe(k, &p.dest, &p.from, &p.to), nullptr) << k;
}

TEST(WipeFactory, DefaultParametersAndMaskClamps) {
  Pictures p(8, 8);
  struct {
    int32_t kind, p0, p1;
  } const cases[] = {{WP_BLINDH, 20, 1}, {WP_CURTAINV, 30, 1}, {WP_GRID, 80, 30}, {WP_RIPPLE, 5, 0},
                     {WP_CRACK, 64, 3},  {WP_BLOCKCOIL, 60, 1}, {WP_FADE, 0, 0},  {WP_CLOCKHAND, 2, 1}};
  for (const auto& c : cases) {
    auto w = CreateWipe(c.kind, &p.dest, &p.from, &p.to);
    EXPECT_EQ(w->GetParam(0), c.p0) << c.kind;
    EXPECT_EQ(w->GetParam(1), c.p1) << c.kind;
  }
  auto blind = CreateWipe(WP_BLINDH, &p.dest, &p.from, &p.to);
  blind->SetParam(0, 0);
  blind->SetParam(1, 0);
  EXPECT_EQ(blind->GetParam(0), 2);
  EXPECT_EQ(blind->GetParam(1), 1);
  auto curtain = CreateWipe(WP_CURTAINH, &p.dest, &p.from, &p.to);
  curtain->SetParam(0, -5);
  EXPECT_EQ(curtain->GetParam(0), 1);
  auto fade = CreateWipe(WP_FADE, &p.dest, &p.from, &p.to);
  fade->SetParam(0, -5);
  EXPECT_EQ(fade->GetParam(0), -5);
}

// Progress 0 shows From, the finishing step shows To, every step in between draws without
// fault, and the same elapsed time gives the same picture whatever steps came before.
TEST(WipeInvariants, EveryKindStartsAtFromEndsAtToAndDependsOnlyOnElapsed) {
  for (const TSize sz : kSizes)
    for (int32_t kind = 1; kind <= kWipeKindLast; ++kind)
      for (bool reverse : {false, true}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " " << sz.w << "x" << sz.h << " reverse " << reverse);
        Pictures p(sz.w, sz.h);
        auto w = Make(kind, p, 1000, reverse);
        ASSERT_FALSE(w->Step());
        if (StartsAtFrom(kind)) {
          EXPECT_EQ(CountDiffering(p.dest, p.from), 0);
        }
        EXPECT_TRUE(rects::Equal(w->ChangedRect, p.dest.BoundsRect()));

        for (int32_t e = 37; e < 1000; e += 37) {
          w->Elapsed = e;
          ASSERT_FALSE(w->Step());
        }
        TDIBX walked;
        walked.SetSize(sz.w, sz.h, 32);
        walked.Draw(0, 0, false, false, false, walked.BoundsRect(), p.dest);
        auto jumped = Make(kind, p, 1000, reverse);
        jumped->Elapsed = 37 * 27;  // the last walked step
        p.dest.Clear(0x123456);
        ASSERT_FALSE(jumped->Step());
        EXPECT_EQ(CountDiffering(p.dest, walked), 0);

        w->Elapsed = 1000;
        EXPECT_TRUE(w->Step());
        EXPECT_EQ(CountDiffering(p.dest, p.to), 0);
      }
}

TEST(WipeInvariants, HardMasksGiveOnlyFromOrToPixels) {
  Pictures p(64, 48);
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind)
    for (bool reverse : {false, true}) {
      auto w = Make(kind, p, 997, reverse);
      if (kind == WP_BLINDH || kind == WP_GRID) w->SetParam(1, 1), w->Prepare();
      auto* m = dynamic_cast<TWipeMask*>(w.get());
      if (!m || !m->Hard) continue;
      for (int32_t e : {1, 100, 333, 500, 750, 996}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " reverse " << reverse << " elapsed " << e);
        w->Elapsed = e;
        w->Step();
        for (int32_t y = 0; y < 48; ++y)
          for (int32_t x = 0; x < 64; ++x) {
            const uint32_t d = p.dest.GetPixel(x, y) & 0xFFFFFF;
            ASSERT_TRUE(d == (p.from.GetPixel(x, y) & 0xFFFFFF) || d == (p.to.GetPixel(x, y) & 0xFFFFFF)) << x << "," << y;
          }
      }
    }
}

TEST(WipeInvariants, ZeroOrNegativeDurationIsFinishedAndShowsTo) {
  Pictures p(7, 5);
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind)
    for (int32_t d : {0, -1, INT_MIN}) {
      auto w = Make(kind, p, d);
      p.dest.Clear(0);
      EXPECT_TRUE(w->Step()) << kind;
      EXPECT_EQ(CountDiffering(p.dest, p.to), 0) << kind;
    }
}

TEST(WipeInvariants, NegativeElapsedCountsAsTheStart) {
  Pictures p(7, 5);
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind) {
    if (!StartsAtFrom(kind)) continue;
    auto w = Make(kind, p, 1000);
    w->Elapsed = INT_MIN;
    EXPECT_FALSE(w->Step()) << kind;
    EXPECT_EQ(CountDiffering(p.dest, p.from), 0) << kind;
  }
}

// Long durations: Elapsed * N must not overflow 32 bits (nor 64 for the chip timeline).
TEST(WipeInvariants, LongDurationsKeepProgressInRange) {
  Pictures p(64, 48);
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind) {
    auto w = Make(kind, p, INT_MAX);
    if (kind == WP_CRACK) w->SetParam(1, INT_MAX), w->Prepare();
    w->Elapsed = INT_MAX / 2;
    EXPECT_FALSE(w->Step()) << kind;
    w->Elapsed = INT_MAX - 1;
    EXPECT_FALSE(w->Step()) << kind;
  }
  // Half way through a long cross-fade is half way.
  auto fade = Make(WP_FADE, p, INT_MAX);
  fade->Elapsed = INT_MAX / 2;
  fade->Step();
  const uint32_t f = p.from.GetPixel(3, 3), t = p.to.GetPixel(3, 3), d = p.dest.GetPixel(3, 3);
  EXPECT_EQ(d & 0xFF, ((127 * (t & 0xFF) + 128 * (f & 0xFF)) >> 8));
}

// Extreme parameters from a script neither overflow nor allocate beyond the screen.
TEST(WipeInvariants, ExtremeParametersAreSafe) {
  const int32_t values[] = {INT_MIN, -1, 0, 1, 3, INT_MAX};
  for (const TSize sz : {TSize{7, 5}, TSize{1, 1}})
    for (int32_t kind = 1; kind <= kWipeKindLast; ++kind)
      for (int32_t p0 : values)
        for (int32_t p1 : values) {
          Pictures p(sz.w, sz.h);
          auto w = CreateWipe(kind, &p.dest, &p.from, &p.to);
          w->Duration = 1000;
          w->SetParam(0, p0);
          w->SetParam(1, p1);
          w->Option = p0 == 3;
          w->Prepare();
          for (int32_t e : {0, 1, 499, 999}) {
            w->Elapsed = e;
            ASSERT_FALSE(w->Step()) << kind << " " << p0 << " " << p1;
          }
          if (auto* m = dynamic_cast<TWipeMask*>(w.get())) {
            ASSERT_LE(m->Mask.Height(), std::max(sz.h, 64)) << kind;
          }
        }
}

TEST(WipeInvariants, UnusableSurfacesDrawNothing) {
  Pictures p(16, 16);
  TDIBX small;
  small.SetSize(8, 8, 32);
  TDIBX grey;
  grey.SetSize(16, 16, 8);
  struct {
    TCustomDIBX *from, *to;
  } const cases[] = {{&small, &p.to}, {&p.from, &small}, {&grey, &p.to}, {&p.dest, &p.to}, {&p.from, &p.dest}};
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind)
    for (const auto& c : cases) {
      p.dest.Clear(0x00ABCDEF);
      auto w = CreateWipe(kind, &p.dest, c.from, c.to);
      w->Duration = 100;
      w->Elapsed = 50;
      w->Prepare();
      EXPECT_FALSE(w->Step());
      for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) ASSERT_EQ(p.dest.GetPixel(x, y), 0x00ABCDEFu) << kind;
    }
}

TEST(WipeInvariants, ADestinationResizedAfterPrepareIsPreparedAgain) {
  for (int32_t kind = 1; kind <= kWipeKindLast; ++kind) {
    Pictures p(64, 48);
    auto w = Make(kind, p, 100);
    w->Elapsed = 40;
    w->Step();
    p.dest.SetSize(7, 5, 32);
    w->Elapsed = 41;
    EXPECT_FALSE(w->Step()) << kind;
    w->Elapsed = 0;
    w->Step();
    if (StartsAtFrom(kind)) {
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 7; ++x)
          ASSERT_EQ(p.dest.GetPixel(x, y) & 0xFFFFFF, p.from.GetPixel(x, y) & 0xFFFFFF) << kind;
    }
  }
}

// Mask framework

TEST(WipeMask, SteppedTwiceAtTheSameProgressDrawsOnce) {
  Pictures p(32, 16);
  auto w = Make(WP_BLINDH, p, 1000);
  w->Elapsed = 500;
  w->Step();
  p.dest.Clear(0x00FF00FF);
  w->Elapsed = 501;  // the same slat progress: (1 + 40 - 2) * 501 div 1000 = 19
  w->Step();
  EXPECT_EQ(p.dest.GetPixel(5, 5), 0x00FF00FFu);
  w->Elapsed = 520;
  w->Step();
  EXPECT_NE(p.dest.GetPixel(5, 5), 0x00FF00FFu);
}

TEST(WipeMask, BlindWithHardEdgeSwitchesWholeSlatColumns) {
  Pictures p(40, 6);
  auto w = Make(WP_BLINDH, p, 1000);
  w->SetParam(0, 10);
  w->SetParam(1, 1);
  w->Prepare();
  for (int32_t e = 0; e < 1000; e += 50) {
    w->Elapsed = e;
    w->Step();
    const int64_t b = (1 + 20 - 2) * int64_t{e} / 1000;
    for (int32_t x = 0; x < 40; ++x) {
      const bool shown = b >= 2 * (x % 10) && b - 2 * (x % 10) >= 1;
      for (int32_t y = 0; y < 6; ++y)
        ASSERT_EQ(p.dest.GetPixel(x, y) & 0xFFFFFF, (shown ? p.to : p.from).GetPixel(x, y) & 0xFFFFFF)
            << "e " << e << " x " << x;
    }
  }
}

// A mask shorter than the destination repeats down it, on 32-bit and 8-bit destinations.
TEST(WipeMask, ShortMasksTileByRowOnEveryDepth) {
  for (int bits : {32, 8}) {
    Pictures p(20, 23, bits);
    auto w = Make(WP_BLINDV, p, 1000);
    w->SetParam(0, 4);
    w->SetParam(1, 3);
    w->Prepare();
    auto* m = dynamic_cast<TWipeMask*>(w.get());
    ASSERT_EQ(m->Mask.Height(), 4);
    w->Elapsed = 400;
    w->Step();
    for (int32_t y = 0; y < 23; ++y) {
      const uint32_t level = m->Mask.GetPixel(0, y % 4);
      for (int32_t x = 0; x < 20; ++x) {
        const uint32_t f = p.from.GetPixel(x, y), t = p.to.GetPixel(x, y), d = p.dest.GetPixel(x, y);
        const uint32_t want = level == 0 ? f : level == 255 ? t : (bits == 8 ? ((level * t + (255 - level) * f) >> 8) : d);
        ASSERT_EQ(d, want) << bits << " " << x << "," << y;
      }
    }
  }
}

TEST(WipeMask, DitherSwitchesTheFirstCellsOfItsFixedOrder) {
  const std::vector<int32_t> order = TWipeDither::TileOrder();
  ASSERT_EQ(order.size(), 4096u);
  EXPECT_EQ(std::set<int32_t>(order.begin(), order.end()).size(), 4096u);
  // s = 12341, then 12341 * 5 + 12341: item 53 first, then the item at index 336 of the
  // 4095 left, which is 337 since 53 is gone.
  EXPECT_EQ(order[0], 12341 % 4096);
  EXPECT_EQ((12341u * 5 + 12341) % 4095, 336u);
  EXPECT_EQ(order[1], 337);

  Pictures p(130, 70);
  auto w = Make(WP_DITHER, p, 4096);
  w->Elapsed = 1000;
  w->Step();
  auto* m = dynamic_cast<TWipeMask*>(w.get());
  int count = 0;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      count += m->Mask.GetPixel(x, y) == 255;
      EXPECT_EQ(m->Mask.GetPixel(x + 64, y), m->Mask.GetPixel(x, y));
    }
  EXPECT_EQ(count, 1000);
  EXPECT_EQ(p.dest.GetPixel(order[0] % 64, order[0] / 64) & 0xFFFFFF, p.to.GetPixel(order[0] % 64, order[0] / 64) & 0xFFFFFF);
  EXPECT_EQ(p.dest.GetPixel(order[0] % 64, 64 + order[0] / 64) & 0xFFFFFF,
            p.to.GetPixel(order[0] % 64, 64 + order[0] / 64) & 0xFFFFFF);
}

TEST(WipeMask, MaskFadeWithoutImageIsUniformAndReachesToAtHalfTime) {
  Pictures p(16, 8);
  for (bool emptyImage : {false, true}) {
    auto w = Make(WP_MASKFADE, p, 1000);
    w->SetSource("missing");
    TDIBX empty;
    empty.SetSize(0, 0, 8);
    if (emptyImage) w->SetSourceImage(empty);
    w->Prepare();
    w->Elapsed = 250;  // p = 128: mask 127 everywhere
    w->Step();
    auto* m = dynamic_cast<TWipeMask*>(w.get());
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x) ASSERT_EQ(m->Mask.GetPixel(x, y), 127u);
    w->Elapsed = 500;
    w->Step();
    EXPECT_EQ(CountDiffering(p.dest, p.to), 0);
  }
}

TEST(WipeMask, MaskFadeImageOrdersPixelsBrightFirstAndTiles) {
  // A 4 x 2 grey image: left half white, right half black; Reverse inverts it.
  TDIBX img;
  img.SetSize(4, 2, 8);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) img.SetPixel(x, y, x < 2 ? 255 : 0);
  for (bool reverse : {false, true})
    for (bool viaLoader : {false, true}) {
      Pictures p(10, 5);
      TWipeServices s;
      s.loadImage = [&](const std::string& name, TDIBX& out) {
        if (name != "mask") return false;
        out.SetSize(4, 2, 8);
        out.Draw(0, 0, false, false, false, img.BoundsRect(), img);
        return true;
      };
      auto w = CreateWipe(WP_MASKFADE, &p.dest, &p.from, &p.to, viaLoader ? s : TWipeServices{});
      w->Duration = 1000;
      w->SetReverse(reverse);
      w->SetSource("mask");
      if (!viaLoader) w->SetSourceImage(img);
      w->Prepare();
      w->Elapsed = 500;  // p = 256: bright pixels done, dark ones not begun
      w->Step();
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 10; ++x) {
          const bool bright = ((x % 4) < 2) != reverse;
          ASSERT_EQ(p.dest.GetPixel(x, y) & 0xFFFFFF, (bright ? p.to : p.from).GetPixel(x, y) & 0xFFFFFF) << x << "," << y;
        }
    }
}

TEST(WipeMask, AFailingImageLoaderLeavesAUniformMask) {
  Pictures p(8, 8);
  TWipeServices s;
  s.loadImage = [](const std::string&, TDIBX&) -> bool { throw std::runtime_error("damaged"); };
  auto w = CreateWipe(WP_MASKWHITE, &p.dest, &p.from, &p.to, s);
  w->Duration = 768;
  w->SetSource("bad");
  w->Prepare();
  w->Elapsed = 256 + 100;  // v = 355 - 1 for every pixel: To brightened by 157
  w->Step();
  const uint32_t t = p.to.GetPixel(2, 2);
  const uint32_t g = 511 - (256 + 100 + 255 - 256);
  EXPECT_EQ(p.dest.GetPixel(2, 2) & 0xFF, std::min<uint32_t>(255, (t & 0xFF) + g));
}

TEST(WipeMask, ReversedCircleShowsToOutsideAShrinkingCircleOfFrom) {
  Pictures p(40, 30);
  auto w = Make(WP_CIRCLE, p, 1000, true);
  w->Elapsed = 0;
  w->Step();
  EXPECT_EQ(CountDiffering(p.dest, p.from), 0);
  w->Elapsed = 600;
  w->Step();
  EXPECT_EQ(p.dest.GetPixel(20, 15) & 0xFFFFFF, p.from.GetPixel(20, 15) & 0xFFFFFF);
  EXPECT_EQ(p.dest.GetPixel(0, 0) & 0xFFFFFF, p.to.GetPixel(0, 0) & 0xFFFFFF);
}

TEST(WipeMask, BlockCoilListsAnInwardSpiral) {
  Pictures p(30, 30);
  auto w = Make(WP_BLOCKCOIL, p, 1000);
  w->SetParam(0, 10);
  w->Prepare();
  const auto& b = dynamic_cast<TWipeBlockCoil*>(w.get())->Blocks();
  const int32_t want[][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}, {1, 1}};
  ASSERT_EQ(b.size(), 9u);
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(b[i].left, want[i][0] * 10) << i;
    EXPECT_EQ(b[i].top, want[i][1] * 10) << i;
  }
  // Reversed, the spiral fills from the centre outward.
  auto r = Make(WP_BLOCKCOIL, p, 9, true);
  r->SetParam(0, 10);
  r->Prepare();
  r->Elapsed = 1;
  r->Step();
  EXPECT_EQ(p.dest.GetPixel(15, 15) & 0xFFFFFF, p.to.GetPixel(15, 15) & 0xFFFFFF);
  EXPECT_EQ(p.dest.GetPixel(5, 5) & 0xFFFFFF, p.from.GetPixel(5, 5) & 0xFFFFFF);
}

TEST(WipeMask, BlockRandomOrderComesFromTheInjectedGenerator) {
  auto order = [](uint64_t seed) {
    Pictures p(100, 100);
    TWipeSeededRandom rnd(seed);
    TWipeServices s;
    s.random = &rnd;
    auto w = CreateWipe(WP_BLOCKRANDOM, &p.dest, &p.from, &p.to, s);
    w->SetParam(0, 10);
    w->Duration = 100;
    w->Prepare();
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const TRect& r : dynamic_cast<TWipeBlockCoil*>(w.get())->Blocks()) out.emplace_back(r.left, r.top);
    return out;
  };
  const auto a = order(7), b = order(7), c = order(8);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  const std::set<std::pair<int32_t, int32_t>> distinct(a.begin(), a.end());
  EXPECT_EQ(distinct.size(), 100u);
}

// Direct kinds

TEST(WipeDirect, GreyAddAndSubtractSaturatePerChannel) {
  for (uint32_t c = 0; c < 256; ++c)
    for (uint32_t g = 0; g < 256; ++g) {
      // The channel under test between two neighbours that sit at the edges of the range.
      for (int sh : {0, 8, 16}) {
        const uint32_t others = 0xFF000000u | (sh == 0 ? 0x00FF0000u : 0x000000FFu);
        const uint32_t p = (others & ~(0xFFu << sh)) | (c << sh);
        const uint32_t add = wipe::AddGrey(p, g), sub = wipe::SubGrey(p, g);
        ASSERT_EQ((add >> sh) & 0xFF, std::min(255u, c + g)) << c << " " << g << " " << sh;
        ASSERT_EQ((sub >> sh) & 0xFF, c > g ? c - g : 0u) << c << " " << g << " " << sh;
        ASSERT_EQ(add >> 24, 0u);
        ASSERT_EQ(sub >> 24, 0u);
      }
    }
  EXPECT_EQ(wipe::AddGrey(0x00FF0000, 1), 0x00FF0101u);
  EXPECT_EQ(wipe::SubGrey(0x0000FF01, 2), 0x0000FD00u);
}

TEST(WipeDirect, FadeLastStepBeforeTheEndBlendsAtNearlyFullOpacity) {
  Pictures p(8, 8);
  auto w = Make(WP_FADE, p, 10);
  w->Elapsed = 9;  // opacity 9 * 256 div 10 = 230
  w->Step();
  const uint32_t f = p.from.GetPixel(4, 4) & 0xFF, t = p.to.GetPixel(4, 4) & 0xFF;
  EXPECT_EQ(p.dest.GetPixel(4, 4) & 0xFF, (230 * t + 25 * f) >> 8);
}

TEST(WipeDirect, FadeSlidesInFromItsOffset) {
  Pictures p(20, 10);
  auto w = Make(WP_FADE, p, 10);
  w->SetParam(0, 10);
  w->Elapsed = 5;  // c = 4 / 10: To drawn at x = 4
  w->Step();
  EXPECT_EQ(p.dest.GetPixel(3, 0) & 0xFFFFFF, p.from.GetPixel(3, 0) & 0xFFFFFF);
  const uint32_t f = p.from.GetPixel(4, 0) & 0xFF, t = p.to.GetPixel(0, 0) & 0xFF;
  EXPECT_EQ(p.dest.GetPixel(4, 0) & 0xFF, (128 * t + 127 * f) >> 8);
}

TEST(WipeDirect, CrackChipsFallOutOfThePicture) {
  EXPECT_EQ(TWipeCrack::Drop(100), (50000 - 150000) / 1000);
  for (int64_t h : {0, 1, 48, 1080}) {
    const int64_t f = TWipeCrack::FallLength(h);
    EXPECT_GT(TWipeCrack::Drop(f), h);
    EXPECT_LE(TWipeCrack::Drop(f - 1), h);
  }
  Pictures p(64, 48);
  auto w = Make(WP_CRACK, p, 1000);
  w->SetParam(0, 4);  // clamped to 16
  w->Prepare();
  const auto& chips = dynamic_cast<TWipeCrack*>(w.get())->Chips();
  EXPECT_EQ(chips.size(), 12u);
  for (size_t i = 0; i < chips.size(); ++i) {
    EXPECT_EQ(chips[i].start, static_cast<int64_t>(i) * 3);
    EXPECT_GE(chips[i].drift, -100);
    EXPECT_LE(chips[i].drift, 99);
  }
}

TEST(WipeDirect, OptionDrawsOnlyThePixelsThatDiffer) {
  // Pictures equal except for a square: with Option, nothing outside it ever changes.
  for (int32_t kind : {WP_SMALL, WP_BIG, WP_CRACK}) {
    Pictures p(32, 32);
    p.to.Draw(0, 0, false, false, false, p.to.BoundsRect(), p.from);
    p.to.FillRect(rects::Make(8, 8, 16, 16), 0x00FFFFFF);
    auto w = Make(kind, p, 1000);
    w->Option = true;
    w->Prepare();
    for (int32_t e : {0, 200, 500, 900}) {
      w->Elapsed = e;
      w->Step();
      for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
          if (x >= 8 && x < 16 && y >= 8 && y < 16) continue;
          ASSERT_EQ(p.dest.GetPixel(x, y) & 0xFFFFFF, p.from.GetPixel(x, y) & 0xFFFFFF) << kind << " " << e;
        }
    }
  }
}

TEST(WipeDirect, SpotRingBrightensFromThenTo) {
  Pictures p(41, 41);
  auto w = Make(WP_SPOT, p, 1000);
  const int32_t R = 29 + 512;  // round(hypot(20.5, 20.5)) = 29
  w->Elapsed = 19;  // b = 19 * 541 div 1000 = 10
  w->Step();
  const int64_t b = int64_t{w->Elapsed} * R / 1000;
  ASSERT_EQ(b, 10);
  // The centre pixel (distance 0) is From brightened by b.
  const uint32_t f = p.from.GetPixel(20, 20);
  EXPECT_EQ(p.dest.GetPixel(20, 20) & 0xFF, std::min<uint32_t>(255, (f & 0xFF) + static_cast<uint32_t>(b)));
  // The corner (distance 28) has not been reached.
  EXPECT_EQ(p.dest.GetPixel(0, 0) & 0xFFFFFF, p.from.GetPixel(0, 0) & 0xFFFFFF);
}

}  // namespace
}  // namespace qubo
