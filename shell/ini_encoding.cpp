// UTF-16 settings files: decoded to UTF-8 for the INI functions and encoded back, losslessly for
// every file that this program writes.

#include "shell/ini_encoding.h"

#include <cstdint>

namespace tavrin::ini {

namespace {

constexpr std::string_view kMarkLe = "\xFF\xFE";
constexpr std::string_view kMarkBe = "\xFE\xFF";

// The UTF-8 form of `cp`, surrogates included (three bytes each).
void AppendUtf8(std::string& out, uint32_t cp) {
  auto add = [&out](uint32_t byte) { out.push_back(static_cast<char>(byte)); };
  if (cp < 0x80) {
    add(cp);
  } else if (cp < 0x800) {
    add(0xC0 | (cp >> 6));
    add(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    add(0xE0 | (cp >> 12));
    add(0x80 | ((cp >> 6) & 0x3F));
    add(0x80 | (cp & 0x3F));
  } else {
    add(0xF0 | (cp >> 18));
    add(0x80 | ((cp >> 12) & 0x3F));
    add(0x80 | ((cp >> 6) & 0x3F));
    add(0x80 | (cp & 0x3F));
  }
}

// The character at `pos` of `text` and its length in bytes: a shortest-form UTF-8 sequence up to
// U+10FFFF, surrogates allowed but for U+DC80..U+DCFF. A byte that begins no such sequence gives
// U+DC00 + byte, length 1.
uint32_t NextCharacter(std::string_view text, std::size_t pos, std::size_t& length) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  length = 1;
  if (lead < 0x80) return lead;
  std::size_t need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  uint32_t cp = lead & (0x3F >> need);
  bool ok = need > 0 && lead < 0xF5;
  for (std::size_t i = 1; ok && i <= need; ++i) {
    ok = pos + i < text.size() && (byte(pos + i) & 0xC0) == 0x80;
    if (ok) cp = (cp << 6) | (byte(pos + i) & 0x3F);
  }
  // U+DC80..U+DCFF stand for single bytes, so their three-byte forms go byte by byte; so does a
  // high surrogate's before a low one's, which UTF-16 would read back as one character.
  bool pairs = cp >= 0xD800 && cp < 0xDC00 && pos + 4 < text.size() && byte(pos + 3) == 0xED &&
               (byte(pos + 4) & 0xF0) == 0xB0;
  if (!ok || cp < kSmallest[need] || cp > 0x10FFFF || (cp >= 0xDC80 && cp < 0xDD00) || pairs) {
    return 0xDC00 + lead;
  }
  length = need + 1;
  return cp;
}

}  // namespace

DecodedFile DecodeFile(std::string_view bytes) {
  DecodedFile file;
  const bool little = bytes.starts_with(kMarkLe);
  if (!little && !bytes.starts_with(kMarkBe)) {
    file.text = bytes;
    return file;
  }
  file.encoding = little ? Encoding::kUtf16Le : Encoding::kUtf16Be;
  bytes.remove_prefix(2);
  if (bytes.size() % 2 != 0) {
    file.oddByte = bytes.substr(bytes.size() - 1);
    bytes.remove_suffix(1);
  }
  const std::size_t units = bytes.size() / 2;
  auto unit = [&](std::size_t i) -> uint32_t {
    auto b0 = static_cast<unsigned char>(bytes[2 * i]);
    auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
    return little ? (b1 << 8 | b0) : (b0 << 8 | b1);
  };
  file.text.reserve(bytes.size());
  for (std::size_t i = 0; i < units; ++i) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      AppendUtf8(file.text, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (u >= 0xDC80 && u < 0xDD00) {
      file.text.push_back(static_cast<char>(u - 0xDC00));
    } else {
      AppendUtf8(file.text, u);
    }
  }
  return file;
}

std::string EncodeFile(const DecodedFile& file) {
  if (file.encoding == Encoding::kBytes) return file.text;
  const bool little = file.encoding == Encoding::kUtf16Le;
  std::string out(little ? kMarkLe : kMarkBe);
  out.reserve(2 + 2 * file.text.size() + file.oddByte.size());
  auto add = [&](uint32_t u) {
    char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out.push_back(little ? low : high);
    out.push_back(little ? high : low);
  };
  for (std::size_t pos = 0, length = 0; pos < file.text.size(); pos += length) {
    uint32_t cp = NextCharacter(file.text, pos, length);
    if (cp >= 0x10000) {
      add(0xD800 + ((cp - 0x10000) >> 10));
      add(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      add(cp);
    }
  }
  return out + file.oddByte;
}

}  // namespace tavrin::ini
