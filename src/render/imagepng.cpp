// PNG files through libpng. libpng reports errors by longjmp: each decoder and encoder keeps
// its setjmp in one function whose objects with destructors all live outside the jump.

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::image {
namespace {

struct TPngIo {
  const uint8_t* data = nullptr;
  size_t size = 0, pos = 0;
  std::vector<uint8_t>* out = nullptr;
  char error[160] = "";
};

void OnError(png_structp png, png_const_charp msg) {
  auto* io = static_cast<TPngIo*>(png_get_error_ptr(png));
  std::snprintf(io->error, sizeof io->error, "%s", msg ? msg : "error");
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep buf, png_size_t n) {
  auto* io = static_cast<TPngIo*>(png_get_io_ptr(png));
  if (n > io->size - io->pos) png_error(png, "truncated file");
  std::memcpy(buf, io->data + io->pos, n);
  io->pos += n;
}

void OnWrite(png_structp png, png_bytep buf, png_size_t n) {
  auto* io = static_cast<TPngIo*>(png_get_io_ptr(png));
  io->out->insert(io->out->end(), buf, buf + n);
}
void OnFlush(png_structp) {}

// The decoded picture: BGR or BGRA rows.
struct TPngPicture {
  uint32_t width = 0, height = 0;
  int channels = 3;
  int32_t transparent = -1;
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
};

// false with io.error set on failure.
bool Decode(png_structp png, png_infop info, TPngIo& io, TPngPicture& pic) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &io, OnRead);
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_read_info(png, info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
  if (w == 0 || h == 0 || int64_t{w} * h > kMaxImagePixels) png_error(png, "bad size");
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (trns && type != PNG_COLOR_TYPE_PALETTE) {
    // A single transparent colour: report it, keep the pixels opaque.
    png_color_16p c = nullptr;
    png_get_tRNS(png, info, nullptr, nullptr, &c);
    if (c) {
      auto scale = [&](uint32_t v) -> uint32_t {
        if (depth == 16) return v >> 8;
        if (depth < 8) return (v & ((1u << depth) - 1)) * 255u / ((1u << depth) - 1);
        return v & 0xFF;
      };
      if (type == PNG_COLOR_TYPE_GRAY) {
        const uint32_t g = scale(c->gray);
        pic.transparent = static_cast<int32_t>(g | (g << 8) | (g << 16));
      } else {
        pic.transparent = static_cast<int32_t>(scale(c->red) | (scale(c->green) << 8) | (scale(c->blue) << 16));
      }
    }
    png_free_data(png, info, PNG_FREE_TRNS, 0);
    png_set_invalid(png, info, PNG_INFO_tRNS);
  }
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (type == PNG_COLOR_TYPE_PALETTE && trns) png_set_tRNS_to_alpha(png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
  }
  if (depth == 16) png_set_strip_16(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  pic.channels = png_get_channels(png, info);
  if (pic.channels != 3 && pic.channels != 4) png_error(png, "unexpected channel count");
  if (png_get_rowbytes(png, info) != size_t{w} * pic.channels) png_error(png, "unexpected row size");
  pic.width = w;
  pic.height = h;
  pic.pixels.resize(size_t{w} * h * pic.channels);
  pic.rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) pic.rows[y] = pic.pixels.data() + size_t{y} * w * pic.channels;
  png_read_image(png, pic.rows.data());
  png_read_end(png, nullptr);
  return true;
}

bool Encode(png_structp png, png_infop info, TPngIo& io, uint32_t w, uint32_t h, bool alpha, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &io, OnWrite, OnFlush);
  png_set_IHDR(png, info, w, h, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void ReadPng(TStream& stream, TDIBSurface& out, int32_t* transparentColor) {
  if (transparentColor) *transparentColor = -1;
  const std::vector<uint8_t> data = ReadRest(stream);
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) throw FormatError("png: bad signature");
  TPngIo io;
  io.data = data.data();
  io.size = data.size();
  TPngPicture pic;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, OnError, OnWarning);
  if (!png) throw FormatError("png: out of memory");
  png_infop info = png_create_info_struct(png);
  const bool ok = info && Decode(png, info, io, pic);
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!ok) throw FormatError(std::string("png: ") + (io.error[0] ? io.error : "decoder failure"));

  TDIBSurface img;
  img.SetSize(static_cast<int32_t>(pic.width), static_cast<int32_t>(pic.height), 24);
  if (pic.channels == 4) img.CreateAlpha();
  for (uint32_t y = 0; y < pic.height; ++y) {
    const uint8_t* s = pic.rows[y];
    uint8_t* d = img.Row(static_cast<int32_t>(y));
    if (pic.channels == 3) {
      std::memcpy(d, s, size_t{pic.width} * 3);
      continue;
    }
    uint8_t* a = img.Alpha()->Row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < pic.width; ++x) {
      std::memcpy(d + 3 * size_t{x}, s + 4 * size_t{x}, 3);
      a[x] = s[4 * size_t{x} + 3];
    }
  }
  out.CopyFrom(img);
  if (transparentColor) *transparentColor = pic.transparent;
}

void WritePng(TStream& stream, const TDIBSurface& image, bool withAlpha) {
  const uint32_t w = static_cast<uint32_t>(image.Width()), h = static_cast<uint32_t>(image.Height());
  if (w == 0 || h == 0) throw FormatError("png: empty image");
  const bool alpha = withAlpha && image.Alpha() != nullptr;
  const int ch = alpha ? 4 : 3;
  std::vector<uint8_t> pixels(size_t{w} * h * ch);
  std::vector<png_bytep> rows(h);
  const TPixelSpace space = TPixelSpace::Of(image);
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* d = pixels.data() + size_t{y} * w * ch;
    rows[y] = d;
    const uint8_t* s = image.Row(static_cast<int32_t>(y));
    const uint8_t* a = alpha ? image.Alpha()->Row(static_cast<int32_t>(y)) : nullptr;
    for (uint32_t x = 0; x < w; ++x) {
      const TRgb c = PixelToRgb(space, ReadRowPixel(s, static_cast<int32_t>(x), image.StorageBits()));
      d[x * ch] = c.r;
      d[x * ch + 1] = c.g;
      d[x * ch + 2] = c.b;
      if (alpha) d[x * ch + 3] = a[x];
    }
  }
  std::vector<uint8_t> bytes;
  TPngIo io;
  io.out = &bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, OnError, OnWarning);
  if (!png) throw FormatError("png: out of memory");
  png_infop info = png_create_info_struct(png);
  const bool ok = info && Encode(png, info, io, w, h, alpha, rows);
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) throw FormatError(std::string("png: ") + io.error);
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace qubo::image
