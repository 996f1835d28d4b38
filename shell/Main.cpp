#include "shell/Main.h"

#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/settings.h>
#include <wx/webview.h>

#include "engine/navigation.h"
#include "resources/artwork.h"
#include "shell/error_reports.h"
#include "shell/html_view.h"
#include "shell/open_deck.h"

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

// A key that the view did not take, handed back to the window.
wxDEFINE_EVENT(EVT_KEY_LEFT_BY_VIEW, wxKeyEvent);

constexpr char kButtonFace[] = "ＭＳ Ｐゴシック";

// The family that the platform uses for `face` with Japanese text: `face` itself when installed,
// otherwise fontconfig's nearest Japanese substitute.
wxString JapaneseFace(const char* face) {
  wxString result = wxString::FromUTF8(face);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult found = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &found)) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch) {
      result = wxString::FromUTF8(reinterpret_cast<const char*>(family));
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

// The buttons' font: character height 12 pixels at 96 dots per inch, that is 9 points, which the
// platform turns into pixels at the screen's resolution, so that it scales in proportion.
wxFont ButtonFont() {
  return wxFont(
      wxFontInfo(9.0).FaceName(JapaneseFace(kButtonFace)).Encoding(wxFONTENCODING_SHIFT_JIS));
}

wxImage LoadPng(const tavrin::artwork::File& file) {
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
  wxMemoryInputStream stream(file.data, file.size);
  return wxImage(stream, wxBITMAP_TYPE_PNG);
}

// Gives `button` its picture, left of the caption, with the greyed image for the disabled state.
void SetPicture(wxButton* button, const tavrin::artwork::File& file) {
  wxImage image = LoadPng(file);
  if (!image.IsOk()) return;
  image.SetMaskColour(128, 128, 0);
  button->SetBitmap(wxBitmap(image), wxLEFT);
  button->SetBitmapDisabled(wxBitmap(image.ConvertToDisabled()));
  button->SetBitmapMargins(4, 0);
}

// The wx key code of a GDK key value, for the keys that the keyboard table knows; 0 for others.
int KeyCodeOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_ISO_Enter:
      return WXK_RETURN;
    case GDK_KEY_KP_Enter:
      return WXK_NUMPAD_ENTER;
    case GDK_KEY_Escape:
      return WXK_ESCAPE;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
      return WXK_SPACE;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
    case GDK_KEY_KP_Tab:
      return WXK_TAB;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return WXK_LEFT;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return WXK_UP;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return WXK_RIGHT;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return WXK_DOWN;
    default:
      return keyval < 0x80 && std::isalpha(static_cast<int>(keyval))
                 ? std::toupper(static_cast<int>(keyval))
                 : 0;
  }
}

// Every key offered to the view passes here first, before the view's own handling.
gboolean KeyOfferedToView(GtkWidget*, GdkEventKey* key, gpointer data) {
  static_cast<TForm1*>(data)->NoteKeyOfferedToView(key->time, key->keyval);
  return FALSE;
}

// The view hands back a key that it did not take by sending the same key event once more; at its
// end it reaches the handlers connected after the view's own. That is where the window gets it.
gboolean KeyLeftByView(GtkWidget*, GdkEventKey* key, gpointer data) {
  auto* form = static_cast<TForm1*>(data);
  const int code = KeyCodeOf(key->keyval);
  if (code == 0) return FALSE;
  wxKeyEvent event(EVT_KEY_LEFT_BY_VIEW);
  event.m_keyCode = code;
  event.m_shiftDown = (key->state & GDK_SHIFT_MASK) != 0;
  event.m_controlDown = (key->state & GDK_CONTROL_MASK) != 0;
  event.m_altDown = (key->state & GDK_MOD1_MASK) != 0;
  event.SetEventObject(form);
  // Processed means taken, also when the button pressed failed: the key must not act twice.
  return form->GetEventHandler()->SafelyProcessEvent(event) || !event.GetSkipped();
}

