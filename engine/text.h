// Byte-string primitives of the deck engine: double-byte aware search, replace and the two splits.
// The double-byte rule they follow is in double_byte.h, TextList in text_list.h.
//
// Positions count bytes and start at 1; 0 means "not found". No function here converts, trims or
// case-folds bytes. Every operation is linear in the bytes it reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/text_list.h"

namespace tavrin {

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

}  // namespace tavrin
