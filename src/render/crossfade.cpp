#include "render/crossfade.h"

#include "render/dibx.h"
#include "render/drawrows.h"

namespace qubo {
namespace {

bool SameShape(TCustomDIBX& a, TCustomDIBX& b) {
  return a.BitCount() == 32 && b.BitCount() == 32 && a.Width() == b.Width() && a.Height() == b.Height();
}

// Runs fn(destRow, fromRow, toRow, maskRow, y, x0, count) over the clip rectangle.
template <typename Fn>
void ThreeWay(TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to, TCustomDIBX* mask, Fn&& fn) {
  if (!SameShape(dest, from) || !SameShape(dest, to)) return;
  if (mask && (mask->BitCount() != 8 || mask->Width() < dest.Width() || mask->Height() <= 0)) return;
  const TRect c = dest.ClipRect();
  if (rects::Empty(c)) return;
  uint8_t* d = dest.Lock(0, 0);
  if (!d) return;
  uint8_t* f = &from == &dest ? d : from.Lock(0, 0);
  uint8_t* t = !f ? nullptr : &to == &dest ? d : &to == &from ? f : to.Lock(0, 0);
  uint8_t* m = (!t || !mask) ? nullptr : mask->Lock(0, 0);
  if (t && (!mask || m)) {
    const int64_t dp = dest.Pitch(), fp = from.Pitch(), tp = to.Pitch(), mp = mask ? mask->Pitch() : 0;
    for (int32_t y = c.top; y < c.bottom; ++y) {
      const uint8_t* mrow = m ? m + (y % mask->Height()) * mp + c.left : nullptr;
      fn(reinterpret_cast<uint32_t*>(d + y * dp) + c.left, reinterpret_cast<const uint32_t*>(f + y * fp) + c.left,
         reinterpret_cast<const uint32_t*>(t + y * tp) + c.left, mrow, c.right - c.left);
    }
  }
  if (m) mask->Unlock();
  if (t && &to != &dest && &to != &from) to.Unlock();
  if (f && &from != &dest) from.Unlock();
  dest.Unlock();
}

}  // namespace

void CrossFade(TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to, uint32_t weight) {
  const uint32_t w = weight > 255 ? 255 : weight;
  const auto& k = rows::Kernels32();
  ThreeWay(dest, from, to, nullptr, [&](uint32_t* d, const uint32_t* f, const uint32_t* t, const uint8_t*, int32_t n) {
    k.crossFade(d, f, t, n, w);
  });
}

void CrossFadeMasked(TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to, TCustomDIBX& mask, bool hard) {
  const auto& k = rows::Kernels32();
  ThreeWay(dest, from, to, &mask, [&](uint32_t* d, const uint32_t* f, const uint32_t* t, const uint8_t* m, int32_t n) {
    k.crossFadeMask(d, f, t, m, n, hard);
  });
}

}  // namespace qubo
