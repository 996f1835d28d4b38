#include "shell/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/error.h"
#include "settings_test_support.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using namespace settings_testing;

// ---- Values ------------------------------------------------------------------------------------

TEST_F(SettingsTest, EveryKindOfValueReadsBackAsWritten) {
  std::string highBytes;
  for (int b = 0x80; b <= 0xFF; ++b) highBytes += static_cast<char>(b);
  const std::vector<std::string> values = {
      "",           "  blanks around  ", "\t tab",
      "\"quoted\"", "a=b==c=",           "; not a comment",
      "[Main]",     highBytes,           std::string(2047, 'v'),
  };
  SettingsFile settings(path_);
  const int n = static_cast<int>(values.size());
  // The second round rewrites each key in place with a value of another length.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < n; ++i) {
      settings.WriteText("HTML", "Key" + std::to_string(i), values[round ? n - 1 - i : i]);
      settings.WriteText("Main", "Key" + std::to_string(i), values[round ? i : n - 1 - i]);
    }
  }
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(settings.ReadText("HTML", "Key" + std::to_string(i), "-"), values[n - 1 - i]) << i;
    EXPECT_EQ(settings.ReadText("Main", "Key" + std::to_string(i), "-"), values[i]) << i;
  }
  std::string text = ReadFile(path_);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 2 * n);

  // 2048 bytes are stored whole, read cut to 2047, and a close writes them back cut.
  std::string long2048 = std::string(2047, 'a') + "b";
  settings.WriteText("HTML", "OuterHead", long2048);
  EXPECT_NE(ReadFile(path_).find("=" + long2048 + "\n"), std::string::npos);
  FakeWindow window;
  ShellSettings loaded = LoadSettings(settings, window);
  EXPECT_EQ(loaded.Templates.OuterHead, std::string(2047, 'a'));
  SaveSettings(settings, window, loaded);
  EXPECT_EQ(ReadFile(path_).find(long2048), std::string::npos);
}

TEST_F(SettingsTest, NumbersAndFlags) {
  SettingsFile settings(path_);
  settings.WriteNumber("Main", "Min", INT32_MIN);
  settings.WriteNumber("Main", "Zero", 0);
  settings.WriteNumber("Main", "Max", INT32_MAX);
  settings.WriteFlag("Main", "Yes", true);
  settings.WriteFlag("Main", "No", false);
  EXPECT_EQ(ReadFile(path_), "[Main]\nMin=-2147483648\nZero=0\nMax=2147483647\nYes=1\nNo=0\n");

  const std::vector<std::pair<std::string, int32_t>> numbers = {{"0x10", 16},
                                                                {"$10", 16},
                                                                {"x10", 16},
                                                                {"X1f", 31},
                                                                {"0XfF", 255},
                                                                {"$FFFFFFFF", -1},
                                                                {" 16", 16},
                                                                {" \t0x10", 16},
                                                                {"-16", -16},
                                                                {"+16", 16},
                                                                {"00016", 16},
                                                                {"-2147483648", INT32_MIN},
                                                                {"2147483647", INT32_MAX},
                                                                // Refused: the default 7.
                                                                {"16px", 7},
                                                                {"+0x10", 7},
                                                                {"-$10", 7},
                                                                {"16 ", 7},
                                                                {"2147483648", 7},
                                                                {"-2147483649", 7},
                                                                {"99999999999999999999", 7},
                                                                {"$123456789", 7},
                                                                {"$", 7},
                                                                {"0x", 7},
                                                                {"", 7},
                                                                {"  ", 7},
                                                                {"- 5", 7},
                                                                {"+", 7},
                                                                {"0x-1", 7},
                                                                {"FF", 7},
                                                                {"0x1G", 7}};
  for (const auto& [text, expected] : numbers) {
    settings.WriteText("Main", "Top", text);
    EXPECT_EQ(settings.ReadNumber("Main", "Top", 7), expected) << "'" << text << "'";
  }
  EXPECT_EQ(settings.ReadNumber("Main", "Absent", 7), 7);
  EXPECT_EQ(settings.ReadNumber("Absent", "Top", -3), -3);

  const std::vector<std::pair<std::string, bool>> flags = {
      {"2", true}, {"-1", true}, {"0x0", false}, {"yes", false}, {"true", false}};
  for (const auto& [text, expected] : flags) {
    settings.WriteText("Main", "Maximized", text);
    EXPECT_EQ(settings.ReadFlag("Main", "Maximized", false), expected) << text;
  }
  EXPECT_TRUE(settings.ReadFlag("Main", "Maximized", true));  // "true" is no number
  EXPECT_TRUE(settings.ReadFlag("Main", "Absent", true));
}

