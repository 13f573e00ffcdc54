#pragma once
// The part of the desktop that windows may use, computed from rectangles the platform layer
// reports.

#include "support/geometry.h"

namespace qubo {

// virtualScreen: the rectangle of the whole virtual screen; primaryScreen: the primary
// display; taskBar: the task bar as the desktop shell reports it (empty when there is none).
// When the virtual screen has exactly the primary screen's size, the task bar is cut away
// from it, but only where it spans a whole side (a task bar along the top or bottom edge that
// covers the full width, or along the left or right edge covering the full height).
TRect WorkArea(const TRect& virtualScreen, const TRect& primaryScreen, const TRect& taskBar);

}  // namespace qubo
