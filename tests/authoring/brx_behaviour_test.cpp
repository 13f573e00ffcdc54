// Layered images: composition, header variants, layer lifetime, masks, crops, writing and the
// moves into drawing surfaces.

#include <gtest/gtest.h>

#include "brxfixture.h"
#include "render/dibx.h"
#include "render/imagefile.h"
#include "storage/scrambles.h"
#include "testkit/testkit.h"

namespace qubo::brxtest {
namespace {

std::shared_ptr<TDIBSurface> Pixels(int bpp, std::vector<uint32_t> values, std::vector<uint8_t> alpha = {}) {
  auto img = std::make_shared<TDIBSurface>(static_cast<int32_t>(values.size()), 1, bpp);
  for (size_t i = 0; i < values.size(); ++i) img->SetPixel(static_cast<int32_t>(i), 0, values[i]);
  if (!alpha.empty()) {
    img->CreateAlpha();
    for (size_t i = 0; i < alpha.size(); ++i) img->Alpha()->SetPixel(static_cast<int32_t>(i), 0, alpha[i]);
  }
  return img;
}

TBrixAuthorDoc OneFrame(int bpp, int32_t width, std::vector<TBrixAuthorLayer> layers, int32_t version = 105) {
  TBrixAuthorDoc d;
  d.form = TBrixForm::Record;
  d.version = version;
  TBrixAuthorFrame f = MakeFrame(width, 1, bpp);
  f.layers = std::move(layers);
  d.frames = {f};
  return d;
}

TEST(BrxCompose, LayersFollowTheFourRules) {
  // Background 0x00102030 (red 0x30) is 0x302010 at 24 bits.
  TBrixAuthorLayer hidden = MakeLayer(Pixels(24, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  hidden.visible = false;
  TBrixAuthorLayer keyed = MakeLayer(Pixels(24, {0x0000FF, 0x00FF00, 0x0000FF, 0x0000FF}));
  keyed.transColor = 0x0000FF;  // drawn keyed over the background
  TBrixAuthorLayer half = MakeLayer(Pixels(24, {0x000000, 0xFFFFFF, 0x000000, 0x000000}));
  half.alpha = 128;
  half.transColor = 0;  // only pixel 1 blends
  TBrixAuthorLayer masked = MakeLayer(Pixels(24, {0xABCDEF, 0xABCDEF, 0xABCDEF, 0xABCDEF}, {0, 255, 0, 128}));
  masked.alphaOn = true;
  masked.transColor = 0xABCDEF;  // the record format drops it for a layer drawn through alpha
  TBrixAuthorDoc d = OneFrame(24, 4, {hidden, keyed, half, masked});
  d.header.bgColor = 0x00102030;
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d));
  const TBrixFrame& f = list.Frame(0);
  EXPECT_EQ(f.Layer(3).TransColor, -1);
  const uint32_t bg = 0x302010;
  EXPECT_EQ(f.Image.GetPixel(0, 0), bg);
  // Pixel 1: keyed green, blended half towards white per channel, then fully masked.
  EXPECT_EQ(f.Image.GetPixel(1, 0), 0xABCDEFu);
  EXPECT_EQ(f.Image.GetPixel(2, 0), bg);
  // Pixel 3: background under mask 128: ((255 - 128) * D + 128 * S) >> 8 per byte.
  auto mix = [](uint32_t s, uint32_t dd) {
    uint32_t out = 0;
    for (int sh = 0; sh < 24; sh += 8) out |= ((127 * ((dd >> sh) & 0xFF) + 128 * ((s >> sh) & 0xFF)) >> 8) << sh;
    return out;
  };
  EXPECT_EQ(f.Image.GetPixel(3, 0), mix(0xABCDEF, bg));
  // The masked layer is not the first composed: the frame has no alpha plane.
  EXPECT_FALSE(f.HasAlpha());
}

TEST(BrxCompose, OpacityBlendAndFirstLayerAlpha) {
  TBrixAuthorLayer base = MakeLayer(Pixels(24, {0x000000, 0x808080}, {7, 200}));
  base.alphaOn = true;
  TBrixAuthorLayer half = MakeLayer(Pixels(24, {0xFFFFFF, 0x123456}));
  half.alpha = 128;
  half.transColor = 0x123456;
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(OneFrame(24, 2, {base, half})));
  const TBrixFrame& f = list.Frame(0);
  ASSERT_TRUE(f.HasAlpha());
  EXPECT_EQ(f.Image.Alpha()->GetPixel(0, 0), 7u);
  EXPECT_EQ(f.Image.Alpha()->GetPixel(1, 0), 200u);
  const uint32_t c = (128 * 255) / 255;
  EXPECT_EQ(f.Image.GetPixel(0, 0), c | c << 8 | c << 16);
  EXPECT_EQ(f.Image.GetPixel(1, 0), 0x808080u);
}

TEST(BrxCompose, NotFillBGCopiesTheFirstVisibleLayerWhole) {
  TBrixAuthorLayer keyed = MakeLayer(Pixels(8, {3, 4}));
  keyed.transColor = 3;
  for (bool flag : {false, true}) {
    TBrixAuthorDoc d = OneFrame(8, 2, {keyed});
    d.header.notFillBG = flag;
    d.frames[0].palette[9] = TPaletteEntry{0x30, 0x20, 0x10, 0};
    d.header.bgColor = 0x10 | 0x20 << 8 | 0x30 << 16;  // red 0x10, green 0x20, blue 0x30: entry 9
    TBrixFrameList list;
    Load(list, authoring::BuildBrix(d));
    EXPECT_EQ(list.NotFillBG, flag);
    EXPECT_EQ(list.Frame(0).Image.GetPixel(0, 0), flag ? 3u : 9u);
    EXPECT_EQ(list.Frame(0).Image.GetPixel(1, 0), 4u);
  }
  // Before version 105 the flag is not read.
  TBrixAuthorDoc d = OneFrame(8, 2, {keyed}, 104);
  d.header.notFillBG = true;
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d));
  EXPECT_FALSE(list.NotFillBG);
}

