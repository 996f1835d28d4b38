// The main window's keyboard table, tab order and layout as pure functions: no window, no display.
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
using tavrin::kPrevious;
using tavrin::kZoomIn;
using tavrin::kZoomOut;
using tavrin::kZoomReset;
using tavrin::Press;

// Every key of the README's keys table, each with every focus: the view, nothing, each button.
TEST(Keyboard, EachKeyActsAsTheTableSays) {
  constexpr int kShift = wxMOD_SHIFT, kCtrl = wxMOD_CONTROL, kAlt = wxMOD_ALT;
  // Stands for a press of whichever button has the focus.
  const KeyAction kFocused = Press(Control::kNone);
  struct Row {
    int key, modifiers;
    KeyAction offButton, onButton;  // with the focus on the view or nothing; on a button
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
  for (const Row& row : rows) {
    for (int f = 0; f <= static_cast<int>(Control::kNone); ++f) {
      const auto focused = static_cast<Control>(f);
      const bool onButton = focused != Control::kView && focused != Control::kNone;
      KeyAction expected = onButton ? row.onButton : row.offButton;
      if (expected == kFocused) expected = Press(focused);
      EXPECT_EQ(tavrin::ActionForKey(row.key, row.modifiers, focused), expected)
          << "key " << row.key << ", modifiers " << row.modifiers << ", focus " << f;
    }
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

}  // namespace
