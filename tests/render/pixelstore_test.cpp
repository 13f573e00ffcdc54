// Pixel storage: row access, raw pixels of every depth, compositions at their own depth,
// copies of rectangles, opaque bounds, resizing, blur and conversions.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"

namespace qubo {
namespace {

TRect R(int32_t l, int32_t t, int32_t r, int32_t b) { return rects::Make(l, t, r, b); }

void Fill(TDIBSurface& s, const std::vector<uint32_t>& px) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, px.size() == 1 ? px[0] : px[y * s.Width() + x]);
}
std::vector<uint32_t> Pixels(const TDIBSurface& s) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) v.push_back(s.GetPixel(x, y));
  return v;
}

TEST(PixelStorage, RowsAndRawPixelsOfEveryDepth) {
  struct Case {
    int bits;
    int storage;
    int32_t pitch;  // for width 5
    uint32_t value;
  };
  const Case cases[] = {{1, 1, 4, 1}, {4, 4, 4, 0xA}, {8, 8, 8, 0xC3}, {15, 16, 12, 0x7FFF}, {16, 16, 12, 0xF81F},
                        {24, 24, 16, 0xABCDEF}, {32, 32, 20, 0xDEADBEEF}};
  for (const Case& c : cases) {
    TDIBSurface s(5, 3, c.bits);
    EXPECT_EQ(s.StorageBits(), c.storage);
    EXPECT_EQ(s.BitCount(), c.bits);
    EXPECT_EQ(s.Pitch(), c.pitch);
    s.SetPixel(4, 2, c.value);
    s.SetPixel(3, 2, 0);
    EXPECT_EQ(s.GetPixel(4, 2), c.value) << c.bits;
    EXPECT_EQ(s.GetPixel(3, 2), 0u);
    s.SetPixel(5, 0, c.value);  // outside: ignored
    EXPECT_EQ(s.GetPixel(5, 0), 0u);
    EXPECT_EQ(s.GetPixel(-1, 0), 0u);
  }
  // 24-bit values are blue | green << 8 | red << 16 in memory order blue, green, red.
  TDIBSurface s24(1, 1, 24);
  s24.SetPixel(0, 0, 0x112233);
  EXPECT_EQ(s24.Row(0)[0], 0x33);
  EXPECT_EQ(s24.Row(0)[2], 0x11);
  // 1- and 4-bit pixels: most significant bits first.
  TDIBSurface s1(8, 1, 1);
  s1.SetPixel(0, 0, 1);
  EXPECT_EQ(s1.Row(0)[0], 0x80);
  TDIBSurface s4(2, 1, 4);
  s4.SetPixel(0, 0, 0xC);
  EXPECT_EQ(s4.Row(0)[0], 0xC0);
}

TEST(PixelStorage, ScanLineOutOfRangeRaisesWithTheIndex) {
  TDIBSurface s(2, 3, 32);
  EXPECT_NO_THROW(s.ScanLine(2));
  try {
    s.ScanLine(3);
    FAIL();
  } catch (const QuboError& e) {
    EXPECT_NE(std::string(e.what()).find("(3)"), std::string::npos);
    EXPECT_EQ(std::string(e.what()).substr(0, 2), "\x83\x58");
  }
  EXPECT_THROW(s.ScanLine(-1), QuboError);
}

TEST(PixelStorage, SetSizeRejectsImpossibleSizes) {
  TDIBSurface s;
  EXPECT_THROW(s.SetSize(-1, 1, 32), QuboError);
  EXPECT_THROW(s.SetSize(0x40000000, 1, 32), QuboError);  // row size beyond 32 bits
  EXPECT_THROW(s.SetSize(70000, 70000, 32), QuboError);
  EXPECT_THROW(s.SetSize(1, 1, 12), QuboError);
  EXPECT_NO_THROW(s.SetSize(0, 0, 32));
  EXPECT_TRUE(s.IsEmpty());
}

