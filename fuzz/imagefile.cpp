// Image file readers on arbitrary bytes: bitmap, PNG, JPEG by signature, and the surface
// loading entry. Any outcome but a FormatError (or success) is a fault.

#include <cstddef>
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
    TDIBX surface;
    surface.SetSize(1, 1, 8);
    surface.LoadFromStream(m, 0);
  } catch (const FormatError&) {
  } catch (const QuboError&) {
  }
  return 0;
}
