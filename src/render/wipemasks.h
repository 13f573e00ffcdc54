#pragma once
// The mask kinds of the transitions: each draws TWipeMask::Mask for the current time.

#include <cstdint>
#include <vector>

#include "render/wipe.h"

namespace qubo {

// Vertical slats of width param 0 opening with a soft edge of param 1 (order units of 2).
class TWipeBlindH : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;
  int32_t MaskHeight() const override { return 1; }

 protected:
  void DoPrepare() override;
};

// Horizontal slats of height param 0: a mask of one slat, tiled down the screen.
class TWipeBlindV : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;
  int32_t MaskHeight() const override;

 protected:
  void DoPrepare() override;
};

// A wipe ordered by column: every column x has an order value, the mask row takes the soft
// level of each column. Both parameters are at least 1.
class TWipeOrderHMask : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  void SetParam(int index, int32_t value) override;
  bool DrawMask() override;
  int32_t MaskHeight() const override { return 1; }

 protected:
  void DoPrepare() override;
  // Number of ordered lines (columns; rows for the vertical form).
  virtual int32_t Lines() const { return W; }
  // Order value of line i and the progress range of the whole wipe.
  virtual int64_t Order(int32_t i) const = 0;
  virtual int64_t Range() const = 0;
  // Writes the levels of the lines into the mask.
  virtual void WriteLevels();
  std::vector<uint8_t> levels_;
};

// The same ordered by row: whole mask rows take one level.
class TWipeOrderVMask : public TWipeOrderHMask {
 public:
  using TWipeOrderHMask::TWipeOrderHMask;
  int32_t MaskHeight() const override { return H; }

 protected:
  int32_t Lines() const override { return H; }
  void WriteLevels() override;
};

// Staggered columns in groups of param 0.
class TWipeCurtainH : public TWipeOrderHMask {
 public:
  using TWipeOrderHMask::TWipeOrderHMask;

 protected:
  int64_t Order(int32_t i) const override;
  int64_t Range() const override;
};

// Staggered rows in groups of param 0.
class TWipeCurtainV : public TWipeOrderVMask {
 public:
  using TWipeOrderVMask::TWipeOrderVMask;

 protected:
  int64_t Order(int32_t i) const override;
  int64_t Range() const override;
};

// Squares of cell size param 0 growing with a soft edge of param 1, ordered by distance from
// the corner (GridH: by column, GridV: by row).
class TWipeGrid : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;

 protected:
  void DoPrepare() override;
  // Order of cell (column i, row j), already counted from the far corner when reversed, and
  // the order span D of the whole grid.
  virtual int64_t CellOrder(int64_t i, int64_t j) const;
  virtual int64_t Span() const;
  int64_t cols_ = 1, rows_ = 1;
};

class TWipeGridH : public TWipeGrid {
 public:
  using TWipeGrid::TWipeGrid;
  int32_t MaskHeight() const override;

 protected:
  int64_t CellOrder(int64_t i, int64_t j) const override;
  int64_t Span() const override;
};

class TWipeGridV : public TWipeGrid {
 public:
  using TWipeGrid::TWipeGrid;

 protected:
  int64_t CellOrder(int64_t i, int64_t j) const override;
  int64_t Span() const override;
};

// The pixels of a 64 x 64 tile switch in a fixed pseudo-random order.
class TWipeDither : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;
  int32_t MaskHeight() const override { return 64; }
  // The order of the tile's 4096 cells (row permutation, seed 12341).
  static std::vector<int32_t> TileOrder();

 protected:
  void DoPrepare() override;

 private:
  std::vector<int32_t> order_;
};

// The grey levels of a mask image decide the order; without one, a uniform cross-fade over
// the first half of the duration.
class TWipeShadow : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;

 protected:
  void DoPrepare() override;

 private:
  std::vector<uint8_t> levels_;
  bool uniform_ = true;
};

// A clock hand sweeps a full turn from angle param 0 (degrees from straight up).
class TWipeClockhand : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;

 protected:
  void DoPrepare() override;
  double StartAngle() const;
};

// A fan opening both ways from angle param 0.
class TWipeFan : public TWipeClockhand {
 public:
  using TWipeClockhand::TWipeClockhand;
  bool DrawMask() override;
};

// Two opposite fans.
class TWipeWFan : public TWipeClockhand {
 public:
  using TWipeClockhand::TWipeClockhand;
  bool DrawMask() override;
};

// A circle growing from the centre (shrinking when reversed).
class TWipeCircle : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;

 protected:
  void DoPrepare() override;
};

// Blocks of param 0 pixels (at least 10) switching in the order of a list.
class TWipeBlockCoil : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool DrawMask() override;
  const std::vector<TRect>& Blocks() const { return blocks_; }

 protected:
  void DoPrepare() override;
  // The blocks in their order; an inward spiral here.
  virtual void ListBlocks(int32_t size, int32_t cols, int32_t rows);
  std::vector<TRect> blocks_;
};

// The blocks of a row-by-row grid in random order.
class TWipeBlockRandom : public TWipeBlockCoil {
 public:
  using TWipeBlockCoil::TWipeBlockCoil;

 protected:
  void ListBlocks(int32_t size, int32_t cols, int32_t rows) override;
};

}  // namespace qubo
