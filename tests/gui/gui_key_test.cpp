// Every key of the keyboard table in the real window, the view offered each key first.
#include "window_test.h"

namespace gui {
namespace {

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
  TypeExpecting(*model_, "o", WXK_RETURN);
  TypeExpecting(*model_, "o", WXK_NUMPAD_ENTER);
  EXPECT_TRUE(form_->ViewHasFocus());

  form_->BitBtnZ->SetFocus();
  TypeExpecting(*model_, "b", WXK_RETURN);
  // Enter on Shuffle shuffles and hands the focus to OK, so that Enter then presses OK.
  form_->ButtonS->SetFocus();
  TypeExpecting(*model_, "s", WXK_RETURN);
  EXPECT_EQ(Focus(), form_->BitBtnOK);
  TypeExpecting(*model_, "o", WXK_RETURN);
  // Enter with Shift, Ctrl or Alt presses nothing.
  TypeExpecting(*model_, "", WXK_RETURN, wxMOD_CONTROL);
}

TEST_F(KeyTest, EscPressesBackAlsoWhileOkHasTheFocus) {
  Type(WXK_RETURN);
  Type(WXK_RETURN);
  Type(WXK_RETURN);
  TypeExpecting(*model_, "oooo", WXK_RETURN);  // the second card
  TypeExpecting(*model_, "b", WXK_ESCAPE);     // from the view
  form_->BitBtnOK->SetFocus();
  TypeExpecting(*model_, "o", WXK_RETURN);
  TypeExpecting(*model_, "b", WXK_ESCAPE);
  EXPECT_EQ(Focus(), form_->BitBtnOK);
}

TEST_F(KeyTest, SpacePressesOnlyTheFocusedButton) {
  TypeExpecting(*model_, "", WXK_SPACE);  // the view is no button
  form_->BitBtnOK->SetFocus();
  TypeExpecting(*model_, "o", WXK_SPACE);
  form_->BitBtnZ->SetFocus();
  TypeExpecting(*model_, "b", WXK_SPACE);
}

TEST_F(KeyTest, AltWithTheAccessLettersPressesTheirButtons) {
  int opens = 0;
  form_->ButtonO->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) {
    ++opens;
    e.Skip();
  });
  TypeExpecting(*model_, "o", WXK_RETURN);
  TypeExpecting(*model_, "s", 's', wxMOD_ALT);  // from the view
  EXPECT_EQ(Focus(), form_->BitBtnOK);
  TypeExpecting(*model_, "b", 'z', wxMOD_ALT);
  EXPECT_EQ(Focus(), form_->BitBtnOK);                        // a key press moves no focus
  TypeExpecting(*model_, "s", 's', wxMOD_ALT | wxMOD_SHIFT);  // either case
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
  TypeExpecting(*model_, "oo", WXK_RETURN);
  TypeExpecting(*model_, "b", 'z');
  TypeExpecting(*model_, "s", 'S');
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
  for (int i = 0; i < 5; ++i) Type(WXK_RETURN);
  TypeExpecting(*model_, "oooooo", WXK_RETURN);
  wxUIActionSimulator mouse;
  const wxRect r = form_->BitBtnZ->GetScreenRect();
  mouse.MouseMove(r.x + r.width / 2, r.y + r.height / 2);
  PumpFor(milliseconds(100));
  mouse.MouseClick();
  model_->Back();
  ExpectPage(model_->Page());
  EXPECT_TRUE(PumpUntil([&] { return Focus() == form_->BitBtnZ; }));
  TypeExpecting(*model_, "b", WXK_RETURN);
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
  TypeExpecting(model, "o", WXK_RETURN);
  EXPECT_TRUE(form_->ViewHasFocus());
}

TEST_F(WindowTest, TheFirstActivationComesOnlyOnce) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  Start(deck);
  Model model(deck);
  Type(WXK_RETURN);
  TypeExpecting(model, "oo", WXK_RETURN);
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

}  // namespace
}  // namespace gui
