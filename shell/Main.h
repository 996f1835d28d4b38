// The main window: the HTML view above a row of five buttons (Open, Shuffle, OK, Back, Quit). It
// owns the program's whole state, runs start-up and close in their order, and gives the keyboard
// its meaning. Handlers never catch: an error that escapes one goes to the application error report
// through wxApp::OnExceptionInMainLoop.
#pragma once

#include <array>
#include <memory>
#include <string>

#include <wx/frame.h>

#include "engine/deck.h"
#include "shell/keyboard.h"
#include "shell/settings.h"
#include "shell/zoom_steps.h"

class wxButton;
class wxDropFilesEvent;
class wxFileDialog;
class wxMouseEvent;
class wxWebView;

namespace tavrin {
class CompositorActivation;
class NativeView;
class PlaceLabel;
class WindowPlacement;
}  // namespace tavrin

class TForm1 : public wxFrame {
 public:
  // Makes the window, invisible, with its six controls. `startDeck` is the deck that the command
  // line named, a full name found to exist, or empty for the one that the settings file names.
  // Throws Error when the HTML view cannot be made; no other error leaves it.
  explicit TForm1(std::string startDeck);
  ~TForm1() override;

  // The controls, in tab order.
  wxWebView* WebBrowser1 = nullptr;
  wxButton* ButtonO = nullptr;
  wxButton* ButtonS = nullptr;
  wxButton* BitBtnOK = nullptr;
  wxButton* BitBtnZ = nullptr;
  wxButton* BitBtnX = nullptr;
  // The file-open dialog, made at the first Open; no control, it keeps its file name between uses.
  wxFileDialog* OpenDialog1 = nullptr;

  // The window-creation step (reads the settings, sets the deck settings, takes the start deck),
  // run once by StartMainWindow. An error in it goes to the application error report.
  void RunFormCreate();

  // Shows or hides the window; before it is first shown, FormShow runs (an error in it goes to the
  // application error report and the window is shown all the same). Returns wxFrame::Show's result.
  bool Show(bool show = true) override;

  // Lays out the view and the buttons from the client size and the button size of the settings.
  // Never throws.
  void ArrangeControls();

  // The bounds that the last layout computed for the view and the five buttons, in tab order. A
  // width or height below 0 reaches the toolkit as 0.
  const tavrin::ControlBounds& Layout() const { return layout_; }

  const tavrin::ShellSettings& Settings() const { return settings_; }
  const tavrin::DeckState& Deck() const { return deck_; }

  // Acts on one key as the keyboard table says, as if it came while `focused` has the keyboard
  // focus. Returns false when the key means nothing there. Errors of the button pressed pass
  // through.
  bool PressForKey(int keyCode, int modifiers, tavrin::Control focused);

  // The control that has the keyboard focus: the view when the focus is inside it, kNone when no
  // control has it. Never throws.
  tavrin::Control FocusedControl() const;

  // Whether the keyboard focus is inside the HTML view.
  bool ViewHasFocus() const;

  // The place line in the button row; no control of the tab order.
  const tavrin::PlaceLabel& PlaceLine() const { return *placeLine_; }

 private:
  // Handlers. First the program's own, one step of the window's life or one click each:
  // FormCreate, FormShow, FormActivate, FormClose, FormDropFiles, ButtonOClick, ButtonSClick,
  // BitBtnOKClick and BitBtnZClick. Then the toolkit plumbing, On...: OnActivate, OnSize, OnMove,
  // OnCharHook and OnKeyLeftByView turn the toolkit's events into calls of the program's handlers,
  // of the layout and of the keyboard table, and keep the placement that the settings file
  // records; OnMouseWheel, plumbing too, turns Ctrl+wheel into zoom steps. Every one runs as an
  // event handler, bound or through RunAsHandler, so that an error escaping it takes the way of
  // every handler's error.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose(wxCloseEvent& event);
  void FormDropFiles(wxDropFilesEvent& event);
  void ButtonOClick(wxCommandEvent& event);
  void ButtonSClick(wxCommandEvent& event);
  void BitBtnOKClick(wxCommandEvent& event);
  void BitBtnZClick(wxCommandEvent& event);

  void OnActivate(wxActivateEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnMove(wxMoveEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnKeyLeftByView(wxKeyEvent& event);
  void OnMouseWheel(wxMouseEvent& event);

  // Runs `step` as the handler of an event of this window, so that an error escaping it takes the
  // way of every handler's error.
  void RunAsHandler(void (TForm1::*step)());
  wxButton* Button(tavrin::Control button) const;
  void Press(wxButton* button);
  void MoveFocus(int step);
  void FocusControl(tavrin::Control control);
  // Shows the page at `percent` and keeps it in the settings, which the close writes.
  void SetZoom(int32_t percent);
  // Brings the place line up to date with the deck after a move (which ends a resumed place).
  void ShowPlace(bool resumed = false);

  // The six controls in tab order, indexed by tavrin::Control.
  std::array<wxWindow*, tavrin::kControlCount> controls_{};
  // The current deck is settings_.FileName: the name that the learner chose last, which the close
  // stores even when that deck failed to load (deck_.DeckFile is the deck read last).
  tavrin::ShellSettings settings_;
  tavrin::DeckState deck_;
  // The deck of the command line, empty when none; it was found to exist as the line was read.
  const std::string startDeck_;
  tavrin::ControlBounds layout_;
  bool shown_ = false;
  bool activated_ = false;
  tavrin::WheelNotches wheelNotches_;
  std::unique_ptr<tavrin::WindowPlacement> placement_;
  std::unique_ptr<tavrin::NativeView> nativeView_;
  std::unique_ptr<tavrin::CompositorActivation> compositorActivation_;
  std::unique_ptr<tavrin::PlaceLabel> placeLine_;
};

// Start-up after the toolkit has initialised: makes the main window with its view and `startDeck`
// (see TForm1), runs its creation step, makes it the application's main window and shows it.
// Returns the window, or null when the view could not be made; the start-up error report has then
// been shown, and the program is to end with exit code 1.
TForm1* StartMainWindow(const std::string& startDeck = std::string());
