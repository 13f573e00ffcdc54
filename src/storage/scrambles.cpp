#include "storage/scrambles.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "support/errors.h"
#include "support/record.h"

namespace qubo {

// ---- TGetRandom ----

void TGetRandom::Seed(int32_t seed) {
  uint32_t s = seed == 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(seed);
  uint32_t* slots[5] = {&x_[0], &x_[1], &x_[2], &x_[3], &carry_};
  for (uint32_t* slot : slots) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    *slot = s;
  }
  for (int i = 0; i < 19; ++i) Next();
}

uint32_t TGetRandom::Next() {
  // The sum stays below 2^64: the multipliers add up to less than 2^32.
  const uint64_t t = 2111111111ull * x_[3] + 1492ull * x_[2] + 1776ull * x_[1] + 5115ull * x_[0] + carry_;
  x_[3] = x_[2];
  x_[2] = x_[1];
  x_[1] = x_[0];
  x_[0] = static_cast<uint32_t>(t);
  carry_ = static_cast<uint32_t>(t >> 32);
  return x_[0];
}

int32_t TGetRandom::IRandom(int32_t lo, int32_t hi) {
  // Random * range is word / 2^32 * range; its truncation is (word * range) >> 32, exact for
  // every 32-bit range (a double product would round once the range passes about 2^21).
  const int64_t range = int64_t{hi} - int64_t{lo} + 1;
  const uint64_t word = Next();
  int64_t offset;
  if (range >= 0) {
    offset = static_cast<int64_t>((word * static_cast<uint64_t>(range)) >> 32);
  } else {
    offset = -static_cast<int64_t>((word * static_cast<uint64_t>(-range)) >> 32);
  }
  return static_cast<int32_t>(int64_t{lo} + offset);
}

// ---- TScrambleInts ----

namespace {

// The items still in the drawing list, over positions 0..n-1: one bit per item, and a
// Fenwick tree of the bit counts of each 64-bit word, so the k-th remaining item is found in
// O(log n) with a tree small enough to stay in cache. The word count is padded to a power of
// two so that the descent needs no bounds test.
class RemainingItems {
 public:
  explicit RemainingItems(size_t n) {
    size_t words = 1;
    while (words * 64 < n) words *= 2;
    bits_.assign(words, 0);
    for (size_t i = 0; i < n / 64; ++i) bits_[i] = ~uint64_t{0};
    if (n % 64) bits_[n / 64] = (uint64_t{1} << (n % 64)) - 1;
    tree_.assign(words + 1, 0);
    for (size_t i = 1; i <= words; ++i) {
      tree_[i] += std::popcount(bits_[i - 1]);
      const size_t parent = i + (i & (~i + 1));
      if (parent <= words) tree_[parent] += tree_[i];
    }
  }

  // Removes and answers the position of the k-th (from 0) remaining item (k must be below
  // the number remaining). The tree nodes the descent passes over without stepping right
  // are exactly the ones that cover the found word, so they are decremented on the way down.
  size_t Take(int32_t k) {
    size_t pos = 0;
    int32_t rem = k + 1;
    for (size_t step = bits_.size(); step > 0; step >>= 1) {
      int32_t& node = tree_[pos + step];
      const bool right = node < rem;
      rem -= right ? node : 0;
      node -= right ? 0 : 1;
      pos += right ? step : 0;
    }
    // The rem-th set bit of word pos.
    uint64_t& word = bits_[pos];
    unsigned bit = 0;
    for (unsigned width = 32; width > 0; width /= 2) {
      const int low = std::popcount((word >> bit) & ((uint64_t{1} << width) - 1));
      const bool up = low < rem;
      rem -= up ? low : 0;
      bit += up ? width : 0;
    }
    word &= ~(uint64_t{1} << bit);
    return pos * 64 + bit;
  }

 private:
  std::vector<uint64_t> bits_;
  std::vector<int32_t> tree_;
};

}  // namespace

template <class Emit>
void TScrambleInts::Draw(int32_t first, int32_t last, Emit emit) {
  const int64_t count = int64_t{last} - int64_t{first} + 1;
  if (count <= 0) return;
  if (count > kMaxScrambleBlocks) throw FormatError("Damaged data: too many scrambled blocks");
  // The drawing list starts as first..last; each step takes list[index] out of it, where index
  // is 0 for a single item and IRandom(0, count - 2) otherwise.
  RemainingItems items(static_cast<size_t>(count));
  TGetRandom random(seed_);
  for (int64_t i = 0; i < count; ++i) {
    const int64_t left = count - i;
    const int32_t index = left < 2 ? 0 : random.IRandom(0, static_cast<int32_t>(left - 2));
    const size_t pos = items.Take(index);
    emit(static_cast<int32_t>(i), static_cast<int32_t>(first + static_cast<int64_t>(pos)));
  }
}

