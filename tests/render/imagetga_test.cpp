// TGA files: our writer's output read back exactly, every image type and depth and every
// origin from hand-built files, run-length packets that cross row ends, and hostile files
// that must fail with FormatError.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo {
namespace {

// A pixel as the tests write it: blue | green << 8 | red << 16 | alpha << 24.
using Px = uint32_t;
constexpr Px Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) { return b | (g << 8) | (r << 16) | (a << 24); }
constexpr uint32_t Rgb(Px p) { return p & 0xFFFFFF; }
uint32_t Widen5(uint32_t c8) {
  const uint32_t v = c8 >> 3;
  return (v << 3) | (v >> 2);
}

// The bytes of one stored pixel (or map entry) of the given depth.
std::vector<uint8_t> Encode(Px p, int bits) {
  const uint8_t b = uint8_t(p), g = uint8_t(p >> 8), r = uint8_t(p >> 16), a = uint8_t(p >> 24);
  switch (bits) {
    case 8: return {b};
    case 15:
    case 16: {
      const uint32_t v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3) | (a >= 128 ? 0x8000 : 0);
      return {uint8_t(v), uint8_t(v >> 8)};
    }
    case 24: return {b, g, r};
    default: return {b, g, r, a};
  }
}

// A TGA file put together field by field.
struct TgaFile {
  int type = 2, mapType = 0, mapFirst = 0, mapLength = 0, mapBits = 0;
  int width = 0, height = 0, bits = 24, descriptor = 0x20;
  std::vector<uint8_t> id, map, pixels;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> b = {uint8_t(id.size()), uint8_t(mapType), uint8_t(type),
                              uint8_t(mapFirst), uint8_t(mapFirst >> 8), uint8_t(mapLength), uint8_t(mapLength >> 8),
                              uint8_t(mapBits), 0, 0, 0, 0,
                              uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
                              uint8_t(bits), uint8_t(descriptor)};
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), map.begin(), map.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

// Stored pixels as raw bytes, or run-length packets over the whole pixel stream: runs of two
// or more equal pixels become repeat packets, and packets freely cross the ends of rows.
std::vector<uint8_t> PackPixels(const std::vector<std::vector<uint8_t>>& px, bool rle) {
  std::vector<uint8_t> out;
  if (!rle) {
    for (const auto& p : px) out.insert(out.end(), p.begin(), p.end());
    return out;
  }
  size_t i = 0;
  while (i < px.size()) {
    size_t run = 1;
    while (i + run < px.size() && run < 128 && px[i + run] == px[i]) ++run;
    if (run >= 2) {
      out.push_back(uint8_t(0x80 | (run - 1)));
      out.insert(out.end(), px[i].begin(), px[i].end());
      i += run;
      continue;
    }
    size_t len = 1;
    while (i + len < px.size() && len < 128 && !(i + len + 1 < px.size() && px[i + len] == px[i + len + 1])) ++len;
    out.push_back(uint8_t(len - 1));
    for (size_t k = 0; k < len; ++k) out.insert(out.end(), px[i + k].begin(), px[i + k].end());
    i += len;
  }
  return out;
}

std::unique_ptr<TDIBSurface> ReadTga(const std::vector<uint8_t>& bytes) {
  TKoMemoryStream m(bytes);
  auto s = std::make_unique<TDIBSurface>();
  image::ReadTga(m, *s);
  return s;
}

std::vector<uint8_t> WriteTga(const TDIBSurface& s, bool withAlpha) {
  TKoMemoryStream m;
  image::WriteTga(m, s, withAlpha);
  return m.Bytes();
}

std::vector<uint32_t> Pixels(const TDIBSurface& s) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) v.push_back(s.GetPixel(x, y));
  return v;
}

// Walks the packets of a run-length encoded file from our writer and checks that every row
// ends exactly at a packet boundary; answers the offset after the pixels.
size_t CheckRowsEndOnPackets(const std::vector<uint8_t>& b, int w, int h, int bytes) {
  size_t p = 18 + b[0];
  for (int y = 0; y < h; ++y) {
    int left = w;
    while (left > 0) {
      const int head = b.at(p++), n = (head & 0x7F) + 1;
      EXPECT_LE(n, left) << "packet crosses the end of row " << y;
      p += (head & 0x80) ? bytes : size_t(n) * bytes;
      left -= n;
    }
  }
  return p;
}

