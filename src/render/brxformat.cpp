#include "render/brxformat.h"

#include <algorithm>
#include <cstring>

#include "storage/scrambles.h"

namespace qubo::brx {
namespace {

void Put32(uint8_t* p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
int32_t Get32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24));
}

// The items still to be drawn, with the k-th remaining one found in O(log n).
class Remaining {
 public:
  explicit Remaining(int32_t n) : tree_(static_cast<size_t>(n) + 1, 0), n_(n) {
    for (int32_t i = 1; i <= n; ++i) {
      tree_[static_cast<size_t>(i)] += 1;
      const int32_t parent = i + (i & -i);
      if (parent <= n) tree_[static_cast<size_t>(parent)] += tree_[static_cast<size_t>(i)];
    }
    top_ = 1;
    while (top_ * 2 <= n) top_ *= 2;
  }
  // Removes and answers the k-th (from 0) remaining item.
  int32_t Take(uint32_t k) {
    int32_t pos = 0;
    uint32_t rem = k + 1;
    for (int32_t step = top_; step > 0; step >>= 1) {
      const int32_t next = pos + step;
      if (next <= n_ && static_cast<uint32_t>(tree_[static_cast<size_t>(next)]) < rem) {
        pos = next;
        rem -= static_cast<uint32_t>(tree_[static_cast<size_t>(next)]);
      }
    }
    for (int32_t i = pos + 1; i <= n_; i += i & -i) --tree_[static_cast<size_t>(i)];
    return pos;
  }

 private:
  std::vector<int32_t> tree_;
  int32_t n_;
  int32_t top_ = 1;
};

}  // namespace

std::array<uint8_t, kHeaderRecordSize> TBrixHeader::Pack() const {
  std::array<uint8_t, kHeaderRecordSize> r{};
  Put32(&r[0], version);
  Put32(&r[4], width);
  Put32(&r[8], height);
  Put32(&r[12], bpp);
  Put32(&r[16], count);
  r[20] = syncPal ? 1 : 0;
  r[21] = randomized ? 1 : 0;
  r[22] = compType;
  Put32(&r[24], bgColor);
  Put32(&r[28], blockWidth);
  Put32(&r[32], blockHeight);
  r[36] = notFillBG ? 1 : 0;
  r[37] = compLevel;
  return r;
}

TBrixHeader TBrixHeader::Unpack(const uint8_t* data, size_t n, int32_t fileVersion) {
  std::array<uint8_t, kHeaderRecordSize> r{};
  if (n > 0) std::memcpy(r.data(), data, std::min<size_t>(n, r.size()));
  TBrixHeader h;
  h.version = Get32(&r[0]);
  h.width = Get32(&r[4]);
  h.height = Get32(&r[8]);
  h.bpp = Get32(&r[12]);
  h.count = Get32(&r[16]);
  h.syncPal = r[20] != 0;
  h.randomized = r[21] != 0;
  h.compType = r[22];
  h.bgColor = Get32(&r[24]);
  h.blockWidth = Get32(&r[28]);
  h.blockHeight = Get32(&r[32]);
  h.notFillBG = fileVersion >= kVersionNotFillBG && r[36] != 0;
  h.compLevel = r[37];
  return h;
}

std::vector<int32_t> RowOrder(int32_t seed, int32_t n) {
  std::vector<int32_t> order;
  if (n <= 0) return order;
  order.resize(static_cast<size_t>(n));
  if (seed == 0) {
    // s stays 0: always the first remaining item.
    for (int32_t i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    return order;
  }
  // The state sequence is the small key-stream generator's; the list removal is done with a
  // counting tree instead of shifting the list, so large block counts stay fast.
  TKoRandom random(seed);
  Remaining items(n);
  for (int32_t k = 0; k < n; ++k) {
    const uint32_t s = static_cast<uint32_t>(random.Next());
    order[static_cast<size_t>(k)] = items.Take(s % static_cast<uint32_t>(n - k));
  }
  return order;
}

TBlockGrid::TBlockGrid(int32_t planeW, int32_t planeH, int32_t bw, int32_t bh)
    : blockWidth(bw), blockHeight(bh), planeWidth(planeW), planeHeight(planeH) {
  if (bw > 0 && bh > 0 && planeW > 0 && planeH > 0) {
    columns = static_cast<int32_t>((int64_t{planeW} + bw - 1) / bw);
    rows = static_cast<int32_t>((int64_t{planeH} + bh - 1) / bh);
  }
}

int32_t TBlockGrid::W(int64_t i) const { return std::min(blockWidth, planeWidth - X(i)); }
int32_t TBlockGrid::H(int64_t i) const { return std::min(blockHeight, planeHeight - Y(i)); }

}  // namespace qubo::brx
