// Drawing surfaces: the pixel arithmetic on tiny surfaces, clipping with flips, masks,
// keys, fills, the clip rectangle and loading.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/dibx.h"
#include "render/imagefile.h"
#include "render/pixelstore.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo {
namespace {

TRect R(int32_t l, int32_t t, int32_t r, int32_t b) { return rects::Make(l, t, r, b); }

// A surface of the given depth filled from a row-major list (or with one value).
std::unique_ptr<TDIBX> Surface(int32_t w, int32_t h, int bits, std::vector<uint32_t> px = {}) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) s->SetPixel(x, y, px.empty() ? 0 : px.size() == 1 ? px[0] : px[y * w + x]);
  return s;
}

std::vector<uint32_t> Pixels(const TCustomDIBX& s) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) v.push_back(s.GetPixel(x, y));
  return v;
}

TEST(Surface, RequestedDepthsAreDrawingDepths) {
  for (auto [asked, got] : std::vector<std::pair<int, int>>{{15, 32}, {16, 32}, {24, 32}, {32, 32}, {8, 8}, {4, 4}, {1, 1}}) {
    TDIBX s;
    s.SetSize(3, 2, asked);
    EXPECT_EQ(s.BitCount(), got) << asked;
  }
  TDIBX fresh;
  EXPECT_EQ(fresh.Width(), 1);
  EXPECT_EQ(fresh.BitCount(), 32);
  EXPECT_EQ(fresh.TransparentColor, -1);
  EXPECT_EQ(fresh.RedMask(), 0xFF0000u);
  EXPECT_EQ(fresh.RedShift(), 16);
  EXPECT_EQ(fresh.BytesPerPixel(), 4);
}

TEST(Surface, ColorToPixelPutsRedHigh) {
  TDIBX s32;
  s32.SetSize(1, 1, 32);
  EXPECT_EQ(s32.ColorToPixel(0x00332211), 0x112233);
  EXPECT_EQ(s32.ColorToPixel(-1), -1);
  EXPECT_EQ(s32.ColorToPixel(-5), -1);
  TDIBX s8;
  s8.SetSize(1, 1, 8);
  EXPECT_EQ(s8.ColorToPixel(0x45), 0x45);
  // A 24-bit storage (borrowed) packs red and blue in its pixel order too.
  TDIBSurface st(1, 1, 24);
  TDIBX s24(&st);
  EXPECT_EQ(s24.ColorToPixel(0x00332211), 0x112233);
}

TEST(DrawBlend, WeightTable) {
  struct Case {
    uint32_t a, s, d, out;
  };
  const Case cases[] = {
      {0, 0x00FFFFFF, 0x00000000, 0x00000000},    // opacity 0 draws nothing
      {128, 0x00FFFFFF, 0x00000000, 0x007F7F7F},  // (128 * 255) >> 8
      {254, 0x00FFFFFF, 0x00000000, 0x00FDFDFD},
      {255, 0x00FFFFFF, 0x00000000, 0x00FEFEFE},  // 255 is not an exact copy
      {255, 0x00804020, 0x00804020, 0x00804020},  // equal pixels are left alone
      {128, 0x00FFFFFF, 0xAB000000, 0x007F7F7F},  // the top byte of a result is 0
  };
  for (const Case& c : cases) {
    auto src = Surface(1, 1, 32, {c.s});
    auto dst = Surface(1, 1, 32, {c.d});
    dst->DrawBlend(0, 0, c.a, false, false, false, src->BoundsRect(), *src);
    EXPECT_EQ(dst->GetPixel(0, 0), c.out) << "opacity " << c.a;
  }
}

TEST(DrawBlend, KeyOnlyWithUseKeyAt32Bits) {
  auto src = Surface(2, 1, 32, {0x00FF00FF, 0x00FFFFFF});
  src->TransparentColor = 0x00FF00FF;
  auto dst = Surface(2, 1, 32, {0});
  dst->DrawBlend(0, 0, 128, false, false, true, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, 0x007F7F7F}));
  dst->Clear(0);
  dst->DrawBlend(0, 0, 128, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x007F007F, 0x007F7F7F}));
}