TEST(Tga, WriterRoundTripsPixelsAndAlphaWithRowPacketsAndFooter) {
  std::mt19937 rng(7);
  // Widths around the 128-pixel packet limit; rows mix runs and noise.
  for (int w : {1, 2, 127, 128, 129, 300}) {
    const int h = 3;
    TDIBSurface s(w, h, 24);
    s.CreateAlpha();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool run = (x / 5) % 2 == 0 || y == 1;
        s.SetPixel(x, y, run ? 0x102030u * uint32_t(y + 1) : rng() & 0xFFFFFF);
        s.Alpha()->SetPixel(x, y, run ? 255u : rng() & 0xFF);
      }
    for (bool withAlpha : {false, true}) {
      const std::vector<uint8_t> b = WriteTga(s, withAlpha);
      ASSERT_GE(b.size(), 18u + 26u);
      EXPECT_EQ(b[2], 10) << "run-length true colour";
      EXPECT_EQ(b[16], withAlpha ? 32 : 24);
      EXPECT_EQ(b[17], withAlpha ? 0x08 : 0x00) << "attribute bits, bottom-left origin";
      const size_t end = CheckRowsEndOnPackets(b, w, h, withAlpha ? 4 : 3);
      ASSERT_EQ(end + 26, b.size()) << "pixels then the footer, nothing else";
      EXPECT_EQ(std::vector<uint8_t>(b.begin() + end, b.begin() + end + 8), std::vector<uint8_t>(8, 0));
      EXPECT_EQ(0, std::memcmp(&b[end + 8], "TRUEVISION-XFILE.", 18)) << "signature with its NUL";

      const auto backp = ReadTga(b);

      const TDIBSurface& back = *backp;
      EXPECT_EQ(back.BitCount(), 24);
      EXPECT_EQ(Pixels(back), Pixels(s)) << w;
      ASSERT_EQ(back.Alpha() != nullptr, withAlpha);
      if (withAlpha) {
        EXPECT_EQ(Pixels(*back.Alpha()), Pixels(*s.Alpha())) << w;
      }
    }
  }
  // A uniform row of 300 pixels takes three repeat packets (128 + 128 + 44).
  TDIBSurface flat(300, 1, 24);
  flat.FillRect(flat.BoundsRect(), 0x0A0B0C);
  EXPECT_EQ(WriteTga(flat, false).size(), 18u + 3 * 4 + 26);
}

TEST(Tga, WriterConvertsOtherDepthsByColour) {
  for (int bits : {8, 15, 16, 32}) {
    TDIBSurface s(4, 2, bits);
    for (int i = 0; i < 256; ++i) s.Palette()[i] = TPaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    for (int i = 0; i < 8; ++i) s.SetPixel(i % 4, i / 4, uint32_t(i * 37 + 1));
    const auto backp = ReadTga(WriteTga(s, true));
    const TDIBSurface& back = *backp;
    const TPixelSpace space = TPixelSpace::Of(s);
    for (int i = 0; i < 8; ++i) {
      const TRgb c = PixelToRgb(space, s.GetPixel(i % 4, i / 4));
      EXPECT_EQ(back.GetPixel(i % 4, i / 4), c.b | (uint32_t{c.g} << 8) | (uint32_t{c.r} << 16)) << bits << " " << i;
    }
    EXPECT_TRUE(back.Alpha() == nullptr) << "no alpha plane to write";
  }
}

// Grey levels 1, 2, 7, 7, 5, 6 in file order on a 3 x 2 image: for each origin, where they
// land. The run-length form packs the two 7s into one run across the end of the first
// stored row.
TEST(Tga, EveryOriginAndDirection) {
  struct Case {
    int descriptor;
    uint8_t expect[6];  // top row then bottom row
  } cases[] = {
      {0x00, {7, 5, 6, 1, 2, 7}},  // bottom-left
      {0x10, {6, 5, 7, 7, 2, 1}},  // bottom-right
      {0x20, {1, 2, 7, 7, 5, 6}},  // top-left
      {0x30, {7, 2, 1, 6, 5, 7}},  // top-right
  };
  const std::vector<uint8_t> raw = {1, 2, 7, 7, 5, 6};
  const std::vector<uint8_t> packed = {0x01, 1, 2, 0x81, 7, 0x01, 5, 6};
  for (const Case& c : cases) {
    for (bool rle : {false, true}) {
      TgaFile f;
      f.type = rle ? 11 : 3;
      f.bits = 8;
      f.width = 3;
      f.height = 2;
      f.descriptor = c.descriptor;
      f.pixels = rle ? packed : raw;
      const auto sp = ReadTga(f.Bytes());
      const TDIBSurface& s = *sp;
      ASSERT_EQ(s.Width(), 3);
      ASSERT_EQ(s.Height(), 2);
      for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s.GetPixel(i % 3, i / 3), c.expect[i] * 0x010101u)
            << "descriptor " << c.descriptor << (rle ? " rle" : " raw") << " pixel " << i;
    }
  }
}

