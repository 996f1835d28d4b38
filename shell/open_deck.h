// Opening decks: the deck file chosen in the Open dialog or dropped onto the main window. The
// command line's deck comes from ReadStartupArguments (app/tavrin_options.h).
#pragma once

#include <functional>
#include <optional>
#include <string>

class wxDropFilesEvent;
class wxFileDialog;
class wxWindow;

namespace tavrin {

// ---- The Open dialog ----------------------------------------------------------------------------

// Makes the Open dialog of `parent`: any file is listed and may be chosen, existing or not, one at
// a time; no type list, the toolkit's own title, resizable. Never throws.
wxFileDialog* MakeOpenDialog(wxWindow* parent);

// Runs `dialog` modally. It is pre-filled with `fileName` when that names an existing file (a
// relative name as the full name that it has from the working folder); otherwise it keeps the
// name that it held at its last use, pre-filled or confirmed (none at first). Returns the full name
// that the user confirmed, byte for byte as the file system spells it, or nothing when the user
// cancelled. Never throws.
std::optional<std::string> RunOpenDialog(wxFileDialog& dialog, const std::string& fileName);

// Answers the Open dialog in place of the user, for tests: it gets the name that the dialog is
// pre-filled with (empty when none) and returns the name that the user confirms, or nothing for
// Cancel.
using OpenDialogAnswer = std::function<std::optional<std::string>(const std::string& prefilled)>;
// Replaces what answers the dialog (an empty function restores the real dialog) and returns the
// previous one.
OpenDialogAnswer SetOpenDialogAnswer(OpenDialogAnswer answer);

// ---- Dropped files ------------------------------------------------------------------------------

// The full name of the first file of a drop, byte for byte as the file system spells it, or the
// empty text when the drop holds no file. Never throws.
std::string GetDroppedFileName(const wxDropFilesEvent& drop);

}  // namespace tavrin