// ---- Files written elsewhere -----------------------------------------------------------------

TEST_F(SettingsTest, WindowsFileIsReadAndRewrittenWithForeignLinesIntact) {
  WriteFile(path_,
            "; Written by hand\r\n"
            "[other]\r\ntop=999\r\n\r\n"
            "[ main ]\r\n"
            "TOP=12\r\n"
            "  left  = -5\r\n"
            "Width=0x320\r\n"
            "filename=C:\\Decks\\\x93\xfa\x96\x7b.txt\r\n"
            "Unknown line without equals\r\n"
            "; trailing comment of main\r\n\r\n"
            "[Html]\r\nOuterHead=<body bgcolor=\"#ffffff\">\r\n"
            "[Main]\r\nHeight=1\r\n"
            "[Extra]\r\nKey=Value with trailing blanks   \r\n");
  SettingsFile settings(path_);
  EXPECT_EQ(settings.ReadNumber("MAIN", "left", 0), -5);
  EXPECT_EQ(settings.ReadText("Main", "FileName", ""), "C:\\Decks\\\x93\xfa\x96\x7b.txt");
  EXPECT_EQ(settings.ReadText("Extra", "Key", ""), "Value with trailing blanks");

  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(window.normal.top, 12);
  EXPECT_EQ(window.normal.width, 800);
  EXPECT_EQ(window.normal.height, 300);  // only the first section of a name counts
  EXPECT_EQ(values.Templates.OuterHead, "<body bgcolor=\"#ffffff\">");
  values.FileName = "/decks/new.txt";
  SaveSettings(settings, window, values);
  EXPECT_EQ(ReadFile(path_),
            "; Written by hand\r\n"
            "[other]\r\ntop=999\r\n\r\n"
            "[ main ]\r\n"
            "TOP=12\r\n"
            "  left  =-5\r\n"
            "Width=800\r\n"
            "filename=/decks/new.txt\r\n"
            "Unknown line without equals\r\n"
            "Maximized=0\r\nHeight=300\r\nButtonHeight=50\r\nButtonWidth=80\r\n"
            "; trailing comment of main\r\n\r\n"
            "[Html]\r\nOuterHead=<body bgcolor=\"#ffffff\">\r\n"
            "OuterFoot=</body></html>\r\nInnerHead=<p>\r\nInnerFoot=</p>\r\n"
            "[Main]\r\nHeight=1\r\n"
            "[Extra]\r\nKey=Value with trailing blanks   \r\n"
            "[View]\r\nZoom=100\r\n");
}

TEST_F(SettingsTest, LineLayoutOfTheFileIsKept) {
  SettingsFile settings(path_);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[Main]\nTop=1", "[Main]\nTop=1\nLeft=2\n"},
      {"stray text", "stray text\n[Main]\nLeft=2\n"},
      {"[Main]\r\nTop=1\r", "[Main]\r\nTop=1\r\nLeft=2\r\n"},
      {"\xEF\xBB\xBF[Main]\r\nLeft=5\r\n", "\xEF\xBB\xBF[Main]\r\nLeft=2\r\n"},
      {"[Main]\r\nLeft=a b \r\n[HTML]\n", "[Main]\r\nLeft=2\r\n[HTML]\n"},
  };
  for (const auto& [before, after] : cases) {
    WriteFile(path_, before);
    settings.WriteNumber("Main", "Left", 2);
    EXPECT_EQ(ReadFile(path_), after);
  }
  WriteFile(path_, "\xEF\xBB\xBF[Main]\r\nFileName=a b \r\n");
  EXPECT_EQ(settings.ReadText("Main", "FileName", ""), "a b");
}

// `text` as UTF-16 with its byte-order mark.
std::string Utf16(std::u16string_view text, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    out.append({little ? low : high, little ? high : low});
  }
  return out;
}

