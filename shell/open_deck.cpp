#include "shell/open_deck.h"

#include <utility>
#include <vector>

#include "engine/text.h"

namespace tavrin {

namespace {

std::vector<std::string>& Arguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
  Arguments().assign(argv, argv + (argc > 0 ? argc : 0));
}

std::string GetStartupFileName() {
  const std::vector<std::string>& arguments = Arguments();
  return arguments.size() >= 2 ? arguments[1] : std::string();
}

void TakeCommandLine(std::string& fileName) {
  std::string name = GetStartupFileName();
  if (IsExistingFile(name)) fileName = std::move(name);
}

}  // namespace tavrin
