// Icon and cursor files: bitmap images of every depth with their masks, 32-bit alpha, PNG
// images, the choice among several images, cursor hot spots, detection, and hostile
// directories and images that must fail with FormatError.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "render/imagefile.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {
namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// The colour of pixel (x, y) as the tests make it: a palette index below 2^bits at 8 bits and
// less, else blue | green << 8 | red << 16.
uint32_t Value(int x, int y, int bits) {
  if (bits <= 8) return uint32_t(x * 3 + y * 5 + 1) & ((1u << bits) - 1);
  return uint32_t(0x10203 * (x + 1) + 0x302010 * (y + 1)) & 0xFFFFFF;
}
uint32_t PaletteColour(uint32_t i) { return (i * 0x1F0B07u + 0x030201u) & 0xFFFFFF; }
bool Transparent(int x, int y) { return (x + y) % 3 == 0; }

// A bitmap image as an icon stores it: info header with the height doubled, palette, colour
// rows bottom first, then mask rows (1 = transparent). alpha gives the fourth byte of 32-bit
// pixels.
std::vector<uint8_t> IconBitmap(int w, int h, int bits, bool withMask = true, uint8_t (*alpha)(int, int) = nullptr) {
  std::vector<uint8_t> b;
  Put32(b, 40);
  Put32(b, uint32_t(w));
  Put32(b, uint32_t(2 * h));
  Put16(b, 1);
  Put16(b, uint32_t(bits));
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  if (bits <= 8)
    for (uint32_t i = 0; i < (1u << bits); ++i) Put32(b, PaletteColour(i));
  const size_t rowBytes = size_t(w * bits + 31) / 32 * 4, maskBytes = size_t(w + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = Value(x, y, bits);
      if (bits <= 8) {
        const int bit = x * bits;
        row[size_t(bit / 8)] |= uint8_t(v << (8 - bits - bit % 8));
      } else {
        const size_t at = size_t(x) * size_t(bits / 8);
        row[at] = uint8_t(v), row[at + 1] = uint8_t(v >> 8), row[at + 2] = uint8_t(v >> 16);
        if (bits == 32) row[at + 3] = alpha ? alpha(x, y) : 0;
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  if (withMask) {
    for (int y = h - 1; y >= 0; --y) {
      std::vector<uint8_t> row(maskBytes, 0);
      for (int x = 0; x < w; ++x)
        if (Transparent(x, y)) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
      b.insert(b.end(), row.begin(), row.end());
    }
  }
  return b;
}

struct Entry {
  std::vector<uint8_t> data;
  uint16_t field4 = 1, field6 = 0;  // planes and bit count, or a cursor's hot spot
  uint8_t width = 0, height = 0;    // what the directory claims (0 = 256)
};

// A directory of type 1 (icon) or 2 (cursor) followed by the images in order.
std::vector<uint8_t> Directory(int type, const std::vector<Entry>& entries) {
  std::vector<uint8_t> b;
  Put16(b, 0);
  Put16(b, uint32_t(type));
  Put16(b, uint32_t(entries.size()));
  uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    b.push_back(e.width);
    b.push_back(e.height);
    b.push_back(0);
    b.push_back(0);
    Put16(b, e.field4);
    Put16(b, e.field6);
    Put32(b, uint32_t(e.data.size()));
    Put32(b, offset);
    offset += uint32_t(e.data.size());
  }
  for (const Entry& e : entries) b.insert(b.end(), e.data.begin(), e.data.end());
  return b;
}

std::unique_ptr<TDIBSurface> ReadIco(const std::vector<uint8_t>& bytes, image::TIconHotSpot* hot = nullptr) {
  TKoMemoryStream m(bytes);
  auto s = std::make_unique<TDIBSurface>();
  image::ReadIcon(m, *s, hot);
  return s;
}

std::vector<uint8_t> PngBytes(const TDIBSurface& s, bool withAlpha) {
  TKoMemoryStream m;
  image::WritePng(m, s, withAlpha);
  return m.Bytes();
}

TEST(Icon, BitmapImagesOfEveryDepthWithTheirMasks) {
  for (int bits : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bits);
    const int w = 13, h = 5;  // rows and mask rows both padded
    const auto sp = ReadIco(Directory(1, {{IconBitmap(w, h, bits)}}));
    const TDIBSurface& s = *sp;
    ASSERT_EQ(s.Width(), w);
    ASSERT_EQ(s.Height(), h);
    EXPECT_EQ(s.BitCount(), 24);
    ASSERT_NE(s.Alpha(), nullptr);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t v = Value(x, y, bits);
        EXPECT_EQ(s.GetPixel(x, y), bits <= 8 ? PaletteColour(v) : v) << x << "," << y;
        // A 32-bit image whose fourth bytes are all 0 takes the mask.
        EXPECT_EQ(s.Alpha()->GetPixel(x, y), Transparent(x, y) ? 0u : 255u) << x << "," << y;
      }
  }
}

