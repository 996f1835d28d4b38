#include "shell/settings.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/text.h"
#include "settings_writer.h"

namespace tavrin {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A main window without a display. Restore() leaves the maximized state, as the real one does.
class FakeWindow : public SettingsWindow {
 public:
  struct Rect {
    int32_t top, left, width, height;
  };
  Rect normal{-7, -8, 640, 480};
  Rect maximizedRect{0, 0, 1920, 1080};
  bool maximized = false;
  int setMaximizedCalls = 0;
  int32_t buttonHeight = 50;
  int32_t buttonWidth = 80;
  std::function<void()> onRestore;

  const Rect& Shown() const { return maximized ? maximizedRect : normal; }
  int32_t Top() const override { return Shown().top; }
  int32_t Left() const override { return Shown().left; }
  int32_t Width() const override { return Shown().width; }
  int32_t Height() const override { return Shown().height; }
  bool IsMaximized() const override { return maximized; }
  void SetTop(int32_t v) override { normal.top = v; }
  void SetLeft(int32_t v) override { normal.left = v; }
  void SetWidth(int32_t v) override { normal.width = v; }
  void SetHeight(int32_t v) override { normal.height = v; }
  void SetMaximized() override {
    ++setMaximizedCalls;
    maximized = true;
  }
  void Restore() override {
    maximized = false;
    if (onRestore) onRestore();
  }
  int32_t OpenButtonHeight() const override { return buttonHeight; }
  int32_t OpenButtonWidth() const override { return buttonWidth; }
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavrin-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Open to all, so that a child running as another user can reach the files.
    ::chmod(dir_.c_str(), 0755);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) oldConfigHome_ = old;
    hadConfigHome_ = old != nullptr;
    configHome_ = dir_ + "/config";
    ::setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
    path_ = dir_ + "/settings.ini";
  }
  void TearDown() override {
    // Folders made read-only by a test must be writable again to be removed.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
      if (entry.is_directory() && !entry.is_symlink()) ::chmod(entry.path().c_str(), 0755);
    }
    std::filesystem::remove_all(dir_);
    if (hadConfigHome_) {
      ::setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }

  std::string dir_;
  std::string configHome_;
  std::string path_;

 private:
  std::string oldConfigHome_;
  bool hadConfigHome_ = false;
};

// ---- Values ------------------------------------------------------------------------------------

TEST_F(SettingsTest, EveryKindOfValueReadsBackAsWritten) {
  std::string highBytes;
  for (int b = 0x80; b <= 0xFF; ++b) highBytes += static_cast<char>(b);
  const std::vector<std::string> values = {
      "",
      "  leading and trailing blanks  ",
      "\t tab first",
      "\"quoted\"",
      "'single'",
      "a=b==c=",
      "; looks like a comment",
      "# so does this",
      "[Looks like a section]",
      "carriage\rreturn inside",
      highBytes,
      std::string(2047, 'v'),
  };
  SettingsFile settings(path_);
  for (std::size_t i = 0; i < values.size(); ++i) {
    settings.WriteText("Main", "Key" + std::to_string(i), values[i]);
  }
  // A second round rewrites each key in place with a value of another length.
  for (std::size_t i = 0; i < values.size(); ++i) {
    settings.WriteText("HTML", "Key" + std::to_string(i), values[values.size() - 1 - i]);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(settings.ReadText("Main", "Key" + std::to_string(i), "default"), values[i]) << i;
    EXPECT_EQ(settings.ReadText("HTML", "Key" + std::to_string(i), "default"),
              values[values.size() - 1 - i])
        << i;
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    // One byte longer: the 2047-byte value now comes back cut.
    settings.WriteText("Main", "Key" + std::to_string(i), "x" + values[i]);
    EXPECT_EQ(settings.ReadText("Main", "Key" + std::to_string(i), "default"),
              ("x" + values[i]).substr(0, 2047));
  }
  // Each key is still one line: 2 headers and 12 keys in each section.
  std::string text = ReadBytes(path_);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 26);
}

