// The conversion of pages from the deck's code page to the view's Unicode text.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine/double_byte.h"
#include "shell/html_view.h"
#include "shell/page_script.h"

namespace {

using tavrin::DecodeText;

std::wstring Utf8(std::string_view bytes) {
  return DecodeText(bytes, tavrin::kCodePageUtf8).ToStdWstring();
}
std::wstring Cp932(std::string_view bytes) {
  return DecodeText(bytes, tavrin::kCodePage932).ToStdWstring();
}

TEST(DecodeText, Utf8KeepsCharactersAndSubstitutesEachBrokenSequenceOnce) {
  EXPECT_EQ(Utf8(""), L"");
  EXPECT_EQ(Utf8("<p>日本</p>"), L"<p>\u65E5\u672C</p>");
  EXPECT_EQ(Utf8("\xF0\x9F\x98\x80"), L"\U0001F600");
  EXPECT_EQ(Utf8("a\x80z"), L"a\uFFFDz");
  EXPECT_EQ(Utf8("a\xC3"), L"a\uFFFD");                              // cut off at the end
  EXPECT_EQ(Utf8("\xE6\x97x"), L"\uFFFDx");                          // a broken start counts once
  EXPECT_EQ(Utf8("\xC0\xAF"), L"\uFFFD\uFFFD");                      // overlong
  EXPECT_EQ(Utf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");            // surrogate
  EXPECT_EQ(Utf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(Utf8("\xFF\xFE"), L"\uFFFD\uFFFD");
}

TEST(DecodeText, CodePage932ReadsShiftJisAndSubstitutesBytesThatFormNoCharacter) {
  EXPECT_EQ(Cp932(""), L"");
  EXPECT_EQ(Cp932("\x93\xFA\x96\x7B"), L"\u65E5\u672C");  // 日本
  EXPECT_EQ(Cp932("\x95\x5C"), L"\u8868");                // 表: a trail byte equal to "\"
  EXPECT_EQ(Cp932("\\~\xB1"), L"\\~\uFF71");              // ASCII stays ASCII; half-width kana
  EXPECT_EQ(Cp932("\x87\x40"), L"\u2460");                // an extension of the code page: ①
  EXPECT_EQ(Cp932("a\x80"
                  "b\xA0"
                  "c\xFD"),
            L"a\uFFFDb\uFFFDc\uFFFD");
  EXPECT_EQ(Cp932("\x85\x40z"), L"\uFFFDz");  // a double-byte code without a character
  EXPECT_EQ(Cp932("\x81 z"), L"\uFFFD z");    // a lead byte without its trail byte
  EXPECT_EQ(Cp932("ok\x82"), L"ok\uFFFD");    // a lead byte at the very end
}

TEST(DecodeText, StaysLinearOverManyBrokenBytes) {
  std::string page;
  for (int i = 0; i < 1 << 20; ++i)
    page +=
        "\x80"
        "A";
  const auto start = std::chrono::steady_clock::now();
  const std::wstring text = Cp932(page);
  const std::wstring utf8 = Utf8(page);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(text.size(), page.size());
  EXPECT_EQ(utf8.size(), page.size());
  EXPECT_EQ(text.substr(0, 4), L"\uFFFDA\uFFFDA");
  // A conversion that started again after each broken byte would take hours.
  EXPECT_LT(spent, std::chrono::seconds(5));
}

TEST(AboutPage, HasAnEmptyTitleTheHeadingAndOneParagraph) {
  const std::string page = tavrin::kAboutPage;
  const std::string head = "<html><head><title></title></head><body><h1>Tavrin 1.1.1</h1><p>";
  const std::string foot = "</p></body></html>";
  ASSERT_TRUE(page.starts_with(head));
  ASSERT_TRUE(page.ends_with(foot));
  const std::string notice = page.substr(head.size(), page.size() - head.size() - foot.size());
  EXPECT_FALSE(notice.empty());
  EXPECT_EQ(notice.find_first_of("<>\n"), std::string::npos);
}

TEST(ScriptString, EscapesWhatWouldEndOrBreakTheLiteralAndKeepsTheRestAsUtf8) {
  const struct {
    const wchar_t* text;
    const char* literal;
  } rows[] = {
      {L"", "\"\""},
      {L"a\"b\\c'", "\"a\\\"b\\\\c'\""},
      {L"</script>\n\r\t", "\"</script>\\u000A\\u000D\\u0009\""},
      {L"\u2028\u2029\u65E5\U0001F600", "\"\\u2028\\u2029\xE6\x97\xA5\xF0\x9F\x98\x80\""},
  };
  for (const auto& row : rows) EXPECT_EQ(tavrin::ScriptString(row.text), row.literal);
  // A zero character does not cut the script short.
  EXPECT_EQ(tavrin::ScriptString(wxString(L"a\0b", 3)), "\"a\\u0000b\"");
}

}  // namespace
