#include "shell/keyboard.h"

#include <gdk/gdkkeysyms.h>

#include <array>

#include <wx/defs.h>

namespace tavrin {

namespace {

// What a key is for; the focus and the modifiers then decide what it does.
enum class Role {
  kEnter,
  kEscape,
  kSpace,
  kTab,
  kForward,
  kBackward,
  kZoomIn,
  kZoomOut,
  kZoomReset,
  kPageUp,
  kPageDown,
  kPageTop,
  kPageEnd,
  kReplay,
  kAccessKey
};

// Who meets a key first while the page has the focus.
enum class Order { kPageFirst, kWindowFirst };

// One key of the table: the wx code that names it, the GDK key values that type it (0 for none),
// what it is for, the button whose access key it is, and its order.
struct TableKey {
  int code;
  std::array<unsigned, 3> keyvals;
  Role role;
  Order order;
  Control button = Control::kNone;
};

constexpr Order kPage = Order::kPageFirst;
constexpr Order kWindow = Order::kWindowFirst;

// The one list of the window's keys: the buttons and the keys handed back by the view both read it.
constexpr TableKey kKeys[] = {
    {WXK_RETURN, {GDK_KEY_Return, GDK_KEY_ISO_Enter}, Role::kEnter, kPage},
    {WXK_NUMPAD_ENTER, {GDK_KEY_KP_Enter}, Role::kEnter, kPage},
    {WXK_ESCAPE, {GDK_KEY_Escape}, Role::kEscape, kPage},
    {WXK_SPACE, {GDK_KEY_space, GDK_KEY_KP_Space}, Role::kSpace, kPage},
    {WXK_TAB, {GDK_KEY_Tab, GDK_KEY_ISO_Left_Tab, GDK_KEY_KP_Tab}, Role::kTab, kWindow},
    {WXK_RIGHT, {GDK_KEY_Right}, Role::kForward, kPage},
    {WXK_DOWN, {GDK_KEY_Down}, Role::kForward, kPage},
    {WXK_NUMPAD_RIGHT, {GDK_KEY_KP_Right}, Role::kForward, kPage},
    {WXK_NUMPAD_DOWN, {GDK_KEY_KP_Down}, Role::kForward, kPage},
    {WXK_LEFT, {GDK_KEY_Left}, Role::kBackward, kPage},
    {WXK_UP, {GDK_KEY_Up}, Role::kBackward, kPage},
    {WXK_NUMPAD_LEFT, {GDK_KEY_KP_Left}, Role::kBackward, kPage},
    {WXK_NUMPAD_UP, {GDK_KEY_KP_Up}, Role::kBackward, kPage},
    // Zoom as browsers have it; Shift with minus types underscore.
    {'+', {GDK_KEY_plus}, Role::kZoomIn, kWindow},
    {'=', {GDK_KEY_equal}, Role::kZoomIn, kWindow},
    {WXK_ADD, {}, Role::kZoomIn, kWindow},
    {WXK_NUMPAD_ADD, {GDK_KEY_KP_Add}, Role::kZoomIn, kWindow},
    {'-', {GDK_KEY_minus, GDK_KEY_underscore}, Role::kZoomOut, kWindow},
    {WXK_SUBTRACT, {}, Role::kZoomOut, kWindow},
    {WXK_NUMPAD_SUBTRACT, {GDK_KEY_KP_Subtract}, Role::kZoomOut, kWindow},
    {'0', {GDK_KEY_0}, Role::kZoomReset, kWindow},
    {WXK_NUMPAD0, {GDK_KEY_KP_0}, Role::kZoomReset, kWindow},
    // The view scrolls by itself while it has the focus, so these act only from the buttons.
    {WXK_PAGEUP, {GDK_KEY_Page_Up}, Role::kPageUp, kPage},
    {WXK_NUMPAD_PAGEUP, {GDK_KEY_KP_Page_Up}, Role::kPageUp, kPage},
    {WXK_PAGEDOWN, {GDK_KEY_Page_Down}, Role::kPageDown, kPage},
    {WXK_NUMPAD_PAGEDOWN, {GDK_KEY_KP_Page_Down}, Role::kPageDown, kPage},
    {WXK_HOME, {GDK_KEY_Home}, Role::kPageTop, kPage},
    {WXK_NUMPAD_HOME, {GDK_KEY_KP_Home}, Role::kPageTop, kPage},
    {WXK_END, {GDK_KEY_End}, Role::kPageEnd, kPage},
    {WXK_NUMPAD_END, {GDK_KEY_KP_End}, Role::kPageEnd, kPage},
    {'P', {GDK_KEY_p, GDK_KEY_P}, Role::kReplay, kWindow},
    {'O', {GDK_KEY_o, GDK_KEY_O}, Role::kAccessKey, kWindow, Control::kOpen},
    {'S', {GDK_KEY_s, GDK_KEY_S}, Role::kAccessKey, kWindow, Control::kShuffle},
    {'Z', {GDK_KEY_z, GDK_KEY_Z}, Role::kAccessKey, kWindow, Control::kBack},
    {'X', {GDK_KEY_x, GDK_KEY_X}, Role::kAccessKey, kWindow, Control::kQuit},
};

// The table's row of `keyCode`, letters in either case; null for a key that is not in it.
const TableKey* Find(int keyCode) {
  if (keyCode >= 'a' && keyCode <= 'z') keyCode -= 'a' - 'A';
  for (const TableKey& key : kKeys) {
    if (key.code == keyCode) return &key;
  }
  return nullptr;
}

KeyAction PageAction(Role role) {
  switch (role) {
    case Role::kPageUp:
      return kPageUp;
    case Role::kPageDown:
      return kPageDown;
    case Role::kPageTop:
      return kPageTop;
    default:
      return kPageEnd;
  }
}

bool IsButton(Control control) {
  return control != Control::kView && control != Control::kNone;
}

}  // namespace

KeyAction ActionForKey(int keyCode, int modifiers, Control focused) {
  const TableKey* key = Find(keyCode);
  if (key == nullptr) return kNothing;
  const bool shift = (modifiers & wxMOD_SHIFT) != 0;
  const bool ctrl = (modifiers & wxMOD_CONTROL) != 0;
  const bool alt = (modifiers & wxMOD_ALT) != 0;
  const bool onButton = IsButton(focused);
  // Zoom goes with Ctrl alone, Shift allowed: plus needs it on many layouts.
  const bool zoom = ctrl && !alt;
  switch (key->role) {
    case Role::kEnter:
      if (shift || ctrl || alt) return kNothing;
      return Press(onButton ? focused : Control::kOk);
    case Role::kEscape:
      return shift || ctrl || alt ? kNothing : Press(Control::kBack);
    case Role::kSpace:
      return !onButton || ctrl || alt ? kNothing : Press(focused);
    case Role::kTab:
      if (ctrl || alt) return kNothing;
      return shift ? kPrevious : kNext;
    case Role::kForward:
      return alt ? kNothing : kNext;
    case Role::kBackward:
      return alt ? kNothing : kPrevious;
    case Role::kZoomIn:
      return zoom ? kZoomIn : kNothing;
    case Role::kZoomOut:
      return zoom ? kZoomOut : kNothing;
    case Role::kZoomReset:
      return zoom ? kZoomReset : kNothing;
    case Role::kPageUp:
    case Role::kPageDown:
    case Role::kPageTop:
    case Role::kPageEnd:
      if (focused == Control::kView || modifiers != 0) return kNothing;
      return PageAction(key->role);
    case Role::kReplay:
      // As the access keys: with Alt anywhere, alone while a button has the focus.
      return ctrl || (!alt && !onButton) ? kNothing : kReplay;
    case Role::kAccessKey:
      // With Alt anywhere in the window; alone while a button has the focus.
      if (ctrl || (!alt && !onButton)) return kNothing;
      return Press(key->button);
  }
  return kNothing;
}

bool ComesBeforeThePage(int keyCode, int modifiers) {
  const TableKey* key = Find(keyCode);
  return key != nullptr && key->order == Order::kWindowFirst &&
         ActionForKey(keyCode, modifiers, Control::kView) != kNothing;
}

int KeyCodeOfKeyval(unsigned keyval) {
  if (keyval == 0) return 0;
  for (const TableKey& key : kKeys) {
    for (unsigned typed : key.keyvals) {
      if (typed == keyval) return key.code;
    }
  }
  return 0;
}

}  // namespace tavrin
