#include "engine/navigation.h"
#include "engine/double_byte.h"
#include "engine/random.h"
#include "tests/engine_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tavrin {
namespace {

using namespace testing_support;

using Order = std::vector<int32_t>;

// Pages show as "[<field>]" for one field and "[<a><b>]" for several; the title is "[<T>]".
class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    deck_.Settings = {"[", "<", ">", "]", "", ""};
    deck_.MakeLists();
    deck_.SetPolicy(CodePagePolicy::Cp932);
    deck_.ShowHtml = [this](const std::string& page) { pages_.push_back(page); };
  }
  void TearDown() override { SetTimeOfDayClock({}); }

  // Loads a deck with separator '|', an empty header and title 'T', then `cards`.
  void LoadCards(const Strings& cards, const std::string& header = "") {
    std::string bytes = "|\n" + header + "\nT\n";
    for (const std::string& card : cards) bytes += card + "\n";
    path_ = WriteFile(dir_ / "deck.txt", bytes);
    LoadDeck(deck_, path_);
    TakePages();
  }

  // Runs `action` and gives the one page it showed (earlier pages are dropped), or a note that it
  // showed none or several.
  std::string Page(void (*action)(DeckState&)) {
    TakePages();
    action(deck_);
    Strings shown = TakePages();
    if (shown.size() != 1) return std::to_string(shown.size()) + " pages";
    return shown[0];
  }

  Strings TakePages() { return std::exchange(pages_, {}); }

  CodePageGuard codePage_{kCodePage932};
  ScratchFolder dir_{"tavrin-nav"};
  DeckState deck_;
  Strings pages_;
  std::string path_;
};

TEST(StepTest, ClampedSteps) {
  EXPECT_EQ(StepForward(-1, 0, 4), 0);
  EXPECT_EQ(StepForward(-7, 0, 4), 0);
  EXPECT_EQ(StepForward(0, 0, 4), 1);
  EXPECT_EQ(StepForward(3, 0, 4), 4);
  EXPECT_EQ(StepForward(4, 0, 4), 4);
  EXPECT_EQ(StepForward(9, 0, 4), 4);
  EXPECT_EQ(StepForward(0, 0, 0), 0);
  EXPECT_EQ(StepBack(-1, 0, 4), 0);
  EXPECT_EQ(StepBack(0, 0, 4), 0);
  EXPECT_EQ(StepBack(1, 0, 4), 0);
  EXPECT_EQ(StepBack(4, 0, 4), 3);
  EXPECT_EQ(StepBack(5, 0, 4), 4);
  EXPECT_EQ(StepBack(9, 0, 4), 4);
}

TEST_F(NavigationTest, OkRevealsFieldsThenMovesOnAndStaysOnTheLastCard) {
  LoadCards({"a|b|c", "d", "e|f"});
  EXPECT_EQ(deck_.Position, -1);
  EXPECT_EQ(Page(Ok), "[<a>]");
  EXPECT_EQ(deck_.Position, 0);
  EXPECT_EQ(Page(Ok), "[<a><b>]");
  EXPECT_EQ(Page(Ok), "[<a><b><c>]");
  EXPECT_EQ(deck_.RevealedField, 2);
  EXPECT_EQ(Page(Ok), "[<d>]");  // a card of one field moves on at the next OK
  EXPECT_EQ(Page(Ok), "[<e>]");
  EXPECT_EQ(Page(Ok), "[<e><f>]");
  EXPECT_EQ(Page(Ok), "[<e>]");  // never wraps to the first card
  EXPECT_EQ(deck_.Position, 2);
  EXPECT_EQ(deck_.RevealedField, 0);
  EXPECT_EQ(Page(Ok), "[<e><f>]");
}

TEST_F(NavigationTest, BackOpensThePreviousCardAtItsFirstField) {
  LoadCards({"a|b", "c|d", "e"});
  EXPECT_EQ(Page(Back), "[<a>]");  // from the title, like OK
  EXPECT_EQ(deck_.Position, 0);
  EXPECT_EQ(Page(Ok), "[<a><b>]");
  EXPECT_EQ(Page(Back), "[<a>]");  // stays on the first card
  Ok(deck_);
  Ok(deck_);
  EXPECT_EQ(Page(Ok), "[<c><d>]");
  EXPECT_EQ(Page(Back), "[<a>]");
  EXPECT_EQ(deck_.RevealedField, 0);
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"a", "b"}));
}

TEST_F(NavigationTest, DeckOfOneCardKeepsReopeningIt) {
  LoadCards({"x|y"});
  EXPECT_EQ(Page(Ok), "[<x>]");
  EXPECT_EQ(Page(Ok), "[<x><y>]");
  EXPECT_EQ(Page(Ok), "[<x>]");
  EXPECT_EQ(Page(Ok), "[<x><y>]");
  EXPECT_EQ(Page(Back), "[<x>]");
  EXPECT_EQ(deck_.Position, 0);
}

