// TextList, and ReadLines, which fills one from a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "engine/byte_blocks.h"
#include "engine/error.h"
#include "engine/text_list.h"
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

namespace {

// Bits for the bytes 00, LF and CR among the `count` (at most 64) bytes at `d`, lowest first.
inline uint64_t LineEndBits(const char* d, std::size_t count) {
  uint64_t bits = 0;
#if defined(__SSE2__)
  if (count == 64) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (int k = 0; k < 4; ++k) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * k));
      __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, zero),
                                 _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
      bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(hit))) << (16 * k);
    }
    return bits;
  }
#endif
  for (std::size_t i = 0; i < count; ++i) {
    const char c = d[i];
    if (c == '\0' || c == '\n' || c == '\r') bits |= uint64_t{1} << i;
  }
  return bits;
}

// Cuts data into lines while it is read: CR LF, a lone CR and a lone LF each end a line, a zero
// byte ends the data, a last line without a line end counts, a line end at the very end adds no
// empty line. The line ends of each 64 bytes are found together, so a short line costs no search
// of its own, and each part of the data is cut just after it arrives, while it is in the cache.
class LineCutter {
 public:
  explicit LineCutter(std::vector<TextList::Span>& spans) : spans_(spans) {}

  // Cuts what it can of `data`, all the bytes that have arrived so far: the blocks of 64 that
  // some byte follows, since the LF of a CR LF may be the next.
  void Feed(std::string_view data) {
    while (!done_ && block_ + 64 < data.size()) Cut(data, 64);
  }

  // Cuts the rest of `data`, which is complete.
  void Finish(std::string_view data) {
    while (!done_ && block_ < data.size()) {
      Cut(data, std::min<std::size_t>(64, data.size() - block_));
    }
    if (!done_ && pos_ < data.size()) Add(data.size());
    done_ = true;
  }

 private:
  void Cut(std::string_view data, std::size_t count) {
    const char* d = data.data();
    uint64_t bits = LineEndBits(d + block_, count);
    while (bits != 0) {
      const std::size_t end = block_ + static_cast<std::size_t>(std::countr_zero(bits));
      bits &= bits - 1;
      if (end < pos_) continue;  // the LF of a CR LF
      if (d[end] == '\0') {
        if (end > pos_) Add(end);
        done_ = true;
        return;
      }
      Add(end);
      pos_ = end + 1;
      if (d[end] == '\r' && pos_ < data.size() && d[pos_] == '\n') ++pos_;
    }
    block_ += 64;
  }
  void Add(std::size_t end) {
    spans_.push_back({static_cast<uint32_t>(pos_), static_cast<uint32_t>(end - pos_)});
  }

  std::vector<TextList::Span>& spans_;
  std::size_t block_ = 0;  // the next block to cut
  std::size_t pos_ = 0;    // start of the next line
  bool done_ = false;
};

}  // namespace

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
      const std::size_t ends = std::max(CountByte(piece, '\n'), CountByte(piece, '\r'));
      ReserveFresh(spans, (ends + 1) * (size / piece.size() + 1) / 8 * 9 + 16);
      // A file that begins with a UTF-16 mark is read as UTF-8 converted from it, without the mark.
      encoding = EncodingOfStart(piece);
      if (encoding != TextEncoding::kBytes) {
        utf16.emplace(encoding == TextEncoding::kUtf16Be);
        piece.remove_prefix(kUtf16MarkLength);
      }
      // Room for the whole text, which from UTF-16 may be up to half as long again (three bytes
      // from two); the part it leaves unused is never touched.
      ReserveFresh(data, utf16 ? size / 2 * 3 + 8 : size);
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