TEST_F(SettingsTest, LongValuesAreCutTo2047BytesWhenRead) {
  SettingsFile settings(path_);
  std::string long2048 = std::string(2047, 'a') + "b";
  settings.WriteText("HTML", "OuterHead", long2048);
  EXPECT_NE(ReadBytes(path_).find(long2048 + "\n"), std::string::npos);
  EXPECT_EQ(settings.ReadText("HTML", "OuterHead", ""), std::string(2047, 'a'));

  // Used cut at start-up and written back cut at close.
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(values.Templates.OuterHead, std::string(2047, 'a'));
  SaveSettings(settings, window, values);
  EXPECT_EQ(ReadBytes(path_).find(long2048), std::string::npos);
  EXPECT_EQ(settings.ReadText("HTML", "OuterHead", ""), std::string(2047, 'a'));
}

TEST_F(SettingsTest, NumbersAndFlagsAreWrittenAsPlainDecimal) {
  SettingsFile settings(path_);
  settings.WriteNumber("Main", "Min", INT32_MIN);
  settings.WriteNumber("Main", "Max", INT32_MAX);
  settings.WriteNumber("Main", "Zero", 0);
  settings.WriteNumber("Main", "Negative", -16);
  settings.WriteFlag("Main", "Yes", true);
  settings.WriteFlag("Main", "No", false);
  EXPECT_EQ(ReadBytes(path_),
            "[Main]\nMin=-2147483648\nMax=2147483647\nZero=0\nNegative=-16\nYes=1\nNo=0\n");
  EXPECT_EQ(settings.ReadNumber("Main", "Min", 1), INT32_MIN);
  EXPECT_EQ(settings.ReadNumber("Main", "Max", 1), INT32_MAX);
  EXPECT_EQ(settings.ReadNumber("Main", "Zero", 1), 0);
  EXPECT_TRUE(settings.ReadFlag("Main", "Yes", false));
  EXPECT_FALSE(settings.ReadFlag("Main", "No", true));
}

TEST_F(SettingsTest, ReadNumberAcceptsOnlyItsForms) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"0x10", 16},
      {"$10", 16},
      {"x10", 16},
      {"X1f", 31},
      {"0XfF", 255},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {" 16", 16},
      {" \t 0x10", 16},
      {"-16", -16},
      {"+16", 16},
      {"0", 0},
      {"00016", 16},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
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
      {"   ", 7},
      {"- 5", 7},
      {"+", 7},
      {"0x-1", 7},
      {"FF", 7},
      {"1e3", 7},
      {"$ 10", 7},
      {"0x1G", 7},
  };
  SettingsFile settings(path_);
  for (const auto& [text, expected] : cases) {
    settings.WriteText("Main", "Top", text);
    EXPECT_EQ(settings.ReadNumber("Main", "Top", 7), expected) << "'" << text << "'";
  }
  EXPECT_EQ(settings.ReadNumber("Main", "Missing", 7), 7);
  EXPECT_EQ(settings.ReadNumber("Nowhere", "Top", -3), -3);
}

TEST_F(SettingsTest, ReadFlagIsTrueForAnyNonZeroNumber) {
  SettingsFile settings(path_);
  const std::vector<std::pair<std::string, bool>> cases = {
      {"1", true},  {"2", true},    {"-1", true},    {"0x0", false},
      {"0", false}, {"yes", false}, {"true", false},
  };
  for (const auto& [text, expected] : cases) {
    settings.WriteText("Main", "Maximized", text);
    EXPECT_EQ(settings.ReadFlag("Main", "Maximized", false), expected) << text;
  }
  settings.WriteText("Main", "Maximized", "yes");
  EXPECT_TRUE(settings.ReadFlag("Main", "Maximized", true));
  EXPECT_TRUE(settings.ReadFlag("Main", "Absent", true));
}

