// tavrin-deck, run as its own process: its output lines, report and exit status.

#include <fcntl.h>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using tavrin::testing_support::ReadFile;
using tavrin::testing_support::ScratchFolder;
using tavrin::testing_support::WriteFile;

const std::string kAnimals = std::string(TAVRIN_SOURCE_DIR) + "/examples/animals.txt";
const std::string kVocabularyUtf8 =
    std::string(TAVRIN_SOURCE_DIR) + "/examples/vocabulary-utf8.txt";
const std::string kVocabularyCp932 =
    std::string(TAVRIN_SOURCE_DIR) + "/examples/vocabulary-cp932.txt";

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// The CP932 bytes `bytes` as UTF-8.
std::string Cp932ToUtf8(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(bytes.size() * 2, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* to = out.data();
  std::size_t toLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &to, &toLeft), static_cast<std::size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - toLeft);
  return out;
}

class DeckTool : public testing::Test {
 protected:
  // Writes a deck into the test's folder and gives its path.
  std::string Deck(const std::string& name, const std::string& bytes) {
    return WriteFile(dir_ / name, bytes);
  }

  // Runs the tool with `args`; its stdout goes to `stdoutPath` when given.
  Result Run(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
    const std::string out = stdoutPath.empty() ? dir_ / "stdout" : stdoutPath;
    const std::string err = dir_ / "stderr";
    std::vector<char*> argv{const_cast<char*>(TAVRIN_DECK_TOOL)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(outFd, 1);
      dup2(errFd, 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Result result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (stdoutPath.empty()) result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
  }

  ScratchFolder dir_{"tavrin-deck"};
};

std::string Line(const std::string& name, const std::string& outcome, const std::string& text) {
  return name + "\t" + outcome + "\t" + text + "\n";
}

std::string Page(const std::string& op, const std::string& body, const std::string& color) {
  return Line(op, "page", "<html><body bgcolor=" + color + ">" + body + "</body></html>");
}

TEST_F(DeckTool, WorkedExamplePageByPage) {
  const Result r = Run({"pages", kAnimals, "oooo"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, Page("load", "<p>Animals</p>", "yellow") + Page("ok", "<p>cat</p>", "white") +
                       Page("ok", "<p>cat</p><p>chat</p>", "blue") +
                       Page("ok", "<p>cat</p><p>chat</p><p>Katze</p>", "white") +
                       Page("ok", "<p>dog</p>", "white"));
}

TEST_F(DeckTool, BackAndTheEndsOfTheDeck) {
  // Back from the title opens the first card; Back shows only the first field; at either end the
  // deck stays where it is.
  const Result r = Run({"pages", kAnimals, "boooobbooooooo"});
  const std::string cat = Page("back", "<p>cat</p>", "white");
  const std::string dogAll = Page("ok", "<p>dog</p><p>chien</p><p>Hund</p>", "white");
  EXPECT_EQ(r.out,
            Page("load", "<p>Animals</p>", "yellow") + cat +
                Page("ok", "<p>cat</p><p>chat</p>", "blue") +
                Page("ok", "<p>cat</p><p>chat</p><p>Katze</p>", "white") +
                Page("ok", "<p>dog</p>", "white") + Page("ok", "<p>dog</p><p>chien</p>", "white") +
                cat + cat + Page("ok", "<p>cat</p><p>chat</p>", "blue") +
                Page("ok", "<p>cat</p><p>chat</p><p>Katze</p>", "white") +
                Page("ok", "<p>dog</p>", "white") + Page("ok", "<p>dog</p><p>chien</p>", "white") +
                dogAll + Page("ok", "<p>dog</p>", "white") +
                Page("ok", "<p>dog</p><p>chien</p>", "white"));
}

TEST_F(DeckTool, ShuffleWithAFixedClock) {
  const std::string deck = Deck("five.txt",
                                "|\nInnerHead=|InnerFoot=|OuterHead=|OuterFoot=\nT\n"
                                "c1\nc2\nc3\nc4\nc5\n");
  // Seeded with 43200000 (noon), the generator's draws below 5 exchange the file order into
  // c3 c1 c2 c5 c4; a second shuffle starts from that order. A load restores the file order.
  const Result r = Run({"pages", deck, "sooooosooooolo", "--clock", "43200000"});
  std::string expected = Line("load", "page", "T") + Line("shuffle", "page", "T");
  for (const char* card : {"c3", "c1", "c2", "c5", "c4"}) expected += Line("ok", "page", card);
  expected += Line("shuffle", "page", "T");
  for (const char* card : {"c2", "c3", "c1", "c4", "c5"}) expected += Line("ok", "page", card);
  expected += Line("load", "page", "T") + Line("ok", "page", "c1");
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(Run({"pages", deck, "so", "--clock=43200000"}).out,
            Line("load", "page", "T") + Line("shuffle", "page", "T") + Line("ok", "page", "c3"));
}

TEST_F(DeckTool, DecksThatShowNothing) {
  const std::string nothing = Line("load", "none", "") + Line("ok", "none", "") +
                              Line("back", "none", "") + Line("shuffle", "none", "") +
                              Line("load", "none", "");
  for (const std::string& deck :
       {dir_ / "missing.txt", dir_.Path(), Deck("short.txt", "|\nInnerHead=x\n")}) {
    const Result r = Run({"pages", deck, "obsl"});
    EXPECT_EQ(r.status, 0) << deck;
    EXPECT_EQ(r.out, nothing) << deck;
  }
  // A deck of three lines shows its title and has no cards.
  EXPECT_EQ(Run({"pages", Deck("title.txt", "|\nOuterHead=|OuterFoot=\nT\n"), "o"}).out,
            Line("load", "page", "<p>T</p>") + Line("ok", "none", ""));
}

TEST_F(DeckTool, AnErrorAbandonsOnlyItsOperation) {
  // Under code page 932 a lone lead byte swallows the separator that would close the card.
  const std::string deck =
      Deck("broken.txt", "|\nOuterHead=|OuterFoot=|CommentIntroducer=#\nT\na|b\n\x82\nc\n");
  const std::string indexError = "リストのインデックスが範囲を超えています (0)";
  const Result r = Run({"pages", deck, "ooooo"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Line("load", "page", "<p>T</p>") + Line("ok", "page", "<p>a</p>") +
                       Line("ok", "page", "<p>a</p><p>b</p>") + Line("ok", "error", indexError) +
                       Line("ok", "page", "<p>c</p>") + Line("ok", "page", "<p>c</p>"));

  // A broken title stops the load before the cards are counted.
  const Result title = Run({"pages", Deck("title.txt", "|\nCommentIntroducer=#\nT\x82\na\n"), "o"});
  EXPECT_EQ(title.out, Line("load", "error", indexError) + Line("ok", "none", ""));
}

TEST_F(DeckTool, CodePageChoice) {
  // UTF-8 "あ、": its last byte, 81, is a lead byte under 932 and hides the separator after it.
  const std::string deck =
      Deck("utf8.txt", "|\nOuterHead=|OuterFoot=\nT\n\xE3\x81\x82\xE3\x80\x81|b\n");
  const std::string twoFields = Line("load", "page", "<p>T</p>") +
                                Line("ok", "page", "<p>\xE3\x81\x82\xE3\x80\x81</p>") +
                                Line("ok", "page", "<p>\xE3\x81\x82\xE3\x80\x81</p><p>b</p>");
  EXPECT_EQ(Run({"pages", deck, "oo"}).out, twoFields);
  EXPECT_EQ(Run({"pages", deck, "oo", "--codepage", "65001"}).out, twoFields);
  EXPECT_EQ(Run({"pages", deck, "oo", "--codepage=932"}).out,
            Line("load", "page", "<p>T</p>") +
                Line("ok", "page", "<p>\xE3\x81\x82\xE3\x80\x81|b</p>") +
                Line("ok", "page", "<p>\xE3\x81\x82\xE3\x80\x81|b</p>"));

  // A byte-order mark in front of a UTF-8 deck's separator line is not part of the separator.
  const std::string marked = Deck("bom.txt", "\xEF\xBB\xBF" + ReadFile(deck));
  EXPECT_EQ(Run({"pages", marked, "oo"}).out, twoFields);
  EXPECT_NE(Run({"check", marked}).out.find("Field separator: \"|\"\n"), std::string::npos);
}

TEST_F(DeckTool, VocabularyDeckInBothCodePages) {
  const std::string ops(100, 'o');
  const Result utf8 = Run({"pages", kVocabularyUtf8, ops + "bs", "--clock", "1"});
  const Result cp932 = Run({"pages", kVocabularyCp932, ops + "bs", "--clock", "1"});
  EXPECT_EQ(Cp932ToUtf8(cp932.out), utf8.out);
  EXPECT_EQ(Run({"pages", kVocabularyCp932, ops, "--codepage", "932"}).out,
            Run({"pages", kVocabularyCp932, ops}).out);

  // "ポ" is 83 7C in code page 932: its second byte is the field separator's code.
  const std::string pocket =
      "<p style=\"color:#2b2b2b\">ポケット"
      "<span class=\"tag\">noun</span></p><p style=\"color:#2b2b2b\">poketto"
      "<span class=\"tag\"></span></p><p style=\"color:#2b2b2b\">pocket"
      "<span class=\"tag\"></span></p></body></html>\n";
  EXPECT_NE(utf8.out.find(pocket), std::string::npos);
  // Read as UTF-8, the same line breaks after the first byte of "ポ".
  const Result split = Run({"pages", kVocabularyCp932, ops, "--codepage", "65001"});
  EXPECT_NE(split.out.find("<p style=\"color:#2b2b2b\">\x83<span class=\"tag\"></span></p>"),
            std::string::npos);

  // A colour word's own colour replaces the default one.
  EXPECT_NE(utf8.out.find("<p style=\"color:#c0392b\">赤<span class=\"tag\">colour"),
            std::string::npos);
  for (const std::string& deck : {kVocabularyUtf8, kVocabularyCp932}) {
    const Result check = Run({"check", deck});
    EXPECT_EQ(check.status, 0) << check.out;
    const std::size_t at = check.out.find("\nCards: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GE(std::stoi(check.out.substr(at + 8)), 30);
  }
}

TEST_F(DeckTool, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"show", kAnimals},
      {"pages"},
      {"pages", kAnimals, "ox"},
      {"pages", kAnimals, "o", "extra"},
      {"pages", kAnimals, "--clock"},
      {"pages", kAnimals, "--clock", "86400000"},
      {"pages", kAnimals, "--clock", "-1"},
      {"pages", kAnimals, "--codepage", "1252"},
      {"pages", kAnimals, "--verbose"},
      {"check", kAnimals, "o"},
      {"check", kAnimals, "--clock", "5"},
      {"check", kAnimals, "--format", "xml"},
      {"pages", kAnimals, "--format", "json"},
  };
  for (const auto& args : bad) {
    const Result r = Run(args);
    std::string shown;
    for (const std::string& arg : args) shown += arg + " ";
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_NE(r.err.find("usage: tavrin-deck pages DECK"), std::string::npos) << shown;
  }
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("usage: tavrin-deck pages DECK")) << help.out;
  // Every command and option is listed; -h and help are --help too.
  for (const char* listed : {"check DECK [--codepage auto|932|65001] [--format text|json]\n",
                             "\n--version ", "\n--clock MS ", "\n--format FORMAT "}) {
    EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
  }
  for (const char* alias : {"-h", "help"}) EXPECT_EQ(Run({alias}).out, help.out);
  const Result version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tavrin-deck " TAVRIN_VERSION "\n");
}

TEST_F(DeckTool, OutputThatCannotBeWrittenIsNotSuccess) {
  const Result r = Run({"pages", kAnimals, "oooo"}, "/dev/full");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

TEST_F(DeckTool, CheckReportsAGoodDeck) {
  const Result r = Run({"check", kAnimals});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Deck file: " + kAnimals +
                       "\n"
                       "Lines: 5\n"
                       "Code page: 65001 (UTF-8), chosen from the file's bytes\n"
                       "Field separator: \"|\"\n"
                       "Header settings:\n"
                       "  OuterHead = \"<html><body bgcolor=$1>\"\n"
                       "  InnerHead = \"<p>\"\n"
                       "  InnerFoot = \"</p>\"\n"
                       "  OuterFoot = \"</body></html>\"\n"
                       "  CommentIntroducer = \"#\"\n"
                       "  DefaultParameters = \"#white\"\n"
                       "Default parameters: $1 = \"white\"\n"
                       "Title: \"Animals\"\n"
                       "  $1 = \"yellow\"\n"
                       "Cards: 2\n"
                       "Fields per card: fewest 3, most 3\n"
                       "Problems: none\n");

  const Result partial = Run({"check", Deck("partial.txt", "\t\nInnerHead=<b>\tx\nT\n")});
  EXPECT_EQ(partial.status, 0);
  EXPECT_NE(partial.out.find("Field separator: \"\\t\"\n"), std::string::npos);
  EXPECT_NE(partial.out.find("  InnerHead = \"<b>\"\n  InnerFoot: not in the header, stays "
                             "\"</p>\"\n"),
            std::string::npos)
      << partial.out;
  EXPECT_NE(partial.out.find("Cards: 0\nProblems: none\n"), std::string::npos);

  const Result cp932 = Run({"check", kVocabularyCp932});
  EXPECT_NE(cp932.out.find("Code page: 932 (Shift-JIS), chosen from the file's bytes\n"
                           "Field separator: \"|\"\n"),
            std::string::npos);
  EXPECT_NE(cp932.out.find("Title: \"日本語と英語の単語\"\n"), std::string::npos);
  EXPECT_NE(cp932.out.find("Fields per card: fewest 3, most 4\n"), std::string::npos);
}

TEST_F(DeckTool, CheckNamesEveryFailingLine) {
  const std::string deck =
      Deck("broken.txt", "|\nCommentIntroducer=#\nT\x82\nok|fine\n\x82\na|b\nx\x82y\x82\n");
  const Result r = Run({"check", deck});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Title: cannot be shown (see line 3 below)\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nProblems: 3\n  line 3: the title ends in half a double-byte character "
                       "(byte 82)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n  line 5: the card ends in half a double-byte character (byte 82), "),
            std::string::npos);
  EXPECT_NE(r.out.find("\n  line 7: the card ends"), std::string::npos);
  EXPECT_NE(r.out.find("opening the card stops with an error\n"), std::string::npos);

