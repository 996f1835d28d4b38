// The main window in a real window on a real display: start-up order, layout, every key of the
// keyboard table, the page the view actually holds, close and its settings, and the error reports.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>
#include <wx/webview.h>

#include "engine/navigation.h"
#include "engine/text.h"
#include "gui_harness.h"
#include "shell/Main.h"
#include "shell/error_reports.h"
#include "shell/html_view.h"
#include "shell/open_deck.h"
#include "shell/settings.h"

namespace {

using gui::PumpFor;
using gui::PumpUntil;
using gui::Type;
using std::chrono::milliseconds;

// The engine driven alone beside the window: the pages the window must show for the same steps.
class Model {
 public:
  explicit Model(const std::string& deckFile) {
    deck_.StartWith(tavrin::kDefaultStartupTemplates);
    deck_.ShowHtml = [this](const std::string& html) { page_ = html; };
    deck_.MakeLists();
    tavrin::LoadDeck(deck_, deckFile);
  }
  // Loads a further deck, which inherits the settings that its header leaves out.
  void Load(const std::string& deckFile) { tavrin::LoadDeck(deck_, deckFile); }
  void Ok() { tavrin::Ok(deck_); }
  void Back() { tavrin::Back(deck_); }
  void Shuffle() { tavrin::Shuffle(deck_); }
  wxString Page() const { return tavrin::DecodeText(page_, deck_.CodePage); }
  const std::string& Bytes() const { return page_; }

 private:
  tavrin::DeckState deck_;
  std::string page_;
};

std::string Section(const std::string& ini, const std::string& key) {
  std::smatch m;
  std::regex line("(^|\n)" + key + "=([^\n]*)");
  return std::regex_search(ini, m, line) ? m[2].str() : std::string("<missing>");
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(std::filesystem::path(gui::SettingsPath()).parent_path());
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
    std::vector<const char*> argv{"tavrin"};
    if (!argument.empty()) argv.push_back(argument.c_str());
    tavrin::SetCommandLine(static_cast<int>(argv.size()), argv.data());
    form_ = StartMainWindow();
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

  void Close() {
    form_->Close();
    PumpUntil([&] { return !form_; }, std::chrono::seconds(5));
  }

  wxWindow* Focus() { return wxWindow::FindFocus(); }

  // The client size that the window really has on the screen, as the server reports it.
  wxSize ClientOnScreen() {
    GdkWindow* window = gtk_widget_get_window(static_cast<GtkWidget*>(form_->GetHandle()));
    return wxSize(gdk_window_get_width(window), gdk_window_get_height(window));
  }

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

// ---- Start-up -------------------------------------------------------------------------------

TEST_F(WindowTest, ShowsTheAboutPageFirstAndTheDeckAtTheFirstActivation) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  tavrin::SetCommandLine(2, std::vector<const char*>{"tavrin", deck.c_str()}.data());
  form_ = StartMainWindow();
  ASSERT_TRUE(form_);
  // Shown, not yet active: the command line chose the deck, nothing is loaded, the about page is
  // on its way into the view.
  EXPECT_EQ(form_->Settings().FileName, deck);
  EXPECT_EQ(form_->Deck().Lines.Count(), 0);
  EXPECT_EQ(form_->Deck().RevealedField, -1);
  EXPECT_TRUE(PumpUntil([&] { return form_->IsActive(); }));
  ExpectPage(Model(deck).Page());
  EXPECT_EQ(form_->Deck().Lines.Count(), 6);
  EXPECT_TRUE(form_->ViewHasFocus());
}

TEST_F(WindowTest, KeepsTheAboutPageWhenTheDeckIsMissing) {
  gui::WriteFile(gui::SettingsPath(), "[Main]\nFileName=/no/such/deck.txt\n");
  Start("/no/such/other.txt");
  ExpectPage(tavrin::DecodeText(tavrin::kAboutPage, tavrin::kCodePageUtf8));
  EXPECT_EQ(form_->Settings().FileName, "/no/such/deck.txt");
  EXPECT_EQ(form_->WebBrowser1->GetCurrentURL(), "about:blank");
  EXPECT_EQ(form_->WebBrowser1->GetCurrentTitle(), "");
  // OK, Back and Shuffle do nothing without a deck, but Shuffle still moves the focus to OK.
  Type(WXK_RETURN);
  Type(WXK_ESCAPE);
  form_->ButtonS->SetFocus();
  Type(WXK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return Focus() == form_->BitBtnOK; }));
  ExpectPageStays(tavrin::DecodeText(tavrin::kAboutPage, tavrin::kCodePageUtf8));
}

