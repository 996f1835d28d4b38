#include "engine/deck.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/navigation.h"
#include "engine/nothing_shown.h"
#include "engine/utf8.h"
#include "tests/engine_test_support.h"

namespace tavrin {
namespace {

using namespace testing_support;

const std::string kIndexError0 = IndexError(0);

// A deck state as the window sets it up, with short templates so that pages read easily, a
// recording page sink, and decks written into a fresh directory.
class DeckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    deck_.Settings = {"[", "<", ">", "]", "", ""};
    deck_.MakeLists();
    deck_.ShowHtml = [this](const std::string& page) { pages_.push_back(page); };
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    return WriteFile(dir_ / name, bytes);
  }
  std::string WriteDeck(const std::string& name, const Strings& lines,
                        const std::string& eol = "\r\n") {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + eol;
    return Write(name, bytes);
  }
  void Load(const Strings& lines) { LoadDeck(deck_, WriteDeck("deck.txt", lines)); }

  // Takes the pages shown since the last call.
  Strings TakePages() { return std::exchange(pages_, {}); }

  CodePageGuard codePage_{kCodePage932};
  ScratchFolder dir_{"tavrin-deck"};
  DeckState deck_;
  Strings pages_;
};

// ---- Header line ------------------------------------------------------------------------------

TEST_F(DeckTest, HeaderSetsNamedSettingsAndKeepsTheOthers) {
  Load({"|", "InnerHead=<b>|OuterHead=<i>", "Title"});
  EXPECT_EQ(deck_.Settings, (DeckSettings{"<i>", "<b>", ">", "]", "", ""}));
  EXPECT_EQ(deck_.FieldSeparator, "|");
  EXPECT_EQ(TakePages(), (Strings{"<i><b>Title>]"}));
}

TEST_F(DeckTest, HeaderValueRunsToTheEndWithoutASeparator) {
  Load({"", "OuterHead=<i>InnerHead=<b>", "T"});
  EXPECT_EQ(deck_.Settings[kOuterHead], "<i>InnerHead=<b>");
  EXPECT_EQ(deck_.Settings[kInnerHead], "<b>");
  EXPECT_EQ(deck_.FieldSeparator, "");
}

TEST_F(DeckTest, HeaderKeysMatchAsPlainCaseSensitiveText) {
  Load({"|", "InnerHead=1|InnerHead=2|XOuterHead=a|InnerFoot=OuterFoot=z|outerfoot=no", "T"});
  EXPECT_EQ(deck_.Settings[kInnerHead], "1");  // the first occurrence wins
  EXPECT_EQ(deck_.Settings[kOuterHead], "a");  // found inside a longer word
  EXPECT_EQ(deck_.Settings[kInnerFoot], "OuterFoot=z");
  EXPECT_EQ(deck_.Settings[kOuterFoot], "z");  // found inside another key's value
  using Named = std::array<bool, kDeckSettingCount>;
  EXPECT_EQ(HeaderKeysNamed(deck_.Lines.At(1)), (Named{true, true, true, true, false, false}));
}

TEST_F(DeckTest, HeaderValuesAreVerbatimAndMayBeEmpty) {
  Load({"::", "InnerHead= a:b ::OuterHead=::CommentIntroducer=\"#\"", "T"});
  EXPECT_EQ(deck_.Settings[kInnerHead], " a:b ");
  EXPECT_EQ(deck_.Settings[kOuterHead], "");
  EXPECT_EQ(deck_.Settings[kCommentIntroducer], "\"#\"");
  // Named with an empty value is named all the same.
  using Named = std::array<bool, kDeckSettingCount>;
  EXPECT_EQ(HeaderKeysNamed(deck_.Lines.At(1)), (Named{true, true, false, false, true, false}));
}

