// Truevision TGA files: reading colour-mapped, true-colour and grey images, uncompressed or
// run-length encoded, and writing run-length encoded true-colour images with the version 2
// footer.
//
// Reading decodes straight into the 24-bit storage: the pixels arrive in file order and a
// cursor places each one by the origin and direction bits of the descriptor, so a run that
// crosses the end of a row continues on the next one and nothing is written past the image.

#include <algorithm>
#include <cstring>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::image {
namespace {

constexpr int64_t kHeaderBytes = 18;
// Extension and developer area offsets (both 0 here), then the signature with its NUL.
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";
constexpr int kMaxPacket = 128;

[[noreturn]] void Bad(const char* what) { throw FormatError(std::string("tga: ") + what); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// A decoded pixel: blue | green << 8 | red << 16 | alpha << 24.
using Px = uint32_t;

constexpr Px MakePx(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return b | (g << 8) | (r << 16) | (a << 24); }

// The pixel pickers read one stored pixel of their depth. Colour-map entries are read with
// the same pickers.

// 8 bits: a grey level.
struct TPickPx {
  static constexpr int kBytes = 1;
  Px operator()(const uint8_t* p) const { return MakePx(p[0], p[0], p[0], 255); }
};

// 15 and 16 bits: 5-5-5 with the attribute bit on top (alpha 255 when set).
struct TPickPx16 {
  static constexpr int kBytes = 2;
  Px operator()(const uint8_t* p) const {
    const uint32_t v = U16(p);
    return MakePx(WidenChannel((v >> 10) & 0x1F, 5), WidenChannel((v >> 5) & 0x1F, 5), WidenChannel(v & 0x1F, 5),
                  (v & 0x8000) ? 255 : 0);
  }
};

// 24 bits: blue, green, red.
struct TPickPx24 {
  static constexpr int kBytes = 3;
  Px operator()(const uint8_t* p) const { return MakePx(p[2], p[1], p[0], 255); }
};

// 32 bits: blue, green, red, alpha.
struct TPickPx32 {
  static constexpr int kBytes = 4;
  Px operator()(const uint8_t* p) const { return MakePx(p[2], p[1], p[0], p[3]); }
};

// 8- or 16-bit indexes into the colour map; an index outside the map is a format error.
template <int N>
struct TPickMapped {
  static constexpr int kBytes = N;
  const Px* map;
  uint32_t first, count;
  Px operator()(const uint8_t* p) const {
    const uint32_t index = N == 1 ? p[0] : U16(p);
    if (index < first || index - first >= count) Bad("colour map index out of range");
    return map[index - first];
  }
};

// Places pixels in file order: rows bottom first unless the descriptor says top first,
// columns left to right unless it says right to left.
class TPxCursor {
 public:
  TPxCursor(TDIBSurface& img, bool topDown, bool rightToLeft, bool alpha)
      : img_(img), w_(img.Width()), h_(img.Height()), topDown_(topDown), rightToLeft_(rightToLeft), alpha_(alpha) {
    Seat();
  }
  bool Full() const { return row_ >= h_; }
  int64_t Left() const { return (int64_t{h_} - row_) * w_ - col_; }
  void Put(Px v) {
    const int32_t x = rightToLeft_ ? w_ - 1 - col_ : col_;
    uint8_t* d = dst_ + 3 * static_cast<size_t>(x);
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
    d[2] = static_cast<uint8_t>(v >> 16);
    if (alpha_) alphaRow_[x] = static_cast<uint8_t>(v >> 24);
    if (++col_ == w_) {
      col_ = 0;
      ++row_;
      Seat();
    }
  }

 private:
  void Seat() {
    if (Full()) return;
    const int32_t y = topDown_ ? row_ : h_ - 1 - row_;
    dst_ = img_.Row(y);
    alphaRow_ = alpha_ ? img_.Alpha()->Row(y) : nullptr;
  }

  TDIBSurface& img_;
  int32_t w_, h_;
  bool topDown_, rightToLeft_, alpha_;
  int32_t row_ = 0, col_ = 0;
  uint8_t* dst_ = nullptr;
  uint8_t* alphaRow_ = nullptr;
};

template <class Pick>
void DecodePixels(const Pick& pick, const uint8_t* p, const uint8_t* end, bool rle, TPxCursor& out) {
  constexpr int B = Pick::kBytes;
  if (!rle) {
    if ((end - p) / B < out.Left()) Bad("truncated pixels");
    for (; !out.Full(); p += B) out.Put(pick(p));
    return;
  }
  while (!out.Full()) {
    if (p >= end) Bad("truncated pixels");
    const int head = *p++;
    int64_t n = std::min<int64_t>((head & 0x7F) + 1, out.Left());
    if (head & 0x80) {
      if (end - p < B) Bad("truncated pixels");
      const Px v = pick(p);
      p += B;
      while (n-- > 0) out.Put(v);
    } else {
      if ((end - p) / B < n) Bad("truncated pixels");
      for (; n > 0; --n, p += B) out.Put(pick(p));
    }
  }
}

// A colour-map entry or a true-colour pixel of the given depth through its picker.
template <class F>
void WithPicker(int bits, F&& f) {
  switch (bits) {
    case 15:
    case 16: f(TPickPx16{}); break;
    case 24: f(TPickPx24{}); break;
    case 32: f(TPickPx32{}); break;
    default: Bad("unsupported pixel depth");
  }
}

// Collects the pixels of one row and writes them as packets: a run of two or more equal
// pixels becomes a repeat packet, the pixels between runs raw packets, each at most 128
// pixels. Packets never cross the end of the row.
class TPxList {
 public:
  void Clear() { px_.clear(); }
  void Add(Px v) { px_.push_back(v); }
  void WritePackets(std::vector<uint8_t>& out, int bytes) const {
    const size_t n = px_.size();
    size_t i = 0;
    while (i < n) {
      size_t run = 1;
      while (i + run < n && run < kMaxPacket && px_[i + run] == px_[i]) ++run;
      if (run >= 2) {
        out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
        Put(out, px_[i], bytes);
        i += run;
        continue;
      }
      // Raw pixels up to the next pair of equal ones.
      size_t len = 1;
      while (i + len < n && len < kMaxPacket && !(i + len + 1 < n && px_[i + len] == px_[i + len + 1])) ++len;
      out.push_back(static_cast<uint8_t>(len - 1));
      for (size_t k = 0; k < len; ++k) Put(out, px_[i + k], bytes);
      i += len;
    }
  }

 private:
  static void Put(std::vector<uint8_t>& out, Px v, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  std::vector<Px> px_;
};

}  // namespace

void ReadTga(TStream& stream, TDIBSurface& out) {
  const std::vector<uint8_t> d = ReadRest(stream);
  const int64_t size = static_cast<int64_t>(d.size());
  if (size < kHeaderBytes) Bad("truncated header");
  const int idLength = d[0], mapType = d[1], type = d[2];
  const uint32_t mapFirst = U16(&d[3]), mapLength = U16(&d[5]);
  const int mapBits = d[7];
  const int32_t width = U16(&d[12]), height = U16(&d[14]);
  const int bits = d[16], descriptor = d[17];
  const int kind = type & 7;
  const bool rle = (type & 8) != 0;
  if ((type & ~0xB) != 0 || kind < 1 || kind > 3) Bad("unsupported image type");
  if (mapType > 1) Bad("unknown colour map type");
  if (descriptor & 0xC0) Bad("interleaved rows are not supported");
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
      int64_t{width} * height > kMaxImagePixels)
    Bad("bad size");
  int64_t at = kHeaderBytes + idLength;
  // The colour map: read for colour-mapped images, skipped otherwise.
  std::vector<Px> map;
  if (mapType == 1) {
    if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) Bad("unsupported colour map depth");
    const int entryBytes = (mapBits + 7) / 8;
    const int64_t mapBytes = int64_t{mapLength} * entryBytes;
    if (at + mapBytes > size) Bad("truncated colour map");
    if (kind == 1) {
      map.resize(mapLength);
      WithPicker(mapBits, [&](auto pick) {
        for (uint32_t i = 0; i < mapLength; ++i) map[i] = pick(&d[at + int64_t{i} * entryBytes]);
      });
    }
    at += mapBytes;
  } else if (kind == 1) {
    Bad("colour-mapped image without a map");
  }
  if (at > size) Bad("truncated header");
  if (kind == 1 && map.empty()) Bad("empty colour map");
  if (kind == 1 && bits != 8 && bits != 16) Bad("unsupported index depth");
  if (kind == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32) Bad("unsupported pixel depth");
  if (kind == 3 && bits != 8) Bad("unsupported grey depth");

