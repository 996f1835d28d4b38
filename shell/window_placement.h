// The main window as the settings file sees it: the placement of its normal (not maximized)
// state, and the size of its Open button.
#pragma once

#include <cstdint>

#include <wx/gdicmn.h>
#include <wx/timer.h>

#include "shell/controls.h"
#include "shell/settings.h"

class wxTopLevelWindow;

namespace tavrin {

class WindowPlacement : public SettingsWindow {
 public:
  // Places `window` at its first placement, the one it keeps when no settings file gives another:
  // `designed` (its outer size), cut to the work area of its display and centred on it. `window`
  // and `layout` (the bounds of its controls, as its last layout set them) must outlive the object.
  WindowPlacement(wxTopLevelWindow& window, const ControlBounds& layout, wxSize designed);
  ~WindowPlacement() override;
  WindowPlacement(const WindowPlacement&) = delete;
  WindowPlacement& operator=(const WindowPlacement&) = delete;

  int32_t Top() const override { return normal_.y; }
  int32_t Left() const override { return normal_.x; }
  int32_t Width() const override { return normal_.width; }
  int32_t Height() const override { return normal_.height; }
  // True also while a maximize waits for the window to be placed.
  bool IsMaximized() const override;
  void SetTop(int32_t top) override { Set(&wxRect::y, top); }
  void SetLeft(int32_t left) override { Set(&wxRect::x, left); }
  void SetWidth(int32_t width) override { Set(&wxRect::width, width); }
  void SetHeight(int32_t height) override { Set(&wxRect::height, height); }
  // The maximize waits until the window stands at its normal placement on the screen: a window
  // mapped maximized leaves the window manager no normal placement to restore it to, and it
  // restores a sliver.
  void SetMaximized() override;
  // The window manager restores the window a moment later; the normal placement kept here is what
  // the edges and size read afterwards report.
  void Restore() override;
  int32_t OpenButtonHeight() const override { return Open().height; }
  int32_t OpenButtonWidth() const override { return Open().width; }

  // At the window's first activation: a window in the normal state goes to its normal placement
  // (the settings file's or the first one) once more, since some window managers place a new
  // window themselves whatever position it asks for; a maximize asked before is done once it
  // stands there. From now on Track follows the user's moves. Never throws.
  void StartTracking();
  // After a size or move event: the window's bounds become the normal placement, once tracking
  // and while the window is in the normal state. Never throws.
  void Track();

 private:
  void Set(int wxRect::*field, int32_t value);
  // Maximizes the window once tracking, when a maximize waits and the window stands at its normal
  // placement, or after a few moves and sizes that never bring it there, or after a while.
  void MaximizeWhenPlaced();
  const wxRect& Open() const { return layout_[static_cast<std::size_t>(Control::kOpen)]; }

  wxTopLevelWindow& window_;
  const ControlBounds& layout_;
  wxRect normal_;
  // Whether size and move events now update the normal placement.
  bool tracking_ = false;
  // Whether a maximize waits for the window to be placed, and for how many more moves and sizes.
  bool maximizeWhenPlaced_ = false;
  int placingEvents_ = 0;
  // Ends the wait where the window manager puts the window elsewhere and then sends no more events.
  wxTimer giveUp_;
};

}  // namespace tavrin
