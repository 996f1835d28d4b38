#include "engine/compose.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/double_byte.h"
#include "engine/navigation.h"
#include "engine/text.h"
#include "engine/text_list.h"
#include "tests/engine_test_support.h"

namespace tavrin {
namespace {

using namespace testing_support;

const std::string kIndexError0 = IndexError(0);

// The revealed-fields page of `deck` as OK composes it.
std::string RevealedPageOf(DeckState& deck) {
  return RevealedFieldsPage(deck, deck.CardFields, deck.RevealedField, deck.Params, deck.Revealed);
}

class ComposeTest : public ::testing::Test {
 protected:
  void SetUp() override { deck_.MakeLists(); }

  // Sets the templates and the parameter rules as a deck header would.
  void Use(const DeckSettings& settings) {
    deck_.Settings = settings;
    deck_.ParamSeparator = settings[kCommentIntroducer];
    SplitKeepingEmpty(deck_.ParamSeparator, settings[kDefaultParameters], deck_.DefaultParams);
  }
  std::string Revealed(std::initializer_list<std::string> fields) {
    deck_.CardFields = List(fields);
    deck_.RevealedField = static_cast<int32_t>(fields.size()) - 1;
    return RevealedPageOf(deck_);
  }
  // Reveals fields 0 to `last` of the current card and checks the page against one composed with
  // nothing kept from the pages before.
  std::string Press(int32_t last) {
    deck_.RevealedField = last;
    DeckState fresh = deck_;
    fresh.Revealed = {};
    std::size_t expectedStart = 0;
    std::size_t start = 1;
    const std::string expected = RevealedFieldsPage(fresh, fresh.CardFields, last, fresh.Params,
                                                    fresh.Revealed, &expectedStart);
    const std::string page =
        RevealedFieldsPage(deck_, deck_.CardFields, last, deck_.Params, deck_.Revealed, &start);
    EXPECT_EQ(page, expected) << "fields 0 to " << last;
    EXPECT_EQ(start, expectedStart) << "where field " << last << " begins";
    EXPECT_EQ(Entries(deck_.Params), Entries(fresh.Params));
    return page;
  }

