#pragma once
// Image files: Windows bitmaps (our own reader and writer), PNG through libpng, JPEG
// through libjpeg, Truevision TGA (our own reader and writer), icons and cursors (our own
// reader). Files are untrusted: every size is bounded against the bytes present and
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

enum class Kind { Unknown, Bmp, Png, Jpeg, Layered, Icon, Cursor };

// Tests the signature at the stream's start ("BM"; "PNG" at offset 1; FF D8 FF; "Brix"; an
// icon or cursor directory, see DetectIconDirectory) and leaves the stream at offset 0. TGA
// files have no signature and are never detected.
Kind Detect(TStream& stream);
// Icon or Cursor when the first bytes (n of them, of a file of fileSize bytes) are a
// directory header 00 00 01 00 or 00 00 02 00 with at least one entry whose reserved byte
// is 0 and whose data starts after the directory and inside the file; else Unknown. The
// entry test keeps the common true-colour TGA header (00 00 02 00 00 ...) out.
Kind DetectIconDirectory(const uint8_t* bytes, int64_t n, int64_t fileSize);

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
// Truevision TGA: colour-mapped (8- or 16-bit indexes), true-colour (15, 16, 24, 32 bits)
// and grey (8 bits) images, uncompressed or run-length encoded, with either vertical origin
// and either horizontal direction. 24-bit pixels; when the descriptor gives attribute bits,
// the alpha of 32-bit pixels (or map entries) and the attribute bit of 16-bit ones become the
// alpha plane.
void ReadTga(TStream& stream, TDIBSurface& out);

// The hot spot of a cursor (for an icon, the centre of the chosen image).
struct TIconHotSpot {
  int32_t x = 0, y = 0;
};
// Icon (.ico) and cursor (.cur) files: the largest image of the directory (the deepest of
// equals), stored as a bitmap (1, 4, 8, 24 or 32 bits, colour image over a transparency
// mask) or as PNG. 24-bit pixels and always an alpha plane. hotSpot may be null.
void ReadIcon(TStream& stream, TDIBSurface& out, TIconHotSpot* hotSpot);

// By signature; Unknown and Layered answer false and leave out untouched.
bool ReadImage(TStream& stream, TDIBSurface& out, int32_t* transparentColor);
// By the name's extension (".tga", ".ico", ".cur", compared case-insensitively), else by
// signature as ReadImage.
bool ReadImageByName(const std::string& name, TStream& stream, TDIBSurface& out, int32_t* transparentColor);

// A bitmap at the storage's depth (rows bottom row first).
void WriteBmp(TStream& stream, const TDIBSurface& image);
// RGB, or RGBA with the alpha plane when withAlpha is set and there is one.
void WritePng(TStream& stream, const TDIBSurface& image, bool withAlpha);
void WriteJpeg(TStream& stream, const TDIBSurface& image, int quality);
// A run-length encoded true-colour TGA, bottom row first, with the version 2 footer: 24 bits,
// or 32 bits with the alpha plane when withAlpha is set and there is one.
void WriteTga(TStream& stream, const TDIBSurface& image, bool withAlpha);

// The bytes from the stream's position to its end (FormatError beyond a sane file size).
std::vector<uint8_t> ReadRest(TStream& stream);

}  // namespace image
}  // namespace qubo
