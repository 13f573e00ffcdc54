#pragma once
// The layered image file: signatures, the 40-byte header record, block table entries, the
// row permutation, plane geometry, the messages of its format errors and the bounds a
// reader applies to untrusted files.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qubo::brx {

// Messages (code page 932).
inline constexpr const char* kErrUnreadable =  // 読み込めないファイル形式です
    "\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xc8\x82\xa2\x83\x74\x83\x40\x83\x43\x83\x8b\x8c\x60\x8e\xae\x82\xc5\x82\xb7";
inline constexpr const char* kErrDamaged =  // ファイルが破壊されています
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x94\x6a\x89\xf3\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";
inline constexpr const char* kErrNoLayers =  // レイヤーがありません
    "\x83\x8c\x83\x43\x83\x84\x81\x5b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
inline constexpr const char* kErrNoPalette =  // カラーテーブルがありません
    "\x83\x4a\x83\x89\x81\x5b\x83\x65\x81\x5b\x83\x75\x83\x8b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
inline constexpr const char* kErrNeedIdCode =  // 識別コードを設定してください
    "\x8e\xaf\x95\xca\x83\x52\x81\x5b\x83\x68\x82\xf0\x90\xdd\x92\xe8\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";
inline constexpr const char* kErrGetFrame = "Error:TBrixFrameList.GetFrame";

// "Brix" + three digits (the record format) or "BrixX" + major digit + two more (the
// structured format).
inline constexpr char kSignaturePrefix[] = "Brix";
inline constexpr char kStructuredSignature[] = "BrixX200";
inline constexpr int kStructuredMaxMajor = 2;
inline constexpr int32_t kStructuredVersion = 200;

// Version gates of the record format.
inline constexpr int32_t kVersionAlphaPlane = 100;  // layers carry an alpha-plane block
inline constexpr int32_t kVersionAlphaOn = 101;     // layers carry the AlphaOn byte
inline constexpr int32_t kVersionBgColor = 102;     // short header carries BGColor (above 101)
inline constexpr int32_t kVersionHeaderRecord = 103;  // header record, CompType, blocks
inline constexpr int32_t kVersionRects = 104;         // frames carry two rectangle lists
inline constexpr int32_t kVersionNotFillBG = 105;     // header record's NotFillBG byte is read

enum CompType : uint8_t { kCompZlib = 0, kCompRaw = 1, kCompJpeg = 2 };

inline constexpr int kHeaderRecordSize = 40;

// The header record (record format from version 103; the structured format fills it from
// its root attributes).
struct TBrixHeader {
  int32_t version = 0;
  int32_t width = 0, height = 0, bpp = 0;
  int32_t count = 0;
  bool syncPal = false;
  bool randomized = false;
  uint8_t compType = kCompZlib;
  int32_t bgColor = 0;
  int32_t blockWidth = 0, blockHeight = 0;
  bool notFillBG = false;
  uint8_t compLevel = 0;

  std::array<uint8_t, kHeaderRecordSize> Pack() const;
  // The first n bytes of a stored record (n may be shorter than the record: the fields
  // beyond stay zero). NotFillBG is taken only from files of version 105 and later.
  static TBrixHeader Unpack(const uint8_t* data, size_t n, int32_t fileVersion);

  bool HasBlocks() const { return blockWidth > 0 && blockHeight > 0; }
};

// One block table entry: a = -1 stored here, a = -2 copy of block b of the same plane,
// otherwise the same block of layer b of frame a.
struct TBrixBlockRef {
  int32_t a = -1, b = 0;
  bool operator==(const TBrixBlockRef&) const = default;
};
inline constexpr int32_t kBlockStored = -1;
inline constexpr int32_t kBlockSamePlane = -2;
inline constexpr int kBlockRefSize = 8;

// The row permutation: order[k] is the item the k-th stored row (or table entry) belongs to.
// The state s := s * 5 + seed (32-bit) picks index s mod (items left) of the remaining
// items; seed 0 gives the identity.
std::vector<int32_t> RowOrder(int32_t seed, int32_t n);

// Bytes of one stored row of a plane: (width * storage bits + 31) div 32 * 4.
inline int64_t PlaneRowBytes(int32_t width, int storageBits) {
  return (int64_t{width} * storageBits + 31) / 32 * 4;
}
// Bytes of one pixel row inside a block: (bits * width + 7) div 8.
inline int64_t BlockRowBytes(int32_t width, int storageBits) { return (int64_t{width} * storageBits + 7) / 8; }

// The blocks of a plane, numbered row by row; the last column and row are narrower or lower.
struct TBlockGrid {
  int32_t blockWidth = 0, blockHeight = 0;
  int32_t columns = 0, rows = 0;
  int32_t planeWidth = 0, planeHeight = 0;

  TBlockGrid(int32_t planeW, int32_t planeH, int32_t bw, int32_t bh);
  int64_t Count() const { return int64_t{columns} * rows; }
  int32_t X(int64_t i) const { return static_cast<int32_t>(i % columns) * blockWidth; }
  int32_t Y(int64_t i) const { return static_cast<int32_t>(i / columns) * blockHeight; }
  int32_t W(int64_t i) const;
  int32_t H(int64_t i) const;
};

// Bounds a reader applies beyond those of the file's own sizes.
struct TBrixLimits {
  int32_t maxSide = 16384;                  // width or height of a frame
  int64_t maxPixels = int64_t{1} << 27;     // pixels of one frame
  int64_t maxTotalBytes = int64_t{3} << 28;  // pixel bytes of all frames and layers of one load
  int64_t maxXmlBytes = int64_t{64} << 20;  // the inflated structured document
};

// The bit counts a frame may have.
inline bool ValidBitCount(int32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}
inline int StorageBitsOf(int32_t bits) { return bits == 15 ? 16 : bits; }

}  // namespace qubo::brx
