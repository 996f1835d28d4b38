// Why a deck file shows nothing, in the words that both the window and `tavrin-deck check` use.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

enum class NothingShown {
  kTooFewLines,  // the deck has fewer than three lines
  kNotText,      // a zero byte ends the data early: a picture or other binary file
};

// Why deck `fileName`, read as `lineCount` lines (fewer than three), shows nothing: kNotText when
// its first 8,000 bytes hold a zero byte and it is no UTF-16 file (which holds zero bytes in
// plain text), else kTooFewLines. A file that cannot be read counts as too short. Never throws
// but for lack of memory.
NothingShown WhyNothingShown(const std::string& fileName);

// `why` in a few words, for a deck of `lineCount` lines: "the deck has 2 lines, but it needs at
// least three", "the file is not text".
std::string NothingShownReason(NothingShown why, int32_t lineCount);

}  // namespace tavrin
