#include "engine/text.h"
#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/random.h"
#include "engine/text_list.h"
#include "engine/utf16.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/engine_test_support.h"

namespace tavrin {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();

std::vector<std::string> KeepingEmpty(std::string_view separator, std::string_view text) {
  TextList list;
  SplitKeepingEmpty(separator, text, list);
  return Entries(list);
}

std::vector<std::string> DroppingDoubles(std::string_view separator, std::string_view text) {
  TextList list;
  SplitDroppingDoubles(separator, text, list);
  return Entries(list);
}

using Pieces = std::vector<std::string>;

// Runs each test under a known double-byte rule and puts the previous one back afterwards.
class TextTest : public ::testing::Test {
 private:
  CodePageGuard codePage_{kCodePage932};
};

// ---- Double-byte rule -------------------------------------------------------------------------

TEST_F(TextTest, LeadBytesOfShiftJisAndNoneForUtf8) {
  EXPECT_TRUE(DoubleByteMode());
  EXPECT_EQ(DoubleByteCodePage(), kCodePage932);
  for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsLeadByte(b)) << b;
  for (int b : {0x00, 0x41, 0x80, 0xA0, 0xDF, 0xFD, 0xFF}) EXPECT_FALSE(IsLeadByte(b)) << b;

  SetDoubleByteCodePage(kCodePageUtf8);
  EXPECT_FALSE(DoubleByteMode());
  EXPECT_EQ(DoubleByteCodePage(), kCodePageUtf8);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(IsLeadByte(b)) << b;
}

TEST(CodePageAtStartTest, ShiftJisUntilAnythingElseIsSet) {
  // A fresh process: the other tests of this program change the rule.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(_exit(DoubleByteCodePage() == kCodePage932 && DoubleByteMode() ? 0 : 1),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(TextTest, TrailPositionCountsTheLeadRunBackwards) {
  const std::string small_a =
      "\x82\x9F"
      "A";  // 'ぁ' then 'A'
  EXPECT_FALSE(IsTrailPosition(small_a, 1));
  EXPECT_TRUE(IsTrailPosition(small_a, 2));   // run of one
  EXPECT_FALSE(IsTrailPosition(small_a, 3));  // run of two
  // Only the bytes back to the nearest non-lead byte count, not a parse from the start.
  EXPECT_TRUE(
      IsTrailPosition("\x82"
                      "A\x82"
                      "A",
                      4));
  EXPECT_FALSE(
      IsTrailPosition("\x82\x82\x82\x82"
                      "A",
                      5));

  SetDoubleByteCodePage(kCodePageUtf8);
  EXPECT_FALSE(IsTrailPosition(small_a, 2));
}

// ---- TextList ---------------------------------------------------------------------------------

