// Byte-string primitives of the deck engine: double-byte aware search, replace, the two splits,
// reading a file as lines, and the shuffle's pseudo-random generator.
//
// Positions count bytes and start at 1; 0 means "not found". No function here converts, trims or
// case-folds bytes. Every operation is linear in the bytes it reads and writes.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/utf16.h"

namespace tavrin {

// The one exception type of the system. what() is the message text (UTF-8).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---- Double-byte rule (process-wide) --------------------------------------------------------

// Code pages the engine knows: 932 (Shift-JIS: double-byte mode on, lead bytes 81-9F and E0-FC)
// and 65001 (UTF-8: double-byte mode off).
constexpr int kCodePage932 = 932;
constexpr int kCodePageUtf8 = 65001;

// Sets DoubleByteMode and LeadByteSet for `codePage`. Any value other than 932 turns the mode off.
void SetDoubleByteCodePage(int codePage);
// The code page last set; 932 until anything else is set.
int DoubleByteCodePage();
// True when double-byte mode is on.
bool DoubleByteMode();
// True when `byte` begins a double-byte character under the current rule.
bool IsLeadByte(unsigned char byte);
// True when the 1-based position `pos` of `text` is the second byte of a double-byte character.
bool IsTrailPosition(std::string_view text, std::size_t pos);

// ---- TextList --------------------------------------------------------------------------------

// Ordered list of byte strings. Entries live in one byte arena and are addressed by offsets, so
// that a file of a million lines or a split into millions of pieces costs two allocations.
// Views returned by At() stay valid until the list is next modified.
class TextList {
 public:
  TextList() = default;
  TextList(const TextList&) = default;
  TextList& operator=(const TextList&) = default;
  // A list moved from is left empty, under a version of its own.
  TextList(TextList&& other) noexcept;
  TextList& operator=(TextList&& other) noexcept;

  void Clear();
  void Append(std::string_view entry);
  int32_t Count() const { return static_cast<int32_t>(spans_.size()); }
  // The entry at 0-based `index`. Throws Error "リストのインデックスが範囲を超えています (%d)"
  // for an index below 0 or not below Count().
  std::string_view At(int32_t index) const;
  // Removes the first `n` bytes of entry `index` (at most its length).
  void DropPrefix(int32_t index, std::size_t n);

  // Replaces the whole list by `arena` and entries given as [offset, offset + length) into it.
  struct Span {
    uint32_t offset;
    uint32_t length;
  };
  void Assign(std::string arena, std::vector<Span> spans);

  // Changes with every change to the entries, and is shared only by copies of the same entries:
  // two lists of one version hold the same entries.
  uint64_t Version() const { return version_; }

 private:
  void Changed();

  std::string arena_;
  std::vector<Span> spans_;
  uint64_t version_ = 0;  // 0: never changed, so empty
};

// ---- Searching and replacing -----------------------------------------------------------------

// Position of the first occurrence of `pattern` in `text` that does not begin at a trail position,
// or 0 when there is none or either is empty. The text ends at its first zero byte.
int32_t FindText(std::string_view pattern, std::string_view text);

// Up to `count` bytes of `text` from 1-based `start` (a start below 1 counts as 1 and does not
// shorten `count`). Empty for an empty text, a start past the end or a negative count.
std::string CopyRange(std::string_view text, int32_t start, int32_t count);

// `text` with every occurrence of `pattern` replaced by `replacement`, left to right, without
// overlap; each search runs over the remainder as a text of its own. An empty pattern gives `text`.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// Decimal digits of `n` (n >= 1): no sign, no leading zeros.
std::string DecimalText(int32_t n);

// ---- Splitting -------------------------------------------------------------------------------

// Replaces the entries of `list` by the pieces of `text` cut at `separator`, empty pieces kept.
// An empty separator gives one entry, the whole text. `text` may be an entry of `list`.
void SplitKeepingEmpty(std::string_view separator, std::string_view text, TextList& list);

// As SplitKeepingEmpty, after one left-to-right pass that turns each doubled separator into one.
void SplitDroppingDoubles(std::string_view separator, std::string_view text, TextList& list);

// ---- Files -----------------------------------------------------------------------------------

// Replaces the entries of `list` by the lines of file `fileName` (CR LF, CR or LF end a line; a
// zero byte ends the data). Throws Error "ファイル %s は開けません" with `fileName` as given when
// the file cannot be opened or read, is not a regular file, or is larger than 2,147,483,647 bytes;
// the list is then left untouched. A file that begins with a UTF-16 byte-order mark is read as the
// UTF-8 of its text after the mark; returns how the file was read.
TextEncoding ReadLines(const std::string& fileName, TextList& list);

// True when `fileName` names an existing file that is not a directory (links are followed).
bool IsExistingFile(const std::string& fileName);

// ---- Pseudo-random generator -----------------------------------------------------------------

// Milliseconds since midnight UTC, from 0 to 86399999.
using TimeOfDayClock = std::function<uint32_t()>;

// Replaces the clock that SeedRandom reads; an empty function restores the system clock.
void SetTimeOfDayClock(TimeOfDayClock clock);

// RandomState := the clock's milliseconds since midnight UTC.
void SeedRandom();

// Advances RandomState and returns a value from 0 to n - 1 (n >= 1).
uint32_t RandomBelow(uint32_t n);

// The generator's state, for tests and for tools that replay a run.
uint32_t RandomState();
void SetRandomState(uint32_t state);

}  // namespace tavrin
