#include "golden.h"

#include <cstdlib>
#include <filesystem>

#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "render/pngdump.h"
#include "support/stream.h"
#include "testkit/testkit.h"

namespace qubo::testkit {
namespace {

std::string GoldenPath(const std::string& name) {
#ifdef QUBO_GOLDEN_DIR
  return std::string(QUBO_GOLDEN_DIR) + "/" + name + ".png";
#else
  return "golden/" + name + ".png";
#endif
}

TRgb At(const TDIBSurface& s, int32_t x, int32_t y) {
  return PixelToRgb(TPixelSpace::Of(s), s.GetPixel(x, y));
}

}  // namespace

::testing::AssertionResult MatchesGolden(const TDIBSurface& image, const std::string& name) {
  const std::string path = GoldenPath(name);
  const char* update = std::getenv("QUBO_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    DumpPng(image, path);
    return ::testing::AssertionSuccess() << "golden written: " << path;
  }
  TDIBSurface golden;
  try {
    TFileStream f(path, TFileStream::Mode::OpenRead);
    image::ReadPng(f, golden, nullptr);
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "cannot read golden " << path << ": " << e.what()
                                         << " (QUBO_UPDATE_GOLDEN=1 writes it)";
  }
  const std::filesystem::path out = OutputDir();
  if (golden.Width() != image.Width() || golden.Height() != image.Height()) {
    DumpPng(image, (out / (name + ".actual.png")).string());
    return ::testing::AssertionFailure() << name << ": size " << image.Width() << "x" << image.Height()
                                         << ", golden " << golden.Width() << "x" << golden.Height();
  }
  int64_t differing = 0;
  TDIBSurface diff(image.Width(), image.Height(), 24);
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      const TRgb a = At(image, x, y), g = At(golden, x, y);
      if (a == g) {
        diff.SetPixel(x, y, (uint32_t{a.r} / 4 << 16) | (uint32_t{a.g} / 4 << 8) | (a.b / 4));
      } else {
        ++differing;
        diff.SetPixel(x, y, 0xFF0000);
      }
    }
  if (differing == 0) return ::testing::AssertionSuccess();
  const std::string actual = (out / (name + ".actual.png")).string();
  const std::string diffPath = (out / (name + ".diff.png")).string();
  DumpPng(image, actual);
  DumpPng(diff, diffPath);
  return ::testing::AssertionFailure() << name << ": " << differing << " pixels differ; actual " << actual
                                       << ", diff " << diffPath;
}

::testing::AssertionResult MatchesGolden(TCustomDIBX& surface, const std::string& name) {
  TDIBSurface pic;
  SurfaceToStorage(surface, pic);
  return MatchesGolden(pic, name);
}

}  // namespace qubo::testkit
