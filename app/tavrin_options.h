// The desktop program's command line, read before the toolkit or a display is touched.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tavrin {

enum class StartupRequest { kWindow, kHelp, kVersion, kUnknownOption };

struct StartupChoice {
  StartupRequest request = StartupRequest::kWindow;
  // The argument refused, for kUnknownOption; empty otherwise.
  std::string option;
  // For kWindow, the deck that the first argument names, as a full name taken from the working
  // folder (FullPath); empty when there is no first argument or it names no file.
  std::string deck;
};

// The program's usage, ending in a newline.
extern const char kTavrinUsage[];

// What `arguments` (the command line after the program's own name) ask for. An argument for
// which `isFile` is true is a deck, whatever its name, so a deck called "--help" still opens.
// Otherwise "--help" and "-h" ask for the usage, "--version" for the version, and any other
// argument beginning with "-" is an unknown option; the first such argument decides. Anything
// else (no arguments, or names of no file) asks for the window, with the first argument as its deck
// when `isFile` is true for it. `isFile` is asked once per argument at most. Throws only what
// `isFile` throws.
StartupChoice ReadStartupArguments(const std::vector<std::string>& arguments,
                                   const std::function<bool(const std::string&)>& isFile);

}  // namespace tavrin
