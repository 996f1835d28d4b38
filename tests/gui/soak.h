// The soak's user: random actions on the real window, each followed until its page has loaded
// in the view and its error reports are in, beside the engine driven alone (Model).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/webview.h>

#include "engine/double_byte.h"
#include "engine/navigation.h"
#include "engine/random.h"
#include "engine/text_list.h"
#include "gui_harness.h"
#include "model.h"
#include "shell/Main.h"
#include "shell/error_reports.h"
#include "shell/html_view.h"
#include "shell/open_deck.h"
#include "shell/settings.h"

namespace soak {

using gui::Model;
using gui::PumpFor;
using gui::PumpUntil;
using std::chrono::milliseconds;

constexpr std::uint32_t kSeed = 20240607;

enum Action {
  kOkEnter,
  kOkSpace,
  kOkClick,
  kBackEsc,
  kBackAltZ,
  kBackClick,
  kShuffleAltS,
  kShuffleClick,
  kOpenAltO,
  kOpenClick,
  kOpenCancel,
  kDropEvent,
  kDropDragged,
  kResize,
  kMaximize,
  kActionKinds
};

struct ActionKind {
  const char* name;
  int weight;
};

// A drag from another program takes about a second, so most drops come as the event that the
// toolkit makes of one; the dragged ones go through the X server onto the page or the buttons.
constexpr ActionKind kKinds[kActionKinds] = {
    {"OK by Enter", 140},     {"OK by Space", 60},      {"OK by click", 80},
    {"Back by Esc", 60},      {"Back by Alt+Z", 40},    {"Back by click", 40},
    {"Shuffle by Alt+S", 40}, {"Shuffle by click", 30}, {"Open by Alt+O", 25},
    {"Open by click", 20},    {"Open cancelled", 25},   {"drop", 80},
    {"drop dragged", 7},      {"resize", 60},           {"maximize or restore", 30},
};

// What a drop brings: a deck, an image or an executable, a name under which nothing exists, or a
// named pipe, which exists but cannot be opened as a deck.
enum DropKind { kGood, kBinary, kMissing, kUnreadable, kDropKinds };
constexpr const char* kDropNames[kDropKinds] = {"good", "binary", "missing", "unreadable"};

class Soak : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(std::filesystem::path(gui::SettingsPath()).parent_path());
    gui::SettingsPath();
    // Every shuffle seeded alike: the window and the model draw the same orders.
    tavrin::SetTimeOfDayClock([] { return 4242u; });
    gui::TakeMessageBoxes();
    folder_ = std::string(std::getenv("XDG_DATA_HOME")) + "/soak";
    std::filesystem::create_directories(folder_);
    animals_ = Copy("gui-animals.txt", "animals deck.txt");
    words_ = Copy("gui-words-cp932.txt", "単語.txt");
    image_ = folder_ + "/icon.png";
    std::filesystem::copy_file(TAVRIN_ICON, image_);
    executable_ = folder_ + "/true";
    std::filesystem::copy_file("/bin/true", executable_);
    missing_ = folder_ + "/no such deck.txt";
    fifo_ = folder_ + "/deck.fifo";
    ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    tavrin::SetOpenDialogAnswer([this](const std::string& prefilled) {
      ++answered_;
      EXPECT_EQ(prefilled, held_) << "the name the Open dialog is pre-filled with";
      return answer_;
    });
  }

  void TearDown() override {
    if (form_) {
      form_->Destroy();
      PumpUntil([&] { return !form_; });
    }
    tavrin::SetOpenDialogAnswer({});
    tavrin::SetTimeOfDayClock({});
  }

  std::string Copy(const std::string& data, const std::string& name) {
    const std::string path = folder_ + "/" + name;
    gui::WriteFile(path, gui::ReadFile(gui::DataFile(data)));
    return path;
  }

  // Starts the window with `deck` on the command line and follows every page its engine hands
  // over. The hook goes in before the first activation loads the deck.
  void Start(const std::string& deck) {
    form_ = gui::StartWithArgument(deck);
    ASSERT_TRUE(form_);
    // The deck state belongs to the window, which gives it out read-only; only its page sink is
    // wrapped here, to see each page the engine hands over as it goes to the view.
    auto& engine = const_cast<tavrin::DeckState&>(form_->Deck());
    engine.ShowHtml = [&engine, show = engine.ShowHtml, this](const std::string& html) {
      handed_ = tavrin::DecodeText(html, engine.CodePage);
      handedBytes_ = html;
      ++handedCount_;
      show(html);
    };
    form_->WebBrowser1->Bind(wxEVT_WEBVIEW_LOADED, [this](wxWebViewEvent& e) {
      ++loads_;
      e.Skip();
    });
    handed_ = tavrin::DecodeText(tavrin::kAboutPage, tavrin::kCodePageUtf8);
    ASSERT_TRUE(PumpUntil([&] { return form_->IsActive() && form_->ViewHasFocus(); }));
    fileName_ = deck;
    expectedErrors_.push_back(model_.Load(deck));
    Settle();
    normal_ = form_->GetRect();
  }

  // Waits until the action just made has had its effect: until the view has loaded the page that
  // the engine handed over, when the model says that one was shown, or for a moment otherwise.
  // Then checks that the window's engine showed what the model showed, and that the reports were
  // exactly the expected ones.
  void Settle() {
    if (model_.Pages() > checkedModelPages_) {
      checkedModelPages_ = model_.Pages();
      const bool loaded = PumpUntil([&] {
        if (handedCount_ < model_.Pages() || loads_ == checkedLoads_) return false;
        checkedLoads_ = loads_;
        return !form_->WebBrowser1->IsBusy() && gui::PageSource(*form_->WebBrowser1) == handed_;
      });
      EXPECT_TRUE(loaded) << "page " << model_.Pages() << " never loaded; view holds:\n"
                          << gui::PageSource(*form_->WebBrowser1).utf8_string()
                          << "\nengine handed over:\n"
                          << handed_.utf8_string();
      ++pagesChecked_;
    } else {
      PumpFor(milliseconds(40));
    }
    EXPECT_EQ(handedCount_, model_.Pages()) << "pages handed over by the window's engine";
    EXPECT_EQ(handedBytes_, model_.Bytes());
    EXPECT_EQ(form_->Settings().FileName, fileName_);

    std::vector<wxString> expected;
    for (const std::string& message : expectedErrors_) {
      if (!message.empty()) {
        expected.push_back(wxString::FromUTF8(tavrin::WithApplicationFullStop(message)));
      }
    }
    expectedErrors_.clear();
    std::vector<wxString> shown;
    for (const gui::MessageBox& box : gui::TakeMessageBoxes()) {
      EXPECT_EQ(box.caption, "Nubelo");
      EXPECT_EQ(box.owner, form_.get());
      shown.push_back(box.text);
    }
    EXPECT_EQ(shown, expected) << "error reports of the action";
    reports_ += static_cast<long>(shown.size());
  }

  wxSize ClientOnScreen() { return gui::ClientOnScreen(*form_); }

  // The view above the strip of buttons, Open and Shuffle left, Back and Quit right, OK between.
  void ExpectLayout() {
    gui::ExpectLayout(*form_, form_->Settings().ButtonHeight, form_->Settings().ButtonWidth);
  }

  // Enter presses the focused button: keep it on OK, or in the view, which hands Enter to OK.
  void FocusForOk() {
    wxWindow* focus = wxWindow::FindFocus();
    for (wxButton* other : {form_->ButtonO, form_->ButtonS, form_->BitBtnZ, form_->BitBtnX}) {
      if (focus == other) form_->BitBtnOK->SetFocus();
    }
  }

  void Click(wxButton* button) {
    const wxRect r = button->GetScreenRect();
    input_.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
    input_.MouseClick();
  }

  void Perform(Action action) {
    switch (action) {
      case kOkEnter:
        FocusForOk();
        model_.Ok();
        input_.Char(WXK_RETURN);
        break;
      case kOkSpace:
        form_->BitBtnOK->SetFocus();
        model_.Ok();
        input_.Char(WXK_SPACE);
        break;
      case kOkClick:
        model_.Ok();
        Click(form_->BitBtnOK);
        break;
      case kBackEsc:
        model_.Back();
        input_.Char(WXK_ESCAPE);
        break;
      case kBackAltZ:
        model_.Back();
        input_.Char('z', wxMOD_ALT);
        break;
      case kBackClick:
        model_.Back();
        Click(form_->BitBtnZ);
        break;
      case kShuffleAltS:
        model_.Shuffle();
        input_.Char('s', wxMOD_ALT);
        break;
      case kShuffleClick:
        model_.Shuffle();
        Click(form_->ButtonS);
        break;
      case kOpenAltO:
      case kOpenClick:
      case kOpenCancel:
        Open(action != kOpenCancel, action == kOpenClick || (action == kOpenCancel && Coin()));
        return;
      case kDropEvent:
      case kDropDragged:
        Drop(action == kDropDragged);
        return;
      case kResize:
        if (form_->IsMaximized()) {
          Restore();
        } else {
          Resize(wxSize(std::uniform_int_distribution(420, 1100)(random_),
                        std::uniform_int_distribution(260, 850)(random_)));
        }
        return;
      case kMaximize:
        if (form_->IsMaximized()) {
          Restore();
        } else {
          form_->Maximize(true);
          EXPECT_TRUE(PumpUntil([&] {
            return form_->IsMaximized() && ClientOnScreen().x > 1200 &&
                   form_->GetClientSize() == ClientOnScreen();
          })) << "never maximized";
          ExpectLayout();
        }
        return;
      case kActionKinds:
        break;
    }
    Settle();
  }

  bool Coin() { return std::uniform_int_distribution(0, 1)(random_) == 1; }

  const std::string& GoodDeck() { return Coin() ? animals_ : words_; }

  // Open, answered with a deck or cancelled: either way the focus moves to OK.
  void Open(bool confirm, bool click) {
    if (tavrin::IsExistingFile(fileName_)) held_ = fileName_;
    answer_.reset();
    if (confirm) {
      answer_ = GoodDeck();
      fileName_ = *answer_;
      expectedErrors_.push_back(model_.Load(fileName_));
    }
    const long before = answered_;
    if (click) {
      Click(form_->ButtonO);
    } else {
      input_.Char('o', wxMOD_ALT);
    }
    EXPECT_TRUE(PumpUntil([&] {
      return answered_ > before && wxWindow::FindFocus() == form_->BitBtnOK;
    })) << "Open was not pressed, or did not move the focus to OK";
    if (answer_) held_ = *answer_;
    Settle();
  }

  // A drop of one to three files, of which the first is opened whatever it is.
  void Drop(bool dragged) {
    std::vector<std::string> files;
    const int count = std::uniform_int_distribution(1, 3)(random_);
    for (int i = 0; i < count; ++i) {
      const auto kind = static_cast<DropKind>(std::uniform_int_distribution(0, 3)(random_));
      if (i == 0) ++drops_[kind];
      switch (kind) {
        case kGood:
          files.push_back(GoodDeck());
          break;
        case kBinary:
          files.push_back(Coin() ? image_ : executable_);
          break;
        case kMissing:
          files.push_back(missing_);
          break;
        case kUnreadable:
        case kDropKinds:
          files.push_back(fifo_);
          break;
      }
    }
    fileName_ = files[0];
    expectedErrors_.push_back(model_.Load(fileName_));
    if (dragged) {
      // Onto the page or onto one of the buttons, which belong to the window.
      const std::array<wxWindow*, 3> targets{form_->WebBrowser1, form_->ButtonS, form_->BitBtnOK};
      const wxRect r = targets[std::uniform_int_distribution(0, 2)(random_)]->GetScreenRect();
      const bool taken =
          gui::DragFilesFromOutside(files, wxPoint(r.x + r.width / 2, r.y + r.height / 2));
      // A drop whose deck cannot be opened may be refused to the other program; its report tells
      // that it arrived.
      EXPECT_TRUE(taken || files[0] == fifo_) << "the window did not take the drop";
      // The other program's window took the activation for a moment.
      if (!PumpUntil([&] { return form_->IsActive(); }, milliseconds(2000))) form_->Raise();
      EXPECT_TRUE(PumpUntil([&] { return form_->IsActive(); })) << "the window is not active";
    } else {
      // As the toolkit delivers a drop on the window.
      auto* names = new wxString[files.size()];
      for (std::size_t i = 0; i < files.size(); ++i) {
        names[i] = wxString(files[i].c_str(), *wxConvFileName);
      }
      wxDropFilesEvent drop(wxEVT_DROP_FILES, static_cast<int>(files.size()), names);
      drop.SetEventObject(form_.get());
      form_->HandleWindowEvent(drop);
    }
    Settle();
  }

  void Resize(wxSize client) {
    form_->SetClientSize(client);
    EXPECT_TRUE(PumpUntil([&] {
      return ClientOnScreen() == client && form_->GetClientSize() == client &&
             form_->WebBrowser1->GetSize().x == client.x;
    })) << "asked for "
        << client.x << "x" << client.y << ", window manager gave " << ClientOnScreen().x << "x"
        << ClientOnScreen().y;
    ExpectLayout();
    normal_ = form_->GetRect();
  }

  void Restore() {
    form_->Maximize(false);
    EXPECT_TRUE(PumpUntil([&] {
      return !form_->IsMaximized() && form_->GetRect() == normal_ &&
             ClientOnScreen() == form_->GetClientSize();
    })) << "restored to "
        << form_->GetRect().width << "x" << form_->GetRect().height;
    ExpectLayout();
  }

  // The settings file written at close: all twelve keys in their order, then the zoom.
  std::string ExpectedSettings(bool maximized, const wxRect& normal, const wxSize& button) {
    const tavrin::StartupTemplates& t = tavrin::kDefaultStartupTemplates;
    return "[Main]\nMaximized=" + std::to_string(maximized ? 1 : 0) +
           "\nTop=" + std::to_string(normal.y) + "\nLeft=" + std::to_string(normal.x) +
           "\nWidth=" + std::to_string(normal.width) + "\nHeight=" + std::to_string(normal.height) +
           "\nButtonHeight=" + std::to_string(button.y) +
           "\nButtonWidth=" + std::to_string(button.x) + "\nFileName=" + fileName_ +
           "\n[HTML]\nOuterHead=" + t.OuterHead + "\nOuterFoot=" + t.OuterFoot +
           "\nInnerHead=" + t.InnerHead + "\nInnerFoot=" + t.InnerFoot + "\n[View]\nZoom=100\n";
  }

  std::string folder_, animals_, words_, image_, executable_, missing_, fifo_;
  wxWeakRef<TForm1> form_;
  wxUIActionSimulator input_;
  std::mt19937 random_{kSeed};
  Model model_;

  // What the window's engine handed over last, and how many pages in all.
  wxString handed_;
  std::string handedBytes_;
  long handedCount_ = 0;
  long loads_ = 0;
  long checkedLoads_ = 0;
  long checkedModelPages_ = 0;
  long pagesChecked_ = 0;
  long reports_ = 0;
  std::vector<std::string> expectedErrors_;
  std::string fileName_;
  // The Open dialog: the answer it is to give, the name it holds, how often it has been answered.
  std::optional<std::string> answer_;
  std::string held_;
  long answered_ = 0;
  std::array<long, kDropKinds> drops_{};
  // The window's placement in the normal state, as last set by a resize.
  wxRect normal_;
};

}  // namespace soak