TEST(BrxFrame, TransColorRGBIsThePixelReadBackAsAColour) {
  struct Case {
    int bpp;
    int32_t trans;
    int32_t rgb;
  };
  const Case cases[] = {
      {8, 9, 0x00302010},                 // palette entry 9 below
      {8, 0x109, 0x00302010},             // written as a pixel: the low byte
      {16, 0xF800, 0x000000FF},           // 5-6-5 red
      {15, 0x001F, 0x00FF0000},           // 5-5-5 blue
      {24, 0x112233, 0x00332211},         // blue | green << 8 | red << 16
      {32, static_cast<int32_t>(0x7F112233), 0x00332211},
      {24, -1, -1},
  };
  for (const Case& c : cases) {
    TBrixAuthorDoc d = OneFrame(c.bpp, 1, {});
    d.frames[0].transColor = c.trans;
    d.frames[0].palette[9] = TPaletteEntry{0x30, 0x20, 0x10, 0};
    TBrixFrameList list;
    Load(list, authoring::BuildBrix(d));
    EXPECT_EQ(list.Frame(0).TransColor, c.trans);
    EXPECT_EQ(list.Frame(0).TransColorRGB, c.rgb) << c.bpp << " " << c.trans;
  }
}

TEST(BrxHeader, LongerAndShorterHeaderRecords) {
  TBrixAuthorDoc d = OneFrame(24, 2, {MakeLayer(Pixels(24, {1, 2}))});
  d.header.bgColor = 0x123456;
  d.header.compType = brx::kCompRaw;
  d.headerLength = 52;  // a later, longer record: the known part is read, the rest skipped
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d));
  EXPECT_EQ(list.BGColor, 0x123456);
  EXPECT_EQ(list.Frame(0).Layer(0).Image.GetPixel(1, 0), 2u);
  d.headerLength = 24;  // cut before BGColor: it stays 0
  Load(list, authoring::BuildBrix(d));
  EXPECT_EQ(list.BGColor, 0);
  EXPECT_EQ(list.Header.compType, brx::kCompRaw);
  EXPECT_EQ(list.Frame(0).Layer(0).Image.GetPixel(1, 0), 2u);
}

