// The settings file: a private-profile reader and writer that keeps every line it does not own
// byte for byte, and replaces the file atomically on each write.

#include "shell/settings.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/text.h"

namespace tavrin {

namespace {

constexpr std::size_t kMaxValueBytes = 2047;
constexpr std::string_view kDeletedSuffix = " (deleted)";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section and key names match without regard to ASCII case and to blanks around them.
bool SameName(std::string_view stored, std::string_view wanted) {
  stored = TrimBlanks(stored);
  wanted = TrimBlanks(wanted);
  if (stored.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (AsciiLower(stored[i]) != AsciiLower(wanted[i])) return false;
  }
  return true;
}

// ---- Parsing -----------------------------------------------------------------------------------

// One line of the file as offsets: [begin, contentEnd) is the text, [contentEnd, end) the line end
// (LF, CR LF, or a lone CR at the very end of the file; empty for an unterminated last line).
struct Line {
  std::size_t begin;
  std::size_t contentEnd;
  std::size_t end;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    std::size_t end = (lf == std::string_view::npos) ? text.size() : lf + 1;
    std::size_t contentEnd = (lf == std::string_view::npos) ? text.size() : lf;
    if (contentEnd > pos && text[contentEnd - 1] == '\r') --contentEnd;
    lines.push_back({pos, contentEnd, end});
    pos = end;
  }
  return lines;
}

enum class LineKind { kBlank, kComment, kSection, kKey, kOther };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;       // section or key name, untrimmed
  std::size_t valueBegin = 0;  // absolute offset of the value, for keys
};

ParsedLine ParseLine(std::string_view text, const Line& line) {
  std::size_t begin = line.begin;
  // A UTF-8 mark in front of the first line is kept but not read as part of it.
  if (begin == 0 && text.substr(0, line.contentEnd).starts_with(kUtf8Mark)) begin = 3;
  std::string_view content = text.substr(begin, line.contentEnd - begin);
  std::size_t first = 0;
  while (first < content.size() && IsBlank(content[first])) ++first;
  ParsedLine parsed;
  if (first == content.size()) {
    parsed.kind = LineKind::kBlank;
  } else if (content[first] == '[') {
    parsed.kind = LineKind::kSection;
    std::string_view rest = content.substr(first + 1);
    parsed.name = rest.substr(0, rest.find(']'));
  } else if (content[first] == ';' || content[first] == '#') {
    parsed.kind = LineKind::kComment;
  } else if (std::size_t eq = content.find('='); eq != std::string_view::npos) {
    parsed.kind = LineKind::kKey;
    parsed.name = content.substr(0, eq);
    parsed.valueBegin = begin + eq + 1;
  }
  return parsed;
}

// Where a key lies: only the first section of the name counts, and in it the first key line.
struct KeyLocation {
  bool sectionFound = false;
  std::size_t sectionLine = 0;
  // The last line of the section that is neither blank nor a comment (a new key goes after it, so
  // that blank lines and comments in front of the next section stay with that section).
  std::size_t lastContentLine = 0;
  bool keyFound = false;
  std::size_t keyLine = 0;
  std::size_t valueBegin = 0;
};

KeyLocation Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                   std::string_view key) {
  KeyLocation where;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ParsedLine parsed = ParseLine(text, lines[i]);
    if (parsed.kind == LineKind::kSection) {
      if (inSection) break;
      if (!where.sectionFound && SameName(parsed.name, section)) {
        inSection = true;
        where.sectionFound = true;
        where.sectionLine = i;
        where.lastContentLine = i;
      }
      continue;
    }
    if (!inSection) continue;
    if (parsed.kind == LineKind::kKey || parsed.kind == LineKind::kOther) where.lastContentLine = i;
    if (parsed.kind == LineKind::kKey && SameName(parsed.name, key)) {
      where.keyFound = true;
      where.keyLine = i;
      where.valueBegin = parsed.valueBegin;
      return where;
    }
  }
  return where;
}

