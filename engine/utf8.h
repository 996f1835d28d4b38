// Strict UTF-8: the rule for one sequence, shared by the validator here and by decoders, and the
// check of a whole text.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tavrin {

// How the bytes at one index read as UTF-8.
struct Utf8Sequence {
  // Bytes the sequence takes: all of a valid one; for an invalid one the longest start of a
  // sequence found there (at least 1), which a decoder replaces by one substitute character.
  std::size_t length;
  // True for a whole sequence: no overlong form, no surrogate, nothing above U+10FFFF.
  bool valid;
};

// The sequence that begins at index `at` of `bytes`; {0, false} when `at` is not below
// bytes.size(). Looks at no byte past the sequence.
Utf8Sequence Utf8SequenceAt(std::string_view bytes, std::size_t at);

// True when `bytes` is strict UTF-8: every sequence in it valid to the end.
bool IsValidUtf8(std::string_view bytes);

// One implementation of IsValidUtf8, which chooses between them by length and processor.
struct Utf8Validator {
  const char* name;
  bool (*check)(std::string_view bytes);
  bool runsHere;  // false where this processor lacks the instructions it needs
};
// Every implementation of this build, so that each can be tested whatever the processor.
std::vector<Utf8Validator> Utf8Validators();

}  // namespace tavrin
