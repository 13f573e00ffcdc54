#include "support/cliplist.h"

#include <cstdint>

namespace qubo {

bool TClipList::Near(const TRect& r, const TRect& s) {
  const int64_t d = kNearDistance;
  return int64_t{s.right} + d >= r.left && int64_t{s.bottom} + d >= r.top && int64_t{r.right} >= int64_t{s.left} - d &&
         int64_t{r.bottom} >= int64_t{s.top} - d;
}

void TClipList::AddRect(const TRect& rect) {
  if (rect.IsEmpty()) return;
  TRect r = rect;
  // Each merge removes one stored rectangle, so this ends after at most Count() rounds.
  for (;;) {
    bool merged = false;
    for (size_t i = 0; i < rects_.size(); ++i) {
      const TRect s = rects_[i];
      if (!Near(r, s)) continue;
      if (s.Contains(r)) return;
      rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
      changed_ = true;
      r = UnionRect(r, s);
      merged = true;
      break;
    }
    if (!merged) break;
  }
  rects_.push_back(r);
  changed_ = true;
}

void TClipList::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  rects_.erase(rects_.begin() + i);
  changed_ = true;
}

void TClipList::Clear() {
  rects_.clear();
  changed_ = true;
}

}  // namespace qubo
