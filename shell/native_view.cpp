#include "shell/native_view.h"

#include <gtk/gtk.h>

#include <cctype>
#include <utility>
#include <vector>

#include <wx/utils.h>
#include <wx/webview.h>
#include <wx/window.h>

namespace tavrin {

wxDEFINE_EVENT(EVT_KEY_LEFT_BY_VIEW, wxKeyEvent);
wxDEFINE_EVENT(EVT_VIEW_PROCESS_ENDED, wxCommandEvent);

namespace {

// The wx key code of a GDK key value, for the keys that the keyboard table knows; 0 for others.
int KeyCodeOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_ISO_Enter:
      return WXK_RETURN;
    case GDK_KEY_KP_Enter:
      return WXK_NUMPAD_ENTER;
    case GDK_KEY_Escape:
      return WXK_ESCAPE;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
      return WXK_SPACE;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
    case GDK_KEY_KP_Tab:
      return WXK_TAB;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return WXK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return WXK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return WXK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return WXK_DOWN;
    case GDK_KEY_plus:
      return '+';
    case GDK_KEY_equal:
      return '=';
    case GDK_KEY_KP_Add:
      return WXK_NUMPAD_ADD;
    case GDK_KEY_minus:
    case GDK_KEY_underscore:  // Shift with minus, as the window's own keys count it
      return '-';
    case GDK_KEY_KP_Subtract:
      return WXK_NUMPAD_SUBTRACT;
    case GDK_KEY_0:
      return '0';
    case GDK_KEY_KP_0:
      return WXK_NUMPAD0;
    default:
      return keyval < 0x80 && std::isalpha(static_cast<int>(keyval))
                 ? std::toupper(static_cast<int>(keyval))
                 : 0;
  }
}

// The rotation of one notch of a wheel, as the toolkit counts it.
constexpr int kWheelDelta = 120;

GdkAtom UriListTarget() {
  return gdk_atom_intern_static_string("text/uri-list");
}

// A drag that another program began and that carries a list of URIs, as a file manager's does.
// The test depends on the drag alone, so each signal of one drag gets the same answer.
bool IsUriDragFromOutside(GdkDragContext* context) {
  if (gtk_drag_get_source_widget(context) != nullptr) return false;
  for (GList* target = gdk_drag_context_list_targets(context); target; target = target->next) {
    if (GDK_POINTER_TO_ATOM(target->data) == UriListTarget()) return true;
  }
  return false;
}

// The local files of a list of URIs, in their order, as the window's own drop target reads it.
std::vector<wxString> LocalFiles(GtkSelectionData* data) {
  std::vector<wxString> files;
  if (gchar** uris = gtk_selection_data_get_uris(data)) {
    for (gchar** uri = uris; *uri != nullptr; ++uri) {
      if (gchar* path = g_filename_from_uri(*uri, nullptr, nullptr)) {
        files.push_back(wxString(path, *wxConvFileName));
        g_free(path);
      }
    }
    g_strfreev(uris);
  }
  return files;
}

}  // namespace

// The drag handlers run before the view's own; a drag from outside never reaches the view.
struct NativeView::Signals {
  // Every key offered to the view passes here first, before the view's own handling.
  static gboolean KeyOffered(GtkWidget*, GdkEventKey* key, gpointer data) {
    auto* self = static_cast<NativeView*>(data);
    self->keyTime_ = key->time;
    self->keyval_ = key->keyval;
    return FALSE;
  }

  // The view hands back a key that it did not take by sending the same key event once more; at
  // its end it reaches the handlers connected after the view's own. That is where the window gets
  // it.
  static gboolean KeyLeft(GtkWidget*, GdkEventKey* key, gpointer data) {
    wxWindow& window = static_cast<NativeView*>(data)->window_;
    const int code = KeyCodeOf(key->keyval);
    if (code == 0) return FALSE;
    wxKeyEvent event(EVT_KEY_LEFT_BY_VIEW);
    event.m_keyCode = code;
    event.m_shiftDown = (key->state & GDK_SHIFT_MASK) != 0;
    event.m_controlDown = (key->state & GDK_CONTROL_MASK) != 0;
    event.m_altDown = (key->state & GDK_MOD1_MASK) != 0;
    event.SetEventObject(&window);
    // Processed means taken, also when the button pressed failed: the key must not act twice.
    return window.GetEventHandler()->SafelyProcessEvent(event) || !event.GetSkipped();
  }

  // Ctrl+wheel over the page zooms, whatever the page does with wheels: it goes to the window as
  // a wheel event, and neither the page nor the view sees it.
  static gboolean Scrolled(GtkWidget*, GdkEventScroll* scroll, gpointer data) {
    if ((scroll->state & GDK_CONTROL_MASK) == 0) return FALSE;
    int rotation = 0;
    switch (scroll->direction) {
      case GDK_SCROLL_UP:
        rotation = kWheelDelta;
        break;
      case GDK_SCROLL_DOWN:
        rotation = -kWheelDelta;
        break;
      case GDK_SCROLL_SMOOTH:
        rotation = static_cast<int>(-scroll->delta_y * kWheelDelta);
        break;
      default:  // sideways
        return TRUE;
    }
    wxWindow& window = static_cast<NativeView*>(data)->window_;
    wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
    wheel.m_wheelRotation = rotation;
    wheel.m_wheelDelta = kWheelDelta;
    wheel.m_controlDown = true;
    wheel.m_shiftDown = (scroll->state & GDK_SHIFT_MASK) != 0;
    wheel.SetEventObject(&window);
    window.GetEventHandler()->SafelyProcessEvent(wheel);
    return TRUE;
  }