TEST_F(SettingsTest, MissingFileGivesDefaultsAndIsNotCreatedByReading) {
  SettingsFile settings(path_);
  EXPECT_EQ(settings.ReadText("Main", "FileName", "dflt"), "dflt");
  EXPECT_EQ(settings.ReadNumber("Main", "Top", 5), 5);
  // A folder where the file should be reads like no file.
  std::filesystem::create_directory(path_);
  EXPECT_EQ(settings.ReadText("Main", "FileName", "dflt"), "dflt");
  std::filesystem::remove(path_);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

// ---- Files written elsewhere -----------------------------------------------------------------

TEST_F(SettingsTest, WindowsFileIsReadAndRewrittenWithForeignLinesIntact) {
  const std::string original =
      "; Written by hand\r\n"
      "[other]\r\n"
      "top=999\r\n"
      "\r\n"
      "[ main ]\r\n"
      "TOP=12\r\n"
      "  left  = -5\r\n"
      "Width=0x320\r\n"
      "filename=C:\\Decks\\\x93\xfa\x96\x7b.txt\r\n"
      "Unknown line without equals\r\n"
      "; trailing comment of main\r\n"
      "\r\n"
      "[Html]\r\n"
      "OuterHead=<html><body bgcolor=\"#ffffff\">\r\n"
      "[Main]\r\n"
      "Height=1\r\n"
      "[Extra]\r\n"
      "Key=Value with trailing blanks   \r\n";
  WriteBytes(path_, original);
  SettingsFile settings(path_);
  EXPECT_EQ(settings.ReadNumber("Main", "Top", 0), 12);
  EXPECT_EQ(settings.ReadNumber("MAIN", "left", 0), -5);
  EXPECT_EQ(settings.ReadNumber("Main", "Width", 0), 800);
  EXPECT_EQ(settings.ReadText("Main", "FileName", ""), "C:\\Decks\\\x93\xfa\x96\x7b.txt");
  // Only the first section of a name counts.
  EXPECT_EQ(settings.ReadNumber("Main", "Height", 300), 300);
  EXPECT_EQ(settings.ReadText("html", "OUTERHEAD", ""), "<html><body bgcolor=\"#ffffff\">");
  EXPECT_EQ(settings.ReadText("Extra", "Key", ""), "Value with trailing blanks   ");

  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(window.normal.top, 12);
  EXPECT_EQ(window.normal.width, 800);
  EXPECT_EQ(window.normal.height, 300);
  EXPECT_EQ(values.Templates.OuterFoot, kDefaultStartupTemplates.OuterFoot);
  values.FileName = "/decks/new.txt";
  SaveSettings(settings, window, values);

  const std::string expected =
      "; Written by hand\r\n"
      "[other]\r\n"
      "top=999\r\n"
      "\r\n"
      "[ main ]\r\n"
      "TOP=12\r\n"
      "  left  =-5\r\n"
      "Width=800\r\n"
      "filename=/decks/new.txt\r\n"
      "Unknown line without equals\r\n"
      "Maximized=0\r\n"
      "Height=300\r\n"
      "ButtonHeight=50\r\n"
      "ButtonWidth=80\r\n"
      "; trailing comment of main\r\n"
      "\r\n"
      "[Html]\r\n"
      "OuterHead=<html><body bgcolor=\"#ffffff\">\r\n"
      "OuterFoot=</body></html>\r\n"
      "InnerHead=<p>\r\n"
      "InnerFoot=</p>\r\n"
      "[Main]\r\n"
      "Height=1\r\n"
      "[Extra]\r\n"
      "Key=Value with trailing blanks   \r\n";
  EXPECT_EQ(ReadBytes(path_), expected);
}

TEST_F(SettingsTest, LineLayoutOfTheFileIsKept) {
  SettingsFile settings(path_);
  // No line end on the last line: the new key gets one line of its own.
  WriteBytes(path_, "[Main]\nTop=1");
  settings.WriteNumber("Main", "Left", 2);
  EXPECT_EQ(ReadBytes(path_), "[Main]\nTop=1\nLeft=2\n");
  WriteBytes(path_, "stray text");
  settings.WriteNumber("Main", "Top", 3);
  EXPECT_EQ(ReadBytes(path_), "stray text\n[Main]\nTop=3\n");
  // A lone CR at the very end is a line end too.
  WriteBytes(path_, "[Main]\r\nTop=1\r");
  settings.WriteNumber("Main", "Left", 2);
  EXPECT_EQ(ReadBytes(path_), "[Main]\r\nTop=1\r\nLeft=2\r\n");
  // A UTF-8 mark before the first section is kept and does not hide it.
  WriteBytes(path_, "\xEF\xBB\xBF[Main]\r\nTop=5\r\n");
  EXPECT_EQ(settings.ReadNumber("Main", "Top", 0), 5);
  settings.WriteNumber("Main", "Top", 6);
  EXPECT_EQ(ReadBytes(path_), "\xEF\xBB\xBF[Main]\r\nTop=6\r\n");
  // The value ends before the CR of CR LF, wherever the key lies.
  WriteBytes(path_, "[Main]\r\nFileName=a b \r\n[HTML]\nInnerHead=x\r\n");
  EXPECT_EQ(settings.ReadText("Main", "FileName", ""), "a b ");
  settings.WriteText("HTML", "InnerHead", "y");
  EXPECT_EQ(ReadBytes(path_), "[Main]\r\nFileName=a b \r\n[HTML]\nInnerHead=y\r\n");
}

// ---- Start-up and close ------------------------------------------------------------------------

TEST_F(SettingsTest, FirstCloseCreatesTheFileWithAllKeysInOrder) {
  // Reads find no file: defaults everywhere, the window keeps its placement.
  FakeWindow window;
  ShellSettings values = LoadSettings(window);
  EXPECT_EQ(values.ButtonHeight, 46);
  EXPECT_EQ(values.ButtonWidth, 75);
  EXPECT_EQ(values.FileName, "");
  EXPECT_EQ(values.Templates.OuterHead, "<html><head><title>Tavrin</title></head><body>");
  EXPECT_EQ(values.Templates.OuterFoot, "</body></html>");
  EXPECT_EQ(values.Templates.InnerHead, "<p>");
  EXPECT_EQ(values.Templates.InnerFoot, "</p>");
  EXPECT_EQ(window.normal.top, -7);
  EXPECT_EQ(window.normal.width, 640);
  EXPECT_EQ(window.setMaximizedCalls, 0);
  EXPECT_FALSE(std::filesystem::exists(configHome_));

  window.maximized = true;
  std::string expectedPath = configHome_ + "/tavrin/settings_test.ini";
  SettingsFile observer(expectedPath);
  // The maximized flag is on disk before the window is restored, the edges are not yet.
  std::string maximizedAtRestore, topAtRestore;
  window.onRestore = [&] {
    maximizedAtRestore = observer.ReadText("Main", "Maximized", "none");
    topAtRestore = observer.ReadText("Main", "Top", "none");
  };
  SaveSettings(window, values);
  EXPECT_EQ(maximizedAtRestore, "1");
  EXPECT_EQ(topAtRestore, "none");
  EXPECT_EQ(ReadBytes(expectedPath),
            "[Main]\n"
            "Maximized=1\n"
            "Top=-7\n"
            "Left=-8\n"
            "Width=640\n"
            "Height=480\n"
            "ButtonHeight=50\n"
            "ButtonWidth=80\n"
            "FileName=\n"
            "[HTML]\n"
            "OuterHead=<html><head><title>Tavrin</title></head><body>\n"
            "OuterFoot=</body></html>\n"
            "InnerHead=<p>\n"
            "InnerFoot=</p>\n");

  // The next run opens maximized with the normal placement behind it.
  FakeWindow next;
  ShellSettings again = LoadSettings(next);
  EXPECT_EQ(next.setMaximizedCalls, 1);
  EXPECT_EQ(next.normal.top, -7);
  EXPECT_EQ(next.normal.left, -8);
  EXPECT_EQ(next.normal.width, 640);
  EXPECT_EQ(next.normal.height, 480);
  EXPECT_EQ(again.ButtonHeight, 50);
  EXPECT_EQ(again.ButtonWidth, 80);
}

TEST_F(SettingsTest, PlacementIsReadOnlyWhenTheFileExists) {
  SettingsFile settings(path_);
  FakeWindow untouched;
  LoadWindowPlacement(settings, untouched);
  EXPECT_EQ(untouched.normal.top, -7);
  EXPECT_EQ(untouched.normal.height, 480);

  // A file holding only "HTML": the placement keys take their defaults.
  WriteBytes(path_, "[HTML]\nInnerHead=<div>\n");
  FakeWindow window;
  LoadWindowPlacement(settings, window);
  EXPECT_EQ(window.normal.top, 0);
  EXPECT_EQ(window.normal.left, 0);
  EXPECT_EQ(window.normal.width, 400);
  EXPECT_EQ(window.normal.height, 300);
  EXPECT_EQ(window.setMaximizedCalls, 0);

  WriteBytes(path_, "[Main]\nTop=0x10\nLeft=$10\nWidth=16px\nMaximized=2\n");
  FakeWindow other;
  LoadWindowPlacement(settings, other);
  EXPECT_EQ(other.normal.top, 16);
  EXPECT_EQ(other.normal.left, 16);
  EXPECT_EQ(other.normal.width, 400);
  EXPECT_EQ(other.setMaximizedCalls, 1);
}

TEST_F(SettingsTest, EmptyTemplateComesBackAsItsDefaultAndIsWrittenSo) {
  WriteBytes(path_, "[HTML]\nOuterHead=\nInnerFoot=</p></div>\n[Main]\nFileName=\n");
  SettingsFile settings(path_);
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(values.Templates.OuterHead, kDefaultStartupTemplates.OuterHead);
  EXPECT_EQ(values.Templates.InnerHead, kDefaultStartupTemplates.InnerHead);
  EXPECT_EQ(values.Templates.InnerFoot, "</p></div>");
  SaveSettings(settings, window, values);
  EXPECT_EQ(settings.ReadText("HTML", "OuterHead", ""), kDefaultStartupTemplates.OuterHead);
  EXPECT_EQ(settings.ReadText("HTML", "InnerFoot", ""), "</p></div>");
  // An empty FileName stays a key with an empty value.
  EXPECT_NE(ReadBytes(path_).find("\nFileName=\n"), std::string::npos);
}

TEST_F(SettingsTest, UnstorableTextIsRefusedAndLeavesTheFileAlone) {
  SettingsFile settings(path_);
  settings.WriteText("Main", "FileName", "before");
  const std::string before = ReadBytes(path_);
  const std::string message = path_ + " に書き込めません";
  auto expectRefused = [&](const std::string& section, const std::string& key,
                           const std::string& value) {
    try {
      settings.WriteText(section, key, value);
      ADD_FAILURE() << "written: [" << section << "] " << key;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), message);
    }
    EXPECT_EQ(ReadBytes(path_), before);
  };
  expectRefused("Main", "FileName", "a\n[Main]\nTop=9");
  expectRefused("Main", "FileName", std::string("a\0b", 3));
  expectRefused("Ma]in", "Key", "v");
  expectRefused("Main", "K=ey", "v");
  expectRefused("Main", " ", "v");
  expectRefused("", "Key", "v");
  expectRefused("Main", "[Key", "v");

  // A file name that cannot be stored is forgotten rather than blocking every close.
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  values.FileName = "/decks/two\nlines.txt";
  SaveSettings(settings, window, values);
  EXPECT_EQ(settings.ReadText("Main", "FileName", "x"), "");
  EXPECT_EQ(settings.ReadText("HTML", "InnerFoot", ""), "</p>");
}

