#include "render/wipe.h"

#include <algorithm>
#include <cstring>

#include "render/drawrows.h"
#include "render/pixelstore.h"
#include "render/wipedirect.h"
#include "render/wipemasks.h"
#include "render/wipemotion.h"
#include "render/wiperows.h"

namespace qubo {

// Random sources

int32_t TWipeRandom::Range(int32_t lo, int32_t hi) {
  if (hi <= lo) return lo;
  const uint64_t span = static_cast<uint64_t>(int64_t{hi} - lo) + 1;
  if (span > 0xFFFFFFFFull) return static_cast<int32_t>(int64_t{lo} + Below(0xFFFFFFFFu));
  return static_cast<int32_t>(int64_t{lo} + Below(static_cast<uint32_t>(span)));
}

void TWipeSeededRandom::Seed(uint64_t seed) { state_ = seed ? seed : 0x9E3779B97F4A7C15ull; }

uint32_t TWipeSeededRandom::Below(uint32_t n) {
  if (n == 0) return 0;
  // xorshift64*, then the high half scaled to [0, n) with rejection of the biased tail.
  const uint64_t limit = (uint64_t{1} << 32) - ((uint64_t{1} << 32) % n);
  for (;;) {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const uint64_t v = (state_ * 0x2545F4914F6CDD1Dull) >> 32;
    if (v < limit) return static_cast<uint32_t>(v % n);
  }
}

// TCustomWipe

TCustomWipe::TCustomWipe(TCustomDIBX* dest, TCustomDIBX* from, TCustomDIBX* to) : dest_(dest), from_(from), to_(to) {
  if (dest_) {
    W = dest_->Width();
    H = dest_->Height();
  }
}

TCustomWipe::~TCustomWipe() = default;

int32_t TCustomWipe::GetParam(int index) const { return index == 0 || index == 1 ? params_[index] : 0; }

void TCustomWipe::SetParam(int index, int32_t value) {
  if (index == 0 || index == 1) params_[index] = value;
}

void TCustomWipe::SetServices(const TWipeServices& services) { services_ = services; }

void TCustomWipe::SetSourceImage(TCustomDIBX& image) {
  sourceImage_.reset();
  if (image.IsEmpty() || (image.BitCount() != 8 && image.BitCount() != 32)) return;
  sourceImage_ = std::make_unique<TDIBX>();
  sourceImage_->SetSize(image.Width(), image.Height(), image.BitCount());
  if (image.BitCount() == 8) {
    TPaletteEntry pal[256];
    image.GetPalette(pal);
    sourceImage_->SetPalette(pal);
  }
  sourceImage_->Draw(0, 0, false, false, false, image.BoundsRect(), image);
}

TWipeRandom& TCustomWipe::Random() {
  if (services_.random) return *services_.random;
  if (!ownRandom_) ownRandom_ = std::make_unique<TWipeSeededRandom>(1);
  return *ownRandom_;
}

int64_t TCustomWipe::Progress(int64_t n) const {
  if (Duration <= 0) return n;
  // 128-bit product: n may itself be a long timeline.
  const __int128 e = std::clamp<int64_t>(Elapsed, 0, Duration);
  return static_cast<int64_t>(e * n / Duration);
}

double TCustomWipe::T() const {
  if (Duration <= 0) return 1.0;
  return static_cast<double>(std::clamp<int64_t>(Elapsed, 0, Duration)) / static_cast<double>(Duration);
}

uint32_t TCustomWipe::Grey(int32_t g) const {
  g = std::clamp(g, 0, 255);
  const int32_t ref = g | (g << 8) | (g << 16);
  const int32_t p = dest_ ? dest_->ColorToPixel(ref) : ref;
  return static_cast<uint32_t>(p);
}

bool TCustomWipe::LoadLevelImage(std::vector<uint8_t>& out) {
  if (W <= 0 || H <= 0) return false;
  std::vector<uint8_t> grey;
  int32_t iw = 0, ih = 0;
  if (sourceImage_) {
    grey = wipe::GreyLevels(*sourceImage_);
    iw = sourceImage_->Width(), ih = sourceImage_->Height();
  } else if (!Source.empty() && services_.loadImage) {
    TDIBX img;
    bool found = false;
    try {
      found = services_.loadImage(Source, img);
    } catch (...) {
      // A damaged image is as good as none: the transition runs with a uniform mask.
      found = false;
    }
    if (found && !img.IsEmpty()) {
      grey = wipe::GreyLevels(img);
      iw = img.Width(), ih = img.Height();
    }
  }
  // An empty image counts as missing.
  if (grey.empty() || iw <= 0 || ih <= 0) return false;
  out.resize(static_cast<size_t>(W) * static_cast<size_t>(H));
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* src = grey.data() + static_cast<size_t>(y % ih) * static_cast<size_t>(iw);
    uint8_t* o = out.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
    for (int32_t x = 0; x < W; ++x) {
      const uint8_t v = src[x % iw];
      o[x] = Reverse ? static_cast<uint8_t>(255 - v) : v;
    }
  }
  return true;
}

