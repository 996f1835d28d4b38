// The desktop program: initialises the toolkit, takes the application title, makes and shows the
// main window, and runs the event loop until the window closes.
#include <wx/app.h>
#include <wx/init.h>

#include "shell/Main.h"
#include "shell/error_reports.h"
#include "shell/open_deck.h"

#ifdef TAVRIN_REFUSE_HTML_VIEW
#include "shell/html_view.h"
#endif

namespace {

// Set when start-up ended through the start-up error report.
bool g_startupFailed = false;

class TavrinApp : public wxApp {
 public:
  bool OnInit() override {
    // The base class's OnInit would parse the command line as options; the program has none.
    SetAppDisplayName(tavrin::kApplicationTitle);
    if (StartMainWindow() == nullptr) {
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
};

}  // namespace

int main(int argc, char** argv) {
  // Kept before the toolkit takes its own options out of argv.
  tavrin::SetCommandLine(argc, argv);
#ifdef TAVRIN_REFUSE_HTML_VIEW
  // A build for the tests only: the view is never made, so start-up fails as it does when the
  // platform has no view to offer.
  tavrin::SetHtmlViewFactory([](wxWindow*) -> wxWebView* { return nullptr; });
#endif
  wxApp::SetInstance(new TavrinApp);
  const int code = wxEntry(argc, argv);
  return g_startupFailed ? 1 : code;
}
