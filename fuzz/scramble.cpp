// Scrambled block images from arbitrary bytes: unscrambling the whole, and reading through a
// scrambled range stream at positions taken from the input, must agree and stay in bounds.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "storage/rangestreams.h"
#include "storage/scrambles.h"
#include "support/errors.h"

using namespace qubo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first 4 bytes steer the reads; the rest is the image.
  if (size < 4) return 0;
  uint32_t steer;
  std::memcpy(&steer, data, 4);
  std::vector<uint8_t> image(data + 4, data + size);

  std::vector<uint8_t> plain;
  bool unscrambled = false;
  try {
    TKoMemoryStream whole(image);
    Unscramble(whole);
    plain = whole.Bytes();
    unscrambled = true;
  } catch (const FormatError&) {
  }

  TKoMemoryStream source(image);
  try {
    TScrambleRangeStream s(source, 0, 0);
    if (!unscrambled) std::abort();  // one accepted what the other refused
    if (s.GetSize() != static_cast<int64_t>(plain.size())) std::abort();
    std::vector<uint8_t> buf(plain.size() + 16);
    for (int k = 0; k < 8; ++k) {
      steer = steer * 1664525u + 1013904223u;
      const int64_t pos = static_cast<int64_t>(steer % (plain.size() + 3)) - 1;
      const int64_t len = static_cast<int64_t>((steer >> 16) % (plain.size() + 9));
      const int64_t at = s.Seek(pos, SeekOrigin::Begin);
      if (at < 0 || at > s.GetSize()) std::abort();
      const int64_t got = s.Read(buf.data(), len);
      if (got < 0 || at + got > s.GetSize()) std::abort();
      if (std::memcmp(buf.data(), plain.data() + at, static_cast<size_t>(got)) != 0) std::abort();
    }
    if (s.Write(buf.data(), 1) != 0) std::abort();
  } catch (const FormatError&) {
    if (unscrambled) std::abort();
  }
  return 0;
}
