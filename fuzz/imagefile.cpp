// Image file readers on arbitrary bytes: bitmap, PNG, JPEG, icon and cursor by signature,
// TGA and icon read directly (TGA has no signature; the direct icon read skips the stricter
// detection), and the surface loading entry. Any outcome but a FormatError (or success) is a
// fault; a TGA that reads must come back pixel for pixel through the writer.

#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "render/dibx.h"
#include "render/imagefile.h"
#include "render/pixelstore.h"
#include "support/errors.h"
#include "support/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qubo;
  std::vector<uint8_t> bytes(data, data + size);
  try {
    TKoMemoryStream m(bytes);
    TDIBSurface s;
    int32_t key = 0;
    if (image::ReadImage(m, s, &key) && !s.IsEmpty()) {
      // Exercise the decoded storage a little: conversion, resize, alpha.
      s.SetBitCount(32);
      s.Resize(s.Width() / 2 + 1, s.Height() / 2 + 1, key, true);
    }
  } catch (const FormatError&) {
  } catch (const QuboError&) {
  }
  try {
    TKoMemoryStream m(bytes);
    TDIBSurface s;
    image::ReadTga(m, s);
    if (int64_t{s.Width()} * s.Height() <= 1 << 16) {
      TKoMemoryStream w;
      image::WriteTga(w, s, true);
      w.SetPosition(0);
      TDIBSurface back;
      image::ReadTga(w, back);
      if (back.Width() != s.Width() || back.Height() != s.Height() || (back.Alpha() == nullptr) != (s.Alpha() == nullptr))
        std::abort();
      for (int32_t y = 0; y < s.Height(); ++y)
        for (int32_t x = 0; x < s.Width(); ++x)
          if (back.GetPixel(x, y) != s.GetPixel(x, y) ||
              (s.Alpha() && back.Alpha()->GetPixel(x, y) != s.Alpha()->GetPixel(x, y)))
            std::abort();
    }
  } catch (const FormatError&) {
  } catch (const QuboError&) {
  }
  try {
    TKoMemoryStream m(bytes);
    TDIBSurface s;
    image::TIconHotSpot hot;
    image::ReadIcon(m, s, &hot);
    if (hot.x < 0 || hot.y < 0 || hot.x >= s.Width() || hot.y >= s.Height() || !s.Alpha()) std::abort();
  } catch (const FormatError&) {
  } catch (const QuboError&) {
  }
  try {
    TKoMemoryStream m(bytes);
    TDIBX surface;
    surface.SetSize(1, 1, 8);
    surface.LoadFromStream(m, 0);
  } catch (const FormatError&) {
  } catch (const QuboError&) {
  }
  return 0;
}