TEST(DrawAdd, SaturatesEachChannelAlone) {
  auto src = Surface(3, 1, 32, {0x00FF01FF, 0x00808080, 0x00123456});
  src->TransparentColor = 0x00123456;  // always skipped, whatever the flag
  auto dst = Surface(3, 1, 32, {0x0001FF01, 0xFF808080, 0x00000000});
  dst->DrawAdd(0, 0, 255, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00FFFFFF, 0x00FFFFFF, 0}));
  auto d2 = Surface(1, 1, 32, {0x00101010});
  d2->DrawAdd(0, 0, 128, false, false, false, R(1, 0, 2, 1), *src);
  EXPECT_EQ(d2->GetPixel(0, 0), 0x00505050u);  // 0x10 + (128 * 0x80 >> 8)
}

TEST(DrawAdd, EightBitAddsIndicesWithoutWeight) {
  auto src = Surface(2, 1, 8, {200, 10});
  auto dst = Surface(2, 1, 8, {100, 10});
  dst->DrawAdd(0, 0, 1, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{255, 20}));
}

TEST(DrawAlpha, MaskTable) {
  auto src = Surface(4, 1, 32, {0xAAFFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF});
  auto mask = Surface(4, 1, 8, {255, 0, 128, 1});
  auto dst = Surface(4, 1, 32, {0x11000000, 0x22102030, 0, 0x00FFFFFF});
  dst->DrawAlpha(0, 0, *mask, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0xAAFFFFFF, 0x22102030, 0x007F7F7F, 0x00FEFEFE}));
  // A mask that is not 8-bit draws nothing.
  auto notMask = Surface(4, 1, 32, {255});
  auto d2 = Surface(4, 1, 32, {7});
  d2->DrawAlpha(0, 0, *notMask, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*d2), (std::vector<uint32_t>(4, 7)));
}

TEST(DrawAlphaBlendAndAdd, WeightIsOpacityTimesMask) {
  auto src = Surface(3, 1, 32, {0x00FFFFFF});
  auto mask = Surface(3, 1, 8, {255, 128, 0});
  auto dst = Surface(3, 1, 32, {0});
  dst->DrawAlphaBlend(0, 0, 128, *mask, false, false, src->BoundsRect(), *src);
  // w = (128 * 255) >> 8 = 127, (128 * 128) >> 8 = 64.
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x007E7E7E, 0x003F3F3F, 0}));
  dst->Clear(0x00F0F0F0);
  dst->DrawAlphaAdd(0, 0, 255, *mask, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00FFFFFF, 0x00FFFFFF, 0x00F0F0F0}));
}

TEST(FillMasked, ColourThroughMask) {
  auto mask = Surface(3, 1, 8, {255, 128, 0});
  auto dst = Surface(3, 1, 32, {0});
  dst->FillMasked(0, 0, 255, 0x00FFFFFF, false, false, mask->BoundsRect(), *mask);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00FEFEFE, 0x007F7F7F, 0}));
  auto eq = Surface(1, 1, 32, {0x00FFFFFF});
  eq->FillMasked(0, 0, 255, 0x00FFFFFF, false, false, R(0, 0, 1, 1), *mask);
  EXPECT_EQ(eq->GetPixel(0, 0), 0x00FFFFFFu);  // equal to the colour: left alone
}

TEST(Draw, KeyedCopySkipsTheTransparentColour) {
  auto src = Surface(3, 1, 32, {1, 0x00FF00FF, 3});
  src->TransparentColor = 0x00FF00FF;
  auto dst = Surface(3, 1, 32, {9});
  dst->Draw(0, 0, false, false, true, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{1, 9, 3}));
  dst->Draw(0, 0, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{1, 0x00FF00FF, 3}));
}

