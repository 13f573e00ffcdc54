#pragma once
// The dirty-rectangle list: rectangles to repaint, merged with their near neighbours so that
// a few larger rectangles are repainted instead of many small ones.

#include <vector>

#include "support/geometry.h"

namespace qubo {

class TClipList {
 public:
  // How far apart (in pixels, on every side) two rectangles may be and still be merged.
  static constexpr int kNearDistance = 20;

  // Ignores an empty rectangle. Otherwise merges r with the first stored rectangle that is
  // near it (r inside it: nothing changes), repeating with the union until no stored
  // rectangle is near; then appends the result.
  void AddRect(const TRect& r);
  int Count() const { return static_cast<int>(rects_.size()); }
  // i must be in [0, Count()).
  const TRect& Rect(int i) const { return rects_[static_cast<size_t>(i)]; }
  // Out-of-range indexes are ignored.
  void Delete(int i);
  void Clear();
  const std::vector<TRect>& Rects() const { return rects_; }

  // Set by every append, removal and Clear; the owner resets it.
  bool Changed() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }

  // True when neither rectangle lies more than kNearDistance pixels beyond the other on any
  // side. Computed in 64 bits, so rectangles at the ends of the 32-bit range do not wrap.
  static bool Near(const TRect& r, const TRect& s);

 private:
  std::vector<TRect> rects_;
  bool changed_ = false;
};

}  // namespace qubo
