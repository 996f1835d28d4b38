#include "shell/settings.h"

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

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
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
    maximized = true;
    ++setMaximizedCalls;
  }
  void Restore() override {
    maximized = false;
    if (onRestore) onRestore();
  }
  int32_t OpenButtonHeight() const override { return 50; }
  int32_t OpenButtonWidth() const override { return 80; }
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavrin-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ::chmod(dir_.c_str(), 0755);  // a child running as another user must reach the files
    configHome_ = dir_ + "/config";
    ::setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
    path_ = dir_ + "/settings.ini";
  }
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      if (entry.is_directory() && !entry.is_symlink()) ::chmod(entry.path().c_str(), 0755);
    }
    fs::remove_all(dir_);
    ::unsetenv("XDG_CONFIG_HOME");
  }

  std::string dir_;
  std::string configHome_;
  std::string path_;
};

// 0 when writing Top=9 to `path` raised the error naming `path`, 1 when it was written.
int TryWrite(const std::string& path) {
  try {
    SettingsFile(path).WriteNumber("Main", "Top", 9);
    return 1;
  } catch (const Error& e) {
    return std::string(e.what()) == path + " に書き込めません" ? 0 : 2;
  }
}

// ---- Values ------------------------------------------------------------------------------------

TEST_F(SettingsTest, EveryKindOfValueReadsBackAsWritten) {
  std::string highBytes;
  for (int b = 0x80; b <= 0xFF; ++b) highBytes += static_cast<char>(b);
  const std::vector<std::string> values = {
      "",        "  blanks around  ",    "\t tab", "\"quoted\"",
      "a=b==c=", "; not a comment",      "[Main]", "carriage\rreturn",
      highBytes, std::string(2047, 'v'),
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
  std::string text = ReadBytes(path_);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 2 * n);

  // 2048 bytes are stored whole, read cut to 2047, and a close writes them back cut.
  std::string long2048 = std::string(2047, 'a') + "b";
  settings.WriteText("HTML", "OuterHead", long2048);
  EXPECT_NE(ReadBytes(path_).find("=" + long2048 + "\n"), std::string::npos);
  FakeWindow window;
  ShellSettings loaded = LoadSettings(settings, window);
  EXPECT_EQ(loaded.Templates.OuterHead, std::string(2047, 'a'));
  SaveSettings(settings, window, loaded);
  EXPECT_EQ(ReadBytes(path_).find(long2048), std::string::npos);
}

TEST_F(SettingsTest, NumbersAndFlags) {
  SettingsFile settings(path_);
  settings.WriteNumber("Main", "Min", INT32_MIN);
  settings.WriteNumber("Main", "Zero", 0);
  settings.WriteNumber("Main", "Max", INT32_MAX);
  settings.WriteFlag("Main", "Yes", true);
  settings.WriteFlag("Main", "No", false);
  EXPECT_EQ(ReadBytes(path_), "[Main]\nMin=-2147483648\nZero=0\nMax=2147483647\nYes=1\nNo=0\n");

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
  WriteBytes(path_,
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
  EXPECT_EQ(settings.ReadText("Extra", "Key", ""), "Value with trailing blanks   ");

  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(window.normal.top, 12);
  EXPECT_EQ(window.normal.width, 800);
  EXPECT_EQ(window.normal.height, 300);  // only the first section of a name counts
  EXPECT_EQ(values.Templates.OuterHead, "<body bgcolor=\"#ffffff\">");
  values.FileName = "/decks/new.txt";
  SaveSettings(settings, window, values);
  EXPECT_EQ(ReadBytes(path_),
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
            "[Extra]\r\nKey=Value with trailing blanks   \r\n");
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
    WriteBytes(path_, before);
    settings.WriteNumber("Main", "Left", 2);
    EXPECT_EQ(ReadBytes(path_), after);
  }
  WriteBytes(path_, "\xEF\xBB\xBF[Main]\r\nFileName=a b \r\n");
  EXPECT_EQ(settings.ReadText("Main", "FileName", ""), "a b ");
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
  // "Maximized" is on disk before the window is restored, the edges only after.
  std::string atRestore;
  window.onRestore = [&] {
    atRestore = SettingsFile(path).ReadText("Main", "Maximized", "-") +
                SettingsFile(path).ReadText("Main", "Top", "-");
  };
  SaveSettings(window, values);
  EXPECT_EQ(atRestore, "1-");
  EXPECT_EQ(ReadBytes(path),
            "[Main]\nMaximized=1\nTop=-7\nLeft=-8\nWidth=640\nHeight=480\nButtonHeight=50\n"
            "ButtonWidth=80\nFileName=\n"
            "[HTML]\nOuterHead=<html><head><title>Tavrin</title></head><body>\n"
            "OuterFoot=</body></html>\nInnerHead=<p>\nInnerFoot=</p>\n");
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
  WriteBytes(path_, "[HTML]\nOuterHead=\nInnerFoot=</p></div>\n");
  SettingsFile settings(path_);
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  EXPECT_EQ(values.Templates.OuterHead, kDefaultStartupTemplates.OuterHead);
  EXPECT_EQ(values.Templates.InnerFoot, "</p></div>");
  SaveSettings(settings, window, values);
  EXPECT_EQ(settings.ReadText("HTML", "OuterHead", ""), kDefaultStartupTemplates.OuterHead);
  EXPECT_NE(ReadBytes(path_).find("\nFileName=\n"), std::string::npos);
}