TEST(BrxLayers, LaterFramesCopyBlocksOfFreedLayersSafely) {
  // Frame 1 is copied block by block from frame 0; without keepLayers the layers go only
  // after the whole file is read.
  TBrixAuthorDoc d;
  d.form = TBrixForm::Structured;
  d.header.blockWidth = 4;
  d.header.blockHeight = 4;
  d.findReferences = true;
  for (int i = 0; i < 3; ++i) {
    TBrixAuthorFrame f = MakeFrame(13, 9, 32);
    f.layers = {MakeLayer(authoring::PatternImage(13, 9, 32, 77, true))};
    f.layers[0].alphaOn = true;
    d.frames.push_back(f);
  }
  const std::vector<uint8_t> bytes = authoring::BuildBrix(d);
  TBrixFrameList kept, freed;
  Load(kept, bytes, true);
  Load(freed, bytes, false);
  ASSERT_EQ(freed.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(freed.Frame(i).LayerCount(), 0);
    EXPECT_TRUE(SamePixels(freed.Frame(i).Image, *d.frames[0].layers[0].image));
    EXPECT_TRUE(SamePixels(*freed.Frame(i).Image.Alpha(), *d.frames[0].layers[0].image->Alpha()));
    EXPECT_TRUE(SamePixels(kept.Frame(i).Image, freed.Frame(i).Image));
  }
}

TEST(BrxLayers, FirstFrameOnlyReadsOneRecordFrame) {
  TBrixAuthorDoc d = OneFrame(24, 2, {MakeLayer(Pixels(24, {1, 2}))});
  d.frames.push_back(d.frames[0]);
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d), true, true);
  EXPECT_EQ(list.Count(), 1);
  d.form = TBrixForm::Structured;
  d.version = 200;
  Load(list, authoring::BuildBrix(d), true, true);
  EXPECT_EQ(list.Count(), 2);  // the structured format always reads every frame
  EXPECT_THROW(list.Frame(2), QuboError);
  try {
    list.Frame(-1);
  } catch (const QuboError& e) {
    EXPECT_STREQ(e.what(), brx::kErrGetFrame);
  }
}

TEST(BrxLayers, ConvertTakesPaletteFramesTo24Bits) {
  TBrixAuthorDoc d = OneFrame(8, 2, {MakeLayer(Pixels(8, {9, 4}))});
  d.frames[0].palette[9] = TPaletteEntry{0x30, 0x20, 0x10, 0};
  d.frames[0].transColor = 9;
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d), false, false, true);
  const TBrixFrame& f = list.Frame(0);
  EXPECT_EQ(f.Image.BitCount(), 24);
  EXPECT_EQ(f.Image.GetPixel(0, 0), 0x102030u);
  EXPECT_EQ(f.TransColor, 0x102030);
}

TEST(BrxRowOrder, IsTheKeyStreamGeneratorsDrawing) {
  for (int32_t seed : {0, 1, 77, -5, 123456789}) {
    for (int32_t n : {1, 2, 7, 64, 1000}) {
      TKoRandom r(seed);
      r.InitDraw(n);
      const std::vector<int32_t> order = brx::RowOrder(seed, n);
      for (int32_t k = 0; k < n; ++k) ASSERT_EQ(order[static_cast<size_t>(k)], r.Draw()) << seed << " " << n;
    }
  }
  const std::vector<int32_t> identity = brx::RowOrder(0, 5);
  EXPECT_EQ(identity, (std::vector<int32_t>{0, 1, 2, 3, 4}));
}

// ---- Masks and crops ----

