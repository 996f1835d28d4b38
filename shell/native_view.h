// The HTML view's platform widget as the main window meets it: keys that the view leaves, the
// keyboard focus, Ctrl+wheel over the page, files dropped on the page area, and the end of its web
// process. Every raw GTK call on the view is made here; the window gets plain wx events and calls.
#pragma once

#include <cstdint>

#include <wx/event.h>

class wxWebView;
class wxWindow;

namespace tavrin {

// A key that the view did not take, handed back to the window that NativeView serves. Its key code
// is the wx code of a key that the keyboard table knows (letters in upper case), with the
// modifiers of the platform's event.
wxDECLARE_EVENT(EVT_KEY_LEFT_BY_VIEW, wxKeyEvent);

// The view's web process ended (it crashed, or the system killed it): the view shows nothing and
// takes no keys until it is handed a page again.
wxDECLARE_EVENT(EVT_VIEW_PROCESS_ENDED, wxCommandEvent);

class NativeView {
 public:
  // Connects to `view`'s widget for `window`, which must outlive this object:
  // - keys that the view leaves reach `window` as EVT_KEY_LEFT_BY_VIEW; the event counts as taken
  //   unless its handler skips it;
  // - a wheel turned with Ctrl over the page reaches `window` as wxEVT_MOUSEWHEEL with Ctrl down
  //   (smooth scrolling too, as fractions of a notch) and goes no further: the view neither
  //   scrolls nor zooms by itself;
  // - files that another program drags onto the page area reach `window` as wxEVT_DROP_FILES, as
  //   do those dropped on the rest of the window, instead of making the view show the first
  //   file's text. Drags that begin in the program itself, and drags that carry no list of URIs,
  //   stay the view's; a list that names no local file is refused;
  // - the end of the view's web process reaches `window` as EVT_VIEW_PROCESS_ENDED, queued;
  // - the toolkit's scrolling wrappers around the view's widget stop taking the focus, so that it
  //   goes to the widget itself, which takes keys first and hands back those it leaves.
  // A view without a platform widget (a test's stand-in) gets none of this. Never throws.
  NativeView(wxWebView& view, wxWindow& window);
  // Disconnects from the widget.
  ~NativeView();
  NativeView(const NativeView&) = delete;
  NativeView& operator=(const NativeView&) = delete;

  // Moves the keyboard focus into the view. Never throws.
  void Focus();
  // Whether the keyboard focus is inside the view. Never throws.
  bool HasFocus() const;
  // Whether `key`, which reaches the window, was already offered to the view: at the end of its
  // own Tab order the view moves the focus out by itself and then still hands the key back, by
  // which time it reaches the control that got the focus. Never throws.
  bool WasOfferedToView(const wxKeyEvent& key) const;

 private:
  struct Signals;  // the GTK signal handlers, which reach the members below

  wxWebView& view_;
  wxWindow& window_;
  void* widget_ = nullptr;  // the view's GtkWidget, or null
  std::uint32_t keyTime_ = 0;
  std::uint32_t keyval_ = 0;
};

}  // namespace tavrin
