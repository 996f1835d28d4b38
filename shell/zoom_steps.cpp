#include "shell/zoom_steps.h"

#include <algorithm>
#include <array>

#include "shell/settings.h"

namespace tavrin {

namespace {

// The levels, in percent, that browsers step through.
constexpr std::array<int32_t, 14> kLevels{30,  50,  67,  80,  90,  100, 110,
                                          120, 133, 150, 170, 200, 240, 300};
static_assert(kLevels.front() == kMinZoom && kLevels.back() == kMaxZoom);

}  // namespace

int32_t ZoomAfter(int32_t percent, int steps) {
  for (; steps > 0; --steps) {
    const auto above = std::upper_bound(kLevels.begin(), kLevels.end(), percent);
    if (above == kLevels.end()) break;
    percent = *above;
  }
  for (; steps < 0; ++steps) {
    const auto below = std::lower_bound(kLevels.begin(), kLevels.end(), percent);
    if (below == kLevels.begin()) break;
    percent = *(below - 1);
  }
  return percent;
}

int WheelNotches::Add(int rotation, int delta) {
  if (delta <= 0) delta = 120;
  if ((rotation > 0 && rest_ < 0) || (rotation < 0 && rest_ > 0)) rest_ = 0;
  rest_ += rotation;
  const int notches = rest_ / delta;
  rest_ -= notches * delta;
  return notches;
}

}  // namespace tavrin
