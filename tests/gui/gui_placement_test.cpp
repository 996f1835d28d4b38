// Where the window opens and where it returns: the first start without a settings file, a
// maximized start restored through the window manager, a saved placement beyond the screen, and a
// deck named relative to the working folder. PlacementTest runs once more in a process of its own
// (gui_test_first_window), where the window is the process's first, as in the program: the toolkit
// knows the window manager's frame only from the second window on.
#include "window_test.h"

#include <cstdlib>

#include <wx/display.h>

// Last: the X11 headers define macros that clash with names in the headers above.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace gui {
namespace {

// Asks the window manager, as a title-bar double-click does, to take `form` out of the maximized
// state.
void UnmaximizeThroughWindowManager(TForm1& form) {
  GdkWindow* native = gtk_widget_get_window(static_cast<GtkWidget*>(form.GetHandle()));
  const std::string command = "wmctrl -i -r " + std::to_string(GDK_WINDOW_XID(native)) +
                              " -b remove,maximized_vert,maximized_horz";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The outer frame of `form` as the X server has it, decorations included.
wxRect FrameOnScreen(TForm1& form) {
  GdkRectangle r;
  gdk_window_get_frame_extents(gtk_widget_get_window(static_cast<GtkWidget*>(form.GetHandle())),
                               &r);
  return wxRect(r.x, r.y, r.width, r.height);
}

std::string Describe(const wxRect& r) {
  return std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
         std::to_string(r.height);
}

// "Left Top Width Height" of the settings file.
std::string SavedPlacement() {
  const std::string ini = gui::ReadFile(gui::SettingsPath());
  return Section(ini, "Left") + " " + Section(ini, "Top") + " " + Section(ini, "Width") + " " +
         Section(ini, "Height");
}

// A suite of its own, so that the first-window run selects it.
class PlacementTest : public WindowTest {};

TEST_F(PlacementTest, AMaximizedStartRestoresToTheSavedNormalPlacement) {
  gui::WriteFile(gui::SettingsPath(),
                 "[Main]\nMaximized=1\nTop=80\nLeft=100\nWidth=702\nHeight=525\n");
  Start();
  EXPECT_TRUE(PumpUntil([&] { return form_->IsMaximized() && form_->GetSize().x > 1000; }));
  UnmaximizeThroughWindowManager(*form_);
  const wxRect saved(100, 80, 702, 525);
  EXPECT_TRUE(PumpUntil([&] {
    return !form_->IsMaximized() && FrameOnScreen(*form_) == saved && form_->GetRect() == saved;
  })) << "restored to "
      << Describe(FrameOnScreen(*form_)) << ", the window believes " << Describe(form_->GetRect());
  ExpectLayout(*form_, 46, 75);
  Close();
  EXPECT_EQ(Section(gui::ReadFile(gui::SettingsPath()), "Maximized"), "0");
  EXPECT_EQ(SavedPlacement(), Describe(saved));
}

TEST_F(PlacementTest, TheFirstStartOpensAtTheDesignedSizeCentredOnTheScreen) {
  Start();
  ASSERT_EQ(wxDisplay(form_.get()).GetClientArea(), wxRect(0, 0, 1280, 1024));
  const wxRect centred(164, 184, 952, 656);
  EXPECT_TRUE(PumpUntil([&] { return FrameOnScreen(*form_) == centred; }))
      << "placed at " << Describe(FrameOnScreen(*form_));
  Close();
  EXPECT_EQ(SavedPlacement(), Describe(centred));
}

TEST_F(PlacementTest, ASavedPlacementBeyondTheScreenIsShownAndWrittenBackOnIt) {
  gui::WriteFile(gui::SettingsPath(), "[Main]\nTop=-40\nLeft=900\nWidth=2147483647\nHeight=700\n");
  Start();
  const wxRect fitted(0, 0, 1280, 700);
  EXPECT_TRUE(PumpUntil([&] { return FrameOnScreen(*form_) == fitted; }))
      << "placed at " << Describe(FrameOnScreen(*form_));
  Close();
  EXPECT_EQ(SavedPlacement(), Describe(fitted));
}

TEST_F(PlacementTest, AMaximizeStillWaitingForThePlacementAtCloseIsSavedAsMaximized) {
  gui::WriteFile(gui::SettingsPath(),
                 "[Main]\nMaximized=1\nTop=80\nLeft=100\nWidth=702\nHeight=525\n");
  // Closed before its first activation, while the maximize waits for the window to be placed.
  form_ = StartMainWindow();
  ASSERT_TRUE(form_);
  EXPECT_FALSE(form_->IsMaximized());
  Close();
  EXPECT_EQ(Section(gui::ReadFile(gui::SettingsPath()), "Maximized"), "1");
  EXPECT_EQ(SavedPlacement(), "100 80 702 525");
}

TEST_F(PlacementTest, AMaximizeGivesUpWaitingForAPlacementThatTheWindowManagerMoves) {
  gui::WriteFile(gui::SettingsPath(),
                 "[Main]\nMaximized=1\nTop=80\nLeft=-3000\nWidth=702\nHeight=525\n");
  Start();
  EXPECT_TRUE(PumpUntil([&] { return form_->IsMaximized() && form_->GetSize().x > 1000; }))
      << "placed at " << Describe(FrameOnScreen(*form_));
  Close();
  EXPECT_EQ(Section(gui::ReadFile(gui::SettingsPath()), "Maximized"), "1");
}

TEST_F(WindowTest, ARelativeFileNameOfAnOlderRunOpensAndPrefillsTheDialogWithItsFullName) {
  // The Open dialog that Alt+O makes reads the working folder in the background, and the toolkit
  // answers a folder gone meanwhile with a modal error box of its own, which no one closes: the
  // folder lasts as long as the process.
  static const tavrin::testing_support::ScratchFolder scratch;
  const std::string deck =
      gui::WriteFile(scratch / "animals.txt", gui::ReadFile(gui::DataFile("gui-animals.txt")));
  gui::WriteFile(gui::SettingsPath(), "[Main]\nFileName=animals.txt\n");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(scratch.Path());
  std::vector<std::string> prefilled;
  tavrin::SetOpenDialogAnswer([&](const std::string& name) {
    prefilled.push_back(name);
    return std::nullopt;
  });
  Start();
  ExpectPage(Model(deck).Page());
  Type('o', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return !prefilled.empty(); }));
  EXPECT_EQ(prefilled, std::vector<std::string>{std::filesystem::current_path() / "animals.txt"});
  EXPECT_EQ(form_->Settings().FileName, "animals.txt");
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace gui
