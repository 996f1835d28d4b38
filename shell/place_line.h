// The place line: the few words in the button row that tell the learner where they are in the
// deck. Its texts are made here from the deck's state alone, so that they are tested without a
// window; the window only measures and shows them.
#pragma once

#include <string>

#include "engine/deck.h"
#include "engine/nothing_shown.h"

namespace tavrin {

struct PlaceLineTexts {
  // Where the learner is: "3,000 cards" on the title page, "57 / 3,000" on a card, that the round
  // is done after the last field of the last card, or why a file shows nothing. Empty before any
  // deck.
  std::string place;
  // The same after the deck file's name, for where there is room; empty before any deck.
  std::string withName;
};

// The texts for `deck` as it is shown. `resumed`: the deck was reopened at the place where the
// learner left it, and they have not moved since. `why`: why a deck of fewer than three lines
// shows nothing (read only for such a deck). Never throws but for lack of memory.
PlaceLineTexts PlaceLineFor(const DeckState& deck, bool resumed, NothingShown why);

// `n` in decimal digits with a comma between each group of three: "3,000", "-1,234".
std::string GroupedNumber(int32_t n);

}  // namespace tavrin
