// Damaged and hostile layered image files are refused with the format's messages.

#include <gtest/gtest.h>

#include <cstring>

#include "brxfixture.h"
#include "render/brxcodec.h"
#include "render/imagefile.h"
#include "testkit/testkit.h"

namespace qubo::brxtest {
namespace {

using brx::TBrixBlockRef;
using testkit::Bytes;

TBrixAuthorDoc SmallDoc(TBrixForm form, int32_t version, int bpp = 24, int32_t bw = 0, int32_t bh = 0) {
  TBrixAuthorDoc doc;
  doc.form = form;
  doc.version = version;
  doc.header.blockWidth = bw;
  doc.header.blockHeight = bh;
  for (int fi = 0; fi < 2; ++fi) {
    TBrixAuthorFrame f = MakeFrame(9, 6, bpp);
    f.name = "f";
    f.layers.push_back(MakeLayer(FrameImage(f, 3 + fi, version >= 100 || form == TBrixForm::Structured)));
    f.layers[0].alphaOn = true;
    f.drawRects = {TRect{0, 0, 2, 2}};
    doc.frames.push_back(f);
  }
  return doc;
}

TEST(BrxMalformed, TruncatedAnywhereRaisesTheDamagedMessage) {
  const TBrixAuthorDoc docs[] = {
      SmallDoc(TBrixForm::Headerless, 0),           SmallDoc(TBrixForm::Record, 102),
      SmallDoc(TBrixForm::Record, 105, 8, 4, 4),    SmallDoc(TBrixForm::Structured, 200),
      SmallDoc(TBrixForm::Structured, 200, 4, 3, 2),
  };
  for (const TBrixAuthorDoc& doc : docs) {
    const std::vector<uint8_t> bytes = authoring::BuildBrix(doc);
    ASSERT_EQ(LoadError(bytes), "");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
      const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
      ASSERT_EQ(LoadError(part), brx::kErrDamaged) << "version " << doc.version << " cut at " << cut;
    }
  }
}

// A record-format file of version 104 by hand, with each count replaceable.
struct Hand {
  int32_t frames = 1, nameLength = 1, layers = 1, width = 2, height = 2, bpp = 8, colourSize = -1, rects = 0;
  uint32_t headerLength = 40;
  std::vector<uint8_t> Build() const {
    Bytes b;
    b.raw("Brix104").i32(static_cast<int32_t>(headerLength));
    brx::TBrixHeader h;
    h.version = 104;
    h.count = frames;
    h.compType = brx::kCompRaw;
    const auto rec = h.Pack();
    b.b.insert(b.b.end(), rec.begin(), rec.end());
    b.i32(nameLength).raw("n").i32(-1).i32(100).u8(0).i32(0).i32(layers).i32(width).i32(height).i32(bpp);
    for (int i = 0; i < 256; ++i) b.i32(i);
    b.i32(0).i32(0).u8(1).i32(-1).i32(255).u8(0).str("x");
    b.i32(colourSize < 0 ? 8 : colourSize);
    for (int i = 0; i < 8; ++i) b.u8(static_cast<uint8_t>(i));
    b.i32(0).i32(rects).i32(0);
    return b.b;
  }
};

TEST(BrxMalformed, HugeCountsAndSizesAreRefusedBeforeAllocating) {
  ASSERT_EQ(LoadError(Hand{}.Build()), "");
  struct Bad {
    const char* what;
    Hand hand;
  };
  const Bad cases[] = {
      {"frame count", [] { Hand h; h.frames = 0x7FFFFFFF; return h; }()},
      {"negative frame count", [] { Hand h; h.frames = -1; return h; }()},
      {"name length", [] { Hand h; h.nameLength = 0x7FFFFFF0; return h; }()},
      {"layer count", [] { Hand h; h.layers = 0x10000000; return h; }()},
      {"width", [] { Hand h; h.width = 0x40000000; return h; }()},
      {"pixels", [] { Hand h; h.width = 16384; h.height = 16384; return h; }()},
      {"zero height", [] { Hand h; h.height = 0; return h; }()},
      {"negative width", [] { Hand h; h.width = -2; return h; }()},
      {"bit count", [] { Hand h; h.bpp = 12; return h; }()},
      {"plane size", [] { Hand h; h.colourSize = 0x7FFFFFFF; return h; }()},
      {"plane size short", [] { Hand h; h.colourSize = 4; return h; }()},
      {"rectangle count", [] { Hand h; h.rects = 0x08000000; return h; }()},
      {"header length", [] { Hand h; h.headerLength = 0xFFFFFFF0u; return h; }()},
  };
  for (const Bad& c : cases) EXPECT_EQ(LoadError(c.hand.Build()), brx::kErrDamaged) << c.what;
}

TEST(BrxMalformed, LoadsStayWithinTheMemoryBudget) {
  // Block copies make small files of large frames possible: the budget bounds them.
  TBrixAuthorDoc doc = SmallDoc(TBrixForm::Structured, 200, 32, 8, 8);
  const std::vector<uint8_t> bytes = authoring::BuildBrix(doc);
  TBrixFrameList list;
  list.Limits.maxTotalBytes = 9 * 6 * 4 * 3;  // less than two frames with their layers
  TKoMemoryStream s(bytes);
  try {
    list.LoadFromStream(s, false, true, false);
    FAIL() << "loaded beyond the budget";
  } catch (const FormatError& e) {
    EXPECT_STREQ(e.what(), brx::kErrDamaged);
  }
  EXPECT_EQ(list.Count(), 2);  // the frames read so far stay
}

TEST(BrxMalformed, SignaturesAndStructuredDocumentErrors) {
  const TBrixAuthorDoc base = SmallDoc(TBrixForm::Structured, 200);
  auto with = [&](auto change) {
    TBrixAuthorDoc d = base;
    change(d);
    return LoadError(authoring::BuildBrix(d));
  };
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.signature = "BrixX300"; }), brx::kErrUnreadable);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.signature = "BrixX?00"; }), brx::kErrUnreadable);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.signature = "BrixX100"; }), "");
  EXPECT_EQ(LoadError({'B', 'r', 'i', 'x', 'X', '2', '0'}), brx::kErrDamaged);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.frames[0].omitLayersElement = true; }), brx::kErrNoLayers);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.frames[0].layerCount = 2; }), brx::kErrDamaged);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.frames.clear(); d.frameCount = 1; }), brx::kErrDamaged);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) { d.header.compType = 7; }), brx::kErrUnreadable);
  EXPECT_EQ(with([](TBrixAuthorDoc& d) {
              d.header.randomized = true;
              d.idCode = 5;
              d.frames[0].layers[0].colourData = std::vector<uint8_t>(9 * 4 * 6, 0);
            }),
            brx::kErrNeedIdCode);

  // Palettes: 2^bpp entries of six hexadecimal digits.
  TBrixAuthorDoc pal = SmallDoc(TBrixForm::Structured, 200, 4);
  pal.frames[0].paletteText = std::string(6 * 16 - 1, '0');
  EXPECT_EQ(LoadError(authoring::BuildBrix(pal)), brx::kErrNoPalette);
  pal.frames[0].paletteText = std::string(6 * 15, '0') + "00G000";
  EXPECT_EQ(LoadError(authoring::BuildBrix(pal)), brx::kErrNoPalette);

  // A missing frame after the first ends the image quietly.
  TBrixAuthorDoc more = base;
  more.frameCount = 5;
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(more));
  EXPECT_EQ(list.Count(), 2);
}

