// The desktop program: answers --help and --version, makes sure a display answers, initialises the
// toolkit, takes the application title, makes and shows the main window, and runs the event loop
// until the window closes.
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/display_check.h"
#include "app/tavrin_options.h"
#include "engine/text_list.h"
#include "shell/Main.h"
#include "shell/error_reports.h"

#ifdef TAVRIN_REFUSE_HTML_VIEW
#include "shell/html_view.h"
#endif

namespace {

// Set when start-up ended through the start-up error report.
bool g_startupFailed = false;

class TavrinApp : public wxApp {
 public:
  explicit TavrinApp(std::string deck) : deck_(std::move(deck)) {}

  bool OnInit() override {
    // Not the base class's OnInit, which would parse the command line: main() has read it.
    SetAppDisplayName(tavrin::kApplicationTitle);
    if (StartMainWindow(deck_) == nullptr) {
      g_startupFailed = true;
      return false;
    }
    return true;
  }

  // Every error that escapes an event handler ends here; the program goes on.
  bool OnExceptionInMainLoop() override {
    tavrin::ReportCurrentException();
    return true;
  }

 private:
  std::string deck_;
};

}  // namespace

int main(int argc, char** argv) {
  const tavrin::StartupChoice choice = tavrin::ReadStartupArguments(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), tavrin::IsExistingFile);
  switch (choice.request) {
    case tavrin::StartupRequest::kHelp:
      std::fputs(tavrin::kTavrinUsage, stdout);
      return 0;
    case tavrin::StartupRequest::kVersion:
      std::printf("tavrin %s\n", TAVRIN_VERSION);
      return 0;
    case tavrin::StartupRequest::kUnknownOption:
      std::fprintf(stderr, "tavrin: unknown option '%s'\n%s", choice.option.c_str(),
                   tavrin::kTavrinUsage);
      return 2;
    case tavrin::StartupRequest::kWindow:
      break;
  }
  if (const std::string problem = tavrin::DisplayProblem(); !problem.empty()) {
    std::fprintf(stderr, "tavrin: cannot open the display: %s\n", problem.c_str());
    return 1;
  }
#ifdef TAVRIN_REFUSE_HTML_VIEW
  // A build for the tests only: the view is never made, so start-up fails as it does when the
  // platform has no view to offer.
  tavrin::SetHtmlViewFactory([](wxWindow*) -> wxWebView* { return nullptr; });
#endif
  wxApp::SetInstance(new TavrinApp(choice.deck));
  // The toolkit gets the program's name only: every argument has been read above, and the toolkit
  // would stop at a deck name that is not UTF-8 with a box of its own.
  int toolkitArgc = argc > 0 ? 1 : 0;
  char* toolkitArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
  const int code = wxEntry(toolkitArgc, toolkitArgv);
  return g_startupFailed ? 1 : code;
}
