// Image files: round trips through our writers and readers, PNG transparency, and hostile
// files (truncated, huge dimensions, damaged headers) that must fail with FormatError.

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <random>

#include "testkit/testkit.h"
#include <zlib.h>
#include "render/imagefile.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {
namespace {

std::vector<uint32_t> Pixels(const TDIBSurface& s) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) v.push_back(s.GetPixel(x, y));
  return v;
}

TDIBSurface& Random(TDIBSurface& s, uint32_t seed) {
  std::mt19937 rng(seed);
  const uint32_t mask = s.BitCount() == 15 ? 0x7FFF : s.StorageBits() >= 32 ? 0xFFFFFFFF : (1u << s.StorageBits()) - 1;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, rng() & mask);
  for (int i = 0; i < 256; ++i) s.Palette()[i] = TPaletteEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  return s;
}

std::vector<uint8_t> BmpBytes(const TDIBSurface& s) {
  TKoMemoryStream m;
  image::WriteBmp(m, s);
  return m.Bytes();
}

TEST(Bmp, RoundTripsEveryDepth) {
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    TDIBSurface s(5, 3, bits);
    Random(s, static_cast<uint32_t>(bits));
    TKoMemoryStream m(BmpBytes(s));
    TDIBSurface back;
    image::ReadBmp(m, back);
    EXPECT_EQ(back.BitCount(), bits);
    EXPECT_EQ(Pixels(back), Pixels(s)) << bits;
    if (bits <= 8) {
      for (int i = 0; i < (1 << bits); ++i) EXPECT_EQ(back.Palette()[i].red, s.Palette()[i].red);
    }
  }
}

TEST(Bmp, TopDownRowsAndCoreHeader) {
  // A 2x2 24-bit top-down bitmap made by hand.
  testkit::Bytes b;
  b.raw("BM").i32(14 + 40 + 16).i32(0).i32(54);
  b.i32(40).i32(2).i32(-2).i16(1).i16(24).i32(0).i32(16).i32(0).i32(0).i32(0).i32(0);
  b.u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(0).u8(0);  // top row
  b.u8(7).u8(8).u8(9).u8(10).u8(11).u8(12).u8(0).u8(0);
  TKoMemoryStream m(b.b);
  TDIBSurface s;
  image::ReadBmp(m, s);
  EXPECT_EQ(s.GetPixel(0, 0), 0x030201u);
  EXPECT_EQ(s.GetPixel(1, 1), 0x0C0B0Au);
  // A 12-byte core header with a 3-byte palette.
  testkit::Bytes c;
  c.raw("BM").i32(0).i32(0).i32(14 + 12 + 6);
  c.i32(12).i16(1).i16(1).i16(1).i16(1);
  c.u8(0).u8(0).u8(0).u8(0xFF).u8(0xFF).u8(0xFF);
  c.u8(0x80).u8(0).u8(0).u8(0);
  TKoMemoryStream mc(c.b);
  image::ReadBmp(mc, s);
  EXPECT_EQ(s.BitCount(), 1);
  EXPECT_EQ(s.GetPixel(0, 0), 1u);
  EXPECT_EQ(s.Palette()[1].green, 0xFF);
}

TEST(Bmp, HostileFilesFailCleanly) {
  TDIBSurface s(7, 5, 8);
  Random(s, 3);
  const std::vector<uint8_t> good = BmpBytes(s);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{13}, size_t{20}, size_t{54}, size_t{300}, good.size() - 1}) {
    TKoMemoryStream m(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    TDIBSurface out;
    EXPECT_THROW(image::ReadBmp(m, out), FormatError) << "cut at " << cut;
  }
  auto patched = [&](size_t at, int32_t v) {
    std::vector<uint8_t> b = good;
    std::memcpy(&b[at], &v, 4);
    return b;
  };
  const std::pair<size_t, int32_t> damage[] = {
      {18, 0x7FFFFFFF}, {22, 0x7FFFFFFF}, {18, -5}, {22, INT32_MIN}, {18, 20000},  // sizes
      {10, 0x7FFFFFF0},                                                            // pixel offset
      {14, 8},                                                                     // header size
      {30, 1},                                                                     // compression
      {46, 0x7FFFFFFF},                                                            // colours used: clamped
  };
  for (auto [at, v] : damage) {
    TKoMemoryStream m(patched(at, v));
    TDIBSurface out;
    if (at == 46) {
      EXPECT_NO_THROW(image::ReadBmp(m, out));
      continue;
    }
    EXPECT_THROW(image::ReadBmp(m, out), FormatError) << at << " = " << v;
  }
}