TEST(Draw, SourceOfAnotherDepthDrawsNothing) {
  auto src = Surface(2, 2, 8, {5});
  auto dst = Surface(2, 2, 32, {7});
  dst->Draw(0, 0, false, false, false, src->BoundsRect(), *src);
  dst->DrawBlend(0, 0, 128, false, false, false, src->BoundsRect(), *src);
  dst->DrawAdd(0, 0, 128, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>(4, 7)));
}

// Reference for a straight copy: every source pixel lands where the unclipped draw puts it;
// only pixels that exist in the source and fall in the clip are drawn.
std::vector<uint32_t> NaiveDraw(const TDIBX& dst, const TDIBX& src, int32_t x, int32_t y, TRect sr, bool fv, bool fh,
                                TRect clip) {
  std::vector<uint32_t> out = Pixels(dst);
  for (int32_t j = 0; j < sr.bottom - sr.top; ++j)
    for (int32_t i = 0; i < sr.right - sr.left; ++i) {
      const int32_t X = x + i, Y = y + j;
      if (X < clip.left || X >= clip.right || Y < clip.top || Y >= clip.bottom) continue;
      const int32_t sx = fh ? sr.right - 1 - i : sr.left + i, sy = fv ? sr.bottom - 1 - j : sr.top + j;
      if (sx < 0 || sy < 0 || sx >= src.Width() || sy >= src.Height()) continue;
      out[Y * dst.Width() + X] = src.GetPixel(sx, sy);
    }
  return out;
}

TEST(Draw, EveryEdgeClippedWithEveryFlip) {
  std::vector<uint32_t> px;
  for (uint32_t i = 0; i < 20; ++i) px.push_back(0x00010000 * (i + 1) + i);
  auto src = Surface(5, 4, 32, px);
  const TRect clip = R(1, 1, 6, 5);
  const TRect srcRects[] = {R(0, 0, 5, 4), R(1, 1, 4, 3), R(-2, -1, 3, 6), R(3, 2, 8, 9)};
  int cases = 0;
  for (const TRect& sr : srcRects)
    for (int32_t y = -5; y <= 6; ++y)
      for (int32_t x = -6; x <= 7; ++x)
        for (int f = 0; f < 4; ++f) {
          const bool fv = f & 1, fh = f & 2;
          auto dst = Surface(7, 6, 32, {0xEE});
          dst->SetClipRect(clip);
          const std::vector<uint32_t> want = NaiveDraw(*dst, *src, x, y, sr, fv, fh, clip);
          dst->Draw(x, y, fv, fh, false, sr, *src);
          ASSERT_EQ(Pixels(*dst), want) << "at " << x << "," << y << " flips " << f << " src " << sr.left << ","
                                        << sr.top << "," << sr.right << "," << sr.bottom;
          ++cases;
        }
  EXPECT_GT(cases, 0);
}

TEST(DrawAlpha, MaskSmallerThanSourceLimitsTheDraw) {
  auto src = Surface(4, 4, 32, {0x00FFFFFF});
  auto mask = Surface(2, 3, 8, {255});
  auto dst = Surface(4, 4, 32, {0});
  dst->DrawAlpha(0, 0, *mask, false, true, src->BoundsRect(), *src);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      // FlipH: source columns 0 and 1 (those the mask covers) land on columns 3 and 2.
      EXPECT_EQ(dst->GetPixel(x, y), (x >= 2 && y < 3) ? 0x00FFFFFFu : 0u) << x << "," << y;
}

TEST(Draw, OntoItselfReadsTheOriginalPixels) {
  auto s = Surface(4, 1, 32, {1, 2, 3, 4});
  s->Draw(1, 0, false, false, false, R(0, 0, 3, 1), *s);
  EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{1, 1, 2, 3}));
}

