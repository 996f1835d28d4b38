#include "engine/utf16.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin {

namespace {

// Writes the UTF-8 of code point `c` at `o`; returns the end.
inline char* PutCodePoint(uint32_t c, char* o) {
  if (c < 0x80) {
    *o++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *o++ = static_cast<char>(0xC0 | (c >> 6));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (c >> 12));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (c >> 18));
    *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return o;
}

constexpr uint32_t kReplacement = 0xFFFD;

// Writes the UTF-8 of one more unit at `o`, with `high` the high surrogate waiting for its pair (0
// for none): nothing for a high surrogate until its pair comes. Returns the end. Kept in a local
// by the caller, since every byte written through `o` could change a member.
inline char* PutUnit(uint32_t unit, uint32_t& high, char* o) {
  if (high == 0 && (unit < 0xD800 || unit > 0xDFFF)) return PutCodePoint(unit, o);
  if (high != 0) {
    const uint32_t first = high;
    high = 0;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return PutCodePoint(0x10000 + ((first - 0xD800) << 10) + (unit - 0xDC00), o);
    }
    o = PutCodePoint(kReplacement, o);
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    high = unit;
    return o;
  }
  return PutCodePoint(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, o);
}

}  // namespace

TextEncoding EncodingOfStart(std::string_view start) {
  if (start.starts_with("\xFF\xFE")) return TextEncoding::kUtf16Le;
  if (start.starts_with("\xFE\xFF")) return TextEncoding::kUtf16Be;
  return TextEncoding::kBytes;
}

void Utf16Decoder::Feed(std::string_view bytes, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  // Room for the most the bytes can make: three bytes for each unit, the pending ones included.
  const std::size_t start = out.size();
  out.resize(start + (n / 2 + 2) * 3);
  char* o = out.data() + start;
  const bool bigEndian = bigEndian_;
  uint32_t high = highHalf_;
  auto unitAt = [bigEndian, p](std::size_t i) {
    return bigEndian ? static_cast<uint32_t>(p[i] << 8 | p[i + 1])
                     : static_cast<uint32_t>(p[i + 1] << 8 | p[i]);
  };
  std::size_t i = 0;
  if (pendingByte_ >= 0 && n > 0) {
    const auto first = static_cast<uint32_t>(pendingByte_);
    o = PutUnit(bigEndian ? (first << 8 | p[0]) : (static_cast<uint32_t>(p[0]) << 8 | first), high,
                o);
    pendingByte_ = -1;
    i = 1;
  }
#if defined(__SSE2__)
  // Eight units at a time: when all are ASCII, they are packed into eight bytes at once.
  const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (bigEndian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, nonAscii), _mm_setzero_si128());
    if (high == 0 && _mm_movemask_epi8(ascii) == 0xFFFF) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      o += 8;
      continue;
    }
    for (std::size_t k = 0; k < 16; k += 2) o = PutUnit(unitAt(i + k), high, o);
  }
#endif
  for (; i + 1 < n; i += 2) o = PutUnit(unitAt(i), high, o);
  if (i < n) pendingByte_ = p[i];
  highHalf_ = high;
  out.resize(static_cast<std::size_t>(o - out.data()));
}

void Utf16Decoder::Finish(std::string& out) {
  char buffer[8];
  char* o = buffer;
  if (highHalf_ != 0) o = PutCodePoint(kReplacement, o);
  if (pendingByte_ >= 0) o = PutCodePoint(kReplacement, o);
  out.append(buffer, static_cast<std::size_t>(o - buffer));
  highHalf_ = 0;
  pendingByte_ = -1;
}

}  // namespace tavrin
