#include "shell/Main.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/settings.h>
#include <wx/webview.h>

#include "engine/navigation.h"
#include "resources/artwork.h"
#include "shell/button_look.h"
#include "shell/durable_file.h"
#include "shell/error_reports.h"
#include "shell/html_view.h"
#include "shell/native_view.h"
#include "shell/open_deck.h"
#include "shell/place_file.h"
#include "shell/place_label.h"
#include "shell/wayland_window.h"
#include "shell/window_placement.h"

using tavrin::Control;

namespace {

// An event that carries one step of the window, so that the step runs the way every handler runs.
class StepEvent;
wxDEFINE_EVENT(EVT_FORM_STEP, StepEvent);

class StepEvent : public wxEvent {
 public:
  explicit StepEvent(std::function<void()> step)
      : wxEvent(wxID_ANY, EVT_FORM_STEP), step_(std::move(step)) {}
  wxEvent* Clone() const override { return new StepEvent(*this); }
  void Run() const { step_(); }

 private:
  std::function<void()> step_;
};

wxButton* MakeButton(wxWindow* parent, const char* caption, const char* name) {
  return new wxButton(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, 0,
                      wxDefaultValidator, name);
}

// The window's outer size as designed: where no settings file places it, it opens at this size,
// as far as the screen allows.
const wxSize kDesignedSize(952, 656);

// Sets `window`'s bounds; the toolkit takes no negative size, so such a size reaches it as 0.
void Place(wxWindow* window, const wxRect& r) {
  window->SetSize(r.x, r.y, std::max(r.width, 0), std::max(r.height, 0), wxSIZE_ALLOW_MINUS_ONE);
}

}  // namespace