TEST(ClipRect, AddSetAndReset) {
  TDIBX s;
  s.SetSize(10, 10, 32);
  EXPECT_TRUE(rects::Equal(s.ClipRect(), s.BoundsRect()));
  s.AddClipRect(R(20, 20, 30, 30));  // outside: ignored
  EXPECT_TRUE(rects::Equal(s.ClipRect(), s.BoundsRect()));
  s.AddClipRect(R(-5, 1, 2, 3));
  EXPECT_TRUE(rects::Equal(s.ClipRect(), R(0, 1, 2, 3)));
  s.AddClipRect(R(7, 6, 8, 9));  // disjoint: bounding box
  EXPECT_TRUE(rects::Equal(s.ClipRect(), R(0, 1, 8, 9)));
  s.SetClipRect(R(-100, -100, 100, 5));  // always within the surface
  EXPECT_TRUE(rects::Equal(s.ClipRect(), R(0, 0, 10, 5)));
  s.ResetClip();
  EXPECT_TRUE(rects::Equal(s.ClipRect(), s.BoundsRect()));
}

TEST(ClipRect, ExplicitEmptyClipDrawsNothing) {
  auto s = Surface(4, 4, 32, {0});
  auto src = Surface(4, 4, 32, {5});
  s->SetClipRect(R(2, 2, 2, 4));
  s->FillRect(s->BoundsRect(), 9);
  s->Draw(0, 0, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*s), std::vector<uint32_t>(16, 0));
  s->AddClipRect(R(0, 0, 1, 1));  // adding to an empty clip starts from the new rectangle
  s->FillRect(s->BoundsRect(), 9);
  EXPECT_EQ(s->GetPixel(0, 0), 9u);
  EXPECT_EQ(s->GetPixel(1, 0), 0u);
}

TEST(Fills, TablesAndFrames) {
  auto s = Surface(2, 1, 32, {0x00102030, 0x00FFFFFF});
  s->FillRectAdd(s->BoundsRect(), 0x00FFFFFF);
  EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>(2, 0x00FFFFFF)));
  s->FillRectSub(s->BoundsRect(), 0x00FFFFFF);
  EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>(2, 0)));
  s->FillRectBlend(s->BoundsRect(), 0x00FFFFFF, 128);
  EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>(2, 0x007F7F7F)));
  s->FillRectBlend(s->BoundsRect(), 0x007F7F7F, 200);  // equal pixels stay
  EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>(2, 0x007F7F7F)));

  auto f = Surface(5, 5, 32, {0});
  f->FrameRect(R(0, 0, 5, 5), 1, 1);
  const std::vector<uint32_t> frame = {1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(Pixels(*f), frame);
  f->FrameRect(R(0, 0, 5, 5), INT32_MAX, 2);  // huge border: no overflow, all filled
  EXPECT_EQ(Pixels(*f), std::vector<uint32_t>(25, 2));
}

TEST(Fills, ClearAndHugeRectangles) {
  auto s = Surface(3, 2, 32, {0});
  s->Clear(0x01020304);
  EXPECT_EQ(Pixels(*s), std::vector<uint32_t>(6, 0x01020304));
  s->FillRect(R(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), 5);
  EXPECT_EQ(Pixels(*s), std::vector<uint32_t>(6, 5));
  s->Draw(INT32_MAX, INT32_MAX, false, false, false, R(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), *s);
  EXPECT_EQ(Pixels(*s), std::vector<uint32_t>(6, 5));
  auto one = Surface(9, 1, 1, {0});
  one->Clear(7);
  EXPECT_EQ(Pixels(*one), std::vector<uint32_t>(9, 1));
  auto four = Surface(3, 1, 4, {0});
  four->Clear(0xA);
  EXPECT_EQ(Pixels(*four), std::vector<uint32_t>(3, 0xA));
}

TEST(Surface, AssignAndCopyAlphaFrom) {
  auto a = Surface(2, 2, 32, {1, 2, 3, 4});
  auto b = Surface(2, 2, 32, {0});
  b->Assign(*a);
  EXPECT_EQ(Pixels(*b), Pixels(*a));
  auto m = Surface(2, 2, 8, {0x10, 0x20, 0x30, 0x40});
  b->CopyAlphaFrom(*m);
  EXPECT_EQ(Pixels(*b), (std::vector<uint32_t>{0x10000001, 0x20000002, 0x30000003, 0x40000004}));
  // Equal pitch but another depth: nothing is copied.
  auto c = Surface(8, 2, 8, {9});
  c->Assign(*a);
  EXPECT_EQ(Pixels(*c), std::vector<uint32_t>(16, 9));
}

