#include "shell/window_placement.h"

#include <wx/toplevel.h>

namespace tavrin {

WindowPlacement::WindowPlacement(wxTopLevelWindow& window, const ControlBounds& layout)
    : window_(window), layout_(layout), normal_(window.GetRect()) {}

bool WindowPlacement::IsMaximized() const {
  return window_.IsMaximized();
}

void WindowPlacement::SetMaximized() {
  window_.Maximize(true);
}

void WindowPlacement::Restore() {
  if (window_.IsMaximized()) window_.Maximize(false);
}

void WindowPlacement::StartTracking() {
  if (!window_.IsMaximized()) {
    if (read_) window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
    normal_ = window_.GetRect();
  }
  // Until now size and move events told of the window manager's first placement, not the user's.
  tracking_ = true;
}

void WindowPlacement::Track() {
  if (tracking_ && !window_.IsMaximized() && !window_.IsIconized() && !window_.IsFullScreen()) {
    normal_ = window_.GetRect();
  }
}

void WindowPlacement::Set(int wxRect::*field, int32_t value) {
  normal_.*field = value;
  read_ = true;
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
}

}  // namespace tavrin