TEST_F(SettingsTest, LinkedFileStaysLinked) {
  std::string target = dir_ + "/real.ini";
  WriteBytes(target, "[Main]\nTop=1\n");
  ::chmod(target.c_str(), 0640);
  std::filesystem::create_symlink(target, path_);
  SettingsFile(path_).WriteNumber("Main", "Top", 2);
  EXPECT_TRUE(std::filesystem::is_symlink(path_));
  EXPECT_EQ(ReadBytes(target), "[Main]\nTop=2\n");
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"real.ini", "settings.ini"}));
}

// ---- Writes that cannot be done --------------------------------------------------------------

// Runs `body` in a child process that, when we are root, becomes the user "nobody", so that
// permission bits bind it. Returns the child's exit code.
int RunUnprivileged(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
        ::_exit(90);
      }
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// 0 when writing Top=9 raised the error with the full path, 1 when it succeeded, 2 otherwise.
int TryWrite(const std::string& path) {
  try {
    SettingsFile(path).WriteNumber("Main", "Top", 9);
    return 1;
  } catch (const Error& e) {
    return std::string(e.what()) == path + " に書き込めません" ? 0 : 2;
  }
}

TEST_F(SettingsTest, ReadOnlyFileOrFolderRaisesTheErrorAndChangesNothing) {
  const std::string content = "; mine\r\n[Main]\r\nTop=1\r\n";
  std::string folder = dir_ + "/folder";
  std::string file = folder + "/settings.ini";
  std::filesystem::create_directory(folder);
  WriteBytes(file, content);
  auto ownFilesToNobody = [&] {
    // As root the files belong to root; "nobody" may then write only where the bits allow all.
    ::chmod(folder.c_str(), 0777);
    ::chmod(file.c_str(), 0666);
  };

  // Read-only file in a writable folder: no rename around it either.
  ownFilesToNobody();
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ(RunUnprivileged([&] { return TryWrite(file); }), 0);
  EXPECT_EQ(ReadBytes(file), content);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.ini"});

  // Read-only folder and file.
  ::chmod(folder.c_str(), 0555);
  EXPECT_EQ(RunUnprivileged([&] { return TryWrite(file); }), 0);
  EXPECT_EQ(ReadBytes(file), content);

  // Read-only folder, no file yet: nothing can be created.
  std::string absent = folder + "/absent.ini";
  EXPECT_EQ(RunUnprivileged([&] { return TryWrite(absent); }), 0);
  EXPECT_FALSE(std::filesystem::exists(absent));

  // Read-only folder, writable file: rewritten in place.
  ::chmod(file.c_str(), 0666);
  EXPECT_EQ(RunUnprivileged([&] { return TryWrite(file); }), 1);
  EXPECT_EQ(ReadBytes(file), "; mine\r\n[Main]\r\nTop=9\r\n");
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.ini"});
}