TEST_F(WindowTest, ReopensTheLastDeckAndShowsCodePage932) {
  const std::string deck = gui::DataFile("gui-words-cp932.txt");
  gui::WriteFile(gui::SettingsPath(), "[Main]\nFileName=" + deck + "\n");
  Start();
  Model model(deck);
  ExpectPage(model.Page());
  EXPECT_NE(model.Page().Find(wxString::FromUTF8("日本語の単語")), wxNOT_FOUND);
  // The last card has bytes that form no character: each shows as U+FFFD, the rest as it is.
  for (int i = 0; i < 4 * 3 + 1; ++i) {
    Type(WXK_RETURN);
    model.Ok();
  }
  ExpectPage(model.Page());
  EXPECT_NE(model.Page().Find(wxString::FromUTF8("表\uFFFD\uFFFD")), wxNOT_FOUND);
}

// ---- Layout ---------------------------------------------------------------------------------

// The bounds that the layout must give, from the client size and the button size.
void ExpectLayout(TForm1& form, int h, int w) {
  const wxSize c = form.GetClientSize();
  const std::array<wxRect, 6> expected{
      wxRect(0, 0, c.x, c.y - h),         wxRect(0, c.y - h, w, h),
      wxRect(w, c.y - h, w, h),           wxRect(2 * w, c.y - h, c.x - 4 * w, h),
      wxRect(c.x - 2 * w, c.y - h, w, h), wxRect(c.x - w, c.y - h, w, h)};
  const std::array<wxWindow*, 6> controls{form.WebBrowser1, form.ButtonO, form.ButtonS,
                                          form.BitBtnOK,    form.BitBtnZ, form.BitBtnX};
  for (std::size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(testing::Message() << "control " << i << " client " << c.x << "x" << c.y);
    EXPECT_EQ(form.Layout()[i], expected[i]);
    wxRect placed = expected[i];
    placed.width = std::max(placed.width, 0);
    placed.height = std::max(placed.height, 0);
    EXPECT_EQ(controls[i]->GetRect(), placed);
  }
}

TEST_F(WindowTest, LaysOutTheControlsAtEverySizeAndAfterMaximizeAndRestore) {
  gui::WriteFile(gui::SettingsPath(), "[Main]\nButtonHeight=30\nButtonWidth=60\n");
  Start();
  ExpectLayout(*form_, 30, 60);
  for (wxSize size : {wxSize(700, 500), wxSize(420, 260), wxSize(200, 150)}) {
    ResizeClient(size);
    ExpectLayout(*form_, 30, 60);
  }
  // At most four button widths: OK gets no width at all, and the buttons overlap.
  EXPECT_LE(form_->Layout()[3].width, 0);

  ResizeClient(wxSize(640, 400));
  ExpectLayout(*form_, 30, 60);
  form_->Maximize(true);
  EXPECT_TRUE(PumpUntil([&] {
    return form_->IsMaximized() && ClientOnScreen().x > 1000 &&
           form_->GetClientSize() == ClientOnScreen();
  }));
  ExpectLayout(*form_, 30, 60);
  form_->Maximize(false);
  EXPECT_TRUE(PumpUntil([&] {
    return !form_->IsMaximized() && ClientOnScreen() == wxSize(640, 400) &&
           form_->GetClientSize() == wxSize(640, 400);
  }));
  ExpectLayout(*form_, 30, 60);
}

TEST_F(WindowTest, ButtonsUseTheRequestedFaceOrItsJapaneseSubstitute) {
  Start();
  const wxFont font = form_->BitBtnOK->GetFont();
  // Character height 12 pixels at 96 dots per inch: 9 points, in proportion elsewhere.
  EXPECT_EQ(font.GetFractionalPointSize(), 9.0);
  // The platform has no face of that name here; fontconfig names a Japanese face in its place.
  EXPECT_NE(font.GetFaceName(), "");
  EXPECT_EQ(form_->ButtonO->GetFont(), font);
  EXPECT_EQ(form_->BitBtnOK->GetLabel(), "OK");
  EXPECT_EQ(form_->BitBtnZ->GetLabel(), "Back(&Z)");
  EXPECT_TRUE(form_->BitBtnX->GetBitmap().IsOk());
  EXPECT_EQ(form_->BitBtnX->GetBitmap().GetSize(), wxSize(18, 18));
  EXPECT_EQ(form_->GetTitle(), "Tavrin");
  EXPECT_EQ(wxTheApp->GetAppDisplayName(), "Nubelo");
}

// ---- Keyboard -------------------------------------------------------------------------------

class KeyTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    deck_ = gui::DataFile("gui-animals.txt");
    Start(deck_);
    model_ = std::make_unique<Model>(deck_);
    ExpectPage(model_->Page());
  }
  std::string deck_;
  std::unique_ptr<Model> model_;
};

