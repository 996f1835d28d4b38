// Opening decks in the real window: the Open dialog, its stand-in, and files dragged from another
// program onto the page and the buttons.
#include <gtk/gtk.h>

#include "shell/page_base.h"
#include "window_test.h"

namespace gui {
namespace {

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
  for (int i = 0; i < 2; ++i) TypeExpecting(model, "o", WXK_RETURN);
  answer_ = words_;
  PressOpen();
  // Pre-filled with the deck shown, which exists; the chosen deck keeps what the first one set.
  EXPECT_EQ(prefilled_, std::vector<std::string>{animals_});
  EXPECT_EQ(form_->Settings().FileName, words_);
  EXPECT_EQ(model.Load(words_), "");
  ExpectPage(model.Page());
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  TypeExpecting(model, "o", WXK_RETURN);
}

TEST_F(OpenTest, CancelKeepsTheDeckAndItsCardAndMovesTheFocusToOk) {
  StartOn(animals_);
  Model model(animals_);
  for (int i = 0; i < 2; ++i) TypeExpecting(model, "o", WXK_RETURN);
  answer_.reset();
  form_->ButtonO->SetFocus();
  ASSERT_TRUE(FocusBecomes(form_->ButtonO));
  Type(WXK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return prefilled_.size() == 1; }));
  EXPECT_EQ(form_->Settings().FileName, animals_);
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->Deck().RevealedField, 1);
  TypeExpecting(model, "o", WXK_RETURN);
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
  TypeExpecting(shuffled, "s", 's', wxMOD_ALT);
  ASSERT_NE(form_->Deck().CardOrder, (std::vector<int32_t>{3, 4, 5})) << "no shuffle to undo";
  for (int i = 0; i < 5; ++i) TypeExpecting(shuffled, "o", WXK_RETURN);
  answer_ = animals_;
  PressOpen();
  Model model(animals_);
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Deck().Position, -1);
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
  // The cards come in file order again: one OK per card field, against an unshuffled model.
  for (int i = 0; i < 4; ++i) TypeExpecting(model, "o", WXK_RETURN);
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
  TypeExpecting(model, "o", WXK_RETURN);
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
  EXPECT_EQ(model.Load(words_), "");
  ExpectPage(model.Page());
  EXPECT_TRUE(FocusBecomes(form_->BitBtnOK));
}

TEST_F(OpenTest, AFileDroppedOnThePageOpensAsADeckInsteadOfShowingItsText) {
  StartOn(animals_);
  Model model(animals_);
  TypeExpecting(model, "o", WXK_RETURN);
  ASSERT_TRUE(gui::DragFilesFromOutside({words_}, Centre(form_->WebBrowser1)));
  EXPECT_EQ(model.Load(words_), "");
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Settings().FileName, words_);
  EXPECT_EQ(form_->WebBrowser1->GetCurrentURL(), tavrin::PageBaseUrl(words_));
  // The deck works like any other: OK opens its first card.
  form_->BitBtnOK->SetFocus();
  TypeExpecting(model, "o", WXK_RETURN);
}

TEST_F(OpenTest, OfThreeFilesDroppedOnTheButtonsOnlyTheFirstOpens) {
  StartOn(animals_);
  ASSERT_TRUE(gui::DragFilesFromOutside({tall_, words_, animals_}, Centre(form_->BitBtnOK)));
  Model model(animals_);
  EXPECT_EQ(model.Load(tall_), "");
  ExpectPage(model.Page());
  EXPECT_EQ(form_->Settings().FileName, tall_);
  ExpectPageStays(model.Page());
  EXPECT_EQ(form_->Deck().Lines.Count(), 4);
  // Dropped on the page area, the same three give the same.
  ASSERT_TRUE(gui::DragFilesFromOutside({words_, tall_, animals_}, Centre(form_->WebBrowser1)));
  EXPECT_EQ(model.Load(words_), "");
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
  EXPECT_EQ(model.Load(named), "");
  for (wxWindow* place : std::vector<wxWindow*>{form_->WebBrowser1, form_->BitBtnOK}) {
    ASSERT_TRUE(gui::DragFilesFromOutside({named}, Centre(place)));
    EXPECT_TRUE(PumpUntil([&] { return form_->Settings().FileName == named; }))
        << form_->Settings().FileName;
    ExpectPage(model.Page());
    form_->BitBtnOK->SetFocus();
    TypeExpecting(model, "o", WXK_RETURN);
    EXPECT_EQ(model.Load(named), "");
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
  EXPECT_EQ(form_->WebBrowser1->GetCurrentURL(), tavrin::PageBaseUrl(animals_));
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

}  // namespace
}  // namespace gui
