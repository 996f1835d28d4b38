// The main window in a real window on a real display: start-up order, layout, close and its
// settings, and the error reports. The keys and the opening of decks have files of their own.
#include "window_test.h"

namespace gui {
namespace {

// ---- Start-up -------------------------------------------------------------------------------

TEST_F(WindowTest, ShowsTheAboutPageFirstAndTheDeckAtTheFirstActivation) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  form_ = gui::StartWithArgument(deck);
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

TEST_F(WindowTest, TheNextStartTakesUpTheCardAndOrderOfTheCloseAndThePlaceLineSaysSo) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  gui::WriteFile(gui::SettingsPath(), "[Main]\nFileName=" + deck + "\n");
  Start();
  ResizeClient(wxSize(800, 500));
  const wxStaticText& line = *form_->PlaceLine().Label();
  EXPECT_EQ(line.GetLabelText(), wxString::FromUTF8("gui-animals.txt \u2014 3 cards"));
  EXPECT_FALSE(line.AcceptsFocusFromKeyboard());
  Model model(deck);
  // Shuffled, then the second card of the new order at its second field.
  model.Shuffle();
  for (int i = 0; i < 4; ++i) model.Ok();
  const wxString secondCard = model.Page();
  model.Ok();
  Type('S', wxMOD_ALT);
  for (int i = 0; i < 5; ++i) Type(WXK_RETURN);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->PlaceLine().Texts().place, "2 / 3");
  // The label sits between OK and Back, where the row has room for it.
  const wxRect ok = form_->BitBtnOK->GetRect(), back = form_->BitBtnZ->GetRect();
  EXPECT_TRUE(line.IsShown());
  EXPECT_GT(line.GetRect().x, ok.GetRight());
  EXPECT_LT(line.GetRect().GetRight(), back.x);
  ExpectLayout(*form_, 46, 75);
  Close();

  Start();
  ExpectPage(secondCard);
  EXPECT_EQ(form_->PlaceLine().Texts().place, "Continued at 2 / 3");
  EXPECT_EQ(form_->GetTitle(), "Tavrin");
  // The first move ends the word "Continued".
  Type(WXK_RETURN);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->PlaceLine().Texts().place, "2 / 3");
}

// ---- Layout ---------------------------------------------------------------------------------

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

// ---- Error reports --------------------------------------------------------------------------

TEST_F(WindowTest, AnErrorAtTheFirstActivationIsReportedAndTheAboutPageStays) {
  // A file that exists but is no regular file cannot be opened as a deck. Its name holds bytes
  // that are no UTF-8: the report shows them as U+FFFD and the rest of the text as it is.
  const std::string folder = std::filesystem::path(gui::SettingsPath()).parent_path();
  const std::string fifo = folder + "/deck-\x93\xfa.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  form_ = gui::StartWithArgument(fifo);
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
}  // namespace gui
