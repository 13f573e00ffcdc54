#include "render/wipemasks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "render/pixelstore.h"
#include "render/wiperows.h"

namespace qubo {
namespace {

// Fills a rectangle of the mask, clipped to it.
void FillMaskRect(TDIBX& mask, int64_t l, int64_t t, int64_t r, int64_t b, uint8_t v) {
  l = std::max<int64_t>(l, 0), t = std::max<int64_t>(t, 0);
  r = std::min<int64_t>(r, mask.Width()), b = std::min<int64_t>(b, mask.Height());
  if (r <= l || b <= t) return;
  for (int64_t y = t; y < b; ++y)
    std::memset(mask.Storage().Row(static_cast<int32_t>(y)) + l, v, static_cast<size_t>(r - l));
}

void ClearMask(TDIBX& mask) {
  for (int32_t y = 0; y < mask.Height(); ++y) std::memset(mask.Storage().Row(y), 0, static_cast<size_t>(mask.Width()));
}

int64_t CeilDiv(int64_t a, int64_t b) { return b <= 0 ? 0 : (a + b - 1) / b; }

}  // namespace

// Blinds

void TWipeBlindH::DoPrepare() {
  TWipeMask::DoPrepare();
  Hard = params_[1] < 2;
}

bool TWipeBlindH::DrawMask() {
  const int64_t p0 = params_[0];
  const int64_t b = Progress(params_[1] + 2 * p0 - 2);
  if (b == LastLevel) return false;
  LastLevel = static_cast<int32_t>(b);
  uint8_t* row = MaskRow(0);
  for (int32_t x = 0; x < W; ++x) {
    const int64_t m = x % p0;
    row[x] = SoftLevel(b, Reverse ? 2 * (p0 - m - 1) : 2 * m);
  }
  return true;
}

int32_t TWipeBlindV::MaskHeight() const {
  // Rows at or beyond the screen's height are never shown: one slat, cut to the screen.
  return std::max(1, std::min(std::max(params_[0], 2), H));
}

void TWipeBlindV::DoPrepare() {
  TWipeMask::DoPrepare();
  Hard = params_[1] < 2;
}

bool TWipeBlindV::DrawMask() {
  const int64_t p0 = params_[0];
  const int64_t b = Progress(params_[1] + 2 * p0 - 2);
  if (b == LastLevel) return false;
  LastLevel = static_cast<int32_t>(b);
  for (int32_t r = 0; r < Mask.Height(); ++r)
    std::memset(MaskRow(r), SoftLevel(b, Reverse ? 2 * (p0 - r - 1) : 2 * int64_t{r}), static_cast<size_t>(W));
  return true;
}

// Ordered lines

void TWipeOrderHMask::SetParam(int index, int32_t value) { TCustomWipe::SetParam(index, std::max(value, 1)); }

void TWipeOrderHMask::DoPrepare() {
  TWipeMask::DoPrepare();
  levels_.assign(static_cast<size_t>(std::max(Lines(), 0)), 0);
  Hard = params_[1] < 2;
}

bool TWipeOrderHMask::DrawMask() {
  const int64_t b = Progress(Range());
  if (b == LastLevel) return false;
  LastLevel = static_cast<int32_t>(b);
  for (int32_t i = 0; i < static_cast<int32_t>(levels_.size()); ++i) levels_[static_cast<size_t>(i)] = SoftLevel(b, Order(i));
  WriteLevels();
  return true;
}

void TWipeOrderHMask::WriteLevels() { std::memcpy(MaskRow(0), levels_.data(), std::min<size_t>(levels_.size(), W)); }

void TWipeOrderVMask::WriteLevels() {
  for (int32_t y = 0; y < std::min<int32_t>(Mask.Height(), static_cast<int32_t>(levels_.size())); ++y)
    std::memset(MaskRow(y), levels_[static_cast<size_t>(y)], static_cast<size_t>(W));
}

namespace {
int64_t CurtainRange(int64_t n, int64_t p0, int64_t p1) { return ((n + p0 - 1) / p0 + p0 - 2) * 16 + p1; }
int64_t CurtainOrder(int64_t i, int64_t n, int64_t p0, bool reverse) {
  const int64_t x = reverse ? n - i - 1 : i;
  return 16 * (x / p0 + x % p0);
}
}  // namespace

int64_t TWipeCurtainH::Order(int32_t i) const { return CurtainOrder(i, W, params_[0], Reverse); }
int64_t TWipeCurtainH::Range() const { return CurtainRange(W, params_[0], params_[1]); }
int64_t TWipeCurtainV::Order(int32_t i) const { return CurtainOrder(i, H, params_[0], Reverse); }
int64_t TWipeCurtainV::Range() const { return CurtainRange(H, params_[0], params_[1]); }

// Grids

void TWipeGrid::DoPrepare() {
  TWipeMask::DoPrepare();
  cols_ = std::max<int64_t>(1, CeilDiv(W, params_[0]));
  rows_ = std::max<int64_t>(1, CeilDiv(H, params_[0]));
  Hard = params_[1] < 2;
}

int64_t TWipeGrid::CellOrder(int64_t i, int64_t j) const {
  return 4 * static_cast<int64_t>(std::llround(std::hypot(static_cast<double>(j), static_cast<double>(i))));
}
int64_t TWipeGrid::Span() const {
  return 4 * static_cast<int64_t>(std::llround(std::hypot(static_cast<double>(rows_ - 1), static_cast<double>(cols_ - 1))));
}

int32_t TWipeGridH::MaskHeight() const { return std::max(1, std::min(std::max(params_[0], 2), H)); }
int64_t TWipeGridH::CellOrder(int64_t i, int64_t) const { return 4 * i; }
int64_t TWipeGridH::Span() const { return 4 * cols_; }
int64_t TWipeGridV::CellOrder(int64_t, int64_t j) const { return 4 * j; }
int64_t TWipeGridV::Span() const { return 4 * rows_; }

bool TWipeGrid::DrawMask() {
  const int64_t c = params_[0], p1 = params_[1];
  const int64_t b = Progress(p1 + Span() - 4);
  if (b == LastLevel) return false;
  LastLevel = static_cast<int32_t>(b);
  ClearMask(Mask);
  const int64_t mh = Mask.Height();
  for (int64_t j = 0; j < rows_ && j * c < mh; ++j) {
    for (int64_t i = 0; i < cols_; ++i) {
      const int64_t e = Reverse ? CellOrder(cols_ - 1 - i, rows_ - 1 - j) : CellOrder(i, j);
      const uint8_t level = SoftLevel(b, e);
      if (level == 0) continue;
      const int64_t side = std::min(c, c * (b - e) / p1);
      const int64_t off = (c - side) / 2;
      FillMaskRect(Mask, i * c + off, j * c + off, i * c + off + side, j * c + off + side, level);
    }
  }
  return true;
}

// Dither

std::vector<int32_t> TWipeDither::TileOrder() {
  // The row permutation: s := s * 5 + seed, take the item at s mod (items left).
  constexpr uint32_t kSeed = 12341;
  std::vector<int32_t> left(4096), order;
  for (int32_t i = 0; i < 4096; ++i) left[static_cast<size_t>(i)] = i;
  order.reserve(4096);
  uint32_t s = 0;
  while (!left.empty()) {
    s = s * 5u + kSeed;
    const size_t k = s % left.size();
    order.push_back(left[k]);
    left.erase(left.begin() + static_cast<std::ptrdiff_t>(k));
  }
  return order;
}

void TWipeDither::DoPrepare() {
  TWipeMask::DoPrepare();
  if (order_.empty()) order_ = TileOrder();
  Hard = true;
}

bool TWipeDither::DrawMask() {
  const int64_t n = Progress(4096);
  if (n == LastLevel) return false;
  LastLevel = static_cast<int32_t>(n);
  uint8_t tile[64 * 64] = {};
  for (int64_t a = 0; a < n; ++a) tile[order_[static_cast<size_t>(a)]] = 255;
  for (int32_t y = 0; y < Mask.Height(); ++y) {
    uint8_t* row = MaskRow(y);
    const uint8_t* t = tile + (y % 64) * 64;
    for (int32_t x = 0; x < W; x += 64) std::memcpy(row + x, t, static_cast<size_t>(std::min(64, W - x)));
  }
  return true;
}

// Mask fade

void TWipeShadow::DoPrepare() {
  TWipeMask::DoPrepare();
  uniform_ = !LoadLevelImage(levels_);
  if (uniform_) levels_.clear();
}

bool TWipeShadow::DrawMask() {
  const int64_t p = Progress(512);
  if (p == LastLevel) return false;
  LastLevel = static_cast<int32_t>(p);
  uint8_t lut[256];
  for (int m = 0; m < 256; ++m) lut[m] = static_cast<uint8_t>(std::clamp<int64_t>(p + m - 256, 0, 255));
  for (int32_t y = 0; y < H; ++y) {
    uint8_t* row = MaskRow(y);
    if (uniform_) {
      std::memset(row, lut[255], static_cast<size_t>(W));
      continue;
    }
    const uint8_t* lv = levels_.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
    for (int32_t x = 0; x < W; ++x) row[x] = lut[lv[x]];
  }
  return true;
}

// Sectors and circles

void TWipeClockhand::DoPrepare() {
  TWipeMask::DoPrepare();
  Hard = true;
}

double TWipeClockhand::StartAngle() const {
  return params_[0] / 360.0 * 2 * std::numbers::pi - std::numbers::pi / 2;
}

bool TWipeClockhand::DrawMask() {
  const int32_t level = static_cast<int32_t>(std::clamp<int64_t>(Elapsed, 0, Duration));
  if (level == LastLevel) return false;
  LastLevel = level;
  ClearMask(Mask);
  const double sweep = T() * 2 * std::numbers::pi, a0 = StartAngle();
  wipe::FillSector(MaskRow(0), Mask.Pitch(), W, H, W / 2.0, H / 2.0, Reverse ? a0 - sweep : a0, sweep, 255);
  return true;
}

bool TWipeFan::DrawMask() {
  const int32_t level = static_cast<int32_t>(std::clamp<int64_t>(Elapsed, 0, Duration));
  if (level == LastLevel) return false;
  LastLevel = level;
  ClearMask(Mask);
  const double half = T() * std::numbers::pi, a0 = StartAngle();
  wipe::FillSector(MaskRow(0), Mask.Pitch(), W, H, W / 2.0, H / 2.0, a0 - half, 2 * half, 255);
  return true;
}

bool TWipeWFan::DrawMask() {
  const int32_t level = static_cast<int32_t>(std::clamp<int64_t>(Elapsed, 0, Duration));
  if (level == LastLevel) return false;
  LastLevel = level;
  ClearMask(Mask);
  const double half = T() * std::numbers::pi / 2, a0 = StartAngle();
  wipe::FillSector(MaskRow(0), Mask.Pitch(), W, H, W / 2.0, H / 2.0, a0 - half, 2 * half, 255);
  wipe::FillSector(MaskRow(0), Mask.Pitch(), W, H, W / 2.0, H / 2.0, a0 + std::numbers::pi - half, 2 * half, 255);
  return true;
}

void TWipeCircle::DoPrepare() {
  TWipeMask::DoPrepare();
  Hard = true;
}

bool TWipeCircle::DrawMask() {
  const double R = std::hypot(W / 2.0, H / 2.0);
  const int64_t r = std::llround(R * (Reverse ? 1.0 - T() : T()));
  if (r == LastLevel) return false;
  LastLevel = static_cast<int32_t>(r);
  for (int32_t y = 0; y < H; ++y) std::memset(MaskRow(y), Reverse ? 255 : 0, static_cast<size_t>(W));
  wipe::FillCircle(MaskRow(0), Mask.Pitch(), W, H, W / 2.0, H / 2.0, r, Reverse ? 0 : 255);
  return true;
}

// Blocks

void TWipeBlockCoil::DoPrepare() {
  TWipeMask::DoPrepare();
  Hard = true;
  blocks_.clear();
  if (W <= 0 || H <= 0) return;
  const int32_t s = std::max(1, std::min({std::max(10, params_[0]), W, H}));
  ListBlocks(s, static_cast<int32_t>(CeilDiv(W, s)), static_cast<int32_t>(CeilDiv(H, s)));
}

void TWipeBlockCoil::ListBlocks(int32_t s, int32_t cols, int32_t rows) {
  auto add = [&](int32_t c, int32_t r) {
    blocks_.push_back(rects::Make(c * s, r * s, std::min(W, (c + 1) * s), std::min(H, (r + 1) * s)));
  };
  blocks_.reserve(static_cast<size_t>(cols) * static_cast<size_t>(rows));
  // The remaining rectangle of cells [l, r) x [t, b), shrunk by each finished edge.
  int32_t l = 0, t = 0, r = cols, b = rows;
  while (l < r && t < b) {
    for (int32_t c = l; c < r; ++c) add(c, t);
    ++t;
    for (int32_t y = t; y < b; ++y) add(r - 1, y);
    --r;
    if (t < b)
      for (int32_t c = r - 1; c >= l; --c) add(c, b - 1);
    --b;
    if (l < r)
      for (int32_t y = b - 1; y >= t; --y) add(l, y);
    ++l;
  }
}

void TWipeBlockRandom::ListBlocks(int32_t s, int32_t cols, int32_t rows) {
  std::vector<TRect> grid;
  grid.reserve(static_cast<size_t>(cols) * static_cast<size_t>(rows));
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c)
      grid.push_back(rects::Make(c * s, r * s, std::min(W, (c + 1) * s), std::min(H, (r + 1) * s)));
  // Each next block chosen uniformly among those left.
  TWipeRandom& rnd = Random();
  for (size_t left = grid.size(); left > 0; --left) {
    const size_t k = rnd.Below(static_cast<uint32_t>(left));
    blocks_.push_back(grid[k]);
    grid[k] = grid[left - 1];
  }
}

bool TWipeBlockCoil::DrawMask() {
  const int64_t total = static_cast<int64_t>(blocks_.size());
  // The first total * Elapsed div Duration blocks (from the end of the list when reversed):
  // none at the start, all but the last at the end.
  const int64_t k = Progress(total);
  if (k == LastLevel) return false;
  LastLevel = static_cast<int32_t>(k);
  ClearMask(Mask);
  for (int64_t i = 0; i < k; ++i) {
    const TRect& r = blocks_[static_cast<size_t>(Reverse ? total - 1 - i : i)];
    FillMaskRect(Mask, r.left, r.top, r.right, r.bottom, 255);
  }
  return true;
}

}  // namespace qubo
