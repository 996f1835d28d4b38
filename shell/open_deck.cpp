#include "shell/open_deck.h"

#include <gtk/gtk.h>

#include <memory>
#include <utility>
#include <vector>

#include <wx/clntdata.h>
#include <wx/event.h>
#include <wx/filedlg.h>
#include <wx/utils.h>
#include <wx/webview.h>
#include <wx/window.h>

#include "engine/text.h"

namespace tavrin {

namespace {

std::vector<std::string>& Arguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

OpenDialogAnswer& Answer() {
  static OpenDialogAnswer answer;
  return answer;
}

// File names are bytes; the toolkit holds them as text in the file system's encoding, which keeps
// bytes that form no character.
wxString ToToolkit(const std::string& name) {
  return wxString(name.c_str(), *wxConvFileName);
}

std::string FromToolkit(const wxString& name) {
  const wxCharBuffer bytes = name.fn_str();
  return bytes.data() != nullptr ? std::string(bytes.data(), bytes.length()) : std::string();
}

// The name that the Open dialog holds between uses, kept with the dialog itself.
class HeldName : public wxClientData {
 public:
  std::string name;
};

HeldName& HeldNameOf(wxFileDialog& dialog) {
  auto* held = static_cast<HeldName*>(dialog.GetClientObject());
  if (held == nullptr) {
    held = new HeldName;
    dialog.SetClientObject(held);
  }
  return *held;
}

// ---- Drops on the view ----

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

// The handlers run before the view's own; a drag from outside never reaches the view.
gboolean OnViewDragMotion(GtkWidget*, GdkDragContext* context, gint, gint, guint time, gpointer) {
  if (!IsUriDragFromOutside(context)) return FALSE;
  const GdkDragAction offered = gdk_drag_context_get_actions(context);
  gdk_drag_status(context,
                  (offered & GDK_ACTION_COPY) ? GDK_ACTION_COPY
                                              : gdk_drag_context_get_suggested_action(context),
                  time);
  return TRUE;
}

void OnViewDragLeave(GtkWidget* view, GdkDragContext* context, guint, gpointer) {
  if (IsUriDragFromOutside(context)) g_signal_stop_emission_by_name(view, "drag-leave");
}

gboolean OnViewDragDrop(GtkWidget* view, GdkDragContext* context, gint, gint, guint time,
                        gpointer) {
  if (!IsUriDragFromOutside(context)) return FALSE;
  gtk_drag_get_data(view, context, UriListTarget(), time);
  return TRUE;
}

void OnViewDragDataReceived(GtkWidget* view, GdkDragContext* context, gint, gint,
                            GtkSelectionData* data, guint, guint time, gpointer windowData) {
  if (!IsUriDragFromOutside(context)) return;
  g_signal_stop_emission_by_name(view, "drag-data-received");
  // As the window's own drop target reads a list of URIs: local files only, in their order.
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
  bool taken = false;
  if (!files.empty()) {
    auto* window = static_cast<wxWindow*>(windowData);
    auto* names = new wxString[files.size()];
    std::move(files.begin(), files.end(), names);
    wxDropFilesEvent drop(wxEVT_DROP_FILES, static_cast<int>(files.size()), names);
    drop.SetEventObject(window);
    drop.m_pos = window->ScreenToClient(wxGetMousePosition());
    // False when the handler failed; its error has been reported by now.
    taken = window->HandleWindowEvent(drop);
  }
  // As the window's own drop target does: the other program learns whether the drop was taken.
  gtk_drag_finish(context, taken, FALSE, time);
}

}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
  Arguments().assign(argv, argv + (argc > 0 ? argc : 0));
}

std::string GetStartupFileName() {
  const std::vector<std::string>& arguments = Arguments();
  return arguments.size() >= 2 ? arguments[1] : std::string();
}

void TakeCommandLine(std::string& fileName) {
  std::string name = GetStartupFileName();
  if (IsExistingFile(name)) fileName = std::move(name);
}

wxFileDialog* MakeOpenDialog(wxWindow* parent) {
  // No wildcard at all: the toolkit then lists every file and shows no type list. Without
  // wxFD_FILE_MUST_EXIST a typed name that names nothing is taken as it is.
  return new wxFileDialog(parent, wxFileSelectorPromptStr, wxString(), wxString(), wxString(),
                          wxFD_OPEN | wxRESIZE_BORDER, wxDefaultPosition, wxDefaultSize,
                          "OpenDialog1");
}

std::optional<std::string> RunOpenDialog(wxFileDialog& dialog, const std::string& fileName) {
  HeldName& held = HeldNameOf(dialog);
  if (IsExistingFile(fileName)) held.name = fileName;
  std::optional<std::string> chosen;
  if (Answer()) {
    chosen = Answer()(held.name);
  } else {
    if (!held.name.empty()) dialog.SetPath(ToToolkit(held.name));
    if (dialog.ShowModal() == wxID_OK) chosen = FromToolkit(dialog.GetPath());
  }
  if (chosen && chosen->empty()) chosen.reset();
  if (chosen) held.name = *chosen;
  return chosen;
}

OpenDialogAnswer SetOpenDialogAnswer(OpenDialogAnswer answer) {
  return std::exchange(Answer(), std::move(answer));
}

std::string GetDroppedFileName(const wxDropFilesEvent& drop) {
  return drop.GetNumberOfFiles() > 0 ? FromToolkit(drop.GetFiles()[0]) : std::string();
}

void PassFileDropsOnViewTo(wxWebView& view, wxWindow& window) {
  auto* widget = static_cast<GtkWidget*>(view.GetNativeBackend());
  if (widget == nullptr) return;
  g_signal_connect(widget, "drag-motion", G_CALLBACK(OnViewDragMotion), &window);
  g_signal_connect(widget, "drag-leave", G_CALLBACK(OnViewDragLeave), &window);
  g_signal_connect(widget, "drag-drop", G_CALLBACK(OnViewDragDrop), &window);
  g_signal_connect(widget, "drag-data-received", G_CALLBACK(OnViewDragDataReceived), &window);
}

}  // namespace tavrin