// The file's own line end: that of its first line, LF for a file without one.
std::string_view LineEndOf(std::string_view text) {
  std::size_t lf = text.find('\n');
  if (lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r') return "\r\n";
  return "\n";
}

// `text` with `section`/`key` set to `value`: the value replaced in place, a new key after the
// section's last content line, or a new section at the end of the file.
std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
  std::vector<Line> lines = SplitLines(text);
  KeyLocation where = Locate(text, lines, section, key);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (where.keyFound) {
    result.append(text.substr(0, where.valueBegin));
    result.append(value);
    result.append(text.substr(lines[where.keyLine].contentEnd));
    return result;
  }
  std::string_view eol = LineEndOf(text);
  // Insert after the line that ends at `at`; that line may lack a line end of its own.
  std::size_t at = where.sectionFound ? lines[where.lastContentLine].end : text.size();
  result.append(text.substr(0, at));
  // A lone CR at the end of the file only lacks its LF.
  if (at > 0 && text[at - 1] == '\r') {
    result.append("\n");
  } else if (at > 0 && text[at - 1] != '\n') {
    result.append(eol);
  }
  if (!where.sectionFound) {
    result.append("[").append(section).append("]").append(eol);
  }
  result.append(key).append("=").append(value).append(eol);
  result.append(text.substr(at));
  return result;
}

// A CR inside a value reads back unchanged; a line feed or a zero byte would break the line, and
// a CR at the end would be read as part of the line end.
bool IsStorableValue(std::string_view value) {
  return value.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos &&
         (value.empty() || value.back() != '\r');
}

// A name or value that the reader would not give back as written.
bool CanWrite(std::string_view section, std::string_view key, std::string_view value) {
  auto hasBreak = [](std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
  };
  std::string_view sectionName = TrimBlanks(section);
  std::string_view keyName = TrimBlanks(key);
  if (sectionName.empty() || hasBreak(section) || section.find(']') != std::string_view::npos) {
    return false;
  }
  if (keyName.empty() || hasBreak(key) || key.find('=') != std::string_view::npos) return false;
  if (keyName.front() == '[' || keyName.front() == ';' || keyName.front() == '#') return false;
  return IsStorableValue(value);
}

// ---- File access -------------------------------------------------------------------------------

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
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

enum class ReadResult { kRead, kMissing, kFailed };

// Reads the whole regular file `path` into `text`. Opening does not block on a FIFO.
ReadResult ReadWholeFile(const std::string& path, std::string& text, struct stat* info) {
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
    ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
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

std::string BaseNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
  FileHandle handle(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The rename is done either way; this only makes it durable sooner.
  if (handle.Valid()) ::fsync(handle.Get());
}

// Writes `content` to a new file beside `target` and renames it over `target`. False when any
// step fails; the temporary file is then gone and `target` untouched.
bool ReplaceAtomically(const std::string& target, std::string_view content,
                       const struct stat* oldInfo) {
  static unsigned counter = 0;
  std::string dir = DirectoryOf(target);
  std::string prefix = dir + "/." + BaseNameOf(target) + "." + std::to_string(::getpid()) + ".";
  std::string temp;
  FileHandle file;
  for (int attempt = 0; attempt < 100 && !file.Valid(); ++attempt) {
    temp = prefix + std::to_string(counter++) + ".tmp";
    file.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
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
  ok = ok && WriteAllAt(file.Get(), content, 0) && ::fsync(file.Get()) == 0;
  ok = file.Close() && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
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
    ::fsync(fd);
    return false;
  }
  return ::fsync(fd) == 0;
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

std::string FullPath(const std::string& path) {
  if (path.starts_with('/')) return path;
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return path;
  std::string result = std::string(cwd) + "/" + path;
  std::free(cwd);
  return result;
}

// Parses the text of a number: decimal with sign, or a hexadecimal marker and one to eight digits.
bool ParseNumber(std::string_view text, int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
  if (text.empty()) return false;
  std::size_t markerLength = 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') {
    markerLength = 1;
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    markerLength = 2;
  }
  if (markerLength > 0) {
    std::string_view digits = text.substr(markerLength);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t pattern = 0;
    for (char c : digits) {
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return false;
      }
      pattern = (pattern << 4) | static_cast<uint32_t>(digit);
    }
    value = static_cast<int32_t>(pattern);
    return true;
  }
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir) {
    return found->pw_dir;
  }
  return {};
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// ---- SettingsFile ------------------------------------------------------------------------------

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

