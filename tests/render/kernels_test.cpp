// Every row-kernel variant gives the reference's bytes, over random rows of odd widths with
// the special values (equal pixels, key pixels, weights 0 and 255) mixed in.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "render/drawrows.h"

namespace qubo::rows {
namespace {

struct Rows {
  std::vector<uint32_t> d, s, t;
  std::vector<uint8_t> m;
};

Rows MakeRows(std::mt19937& rng, int n, uint32_t key) {
  Rows r;
  std::uniform_int_distribution<uint32_t> px(0, 0xFFFFFFFFu), pick(0, 9), byte(0, 255);
  for (int i = 0; i < n; ++i) {
    uint32_t d = px(rng), s = px(rng);
    switch (pick(rng)) {
      case 0: s = d; break;
      case 1: s = key; break;
      case 2: s = 0xFFFFFFFF, d = 0x00FFFFFF; break;
      case 3: s = 0, d = 0; break;
      default: break;
    }
    r.d.push_back(d);
    r.s.push_back(s);
    r.t.push_back(pick(rng) < 2 ? d : px(rng));
    const uint32_t mp = pick(rng);
    r.m.push_back(static_cast<uint8_t>(mp == 0 ? 0 : mp == 1 ? 255 : byte(rng)));
  }
  return r;
}

TEST(RowKernels, EveryVariantMatchesTheReference) {
  const auto variants = AllKernels32();
  ASSERT_GE(variants.size(), 2u);
  const TRowKernels32& ref = ReferenceKernels32();
  std::mt19937 rng(12345);
  const uint32_t key = 0x00123456;
  const uint32_t weights[] = {1, 7, 128, 200, 254, 255};
  for (int n : {1, 3, 7, 8, 9, 15, 17, 63, 64, 65, 131, 257}) {
    for (uint32_t w : weights) {
      const Rows in = MakeRows(rng, n, key);
      for (const TRowKernels32* k : variants) {
        SCOPED_TRACE(std::string(k->name) + " n=" + std::to_string(n) + " w=" + std::to_string(w));
        auto check = [&](const char* op, auto&& run) {
          std::vector<uint32_t> a = in.d, b = in.d;
          run(ref, a);
          run(*k, b);
          EXPECT_EQ(a, b) << op;
        };
        check("copyKeyed", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.copyKeyed(d.data(), in.s.data(), n, key); });
        for (bool useKey : {false, true}) {
          check("blend", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.blend(d.data(), in.s.data(), n, w, key, useKey); });
          check("add", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.add(d.data(), in.s.data(), n, w, key, useKey); });
        }
        check("alpha", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.alpha(d.data(), in.s.data(), in.m.data(), n); });
        check("alphaBlend", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.alphaBlend(d.data(), in.s.data(), in.m.data(), n, w); });
        check("alphaAdd", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.alphaAdd(d.data(), in.s.data(), in.m.data(), n, w); });
        check("fillMasked", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.fillMasked(d.data(), in.m.data(), n, w, in.s[0]); });
        check("fillBlend", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.fillBlend(d.data(), n, in.s[0], w); });
        check("fillAdd", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.fillAdd(d.data(), n, in.s[n / 2]); });
        check("fillSub", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.fillSub(d.data(), n, in.s[n / 2]); });
        check("crossFade", [&](const TRowKernels32& v, std::vector<uint32_t>& d) { v.crossFade(d.data(), in.s.data(), in.t.data(), n, w); });
        for (bool hard : {false, true})
          check("crossFadeMask", [&](const TRowKernels32& v, std::vector<uint32_t>& d) {
            v.crossFadeMask(d.data(), in.s.data(), in.t.data(), in.m.data(), n, hard);
          });
      }
    }
  }
}

