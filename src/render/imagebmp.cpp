// Windows bitmap files: reading (uncompressed and bit-field bitmaps of 1 to 32 bits) and
// writing, with signature detection for every image kind.

#include <cstring>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/sjis.h"
#include "support/stream.h"

namespace qubo::image {
namespace {

constexpr int64_t kMaxFileBytes = int64_t{1} << 30;

uint32_t U32(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

[[noreturn]] void Bad(const char* what) { throw FormatError(std::string("bitmap: ") + what); }

int LowBit(uint32_t m) {
  int n = 0;
  while (m && !(m & 1)) m >>= 1, ++n;
  return n;
}
int Bits(uint32_t m) {
  m >>= LowBit(m);
  int n = 0;
  while (m & 1) m >>= 1, ++n;
  return n;
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> ReadRest(TStream& stream) {
  const int64_t left = stream.Remaining();
  if (left > kMaxFileBytes) throw FormatError("image file too large");
  std::vector<uint8_t> data(static_cast<size_t>(left));
  const int64_t got = data.empty() ? 0 : stream.Read(data.data(), left);
  data.resize(static_cast<size_t>(got > 0 ? got : 0));
  return data;
}

Kind Detect(TStream& stream) {
  uint8_t sig[22] = {};
  stream.SetPosition(0);
  const int64_t n = stream.Read(sig, sizeof sig);
  stream.SetPosition(0);
  if (n >= 2 && sig[0] == 'B' && sig[1] == 'M') return Kind::Bmp;
  if (n >= 4 && std::memcmp(sig + 1, "PNG", 3) == 0) return Kind::Png;
  if (n >= 3 && sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF) return Kind::Jpeg;
  if (n >= 4 && std::memcmp(sig, "Brix", 4) == 0) return Kind::Layered;
  return DetectIconDirectory(sig, n, stream.GetSize());
}

bool ReadImage(TStream& stream, TDIBSurface& out, int32_t* transparentColor) {
  if (transparentColor) *transparentColor = -1;
  switch (Detect(stream)) {
    case Kind::Bmp: ReadBmp(stream, out); return true;
    case Kind::Png: ReadPng(stream, out, transparentColor); return true;
    case Kind::Jpeg: ReadJpeg(stream, out); return true;
    case Kind::Icon:
    case Kind::Cursor: ReadIcon(stream, out, nullptr); return true;
    default: return false;
  }
}

bool ReadImageByName(const std::string& name, TStream& stream, TDIBSurface& out, int32_t* transparentColor) {
  // The extension's dot and letters are never trail bytes of a double-byte character, so the
  // last four bytes can be compared as they are.
  const auto endsWith = [&](const char* ext) {
    return name.size() >= 4 && sjis::EqualsNoCase(std::string_view(name).substr(name.size() - 4), ext);
  };
  if (endsWith(".tga")) {
    if (transparentColor) *transparentColor = -1;
    ReadTga(stream, out);
    return true;
  }
  if (endsWith(".ico") || endsWith(".cur")) {
    if (transparentColor) *transparentColor = -1;
    ReadIcon(stream, out, nullptr);
    return true;
  }
  return ReadImage(stream, out, transparentColor);
}

void ReadBmp(TStream& stream, TDIBSurface& out) {
  const std::vector<uint8_t> d = ReadRest(stream);
  const int64_t size = static_cast<int64_t>(d.size());
  if (size < 14 + 12 || d[0] != 'B' || d[1] != 'M') Bad("truncated header");
  const int64_t offBits = U32(&d[10]);
  const uint32_t hdr = U32(&d[14]);
  if (hdr < 12 || 14 + int64_t{hdr} > size) Bad("truncated header");
  int64_t width, height;
  int bits;
  uint32_t compression = 0, used = 0;
  int entrySize = 4;
  if (hdr == 12) {
    width = U16(&d[18]);
    height = static_cast<int16_t>(U16(&d[20]));
    bits = U16(&d[24]);
    entrySize = 3;
  } else {
    if (hdr < 40) Bad("unknown header");
    width = static_cast<int32_t>(U32(&d[18]));
    height = static_cast<int32_t>(U32(&d[22]));
    bits = U16(&d[28]);
    compression = U32(&d[30]);
    used = U32(&d[46]);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels)
    Bad("bad size");
  uint32_t masks[3] = {0, 0, 0};
  if (compression == 3) {
    if (bits != 16 && bits != 32) Bad("bit fields need 16 or 32 bits");
    const int64_t at = 14 + (hdr >= 52 ? 40 : int64_t{hdr});
    if (at + 12 > size) Bad("truncated bit fields");
    for (int i = 0; i < 3; ++i) masks[i] = U32(&d[at + 4 * i]);
  } else if (compression != 0) {
    Bad("compressed bitmaps are not supported");
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) Bad("unsupported bit count");
  const bool is555 = masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
  const bool is565 = masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
  const bool is888 = masks[0] == 0xFF0000 && masks[1] == 0x00FF00 && masks[2] == 0x0000FF;
  // Bit fields of another layout: each channel is widened into a 32-bit pixel.
  const bool widen = compression == 3 && !(bits == 16 ? (is555 || is565) : is888);
  int storeBits = bits;
  if (bits == 16) storeBits = widen ? 32 : (compression == 3 && is565 ? 16 : 15);
  // Palette.
  TDIBSurface img;
  img.SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height), storeBits);
  if (bits <= 8) {
    const int64_t max = int64_t{1} << bits;
    const int64_t count = used == 0 ? max : std::min<int64_t>(used, max);
    const int64_t at = 14 + int64_t{hdr};
    if (at + count * entrySize > size) Bad("truncated palette");
    for (int64_t i = 0; i < count; ++i) {
      const uint8_t* e = &d[at + i * entrySize];
      img.Palette()[i] = TPaletteEntry{e[0], e[1], e[2], 0};
    }
    for (int64_t i = count; i < 256; ++i) img.Palette()[i] = TPaletteEntry{};
  }
  const int64_t rowBytes = (width * bits + 31) / 32 * 4;
  if (offBits < 14 + int64_t{hdr} || offBits > size || rowBytes * height > size - offBits) Bad("truncated pixels");
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* src = &d[offBits + (topDown ? y : height - 1 - y) * rowBytes];
    uint8_t* dst = img.Row(static_cast<int32_t>(y));
    if (!widen) {
      std::memcpy(dst, src, static_cast<size_t>(rowBytes));
      continue;
    }
    // Arbitrary bit fields: widen each channel to 8 bits in a 32-bit pixel.
    for (int64_t x = 0; x < width; ++x) {
      const uint32_t v = bits == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
      uint32_t out32 = 0;
      for (int c = 0; c < 3; ++c) {
        const int lo = LowBit(masks[c]), n = Bits(masks[c]);
        uint32_t ch = n ? (v & masks[c]) >> lo : 0;
        if (n > 8) ch >>= n - 8;
        out32 |= uint32_t{WidenChannel(ch, std::min(n, 8))} << (16 - 8 * c);
      }
      WriteRowPixel(dst, static_cast<int32_t>(x), 32, out32);
    }
  }
  out.CopyFrom(img);
}

void WriteBmp(TStream& stream, const TDIBSurface& image) {
  const int bits = image.StorageBits();
  const int64_t w = image.Width(), h = image.Height();
  const int64_t rowBytes = (w * bits + 31) / 32 * 4;
  const bool fields = image.BitCount() == 16;
  const int64_t paletteBytes = bits <= 8 ? (int64_t{4} << bits) : 0;
  const int64_t infoBytes = 40 + (fields ? 12 : 0);
  const int64_t offBits = 14 + infoBytes + paletteBytes;
  std::vector<uint8_t> b;
  b.reserve(static_cast<size_t>(offBits + rowBytes * h));
  b.push_back('B');
  b.push_back('M');
  Put32(b, static_cast<uint32_t>(offBits + rowBytes * h));
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(offBits));
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bits));
  Put32(b, fields ? 3 : 0);
  Put32(b, static_cast<uint32_t>(rowBytes * h));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  if (fields) {
    Put32(b, 0xF800);
    Put32(b, 0x07E0);
    Put32(b, 0x001F);
  }
  for (int64_t i = 0; i < (bits <= 8 ? (int64_t{1} << bits) : 0); ++i) {
    const TPaletteEntry& e = image.Palette()[i];
    b.push_back(e.blue);
    b.push_back(e.green);
    b.push_back(e.red);
    b.push_back(0);
  }
  for (int64_t y = h - 1; y >= 0; --y) {
    const uint8_t* row = image.Row(static_cast<int32_t>(y));
    b.insert(b.end(), row, row + rowBytes);
  }
  stream.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
}

}  // namespace qubo::image
