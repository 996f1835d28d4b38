// The main window's six controls as plain values: their tab order, where the layout puts them in
// a given client area, and where the window itself goes on the screen. No window is involved, so
// all are tested without a display.
#pragma once

#include <array>
#include <cstddef>

#include <wx/gdicmn.h>

namespace tavrin {

// The controls of the main window in tab order, and kNone for a focus on none of them.
enum class Control { kView, kOpen, kShuffle, kOk, kBack, kQuit, kNone };
inline constexpr std::size_t kControlCount = 6;

// Bounds of the six controls, indexed by Control.
using ControlBounds = std::array<wxRect, kControlCount>;

// The control `step` places (1 forward, -1 back) after `from` in tab order, round the end; a focus
// on none counts as one on the view. Never throws.
Control StepInTabOrder(Control from, int step);

// The layout in a client area of `client` size with buttons `buttonHeight` by `buttonWidth`: the
// view fills the area above a strip of the buttons' height along the bottom edge, which holds
// Open and Shuffle from the left, Back and Quit against the right, and OK stretched between them.
// Sizes below 0 are returned as they come. Never throws.
ControlBounds ArrangedBounds(wxSize client, int buttonHeight, int buttonWidth);

// Which of the place line's two texts the button row has room for.
enum class PlaceLineFit { kNone, kPlace, kWithName };

struct PlaceLineSlot {
  wxRect bounds;  // empty for kNone
  PlaceLineFit fit = PlaceLineFit::kNone;
};

// Gives the place line room in `bounds` (a layout of ArrangedBounds), between OK and Back: as wide
// as the text with the deck's name (`withName` wide) where OK keeps at least `buttonWidth`, else
// as wide as the text without it (`place` wide), else none. OK gives up the label's width and its
// margins; no other button moves. The label is `textHeight` high, centred on the row. Never throws.
PlaceLineSlot MakeRoomForPlaceLine(ControlBounds& bounds, int buttonWidth, int withName, int place,
                                   int textHeight);

// The bounds of a window of `size` on a screen whose work area (the screen less its panels) is
// `workArea`: each side cut to the work area's where it is longer, the window centred in it.
// Never throws.
wxRect CentredBounds(wxSize size, const wxRect& workArea);

// The bounds `saved` brought onto `workArea`: on each axis moved inside as far as the length
// allows, then cut to the work area's length where longer. Bounds that lie inside come back to
// the pixel. Any int values, however far off, give bounds inside the work area. Never throws.
wxRect FittedBounds(const wxRect& saved, const wxRect& workArea);

}  // namespace tavrin
