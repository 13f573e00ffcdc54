// Icon and cursor files: a directory of images, each a bitmap without its file header (the
// colour image over a 1-bit transparency mask, the height counting both) or a PNG file.
// The largest image is read; its mask or alpha becomes the alpha plane.

#include <algorithm>
#include <cstring>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::image {
namespace {

constexpr int64_t kDirectoryBytes = 6;
constexpr int64_t kEntryBytes = 16;
constexpr int64_t kInfoBytes = 40;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

[[noreturn]] void Bad(const char* what) { throw FormatError(std::string("icon: ") + what); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24); }
uint32_t B32(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }

// One image of the directory: where its bytes are and what its own header says.
struct TIconImage {
  const uint8_t* data = nullptr;
  int64_t size = 0;
  bool png = false;
  int64_t width = 0, height = 0;
  int bits = 0;
  int32_t hotX = 0, hotY = 0;
};

// The size and depth from the image's own header (the directory's are often 0 or wrong).
void Inspect(TIconImage& e) {
  if (e.size >= 8 && std::memcmp(e.data, kPngSignature, 8) == 0) {
    if (e.size < 26) Bad("truncated image header");
    e.png = true;
    e.width = B32(e.data + 16);
    e.height = B32(e.data + 20);
    static constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    const int type = e.data[25];
    e.bits = e.data[24] * (type < 7 ? kChannels[type] : 0);
    return;
  }
  if (e.size < kInfoBytes) Bad("truncated image header");
  if (U32(e.data) < kInfoBytes) Bad("unknown image header");
  e.width = static_cast<int32_t>(U32(e.data + 4));
  e.height = static_cast<int32_t>(U32(e.data + 8)) / 2;
  e.bits = U16(e.data + 14);
}

// For choosing only: sides beyond the limit count as just beyond it (the reader refuses them).
int64_t Area(const TIconImage& e) {
  return std::clamp<int64_t>(e.width, 0, kMaxImageSide + 1) * std::clamp<int64_t>(e.height, 0, kMaxImageSide + 1);
}

uint32_t MaskBit(const uint8_t* row, int64_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

// A bitmap image: rows bottom first, colour image then mask.
void ReadIconBitmap(const TIconImage& e, TDIBSurface& out) {
  const uint8_t* d = e.data;
  const uint32_t header = U32(d);
  const int64_t width = e.width, height = e.height;
  const int bits = e.bits;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
      width * height > kMaxImagePixels)
    Bad("bad size");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) Bad("unsupported bit count");
  if (U32(d + 16) != 0) Bad("compressed images are not supported");
  if (header > e.size) Bad("truncated image header");
  int64_t at = header;
  TPaletteEntry palette[256] = {};
  if (bits <= 8) {
    const int64_t max = int64_t{1} << bits;
    const uint32_t used = U32(d + 32);
    const int64_t count = used == 0 ? max : std::min<int64_t>(used, max);
    if (at + count * 4 > e.size) Bad("truncated palette");
    for (int64_t i = 0; i < count; ++i) palette[i] = TPaletteEntry{d[at + 4 * i], d[at + 4 * i + 1], d[at + 4 * i + 2], 0};
    at += count * 4;
  }
  const int64_t rowBytes = (width * bits + 31) / 32 * 4;
  const int64_t maskRowBytes = (width + 31) / 32 * 4;
  if (rowBytes * height > e.size - at) Bad("truncated pixels");
  const uint8_t* colour = d + at;
  at += rowBytes * height;
  // The mask may be left out of a 32-bit image, whose alpha comes from its pixels.
  const bool hasMask = maskRowBytes * height <= e.size - at;
  if (!hasMask && bits != 32) Bad("truncated mask");
  const uint8_t* mask = hasMask ? d + at : nullptr;

  // A 32-bit image whose fourth bytes are all 0 predates alpha: its mask applies instead.
  bool pixelAlpha = false;
  if (bits == 32) {
    for (int64_t i = 0; i < width * height && !pixelAlpha; ++i) pixelAlpha = colour[4 * i + 3] != 0;
  }

  TDIBSurface img(static_cast<int32_t>(width), static_cast<int32_t>(height), 24);
  img.CreateAlpha();
  for (int64_t y = 0; y < height; ++y) {
    const int64_t stored = height - 1 - y;
    const uint8_t* src = colour + stored * rowBytes;
    const uint8_t* m = mask ? mask + stored * maskRowBytes : nullptr;
    uint8_t* dst = img.Row(static_cast<int32_t>(y));
    uint8_t* a = img.Alpha()->Row(static_cast<int32_t>(y));
    for (int64_t x = 0; x < width; ++x) {
      uint8_t* px = dst + 3 * x;
      if (bits <= 8) {
        const TPaletteEntry& c = palette[ReadRowPixel(src, static_cast<int32_t>(x), bits)];
        px[0] = c.blue;
        px[1] = c.green;
        px[2] = c.red;
      } else {
        std::memcpy(px, src + x * (bits / 8), 3);
      }
      if (pixelAlpha)
        a[x] = src[4 * x + 3];
      else
        a[x] = m && MaskBit(m, x) ? 0 : 255;
    }
  }
  out.CopyFrom(img);
}