TEST_F(SettingsTest, WritesThatFailEvenForRootChangeNothing) {
  // A folder where the file should be.
  std::filesystem::create_directory(path_);
  EXPECT_EQ(TryWrite(path_), 0);
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_TRUE(std::filesystem::is_empty(path_));

  // A file where its folder should be.
  std::string plain = dir_ + "/plain";
  WriteBytes(plain, "not a folder");
  EXPECT_EQ(TryWrite(plain + "/settings.ini"), 0);
  EXPECT_EQ(ReadBytes(plain), "not a folder");
  EXPECT_EQ(TryWrite(plain + "/sub/settings.ini"), 0);

  // A relative path is reported in full.
  std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  try {
    SettingsFile("plain/x.ini").WriteNumber("Main", "Top", 1);
    ADD_FAILURE() << "written under a file";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), dir_ + "/plain/x.ini に書き込めません");
  }
  std::filesystem::current_path(cwd);
}

TEST_F(SettingsTest, FullDiskLeavesTheOldFile) {
  // A file-size limit fails the writes as a full disk would: first the new file, then the
  // rewrite in place, which must put the old bytes back.
  const std::string content = "[Main]\nTop=1\n" + std::string(3000, ';') + "\n";
  WriteBytes(path_, content);
  std::string folder = dir_;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      SettingsFile(path_).WriteText("HTML", "OuterHead", std::string(20000, 'x'));
      ::_exit(1);
    } catch (const Error&) {
      ::_exit(0);
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(path_), content);
  EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"settings.ini"});
}

