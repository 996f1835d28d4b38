// The durable file: whole reads, and whole replacements by rename or, failing that, in place.

#include "shell/durable_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string_view>

namespace tavrin {

namespace {

constexpr char kTemporarySuffix[] = ".tmp";
constexpr time_t kStaleSeconds = 10;

int SystemOpen(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

class FileHandle {
 public:
  explicit FileHandle(int fd = -1) : fd_(fd) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  int Get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  bool Valid() const { return fd_ >= 0; }
  // Closes the file; false when the close reported an error (a write may then be lost).
  bool Close() {
    if (fd_ < 0) return true;
    int rc = SystemCalls().close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

// Reads the whole regular file `path` into `text`, and its status into `info` when given.
ReadResult ReadWhole(const std::string& path, std::string& text, struct stat* info) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.Valid()) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st;
  if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kFailed;
  if (info) *info = st;
  text.clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadResult::kFailed;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return ReadResult::kRead;
}

bool WriteAllAt(int fd, std::string_view data, off_t offset) {
  while (!data.empty()) {
    ssize_t n = SystemCalls().pwrite(fd, data.data(), data.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Creates `dir` and any missing parents (private to the user, as configuration folders are).
bool MakeDirectories(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::string parent = DirectoryOf(dir);
  if (parent != dir && !MakeDirectories(parent)) return false;
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

void SyncDirectory(const std::string& dir) {
  FileHandle handle(SystemCalls().open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  // The rename is done either way; this only makes it durable sooner.
  if (handle.Valid()) SystemCalls().fsync(handle.Get());
}

// A temporary file is ".<name>.<writer's pid>.<n>.tmp" beside the file <name>.
std::string TemporaryName(const std::string& base, pid_t pid, unsigned n) {
  return "." + base + "." + std::to_string(pid) + "." + std::to_string(n) + kTemporarySuffix;
}

// The writer's pid in a temporary file's name for the file `base`, or 0 for any other name.
pid_t WriterOfTemporary(std::string_view name, const std::string& base) {
  auto digits = [&name](std::size_t most) {
    std::size_t n = 0;
    while (n < name.size() && n < most && name[n] >= '0' && name[n] <= '9') ++n;
    std::string_view run = name.substr(0, n);
    name.remove_prefix(n);
    return run;
  };
  if (!name.starts_with("." + base + ".")) return 0;
  name.remove_prefix(base.size() + 2);
  std::string_view pid = digits(9);
  if (pid.empty() || !name.starts_with('.')) return 0;
  name.remove_prefix(1);
  if (digits(10).empty() || name != kTemporarySuffix) return 0;
  return static_cast<pid_t>(std::stol(std::string(pid)));
}

// Removes the temporary files of `base` in `dir` that killed writers left behind: our own regular
// files, unchanged for kStaleSeconds, whose writer process is gone (or is this one, which has no
// write under way). A writer that is still at work, even one whose process is invisible here,
// renames its file within moments of making it.
void RemoveStaleTemporaries(const std::string& dir, const std::string& base) {
  DIR* folder = ::opendir(dir.c_str());
  if (!folder) return;
  const time_t now = ::time(nullptr);
  while (const struct dirent* entry = ::readdir(folder)) {
    pid_t writer = WriterOfTemporary(entry->d_name, base);
    if (writer <= 0) continue;
    std::string path = dir + "/" + entry->d_name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        now - st.st_mtime < kStaleSeconds) {
      continue;
    }
    bool running = writer != ::getpid() && (::kill(writer, 0) == 0 || errno == EPERM);
    if (!running) ::unlink(path.c_str());
  }
  ::closedir(folder);
}

// Writes `content` to a new file beside `target` and renames it over `target`. False when any
// step fails; the temporary file is then gone and `target` untouched.
bool ReplaceAtomically(const std::string& target, std::string_view content,
                       const struct stat* oldInfo) {
  static unsigned counter = 0;
  std::string dir = DirectoryOf(target);
  std::string temp;
  FileHandle file;
  for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
    temp = dir + "/" + TemporaryName(BaseNameOf(target), ::getpid(), counter++);
    file.Reset(SystemCalls().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.Valid() && errno != EEXIST) return false;
  }
  if (!file.Valid()) return false;
  bool ok = true;
  if (oldInfo) {
    // The replacement keeps the old file's owner (where allowed) and permissions.
    if (oldInfo->st_uid != ::geteuid() || oldInfo->st_gid != ::getegid()) {
      (void)!::fchown(file.Get(), oldInfo->st_uid, oldInfo->st_gid);
    }
    ok = ::fchmod(file.Get(), oldInfo->st_mode & 07777) == 0;
  }
  ok = ok && WriteAllAt(file.Get(), content, 0) && SystemCalls().fsync(file.Get()) == 0;
  ok = file.Close() && ok;
  ok = ok && SystemCalls().rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncDirectory(dir);
  return true;
}

// Rewrites the open file `fd` (holding `oldContent`) in place. Space is reserved first, and a
// write that fails part-way puts the old content back, so that the file is either new or as it
// was unless the process dies in between.
bool RewriteInPlace(int fd, std::string_view oldContent, std::string_view content) {
  if (content.size() > oldContent.size()) {
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(content.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
      return false;
    }
  }
  bool ok = WriteAllAt(fd, content, 0);
  if (ok && content.size() < oldContent.size()) {
    ok = ::ftruncate(fd, static_cast<off_t>(content.size())) == 0;
  }
  if (!ok) {
    if (WriteAllAt(fd, oldContent, 0))
      (void)!::ftruncate(fd, static_cast<off_t>(oldContent.size()));
    SystemCalls().fsync(fd);
    return false;
  }
  return SystemCalls().fsync(fd) == 0;
}

// The target of a symbolic link, so that a linked settings file stays linked.
std::string ResolveLink(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

}  // namespace

DurableFileCalls& SystemCalls() {
  static DurableFileCalls calls{SystemOpen, ::pwrite, ::fsync, ::close, ::rename};
  return calls;
}

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
  return ReadWhole(path, bytes, nullptr);
}

bool ReplaceFileDurably(const std::string& path, const FileEdit& edit) {
  std::string target = ResolveLink(path);
  std::string oldContent;
  struct stat oldInfo;
  ReadResult read = ReadWhole(target, oldContent, &oldInfo);
  if (read == ReadResult::kFailed) return false;
  bool exists = read == ReadResult::kRead;
  FileHandle inPlace;
  if (exists) {
    // A file that we may not write stays as it is, even where its folder would allow a rename.
    inPlace.Reset(SystemCalls().open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK, 0));
    if (!inPlace.Valid()) return false;
  } else if (!MakeDirectories(DirectoryOf(target))) {
    return false;
  }
  std::optional<std::string> content = edit(oldContent);
  if (!content) return false;
  if (ReplaceAtomically(target, *content, exists ? &oldInfo : nullptr)) {
    RemoveStaleTemporaries(DirectoryOf(target), BaseNameOf(target));
    return true;
  }
  // The folder allows no new file (or no rename): the file itself is writable, so rewrite it.
  return exists && RewriteInPlace(inPlace.Get(), oldContent, *content);
}

std::string FullPath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code error;
  std::filesystem::path full = std::filesystem::current_path(error);
  if (error) return path;
  // Only "." goes: a symbolic link stays, and so does "..", which after one may lead elsewhere
  // than the folder written before it.
  for (const std::filesystem::path& part : std::filesystem::path(path)) {
    if (part != ".") full /= part;
  }
  return full.native();
}

std::string BaseNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace tavrin
