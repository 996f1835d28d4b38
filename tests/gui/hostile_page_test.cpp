// Decks written as an attacker would, each opened in the real window in turn: its page runs, then
// a probe asks the page what it learned, and a check looks at what it left behind. Add a row for
// each new attack.
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/log.h>

#include "gui_harness.h"
#include "shell/page_base.h"
#include "window_test.h"

namespace {

namespace fs = std::filesystem;
using tavrin::testing_support::ScratchFolder;
using tavrin::testing_support::WriteFile;

// A unique name for a file that a page tries to download.
std::string DownloadName(const std::string& name) {
  return "tavrin-hostile-" + std::to_string(::getpid()) + "-" + name;
}

// The folders that a download would land in: the user's download folder and home.
std::vector<std::string> DownloadFolders() {
  std::vector<std::string> folders{g_get_home_dir()};
  if (const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)) {
    folders.push_back(downloads);
  }
  return folders;
}

// A file in the download folders that the test owns and no page may change.
struct OwnFile {
  std::string path = DownloadFolders().back() + "/" + DownloadName("thesis.odt");
  OwnFile() { WriteFile(path, "mine"); }
  ~OwnFile() { fs::remove(path); }
};

// The files that the downloads of the "downloads" row would create.
void ExpectNoDownloadedFile() {
  for (const std::string& folder : DownloadFolders()) {
    for (const char* name : {"data.txt", "slash.txt", "big.bin"}) {
      const std::string path = folder + "/" + DownloadName(name);
      EXPECT_FALSE(fs::exists(path)) << path;
      fs::remove(path);
    }
  }
}

struct HostileDeck {
  const char* attack;
  std::string page;                  // the HTML of the deck's only shown card
  std::string probe;                 // a script expression, read after the page has run
  std::string expected;              // the probe's value when the attack failed
  std::function<void()> check = {};  // anything else to look at afterwards
};

class HostilePageTest : public gui::WindowTest {
 protected:
  // The page's value of `expression` as text; empty when the script fails.
  std::string Evaluate(const std::string& expression) {
    wxLogNull quiet;
    wxString result;
    if (!form_->WebBrowser1->RunScript("String(" + expression + ")", &result)) return {};
    return result.utf8_string();
  }

  // Writes `page` as the title card of a deck in a folder of its own, with files an attacker would
  // try beside it, and opens it through the Open button. Returns once its page has loaded.
  void OpenDeck(const std::string& page, int number) {
    const std::string folder = scratch_ / ("deck " + std::to_string(number));
    fs::create_directories(folder);
    WriteFile(folder + "/credentials.txt", "KEY=\"leaked\"\n");
    WriteFile(folder + "/look.txt", "body { color: rgb(1, 2, 3) }");
    WriteFile(folder + "/trap.png", "PNG=\"leaked\"");
    WriteFile(folder + "/app.js", "APP=\"ran\"");
    WriteFile(folder + "/own.css", "body { background-color: rgb(4, 5, 6) }");
    fs::create_symlink(home_ + "/.env", folder + "/evil.js");
    const std::string deck =
        WriteFile(folder + "/deck.txt", "|\nCommentIntroducer=@@\n" + page + "\n");
    tavrin::SetOpenDialogAnswer([deck](const std::string&) { return deck; });
    wxCommandEvent open(wxEVT_BUTTON, form_->ButtonO->GetId());
    form_->ButtonO->GetEventHandler()->ProcessEvent(open);
    wxWebView& view = *form_->WebBrowser1;
    const std::string url = tavrin::PageBaseUrl(deck);
    EXPECT_TRUE(gui::PumpUntil([&] { return view.GetCurrentURL() == url && !view.IsBusy(); }))
        << view.GetCurrentURL();
    gui::PumpUntil([&] { return Evaluate("document.readyState") == "complete"; });
    gui::PumpFor(gui::milliseconds(500));  // what the page does at once and soon after
  }

  ScratchFolder scratch_{"tavrin-hostile"};
  // Files of the learner's, outside every deck's folder.
  std::string home_ = scratch_ / "home";
};

