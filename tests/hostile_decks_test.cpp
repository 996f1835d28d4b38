// Files that no one would write as a deck, each with one clear outcome: huge, binary, vanishing,
// unreadable, endless or expanding to a huge page. Every check that could hang runs in a child
// process with a deadline, so that a hang fails the test instead of stopping the suite.
#include <fcntl.h>
#include <glob.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/compose.h"
#include "engine/deck.h"
#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/navigation.h"
#include "engine/text_list.h"
#include "tests/engine_test_support.h"

namespace tavrin {
namespace {

using namespace testing_support;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string OpenError(const std::string& path) {
  return "ファイル " + path + " は開けません";
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `check` in a child process and gives what it returned, "hang" when it has not finished
// within `seconds`, or "died" when the child ended in any other way (a crash, say).
std::string OutcomeWithin(double seconds, const std::function<std::string()>& check) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child < 0) return "no fork";
  if (child == 0) {
    ::close(fds[0]);
    std::string outcome;
    try {
      outcome = check();
    } catch (const std::exception& e) {
      outcome = std::string("error: ") + e.what();
    }
    (void)!::write(fds[1], outcome.data(), outcome.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      ::close(fds[0]);
      return "hang";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string outcome;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) outcome.append(buffer, n);
  ::close(fds[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "died";
  return outcome;
}

// What ReadLines makes of `path`: its lines joined by "|", or "error: " and the message.
std::string ReadOutcome(const std::string& path) {
  TextList lines;
  lines.Append("previous");
  try {
    ReadLines(path, lines);
  } catch (const Error& e) {
    // A refused file must leave the list as it was.
    if (Entries(lines) != Strings{"previous"}) return "list changed";
    return std::string("error: ") + e.what();
  }
  std::string joined;
  for (int32_t i = 0; i < lines.Count(); ++i) joined += (i ? "|" : "") + std::string(lines.At(i));
  return joined;
}

// A deck state with a small deck loaded and its first card open, so that a refused load can be
// seen to leave everything as it was.
class HostileDeckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    deck_.Settings = {"<html>", "<p>", "</p>", "</html>", "", ""};
    deck_.MakeLists();
    deck_.ShowHtml = [this](const std::string& page) { pageSizes_.push_back(page.size()); };
    LoadDeck(deck_, Write("good.txt", "|\nInnerHead=<b>\nTitle\none|two\nthree\n"));
    Ok(deck_);
    pageSizes_.clear();
  }
  std::string Path(const std::string& name) const { return dir_ / name; }
  std::string Write(const std::string& name, const std::string& bytes) {
    return WriteFile(Path(name), bytes);
  }

  // The state that the good deck left, as text, for comparing before and after.
  std::string State() const {
    std::ostringstream s;
    s << deck_.FieldSeparator << "/" << deck_.CardCount << "/" << deck_.Position << "/"
      << deck_.RevealedField << "/";
    for (const std::string& line : Entries(deck_.Lines)) s << line << ";";
    for (const std::string& field : Entries(deck_.CardFields)) s << field << ";";
    for (const std::string& setting : deck_.Settings) s << setting << ";";
    return s.str();
  }

  // Expects LoadDeck(path) to raise the open error at once and to change nothing.
  void ExpectRefused(const std::string& path) {
    const std::string before = State();
    auto start = Clock::now();
    std::string outcome = OutcomeWithin(5, [&] {
      try {
        LoadDeck(deck_, path);
      } catch (const Error& e) {
        return std::string(e.what()) +
               (State() == before && pageSizes_.empty() ? "" : " (changed)");
      }
      return std::string("loaded");
    });
    EXPECT_EQ(outcome, OpenError(path)) << path;
    EXPECT_LT(SecondsSince(start), 2.0) << path;
  }

  CodePageGuard codePage_{kCodePage932};
  ScratchFolder dir_{"tavrin-hostile"};
  DeckState deck_;
  std::vector<std::size_t> pageSizes_;
};

// ---- Size ---------------------------------------------------------------------------------------

TEST_F(HostileDeckTest, FileBeyondTheLargest32BitSizeIsRefusedBeforeItIsRead) {
  // Sparse files: no disk space is used, and reading one would take seconds and gigabytes.
  for (off_t size : {off_t{2147483648}, off_t{1} << 40}) {
    std::string path = Path("huge-" + std::to_string(size) + ".txt");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, size) != 0) {
      ::close(fd);
      GTEST_SKIP() << "this file system has no sparse files of " << size << " bytes";
    }
    ::close(fd);
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;
    EXPECT_EQ(ReadOutcome(path), "error: " + OpenError(path));
    ExpectRefused(path);
    ::getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 256 * 1024) << "kilobytes of peak memory grew";
    fs::remove(path);
  }
}