TEST(BrxCrop, CutsToTheOpaqueBoxAndMovesTheRectangles) {
  TBrixFrameList list;
  TBrixFrame& f = list.AddFrame();
  f.Image.SetSize(10, 8, 24);
  f.Image.FillRect(f.Image.BoundsRect(), 0x111111);
  f.Image.FillRect(TRect{2, 3, 6, 5}, 0x222222);
  f.TransColor = 0x111111;
  f.TransColorRGB = 0x111111;
  f.DrawRects = {TRect{0, 0, 3, 4}, TRect{8, 0, 10, 2}, TRect{5, 4, 9, 8}};
  f.ExtraRects = {TRect{7, 6, 9, 7}, TRect{3, 3, 4, 4}};
  const TRect box = f.Crop();
  EXPECT_EQ(box, (TRect{2, 3, 6, 5}));
  EXPECT_EQ(f.Image.Width(), 4);
  EXPECT_EQ(f.Image.Height(), 2);
  // The first overlaps partly, the second misses and is dropped, the one after it is still
  // examined.
  EXPECT_EQ(f.DrawRects, (std::vector<TRect>{TRect{0, 0, 1, 1}, TRect{3, 1, 4, 2}}));
  EXPECT_EQ(f.ExtraRects, (std::vector<TRect>{TRect{1, 0, 2, 1}}));
}

TEST(BrxCrop, TransparentFramesAndFramesWithoutAColour) {
  TBrixFrameList list;
  TBrixFrame& clear = list.AddFrame();
  clear.Image.SetSize(5, 4, 32);
  clear.Image.CreateAlpha();  // all 0
  EXPECT_EQ(clear.Crop(), (TRect{0, 0, 1, 1}));
  EXPECT_EQ(clear.Image.Width(), 1);
  EXPECT_EQ(clear.Image.Alpha()->Width(), 1);

  TBrixFrame& plain = list.AddFrame();
  plain.Image.SetSize(5, 4, 24);
  plain.TransColor = 0;  // but no colour reference: nothing is cropped
  EXPECT_EQ(plain.Crop(), (TRect{0, 0, 5, 4}));
  EXPECT_EQ(plain.Image.Width(), 5);
}

TEST(BrxMask, BuildMaskMarksTheTransparentColour) {
  TBrixAuthorLayer a = MakeLayer(Pixels(8, {1, 2, 3}));
  a.transColor = 2;
  TBrixAuthorLayer b = MakeLayer(Pixels(8, {1, 2, 3}));
  b.visible = false;
  TBrixAuthorDoc d = OneFrame(8, 3, {a, b});
  d.frames[0].transColor = 3;
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d));
  list.BuildMasks(true);
  const TBrixFrame& f = list.Frame(0);
  // The frame: pixel 1 was keyed out (background 0 stays), pixel 2 is the frame's colour.
  EXPECT_EQ(f.Image.Alpha()->GetPixel(0, 0), 255u);
  EXPECT_EQ(f.Image.Alpha()->GetPixel(2, 0), 0u);
  EXPECT_EQ(f.Layer(0).Image.Alpha()->GetPixel(1, 0), 0u);  // its own colour
  EXPECT_EQ(f.Layer(0).Image.Alpha()->GetPixel(2, 0), 255u);
  EXPECT_EQ(f.Layer(1).Image.Alpha()->GetPixel(2, 0), 0u);  // the frame's colour
}

// ---- Writing ----

