// drag_source X Y PATH...: a small program of its own that files can be dragged from, as from a
// file manager. It shows a 60 by 60 pixel square with its top left corner at X, Y on the screen,
// prints "ready" once the square is on the screen, and offers PATH... as a list of file URIs to
// a drag that starts on the square. Exits with 0 when a drop took the files, 1 when the drag
// failed or nothing was dragged within 30 seconds.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::vector<gchar*> g_uris;
// A drop that took the files asked for them, and its target said it succeeded. The target's word
// alone is not enough: a drag let go over no target at all counts as succeeded too.
bool g_asked = false;
bool g_failed = false;
bool g_succeeded = false;

void OnDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer) {
  g_asked = true;
  gtk_selection_data_set_uris(data, g_uris.data());
}

gboolean OnDragFailed(GtkWidget*, GdkDragContext*, GtkDragResult result, gpointer) {
  std::fprintf(stderr, "drag_source: the drag failed (%d)\n", static_cast<int>(result));
  g_failed = true;
  return FALSE;
}

void OnDragEnd(GtkWidget*, GdkDragContext* context, gpointer) {
  g_succeeded = gdk_drag_drop_succeeded(context);
  gtk_main_quit();
}

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer) {
  std::printf("ready\n");
  std::fflush(stdout);
  return FALSE;
}

gboolean GiveUp(gpointer) {
  std::fprintf(stderr, "drag_source: no drag came\n");
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: drag_source X Y PATH...\n");
    return 2;
  }
  for (int i = 3; i < argc; ++i) {
    gchar* uri = g_filename_to_uri(argv[i], nullptr, nullptr);
    if (uri == nullptr) return 2;
    g_uris.push_back(uri);
  }
  g_uris.push_back(nullptr);

  // A pop-up window: the window manager leaves it exactly where it is put.
  GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
  gtk_window_move(GTK_WINDOW(window), std::atoi(argv[1]), std::atoi(argv[2]));
  gtk_window_set_default_size(GTK_WINDOW(window), 60, 60);
  GtkWidget* box = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(window), box);
  static const GtkTargetEntry kUriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
  gtk_drag_source_set(box, GDK_BUTTON1_MASK, &kUriList, 1, GDK_ACTION_COPY);
  g_signal_connect(box, "drag-data-get", G_CALLBACK(OnDataGet), nullptr);
  g_signal_connect(box, "drag-end", G_CALLBACK(OnDragEnd), nullptr);
  g_signal_connect(box, "drag-failed", G_CALLBACK(OnDragFailed), nullptr);
  g_signal_connect(window, "map-event", G_CALLBACK(OnMapped), nullptr);
  g_timeout_add_seconds(30, GiveUp, nullptr);
  gtk_widget_show_all(window);
  gtk_main();
  return g_asked && !g_failed && g_succeeded ? 0 : 1;
}