TEST_F(TextTest, TextListKeepsOrderEmptiesAndRepeats) {
  TextList list;
  for (const char* s : {"b", "", "a", "b"}) list.Append(s);
  EXPECT_EQ(Entries(list), (Pieces{"b", "", "a", "b"}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(TextTest, TextListIndexOutsideTheListIsAnError) {
  TextList list;
  list.Append("x");
  auto message = [&](int32_t index) {
    try {
      list.At(index);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(1), "リストのインデックスが範囲を超えています (1)");
  EXPECT_EQ(message(-1), "リストのインデックスが範囲を超えています (-1)");
  EXPECT_EQ(message(kMinInt), "リストのインデックスが範囲を超えています (-2147483648)");
  list.Clear();
  EXPECT_EQ(message(0), "リストのインデックスが範囲を超えています (0)");
}

// ---- FindText ---------------------------------------------------------------------------------

TEST_F(TextTest, FindTextEmptyInputsAndCase) {
  EXPECT_EQ(FindText("", "abc"), 0);
  EXPECT_EQ(FindText("a", ""), 0);
  EXPECT_EQ(FindText("", ""), 0);
  EXPECT_EQ(FindText("a", "A"), 0);
  EXPECT_EQ(FindText("bc", "abcbc"), 2);
  EXPECT_EQ(FindText("abcd", "abc"), 0);
}

TEST_F(TextTest, FindTextSkipsMatchesThatStartOnASecondByte) {
  EXPECT_EQ(FindText("\x9F", "\x82\x9F"), 0);  // second byte of 'ぁ'
  EXPECT_EQ(FindText("A",
                     "\x83"
                     "AA"),
            3);  // 'ア' is 83 41
  // The next candidate may overlap the rejected one.
  EXPECT_EQ(FindText("AA",
                     "\x83"
                     "AAA"),
            3);
  // A match may end inside a double-byte character; only its start is tested.
  EXPECT_EQ(FindText("A\x83",
                     "A\x83"
                     "A"),
            1);
  // Long runs: an even run before the match lets it through, an odd one does not.
  EXPECT_EQ(FindText("A", std::string(1000, '\x82') + "A"), 1001);
  EXPECT_EQ(FindText("A", std::string(999, '\x82') + "A"), 0);
  // Several rejected candidates before the match.
  EXPECT_EQ(FindText("A",
                     "\x82"
                     "A\x82"
                     "A\x82\x82"
                     "A"),
            7);

  SetDoubleByteCodePage(kCodePageUtf8);
  EXPECT_EQ(FindText("\x9F", "\x82\x9F"), 2);
  EXPECT_EQ(FindText("A",
                     "\x83"
                     "AA"),
            2);
}

TEST_F(TextTest, MatchAfterAnEvenRunOfLeadRangeBytesIsReal) {
  // '亜' is 88 9F, both bytes in the lead range: the byte after it begins a character. Separators
  // of more than 16 bytes go through the byte-by-byte search, shorter ones through the masks.
  const std::string kanji = "\x88\x9F";
  for (const std::string separator : {"|", "<=== seventeen ===>"}) {
    EXPECT_EQ(FindText(separator, kanji + separator + "x"), 3) << separator;
    EXPECT_EQ(FindText(separator, kanji + kanji + separator), 5) << separator;
    EXPECT_EQ(KeepingEmpty(separator, kanji + separator + "x"), (Pieces{kanji, "x"}));
    EXPECT_EQ(DroppingDoubles(separator, kanji + separator + separator + "x"),
              (Pieces{kanji, "x"}));
  }
}

TEST_F(TextTest, FindTextStopsAtAZeroByte) {
  EXPECT_EQ(FindText("b", std::string("a\0b", 3)), 0);
  EXPECT_EQ(FindText("a", std::string("a\0b", 3)), 1);
  EXPECT_EQ(FindText("a", std::string("\0a", 2)), 0);
}

// ---- CopyRange --------------------------------------------------------------------------------

TEST_F(TextTest, CopyRangeClampsStartAndCount) {
  EXPECT_EQ(CopyRange("abc", 0, 2), "ab");  // a start below 1 does not shorten the count
  EXPECT_EQ(CopyRange("abc", -5, 2), "ab");
  EXPECT_EQ(CopyRange("abc", kMinInt, 3), "abc");
  EXPECT_EQ(CopyRange("abc", 4, 1), "");
  EXPECT_EQ(CopyRange("abc", 3, 5), "c");
  EXPECT_EQ(CopyRange("abc", 2, 0), "");
  EXPECT_EQ(CopyRange("abc", 2, -1), "");
  EXPECT_EQ(CopyRange("abc", 2, kMinInt), "");
  EXPECT_EQ(CopyRange("", 1, 1), "");
  // The "rest after a match" idioms: count as large as possible, start near the largest value.
  EXPECT_EQ(CopyRange("abc", 2, kMaxInt), "bc");
  EXPECT_EQ(CopyRange("abc", 4, kMaxInt), "");
  EXPECT_EQ(CopyRange("abc", kMaxInt, kMaxInt), "");
}

// ---- ReplaceAll -------------------------------------------------------------------------------

TEST_F(TextTest, ReplaceAllLeftToRightWithoutRescanning) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("xx", "x", "xx"), "xxxx");
  EXPECT_EQ(ReplaceAll("$1$10", "$1", "X"), "XX0");
  EXPECT_EQ(ReplaceAll("abc", "", "X"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "X"), "");
  EXPECT_EQ(ReplaceAll("a-b-", "-", ""), "ab");
  EXPECT_EQ(ReplaceAll("abab", "ab", "<ab>"), "<ab><ab>");
}

TEST_F(TextTest, ReplaceAllRestartsTheDoubleByteRuleAfterEachReplacement) {
  // Each remainder is a text of its own, so its first byte is never a second byte.
  EXPECT_EQ(ReplaceAll("\x82\x82\x82", "\x82", "X"), "XXX");
  // Within one remainder the rule still holds.
  EXPECT_EQ(ReplaceAll("\x83"
                       "AA",
                       "A", "-"),
            "\x83"
            "A-");
  SetDoubleByteCodePage(kCodePageUtf8);
  EXPECT_EQ(ReplaceAll("\x83"
                       "AA",
                       "A", "-"),
            "\x83--");
}

TEST_F(TextTest, DecimalTextHasDigitsOnly) {
  EXPECT_EQ(DecimalText(1), "1");
  EXPECT_EQ(DecimalText(10), "10");
  EXPECT_EQ(DecimalText(kMaxInt), "2147483647");
}

// ---- Splits -----------------------------------------------------------------------------------

TEST_F(TextTest, SplitKeepingEmptyTable) {
  EXPECT_EQ(KeepingEmpty("#", "a#b"), (Pieces{"a", "b"}));
  EXPECT_EQ(KeepingEmpty("#", "a##b"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(KeepingEmpty("#", "#a"), (Pieces{"", "a"}));
  EXPECT_EQ(KeepingEmpty("#", "a#"), (Pieces{"a", ""}));
  EXPECT_EQ(KeepingEmpty("#", "##"), (Pieces{"", "", ""}));
  EXPECT_EQ(KeepingEmpty("#", ""), (Pieces{""}));
  EXPECT_EQ(KeepingEmpty("#", "ab"), (Pieces{"ab"}));
  EXPECT_EQ(KeepingEmpty("//", "word//noun//plural"), (Pieces{"word", "noun", "plural"}));
}

TEST_F(TextTest, SplitDroppingDoublesTable) {
  EXPECT_EQ(DroppingDoubles(";", "a;b"), (Pieces{"a", "b"}));
  EXPECT_EQ(DroppingDoubles(";", "a;;b"), (Pieces{"a", "b"}));
  EXPECT_EQ(DroppingDoubles(";", "a;;;b"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(DroppingDoubles(";", "a;;;;b"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(DroppingDoubles(";", "a;;;;;b"), (Pieces{"a", "", "", "b"}));
  EXPECT_EQ(DroppingDoubles(";", "a;"), (Pieces{"a"}));
  EXPECT_EQ(DroppingDoubles(";", "a;;"), (Pieces{"a", ""}));
  EXPECT_EQ(DroppingDoubles(";", ";a"), (Pieces{"", "a"}));
  EXPECT_EQ(DroppingDoubles(";", ";;a"), (Pieces{"", "a"}));
  EXPECT_EQ(DroppingDoubles(";", ";;;a"), (Pieces{"", "", "a"}));
  EXPECT_EQ(DroppingDoubles(";", ""), (Pieces{""}));
  EXPECT_EQ(DroppingDoubles(";", ";"), (Pieces{""}));
  EXPECT_EQ(DroppingDoubles(";", ";;"), (Pieces{"", ""}));
}

TEST_F(TextTest, SplitsWithEmptySeparatorGiveTheWholeText) {
  EXPECT_EQ(KeepingEmpty("", "a#b"), (Pieces{"a#b"}));
  EXPECT_EQ(KeepingEmpty("", ""), (Pieces{""}));
  EXPECT_EQ(DroppingDoubles("", "a;;b"), (Pieces{"a;;b"}));
  EXPECT_EQ(DroppingDoubles("", ""), (Pieces{""}));
  // Even a text ending in half a character stays whole.
  EXPECT_EQ(KeepingEmpty("", "\x82"), (Pieces{"\x82"}));
}

TEST_F(TextTest, SplitsSearchTheTextWithTheAppendedSeparator) {
  // The search runs over "baaa" and finds the separator one byte early.
  EXPECT_EQ(KeepingEmpty("aa", "ba"), (Pieces{"b"}));
  EXPECT_EQ(DroppingDoubles("aa", "ba"), (Pieces{"b"}));
}

TEST_F(TextTest, SplitOfTextEndingInHalfACharacter) {
  // The appended separator starts on a second byte and is not found.
  EXPECT_EQ(KeepingEmpty(",", "x,\x82"), (Pieces{"x"}));
  EXPECT_EQ(KeepingEmpty(",", "\x82"), (Pieces{}));
  EXPECT_EQ(DroppingDoubles(",", "\x82"), (Pieces{}));
  TextList list;
  SplitKeepingEmpty(",", "\x82", list);
  EXPECT_THROW(list.At(0), Error);

  SetDoubleByteCodePage(kCodePageUtf8);
  EXPECT_EQ(KeepingEmpty(",", "x,\x82"), (Pieces{"x", "\x82"}));
  EXPECT_EQ(DroppingDoubles(",", "\x82"), (Pieces{"\x82"}));
}

TEST_F(TextTest, SplitsHonourDoubleByteSeparatorsAndSecondBytes) {
  // 'ソ' is 83 5C, whose second byte is '\'.
  EXPECT_EQ(KeepingEmpty("\\", "\x83\\a\\b"), (Pieces{"\x83\\a", "b"}));
  // A separator of two bytes that is itself a double-byte character ('、' is 81 41).
  EXPECT_EQ(KeepingEmpty("\x81"
                         "A",
                         "x\x81"
                         "Ay"),
            (Pieces{"x", "y"}));
  EXPECT_EQ(DroppingDoubles("\x81"
                            "A",
                            "x\x81"
                            "A\x81"
                            "Ay"),
            (Pieces{"x", "y"}));
}

TEST_F(TextTest, SplitReplacesPreviousEntriesAndMayReadOneOfThem) {
  TextList list;
  list.Append("old");
  list.Append("p;q;;r");
  SplitKeepingEmpty(";", list.At(1), list);
  EXPECT_EQ(Entries(list), (Pieces{"p", "q", "", "r"}));
  SplitDroppingDoubles(";", list.At(3), list);
  EXPECT_EQ(Entries(list), (Pieces{"r"}));
  SplitKeepingEmpty("", list.At(0), list);
  EXPECT_EQ(Entries(list), (Pieces{"r"}));
}

// ---- Files ------------------------------------------------------------------------------------

class FileTest : public TextTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    return WriteFile(dir_ / name, bytes);
  }

  std::vector<std::string> Lines(const std::string& bytes) {
    TextList list;
    list.Append("previous");
    ReadLines(Write("lines.txt", bytes), list);
    return Entries(list);
  }

  ScratchFolder dir_{"tavrin-text"};
};

TEST_F(FileTest, ReadLinesTable) {
  EXPECT_EQ(Lines("a\r\nb"), (Pieces{"a", "b"}));
  EXPECT_EQ(Lines("a\rb"), (Pieces{"a", "b"}));
  EXPECT_EQ(Lines("a\nb"), (Pieces{"a", "b"}));
  EXPECT_EQ(Lines("a\n\rb"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(Lines("a\r\r\nb"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(Lines("a\n"), (Pieces{"a"}));
  EXPECT_EQ(Lines("a\n\n"), (Pieces{"a", ""}));
  EXPECT_EQ(Lines("\n"), (Pieces{""}));
  EXPECT_EQ(Lines(""), (Pieces{}));
  EXPECT_EQ(Lines(std::string("ab\0cd\nef", 8)), (Pieces{"ab"}));
  EXPECT_EQ(Lines(std::string("\0ab", 3)), (Pieces{}));
}

TEST_F(FileTest, ReadLinesKeepsEveryOtherByte) {
  EXPECT_EQ(Lines("\xEF\xBB\xBFsep\r\nx"), (Pieces{"\xEF\xBB\xBFsep", "x"}));
  EXPECT_EQ(Lines("\t a \x1A b \r\n\x82\r\n"), (Pieces{"\t a \x1A b ", "\x82"}));
  // UTF-16 is read as the UTF-8 of its text, without the mark.
  EXPECT_EQ(Lines(std::string("\xFF\xFE"
                              "a\0\n\0b\0",
                              8)),
            (Pieces{"a", "b"}));
}

// The decoder takes blocks of eight and sixteen units at once, converts a piece in parts of its
// own, and keeps a cut unit or surrogate pair for the next piece. Characters of two and three
// UTF-8 bytes at their bounds, a pair, and unpaired halves, with ASCII between them, after ASCII
// runs of every length up to 40 units, so that each falls at every place in a block; fed in pieces
// of sizes about those boundaries, by either way of converting blocks.
TEST(Utf16DecoderTest, AgreesWhateverThePieces) {
  std::u16string text;
  std::string utf8;
  for (std::size_t round = 0; text.size() < 12000; ++round) {
    const std::size_t ascii = round % 41;
    text += std::u16string(ascii, u'a') + u"\u0080\u07FF\u0800\u65E5\uFFFF\u007Fxxxxxxx\U0001F600" +
            u"yyyyyyyy\xDC00\xD83D";
    utf8 += std::string(ascii, 'a') +
            "\xC2\x80\xDF\xBF\xE0\xA0\x80\xE6\x97\xA5\xEF\xBF\xBF\x7Fxxxxxxx" +
            "\xF0\x9F\x98\x80yyyyyyyy\xEF\xBF\xBD\xEF\xBF\xBD";
  }
  for (const bool bigEndian : {false, true}) {
    const std::string bytes = Utf16Bytes(text, bigEndian).substr(2);
    for (const bool avx2 : {true, false}) {
      for (const std::size_t piece : {1, 2, 15, 16, 17, 33, 8191, 8192, 8193, 1 << 20}) {
        Utf16Decoder decoder(bigEndian, avx2);
        std::string out;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
          decoder.Feed(std::string_view(bytes).substr(at, piece), out);
        }
        decoder.Finish(out);
        EXPECT_EQ(out, utf8) << "pieces of " << piece << ", big-endian " << bigEndian << ", AVX2 "
                             << avx2;
      }
    }
  }
}

TEST_F(FileTest, ReadLinesOfAManyLineFile) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  std::vector<std::string> lines = Lines(bytes);
  ASSERT_EQ(lines.size(), 100000u);
  EXPECT_EQ(lines.front(), "line 0");
  EXPECT_EQ(lines.back(), "line 99999");
}

// Line ends are found 64 bytes at a time and the file is read 64 KiB at a time: a CR LF, a zero
// byte or a line may straddle either boundary. Files full of line ends, of sizes about those
// boundaries, against a plain byte-by-byte cut.
TEST_F(FileTest, ReadLinesAgreesWithAPlainCutAcrossBlocksAndReads) {
  auto plainLines = [](const std::string& bytes) {
    Pieces lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const char c = bytes[i];
      if (c == '\0') break;
      if (c != '\r' && c != '\n') {
        line += c;
        continue;
      }
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
  };
  std::mt19937 rng(20261209);
  const std::size_t sizes[] = {63, 64, 65, 127, 128, 129, 65535, 65536, 65537, 131073, 200000};
  for (int round = 0; round < 3; ++round) {
    for (std::size_t size : sizes) {
      std::string bytes;
      for (std::size_t i = 0; i < size; ++i) {
        const uint32_t r = rng() % 100;
        bytes.push_back(r < 20 ? '\r' : r < 40 ? '\n' : r < 50 ? '\x82' : 'a');
      }
      // A CR LF across every boundary of the reads, in one file in three.
      for (std::size_t at = 65536; round == 1 && at < size; at += 65536) {
        bytes[at - 1] = '\r';
        bytes[at] = '\n';
      }
      // A zero byte near the end of a block or of a read, in one file in three.
      if (round == 2) bytes[size - 1 - rng() % std::min<std::size_t>(size, 70)] = '\0';
      ASSERT_EQ(Lines(bytes), plainLines(bytes)) << size << " bytes, round " << round;
    }
  }
}

TEST_F(FileTest, ReadLinesOpenErrorNamesTheFileAndLeavesTheList) {
  TextList list;
  list.Append("kept");
  const std::string name = "no/such/../dir/deck.txt";
  try {
    ReadLines(name, list);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "ファイル no/such/../dir/deck.txt は開けません");
  }
  EXPECT_EQ(Entries(list), (Pieces{"kept"}));

  // Neither a directory nor a named pipe can be read as lines.
  EXPECT_THROW(ReadLines(dir_.Path(), list), Error);
  EXPECT_EQ(Entries(list), (Pieces{"kept"}));
}

TEST_F(FileTest, ReadLinesRefusesANamedPipeWithoutWaitingForAWriter) {
  std::string fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // In a child process, so that a reader that blocks fails the test instead of hanging it.
  EXPECT_EXIT(
      {
        alarm(10);
        TextList list;
        try {
          ReadLines(fifo, list);
        } catch (const Error&) {
          _exit(0);
        }
        _exit(1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FileTest, IsExistingFileForFilesDirectoriesAndLinks) {
  std::string file = Write("deck.txt", "x");
  EXPECT_TRUE(IsExistingFile(file));
  EXPECT_TRUE(IsExistingFile(Write("empty.txt", "")));
  EXPECT_FALSE(IsExistingFile(""));
  EXPECT_FALSE(IsExistingFile(dir_.Path()));
  EXPECT_FALSE(IsExistingFile(dir_ / "missing.txt"));

  fs::create_symlink(file, dir_ / "to-file");
  fs::create_directory(dir_ / "sub");
  fs::create_directory_symlink(dir_ / "sub", dir_ / "to-dir");
  fs::create_symlink(dir_ / "missing.txt", dir_ / "dangling");
  EXPECT_TRUE(IsExistingFile(dir_ / "to-file"));
  EXPECT_FALSE(IsExistingFile(dir_ / "to-dir"));
  EXPECT_FALSE(IsExistingFile(dir_ / "dangling"));
}

TEST_F(FileTest, IsExistingFileTakesNoWildcards) {
  Write("deck.txt", "x");
  EXPECT_FALSE(IsExistingFile(dir_ / "*.txt"));
  EXPECT_FALSE(IsExistingFile(dir_ / "deck.tx?"));
  // A name that really contains the wildcard characters is an ordinary file.
  EXPECT_TRUE(IsExistingFile(Write("odd*name?.txt", "x")));
}

TEST_F(FileTest, IsExistingFileIgnoresTimestamps) {
  std::string file = Write("old.txt", "x");
  struct timespec times[2];
  // 1970, 1966, 1979 and 2200: all outside what some file systems' date fields hold.
  for (time_t t : {time_t{0}, time_t{-100000000}, time_t{300000000}, time_t{7258118400}}) {
    times[0] = times[1] = {t, 0};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_TRUE(IsExistingFile(file)) << "mtime " << t;
  }
}

// ---- Pseudo-random generator ------------------------------------------------------------------

class RandomTest : public ::testing::Test {
 protected:
  void TearDown() override { SetTimeOfDayClock({}); }

  static std::vector<uint32_t> Draws(uint32_t n, int count) {
    std::vector<uint32_t> out;
    for (int i = 0; i < count; ++i) out.push_back(RandomBelow(n));
    return out;
  }
};

TEST_F(RandomTest, KnownSequences) {
  SetRandomState(0);
  EXPECT_EQ(Draws(10, 6), (std::vector<uint32_t>{0, 0, 8, 2, 2, 6}));
  EXPECT_EQ(RandomState(), 2884733762u);

  SetRandomState(12345);
  EXPECT_EQ(Draws(10, 6), (std::vector<uint32_t>{3, 2, 0, 5, 6, 3}));
}

TEST_F(RandomTest, DrawTakesTheUpperHalfOfA64BitProduct) {
  SetRandomState(0);
  RandomBelow(1);                                  // state 1
  EXPECT_EQ(RandomBelow(0x80000000u), 67387907u);  // state 134775814, halved
  SetRandomState(0);
  EXPECT_EQ(RandomBelow(0xFFFFFFFFu), 0u);  // state 1
  EXPECT_EQ(RandomBelow(0xFFFFFFFFu), 134775813u);
}

TEST_F(RandomTest, DrawBelowOneIsZeroButAdvances) {
  SetRandomState(12345);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(RandomBelow(1), 0u);
  EXPECT_EQ(Draws(10, 1), (std::vector<uint32_t>{3}));  // the sixth draw of the 12345 sequence
}

TEST_F(RandomTest, SeedComesFromTheClock) {
  SetTimeOfDayClock([] { return 12345u; });
  SetRandomState(99);
  SeedRandom();
  EXPECT_EQ(RandomState(), 12345u);
  std::vector<uint32_t> first = Draws(1000, 20);
  SeedRandom();  // the same millisecond again gives the same draws
  EXPECT_EQ(Draws(1000, 20), first);

  SetTimeOfDayClock([] { return 86399999u; });
  SeedRandom();
  EXPECT_EQ(RandomState(), 86399999u);
}

TEST_F(RandomTest, SystemClockGivesMillisecondsSinceMidnightUtc) {
  using namespace std::chrono;
  auto msOfDay = [] {
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() % 86400000);
  };
  SetTimeOfDayClock({});
  for (int attempt = 0; attempt < 3; ++attempt) {
    uint32_t before = msOfDay();
    SeedRandom();
    uint32_t after = msOfDay();
    if (after < before) continue;  // midnight passed in between
    EXPECT_GE(RandomState(), before);
    EXPECT_LE(RandomState(), after);
    return;
  }
  ADD_FAILURE() << "clock kept wrapping";
}

}  // namespace
}  // namespace tavrin