TEST_F(DeckTest, HeaderSeparatorSearchRespectsSecondBytes) {
  // 'ソ' is 83 5C: its second byte is the separator '\' and must not end the value.
  deck_.SetPolicy(CodePagePolicy::Cp932);
  Load({"\\", "InnerHead=\x83\\\\OuterHead=x", "T"});
  EXPECT_EQ(deck_.Settings[kInnerHead], "\x83\\");
  EXPECT_EQ(deck_.Settings[kOuterHead], "x");

  deck_.SetPolicy(CodePagePolicy::Utf8);
  Load({"\\", "InnerHead=\x83\\\\OuterHead=y", "T"});
  EXPECT_EQ(deck_.Settings[kInnerHead], "\x83");
}

TEST_F(DeckTest, LaterDecksInheritSettingsTheyDoNotName) {
  Load({"|", "CommentIntroducer=#|DefaultParameters=#d1|OuterHead=(", "T#p"});
  Load({"|", "InnerHead={", "T2#q"});
  EXPECT_EQ(deck_.Settings, (DeckSettings{"(", "{", ">", "]", "#", "#d1"}));
  EXPECT_EQ(deck_.ParamSeparator, "#");
  EXPECT_EQ(Entries(deck_.DefaultParams), (Strings{"", "d1"}));
  EXPECT_EQ(Entries(deck_.Params), (Strings{"T2", "q"}));
}

// ---- Loading ----------------------------------------------------------------------------------

TEST_F(DeckTest, LoadWithCardsOpensNothingAndKeepsTheOldCard) {
  deck_.CardFields.Append("old field");
  deck_.RevealedField = 7;
  Load({"|", "", "T", "a|b", "", "c"});
  EXPECT_EQ(deck_.CardCount, 3);
  EXPECT_EQ(deck_.CardOrder, (std::vector<int32_t>{3, 4, 5}));
  EXPECT_EQ(deck_.Position, -1);
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"|", "", "T", "a|b", "", "c"}));
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"old field"}));
  EXPECT_EQ(deck_.RevealedField, 7);
  EXPECT_EQ(TakePages(), (Strings{"[<T>]"}));
}

TEST_F(DeckTest, ThreeLineDeckShowsItsTitleAndNavigationDoesNothing) {
  Load({"|", "", "Only a title"});
  EXPECT_EQ(TakePages(), (Strings{"[<Only a title>]"}));
  EXPECT_EQ(deck_.CardCount, 0);
  int32_t position = deck_.Position;
  Ok(deck_);
  Back(deck_);
  Shuffle(deck_);
  EXPECT_EQ(TakePages(), Strings{});
  EXPECT_EQ(deck_.Position, position);
}

TEST_F(DeckTest, ShortFilesReplaceTheLinesButNothingElse) {
  Load({"|", "CommentIntroducer=#|DefaultParameters=#d", "T#p", "a|b", "c"});
  Ok(deck_);
  Ok(deck_);
  TakePages();
  const DeckSettings settings = deck_.Settings;
  const std::vector<int32_t> order = deck_.CardOrder;

  const std::vector<std::pair<std::string, Strings>> shortFiles = {
      {"", {}}, {"x#y", {"x#y"}}, {";\r\nCommentIntroducer=%", {";", "CommentIntroducer=%"}}};
  for (const auto& [bytes, lines] : shortFiles) {
    LoadDeck(deck_, Write("short.txt", bytes));
    EXPECT_EQ(Entries(deck_.Lines), lines);
    EXPECT_EQ(deck_.CardCount, static_cast<int32_t>(lines.size()) - 3);
    EXPECT_EQ(deck_.FieldSeparator, "|");
    EXPECT_EQ(deck_.ParamSeparator, "#");
    EXPECT_EQ(deck_.Settings, settings);
    EXPECT_EQ(Entries(deck_.DefaultParams), (Strings{"", "d"}));
    EXPECT_EQ(Entries(deck_.Params), (Strings{"b"}));
    EXPECT_EQ(deck_.Position, 0);
    EXPECT_EQ(deck_.CardOrder, order);
    Ok(deck_);
    EXPECT_EQ(TakePages(), Strings{});
  }
}

