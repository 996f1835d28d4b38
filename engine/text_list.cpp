// TextList, and ReadLines, which fills one from a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <optional>
#include <utility>

#include "engine/scan.h"
#include "engine/text.h"
#include "engine/utf16.h"

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

TextEncoding ReadLines(const std::string& fileName, TextList& list) {
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
  TextEncoding encoding = TextEncoding::kBytes;
  std::optional<Utf16Decoder> utf16;
  // Read through a small buffer that stays in the cache, and append from it: sizing the string
  // first would fill every byte with zeros only for the read to fill it again. Each piece is cut
  // into lines as soon as it is in.
  char chunk[64 * 1024];
  std::size_t read = 0;
  while (read < size) {
    ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, size - read));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowOpenError(fileName);
    if (n == 0) break;  // truncated since fstat: take what is there
    std::string_view piece(chunk, static_cast<std::size_t>(n));
    if (read == 0) {
      // Room for the lines of the whole file at the rate of the first piece, and some more:
      // growing a list of a million lines step by step faults in every step afresh.
      const std::size_t ends =
          std::max(CountBytes(piece, '\n', '\n'), CountBytes(piece, '\r', '\r'));
      ReserveFresh(spans, (ends + 1) * (size / piece.size() + 1) / 8 * 9 + 16);
      // A file that begins with a UTF-16 mark is read as UTF-8 converted from it, without the mark.
      encoding = EncodingOfStart(piece);
      if (encoding != TextEncoding::kBytes) {
        utf16.emplace(encoding == TextEncoding::kUtf16Be);
        piece.remove_prefix(kUtf16MarkLength);
      }
    }
    read += static_cast<std::size_t>(n);
    if (utf16) {
      utf16->Feed(piece, data);
    } else {
      data.append(piece);
    }
    cutter.Feed(data);
  }
  if (utf16) utf16->Finish(data);
  cutter.Finish(data);
  list.Assign(std::move(data), std::move(spans));
  return encoding;
}

bool IsExistingFile(const std::string& fileName) {
  struct stat st;
  return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace tavrin
