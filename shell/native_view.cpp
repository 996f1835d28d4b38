#include "shell/native_view.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <utility>
#include <vector>

#include <wx/utils.h>
#include <wx/webview.h>
#include <wx/window.h>

#include "shell/keyboard.h"

namespace tavrin {

wxDEFINE_EVENT(EVT_KEY_LEFT_BY_VIEW, wxKeyEvent);
wxDEFINE_EVENT(EVT_VIEW_PROCESS_ENDED, wxCommandEvent);

namespace {

// The wxMOD_* bits of a GDK key event's state.
int ModifiersOf(guint state) {
  return ((state & GDK_SHIFT_MASK) ? wxMOD_SHIFT : 0) |
         ((state & GDK_CONTROL_MASK) ? wxMOD_CONTROL : 0) |
         ((state & GDK_MOD1_MASK) ? wxMOD_ALT : 0);
}

// The rotation of one notch of a wheel, as the toolkit counts it.
constexpr int kWheelDelta = 120;

// How often the hang watch looks, in milliseconds; how long an answer may take before the table's
// keys stop waiting for the page; and how long before the web process counts as hung, once its
// page has loaded and while it loads (a first picture or sound can start the media framework,
// which takes seconds where its cache is cold).
constexpr guint kWatchInterval = 500;
constexpr auto kSlowAnswer = std::chrono::milliseconds(1000);
constexpr auto kPatience = std::chrono::seconds(4);
constexpr auto kLoadPatience = std::chrono::seconds(20);

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
  // Every key offered to the view passes here first, before the view's own handling. The keys
  // that are the window's whatever the page does go to the window at once, as do all the table's
  // keys while the view's web process does not answer.
  static gboolean KeyOffered(GtkWidget*, GdkEventKey* key, gpointer data) {
    auto* self = static_cast<NativeView*>(data);
    self->keyTime_ = key->time;
    self->keyval_ = key->keyval;
    const int code = KeyCodeOfKeyval(key->keyval);
    if (code == 0) return FALSE;
    const int modifiers = ModifiersOf(key->state);
    if (ComesBeforeThePage(code, modifiers) || self->NotAnswering()) {
      return self->HandToWindow(code, modifiers);
    }
    self->offered_ = {code, modifiers, Clock::now()};
    return FALSE;
  }

  // The view hands back a key that it did not take by sending the same key event once more; at
  // its end it reaches the handlers connected after the view's own. That is where the window gets
  // it.
  static gboolean KeyLeft(GtkWidget*, GdkEventKey* key, gpointer data) {
    auto* self = static_cast<NativeView*>(data);
    self->offered_.code = 0;
    const int code = KeyCodeOfKeyval(key->keyval);
    return code != 0 && self->HandToWindow(code, ModifiersOf(key->state));
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
    auto* self = static_cast<NativeView*>(data);
    self->DropQuestion();
    self->committed_ = false;
    self->loaded_ = false;
    self->inDialog_ = false;
    self->offered_.code = 0;
    wxWindow& window = self->window_;
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

  // The hang watch: the view's web process is asked a trivial question now and then, once it has
  // shown a page; one that leaves it unanswered for kPatience is hung and is ended.
  // A page committed shows that its web process answers; it may be a new process, as a page of
  // another site gets, which never hears a question asked of the one before.
  static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<NativeView*>(data);
    self->loaded_ = event == WEBKIT_LOAD_FINISHED;
    if (event != WEBKIT_LOAD_COMMITTED) return;
    self->committed_ = true;
    self->committedAt_ = Clock::now();
    self->offered_.code = 0;
    self->DropQuestion();
  }

  // A page that shows an alert, a confirmation or a prompt waits on the learner, not hung, until
  // the process answers again.
  static gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer data) {
    static_cast<NativeView*>(data)->inDialog_ = true;
    return FALSE;
  }

  static gboolean Watch(gpointer data) {
    auto* self = static_cast<NativeView*>(data);
    if (self->probe_ == nullptr) {
      if (self->committed_) self->Ask();
    } else if (!self->inDialog_ &&
               Clock::now() - self->askedAt_ >= (self->loaded_ ? kPatience : kLoadPatience)) {
      self->GiveUp();
    }
    return G_SOURCE_CONTINUE;
  }

  // `data` is only read once the question is known not to be cancelled: the NativeView cancels its
  // question before it goes.
  static void Answered(GObject* view, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    if (JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error)) {
      g_object_unref(value);
    }
    const bool cancelled =
        error != nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (error != nullptr) g_error_free(error);
    if (cancelled) return;
    auto* self = static_cast<NativeView*>(data);
    // A key offered before the question was asked has been dealt with by the page.
    if (self->offered_.at < self->askedAt_) self->offered_.code = 0;
    self->inDialog_ = false;
    self->DropQuestion();
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
  g_signal_connect(widget, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  g_signal_connect(widget, "script-dialog", G_CALLBACK(Signals::ScriptDialog), this);
  watch_ = g_timeout_add(kWatchInterval, Signals::Watch, this);
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
  if (widget_ == nullptr) return;
  g_signal_handlers_disconnect_by_data(widget_, this);
  g_source_remove(watch_);
  // A hung web process would spin on after the program, and one that is not yet known to be hung
  // may be. One that may be in its first second is left alone: ending it then can bring the
  // program down.
  if (committed_ && Clock::now() - committedAt_ >= std::chrono::seconds(1)) End();
  DropQuestion();
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

int NativeView::HandToWindow(int code, int modifiers) {
  wxKeyEvent event(EVT_KEY_LEFT_BY_VIEW);
  event.m_keyCode = code;
  event.m_shiftDown = (modifiers & wxMOD_SHIFT) != 0;
  event.m_controlDown = (modifiers & wxMOD_CONTROL) != 0;
  event.m_altDown = (modifiers & wxMOD_ALT) != 0;
  event.SetEventObject(&window_);
  // Processed means taken, also when the button pressed failed: the key must not act twice.
  return window_.GetEventHandler()->SafelyProcessEvent(event) || !event.GetSkipped();
}

void NativeView::Ask() {
  auto* cancellable = g_cancellable_new();
  probe_ = cancellable;
  askedAt_ = Clock::now();
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(widget_), "0", -1, nullptr, nullptr,
                                      cancellable, Signals::Answered, this);
}

void NativeView::DropQuestion() {
  if (probe_ == nullptr) return;
  auto* cancellable = static_cast<GCancellable*>(probe_);
  probe_ = nullptr;
  g_cancellable_cancel(cancellable);
  g_object_unref(cancellable);
}

bool NativeView::NotAnswering() const {
  return probe_ != nullptr && Clock::now() - askedAt_ >= kSlowAnswer;
}

void NativeView::EndIfNotAnswering() {
  if (NotAnswering()) End();
}

void NativeView::End() {
  DropQuestion();
  webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(widget_));
}

void NativeView::GiveUp() {
  // The key that the page was offered and never dealt with acts now, as if the page had left it.
  const Offered key = std::exchange(offered_, Offered{});
  End();
  if (key.code != 0) HandToWindow(key.code, key.modifiers);
}

bool NativeView::WasOfferedToView(const wxKeyEvent& key) const {
  return static_cast<std::uint32_t>(key.GetTimestamp()) == keyTime_ &&
         key.GetRawKeyCode() == keyval_;
}

}  // namespace tavrin