TEST_F(NavigationTest, CardFieldsDropDoubledSeparatorsOnly) {
  LoadCards({"a||b", "|a", "", "a|||b|"});
  EXPECT_EQ(Page(Ok), "[<a>]");
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"a", "b"}));
  Ok(deck_);
  EXPECT_EQ(Page(Ok), "[<>]");
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"", "a"}));
  Ok(deck_);
  EXPECT_EQ(Page(Ok), "[<>]");  // an empty line is a card with one empty field
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{""}));
  EXPECT_EQ(Page(Ok), "[<a>]");
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"a", "", "b"}));
}

TEST_F(NavigationTest, FieldParametersReachTheirTemplates) {
  LoadCards({"cat#n|chat#f"}, "OuterHead=($1)|InnerHead=<$1:|CommentIntroducer=#");
  EXPECT_EQ(Page(Ok), "(n)<n:cat>]");
  EXPECT_EQ(Page(Ok), "(f)<n:cat><f:chat>]");
  EXPECT_EQ(Entries(deck_.Params), (Strings{"chat", "f"}));
}

// Each page as the view gets it: "top" for one shown from its top (a card's first field, the title
// after Shuffle), else the text from the field just revealed on.
TEST_F(NavigationTest, RevealedFieldStartsWhereItsInnerHeadDoes) {
  LoadCards({"cat#n|chat#f|x", "d|e"}, "OuterHead=($1)|InnerHead=<$1:|CommentIntroducer=#");
  auto shown = [this](void (*action)(DeckState&)) {
    const std::string page = Page(action);
    const std::size_t start = deck_.RevealedFieldStart;
    return start == kShowFromTop ? "top" : page.substr(std::min(start, page.size()));
  };
  const std::vector<std::pair<void (*)(DeckState&), std::string>> rows = {
      {Ok, "top"},     {Ok, "<f:chat>]"}, {Ok, "<$1:x>]"},   {Ok, "top"},
      {Ok, "<$1:e>]"}, {Back, "top"},     {Ok, "<f:chat>]"}, {Shuffle, "top"},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(shown(rows[i].first), rows[i].second) << "step " << i;
  }
}

TEST_F(NavigationTest, ShuffleFollowsTheClockAndStartsFromTheCurrentOrder) {
  LoadCards({"c0", "c1", "c2", "c3", "c4", "c5"});
  SetTimeOfDayClock([] { return 86399999u; });
  SetRandomState(777);  // reseeding makes the earlier state irrelevant
  EXPECT_EQ(Page(Shuffle), "[<T>]");
  EXPECT_EQ(deck_.CardOrder, (Order{7, 4, 5, 8, 6, 3}));
  EXPECT_EQ(deck_.Position, -1);
  EXPECT_EQ(Page(Ok), "[<c4>]");
  EXPECT_EQ(Page(Ok), "[<c1>]");
  EXPECT_EQ(Page(Back), "[<c4>]");

  EXPECT_EQ(Page(Shuffle), "[<T>]");
  EXPECT_EQ(deck_.CardOrder, (Order{6, 4, 5, 3, 8, 7}));
  EXPECT_EQ(Page(Back), "[<c3>]");  // from the title, the first card of the new order

  LoadDeck(deck_, path_);
  EXPECT_EQ(deck_.CardOrder, (Order{3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(deck_.Position, -1);
}

TEST_F(NavigationTest, ShuffleOfOneCardShowsTheTitleAgain) {
  LoadCards({"only|card"}, "CommentIntroducer=#");
  Ok(deck_);
  Ok(deck_);
  TakePages();
  EXPECT_EQ(Page(Shuffle), "[<T>]");
  EXPECT_EQ(deck_.CardOrder, (Order{3}));
  EXPECT_EQ(deck_.Position, -1);
  EXPECT_EQ(Entries(deck_.Params), (Strings{"T"}));
  EXPECT_EQ(Page(Ok), "[<only>]");
}

TEST_F(NavigationTest, TitlePageAfterShuffleKeepsEmptyParameters) {
  // The empty parameter between the two "#" leaves "red" second, after Shuffle as after the load.
  path_ = WriteFile(dir_ / "deck.txt",
                    "|\nOuterHead=<body bgcolor=$2>|CommentIntroducer=#\nWords##red\nc0\nc1\n");
  LoadDeck(deck_, path_);
  const std::string title = "<body bgcolor=red><Words>]";
  EXPECT_EQ(TakePages(), Strings{title});
  Ok(deck_);
  EXPECT_EQ(Page(Shuffle), title);
  EXPECT_EQ(Entries(deck_.Params), (Strings{"Words", "", "red"}));
}

TEST_F(NavigationTest, ShuffleOrderDrawsFromTheWholeRange) {
  SetTimeOfDayClock([] { return 12345u; });
  Order order = {3, 4, 5, 6, 7, 8};
  ShuffleOrder(order);
  // Draws after the discarded one: 1, 0, 3, 3, 2, 2.
  EXPECT_EQ(order, (Order{3, 4, 8, 5, 6, 7}));
  Order one = {3};
  ShuffleOrder(one);
  EXPECT_EQ(one, (Order{3}));
}

TEST_F(NavigationTest, CardEndingInHalfACharacterIsAnErrorThatLeavesTheMove) {
  LoadCards({"a", "\x82", "c"});
  EXPECT_EQ(Page(Ok), "[<a>]");
  EXPECT_EQ(ErrorOf([&] { Ok(deck_); }), IndexError(0));
  EXPECT_EQ(TakePages(), Strings{});
  EXPECT_EQ(deck_.Position, 1);
  EXPECT_EQ(deck_.CardFields.Count(), 0);
  EXPECT_EQ(deck_.RevealedField, 0);
  EXPECT_EQ(Page(Ok), "[<c>]");  // with no fields, OK moves straight on
  EXPECT_EQ(ErrorOf([&] { Back(deck_); }), IndexError(0));
  EXPECT_EQ(deck_.Position, 1);
  EXPECT_EQ(Page(Back), "[<a>]");
}

TEST_F(NavigationTest, FieldEndingInHalfACharacterIsAnErrorOfTheCardPage) {
  // With an empty field separator the whole line is the only field, and it is the parameter split
  // that finds no entries.
  std::string bytes = "\nCommentIntroducer=#\nT\na\n\x82\nc\n";
  path_ = WriteFile(dir_ / "deck.txt", bytes);
  LoadDeck(deck_, path_);
  TakePages();
  EXPECT_EQ(Page(Ok), "[<a>]");
  EXPECT_EQ(ErrorOf([&] { Ok(deck_); }), IndexError(0));
  EXPECT_EQ(TakePages(), Strings{});
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"\x82"}));
  EXPECT_EQ(deck_.Params.Count(), 0);
  EXPECT_EQ(Page(Ok), "[<c>]");
}