TEST(BrxMalformed, InflationMustGiveExactlyThePlane) {
  const TBrixAuthorDoc base = SmallDoc(TBrixForm::Record, 105);
  const int64_t plane = 28 * 6;  // 9 pixels of 3 bytes, rows of 28 bytes
  for (int64_t size : {plane - 1, plane + 1, int64_t{0}}) {
    TBrixAuthorDoc d = base;
    const std::vector<uint8_t> raw(static_cast<size_t>(size), 0x5A);
    d.frames[0].layers[0].colourData = brx::Deflate(raw.data(), raw.size(), 6);
    EXPECT_EQ(LoadError(authoring::BuildBrix(d)), brx::kErrDamaged) << size;
  }
  TBrixAuthorDoc d = base;
  d.frames[0].layers[0].colourData = std::vector<uint8_t>{0x78, 0x9C, 1, 2, 3};
  EXPECT_EQ(LoadError(authoring::BuildBrix(d)), brx::kErrDamaged);
}

TEST(BrxMalformed, JpegPlaneOfAnotherSizeIsRefused) {
  TBrixAuthorDoc d = SmallDoc(TBrixForm::Structured, 200);
  d.header.compType = brx::kCompJpeg;
  TKoMemoryStream jpeg;
  TDIBSurface other(10, 6, 24);
  image::WriteJpeg(jpeg, other, 80);
  d.frames[1].layers[0].colourData = jpeg.Bytes();
  EXPECT_EQ(LoadError(authoring::BuildBrix(d)), brx::kErrDamaged);
}