  // Queued: the window hands the view its page again, which is better not done inside the view's
  // own signal.
  static void ProcessEnded(GtkWidget*, guint, gpointer data) {
    wxWindow& window = static_cast<NativeView*>(data)->window_;
    auto* event = new wxCommandEvent(EVT_VIEW_PROCESS_ENDED);
    event->SetEventObject(&window);
    window.GetEventHandler()->QueueEvent(event);
  }

  static gboolean DragMotion(GtkWidget*, GdkDragContext* context, gint, gint, guint time,
                             gpointer) {
    if (!IsUriDragFromOutside(context)) return FALSE;
    const GdkDragAction offered = gdk_drag_context_get_actions(context);
    gdk_drag_status(context,
                    (offered & GDK_ACTION_COPY) ? GDK_ACTION_COPY
                                                : gdk_drag_context_get_suggested_action(context),
                    time);
    return TRUE;
  }

  static void DragLeave(GtkWidget* view, GdkDragContext* context, guint, gpointer) {
    if (IsUriDragFromOutside(context)) g_signal_stop_emission_by_name(view, "drag-leave");
  }

  static gboolean DragDrop(GtkWidget* view, GdkDragContext* context, gint, gint, guint time,
                           gpointer) {
    if (!IsUriDragFromOutside(context)) return FALSE;
    gtk_drag_get_data(view, context, UriListTarget(), time);
    return TRUE;
  }

  static void DragDataReceived(GtkWidget* view, GdkDragContext* context, gint, gint,
                               GtkSelectionData* data, guint, guint time, gpointer self) {
    if (!IsUriDragFromOutside(context)) return;
    g_signal_stop_emission_by_name(view, "drag-data-received");
    std::vector<wxString> files = LocalFiles(data);
    bool taken = false;
    if (!files.empty()) {
      wxWindow& window = static_cast<NativeView*>(self)->window_;
      auto* names = new wxString[files.size()];
      std::move(files.begin(), files.end(), names);
      wxDropFilesEvent drop(wxEVT_DROP_FILES, static_cast<int>(files.size()), names);
      drop.SetEventObject(&window);
      drop.m_pos = window.ScreenToClient(wxGetMousePosition());
      // False when the handler failed; its error has been reported by now.
      taken = window.HandleWindowEvent(drop);
    }
    // As the window's own drop target does: the other program learns whether the drop was taken.
    gtk_drag_finish(context, taken, FALSE, time);
  }
};

NativeView::NativeView(wxWebView& view, wxWindow& window)
    : view_(view), window_(window), widget_(view.GetNativeBackend()) {
  auto* widget = static_cast<GtkWidget*>(widget_);
  if (widget == nullptr) return;
  g_signal_connect(widget, "key-press-event", G_CALLBACK(Signals::KeyOffered), this);
  g_signal_connect_after(widget, "key-press-event", G_CALLBACK(Signals::KeyLeft), this);
  g_signal_connect(widget, "scroll-event", G_CALLBACK(Signals::Scrolled), this);
  g_signal_connect(widget, "web-process-terminated", G_CALLBACK(Signals::ProcessEnded), this);
  g_signal_connect(widget, "drag-motion", G_CALLBACK(Signals::DragMotion), this);
  g_signal_connect(widget, "drag-leave", G_CALLBACK(Signals::DragLeave), this);
  g_signal_connect(widget, "drag-drop", G_CALLBACK(Signals::DragDrop), this);
  g_signal_connect(widget, "drag-data-received", G_CALLBACK(Signals::DragDataReceived), this);
  auto* outer = static_cast<GtkWidget*>(view.GetHandle());
  if (outer != widget && gtk_widget_is_ancestor(widget, outer)) {
    for (GtkWidget* wrapper = gtk_widget_get_parent(widget); wrapper != outer;
         wrapper = gtk_widget_get_parent(wrapper)) {
      gtk_widget_set_can_focus(wrapper, FALSE);
    }
    gtk_widget_set_can_focus(outer, FALSE);
  }
}

NativeView::~NativeView() {
  if (widget_ != nullptr) g_signal_handlers_disconnect_by_data(widget_, this);
}

void NativeView::Focus() {
  if (widget_ != nullptr) {
    gtk_widget_grab_focus(static_cast<GtkWidget*>(widget_));
  } else {
    view_.SetFocus();
  }
}

bool NativeView::HasFocus() const {
  return widget_ != nullptr && gtk_widget_is_focus(static_cast<GtkWidget*>(widget_));
}

bool NativeView::WasOfferedToView(const wxKeyEvent& key) const {
  return static_cast<std::uint32_t>(key.GetTimestamp()) == keyTime_ &&
         key.GetRawKeyCode() == keyval_;
}

}  // namespace tavrin