// Sets `window`'s bounds; the toolkit takes no negative size, so such a size reaches it as 0.
void Place(wxWindow* window, const wxRect& r) {
  window->SetSize(r.x, r.y, std::max(r.width, 0), std::max(r.height, 0), wxSIZE_ALLOW_MINUS_ONE);
}

}  // namespace

// The window as the settings file sees it: placement in the normal state, and the button size.
class TForm1::Placement : public tavrin::SettingsWindow {
 public:
  explicit Placement(TForm1& form) : form_(form) {}
  int32_t Top() const override { return form_.normal_.y; }
  int32_t Left() const override { return form_.normal_.x; }
  int32_t Width() const override { return form_.normal_.width; }
  int32_t Height() const override { return form_.normal_.height; }
  bool IsMaximized() const override { return form_.IsMaximized(); }
  void SetTop(int32_t top) override { Set(&wxRect::y, top); }
  void SetLeft(int32_t left) override { Set(&wxRect::x, left); }
  void SetWidth(int32_t width) override { Set(&wxRect::width, width); }
  void SetHeight(int32_t height) override { Set(&wxRect::height, height); }
  void SetMaximized() override { form_.Maximize(true); }
  // The window manager restores the window a moment later; the normal placement kept by the
  // window is what the edges and size read afterwards report.
  void Restore() override {
    if (form_.IsMaximized()) form_.Maximize(false);
  }
  int32_t OpenButtonHeight() const override { return form_.layout_[1].height; }
  int32_t OpenButtonWidth() const override { return form_.layout_[1].width; }

 private:
  void Set(int wxRect::*field, int32_t value) {
    form_.normal_.*field = value;
    form_.placementRead_ = true;
    form_.SetSize(form_.normal_, wxSIZE_ALLOW_MINUS_ONE);
  }
  TForm1& form_;
};

