#include "app/tavrin_options.h"

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
  for (const std::string& argument : arguments) {
    if (argument.empty() || argument[0] != '-' || isFile(argument)) continue;
    if (argument == "--help" || argument == "-h") return {StartupRequest::kHelp, {}};
    if (argument == "--version") return {StartupRequest::kVersion, {}};
    return {StartupRequest::kUnknownOption, argument};
  }
  return {};
}

}  // namespace tavrin