TEST_F(HostilePageTest, APageLearnsNothingBeyondItsCardAndLeavesNothingBehind) {
  fs::create_directories(home_);
  WriteFile(home_ + "/.env", "TOKEN=\"leaked\"\n");
  WriteFile(home_ + "/notes.js", "NOTES=\"leaked\"");
  WriteFile(home_ + "/look.css", "body { color: rgb(1, 2, 3) }");
  const OwnFile own;
  const std::string color = "getComputedStyle(document.body).color";
  // Stores a value, and tells whether a value was there before (from another deck or run).
  const std::string storage =
      "<script>try { window.found = localStorage.getItem('k'); localStorage.setItem('k', 'v'); }"
      " catch (e) { window.found = null; }</script>";
  const std::string download =
      "<script>function get(name, url) { const a = document.createElement('a'); a.href = url;"
      " a.download = name; document.body.append(a); a.click(); }";
  const HostileDeck decks[] = {
      // What a card may use still loads: the rows below fail by the rule, not by breakage.
      {"own script and style", "<script src=app.js></script><link rel=stylesheet href=own.css>",
       "[typeof APP, getComputedStyle(document.body).backgroundColor]", "string,rgb(4, 5, 6)"},
      {"text file beside the deck as script", "<script src=credentials.txt></script>", "typeof KEY",
       "undefined"},
      {"file URL as script", "<script src=\"file://" + home_ + "/.env\"></script>", "typeof TOKEN",
       "undefined"},
      {"absolute path as script", "<script src=\"" + home_ + "/.env\"></script>", "typeof TOKEN",
       "undefined"},
      {"script outside the deck's folder", "<script src=\"../home/notes.js\"></script>",
       "typeof NOTES", "undefined"},
      {"script named as a picture", "<script src=trap.png></script>", "typeof PNG", "undefined"},
      {"script linked to a file elsewhere", "<script src=evil.js></script>", "typeof TOKEN",
       "undefined"},
      {"file URL as style", "<link rel=stylesheet href=\"file://" + home_ + "/look.css\">", color,
       "rgb(0, 0, 0)"},
      {"text file as style", "<link rel=stylesheet href=look.txt>", color, "rgb(0, 0, 0)"},
      {"style outside the deck's folder", "<link rel=stylesheet href=../home/look.css>", color,
       "rgb(0, 0, 0)"},
      {"reading a file beside the deck",
       "<script>fetch('app.js').then(() => window.got = 'read', () => window.got = 'refused')"
       "</script>",
       "window.got", "refused"},
      {"local storage, first deck", storage, "found", "null"},
      {"local storage, second deck", storage, "found", "null"},
      {"downloads",
       download + "get('" + DownloadName("thesis.odt") +
           "', URL.createObjectURL(new Blob(['x'])));"
           "get('" +
           DownloadName("data.txt") +
           "', 'data:text/plain,x');"
           "get('../../" +
           DownloadName("slash.txt") +
           "', 'data:text/plain,x');"
           "get('" +
           DownloadName("big.bin") +
           "', URL.createObjectURL(new Blob("
           "[new Uint8Array(50000000)])));</script>",
       "'answers'", "answers",
       [&] {
         gui::PumpFor(gui::milliseconds(1500));
         ExpectNoDownloadedFile();
         EXPECT_EQ(gui::ReadFile(own.path), "mine");
       }},
      {"fullscreen",
       "<script>addEventListener('keydown', () => { window.pressed = true;"
       " try { document.documentElement.requestFullscreen(); } catch (e) {} })</script>",
       "[window.pressed, !document.fullscreenElement]", "true,true",
       [&] {
         const wxSize before = ClientOnScreen();
         // A click into the page gives it the keyboard and counts as the learner's gesture.
         wxUIActionSimulator mouse;
         mouse.MouseMove(form_->WebBrowser1->GetScreenRect().GetPosition() + wxPoint(40, 40));
         mouse.MouseClick();
         gui::PumpFor(gui::milliseconds(200));
         gui::Type('F');
         gui::PumpFor(gui::milliseconds(800));
         EXPECT_EQ(ClientOnScreen(), before);
       }},
  };
  ASSERT_TRUE(Start());
  int number = 0;
  for (const HostileDeck& deck : decks) {
    SCOPED_TRACE(deck.attack);
    OpenDeck(deck.page, ++number);
    if (deck.check) deck.check();
    EXPECT_EQ(Evaluate(deck.probe), deck.expected);
  }
  Close();
  // The settings file is all that is written: no website data, no salt, no HSTS store, in the
  // folders the program and its view could write to.
  const std::string settings = gui::SettingsPath();
  for (const fs::path& folder :
       {fs::path(std::getenv("XDG_DATA_HOME")), fs::path(std::getenv("XDG_CONFIG_HOME")),
        fs::path(std::getenv("XDG_CACHE_HOME")) / g_get_prgname()}) {
    if (!fs::exists(folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      EXPECT_TRUE(!entry.is_regular_file() || entry.path() == settings) << entry.path();
    }
  }
}

}  // namespace