// A 4 x 3 image over five colours, written by every image type at every depth, plain and
// run-length encoded (runs of three and more crossing both row ends).
TEST(Tga, EveryImageTypeAndDepth) {
  const Px colours[5] = {Rgba(0xF8, 0x08, 0x80, 255), Rgba(0x10, 0xE0, 0x38, 0), Rgba(0x00, 0x00, 0x00, 255),
                         Rgba(0xFF, 0xFF, 0xFF, 0x40), Rgba(0x48, 0x90, 0xD8, 0xC0)};
  const int picture[12] = {0, 1, 2, 2, 2, 2, 3, 4, 4, 4, 4, 0};  // top-left origin
  struct Case {
    const char* name;
    int type, bits, mapBits, mapFirst, alphaBits;
  } cases[] = {
      {"true colour 24", 2, 24, 0, 0, 0},
      {"true colour 32 with alpha", 2, 32, 0, 0, 8},
      {"true colour 32 without attribute bits", 2, 32, 0, 0, 0},
      {"true colour 16 with attribute bit", 2, 16, 0, 0, 1},
      {"true colour 15", 2, 15, 0, 0, 0},
      {"mapped 8 over 24", 1, 8, 24, 0, 0},
      {"mapped 8 over 32, first index 200", 1, 8, 32, 200, 8},
      {"mapped 16 over 16, first index 1000", 1, 16, 16, 1000, 0},
      {"mapped 8 over 15", 1, 8, 15, 3, 0},
      {"grey 8", 3, 8, 0, 0, 0},
  };
  for (const Case& c : cases) {
    for (bool rle : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (rle ? " rle" : " raw"));
      TgaFile f;
      f.type = c.type + (rle ? 8 : 0);
      f.bits = c.bits;
      f.width = 4;
      f.height = 3;
      f.descriptor = 0x20 | c.alphaBits;
      std::vector<std::vector<uint8_t>> stored;
      if (c.type == 1) {
        f.mapType = 1;
        f.mapFirst = c.mapFirst;
        f.mapLength = 5;
        f.mapBits = c.mapBits;
        for (Px p : colours) {
          const auto e = Encode(p, c.mapBits);
          f.map.insert(f.map.end(), e.begin(), e.end());
        }
        for (int i : picture) {
          const int index = c.mapFirst + i;
          stored.push_back(c.bits == 8 ? std::vector<uint8_t>{uint8_t(index)}
                                       : std::vector<uint8_t>{uint8_t(index), uint8_t(index >> 8)});
        }
      } else {
        for (int i : picture) stored.push_back(Encode(colours[i], c.bits));
      }
      f.pixels = PackPixels(stored, rle);
      const auto sp = ReadTga(f.Bytes());
      const TDIBSurface& s = *sp;
      const int depth = c.type == 1 ? c.mapBits : c.bits;
      const bool alpha = c.alphaBits != 0 && (depth == 16 || depth == 32);
      ASSERT_EQ(s.Alpha() != nullptr, alpha);
      for (int i = 0; i < 12; ++i) {
        const Px p = colours[picture[i]];
        uint32_t rgb = Rgb(p);
        if (c.type == 3) rgb = (p & 0xFF) * 0x010101u;
        if (depth == 15 || depth == 16) rgb = Widen5(p & 0xFF) | (Widen5((p >> 8) & 0xFF) << 8) | (Widen5((p >> 16) & 0xFF) << 16);
        EXPECT_EQ(s.GetPixel(i % 4, i / 4), rgb) << "pixel " << i;
        if (alpha) {
          const uint32_t a = depth == 16 ? ((p >> 24) >= 128 ? 255 : 0) : p >> 24;
          EXPECT_EQ(s.Alpha()->GetPixel(i % 4, i / 4), a) << "alpha " << i;
        }
      }
    }
  }
}

