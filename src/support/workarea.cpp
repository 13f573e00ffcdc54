#include "support/workarea.h"

namespace qubo {

TRect WorkArea(const TRect& virtualScreen, const TRect& primaryScreen, const TRect& taskBar) {
  TRect r = virtualScreen;
  if (r.Width() != primaryScreen.Width() || r.Height() != primaryScreen.Height()) return r;
  if (taskBar.IsEmpty()) return r;
  const bool fullWidth = taskBar.left <= r.left && taskBar.right >= r.right;
  const bool fullHeight = taskBar.top <= r.top && taskBar.bottom >= r.bottom;
  if (fullWidth && !fullHeight) {
    if (taskBar.top <= r.top && taskBar.bottom > r.top) {
      r.top = taskBar.bottom;
    } else if (taskBar.bottom >= r.bottom && taskBar.top < r.bottom) {
      r.bottom = taskBar.top;
    }
  } else if (fullHeight && !fullWidth) {
    if (taskBar.left <= r.left && taskBar.right > r.left) {
      r.left = taskBar.right;
    } else if (taskBar.right >= r.right && taskBar.left < r.right) {
      r.right = taskBar.left;
    }
  }
  return r;
}

}  // namespace qubo
