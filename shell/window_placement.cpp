#include "shell/window_placement.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>

#include <wx/display.h>
#include <wx/toplevel.h>

#include "shell/wayland_window.h"

namespace tavrin {

namespace {

GtkWidget* Widget(wxTopLevelWindow& window) {
  return static_cast<GtkWidget*>(window.GetHandle());
}

// The outer frame that the window really has on the screen, as the X server reports it.
wxRect FrameOnScreen(wxTopLevelWindow& window) {
  GdkRectangle frame{};
  if (GdkWindow* native = gtk_widget_get_window(Widget(window))) {
    gdk_window_get_frame_extents(native, &frame);
  }
  return wxRect(frame.x, frame.y, frame.width, frame.height);
}

// How many moves and sizes of the window a maximize waits for the window to reach its normal
// placement; a window manager may never put it exactly there.
constexpr int kPlacingEvents = 4;
// How long a maximize waits at most once the window is tracked: some window managers send
// no move or size at all.
constexpr int kPlacingTimeoutMs = 1000;

// The work area of the display that the centre of `bounds` lies on, or of the first display.
wxRect WorkAreaUnder(const wxRect& bounds) {
  const auto centre = [](int start, int length) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{start} + length / 2, INT32_MIN, INT32_MAX));
  };
  const int display = wxDisplay::GetFromPoint(
      wxPoint(centre(bounds.x, bounds.width), centre(bounds.y, bounds.height)));
  return wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
}

}  // namespace

WindowPlacement::WindowPlacement(wxTopLevelWindow& window, const ControlBounds& layout,
                                 wxSize designed)
    : window_(window),
      layout_(layout),
      onWayland_(IsOnWayland(window)),
      // The primary display while the window is on none yet.
      saved_(CentredBounds(designed, wxDisplay(&window).GetClientArea())),
      normal_(saved_) {
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
  placingTimeout_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    placingEvents_ = 0;
    MaximizeWhenPlaced();
  });
  // Every move and size that the X server reports, also those that wxWidgets keeps to itself
  // because it asked for them.
  using ConfigureHandler = gboolean (*)(GtkWidget*, GdkEventConfigure*, WindowPlacement*);
  const ConfigureHandler configured = [](GtkWidget*, GdkEventConfigure*, WindowPlacement* self) {
    self->MaximizeWhenPlaced();
    return FALSE;
  };
  // The window manager changes the frame as the window enters or leaves the maximized state,
  // after the state itself; wxWidgets then keeps the client size and changes the window's size
  // by as much, without a size event.
  using PropertyHandler = gboolean (*)(GtkWidget*, GdkEventProperty*, WindowPlacement*);
  const PropertyHandler frame = [](GtkWidget*, GdkEventProperty* event, WindowPlacement* self) {
    if (event->atom == gdk_atom_intern_static_string("_NET_FRAME_EXTENTS")) self->Track();
    return FALSE;
  };
  // Both after wxWidgets' own handlers, which bring its sizes up to date.
  g_signal_connect(Widget(window_), "configure-event", G_CALLBACK(configured), this);
  g_signal_connect(Widget(window_), "property-notify-event", G_CALLBACK(frame), this);
}

WindowPlacement::~WindowPlacement() {
  g_signal_handlers_disconnect_by_data(Widget(window_), this);
}

bool WindowPlacement::IsMaximized() const {
  return window_.IsMaximized() || maximizeWhenPlaced_;
}

void WindowPlacement::SetMaximized() {
  maximizeWhenPlaced_ = true;
  placingEvents_ = kPlacingEvents;
  MaximizeWhenPlaced();
}

void WindowPlacement::Restore() {
  maximizeWhenPlaced_ = false;
  placingTimeout_.Stop();
  if (window_.IsMaximized()) window_.Maximize(false);
}

void WindowPlacement::StartTracking() {
  if (!window_.IsMaximized()) {
    window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
    TakeShownBounds();
  }
  // Until now size and move events told of the window manager's first placement, not the user's.
  tracking_ = true;
  MaximizeWhenPlaced();
}

void WindowPlacement::Track() {
  if (tracking_ && !maximizeWhenPlaced_ && !window_.IsMaximized() && !window_.IsIconized() &&
      !window_.IsFullScreen()) {
    TakeShownBounds();
  }
}

void WindowPlacement::TakeShownBounds() {
  const wxRect shown = window_.GetRect();
  normal_ = onWayland_ ? wxRect(normal_.GetPosition(), shown.GetSize()) : shown;
}

bool WindowPlacement::IsPlaced() const {
  // Under Wayland the frame is always reported at 0,0, and only a new size is ever reported.
  const wxRect frame = FrameOnScreen(window_);
  return onWayland_ ? frame.GetSize() == normal_.GetSize() : frame == normal_;
}

void WindowPlacement::MaximizeWhenPlaced() {
  if (!maximizeWhenPlaced_ || !tracking_) return;
  if (!placingTimeout_.IsRunning()) placingTimeout_.StartOnce(kPlacingTimeoutMs);
  if (IsPlaced() || --placingEvents_ < 0) {
    maximizeWhenPlaced_ = false;
    placingTimeout_.Stop();
    window_.Maximize(true);
  }
}

void WindowPlacement::Set(int wxRect::*field, int32_t value) {
  saved_.*field = value;
  if (onWayland_) {
    // The edges mean nothing to the compositor; they are kept to be written back as they came.
    const wxRect area = wxDisplay(&window_).GetClientArea();
    normal_ = wxRect(saved_.GetPosition(), FittedBounds(saved_, area).GetSize());
  } else {
    normal_ = FittedBounds(saved_, WorkAreaUnder(saved_));
  }
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
}

}  // namespace tavrin
