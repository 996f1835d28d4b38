// In-process harness of the window tests: wxWidgets running inside a GoogleTest program on the
// display that with-display.sh provides, real key events through the X server, the view's page
// read back from the view, and message boxes recorded instead of shown.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>

#include "tests/test_support.h"

class TForm1;
class wxWebView;
class wxWindow;

namespace gui {

// StartMainWindow with the deck that the program takes from `argument` as the first argument of its
// command line (none when empty).
TForm1* StartWithArgument(const std::string& argument);

// Runs the event loop until `done` holds or `timeout` has passed; returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Runs the event loop for `span`.
void PumpFor(std::chrono::milliseconds span);

// The document that the view holds, read back from the view itself.
wxString PageSource(wxWebView& view);
// Runs the event loop until the view holds `page` and has finished loading; returns whether it did.
bool WaitForPage(wxWebView& view, const wxString& page);

// One key typed through the X server (XTest), with wxMOD_* modifiers, then the loop run briefly so
// that it is delivered.
void Type(int keyCode, int modifiers = 0);

// Drags the files `paths` with the mouse, through the X server, from a program of their own that
// offers them as a file manager does, and drops them at `target` (screen coordinates; the square
// they start from lies at 20..80, 20..80). Returns whether that program saw the drop taken: it is
// not when the window could not open the first file.
bool DragFilesFromOutside(const std::vector<std::string>& paths, wxPoint target);

// The client size that `window` really has on the screen, as the X server reports it.
wxSize ClientOnScreen(wxWindow& window);

// Checks that the last layout of `form` and the bounds of its six controls are those of buttons
// `h` by `w` in its present client area (a size below 0 reaching the toolkit as 0).
void ExpectLayout(TForm1& form, int h, int w);

// The living web processes of this program's views: its children named WebKitWebProcess.
std::vector<pid_t> WebProcesses();
// The processor time that `processes` have used so far, in clock ticks.
long CpuTicks(const std::vector<pid_t>& processes);

// A message box that the program asked for.
struct MessageBox {
  wxWindow* owner;
  wxString text;
  wxString caption;
  long style;
};
// The boxes recorded since the last call, which empties the record.
std::vector<MessageBox> TakeMessageBoxes();

// Path of the settings file that the program under test uses (its folder is created).
std::string SettingsPath();
// Path of a file of tests/data.
std::string DataFile(const std::string& name);
// Whole files, read and written as every test does.
using tavrin::testing_support::ReadFile;
using tavrin::testing_support::WriteFile;

}  // namespace gui