void TScrambleInts::MakeForward(int32_t first, int32_t last) {
  array_.clear();
  const int64_t count = int64_t{last} - int64_t{first} + 1;
  if (count > 0 && count <= kMaxScrambleBlocks) array_.reserve(static_cast<size_t>(count));
  Draw(first, last, [this](int32_t, int32_t value) { array_.push_back(value); });
}

void TScrambleInts::MakeInverse(int32_t first, int32_t last) {
  array_.clear();
  if (first < 0) throw FormatError("Damaged data: negative block number");
  const int64_t count = int64_t{last} - int64_t{first} + 1;
  if (count <= 0) return;
  // The array is indexed by value, so its size is last + 1, not the count.
  if (int64_t{last} + 1 > kMaxScrambleBlocks) throw FormatError("Damaged data: too many scrambled blocks");
  array_.assign(static_cast<size_t>(last) + 1, -1);
  Draw(first, last, [this](int32_t i, int32_t value) { array_[static_cast<size_t>(value)] = i; });
}

// ---- TKoRandom ----

void TKoRandom::InitDraw(int32_t n) {
  draw_.clear();
  if (n <= 0) return;
  draw_.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) draw_[static_cast<size_t>(i)] = i;
}

int32_t TKoRandom::Draw() {
  if (draw_.empty()) return -1;
  state_ = state_ * 5u + increment_;
  const size_t index = state_ % static_cast<uint32_t>(draw_.size());
  const int32_t value = draw_[index];
  draw_.erase(draw_.begin() + static_cast<std::ptrdiff_t>(index));
  return value;
}

// ---- Scramble / Unscramble ----

int64_t ScrambleBlockCount(int64_t size, int32_t blockSize) {
  if (size <= 0 || blockSize < 1) return 0;
  return (size - 1) / blockSize + 1;
}

namespace {

void CheckBlocks(int64_t size, int32_t blockSize) {
  if (blockSize < 1) throw FormatError("Damaged data: invalid scrambled block size");
  if (ScrambleBlockCount(size, blockSize) > kMaxScrambleBlocks)
    throw FormatError("Damaged data: too many scrambled blocks");
}

}  // namespace

void Scramble(TKoMemoryStream& stream, int32_t blockSize, int32_t seed) {
  const std::vector<uint8_t> plain = stream.Bytes();
  const int64_t size = static_cast<int64_t>(plain.size());
  CheckBlocks(size, blockSize);
  const int64_t blocks = ScrambleBlockCount(size, blockSize);
  TScrambleInts order(seed);
  if (blocks > 0) order.MakeForward(0, static_cast<int32_t>(blocks - 1));

  std::vector<uint8_t> out(static_cast<size_t>(size) + 8);
  TKoMemoryStream header;
  RecordWriter w(header);
  w.I32(blockSize);
  w.I32(seed ^ kScrambleSeedMask);
  std::memcpy(out.data(), header.Memory(), 8);
  size_t at = 8;
  for (int64_t j = 0; j < blocks; ++j) {
    const int64_t from = int64_t{order.Item(j)} * blockSize;
    const int64_t n = std::min<int64_t>(blockSize, size - from);
    std::memcpy(out.data() + at, plain.data() + from, static_cast<size_t>(n));
    at += static_cast<size_t>(n);
  }
  stream.Assign(std::move(out));
  stream.Seek(0, SeekOrigin::End);
}

void Unscramble(TKoMemoryStream& stream) {
  stream.SetPosition(0);
  RecordReader r(stream, RecordReader::Truncation::Raise, "Damaged data: scrambled header is truncated");
  const int32_t blockSize = r.I32();
  const int32_t seed = r.I32() ^ kScrambleSeedMask;
  const int64_t size = stream.GetSize() - 8;
  CheckBlocks(size, blockSize);
  const int64_t blocks = ScrambleBlockCount(size, blockSize);
  TScrambleInts where(seed);
  if (blocks > 0) where.MakeInverse(0, static_cast<int32_t>(blocks - 1));

  const uint8_t* data = stream.Memory() + 8;
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(size));
  for (int64_t i = 0; i < blocks; ++i) {
    const int64_t from = int64_t{where.Item(i)} * blockSize;
    if (from < 0 || from >= size) continue;
    const int64_t n = std::min<int64_t>(blockSize, size - from);
    out.insert(out.end(), data + from, data + from + n);
  }
  stream.Assign(std::move(out));
}

}  // namespace qubo