TEST_F(KeyTest, EnterPressesOkFromTheViewAndTheFocusedButtonElsewhere) {
  ASSERT_TRUE(form_->ViewHasFocus());
  Type(WXK_RETURN);
  model_->Ok();
  ExpectPage(model_->Page());
  Type(WXK_NUMPAD_ENTER);
  model_->Ok();
  ExpectPage(model_->Page());
  EXPECT_TRUE(form_->ViewHasFocus());

  form_->BitBtnZ->SetFocus();
  Type(WXK_RETURN);
  model_->Back();
  ExpectPage(model_->Page());
  // Enter on Shuffle shuffles and hands the focus to OK, so that Enter then presses OK.
  form_->ButtonS->SetFocus();
  Type(WXK_RETURN);
  model_->Shuffle();
  ExpectPage(model_->Page());
  EXPECT_EQ(Focus(), form_->BitBtnOK);
  Type(WXK_RETURN);
  model_->Ok();
  ExpectPage(model_->Page());
  // Enter with Shift, Ctrl or Alt presses nothing.
  Type(WXK_RETURN, wxMOD_CONTROL);
  ExpectPageStays(model_->Page());
}

TEST_F(KeyTest, EscPressesBackAlsoWhileOkHasTheFocus) {
  Type(WXK_RETURN);
  Type(WXK_RETURN);
  Type(WXK_RETURN);
  Type(WXK_RETURN);  // the second card
  for (int i = 0; i < 4; ++i) model_->Ok();
  ExpectPage(model_->Page());
  Type(WXK_ESCAPE);  // from the view
  model_->Back();
  ExpectPage(model_->Page());
  form_->BitBtnOK->SetFocus();
  Type(WXK_RETURN);
  model_->Ok();
  ExpectPage(model_->Page());
  Type(WXK_ESCAPE);
  model_->Back();
  ExpectPage(model_->Page());
  EXPECT_EQ(Focus(), form_->BitBtnOK);
}

TEST_F(KeyTest, SpacePressesOnlyTheFocusedButton) {
  Type(WXK_SPACE);  // the view is no button
  ExpectPageStays(model_->Page());
  form_->BitBtnOK->SetFocus();
  Type(WXK_SPACE);
  model_->Ok();
  ExpectPage(model_->Page());
  form_->BitBtnZ->SetFocus();
  Type(WXK_SPACE);
  model_->Back();
  ExpectPage(model_->Page());
}

TEST_F(KeyTest, AltWithTheAccessLettersPressesTheirButtons) {
  int opens = 0;
  form_->ButtonO->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) {
    ++opens;
    e.Skip();
  });
  Type(WXK_RETURN);
  model_->Ok();
  ExpectPage(model_->Page());
  Type('s', wxMOD_ALT);  // from the view
  model_->Shuffle();
  ExpectPage(model_->Page());
  EXPECT_EQ(Focus(), form_->BitBtnOK);
  Type('z', wxMOD_ALT);
  model_->Back();
  ExpectPage(model_->Page());
  EXPECT_EQ(Focus(), form_->BitBtnOK);  // a key press moves no focus
  Type('s', wxMOD_ALT | wxMOD_SHIFT);   // either case
  model_->Shuffle();
  ExpectPage(model_->Page());
  Type('o', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return opens == 1; }));
  Type('x', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return !form_; }));
  EXPECT_EQ(Section(gui::ReadFile(gui::SettingsPath()), "FileName"), deck_);
}

TEST_F(KeyTest, LettersAloneActOnlyWhileAButtonHasTheFocus) {
  int opens = 0;
  form_->ButtonO->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) {
    ++opens;
    e.Skip();
  });
  Type('s');
  Type('z');
  Type('o');
  Type('x');
  ExpectPageStays(model_->Page());
  EXPECT_EQ(opens, 0);
  ASSERT_TRUE(form_);

  form_->BitBtnOK->SetFocus();
  Type(WXK_RETURN);
  Type(WXK_RETURN);
  model_->Ok();
  model_->Ok();
  ExpectPage(model_->Page());
  Type('z');
  model_->Back();
  ExpectPage(model_->Page());
  Type('S');
  model_->Shuffle();
  ExpectPage(model_->Page());
  Type('o');
  EXPECT_TRUE(PumpUntil([&] { return opens == 1; }));
  Type('x');
  EXPECT_TRUE(PumpUntil([&] { return !form_; }));
}

