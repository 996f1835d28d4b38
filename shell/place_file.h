// The place file: where the learner was in the deck open at the last close, so that the next start
// takes it up there. It lives in the XDG state folder, holds one deck's place, and is replaced
// durably at close, like the settings file. Toolkit-free, so that it is tested and fuzzed without a
// display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/deck.h"

namespace tavrin {

// A deck file's size and modification time: a file that differs in either has changed.
struct FileStamp {
  int64_t size = 0;
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

struct DeckPlace {
  std::string deckFile;  // full path
  FileStamp stamp;
  int32_t position = -1;       // in `cards`; -1 for the title page
  std::vector<int32_t> cards;  // the order as card numbers, 0 for the first card line
};

// The stamp of the file at `path`, or nothing when it cannot be read.
std::optional<FileStamp> StampOf(const std::string& path);

// The bytes of the place file for `place`: a mark of the format, then the fields in fixed-width
// little-endian numbers, so that a million cards take 4 MB and read back in a few milliseconds.
std::string EncodePlace(const DeckPlace& place);
// The place in `bytes`, or nothing for bytes that EncodePlace did not make: another format, a
// file cut short or run on, or lengths that do not add up. Checks no card numbers (Resume does).
// Linear in the bytes; never allocates more than they could hold.
std::optional<DeckPlace> DecodePlace(std::string_view bytes);

// The place file's path: $XDG_STATE_HOME/tavrin/place, with ~/.local/state where `stateHome` is
// empty or relative; empty when neither folder is known.
std::string PlaceFilePath(const std::string& stateHome, const std::string& home);
// The same for this process's environment.
std::string PlaceFilePath();

// The place of `deck` (which has cards) in its file named `deckFile`, stamped now. Nothing when the
// file cannot be read.
std::optional<DeckPlace> PlaceOf(const DeckState& deck, const std::string& deckFile);
// Writes `place` to `path` durably. Returns false when it could not be written.
bool SavePlace(const std::string& path, const DeckPlace& place);
// Takes up the place kept at `path` when it is of deck file `deckFile`, just loaded into `deck`,
// unchanged since: returns true when it did. A missing, unreadable or broken file changes nothing.
bool ResumePlace(const std::string& path, const std::string& deckFile, DeckState& deck);

}  // namespace tavrin