TEST(BrxWrite, SavedImagesReadBackWithTheirPixelTransColor) {
  TBrixAuthorDoc d;
  d.form = TBrixForm::Record;
  d.version = 105;
  for (int bpp : {4, 8, 16, 32}) {
    TBrixAuthorFrame f = MakeFrame(7, 5, bpp, static_cast<uint32_t>(bpp));
    f.transColor = 2;
    f.name = "f" + std::to_string(bpp);
    f.delay = bpp;
    TBrixAuthorLayer l = MakeLayer(FrameImage(f, 1, true), "one");
    l.alphaOn = true;
    TBrixAuthorLayer m = MakeLayer(FrameImage(f, 2, false), "two");
    m.transColor = 1;
    m.alpha = 99;
    f.layers = {l, m};
    d.frames.push_back(f);
  }
  TBrixFrameList src;
  Load(src, authoring::BuildBrix(d));
  for (int32_t code : {0, 4321}) {
    src.IdentificationCode = code;
    TKoMemoryStream out;
    src.SaveToStream(out);
    TBrixFrameList back(code);
    Load(back, out.Bytes());
    ASSERT_EQ(back.Count(), src.Count());
    EXPECT_TRUE(back.Structured);
    EXPECT_EQ(back.Header.randomized, code != 0);
    for (int i = 0; i < src.Count(); ++i) {
      const TBrixFrame &a = src.Frame(i), &b = back.Frame(i);
      EXPECT_EQ(b.Name, a.Name);
      EXPECT_EQ(b.Delay, a.Delay);
      EXPECT_EQ(b.TransColor, a.TransColor);  // the pixel value, as the reader expects
      EXPECT_EQ(b.TransColorRGB, a.TransColorRGB);
      EXPECT_TRUE(SamePixels(b.Image, a.Image));
      ASSERT_EQ(b.LayerCount(), 2);
      for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(b.Layer(k).Name, a.Layer(k).Name);
        EXPECT_EQ(b.Layer(k).Alpha, a.Layer(k).Alpha);
        EXPECT_EQ(b.Layer(k).TransColor, a.Layer(k).TransColor);
        EXPECT_TRUE(SamePixels(b.Layer(k).Image, a.Layer(k).Image));
      }
    }
    if (code != 0) {
      EXPECT_EQ(LoadError(out.Bytes(), 0), brx::kErrNeedIdCode);
    }
  }
}

TEST(BrxWrite, CapturesAreOne24BitFrameWithoutTransparentColour) {
  TDIBSurface screen(6, 4, 32);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) screen.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x * 40 + y * 0x1000));
  TKoMemoryStream out;
  SaveCapture(screen, out);
  ASSERT_GE(out.Bytes().size(), 8u);
  EXPECT_EQ(std::string(out.Bytes().begin(), out.Bytes().begin() + 8), "BrixX200");
  TBrixFrameList back;
  Load(back, out.Bytes(), true);
  ASSERT_EQ(back.Count(), 1);
  const TBrixFrame& f = back.Frame(0);
  EXPECT_EQ(f.TransColor, -1);
  EXPECT_EQ(f.TransColorRGB, -1);
  EXPECT_EQ(f.BitCount(), 24);
  EXPECT_FALSE(f.HasAlpha());
  ASSERT_EQ(f.LayerCount(), 1);
  EXPECT_EQ(f.Layer(0).Name, "Layer");
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(f.Image.GetPixel(x, y), screen.GetPixel(x, y) & 0xFFFFFFu);
}

// ---- Files and surfaces ----

TEST(BrxFiles, LoadFromFileChoosesByExtension) {
  testkit::TempDir dir;
  TDIBSurface rgba(3, 2, 24);
  rgba.FillRect(rgba.BoundsRect(), 0x102030);
  rgba.CreateAlpha();
  rgba.Alpha()->SetPixel(1, 0, 200);
  {
    TFileStream png(dir / "a.PNG", TFileStream::Mode::Create);
    image::WritePng(png, rgba, true);
  }
  TDIBSurface bgra(3, 2, 32);
  bgra.FillRect(bgra.BoundsRect(), 0x7F102030);
  {
    TFileStream bmp(dir / "b.bmp", TFileStream::Mode::Create);
    image::WriteBmp(bmp, bgra);
  }
  TBrixFrameList list;
  ASSERT_TRUE(list.LoadFromFile(dir / "a.PNG", true, false, false));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Frame(0).Image.GetPixel(0, 0), 0x102030u);
  ASSERT_TRUE(list.Frame(0).HasAlpha());
  EXPECT_EQ(list.Frame(0).Image.Alpha()->GetPixel(1, 0), 200u);
  ASSERT_TRUE(list.LoadFromFile(dir / "b.bmp", true, false, false));
  EXPECT_EQ(list.Frame(0).Image.BitCount(), 24);
  EXPECT_EQ(list.Frame(0).Image.GetPixel(2, 1), 0x102030u);
  ASSERT_TRUE(list.Frame(0).HasAlpha());
  EXPECT_EQ(list.Frame(0).Image.Alpha()->GetPixel(2, 1), 0x7Fu);
  EXPECT_FALSE(list.LoadFromFile(dir / "c.gif", true, false, false));

  TBrixAuthorDoc d = OneFrame(24, 2, {MakeLayer(Pixels(24, {5, 6}))});
  testkit::WriteFileBytes(dir / "d.brx", authoring::BuildBrix(d));
  ASSERT_TRUE(list.LoadFromFile(dir / "d.brx", true, false, false));
  EXPECT_EQ(list.Frame(0).Image.GetPixel(1, 0), 6u);
}