TEST_F(KeyTest, TabShiftTabAndArrowsMoveTheFocusInTabOrder) {
  const std::vector<wxWindow*> buttons{form_->ButtonO, form_->ButtonS, form_->BitBtnOK,
                                       form_->BitBtnZ, form_->BitBtnX};
  auto focusIs = [&](wxWindow* w) {
    return PumpUntil(
        [&] { return w ? Focus() == w && !form_->ViewHasFocus() : form_->ViewHasFocus(); },
        milliseconds(3000));
  };
  for (wxWindow* button : buttons) {
    Type(WXK_TAB);
    EXPECT_TRUE(focusIs(button)) << button->GetName();
  }
  Type(WXK_TAB);
  EXPECT_TRUE(focusIs(nullptr)) << "Tab from Quit goes round to the view";
  Type(WXK_TAB, wxMOD_SHIFT);
  EXPECT_TRUE(focusIs(form_->BitBtnX));
  Type(WXK_TAB, wxMOD_SHIFT);
  EXPECT_TRUE(focusIs(form_->BitBtnZ));
  Type(WXK_LEFT);
  EXPECT_TRUE(focusIs(form_->BitBtnOK));
  Type(WXK_UP);
  EXPECT_TRUE(focusIs(form_->ButtonS));
  Type(WXK_RIGHT);
  EXPECT_TRUE(focusIs(form_->BitBtnOK));
  Type(WXK_DOWN);
  EXPECT_TRUE(focusIs(form_->BitBtnZ));
  Type(WXK_DOWN);
  Type(WXK_DOWN);
  EXPECT_TRUE(focusIs(nullptr));
  // The arrows reach the view, and leave it again when it has nothing to scroll.
  Type(WXK_UP);
  EXPECT_TRUE(focusIs(form_->BitBtnX));
  ExpectPageStays(model_->Page());
}

TEST_F(KeyTest, AClickOnBackLeavesTheFocusThereSoEnterPressesBackAgain) {
  for (int i = 0; i < 6; ++i) {
    Type(WXK_RETURN);
    model_->Ok();
  }
  ExpectPage(model_->Page());
  wxUIActionSimulator mouse;
  const wxRect r = form_->BitBtnZ->GetScreenRect();
  mouse.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
  PumpFor(milliseconds(100));
  mouse.MouseClick();
  model_->Back();
  ExpectPage(model_->Page());
  EXPECT_TRUE(PumpUntil([&] { return Focus() == form_->BitBtnZ; }));
  Type(WXK_RETURN);
  model_->Back();
  ExpectPage(model_->Page());
}

TEST_F(KeyTest, RapidPressesEndWithTheLastPage) {
  form_->BitBtnOK->SetFocus();
  wxUIActionSimulator keys;
  for (int i = 0; i < 14; ++i) {
    keys.Char(WXK_RETURN);
    model_->Ok();
    PumpFor(milliseconds(2));
  }
  ExpectPage(model_->Page());
  for (int i = 0; i < 5; ++i) {
    keys.Char(WXK_ESCAPE);
    model_->Back();
    keys.Char(WXK_RETURN);
    model_->Ok();
  }
  ExpectPage(model_->Page());
}

TEST_F(WindowTest, KeysGoToTheViewFirst) {
  const std::string deck = gui::DataFile("gui-tall.txt");
  Start(deck);
  Model model(deck);
  ExpectPage(model.Page());
  auto scrolled = [&] {
    wxString y;
    form_->WebBrowser1->RunScript("window.scrollY", &y);
    return wxAtoi(y);
  };
  ASSERT_EQ(scrolled(), 0);
  // A page taller than the view: the view takes Down and Space to scroll; nothing else happens.
  Type(WXK_DOWN);
  EXPECT_TRUE(PumpUntil([&] { return scrolled() > 0; }));
  const int afterDown = scrolled();
  Type(WXK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return scrolled() > afterDown; }));
  EXPECT_TRUE(form_->ViewHasFocus());
  ExpectPage(model.Page());
  // Enter means nothing to this page, so the view hands it back and it presses OK.
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
  EXPECT_TRUE(form_->ViewHasFocus());
}

TEST_F(WindowTest, TheFirstActivationComesOnlyOnce) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  Start(deck);
  Model model(deck);
  Type(WXK_RETURN);
  Type(WXK_RETURN);
  model.Ok();
  model.Ok();
  ExpectPage(model.Page());
  auto* other = new wxFrame(nullptr, wxID_ANY, "other");
  other->Show();
  EXPECT_TRUE(PumpUntil([&] { return other->IsActive(); }));
  other->Destroy();
  form_->Raise();
  EXPECT_TRUE(PumpUntil([&] { return form_->IsActive(); }));
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->Deck().Position, 0);
  EXPECT_EQ(form_->Deck().RevealedField, 1);
}

// ---- Close ----------------------------------------------------------------------------------

