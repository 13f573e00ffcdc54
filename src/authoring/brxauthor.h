#pragma once
// A writer for every form of the layered image file: headerless, short-header and
// header-record versions of the record format and the structured format; every bit count,
// palette, alpha plane, compression type, block table (stored blocks, copies within a plane
// and from earlier layers), randomized layout and rectangle list; and overrides that write
// damaged files on purpose. Tests build their fixtures with it; the image tool builds files.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "render/brxformat.h"
#include "render/pixelstore.h"
#include "render/rect.h"

namespace qubo::authoring {

struct TBrixAuthorLayer {
  std::string name = "Layer";
  bool visible = true;
  int32_t transColor = -1;
  int32_t alpha = 255;
  bool alphaOn = false;
  // The colour plane at the frame's size and bit count; its alpha plane, when it has one, is
  // stored too.
  std::shared_ptr<TDIBSurface> image;
  // Block tables to store instead of the computed ones (one entry per block).
  std::optional<std::vector<brx::TBrixBlockRef>> colourTable, alphaTable;
  // Stored plane bytes to write as they stand (for damaged files).
  std::optional<std::vector<uint8_t>> colourData, alphaData;
  // Structured format only: the position and lock attributes, which readers ignore.
  int32_t left = 0, top = 0, lock = 0;
};

struct TBrixAuthorFrame {
  std::string name;
  int32_t transColor = -1;
  int32_t delay = 100;
  uint8_t disposal = 0;
  int32_t width = 0, height = 0, bpp = 24;
  std::array<TPaletteEntry, 256> palette{};  // used at 8 bits and less
  std::optional<std::string> paletteText;    // structured format: the RGB attribute as written
  std::vector<TBrixAuthorLayer> layers;
  std::optional<int32_t> layerCount;  // the stored count, when it should differ
  std::vector<TRect> drawRects, extraRects;
  bool noDrawRects = false, noExtraRects = false;  // store the count -1
  bool omitLayersElement = false;                 // structured format: no "Layers" child
};

enum class TBrixForm { Headerless, Record, Structured };

struct TBrixAuthorDoc {
  TBrixForm form = TBrixForm::Structured;
  // Record format: the signature's digits (the headerless form is version 0). Structured
  // format: the Version attribute.
  int32_t version = brx::kStructuredVersion;
  std::optional<std::string> signature;  // written instead of the usual one
  // compType, randomized, blockWidth, blockHeight, bgColor, notFillBG, syncPal, compLevel are
  // taken from here; version, width, height, bpp and count are filled in.
  brx::TBrixHeader header;
  // Record format from version 103: bytes of the header record written (fewer cut it short,
  // more append the given filler bytes).
  int32_t headerLength = brx::kHeaderRecordSize;
  uint8_t headerFiller = 0xEE;
  std::optional<int32_t> frameCount;  // the stored count, when it should differ
  int32_t idCode = 0;
  // Block tables: store a block as a copy when an equal one exists (an earlier block of the
  // same plane, or the same block of an earlier layer of the same size and depth).
  bool findReferences = false;
  int zlibLevel = -1;
  int jpegQuality = 90;
  std::string rootName = "Frames";
  std::vector<TBrixAuthorFrame> frames;
};

// The file's bytes. Raises QuboError when the description cannot be written (a layer image
// of the wrong size or depth, a table of the wrong length, randomized data without a code).
std::vector<uint8_t> BuildBrix(const TBrixAuthorDoc& doc);

// A plane of deterministic, varied pixels (every value of a palette depth occurs), optionally
// with an alpha plane; palette depths get a palette from MakePalette(seed).
std::shared_ptr<TDIBSurface> PatternImage(int32_t width, int32_t height, int bpp, uint32_t seed, bool withAlpha);
std::array<TPaletteEntry, 256> MakePalette(uint32_t seed);

// The block table the writer computes for a plane when findReferences is set (exposed for
// tests): earlier planes are the same-kind planes of the layers written before.
std::vector<brx::TBrixBlockRef> FindBlockReferences(const TDIBSurface& plane,
                                                    const std::vector<std::pair<int32_t, int32_t>>& earlierIds,
                                                    const std::vector<const TDIBSurface*>& earlierPlanes,
                                                    int32_t blockWidth, int32_t blockHeight);

}  // namespace qubo::authoring
