// What a top-level window meets under a Wayland compositor, which tells a program neither where its
// windows stand nor, without a keyboard on the seat, that one became active.
#pragma once

class wxTopLevelWindow;
class wxWindow;

namespace tavrin {

// Whether `window` is shown through a Wayland compositor (not X11, nor Xwayland). Never throws.
bool IsOnWayland(const wxWindow& window);

// Under Wayland, the compositor's activation of `window` reaches it as wxEVT_ACTIVATE (active),
// queued: the toolkit raises that event only when a keyboard enters the window, so on a seat with
// no keyboard (a touch screen, a tablet) it never came. The focused state that the toolkit sets by
// itself as it maps the window does not count, so a window opened behind another still waits.
// Elsewhere it does nothing. `window` must outlive the object. Never throws.
class CompositorActivation {
 public:
  explicit CompositorActivation(wxTopLevelWindow& window);
  ~CompositorActivation();
  CompositorActivation(const CompositorActivation&) = delete;
  CompositorActivation& operator=(const CompositorActivation&) = delete;

 private:
  struct Signals;  // the GTK signal handler, which reaches QueueActivation
  void QueueActivation();

  wxTopLevelWindow& window_;
};

}  // namespace tavrin
