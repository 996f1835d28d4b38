// TextList, and ReadLines, which fills one from a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <utility>

#include "engine/scan.h"
#include "engine/text.h"

namespace tavrin {

// ---- TextList ---------------------------------------------------------------------------------

namespace {
std::atomic<uint64_t> g_lastListVersion{0};
}  // namespace

void TextList::Changed() {
  version_ = g_lastListVersion.fetch_add(1, std::memory_order_relaxed) + 1;
}

TextList::TextList(TextList&& other) noexcept
    : arena_(std::move(other.arena_)), spans_(std::move(other.spans_)), version_(other.version_) {
  other.Clear();
}

TextList& TextList::operator=(TextList&& other) noexcept {
  if (this != &other) {
    arena_ = std::move(other.arena_);
    spans_ = std::move(other.spans_);
    version_ = other.version_;
    other.Clear();
  }
  return *this;
}

void TextList::Clear() {
  arena_.clear();
  spans_.clear();
  Changed();
}

void TextList::Append(std::string_view entry) {
  spans_.push_back({static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(entry.size())});
  arena_.append(entry);
  Changed();
}

std::string_view TextList::At(int32_t index) const {
  if (index < 0 || index >= Count()) {
    throw Error("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
  }
  const Span& s = spans_[index];
  return std::string_view(arena_).substr(s.offset, s.length);
}

void TextList::DropPrefix(int32_t index, std::size_t n) {
  At(index);  // range check
  Span& s = spans_[index];
  uint32_t cut = static_cast<uint32_t>(std::min<std::size_t>(n, s.length));
  s.offset += cut;
  s.length -= cut;
  Changed();
}

void TextList::Assign(std::string arena, std::vector<Span> spans) {
  arena_ = std::move(arena);
  spans_ = std::move(spans);
  Changed();
}

namespace {

[[noreturn]] void ThrowOpenError(const std::string& fileName) {
  throw Error("ファイル " + fileName + " は開けません");
}

}  // namespace

// ---- Files ------------------------------------------------------------------------------------

void ReadLines(const std::string& fileName, TextList& list) {
  // Non-blocking, so that a named pipe in place of a deck is refused instead of waiting forever.
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) ThrowOpenError(fileName);
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};

  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_size > std::numeric_limits<int32_t>::max()) {
    ThrowOpenError(fileName);
  }

  const auto size = static_cast<std::size_t>(st.st_size);
  std::string data;
  ReserveFresh(data, size);
  std::vector<TextList::Span> spans;
  LineCutter cutter(spans);
  // Read through a small buffer that stays in the cache, and append from it: sizing the string
  // first would fill every byte with zeros only for the read to fill it again. Each piece is cut
  // into lines as soon as it is in.
  char chunk[64 * 1024];
  while (data.size() < size) {
    ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, size - data.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowOpenError(fileName);
    if (n == 0) break;  // truncated since fstat: take what is there
    if (data.empty()) {
      // Room for the lines of the whole file at the rate of the first piece, and some more:
      // growing a list of a million lines step by step faults in every step afresh.
      const std::string_view first(chunk, static_cast<std::size_t>(n));
      const std::size_t ends =
          std::max(CountBytes(first, '\n', '\n'), CountBytes(first, '\r', '\r'));
      ReserveFresh(spans, (ends + 1) * (size / first.size() + 1) / 8 * 9 + 16);
    }
    data.append(chunk, static_cast<std::size_t>(n));
    cutter.Feed(data);
  }
  cutter.Finish(data);
  list.Assign(std::move(data), std::move(spans));
}

bool IsExistingFile(const std::string& fileName) {
  struct stat st;
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace tavrin