TEST(Icon, ThirtyTwoBitAlphaWinsOverTheMask) {
  auto alpha = [](int x, int y) { return uint8_t(x * 20 + y); };
  for (bool withMask : {true, false}) {
    const auto sp = ReadIco(Directory(1, {{IconBitmap(6, 4, 32, withMask, alpha)}}));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(sp->GetPixel(x, y), Value(x, y, 32));
        EXPECT_EQ(sp->Alpha()->GetPixel(x, y), uint32_t(alpha(x, y))) << x << "," << y;
      }
  }
  // Without alpha bytes and without a mask, a 32-bit image is opaque.
  const auto sp = ReadIco(Directory(1, {{IconBitmap(6, 4, 32, false)}}));
  EXPECT_EQ(sp->Alpha()->GetPixel(0, 0), 255u);
  // Other depths need their mask.
  EXPECT_THROW(ReadIco(Directory(1, {{IconBitmap(6, 4, 8, false)}})), FormatError);
}

TEST(Icon, PngImages) {
  TDIBSurface pic(7, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) pic.SetPixel(x, y, Value(x, y, 24));
  pic.CreateAlpha();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) pic.Alpha()->SetPixel(x, y, uint32_t(x * 30 + y));
  for (bool withAlpha : {true, false}) {
    const auto sp = ReadIco(Directory(1, {{PngBytes(pic, withAlpha)}}));
    ASSERT_EQ(sp->Width(), 7);
    ASSERT_NE(sp->Alpha(), nullptr) << "an opaque PNG still gets an alpha plane";
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(sp->GetPixel(x, y), Value(x, y, 24));
        EXPECT_EQ(sp->Alpha()->GetPixel(x, y), withAlpha ? uint32_t(x * 30 + y) : 255u);
      }
  }
}

TEST(Icon, ChoosesTheLargestThenTheDeepestImage) {
  // The directory's own sizes and depths are left 0; the images' headers decide.
  TDIBSurface big(32, 32, 24);
  big.FillRect(big.BoundsRect(), 0x445566);
  const std::vector<uint8_t> candidates[] = {
      IconBitmap(16, 16, 32), IconBitmap(32, 32, 4), IconBitmap(32, 32, 24), IconBitmap(31, 32, 32),
  };
  const std::vector<std::vector<int>> orders = {{0, 1, 2, 3}, {2, 3, 1, 0}, {3, 2, 0, 1}};
  for (const auto& order : orders) {
    std::vector<Entry> entries;
    for (int i : order) entries.push_back({candidates[i]});
    const auto sp = ReadIco(Directory(1, entries));
    EXPECT_EQ(sp->Width(), 32);
    EXPECT_EQ(sp->GetPixel(5, 5), Value(5, 5, 24)) << "the 24-bit image, not the 4-bit one";
  }
  // A PNG image competes on the same terms: a 48 x 48 PNG beats them all.
  TDIBSurface png(48, 48, 24);
  png.FillRect(png.BoundsRect(), 0x445566);
  const auto sp = ReadIco(Directory(1, {{candidates[2]}, {PngBytes(png, true)}, {candidates[0]}}));
  EXPECT_EQ(sp->Width(), 48);
  EXPECT_EQ(sp->GetPixel(47, 47), 0x445566u);
}

TEST(Icon, CursorHotSpot) {
  struct Case {
    int type;
    uint16_t hx, hy;
    int32_t ex, ey;
  } cases[] = {
      {2, 3, 4, 3, 4},
      {2, 0, 0, 0, 0},
      {2, 100, 9, 9, 4},  // beyond the 10 x 5 image: held to its last pixel
      {1, 3, 4, 5, 2},    // an icon: the centre
  };
  for (const Case& c : cases) {
    image::TIconHotSpot hot{-7, -7};
    ReadIco(Directory(c.type, {{IconBitmap(10, 5, 8), c.hx, c.hy}}), &hot);
    EXPECT_EQ(hot.x, c.ex) << c.type << " " << c.hx;
    EXPECT_EQ(hot.y, c.ey) << c.type << " " << c.hy;
  }
  EXPECT_NO_THROW(ReadIco(Directory(2, {{IconBitmap(10, 5, 8), 1, 1}}), nullptr));
}

