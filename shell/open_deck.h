// Opening decks: the deck file named on the command line. (The Open dialog and dropped files join
// here later.)
#pragma once

#include <string>

namespace tavrin {

// Keeps the program's command line, `argv[0]` being the program's own name. Call it from main()
// before the toolkit takes the options that are its own out of argv.
void SetCommandLine(int argc, const char* const* argv);

// The first argument after the program's own name, byte for byte as it was given, or the empty
// text when there is none (or no command line was set). Never throws.
std::string GetStartupFileName();

// The command-line step of the window's creation: `fileName` becomes GetStartupFileName() when
// that names an existing file (IsExistingFile), and keeps its value otherwise. Never throws.
void TakeCommandLine(std::string& fileName);

}  // namespace tavrin
