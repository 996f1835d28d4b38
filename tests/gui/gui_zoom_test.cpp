// Page zoom in the real window: the keys from the page and from a button, Ctrl+wheel over both,
// the level kept across pages and written at close, and read back at the next start.
#include <cmath>
#include <cstdlib>

#include "window_test.h"

namespace gui {
namespace {

// The zoom that the page itself sees: the view's width over the width it has in CSS pixels.
double PageZoom(wxWebView& view) {
  wxString width;
  if (!view.RunScript("window.innerWidth", &width)) return 0;
  return view.GetClientSize().x / wxAtof(width);
}

class ZoomTest : public WindowTest {
 protected:
  // Waits until the page shows the zoom `percent` and the settings hold it.
  void ExpectZoom(int percent) {
    EXPECT_TRUE(PumpUntil([&] {
      return form_->Settings().Zoom == percent &&
             std::abs(PageZoom(*form_->WebBrowser1) * 100 - percent) < 1;
    })) << "settings "
        << form_->Settings().Zoom << ", page " << PageZoom(*form_->WebBrowser1) * 100
        << ", expected " << percent;
  }

  // Turns the wheel `notches` times with Ctrl held (up when positive) over `window`'s middle.
  void CtrlWheel(wxWindow& window, int notches) {
    const wxRect r = window.GetScreenRect();
    const std::string command =
        "xdotool mousemove " + std::to_string(r.x + r.width / 2) + " " +
        std::to_string(r.y + r.height / 2) + " keydown ctrl click --repeat " +
        std::to_string(std::abs(notches)) + (notches > 0 ? " 4" : " 5") + " keyup ctrl";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    PumpFor(milliseconds(100));
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
