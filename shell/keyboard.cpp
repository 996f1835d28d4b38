#include "shell/keyboard.h"

#include <wx/defs.h>

namespace tavrin {

namespace {

bool IsButton(Control control) {
  return control != Control::kView && control != Control::kNone;
}

// The button whose access key is `keyCode`, or kNone.
Control AccessKeyButton(int keyCode) {
  switch (keyCode) {
    case 'O':
    case 'o':
      return Control::kOpen;
    case 'S':
    case 's':
      return Control::kShuffle;
    case 'Z':
    case 'z':
      return Control::kBack;
    case 'X':
    case 'x':
      return Control::kQuit;
    default:
      return Control::kNone;
  }
}

// The zoom that Ctrl with `keyCode` asks for, as browsers have it, whichever control has the
// focus. Shift is allowed: plus needs it on many layouts.
KeyAction ZoomKey(int keyCode) {
  switch (keyCode) {
    case '+':
    case '=':
    case WXK_ADD:
    case WXK_NUMPAD_ADD:
      return kZoomIn;
    case '-':
    case WXK_SUBTRACT:
    case WXK_NUMPAD_SUBTRACT:
      return kZoomOut;
    case '0':
    case WXK_NUMPAD0:
      return kZoomReset;
    default:
      return kNothing;
  }
}

// The scroll that `keyCode` asks for, or kNothing. The view scrolls by itself while it has the
// focus, so these act only from the buttons.
KeyAction PageKey(int keyCode) {
  switch (keyCode) {
    case WXK_PAGEUP:
    case WXK_NUMPAD_PAGEUP:
      return kPageUp;
    case WXK_PAGEDOWN:
    case WXK_NUMPAD_PAGEDOWN:
      return kPageDown;
    case WXK_HOME:
    case WXK_NUMPAD_HOME:
      return kPageTop;
    case WXK_END:
    case WXK_NUMPAD_END:
      return kPageEnd;
    default:
      return kNothing;
  }
}

}  // namespace

KeyAction ActionForKey(int keyCode, int modifiers, Control focused) {
  const bool shift = (modifiers & wxMOD_SHIFT) != 0;
  const bool ctrl = (modifiers & wxMOD_CONTROL) != 0;
  const bool alt = (modifiers & wxMOD_ALT) != 0;
  const bool onButton = IsButton(focused);
  switch (keyCode) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
      if (shift || ctrl || alt) return kNothing;
      return Press(onButton ? focused : Control::kOk);
    case WXK_ESCAPE:
      return shift || ctrl || alt ? kNothing : Press(Control::kBack);
    case WXK_SPACE:
      return !onButton || ctrl || alt ? kNothing : Press(focused);
    case WXK_TAB:
      if (ctrl || alt) return kNothing;
      return shift ? kPrevious : kNext;
    case WXK_RIGHT:
    case WXK_DOWN:
    case WXK_NUMPAD_RIGHT:
    case WXK_NUMPAD_DOWN:
      return alt ? kNothing : kNext;
    case WXK_LEFT:
    case WXK_UP:
    case WXK_NUMPAD_LEFT:
    case WXK_NUMPAD_UP:
      return alt ? kNothing : kPrevious;
    default:
      break;
  }
  if (ctrl && !alt) {
    if (const KeyAction zoom = ZoomKey(keyCode); zoom != kNothing) return zoom;
  }
  if (focused != Control::kView && modifiers == 0) {
    if (const KeyAction scroll = PageKey(keyCode); scroll != kNothing) return scroll;
  }
  // Replay goes with the access keys: with Alt anywhere, alone while a button has the focus.
  if ((keyCode == 'P' || keyCode == 'p') && !ctrl && (alt || onButton)) return kReplay;
  const Control target = AccessKeyButton(keyCode);
  // With Alt anywhere in the window; alone while a button has the focus.
  if (target == Control::kNone || ctrl || (!alt && !onButton)) return kNothing;
  return Press(target);
}

}  // namespace tavrin
