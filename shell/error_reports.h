// The two reports that errors reach. An error that escapes the handler of a window event goes to
// the application error report and the program goes on; an error that escapes start-up itself (the
// HTML view cannot be made) goes to the start-up error report and the program ends with code 1.
// Nothing else in the program catches an error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class wxString;
class wxWindow;

namespace tavrin {

// The application title: the caption of the application error report.
extern const char kApplicationTitle[];
// The caption of the start-up error report.
extern const char kStartupReportCaption[];

// `message` (UTF-8) with "." appended when it is not empty and the code of its last character (of
// the lead byte, for a character of several bytes) is above that of ".".
std::string WithApplicationFullStop(std::string_view message);

// The text of the start-up error report: "<kind>がモジュール <module> の <place> で発生しました。",
// a line break, and `message` with "." appended unless it is empty or ends in ".". `place` is
// written as eight upper-case hexadecimal digits.
std::string StartupReportText(std::string_view kind, std::string_view module, std::uint32_t place,
                              std::string_view message);

// Shows a modal message box and returns when it is closed. `owner` may be null.
using MessageBoxFunction =
    std::function<void(wxWindow* owner, const wxString& text, const wxString& caption, long style)>;
// Replaces what shows the two reports' boxes (an empty function restores the real message box)
// and returns the previous one. Tests use it to record the boxes instead of showing them.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction show);

// Marks the time that a modal window of the program (a report's box, the Open dialog) is open, from
// its construction to its destruction; scopes may nest. Drops wait for no modal window: they are
// refused while one is open.
class ModalWindowScope {
 public:
  ModalWindowScope();
  ~ModalWindowScope();
  ModalWindowScope(const ModalWindowScope&) = delete;
  ModalWindowScope& operator=(const ModalWindowScope&) = delete;
};

// Whether a ModalWindowScope is open. Never throws.
bool IsModalWindowOpen();

// The application error report of the exception in flight: call it only where an exception is
// being handled (wxApp::OnExceptionInMainLoop). Cancels a mouse capture, then shows the error's
// message in a box owned by the application's main window, captioned kApplicationTitle, with the
// error icon and an OK button. Never throws.
void ReportCurrentException();

// The start-up error report of the exception in flight, which escaped the start-up step whose code
// lies at `place`: a box without owner, captioned kStartupReportCaption, with the error icon and an
// OK button. The error's kind is its class name without namespace; the module and the place within
// it are found from `place`. Never throws.
void ReportStartupException(const void* place);

}  // namespace tavrin
