#pragma once
// Transitions that draw straight into the destination: fades, scrolls, flashes, mosaic, the
// smearing kinds and the per-pixel light kinds.

#include <cstdint>
#include <vector>

#include "render/wipe.h"

namespace qubo {

// Cross-fade; To slides in from the offset (param 0, param 1).
class TWipeFade : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// To pushes From out to the left (to the right when reversed).
class TWipeScrollH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// To pushes From out upwards (downwards when reversed).
class TWipeScrollV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// From fades to white, then To from white.
class TWipeWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
  virtual void Light(const TRect& r, int32_t g);
};

// The same through black.
class TWipeBlack : public TWipeWhite {
 public:
  using TWipeWhite::TWipeWhite;

 protected:
  void Light(const TRect& r, int32_t g) override;
};

// A white flash fading into To.
class TWipeFlash : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// Mosaic out of From, a cross-fade at the coarsest blocks, mosaic into To.
class TWipeMosaic : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DoPrepare() override;
  void DrawStep() override;

 private:
  TDIBX work_;
};

// A column dragged across the picture, smearing it (the band form stretches a band of
// columns that narrows and widens again).
class TWipeSudareH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
  // Width of the stretched band ending at logical column x (1 for the single column).
  virtual int64_t Band(int64_t x) const;

 private:
  std::vector<int32_t> map_;
};

class TWipeSudareV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
  virtual int64_t Band(int64_t y) const;

 private:
  std::vector<int32_t> map_;
};

class TWipeRubberH : public TWipeSudareH {
 public:
  using TWipeSudareH::TWipeSudareH;

 protected:
  int64_t Band(int64_t x) const override;
};

class TWipeRubberV : public TWipeSudareV {
 public:
  using TWipeSudareV::TWipeSudareV;

 protected:
  int64_t Band(int64_t y) const override;
};

// A bright ring spreading from the centre (towards it when reversed).
class TWipeSpot : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  void SetReverse(bool flag) override;

 protected:
  void DoPrepare() override;
  void DrawStep() override;

 private:
  void BuildDistances();
  std::vector<int32_t> dist_;
  int32_t radius_ = 0;
};

// Mask order from a grey image, each pixel passing through white.
class TWipeShadowWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DoPrepare() override;
  void DrawStep() override;
  virtual bool Darkens() const { return false; }

 private:
  std::vector<uint8_t> levels_;
  bool uniform_ = true;
};

// The same through black.
class TWipeShadowBlack : public TWipeShadowWhite {
 public:
  using TWipeShadowWhite::TWipeShadowWhite;

 protected:
  bool Darkens() const override { return true; }
};

// The band width of the stretching kinds at logical position x of a picture of n lines.
int64_t RubberBand(int64_t elapsed, int64_t duration, int64_t x);

}  // namespace qubo