TEST_F(HostileDeckTest, HundredMegabyteLineWithoutLineEnd) {
  const std::size_t size = std::size_t{100} << 20;
  std::string line(size, 'w');
  for (std::size_t i = 97; i < size; i += 101) line[i] = ' ';
  std::string path = Write("one-line.txt", line);

  // Alone it is one line: too short a deck to show anything, but it replaces the lines.
  auto start = Clock::now();
  LoadDeck(deck_, path);
  EXPECT_LT(SecondsSince(start), 30.0);
  ASSERT_EQ(deck_.Lines.Count(), 1);
  EXPECT_EQ(deck_.Lines.At(0).size(), size);
  EXPECT_TRUE(deck_.Lines.At(0) == line);
  EXPECT_EQ(deck_.CardCount, -2);
  EXPECT_TRUE(pageSizes_.empty());

  // As the last card of a deck it is one field, shown whole.
  path = Write("one-card.txt", "|\nOuterHead=<html>\nTitle\n" + line);
  line.clear();
  line.shrink_to_fit();
  start = Clock::now();
  LoadDeck(deck_, path);
  Ok(deck_);
  Ok(deck_);
  EXPECT_LT(SecondsSince(start), 30.0);
  ASSERT_EQ(deck_.CardFields.Count(), 1);
  EXPECT_EQ(deck_.CardFields.At(0).size(), size);
  // Title page, then the card: "<html>" "<b>" field "</p>" "</html>"; the second OK reopens it.
  EXPECT_EQ(pageSizes_, (std::vector<std::size_t>{6 + 3 + 5 + 4 + 7, 6 + 3 + size + 4 + 7,
                                                  6 + 3 + size + 4 + 7}));
}

// ---- Binary files -------------------------------------------------------------------------------

// A complete 2 x 1 PNG image, eight bytes of signature and three chunks.
std::string PngImage() {
  static const unsigned char kBytes[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
      0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7B,
      0x40, 0xE8, 0xDD, 0x00, 0x00, 0x00, 0x0F, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8,
      0xCF, 0xC0, 0xF0, 0x1F, 0x08, 0x00, 0x00, 0x0A, 0xF4, 0x02, 0xFE, 0x5F, 0x9B, 0x1A, 0xC9,
      0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(kBytes), sizeof kBytes);
}

TEST_F(HostileDeckTest, ImageEndsAtItsFirstZeroByteAndIsTooShortToShow) {
  const std::string before = State();
  LoadDeck(deck_, Write("image.png", PngImage()));
  // The signature's CR LF and LF make two lines; the first chunk's length begins with a zero.
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"\x89PNG", "\x1A"}));
  EXPECT_EQ(deck_.CardCount, -1);
  EXPECT_TRUE(pageSizes_.empty());
  // Lines aside, the good deck's state stays, and it is still usable.
  EXPECT_EQ(deck_.FieldSeparator, "|");
  EXPECT_EQ(deck_.Settings[kInnerHead], "<b>");
  LoadDeck(deck_, Path("good.txt"));
  Ok(deck_);
  EXPECT_EQ(State(), before);
}

TEST_F(HostileDeckTest, ExecutableEndsInsideItsHeader) {
  const std::string exe = ReadFile("/proc/self/exe");
  ASSERT_TRUE(
      exe.starts_with("\x7F"
                      "ELF"));
  LoadDeck(deck_, Write("program", exe));
  // The identification bytes hold a zero within the first sixteen: one short line.
  ASSERT_EQ(deck_.Lines.Count(), 1);
  EXPECT_EQ(deck_.Lines.At(0), exe.substr(0, exe.find('\0')));
  EXPECT_LE(deck_.Lines.At(0).size(), 15u);
  EXPECT_TRUE(pageSizes_.empty());
}

