#include "render/wipemotion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "render/pixelstore.h"
#include "render/wiperows.h"

namespace qubo {

using wipe::TLockedRows;

namespace {

int32_t ClampI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

// Shrinking and growing

void TWipeSmall::DoPrepare() { hasDiff_ = Option && wipe::DifferenceMask(*from_, *to_, W, H, diff_); }

void TWipeSmall::DrawStep() {
  const TRect all = dest_->BoundsRect();
  dest_->Draw(0, 0, false, false, false, all, *to_);
  const double c = static_cast<double>(int64_t{Duration} - Elapsed - 1) / Duration;
  const int32_t opacity = wipe::RoundI32(c * 255);
  if (opacity <= 0 || !(c > 0)) return;
  double angle = params_[0] * T() / 256 * 2 * std::numbers::pi;
  if (Reverse) angle = -angle;
  wipe::RotateDraw32(*dest_, W / 2, H / 2, static_cast<uint32_t>(opacity), angle, W / 2, H / 2, all, *from_, c, c,
                     hasDiff_ ? &diff_ : nullptr);
}

void TWipeBig::DrawStep() {
  const TRect all = dest_->BoundsRect();
  dest_->Draw(0, 0, false, false, false, all, *from_);
  const double t = T();
  const int32_t opacity = wipe::RoundI32(t * 255);
  if (opacity <= 0 || !(t > 0)) return;
  double angle = params_[0] * t / 256 * 2 * std::numbers::pi;
  if (Reverse) angle = -angle;
  wipe::RotateDraw32(*dest_, W / 2, H / 2, static_cast<uint32_t>(opacity), angle, W / 2, H / 2, all, *to_, t, t,
                     hasDiff_ ? &diff_ : nullptr);
}

// Ripple

void TWipeRipple::SetParam(int index, int32_t value) {
  TCustomWipe::SetParam(index, value);
  if (index == 0 && !wave_.empty()) BuildWave();
}

void TWipeRipple::BuildWave() {
  // Four saw teeth of height param 0; a table too short for four teeth stays flat.
  wave_.assign(static_cast<size_t>(std::max(n_, 1)), 0);
  const int64_t q = n_ / 4;
  if (q <= 0) return;
  for (int64_t i = 0; i < n_; ++i) wave_[static_cast<size_t>(i)] = ClampI32((i % q) * params_[0] / q);
}

void TWipeRipple::DoPrepare() {
  qw_ = (W + 1) / 2, qh_ = (H + 1) / 2;
  n_ = static_cast<int32_t>(2 * int64_t{std::min(W / 2, H / 2)} / 3);
  const double offX = W % 2 ? 0.0 : 0.5, offY = H % 2 ? 0.0 : 0.5;
  const size_t count = static_cast<size_t>(qw_) * static_cast<size_t>(qh_);
  dist_.resize(count), cos_.resize(count), sin_.resize(count);
  for (int32_t j = 0; j < qh_; ++j)
    for (int32_t i = 0; i < qw_; ++i) {
      const double dx = i + offX, dy = j + offY, h = std::sqrt(dx * dx + dy * dy);
      const size_t k = static_cast<size_t>(j) * static_cast<size_t>(qw_) + static_cast<size_t>(i);
      dist_[k] = wipe::RoundI32(h);
      cos_[k] = h > 0 ? static_cast<int32_t>(std::trunc(dx / h * 65536)) : 65536;
      sin_[k] = h > 0 ? static_cast<int32_t>(std::trunc(dy / h * 65536)) : 0;
    }
  BuildWave();
}

void TWipeRipple::DrawStep() {
  const size_t count = static_cast<size_t>(qw_) * static_cast<size_t>(qh_);
  if (dist_.size() != count || count == 0) return;
  const int64_t n = n_;
  const int64_t F = Progress(int64_t{wipe::RoundI32(std::hypot(H / 2.0, W / 2.0))} + n);
  const double offX = W % 2 ? 0.0 : 0.5, offY = H % 2 ? 0.0 : 0.5;
  TLockedRows d(*dest_), f(*from_), t(*to_);
  if (!d.ok() || !f.ok() || !t.ok()) return;
  // Quarter coordinates to the four mirrored pixels.
  const int32_t xr = W / 2, xl = (W - 1) / 2, yb = H / 2, yt = (H - 1) / 2;
  for (int32_t j = 0; j < qh_; ++j)
    for (int32_t i = 0; i < qw_; ++i) {
      const size_t q = static_cast<size_t>(j) * static_cast<size_t>(qw_) + static_cast<size_t>(i);
      const int64_t k = dist_[q] + (n - 1) - F;
      // 0: From, 1: To, 2: To sampled at (si, sj) of the quarter.
      int mode = 1;
      int32_t si = i, sj = j;
      if (dist_[q] >= F) {
        mode = 0;
      } else if (k >= 0 && k < n - 1) {
        const int64_t r = int64_t{dist_[q]} + wave_[static_cast<size_t>(k)];
        const double px = static_cast<double>(r * cos_[q]) / 65536.0, py = static_cast<double>(r * sin_[q]) / 65536.0;
        const double fi = std::floor(px - offX + 0.5), fj = std::floor(py - offY + 0.5);
        if (fi >= 0 && fj >= 0 && fi < qw_ && fj < qh_) si = static_cast<int32_t>(fi), sj = static_cast<int32_t>(fj);
        mode = 2;
      }
      for (int quad = 0; quad < 4; ++quad) {
        const bool right = quad & 1, down = quad & 2;
        const int32_t x = right ? xr + i : xl - i, y = down ? yb + j : yt - j;
        uint32_t v;
        if (mode == 0) {
          v = f.Row32(y)[x];
        } else if (mode == 1) {
          v = t.Row32(y)[x];
        } else {
          const int32_t sx = right ? xr + si : xl - si, sy = down ? yb + sj : yt - sj;
          v = t.Row32(sy)[sx];
        }
        d.Row32(y)[x] = v;
      }
    }
}

// Blurs

void TWipeBlurWhite::DoPrepare() {
  const int32_t r = std::min(W, H) / 20;
  const TRect all = rects::Make(0, 0, W, H);
  blurFrom_.SetSize(W, H, 32);
  blurTo_.SetSize(W, H, 32);
  blurFrom_.Draw(0, 0, false, false, false, all, *from_);
  blurTo_.Draw(0, 0, false, false, false, all, *to_);
  blurFrom_.Storage().Blur(32, r);
  blurTo_.Storage().Blur(32, r);
}

void TWipeBlurWhite::Light(int32_t g) { dest_->FillRectAdd(dest_->BoundsRect(), Grey(g)); }
void TWipeBlurBlack::Light(int32_t g) { dest_->FillRectSub(dest_->BoundsRect(), Grey(g)); }

void TWipeBlurWhite::DrawStep() {
  if (blurFrom_.Width() != W || blurFrom_.Height() != H) return;
  const TRect all = dest_->BoundsRect();
  const int64_t b = Progress(639);
  if (b < 256) {
    dest_->Draw(0, 0, false, false, false, all, *from_);
    if (b > 0) dest_->DrawBlend(0, 0, static_cast<uint32_t>(b), false, false, false, all, blurFrom_);
  } else if (b < 320) {
    dest_->Draw(0, 0, false, false, false, all, blurFrom_);
    Light(static_cast<int32_t>((b - 256) * 4));
  } else if (b < 384) {
    dest_->Draw(0, 0, false, false, false, all, blurTo_);
    Light(static_cast<int32_t>((383 - b) * 4));
  } else {
    dest_->Draw(0, 0, false, false, false, all, *to_);
    if (639 - b > 0) dest_->DrawBlend(0, 0, static_cast<uint32_t>(std::min<int64_t>(639 - b, 255)), false, false, false, all, blurTo_);
  }
}

// Twists

void TWipeTwistH::DrawStep() {
  const double A = T() * 3 * std::numbers::pi / 2;
  TLockedRows d(*dest_), f(*from_), t(*to_);
  if (!d.ok() || !f.ok() || !t.ok()) return;
  for (int32_t y = 0; y < H; ++y) {
    const int32_t yy = Reverse ? H - 1 - y : y;
    const double e = A - static_cast<double>(yy) / H * std::numbers::pi / 2;
    uint32_t* dr = d.Row32(y);
    if (e < 0) {
      std::memcpy(dr, f.Row32(y), static_cast<size_t>(W) * 4);
      continue;
    }
    if (e >= std::numbers::pi) {
      std::memcpy(dr, t.Row32(y), static_cast<size_t>(W) * 4);
      continue;
    }
    std::memset(dr, 0, static_cast<size_t>(W) * 4);
    const double c = std::cos(e);
    const int64_t span = std::min<int64_t>(W, std::llabs(std::llround(c * W)));
    if (span <= 0) continue;
    const uint32_t* src = c > 0 ? f.Row32(y) : t.Row32(y);
    const int64_t left = (W - span) / 2;
    for (int64_t k = 0; k < span; ++k) dr[left + k] = src[((2 * k + 1) * W) / (2 * span)];
  }
}

void TWipeTwistV::DrawStep() {
  const double A = T() * 3 * std::numbers::pi / 2;
  top_.resize(static_cast<size_t>(W)), span_.resize(static_cast<size_t>(W)), mode_.resize(static_cast<size_t>(W));
  // Per column: 0 From, 1 To, 2 From squeezed, 3 To squeezed.
  for (int32_t x = 0; x < W; ++x) {
    const int32_t xx = Reverse ? W - 1 - x : x;
    const double e = A - static_cast<double>(xx) / W * std::numbers::pi / 2;
    const size_t i = static_cast<size_t>(x);
    if (e < 0) {
      mode_[i] = 0;
    } else if (e >= std::numbers::pi) {
      mode_[i] = 1;
    } else {
      const double c = std::cos(e);
      span_[i] = static_cast<int32_t>(std::min<int64_t>(H, std::llabs(std::llround(c * H))));
      top_[i] = (H - span_[i]) / 2;
      mode_[i] = c > 0 ? 2 : 3;
    }
  }
  TLockedRows d(*dest_), f(*from_), t(*to_);
  if (!d.ok() || !f.ok() || !t.ok()) return;
  for (int32_t y = 0; y < H; ++y) {
    uint32_t* dr = d.Row32(y);
    for (int32_t x = 0; x < W; ++x) {
      const size_t i = static_cast<size_t>(x);
      switch (mode_[i]) {
        case 0: dr[x] = f.Row32(y)[x]; break;
        case 1: dr[x] = t.Row32(y)[x]; break;
        default: {
          const int64_t k = int64_t{y} - top_[i], span = span_[i];
          if (k < 0 || k >= span) {
            dr[x] = 0;
            break;
          }
          const int32_t sy = static_cast<int32_t>(((2 * k + 1) * H) / (2 * span));
          dr[x] = (mode_[i] == 2 ? f : t).Row32(sy)[x];
        }
      }
    }
  }
}

// Falling chips

int64_t TWipeCrack::FallLength(int64_t h) {
  h = std::max<int64_t>(h, 0);
  // The positive root of 5u^2 - 1500u = 1000 (h + 1), then corrected to the exact integer.
  int64_t u = static_cast<int64_t>(std::ceil((1500.0 + std::sqrt(1500.0 * 1500.0 + 20000.0 * (static_cast<double>(h) + 1))) / 10));
  while (u > 0 && Drop(u - 1) > h) --u;
  while (Drop(u) <= h) ++u;
  return u;
}

void TWipeCrack::DoPrepare() {
  params_[0] = std::max(params_[0], 16);
  params_[1] = std::max(params_[1], 0);
  chips_.clear();
  hasDiff_ = Option && wipe::DifferenceMask(*from_, *to_, W, H, diff_);
  if (W <= 0 || H <= 0) return;
  const int64_t s = params_[0];
  const int64_t cols = (W + s - 1) / s, rows = (H + s - 1) / s;
  std::vector<TRect> grid;
  grid.reserve(static_cast<size_t>(cols * rows));
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c)
      grid.push_back(rects::Make(static_cast<int32_t>(c * s), static_cast<int32_t>(r * s),
                                 static_cast<int32_t>(std::min<int64_t>(W, (c + 1) * s)),
                                 static_cast<int32_t>(std::min<int64_t>(H, (r + 1) * s))));
  TWipeRandom& rnd = Random();
  chips_.reserve(grid.size());
  for (size_t left = grid.size(); left > 0; --left) {
    const size_t k = rnd.Below(static_cast<uint32_t>(left));
    TWipeCrackDraw chip;
    chip.rect = grid[k];
    grid[k] = grid[left - 1];
    chip.start = static_cast<int64_t>(chips_.size()) * params_[1];
    chip.drift = rnd.Range(-100, 99);
    chips_.push_back(chip);
  }
  if (hasDiff_) {
    TLockedRows m(diff_);
    for (TWipeCrackDraw& c : chips_) {
      int64_t differ = 0;
      for (int32_t y = c.rect.top; y < c.rect.bottom; ++y)
        for (int32_t x = c.rect.left; x < c.rect.right; ++x) differ += m.Row(y)[x] != 0;
      const int64_t area = rects::Width(c.rect) * rects::Height(c.rect);
      c.kind = differ == 0 ? 0 : differ == area ? 1 : 2;
    }
  }
  fall_ = FallLength(H);
  timeline_ = fall_ + (static_cast<int64_t>(chips_.size()) - 1) * params_[1];
}

void TWipeCrack::DrawChip(const TWipeCrackDraw& c, int64_t dx, int64_t dy) {
  if (hasDiff_ && c.kind == 0) return;
  const int32_t x = ClampI32(c.rect.left + dx), y = ClampI32(c.rect.top + dy);
  if (hasDiff_ && c.kind == 2) {
    dest_->DrawAlpha(x, y, diff_, false, false, c.rect, *from_);
    return;
  }
  dest_->Draw(x, y, false, false, false, c.rect, *from_);
}

void TWipeCrack::DrawStep() {
  dest_->Draw(0, 0, false, false, false, dest_->BoundsRect(), *to_);
  if (chips_.empty()) return;
  const int64_t now = Progress(timeline_);
  const int64_t p1 = params_[1];
  // Chips 0 .. last have started.
  const int64_t last = p1 > 0 ? std::min<int64_t>(now / p1, static_cast<int64_t>(chips_.size()) - 1)
                              : static_cast<int64_t>(chips_.size()) - 1;
  for (size_t i = static_cast<size_t>(last + 1); i < chips_.size(); ++i) DrawChip(chips_[i], 0, 0);
  for (int64_t i = last; i >= 0; --i) {
    const TWipeCrackDraw& c = chips_[static_cast<size_t>(i)];
    const int64_t u = std::min(now - c.start, fall_);
    const int64_t dy = Drop(u);
    if (c.rect.top + dy >= H) continue;  // below the picture for good
    DrawChip(c, DriftX(u, c.drift), dy);
  }
}

// Zoom

void TWipeZoomin::DrawStep() {
  const double d = 2 * T();
  const bool first = d <= 1;
  TCustomDIBX& pic = first ? *from_ : *to_;
  const double g = first ? 1 - d : d - 1, f = first ? d : 2 - d;
  const int32_t pw = std::clamp(wipe::RoundI32(W * g), 1, W), ph = std::clamp(wipe::RoundI32(H * g), 1, H);
  const double cx = W / 2.0 + (params_[0] - W / 2.0) * f, cy = H / 2.0 + (params_[1] - H / 2.0) * f;
  const int32_t left = std::clamp(wipe::RoundI32(cx - pw / 2.0), 0, W - pw);
  const int32_t top = std::clamp(wipe::RoundI32(cy - ph / 2.0), 0, H - ph);
  wipe::StretchDraw32(*dest_, dest_->BoundsRect(), pic, rects::Make(left, top, left + pw, top + ph), 255);
}

}  // namespace qubo