TEST(PixelStorage, ColorFromRgbAndBack) {
  TDIBSurface s15(1, 1, 15), s16(1, 1, 16), s24(1, 1, 24);
  EXPECT_EQ(s15.ColorFromRGB(31, 31, 31), 0x7FFFu);
  EXPECT_EQ(s16.ColorFromRGB(31, 63, 31), 0xFFFFu);
  EXPECT_EQ(s24.ColorFromRGB(0x11, 0x22, 0x33), 0x112233u);
  int32_t r, g, b;
  s16.RGBFromPixel(0xF800 | (5 << 5) | 7, r, g, b);
  EXPECT_EQ(r, 31);
  EXPECT_EQ(g, 5);
  EXPECT_EQ(b, 7);
  TDIBSurface s8(1, 1, 8);  // grey palette by default
  EXPECT_EQ(s8.ColorFromRGB(100, 100, 100), 100u);
}

TEST(BlendLayer, EightBitsDithersByBayerThreshold) {
  TDIBSurface src(4, 4, 8), dst(4, 4, 8);
  Fill(src, {7});
  dst.BlendLayer(0, 0, 128, -1, src.BoundsRect(), src);
  const uint8_t bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
  int copied = 0;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(dst.GetPixel(i % 4, i / 4), bayer[i] <= 8 ? 7u : 0u) << i;
    copied += dst.GetPixel(i % 4, i / 4) == 7;
  }
  EXPECT_EQ(copied, 9);
  // Level 15 (opacity 240 and more) is a keyed copy; the key is left out.
  TDIBSurface d2(4, 4, 8);
  src.SetPixel(1, 1, 3);
  d2.BlendLayer(0, 0, 240, 3, src.BoundsRect(), src);
  EXPECT_EQ(d2.GetPixel(0, 0), 7u);
  EXPECT_EQ(d2.GetPixel(1, 1), 0u);
  // 4- and 1-bit storages dither the same way.
  TDIBSurface s4(4, 4, 4), d4(4, 4, 4);
  Fill(s4, {5});
  d4.BlendLayer(0, 0, 16, -1, s4.BoundsRect(), s4);  // level 1: thresholds 0 and 1
  EXPECT_EQ(d4.GetPixel(0, 0), 5u);
  EXPECT_EQ(d4.GetPixel(2, 2), 5u);
  EXPECT_EQ(d4.GetPixel(1, 0), 0u);
}

