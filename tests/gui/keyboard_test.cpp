// The main window's keyboard table, tab order and layout as pure functions: no window, no display.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <wx/defs.h>

#include "shell/controls.h"
#include "shell/keyboard.h"
#include "shell/zoom_steps.h"

namespace {

using tavrin::Control;
using tavrin::KeyAction;
using tavrin::KeyEffect;

using tavrin::kNext;
using tavrin::kNothing;
using tavrin::kPageDown;
using tavrin::kPageEnd;
using tavrin::kPageTop;
using tavrin::kPageUp;
using tavrin::kPrevious;
using tavrin::kReplay;
using tavrin::kZoomIn;
using tavrin::kZoomOut;
using tavrin::kZoomReset;
using tavrin::Press;

TEST(Keyboard, EachKeyActsAsTheTableSays) {
  constexpr int kShift = wxMOD_SHIFT, kCtrl = wxMOD_CONTROL, kAlt = wxMOD_ALT;
  struct Row {
    int key, modifiers;
    Control focused;
    KeyAction action;
  };
  const Row rows[] = {
      // Enter presses the focused button, else the default button; not with a modifier.
      {WXK_RETURN, 0, Control::kShuffle, Press(Control::kShuffle)},
      {WXK_RETURN, 0, Control::kView, Press(Control::kOk)},
      {WXK_NUMPAD_ENTER, 0, Control::kNone, Press(Control::kOk)},
      {WXK_RETURN, kShift, Control::kBack, kNothing},
      {WXK_RETURN, kCtrl, Control::kView, kNothing},
      {WXK_NUMPAD_ENTER, kAlt, Control::kOpen, kNothing},
      // Esc presses Back wherever the focus is, without a modifier.
      {WXK_ESCAPE, 0, Control::kView, Press(Control::kBack)},
      {WXK_ESCAPE, 0, Control::kQuit, Press(Control::kBack)},
      {WXK_ESCAPE, kShift, Control::kOk, kNothing},
      // Space presses the focused button only; Shift does not stop it.
      {WXK_SPACE, 0, Control::kQuit, Press(Control::kQuit)},
      {WXK_SPACE, kShift, Control::kOpen, Press(Control::kOpen)},
      {WXK_SPACE, 0, Control::kView, kNothing},
      {WXK_SPACE, 0, Control::kNone, kNothing},
      {WXK_SPACE, kAlt, Control::kOk, kNothing},
      // Tab and Shift+Tab, not with Ctrl or Alt.
      {WXK_TAB, 0, Control::kView, kNext},
      {WXK_TAB, kShift, Control::kOk, kPrevious},
      {WXK_TAB, kCtrl, Control::kOk, kNothing},
      {WXK_TAB, kAlt | kShift, Control::kView, kNothing},
      // Arrows, with Shift or Ctrl too, but not Alt.
      {WXK_RIGHT, 0, Control::kOk, kNext},
      {WXK_NUMPAD_DOWN, kShift, Control::kView, kNext},
      {WXK_UP, kCtrl, Control::kBack, kPrevious},
      {WXK_NUMPAD_LEFT, 0, Control::kNone, kPrevious},
      {WXK_DOWN, kAlt, Control::kOk, kNothing},
      // Access keys: with Alt anywhere, alone on a button, never with Ctrl; either case.
      {'O', kAlt, Control::kView, Press(Control::kOpen)},
      {'s', kAlt | kShift, Control::kNone, Press(Control::kShuffle)},
      {'z', 0, Control::kOk, Press(Control::kBack)},
      {'X', kShift, Control::kShuffle, Press(Control::kQuit)},
      {'Z', 0, Control::kView, kNothing},
      {'x', 0, Control::kNone, kNothing},
      {'O', kCtrl | kAlt, Control::kView, kNothing},
      {'S', kCtrl, Control::kOk, kNothing},
      // Zoom: Ctrl with plus, equals, minus, 0 or their keypad keys, Shift or not, anywhere.
      {'+', kCtrl | kShift, Control::kView, kZoomIn},
      {WXK_NUMPAD_ADD, kCtrl, Control::kNone, kZoomIn},
      {'-', kCtrl, Control::kQuit, kZoomOut},
      {WXK_NUMPAD_SUBTRACT, kCtrl | kShift, Control::kView, kZoomOut},
      {WXK_NUMPAD0, kCtrl, Control::kOk, kZoomReset},
      {'=', 0, Control::kView, kNothing},
      {'0', kCtrl | kAlt, Control::kView, kNothing},
      // Page keys scroll from wherever the focus is but the view, which scrolls by itself.
      {WXK_PAGEDOWN, 0, Control::kOk, kPageDown},
      {WXK_NUMPAD_PAGEUP, 0, Control::kNone, kPageUp},
      {WXK_HOME, 0, Control::kQuit, kPageTop},
      {WXK_NUMPAD_END, 0, Control::kOpen, kPageEnd},
      {WXK_PAGEDOWN, 0, Control::kView, kNothing},
      {WXK_END, kCtrl, Control::kOk, kNothing},
      // Replay as an access key: Alt+P anywhere, P alone on a button.
      {'P', kAlt, Control::kView, kReplay},
      {'p', 0, Control::kBack, kReplay},
      {'P', 0, Control::kView, kNothing},
      {'P', kCtrl | kAlt, Control::kOk, kNothing},
      // OK has no access key; other keys mean nothing.
      {'K', kAlt, Control::kView, kNothing},
      {'A', 0, Control::kOk, kNothing},
      {WXK_F4, kAlt, Control::kView, kNothing},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(tavrin::ActionForKey(row.key, row.modifiers, row.focused), row.action)
        << "key " << row.key << ", modifiers " << row.modifiers << ", focus "
        << static_cast<int>(row.focused);
  }
}

TEST(Keyboard, TheWindowsKeysComeBeforeThePageAndEveryTypedKeyIsFoundInTheOneList) {
  constexpr int kShift = wxMOD_SHIFT, kCtrl = wxMOD_CONTROL, kAlt = wxMOD_ALT;
  // Access keys with Alt, zoom and Tab act whatever the page does; Enter, Esc, Space and the
  // arrows are the page's first; keys that mean nothing in the view are the page's.
  const struct {
    int key, modifiers;
    bool first;
  } orders[] = {
      {'O', kAlt, true},
      {'x', kAlt | kShift, true},
      {WXK_TAB, 0, true},
      {WXK_TAB, kShift, true},
      {'=', kCtrl, true},
      {WXK_NUMPAD0, kCtrl, true},
      {'-', kCtrl | kShift, true},
      {WXK_RETURN, 0, false},
      {WXK_ESCAPE, 0, false},
      {WXK_SPACE, 0, false},
      {WXK_DOWN, 0, false},
      {'O', 0, false},
      {'=', 0, false},
      {WXK_TAB, kCtrl, false},
      {'S', kCtrl | kAlt, false},
      {'K', kAlt, false},
  };
  for (const auto& row : orders) {
    EXPECT_EQ(tavrin::ComesBeforeThePage(row.key, row.modifiers), row.first)
        << "key " << row.key << ", modifiers " << row.modifiers;
  }
  // The platform's key values of the view's keys: letters in upper case, each Tab alike.
  const unsigned typed[][2] = {
      {GDK_KEY_o, 'O'},
      {GDK_KEY_X, 'X'},
      {GDK_KEY_ISO_Left_Tab, WXK_TAB},
      {GDK_KEY_KP_Enter, WXK_NUMPAD_ENTER},
      {GDK_KEY_underscore, '-'},
      {GDK_KEY_KP_0, WXK_NUMPAD0},
      {GDK_KEY_KP_Up, WXK_NUMPAD_UP},
      {GDK_KEY_a, 0},
      {GDK_KEY_F4, 0},
      {0, 0},
  };
  for (const auto& [keyval, code] : typed) {
    EXPECT_EQ(tavrin::KeyCodeOfKeyval(keyval), static_cast<int>(code)) << std::hex << keyval;
  }
}

TEST(Zoom, StepsThroughTheLevelsStopsAtTheEndsAndCountsWheelNotches) {
  // From, steps, to; a level between two (from a hand-edited file) moves to the next one.
  const int rows[][3] = {{100, 1, 110}, {100, -3, 67}, {67, -2, 30},  {240, 5, 300},
                         {300, 1, 300}, {30, -1, 30},  {125, 1, 133}, {125, -1, 120}};
  for (const auto& [from, steps, to] : rows) EXPECT_EQ(tavrin::ZoomAfter(from, steps), to) << from;
  tavrin::WheelNotches wheel;
  EXPECT_EQ(wheel.Add(-240, 120), -2);
  EXPECT_EQ(wheel.Add(60, 120) + wheel.Add(59, 0), 0);  // a notch of 0 counts as 120
  EXPECT_EQ(wheel.Add(1, 120), 1);
  EXPECT_EQ(wheel.Add(100, 120) + wheel.Add(-100, 120), 0);  // a turn back drops the rest
}

TEST(Controls, TabOrderGoesRoundAndStartsFromTheViewWhenNothingHasTheFocus) {
  EXPECT_EQ(tavrin::StepInTabOrder(Control::kView, 1), Control::kOpen);
  EXPECT_EQ(tavrin::StepInTabOrder(Control::kQuit, 1), Control::kView);
  EXPECT_EQ(tavrin::StepInTabOrder(Control::kView, -1), Control::kQuit);
  EXPECT_EQ(tavrin::StepInTabOrder(Control::kOk, -1), Control::kShuffle);
  EXPECT_EQ(tavrin::StepInTabOrder(Control::kNone, 1), Control::kOpen);
  EXPECT_EQ(tavrin::StepInTabOrder(Control::kNone, -1), Control::kQuit);
}

TEST(Controls, LayoutStretchesOkBetweenTheButtonPairsAndKeepsSizesBelowZero) {
  const tavrin::ControlBounds wide = tavrin::ArrangedBounds(wxSize(500, 300), 30, 60);
  const tavrin::ControlBounds expected{wxRect(0, 0, 500, 270),   wxRect(0, 270, 60, 30),
                                       wxRect(60, 270, 60, 30),  wxRect(120, 270, 260, 30),
                                       wxRect(380, 270, 60, 30), wxRect(440, 270, 60, 30)};
  EXPECT_EQ(wide, expected);
  // Narrower than four buttons: OK's width and, lower than the strip, the view's height go below 0.
  const tavrin::ControlBounds narrow = tavrin::ArrangedBounds(wxSize(200, 20), 30, 60);
  EXPECT_EQ(narrow[0], wxRect(0, 0, 200, -10));
  EXPECT_EQ(narrow[3], wxRect(120, -10, -40, 30));
}

TEST(Controls, ThePlaceLineTakesOkStretchNameFirstAndNeverABlock) {
  using tavrin::PlaceLineFit;
  // OK spans 120..380 in this row; it keeps 60 and the label 8 each side, so 184 are free.
  const struct {
    int withName, place;
    PlaceLineFit fit;
    int okWidth;
    wxRect label;
  } rows[] = {
      {150, 90, PlaceLineFit::kWithName, 94, wxRect(222, 277, 150, 16)},
      {184, 90, PlaceLineFit::kWithName, 60, wxRect(188, 277, 184, 16)},
      {185, 90, PlaceLineFit::kPlace, 154, wxRect(282, 277, 90, 16)},
      {300, 185, PlaceLineFit::kNone, 260, wxRect()},
      {0, 0, PlaceLineFit::kNone, 260, wxRect()},  // no deck
  };
  for (const auto& row : rows) {
    tavrin::ControlBounds bounds = tavrin::ArrangedBounds(wxSize(500, 300), 30, 60);
    const tavrin::ControlBounds before = bounds;
    const tavrin::PlaceLineSlot slot =
        tavrin::MakeRoomForPlaceLine(bounds, 60, row.withName, row.place, 16);
    EXPECT_EQ(slot.fit, row.fit) << row.withName;
    EXPECT_EQ(slot.bounds, row.label) << row.withName;
    EXPECT_EQ(bounds[3], wxRect(120, 270, row.okWidth, 30));
    for (std::size_t i : {0, 1, 2, 4, 5}) EXPECT_EQ(bounds[i], before[i]);
  }
  // Narrower than the buttons: no label, and the layout stays as it was.
  tavrin::ControlBounds narrow = tavrin::ArrangedBounds(wxSize(200, 20), 30, 60);
  EXPECT_EQ(tavrin::MakeRoomForPlaceLine(narrow, 60, 10, 10, 16).fit, PlaceLineFit::kNone);
  EXPECT_EQ(narrow[3].width, -40);
}

TEST(Controls, TheFirstPlacementIsCutToTheWorkAreaAndCentredOnIt) {
  const struct {
    wxSize size;
    wxRect workArea;
    wxRect expected;
  } rows[] = {
      {wxSize(952, 656), wxRect(0, 0, 1280, 1024), wxRect(164, 184, 952, 656)},
      // A panel along the top and one along the left: centred on what is left of the screen.
      {wxSize(952, 656), wxRect(40, 30, 1240, 994), wxRect(184, 199, 952, 656)},
      {wxSize(952, 656), wxRect(0, 24, 1024, 576), wxRect(36, 24, 952, 576)},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(tavrin::CentredBounds(row.size, row.workArea), row.expected)
        << row.workArea.x << "," << row.workArea.y << " " << row.workArea.width << "x"
        << row.workArea.height;
  }
}

TEST(Controls, ASavedPlacementIsMovedThenCutOntoTheWorkAreaAndOneThatFitsIsKept) {
  constexpr int kMax = 2147483647;
  constexpr int kMin = -kMax - 1;
  const wxRect screen(0, 0, 1280, 1024);
  const struct {
    wxRect saved;
    wxRect workArea;
    wxRect expected;
  } rows[] = {
      {wxRect(100, 80, 702, 525), screen, wxRect(100, 80, 702, 525)},
      {screen, screen, screen},
      // A second screen's work area, and one less a panel along the top and the left.
      {wxRect(1500, 100, 800, 600), wxRect(1280, 0, 1920, 1080), wxRect(1500, 100, 800, 600)},
      {wxRect(0, 0, 400, 300), wxRect(40, 30, 1240, 994), wxRect(40, 30, 400, 300)},
      // Past an edge: moved back in, keeping the size.
      {wxRect(1200, 900, 400, 300), screen, wxRect(880, 724, 400, 300)},
      {wxRect(-3000, -50, 400, 300), screen, wxRect(0, 0, 400, 300)},
      // Saved at screen scale 1, shown at scale 2 on a 1600x1000 screen.
      {wxRect(30, 20, 2204, 1426), wxRect(0, 0, 800, 500), wxRect(0, 0, 800, 500)},
      {wxRect(5, 7, kMax, kMax), screen, screen},
      {wxRect(kMax, kMin, kMax, 300), screen, wxRect(0, 0, 1280, 300)},
      {wxRect(kMin, kMax, 400, 300), screen, wxRect(0, 724, 400, 300)},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(tavrin::FittedBounds(row.saved, row.workArea), row.expected)
        << row.saved.x << "," << row.saved.y << " " << row.saved.width << "x" << row.saved.height;
  }
}

}  // namespace