TEST_F(DeckTest, AFileThatShowsNothingIsToldWhy) {
  using namespace std::string_literals;
  const struct {
    std::string bytes;
    std::string reason;
  } rows[] = {
      {"", "the deck has 0 lines, but it needs at least three"},
      {"|\r\nx", "the deck has 2 lines, but it needs at least three"},
      {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, "the file is not text"},
      // Zero bytes are plain text in UTF-16.
      {"\xFF\xFE|\0\n\0"s, "the deck has 1 line, but it needs at least three"},
  };
  for (const auto& row : rows) {
    const std::string path = Write("short.txt", row.bytes);
    LoadDeck(deck_, path);
    EXPECT_EQ(NothingShownReason(WhyNothingShown(path), deck_.Lines.Count()), row.reason);
  }
}

TEST_F(DeckTest, MissingFileOrDirectoryChangesNothing) {
  Load({"|", "", "T", "a|b"});
  Ok(deck_);
  TakePages();
  LoadDeck(deck_, dir_ / "missing.txt");
  LoadDeck(deck_, dir_.Path());
  LoadDeck(deck_, "");
  EXPECT_EQ(TakePages(), Strings{});
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"|", "", "T", "a|b"}));
  Ok(deck_);  // the previous deck is still fully usable
  EXPECT_EQ(TakePages(), (Strings{"[<a><b>]"}));
}

TEST_F(DeckTest, UnreadableFileRaisesTheOpenErrorAndChangesNothing) {
  Load({"|", "", "T", "a"});
  TakePages();
  std::string fifo = dir_ / "pipe.deck";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Held open for writing here, so that the load cannot wait for a writer whatever it does.
  int writer = open(fifo.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(ErrorOf([&] { LoadDeck(deck_, fifo); }), "ファイル " + fifo + " は開けません");
  EXPECT_EQ(TakePages(), Strings{});
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"|", "", "T", "a"}));
  EXPECT_EQ(deck_.CardCount, 1);
  close(writer);
}

TEST_F(DeckTest, TitleEndingInHalfACharacterStopsTheLoadHalfWay) {
  deck_.SetPolicy(CodePagePolicy::Cp932);
  Load({"|", "", "T", "a", "b"});
  Ok(deck_);
  TakePages();

  EXPECT_EQ(ErrorOf([&] {
              Load({";", "CommentIntroducer=#;OuterHead=(", "Title\x82", "x"});
            }),
            kIndexError0);
  EXPECT_EQ(TakePages(), Strings{});
  // What came before the title page stays; the card count and order are from the last deck.
  EXPECT_EQ(deck_.FieldSeparator, ";");
  EXPECT_EQ(deck_.Settings[kOuterHead], "(");
  EXPECT_EQ(deck_.ParamSeparator, "#");
  EXPECT_EQ(Entries(deck_.Params), Strings{});
  EXPECT_EQ(deck_.Lines.Count(), 4);
  EXPECT_EQ(deck_.CardCount, 2);
  EXPECT_EQ(deck_.CardOrder, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(deck_.Position, 0);
}

TEST_F(DeckTest, LineEndsOfAnyKindAndNoFinalLineEnd) {
  LoadDeck(deck_, Write("mixed.txt", "|\rInnerHead=(\n T \r\na|b\n\rlast"));
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"|", "InnerHead=(", " T ", "a|b", "", "last"}));
  EXPECT_EQ(deck_.CardCount, 3);
  EXPECT_EQ(TakePages(), (Strings{"[( T >]"}));
}

// ---- Code page ----------------------------------------------------------------------------------

TEST_F(DeckTest, StrictUtf8Validity) {
  for (const char* valid : {"", "plain", "\xC3\xA9", "\xE3\x81\x82", "\xF0\x9F\x98\x80",
                            "\xF4\x8F\xBF\xBF", "\xEF\xBB\xBF", "\xED\x9F\xBF", "\xEE\x80\x80"}) {
    EXPECT_TRUE(IsValidUtf8(valid)) << ::testing::PrintToString(valid);
  }
  for (const char* invalid :
       {"\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\x80", "\xE3\x81",
        "\xE3\x81"
        "A",
        "a\xC3", "\x82\xA0" /* Shift-JIS */}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << ::testing::PrintToString(invalid);
  }
}

