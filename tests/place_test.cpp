// The learner's place: the place line's texts over the deck's state, and the place file that
// carries the place from one run to the next. Toolkit-free, so without a display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/navigation.h"
#include "engine/random.h"
#include "shell/place_file.h"
#include "shell/place_line.h"
#include "tests/test_support.h"

namespace tavrin {
namespace {

using testing_support::ScratchFolder;
using testing_support::WriteFile;

// A deck state as the load leaves it, of `cards` cards with `fields` fields on the open card.
DeckState Shown(int32_t cards, int32_t position, int32_t revealed = 0, int32_t fields = 2) {
  DeckState deck;
  deck.DeckFile = "/decks/German & English.txt";
  for (int i = 0; i < 3; ++i) deck.Lines.Append("x");
  deck.CardCount = cards;
  deck.Position = position;
  deck.RevealedField = revealed;
  for (int i = 0; i < fields; ++i) deck.CardFields.Append("f");
  return deck;
}

TEST(PlaceLine, SaysWhereTheLearnerIs) {
  DeckState shortFile;
  shortFile.DeckFile = "/decks/photo.jpg";
  shortFile.Lines.Append("\xFF\xD8");
  const struct {
    DeckState deck;
    bool resumed;
    NothingShown why;
    std::string place;
  } rows[] = {
      {DeckState(), false, NothingShown::kTooFewLines, ""},
      {Shown(3000, -1), false, NothingShown::kTooFewLines, "3,000 cards"},
      {Shown(1, -1), false, NothingShown::kTooFewLines, "1 card"},
      {Shown(0, -1), false, NothingShown::kTooFewLines, "0 cards"},
      {Shown(3000, 56), false, NothingShown::kTooFewLines, "57 / 3,000"},
      {Shown(3000, 56), true, NothingShown::kTooFewLines, "Continued at 57 / 3,000"},
      {Shown(3000, -1), true, NothingShown::kTooFewLines, "Continued at 3,000 cards"},
      // The last card: done only once its last field shows.
      {Shown(3000, 2999, 0), false, NothingShown::kTooFewLines, "3,000 / 3,000"},
      {Shown(3000, 2999, 1), false, NothingShown::kTooFewLines,
       "3,000 / 3,000: round done, Shuffle starts another"},
      {shortFile, false, NothingShown::kNotText, "Nothing shown: the file is not text"},
      {shortFile, false, NothingShown::kTooFewLines,
       "Nothing shown: the deck has 1 line, but it needs at least three"},
  };
  for (const auto& row : rows) {
    const PlaceLineTexts texts = PlaceLineFor(row.deck, row.resumed, row.why);
    EXPECT_EQ(texts.place, row.place);
    const std::string name = row.deck.DeckFile.substr(row.deck.DeckFile.rfind('/') + 1);
    EXPECT_EQ(texts.withName, row.place.empty() ? "" : name + " \u2014 " + row.place);
  }
}

TEST(PlaceLine, GroupsDigitsInThrees) {
  const std::pair<int32_t, const char*> rows[] = {
      {0, "0"},          {999, "999"},           {1000, "1,000"},
      {-1234, "-1,234"}, {1000000, "1,000,000"}, {INT32_MIN, "-2,147,483,648"},
  };
  for (const auto& [n, text] : rows) EXPECT_EQ(GroupedNumber(n), text);
}

// ---- The place file ----------------------------------------------------------------------------

class PlaceFileTest : public ::testing::Test {
 protected:
  // Loads a deck of `cards` one-field cards into deck_, from deck.txt.
  void LoadCards(int cards) {
    std::string bytes = "|\n\nT\n";
    for (int i = 0; i < cards; ++i) bytes += "c" + std::to_string(i) + "\n";
    deckFile_ = WriteFile(dir_ / "deck.txt", bytes);
    LoadDeck(deck_, deckFile_);
  }
  // The place of deck_ as the close writes it, and whether the next start takes it up.
  bool RoundTrip() {
    const std::optional<DeckPlace> place = PlaceOf(deck_, deckFile_);
    if (!place || !SavePlace(placeFile_, *place)) return false;
    LoadDeck(deck_, deckFile_);
    return ResumePlace(placeFile_, deckFile_, deck_);
  }