TEST_F(HostileDeckTest, ExecutableWithoutZeroBytesIsDrivenToTheEndUnderEveryCodePage) {
  // Machine code without its zero bytes: hundreds of lines of arbitrary bytes, once as it is and
  // once under a head whose separators are lead bytes of code page 932, so that cards split into
  // many fields and half characters fall everywhere.
  std::string bytes = ReadFile("/bin/ls");
  if (bytes.empty()) bytes = ReadFile("/proc/self/exe");
  std::erase(bytes, '\0');
  bytes.resize(std::min<std::size_t>(bytes.size(), 512 * 1024));
  const std::string head =
      "\x83\nOuterHead=<h $1 $2>\x83"
      "CommentIntroducer=\x82\x83"
      "DefaultParameters=\x82"
      "a\x82"
      "b\n"
      "T\n";
  const Strings paths = {Write("program.txt", bytes), Write("program-deck.txt", head + bytes)};

  for (const std::string& path : paths) {
    for (CodePagePolicy policy :
         {CodePagePolicy::Cp932, CodePagePolicy::Utf8, CodePagePolicy::Auto}) {
      deck_.SetPolicy(policy);
      int indexErrors = 0;
      Strings otherErrors;
      auto attempt = [&](const std::function<void()>& action) {
        std::size_t pagesBefore = pageSizes_.size();
        try {
          action();
        } catch (const Error& e) {
          if (std::string(e.what()).starts_with("リストのインデックスが範囲を超えています (")) {
            ++indexErrors;
          } else {
            otherErrors.push_back(e.what());
          }
          EXPECT_EQ(pageSizes_.size(), pagesBefore) << "a failing step showed a page";
        }
      };
      auto start = Clock::now();
      attempt([&] { LoadDeck(deck_, path); });
      ASSERT_GE(deck_.CardCount, 100);
      // Every field of every card, then back to the start, a shuffle, and every card again.
      int64_t steps = 0;
      while (deck_.Position < deck_.CardCount - 1 && steps < 2000000) {
        attempt([&] { Ok(deck_); });
        ++steps;
      }
      EXPECT_EQ(deck_.Position, deck_.CardCount - 1);
      for (int32_t i = 0; i < deck_.CardCount; ++i) attempt([&] { Back(deck_); });
      EXPECT_EQ(deck_.Position, 0);
      attempt([&] { Shuffle(deck_); });
      for (int32_t i = 0; i < deck_.CardCount; ++i) attempt([&] { Ok(deck_); });
      EXPECT_TRUE(otherErrors.empty()) << otherErrors.front();
      EXPECT_LT(SecondsSince(start), 60.0);
      std::printf("%s, policy %d: %d cards, %lld steps, %d list index errors\n",
                  fs::path(path).filename().c_str(), static_cast<int>(policy), deck_.CardCount,
                  static_cast<long long>(steps), indexErrors);
    }
  }
}

// ---- Files that change or cannot be read
// ---------------------------------------------------------

TEST_F(HostileDeckTest, FileDeletedAfterTheExistenceTest) {
  const std::string path = Write("gone.txt", "|\n\nTitle\ncard\n");
  ASSERT_TRUE(IsExistingFile(path));
  ASSERT_EQ(::unlink(path.c_str()), 0);
  // The read that follows the test finds nothing to open, and the list stays as it was.
  EXPECT_EQ(ReadOutcome(path), "error: " + OpenError(path));
  // A load that comes later sees a missing file: nothing changes and nothing is said.
  const std::string before = State();
  LoadDeck(deck_, path);
  EXPECT_EQ(State(), before);
  EXPECT_TRUE(pageSizes_.empty());
}

TEST_F(HostileDeckTest, FileTruncatedAfterTheExistenceTestGivesWhatIsLeft) {
  const std::string path = Write("short.txt", "|\r\n\r\nTitle\r\ncard one\r\ncard two\r\n");
  ASSERT_TRUE(IsExistingFile(path));
  ASSERT_EQ(::truncate(path.c_str(), 17), 0);  // cut inside "card one"
  LoadDeck(deck_, path);
  EXPECT_EQ(Entries(deck_.Lines), (Strings{"|", "", "Title", "card "}));
  EXPECT_EQ(deck_.CardCount, 1);
}

TEST_F(HostileDeckTest, FileShrinkingWhileItIsReadGivesAPrefixOfItsLines) {
  // Another process truncates and rewrites the file over and over; whenever the read lands, it
  // gets a leading part of the file, never bytes that were not there and never an error.
  std::string content;
  for (int i = 0; i < 20000; ++i) content += "line " + std::to_string(i) + "\n";
  const std::string path = Write("shrinking.txt", content);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    int fd = ::open(path.c_str(), O_WRONLY);
    for (std::size_t cut = 1; !stop; cut = 1 + (cut * 7919) % (content.size() - 1)) {
      (void)!::ftruncate(fd, static_cast<off_t>(cut));
      (void)!::pwrite(fd, content.data(), content.size(), 0);
    }
    ::close(fd);
  });
  int reads = 0, shorter = 0;
  const auto start = Clock::now();
  while (SecondsSince(start) < 1.0) {
    TextList lines;
    ReadLines(path, lines);
    ++reads;
    std::string joined;
    for (int32_t i = 0; i < lines.Count(); ++i) joined += std::string(lines.At(i)) + "\n";
    if (joined.size() != content.size()) ++shorter;
    // The last line may be cut; all before it are whole.
    ASSERT_TRUE(joined.size() <= content.size() + 1 &&
                content.starts_with(joined.substr(0, joined.empty() ? 0 : joined.size() - 1)))
        << "read " << joined.size() << " bytes that are not a leading part of the file";
  }
  stop = true;
  writer.join();
  std::printf("%d reads, %d of them of a shorter file\n", reads, shorter);
}

