// Faults of the window as a learner met them, each in the real window: drops behind a modal window,
// button pictures over their captions, and a view whose web process died.
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "shell/button_look.h"
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

// The bounds that the toolkit gave a picture button and its picture and caption, on one window.
struct ButtonFace {
  GtkAllocation button, picture, caption;
  int captionWidth;  // what the caption needs to show whole
};

ButtonFace FaceOf(wxButton* button) {
  ButtonFace face{};
  auto* widget = static_cast<GtkWidget*>(button->GetHandle());
  gtk_widget_get_allocation(widget, &face.button);
  GtkWidget* picture = gtk_button_get_image(GTK_BUTTON(widget));
  gtk_widget_get_allocation(picture, &face.picture);
  GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(picture)));
  for (GList* child = children; child != nullptr; child = child->next) {
    if (!GTK_IS_LABEL(child->data)) continue;
    gtk_widget_get_allocation(GTK_WIDGET(child->data), &face.caption);
    gtk_widget_get_preferred_width(GTK_WIDGET(child->data), nullptr, &face.captionWidth);
  }
  g_list_free(children);
  return face;
}

TEST_F(WindowTest, ButtonPicturesStandBesideTheirCaptionsWhichNarrowButtonsClip) {
  for (int width : {75, 60}) {
    gui::WriteFile(gui::SettingsPath(), "[Main]\nButtonWidth=" + std::to_string(width) + "\n");
    Start();
    ASSERT_TRUE(PumpUntil([&] { return form_->BitBtnZ->GetSize().x == width; }));
    for (wxButton* button : {form_->BitBtnOK, form_->BitBtnZ, form_->BitBtnX}) {
      SCOPED_TRACE(testing::Message() << button->GetLabel() << " at width " << width);
      const ButtonFace f = FaceOf(button);
      EXPECT_EQ(f.caption.x - (f.picture.x + f.picture.width), tavrin::kPictureGap);
      EXPECT_GE(f.picture.x, f.button.x);
      const int left = f.picture.x - f.button.x;
      const int right = f.button.x + f.button.width - (f.caption.x + f.caption.width);
      EXPECT_GE(right, 0);
      if (width == 75 || button == form_->BitBtnOK) {
        // Whole, and centred together with the picture.
        EXPECT_GE(f.caption.width, f.captionWidth);
        EXPECT_NEAR(left, right, 1);
      } else {
        EXPECT_LT(f.caption.width, f.captionWidth);
      }
    }
    form_->Destroy();
    PumpUntil([&] { return !form_; });
  }
}

TEST_F(WindowTest, WhenTheViewsWebProcessDiesThePageAndTheKeyboardComeBack) {
  const std::string deck = gui::DataFile("gui-animals.txt");
  Start(deck);
  Model model(deck);
  ExpectPage(model.Page());
  const std::vector<pid_t> killed = WebProcesses();
  ASSERT_FALSE(killed.empty());
  for (pid_t pid : killed) ASSERT_EQ(kill(pid, SIGKILL), 0);
  // The page comes back, in a web process of its own.
  EXPECT_TRUE(PumpUntil([&] {
    const std::vector<pid_t> now = WebProcesses();
    return !now.empty() && now != killed;
  }));
  ExpectPage(model.Page());
  EXPECT_TRUE(form_->ViewHasFocus());
  Type(WXK_RETURN);
  model.Ok();
  ExpectPage(model.Page());
  Type('x', wxMOD_ALT);
  EXPECT_TRUE(PumpUntil([&] { return !form_; })) << "Alt+X did not close the window";
}

}  // namespace
}  // namespace gui
