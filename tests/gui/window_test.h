// The fixture of the window tests: the main window started as the program starts it, on the
// display that with-display.sh provides, with the page the view actually holds awaited.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/webview.h>

#include "engine/navigation.h"
#include "engine/random.h"
#include "gui_harness.h"
#include "model.h"
#include "shell/Main.h"
#include "shell/error_reports.h"
#include "shell/html_view.h"
#include "shell/open_deck.h"
#include "shell/place_file.h"
#include "shell/place_label.h"
#include "shell/settings.h"

namespace gui {

using std::chrono::milliseconds;

// The value of `key` in the settings text `ini`, or "<missing>".
inline std::string Section(const std::string& ini, const std::string& key) {
  std::smatch m;
  std::regex line("(^|\n)" + key + "=([^\n]*)");
  return std::regex_search(ini, m, line) ? m[2].str() : std::string("<missing>");
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(std::filesystem::path(gui::SettingsPath()).parent_path());
    std::filesystem::remove_all(std::filesystem::path(tavrin::PlaceFilePath()).parent_path());
    gui::SettingsPath();
    // A fixed clock makes every shuffle of the window and of the model the same.
    tavrin::SetTimeOfDayClock([] { return 4242u; });
    // The Open dialog is cancelled at once, unless a test answers it otherwise.
    tavrin::SetOpenDialogAnswer([](const std::string&) { return std::nullopt; });
    gui::TakeMessageBoxes();
  }

  void TearDown() override {
    if (form_) {
      // Gone without a close: nothing is written.
      form_->Destroy();
      PumpUntil([&] { return !form_; });
    }
    tavrin::SetTimeOfDayClock({});
    tavrin::SetOpenDialogAnswer({});
    EXPECT_TRUE(gui::TakeMessageBoxes().empty()) << "unexpected message box";
  }

  // Starts the window as the program does, with `argument` on the command line (none when
  // empty), and waits until it is active and its first page is in place.
  TForm1* Start(const std::string& argument = "") {
    form_ = gui::StartWithArgument(argument);
    EXPECT_NE(form_.get(), nullptr);
    if (!form_) return nullptr;
    EXPECT_TRUE(PumpUntil([&] { return form_->IsActive() && form_->ViewHasFocus(); }))
        << "the window never became active with the focus in the view";
    PumpUntil([&] { return !form_->WebBrowser1->IsBusy(); });
    return form_.get();
  }

  void ExpectPage(const wxString& page) {
    ASSERT_TRUE(form_);
    EXPECT_TRUE(gui::WaitForPage(*form_->WebBrowser1, page))
        << "view holds: " << gui::PageSource(*form_->WebBrowser1).utf8_string()
        << "\nexpected:   " << page.utf8_string();
  }

  // The page stays what it is for a while.
  void ExpectPageStays(const wxString& page) {
    PumpFor(milliseconds(400));
    ExpectPage(page);
  }

  // Types one key and expects what it does to the deck: `presses`, the buttons it presses in turn
  // ('o' OK, 'b' Back, 's' Shuffle), drive `model` alike, and the view then holds the model's page;
  // with none, the page stays.
  void TypeExpecting(Model& model, std::string_view presses, int keyCode, int modifiers = 0) {
    Type(keyCode, modifiers);
    for (const char press : presses) {
      ASSERT_NE(std::string_view("obs").find(press), std::string_view::npos) << press;
      press == 'o' ? model.Ok() : press == 'b' ? model.Back() : model.Shuffle();
    }
    if (presses.empty()) {
      ExpectPageStays(model.Page());
    } else {
      ExpectPage(model.Page());
    }
  }

  void Close() {
    form_->Close();
    PumpUntil([&] { return !form_; }, std::chrono::seconds(5));
  }

  wxWindow* Focus() { return wxWindow::FindFocus(); }

  // The client size that the window really has on the screen, as the server reports it.
  wxSize ClientOnScreen() { return gui::ClientOnScreen(*form_); }

  // Resizes the client area and waits until the window manager has done it and the window knows.
  void ResizeClient(wxSize size) {
    form_->SetClientSize(size);
    EXPECT_TRUE(PumpUntil([&] {
      return ClientOnScreen() == size && form_->GetClientSize() == size &&
             form_->WebBrowser1->GetSize().x == size.x;
    })) << "window manager gave "
        << ClientOnScreen().x << "x" << ClientOnScreen().y;
  }

  wxWeakRef<TForm1> form_;
};

}  // namespace gui