TForm1::TForm1()
    : wxFrame(nullptr, wxID_ANY, "Tavrin", wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE,
              "Form1") {
  placement_ = std::make_unique<Placement>(*this);
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  wxImage icon = LoadPng(tavrin::artwork::kIcon);
  if (icon.IsOk()) {
    wxIcon frameIcon;
    frameIcon.CopyFromBitmap(wxBitmap(icon));
    SetIcon(frameIcon);
  }
  Bind(wxEVT_SIZE, &TForm1::OnSize, this);
  Bind(wxEVT_MOVE, &TForm1::OnMove, this);

  // Creation order is tab order.
  WebBrowser1 = tavrin::MakeHtmlView(this);
  ButtonO = new wxButton(this, wxID_ANY, "Open(&O)", wxDefaultPosition, wxDefaultSize, 0,
                         wxDefaultValidator, "ButtonO");
  ButtonS = new wxButton(this, wxID_ANY, "Shuffle(&S)", wxDefaultPosition, wxDefaultSize, 0,
                         wxDefaultValidator, "ButtonS");
  BitBtnOK = new wxButton(this, wxID_ANY, "OK", wxDefaultPosition, wxDefaultSize, 0,
                          wxDefaultValidator, "BitBtnOK");
  BitBtnZ = new wxButton(this, wxID_ANY, "Back(&Z)", wxDefaultPosition, wxDefaultSize, 0,
                         wxDefaultValidator, "BitBtnZ");
  BitBtnX = new wxButton(this, wxID_ANY, "Quit(&X)", wxDefaultPosition, wxDefaultSize, 0,
                         wxDefaultValidator, "BitBtnX");
  SetPicture(BitBtnOK, tavrin::artwork::kOkPicture);
  SetPicture(BitBtnZ, tavrin::artwork::kBackPicture);
  SetPicture(BitBtnX, tavrin::artwork::kQuitPicture);
  const wxFont font = ButtonFont();
  for (wxButton* button : {ButtonO, ButtonS, BitBtnOK, BitBtnZ, BitBtnX}) {
    button->SetFont(font);
    button->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
  }
  BitBtnOK->SetDefault();

  const std::array<wxWindow*, 6> controls{WebBrowser1, ButtonO, ButtonS,
                                          BitBtnOK,    BitBtnZ, BitBtnX};
  for (std::size_t i = 0; i < controls.size(); ++i) layout_[i] = controls[i]->GetRect();
  normal_ = GetRect();

  deck_.ShowHtml = [this](const std::string& html) {
    tavrin::ShowHtml(*WebBrowser1, html, deck_.CodePage, tavrin::PageBaseUrl(deck_.DeckFile));
  };

  ButtonO->Bind(wxEVT_BUTTON, &TForm1::ButtonOClick, this);
  ButtonS->Bind(wxEVT_BUTTON, &TForm1::ButtonSClick, this);
  BitBtnOK->Bind(wxEVT_BUTTON, &TForm1::BitBtnOKClick, this);
  BitBtnZ->Bind(wxEVT_BUTTON, &TForm1::BitBtnZClick, this);
  // The Quit button has no handler of its own: a click is a close request like any other.
  BitBtnX->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
  Bind(EVT_FORM_STEP, [](StepEvent& event) { event.Run(); });
  Bind(wxEVT_ACTIVATE, &TForm1::OnActivate, this);
  Bind(wxEVT_CLOSE_WINDOW, &TForm1::FormClose, this);
  Bind(wxEVT_CHAR_HOOK, &TForm1::OnCharHook, this);
  Bind(EVT_KEY_LEFT_BY_VIEW, &TForm1::OnKeyLeftByView, this);
  // Files dropped anywhere on the window, the page area included, open as a deck.
  Bind(wxEVT_DROP_FILES, &TForm1::FormDropFiles, this);
  tavrin::PassFileDropsOnViewTo(*WebBrowser1, *this);
  if (auto* view = static_cast<GtkWidget*>(WebBrowser1->GetNativeBackend())) {
    g_signal_connect(view, "key-press-event", G_CALLBACK(KeyOfferedToView), this);
    g_signal_connect_after(view, "key-press-event", G_CALLBACK(KeyLeftByView), this);
    // The toolkit wraps the view in scrolling containers of its own; the focus belongs to the view
    // itself, which takes keys first and hands back those it leaves.
    auto* outer = static_cast<GtkWidget*>(WebBrowser1->GetHandle());
    if (outer != view && gtk_widget_is_ancestor(view, outer)) {
      for (GtkWidget* wrapper = gtk_widget_get_parent(view); wrapper != outer;
           wrapper = gtk_widget_get_parent(wrapper)) {
        gtk_widget_set_can_focus(wrapper, FALSE);
      }
      gtk_widget_set_can_focus(outer, FALSE);
    }
  }
}

TForm1::~TForm1() {
  if (auto* view = static_cast<GtkWidget*>(WebBrowser1->GetNativeBackend())) {
    g_signal_handlers_disconnect_by_data(view, this);
  }
}

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
  tavrin::TakeCommandLine(settings_.FileName);
}

bool TForm1::Show(bool show) {
  if (show && !shown_) {
    shown_ = true;
    RunAsHandler(&TForm1::FormShow);
  }
  return wxFrame::Show(show);
}

void TForm1::FormShow() {
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
  if (!IsMaximized()) {
    // Some window managers place a new window themselves whatever position it asks for; a window
    // that is already on the screen is moved where the settings file put it.
    if (placementRead_) SetSize(normal_, wxSIZE_ALLOW_MINUS_ONE);
    normal_ = GetRect();
  }
  // Until now size and move events told of the window manager's first placement, not of the user's.
  trackPlacement_ = true;
  // The first control in tab order takes the focus as the window first becomes active.
  FocusView();
  FormActivate();
}

void TForm1::FormActivate() {
  if (tavrin::IsExistingFile(settings_.FileName)) tavrin::LoadDeck(deck_, settings_.FileName);
}

void TForm1::OnSize(wxSizeEvent&) {
  ArrangeControls();
  TrackNormalPlacement();
}

void TForm1::OnMove(wxMoveEvent&) {
  TrackNormalPlacement();
}