// A PNG image through the PNG reader; an opaque one gets a full alpha plane, a transparent
// colour becomes alpha 0.
void ReadIconPng(const TIconImage& e, TDIBSurface& out) {
  TKoMemoryStream m(std::vector<uint8_t>(e.data, e.data + e.size));
  int32_t key = -1;
  ReadPng(m, out, &key);
  if (out.Alpha()) return;
  out.CreateAlpha();
  out.FillAlpha();
  if (key < 0) return;
  const TRgb k = RgbFromColorRef(static_cast<uint32_t>(key));
  const uint32_t pixel = k.b | (uint32_t{k.g} << 8) | (uint32_t{k.r} << 16);
  for (int32_t y = 0; y < out.Height(); ++y) {
    uint8_t* a = out.Alpha()->Row(y);
    for (int32_t x = 0; x < out.Width(); ++x)
      if (ReadRowPixel(out.Row(y), x, 24) == pixel) a[x] = 0;
  }
}

}  // namespace

Kind DetectIconDirectory(const uint8_t* b, int64_t n, int64_t fileSize) {
  if (n < kDirectoryBytes + kEntryBytes || b[0] != 0 || b[1] != 0 || b[3] != 0) return Kind::Unknown;
  if (b[2] != 1 && b[2] != 2) return Kind::Unknown;
  const int64_t count = U16(b + 4);
  if (count == 0 || b[kDirectoryBytes + 3] != 0) return Kind::Unknown;
  const int64_t offset = U32(b + kDirectoryBytes + 12);
  if (offset < kDirectoryBytes + count * kEntryBytes || offset >= fileSize) return Kind::Unknown;
  return b[2] == 1 ? Kind::Icon : Kind::Cursor;
}

void ReadIcon(TStream& stream, TDIBSurface& out, TIconHotSpot* hotSpot) {
  const std::vector<uint8_t> d = ReadRest(stream);
  const int64_t size = static_cast<int64_t>(d.size());
  if (size < kDirectoryBytes || U16(&d[0]) != 0) Bad("not an icon directory");
  const int type = U16(&d[2]);
  if (type != 1 && type != 2) Bad("not an icon directory");
  const int64_t count = U16(&d[4]);
  if (count == 0) Bad("empty directory");
  if (kDirectoryBytes + count * kEntryBytes > size) Bad("truncated directory");
  TIconImage best;
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t* entry = &d[kDirectoryBytes + i * kEntryBytes];
    TIconImage e;
    e.size = U32(entry + 8);
    const int64_t offset = U32(entry + 12);
    if (offset > size || e.size > size - offset) Bad("image outside the file");
    e.data = d.data() + offset;
    if (type == 2) {
      e.hotX = U16(entry + 4);
      e.hotY = U16(entry + 6);
    }
    Inspect(e);
    const int64_t area = Area(e), bestArea = Area(best);
    if (!best.data || area > bestArea || (area == bestArea && e.bits > best.bits)) best = e;
  }
  if (best.png)
    ReadIconPng(best, out);
  else
    ReadIconBitmap(best, out);
  if (hotSpot) {
    if (type == 2) {
      hotSpot->x = std::min(best.hotX, out.Width() - 1);
      hotSpot->y = std::min(best.hotY, out.Height() - 1);
    } else {
      hotSpot->x = out.Width() / 2;
      hotSpot->y = out.Height() / 2;
    }
  }
}

}  // namespace qubo::image
