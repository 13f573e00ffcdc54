#include "render/pngdump.h"

#include "render/dibx.h"
#include "render/imagefile.h"
#include "render/pixelconvert.h"
#include "render/pixelstore.h"
#include "support/stream.h"

namespace qubo {

void DumpPng(const TDIBSurface& image, const std::string& path, bool withAlpha) {
  TKoMemoryStream m;
  image::WritePng(m, image, withAlpha);
  m.SaveToFile(path);
}

void SurfaceToStorage(TCustomDIBX& surface, TDIBSurface& out) {
  out.SetSize(0, 0, 24);
  if (surface.IsEmpty()) return;
  uint8_t* base = surface.Lock(0, 0);
  if (!base) return;
  out.SetSize(surface.Width(), surface.Height(), 24);
  TPaletteEntry pal[256];
  surface.GetPalette(pal);
  const TPixelSpace from{surface.Format(), pal}, to = TPixelSpace::Of(out);
  for (int32_t y = 0; y < surface.Height(); ++y)
    ConvertRow(base + int64_t{y} * surface.Pitch(), from, out.Row(y), to, surface.Width());
  surface.Unlock();
}

void DumpPng(TCustomDIBX& surface, const std::string& path) {
  TDIBSurface pic;
  SurfaceToStorage(surface, pic);
  DumpPng(pic, path, false);
}

}  // namespace qubo
