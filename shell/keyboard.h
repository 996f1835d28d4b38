// The keyboard of the main window as a table: what a key does, given the control that has the
// keyboard focus, and which keys come before the page's own scripts. No window is involved, so it
// is tested without a display.
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

// Whether `keyCode` with `modifiers`, typed while the page has the focus, is the window's before
// the page sees it, whatever the page's scripts do with keys: the access keys with Alt, the zoom
// keys and Tab. False for the keys that the page may use first (Enter, Esc, Space, the arrows) and
// for keys that mean nothing in the view. Never throws.
bool ComesBeforeThePage(int keyCode, int modifiers);

// The wx key code of the table's key that the platform key value `keyval` (a GDK keysym) types,
// letters in upper case; 0 for a key that is not in the table. Never throws.
int KeyCodeOfKeyval(unsigned keyval);

}  // namespace tavrin