TEST(BlendLayer, DivisorsOfEachDepth) {
  struct Case {
    int bits;
    int32_t a;
    uint32_t s, d, out;
  };
  const Case cases[] = {
      {24, 254, 0xFFFFFF, 0x000000, 0xFEFEFE},  // (254 * 255) div 255
      {24, 128, 0xFFFFFF, 0x000000, 0x808080},  // (128 * 255) div 255 = 128
      {24, 255, 0x123456, 0xFFFFFF, 0x123456},  // keyed copy
      {32, 128, 0xFFFFFFFF, 0x00000000, 0x007F7F7F},  // >> 8, top byte 0
      {32, 255, 0xAA123456, 0x00000000, 0xAA123456},  // copy keeps every byte
      {16, 128, 0xFFFF, 0x0000, (16u << 11) | (32u << 5) | 16u},  // (128 * 31) div 255 = 15? see below
      {15, 51, 0x7FFF, 0x0000, (6u << 10) | (6u << 5) | 6u},
      {24, -3, 0x123456, 0xFFFFFF, 0x123456},  // negative opacity: keyed copy
      {24, 0, 0x123456, 0xFFFFFF, 0xFFFFFF},   // zero: nothing
  };
  for (const Case& c : cases) {
    TDIBSurface src(1, 1, c.bits), dst(1, 1, c.bits);
    src.SetPixel(0, 0, c.s);
    dst.SetPixel(0, 0, c.d);
    dst.BlendLayer(0, 0, c.a, -1, src.BoundsRect(), src);
    uint32_t want = c.out;
    if (c.bits == 16) {
      // Channels in place: ((255 - a) * D + a * S) div 255, masked.
      want = ((128u * 0xF800 / 255) & 0xF800) | ((128u * 0x07E0 / 255) & 0x07E0) | ((128u * 0x1F / 255) & 0x1F);
    }
    EXPECT_EQ(dst.GetPixel(0, 0), want) << c.bits << " a=" << c.a;
  }
  // The transparent value is left out at every depth.
  TDIBSurface src(2, 1, 24), dst(2, 1, 24);
  Fill(src, {0x00FF00, 0xFFFFFF});
  dst.BlendLayer(0, 0, 100, 0x00FF00, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
  EXPECT_NE(dst.GetPixel(1, 0), 0u);
}

TEST(DrawMasked, EachDepth) {
  // 8 bits: alpha 128 copies, 127 leaves.
  TDIBSurface s8(2, 1, 8), d8(2, 1, 8);
  Fill(s8, {9});
  s8.CreateAlpha();
  s8.Alpha()->SetPixel(0, 0, 128);
  s8.Alpha()->SetPixel(1, 0, 127);
  d8.DrawMasked(0, 0, 255, s8.BoundsRect(), s8);
  EXPECT_EQ(Pixels(d8), (std::vector<uint32_t>{9, 0}));

  struct Case {
    int bits;
    int32_t a;
    uint32_t m, s, d, out;
  };
  const Case cases[] = {
      {32, 255, 255, 0xAA123456, 0, 0xAA123456},   // copies all four bytes
      {32, 255, 0, 0xAA123456, 7, 7},
      {32, 255, 128, 0xFFFFFFFF, 0, 0x007F7F7F},
      {32, 10, 128, 0xFFFFFFFF, 0, 0x007F7F7F},    // opacity unused at 32 bits
      {24, 255, 128, 0xFFFFFF, 0, 0x7F7F7F},
      {24, 128, 255, 0xFFFFFF, 0, 0x7E7E7E},       // w = (128 * 255) >> 8 = 127
      {24, 1, 255, 0xFFFFFF, 0x010101, 0x010101},  // a * m < 256: left alone
      {15, 255, 128, 0x7FFF, 0, ((127u * 0x7C00 >> 8) & 0x7C00) | ((127u * 0x3E0 >> 8) & 0x3E0) | (128u * 0x1F >> 8)},
      {16, 255, 255, 0x1234, 0, 0x1234},
  };
  for (const Case& c : cases) {
    TDIBSurface src(1, 1, c.bits), dst(1, 1, c.bits);
    src.SetPixel(0, 0, c.s);
    dst.SetPixel(0, 0, c.d);
    src.CreateAlpha();
    src.Alpha()->SetPixel(0, 0, c.m);
    dst.DrawMasked(0, 0, c.a, src.BoundsRect(), src);
    EXPECT_EQ(dst.GetPixel(0, 0), c.out) << c.bits << " a=" << c.a << " m=" << c.m;
  }
  // Without an alpha plane: BlendLayer with no transparent value.
  TDIBSurface src(1, 1, 24), dst(1, 1, 24);
  src.SetPixel(0, 0, 0xFFFFFF);
  dst.DrawMasked(0, 0, 254, src.BoundsRect(), src);
  EXPECT_EQ(dst.GetPixel(0, 0), 0xFEFEFEu);
}

TEST(Compositions, ClipToSourceAndClipRectAndDepth) {
  TDIBSurface src(2, 2, 32), dst(4, 4, 32);
  Fill(src, {1, 2, 3, 4});
  // A source rectangle reaching outside the source reads only what exists.
  dst.CopyRect(1, 1, R(-1, -1, 3, 3), src);
  EXPECT_EQ(Pixels(dst), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 3, 4}));
  TDIBSurface d2(4, 4, 32);
  d2.SetClipRect(R(0, 0, 1, 4));
  d2.CopyAll(0, 0, src);
  EXPECT_EQ(Pixels(d2), (std::vector<uint32_t>{1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  TDIBSurface d3(4, 4, 32);
  d3.SetClipRect(R(5, 5, 9, 9));  // outside: an empty clip draws nothing
  d3.CopyAll(0, 0, src);
  EXPECT_EQ(Pixels(d3), std::vector<uint32_t>(16, 0));
  TDIBSurface d24(2, 2, 24);
  d24.CopyAll(0, 0, src);
  d24.BlendLayer(0, 0, 100, -1, src.BoundsRect(), src);
  EXPECT_EQ(Pixels(d24), std::vector<uint32_t>(4, 0));
  // A copy within one storage moving down reads the original rows.
  TDIBSurface s(1, 3, 8);
  Fill(s, {1, 2, 3});
  s.CopyRect(0, 1, R(0, 0, 1, 2), s);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{1, 1, 2}));
}