  // Bytes the pixels need at least: all of them, or one shortest packet per 128 pixels.
  const int pixelBytes = (bits + 7) / 8;
  const int64_t pixels = int64_t{width} * height;
  const int64_t need = rle ? (pixels + kMaxPacket - 1) / kMaxPacket * (1 + pixelBytes) : pixels * pixelBytes;
  if (size - at < need) Bad("truncated pixels");

  const int colourBits = kind == 1 ? mapBits : bits;
  const bool alpha = (descriptor & 0x0F) != 0 && (colourBits == 16 || colourBits == 32);
  TDIBSurface img(width, height, 24);
  if (alpha) img.CreateAlpha();
  TPxCursor cursor(img, (descriptor & 0x20) != 0, (descriptor & 0x10) != 0, alpha);
  const uint8_t* p = d.data() + at;
  const uint8_t* end = d.data() + size;
  if (kind == 1) {
    if (bits == 8)
      DecodePixels(TPickMapped<1>{map.data(), mapFirst, mapLength}, p, end, rle, cursor);
    else
      DecodePixels(TPickMapped<2>{map.data(), mapFirst, mapLength}, p, end, rle, cursor);
  } else if (kind == 3) {
    DecodePixels(TPickPx{}, p, end, rle, cursor);
  } else {
    WithPicker(bits, [&](auto pick) { DecodePixels(pick, p, end, rle, cursor); });
  }
  out.CopyFrom(img);
}

