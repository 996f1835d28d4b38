// The four HTML templates with which every run starts, and their built-in values, shared by the
// desktop program (through its settings file) and tavrin-deck.
#pragma once

#include <string>

namespace tavrin {

struct StartupTemplates {
  std::string OuterHead;
  std::string OuterFoot;
  std::string InnerHead;
  std::string InnerFoot;
};

// Used whenever a stored template is empty, and by tavrin-deck.
inline const StartupTemplates kDefaultStartupTemplates = {
    "<html><head><title>Tavrin</title></head><body>",
    "</body></html>",
    "<p>",
    "</p>",
};

}  // namespace tavrin
