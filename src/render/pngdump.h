#pragma once
// Writes any storage or surface as a PNG file (for tests, tools and debugging).

#include <string>

namespace qubo {

class TDIBSurface;
class TCustomDIBX;

// RGB, or RGBA when withAlpha is set and the storage has an alpha plane. Raises StreamError
// when the file cannot be written.
void DumpPng(const TDIBSurface& image, const std::string& path, bool withAlpha = false);
// The surface's pixels at its own format (a 32-bit surface's top byte is left out).
void DumpPng(TCustomDIBX& surface, const std::string& path);
// A copy of a surface's pixels as 24-bit storage (empty when the surface cannot be locked).
void SurfaceToStorage(TCustomDIBX& surface, TDIBSurface& out);

}  // namespace qubo
