#include "shell/place_line.h"

#include <cstdlib>

#include "shell/durable_file.h"

namespace tavrin {

std::string GroupedNumber(int32_t n) {
  const std::string digits = std::to_string(std::llabs(static_cast<long long>(n)));
  std::string grouped = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

namespace {

std::string Place(const DeckState& deck, bool resumed, NothingShown why) {
  if (deck.Lines.Count() < 3) {
    return "Nothing shown: " + NothingShownReason(why, deck.Lines.Count());
  }
  const std::string count = GroupedNumber(deck.CardCount);
  const std::string prefix = resumed ? "Continued at " : "";
  if (deck.CardCount < 1 || deck.Position < 0) {
    return prefix + count + (deck.CardCount == 1 ? " card" : " cards");
  }
  std::string place = prefix + GroupedNumber(deck.Position + 1) + " / " + count;
  const bool lastCard = deck.Position == deck.CardCount - 1;
  if (lastCard && deck.RevealedField >= deck.CardFields.Count() - 1) {
    place += ": round done, Shuffle starts another";
  }
  return place;
}

}  // namespace

PlaceLineTexts PlaceLineFor(const DeckState& deck, bool resumed, NothingShown why) {
  if (deck.DeckFile.empty()) return {};
  PlaceLineTexts texts;
  texts.place = Place(deck, resumed, why);
  texts.withName = BaseNameOf(deck.DeckFile) + " \u2014 " + texts.place;
  return texts;
}

}  // namespace tavrin
