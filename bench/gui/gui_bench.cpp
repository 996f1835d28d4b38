// The program's side of the window benchmarks, on the program's own start-up path and window:
//   gui_bench pages DECK N DIR   writes the title page and the pages of N presses of OK, as the
//                                view receives them (UTF-8), to DIR/0000.html, DIR/0001.html, ...
//   gui_bench presses DECK N     times N presses of Enter on the OK button, each from the key to
//                                the view's "loaded" notification
//   gui_bench startup DECK       starts as the program does and prints the milliseconds from
//                                BENCH_T0_NS to the deck's title page loaded in the view
#include <gtk/gtk.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/init.h>

#include "app/tavrin_options.h"
#include "bench_common.h"
#include "engine/deck.h"
#include "engine/navigation.h"
#include "engine/text_list.h"
#include "shell/Main.h"
#include "shell/error_reports.h"
#include "shell/html_view.h"
#include "shell/settings.h"

namespace {

// The engine alone, as the window drives it, collecting the pages it hands over.
std::vector<std::string> EnginePages(const std::string& deckFile, int presses, int& codePage) {
  tavrin::DeckState deck;
  deck.StartWith(tavrin::kDefaultStartupTemplates);
  std::vector<std::string> pages;
  deck.ShowHtml = [&](const std::string& html) { pages.push_back(html); };
  deck.MakeLists();
  tavrin::LoadDeck(deck, deckFile);
  for (int i = 0; i < presses; ++i) tavrin::Ok(deck);
  codePage = deck.CodePage;
  return pages;
}

class BenchApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppDisplayName(tavrin::kApplicationTitle);
    return true;
  }
  bool OnExceptionInMainLoop() override {
    tavrin::ReportCurrentException();
    return true;
  }
};

int Pages(const std::string& deck, int presses, const std::string& dir) {
  int codePage = 0;
  const std::vector<std::string> pages = EnginePages(deck, presses, codePage);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04zu.html", i);
    std::ofstream(dir + name, std::ios::binary)
        << tavrin::DecodeText(pages[i], codePage).utf8_string();
  }
  return 0;
}

// The window started as the program starts it with `deck` on its command line.
TForm1* StartOn(const std::string& deck) {
  return StartMainWindow(tavrin::ReadStartupArguments({deck}, tavrin::IsExistingFile).deck);
}

int Presses(wxEventLoopBase& loop, const std::string& deck, int presses) {
  TForm1* form = StartOn(deck);
  if (form == nullptr) return 1;
  bench::LoadWatch watch;
  watch.Attach(form->WebBrowser1);
  const bool ready = bench::PumpUntil(loop, [&] {
    return form->IsActive() && form->Deck().Lines.Count() > 0 && !form->WebBrowser1->IsBusy();
  });
  if (!ready) return 1;
  form->BitBtnOK->SetFocus();
  const auto settle = bench::Clock::now() + std::chrono::milliseconds(300);
  bench::PumpUntil(loop, [&] { return bench::Clock::now() > settle; });
  bench::PrintFigures("tavrin ok-press-to-loaded-ms", bench::TimePresses(loop, watch, presses));
  // The same through the view: it is offered Enter first and hands it back.
  gtk_widget_grab_focus(static_cast<GtkWidget*>(form->WebBrowser1->GetNativeBackend()));
  bench::PumpUntil(loop, [&] { return bench::Clock::now() > settle + std::chrono::seconds(1); });
  bench::PrintFigures("tavrin ok-press-from-the-view-to-loaded-ms",
                      bench::TimePresses(loop, watch, presses / 4));
  std::fflush(stdout);
  std::_Exit(0);  // nothing to keep: no settings are written
}

int Startup(wxEventLoopBase& loop, const std::string& deck) {
  int codePage = 0;
  const std::string titleBytes = EnginePages(deck, 0, codePage).at(0);
  const wxString title = tavrin::DecodeText(titleBytes, codePage);
  TForm1* form = StartOn(deck);
  if (form == nullptr) return 1;
  double shown = -1;
  form->WebBrowser1->Bind(wxEVT_WEBVIEW_LOADED, [&](wxWebViewEvent&) {
    const double at = bench::MillisecondsSinceStart();
    if (shown < 0 && form->Deck().Lines.Count() > 0 && form->WebBrowser1->GetPageSource() == title)
      shown = at;
  });
  if (!bench::PumpUntil(loop, [&] { return shown >= 0; })) return 1;
  std::printf("tavrin start-to-title-page-ms %.3f\n", shown);
  std::fflush(stdout);
  std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "pages" && argc == 5) return Pages(argv[2], std::stoi(argv[3]), argv[4]);
  if ((mode != "presses" || argc != 4) && (mode != "startup" || argc != 3)) {
    std::fprintf(stderr, "usage: gui_bench pages DECK N DIR | presses DECK N | startup DECK\n");
    return 2;
  }
  int one = 1;
  char* noArgs[] = {argv[0], nullptr};
  wxApp::SetInstance(new BenchApp);
  if (!wxEntryStart(one, noArgs) || !wxTheApp->CallOnInit()) return 1;
  wxGUIEventLoop loop;
  wxEventLoopActivator activate(&loop);
  return mode == "presses" ? Presses(loop, argv[2], std::stoi(argv[3])) : Startup(loop, argv[2]);
}