TEST_F(SettingsTest, FilesWrittenOnWindowsReadAsThere) {
  struct Case {
    std::string file, key, expected;
  };
  std::vector<Case> cases = {
      {"[Main]\nWidth=702 \n", "Width", "702"},
      {"[Main]\nWidth = \"702\" \n", "Width", "702"},
      {"[Main]\nFileName = /home/me/decks/words.txt\n", "FileName", "/home/me/decks/words.txt"},
      {"[Main]\nFileName=\t a b \t\n", "FileName", "a b"},
      {"[Main]\nFileName=\"/home/me/My Decks/words.txt\"\n", "FileName",
       "/home/me/My Decks/words.txt"},
      {"[Main]\nFileName=' quoted '\n", "FileName", " quoted "},
      {"[Main]\nFileName=\"\"\n", "FileName", ""},
      {"[Main]\nFileName=   \n", "FileName", ""},
      {"[Main]\nFileName=\"\n", "FileName", "\""},
      {"[Main]\nFileName=\"mixed'\n", "FileName", "\"mixed'"},
      {"[Main]\nFileName=\"\"x\"\"\n", "FileName", "\"x\""},
      {"  [ main ]  \r\n  FILENAME  =x\r\n", "FileName", "x"},
      {"[Main]\rTop=5\rFileName=cr\r", "FileName", "cr"},
      {"[Main]\r\nTop=5\r\n\x1A[Main]\r\nFileName=after\r\n", "FileName", "-"},
      {"[Main]\r\nFileName=before\x1A\r\n", "FileName", "before"},
      {Utf16(u"[Main]\r\nFileName = \"C:\\\u65E5\u672C\U0001F600.txt\" \r\n", true), "FileName",
       "C:\\\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80.txt"},
      {Utf16(u"[Main]\rWidth=702\r\x1A[Main]\r\n", false), "Width", "702"},
      // A cut through a character drops it whole.
      {Utf16(u"[Main]\nFileName=\"" + std::u16string(2046, u'a') + u"\u00E9\"", true), "FileName",
       std::string(2046, 'a')},
  };
  // Each width of character at each place around the cut: a UTF-16 file loses a character that
  // the cut would split, a file of bytes is cut at the byte.
  const std::pair<std::u16string, std::string> characters[] = {{u"a", "a"},
                                                               {u"\u00E9", "\xC3\xA9"},
                                                               {u"\u65E5", "\xE6\x97\xA5"},
                                                               {u"\U0001F600", "\xF0\x9F\x98\x80"}};
  for (const auto& [wide, utf8] : characters) {
    for (std::size_t before = 2047 - utf8.size(); before <= 2047; ++before) {
      const std::string value = std::string(before, 'x') + utf8 + "yy";
      const bool whole = before + utf8.size() <= 2047;
      for (bool little : {true, false}) {
        cases.push_back(
            {Utf16(u"[Main]\r\nFileName=" + std::u16string(before, u'x') + wide + u"yy\r\n",
                   little),
             "FileName", whole ? value.substr(0, 2047) : std::string(before, 'x')});
      }
      cases.push_back({"[Main]\nFileName=" + value + "\n", "FileName", value.substr(0, 2047)});
    }
  }
  for (const Case& c : cases) {
    WriteFile(path_, c.file);
    EXPECT_EQ(SettingsFile(path_).ReadText("Main", c.key, "-"), c.expected) << c.file;
  }
  WriteFile(path_, "[Main]\nWidth = \"702\" \nMaximized=1 \n[HTML]\nOuterHead=\"\"\n");
  FakeWindow window;
  ShellSettings values = LoadSettings(SettingsFile(path_), window);
  EXPECT_EQ(window.normal.width, 702);
  EXPECT_TRUE(window.maximized);
  EXPECT_EQ(values.Templates.OuterHead, kDefaultStartupTemplates.OuterHead);
}

TEST_F(SettingsTest, ValuesWithBlanksOrQuotesRoundTripInEachEncoding) {
  ShellSettings values;
  values.FileName = " /home/me/My Decks/\xE6\x97\xA5\xE6\x9C\xAC.txt\t";
  values.Templates = {"\"<html>\"", "'</html>'", " <div class=\"card\"> ", "\"\""};
  const std::vector<std::string> files = {
      "", "[Main]\r\nFileName=old\r\n; kept\r\n",
      Utf16(u"; \u65E5\u672C\r\n[Main]\r\nFileName=old\r\n", true),
      Utf16(u"; \u65E5\u672C\r\n", false)};
  for (const std::string& before : files) {
    WriteFile(path_, before);
    SettingsFile settings(path_);
    FakeWindow window;
    SaveSettings(settings, window, values);
    ShellSettings read = LoadSettings(settings, window);
    EXPECT_EQ(read.FileName, values.FileName) << before;
    EXPECT_EQ(read.Templates.OuterHead, values.Templates.OuterHead);
    EXPECT_EQ(read.Templates.OuterFoot, values.Templates.OuterFoot);
    EXPECT_EQ(read.Templates.InnerHead, values.Templates.InnerHead);
    EXPECT_EQ(read.Templates.InnerFoot, values.Templates.InnerFoot);
    // A value that reads back changed is quoted; a UTF-16 file stays UTF-16, its lines kept.
    const std::string after = ReadFile(path_);
    if (before.starts_with("[Main]")) {
      EXPECT_TRUE(after.starts_with("[Main]\r\nFileName=\"" + values.FileName + "\"\r\n")) << after;
      EXPECT_NE(after.find("\r\n; kept\r\n"), std::string::npos);
    } else if (!before.empty()) {
      const bool little = before[0] == '\xFF';
      EXPECT_TRUE(after.starts_with(Utf16(u"; \u65E5\u672C\r\n[Main]\r\n", little)));
      std::string line = Utf16(u"FileName=\" /home/me/My Decks/\u65E5\u672C.txt\t\"\r\n", little);
      EXPECT_NE(after.find(line.substr(2)), std::string::npos);
      EXPECT_EQ(after.size() % 2, 0u);
    }
  }
}

