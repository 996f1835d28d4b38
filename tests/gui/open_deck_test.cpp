// The deck named on the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/open_deck.h"
#include "tests/test_support.h"

namespace {

void SetArguments(const std::vector<const char*>& argv) {
  tavrin::SetCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, TheFirstArgumentAfterTheProgramNameAsGiven) {
  SetArguments({"tavrin"});
  EXPECT_EQ(tavrin::GetStartupFileName(), "");
  SetArguments({"tavrin", "my decks/words.txt", "ignored"});
  EXPECT_EQ(tavrin::GetStartupFileName(), "my decks/words.txt");
  SetArguments({"tavrin", "\x93\xfa.txt"});  // bytes, not necessarily UTF-8
  EXPECT_EQ(tavrin::GetStartupFileName(), "\x93\xfa.txt");
  SetArguments({});
  EXPECT_EQ(tavrin::GetStartupFileName(), "");
}

TEST(CommandLine, ReplacesTheFileNameOnlyWithAnExistingFile) {
  const std::string deck = std::string(TAVRIN_TEST_DATA) + "/gui-animals.txt";
  std::string fileName = "from-settings.txt";
  SetArguments({"tavrin", "/no/such/deck.txt"});
  tavrin::TakeCommandLine(fileName);
  EXPECT_EQ(fileName, "from-settings.txt");
  SetArguments({"tavrin", TAVRIN_TEST_DATA});  // a folder is no deck
  tavrin::TakeCommandLine(fileName);
  EXPECT_EQ(fileName, "from-settings.txt");
  SetArguments({"tavrin", deck.c_str()});
  tavrin::TakeCommandLine(fileName);
  EXPECT_EQ(fileName, deck);
  SetArguments({"tavrin"});
  tavrin::TakeCommandLine(fileName);
  EXPECT_EQ(fileName, deck);
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
  for (const auto& row : rows) {
    std::string fileName = "from-settings.txt";
    SetArguments({"tavrin", row.argument});
    tavrin::TakeCommandLine(fileName);
    EXPECT_EQ(fileName, row.expected) << row.argument;
  }
  std::filesystem::current_path(before);
}

}  // namespace