  CodePageGuard codePage_{kCodePage932};
  DeckState deck_;
};

// ---- ExpandTemplate ---------------------------------------------------------------------------

TEST_F(ComposeTest, PlaceholdersAreReplacedAsPlainTextInAscendingOrder) {
  TextList none;
  // "$1" also rewrites the start of "$12".
  TextList twelve = List({"body", "x", "", "", "", "", "", "", "", "", "", "", "L"});
  EXPECT_EQ(ExpandTemplate("$1 $12 $2", twelve, none), "x x2 $2");
  // A value holding a higher placeholder is expanded later; a lower one is not.
  EXPECT_EQ(ExpandTemplate("$1", List({"b", "$2", "two"}), none), "two");
  EXPECT_EQ(ExpandTemplate("$2", List({"b", "one", "$1"}), none), "$1");
  EXPECT_EQ(ExpandTemplate("$$1 $ 1 $01", List({"b", "x"}), none), "$x $ 1 $01");
  EXPECT_EQ(ExpandTemplate("no marks", List({"b", "x"}), none), "no marks");
}

TEST_F(ComposeTest, EmptyOrMissingParametersFallBackToDefaults) {
  TextList defaults = List({"d0", "d1", ""});
  // Text 'a##' gives the parameters '' and ''.
  EXPECT_EQ(ExpandTemplate("[$1|$2|$3]", List({"a", "", ""}), defaults), "[d1||$3]");
  EXPECT_EQ(ExpandTemplate("[$1|$2|$3]", List({"a", "", ""}), List({"", "d1"})), "[d1|$2|$3]");
  // '#x#y#z' supplies the third parameter to a field with only one.
  EXPECT_EQ(ExpandTemplate("$1 $2 $3", List({"a", "p"}), List({"", "x", "y", "z"})), "p y z");
  // Default entry 0 never stands for "$0" while there is a body.
  EXPECT_EQ(ExpandTemplate("$0", List({"a"}), defaults), "$0");
}

TEST_F(ComposeTest, WithoutAnyEntryDefaultsStartAtZero) {
  EXPECT_EQ(ExpandTemplate("<$0 $1 $2>", TextList(), List({"d0", "d1"})), "<d0 d1 $2>");
}

TEST_F(ComposeTest, PlaceholdersFormedByReplacementAreStillFound) {
  TextList none;
  // A value ending in "$" meets the digits after the placeholder it replaced.
  EXPECT_EQ(ExpandTemplate("$12", List({"b", "x$", "two"}), none), "xtwo");
  EXPECT_EQ(ExpandTemplate("$1$2", List({"b", "$", "", "z"}), none), "$$2");
  EXPECT_EQ(ExpandTemplate("$15", List({"b", "$", "", "", "", "five"}), none), "five");
  EXPECT_EQ(ExpandTemplate("<$05>", TextList(), List({"zero", "d1"})), "<zero5>");
}

TEST_F(ComposeTest, PageThatWouldOutgrowTheLimitIsAnErrorNotAnExhaustedMemory) {
  const std::size_t saved = PageSizeLimit();
  SetPageSizeLimit(1 << 20);
  // Each default doubles the text of the one before: 2^30 bytes of "x" at the end.
  std::string defaults = "#$2$2";
  for (int i = 3; i <= 31; ++i) defaults += "#$" + std::to_string(i) + "$" + std::to_string(i);
  defaults += "#x";
  TextList list;
  SplitKeepingEmpty("#", defaults, list);
  EXPECT_EQ(ErrorOf([&] { ExpandTemplate("$1", List({"b"}), list); }),
            "ページが 1048576 バイトを超えるため表示できません");
  // Just under the limit is fine.
  EXPECT_EQ(ExpandTemplate("$1", List({"b", std::string((1 << 20) - 2, 'v')}), TextList()).size(),
            std::size_t{(1 << 20) - 2});
  SetPageSizeLimit(saved);
}

// ---- Single-field page ------------------------------------------------------------------------

TEST_F(ComposeTest, SingleFieldPageJoinsHeadsAndFootsBeforeExpanding) {
  Use({"<a b=$", "1>", "</$", "1>", "#", ""});
  TextList params = List({"T", "v"});
  EXPECT_EQ(SingleFieldPage(deck_, params), "<a b=v>T</v>");
}

TEST_F(ComposeTest, FieldTextIsNeverExpanded) {
  Use({"(", "<$1>", "", ")", "#", ""});
  EXPECT_EQ(SingleFieldPage(deck_, List({"$1 $2", "v"})), "(<v>$1 $2)");
  EXPECT_EQ(Revealed({"$1", "a#b"}), "(<$1>$1<b>a)");
}

TEST_F(ComposeTest, EmptySeparatorUsesTemplatesAsWritten) {
  Use({"<$1>", "[$1]", "{$1}", "<$0>", "", "#x#y"});
  EXPECT_EQ(Entries(deck_.DefaultParams), (Strings{"#x#y"}));
  TextList params;
  SplitKeepingEmpty(deck_.ParamSeparator, "a#b", params);
  EXPECT_EQ(SingleFieldPage(deck_, params), "<$1>[$1]a#b{$1}<$0>");
}

TEST_F(ComposeTest, EmptyTemplatesGiveBareFields) {
  Use({"", "", "", "", "#", ""});
  EXPECT_EQ(SingleFieldPage(deck_, List({"a"})), "a");
  EXPECT_EQ(Revealed({"a", "b#p", "c"}), "abc");
}

TEST_F(ComposeTest, SingleFieldPageWithoutEntriesIsAnError) {
  Use({"<$0>", "", "", "", "#", "#d"});
  EXPECT_EQ(ErrorOf([&] { SingleFieldPage(deck_, TextList()); }), kIndexError0);
}

// ---- Revealed-fields page ---------------------------------------------------------------------

TEST_F(ComposeTest, EachFieldCarriesItsOwnParametersAndTheLastOneTheOuter) {
  Use({"[$1|", "<i $1>", "</i $2>", "|$2]", "#", "#d1#d2"});
  EXPECT_EQ(Revealed({"a#1", "b", "c#3#"}), "[3|<i 1>a</i d2><i d1>b</i d2><i 3>c</i d2>|d2]");
  EXPECT_EQ(Entries(deck_.Params), (Strings{"c", "3", ""}));
  EXPECT_EQ(Revealed({"a#1", "b"}), "[d1|<i 1>a</i d2><i d1>b</i d2>|d2]");
  EXPECT_EQ(Entries(deck_.Params), (Strings{"b"}));
}

TEST_F(ComposeTest, RevealedPageDoesNotJoinTemplatesBeforeExpanding) {
  Use({"$", "1", "</$", "1>", "#", ""});
  EXPECT_EQ(Revealed({"a#v", "b#w"}), "$1a</$1b</$1>");
}

TEST_F(ComposeTest, ParameterSeparatorRespectsSecondBytes) {
  // 'ソ' is 83 5C, whose second byte is the separator '\'.
  Use({"", "<$1>", "", "", "\\", ""});
  EXPECT_EQ(Revealed({"\x83\\", "\x83\\\\v"}), "<$1>\x83\\<v>\x83\\");
  EXPECT_EQ(Entries(deck_.Params), (Strings{"\x83\\", "v"}));
}

TEST_F(ComposeTest, RevealedPageStopsAtAFieldWithoutEntries) {
  Use({"(", "<", ">", ")", "#", "#d"});
  EXPECT_EQ(ErrorOf([&] { Revealed({"a", "b\x82"}); }), kIndexError0);
  EXPECT_EQ(ErrorOf([&] { Revealed({"\x82", "b"}); }), kIndexError0);
  EXPECT_EQ(deck_.Params.Count(), 0);
  SetDoubleByteCodePage(kCodePageUtf8);
  EXPECT_EQ(Revealed({"\x82", "b"}), "(<\x82><b>)");
}

TEST_F(ComposeTest, FieldsKeptFromThePageBeforeFollowEveryChangeToWhatTheyWereMadeFrom) {
  Use({"[", "<$1>", "</$2>", "]", "#", "#d1#d2"});
  deck_.CardFields = List({"a#1", "b", "\x83#c#3", "d#4"});
  Press(0);
  Press(1);
  EXPECT_EQ(Press(2), "[<1>a</d2><d1>b</d2><3>\x83#c</d2>]");
  deck_.Settings[kInnerHead] = "<b $1>";
  EXPECT_EQ(Press(3), "[<b 1>a</d2><b d1>b</d2><b 3>\x83#c</d2><b 4>d</d2>]");
  Press(1);  // back to fewer fields
  Press(3);
  deck_.Settings[kInnerFoot] = "</$1>";
  Press(3);
  SplitKeepingEmpty("#", "#e1#e2", deck_.DefaultParams);
  Press(3);
  deck_.ParamSeparator = "c";
  Press(3);
  deck_.ParamSeparator = "#";
  SetDoubleByteCodePage(kCodePageUtf8);  // the "#" after 83 now separates
  EXPECT_EQ(Press(2), "[<b 1>a</1><b e1>b</e1><b c>\x83</c>]");
  SetDoubleByteCodePage(kCodePage932);
  Press(3);
  deck_.CardFields = List({"a#1", "b", "\x83#c#3", "x#9"});  // another card, as many fields
  EXPECT_EQ(Press(3), "[<b 1>a</1><b e1>b</e1><b 3>\x83#c</3><b 9>x</9>]");

  // A field that fails leaves nothing half kept.
  deck_.CardFields = List({"a#1", "b", "c#3", "d#" + std::string(20, 'v')});
  Press(1);
  const std::size_t saved = PageSizeLimit();
  SetPageSizeLimit(16);
  deck_.RevealedField = 3;
  EXPECT_EQ(ErrorOf([&] { RevealedPageOf(deck_); }),
            "ページが 16 バイトを超えるため表示できません");
  SetPageSizeLimit(saved);
  Press(3);
  SetPageSizeLimit(16);  // a limit lowered after the fields were composed holds for them too
  EXPECT_EQ(ErrorOf([&] { RevealedPageOf(deck_); }),
            "ページが 16 バイトを超えるため表示できません");
  SetPageSizeLimit(saved);
  deck_.CardFields = List({"a#1", "b", "c", "d\x82"});
  Press(1);
  deck_.RevealedField = 3;
  EXPECT_EQ(ErrorOf([&] { RevealedPageOf(deck_); }), kIndexError0);
  Press(2);
}

// ---- A whole deck -----------------------------------------------------------------------------

TEST(ComposeDeckTest, AnimalsDeckPageByPage) {
  CodePageGuard codePage(DoubleByteCodePage());  // the load settles it; the one before comes back
  DeckState deck;
  deck.StartWith(kDefaultStartupTemplates);
  deck.MakeLists();
  std::vector<std::string> pages;
  deck.ShowHtml = [&](const std::string& page) { pages.push_back(page); };

  LoadDeck(deck, TAVRIN_TEST_DATA "/animals.txt");
  EXPECT_EQ(deck.Settings, (DeckSettings{"<html><body bgcolor=$1>", "<p>", "</p>", "</body></html>",
                                         "#", "#white"}));
  EXPECT_EQ(deck.ParamSeparator, "#");
  EXPECT_EQ(Entries(deck.DefaultParams), (Strings{"", "white"}));
  for (int i = 0; i < 4; ++i) Ok(deck);

  EXPECT_EQ(pages, (Strings{
                       "<html><body bgcolor=yellow><p>Animals</p></body></html>",
                       "<html><body bgcolor=white><p>cat</p></body></html>",
                       "<html><body bgcolor=blue><p>cat</p><p>chat</p></body></html>",
                       "<html><body bgcolor=white><p>cat</p><p>chat</p><p>Katze</p></body></html>",
                       "<html><body bgcolor=white><p>dog</p></body></html>",
                   }));
}

}  // namespace
}  // namespace tavrin