// ---- Start-up and close ------------------------------------------------------------------------

TEST_F(SettingsTest, FirstRunReadsDefaultsAndItsCloseCreatesAllKeysInOrder) {
  FakeWindow window;
  ShellSettings values = LoadSettings(window);
  EXPECT_EQ(values.ButtonHeight, 46);
  EXPECT_EQ(values.ButtonWidth, 75);
  EXPECT_EQ(values.FileName, "");
  EXPECT_EQ(values.Templates.OuterHead, "<html><head><title>Tavrin</title></head><body>");
  EXPECT_EQ(values.Templates.InnerFoot, "</p>");
  EXPECT_EQ(window.normal.top, -7);  // no file: the window keeps its placement
  EXPECT_EQ(window.normal.height, 480);
  EXPECT_FALSE(fs::exists(configHome_));

  window.maximized = true;
  const std::string path = configHome_ + "/tavrin/settings_test.ini";
  // "Maximized" is taken before the window is restored, the edges only after; the file is written
  // once, after both.
  std::string atRestore;
  window.onRestore = [&] {
    atRestore = SettingsFile(path).ReadText("Main", "Maximized", "-") +
                SettingsFile(path).ReadText("Main", "Top", "-");
  };
  SaveSettings(window, values);
  EXPECT_EQ(atRestore, "--");
  EXPECT_EQ(ReadFile(path),
            "[Main]\nMaximized=1\nTop=-7\nLeft=-8\nWidth=640\nHeight=480\nButtonHeight=50\n"
            "ButtonWidth=80\nFileName=\n"
            "[HTML]\nOuterHead=<html><head><title>Tavrin</title></head><body>\n"
            "OuterFoot=</body></html>\nInnerHead=<p>\nInnerFoot=</p>\n[View]\nZoom=100\n");
  struct stat st;
  ASSERT_EQ(::stat((configHome_ + "/tavrin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // The next run opens maximized with the normal placement behind it.
  FakeWindow next;
  EXPECT_EQ(LoadSettings(next).ButtonWidth, 80);
  EXPECT_EQ(next.setMaximizedCalls, 1);
  EXPECT_EQ(next.normal.left, -8);
  EXPECT_EQ(next.normal.width, 640);
}

TEST_F(SettingsTest, PlacementIsReadOnlyWhenTheFileExists) {
  SettingsFile settings(path_);
  WriteFile(path_, "[HTML]\nInnerHead=<div>\n");
  FakeWindow window;
  LoadWindowPlacement(settings, window);
  EXPECT_EQ(window.normal.top, 0);
  EXPECT_EQ(window.normal.left, 0);
  EXPECT_EQ(window.normal.width, 400);
  EXPECT_EQ(window.normal.height, 300);
  EXPECT_EQ(window.setMaximizedCalls, 0);

  WriteFile(path_, "[Main]\nTop=0x10\nLeft=$10\nWidth=16px\nMaximized=2\n");
  FakeWindow other;
  LoadWindowPlacement(settings, other);
  EXPECT_EQ(other.normal.top, 16);
  EXPECT_EQ(other.normal.left, 16);
  EXPECT_EQ(other.normal.width, 400);
  EXPECT_EQ(other.setMaximizedCalls, 1);
}

TEST_F(SettingsTest, EmptyTemplateComesBackAsItsDefaultAndIsWrittenSo) {
  WriteFile(path_, "[HTML]\nOuterHead=\nInnerFoot=</p></div>\n");
  SettingsFile settings(path_);
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(values.Templates.OuterHead, kDefaultStartupTemplates.OuterHead);
  EXPECT_EQ(values.Templates.InnerFoot, "</p></div>");
  SaveSettings(settings, window, values);
  EXPECT_EQ(settings.ReadText("HTML", "OuterHead", ""), kDefaultStartupTemplates.OuterHead);
  EXPECT_NE(ReadFile(path_).find("\nFileName=\n"), std::string::npos);
}

TEST_F(SettingsTest, UnstorableTextIsRefusedAndLeavesTheFileAlone) {
  SettingsFile settings(path_);
  settings.WriteText("Main", "FileName", "before");
  const std::string before = ReadFile(path_);
  const std::vector<std::vector<std::string>> refused = {
      {"Main", "FileName", "a\n[Main]\nTop=9"},
      {"Main", "FileName", std::string("a\0b", 3)},
      {"Main", "FileName", "abc\r"},
      {"Main", "FileName", "\r"},
      {"Main", "FileName", "carriage\rreturn"},
      {"Ma]in", "Key", "v"},
      {"Main", "K=ey", "v"},
      {"Main", " ", "v"},
      {"Main", "[Key", "v"}};
  for (const auto& r : refused) {
    EXPECT_THROW(settings.WriteText(r[0], r[1], r[2]), Error) << r[0] << " " << r[1];
    // Beside writable keys, it leaves them unwritten too.
    EXPECT_THROW(settings.WriteTexts({{"Main", "Top", "5"}, {r[0], r[1], r[2]}}), Error);
  }
  EXPECT_EQ(ReadFile(path_), before);

  // A file name that cannot be stored is forgotten rather than blocking every close.
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  values.FileName = "/decks/two\nlines.txt";
  values.Templates.InnerHead = "<p>\r";
  SaveSettings(settings, window, values);
  EXPECT_EQ(settings.ReadText("Main", "FileName", "-"), "");
  EXPECT_EQ(settings.ReadText("HTML", "InnerHead", "-"), "<p>");
}

TEST_F(SettingsTest, ZoomRoundTripsAndAnUnusableOneIsOneHundred) {
  SettingsFile settings(path_);
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(values.Zoom, 100);
  values.Zoom = 30;
  SaveSettings(settings, window, values);
  EXPECT_TRUE(ReadFile(path_).ends_with("InnerFoot=</p>\n[View]\nZoom=30\n"));
  EXPECT_EQ(LoadSettings(settings, window).Zoom, 30);
  for (const char* bad : {"29", "301", "big", "", "-100"}) {
    settings.WriteText("View", "Zoom", bad);
    EXPECT_EQ(LoadSettings(settings, window).Zoom, 100) << bad;
  }
  settings.WriteText("View", "Zoom", "300");
  EXPECT_EQ(LoadSettings(settings, window).Zoom, 300);
}

// ---- Where the file lies -----------------------------------------------------------------------

TEST_F(SettingsTest, FileLiesBesideTheExecutableOnlyWhenItExists) {
  std::string bin = dir_ + "/My.Tools";
  std::string home = dir_ + "/home";
  std::string config = configHome_ + "/tavrin/";
  fs::create_directory(bin);
  auto where = [&](const std::string& exe) { return SettingsFilePath(exe, configHome_, home); };
  EXPECT_EQ(where(bin + "/cards.exe"), config + "cards.ini");
  EXPECT_EQ(where(bin + "/cards.old.exe"), config + "cards.old.ini");
  EXPECT_EQ(where(bin + "/cards"), config + "cards.ini");
  // A portable install: the file beside the executable wins; a folder of that name does not.
  WriteFile(bin + "/cards.ini", "");
  WriteFile(bin + "/cards.old.ini", "");
  fs::create_directory(bin + "/tavrin.ini");
  EXPECT_EQ(where(bin + "/cards.exe"), bin + "/cards.ini");
  EXPECT_EQ(where(bin + "/cards"), bin + "/cards.ini");
  EXPECT_EQ(where(bin + "/cards.old.exe"), bin + "/cards.old.ini");
  EXPECT_EQ(where(bin + "/tavrin"), config + "tavrin.ini");
  // An executable replaced while it runs keeps its name; an unknown one is "tavrin".
  EXPECT_EQ(where("/usr/bin/tavrin (deleted)"), config + "tavrin.ini");
  EXPECT_EQ(where(""), config + "tavrin.ini");

  // XDG_CONFIG_HOME when set and absolute, else ~/.config.
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", "", home), home + "/.config/tavrin/tavrin.ini");
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", "cfg", home), home + "/.config/tavrin/tavrin.ini");
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", configHome_ + "/", home), config + "tavrin.ini");
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", "", ""), "/usr/bin/tavrin.ini");
  // The running program is this test.
  EXPECT_EQ(OpenSettingsFile()->Path(), config + "settings_test.ini");
}

}  // namespace
}  // namespace tavrin
