// Decks whose pages fight for the keyboard or hang their web process, each typed at as a learner
// does: the window's keys act, and the web processes stay few, idle and gone after the close.
#include <chrono>

#include "window_test.h"

namespace gui {
namespace {

// Every key event of the page is swallowed before anything of the page sees it.
constexpr char kSwallowsKeys[] =
    "addEventListener('keydown',function(e){e.preventDefault();e.stopImmediatePropagation()},true)";
// The page's web process spins as soon as it meets a key, or shortly after the page loads.
constexpr char kHangsOnKey[] = "addEventListener('keydown',function(){for(;;){}},true)";
constexpr char kHangsSoon[] = "setTimeout(function(){for(;;){}},2000)";
// The page waits on the learner, which is no hang.
constexpr char kAlerts[] = "setTimeout(function(){alert(1)},100)";

enum class Outcome {
  kOk,         // OK was pressed
  kPageKeeps,  // the page took the key: nothing of the window changed
  kOpenAsked,  // the Open dialog was asked for
  kFocusOpen,  // the focus went to Open
  kFocusOk,    // the focus went to OK (Shuffle hands it there)
  kZoomOut,    // the page went one step smaller
  kCloses,     // the window closed
  kNotice,     // the page that kept ending its web process gave way to the notice
  kLives,      // the web process is left as it is
};

// The deck of `script` in its page head, with a title and two cards.
std::string WriteDeck(const std::string& script) {
  const auto path = std::filesystem::path(gui::SettingsPath()).parent_path() / "hostile.txt";
  gui::WriteFile(path, "|\nOuterHead=<html><head><script>" + script +
                           "</script></head><body>|InnerHead=<p>|InnerFoot=</p>|OuterFoot=</body>"
                           "</html>\nTitle\ncat|chat\ndog|chien\n");
  return path;
}

class HostileKeysTest : public WindowTest {
 protected:
  // Whether the deck moved on from where `before` was.
  bool Moved(std::pair<int, int> before) {
    return std::pair<int, int>(form_->Deck().Position, form_->Deck().RevealedField) != before;
  }
  // Waits until this program's web processes are at most `count` and the page has loaded, then
  // checks that they use (almost) no processor time for a second, a new one's start-up done.
  void ExpectFewIdleWebProcesses(std::size_t count) {
    EXPECT_TRUE(PumpUntil([&] {
      return gui::WebProcesses().size() <= count && !form_->WebBrowser1->IsBusy();
    })) << "processes";
    PumpFor(std::chrono::milliseconds(1500));
    const long before = gui::CpuTicks(gui::WebProcesses());
    PumpFor(std::chrono::seconds(1));
    EXPECT_LT(gui::CpuTicks(gui::WebProcesses()) - before, 30) << "ticks in a second";
  }
};

TEST_F(HostileKeysTest, TheWindowsKeysActWhateverThePageDoesAndAHungPageHoldsNothing) {
  const struct {
    const char* script;
    int key, modifiers;
    Outcome outcome;
  } rows[] = {
      {kSwallowsKeys, 'o', wxMOD_ALT, Outcome::kOpenAsked},
      {kSwallowsKeys, 's', wxMOD_ALT, Outcome::kFocusOk},
      {kSwallowsKeys, WXK_TAB, 0, Outcome::kFocusOpen},
      {kSwallowsKeys, '-', wxMOD_CONTROL, Outcome::kZoomOut},
      {kSwallowsKeys, 'x', wxMOD_ALT, Outcome::kCloses},
      // Enter is the page's first: one that swallows it keeps it.
      {kSwallowsKeys, WXK_RETURN, 0, Outcome::kPageKeeps},
      // The key that hung the page acts once the hung process has been ended.
      {kHangsOnKey, WXK_RETURN, 0, Outcome::kOk},
      {kHangsSoon, 'x', wxMOD_ALT, Outcome::kCloses},
      // OK while the page spins; hung again soon after it is shown again: the notice, and OK
      // still goes on.
      {kHangsSoon, WXK_RETURN, 0, Outcome::kNotice},
      {kAlerts, 0, 0, Outcome::kLives},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.script << ": key " << row.key << " with " << row.modifiers);
    int asked = 0;
    tavrin::SetOpenDialogAnswer([&](const std::string&) {
      ++asked;
      return std::nullopt;
    });
    const std::string deck = WriteDeck(row.script);
    Start(deck);
    ASSERT_TRUE(form_);
    ExpectPage(Model(deck).Page());
    const std::pair<int, int> before(form_->Deck().Position, form_->Deck().RevealedField);
    if (row.script == kHangsSoon) PumpFor(std::chrono::milliseconds(2500));  // till it spins
    if (row.key != 0) Type(row.key, row.modifiers);
    // A hung process is ended within five seconds, and a key it held acts then.
    const auto patience = std::chrono::seconds(8);
    switch (row.outcome) {
      case Outcome::kOk:
        EXPECT_TRUE(PumpUntil([&] { return Moved(before); }, patience));
        break;
      case Outcome::kPageKeeps:
        PumpFor(std::chrono::seconds(1));
        EXPECT_FALSE(Moved(before));
        EXPECT_TRUE(form_->ViewHasFocus());
        break;
      case Outcome::kOpenAsked:
        EXPECT_TRUE(PumpUntil([&] { return asked == 1; }));
        break;
      case Outcome::kFocusOpen:
      case Outcome::kFocusOk: {
        wxWindow* to = row.outcome == Outcome::kFocusOpen ? form_->ButtonO : form_->BitBtnOK;
        EXPECT_TRUE(PumpUntil([&] { return Focus() == to; }));
        break;
      }
      case Outcome::kZoomOut:
        EXPECT_TRUE(PumpUntil([&] { return form_->Settings().Zoom == 90; }));
        break;
      case Outcome::kCloses:
        EXPECT_TRUE(PumpUntil([&] { return !form_; }));
        // No web process outlives the window, hung or not.
        EXPECT_TRUE(PumpUntil([] { return gui::WebProcesses().empty(); }));
        break;
      case Outcome::kLives: {
        const std::vector<pid_t> shown = gui::WebProcesses();
        PumpFor(std::chrono::seconds(6));
        EXPECT_EQ(gui::WebProcesses(), shown);
        break;
      }
      case Outcome::kNotice:
        EXPECT_TRUE(PumpUntil([&] { return Moved(before); }, patience));
        EXPECT_TRUE(PumpUntil(
            [&] {
              return !form_->WebBrowser1->IsBusy() &&
                     PageSource(*form_->WebBrowser1) == tavrin::kEndedPageNotice;
            },
            std::chrono::seconds(25)));
        ExpectFewIdleWebProcesses(1);
        const std::pair<int, int> shown(form_->Deck().Position, form_->Deck().RevealedField);
        Type(WXK_RETURN);
        EXPECT_TRUE(PumpUntil([&] { return Moved(shown); }));
        // The page shown now spins again soon, as the ones before it.
        form_->Destroy();
        PumpUntil([&] { return !form_; });
        break;
    }
    if (form_) {
      ExpectFewIdleWebProcesses(1);
      form_->Destroy();
      PumpUntil([&] { return !form_; });
    }
    // Each row on a window of its own.
    PumpUntil([] { return gui::WebProcesses().empty(); }, std::chrono::seconds(3));
  }
}

}  // namespace
}  // namespace gui