// The reference: each sequence decoded to its code point, and the code point judged.
bool ReferenceUtf8(std::string_view s) {
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80       ? 1
                            : c >> 5 == 6  ? 2
                            : c >> 4 == 14 ? 3
                            : c >> 3 == 30 ? 4
                                           : 0;
    if (len == 0 || len > s.size() - i) return false;
    char32_t code = len == 1 ? c : c & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      code = code << 6 | (b & 0x3F);
    }
    if (code < kLeast[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

TEST(Utf8Test, EveryValidatorAgreesWithTheReference) {
  // clang-format off
  const std::vector<std::string> valid = {
      "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xE3\x81\x82", "\xED\x9F\xBF",
      "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF"};
  std::vector<std::string> sequences = {
      // Overlong, surrogate, above U+10FFFF, bytes that begin nothing, cut off at the end.
      "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80",
      "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
      "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80", "\xFF", "\x80", "\xBF", "\xC3", "\xE3\x81",
      "\xF0\x9F\x98"};
  // clang-format on
  // Each continuation byte of each valid sequence just below and just above its range.
  for (const std::string& v : valid) {
    sequences.push_back(v);
    for (std::size_t k = 1; k < v.size(); ++k) {
      for (char out : {'\x7F', '\xC0', '\xFF'}) {
        std::string bad = v;
        bad[k] = out;
        sequences.push_back(bad);
      }
    }
  }
  // Each alone, and at every offset around the 32-byte blocks of the wide paths.
  std::vector<std::string> texts;
  for (const std::string& sequence : sequences) {
    texts.push_back(sequence);
    for (std::size_t before : {0, 1, 29, 30, 31, 32, 33, 60, 63}) {
      texts.push_back(std::string(before, 'a') + sequence + std::string(64 - before, 'b'));
      texts.push_back(std::string(before + 64, 'a') + sequence);
    }
  }
  std::string notRun;
  for (const Utf8Validator& validator : Utf8Validators()) {
    if (!validator.runsHere) {
      notRun += std::string(" ") + validator.name;
      continue;
    }
    for (const std::string& text : texts) {
      EXPECT_EQ(validator.check(text), ReferenceUtf8(text))
          << validator.name << " " << ::testing::PrintToString(text);
    }
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(IsValidUtf8(text), ReferenceUtf8(text)) << ::testing::PrintToString(text);
  }
  if (!notRun.empty()) GTEST_SKIP() << "this processor cannot run these checks:" << notRun;
}

TEST(Utf8Test, SequenceIsWholeOrTheStartThatBreaksOff) {
  struct Case {
    std::string bytes;
    std::size_t at, length;
    bool valid;
  };
  for (const Case& c : std::vector<Case>{{"a\xE3\x81\x82", 1, 3, true},
                                         {"\xF0\x9F\x98\x80", 0, 4, true},
                                         {"\xE3\x81"
                                          "A",
                                          0, 2, false},
                                         {"x\xF0\x9F\x98", 1, 3, false},
                                         {"\xED\xA0\x80", 0, 1, false},
                                         {"\xC0\x80", 0, 1, false},
                                         {"\x80", 0, 1, false},
                                         {"ab", 2, 0, false}}) {
    const Utf8Sequence got = Utf8SequenceAt(c.bytes, c.at);
    EXPECT_EQ(got.length, c.length) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(got.valid, c.valid) << ::testing::PrintToString(c.bytes);
  }
}

TEST_F(DeckTest, AutoPolicyDecidesForEachDeck) {
  // 'あ' in UTF-8 is E3 81 82: three lead bytes under Shift-JIS, which would hide the '|' after it.
  const Strings utf8 = {"|", "", "\xE3\x81\x82", "\xE3\x81\x82|b"};
  const Strings sjis = {"|", "", "\x82\xA0", "\x83|b"};  // '|' may be a second byte

  Load(utf8);
  EXPECT_EQ(deck_.CodePage, kCodePageUtf8);
  EXPECT_EQ(DoubleByteCodePage(), kCodePageUtf8);
  Ok(deck_);
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"\xE3\x81\x82", "b"}));

  Load(sjis);
  EXPECT_EQ(deck_.CodePage, kCodePage932);
  EXPECT_EQ(DoubleByteCodePage(), kCodePage932);
  Ok(deck_);
  EXPECT_EQ(Entries(deck_.CardFields), (Strings{"\x83|b"}));

  Load(utf8);
  EXPECT_EQ(DoubleByteCodePage(), kCodePageUtf8);
}

