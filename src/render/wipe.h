#pragma once
// Screen transitions: a TCustomWipe draws, for the time Elapsed of Duration, the state of a
// change from the picture From to the picture To into a destination surface. One class per
// kind (WP_FADE ... WP_BLOCKRANDOM); many kinds share TWipeMask, which draws an 8-bit mask for
// the current time and composes To over From through it.
//
// Life of a transition: CreateWipe (default parameters), Duration, SetReverse, Elapsed, then
// parameters, source name and option, Prepare once, Step once per drawn frame.
//
// Rules every kind keeps:
// - Progress is Elapsed * N div Duration in 64-bit arithmetic; a negative Elapsed counts as 0.
// - A Duration of 0 or less, or Elapsed >= Duration, is finished: Step draws To and answers
//   true.
// - Step draws nothing when the surfaces cannot be drawn on: an empty destination, a depth
//   the kind does not draw, sources smaller than the destination or one of them being the
//   destination itself, or a failed Lock. Drawing never throws.
// - The sources are never changed.
// - Random orders come from an injected TWipeRandom, never from the scripts' generator.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/dibx.h"
#include "render/rect.h"

namespace qubo {

enum TWipeKind : int32_t {
  WP_NONE = 0,
  WP_FADE,
  WP_BLINDH,
  WP_BLINDV,
  WP_CURTAINH,
  WP_CURTAINV,
  WP_SCROLLH,
  WP_SCROLLV,
  WP_GRID,
  WP_GRIDH,
  WP_GRIDV,
  WP_DITHER,
  WP_WHITE,
  WP_BLACK,
  WP_FLASH,
  WP_MOSAIC,
  WP_SUDAREH,
  WP_SUDAREV,
  WP_SPOT,
  WP_MASKFADE,
  WP_MASKWHITE,
  WP_MASKBLACK,
  WP_SMALL,
  WP_BIG,
  WP_RIPPLE,
  WP_BLURWHITE,
  WP_BLURBLACK,
  WP_TWISTH,
  WP_TWISTV,
  WP_CRACK,
  WP_ZOOMIN,
  WP_CLOCKHAND,
  WP_RUBBERH,
  WP_RUBBERV,
  WP_FAN,
  WP_WFAN,
  WP_CIRCLE,
  WP_BLOCKCOIL,
  WP_BLOCKRANDOM,
};
inline constexpr int32_t kWipeKindLast = WP_BLOCKRANDOM;

// The source of the random orders of a transition.
class TWipeRandom {
 public:
  virtual ~TWipeRandom() = default;
  // A uniform integer in [0, n); 0 when n is 0.
  virtual uint32_t Below(uint32_t n) = 0;
  // A uniform integer in [lo, hi] (lo when hi < lo).
  int32_t Range(int32_t lo, int32_t hi);
};

// A small seeded generator (64-bit xorshift-multiply), so that a transition's orders are
// reproducible from its seed.
class TWipeSeededRandom : public TWipeRandom {
 public:
  explicit TWipeSeededRandom(uint64_t seed = 1) { Seed(seed); }
  void Seed(uint64_t seed);
  uint32_t Below(uint32_t n) override;

 private:
  uint64_t state_ = 0;
};

// Reads the named mask image of the game data into an 8-bit grey or 32-bit surface; false
// when there is no such image.
using TWipeImageLoader = std::function<bool(const std::string& name, TDIBX& out)>;

// What the creator of a transition may hand it besides the surfaces.
struct TWipeServices {
  TWipeRandom* random = nullptr;  // not owned; null: a generator of the transition's own (seed 1)
  TWipeImageLoader loadImage;     // for the mask-image kinds; empty: Source is never found
};

class TCustomWipe {
 public:
  TCustomWipe(TCustomDIBX* dest, TCustomDIBX* from, TCustomDIBX* to);
  virtual ~TCustomWipe();
  TCustomWipe(const TCustomWipe&) = delete;
  TCustomWipe& operator=(const TCustomWipe&) = delete;