TEST_F(SettingsTest, UnstorableTextIsRefusedAndLeavesTheFileAlone) {
  SettingsFile settings(path_);
  settings.WriteText("Main", "FileName", "before");
  const std::string before = ReadBytes(path_);
  const std::vector<std::vector<std::string>> refused = {
      {"Main", "FileName", "a\n[Main]\nTop=9"},
      {"Main", "FileName", std::string("a\0b", 3)},
      {"Main", "FileName", "abc\r"},
      {"Main", "FileName", "\r"},
      {"Ma]in", "Key", "v"},
      {"Main", "K=ey", "v"},
      {"Main", " ", "v"},
      {"Main", "[Key", "v"}};
  for (const auto& r : refused) {
    EXPECT_THROW(settings.WriteText(r[0], r[1], r[2]), Error) << r[0] << " " << r[1];
  }
  EXPECT_EQ(ReadBytes(path_), before);

  // A file name that cannot be stored is forgotten rather than blocking every close.
  FakeWindow window;
  ShellSettings values = LoadSettings(settings, window);
  values.FileName = "/decks/two\nlines.txt";
  values.Templates.InnerHead = "<p>\r";
  SaveSettings(settings, window, values);
  EXPECT_EQ(settings.ReadText("Main", "FileName", "-"), "");
  EXPECT_EQ(settings.ReadText("HTML", "InnerHead", "-"), "<p>");
}

TEST_F(SettingsTest, LinkedFileStaysLinkedAndKeepsItsMode) {
  std::string target = dir_ + "/real.ini";
  WriteBytes(target, "[Main]\nTop=1\n");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink(target, path_);
  SettingsFile(path_).WriteNumber("Main", "Top", 2);
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(ReadBytes(target), "[Main]\nTop=2\n");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"real.ini", "settings.ini"}));
}

// ---- Writes that cannot be done --------------------------------------------------------------

// The exit code of `body` run in a child process (100 + the signal that ended it). With
// `unprivileged`, a root child becomes "nobody" first, so that permission bits bind it; a
// `fileSizeLimit` makes larger writes fail as on a full disk.
int RunInChild(const std::function<int()>& body, bool unprivileged, rlim_t fileSizeLimit = 0) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (unprivileged && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(90);
    }
    if (fileSizeLimit) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(SettingsTest, ReadOnlyFileOrFolderRaisesTheErrorAndChangesNothing) {
  const std::string content = "; mine\r\n[Main]\r\nTop=1\r\n";
  std::string folder = dir_ + "/folder";
  std::string file = folder + "/settings.ini";
  fs::create_directory(folder);
  WriteBytes(file, content);
  auto asNobody = [](const std::string& path) {
    return RunInChild([&] { return TryWrite(path); }, true);
  };
  // Read-only file in a writable folder: no rename around it either.
  ::chmod(folder.c_str(), 0777);
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ(asNobody(file), 0);
  EXPECT_EQ(ReadBytes(file), content);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.ini"});
  // Read-only folder and file; and no file yet in a read-only folder.
  ::chmod(folder.c_str(), 0555);
  EXPECT_EQ(asNobody(file), 0);
  EXPECT_EQ(ReadBytes(file), content);
  EXPECT_EQ(asNobody(folder + "/absent.ini"), 0);
  EXPECT_FALSE(fs::exists(folder + "/absent.ini"));
  // Read-only folder, writable file: rewritten in place.
  ::chmod(file.c_str(), 0666);
  EXPECT_EQ(asNobody(file), 1);
  EXPECT_EQ(ReadBytes(file), "; mine\r\n[Main]\r\nTop=9\r\n");
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.ini"});
}

