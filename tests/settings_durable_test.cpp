// The durable writes of the settings file: links, refused writes, and a writer killed at any
// moment.
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
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/error.h"
#include "settings_test_support.h"
#include "settings_writer.h"
#include "shell/durable_file.h"
#include "shell/settings.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using namespace settings_testing;

TEST_F(SettingsTest, LinkedFileStaysLinkedAndKeepsItsMode) {
  std::string target = dir_ + "/real.ini";
  WriteFile(target, "[Main]\nTop=1\n");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink(target, path_);
  SettingsFile(path_).WriteNumber("Main", "Top", 2);
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(ReadFile(target), "[Main]\nTop=2\n");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(FolderEntries(dir_), (std::vector<std::string>{"real.ini", "settings.ini"}));
}

TEST_F(SettingsTest, NextSaveRemovesOnlyStaleTemporaryFilesOfItsOwn) {
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string dead = std::to_string(gone);
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(1);
  // Name, age: only the first is a stale temporary file of settings.ini.
  const std::vector<std::pair<std::string, bool>> files = {
      {".settings.ini." + dead + ".0.tmp", true},   // killed writer: removed
      {".settings.ini." + dead + ".1.tmp", false},  // too fresh: may be in use
      {".settings.ini.1.0.tmp", true},              // its writer still runs
      {".settings.ini." + dead + ".0.tmp~", true},  // other names
      {".other.ini." + dead + ".0.tmp", true},
      {"settings.ini." + dead + ".0.tmp", true},
      {".settings.ini.x.0.tmp", true},
  };
  for (const auto& [name, stale] : files) {
    WriteFile(scratch_ / name, "[Main]\n");
    if (stale) fs::last_write_time(scratch_ / name, old);
  }
  SettingsFile(path_).WriteNumber("Main", "Top", 1);
  std::vector<std::string> expected = {"settings.ini"};
  for (std::size_t i = 1; i < files.size(); ++i) expected.push_back(files[i].first);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderEntries(dir_), expected);
}

// ---- The order of the steps -------------------------------------------------------------------

// The steps that reach the system, each with the file it acts on: the settings file ("file"), the
// new file beside it ("new") or their folder. Kept where the recorders below, plain functions, see
// them.
std::vector<std::string> g_steps;
std::map<int, std::string> g_names;
bool g_refuseNewFile = false;

void Record(const std::string& step, int fd) {
  if (const auto it = g_names.find(fd); it != g_names.end())
    g_steps.push_back(step + " " + it->second);
}

TEST_F(SettingsTest, NewBytesAreOnTheDiskBeforeTheRenameAndTheRenameBeforeTheEnd) {
  const struct {
    bool refuseNewFile;
    std::vector<std::string> steps;
  } rows[] = {
      {false,
       {"open file", "open new", "write new", "sync new", "close new", "rename", "open folder",
        "sync folder", "close folder", "close file"}},
      // A folder that takes no new file: the file is rewritten in place, and synced before closing.
      {true, {"open file", "write file", "sync file", "close file"}},
  };
  const DurableFileCalls system = SystemCalls();
  SystemCalls() = {[](const char* path, int flags, mode_t mode) {
                     const std::string name = (flags & O_DIRECTORY) != 0            ? "folder"
                                              : std::string(path).ends_with(".tmp") ? "new"
                                                                                    : "file";
                     if (name == "new" && g_refuseNewFile) {
                       errno = EACCES;
                       return -1;
                     }
                     const int fd = ::open(path, flags, mode);
                     if (fd >= 0) g_names[fd] = name;
                     if (fd >= 0) g_steps.push_back("open " + name);
                     return fd;
                   },
                   [](int fd, const void* data, std::size_t size, off_t offset) {
                     Record("write", fd);
                     return ::pwrite(fd, data, size, offset);
                   },
                   [](int fd) {
                     Record("sync", fd);
                     return ::fsync(fd);
                   },
                   [](int fd) {
                     Record("close", fd);
                     g_names.erase(fd);
                     return ::close(fd);
                   },
                   [](const char* from, const char* to) {
                     g_steps.push_back("rename");
                     return ::rename(from, to);
                   }};
  for (const auto& row : rows) {
    WriteFile(path_, "[Main]\nTop=1\n");
    g_steps.clear();
    g_refuseNewFile = row.refuseNewFile;
    SettingsFile(path_).WriteNumber("Main", "Top", 22);
    EXPECT_EQ(g_steps, row.steps) << "refused: " << row.refuseNewFile;
    EXPECT_EQ(ReadFile(path_), "[Main]\nTop=22\n");
  }
  SystemCalls() = system;
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
  WriteFile(file, content);
  auto asNobody = [](const std::string& path) {
    return RunInChild([&] { return TryWrite(path); }, true);
  };
  // Read-only file in a writable folder: no rename around it either.
  ::chmod(folder.c_str(), 0777);
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ(asNobody(file), 0);
  EXPECT_EQ(ReadFile(file), content);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"settings.ini"});
  // Read-only folder and file; and no file yet in a read-only folder.
  ::chmod(folder.c_str(), 0555);
  EXPECT_EQ(asNobody(file), 0);
  EXPECT_EQ(ReadFile(file), content);
  EXPECT_EQ(asNobody(folder + "/absent.ini"), 0);
  EXPECT_FALSE(fs::exists(folder + "/absent.ini"));
  // Read-only folder, writable file: rewritten in place.
  ::chmod(file.c_str(), 0666);
  EXPECT_EQ(asNobody(file), 1);
  EXPECT_EQ(ReadFile(file), "; mine\r\n[Main]\r\nTop=9\r\n");
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
  WriteFile(plain, "not a folder");
  EXPECT_EQ(TryWrite(plain + "/sub/settings.ini"), 0);
  EXPECT_EQ(ReadFile(plain), "not a folder");
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
  WriteFile(path_ + "2", content);
  auto writeBig = [&] {
    try {
      SettingsFile(path_ + "2").WriteText("HTML", "OuterHead", std::string(20000, 'x'));
      return 1;
    } catch (const Error&) {
      return 0;
    }
  };
  EXPECT_EQ(RunInChild(writeBig, false, 8192), 0);
  EXPECT_EQ(ReadFile(path_ + "2"), content);
  EXPECT_EQ(FolderEntries(dir_),
            (std::vector<std::string>{"plain", "settings.ini", "settings.ini2"}));
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
    WriteFile(path_, seed);
    SettingsFile settings(path_);
    writer::FixedWindow window(set);
    SaveSettings(settings, window, writer::WriterValues(set));
    whole[set] = Lines(ReadFile(path_));
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
  ASSERT_EQ(check(ReadFile(path_), seen), "");
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
    ASSERT_EQ(check(ReadFile(path_), seen), "") << "after kill " << kills;
    states.insert(seen);
    mixed += std::count(seen.begin(), seen.end(), 1) % 12 != 0;
  }
  EXPECT_GE(kills, 200);
  // A save is one replacement: never some keys of one set beside keys of the other, wherever the
  // kill fell (which set a slow machine gets to is left to it).
  EXPECT_EQ(mixed, 0);
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