TEST_F(DeckTest, AutoPolicyLooksOnlyBeforeTheFirstZeroByte) {
  LoadDeck(deck_, Write("z.txt", std::string("|\n\n\xC3\xA9\n\0\xFF\xFE", 9)));
  EXPECT_EQ(deck_.CodePage, kCodePageUtf8);
  LoadDeck(deck_, Write("z.txt", std::string("|\n\n\x82\xA0\n\0\xC3\xA9", 9)));
  EXPECT_EQ(deck_.CodePage, kCodePage932);
}

TEST_F(DeckTest, AutoPolicyKeepsTheModeForShortFiles) {
  SetDoubleByteCodePage(kCodePage932);
  LoadDeck(deck_, Write("short.txt", "|\n\xE3\x81\x82\n"));
  EXPECT_EQ(DoubleByteCodePage(), kCodePage932);
  SetDoubleByteCodePage(kCodePageUtf8);
  LoadDeck(deck_, Write("short.txt", "|\n\x82\xA0\n"));
  EXPECT_EQ(DoubleByteCodePage(), kCodePageUtf8);
}

TEST_F(DeckTest, ByteOrderMarkGoesWithUtf8Only) {
  const std::string bom = "\xEF\xBB\xBF";
  // Detected UTF-8: the mark is not part of the separator.
  Load({bom + "|", "", "T", "a|b"});
  EXPECT_EQ(deck_.FieldSeparator, "|");
  EXPECT_EQ(deck_.Lines.At(0), "|");
  // Not valid UTF-8 further on: Shift-JIS, and the mark stays.
  Load({bom + "|", "", "T", "\x82\xA0|b"});
  EXPECT_EQ(deck_.CodePage, kCodePage932);
  EXPECT_EQ(deck_.FieldSeparator, bom + "|");

  deck_.SetPolicy(CodePagePolicy::Cp932);
  Load({bom + "|", "", "T", "a|b"});
  EXPECT_EQ(deck_.FieldSeparator, bom + "|");
  EXPECT_EQ(DoubleByteCodePage(), kCodePage932);

  deck_.SetPolicy(CodePagePolicy::Utf8);
  Load({bom + "|", "", "T", "\x82\xA0|b"});
  EXPECT_EQ(deck_.FieldSeparator, "|");
  EXPECT_EQ(deck_.CodePage, kCodePageUtf8);
  EXPECT_EQ(DoubleByteCodePage(), kCodePageUtf8);

  // A mark on a line other than the first is ordinary text.
  deck_.SetPolicy(CodePagePolicy::Auto);
  Load({"|", bom + "InnerHead=(", bom + "T"});
  EXPECT_EQ(deck_.Settings[kInnerHead], "(");
  EXPECT_EQ(TakePages().back(), "[(" + bom + "T>]");
}