void TForm1::TrackNormalPlacement() {
  if (trackPlacement_ && !IsMaximized() && !IsIconized() && !IsFullScreen()) normal_ = GetRect();
}

void TForm1::ArrangeControls() {
  if (BitBtnX == nullptr) return;  // a size event while the window is still being made
  const int h0 = settings_.ButtonHeight;
  const int w0 = settings_.ButtonWidth;
  auto& [view, open, shuffle, ok, back, quit] = layout_;
  // 1-2: the button size; OK keeps its width until the end.
  for (wxRect* button : {&open, &shuffle, &ok, &back, &quit}) button->height = h0;
  for (wxRect* button : {&open, &shuffle, &back, &quit}) button->width = w0;
  // 3-5: the view above a strip of the buttons' height along the bottom edge.
  const wxSize client = GetClientSize();
  const int h = open.height;
  view = wxRect(0, 0, client.x, client.y - h);
  for (wxRect* button : {&open, &shuffle, &ok, &back, &quit}) button->y = client.y - h;
  // 6-8: Open and Shuffle from the left, Back and Quit against the right, OK between them.
  open.x = 0;
  shuffle.x = open.width;
  quit.x = client.x - quit.width;
  back.x = quit.x - back.width;
  ok.x = shuffle.x + shuffle.width;
  ok.width = back.x - ok.x;

  const std::array<wxWindow*, 6> controls{WebBrowser1, ButtonO, ButtonS,
                                          BitBtnOK,    BitBtnZ, BitBtnX};
  for (std::size_t i = 0; i < controls.size(); ++i) Place(controls[i], layout_[i]);
}

void TForm1::ButtonOClick(wxCommandEvent&) {
  // Made at the first use: the platform's file chooser is slow to make and would delay start-up.
  if (OpenDialog1 == nullptr) OpenDialog1 = tavrin::MakeOpenDialog(this);
  if (auto chosen = tavrin::RunOpenDialog(*OpenDialog1, settings_.FileName)) {
    settings_.FileName = std::move(*chosen);
    tavrin::LoadDeck(deck_, settings_.FileName);
  }
  BitBtnOK->SetFocus();
}

void TForm1::ButtonSClick(wxCommandEvent&) {
  tavrin::Shuffle(deck_);
  BitBtnOK->SetFocus();
}

void TForm1::BitBtnOKClick(wxCommandEvent&) {
  tavrin::Ok(deck_);
}

void TForm1::BitBtnZClick(wxCommandEvent&) {
  tavrin::Back(deck_);
}

void TForm1::FormDropFiles(wxDropFilesEvent& event) {
  // A drop of links that name no local file brings nothing to open.
  if (event.GetNumberOfFiles() == 0) return;
  settings_.FileName = tavrin::GetDroppedFileName(event);
  tavrin::LoadDeck(deck_, settings_.FileName);
}

void TForm1::FormClose(wxCloseEvent& event) {
  // Refused until the settings are written: a write that fails leaves the window open, intact.
  if (event.CanVeto()) event.Veto();
  tavrin::SaveSettings(*placement_, settings_);
  deck_.Lines.Clear();
  deck_.CardFields.Clear();
  deck_.Params.Clear();
  deck_.DefaultParams.Clear();
  Destroy();
}

void TForm1::FocusView() {
  if (auto* view = static_cast<GtkWidget*>(WebBrowser1->GetNativeBackend())) {
    gtk_widget_grab_focus(view);
  } else {
    WebBrowser1->SetFocus();
  }
}

bool TForm1::ViewHasFocus() const {
  auto* view = static_cast<GtkWidget*>(WebBrowser1->GetNativeBackend());
  return view != nullptr && gtk_widget_is_focus(view);
}

void TForm1::NoteKeyOfferedToView(std::uint32_t time, std::uint32_t keyval) {
  viewKeyTime_ = time;
  viewKeyval_ = keyval;
}

