// Decoded planes equal the fixture's pixels across every version, bit count and plane coding.

#include <gtest/gtest.h>

#include <cstring>

#include "brxfixture.h"
#include "render/imagefile.h"
#include "render/pixelconvert.h"

namespace qubo::brxtest {
namespace {

struct Coding {
  const char* name;
  TBrixForm form;
  int32_t version;
  uint8_t comp;
  int32_t bw, bh;
  bool randomized;
  int32_t id;
  bool alpha;
};

const Coding kCodings[] = {
    {"headerless_zlib", TBrixForm::Headerless, 0, brx::kCompZlib, 0, 0, false, 0, false},
    {"headerless_raw", TBrixForm::Headerless, 0, brx::kCompRaw, 0, 0, false, 0, false},
    {"v100_raw_permuted", TBrixForm::Record, 100, brx::kCompRaw, 0, 0, false, 77, true},
    {"v101_zlib", TBrixForm::Record, 101, brx::kCompZlib, 0, 0, false, 0, true},
    {"v102_raw_permuted", TBrixForm::Record, 102, brx::kCompRaw, 0, 0, false, 5, true},
    {"v103_zlib_rows", TBrixForm::Record, 103, brx::kCompZlib, 0, 0, false, 0, false},
    {"v103_raw_random_rows", TBrixForm::Record, 103, brx::kCompRaw, 0, 0, true, 99, true},
    {"v104_zlib_blocks", TBrixForm::Record, 104, brx::kCompZlib, 8, 5, false, 0, true},
    {"v105_raw_random_blocks", TBrixForm::Record, 105, brx::kCompRaw, 7, 4, true, 1234, true},
    {"v105_jpeg", TBrixForm::Record, 105, brx::kCompJpeg, 8, 8, false, 0, true},
    {"xml_zlib_rows", TBrixForm::Structured, 200, brx::kCompZlib, 0, 0, false, 0, true},
    {"xml_raw_random_rows", TBrixForm::Structured, 200, brx::kCompRaw, 0, 0, true, -7, false},
    {"xml_zlib_random_blocks", TBrixForm::Structured, 200, brx::kCompZlib, 16, 16, true, 42, true},
    {"xml_raw_blocks", TBrixForm::Structured, 200, brx::kCompRaw, 5, 3, false, 0, true},
    {"xml_jpeg", TBrixForm::Structured, 200, brx::kCompJpeg, 0, 0, true, 3, true},
};
const int kDepths[] = {1, 4, 8, 15, 16, 24, 32};

struct Case {
  Coding coding;
  int bpp;
};

std::vector<Case> AllCases() {
  std::vector<Case> out;
  for (const Coding& c : kCodings)
    for (int b : kDepths) out.push_back({c, b});
  return out;
}

// Two frames of three layers at odd sizes (edge blocks narrower and lower): a pattern layer,
// a flat layer (its blocks repeat), and in frame 1 a copy of frame 0's first layer with one
// changed corner (blocks copied from the earlier frame).
TBrixAuthorDoc Fixture(const Case& c) {
  TBrixAuthorDoc doc;
  doc.form = c.coding.form;
  doc.version = c.coding.version;
  doc.header.compType = c.coding.comp;
  doc.header.blockWidth = c.coding.bw;
  doc.header.blockHeight = c.coding.bh;
  doc.header.randomized = c.coding.randomized;
  doc.header.bgColor = 0x00336699;
  doc.idCode = c.coding.id;
  doc.findReferences = true;
  const bool alpha = c.coding.alpha && (c.coding.form == TBrixForm::Structured || c.coding.version >= 100);
  for (int fi = 0; fi < 2; ++fi) {
    TBrixAuthorFrame f = MakeFrame(37, 23, c.bpp, 3);
    f.name = "frame" + std::to_string(fi);
    f.delay = 40 + fi;
    f.disposal = static_cast<uint8_t>(fi + 1);
    f.transColor = fi == 0 ? -1 : 1;
    auto first = FrameImage(f, 11, alpha);
    if (fi == 1) {
      for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 9; ++x) first->SetPixel(x, y, 0);
    }
    TBrixAuthorLayer l0 = MakeLayer(first, "base");
    l0.alphaOn = alpha;
    auto flat = FrameImage(f, 5, false);
    flat->FillRect(flat->BoundsRect(), 1);
    TBrixAuthorLayer l1 = MakeLayer(flat, "flat");
    l1.transColor = 1;
    l1.alpha = 128;
    TBrixAuthorLayer l2 = MakeLayer(FrameImage(f, 23 + fi, alpha), "hidden");
    l2.visible = false;
    f.layers = {l0, l1, l2};
    if (c.coding.form == TBrixForm::Record && c.coding.version >= 104) {
      f.drawRects = {TRect{1, 2, 3, 4}, TRect{-5, 0, 40, 30}};
      f.extraRects = {TRect{7, 7, 8, 9}};
    }
    doc.frames.push_back(f);
  }
  return doc;
}

// What the reader must give for a plane: the fixture's pixels, or for JPEG colour planes the
// decoded JPEG in the frame's format.
void ExpectPlane(const Case& c, const TDIBSurface& fixture, const TDIBSurface& decoded, bool colour) {
  if (colour && c.coding.comp == brx::kCompJpeg) {
    TKoMemoryStream jpeg;
    image::WriteJpeg(jpeg, fixture, 90);
    jpeg.SetPosition(0);
    TDIBSurface picture;
    image::ReadJpeg(jpeg, picture);
    TDIBSurface expected(fixture.Width(), fixture.Height(), fixture.BitCount());
    std::memcpy(expected.Palette(), fixture.Palette(), sizeof(TPaletteEntry) * 256);
    ConvertPixels(picture, expected);
    EXPECT_TRUE(SamePixels(expected, decoded));
    return;
  }
  EXPECT_TRUE(SamePixels(fixture, decoded));
}

class BrxMatrix : public ::testing::TestWithParam<Case> {};

TEST_P(BrxMatrix, DecodedPlanesEqualTheFixture) {
  const Case& c = GetParam();
  const TBrixAuthorDoc doc = Fixture(c);
  const std::vector<uint8_t> bytes = authoring::BuildBrix(doc);
  TBrixFrameList list(c.coding.id);
  ASSERT_NO_THROW(Load(list, bytes));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Version, c.coding.version);
  EXPECT_EQ(list.Structured, c.coding.form == TBrixForm::Structured);
  const bool hasAlphaOn = c.coding.form == TBrixForm::Structured || c.coding.version >= 101;
  for (int fi = 0; fi < 2; ++fi) {
    SCOPED_TRACE("frame " + std::to_string(fi));
    const TBrixAuthorFrame& ff = doc.frames[static_cast<size_t>(fi)];
    const TBrixFrame& f = list.Frame(fi);
    EXPECT_EQ(f.Name, ff.name);
    EXPECT_EQ(f.Delay, ff.delay);
    EXPECT_EQ(f.Disposal, ff.disposal);
    EXPECT_EQ(f.TransColor, ff.transColor);
    EXPECT_EQ(f.Width(), 37);
    EXPECT_EQ(f.BitCount(), c.bpp);
    ASSERT_EQ(f.LayerCount(), 3);
    for (int li = 0; li < 3; ++li) {
      SCOPED_TRACE("layer " + std::to_string(li));
      const TBrixAuthorLayer& fl = ff.layers[static_cast<size_t>(li)];
      const TBrixLayer& l = f.Layer(li);
      EXPECT_EQ(l.Name, fl.name);
      EXPECT_EQ(l.Visible, fl.visible);
      EXPECT_EQ(l.Alpha, fl.alpha);
      EXPECT_EQ(l.AlphaOn, fl.alphaOn && hasAlphaOn);
      ExpectPlane(c, *fl.image, l.Image, true);
      ASSERT_EQ(l.Image.Alpha() != nullptr, fl.image->Alpha() != nullptr);
      if (l.Image.Alpha()) ExpectPlane(c, *fl.image->Alpha(), *l.Image.Alpha(), false);
    }
    if (!ff.drawRects.empty()) {
      EXPECT_EQ(f.DrawRects, ff.drawRects);
      EXPECT_EQ(f.ExtraRects, ff.extraRects);
    }
    // The first layer has an alpha plane and AlphaOn (where the version stores it): the frame
    // takes it.
    EXPECT_EQ(f.HasAlpha(), ff.layers[0].alphaOn && hasAlphaOn);
  }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return std::string(info.param.coding.name) + "_" + std::to_string(info.param.bpp);
}

INSTANTIATE_TEST_SUITE_P(AllCodings, BrxMatrix, ::testing::ValuesIn(AllCases()), CaseName);

// The block tables of the fixture really use both kinds of reference.
TEST(BrxFixture, BlockTablesUseEveryReferenceKind) {
  const Case c{kCodings[7], 24};
  const TBrixAuthorDoc doc = Fixture(c);
  const TDIBSurface& f0 = *doc.frames[0].layers[0].image;
  const TDIBSurface& f1 = *doc.frames[1].layers[0].image;
  const auto flat = authoring::FindBlockReferences(*doc.frames[0].layers[1].image, {}, {}, 8, 5);
  int same = 0;
  for (const auto& e : flat) same += e.a == brx::kBlockSamePlane;
  EXPECT_GT(same, 0);
  const auto copied = authoring::FindBlockReferences(f1, {{0, 0}}, {&f0}, 8, 5);
  int stored = 0, cross = 0;
  for (const auto& e : copied) {
    stored += e.a == brx::kBlockStored;
    cross += e.a == 0 && e.b == 0;
  }
  EXPECT_GT(stored, 0);
  EXPECT_GT(cross, 0);
}

}  // namespace
}  // namespace qubo::brxtest