bool TCustomWipe::Step() {
  if (!dest_) return true;
  ChangedRect = dest_->BoundsRect();
  const bool finished = Duration <= 0 || Elapsed >= Duration;
  W = dest_->Width(), H = dest_->Height();
  if (dest_->IsEmpty() || !from_ || !to_ || from_ == dest_ || to_ == dest_) return finished;
  const int bits = dest_->BitCount();
  if (!DrawsDepth(bits) || from_->BitCount() != bits || to_->BitCount() != bits) return finished;
  if (from_->Width() < W || from_->Height() < H || to_->Width() < W || to_->Height() < H) return finished;
  dest_->AddClipRect(dest_->BoundsRect());
  if (finished) {
    // The end state is the new picture, whatever the kind.
    dest_->Draw(0, 0, false, false, false, dest_->BoundsRect(), *to_);
    return true;
  }
  if (!prepared_ || preparedW_ != W || preparedH_ != H) Prepare();
  DrawStep();
  return false;
}

void TCustomWipe::Prepare() {
  if (dest_) W = dest_->Width(), H = dest_->Height();
  prepared_ = true;
  preparedW_ = W, preparedH_ = H;
  DoPrepare();
}

// TWipeMask

void TWipeMask::SetParam(int index, int32_t value) {
  if (index == 0) value = std::max(value, 2);
  if (index == 1) value = std::max(value, 1);
  TCustomWipe::SetParam(index, value);
}

void TWipeMask::DoPrepare() {
  maskReady_ = false;
  LastLevel = -1;
  if (W <= 0 || H <= 0) return;
  const int32_t mh = std::max<int32_t>(1, MaskHeight());
  Mask.SetSize(W, mh, 8);
  if (Mask.Width() != W || Mask.Height() != mh) return;
  Mask.Clear(0);
  maskReady_ = true;
}

uint8_t* TWipeMask::MaskRow(int32_t y) { return Mask.Storage().Row(y); }

uint8_t TWipeMask::SoftLevel(int64_t b, int64_t e) const {
  if (b < e) return 0;
  const int64_t p1 = std::max<int32_t>(params_[1], 1);
  return static_cast<uint8_t>(std::min<int64_t>(255, (b - e) * 255 / p1));
}

void TWipeMask::DrawStep() {
  if (!maskReady_) return;
  if (!DrawMask()) return;
  const int32_t mh = Mask.Height();
  wipe::TLockedRows d(*dest_), f(*from_), t(*to_), m(Mask);
  if (!d.ok() || !f.ok() || !t.ok() || !m.ok()) return;
  if (dest_->BitCount() == 32) {
    const auto& k = rows::Kernels32();
    const bool hard = Hard;
    for (int32_t y = 0; y < H; ++y)
      k.crossFadeMask(d.Row32(y), f.Row32(y), t.Row32(y), m.Row(y % mh), W, hard);
  } else {
    for (int32_t y = 0; y < H; ++y) {
      std::memcpy(d.Row(y), f.Row(y), static_cast<size_t>(W));
      rows::Alpha8(d.Row(y), t.Row(y), m.Row(y % mh), W);
    }
  }
}

