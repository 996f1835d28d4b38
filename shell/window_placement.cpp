#include "shell/window_placement.h"

#include <gtk/gtk.h>

#include <wx/display.h>
#include <wx/toplevel.h>

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
// How long a maximize waits at most once the window is shown.
constexpr int kPlacingMilliseconds = 1500;

}  // namespace

WindowPlacement::WindowPlacement(wxTopLevelWindow& window, const ControlBounds& layout,
                                 wxSize designed)
    : window_(window),
      layout_(layout),
      // The primary display while the window is on none yet.
      normal_(CentredBounds(designed, wxDisplay(&window).GetClientArea())) {
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
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
  giveUp_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    placingEvents_ = 0;
    MaximizeWhenPlaced();
  });
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
  if (window_.IsMaximized()) window_.Maximize(false);
}

void WindowPlacement::StartTracking() {
  if (!window_.IsMaximized()) {
    window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
    normal_ = window_.GetRect();
  }
  // Until now size and move events told of the window manager's first placement, not the user's.
  tracking_ = true;
  MaximizeWhenPlaced();
}

void WindowPlacement::Track() {
  if (tracking_ && !maximizeWhenPlaced_ && !window_.IsMaximized() && !window_.IsIconized() &&
      !window_.IsFullScreen()) {
    normal_ = window_.GetRect();
  }
}

void WindowPlacement::MaximizeWhenPlaced() {
  if (!maximizeWhenPlaced_ || !tracking_) return;
  if (FrameOnScreen(window_) == normal_ || --placingEvents_ < 0) {
    maximizeWhenPlaced_ = false;
    giveUp_.Stop();
    window_.Maximize(true);
  } else if (!giveUp_.IsRunning()) {
    giveUp_.StartOnce(kPlacingMilliseconds);
  }
}

void WindowPlacement::Set(int wxRect::*field, int32_t value) {
  normal_.*field = value;
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
}

}  // namespace tavrin
