// A soak of the real window: thousands of random actions from a fixed seed, as a user makes them
// (keys and clicks through the X server, Open answered or cancelled, files dropped, resizes,
// maximize and restore), each followed until its page has loaded in the view and its error reports
// are in. Afterwards the view still shows the page that the engine last handed over, the memory
// has grown by less than 20 MB since action 1,000 (or halfway, in a shorter run), and the settings
// file written at close matches the window. TAVRIN_SOAK_ACTIONS sets the number of actions (1,000
// when unset); bench/soak runs it long and prints the figures.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "soak.h"

namespace {

using namespace soak;

constexpr double kMB = 1e6;
constexpr double kGrowthLimit = 20 * kMB;

int ActionCount() {
  const char* text = std::getenv("TAVRIN_SOAK_ACTIONS");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : 1000;
}

// Resident set of this process, from /proc/self/statm (in pages).
double ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

TEST_F(Soak, RandomActionsKeepThePageTheMemoryAndTheSettings) {
  const int actions = ActionCount();
  // Growth is measured from action 1,000 on, or from halfway in a shorter run.
  const int checkpoint = std::min(1000, actions / 2);
  ASSERT_NO_FATAL_FAILURE(Start(animals_));

  int total = 0;
  for (const ActionKind& kind : kKinds) total += kind.weight;
  std::vector<long> counts(kActionKinds);
  const auto started = std::chrono::steady_clock::now();
  const double rssStart = ResidentBytes();
  double rssCheckpoint = rssStart;
  int done = 0;
  for (int i = 1; i <= actions && !HasFailure(); ++i) {
    int pick = std::uniform_int_distribution(0, total - 1)(random_);
    int kind = 0;
    while (pick >= kKinds[kind].weight) pick -= kKinds[kind++].weight;
    SCOPED_TRACE(testing::Message() << "action " << i << ": " << kKinds[kind].name);
    Perform(static_cast<Action>(kind));
    ++counts[kind];
    done = i;
    if (i == checkpoint) rssCheckpoint = ResidentBytes();
  }
  const double rssEnd = ResidentBytes();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  // After a pause the view still shows the page the engine last handed over.
  PumpFor(milliseconds(300));
  EXPECT_FALSE(form_->WebBrowser1->IsBusy());
  EXPECT_EQ(gui::PageSource(*form_->WebBrowser1).utf8_string(), handed_.utf8_string());

  // Closed by its access key, as a user would; the settings file then matches the window.
  const bool maximized = form_->IsMaximized();
  const wxRect normal = maximized ? normal_ : form_->GetRect();
  const wxSize button = form_->ButtonO->GetSize();
  EXPECT_EQ(button, wxSize(form_->Settings().ButtonWidth, form_->Settings().ButtonHeight));
  input_.Char('x', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return !form_; })) << "the window did not close";
  EXPECT_EQ(gui::ReadFile(gui::SettingsPath()), ExpectedSettings(maximized, normal, button));
  EXPECT_TRUE(gui::TakeMessageBoxes().empty());

  std::printf("soak: %d actions (seed %u) in %.1f s\n", done, kSeed, seconds);
  for (int k = 0; k < kActionKinds; ++k) {
    std::printf("soak:   %-22s %ld\n", kKinds[k].name, counts[k]);
  }
  std::printf("soak:   first files of the drops:");
  for (int k = 0; k < kDropKinds; ++k) std::printf(" %s %ld", kDropNames[k], drops_[k]);
  std::printf("\n");
  std::printf(
      "soak: RSS at start %.1f MB, after action %d %.1f MB, at the end %.1f MB;"
      " growth since action %d %.1f MB (limit %.0f MB)\n",
      rssStart / kMB, checkpoint, rssCheckpoint / kMB, rssEnd / kMB, checkpoint,
      (rssEnd - rssCheckpoint) / kMB, kGrowthLimit / kMB);
  std::printf("soak: %ld pages checked in the view, %ld error reports%s\n", pagesChecked_, reports_,
              HasFailure() ? "" : ", each one that its action causes");
  EXPECT_LT(rssEnd - rssCheckpoint, kGrowthLimit);
}

}  // namespace
