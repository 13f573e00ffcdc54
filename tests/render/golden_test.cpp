// Pictures judged by eye, kept as golden images: a composed scene of every straight draw,
// and a keyed image resized down and blurred.

#include <gtest/gtest.h>

#include "golden.h"
#include "render/dibx.h"
#include "render/pixelstore.h"

namespace qubo {
namespace {

TRect R(int32_t l, int32_t t, int32_t r, int32_t b) { return rects::Make(l, t, r, b); }

TEST(Golden, ComposedScene) {
  TDIBX scene;
  scene.SetSize(96, 64, 32);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 96; ++x) scene.SetPixel(x, y, (uint32_t(x * 255 / 95) << 16) | uint32_t(y * 255 / 63));
  TDIBX sprite;
  sprite.SetSize(24, 24, 32);
  TDIBX mask;
  mask.SetSize(24, 24, 8);
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 24; ++x) {
      const int32_t dx = x - 12, dy = y - 12, d2 = dx * dx + dy * dy;
      sprite.SetPixel(x, y, d2 < 100 ? 0x00FFD040 : 0x00FF00FF);
      mask.SetPixel(x, y, d2 >= 144 ? 0 : d2 < 64 ? 255 : uint32_t(255 - (d2 - 64) * 3));
    }
  sprite.TransparentColor = 0x00FF00FF;
  scene.Draw(4, 4, false, false, true, sprite.BoundsRect(), sprite);
  scene.DrawBlend(30, 4, 128, false, true, true, R(0, 0, 16, 24), sprite);
  scene.DrawAdd(56, 4, 160, true, false, false, sprite.BoundsRect(), sprite);
  scene.DrawAlpha(4, 36, mask, false, false, sprite.BoundsRect(), sprite);
  scene.DrawAlphaBlend(30, 36, 100, mask, false, false, sprite.BoundsRect(), sprite);
  scene.FillMasked(56, 36, 255, 0x00FFFFFF, false, false, mask.BoundsRect(), mask);
  scene.SetClipRect(R(80, 0, 96, 64));
  scene.FrameRectBlend(R(78, 2, 94, 62), 3, 160, 0x00000000);
  scene.FillRectSub(R(84, 20, 90, 44), 0x00404040);
  scene.ResetClip();
  EXPECT_TRUE(testkit::MatchesGolden(scene, "composed_scene"));
}

TEST(Golden, KeyedResizeAndBlur) {
  TDIBSurface s(64, 48, 24);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      s.SetPixel(x, y, ((x / 8 + y / 8) % 3 == 0) ? 0xFF00FF : (uint32_t(x * 4) << 8) | uint32_t(y * 5));
  TDIBSurface small;
  small.CopyFrom(s);
  small.Resize(40, 30, 0xFF00FF, true);
  EXPECT_TRUE(testkit::MatchesGolden(small, "keyed_resize"));
  s.Blur(24, 3);
  EXPECT_TRUE(testkit::MatchesGolden(s, "blur_r3"));
}

}  // namespace
}  // namespace qubo
