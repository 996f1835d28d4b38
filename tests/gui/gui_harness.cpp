#include "gui_harness.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

#include "app/tavrin_options.h"
#include "engine/text_list.h"
#include "shell/Main.h"
#include "shell/error_reports.h"
#include "shell/place_label.h"
#include "shell/settings.h"

namespace gui {

namespace {

std::vector<MessageBox>& Boxes() {
  static std::vector<MessageBox> boxes;
  return boxes;
}

// The application of the tests: errors that escape handlers take the program's own report.
class TestApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppDisplayName(tavrin::kApplicationTitle);
    // Windows come and go between tests; the loop is the harness's, not theirs.
    SetExitOnFrameDelete(false);
    return true;
  }
  bool OnExceptionInMainLoop() override {
    tavrin::ReportCurrentException();
    return true;
  }
};

wxGUIEventLoop* g_loop = nullptr;

}  // namespace

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_loop->DispatchTimeout(5);
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
  }
}

void PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

wxString PageSource(wxWebView& view) {
  return view.GetPageSource();
}

bool WaitForPage(wxWebView& view, const wxString& page) {
  return PumpUntil([&] { return !view.IsBusy() && view.GetPageSource() == page; });
}

void Type(int keyCode, int modifiers) {
  wxUIActionSimulator simulator;
  simulator.Char(keyCode, modifiers);
  PumpFor(std::chrono::milliseconds(60));
}

bool DragFilesFromOutside(const std::vector<std::string>& paths, wxPoint target) {
  std::vector<std::string> args{TAVRIN_DRAG_SOURCE, "20", "20"};
  args.insert(args.end(), paths.begin(), paths.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  GPid pid = 0;
  gint out = -1;
  if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                nullptr, &pid, nullptr, &out, nullptr, nullptr)) {
    ADD_FAILURE() << "cannot start " << TAVRIN_DRAG_SOURCE;
    return false;
  }
  // Its square is on the screen once it says "ready".
  std::string said;
  PumpUntil([&] {
    pollfd p{out, POLLIN, 0};
    char buffer[64];
    if (poll(&p, 1, 0) > 0) {
      const ssize_t n = read(out, buffer, sizeof buffer);
      if (n > 0) said.append(buffer, static_cast<std::size_t>(n));
    }
    return said.find("ready\n") != std::string::npos;
  });

  // Press on the square, then move in small steps, so that both programs see every stage of
  // the drag, and let go over the target.
  wxUIActionSimulator mouse;
  const wxPoint source(50, 50);
  mouse.MouseMove(source);
  PumpFor(std::chrono::milliseconds(50));
  mouse.MouseDown();
  PumpFor(std::chrono::milliseconds(50));
  constexpr int kSteps = 20;
  for (int i = 1; i <= kSteps; ++i) {
    mouse.MouseMove(source.x + (target.x - source.x) * i / kSteps,
                    source.y + (target.y - source.y) * i / kSteps);
    PumpFor(std::chrono::milliseconds(30));
  }
  mouse.MouseMove(target.x + 1, target.y + 1);
  PumpFor(std::chrono::milliseconds(200));
  mouse.MouseUp();

  int status = -1;
  if (!PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  close(out);
  g_spawn_close_pid(pid);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<pid_t> WebProcesses() {
  std::vector<pid_t> ours;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    // "pid (name) state parent ...": the kernel keeps 15 bytes of a name.
    const std::string named = " (WebKitWebProces) ";
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t at = line.find(named);
    if (at != std::string::npos && line[at + named.size()] != 'Z' &&
        std::stoi(line.substr(at + named.size() + 2)) == getpid()) {
      ours.push_back(std::stoi(line));
    }
  }
  return ours;
}

long CpuTicks(const std::vector<pid_t>& processes) {
  long ticks = 0;
  for (pid_t pid : processes) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // After the name: state and 10 more fields, then utime and stime.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 0; i < 11; ++i) fields >> field;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    ticks += utime + stime;
  }
  return ticks;
}

std::vector<MessageBox> TakeMessageBoxes() {
  return std::exchange(Boxes(), {});
}

std::string SettingsPath() {
  std::string path = tavrin::SettingsFilePath();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  return path;
}

std::string DataFile(const std::string& name) {
  return std::string(TAVRIN_TEST_DATA) + "/" + name;
}

wxSize ClientOnScreen(wxWindow& window) {
  GdkWindow* native = gtk_widget_get_window(static_cast<GtkWidget*>(window.GetHandle()));
  return wxSize(gdk_window_get_width(native), gdk_window_get_height(native));
}

TForm1* StartWithArgument(const std::string& argument) {
  const std::vector<std::string> arguments =
      argument.empty() ? std::vector<std::string>() : std::vector<std::string>{argument};
  return StartMainWindow(tavrin::ReadStartupArguments(arguments, tavrin::IsExistingFile).deck);
}

void ExpectLayout(TForm1& form, int h, int w) {
  const wxSize c = form.GetClientSize();
  std::array<wxRect, 6> expected{
      wxRect(0, 0, c.x, c.y - h),         wxRect(0, c.y - h, w, h),
      wxRect(w, c.y - h, w, h),           wxRect(2 * w, c.y - h, c.x - 4 * w, h),
      wxRect(c.x - 2 * w, c.y - h, w, h), wxRect(c.x - w, c.y - h, w, h)};
  // A place line shown takes the end of OK's stretch, as far from OK as from Back.
  if (const wxWindow* line = form.PlaceLine().Label(); line->IsShown()) {
    const wxRect label = line->GetRect();
    const int gap = expected[4].x - (label.x + label.width);
    expected[3].width = label.x - gap - expected[3].x;
  }
  const std::array<wxWindow*, 6> controls{form.WebBrowser1, form.ButtonO, form.ButtonS,
                                          form.BitBtnOK,    form.BitBtnZ, form.BitBtnX};
  for (std::size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(testing::Message() << "control " << i << " client " << c.x << "x" << c.y);
    EXPECT_EQ(form.Layout()[i], expected[i]);
    wxRect placed = expected[i];
    placed.width = std::max(placed.width, 0);
    placed.height = std::max(placed.height, 0);
    EXPECT_EQ(controls[i]->GetRect(), placed);
  }
}

}  // namespace gui

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // The settings file of these tests must never be a real user's.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config == nullptr || std::string(config).find("tavrin-display") == std::string::npos) {
    std::fprintf(stderr, "run the window tests through with-display.sh\n");
    return 2;
  }
  tavrin::SetMessageBoxFunction(
      [](wxWindow* owner, const wxString& text, const wxString& caption, long style) {
        gui::Boxes().push_back({owner, text, caption, style});
      });
  wxApp::SetInstance(new gui::TestApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 2;
  int result;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator activate(&loop);
    gui::g_loop = &loop;
    result = RUN_ALL_TESTS();
    gui::g_loop = nullptr;
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
