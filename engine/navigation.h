// Card navigation and shuffle over the DeckState: the behaviour behind OK, Back and Shuffle.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/deck.h"

namespace tavrin {

// low if value < low; value + 1 if value < high; otherwise high.
int32_t StepForward(int32_t value, int32_t low, int32_t high);
// low if value <= low; value - 1 if value <= high; otherwise high.
int32_t StepBack(int32_t value, int32_t low, int32_t high);

// Makes the card at Position current and shows its first field.
void OpenCard(DeckState& deck);

// Opens the first card, reveals one more field, or moves on to the next card (staying on the
// last). Does nothing without cards.
void Ok(DeckState& deck);
// Opens the previous card (or the first) at its first field. Does nothing without cards.
void Back(DeckState& deck);
// New random order from the current one, no card open, title page shown. Nothing without cards.
void Shuffle(DeckState& deck);

// Takes up a deck where a learner left it: `cards` is the order as card numbers (0 for the first
// card line), `position` the place in it (-1 for the title page). Opens that card at its first
// field; the title page stays as the load showed it. Returns false, changing nothing, unless
// `cards` holds each card of the loaded deck once and `position` lies in it. Linear in the cards.
bool Resume(DeckState& deck, const std::vector<int32_t>& cards, int32_t position);

// Reseeds the generator from the clock, draws once, then exchanges each entry i with a random
// entry of the whole array.
void ShuffleOrder(std::vector<int32_t>& order);

}  // namespace tavrin
