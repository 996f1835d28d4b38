#include "shell/controls.h"

namespace tavrin {

Control StepInTabOrder(Control from, int step) {
  const int count = static_cast<int>(kControlCount);
  const int at = from == Control::kNone ? 0 : static_cast<int>(from);
  return static_cast<Control>(((at + step) % count + count) % count);
}

ControlBounds ArrangedBounds(wxSize client, int buttonHeight, int buttonWidth) {
  ControlBounds bounds;
  auto& [view, open, shuffle, ok, back, quit] = bounds;
  const int h = buttonHeight;
  for (wxRect* button : {&open, &shuffle, &back, &quit}) {
    *button = wxRect(0, client.y - h, buttonWidth, h);
  }
  view = wxRect(0, 0, client.x, client.y - h);
  ok.y = client.y - h;
  ok.height = h;
  shuffle.x = open.width;
  quit.x = client.x - quit.width;
  back.x = quit.x - back.width;
  ok.x = shuffle.x + shuffle.width;
  ok.width = back.x - ok.x;
  return bounds;
}

}  // namespace tavrin