TEST_F(WindowTest, CloseWritesAllTwelveKeys) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  Start(deck);
  const wxRect placement = form_->GetRect();
  Close();
  ASSERT_FALSE(form_);
  const std::string ini = gui::ReadFile(gui::SettingsPath());
  const std::string expected = "[Main]\nMaximized=0\nTop=" + std::to_string(placement.y) +
                               "\nLeft=" + std::to_string(placement.x) +
                               "\nWidth=" + std::to_string(placement.width) +
                               "\nHeight=" + std::to_string(placement.height) +
                               "\nButtonHeight=46\nButtonWidth=75\nFileName=" + deck +
                               "\n[HTML]\nOuterHead=<html><head><title>Tavrin</title></head><body>"
                               "\nOuterFoot=</body></html>\nInnerHead=<p>\nInnerFoot=</p>\n"
                               "[View]\nZoom=100\n";
  EXPECT_EQ(ini, expected);
}

TEST_F(WindowTest, ClosingMaximizedKeepsTheNormalPlacementAndOpensMaximizedNextTime) {
  gui::WriteFile(gui::SettingsPath(), "[Main]\nTop=40\nLeft=50\nWidth=600\nHeight=400\n");
  Start();
  EXPECT_TRUE(PumpUntil([&] { return form_->GetRect() == wxRect(50, 40, 600, 400); }))
      << "placed at " << form_->GetRect().x << "," << form_->GetRect().y << " "
      << form_->GetRect().width << "x" << form_->GetRect().height;
  form_->Maximize(true);
  EXPECT_TRUE(PumpUntil([&] { return form_->IsMaximized() && form_->GetSize().x > 1000; }));
  Close();
  ASSERT_FALSE(form_);
  std::string ini = gui::ReadFile(gui::SettingsPath());
  EXPECT_EQ(Section(ini, "Maximized"), "1");
  EXPECT_EQ(Section(ini, "Top"), "40");
  EXPECT_EQ(Section(ini, "Left"), "50");
  EXPECT_EQ(Section(ini, "Width"), "600");
  EXPECT_EQ(Section(ini, "Height"), "400");

  Start();
  EXPECT_TRUE(PumpUntil([&] { return form_->IsMaximized(); }));
  Close();
  ini = gui::ReadFile(gui::SettingsPath());
  EXPECT_EQ(Section(ini, "Maximized"), "1");
  EXPECT_EQ(Section(ini, "Width"), "600");
  EXPECT_EQ(Section(ini, "Height"), "400");
}

TEST_F(WindowTest, AFailedWriteKeepsTheWindowOpenAndALaterCloseTriesAgain) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  Start(deck);
  Type(WXK_RETURN);
  // A folder where the settings file should be: no user, root included, can write it.
  const std::string path = gui::SettingsPath();
  std::filesystem::create_directory(path);
  form_->BitBtnX->SetFocus();
  Type(WXK_RETURN);
  auto boxes = gui::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nubelo");
  EXPECT_EQ(boxes[0].text, wxString::FromUTF8(path + " に書き込めません."));
  EXPECT_EQ(boxes[0].style, wxOK | wxICON_ERROR);
  EXPECT_EQ(boxes[0].owner, form_.get());
  PumpFor(milliseconds(200));
  ASSERT_TRUE(form_);
  EXPECT_TRUE(form_->IsShown());
  EXPECT_EQ(form_->Deck().Lines.Count(), 6);  // the deck is still there

  std::filesystem::remove(path);
  Type('x', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return !form_; }));
  EXPECT_EQ(Section(gui::ReadFile(path), "InnerFoot"), "</p>");
}

// ---- Opening decks --------------------------------------------------------------------------

// The window with the animals deck, Open answered through the dialog's stand-in, and the window
// placed clear of the square that files are dragged from.
class OpenTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    gui::WriteFile(gui::SettingsPath(), "[Main]\nTop=200\nLeft=300\nWidth=600\nHeight=400\n");
    tavrin::SetOpenDialogAnswer([this](const std::string& prefilled) {
      prefilled_.push_back(prefilled);
      return answer_;
    });
    animals_ = gui::DataFile("gui-animals.txt");
    words_ = gui::DataFile("gui-words-cp932.txt");
    tall_ = gui::DataFile("gui-tall.txt");
  }
  // Starts on `deck` (none when empty) and waits until the window stands where the settings file
  // put it.
  void StartOn(const std::string& deck) {
    Start(deck);
    ASSERT_TRUE(form_);
    // The X server reports the controls there too, not only the window itself.
    EXPECT_TRUE(PumpUntil([&] {
      return form_->GetPosition() == wxPoint(300, 200) &&
             form_->GetRect().Contains(form_->WebBrowser1->GetScreenRect());
    }));
  }

  wxPoint Centre(wxWindow* window) {
    const wxRect r = window->GetScreenRect();
    return wxPoint(r.x + r.width / 2, r.y + r.height / 2);
  }

  // Alt+O, and the dialog's stand-in has answered.
  void PressOpen() {
    const std::size_t before = prefilled_.size();
    Type('o', wxMOD_ALT);
    EXPECT_TRUE(PumpUntil([&] { return prefilled_.size() > before; })) << "Open was not pressed";
  }

  bool FocusBecomes(wxWindow* window) {
    return PumpUntil([&] { return Focus() == window && !form_->ViewHasFocus(); });
  }

  std::optional<std::string> answer_;
  std::vector<std::string> prefilled_;
  std::string animals_, words_, tall_;
};

