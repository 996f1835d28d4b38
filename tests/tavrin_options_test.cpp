// The desktop program's command line: which arguments are decks, which are options, and the deck
// that the window starts with.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/tavrin_options.h"
#include "engine/text_list.h"
#include "tests/test_support.h"

namespace {

using tavrin::StartupRequest;

TEST(TavrinOptions, FilesOpenOptionsAnswerAndStrangersAreRefused) {
  // Files that exist here, two of them named like options.
  const std::set<std::string> files = {"words.txt", "--help", "-x"};
  int asked = 0;
  const auto isFile = [&](const std::string& name) {
    ++asked;
    return files.count(name) > 0;
  };
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
    asked = 0;
    const tavrin::StartupChoice choice = tavrin::ReadStartupArguments(c.arguments, isFile);
    const std::string given = c.arguments.empty() ? "(none)" : c.arguments[0];
    EXPECT_EQ(choice.request, c.request) << given;
    EXPECT_EQ(choice.option, c.option) << given;
    EXPECT_LE(asked, static_cast<int>(c.arguments.size())) << given;
  }
}

// The deck of the window: the first argument only, bytes as given, found where it is read.
std::string DeckOf(const std::vector<std::string>& arguments) {
  return tavrin::ReadStartupArguments(arguments, tavrin::IsExistingFile).deck;
}

TEST(CommandLine, TheFirstArgumentAfterTheProgramNameAsGiven) {
  tavrin::testing_support::ScratchFolder scratch;
  const std::string words = scratch / "my decks/words.txt";
  const std::string japanese = scratch / "\x93\xfa.txt";  // bytes, not necessarily UTF-8
  std::filesystem::create_directory(scratch / "my decks");
  tavrin::testing_support::WriteFile(words, "|\n\ntitle\n");
  tavrin::testing_support::WriteFile(japanese, "|\n\ntitle\n");
  EXPECT_EQ(DeckOf({}), "");
  EXPECT_EQ(DeckOf({words, "ignored"}), words);
  EXPECT_EQ(DeckOf({"ignored", words}), "");
  EXPECT_EQ(DeckOf({japanese}), japanese);
}

TEST(CommandLine, ReplacesTheFileNameOnlyWithAnExistingFile) {
  EXPECT_EQ(DeckOf({"/no/such/deck.txt"}), "");
  EXPECT_EQ(DeckOf({TAVRIN_TEST_DATA}), "");  // a folder is no deck
  const std::string deck = std::string(TAVRIN_TEST_DATA) + "/gui-animals.txt";
  EXPECT_EQ(DeckOf({deck}), deck);
}

TEST(CommandLine, ARelativeNameIsKeptAsTheFullNameFromTheWorkingFolderAsSpelt) {
  tavrin::testing_support::ScratchFolder scratch;
  tavrin::testing_support::WriteFile(scratch / "words.txt", "|\n\ntitle\n");
  std::filesystem::create_directory(scratch / "sub");
  std::filesystem::create_symlink("words.txt", scratch / "link.txt");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(scratch.Path());
  const std::string here = std::filesystem::current_path().native();
  const struct {
    const char* argument;
    std::string expected;
  } rows[] = {
      {"words.txt", here + "/words.txt"},
      {"./words.txt", here + "/words.txt"},
      {"sub/../words.txt", here + "/sub/../words.txt"},
      {"link.txt", here + "/link.txt"},  // the link, not the file it leads to
  };
  for (const auto& row : rows) EXPECT_EQ(DeckOf({row.argument}), row.expected) << row.argument;
  std::filesystem::current_path(before);
}

}  // namespace