  virtual void SetReverse(bool flag) { Reverse = flag; }
  virtual int32_t GetParam(int index) const;
  virtual void SetParam(int index, int32_t value);
  virtual void SetSource(const std::string& name) { Source = name; }
  // Builds the tables, masks and pieces of the kind for the destination's size. Step prepares
  // first when it has not been called or the destination's size has changed since.
  void Prepare();
  // Draws the state for Elapsed into Dest; true when the transition is finished (then Dest
  // shows To).
  bool Step();
  virtual void Finish() {}

  void SetServices(const TWipeServices& services);
  // The mask image of the mask-image kinds, given directly (8-bit grey or 32-bit); an empty
  // surface counts as none. Takes precedence over the image loader.
  void SetSourceImage(TCustomDIBX& image);

  bool Reverse = false;
  std::string Source;
  bool Option = false;
  int32_t Duration = 0;
  int32_t Elapsed = 0;
  TRect ChangedRect{};

  TCustomDIBX* Dest() const { return dest_; }
  TCustomDIBX* FromSurface() const { return from_; }
  TCustomDIBX* ToSurface() const { return to_; }

 protected:
  // The kind's part of Prepare (W and H are the destination's size).
  virtual void DoPrepare() {}
  // One drawn step, 0 <= Elapsed < Duration, surfaces checked, prepared for W x H.
  virtual void DrawStep() = 0;
  // Depths the kind draws (Dest, From and To share the depth): 32 bits; mask kinds add 8.
  virtual bool DrawsDepth(int bits) const { return bits == 32; }

  // Elapsed * n div Duration (Elapsed clamped to 0 .. Duration).
  int64_t Progress(int64_t n) const;
  // Elapsed / Duration as a real in [0, 1).
  double T() const;
  // The grey level g as a pixel value of the destination.
  uint32_t Grey(int32_t g) const;
  TWipeRandom& Random();
  // The mask image: a grey value per pixel of a W x H plane tiled from the image's top-left
  // corner (inverted when Reverse); false (and out left alone) when there is none.
  bool LoadLevelImage(std::vector<uint8_t>& out);

  TCustomDIBX* dest_;
  TCustomDIBX* from_;
  TCustomDIBX* to_;
  int32_t W = 0, H = 0;
  int32_t params_[2] = {0, 0};

 private:
  bool prepared_ = false;
  int32_t preparedW_ = 0, preparedH_ = 0;
  TWipeServices services_;
  std::unique_ptr<TWipeSeededRandom> ownRandom_;
  std::unique_ptr<TDIBX> sourceImage_;
};

// The mask wipe: the kind draws Mask (8 bits, W x MaskHeight) for the current time, and each
// destination pixel (x, y) takes the mask value at (x, y mod MaskHeight): 0 From, 255 To,
// between a blend of To over From.
class TWipeMask : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  // Parameter 0 at least 2, parameter 1 at least 1.
  void SetParam(int index, int32_t value) override;
  // Draws Mask for the current time; false when it is unchanged.
  virtual bool DrawMask() = 0;
  virtual int32_t MaskHeight() const { return H; }

  TDIBX Mask;
  int32_t LastLevel = -1;
  bool Hard = false;

 protected:
  // Mask sized W x MaskHeight and cleared; subclasses call it first.
  void DoPrepare() override;
  void DrawStep() override;
  bool DrawsDepth(int bits) const override { return bits == 32 || bits == 8; }
  // The soft-edge level of a cell of order e at progress b: 0 before e, then rising to 255
  // over param 1 order units.
  uint8_t SoftLevel(int64_t b, int64_t e) const;
  // Row y of Mask (unchecked: 0 <= y < mask height after Prepare).
  uint8_t* MaskRow(int32_t y);
  bool MaskReady() const { return maskReady_; }

 private:
  bool maskReady_ = false;
};

// The transition of a kind with its default parameters, or null for WP_NONE and kinds outside
// the table.
std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, TCustomDIBX* dest, TCustomDIBX* from, TCustomDIBX* to,
                                        const TWipeServices& services = {});

}  // namespace qubo