// ---- Where the file lies -----------------------------------------------------------------------

TEST_F(SettingsTest, FileLiesBesideTheExecutableOnlyWhenItExists) {
  std::string bin = dir_ + "/My.Tools";
  std::filesystem::create_directory(bin);
  std::string home = dir_ + "/home";

  EXPECT_EQ(SettingsFilePath(bin + "/cards.exe", configHome_, home),
            configHome_ + "/tavrin/cards.ini");
  EXPECT_EQ(SettingsFilePath(bin + "/cards.old.exe", configHome_, home),
            configHome_ + "/tavrin/cards.old.ini");
  EXPECT_EQ(SettingsFilePath(bin + "/cards", configHome_, home), configHome_ + "/tavrin/cards.ini");
  EXPECT_EQ(SettingsFilePath(bin + "/.hidden", configHome_, home), configHome_ + "/tavrin/.ini");

  // A portable install: the file beside the executable wins.
  WriteBytes(bin + "/cards.ini", "");
  EXPECT_EQ(SettingsFilePath(bin + "/cards.exe", configHome_, home), bin + "/cards.ini");
  EXPECT_EQ(SettingsFilePath(bin + "/cards", configHome_, home), bin + "/cards.ini");
  WriteBytes(bin + "/cards.old.ini", "");
  EXPECT_EQ(SettingsFilePath(bin + "/cards.old.exe", configHome_, home), bin + "/cards.old.ini");
  // A folder of that name is no settings file.
  std::filesystem::create_directory(bin + "/tavrin.ini");
  EXPECT_EQ(SettingsFilePath(bin + "/tavrin", configHome_, home),
            configHome_ + "/tavrin/tavrin.ini");

  // The configuration folder: XDG_CONFIG_HOME when set and absolute, else ~/.config.
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", "", home), home + "/.config/tavrin/tavrin.ini");
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", "relative/cfg", home),
            home + "/.config/tavrin/tavrin.ini");
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", configHome_ + "/", home),
            configHome_ + "/tavrin/tavrin.ini");
  // An executable replaced while it runs keeps its name.
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin (deleted)", configHome_, home),
            configHome_ + "/tavrin/tavrin.ini");
  EXPECT_EQ(SettingsFilePath("", configHome_, home), configHome_ + "/tavrin/tavrin.ini");
  EXPECT_EQ(SettingsFilePath("/usr/bin/tavrin", "", ""), "/usr/bin/tavrin.ini");

  // The running program: this test executable, under the configuration folder of the test.
  EXPECT_EQ(SettingsFilePath(), configHome_ + "/tavrin/settings_test.ini");
  EXPECT_EQ(OpenSettingsFile()->Path(), configHome_ + "/tavrin/settings_test.ini");
}

