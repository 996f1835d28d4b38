// Decks saved as UTF-16 ("Unicode" to older Windows editors): recognised by their byte-order mark
// and turned into UTF-8 while they are read, so that everything after the read sees UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// How a deck file's bytes were read: as they are, or converted from UTF-16 of either byte order.
enum class TextEncoding { kBytes, kUtf16Le, kUtf16Be };

// The byte order of the UTF-16 byte-order mark (FF FE or FE FF) that `start`, a file's first
// bytes, begins with; kBytes when it begins with none.
TextEncoding EncodingOfStart(std::string_view start);
inline constexpr std::size_t kUtf16MarkLength = 2;

// Converts UTF-16 to UTF-8 piece by piece, as a file arrives: a unit or a surrogate pair cut
// between two pieces is completed by the next. An unpaired surrogate, and an odd byte at the end,
// become U+FFFD. Linear in the bytes fed; ASCII goes eight or sixteen units at a time, and where
// the processor has AVX2, other text without surrogates goes eight at a time.
class Utf16Decoder {
 public:
  // `avx2` false keeps to the plain way on a processor with AVX2 too, for the tests of that way.
  explicit Utf16Decoder(bool bigEndian, bool avx2 = true) : bigEndian_(bigEndian), avx2_(avx2) {}

  // Appends the UTF-8 of `bytes`, which continue the bytes fed before, to `out`.
  void Feed(std::string_view bytes, std::string& out);
  // Appends what the bytes fed so far leave pending (U+FFFD for each half), to `out`.
  void Finish(std::string& out);

 private:
  // Writes the UTF-8 of `bytes` at `o` and returns the end. At most three bytes a unit, and three
  // more for a high surrogate left waiting by the bytes before (U+FFFD when no low one follows).
  char* Convert(std::string_view bytes, char* o);

  bool bigEndian_;
  [[maybe_unused]] bool avx2_;  // unused where there is no AVX2 way
  int pendingByte_ = -1;        // the first byte of a unit cut between pieces
  uint32_t highHalf_ = 0;       // a high surrogate waiting for its low one, or 0
};

}  // namespace tavrin