TEST_F(OpenTest, AConfirmedNameIsLoadedAndEnterThenPressesOk) {
  StartOn(animals_);
  Model model(animals_);
  for (int i = 0; i < 2; ++i) {
    Type(WXK_RETURN);
    model.Ok();
    ExpectPage(model.Page());
  }
  answer_ = words_;
  PressOpen();
  // Pre-filled with the deck shown, which exists; the chosen deck keeps what the first one set.
  EXPECT_EQ(prefilled_, std::vector<std::string>{animals_});
  EXPECT_EQ(form_->Settings().FileName, words_);
  model.Load(words_);
  ExpectPage(model.Page());
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
}

TEST_F(OpenTest, CancelKeepsTheDeckAndItsCardAndMovesTheFocusToOk) {
  StartOn(animals_);
  Model model(animals_);
  for (int i = 0; i < 2; ++i) {
    Type(WXK_RETURN);
    model.Ok();
    ExpectPage(model.Page());
  }
  answer_.reset();
  form_->ButtonO->SetFocus();
  ASSERT_TRUE(FocusBecomes(form_->ButtonO));
  Type(WXK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return prefilled_.size() == 1; }));
  EXPECT_EQ(form_->Settings().FileName, animals_);
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->Deck().RevealedField, 1);
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
}

TEST_F(OpenTest, WithAMissingFileNameTheDialogKeepsTheNameItLastHeld) {
  gui::WriteFile(gui::SettingsPath(),
                 "[Main]\nTop=200\nLeft=300\nWidth=600\nHeight=400\n"
                 "FileName=/no/such/deck.txt\n");
  StartOn("");
  const wxString about = tavrin::DecodeText(tavrin::kAboutPage, tavrin::kCodePageUtf8);
  // None at first; a typed name that names nothing becomes the file name and loads nothing.
  answer_ = "/no/such/typed.txt";
  PressOpen();
  EXPECT_EQ(form_->Settings().FileName, "/no/such/typed.txt");
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  ExpectPageStays(about);
  answer_ = animals_;
  PressOpen();
  ExpectPage(Model(animals_).Page());
  // A dropped folder is the file name now; the dialog still holds the deck confirmed last.
  answer_.reset();
  ASSERT_TRUE(gui::DragFilesFromOutside({TAVRIN_TEST_DATA}, Centre(form_->WebBrowser1)));
  EXPECT_TRUE(PumpUntil([&] { return form_->Settings().FileName == TAVRIN_TEST_DATA; }));
  PressOpen();
  EXPECT_EQ(prefilled_, (std::vector<std::string>{"", "/no/such/typed.txt", animals_}));
  EXPECT_EQ(form_->Settings().FileName, TAVRIN_TEST_DATA);
}

TEST_F(OpenTest, ReopeningTheDeckShownGivesItsTitlePageAndFileOrderAgain) {
  StartOn(animals_);
  Model shuffled(animals_);
  Type('s', wxMOD_ALT);
  shuffled.Shuffle();
  ExpectPage(shuffled.Page());
  ASSERT_NE(form_->Deck().CardOrder, (std::vector<int32_t>{3, 4, 5})) << "no shuffle to undo";
  for (int i = 0; i < 5; ++i) {
    Type(WXK_RETURN);
    shuffled.Ok();
    ExpectPage(shuffled.Page());
  }
  answer_ = animals_;
  PressOpen();
  Model model(animals_);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Deck().Position, -1);
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  // The cards come in file order again: one OK per card field, against an unshuffled model.
  for (int i = 0; i < 4; ++i) {
    Type(WXK_RETURN);
    model.Ok();
    ExpectPage(model.Page());
  }
}

TEST_F(OpenTest, ADeckThatCannotBeOpenedIsReportedAndTheFocusStays) {
  StartOn(animals_);
  Model model(animals_);
  // A named pipe exists but is no file to read a deck from; no user, root included, opens it.
  const std::string fifo = std::filesystem::path(gui::SettingsPath()).parent_path() / "deck.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  answer_ = fifo;
  form_->ButtonO->SetFocus();
  ASSERT_TRUE(FocusBecomes(form_->ButtonO));
  Type(WXK_RETURN);
  auto boxes = gui::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nubelo");
  EXPECT_EQ(boxes[0].text, wxString::FromUTF8("ファイル " + fifo + " は開けません."));
  EXPECT_EQ(form_->Settings().FileName, fifo);
  ExpectPageStays(model.Page());
  EXPECT_EQ(Focus(), form_->ButtonO);
  EXPECT_EQ(form_->Deck().Lines.Count(), 6);
  // The deck shown before is still whole.
  form_->BitBtnOK->SetFocus();
  ASSERT_TRUE(FocusBecomes(form_->BitBtnOK));
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
}