TEST_F(DeckTest, Utf16DecksAreReadAsUtf8WhateverThePolicy) {
  const struct {
    std::u16string text;
    Strings lines;
  } rows[] = {
      {u"|\r\nInnerHead=(\r\n\u65E5\u672C\r\n\U0001F600|b\r\n",
       {"|", "InnerHead=(", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80|b"}},
      // Unpaired surrogates become U+FFFD; U+0000 ends the data as a zero byte does.
      {u"|\n\xD800x\n\xDC00\n\xD83D", {"|", "\xEF\xBF\xBDx", "\xEF\xBF\xBD", "\xEF\xBF\xBD"}},
      {std::u16string(u"|\nh\nT\0more\n", 11), {"|", "h", "T"}},
  };
  for (const bool bigEndian : {false, true}) {
    for (const auto& row : rows) {
      deck_.SetPolicy(CodePagePolicy::Cp932);  // the conversion made UTF-8, whatever was asked
      LoadDeck(deck_, Write("u16.txt", Utf16Bytes(row.text, bigEndian)));
      EXPECT_EQ(Entries(deck_.Lines), row.lines) << bigEndian;
      EXPECT_EQ(deck_.Encoding, bigEndian ? TextEncoding::kUtf16Be : TextEncoding::kUtf16Le);
      EXPECT_EQ(deck_.CodePage, kCodePageUtf8);
    }
  }
  // An odd last byte is half a unit: U+FFFD.
  LoadDeck(deck_, Write("odd.txt", Utf16Bytes(u"|\nh\nT", false) + "x"));
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"|", "h", "T\xEF\xBF\xBD"}));
  LoadDeck(deck_, Write("bytes.txt", "|\nh\nT\n"));
  EXPECT_EQ(deck_.Encoding, TextEncoding::kBytes);
}

TEST_F(DeckTest, Utf16ReadAcrossPiecesMatchesTheSameDeckInUtf8) {
  // Long enough for several reads, with surrogate pairs and units cut at every kind of boundary:
  // lines of odd lengths mixing ASCII runs and characters of two, three and four UTF-8 bytes.
  std::u16string text = u"|\r\n\r\nTitle\r\n";
  std::string utf8 = "|\r\n\r\nTitle\r\n";
  for (int i = 0; i < 9000; ++i) {
    const int ascii = i % 37;
    text += std::u16string(static_cast<std::size_t>(ascii), u'a') + u"\u00E9|\u65E5\U0001F600\r\n";
    utf8 += std::string(static_cast<std::size_t>(ascii), 'a') +
            "\xC3\xA9|\xE6\x97\xA5\xF0\x9F\x98\x80\r\n";
  }
  LoadDeck(deck_, Write("utf8.txt", utf8));
  const Strings expected = Entries(deck_.Lines);
  ASSERT_EQ(deck_.CardCount, 9000);
  for (const bool bigEndian : {false, true}) {
    LoadDeck(deck_, Write("u16.txt", Utf16Bytes(text, bigEndian)));
    EXPECT_EQ(Entries(deck_.Lines), expected) << bigEndian;
  }
}

TEST_F(DeckTest, FixedPolicyTakesEffectAtOnce) {
  deck_.SetPolicy(CodePagePolicy::Utf8);
  EXPECT_EQ(DoubleByteCodePage(), kCodePageUtf8);
  EXPECT_EQ(deck_.CodePage, kCodePageUtf8);
  deck_.SetPolicy(CodePagePolicy::Cp932);
  EXPECT_EQ(DoubleByteCodePage(), kCodePage932);
  EXPECT_EQ(deck_.CodePage, kCodePage932);
  // A fixed policy is not overruled by the file's bytes.
  Load({"|", "", "\xE3\x81\x82", "x"});
  EXPECT_EQ(deck_.CodePage, kCodePage932);
}

TEST_F(DeckTest, ParseCodePagePolicy) {
  EXPECT_EQ(ParseCodePagePolicy("auto"), CodePagePolicy::Auto);
  EXPECT_EQ(ParseCodePagePolicy("932"), CodePagePolicy::Cp932);
  EXPECT_EQ(ParseCodePagePolicy("65001"), CodePagePolicy::Utf8);
  for (const char* bad : {"", "utf8", "AUTO", "9320"}) {
    EXPECT_THROW(ParseCodePagePolicy(bad), Error) << bad;
  }
}

}  // namespace
}  // namespace tavrin
