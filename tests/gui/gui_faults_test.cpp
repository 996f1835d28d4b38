// Faults of the window as a learner met them, each in the real window: drops behind a modal window.
#include <filesystem>

#include "window_test.h"

namespace gui {
namespace {

wxPoint Centre(wxWindow* window) {
  const wxRect r = window->GetScreenRect();
  return wxPoint(r.x + r.width / 2, r.y + r.height / 2);
}

TEST_F(WindowTest, DropsAreRefusedWhileTheOpenDialogOrAnErrorReportIsOpen) {
  // Clear of the square that files are dragged from.
  gui::WriteFile(gui::SettingsPath(), "[Main]\nTop=200\nLeft=300\nWidth=600\nHeight=400\n");
  const std::string animals = gui::DataFile("gui-animals.txt");
  const std::string words = gui::DataFile("gui-words-cp932.txt");
  const std::string fifo = std::filesystem::path(gui::SettingsPath()).parent_path() / "deck.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Start(animals);
  ASSERT_TRUE(PumpUntil([&] {
    return form_->GetRect().Contains(form_->WebBrowser1->GetScreenRect()) &&
           form_->GetPosition() == wxPoint(300, 200);
  }));
  const wxString page = Model(animals).Page();
  ExpectPage(page);

  // A deck dropped while a modal window is open: the drop fails, and nothing of the window moves.
  auto dropBehind = [&](wxWindow* place, const std::string& fileName) {
    EXPECT_FALSE(gui::DragFilesFromOutside({words}, Centre(place)));
    ExpectPageStays(page);
    EXPECT_EQ(form_->Settings().FileName, fileName);
  };
  int boxes = 0;
  // The dialog names a deck that cannot be opened, so that the error report's box follows it.
  tavrin::SetOpenDialogAnswer([&](const std::string&) {
    dropBehind(form_->WebBrowser1, animals);
    return std::optional<std::string>(fifo);
  });
  const tavrin::MessageBoxFunction recorder =
      tavrin::SetMessageBoxFunction([&](wxWindow*, const wxString&, const wxString&, long) {
        dropBehind(form_->BitBtnZ, fifo);
        ++boxes;
      });
  Type('o', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return boxes == 1; }));
  tavrin::SetMessageBoxFunction(recorder);
  // With no modal window open, a drop is taken again.
  EXPECT_TRUE(gui::DragFilesFromOutside({words}, Centre(form_->BitBtnZ)));
  Model model(animals);
  EXPECT_EQ(model.Load(words), "");
  ExpectPage(model.Page());
}

}  // namespace
}  // namespace gui