TEST_F(HostileDeckTest, FileClaimingMoreBytesThanItHolds) {
  // Kernel attribute files report a size of a page and hold a few bytes.
  const std::string path = "/sys/devices/system/cpu/online";
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) GTEST_SKIP() << "no " << path;
  std::string expected = ReadFile(path);
  while (!expected.empty() && expected.back() == '\n') expected.pop_back();
  ASSERT_GT(static_cast<std::size_t>(st.st_size), expected.size() + 1);
  EXPECT_EQ(ReadOutcome(path), expected);
}

TEST_F(HostileDeckTest, FileWithoutReadPermission) {
  const std::string path = Write("secret.txt", "|\n\nTitle\ncard\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  ASSERT_TRUE(IsExistingFile(path));
  // Root reads through permission bits, so a root run checks as "nobody" in a child process.
  std::string outcome = OutcomeWithin(5, [&] {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      return std::string("cannot drop root");
    }
    return ReadOutcome(path);
  });
  if (outcome == "cannot drop root") GTEST_SKIP() << "running as root without setuid";
  EXPECT_EQ(outcome, "error: " + OpenError(path));
}

TEST_F(HostileDeckTest, FileThatNoOneMayReadNotEvenRoot) {
  // Write-only kernel attributes refuse every reader, whatever its privileges.
  std::string path;
  glob_t found;
  if (::glob("/sys/bus/*/uevent", 0, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc && path.empty(); ++i) {
      struct stat st;
      if (::stat(found.gl_pathv[i], &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0444) == 0) {
        path = found.gl_pathv[i];
      }
    }
    ::globfree(&found);
  }
  if (path.empty()) GTEST_SKIP() << "no write-only kernel attribute here";
  ASSERT_TRUE(IsExistingFile(path));
  EXPECT_EQ(ReadOutcome(path), "error: " + OpenError(path));
  ExpectRefused(path);
}

// ---- Things that are not files ------------------------------------------------------------------

TEST_F(HostileDeckTest, PipesAndDevicesAreRefusedAtOnce) {
  const std::string fifo = Path("pipe.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ExpectRefused(fifo);
  // Also with a writer at the other end that has written a deck and keeps the pipe open.
  int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "|\n\nT\nc\n", 7), 7);
  ExpectRefused(fifo);
  ::close(writer);
  ::close(reader);

  for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"}) ExpectRefused(device);
  // A link to a device is the device.
  ASSERT_EQ(::symlink("/dev/zero", Path("zero.txt").c_str()), 0);
  ExpectRefused(Path("zero.txt"));
}

// ---- Pages
// ----------------------------------------------------------------------------------------

TEST_F(HostileDeckTest, TemplatesThatExpandToAFiftyMegabytePage) {
  const std::size_t mebibyte = std::size_t{1} << 20;
  const std::string value(mebibyte, 'v');
  std::string outerHead = "<html>";
  for (int i = 0; i < 50; ++i) outerHead += "$1";
  // The title's page: fifty copies of the default in the outer head.
  LoadDeck(deck_, Write("big.txt", "|\nOuterHead=" + outerHead +
                                       "|InnerHead=<p>|InnerFoot=</p>|OuterFoot=</html>"
                                       "|CommentIntroducer=#|DefaultParameters=#" +
                                       value + "\nTitle\na|b|c|d|e|f|g|h|i|j\n"));
  ASSERT_EQ(pageSizes_.size(), 1u);
  EXPECT_EQ(pageSizes_[0], 6 + 50 * mebibyte + 3 + 5 + 4 + 7);

  // The revealed fields' page: every field brings five copies of its own parameter in the inner
  // head, the outer head none.
  std::string card;
  for (int i = 0; i < 10; ++i) card += (i ? "|" : "") + std::string("f#") + value;
  LoadDeck(deck_, Write("big-fields.txt",
                        "|\nOuterHead=<html>|InnerHead=<p>$1$1$1$1$1\nTitle\n" + card + "\n"));
  pageSizes_.clear();
  std::string last;
  deck_.ShowHtml = [&](const std::string& page) {
    pageSizes_.push_back(page.size());
    last = page;
  };
  auto start = Clock::now();
  for (int i = 0; i < 10; ++i) Ok(deck_);
  EXPECT_LT(SecondsSince(start), 60.0);
  ASSERT_EQ(pageSizes_.size(), 10u);
  EXPECT_EQ(pageSizes_.back(), 6 + 10 * (3 + 5 * mebibyte + 1 + 4) + 7);
  EXPECT_TRUE(last.starts_with("<html><p>" + value));
  EXPECT_TRUE(last.ends_with(value + "f</p></html>"));
}

}  // namespace
}  // namespace tavrin
