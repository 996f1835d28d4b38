// Saves the settings over and over, alternating between two sets of values, until it is killed
// (or for the number of rounds given). Used by the test that kills it at random moments.
//
// Usage: settings_writer SETTINGS_FILE [ROUNDS]

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/error.h"
#include "settings_writer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SETTINGS_FILE [ROUNDS]\n", argv[0]);
    return 2;
  }
  long rounds = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
  tavrin::SettingsFile settings(argv[1]);
  try {
    for (long i = 0; rounds <= 0 || i < rounds; ++i) {
      int set = static_cast<int>(i % 2 == 0 ? 1 : 0);
      tavrin::writer::FixedWindow window(set);
      tavrin::SaveSettings(settings, window, tavrin::writer::WriterValues(set));
    }
  } catch (const tavrin::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