TEST(Compositions, ExtractCropAndSetAlphaFromCopyOnlyTheOverlap) {
  TDIBSurface src(3, 2, 8);
  Fill(src, {1, 2, 3, 4, 5, 6});
  src.CreateAlpha();
  src.Alpha()->SetPixel(2, 1, 77);
  TDIBSurface e;
  e.Extract(src, R(1, 1, 5, 3), true);
  EXPECT_EQ(e.Width(), 4);
  EXPECT_EQ(Pixels(e), (std::vector<uint32_t>{5, 6, 0, 0, 0, 0, 0, 0}));
  ASSERT_NE(e.Alpha(), nullptr);
  EXPECT_EQ(e.Alpha()->GetPixel(1, 0), 77u);
  e.Crop(R(-1, 0, 2, 1));
  EXPECT_EQ(Pixels(e), (std::vector<uint32_t>{0, 5, 6}));
  EXPECT_EQ(e.Alpha()->Width(), 3);
  TDIBSurface small(1, 1, 8);
  small.SetPixel(0, 0, 200);
  src.SetAlphaFrom(small);
  EXPECT_EQ(Pixels(*src.Alpha()), (std::vector<uint32_t>{200, 0, 0, 0, 0, 0}));
  TDIBSurface wrong(3, 2, 32);
  src.SetAlphaFrom(wrong);  // not 8-bit: nothing
  EXPECT_EQ(src.Alpha()->GetPixel(0, 0), 200u);
}

TEST(Compositions, OpaqueBoundsAndTrim) {
  TDIBSurface s(4, 3, 32);
  Fill(s, {9});
  s.SetPixel(1, 1, 5);
  s.SetPixel(2, 2, 5);
  EXPECT_TRUE(rects::Equal(s.OpaqueBounds(9), R(1, 1, 3, 3)));
  EXPECT_TRUE(rects::Equal(s.OpaqueBounds(-1), s.BoundsRect()));
  EXPECT_TRUE(rects::Equal(s.TrimToOpaque(9), R(1, 1, 3, 3)));
  EXPECT_EQ(s.Width(), 2);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{5, 9, 9, 5}));
  TDIBSurface all(3, 3, 32);
  Fill(all, {9});
  EXPECT_TRUE(rects::Empty(all.OpaqueBounds(9)));
  all.TrimToOpaque(9);
  EXPECT_EQ(all.Width(), 1);
  EXPECT_EQ(all.Height(), 1);
}

TEST(Compositions, AlphaFromKeyMirrorAndFlip) {
  TDIBSurface s(3, 2, 24);
  Fill(s, {1, 2, 3, 4, 5, 6});
  s.AlphaFromKey(5);
  EXPECT_EQ(Pixels(*s.Alpha()), (std::vector<uint32_t>{255, 255, 255, 255, 0, 255}));
  s.MirrorH();
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{3, 2, 1, 6, 5, 4}));
  s.FlipRows();
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(Pixels(*s.Alpha()), (std::vector<uint32_t>{255, 0, 255, 255, 255, 255}));
}

TEST(Resize, AreaAverageLeavesKeyedPixelsOut) {
  TDIBSurface s(4, 2, 24);
  // Left half: two key pixels and two greys; right half: only keys.
  Fill(s, {0xFF00FF, 0x404040, 0xFF00FF, 0xFF00FF, 0x808080, 0xFF00FF, 0xFF00FF, 0xFF00FF});
  s.Resize(2, 1, 0xFF00FF, false);
  EXPECT_EQ(s.Width(), 2);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{0x606060, 0xFF00FF}));
  // Without a key every pixel counts.
  TDIBSurface t(2, 1, 24);
  Fill(t, {0x000000, 0xFFFFFF});
  t.Resize(1, 1, -1, false);
  EXPECT_EQ(t.GetPixel(0, 0), 0x808080u);
}

TEST(Resize, GrowingIsBilinearAndKeepFormatConvertsBack) {
  TDIBSurface s(2, 1, 32);
  Fill(s, {0x000000, 0xFFFFFF});
  s.CreateAlpha();
  s.Alpha()->SetPixel(0, 0, 0);
  s.Alpha()->SetPixel(1, 0, 255);
  s.Resize(4, 1, -1, true);
  EXPECT_EQ(s.BitCount(), 32);
  // Centres at source -0.25, 0.25, 0.75, 1.25 (clamped).
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{0x000000, 0x404040, 0xBFBFBF, 0xFFFFFF}));
  EXPECT_EQ(Pixels(*s.Alpha()), (std::vector<uint32_t>{0, 64, 191, 255}));
  TDIBSurface same(2, 2, 8);
  same.Resize(2, 2, -1, false);
  EXPECT_EQ(same.BitCount(), 8);
}

