#include "shell/window_placement.h"

#include <gtk/gtk.h>

#include <wx/display.h>
#include <wx/toplevel.h>

namespace tavrin {

namespace {

GtkWidget* Widget(wxTopLevelWindow& window) {
  return static_cast<GtkWidget*>(window.GetHandle());
}

}  // namespace

WindowPlacement::WindowPlacement(wxTopLevelWindow& window, const ControlBounds& layout,
                                 wxSize designed)
    : window_(window),
      layout_(layout),
      // The primary display while the window is on none yet.
      normal_(CentredBounds(designed, wxDisplay(&window).GetClientArea())) {
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
  // wxWidgets tells of a maximize but not of its end; the toolkit tells of both.
  using StateHandler = gboolean (*)(GtkWidget*, GdkEventWindowState*, WindowPlacement*);
  const StateHandler changed = [](GtkWidget*, GdkEventWindowState* event, WindowPlacement* self) {
    if (event->changed_mask & GDK_WINDOW_STATE_MAXIMIZED) {
      self->restoring_ = !(event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED);
      if (self->restoring_) self->Unmaximized();
    }
    return FALSE;
  };
  // The window manager gives the normal state's frame only after the state has changed, and until
  // then wxWidgets sizes the window for the frame of the maximized state: placed once more now.
  using PropertyHandler = gboolean (*)(GtkWidget*, GdkEventProperty*, WindowPlacement*);
  const PropertyHandler frame = [](GtkWidget*, GdkEventProperty* event, WindowPlacement* self) {
    if (self->restoring_ && event->atom == gdk_atom_intern_static_string("_NET_FRAME_EXTENTS")) {
      self->restoring_ = false;
      self->Unmaximized();
    }
    return FALSE;
  };
  g_signal_connect(Widget(window_), "window-state-event", G_CALLBACK(changed), this);
  // After wxWidgets' own handler, which takes the new frame into its sizes.
  g_signal_connect_after(Widget(window_), "property-notify-event", G_CALLBACK(frame), this);
}

WindowPlacement::~WindowPlacement() {
  g_signal_handlers_disconnect_by_data(Widget(window_), this);
}

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
    window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
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

void WindowPlacement::Unmaximized() {
  if (tracking_) window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
}

void WindowPlacement::Set(int wxRect::*field, int32_t value) {
  normal_.*field = value;
  window_.SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
}

}  // namespace tavrin
