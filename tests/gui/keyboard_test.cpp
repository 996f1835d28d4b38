// The main window's keyboard table, tab order and layout as pure functions: no window, no display.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

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

// Every key of the README's keys table, each with every focus: the view, nothing, each button.
TEST(Keyboard, EachKeyActsAsTheTableSays) {
  constexpr int kShift = wxMOD_SHIFT, kCtrl = wxMOD_CONTROL, kAlt = wxMOD_ALT;
  // Stands for a press of whichever button has the focus.
  const KeyAction kFocused = Press(Control::kNone);
  // Stands for the action with the focus on the view.
  static constexpr KeyAction kAsOnView = Press(Control::kView);
  struct Row {
    int key, modifiers;
    KeyAction offButton, onButton;    // with the focus on the view or nothing; on a button
    KeyAction onNoFocus = kAsOnView;  // with no control focused, where it differs from the view
  };
  std::vector<Row> rows = {
      // Enter presses the focused button, else the default button; not with a modifier.
      {WXK_RETURN, 0, Press(Control::kOk), kFocused},
      {WXK_NUMPAD_ENTER, 0, Press(Control::kOk), kFocused},
      {WXK_RETURN, kShift, kNothing, kNothing},
      {WXK_RETURN, kCtrl, kNothing, kNothing},
      {WXK_NUMPAD_ENTER, kAlt, kNothing, kNothing},
      // Esc presses Back wherever the focus is, without a modifier.
      {WXK_ESCAPE, 0, Press(Control::kBack), Press(Control::kBack)},
      {WXK_ESCAPE, kShift, kNothing, kNothing},
      // Space presses the focused button only; Shift does not stop it.
      {WXK_SPACE, 0, kNothing, kFocused},
      {WXK_SPACE, kShift, kNothing, kFocused},
      {WXK_SPACE, kAlt, kNothing, kNothing},
      {WXK_SPACE, kCtrl, kNothing, kNothing},
      // Tab and Shift+Tab, not with Ctrl or Alt.
      {WXK_TAB, 0, kNext, kNext},
      {WXK_TAB, kShift, kPrevious, kPrevious},
      {WXK_TAB, kCtrl, kNothing, kNothing},
      {WXK_TAB, kAlt | kShift, kNothing, kNothing},
      // Zoom: Ctrl with plus, equals, minus, 0 or their keypad keys, Shift or not, anywhere.
      {'+', kCtrl, kZoomIn, kZoomIn},
      {'+', kCtrl | kShift, kZoomIn, kZoomIn},
      {'=', kCtrl, kZoomIn, kZoomIn},
      {WXK_ADD, kCtrl, kZoomIn, kZoomIn},
      {WXK_NUMPAD_ADD, kCtrl, kZoomIn, kZoomIn},
      {'-', kCtrl, kZoomOut, kZoomOut},
      {WXK_SUBTRACT, kCtrl, kZoomOut, kZoomOut},
      {WXK_NUMPAD_SUBTRACT, kCtrl | kShift, kZoomOut, kZoomOut},
      {'0', kCtrl, kZoomReset, kZoomReset},
      {WXK_NUMPAD0, kCtrl, kZoomReset, kZoomReset},
      {'=', 0, kNothing, kNothing},
      {'0', 0, kNothing, kNothing},
      {'0', kCtrl | kAlt, kNothing, kNothing},
      // Replay as an access key: Alt+P anywhere, P alone on a button.
      {'P', kAlt, kReplay, kReplay},
      {'p', kAlt | kShift, kReplay, kReplay},
      {'p', 0, kNothing, kReplay},
      {'P', kShift, kNothing, kReplay},
      {'P', kCtrl, kNothing, kNothing},
      {'P', kCtrl | kAlt, kNothing, kNothing},
      // OK has no access key; other keys mean nothing.
      {'K', kAlt, kNothing, kNothing},
      {'A', 0, kNothing, kNothing},
      {WXK_F4, kAlt, kNothing, kNothing},
  };
  // Arrows, with Shift or Ctrl too, but not Alt.
  const std::pair<int, KeyAction> arrows[] = {
      {WXK_RIGHT, kNext},           {WXK_DOWN, kNext},         {WXK_NUMPAD_RIGHT, kNext},
      {WXK_NUMPAD_DOWN, kNext},     {WXK_LEFT, kPrevious},     {WXK_UP, kPrevious},
      {WXK_NUMPAD_LEFT, kPrevious}, {WXK_NUMPAD_UP, kPrevious}};
  for (const auto& [key, action] : arrows) {
    for (int modifiers : {0, kShift, kCtrl}) rows.push_back({key, modifiers, action, action});
    rows.push_back({key, kAlt, kNothing, kNothing});
  }
  // Access keys, in either case: with Alt anywhere, alone on a button, never with Ctrl.
  const std::pair<int, Control> accessKeys[] = {{'O', Control::kOpen},
                                                {'S', Control::kShuffle},
                                                {'Z', Control::kBack},
                                                {'X', Control::kQuit}};
  for (const auto& [upper, button] : accessKeys) {
    for (int key : {upper, upper - 'A' + 'a'}) {
      rows.push_back({key, kAlt, Press(button), Press(button)});
      rows.push_back({key, kAlt | kShift, Press(button), Press(button)});
      rows.push_back({key, 0, kNothing, Press(button)});
      rows.push_back({key, kShift, kNothing, Press(button)});
      rows.push_back({key, kCtrl, kNothing, kNothing});
      rows.push_back({key, kCtrl | kAlt, kNothing, kNothing});
    }
  }
  // Page keys, alone, scroll from anywhere but the view, which scrolls by itself.
  const std::pair<int, KeyAction> pageKeys[] = {
      {WXK_PAGEUP, kPageUp},     {WXK_NUMPAD_PAGEUP, kPageUp},
      {WXK_PAGEDOWN, kPageDown}, {WXK_NUMPAD_PAGEDOWN, kPageDown},
      {WXK_HOME, kPageTop},      {WXK_NUMPAD_HOME, kPageTop},
      {WXK_END, kPageEnd},       {WXK_NUMPAD_END, kPageEnd}};
  for (const auto& [key, action] : pageKeys) {
    rows.push_back({key, 0, kNothing, action, action});
    for (int modifiers : {kShift, kCtrl, kAlt})
      rows.push_back({key, modifiers, kNothing, kNothing});
  }
  for (const Row& row : rows) {
    for (int f = 0; f <= static_cast<int>(Control::kNone); ++f) {
      const auto focused = static_cast<Control>(f);
      const bool onButton = focused != Control::kView && focused != Control::kNone;
      KeyAction expected = onButton ? row.onButton : row.offButton;
      if (focused == Control::kNone && !(row.onNoFocus == kAsOnView)) expected = row.onNoFocus;
      if (expected == kFocused) expected = Press(focused);
      EXPECT_EQ(tavrin::ActionForKey(row.key, row.modifiers, focused), expected)
          << "key " << row.key << ", modifiers " << row.modifiers << ", focus " << f;
    }
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
  // Every level, one step at a time each way, and no further at the ends.
  const std::vector<int32_t> levels{30,  50,  67,  80,  90,  100, 110,
                                    120, 133, 150, 170, 200, 240, 300};
  for (std::size_t i = 0; i < levels.size(); ++i) {
    EXPECT_EQ(tavrin::ZoomAfter(levels[i], 1), levels[std::min(i + 1, levels.size() - 1)]);
    EXPECT_EQ(tavrin::ZoomAfter(levels[i], -1), levels[i == 0 ? 0 : i - 1]);
    EXPECT_EQ(tavrin::ZoomAfter(levels[i], 0), levels[i]);
  }
  // From, steps, to; a level between two (from a hand-edited file) moves to the next one.
  const int rows[][3] = {{100, 1, 110}, {100, -3, 67},  {67, -2, 30},  {240, 5, 300},
                         {300, 1, 300}, {30, -1, 30},   {125, 1, 133}, {125, -1, 120},
                         {30, 13, 300}, {300, -13, 30}, {30, 99, 300}};
  for (const auto& [from, steps, to] : rows) EXPECT_EQ(tavrin::ZoomAfter(from, steps), to) << from;
  // Wheel events, each a rotation, a notch and the notches it completes.
  struct Turn {
    int rotation, delta, notches;
  };
  const std::vector<std::vector<Turn>> turns = {
      {{-240, 120, -2}, {120, 120, 1}},
      {{60, 120, 0}, {59, 0, 0}, {1, 120, 1}},  // a notch of 0 counts as 120
      {{100, 120, 0}, {-100, 120, 0}},
      // A turn back drops the rest of the other direction, either way.
      {{100, 120, 0}, {-60, 120, 0}, {-60, 120, -1}},
      {{-100, 120, 0}, {60, 120, 0}, {60, 120, 1}},
      {{40, 120, 0}, {40, 120, 0}, {40, 120, 1}, {-80, 120, 0}},
  };
  for (std::size_t t = 0; t < turns.size(); ++t) {
    tavrin::WheelNotches wheel;
    for (const Turn& turn : turns[t]) {
      EXPECT_EQ(wheel.Add(turn.rotation, turn.delta), turn.notches)
          << "row " << t << ", rotation " << turn.rotation;
    }
  }
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
      // Cut to a side that is shorter than the window's: the height, the width, or both.
      {wxSize(952, 656), wxRect(0, 24, 1024, 576), wxRect(36, 24, 952, 576)},
      {wxSize(952, 656), wxRect(0, 0, 800, 1024), wxRect(0, 184, 800, 656)},
      {wxSize(952, 656), wxRect(20, 10, 640, 480), wxRect(20, 10, 640, 480)},
      {wxSize(952, 656), wxRect(0, 0, 952, 656), wxRect(0, 0, 952, 656)},
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
