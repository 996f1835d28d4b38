// TextList, the engine's list of byte strings, and the reading of a file into one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/utf16.h"

namespace tavrin {

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

// ---- Files -----------------------------------------------------------------------------------

// Replaces the entries of `list` by the lines of file `fileName` (CR LF, CR or LF end a line; a
// zero byte ends the data). Throws Error "ファイル %s は開けません" with `fileName` as given when
// the file cannot be opened or read, is not a regular file, or is larger than 2,147,483,647 bytes;
// the list is then left untouched. A file that begins with a UTF-16 byte-order mark is read as the
// UTF-8 of its text after the mark; returns how the file was read.
TextEncoding ReadLines(const std::string& fileName, TextList& list);

// True when `fileName` names an existing file that is not a directory (links are followed).
bool IsExistingFile(const std::string& fileName);

}  // namespace tavrin
