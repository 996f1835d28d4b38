#include "shell/controls.h"

#include <algorithm>
#include <cstdint>

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

PlaceLineSlot MakeRoomForPlaceLine(ControlBounds& bounds, int buttonWidth, int withName, int place,
                                   int textHeight) {
  constexpr int kMargin = 8;  // each side of the text, apart from the buttons
  wxRect& ok = bounds[static_cast<std::size_t>(Control::kOk)];
  const int room = ok.width - std::max(buttonWidth, 0) - 2 * kMargin;
  PlaceLineSlot slot;
  int width = 0;
  if (withName > 0 && withName <= room) {
    slot.fit = PlaceLineFit::kWithName;
    width = withName;
  } else if (place > 0 && place <= room) {
    slot.fit = PlaceLineFit::kPlace;
    width = place;
  } else {
    return slot;
  }
  ok.width -= width + 2 * kMargin;
  slot.bounds =
      wxRect(ok.x + ok.width + kMargin, ok.y + (ok.height - textHeight) / 2, width, textHeight);
  return slot;
}

wxRect CentredBounds(wxSize size, const wxRect& workArea) {
  const int width = std::min(size.x, workArea.width);
  const int height = std::min(size.y, workArea.height);
  return wxRect(workArea.x + (workArea.width - width) / 2,
                workArea.y + (workArea.height - height) / 2, width, height);
}

wxRect FittedBounds(const wxRect& saved, const wxRect& workArea) {
  // In 64 bits: a saved edge plus a saved length may pass the int range.
  const auto fit = [](int start, int length, int areaStart, int areaLength, int& outLength) {
    outLength = std::min(length, areaLength);
    const int64_t lastStart = int64_t{areaStart} + areaLength - std::max(outLength, 0);
    return static_cast<int>(std::max<int64_t>(areaStart, std::min<int64_t>(start, lastStart)));
  };
  wxRect fitted;
  fitted.x = fit(saved.x, saved.width, workArea.x, workArea.width, fitted.width);
  fitted.y = fit(saved.y, saved.height, workArea.y, workArea.height, fitted.height);
  return fitted;
}

}  // namespace tavrin
