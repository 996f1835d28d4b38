// Fuzz target: a place file of arbitrary bytes, as the start-up reads it. A file that decodes must
// be exactly what the encoder makes of its place (so nothing read is silently dropped), and taking
// up its place on a small deck must either give a whole order of that deck with the position in
// it and the card open at its first field, or change nothing at all.
//
// Input layout: the place file's bytes. The deck has as many cards as the decoded order (mod 8),
// one more when the stamp's nanoseconds are odd, so that orders both fit and do not.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/navigation.h"
#include "fuzz_support.h"
#include "shell/place_file.h"

namespace tavrin::fuzz {
namespace {

const std::string& DeckPath(int cards) {
  static std::string paths[8];
  std::string& path = paths[cards];
  if (path.empty()) {
    path = ScratchFolder() + "/deck" + std::to_string(cards) + ".txt";
    std::string bytes = "|\n\nT\n";
    for (int i = 0; i < cards; ++i) bytes += "c" + std::to_string(i) + "|f\n";
    WriteFileBytes(path, bytes.data(), bytes.size());
  }
  return path;
}

}  // namespace
}  // namespace tavrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tavrin;
  using namespace tavrin::fuzz;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<DeckPlace> place = DecodePlace(bytes);
  if (!place) return 0;
  FUZZ_CHECK(EncodePlace(*place) == bytes, "decoded " + Escaped(bytes) + " but encodes otherwise");

  const int cards =
      static_cast<int>((place->cards.size() + (place->stamp.nanoseconds & 1 ? 1 : 0)) % 8);
  DeckState deck;
  deck.SetPolicy(CodePagePolicy::Utf8);
  LoadDeck(deck, DeckPath(cards));
  const std::vector<int32_t> before = deck.CardOrder;
  if (!Resume(deck, place->cards, place->position)) {
    FUZZ_CHECK(deck.CardOrder == before && deck.Position == -1, "a refused place changed the deck");
    return 0;
  }
  FUZZ_CHECK(deck.Position >= -1 && deck.Position < deck.CardCount, "position out of the deck");
  std::vector<bool> seen(static_cast<std::size_t>(deck.CardCount));
  for (const int32_t line : deck.CardOrder) {
    FUZZ_CHECK(line >= 3 && line < deck.CardCount + 3 && !seen[line - 3], "not a whole order");
    seen[line - 3] = true;
  }
  FUZZ_CHECK(deck.Position == -1 || deck.RevealedField == 0, "the card is not at its first field");
  return 0;
}