TEST(BrxMalformed, BlockReferencesOnlyToDecodedBlocksOfTheSameShape) {
  // 9 x 6 at 4 x 4 blocks: 3 columns, 2 rows; blocks 2 and 5 are the narrow last column.
  auto doc = [](int bpp2, int32_t w2) {
    TBrixAuthorDoc d;
    d.form = TBrixForm::Structured;
    d.header.blockWidth = 4;
    d.header.blockHeight = 4;
    TBrixAuthorFrame f0 = MakeFrame(9, 6, 24);
    f0.layers = {MakeLayer(FrameImage(f0, 1, false)), MakeLayer(FrameImage(f0, 2, true))};
    TBrixAuthorFrame f1 = MakeFrame(w2, 6, bpp2);
    f1.layers = {MakeLayer(FrameImage(f1, 3, true))};
    d.frames = {f0, f1};
    return d;
  };
  auto table = [](TBrixBlockRef at1) {
    std::vector<TBrixBlockRef> t(6);
    t[1] = at1;
    return t;
  };
  struct Bad {
    const char* what;
    TBrixBlockRef ref;
    bool alphaPlane;
    int bpp2 = 24;
    int32_t w2 = 9;
  };
  const Bad cases[] = {
      {"later block of the plane", {-2, 1}, false},
      {"block after it", {-2, 4}, false},
      {"negative block", {-2, -1}, false},
      {"unknown kind", {-3, 0}, false},
      {"later frame", {2, 0}, false},
      {"own layer", {1, 0}, false},
      {"missing layer", {0, 2}, false},
      {"negative layer", {0, -1}, false},
      {"alpha of a layer without one", {0, 0}, true},
      {"other depth", {0, 0}, false, 32},
      {"other size", {0, 0}, false, 24, 8},
  };
  for (const Bad& c : cases) {
    TBrixAuthorDoc d = doc(c.bpp2, c.w2);
    const int32_t cols = (c.w2 + 3) / 4;
    std::vector<TBrixBlockRef> t = table(c.ref);
    t.resize(static_cast<size_t>(cols * 2));
    (c.alphaPlane ? d.frames[1].layers[0].alphaTable : d.frames[1].layers[0].colourTable) = t;
    EXPECT_EQ(LoadError(authoring::BuildBrix(d)), brx::kErrDamaged) << c.what;
  }
  // The same kinds of reference, valid: a copy of an earlier block, of frame 0's layer 0
  // (colour) and of frame 0's layer 1 (alpha).
  TBrixAuthorDoc ok = doc(24, 9);
  ok.frames[1].layers[0].colourTable = table({0, 0});
  ok.frames[1].layers[0].alphaTable = table({0, 1});
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(ok));
  const TDIBSurface& src = list.Frame(0).Layer(0).Image;
  const TDIBSurface& dst = list.Frame(1).Layer(0).Image;
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 4; x < 8; ++x) EXPECT_EQ(dst.GetPixel(x, y), src.GetPixel(x, y));
  const TDIBSurface& srcA = *list.Frame(0).Layer(1).Image.Alpha();
  const TDIBSurface& dstA = *list.Frame(1).Layer(0).Image.Alpha();
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 4; x < 8; ++x) EXPECT_EQ(dstA.GetPixel(x, y), srcA.GetPixel(x, y));
}

TEST(BrxMalformed, EdgeBlocksCopyTheOverlap) {
  // 9 x 6 at 4 x 4 blocks: the last column (x 8) is one pixel wide, the last row (y 4) two
  // pixels high. A copy between blocks of different extents takes the part both have.
  TBrixAuthorDoc d;
  d.form = TBrixForm::Record;
  d.version = 105;
  d.header.blockWidth = 4;
  d.header.blockHeight = 4;
  d.header.compType = brx::kCompRaw;
  TBrixAuthorFrame f = MakeFrame(9, 6, 8);
  auto img = FrameImage(f, 9, false);
  f.layers = {MakeLayer(img)};
  f.layers[0].colourTable = std::vector<TBrixBlockRef>{{-1, 0}, {-1, 0}, {-2, 0}, {-2, 5}, {-2, 0}, {-1, 0}};
  d.frames = {f};
  // Block 3 refers to block 5, which is not decoded yet.
  EXPECT_EQ(LoadError(authoring::BuildBrix(d)), brx::kErrDamaged);
  d.frames[0].layers[0].colourTable = std::vector<TBrixBlockRef>{{-1, 0}, {-1, 0}, {-1, 0}, {-2, 2}, {-2, 0}, {-2, 2}};
  TBrixFrameList list;
  Load(list, authoring::BuildBrix(d));
  const TDIBSurface& out = list.Frame(0).Layer(0).Image;
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 9; ++x) EXPECT_EQ(out.GetPixel(x, y), img->GetPixel(x, y)) << x << "," << y;
  for (int32_t y = 4; y < 6; ++y) {
    // Block 3 from block 2 (one column wide): column 0 copied, the others 0.
    EXPECT_EQ(out.GetPixel(0, y), img->GetPixel(8, y - 4));
    for (int32_t x = 1; x < 4; ++x) EXPECT_EQ(out.GetPixel(x, y), 0u);
    // Block 4 from block 0: the top two rows of it.
    for (int32_t x = 4; x < 8; ++x) EXPECT_EQ(out.GetPixel(x, y), img->GetPixel(x - 4, y - 4));
    // Block 5 from block 2: same extent horizontally, two rows.
    EXPECT_EQ(out.GetPixel(8, y), img->GetPixel(8, y - 4));
  }
}

}  // namespace
}  // namespace qubo::brxtest