void WriteTga(TStream& stream, const TDIBSurface& image, bool withAlpha) {
  const int32_t w = image.Width(), h = image.Height();
  if (w <= 0 || h <= 0) Bad("empty image");
  if (w > 0xFFFF || h > 0xFFFF) Bad("image too large for the format");
  const bool alpha = withAlpha && image.Alpha() != nullptr;
  const int bytes = alpha ? 4 : 3;
  std::vector<uint8_t> b(kHeaderBytes, 0);
  b[2] = 10;  // run-length encoded true colour
  b[12] = static_cast<uint8_t>(w);
  b[13] = static_cast<uint8_t>(w >> 8);
  b[14] = static_cast<uint8_t>(h);
  b[15] = static_cast<uint8_t>(h >> 8);
  b[16] = static_cast<uint8_t>(8 * bytes);
  b[17] = alpha ? 8 : 0;  // attribute bits; bottom-left origin
  const TPixelSpace space = TPixelSpace::Of(image);
  TPxList list;
  for (int32_t y = h - 1; y >= 0; --y) {
    const uint8_t* s = image.Row(y);
    const uint8_t* a = alpha ? image.Alpha()->Row(y) : nullptr;
    list.Clear();
    for (int32_t x = 0; x < w; ++x) {
      const TRgb c = PixelToRgb(space, ReadRowPixel(s, x, image.StorageBits()));
      list.Add(MakePx(c.r, c.g, c.b, a ? a[x] : 0));
    }
    list.WritePackets(b, bytes);
  }
  b.insert(b.end(), 8, 0);
  b.insert(b.end(), kFooterSignature, kFooterSignature + sizeof kFooterSignature);
  stream.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
}

}  // namespace qubo::image
