#pragma once
// Layered images in memory: TBrixFrameList (the frames of one image, an animation when there
// are several), TBrixFrame (its layers and the composed picture) and TBrixLayer. Reading is
// in brxreader.cpp, writing in brxwriter.cpp, the moves into drawing surfaces in
// brxtransfer.cpp.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/brxformat.h"
#include "render/pixelstore.h"
#include "render/rect.h"

namespace qubo {

class TStream;
class TCustomDIBX;
class TBrixFrame;
class TBrixFrameList;

class TBrixLayer {
 public:
  explicit TBrixLayer(TBrixFrame* frame) : frame_(frame) {}
  TBrixFrame* Frame() const { return frame_; }

  std::string Name;
  // Same size and bit count as the frame; an optional alpha plane.
  TDIBSurface Image;
  bool Visible = true;
  int32_t TransColor = -1;  // pixel value, -1 = none
  int32_t Alpha = 255;
  bool AlphaOn = false;

 private:
  TBrixFrame* frame_;
};

class TBrixFrame {
 public:
  explicit TBrixFrame(TBrixFrameList* owner) : owner_(owner) {}
  TBrixFrameList* Owner() const { return owner_; }

  int32_t Delay = 100;
  // The composed frame, with an alpha plane when its layers give one.
  TDIBSurface Image;
  int32_t TransColor = -1;     // pixel value of the frame's format, -1 = none
  int32_t TransColorRGB = -1;  // the same as a colour reference, -1 = none
  std::string Name;
  std::vector<TRect> DrawRects;
  std::vector<TRect> ExtraRects;
  uint8_t Disposal = 0;

  int LayerCount() const { return static_cast<int>(layers_.size()); }
  // Raises QuboError for an index out of range.
  TBrixLayer& Layer(int index);
  const TBrixLayer& Layer(int index) const;
  TBrixLayer& AddLayer();
  void FreeLayers() { layers_.clear(); }

  bool HasAlpha() const { return Image.Alpha() != nullptr; }
  // Of the first layer when there are layers, else of the image.
  int32_t Width() const;
  int32_t Height() const;
  int BitCount() const;

  // Gives the frame (and with keepLayers every layer) an alpha plane when it has none: 255,
  // and 0 at the pixels equal to the transparent colour.
  void BuildMask(bool keepLayers);
  // Cuts the image to the bounding box of its non-transparent pixels and answers the box
  // (the image's offset); DrawRects and ExtraRects are clipped and moved with it.
  TRect Crop();

 private:
  TBrixFrameList* owner_;
  std::vector<std::unique_ptr<TBrixLayer>> layers_;
};

class TBrixFrameList {
 public:
  explicit TBrixFrameList(int32_t identificationCode = 0) : IdentificationCode(identificationCode) {}

  int32_t BGColor = 0;
  int32_t Version = 0;
  int32_t TargetBitCount = 0;
  int32_t DefaultBits = 16;
  int32_t IdentificationCode;
  bool NotFillBG = false;

  // What the last file read said about itself (for tools and tests).
  brx::TBrixHeader Header;
  bool Structured = false;
  // Bounds applied when reading.
  brx::TBrixLimits Limits;

  int Count() const { return static_cast<int>(frames_.size()); }
  // Raises "Error:TBrixFrameList.GetFrame" for an index out of range.
  TBrixFrame& Frame(int index);
  const TBrixFrame& Frame(int index) const;
  TBrixFrame& AddFrame();
  void Clear() { frames_.clear(); }

  // Reads a layered image from the stream's position. Format errors raise FormatError with
  // the format's messages; the frames read so far stay in the list.
  void LoadFromStream(TStream& stream, bool firstFrameOnly, bool keepLayers, bool convert);
  // By the file's extension: ".brx", ".png", ".bmp" or ".dib"; answers false (loading
  // nothing) for other extensions.
  bool LoadFromFile(const std::string& path, bool firstFrameOnly, bool keepLayers, bool convert);
  // Writes the structured format.
  void SaveToStream(TStream& stream) const;
  void SaveToFile(const std::string& path) const;

  void BuildMasks(bool keepLayers);

 private:
  std::vector<std::unique_ptr<TBrixFrame>> frames_;
};

// ---- Moves into drawing surfaces ----

// The surface takes the frame's size at its own bit count, the pixels (a 24- or 32-bit frame
// into 32-bit storage as blue | green << 8 | red << 16, top byte 0; anything else converted)
// and copies of the rectangle lists.
void FrameToSurface(const TBrixFrame& frame, TCustomDIBX& surface);
// Readies a frame for a texture upload: an alpha plane from the transparent colour when it
// has none, and 24 bits for frames of 8 bits and less. The changes stay in the frame.
void PrepareTextureFrame(TBrixFrame& frame);
// An 8-bit surface receives the alpha plane row by row; answers false (and leaves the
// surface alone) when the frame has no alpha plane.
bool AlphaToMask(const TBrixFrame& frame, TCustomDIBX& mask);
bool AlphaToStorage(const TBrixFrame& frame, TDIBSurface& storage);

// A screen capture as the player writes it: one 24-bit frame, no transparent colour, no
// identification code.
void SaveCapture(const TDIBSurface& image, TStream& stream);
void SaveCapture(const TDIBSurface& image, const std::string& path);

}  // namespace qubo