  ScratchFolder dir_{"tavrin-place"};
  std::string deckFile_;
  const std::string placeFile_ = dir_ / "state/tavrin/place";
  DeckState deck_;
};

TEST_F(PlaceFileTest, TheNextStartTakesUpTheSameCardInTheSameOrder) {
  LoadCards(5);
  SetTimeOfDayClock([] { return 1234u; });
  Shuffle(deck_);
  SetTimeOfDayClock({});
  Ok(deck_);
  Ok(deck_);
  const std::vector<int32_t> order = deck_.CardOrder;
  ASSERT_TRUE(RoundTrip());
  EXPECT_EQ(deck_.CardOrder, order);
  EXPECT_EQ(deck_.Position, 1);
  EXPECT_EQ(deck_.RevealedField, 0);
  // The folder is made private, as the settings file's is.
  struct stat st;
  ASSERT_EQ(::stat((dir_ / "state/tavrin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(PlaceFileTest, AChangedOrOtherDeckStartsAtItsTitle) {
  LoadCards(4);
  Ok(deck_);
  ASSERT_TRUE(SavePlace(placeFile_, *PlaceOf(deck_, deckFile_)));
  const std::vector<int32_t> fileOrder = deck_.CardOrder;
  const auto startsAtTitle = [&](const std::string& deckFile) {
    LoadDeck(deck_, deckFile);
    return !ResumePlace(placeFile_, deckFile, deck_) && deck_.Position == -1;
  };
  // Another deck of the same bytes.
  const std::string other = WriteFile(dir_ / "other.txt", testing_support::ReadFile(deckFile_));
  EXPECT_TRUE(startsAtTitle(other));
  // The same deck, touched: the same size, another time.
  const timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, deckFile_.c_str(), times, 0), 0);
  EXPECT_TRUE(startsAtTitle(deckFile_));
  EXPECT_EQ(deck_.CardOrder, fileOrder);
  EXPECT_FALSE(ResumePlace(dir_ / "missing", deckFile_, deck_));
}

TEST_F(PlaceFileTest, BrokenOrHostileFilesAreIgnored) {
  DeckPlace place{"/decks/d.txt", {40, 1700000000, 5}, 1, {2, 0, 1}};
  const std::string good = EncodePlace(place);
  const std::optional<DeckPlace> back = DecodePlace(good);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->deckFile, place.deckFile);
  EXPECT_EQ(back->stamp, place.stamp);
  EXPECT_EQ(back->position, 1);
  EXPECT_EQ(back->cards, place.cards);
  // Cut anywhere, run on, or of another format.
  for (std::size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(DecodePlace(good.substr(0, n))) << n;
  EXPECT_FALSE(DecodePlace(good + "x"));
  EXPECT_FALSE(DecodePlace("[Main]\nFileName=x\n"));
  // A card count of four billion in a small file allocates nothing.
  std::string huge = good.substr(0, good.size() - 16) + std::string("\xFF\xFF\xFF\xFF", 4);
  EXPECT_FALSE(DecodePlace(huge));

  // Card numbers that make no order of this deck, read from a file: the deck stays at its title.
  LoadCards(3);
  place = *PlaceOf(deck_, deckFile_);
  for (const std::vector<int32_t>& cards :
       {std::vector<int32_t>{0, 1}, {0, 1, 1}, {0, 1, -1}, {0, 1, INT32_MAX}}) {
    place.cards = cards;
    WriteFile(placeFile_, EncodePlace(place));
    EXPECT_FALSE(ResumePlace(placeFile_, deckFile_, deck_));
    EXPECT_EQ(deck_.Position, -1);
  }
}

TEST(PlaceFilePath, FollowsTheXdgStateFolder) {
  EXPECT_EQ(PlaceFilePath("/state", "/home/me"), "/state/tavrin/place");
  EXPECT_EQ(PlaceFilePath("/state/", "/home/me"), "/state/tavrin/place");
  // Unset or relative: the default under the home folder.
  EXPECT_EQ(PlaceFilePath("", "/home/me"), "/home/me/.local/state/tavrin/place");
  EXPECT_EQ(PlaceFilePath("state", "/home/me"), "/home/me/.local/state/tavrin/place");
  EXPECT_EQ(PlaceFilePath("", ""), "");
}

}  // namespace
}  // namespace tavrin