std::string SettingsFile::ReadText(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
  std::string text;
  std::string_view value = defaultValue;
  if (ReadWholeFile(path_, text, nullptr) == ReadResult::kRead) {
    std::vector<Line> lines = SplitLines(text);
    KeyLocation where = Locate(text, lines, section, key);
    if (where.keyFound) {
      std::size_t end = lines[where.keyLine].contentEnd;
      value = std::string_view(text).substr(where.valueBegin, end - where.valueBegin);
    }
  }
  value = value.substr(0, value.find('\0'));
  return std::string(value.substr(0, kMaxValueBytes));
}

int32_t SettingsFile::ReadNumber(const std::string& section, const std::string& key,
                                 int32_t defaultValue) const {
  int32_t value;
  return ParseNumber(ReadText(section, key, std::string()), value) ? value : defaultValue;
}

bool SettingsFile::ReadFlag(const std::string& section, const std::string& key,
                            bool defaultValue) const {
  return ReadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::WriteText(const std::string& section, const std::string& key,
                             const std::string& value) {
  auto fail = [this]() { return Error(FullPath(path_) + " に書き込めません"); };
  if (!CanWrite(section, key, value)) throw fail();
  std::string target = ResolveLink(path_);
  std::string oldContent;
  struct stat oldInfo;
  ReadResult read = ReadWholeFile(target, oldContent, &oldInfo);
  if (read == ReadResult::kFailed) throw fail();
  bool exists = read == ReadResult::kRead;
  FileHandle inPlace;
  if (exists) {
    // A file that we may not write stays as it is, even where its folder would allow a rename.
    inPlace.Reset(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (!inPlace.Valid()) throw fail();
  } else if (!MakeDirectories(DirectoryOf(target))) {
    throw fail();
  }
  std::string content = WithValue(oldContent, section, key, value);
  if (ReplaceAtomically(target, content, exists ? &oldInfo : nullptr)) return;
  // The folder allows no new file (or no rename): the file itself is writable, so rewrite it.
  if (exists && RewriteInPlace(inPlace.Get(), oldContent, content)) return;
  throw fail();
}

void SettingsFile::WriteNumber(const std::string& section, const std::string& key, int32_t value) {
  WriteText(section, key, std::to_string(value));
}

void SettingsFile::WriteFlag(const std::string& section, const std::string& key, bool value) {
  WriteText(section, key, value ? "1" : "0");
}

// ---- Location ----------------------------------------------------------------------------------

std::string SettingsFilePath(const std::string& executablePath, const std::string& configHome,
                             const std::string& home) {
  std::string exe = executablePath;
  // The kernel marks an executable replaced while it runs (an upgrade); its name is still ours.
  if (exe.ends_with(kDeletedSuffix) && !IsExistingFile(exe)) {
    exe.resize(exe.size() - kDeletedSuffix.size());
  }
  std::string beside;
  if (!exe.empty()) {
    beside = exe;
    std::size_t dot = beside.rfind('.');
    if (dot != std::string::npos && beside.find('/', dot) == std::string::npos) beside.resize(dot);
    beside += ".ini";
    if (IsExistingFile(beside)) return beside;
  }
  std::string name = beside.empty() ? std::string("tavrin.ini") : BaseNameOf(beside);
  // A relative configuration folder is invalid and ignored, as the XDG rules say.
  std::string base;
  if (configHome.starts_with('/')) {
    base = configHome;
  } else if (!home.empty()) {
    base = home + "/.config";
  } else {
    return beside.empty() ? name : beside;
  }
  if (!base.ends_with('/')) base += '/';
  return base + "tavrin/" + name;
}

std::string SettingsFilePath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  return SettingsFilePath(ExecutablePath(), configHome ? configHome : "", HomeDirectory());
}

std::unique_ptr<SettingsFile> OpenSettingsFile() {
  return std::make_unique<SettingsFile>(SettingsFilePath());
}

// ---- Window placement and the whole set
// ----------------------------------------------------------

void LoadWindowPlacement(const SettingsFile& settings, SettingsWindow& window) {
  if (!IsExistingFile(settings.Path())) return;
  window.SetTop(settings.ReadNumber("Main", "Top", 0));
  window.SetLeft(settings.ReadNumber("Main", "Left", 0));
  window.SetWidth(settings.ReadNumber("Main", "Width", 400));
  window.SetHeight(settings.ReadNumber("Main", "Height", 300));
  if (settings.ReadFlag("Main", "Maximized", false)) window.SetMaximized();
}

void SaveWindowPlacement(SettingsFile& settings, SettingsWindow& window) {
  settings.WriteFlag("Main", "Maximized", window.IsMaximized());
  window.Restore();
  settings.WriteNumber("Main", "Top", window.Top());
  settings.WriteNumber("Main", "Left", window.Left());
  settings.WriteNumber("Main", "Width", window.Width());
  settings.WriteNumber("Main", "Height", window.Height());
}

ShellSettings LoadSettings(const SettingsFile& settings, SettingsWindow& window) {
  ShellSettings values;
  LoadWindowPlacement(settings, window);
  values.ButtonHeight = settings.ReadNumber("Main", "ButtonHeight", 46);
  values.ButtonWidth = settings.ReadNumber("Main", "ButtonWidth", 75);
  values.FileName = settings.ReadText("Main", "FileName", std::string());
  StartupTemplates& t = values.Templates;
  t.OuterHead = settings.ReadText("HTML", "OuterHead", std::string());
  t.OuterFoot = settings.ReadText("HTML", "OuterFoot", std::string());
  t.InnerHead = settings.ReadText("HTML", "InnerHead", std::string());
  t.InnerFoot = settings.ReadText("HTML", "InnerFoot", std::string());
  if (t.OuterHead.empty()) t.OuterHead = kDefaultStartupTemplates.OuterHead;
  if (t.OuterFoot.empty()) t.OuterFoot = kDefaultStartupTemplates.OuterFoot;
  if (t.InnerHead.empty()) t.InnerHead = kDefaultStartupTemplates.InnerHead;
  if (t.InnerFoot.empty()) t.InnerFoot = kDefaultStartupTemplates.InnerFoot;
  return values;
}

ShellSettings LoadSettings(SettingsWindow& window) {
  std::unique_ptr<SettingsFile> settings = OpenSettingsFile();
  return LoadSettings(*settings, window);
}

void SaveSettings(SettingsFile& settings, SettingsWindow& window, const ShellSettings& values) {
  SaveWindowPlacement(settings, window);
  settings.WriteNumber("Main", "ButtonHeight", window.OpenButtonHeight());
  settings.WriteNumber("Main", "ButtonWidth", window.OpenButtonWidth());
  // A file name with a line break (possible here, not where the format comes from) cannot be
  // stored; forgetting it beats a close that fails every time.
  const std::string& fileName = values.FileName;
  settings.WriteText("Main", "FileName", IsStorableValue(fileName) ? fileName : std::string());
  // A template read from a file with LF line ends may end in CR; written back it would lose it
  // anyway, so it is stored without, rather than failing every close.
  auto storable = [](std::string text) {
    while (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
  };
  settings.WriteText("HTML", "OuterHead", storable(values.Templates.OuterHead));
  settings.WriteText("HTML", "OuterFoot", storable(values.Templates.OuterFoot));
  settings.WriteText("HTML", "InnerHead", storable(values.Templates.InnerHead));
  settings.WriteText("HTML", "InnerFoot", storable(values.Templates.InnerFoot));
}

void SaveSettings(SettingsWindow& window, const ShellSettings& values) {
  std::unique_ptr<SettingsFile> settings = OpenSettingsFile();
  SaveSettings(*settings, window, values);
}

}  // namespace tavrin
