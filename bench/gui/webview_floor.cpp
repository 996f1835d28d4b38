// The floor of the window benchmarks: a minimal wxWebView program of our own, a window with the
// view and one button, that sets the given pages one after another.
//   webview_floor presses DIR N   sets DIR/0001.html, DIR/0002.html, ... one per press of Enter
//                                 (after DIR/0000.html), timing each from the key to "loaded"
//   webview_floor startup FILE    prints the milliseconds from BENCH_T0_NS to FILE loaded
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/init.h>

#include "bench_common.h"

namespace {

wxString ReadPage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return wxString::FromUTF8(bytes.data(), bytes.size());
}

class FloorApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if ((mode != "presses" || argc != 4) && (mode != "startup" || argc != 3)) {
    std::fprintf(stderr, "usage: webview_floor presses DIR N | startup FILE\n");
    return 2;
  }
  int one = 1;
  char* noArgs[] = {argv[0], nullptr};
  wxApp::SetInstance(new FloorApp);
  if (!wxEntryStart(one, noArgs) || !wxTheApp->CallOnInit()) return 1;
  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);

  auto* frame = new wxFrame(nullptr, wxID_ANY, "floor");
  wxWebView* view = wxWebView::New(frame, wxID_ANY, wxString());
  auto* button = new wxButton(frame, wxID_ANY, "OK");
  frame->Bind(wxEVT_SIZE, [=](wxSizeEvent&) {
    const wxSize c = frame->GetClientSize();
    view->SetSize(0, 0, c.x, std::max(c.y - 46, 0));
    button->SetSize(0, std::max(c.y - 46, 0), c.x, 46);
  });

  if (mode == "startup") {
    const wxString page = ReadPage(argv[2]);
    double shown = -1;
    view->Bind(wxEVT_WEBVIEW_LOADED, [&](wxWebViewEvent&) {
      if (shown < 0) shown = bench::MillisecondsSinceStart();
    });
    view->SetPage(page, "about:blank");
    frame->Show();
    if (!bench::PumpUntil(loop, [&] { return shown >= 0; })) return 1;
    std::printf("floor start-to-first-page-ms %.3f\n", shown);
    std::fflush(stdout);
    std::_Exit(0);
  }

  std::vector<wxString> pages;
  for (int i = 0;; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04d.html", i);
    std::ifstream probe(argv[2] + std::string(name));
    if (!probe) break;
    pages.push_back(ReadPage(argv[2] + std::string(name)));
  }
  if (pages.size() < 2) return 1;
  std::size_t next = 1;
  frame->Bind(wxEVT_CHAR_HOOK, [&](wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_RETURN) return event.Skip();
    view->SetPage(pages[next], "about:blank");
    next = next + 1 < pages.size() ? next + 1 : 1;
  });
  bench::LoadWatch watch;
  watch.Attach(view);
  view->SetPage(pages[0], "about:blank");
  frame->Show();
  if (!bench::PumpUntil(loop, [&] { return frame->IsActive() && watch.loads > 0; })) return 1;
  button->SetFocus();
  const auto settle = bench::Clock::now() + std::chrono::milliseconds(300);
  bench::PumpUntil(loop, [&] { return bench::Clock::now() > settle; });
  bench::PrintFigures("floor ok-press-to-loaded-ms",
                      bench::TimePresses(loop, watch, std::stoi(argv[3])));
  std::fflush(stdout);
  std::_Exit(0);
}