TForm1::TForm1(std::string startDeck)
    : wxFrame(nullptr, wxID_ANY, "Tavrin", wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE,
              "Form1"),
      startDeck_(std::move(startDeck)) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  tavrin::SetProgramIcon(*this);

  // Creation order is tab order.
  WebBrowser1 = tavrin::MakeHtmlView(this);
  ButtonO = MakeButton(this, "Open(&O)", "ButtonO");
  ButtonS = MakeButton(this, "Shuffle(&S)", "ButtonS");
  BitBtnOK = MakeButton(this, "OK", "BitBtnOK");
  BitBtnZ = MakeButton(this, "Back(&Z)", "BitBtnZ");
  BitBtnX = MakeButton(this, "Quit(&X)", "BitBtnX");
  controls_ = {WebBrowser1, ButtonO, ButtonS, BitBtnOK, BitBtnZ, BitBtnX};
  namespace artwork = tavrin::artwork;
  tavrin::SetPicture(*BitBtnOK, artwork::kOkPicture, artwork::kOkPicture2x);
  tavrin::SetPicture(*BitBtnZ, artwork::kBackPicture, artwork::kBackPicture2x);
  tavrin::SetPicture(*BitBtnX, artwork::kQuitPicture, artwork::kQuitPicture2x);
  const wxFont font = tavrin::ButtonFont();
  for (std::size_t i = 1; i < controls_.size(); ++i) tavrin::SetButtonFace(*controls_[i], font);
  placeLine_ = std::make_unique<tavrin::PlaceLabel>(this, font);
  BitBtnOK->SetDefault();
  for (std::size_t i = 0; i < controls_.size(); ++i) layout_[i] = controls_[i]->GetRect();
  placement_ = std::make_unique<tavrin::WindowPlacement>(*this, layout_, kDesignedSize);

  deck_.ShowHtml = [this](const std::string& html) {
    nativeView_->EndIfNotAnswering();
    tavrin::ShowHtml(*WebBrowser1, html, deck_.CodePage, tavrin::PageBaseUrl(deck_.DeckFile),
                     deck_.RevealedFieldStart);
  };
  nativeView_ = std::make_unique<tavrin::NativeView>(*WebBrowser1, *this);

  ButtonO->Bind(wxEVT_BUTTON, &TForm1::ButtonOClick, this);
  ButtonS->Bind(wxEVT_BUTTON, &TForm1::ButtonSClick, this);
  BitBtnOK->Bind(wxEVT_BUTTON, &TForm1::BitBtnOKClick, this);
  BitBtnZ->Bind(wxEVT_BUTTON, &TForm1::BitBtnZClick, this);
  // The Quit button has no handler of its own: a click is a close request like any other.
  BitBtnX->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
  Bind(EVT_FORM_STEP, [](StepEvent& event) { event.Run(); });
  Bind(wxEVT_SIZE, &TForm1::OnSize, this);
  Bind(wxEVT_MOVE, &TForm1::OnMove, this);
  Bind(wxEVT_ACTIVATE, &TForm1::OnActivate, this);
  // Without a keyboard on the seat, a Wayland compositor's activation is the only one that comes.
  compositorActivation_ = std::make_unique<tavrin::CompositorActivation>(*this);
  Bind(wxEVT_CLOSE_WINDOW, &TForm1::FormClose, this);
  Bind(wxEVT_CHAR_HOOK, &TForm1::OnCharHook, this);
  Bind(tavrin::EVT_KEY_LEFT_BY_VIEW, &TForm1::OnKeyLeftByView, this);
  // Ctrl+wheel zooms over the buttons and, handed on by NativeView, over the page.
  Bind(wxEVT_MOUSEWHEEL, &TForm1::OnMouseWheel, this);
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    controls_[i]->Bind(wxEVT_MOUSEWHEEL, &TForm1::OnMouseWheel, this);
  }
  // A view whose web process died is blank and deaf to keys until it is handed a page again.
  Bind(tavrin::EVT_VIEW_PROCESS_ENDED,
       [this](wxCommandEvent&) { tavrin::ShowHtmlAgain(*WebBrowser1); });
  // A loaded page scrolls to the field that OK revealed and plays its autoplay sound.
  WebBrowser1->Bind(wxEVT_WEBVIEW_LOADED,
                    [this](wxWebViewEvent&) { tavrin::PageLoaded(*WebBrowser1); });
  // Files dropped anywhere on the window, the page area included (NativeView), open as a deck.
  Bind(wxEVT_DROP_FILES, &TForm1::FormDropFiles, this);
}

TForm1::~TForm1() = default;

void TForm1::RunAsHandler(void (TForm1::*step)()) {
  StepEvent event([this, step] { (this->*step)(); });
  event.SetEventObject(this);
  GetEventHandler()->SafelyProcessEvent(event);
}

void TForm1::RunFormCreate() {
  RunAsHandler(&TForm1::FormCreate);
}

void TForm1::FormCreate() {
  DragAcceptFiles(true);
  settings_ = tavrin::LoadSettings(*placement_);
  deck_.StartWith(settings_.Templates);
  if (!startDeck_.empty()) settings_.FileName = startDeck_;
}

bool TForm1::Show(bool show) {
  if (show && !shown_) {
    shown_ = true;
    RunAsHandler(&TForm1::FormShow);
  }
  return wxFrame::Show(show);
}

void TForm1::FormShow() {
  // The view keeps its zoom from page to page, so it is set once here.
  SetZoom(settings_.Zoom);
  // The deck's lists are members of the window, so they exist whatever happens to the view here.
  tavrin::ShowBlankPage(*WebBrowser1);
  ArrangeControls();
  tavrin::ShowAboutPage(*WebBrowser1);
  deck_.MakeLists();
  deck_.RevealedField = -1;
}

void TForm1::OnActivate(wxActivateEvent& event) {
  event.Skip();
  if (!event.GetActive() || activated_ || !shown_) return;
  activated_ = true;
  placement_->StartTracking();
  // The first control in tab order takes the focus as the window first becomes active.
  FocusControl(Control::kView);
  FormActivate();
}