void TForm1::OnCharHook(wxKeyEvent& event) {
  // The view moves the focus out by itself at the end of its Tab order, and then still hands the
  // key back; by now it reaches the control that got the focus, and must not move it once more.
  if (static_cast<std::uint32_t>(event.GetTimestamp()) == viewKeyTime_ &&
      event.GetRawKeyCode() == viewKeyval_) {
    return;
  }
  // Keys go to the view first while it has the focus; those it leaves come back through
  // KeyLeftByView.
  if (ViewHasFocus()) {
    event.Skip();
    return;
  }
  wxWindow* focus = FindFocus();
  wxWindow* focused = nullptr;
  for (wxButton* button : {ButtonO, ButtonS, BitBtnOK, BitBtnZ, BitBtnX}) {
    if (focus == button) focused = button;
  }
  if (!PressForKey(event.GetKeyCode(), event.GetModifiers(), focused)) event.Skip();
}

void TForm1::OnKeyLeftByView(wxKeyEvent& event) {
  if (!PressForKey(event.GetKeyCode(), event.GetModifiers(), WebBrowser1)) event.Skip();
}

bool TForm1::PressForKey(int keyCode, int modifiers, wxWindow* focused) {
  const bool shift = (modifiers & wxMOD_SHIFT) != 0;
  const bool ctrl = (modifiers & wxMOD_CONTROL) != 0;
  const bool alt = (modifiers & wxMOD_ALT) != 0;
  wxButton* button = nullptr;
  for (wxButton* candidate : {ButtonO, ButtonS, BitBtnOK, BitBtnZ, BitBtnX}) {
    if (focused == candidate) button = candidate;
  }
  switch (keyCode) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
      if (shift || ctrl || alt) return false;
      Press(button != nullptr ? button : BitBtnOK);
      return true;
    case WXK_ESCAPE:
      if (shift || ctrl || alt) return false;
      Press(BitBtnZ);
      return true;
    case WXK_SPACE:
      if (button == nullptr || ctrl || alt) return false;
      Press(button);
      return true;
    case WXK_TAB:
      if (ctrl || alt) return false;
      MoveFocus(shift ? -1 : 1);
      return true;
    case WXK_RIGHT:
    case WXK_DOWN:
    case WXK_NUMPAD_RIGHT:
    case WXK_NUMPAD_DOWN:
      if (alt) return false;
      MoveFocus(1);
      return true;
    case WXK_LEFT:
    case WXK_UP:
    case WXK_NUMPAD_LEFT:
    case WXK_NUMPAD_UP:
      if (alt) return false;
      MoveFocus(-1);
      return true;
    default:
      break;
  }
  wxButton* target = nullptr;
  switch (keyCode) {
    case 'O':
    case 'o':
      target = ButtonO;
      break;
    case 'S':
    case 's':
      target = ButtonS;
      break;
    case 'Z':
    case 'z':
      target = BitBtnZ;
      break;
    case 'X':
    case 'x':
      target = BitBtnX;
      break;
    default:
      return false;
  }
  // With Alt anywhere in the window; alone while a button has the focus.
  if (ctrl || (!alt && button == nullptr)) return false;
  Press(target);
  return true;
}

void TForm1::Press(wxButton* button) {
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  // An error of the click is reported here, as for any handler, so that the key still counts as
  // taken: left untaken, the toolkit would hand it on to the focused button and press it again.
  button->HandleWindowEvent(click);
}

void TForm1::MoveFocus(int step) {
  const std::array<wxWindow*, 6> order{WebBrowser1, ButtonO, ButtonS, BitBtnOK, BitBtnZ, BitBtnX};
  std::size_t at = 0;  // the view, unless a button has the focus
  wxWindow* focus = FindFocus();
  for (std::size_t i = 1; i < order.size(); ++i) {
    if (order[i] == focus && !ViewHasFocus()) at = i;
  }
  const int count = static_cast<int>(order.size());
  const int next = (static_cast<int>(at) + step + count) % count;
  if (next == 0) {
    FocusView();
  } else {
    order[next]->SetFocus();
  }
}

TForm1* StartMainWindow() {
  TForm1* form = nullptr;
  try {
    form = new TForm1();
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
