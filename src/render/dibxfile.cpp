// Loading and saving of drawing surfaces.

#include <filesystem>

#include "render/brximage.h"
#include "render/dibx.h"
#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/sjis.h"
#include "support/stream.h"

namespace qubo {
namespace {

bool HasExtension(const std::string& path, const char* ext) {
  const std::string e = std::filesystem::path(path).extension().string();
  return sjis::EqualsNoCase(e, ext);
}

// Resizes the surface to the picture at its own bit count and converts the pixels in.
bool TakePicture(TCustomDIBX& s, const TDIBSurface& pic) {
  if (pic.IsEmpty()) return false;
  s.SetSize(pic.Width(), pic.Height(), s.BitCount());
  if (s.IsEmpty()) return false;
  if (auto* d = dynamic_cast<TDIBX*>(&s)) {
    ConvertPixels(pic, d->Storage());
    return true;
  }
  uint8_t* base = s.Lock(0, 0);
  if (!base) return false;
  TPaletteEntry pal[256];
  s.GetPalette(pal);
  const TPixelSpace from = TPixelSpace::Of(pic), to{s.Format(), pal};
  for (int32_t y = 0; y < s.Height(); ++y) ConvertRow(pic.Row(y), from, base + int64_t{y} * s.Pitch(), to, s.Width());
  s.Unlock();
  return true;
}

}  // namespace

bool TCustomDIBX::LoadFromFile(const std::string& path) {
  std::error_code ec;
  if (!HasExtension(path, ".bmp") || !std::filesystem::is_regular_file(path, ec)) return false;
  TFileStream f(path, TFileStream::Mode::OpenRead);
  TDIBSurface pic;
  image::ReadBmp(f, pic);
  return TakePicture(*this, pic);
}

bool TCustomDIBX::LoadFromStream(TStream& stream, int32_t idCode) {
  TDIBSurface pic;
  switch (image::Detect(stream)) {
    case image::Kind::Layered: {
      // The identification code seeds randomized image data; only the first frame is shown.
      TBrixFrameList frames(idCode);
      frames.LoadFromStream(stream, true, false, false);
      if (frames.Count() == 0 || frames.Frame(0).Image.IsEmpty()) return false;
      FrameToSurface(frames.Frame(0), *this);
      return !IsEmpty();
    }
    case image::Kind::Bmp:
      image::ReadBmp(stream, pic);
      break;
    case image::Kind::Png:
      image::ReadPng(stream, pic, nullptr);
      break;
    default:
      // JPEG and everything else load nothing here.
      return false;
  }
  return TakePicture(*this, pic);
}

bool TCustomDIBX::SaveToFile(const std::string& path) {
  if (!HasExtension(path, ".bmp") || IsEmpty()) return false;
  TDIBSurface pic;
  pic.SetSize(width_, height_, 24);
  uint8_t* base = Lock(0, 0);
  if (!base) return false;
  TPaletteEntry pal[256];
  GetPalette(pal);
  const TPixelSpace from{Format(), pal}, to = TPixelSpace::Of(pic);
  for (int32_t y = 0; y < height_; ++y) ConvertRow(base + int64_t{y} * Pitch(), from, pic.Row(y), to, width_);
  Unlock();
  TFileStream f(path, TFileStream::Mode::Create);
  image::WriteBmp(f, pic);
  return true;
}

}  // namespace qubo
