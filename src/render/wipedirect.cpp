#include "render/wipedirect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/crossfade.h"
#include "render/wiperows.h"

namespace qubo {

using wipe::TLockedRows;

// Fade and scrolls

void TWipeFade::DrawStep() {
  const TRect all = dest_->BoundsRect();
  const int64_t opacity = Progress(256);
  const double c = static_cast<double>(int64_t{Duration} - Elapsed - 1) / Duration;
  const int32_t ox = wipe::RoundI32(c * params_[0]), oy = wipe::RoundI32(c * params_[1]);
  const uint32_t a = static_cast<uint32_t>(std::clamp<int64_t>(opacity, 0, 255));
  const bool sameShape = from_->Width() == W && from_->Height() == H && to_->Width() == W && to_->Height() == H;
  if (a > 0 && ox == 0 && oy == 0 && sameShape && dest_->BitCount() == 32) {
    // The same pixels as the copy and blend below, in one pass.
    CrossFade(*dest_, *from_, *to_, a);
    return;
  }
  dest_->Draw(0, 0, false, false, false, all, *from_);
  if (a > 0) dest_->DrawBlend(ox, oy, a, false, false, false, all, *to_);
}

void TWipeScrollH::DrawStep() {
  const TRect all = dest_->BoundsRect();
  const int32_t a = static_cast<int32_t>(Progress(W));
  dest_->Draw(Reverse ? a : -a, 0, false, false, false, all, *from_);
  dest_->Draw(Reverse ? a - W : W - a, 0, false, false, false, all, *to_);
}

void TWipeScrollV::DrawStep() {
  const TRect all = dest_->BoundsRect();
  const int32_t a = static_cast<int32_t>(Progress(H));
  dest_->Draw(0, Reverse ? a : -a, false, false, false, all, *from_);
  dest_->Draw(0, Reverse ? a - H : H - a, false, false, false, all, *to_);
}

// Through white or black

void TWipeWhite::Light(const TRect& r, int32_t g) { dest_->FillRectAdd(r, Grey(g)); }
void TWipeBlack::Light(const TRect& r, int32_t g) { dest_->FillRectSub(r, Grey(g)); }

void TWipeWhite::DrawStep() {
  const TRect all = dest_->BoundsRect();
  const int32_t a = static_cast<int32_t>(Progress(511));
  if (a < 256) {
    dest_->Draw(0, 0, false, false, false, all, *from_);
    Light(all, a);
  } else {
    dest_->Draw(0, 0, false, false, false, all, *to_);
    Light(all, 511 - a);
  }
}

void TWipeFlash::DrawStep() {
  const TRect all = dest_->BoundsRect();
  const int32_t b = static_cast<int32_t>(Progress(255));
  dest_->Draw(0, 0, false, false, false, all, *to_);
  dest_->FillRectAdd(all, Grey(255 - b));
}

// Mosaic

void TWipeMosaic::DoPrepare() { work_.SetSize(std::max(W, 1), std::max(H, 1), 32); }

void TWipeMosaic::DrawStep() {
  const int64_t b = Progress(1023);
  const int64_t s = b < 512 ? 263 - (b / 2) * 15 / 16 : ((b - 512) / 2) * 15 / 16 + 24;
  // At least one block each way, also on screens narrower than 4 pixels.
  const int32_t ww = static_cast<int32_t>(std::clamp<int64_t>((W / 4) * s / 256, 1, std::max(W, 1)));
  const int32_t wh = static_cast<int32_t>(std::clamp<int64_t>((H / 4) * s / 256, 1, std::max(H, 1)));
  const TRect all = dest_->BoundsRect(), small = rects::Make(0, 0, ww, wh);
  work_.ResetClip();
  if (b < 768) {
    wipe::StretchDraw32(work_, small, *from_, all, 255);
    if (b >= 256) {
      const int64_t a = b < 512 ? (b - 256) / 4 : (b - 256) / 2;
      wipe::StretchDraw32(work_, small, *to_, all, static_cast<uint32_t>(std::min<int64_t>(a, 255)));
    }
  } else {
    wipe::StretchDraw32(work_, small, *to_, all, 255);
  }
  wipe::StretchDraw32(*dest_, all, work_, small, 255);
}

// Smearing kinds

int64_t RubberBand(int64_t elapsed, int64_t duration, int64_t x) {
  if (duration <= 0) return 1;
  const double half = duration / 2.0;
  const double w = std::fabs(static_cast<double>(elapsed) - half) * (x / 2.0) / half;
  return std::clamp<int64_t>(std::llround(w) + 1, 1, x + 1);
}

int64_t TWipeSudareH::Band(int64_t) const { return 1; }
int64_t TWipeSudareV::Band(int64_t) const { return 1; }
int64_t TWipeRubberH::Band(int64_t x) const { return RubberBand(Elapsed, Duration, x); }
int64_t TWipeRubberV::Band(int64_t y) const { return RubberBand(Elapsed, Duration, y); }

namespace {

// The logical line of the picture shown at each logical line of the destination: the band
// of n lines ending at line x is stretched over lines 0 .. x, the rest is in place.
void SmearMap(std::vector<int32_t>& map, int32_t lines, int64_t x, int64_t band) {
  map.resize(static_cast<size_t>(lines));
  const int64_t first = x - band + 1;
  for (int64_t i = 0; i < lines; ++i)
    map[static_cast<size_t>(i)] =
        static_cast<int32_t>(i <= x ? first + ((2 * i + 1) * band) / (2 * (x + 1)) : i);
}

}  // namespace

void TWipeSudareH::DrawStep() {
  int64_t x = Progress(2 * int64_t{W} - 1);
  TCustomDIBX* pic = from_;
  if (x >= W) pic = to_, x = 2 * int64_t{W} - x - 1;
  SmearMap(map_, W, x, Band(x));
  TLockedRows d(*dest_), p(*pic);
  if (!d.ok() || !p.ok()) return;
  for (int32_t y = 0; y < H; ++y) {
    uint32_t* dr = d.Row32(y);
    const uint32_t* pr = p.Row32(y);
    // Reversed, the geometry is mirrored: logical column i is column W - 1 - i.
    if (Reverse)
      for (int32_t i = 0; i < W; ++i) dr[W - 1 - i] = pr[W - 1 - map_[static_cast<size_t>(i)]];
    else
      for (int32_t i = 0; i < W; ++i) dr[i] = pr[map_[static_cast<size_t>(i)]];
  }
}

void TWipeSudareV::DrawStep() {
  int64_t x = Progress(2 * int64_t{H} - 1);
  TCustomDIBX* pic = from_;
  if (x >= H) pic = to_, x = 2 * int64_t{H} - x - 1;
  SmearMap(map_, H, x, Band(x));
  TLockedRows d(*dest_), p(*pic);
  if (!d.ok() || !p.ok()) return;
  for (int32_t i = 0; i < H; ++i) {
    const int32_t dy = Reverse ? H - 1 - i : i;
    const int32_t sy = Reverse ? H - 1 - map_[static_cast<size_t>(i)] : map_[static_cast<size_t>(i)];
    std::memcpy(d.Row(dy), p.Row(sy), static_cast<size_t>(W) * 4);
  }
}

// Spot

void TWipeSpot::SetReverse(bool flag) {
  TCustomWipe::SetReverse(flag);
  if (!dist_.empty()) BuildDistances();
}

void TWipeSpot::DoPrepare() { BuildDistances(); }

void TWipeSpot::BuildDistances() {
  radius_ = wipe::RoundI32(std::hypot(H / 2.0, W / 2.0));
  dist_.resize(static_cast<size_t>(std::max(W, 0)) * static_cast<size_t>(std::max(H, 0)));
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const int32_t d = wipe::CentreDistance(x, y, W, H);
      dist_[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)] =
          Reverse ? std::max(0, radius_ - d) : d;
    }
}

