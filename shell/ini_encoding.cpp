// UTF-16 settings files: decoded to UTF-8 for the INI functions and encoded back, losslessly for
// every file that this program writes.

#include "shell/ini_encoding.h"

#include <cstdint>
#include <vector>

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
  // U+DC80..U+DCFF stand for single bytes, so their three-byte forms go byte by byte.
  if (!ok || cp < kSmallest[need] || cp > 0x10FFFF || (cp >= 0xDC80 && cp < 0xDD00)) {
    return 0xDC00 + lead;
  }
  length = need + 1;
  return cp;
}

bool IsHighSurrogate(uint32_t u) {
  return u >= 0xD800 && u < 0xDC00;
}
bool IsLowSurrogate(uint32_t u) {
  return u >= 0xDC00 && u < 0xE000;
}

// The UTF-16 units of `text`. An unpaired high surrogate that a low surrogate unit would follow,
// which UTF-16 would read back as one character with it, goes byte by byte instead (a low
// surrogate unit each, so the one before it is judged again).
std::vector<uint32_t> Utf16Units(std::string_view text) {
  std::vector<uint32_t> units;
  std::vector<std::size_t> highFrom;  // per unit: where an unpaired high surrogate's bytes are
  constexpr std::size_t kNoHigh = std::string_view::npos;
  units.reserve(text.size());
  highFrom.reserve(text.size());
  std::vector<uint32_t> next;
  for (std::size_t pos = 0, length = 0; pos < text.size(); pos += length) {
    const uint32_t cp = NextCharacter(text, pos, length);
    next.clear();
    if (cp >= 0x10000) {
      next = {0xD800 + ((cp - 0x10000) >> 10), 0xDC00 + ((cp - 0x10000) & 0x3FF)};
    } else {
      next = {cp};
    }
    // Each unit is turned into bytes at most once, so this stays linear.
    std::size_t kept = units.size();
    for (uint32_t follow = next.front();
         kept > 0 && highFrom[kept - 1] != kNoHigh && IsLowSurrogate(follow);
         follow = 0xDC00u + static_cast<unsigned char>(text[highFrom[kept]])) {
      --kept;
    }
    std::vector<uint32_t> bytes;
    for (std::size_t i = kept; i < units.size(); ++i) {
      for (std::size_t b = 0; b < 3; ++b) {
        bytes.push_back(0xDC00u + static_cast<unsigned char>(text[highFrom[i] + b]));
      }
    }
    units.resize(kept);
    highFrom.resize(kept);
    units.insert(units.end(), bytes.begin(), bytes.end());
    highFrom.insert(highFrom.end(), bytes.size(), kNoHigh);
    units.insert(units.end(), next.begin(), next.end());
    highFrom.insert(highFrom.end(), next.size(), IsHighSurrogate(cp) ? pos : kNoHigh);
  }
  return units;
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
  for (const uint32_t unit : Utf16Units(file.text)) add(unit);
  return out + file.oddByte;
}

}  // namespace tavrin::ini