TEST_F(OpenTest, TheRealDialogListsEveryFileIsPrefilledAndReturnsTheChosenName) {
  tavrin::SetOpenDialogAnswer({});
  StartOn(animals_);
  EXPECT_EQ(form_->OpenDialog1, nullptr) << "made before it is needed";

  // Plays the user once the dialog is up: looks at it, reads the name shown, picks another file
  // and confirms. Gives up after 15 s.
  wxFileDialog* dialog = nullptr;
  GtkFileChooser* chooser = nullptr;
  auto selected = [&] {
    gchar* name = gtk_file_chooser_get_filename(chooser);
    std::string result = name != nullptr ? name : "";
    g_free(name);
    return result;
  };
  std::string shown;
  bool listsEveryFile = false, oneAtATime = false, resizable = false, anyName = false;
  wxString title;
  int ticks = 0;
  wxTimer user;
  user.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (form_->OpenDialog1 == nullptr || !form_->OpenDialog1->IsShown()) return;
    if (dialog == nullptr) {
      dialog = form_->OpenDialog1;
      chooser = GTK_FILE_CHOOSER(dialog->GetHandle());
      GSList* filters = gtk_file_chooser_list_filters(chooser);
      listsEveryFile = filters == nullptr;
      g_slist_free(filters);
      oneAtATime = gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_OPEN &&
                   !gtk_file_chooser_get_select_multiple(chooser);
      resizable = gtk_window_get_resizable(GTK_WINDOW(chooser));
      anyName = !dialog->HasFlag(wxFD_FILE_MUST_EXIST);
      title = wxString::FromUTF8(gtk_window_get_title(GTK_WINDOW(chooser)));
    }
    if (++ticks > 300) {
      user.Stop();
      gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
    } else if (shown.empty()) {
      shown = selected();
      if (!shown.empty()) gtk_file_chooser_set_filename(chooser, words_.c_str());
    } else if (selected() == words_) {
      user.Stop();
      gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    }
  });
  user.Start(50);
  Type('o', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return !user.IsRunning(); }, std::chrono::seconds(20)));
  EXPECT_TRUE(listsEveryFile) << "a type list";
  EXPECT_TRUE(oneAtATime);
  EXPECT_TRUE(resizable);
  EXPECT_TRUE(anyName);
  EXPECT_EQ(title, wxFileSelectorPromptStr);
  EXPECT_EQ(shown, animals_);
  EXPECT_EQ(form_->Settings().FileName, words_);
  Model model(animals_);
  model.Load(words_);
  ExpectPage(model.Page());
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
}

TEST_F(OpenTest, AFileDroppedOnThePageOpensAsADeckInsteadOfShowingItsText) {
  StartOn(animals_);
  Model model(animals_);
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
  ASSERT_TRUE(gui::DragFilesFromOutside({words_}, Centre(form_->WebBrowser1)));
  model.Load(words_);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Settings().FileName, words_);
  EXPECT_EQ(form_->WebBrowser1->GetCurrentURL(), "about:blank");
  // The deck works like any other: OK opens its first card.
  form_->BitBtnOK->SetFocus();
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
}

TEST_F(OpenTest, OfThreeFilesDroppedOnTheButtonsOnlyTheFirstOpens) {
  StartOn(animals_);
  ASSERT_TRUE(gui::DragFilesFromOutside({tall_, words_, animals_}, Centre(form_->BitBtnOK)));
  Model model(animals_);
  model.Load(tall_);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Settings().FileName, tall_);
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->Deck().Lines.Count(), 4);
  // Dropped on the page area, the same three give the same.
  ASSERT_TRUE(gui::DragFilesFromOutside({words_, tall_, animals_}, Centre(form_->WebBrowser1)));
  model.Load(words_);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Settings().FileName, words_);
}

