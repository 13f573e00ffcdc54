#pragma once
// Transitions that move or deform the pictures: shrinking and growing, ripples, blurs,
// twists, falling chips and the zoom.

#include <cstdint>
#include <vector>

#include "render/wipe.h"

namespace qubo {

// From shrinks (and turns param 0 / 256 of a turn) away over To. With Option only the pixels
// that differ between the pictures are drawn.
class TWipeSmall : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DoPrepare() override;
  void DrawStep() override;
  TDIBX diff_;
  bool hasDiff_ = false;
};

// To grows (and turns) in over From.
class TWipeBig : public TWipeSmall {
 public:
  using TWipeSmall::TWipeSmall;

 protected:
  void DrawStep() override;
};

// An expanding circle with a rippling edge of amplitude param 0.
class TWipeRipple : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  void SetParam(int index, int32_t value) override;

 protected:
  void DoPrepare() override;
  void DrawStep() override;

 private:
  void BuildWave();
  int32_t qw_ = 0, qh_ = 0, n_ = 0;
  std::vector<int32_t> dist_, cos_, sin_;
  std::vector<int32_t> wave_;
};

// Blur out of From, through white, blur into To.
class TWipeBlurWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DoPrepare() override;
  void DrawStep() override;
  virtual void Light(int32_t g);

 private:
  TDIBX blurFrom_, blurTo_;
};

// The same through black.
class TWipeBlurBlack : public TWipeBlurWhite {
 public:
  using TWipeBlurWhite::TWipeBlurWhite;

 protected:
  void Light(int32_t g) override;
};

// Rows turn around the vertical axis, staggered from the top (from the bottom when reversed).
class TWipeTwistH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// Columns turn around the horizontal axis, staggered from the left.
class TWipeTwistV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;

 private:
  std::vector<int32_t> top_, span_;
  std::vector<uint8_t> mode_;
};

// One chip of TWipeCrack: a rectangle of From, its start time and its sideways drift.
struct TWipeCrackDraw {
  TRect rect{};
  int64_t start = 0;
  int32_t drift = 0;  // -100 .. 99: hundredths of a pixel per time unit
  uint8_t kind = 1;   // with Option: 0 no pixel differs, 1 all differ, 2 mixed
};

// From breaks into chips of param 0 pixels that fall one every param 1 time units.
class TWipeCrack : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  const std::vector<TWipeCrackDraw>& Chips() const { return chips_; }
  // The fall length: the first time after its start at which a chip has dropped more than h.
  static int64_t FallLength(int64_t h);
  // The offset of a chip a time u after its start.
  static int64_t DriftX(int64_t u, int32_t drift) { return u * drift / 100; }
  static int64_t Drop(int64_t u) { return (5 * u * u - 1500 * u) / 1000; }

 protected:
  void DoPrepare() override;
  void DrawStep() override;

 private:
  void DrawChip(const TWipeCrackDraw& c, int64_t dx, int64_t dy);
  std::vector<TWipeCrackDraw> chips_;
  int64_t fall_ = 0, timeline_ = 0;
  TDIBX diff_;
  bool hasDiff_ = false;
};

// Zoom into point (param 0, param 1) of From, then out of To.
class TWipeZoomin : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

}  // namespace qubo
