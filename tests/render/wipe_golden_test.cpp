// Golden images of every transition kind: five frames (progress 0, 1/4, 1/2, 3/4 and the
// last step before the end) forward in the top row and reversed in the bottom row, on a
// 64 x 48 screen, random orders from a seeded generator.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "golden.h"
#include "render/wipe.h"

namespace qubo {
namespace {

constexpr int32_t kW = 64, kH = 48, kDuration = 1000;
constexpr int32_t kFrames[] = {0, 250, 500, 750, 999};

// From: a colour gradient with a light disc; To: a blue and orange checkerboard with a bar.
void PaintPictures(TDIBX& from, TDIBX& to) {
  from.SetSize(kW, kH, 32);
  to.SetSize(kW, kH, 32);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const bool disc = std::hypot(x - 20.0, y - 24.0) < 12;
      const uint32_t r = disc ? 240 : static_cast<uint32_t>(x * 4), g = disc ? 230 : static_cast<uint32_t>(y * 5);
      from.SetPixel(x, y, (r << 16) | (g << 8) | 90);
      const bool check = ((x / 8) + (y / 8)) % 2 == 0, bar = y >= 20 && y < 28;
      to.SetPixel(x, y, bar ? 0x00F0F0F0 : check ? 0x002040C0 : 0x00E08020);
    }
}

// A grey mask image smaller than the screen (tiled): a diagonal ramp with a dark spot.
void PaintMaskImage(TDIBX& img) {
  img.SetSize(40, 30, 8);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x)
      img.SetPixel(x, y, std::hypot(x - 28.0, y - 10.0) < 6 ? 0 : static_cast<uint32_t>(255 - (x + y) * 255 / 68));
}

const char* const kNames[] = {"none",     "fade",      "blindh",    "blindv",     "curtainh",   "curtainv",
                               "scrollh",  "scrollv",   "grid",      "gridh",      "gridv",      "dither",
                               "white",    "black",     "flash",     "mosaic",     "sudareh",    "sudarev",
                               "spot",     "maskfade",  "maskwhite", "maskblack",  "small",      "big",
                               "ripple",   "blurwhite", "blurblack", "twisth",     "twistv",     "crack",
                               "zoomin",   "clockhand", "rubberh",   "rubberv",    "fan",        "wfan",
                               "circle",   "blockcoil", "blockrandom"};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == kWipeKindLast + 1);

class WipeGolden : public testing::TestWithParam<int32_t> {};

TEST_P(WipeGolden, FramesMatchTheCommittedStrip) {
  const int32_t kind = GetParam();
  TDIBX from, to, dest, mask, strip;
  PaintPictures(from, to);
  PaintMaskImage(mask);
  dest.SetSize(kW, kH, 32);
  strip.SetSize(kW * 5, kH * 2, 32);
  for (int row = 0; row < 2; ++row) {
    TWipeSeededRandom rnd(20240601);
    TWipeServices services;
    services.random = &rnd;
    auto w = CreateWipe(kind, &dest, &from, &to, services);
    ASSERT_NE(w, nullptr);
    w->Duration = kDuration;
    w->SetReverse(row == 1);
    if (kind == WP_MASKFADE || kind == WP_MASKWHITE || kind == WP_MASKBLACK) w->SetSourceImage(mask);
    if (kind == WP_SMALL || kind == WP_BIG) w->SetParam(0, 64);  // a quarter turn
    if (kind == WP_ZOOMIN) w->SetParam(0, 48), w->SetParam(1, 12);
    if (kind == WP_FADE) w->SetParam(0, 16);
    // Cells and blocks small enough for several to show on the small screen.
    if (kind == WP_GRID || kind == WP_GRIDH || kind == WP_GRIDV) w->SetParam(0, 16), w->SetParam(1, 12);
    if (kind == WP_BLOCKCOIL || kind == WP_BLOCKRANDOM) w->SetParam(0, 12);
    if (kind == WP_CRACK) w->SetParam(0, 16), w->SetParam(1, 40);
    w->Prepare();
    for (int i = 0; i < 5; ++i) {
      w->Elapsed = kFrames[i];
      ASSERT_FALSE(w->Step());
      strip.Draw(i * kW, row * kH, false, false, false, dest.BoundsRect(), dest);
    }
  }
  std::string name = "wipe_";
  name.append(kNames[kind]);
  EXPECT_TRUE(testkit::MatchesGolden(strip, name));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, WipeGolden, testing::Range(1, kWipeKindLast + 1),
                         [](const testing::TestParamInfo<int32_t>& i) { return std::string(kNames[i.param]); });

}  // namespace
}  // namespace qubo
