// JPEG files through libjpeg. The library reports errors through its error manager, which
// here jumps back to the setjmp of the one function that drives it.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::image {
namespace {

struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}
void OnJpegMessage(j_common_ptr, int) {}

struct TJpegPicture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;  // BGR rows
};

bool Decode(jpeg_decompress_struct& cinfo, TJpegError& err, const std::vector<uint8_t>& data, TJpegPicture& pic) {
  if (setjmp(err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxImageSide ||
      cinfo.image_height > kMaxImageSide || int64_t{cinfo.image_width} * cinfo.image_height > kMaxImagePixels) {
    std::snprintf(err.message, sizeof err.message, "bad size");
    return false;
  }
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3) {
    std::snprintf(err.message, sizeof err.message, "unexpected components");
    return false;
  }
  pic.width = cinfo.output_width;
  pic.height = cinfo.output_height;
  pic.pixels.resize(size_t{pic.width} * pic.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pic.pixels.data() + size_t{cinfo.output_scanline} * pic.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

bool Encode(jpeg_compress_struct& cinfo, TJpegError& err, const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h,
            int quality, unsigned char** buffer, unsigned long* size) {
  if (setjmp(err.jump)) return false;
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, buffer, size);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(rgb.data()) + size_t{cinfo.next_scanline} * w * 3;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

void ReadJpeg(TStream& stream, TDIBSurface& out) {
  const std::vector<uint8_t> data = ReadRest(stream);
  if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) throw FormatError("jpeg: bad signature");
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  TJpegError err;
  std::memset(&err, 0, sizeof err);
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  err.mgr.emit_message = OnJpegMessage;
  TJpegPicture pic;
  const bool ok = Decode(cinfo, err, data, pic);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) throw FormatError(std::string("jpeg: ") + err.message);
  TDIBSurface img;
  img.SetSize(static_cast<int32_t>(pic.width), static_cast<int32_t>(pic.height), 24);
  for (uint32_t y = 0; y < pic.height; ++y)
    std::memcpy(img.Row(static_cast<int32_t>(y)), pic.pixels.data() + size_t{y} * pic.width * 3, size_t{pic.width} * 3);
  out.CopyFrom(img);
}

void WriteJpeg(TStream& stream, const TDIBSurface& image, int quality) {
  const uint32_t w = static_cast<uint32_t>(image.Width()), h = static_cast<uint32_t>(image.Height());
  if (w == 0 || h == 0) throw FormatError("jpeg: empty image");
  std::vector<uint8_t> bgr(size_t{w} * h * 3);
  const TPixelSpace from = TPixelSpace::Of(image);
  const TPixelSpace to{TPixelFormat::Of(24), nullptr};
  for (uint32_t y = 0; y < h; ++y)
    ConvertRow(image.Row(static_cast<int32_t>(y)), from, bgr.data() + size_t{y} * w * 3, to, static_cast<int32_t>(w));
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  TJpegError err;
  std::memset(&err, 0, sizeof err);
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  err.mgr.emit_message = OnJpegMessage;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = Encode(cinfo, err, bgr, w, h, std::clamp(quality, 1, 100), &buffer, &size);
  jpeg_destroy_compress(&cinfo);
  if (!ok) {
    std::free(buffer);
    throw FormatError(std::string("jpeg: ") + err.message);
  }
  try {
    stream.WriteBuffer(buffer, static_cast<int64_t>(size));
  } catch (...) {
    std::free(buffer);
    throw;
  }
  std::free(buffer);
}

}  // namespace qubo::image

namespace qubo {

void TDIBSurface::AssignJPEG(TStream& jpeg) { image::ReadJpeg(jpeg, *this); }

}  // namespace qubo