TEST(Surface, LoadsBitmapsAndPngAndNothingElse) {
  TDIBSurface pic(3, 2, 24);
  pic.SetPixel(0, 0, 0x112233);
  pic.SetPixel(2, 1, 0xFFFFFF);
  for (bool png : {false, true}) {
    TKoMemoryStream m;
    if (png)
      image::WritePng(m, pic, false);
    else
      image::WriteBmp(m, pic);
    TDIBX s;
    s.SetSize(1, 1, 32);
    m.SetPosition(5);
    ASSERT_TRUE(s.LoadFromStream(m, 0));
    EXPECT_EQ(s.Width(), 3);
    EXPECT_EQ(s.GetPixel(0, 0), 0x112233u);
    EXPECT_EQ(s.GetPixel(2, 1), 0xFFFFFFu);
  }
  TKoMemoryStream gif(std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0});
  auto s = Surface(2, 2, 32, {4});
  EXPECT_FALSE(s->LoadFromStream(gif, 0));
  EXPECT_EQ(Pixels(*s), std::vector<uint32_t>(4, 4));
}

TEST(Surface, SavesAndLoadsBmpFiles) {
  testkit::TempDir dir;
  auto s = Surface(3, 2, 32, {0x00102030, 0x00405060, 0x00708090, 0, 0x00FFFFFF, 0x00010203});
  EXPECT_TRUE(s->SaveToFile(dir / "a.BMP"));
  EXPECT_FALSE(s->SaveToFile(dir / "a.png"));
  TDIBX back;
  EXPECT_TRUE(back.LoadFromFile(dir / "a.BMP"));
  EXPECT_EQ(Pixels(back), Pixels(*s));
  EXPECT_FALSE(back.LoadFromFile(dir / "missing.bmp"));
  // An 8-bit surface loads grey levels of a picture.
  TDIBX grey;
  grey.SetSize(1, 1, 8);
  EXPECT_TRUE(grey.LoadFromFile(dir / "a.BMP"));
  EXPECT_EQ(grey.GetPixel(1, 1), 255u);
  EXPECT_EQ(grey.GetPixel(0, 1), 0u);
}

TEST(EightBitSurfaces, MaskArithmetic) {
  auto src = Surface(3, 1, 8, {255, 100, 0});
  auto mask = Surface(3, 1, 8, {128, 255, 0});
  auto dst = Surface(3, 1, 8, {0, 0, 50});
  dst->DrawAlpha(0, 0, *mask, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{127, 100, 50}));
  dst->DrawBlend(0, 0, 128, false, false, false, src->BoundsRect(), *src);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{190, 100, 24}));
  dst->FillRectSub(dst->BoundsRect(), 100);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{90, 0, 0}));
}

}  // namespace
}  // namespace qubo

#include "render/crossfade.h"

namespace qubo {
namespace {

TEST(CrossFade, EqualsAssignThenDrawBlend) {
  auto from = Surface(3, 2, 32, {0x00102030, 0x00FFFFFF, 0xAA000000, 5, 6, 7});
  auto to = Surface(3, 2, 32, {0x00FFFFFF, 0x00FFFFFF, 0x00000000, 9, 6, 0x00808080});
  auto a = Surface(3, 2, 32, {0});
  auto b = Surface(3, 2, 32, {0});
  a->Assign(*from);
  a->DrawBlend(0, 0, 100, false, false, false, to->BoundsRect(), *to);
  CrossFade(*b, *from, *to, 100);
  EXPECT_EQ(Pixels(*b), Pixels(*a));
  // Through a mask whose one row repeats downwards.
  auto mask = Surface(3, 1, 8, {0, 255, 128});
  CrossFadeMasked(*b, *from, *to, *mask, false);
  EXPECT_EQ(Pixels(*b), (std::vector<uint32_t>{0x00102030, 0x00FFFFFF, 0, 5, 6, 0x00404043}));
}

}  // namespace
}  // namespace qubo