void TWipeSpot::DrawStep() {
  if (dist_.size() != static_cast<size_t>(W) * static_cast<size_t>(H)) return;
  const int64_t b = Progress(int64_t{radius_} + 512);
  TLockedRows d(*dest_), f(*from_), t(*to_);
  if (!d.ok() || !f.ok() || !t.ok()) return;
  for (int32_t y = 0; y < H; ++y) {
    uint32_t* dr = d.Row32(y);
    const uint32_t* fr = f.Row32(y);
    const uint32_t* tr = t.Row32(y);
    const int32_t* dd = dist_.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
    for (int32_t x = 0; x < W; ++x) {
      const int64_t k = b - dd[x];
      if (k < 0)
        dr[x] = fr[x];
      else if (k < 256)
        dr[x] = wipe::AddGrey(fr[x], static_cast<uint32_t>(k));
      else if (k < 512)
        dr[x] = wipe::AddGrey(tr[x], static_cast<uint32_t>(511 - k));
      else
        dr[x] = tr[x];
    }
  }
}

// Mask order through white or black

void TWipeShadowWhite::DoPrepare() {
  uniform_ = !LoadLevelImage(levels_);
  if (uniform_) levels_.clear();
}

void TWipeShadowWhite::DrawStep() {
  const int64_t p = Progress(768);
  uint16_t lut[256];
  for (int m = 0; m < 256; ++m) lut[m] = static_cast<uint16_t>(std::clamp<int64_t>(p + m - 256, 0, 511));
  TLockedRows d(*dest_), f(*from_), t(*to_);
  if (!d.ok() || !f.ok() || !t.ok()) return;
  const bool dark = Darkens();
  for (int32_t y = 0; y < H; ++y) {
    uint32_t* dr = d.Row32(y);
    const uint32_t* fr = f.Row32(y);
    const uint32_t* tr = t.Row32(y);
    const uint8_t* lv = uniform_ ? nullptr : levels_.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
    for (int32_t x = 0; x < W; ++x) {
      const uint32_t v = lut[lv ? lv[x] : 255];
      const uint32_t src = v <= 255 ? fr[x] : tr[x];
      const uint32_t g = v <= 255 ? v : 511 - v;
      dr[x] = dark ? wipe::SubGrey(src, g) : wipe::AddGrey(src, g);
    }
  }
}

}  // namespace qubo