// Every weight 0..255 and every mask byte 0..255, rows of odd lengths starting at every
// alignment, masks made of runs (all 0, all 255, one value, random bytes) so that the fast
// paths for uniform stretches of mask meet their edges at every offset.
TEST(RowKernels, EveryWeightAndMaskRunMatchesTheReference) {
  const auto variants = AllKernels32();
  const TRowKernels32& ref = ReferenceKernels32();
  std::mt19937 rng(777);
  std::uniform_int_distribution<uint32_t> px(0, 0xFFFFFFFFu), byte(0, 255), runLen(1, 40), kind(0, 3), len(0, 60);
  const uint32_t key = 0x00ABCDEF;
  for (uint32_t w = 0; w <= 255; ++w) {
    const int n = 2 * static_cast<int>(len(rng)) + 1 + (w % 4 == 0 ? 128 : 0);
    const int off = static_cast<int>(w % 8);
    Rows in = MakeRows(rng, n + off, key);
    for (int i = 0; i < n + off;) {
      const int k = static_cast<int>(kind(rng));
      // Uniform runs long enough to cover whole blocks of the block-wise variants.
      const int r = static_cast<int>(runLen(rng)) * (k < 2 ? 4 : 1);
      const uint8_t v = static_cast<uint8_t>(byte(rng));
      for (int j = i; j < std::min(n + off, i + r); ++j)
        in.m[j] = static_cast<uint8_t>(k == 0 ? 0 : k == 1 ? 255 : k == 2 ? v : byte(rng));
      i += r;
    }
    // Every mask value appears in some row.
    in.m[off + static_cast<int>(w) % n] = static_cast<uint8_t>(w);
    const uint32_t* s = in.s.data() + off;
    const uint8_t* m = in.m.data() + off;
    for (const TRowKernels32* k : variants) {
      SCOPED_TRACE(std::string(k->name) + " n=" + std::to_string(n) + " w=" + std::to_string(w));
      auto check = [&](const char* op, auto&& run) {
        std::vector<uint32_t> a = in.d, b = in.d;
        run(ref, a.data() + off);
        run(*k, b.data() + off);
        EXPECT_EQ(a, b) << op;
      };
      for (bool useKey : {false, true}) {
        check("blend", [&](const TRowKernels32& v, uint32_t* d) { v.blend(d, s, n, w, key, useKey); });
        check("add", [&](const TRowKernels32& v, uint32_t* d) { v.add(d, s, n, w, key, useKey); });
      }
      check("alpha", [&](const TRowKernels32& v, uint32_t* d) { v.alpha(d, s, m, n); });
      check("alphaBlend", [&](const TRowKernels32& v, uint32_t* d) { v.alphaBlend(d, s, m, n, w); });
      check("alphaAdd", [&](const TRowKernels32& v, uint32_t* d) { v.alphaAdd(d, s, m, n, w); });
      check("crossFade", [&](const TRowKernels32& v, uint32_t* d) { v.crossFade(d, s, in.t.data() + off, n, w); });
      for (bool hard : {false, true})
        check("crossFadeMask", [&](const TRowKernels32& v, uint32_t* d) { v.crossFadeMask(d, s, in.t.data() + off, m, n, hard); });
    }
  }
}

// Each mask byte against each pair of extreme and middle channel values, in one long row.
TEST(RowKernels, EveryMaskByteOverExtremeChannels) {
  const uint32_t values[] = {0x00000000, 0xFFFFFFFF, 0x00FFFFFF, 0xFF000000, 0x80808080, 0x7F7F7F7F, 0x01FE01FE};
  std::vector<uint32_t> d, s;
  std::vector<uint8_t> m;
  for (uint32_t sv : values)
    for (uint32_t dv : values)
      for (uint32_t mv = 0; mv <= 255; ++mv) {
        s.push_back(sv);
        d.push_back(dv);
        m.push_back(static_cast<uint8_t>(mv));
      }
  const int32_t n = static_cast<int32_t>(d.size());
  std::vector<uint32_t> want = d;
  ReferenceKernels32().alpha(want.data(), s.data(), m.data(), n);
  for (const TRowKernels32* k : AllKernels32()) {
    std::vector<uint32_t> got = d;
    k->alpha(got.data(), s.data(), m.data(), n);
    EXPECT_EQ(got, want) << k->name;
    for (uint32_t w : {0u, 1u, 127u, 128u, 254u, 255u}) {
      std::vector<uint32_t> a = d, b = d;
      ReferenceKernels32().blend(a.data(), s.data(), n, w, 0, false);
      k->blend(b.data(), s.data(), n, w, 0, false);
      EXPECT_EQ(b, a) << k->name << " blend w=" << w;
      a = d, b = d;
      ReferenceKernels32().add(a.data(), s.data(), n, w, 0, false);
      k->add(b.data(), s.data(), n, w, 0, false);
      EXPECT_EQ(b, a) << k->name << " add w=" << w;
    }
  }
}

// The reference itself against the arithmetic written out for one pixel.
TEST(RowKernels, ReferenceArithmetic) {
  const TRowKernels32& k = ReferenceKernels32();
  struct Case {
    uint32_t s, d, w, blend, add;
  };
  const Case cases[] = {
      // (w*S + (255-w)*D) >> 8 and min(255, D + (w*S >> 8)), top byte 0.
      {0x00FFFFFF, 0x00000000, 128, 0x007F7F7F, 0x007F7F7F},
      {0x00FFFFFF, 0x00000000, 255, 0x00FEFEFE, 0x00FEFEFE},
      {0x00FFFFFF, 0x00000000, 254, 0x00FDFDFD, 0x00FDFDFD},
      {0x00000000, 0x00FFFFFF, 1, 0x00FDFDFD, 0x00FFFFFF},
      {0xFF804020, 0xAA102030, 128, 0x00472F27, 0x00504040},
      // Saturation per channel: no carry into the neighbour.
      {0x00FF01FF, 0x0001FF01, 255, 0x00FE00FE, 0x00FFFFFF},
  };
  for (const Case& c : cases) {
    uint32_t d = c.d;
    k.blend(&d, &c.s, 1, c.w, 0, false);
    EXPECT_EQ(d, c.blend) << std::hex << c.s << " over " << c.d << " w " << std::dec << c.w;
    d = c.d;
    k.add(&d, &c.s, 1, c.w, 0, false);
    EXPECT_EQ(d, c.add) << std::hex << c.s << " + " << c.d << " w " << std::dec << c.w;
  }
}

}  // namespace
}  // namespace qubo::rows