TEST_F(NavigationTest, StaleOrderAfterAFailedLoadRaisesErrorsNotCrashes) {
  LoadCards({"c0", "c1", "c2", "c3", "c4"});
  Ok(deck_);
  Ok(deck_);
  Ok(deck_);
  TakePages();
  ASSERT_EQ(deck_.Position, 2);
  // The title page fails, so the new four lines live with the old card count and order.
  const std::string bad = WriteFile(dir_ / "bad.txt", "|\nCommentIntroducer=#\nT\x82\nnew\n");
  EXPECT_EQ(ErrorOf([&] { LoadDeck(deck_, bad); }), IndexError(0));
  EXPECT_EQ(deck_.CardCount, 5);
  EXPECT_EQ(ErrorOf([&] { Ok(deck_); }), IndexError(6));
  EXPECT_EQ(deck_.Position, 3);
  EXPECT_EQ(ErrorOf([&] { Back(deck_); }), IndexError(5));
  EXPECT_EQ(ErrorOf([&] { Back(deck_); }), IndexError(4));
  EXPECT_EQ(Page(Back), "[<new>]");
}

TEST_F(NavigationTest, WithoutCardsNothingHappens) {
  LoadCards({});
  SetTimeOfDayClock([] { return 5u; });
  SetRandomState(99);
  for (auto action : {Ok, Back, Shuffle}) EXPECT_EQ(Page(action), "0 pages");
  EXPECT_EQ(deck_.Position, 0);
  EXPECT_EQ(RandomState(), 99u);
}

TEST_F(NavigationTest, ResumeTakesUpAWholeOrderOnlyAndOpensItsCardAtTheFirstField) {
  LoadCards({"a|a2", "b|b2", "c|c2"});
  const std::vector<int32_t> fileOrder = deck_.CardOrder;
  const struct {
    std::vector<int32_t> cards;
    int32_t position;
  } refused[] = {
      {{2, 0}, 0},                        // a card short
      {{2, 0, 1, 1}, 0},                  // one too many
      {{2, 0, 0}, 0},                     // a card twice
      {{2, 0, 3}, 0},                     // no such card
      {{2, 0, -1}, 0},   {{2, 0, 1}, 3},  // past the last
      {{2, 0, 1}, -2},
  };
  for (const auto& row : refused) {
    EXPECT_FALSE(Resume(deck_, row.cards, row.position));
    EXPECT_EQ(deck_.CardOrder, fileOrder);
    EXPECT_EQ(deck_.Position, -1);
    EXPECT_EQ(TakePages(), Strings{});
  }
  ASSERT_TRUE(Resume(deck_, {2, 0, 1}, 1));
  EXPECT_EQ(deck_.CardOrder, (std::vector<int32_t>{5, 3, 4}));
  EXPECT_EQ(deck_.RevealedField, 0);
  EXPECT_EQ(TakePages(), Strings{"[<a>]"});
  EXPECT_EQ(Page(Ok), "[<a><a2>]");
  EXPECT_EQ(Page(Ok), "[<b>]");
  // At the title page the order waits for the first OK.
  LoadCards({"a|a2", "b|b2", "c|c2"});
  ASSERT_TRUE(Resume(deck_, {1, 2, 0}, -1));
  EXPECT_EQ(TakePages(), Strings{});
  EXPECT_EQ(Page(Ok), "[<b>]");
}

}  // namespace
}  // namespace tavrin
