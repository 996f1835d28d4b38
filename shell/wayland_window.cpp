#include "shell/wayland_window.h"

#include <gdk/gdkwayland.h>
#include <gtk/gtk.h>

#include <wx/toplevel.h>

namespace tavrin {

namespace {

GtkWidget* Widget(const wxWindow& window) {
  return static_cast<GtkWidget*>(window.GetHandle());
}

// Whether `event` tells that the compositor made the window active. The toolkit's own focused
// state at the map comes with the window leaving the withdrawn state; the compositor's does not.
bool IsCompositorActivation(const GdkEventWindowState& event) {
  return (event.new_window_state & GDK_WINDOW_STATE_FOCUSED) != 0 &&
         (event.changed_mask & GDK_WINDOW_STATE_FOCUSED) != 0 &&
         (event.changed_mask & GDK_WINDOW_STATE_WITHDRAWN) == 0;
}

}  // namespace

bool IsOnWayland(const wxWindow& window) {
  GtkWidget* widget = Widget(window);
  return widget != nullptr && GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(widget));
}

struct CompositorActivation::Signals {
  static gboolean WindowState(GtkWidget*, GdkEventWindowState* event, CompositorActivation* self) {
    if (IsCompositorActivation(*event)) self->QueueActivation();
    return FALSE;
  }
};

CompositorActivation::CompositorActivation(wxTopLevelWindow& window) : window_(window) {
  if (!IsOnWayland(window_)) return;
  g_signal_connect(Widget(window_), "window-state-event", G_CALLBACK(Signals::WindowState), this);
}

CompositorActivation::~CompositorActivation() {
  if (GtkWidget* widget = Widget(window_)) g_signal_handlers_disconnect_by_data(widget, this);
}

void CompositorActivation::QueueActivation() {
  auto* activate = new wxActivateEvent(wxEVT_ACTIVATE, true, window_.GetId());
  activate->SetEventObject(&window_);
  window_.GetEventHandler()->QueueEvent(activate);
}

}  // namespace tavrin
