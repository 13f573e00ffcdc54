// Layered images from arbitrary bytes: loading (with and without kept layers), masks, crops
// and the move into a surface must stay in bounds and fail only with format errors.

#include <cstdint>
#include <vector>

#include "render/brximage.h"
#include "render/dibx.h"
#include "support/errors.h"
#include "support/stream.h"

using namespace qubo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the options; the rest is the file.
  if (size < 1) return 0;
  const uint8_t options = data[0];
  TBrixFrameList list((options & 1) ? 12345 : 0);
  list.Limits.maxSide = 4096;
  list.Limits.maxPixels = int64_t{1} << 20;
  list.Limits.maxTotalBytes = int64_t{48} << 20;
  list.Limits.maxXmlBytes = int64_t{4} << 20;
  list.TargetBitCount = (options & 8) ? 16 : 0;
  try {
    TKoMemoryStream s(std::vector<uint8_t>(data + 1, data + size));
    list.LoadFromStream(s, (options & 2) != 0, (options & 4) != 0, (options & 8) != 0);
  } catch (const FormatError&) {
  } catch (const StreamError&) {
  }
  list.BuildMasks((options & 4) != 0);
  for (int i = 0; i < list.Count(); ++i) {
    TBrixFrame& f = list.Frame(i);
    f.Crop();
    TDIBX surface;
    FrameToSurface(f, surface);
    TDIBSurface mask;
    AlphaToStorage(f, mask);
  }
  return 0;
}