TEST(BrxTransfer, FramesIntoSurfacesAndMasks) {
  TBrixFrameList list;
  TBrixFrame& f24 = list.AddFrame();
  f24.Image.SetSize(2, 1, 24);
  f24.Image.SetPixel(0, 0, 0x123456);
  f24.DrawRects = {TRect{0, 0, 1, 1}};
  f24.ExtraRects = {TRect{1, 0, 2, 1}};
  TDIBX surface;
  FrameToSurface(f24, surface);
  EXPECT_EQ(surface.Width(), 2);
  EXPECT_EQ(surface.GetPixel(0, 0), 0x123456u);
  EXPECT_EQ(surface.DrawRects, f24.DrawRects);
  EXPECT_EQ(surface.ExtraRects, f24.ExtraRects);

  TBrixFrame& f32 = list.AddFrame();
  f32.Image.SetSize(1, 1, 32);
  f32.Image.SetPixel(0, 0, 0xFF654321);
  FrameToSurface(f32, surface);
  EXPECT_EQ(surface.GetPixel(0, 0), 0x654321u);

  TBrixFrame& f8 = list.AddFrame();
  f8.Image.SetSize(1, 1, 8);
  f8.Image.Palette()[4] = TPaletteEntry{0x11, 0x22, 0x33, 0};
  f8.Image.SetPixel(0, 0, 4);
  FrameToSurface(f8, surface);
  EXPECT_EQ(surface.GetPixel(0, 0), 0x332211u);

  TDIBX mask;
  mask.SetBitCount(8);
  TDIBSurface storage;
  EXPECT_FALSE(AlphaToMask(f8, mask));
  EXPECT_FALSE(AlphaToStorage(f8, storage));
  f24.Image.CreateAlpha();
  f24.Image.Alpha()->SetPixel(1, 0, 77);
  ASSERT_TRUE(AlphaToMask(f24, mask));
  EXPECT_EQ(mask.GetPixel(1, 0), 77u);
  ASSERT_TRUE(AlphaToStorage(f24, storage));
  EXPECT_EQ(storage.BitCount(), 8);
  EXPECT_EQ(storage.GetPixel(1, 0), 77u);

  f8.TransColor = 4;
  PrepareTextureFrame(f8);
  EXPECT_EQ(f8.Image.BitCount(), 24);
  EXPECT_EQ(f8.TransColor, 0x332211);
  ASSERT_TRUE(f8.HasAlpha());
  EXPECT_EQ(f8.Image.Alpha()->GetPixel(0, 0), 0u);
}

}  // namespace
}  // namespace qubo::brxtest

namespace qubo::brxtest {
namespace {

TEST(BrxSurface, LoadFromStreamShowsTheFirstFrameOfALayeredImage) {
  TBrixAuthorDoc d = OneFrame(24, 3, {MakeLayer(Pixels(24, {0x102030, 0x405060, 0x708090}))});
  TKoMemoryStream s(BuildBrix(d));
  TDIBX surface;
  surface.SetSize(1, 1, 32);
  ASSERT_TRUE(surface.LoadFromStream(s, 0));
  ASSERT_EQ(surface.Width(), 3);
  ASSERT_EQ(surface.Height(), 1);
  EXPECT_EQ(surface.GetPixel(0, 0), 0x102030u);
  EXPECT_EQ(surface.GetPixel(2, 0), 0x708090u);

  // A damaged layered image raises the format's error instead of showing something.
  auto bytes = BuildBrix(d);
  bytes.resize(bytes.size() / 2);
  TKoMemoryStream broken(bytes);
  EXPECT_THROW(surface.LoadFromStream(broken, 0), FormatError);
}

}  // namespace
}  // namespace qubo::brxtest