TEST(Tga, IdFieldAndUnusedColourMapAreSkipped) {
  TgaFile f;
  f.id = std::vector<uint8_t>(255, 0xEE);
  f.mapType = 1;  // a map in a true-colour file: present, not used
  f.mapLength = 3;
  f.mapBits = 32;
  f.map = std::vector<uint8_t>(12, 0xDD);
  f.width = 2;
  f.height = 1;
  f.pixels = {1, 2, 3, 4, 5, 6};
  const auto sp = ReadTga(f.Bytes());
  const TDIBSurface& s = *sp;
  EXPECT_EQ(s.GetPixel(0, 0), 0x030201u);
  EXPECT_EQ(s.GetPixel(1, 0), 0x060504u);
}

TEST(Tga, PacketsCrossingRowsAndTheImageEnd) {
  // 3 x 2, top-left: a run of 4 covers the first row and the start of the second; a raw
  // packet of 3 runs past the image by one pixel, a final run of 100 past it entirely: both
  // are cut at the last pixel and nothing is written beyond it.
  TgaFile f;
  f.type = 11;
  f.bits = 8;
  f.width = 3;
  f.height = 2;
  f.pixels = {0x83, 9, 0x02, 4, 5, 6, 0xE3, 1};
  const auto sp = ReadTga(f.Bytes());
  const TDIBSurface& s = *sp;
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{9 * 0x010101u, 9 * 0x010101u, 9 * 0x010101u, 9 * 0x010101u,
                                              4 * 0x010101u, 5 * 0x010101u}));
  // One run for the whole image.
  f.width = 200;
  f.height = 300;
  f.pixels.clear();
  for (int i = 0; i < 200 * 300 / 128 + 1; ++i) f.pixels.insert(f.pixels.end(), {0xFF, 0x33});
  const auto bigp = ReadTga(f.Bytes());
  const TDIBSurface& big = *bigp;
  EXPECT_EQ(big.GetPixel(199, 299), 0x333333u);
  EXPECT_EQ(big.GetPixel(0, 0), 0x333333u);
}

TEST(Tga, HostileFilesFailCleanly) {
  TDIBSurface s(9, 5, 24);
  std::mt19937 rng(11);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) s.SetPixel(x, y, (x < 4 ? 0x123456u : rng()) & 0xFFFFFF);
  const std::vector<uint8_t> good = WriteTga(s, false);
  const size_t pixelsEnd = good.size() - 26;
  for (size_t cut : {size_t{0}, size_t{1}, size_t{17}, size_t{18}, size_t{19}, size_t{40}, pixelsEnd - 1}) {
    EXPECT_THROW(ReadTga(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(cut))), FormatError)
        << "cut at " << cut;
  }
  EXPECT_NO_THROW(ReadTga(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(pixelsEnd))))
      << "the footer is optional";

  // A plain 24-bit file cut inside its pixels; a colour map cut short.
  TgaFile plain;
  plain.width = 4;
  plain.height = 4;
  plain.pixels = std::vector<uint8_t>(4 * 4 * 3 - 1, 0);
  EXPECT_THROW(ReadTga(plain.Bytes()), FormatError);
  TgaFile mapped;
  mapped.type = 1;
  mapped.mapType = 1;
  mapped.mapLength = 256;
  mapped.mapBits = 24;
  mapped.map = std::vector<uint8_t>(100, 0);
  mapped.bits = 8;
  mapped.width = 1;
  mapped.height = 1;
  EXPECT_THROW(ReadTga(mapped.Bytes()), FormatError);

  // Damaged headers: each changes one field of a valid 2 x 2 grey file.
  struct Damage {
    const char* what;
    void (*apply)(TgaFile&);
  } damage[] = {
      {"no image", [](TgaFile& f) { f.type = 0; }},
      {"unknown type 4", [](TgaFile& f) { f.type = 4; }},
      {"compressed type 32", [](TgaFile& f) { f.type = 32; }},
      {"type 12", [](TgaFile& f) { f.type = 12; }},
      {"map type 2", [](TgaFile& f) { f.mapType = 2; }},
      {"interleaved", [](TgaFile& f) { f.descriptor = 0x40; }},
      {"zero width", [](TgaFile& f) { f.width = 0; }},
      {"zero height", [](TgaFile& f) { f.height = 0; }},
      {"side beyond the limit", [](TgaFile& f) { f.width = 65535; }},
      {"too many pixels", [](TgaFile& f) { f.width = f.height = 16384; }},
      {"huge run-length image", [](TgaFile& f) { f.type = 11, f.width = f.height = 11000; }},
      {"grey 16", [](TgaFile& f) { f.bits = 16; }},
      {"true colour 8", [](TgaFile& f) { f.type = 2; }},
      {"true colour 12", [](TgaFile& f) { f.type = 2, f.bits = 12; }},
      {"mapped without a map", [](TgaFile& f) { f.type = 1; }},
      {"map of depth 8", [](TgaFile& f) { f.type = 1, f.mapType = 1, f.mapLength = 4, f.mapBits = 8, f.map.assign(4, 0); }},
      {"empty map", [](TgaFile& f) { f.type = 1, f.mapType = 1, f.mapLength = 0, f.mapBits = 24; }},
      {"mapped with 24-bit indexes", [](TgaFile& f) { f.type = 1, f.mapType = 1, f.mapLength = 1, f.mapBits = 24, f.map.assign(3, 0), f.bits = 24; }},
      {"run-length data ends early", [](TgaFile& f) { f.type = 11, f.pixels = {0x81, 1, 0x01, 2}; }},
      {"raw packet past the data", [](TgaFile& f) { f.type = 11, f.pixels = {0x00, 1, 0x7F, 2, 3}; }},
      {"run packet without its pixel", [](TgaFile& f) { f.type = 11, f.pixels = {0x02, 1, 2, 3, 0x80}; }},
  };
  for (const Damage& d : damage) {
    TgaFile f;
    f.type = 3;
    f.bits = 8;
    f.width = 2;
    f.height = 2;
    f.pixels = {1, 2, 3, 4};
    ASSERT_NO_THROW(ReadTga(f.Bytes()));
    d.apply(f);
    EXPECT_THROW(ReadTga(f.Bytes()), FormatError) << d.what;
  }
}

