// The text of a private-profile (INI) file: pure functions over its bytes, with no file access.
// Sections and keys are found by name, values read, and one key's line replaced or inserted while
// every other byte of the text stays as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::ini {

// The longest value a read gives; longer stored values are cut to this many bytes.
constexpr std::size_t kMaxValueBytes = 2047;

// `text` without spaces and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

// True when two section or key names are the same once trimmed of blanks, ignoring ASCII case.
bool SameName(std::string_view stored, std::string_view wanted);

// The raw text of `key`'s value in `section`: everything after the key's first "=" up to its line
// end (CR LF, LF or CR alone; the text ends at its first Ctrl+Z). Only the first section of that
// name counts, and in it the first line of that key. Returns nothing when the section or the key
// is missing; never fails otherwise.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// What a read gives for the raw value `raw`: the text before any zero byte, without blanks
// (spaces, tabs) at either end, then without one pair of the same quotation mark (" or ') around
// it when it is at least two bytes long. Never fails.
std::string_view ValueOf(std::string_view raw);

// `value` cut to kMaxValueBytes, and with `wholeUtf8` further back to the start of a UTF-8
// character that the cut would split. Never fails.
std::string_view CutValue(std::string_view value, bool wholeUtf8);

// `text` with `key` in `section` set to `value`: the value replaced in its line, or a new key line
// after the section's last line that is neither blank nor a comment, or a new section at the end
// (before a Ctrl+Z that ends the text). New lines take the text's own line end. A value that
// ValueOf would change is written inside double quotes. The caller checks CanWrite first; an
// unwritable name or value gives a text that does not read back.
std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

// True when `value` reads back unchanged once written into a key's line: it holds no line break,
// zero byte or Ctrl+Z.
bool IsStorableValue(std::string_view value);

// True when a write of `value` to `key` in `section` reads back: the value is storable, and the
// names are not blank and hold no line break, zero byte or Ctrl+Z, no "]" in a section, no "=" in a
// key, and the key does not begin with "[", ";" or "#".
bool CanWrite(std::string_view section, std::string_view key, std::string_view value);

// The 32-bit number that `text` stands for, after leading blanks: decimal with an optional sign in
// the 32-bit range, or a hexadecimal marker ("$", "x", "X", "0x", "0X") and one to eight hex digits
// taken as a 32-bit pattern. Returns nothing for any other text.
std::optional<int32_t> ParseNumber(std::string_view text);

}  // namespace tavrin::ini