TEST(Blur, EqualsTheNaiveBoxAverage) {
  std::mt19937 rng(7);
  for (int32_t r : {1, 2, 3}) {
    TDIBSurface s(7, 5, 24);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) s.SetPixel(x, y, rng() & 0xFFFFFF);
    TDIBSurface orig;
    orig.CopyFrom(s);
    s.Blur(24, r);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) {
        uint32_t want = 0;
        for (int c = 0; c < 3; ++c) {
          uint32_t sum = 0, n = 0;
          for (int32_t j = y - r; j <= y + r; ++j)
            for (int32_t i = x - r; i <= x + r; ++i)
              if (i >= 0 && j >= 0 && i < 7 && j < 5) sum += (orig.GetPixel(i, j) >> (8 * c)) & 0xFF, ++n;
          want |= (sum / n) << (8 * c);
        }
        ASSERT_EQ(s.GetPixel(x, y), want) << "r=" << r << " at " << x << "," << y;
      }
  }
  TDIBSurface z(2, 2, 24);
  z.SetPixel(0, 0, 0xFFFFFF);
  z.Blur(8, 0);  // r = 0 does nothing, not even the conversion
  EXPECT_EQ(z.BitCount(), 24);
  EXPECT_EQ(z.GetPixel(0, 0), 0xFFFFFFu);
}

TEST(Conversions, BitCountsGreyNegativeAndFewColours) {
  TDIBSurface s(2, 1, 24);
  Fill(s, {0xFF0000, 0x0000FF});
  s.SetBitCount(15);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{0x7C00, 0x001F}));
  s.SetBitCount(32);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{0xFF0000, 0x0000FF}));  // widened back to full scale
  s.Negative();
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{0xFF00FFFF, 0xFFFFFF00}));

  TDIBSurface g(2, 1, 24);
  Fill(g, {0xFFFFFF, 0x000000});
  g.Greyscale(4);
  EXPECT_EQ(g.BitCount(), 4);
  EXPECT_EQ(Pixels(g), (std::vector<uint32_t>{15, 0}));
  EXPECT_EQ(g.Palette()[15].red, 0xFF);  // 15 << 4 | 15
  EXPECT_EQ(g.Palette()[1].red, 0x11);

  TDIBSurface c(3, 1, 24);
  Fill(c, {0x102030, 0xA0B0C0, 0x102030});
  c.ConvertBitCount(2, 8, false, 256);
  EXPECT_EQ(c.BitCount(), 8);
  int32_t r, gg, b;
  c.RGBFromPixel(c.GetPixel(1, 0), r, gg, b);
  EXPECT_EQ((std::vector<int32_t>{r, gg, b}), (std::vector<int32_t>{0xA0, 0xB0, 0xC0}));
  EXPECT_EQ(c.GetPixel(0, 0), c.GetPixel(2, 0));

  // Many colours into 16: a median cut that still separates dark from light.
  TDIBSurface many(64, 4, 24);
  for (int32_t x = 0; x < 64; ++x)
    for (int32_t y = 0; y < 4; ++y) many.SetPixel(x, y, static_cast<uint32_t>(x * 4) * 0x010101u);
  many.ConvertBitCount(1, 4, true, 16);
  EXPECT_EQ(many.BitCount(), 4);
  many.RGBFromPixel(many.GetPixel(0, 0), r, gg, b);
  EXPECT_LT(r, 40);
  many.RGBFromPixel(many.GetPixel(63, 0), r, gg, b);
  EXPECT_GT(r, 200);
}

TEST(Conversions, KeysConvertLikePixels) {
  const TPixelSpace s24{TPixelFormat::Of(24), nullptr}, s15{TPixelFormat::Of(15), nullptr};
  EXPECT_EQ(ConvertKey(-1, s24, s15), -1);
  EXPECT_EQ(ConvertKey(0xFF00FF, s24, s15), 0x7C1F);
  EXPECT_EQ(ConvertKey(0x7C1F, s15, s24), 0xFF00FF);
}

}  // namespace
}  // namespace qubo
