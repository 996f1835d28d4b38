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

bool Resume(DeckState& deck, const std::vector<int32_t>& cards, int32_t position) {
  if (deck.CardCount < 1 || cards.size() != static_cast<std::size_t>(deck.CardCount) ||
      position < -1 || position >= deck.CardCount) {
    return false;
  }
  std::vector<bool> seen(cards.size());
  for (const int32_t card : cards) {
    if (card < 0 || card >= deck.CardCount || seen[static_cast<std::size_t>(card)]) return false;
    seen[static_cast<std::size_t>(card)] = true;
  }
  for (std::size_t i = 0; i < cards.size(); ++i) deck.CardOrder[i] = cards[i] + 3;
  deck.Position = position;
  if (position >= 0) OpenCard(deck);
  return true;
}

void ShuffleOrder(std::vector<int32_t>& order) {
  const uint32_t n = static_cast<uint32_t>(order.size());
  SeedRandom();
  RandomBelow(n);
  for (uint32_t i = 0; i < n; ++i) std::swap(order[i], order[RandomBelow(n)]);
}

}  // namespace tavrin
