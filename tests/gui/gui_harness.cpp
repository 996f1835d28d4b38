#include "gui_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

#include "shell/error_reports.h"
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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
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