  // Without the double-byte rule nothing is broken.
  EXPECT_EQ(Run({"check", deck, "--codepage", "65001"}).status, 0);

  // With no field separator the whole line is the one field, cut only at the introducer.
  const std::string joinedDeck = Deck("joined.txt", "\nCommentIntroducer=#\nT\nab\x82\n");
  const Result joined = Run({"check", joinedDeck});
  EXPECT_EQ(joined.status, 1);
  EXPECT_NE(joined.out.find("\n  line 4: field 1 ends in half a double-byte character (byte 82)"),
            std::string::npos)
      << joined.out;
  EXPECT_NE(Run({"pages", joinedDeck, "o"}).out.find("ok\terror\t"), std::string::npos);
}

TEST_F(DeckTool, CheckOfShortOrMissingDecks) {
  const Result empty = Run({"check", Deck("empty.txt", "")});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("  deck: the deck has 0 lines, but it needs at least three"),
            std::string::npos);
  EXPECT_EQ(Run({"check", Deck("two.txt", "|\nx\n")}).status, 1);
  // A UTF-16 file, in either byte order, is read as UTF-8; a picture is named as no text.
  const struct {
    std::string bytes;
    std::string ending;
  } rows[] = {
      {"\xFF\xFE|\0\n\0"s, "  deck: the deck has 1 line, but it needs at least three"},
      {"\xFE\xFF\0|\0\n\0h\0\n\0T"s, "Code page: 65001 (UTF-8), UTF-16, read as UTF-8\n"},
      {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, "  deck: the file is not text (it holds a zero byte"},
  };
  for (const auto& row : rows) {
    const Result r = Run({"check", Deck("utf16.txt", row.bytes)});
    EXPECT_NE(r.out.find(row.ending), std::string::npos) << r.out;
  }

  const std::string missing = dir_ / "missing.txt";
  for (const std::string& deck : {missing, dir_.Path()}) {
    const Result r = Run({"check", deck});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(deck), std::string::npos) << r.err;
  }
}

