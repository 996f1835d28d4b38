// Whether the desktop program has a display to open its window on.
#pragma once

#include <string>

namespace tavrin {

// Why no window can open, or the empty text when a Wayland compositor or an X server answers
// (DISPLAY and WAYLAND_DISPLAY as the toolkit reads them). The toolkit itself, started without a
// display, aborts with criticals instead of a message, so the program asks this first. Never
// throws except std::bad_alloc.
std::string DisplayProblem();

}  // namespace tavrin
