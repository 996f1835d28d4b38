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
  kZoom,       // with Ctrl, wherever the focus is
  kScroll,     // alone, wherever the focus is but the view, which scrolls by itself
  kAccessKey,  // with Alt anywhere, alone while a button has the focus
};

// Who meets a key first while the page has the focus.
enum class Order { kPageFirst, kWindowFirst };

// One key of the table: the wx code that names it, the GDK key values that type it (0 for none),
// what it is for, its order, and what it does where its role lets it act.
struct TableKey {
  int code;
  std::array<unsigned, 3> keyvals;
  Role role;
  Order order;
  KeyAction action = kNothing;
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
    {'+', {GDK_KEY_plus}, Role::kZoom, kWindow, kZoomIn},
    {'=', {GDK_KEY_equal}, Role::kZoom, kWindow, kZoomIn},
    {WXK_ADD, {}, Role::kZoom, kWindow, kZoomIn},
    {WXK_NUMPAD_ADD, {GDK_KEY_KP_Add}, Role::kZoom, kWindow, kZoomIn},
    {'-', {GDK_KEY_minus, GDK_KEY_underscore}, Role::kZoom, kWindow, kZoomOut},
    {WXK_SUBTRACT, {}, Role::kZoom, kWindow, kZoomOut},
    {WXK_NUMPAD_SUBTRACT, {GDK_KEY_KP_Subtract}, Role::kZoom, kWindow, kZoomOut},
    {'0', {GDK_KEY_0}, Role::kZoom, kWindow, kZoomReset},
    {WXK_NUMPAD0, {GDK_KEY_KP_0}, Role::kZoom, kWindow, kZoomReset},
    {WXK_PAGEUP, {GDK_KEY_Page_Up}, Role::kScroll, kPage, kPageUp},
    {WXK_NUMPAD_PAGEUP, {GDK_KEY_KP_Page_Up}, Role::kScroll, kPage, kPageUp},
    {WXK_PAGEDOWN, {GDK_KEY_Page_Down}, Role::kScroll, kPage, kPageDown},
    {WXK_NUMPAD_PAGEDOWN, {GDK_KEY_KP_Page_Down}, Role::kScroll, kPage, kPageDown},
    {WXK_HOME, {GDK_KEY_Home}, Role::kScroll, kPage, kPageTop},
    {WXK_NUMPAD_HOME, {GDK_KEY_KP_Home}, Role::kScroll, kPage, kPageTop},
    {WXK_END, {GDK_KEY_End}, Role::kScroll, kPage, kPageEnd},
    {WXK_NUMPAD_END, {GDK_KEY_KP_End}, Role::kScroll, kPage, kPageEnd},
    {'P', {GDK_KEY_p, GDK_KEY_P}, Role::kAccessKey, kWindow, kReplay},
    {'O', {GDK_KEY_o, GDK_KEY_O}, Role::kAccessKey, kWindow, Press(Control::kOpen)},
    {'S', {GDK_KEY_s, GDK_KEY_S}, Role::kAccessKey, kWindow, Press(Control::kShuffle)},
    {'Z', {GDK_KEY_z, GDK_KEY_Z}, Role::kAccessKey, kWindow, Press(Control::kBack)},
    {'X', {GDK_KEY_x, GDK_KEY_X}, Role::kAccessKey, kWindow, Press(Control::kQuit)},
};

// The table's row of `keyCode`, letters in either case; null for a key that is not in it.
const TableKey* Find(int keyCode) {
  if (keyCode >= 'a' && keyCode <= 'z') keyCode -= 'a' - 'A';
  for (const TableKey& key : kKeys) {
    if (key.code == keyCode) return &key;
  }
  return nullptr;
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
    case Role::kZoom:
      return zoom ? key->action : kNothing;
    case Role::kScroll:
      return focused == Control::kView || modifiers != 0 ? kNothing : key->action;
    case Role::kAccessKey:
      // With Alt anywhere in the window; alone while a button has the focus.
      if (ctrl || (!alt && !onButton)) return kNothing;
      return key->action;
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
