#pragma once
// The block scrambler of stored data and its two pseudo-random generators.
//
// A scrambled block image is: i32 block size B, i32 seed XOR 0x5C3B, then the plain bytes cut
// into blocks of B bytes (the last one may be shorter) stored in a seeded permuted order.

#include <cstdint>
#include <vector>

#include "support/stream.h"

namespace qubo {

// Multiply-with-carry generator of order four. Every instance owns its state.
class TGetRandom {
 public:
  TGetRandom() { Seed(0); }
  explicit TGetRandom(int32_t seed) { Seed(seed); }

  void Seed(int32_t seed);
  // The next raw 32-bit output.
  uint32_t Next();
  // Next() scaled into [0, 1).
  double Random() { return Next() * (1.0 / 4294967296.0); }
  // lo + truncate(Random * (hi - lo + 1)), the product taken exactly.
  int32_t IRandom(int32_t lo, int32_t hi);

  // The state words, newest first, and the carry (for tests).
  uint32_t X(int i) const { return x_[i]; }
  uint32_t Carry() const { return carry_; }

 private:
  uint32_t x_[4] = {};
  uint32_t carry_ = 0;
};

// The largest permutation built from stored data (larger block counts are a format error).
inline constexpr int64_t kMaxScrambleBlocks = int64_t{1} << 26;

// A seeded permutation: forward (stored position -> plain block) or inverse
// (plain block -> stored position).
class TScrambleInts {
 public:
  explicit TScrambleInts(int32_t seed) : seed_(seed) {}

  // array[i] := the i-th value drawn from first..last.
  void MakeForward(int32_t first, int32_t last);
  // array[v] := the draw number of value v (entries below first are -1). first must be >= 0.
  void MakeInverse(int32_t first, int32_t last);
  // -1 outside the array.
  int32_t Item(int64_t i) const {
    return i >= 0 && i < static_cast<int64_t>(array_.size()) ? array_[static_cast<size_t>(i)] : -1;
  }
  int32_t Count() const { return static_cast<int32_t>(array_.size()); }
  int32_t Seed() const { return seed_; }
  const std::vector<int32_t>& Array() const { return array_; }

 private:
  // Calls emit(drawNumber, value) in drawing order.
  template <class Emit>
  void Draw(int32_t first, int32_t last, Emit emit);

  int32_t seed_;
  std::vector<int32_t> array_;
};

// Small key-stream generator: state := state * 5 + increment.
class TKoRandom {
 public:
  explicit TKoRandom(int32_t increment) : increment_(static_cast<uint32_t>(increment)) {}
  int32_t Next() {
    state_ = state_ * 5u + increment_;
    return static_cast<int32_t>(state_);
  }
  void Reset() { state_ = 0; }
  // The draw list 0..n-1 (n <= 0: empty).
  void InitDraw(int32_t n);
  // Removes and answers a pseudo-random entry of the draw list; -1 when it is empty.
  int32_t Draw();
  int32_t DrawCount() const { return static_cast<int32_t>(draw_.size()); }

 private:
  uint32_t state_ = 0;
  uint32_t increment_;
  std::vector<int32_t> draw_;
};

inline constexpr int32_t kScrambleSeedMask = 0x5C3B;

// The number of blocks of B bytes that hold size bytes (0 for 0 bytes).
int64_t ScrambleBlockCount(int64_t size, int32_t blockSize);

// Replaces the content by its scrambled block image; the position ends at the end.
// A block size below 1 raises FormatError.
void Scramble(TKoMemoryStream& stream, int32_t blockSize, int32_t seed);
// Replaces a scrambled block image by the plain data (position 0). A damaged header
// (shorter than 8 bytes, block size below 1, too many blocks) raises FormatError.
void Unscramble(TKoMemoryStream& stream);

}  // namespace qubo
