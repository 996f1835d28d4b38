// The keyboard of the main window as a table: what a key does, given the control that has the
// keyboard focus. No window is involved, so it is tested without a display.
#pragma once

#include "shell/controls.h"

namespace tavrin {

// What a key does: press one button, move the focus forward or back in tab order, zoom the page
// in or out by one step or back to 100%, scroll the page a screen up or down or to its top or
// end, play the page's sound and video again from their start, or nothing.
enum class KeyEffect {
  kNothing,
  kPress,
  kFocusNext,
  kFocusPrevious,
  kZoomIn,
  kZoomOut,
  kZoomReset,
  kPageUp,
  kPageDown,
  kPageTop,
  kPageEnd,
  kReplay
};

struct KeyAction {
  KeyEffect effect = KeyEffect::kNothing;
  Control button = Control::kNone;  // the button pressed, for kPress
  bool operator==(const KeyAction&) const = default;
};

// The actions, for the table and its readers.
constexpr KeyAction Press(Control button) {
  return {KeyEffect::kPress, button};
}
inline constexpr KeyAction kNothing{};
inline constexpr KeyAction kNext{KeyEffect::kFocusNext};
inline constexpr KeyAction kPrevious{KeyEffect::kFocusPrevious};
inline constexpr KeyAction kZoomIn{KeyEffect::kZoomIn};
inline constexpr KeyAction kZoomOut{KeyEffect::kZoomOut};
inline constexpr KeyAction kZoomReset{KeyEffect::kZoomReset};
inline constexpr KeyAction kPageUp{KeyEffect::kPageUp};
inline constexpr KeyAction kPageDown{KeyEffect::kPageDown};
inline constexpr KeyAction kPageTop{KeyEffect::kPageTop};
inline constexpr KeyAction kPageEnd{KeyEffect::kPageEnd};
inline constexpr KeyAction kReplay{KeyEffect::kReplay};

// What `keyCode` (a wx key code; letters in either case) with `modifiers` (wxMOD_* bits) does while
// `focused` has the keyboard focus. The view counts as a control that is not a button. Returns
// kNothing for a key that means nothing there, which then goes on to the toolkit. Never throws.
KeyAction ActionForKey(int keyCode, int modifiers, Control focused);

}  // namespace tavrin