void TForm1::FormActivate() {
  // The command line's deck was found as the line was read; the settings file's is looked for now,
  // and a relative name left by an older run is taken from the working folder.
  if (!startDeck_.empty()) {
    tavrin::ReadDeck(deck_, startDeck_);
  } else {
    tavrin::LoadDeck(deck_, tavrin::FullPath(settings_.FileName));
  }
  // Only here, reopening the deck of the last close, does the learner's place carry over.
  ShowPlace(tavrin::ResumePlace(tavrin::PlaceFilePath(), deck_.DeckFile, deck_));
}

void TForm1::OnSize(wxSizeEvent&) {
  ArrangeControls();
  placement_->Track();
}

void TForm1::OnMove(wxMoveEvent&) {
  placement_->Track();
}

void TForm1::ArrangeControls() {
  if (controls_.back() == nullptr || !placeLine_) return;  // the controls are not made yet
  layout_ = tavrin::ArrangedBounds(GetClientSize(), settings_.ButtonHeight, settings_.ButtonWidth);
  placeLine_->Arrange(layout_, settings_.ButtonWidth);
  for (std::size_t i = 0; i < controls_.size(); ++i) Place(controls_[i], layout_[i]);
}

void TForm1::ButtonOClick(wxCommandEvent&) {
  // Made at the first use: the platform's file chooser is slow to make and would delay start-up.
  if (OpenDialog1 == nullptr) OpenDialog1 = tavrin::MakeOpenDialog(this);
  std::optional<std::string> chosen;
  {
    const tavrin::ModalWindowScope modal;
    chosen = tavrin::RunOpenDialog(*OpenDialog1, settings_.FileName);
  }
  if (chosen) {
    settings_.FileName = std::move(*chosen);
    tavrin::LoadDeck(deck_, settings_.FileName);
    ShowPlace();
  }
  BitBtnOK->SetFocus();
}

void TForm1::ButtonSClick(wxCommandEvent&) {
  tavrin::Shuffle(deck_);
  ShowPlace();
  BitBtnOK->SetFocus();
}

void TForm1::BitBtnOKClick(wxCommandEvent&) {
  tavrin::Ok(deck_);
  ShowPlace();
}

void TForm1::BitBtnZClick(wxCommandEvent&) {
  tavrin::Back(deck_);
  ShowPlace();
}

void TForm1::FormDropFiles(wxDropFilesEvent& event) {
  // Behind a modal window the drop is left unhandled, so that the program it came from hears that
  // it failed.
  if (tavrin::IsModalWindowOpen()) {
    event.Skip();
    return;
  }
  // A drop of links that name no local file brings nothing to open.
  if (event.GetNumberOfFiles() == 0) return;
  settings_.FileName = tavrin::GetDroppedFileName(event);
  tavrin::LoadDeck(deck_, settings_.FileName);
  ShowPlace();
}

void TForm1::FormClose(wxCloseEvent& event) {
  // Refused until the settings are written: a write that fails leaves the window open, intact.
  if (event.CanVeto()) event.Veto();
  tavrin::SaveSettings(*placement_, settings_);
  // The place is a convenience: a place file that cannot be written does not hold the window open.
  if (const auto place = tavrin::PlaceOf(deck_, deck_.DeckFile)) {
    tavrin::SavePlace(tavrin::PlaceFilePath(), *place);
  }
  deck_.Lines.Clear();
  deck_.CardFields.Clear();
  deck_.Params.Clear();
  deck_.DefaultParams.Clear();
  Destroy();
}

bool TForm1::ViewHasFocus() const {
  return nativeView_->HasFocus();
}

Control TForm1::FocusedControl() const {
  if (ViewHasFocus()) return Control::kView;
  const auto at = std::find(controls_.begin() + 1, controls_.end(), FindFocus());
  return at == controls_.end() ? Control::kNone : static_cast<Control>(at - controls_.begin());
}

wxButton* TForm1::Button(Control button) const {
  return static_cast<wxButton*>(controls_[static_cast<std::size_t>(button)]);
}

