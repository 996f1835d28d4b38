// The double-byte rule: which bytes begin a two-byte character, set for the whole process by the
// code page of the deck shown, and read by every search and split of the text unit.
#pragma once

#include <string_view>

namespace tavrin {

// The bytes that begin a double-byte character in code page 932, as two ranges.
struct ByteRange {
  unsigned char first;
  unsigned char last;
};
inline constexpr ByteRange kLead932[] = {{0x81, 0x9F}, {0xE0, 0xFC}};

// True when `byte` begins a double-byte character in code page 932, whatever the current rule.
constexpr bool IsLead932(unsigned char byte) {
  return (byte >= kLead932[0].first && byte <= kLead932[0].last) ||
         (byte >= kLead932[1].first && byte <= kLead932[1].last);
}

// Code pages the engine knows: 932 (Shift-JIS: double-byte mode on, lead bytes kLead932) and 65001
// (UTF-8: double-byte mode off).
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

}  // namespace tavrin