TEST_F(SettingsTest, ConfigurationFolderIsCreatedAtTheFirstWrite) {
  std::string path = configHome_ + "/deeper/tavrin/tavrin.ini";
  SettingsFile settings(path);
  EXPECT_EQ(settings.ReadNumber("Main", "Top", 4), 4);
  EXPECT_FALSE(std::filesystem::exists(configHome_));
  settings.WriteNumber("Main", "Top", 5);
  EXPECT_EQ(ReadBytes(path), "[Main]\nTop=5\n");
  struct stat st;
  ASSERT_EQ(::stat((configHome_ + "/deeper/tavrin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// ---- A writer killed at any moment -------------------------------------------------------------

// One line of the file as the writer leaves it: fixed text, or a key with one of two values.
struct ExpectedLine {
  std::string fixed;
  std::string key;
  std::string values[2];
};

std::vector<ExpectedLine> ExpectedLines() {
  std::vector<ExpectedLine> lines;
  auto fixed = [&](std::string text) { lines.push_back({std::move(text), "", {"", ""}}); };
  std::string sets[2][12];
  for (int set = 0; set < 2; ++set) {
    writer::FixedWindow window(set);
    ShellSettings values = writer::WriterValues(set);
    std::string* v = sets[set];
    v[0] = window.IsMaximized() ? "1" : "0";
    v[1] = std::to_string(window.Top());
    v[2] = std::to_string(window.Left());
    v[3] = std::to_string(window.Width());
    v[4] = std::to_string(window.Height());
    v[5] = std::to_string(window.OpenButtonHeight());
    v[6] = std::to_string(window.OpenButtonWidth());
    v[7] = values.FileName;
    v[8] = values.Templates.OuterHead;
    v[9] = values.Templates.OuterFoot;
    v[10] = values.Templates.InnerHead;
    v[11] = values.Templates.InnerFoot;
  }
  const char* keys[12] = {"Maximized", "Top",          "Left",        "Width",
                          "Height",    "ButtonHeight", "ButtonWidth", "FileName",
                          "OuterHead", "OuterFoot",    "InnerHead",   "InnerFoot"};
  fixed("; kept by hand");
  fixed("[Main]");
  for (int k = 0; k < 12; ++k) {
    if (k == 8) {
      fixed("");
      fixed("[HTML]");
    }
    lines.push_back({"", keys[k], {sets[0][k], sets[1][k]}});
  }
  fixed("[Other]");
  fixed("Extra=stays");
  return lines;
}

// Empty when `text` is a whole file of `expected`; else what is wrong. `seen` gets, for each key,
// which of the two values it holds.
std::string CheckFile(const std::string& text, const std::vector<ExpectedLine>& expected,
                      std::vector<int>& seen) {
  if (text.empty() || text.back() != '\n') return "file does not end with a line end";
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    lines.push_back(text.substr(pos, lf - pos));
    pos = lf + 1;
  }
  if (lines.size() != expected.size()) return "file has " + std::to_string(lines.size()) + " lines";
  seen.clear();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ExpectedLine& e = expected[i];
    if (e.key.empty()) {
      if (lines[i] != e.fixed) return "line " + std::to_string(i + 1) + " changed: " + lines[i];
      continue;
    }
    if (lines[i] == e.key + "=" + e.values[0]) {
      seen.push_back(0);
    } else if (lines[i] == e.key + "=" + e.values[1]) {
      seen.push_back(1);
    } else {
      return "line " + std::to_string(i + 1) + " is neither value: " + lines[i].substr(0, 60);
    }
  }
  return {};
}

TEST_F(SettingsTest, WriterKilledAtAnyMomentLeavesAWholeFile) {
  std::vector<ExpectedLine> expected = ExpectedLines();
  std::string seed;
  for (const ExpectedLine& line : expected) {
    seed += (line.key.empty() ? line.fixed : line.key + "=" + line.values[0]) + "\n";
  }
  WriteBytes(path_, seed);
  const ExpectedLine& innerFoot = *std::find_if(
      expected.begin(), expected.end(), [](const ExpectedLine& e) { return e.key == "InnerFoot"; });
  std::vector<int> seen;
  ASSERT_EQ(CheckFile(ReadBytes(path_), expected, seen), "");

  // How long one save takes here, so that the kills spread over several saves.
  auto start = std::chrono::steady_clock::now();
  std::string command = std::string(TAVRIN_SETTINGS_WRITER) + " " + path_ + " 10";
  ASSERT_EQ(std::system(command.c_str()), 0);
  auto perSave = (std::chrono::steady_clock::now() - start) / 10;
  ASSERT_EQ(CheckFile(ReadBytes(path_), expected, seen), "");
  long spreadMicros = std::clamp<long>(
      std::chrono::duration_cast<std::chrono::microseconds>(perSave).count() * 3, 2000, 40000);

  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<long> delay(0, spreadMicros);
  std::set<std::vector<int>> states;
  int mixed = 0;
  int kills = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (; kills < 400 && std::chrono::steady_clock::now() < deadline; ++kills) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::execl(TAVRIN_SETTINGS_WRITER, TAVRIN_SETTINGS_WRITER, path_.c_str(), nullptr);
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;
    std::string problem = CheckFile(ReadBytes(path_), expected, seen);
    ASSERT_EQ(problem, "") << "after kill " << kills;
    // The reader agrees with the lines.
    SettingsFile settings(path_);
    ASSERT_EQ(settings.ReadText("HTML", "InnerFoot", ""), innerFoot.values[seen[11]]);
    states.insert(seen);
    if (std::count(seen.begin(), seen.end(), 1) % 12 != 0) ++mixed;
  }
  EXPECT_GE(kills, 200);
  // The kills fell inside saves, not only between them.
  EXPECT_GT(mixed, 0);
  EXPECT_GT(states.size(), 2u);
  // A killed writer may leave its temporary file behind, never anything else.
  for (const std::string& name : FolderEntries(dir_)) {
    if (name == "settings.ini") continue;
    EXPECT_TRUE(name.starts_with(".settings.ini.") && name.ends_with(".tmp")) << name;
  }
  std::cout << "[          ] " << kills << " kills, " << mixed << " inside a save, "
            << states.size() << " distinct files\n";
}

}  // namespace
}  // namespace tavrin