void TForm1::OnCharHook(wxKeyEvent& event) {
  // While the view has the focus, NativeView hands the window its keys through
  // EVT_KEY_LEFT_BY_VIEW, before or after the page as the keyboard table orders them. A key that
  // the view moved the focus out with must not move it once more.
  if (nativeView_->WasOfferedToView(event)) return;
  const Control focused = FocusedControl();
  if (focused == Control::kView || !PressForKey(event.GetKeyCode(), event.GetModifiers(), focused))
    event.Skip();
}

void TForm1::OnKeyLeftByView(wxKeyEvent& event) {
  if (!PressForKey(event.GetKeyCode(), event.GetModifiers(), Control::kView)) event.Skip();
}

bool TForm1::PressForKey(int keyCode, int modifiers, Control focused) {
  const tavrin::KeyAction action = tavrin::ActionForKey(keyCode, modifiers, focused);
  switch (action.effect) {
    case tavrin::KeyEffect::kPress:
      Press(Button(action.button));
      return true;
    case tavrin::KeyEffect::kFocusNext:
      MoveFocus(1);
      return true;
    case tavrin::KeyEffect::kFocusPrevious:
      MoveFocus(-1);
      return true;
    case tavrin::KeyEffect::kZoomIn:
      SetZoom(tavrin::ZoomAfter(settings_.Zoom, 1));
      return true;
    case tavrin::KeyEffect::kZoomOut:
      SetZoom(tavrin::ZoomAfter(settings_.Zoom, -1));
      return true;
    case tavrin::KeyEffect::kZoomReset:
      SetZoom(tavrin::keys::kZoom.fallback);
      return true;
    case tavrin::KeyEffect::kPageUp:
    case tavrin::KeyEffect::kPageDown:
    case tavrin::KeyEffect::kPageTop:
    case tavrin::KeyEffect::kPageEnd:
      tavrin::ScrollPage(*WebBrowser1, action.effect);
      return true;
    case tavrin::KeyEffect::kReplay:
      tavrin::ReplayMedia(*WebBrowser1);
      return true;
    case tavrin::KeyEffect::kNothing:
      break;
  }
  return false;
}

void TForm1::OnMouseWheel(wxMouseEvent& event) {
  if (!event.ControlDown() || event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL) {
    event.Skip();
    return;
  }
  const int notches = wheelNotches_.Add(event.GetWheelRotation(), event.GetWheelDelta());
  if (notches != 0) SetZoom(tavrin::ZoomAfter(settings_.Zoom, notches));
}

void TForm1::SetZoom(int32_t percent) {
  settings_.Zoom = percent;
  WebBrowser1->SetZoomFactor(static_cast<float>(percent) / 100.0f);
}

void TForm1::ShowPlace(bool resumed) {
  if (placeLine_->Update(deck_, resumed)) ArrangeControls();
}

void TForm1::Press(wxButton* button) {
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  // An error of the click is reported here, as for any handler, so that the key still counts as
  // taken: left untaken, the toolkit would hand it on to the focused button and press it again.
  button->HandleWindowEvent(click);
}

void TForm1::MoveFocus(int step) {
  FocusControl(tavrin::StepInTabOrder(FocusedControl(), step));
}

void TForm1::FocusControl(Control control) {
  if (control == Control::kView) {
    nativeView_->Focus();
  } else {
    controls_[static_cast<std::size_t>(control)]->SetFocus();
  }
}

TForm1* StartMainWindow(const std::string& startDeck) {
  TForm1* form = nullptr;
  try {
    form = new TForm1(startDeck);
  } catch (...) {
    // Start-up itself failed: the one place besides the application error report that reports.
    tavrin::ReportStartupException(reinterpret_cast<const void*>(&tavrin::MakeHtmlView));
    return nullptr;
  }
  form->RunFormCreate();
  wxTheApp->SetTopWindow(form);
  form->Show();
  return form;
}