TEST(Icon, DetectedBySignatureAndByName) {
  const std::vector<uint8_t> ico = Directory(1, {{IconBitmap(4, 4, 24)}});
  const std::vector<uint8_t> cur = Directory(2, {{IconBitmap(4, 4, 24), 1, 2}});
  TKoMemoryStream mi(ico), mc(cur);
  EXPECT_EQ(image::Detect(mi), image::Kind::Icon);
  EXPECT_EQ(image::Detect(mc), image::Kind::Cursor);
  TDIBSurface out;
  int32_t key = 9;
  EXPECT_TRUE(image::ReadImage(mc, out, &key));
  EXPECT_EQ(key, -1);
  EXPECT_EQ(out.Width(), 4);
  TKoMemoryStream named(cur);
  EXPECT_TRUE(image::ReadImageByName("arrow.CUR", named, out, nullptr));
  // Look-alikes stay unknown: no entries, a nonzero reserved byte, data inside the directory
  // or beyond the file.
  auto patched = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> b = ico;
    b[at] = v;
    return b;
  };
  for (const std::vector<uint8_t>& b : {patched(4, 0), patched(9, 1), patched(18, 5), patched(21, 0x40),
                                        std::vector<uint8_t>(ico.begin(), ico.begin() + 21)}) {
    TKoMemoryStream m(b);
    EXPECT_EQ(image::Detect(m), image::Kind::Unknown);
  }
}

TEST(Icon, HostileFilesFailCleanly) {
  const std::vector<uint8_t> image8 = IconBitmap(9, 6, 8);
  const std::vector<uint8_t> good = Directory(1, {{image8}});
  ASSERT_NO_THROW(ReadIco(good));
  // The whole file cut short: the directory, then its entry's image, go past the end.
  for (size_t cut : {size_t{0}, size_t{3}, size_t{6}, size_t{15}, size_t{21}, size_t{22}, size_t{60}, good.size() - 1})
    EXPECT_THROW(ReadIco(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(cut))), FormatError)
        << "file cut at " << cut;
  // The image cut short with a directory that agrees: header, palette, pixels, mask.
  const size_t palette = 40 + 1024, pixels = palette + 12 * 6;
  for (size_t cut : {size_t{0}, size_t{7}, size_t{39}, size_t{40}, palette - 1, palette + 5, pixels - 1, pixels + 1,
                     image8.size() - 1})
    EXPECT_THROW(ReadIco(Directory(1, {{std::vector<uint8_t>(image8.begin(), image8.begin() + std::ptrdiff_t(cut))}})),
                 FormatError)
        << "image cut at " << cut;

  auto file = [&](size_t at, uint32_t v, int bytes) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < bytes; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    return b;
  };
  const size_t img = 22;  // where the image's header starts
  struct Damage {
    const char* what;
    std::vector<uint8_t> bytes;
  } damage[] = {
      {"reserved word", file(0, 1, 2)},
      {"type 3", file(2, 3, 2)},
      {"no entries", file(4, 0, 2)},
      {"more entries than bytes", file(4, 5000, 2)},
      {"image offset past the end", file(18, uint32_t(good.size()) + 1, 4)},
      {"image size past the end", file(14, uint32_t(good.size()), 4)},
      {"offset plus size wraps", file(14, 0xFFFFFFF0u, 4)},
      {"huge width", file(img + 4, 0x7FFFFFFF, 4)},
      {"negative width", file(img + 4, 0xFFFFFFF6u, 4)},
      {"width beyond the limit", file(img + 4, 16385, 4)},
      {"zero height", file(img + 8, 1, 4)},
      {"negative height", file(img + 8, 0xFFFFFFF4u, 4)},
      {"huge height", file(img + 8, 0x7FFFFFFE, 4)},
      {"16 bits", file(img + 14, 16, 2)},
      {"2 bits", file(img + 14, 2, 2)},
      {"compressed", file(img + 16, 1, 4)},
      {"core header", file(img, 12, 4)},
      {"header larger than the image", file(img, 5000, 4)},
  };
  for (const Damage& d : damage) EXPECT_THROW(ReadIco(d.bytes), FormatError) << d.what;
  // A colour count beyond the depth is held to it.
  EXPECT_NO_THROW(ReadIco(file(img + 32, 0x7FFFFFFF, 4)));

  // A damaged PNG image fails as the PNG reader does; a PNG too short for its header too.
  TDIBSurface pic(4, 4, 24);
  std::vector<uint8_t> png = PngBytes(pic, false);
  EXPECT_THROW(ReadIco(Directory(1, {{std::vector<uint8_t>(png.begin(), png.begin() + 20)}})), FormatError);
  EXPECT_THROW(ReadIco(Directory(1, {{std::vector<uint8_t>(png.begin(), png.end() - 20)}})), FormatError);
  png[16] = 0x7F;  // width in IHDR
  EXPECT_THROW(ReadIco(Directory(1, {{png}})), FormatError);
}

}  // namespace
}  // namespace qubo
