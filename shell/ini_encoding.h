// The encodings of a settings file: 8-bit text read byte for byte, or UTF-16 (little- or
// big-endian, with its byte-order mark) read as UTF-8 and written back in its own encoding.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::ini {

enum class Encoding { kBytes, kUtf16Le, kUtf16Be };

// A file's text as the INI functions read it.
struct DecodedFile {
  Encoding encoding = Encoding::kBytes;
  // The bytes themselves for 8-bit text; for UTF-16, the text after the mark in UTF-8, with an
  // unpaired surrogate as its three-byte form and an unpaired U+DC80..U+DCFF as the byte 80..FF
  // that EncodeFile made it from.
  std::string text;
  // An odd last byte of a UTF-16 file, kept as it was.
  std::string oddByte;
};

// The text of `bytes`: UTF-16 when they begin with FF FE (little-endian) or FE FF (big-endian),
// 8-bit text otherwise. Never fails: every byte sequence has a reading.
DecodedFile DecodeFile(std::string_view bytes);

// The bytes of `file`: its text unchanged for 8-bit text; for UTF-16, the mark, the text in
// UTF-16 and the odd byte. A byte of the text that is not part of a UTF-8 character becomes the
// unpaired U+DC00 + byte, so that every text reads back as it was. EncodeFile(DecodeFile(b))
// gives b back for every UTF-16 file except one with unpaired low surrogates in U+DC80..U+DCFF
// that together read as UTF-8. Never fails.
std::string EncodeFile(const DecodedFile& file);

}  // namespace tavrin::ini