TEST_F(DeckTool, CheckOfAnUnreadableDeck) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  const std::string locked = Deck("locked.txt", "|\n\nT\n");
  fs::permissions(locked, fs::perms::none);
  const Result r = Run({"check", locked});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(locked), std::string::npos);
}

TEST_F(DeckTool, CheckWarnsOfEmptyFieldsThatVanish) {
  // Exit status 0 despite warnings. Under 932 the first "|" of "\x83||" is the second byte of a
  // character; a separator at either end of a line doubles nothing.
  std::string deck = "|\n\nT\n";
  std::string named;  // the first 20 lines, then a count
  for (int line = 4; line <= 25; ++line) {
    deck += "hund||dog\n";
    if (line <= 23) named += "    line " + std::to_string(line) + ": 2 fields\n";
  }
  const Result r = Run({"check", Deck("doubled.txt", deck + "\x83||x\n|a|\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("empty fields vanish at doubled separators \"||\" and the fields after"),
            std::string::npos);
  EXPECT_TRUE(r.out.ends_with("put a space or &nbsp; into an empty field (22 card lines):\n" +
                              named + "    and 2 more lines\n"));
}

TEST_F(DeckTool, CheckNamesTheLinesThatDecideTheCodePage) {
  // One line typed in Latin-1 makes a UTF-8 deck read as 932.
  const Result latin1 = Run(
      {"check", Deck("latin1.txt", "|\n\nW\xC3\xB6rter\nK\xC3\xA4se|cheese\nCaf\xE9|coffee\n")});
  EXPECT_EQ(latin1.status, 0);
  EXPECT_NE(latin1.out.find("not valid UTF-8, so the deck is read as code page 932; without these "
                            "lines it would be read as UTF-8 (1 line):\n    line 5\n"),
            std::string::npos);
  // Lines of UTF-8 text, lines that are not UTF-8: only fewer of the second are taken for slips.
  for (const auto& [utf8Lines, otherLines] : {std::pair{2, 1}, {1, 1}, {2, 2}, {3, 2}, {0, 1}}) {
    std::string deck = "|\n\nT\n";
    for (int i = 0; i < utf8Lines; ++i) deck += "K\xC3\xA4se|cheese\n";
    for (int i = 0; i < otherLines; ++i) deck += "Caf\xE9|coffee\n";
    const Result r = Run({"check", Deck("mixed.txt", deck)});
    EXPECT_EQ(r.out.find("it would be read as UTF-8") != std::string::npos, otherLines < utf8Lines)
        << utf8Lines << " " << otherLines << "\n"
        << r.out;
  }
  // A lone lead byte and a code without a character do not convert; a deck meant as 932 is not
  // said to be UTF-8. A line longer than the converter's buffer converts all the same.
  std::string longLine;
  for (int i = 0; i < 700; ++i) longLine += "\x93\xFA\x96\x7B";  // 日本
  const Result cp932 = Run({"check",
                            Deck("cp932.txt", "|\n\n" + longLine + "\na\x81 b\n\x83|\n\x85\x40\n" +
                                                  longLine + "|" + longLine + "\n"),
                            "--codepage=932"});
  EXPECT_EQ(cp932.status, 0);
  EXPECT_TRUE(cp932.out.ends_with("valid code page 932 (2 lines):\n    line 4\n    line 6\n"))
      << cp932.out.substr(cp932.out.size() - std::min<std::size_t>(cp932.out.size(), 300));
  EXPECT_NE(cp932.out.find("\nTitle: \"" + Cp932ToUtf8(longLine) + "\"\n"), std::string::npos);
  EXPECT_EQ(Run({"check", kVocabularyCp932}).out.find("Warnings"), std::string::npos);
}

TEST_F(DeckTool, CheckWarnsOfTextThePageHides) {
  // Lines 4 to 6 hide a word, in a field, an end tag and a parameter; real markup hides nothing.
  const std::string deck = Deck("tags.txt",
                                "|\nCommentIntroducer=#\nT\nMolch|<Aalmolch> newt\nx|</Zahl>\n"
                                "x#<Wort>|y\n<b>bold</B>|<img src=\"a.png\"><br/>\n"
                                "<!-- note -->|a < b, <3|<ruby>\xE6\xBC\xA2<rt>kan</rt></ruby>\n"
                                "<svg><circle r=\"1\"/></svg>\n");
  const Result r = Run({"check", deck});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(
      r.out.ends_with("text that the page takes for an unknown HTML tag and hides; write "
                      "&lt; for < (3 card lines):\n    line 4: <Aalmolch>\n"
                      "    line 5: <Zahl>\n    line 6: <Wort>\n"));
}

TEST_F(DeckTool, CheckQuotesEveryCharacterOfItsTexts) {
  // Every character that a line can hold, and a byte that is no character: escaped in the text
  // report, as they are in the JSON one, where the byte becomes U+FFFD.
  std::string title, shown;
  for (int c = 1; c < 0x80; ++c) {
    if (c == '\n' || c == '\r' || c == '#') continue;
    title += static_cast<char>(c);
    if (c == '"' || c == '\\') {
      shown += "\\" + std::string(1, static_cast<char>(c));
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  const std::string deck =
      Deck("quotes.txt", "|\nCommentIntroducer=#\n" + title + "\xFF\xE6\x97\xA5#a\"b\n");
  const Result text = Run({"check", deck, "--codepage", "65001"});
  EXPECT_NE(text.out.find("\nTitle: \"" + shown + "\\xFF\xE6\x97\xA5\"\n  $1 = \"a\\\"b\"\n"),
            std::string::npos)
      << text.out;
  const auto json =
      nlohmann::json::parse(Run({"check", deck, "--codepage", "65001", "--format=json"}).out);
  EXPECT_EQ(json["title"], nlohmann::json({{"text", title + "\xEF\xBF\xBD\xE6\x97\xA5"},
                                           {"parameters", {"a\"b"}}}));
}

TEST_F(DeckTool, CheckAsJson) {
  const std::string broken =
      Deck("broken.txt", "|\nCommentIntroducer=#\nT#big\nhund||dog\n\x82\n<Molch>\n");
  const std::string shortDeck = Deck("short.txt", "|\nx\n");
  const std::string missing = dir_ / "missing.txt";
  for (const std::string& deck : {kAnimals, broken, shortDeck, missing}) {
    const Result json = Run({"check", deck, "--format", "json"});
    EXPECT_EQ(json.status, Run({"check", deck}).status) << deck;
    EXPECT_EQ(json.out.empty(), deck == missing) << deck;
  }

  // The whole object, but for the header's six settings (two tried) and a problem's reason.
  auto j = nlohmann::json::parse(Run({"check", broken, "--format=json"}).out);
  EXPECT_EQ(j["header_settings"]["CommentIntroducer"]["in_header"], true);
  EXPECT_EQ(j["header_settings"]["InnerHead"],
            nlohmann::json({{"in_header", false}, {"value", "<p>"}}));
  EXPECT_TRUE(j["problems"][0]["reason"].get<std::string>().starts_with("the card ends in half"));
  j.erase("header_settings");
  j["problems"][0].erase("reason");
  j["deck_file"] = j["deck_file"] == broken;
  EXPECT_EQ(j, nlohmann::json::parse(R"({"deck_file": true, "lines": 6, "code_page": 932,
      "code_page_reason": "chosen from the file's bytes", "field_separator": "|",
      "default_parameters": [], "title": {"text": "T", "parameters": ["big"]}, "cards": 3,
      "fields_per_card": {"fewest": 0, "most": 2},
      "problems": [{"line": 5, "kind": "splits_to_nothing"}],
      "warnings": {"empty_fields_dropped": [{"line": 4, "fields": 2}], "not_utf8": [],
                   "not_cp932": [5], "unknown_tags": [{"line": 6, "tag": "Molch"}]}})"));

  const auto s = nlohmann::json::parse(Run({"check", shortDeck, "--format", "json"}).out);
  EXPECT_TRUE(s["code_page"].is_null() && s["title"].is_null() &&
              s["problems"][0]["line"].is_null() && s["problems"][0]["kind"] == "too_few_lines");
}

}  // namespace