TEST_F(OpenTest, ADroppedNameIsKeptByteForByte) {
  StartOn(words_);
  // Bytes that form no UTF-8, as a name written in code page 932 has them, beside UTF-8 ones.
  const std::string folder = std::filesystem::path(gui::SettingsPath()).parent_path();
  const std::string named = folder + "/単語-\x93\xfa.txt";
  std::filesystem::copy_file(animals_, named);
  Model model(words_);
  model.Load(named);
  for (wxWindow* place : std::vector<wxWindow*>{form_->WebBrowser1, form_->BitBtnOK}) {
    ASSERT_TRUE(gui::DragFilesFromOutside({named}, Centre(place)));
    EXPECT_TRUE(PumpUntil([&] { return form_->Settings().FileName == named; }))
        << form_->Settings().FileName;
    ExpectPage(model.Page());
    form_->BitBtnOK->SetFocus();
    Type(WXK_RETURN);
    model.Ok();
    ExpectPage(model.Page());
    model.Load(named);
  }
  Close();
  EXPECT_EQ(Section(gui::ReadFile(gui::SettingsPath()), "FileName"), named);
}

TEST_F(OpenTest, ADroppedFolderLoadsNothingAndIsTheFileNameWrittenAtClose) {
  StartOn(animals_);
  Model model(animals_);
  Type(WXK_RETURN);
  model.Ok();
  ASSERT_TRUE(gui::DragFilesFromOutside({TAVRIN_TEST_DATA}, Centre(form_->BitBtnZ)));
  EXPECT_TRUE(PumpUntil([&] { return form_->Settings().FileName == TAVRIN_TEST_DATA; }));
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->Deck().RevealedField, 0);
  // The same on the page area: the view shows no listing of the folder.
  ASSERT_TRUE(gui::DragFilesFromOutside({TAVRIN_TEST_DATA}, Centre(form_->WebBrowser1)));
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->WebBrowser1->GetCurrentURL(), "about:blank");
  Close();
  ASSERT_FALSE(form_);
  EXPECT_EQ(Section(gui::ReadFile(gui::SettingsPath()), "FileName"), TAVRIN_TEST_DATA);
}

TEST_F(OpenTest, ADroppedDeckThatCannotBeOpenedIsReported) {
  StartOn(animals_);
  const std::string fifo = std::filesystem::path(gui::SettingsPath()).parent_path() / "deck.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (wxWindow* place : std::vector<wxWindow*>{form_->WebBrowser1, form_->ButtonS}) {
    // The program that the file came from hears that the drop failed.
    EXPECT_FALSE(gui::DragFilesFromOutside({fifo}, Centre(place)));
    std::vector<gui::MessageBox> boxes;
    EXPECT_TRUE(PumpUntil([&] {
      boxes = gui::TakeMessageBoxes();
      return !boxes.empty();
    }));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, wxString::FromUTF8("ファイル " + fifo + " は開けません."));
  }
  ExpectPageStays(Model(animals_).Page());
}

// ---- Error reports --------------------------------------------------------------------------

TEST_F(WindowTest, AnErrorAtTheFirstActivationIsReportedAndTheAboutPageStays) {
  // A file that exists but is no regular file cannot be opened as a deck. Its name holds bytes
  // that are no UTF-8: the report shows them as U+FFFD and the rest of the text as it is.
  const std::string folder = std::filesystem::path(gui::SettingsPath()).parent_path();
  const std::string fifo = folder + "/deck-\x93\xfa.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<const char*> argv{"tavrin", fifo.c_str()};
  tavrin::SetCommandLine(2, argv.data());
  form_ = StartMainWindow();
  std::vector<gui::MessageBox> boxes;
  ASSERT_TRUE(PumpUntil([&] {
    for (auto& box : gui::TakeMessageBoxes()) boxes.push_back(box);
    return !boxes.empty();
  }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nubelo");
  EXPECT_EQ(boxes[0].text,
            wxString::FromUTF8("ファイル " + folder + "/deck-\uFFFD\uFFFD.fifo は開けません."));
  EXPECT_EQ(boxes[0].owner, form_.get());
  ExpectPageStays(tavrin::DecodeText(tavrin::kAboutPage, tavrin::kCodePageUtf8));
  EXPECT_EQ(form_->Deck().Lines.Count(), 0);
}

TEST_F(WindowTest, TheStartUpReportEndsStartUpWhenTheViewCannotBeMade) {
  auto previous = tavrin::SetHtmlViewFactory([](wxWindow*) -> wxWebView* { return nullptr; });
  TForm1* form = StartMainWindow();
  tavrin::SetHtmlViewFactory(previous);
  EXPECT_EQ(form, nullptr);
  auto boxes = gui::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].caption, wxString::FromUTF8("アプリケーション エラー"));
  EXPECT_EQ(boxes[0].style, wxOK | wxICON_ERROR);
  const std::string text = boxes[0].text.utf8_string();
  EXPECT_TRUE(std::regex_match(
      text, std::regex("Errorがモジュール gui_test の [0-9A-F]{8} で発生しました。\n"
                       "HTML ビューを作成できません\\.")))
      << text;
}

}  // namespace
