#include "app/tavrin_options.h"

#include "shell/durable_file.h"

namespace tavrin {

const char kTavrinUsage[] =
    "usage: tavrin [DECK]\n"
    "       tavrin --help | --version\n"
    "\n"
    "Shows the cards of DECK, a deck written as plain text, one page at a time.\n"
    "Without DECK, or when DECK names no file, the deck open last opens again.\n"
    "  -h, --help   print this text and exit\n"
    "  --version    print the version and exit\n"
    "See tavrin(1) for the deck format and the keys.\n";

StartupChoice ReadStartupArguments(const std::vector<std::string>& arguments,
                                   const std::function<bool(const std::string&)>& isFile) {
  // The first argument is asked about whatever its name: it is the deck when it names a file.
  const bool firstIsFile = !arguments.empty() && isFile(arguments[0]);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || argument[0] != '-') continue;
    if (i == 0 ? firstIsFile : isFile(argument)) continue;
    if (argument == "--help" || argument == "-h") return {StartupRequest::kHelp, {}, {}};
    if (argument == "--version") return {StartupRequest::kVersion, {}, {}};
    return {StartupRequest::kUnknownOption, argument, {}};
  }
  // Kept as a full name: the settings file keeps it for a next start from another working folder.
  return {StartupRequest::kWindow, {}, firstIsFile ? FullPath(arguments[0]) : std::string()};
}

}  // namespace tavrin
