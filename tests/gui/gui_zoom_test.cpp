// Page zoom in the real window: the keys from the page and from a button, Ctrl+wheel over both,
// the level kept across pages and written at close, and read back at the next start.
#include <cmath>
#include <cstdlib>

#include "window_test.h"

namespace gui {
namespace {

class ZoomTest : public WindowTest {
 protected:
  // Waits until the settings hold `percent` and the page shows it: the view's width over the
  // width the page has in CSS pixels.
  void ExpectZoom(int percent) {
    double seen = 0;
    EXPECT_TRUE(PumpUntil([&] {
      wxString width;
      form_->WebBrowser1->RunScript("window.innerWidth", &width);
      seen = 100.0 * form_->WebBrowser1->GetClientSize().x / wxAtof(width);
      return form_->Settings().Zoom == percent && std::abs(seen - percent) < 1;
    })) << "settings "
        << form_->Settings().Zoom << ", page " << seen << ", expected " << percent;
  }

  // Turns the wheel `notches` times with Ctrl held (up when positive) over `window`'s middle.
  void CtrlWheel(wxWindow& window, int notches) {
    const wxPoint at = window.GetScreenRect().GetPosition() + window.GetSize() / 2;
    const std::string command = "xdotool mousemove " + std::to_string(at.x) + " " +
                                std::to_string(at.y) + " keydown ctrl click --repeat " +
                                std::to_string(std::abs(notches)) + (notches > 0 ? " 4" : " 5") +
                                " keyup ctrl";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
};

TEST_F(ZoomTest, CtrlKeysZoomFromThePageAndFromAButtonAndTheCloseKeepsTheLevel) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  Start(deck);
  Model model(deck);
  ExpectPage(model.Page());
  ExpectZoom(100);
  Type('+', wxMOD_CONTROL | wxMOD_SHIFT);  // in the page: one step, not two
  ExpectZoom(110);
  // The level holds on the next page.
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
  ExpectZoom(110);
  form_->BitBtnOK->SetFocus();
  Type('-', wxMOD_CONTROL);
  Type('-', wxMOD_CONTROL);
  ExpectZoom(90);
  Type('0', wxMOD_CONTROL);
  Type('=', wxMOD_CONTROL);
  ExpectZoom(110);
  Close();
  EXPECT_TRUE(gui::ReadFile(gui::SettingsPath()).ends_with("\n[View]\nZoom=110\n"));
}

TEST_F(ZoomTest, StartsAtTheStoredLevelAndCtrlWheelStepsItOverThePageAndTheButtons) {
  gui::WriteFile(gui::SettingsPath(), "[View]\nZoom=150\n");
  Start();
  ExpectPage(tavrin::DecodeText(tavrin::kAboutPage, tavrin::kCodePageUtf8));
  ExpectZoom(150);
  CtrlWheel(*form_->WebBrowser1, 1);
  ExpectZoom(170);
  CtrlWheel(*form_->BitBtnOK, -2);
  ExpectZoom(133);
}

}  // namespace
}  // namespace gui