TEST(Tga, ColourMapIndexesAreChecked) {
  // A map of 4 entries starting at index 10: 9 and 14 are outside, 10 and 13 inside.
  for (int index : {0, 9, 10, 13, 14, 255}) {
    for (bool rle : {false, true}) {
      TgaFile f;
      f.type = rle ? 9 : 1;
      f.mapType = 1;
      f.mapFirst = 10;
      f.mapLength = 4;
      f.mapBits = 24;
      f.map = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
      f.bits = 8;
      f.width = 2;
      f.height = 1;
      f.pixels = rle ? std::vector<uint8_t>{0x81, uint8_t(index)} : std::vector<uint8_t>{10, uint8_t(index)};
      if (index >= 10 && index < 14) {
        const auto sp = ReadTga(f.Bytes());
        const TDIBSurface& s = *sp;
        EXPECT_EQ(s.GetPixel(1, 0), uint32_t(index - 9) * 0x010101u);
      } else {
        EXPECT_THROW(ReadTga(f.Bytes()), FormatError) << index;
      }
    }
  }
}

TEST(Tga, ReadByNameNotBySignature) {
  TDIBSurface s(3, 2, 24);
  s.FillRect(s.BoundsRect(), 0x0102AB);
  // A plain true-colour header starts 00 00 02 00 00: not to be taken for a cursor.
  TgaFile plain;
  plain.width = 1;
  plain.height = 1;
  plain.pixels = {1, 2, 3};
  for (const std::vector<uint8_t>& bytes : {WriteTga(s, false), plain.Bytes()}) {
    TKoMemoryStream m(bytes);
    EXPECT_EQ(image::Detect(m), image::Kind::Unknown);
    TDIBSurface out;
    EXPECT_FALSE(image::ReadImage(m, out, nullptr));
  }
  TKoMemoryStream m(WriteTga(s, false));
  TDIBSurface out;
  int32_t key = 5;
  ASSERT_TRUE(image::ReadImageByName("\x89\xE6\x91\x9C.TGA", m, out, &key));
  EXPECT_EQ(key, -1);
  EXPECT_EQ(out.GetPixel(2, 1), 0x0102ABu);
  // Other names go by signature.
  TKoMemoryStream bmp;
  image::WriteBmp(bmp, s);
  bmp.SetPosition(0);
  EXPECT_TRUE(image::ReadImageByName("picture.tga.bmp", bmp, out, nullptr));
  EXPECT_EQ(out.GetPixel(0, 0), 0x0102ABu);
}

TEST(Tga, WriterRefusesWhatTheFormatCannotHold) {
  TDIBSurface empty;
  TKoMemoryStream m;
  EXPECT_THROW(image::WriteTga(m, empty, false), FormatError);
  TDIBSurface wide(70000, 1, 8);
  EXPECT_THROW(image::WriteTga(m, wide, false), FormatError);
}

}  // namespace
}  // namespace qubo