TEST_F(SettingsTest, WritesThatFailEvenForRootChangeNothing) {
  // A folder where the file should be: read as no file, written not at all.
  fs::create_directory(path_);
  EXPECT_EQ(SettingsFile(path_).ReadText("Main", "Top", "-"), "-");
  EXPECT_EQ(TryWrite(path_), 0);
  EXPECT_TRUE(fs::is_empty(path_));
  // A file where a folder should be.
  std::string plain = dir_ + "/plain";
  WriteBytes(plain, "not a folder");
  EXPECT_EQ(TryWrite(plain + "/sub/settings.ini"), 0);
  EXPECT_EQ(ReadBytes(plain), "not a folder");
  // A relative path is reported in full.
  fs::path cwd = fs::current_path();
  fs::current_path(dir_);
  try {
    SettingsFile("plain/x.ini").WriteNumber("Main", "Top", 1);
    ADD_FAILURE() << "written below a file";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), dir_ + "/plain/x.ini に書き込めません");
  }
  fs::current_path(cwd);

  // A file-size limit fails the writes as a full disk would: first the new file, then the
  // rewrite in place, which must put the old bytes back.
  const std::string content = "[Main]\nTop=1\n" + std::string(3000, ';') + "\n";
  WriteBytes(path_ + "2", content);
  auto writeBig = [&] {
    try {
      SettingsFile(path_ + "2").WriteText("HTML", "OuterHead", std::string(20000, 'x'));
      return 1;
    } catch (const Error&) {
      return 0;
    }
  };
  EXPECT_EQ(RunInChild(writeBig, false, 8192), 0);
  EXPECT_EQ(ReadBytes(path_ + "2"), content);
  EXPECT_EQ(FolderEntries(dir_),
            (std::vector<std::string>{"plain", "settings.ini", "settings.ini2"}));
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
  WriteBytes(bin + "/cards.ini", "");
  WriteBytes(bin + "/cards.old.ini", "");
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

// ---- A writer killed at any moment -------------------------------------------------------------

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(SettingsTest, WriterKilledAtAnyMomentLeavesAWholeFile) {
  // The file with every key from one set; both have the same lines, the values aside.
  const std::string seed = "; kept by hand\n[Main]\nTop=x\n\n[HTML]\n[Other]\nExtra=stays\n";
  std::vector<std::string> whole[2];
  for (int set = 0; set < 2; ++set) {
    WriteBytes(path_, seed);
    SettingsFile settings(path_);
    writer::FixedWindow window(set);
    SaveSettings(settings, window, writer::WriterValues(set));
    whole[set] = Lines(ReadBytes(path_));
  }
  ASSERT_EQ(whole[0].size(), whole[1].size());
  // Empty when `text` is a whole file; `seen` gets, line by line, which set it holds.
  auto check = [&](const std::string& text, std::vector<int>& seen) -> std::string {
    if (text.empty() || text.back() != '\n') return "no line end at the end";
    std::vector<std::string> lines = Lines(text);
    if (lines.size() != whole[0].size()) return std::to_string(lines.size()) + " lines";
    seen.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] != whole[0][i] && lines[i] != whole[1][i]) return "line " + lines[i];
      if (whole[0][i] != whole[1][i]) seen.push_back(lines[i] == whole[1][i]);
    }
    return {};
  };
  std::vector<int> seen;
  ASSERT_EQ(check(ReadBytes(path_), seen), "");
  ASSERT_EQ(seen.size(), 12u);

  // How long one save takes here, so that the kills spread over several saves.
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(std::system((std::string(TAVRIN_SETTINGS_WRITER) + " " + path_ + " 10").c_str()), 0);
  auto perSave = std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::steady_clock::now() - start) /
                 10;
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<long> delay(0, std::clamp<long>(perSave.count() * 3, 2000, 40000));
  std::set<std::vector<int>> states;
  int kills = 0;
  int mixed = 0;
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
    ASSERT_EQ(check(ReadBytes(path_), seen), "") << "after kill " << kills;
    states.insert(seen);
    mixed += std::count(seen.begin(), seen.end(), 1) % 12 != 0;
  }
  EXPECT_GE(kills, 200);
  EXPECT_GT(mixed, 0);  // the kills fell inside saves, not only between them
  EXPECT_GT(states.size(), 2u);
  // A killed writer may leave its temporary file behind, never anything else.
  for (const std::string& name : FolderEntries(dir_)) {
    if (name != "settings.ini") {
      EXPECT_TRUE(name.starts_with(".settings.ini.")) << name;
    }
  }
  std::cout << "[          ] " << kills << " kills, " << mixed << " inside a save, "
            << states.size() << " distinct files\n";
}

}  // namespace
}  // namespace tavrin
