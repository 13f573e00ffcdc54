#pragma once
// Image files: Windows bitmaps (our own reader and writer), PNG through libpng and JPEG
// through libjpeg. Files are untrusted: every size is bounded against the bytes present and
// against kMaxImageSide, and every decoder failure is a FormatError.

#include <cstdint>
#include <string>
#include <vector>

namespace qubo {

class TDIBSurface;
class TStream;

namespace image {

inline constexpr int32_t kMaxImageSide = 16384;
// Pixels of one image at most (width times height).
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 27;

enum class Kind { Unknown, Bmp, Png, Jpeg, Layered };

// Tests the signature at the stream's start ("BM"; "PNG" at offset 1; FF D8 FF; "Brix") and
// leaves the stream at offset 0.
Kind Detect(TStream& stream);

// Each reader decodes the image that starts at the stream's position.
// A bitmap keeps its depth: 1, 4 and 8 bits with their palette, 16 bits as 5-5-5 (or 5-6-5
// when its bit fields say so), 24 and 32 bits as they are stored.
void ReadBmp(TStream& stream, TDIBSurface& out);
// 24-bit pixels; an alpha channel (or a palette with transparency) becomes the alpha plane, a
// single transparent colour of a grey or colour image is reported as a colour reference
// (0x00BBGGRR, -1 when there is none).
void ReadPng(TStream& stream, TDIBSurface& out, int32_t* transparentColor);
// 24-bit pixels.
void ReadJpeg(TStream& stream, TDIBSurface& out);
// By signature; Unknown and Layered answer false and leave out untouched.
bool ReadImage(TStream& stream, TDIBSurface& out, int32_t* transparentColor);

// A bitmap at the storage's depth (rows bottom row first).
void WriteBmp(TStream& stream, const TDIBSurface& image);
// RGB, or RGBA with the alpha plane when withAlpha is set and there is one.
void WritePng(TStream& stream, const TDIBSurface& image, bool withAlpha);
void WriteJpeg(TStream& stream, const TDIBSurface& image, int quality);

// The bytes from the stream's position to its end (FormatError beyond a sane file size).
std::vector<uint8_t> ReadRest(TStream& stream);

}  // namespace image
}  // namespace qubo