TEST(Png, RoundTripWithAlpha) {
  TDIBSurface s(6, 4, 24);
  Random(s, 5);
  s.CreateAlpha();
  Random(*s.Alpha(), 6);
  TKoMemoryStream m;
  image::WritePng(m, s, true);
  m.SetPosition(0);
  TDIBSurface back;
  int32_t key = 0;
  image::ReadPng(m, back, &key);
  EXPECT_EQ(key, -1);
  EXPECT_EQ(Pixels(back), Pixels(s));
  ASSERT_NE(back.Alpha(), nullptr);
  EXPECT_EQ(Pixels(*back.Alpha()), Pixels(*s.Alpha()));
  // A palette image written as RGB reads back as its colours.
  TDIBSurface p(3, 1, 8);
  Random(p, 8);
  TKoMemoryStream mp;
  image::WritePng(mp, p, true);
  mp.SetPosition(0);
  image::ReadPng(mp, back, nullptr);
  EXPECT_EQ(back.Alpha(), nullptr);
  const TPaletteEntry& e = p.Palette()[p.GetPixel(2, 0)];
  EXPECT_EQ(back.GetPixel(2, 0), (uint32_t{e.red} << 16) | (uint32_t{e.green} << 8) | e.blue);
}

// An RGB PNG with a tRNS transparent colour, made with libpng directly.
std::vector<uint8_t> PngWithTransparentColour() {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
    auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
    v->insert(v->end(), d, d + n);
  }, nullptr);
  png_set_IHDR(png, info, 2, 1, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color_16 t{};
  t.red = 0x10, t.green = 0x20, t.blue = 0x30;
  png_set_tRNS(png, info, nullptr, 0, &t);
  png_write_info(png, info);
  uint8_t row[6] = {0x10, 0x20, 0x30, 1, 2, 3};
  png_write_row(png, row);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(Png, TransparentColourIsReportedNotAlpha) {
  TKoMemoryStream m(PngWithTransparentColour());
  TDIBSurface s;
  int32_t key = 0;
  image::ReadPng(m, s, &key);
  EXPECT_EQ(key, 0x302010);  // colour reference, red low
  EXPECT_EQ(s.Alpha(), nullptr);
  EXPECT_EQ(s.GetPixel(0, 0), 0x102030u);
}

TEST(Png, HostileFilesFailCleanly) {
  TDIBSurface s(9, 7, 24);
  Random(s, 11);
  TKoMemoryStream m;
  image::WritePng(m, s, false);
  const std::vector<uint8_t> good = m.Bytes();
  for (size_t cut : {size_t{0}, size_t{7}, size_t{8}, size_t{20}, size_t{33}, size_t{40}, good.size() / 2, good.size() - 13}) {
    TKoMemoryStream t(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    TDIBSurface out;
    EXPECT_THROW(image::ReadPng(t, out, nullptr), FormatError) << "cut at " << cut;
  }
  // Huge dimensions (header rewritten with a valid checksum).
  std::vector<uint8_t> huge = good;
  const uint8_t big[8] = {0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00};
  std::memcpy(&huge[16], big, 8);
  const uint32_t crc = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), &huge[12], 17));
  const uint8_t c[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
  std::memcpy(&huge[29], c, 4);
  TKoMemoryStream th(huge);
  TDIBSurface out;
  EXPECT_THROW(image::ReadPng(th, out, nullptr), FormatError);
  // A damaged data chunk.
  std::vector<uint8_t> bad = good;
  bad[45] ^= 0xFF;
  TKoMemoryStream tb(bad);
  EXPECT_THROW(image::ReadPng(tb, out, nullptr), FormatError);
}

TEST(Jpeg, RoundTripIsClose) {
  TDIBSurface s(16, 16, 24);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) s.SetPixel(x, y, (uint32_t(x * 16) << 16) | (uint32_t(y * 16) << 8) | 0x80);
  TKoMemoryStream m;
  image::WriteJpeg(m, s, 95);
  m.SetPosition(0);
  TDIBSurface back;
  back.AssignJPEG(m);
  ASSERT_EQ(back.Width(), 16);
  EXPECT_EQ(back.BitCount(), 24);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      for (int c = 0; c < 3; ++c) {
        const int a = (s.GetPixel(x, y) >> (8 * c)) & 0xFF, b = (back.GetPixel(x, y) >> (8 * c)) & 0xFF;
        EXPECT_NEAR(a, b, 12) << x << "," << y;
      }
  // Truncated headers and garbage fail; ReadImage chooses by signature.
  const std::vector<uint8_t> good = m.Bytes();
  for (size_t cut : {size_t{0}, size_t{3}, size_t{20}, size_t{100}}) {
    TKoMemoryStream t(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_THROW(image::ReadJpeg(t, back), FormatError) << cut;
  }
  TKoMemoryStream again(good);
  EXPECT_EQ(image::Detect(again), image::Kind::Jpeg);
  EXPECT_TRUE(image::ReadImage(again, back, nullptr));
  TKoMemoryStream gif(std::vector<uint8_t>{'G', 'I', 'F', '8'});
  EXPECT_FALSE(image::ReadImage(gif, back, nullptr));
}

}  // namespace
}  // namespace qubo