// The factory

namespace {

struct TKindEntry {
  int32_t param0, param1;
  std::unique_ptr<TCustomWipe> (*make)(TCustomDIBX*, TCustomDIBX*, TCustomDIBX*);
};

template <typename T>
std::unique_ptr<TCustomWipe> Make(TCustomDIBX* d, TCustomDIBX* f, TCustomDIBX* t) {
  return std::make_unique<T>(d, f, t);
}

const TKindEntry kKinds[] = {
    {0, 0, nullptr},                         // WP_NONE
    {0, 0, Make<TWipeFade>},                 // WP_FADE
    {20, 1, Make<TWipeBlindH>},              // WP_BLINDH
    {20, 1, Make<TWipeBlindV>},              // WP_BLINDV
    {30, 1, Make<TWipeCurtainH>},            // WP_CURTAINH
    {30, 1, Make<TWipeCurtainV>},            // WP_CURTAINV
    {0, 0, Make<TWipeScrollH>},              // WP_SCROLLH
    {0, 0, Make<TWipeScrollV>},              // WP_SCROLLV
    {80, 30, Make<TWipeGrid>},               // WP_GRID
    {80, 30, Make<TWipeGridH>},              // WP_GRIDH
    {80, 30, Make<TWipeGridV>},              // WP_GRIDV
    {0, 0, Make<TWipeDither>},               // WP_DITHER
    {0, 0, Make<TWipeWhite>},                // WP_WHITE
    {0, 0, Make<TWipeBlack>},                // WP_BLACK
    {0, 0, Make<TWipeFlash>},                // WP_FLASH
    {0, 0, Make<TWipeMosaic>},               // WP_MOSAIC
    {0, 0, Make<TWipeSudareH>},              // WP_SUDAREH
    {0, 0, Make<TWipeSudareV>},              // WP_SUDAREV
    {0, 0, Make<TWipeSpot>},                 // WP_SPOT
    {0, 0, Make<TWipeShadow>},               // WP_MASKFADE
    {0, 0, Make<TWipeShadowWhite>},          // WP_MASKWHITE
    {0, 0, Make<TWipeShadowBlack>},          // WP_MASKBLACK
    {0, 0, Make<TWipeSmall>},                // WP_SMALL
    {0, 0, Make<TWipeBig>},                  // WP_BIG
    {5, 0, Make<TWipeRipple>},               // WP_RIPPLE
    {0, 0, Make<TWipeBlurWhite>},            // WP_BLURWHITE
    {0, 0, Make<TWipeBlurBlack>},            // WP_BLURBLACK
    {0, 0, Make<TWipeTwistH>},               // WP_TWISTH
    {0, 0, Make<TWipeTwistV>},               // WP_TWISTV
    {64, 3, Make<TWipeCrack>},               // WP_CRACK
    {0, 0, Make<TWipeZoomin>},               // WP_ZOOMIN
    {0, 0, Make<TWipeClockhand>},            // WP_CLOCKHAND
    {0, 0, Make<TWipeRubberH>},              // WP_RUBBERH
    {0, 0, Make<TWipeRubberV>},              // WP_RUBBERV
    {0, 0, Make<TWipeFan>},                  // WP_FAN
    {0, 0, Make<TWipeWFan>},                 // WP_WFAN
    {0, 0, Make<TWipeCircle>},               // WP_CIRCLE
    {60, 0, Make<TWipeBlockCoil>},           // WP_BLOCKCOIL
    {60, 0, Make<TWipeBlockRandom>},         // WP_BLOCKRANDOM
};
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == kWipeKindLast + 1);

}  // namespace

std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, TCustomDIBX* dest, TCustomDIBX* from, TCustomDIBX* to,
                                        const TWipeServices& services) {
  if (kind <= WP_NONE || kind > kWipeKindLast) return nullptr;
  const TKindEntry& e = kKinds[kind];
  std::unique_ptr<TCustomWipe> w = e.make(dest, from, to);
  w->SetServices(services);
  w->SetParam(0, e.param0);
  w->SetParam(1, e.param1);
  return w;
}

}  // namespace qubo
