// The page zoom as a browser steps it: a fixed list of levels from kMinZoom to kMaxZoom percent,
// and a mouse wheel's rotation counted in whole notches. No window is involved, so both are tested
// without a display.
#pragma once

#include <cstdint>

namespace tavrin {

// The zoom `steps` levels above `percent` (below it for a negative count), stopping at the ends of
// the list. A percent between two levels, as a hand-edited settings file may hold, moves first to
// the nearest level in the direction asked; 0 steps returns `percent` as it is. Never throws.
int32_t ZoomAfter(int32_t percent, int steps);

// A mouse wheel's rotation in whole notches. A notched wheel gives one notch per event; a
// touchpad or a smooth wheel gives fractions, which add up here until they make a notch.
class WheelNotches {
 public:
  // Adds `rotation` (positive away from the user) of a wheel whose notch is `delta` (0 or less
  // counts as 120), and returns the notches it completes, positive away from the user. A turn in
  // the other direction drops the fraction left over. Never throws.
  int Add(int rotation, int delta);

 private:
  int rest_ = 0;
};

}  // namespace tavrin
