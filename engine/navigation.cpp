#include "engine/navigation.h"

#include <utility>

#include "engine/compose.h"
#include "engine/random.h"

namespace tavrin {

int32_t StepForward(int32_t value, int32_t low, int32_t high) {
  if (value < low) return low;
  if (value < high) return value + 1;
  return high;
}

int32_t StepBack(int32_t value, int32_t low, int32_t high) {
  if (value <= low) return low;
  if (value <= high) return value - 1;
  return high;
}

void OpenCard(DeckState& deck) {
  std::string_view line = deck.Lines.At(deck.CardOrder[static_cast<std::size_t>(deck.Position)]);
  SplitCardFields(deck, line, deck.CardFields);
  deck.RevealedField = 0;
  ShowSingleField(deck, deck.CardFields.At(0));
}

void Ok(DeckState& deck) {
  if (deck.CardCount < 1) return;
  if (deck.Position == -1) {
    deck.Position = StepForward(-1, 0, deck.CardCount - 1);
    OpenCard(deck);
    return;
  }
  const int32_t fieldCount = deck.CardFields.Count();
  if (deck.RevealedField < fieldCount - 1) {
    deck.RevealedField = StepForward(deck.RevealedField, 0, fieldCount - 1);
    std::size_t start = 0;
    const std::string page = RevealedFieldsPage(deck, deck.CardFields, deck.RevealedField,
                                                deck.Params, deck.Revealed, &start);
    ShowPage(deck, page, start);
    return;
  }
  deck.Position = StepForward(deck.Position, 0, deck.CardCount - 1);
  OpenCard(deck);
}

void Back(DeckState& deck) {
  if (deck.CardCount < 1) return;
  deck.Position = StepBack(deck.Position, 0, deck.CardCount - 1);
  OpenCard(deck);
}

void Shuffle(DeckState& deck) {
  if (deck.CardCount < 1) return;
  ShuffleOrder(deck.CardOrder);
  deck.Position = -1;
  ShowSingleField(deck, deck.Lines.At(2));
}

void ShuffleOrder(std::vector<int32_t>& order) {
  const uint32_t n = static_cast<uint32_t>(order.size());
  SeedRandom();
  RandomBelow(n);
  for (uint32_t i = 0; i < n; ++i) std::swap(order[i], order[RandomBelow(n)]);
}

}  // namespace tavrin
