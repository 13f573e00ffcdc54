// Frame hashes and PNG writing (libpng reports errors by longjmp: the setjmp function owns no
// object with a destructor).

#include "platform/frames.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace qubo::platform {

bool IsValidFrame(const FrameView& frame) {
  return frame.pixels && frame.width > 0 && frame.height > 0 &&
         frame.pitchBytes % 4 == 0 &&
         static_cast<int64_t>(frame.pitchBytes) >= 4 * static_cast<int64_t>(frame.width);
}

uint64_t HashFrame(const FrameView& frame) {
  uint64_t h = 0xcbf29ce484222325ull;
  auto add = [&h](uint8_t b) {
    h ^= b;
    h *= 0x100000001b3ull;
  };
  for (int32_t v : {frame.width, frame.height}) {
    for (int i = 0; i < 4; ++i) add(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  }
  if (!IsValidFrame(frame)) return h;
  for (int32_t y = 0; y < frame.height; ++y) {
    for (int32_t x = 0; x < frame.width; ++x) {
      const uint32_t p = frame.At(x, y);
      add(static_cast<uint8_t>(p));
      add(static_cast<uint8_t>(p >> 8));
      add(static_cast<uint8_t>(p >> 16));
    }
  }
  return h;
}

namespace {

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

bool Encode(png_structp png, png_infop info, FILE* f, const FrameView& frame, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WriteFramePng(const FrameView& frame, const std::string& path) {
  if (!IsValidFrame(frame)) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 3);
  std::vector<png_bytep> rows(static_cast<size_t>(frame.height));
  for (int32_t y = 0; y < frame.height; ++y) {
    uint8_t* row = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(frame.width) * 3;
    rows[static_cast<size_t>(y)] = row;
    for (int32_t x = 0; x < frame.width; ++x) {
      const uint32_t p = frame.At(x, y);
      row[3 * x] = static_cast<uint8_t>(p >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(p >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(p);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info && Encode(png, info, f, frame, rows);
  png_destroy_write_struct(&png, info ? &info : nullptr);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace qubo::platform
