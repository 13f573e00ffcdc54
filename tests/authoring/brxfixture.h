#pragma once
// Shared helpers of the layered image tests: fixture documents, loading, plane comparison.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/brxauthor.h"
#include "render/brximage.h"
#include "support/errors.h"
#include "support/stream.h"

namespace qubo::brxtest {

using authoring::TBrixAuthorDoc;
using authoring::TBrixAuthorFrame;
using authoring::TBrixAuthorLayer;
using authoring::TBrixForm;

inline void Load(TBrixFrameList& list, const std::vector<uint8_t>& bytes, bool keepLayers = true,
                 bool firstFrameOnly = false, bool convert = false) {
  TKoMemoryStream s(bytes);
  list.LoadFromStream(s, firstFrameOnly, keepLayers, convert);
}

// The message a load raises, or "" when it succeeds.
inline std::string LoadError(const std::vector<uint8_t>& bytes, int32_t idCode = 0, bool keepLayers = true) {
  TBrixFrameList list(idCode);
  try {
    Load(list, bytes, keepLayers);
  } catch (const FormatError& e) {
    return e.what();
  }
  return "";
}

// Pixel values (not row padding) and the palette at 8 bits and less.
inline ::testing::AssertionResult SamePixels(const TDIBSurface& a, const TDIBSurface& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount())
    return ::testing::AssertionFailure() << "size or depth " << a.Width() << "x" << a.Height() << "x" << a.BitCount()
                                         << " vs " << b.Width() << "x" << b.Height() << "x" << b.BitCount();
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") " << a.GetPixel(x, y) << " vs "
                                             << b.GetPixel(x, y);
  if (a.StorageBits() <= 8)
    for (int i = 0; i < (1 << a.StorageBits()); ++i) {
      const TPaletteEntry &p = a.Palette()[i], &q = b.Palette()[i];
      if (p.red != q.red || p.green != q.green || p.blue != q.blue)
        return ::testing::AssertionFailure() << "palette entry " << i;
    }
  return ::testing::AssertionSuccess();
}

inline TBrixAuthorLayer MakeLayer(std::shared_ptr<TDIBSurface> image, std::string name = "L") {
  TBrixAuthorLayer l;
  l.image = std::move(image);
  l.name = std::move(name);
  return l;
}

inline TBrixAuthorFrame MakeFrame(int32_t w, int32_t h, int bpp, uint32_t paletteSeed = 1) {
  TBrixAuthorFrame f;
  f.width = w;
  f.height = h;
  f.bpp = bpp;
  f.palette = authoring::MakePalette(paletteSeed);
  return f;
}

// A pattern image that uses the frame's palette.
inline std::shared_ptr<TDIBSurface> FrameImage(const TBrixAuthorFrame& f, uint32_t seed, bool alpha) {
  auto img = authoring::PatternImage(f.width, f.height, f.bpp, seed, alpha);
  if (f.bpp <= 8) std::copy(f.palette.begin(), f.palette.end(), img->Palette());
  return img;
}

}  // namespace qubo::brxtest
