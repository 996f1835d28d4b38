// The HTML view's platform widget as the main window meets it: keys that the view leaves, the
// keyboard focus, Ctrl+wheel over the page, files dropped on the page area, and the end of its web
// process. Every raw GTK call on the view is made here; the window gets plain wx events and calls.
#pragma once

#include <chrono>
#include <cstdint>

#include <wx/event.h>

class wxWebView;
class wxWindow;

namespace tavrin {

// A key of the keyboard table for the window that NativeView serves, while the view has the focus:
// one that the view did not take, one that is the window's before the page sees it, or any while
// the view's web process does not answer. Its key code is the wx code of the table's key (letters
// in upper case), with the modifiers of the platform's event.
wxDECLARE_EVENT(EVT_KEY_LEFT_BY_VIEW, wxKeyEvent);

// The view's web process ended (it crashed, or the system killed it): the view shows nothing and
// takes no keys until it is handed a page again.
wxDECLARE_EVENT(EVT_VIEW_PROCESS_ENDED, wxCommandEvent);

class NativeView {
 public:
  // Connects to `view`'s widget for `window`, which must outlive this object:
  // - keys that the view leaves reach `window` as EVT_KEY_LEFT_BY_VIEW; the event counts as taken
  //   unless its handler skips it. The keys that come before the page (ComesBeforeThePage) reach
  //   it so before the view sees them, and so does every key of the table while the web process
  //   has left a question unanswered for a second;
  // - a wheel turned with Ctrl over the page reaches `window` as wxEVT_MOUSEWHEEL with Ctrl down
  //   (smooth scrolling too, as fractions of a notch) and goes no further: the view neither
  //   scrolls nor zooms by itself;
  // - files that another program drags onto the page area reach `window` as wxEVT_DROP_FILES, as
  //   do those dropped on the rest of the window, instead of making the view show the first
  //   file's text. Drags that begin in the program itself, and drags that carry no list of URIs,
  //   stay the view's; a list that names no local file is refused;
  // - the end of the view's web process reaches `window` as EVT_VIEW_PROCESS_ENDED, queued;
  // - a web process that has shown a page and leaves a question unanswered for four seconds (20
  //   while the page loads), not waiting on a script dialog (alert, confirm, prompt), is hung: it
  //   is ended (and so reaches `window` as above), and a key that the page was offered and never
  //   dealt with then reaches `window` as a key that the view left;
  // - the toolkit's scrolling wrappers around the view's widget stop taking the focus, so that it
  //   goes to the widget itself, which takes keys first and hands back those it leaves.
  // A view without a platform widget (a test's stand-in) gets none of this. Never throws.
  NativeView(wxWebView& view, wxWindow& window);
  // Disconnects from the widget and ends the view's web process, so that none outlives the
  // program, hung or not.
  ~NativeView();
  NativeView(const NativeView&) = delete;
  NativeView& operator=(const NativeView&) = delete;

  // Moves the keyboard focus into the view. Never throws.
  void Focus();
  // Whether the keyboard focus is inside the view. Never throws.
  bool HasFocus() const;
  // Ends the view's web process when it has left a question unanswered for a second, so that a
  // page handed over next does not wait on a hung one. Never throws.
  void EndIfNotAnswering();
  // Whether `key`, which reaches the window, was already offered to the view: at the end of its
  // own Tab order the view moves the focus out by itself and then still hands the key back, by
  // which time it reaches the control that got the focus. Never throws.
  bool WasOfferedToView(const wxKeyEvent& key) const;

 private:
  struct Signals;  // the GTK signal handlers, which reach the members below
  using Clock = std::chrono::steady_clock;

  // Sends a key of the table to the window; returns whether the window took it.
  int HandToWindow(int code, int modifiers);
  // The hang watch: asks the web process a question, forgets the outstanding one, tells whether
  // one has been outstanding for long, ends the web process, and ends a hung one.
  void Ask();
  void DropQuestion();
  bool NotAnswering() const;
  void End();
  void GiveUp();

  wxWebView& view_;
  wxWindow& window_;
  void* widget_ = nullptr;  // the view's GtkWidget, or null
  std::uint32_t keyTime_ = 0;
  std::uint32_t keyval_ = 0;
  // The last key of the table offered to the page, until the page has dealt with it.
  struct Offered {
    int code = 0;  // 0 for none
    int modifiers = 0;
    Clock::time_point at;
  } offered_;
  unsigned watch_ = 0;     // the watch's GLib source
  void* probe_ = nullptr;  // the GCancellable of the outstanding question, or null
  Clock::time_point askedAt_;
  bool inDialog_ = false;   // whether the page waits on a script dialog
  bool loaded_ = false;     // whether the last page has finished loading
  bool committed_ = false;  // whether the present web process has shown a page, and when last
  Clock::time_point committedAt_;
};

}  // namespace tavrin
