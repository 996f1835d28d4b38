// The desktop program's command line: which arguments are decks, which are options.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/tavrin_options.h"

namespace {

using tavrin::StartupRequest;

TEST(TavrinOptions, FilesOpenOptionsAnswerAndStrangersAreRefused) {
  // Files that exist here, two of them named like options.
  const std::set<std::string> files = {"words.txt", "--help", "-x"};
  const auto isFile = [&](const std::string& name) { return files.count(name) > 0; };
  struct Case {
    std::vector<std::string> arguments;
    StartupRequest request;
    std::string option;
  };
  const Case cases[] = {
      {{}, StartupRequest::kWindow, ""},
      {{"words.txt"}, StartupRequest::kWindow, ""},
      {{"missing.txt"}, StartupRequest::kWindow, ""},
      {{"--help"}, StartupRequest::kWindow, ""},  // a deck called --help
      {{"-x", "words.txt"}, StartupRequest::kWindow, ""},
      {{"-h"}, StartupRequest::kHelp, ""},
      {{"--version"}, StartupRequest::kVersion, ""},
      {{"words.txt", "--version"}, StartupRequest::kVersion, ""},
      {{"--version", "-h"}, StartupRequest::kVersion, ""},
      {{"--verbose"}, StartupRequest::kUnknownOption, "--verbose"},
      {{"-"}, StartupRequest::kUnknownOption, "-"},
      {{"words.txt", "-q", "--help"}, StartupRequest::kUnknownOption, "-q"},
  };
  for (const Case& c : cases) {
    const tavrin::StartupChoice choice = tavrin::ReadStartupArguments(c.arguments, isFile);
    const std::string given = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(choice.request, c.request) << given;
    EXPECT_EQ(choice.option, c.option) << given;
  }
}

}  // namespace
