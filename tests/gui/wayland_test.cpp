// The window under a Wayland compositor with no keyboard on its seat (with-wayland.sh): the deck
// loads at the compositor's activation and not before, a resize and the compositor's close keep
// the saved edges, and a saved maximize is asked of the compositor. The requests that the program
// makes are read back from libwayland's own log of them.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "window_test.h"

namespace gui {
namespace {

std::string ProtocolLogPath() {
  return std::string(std::getenv("XDG_RUNTIME_DIR")) + "/protocol.log";
}

// libwayland logs from the first connection, which wx makes as it starts: so before main.
const bool kProtocolLogged = [] {
  if (std::getenv("WAYLAND_DISPLAY") == nullptr || std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    return false;  // not under with-wayland.sh: every test fails at SetUp
  }
  setenv("WAYLAND_DEBUG", "client", 1);
  const int log = open(ProtocolLogPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (log < 0) return false;
  dup2(log, STDERR_FILENO);
  close(log);
  return true;
}();

class WaylandTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(kProtocolLogged);
    protocolStart_ = ReadFile(ProtocolLogPath()).size();
  }

  // Starts the window as the program does with `deck` on the command line and the settings
  // `ini`; and waits for the deck's title page, which comes after the first activation, when
  // `activated`.
  void StartWithDeck(const std::string& deck, const std::string& ini, bool activated = true) {
    WriteFile(SettingsPath(), "[Main]\n" + ini);
    form_ = StartWithArgument(deck);
    ASSERT_TRUE(form_);
    if (activated) ExpectPage(Model(deck).Page());
  }

  // Runs a sway command; returns whether sway took it.
  static bool Sway(const std::string& command) {
    return std::system(("swaymsg -q " + command + " >&2").c_str()) == 0;
  }
  // The sway criteria that select the windows of this process.
  static std::string Ours() { return "'[pid=" + std::to_string(getpid()) + "]'"; }

  // What the program has asked of the compositor since the test began.
  std::string Requests() { return ReadFile(ProtocolLogPath()).substr(protocolStart_); }

  std::size_t protocolStart_ = 0;
};

TEST_F(WaylandTest, TheTitlePageLoadsWithNoKeyboardOnTheSeat) {
  ASSERT_EQ(std::system("swaymsg -t get_seats | grep -q '\"capabilities\": 0,'"), 0)
      << "the seat has a keyboard or a pointer";
  StartWithDeck(DataFile("gui-animals.txt"), "");
  EXPECT_FALSE(form_->IsActive()) << "a keyboard entered the window after all";
}

TEST_F(WaylandTest, AResizeAndTheCompositorsCloseKeepTheSavedEdges) {
  StartWithDeck(DataFile("gui-animals.txt"), "Top=77\nLeft=55\nWidth=700\nHeight=500\n");
  ASSERT_TRUE(Sway(Ours() + " resize set 640 480"));
  ASSERT_TRUE(PumpUntil([&] { return form_->GetSize() != wxSize(700, 500); }));
  PumpFor(milliseconds(200));
  const wxSize resized = form_->GetSize();
  ASSERT_TRUE(Sway(Ours() + " kill"));
  ASSERT_TRUE(PumpUntil([&] { return !form_; })) << "the compositor's close did not end it";
  const std::string ini = ReadFile(SettingsPath());
  EXPECT_EQ(Section(ini, "Top") + " " + Section(ini, "Left"), "77 55");
  EXPECT_EQ(Section(ini, "Width") + "x" + Section(ini, "Height"),
            std::to_string(resized.x) + "x" + std::to_string(resized.y));
  EXPECT_EQ(Section(ini, "Maximized"), "0");
  EXPECT_EQ(Requests().find(".set_maximized("), std::string::npos);
}

TEST_F(WaylandTest, ASavedMaximizeIsAskedOfTheCompositor) {
  StartWithDeck(DataFile("gui-animals.txt"), "Maximized=1\nWidth=700\nHeight=500\n");
  EXPECT_TRUE(PumpUntil([&] { return Requests().find(".set_maximized(") != std::string::npos; }));
}

// Last: sway keeps the rule for every later window of this process. It focuses the first window
// of a workspace whatever the rule, so another window comes first.
TEST_F(WaylandTest, AWindowOpenedBehindAnotherWaitsForItsActivation) {
  ASSERT_TRUE(Sway("no_focus " + Ours()));
  wxWeakRef<wxFrame> other = new wxFrame(nullptr, wxID_ANY, "Other");
  other->Show();
  const std::string deck = DataFile("gui-animals.txt");
  StartWithDeck(deck, "", false);
  PumpFor(milliseconds(1500));
  EXPECT_EQ(form_->Deck().Lines.Count(), 0) << "loaded behind the other window";
  ASSERT_TRUE(Sway("'[pid=" + std::to_string(getpid()) + " title=\"^Tavrin$\"]' focus"));
  ExpectPage(Model(deck).Page());
  other->Destroy();
  PumpUntil([&] { return !other; });
}

}  // namespace
}  // namespace gui
