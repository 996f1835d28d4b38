#include "engine/utf16.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void AppendCodePoint(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    const char bytes[] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 2);
  } else if (c < 0x10000) {
    const char bytes[] = {static_cast<char>(0xE0 | (c >> 12)),
                          static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[] = {
        static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
        static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    out.append(bytes, 4);
  }
}

// The number of leading bytes of `p` (a multiple of 32, at most `n`) that hold ASCII units only,
// their ASCII appended to `out`.
std::size_t AsciiRun(const unsigned char* p, std::size_t n, bool bigEndian, std::string& out) {
  std::size_t done = 0;
#if defined(__SSE2__)
  const __m128i high = bigEndian ? _mm_set1_epi16(static_cast<short>(0x80FF))
                                 : _mm_set1_epi16(static_cast<short>(0xFF80));
  char ascii[16];
  while (done + 32 <= n) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done + 16));
    const __m128i any = _mm_and_si128(_mm_or_si128(a, b), high);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF) break;
    if (bigEndian) {
      a = _mm_srli_epi16(a, 8);
      b = _mm_srli_epi16(b, 8);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ascii), _mm_packus_epi16(a, b));
    out.append(ascii, 16);
    done += 32;
  }
#else
  (void)p;
  (void)n;
  (void)bigEndian;
  (void)out;
#endif
  return done;
}

}  // namespace

TextEncoding EncodingOfStart(std::string_view start) {
  if (start.starts_with("\xFF\xFE")) return TextEncoding::kUtf16Le;
  if (start.starts_with("\xFE\xFF")) return TextEncoding::kUtf16Be;
  return TextEncoding::kBytes;
}

void Utf16Decoder::Unit(uint32_t unit, std::string& out) {
  if (highHalf_ != 0) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendCodePoint(0x10000 + ((highHalf_ - 0xD800) << 10) + (unit - 0xDC00), out);
      highHalf_ = 0;
      return;
    }
    out.append(kReplacement);
    highHalf_ = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    highHalf_ = unit;
  } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
    out.append(kReplacement);
  } else {
    AppendCodePoint(unit, out);
  }
}

void Utf16Decoder::Feed(std::string_view bytes, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  std::size_t i = 0;
  auto unitOf = [this](unsigned first, unsigned second) {
    return bigEndian_ ? (first << 8 | second) : (second << 8 | first);
  };
  if (pendingByte_ >= 0 && n > 0) {
    Unit(unitOf(static_cast<unsigned>(pendingByte_), p[0]), out);
    pendingByte_ = -1;
    i = 1;
  }
  while (i + 1 < n) {
    if (highHalf_ == 0) i += AsciiRun(p + i, n - i, bigEndian_, out);
    if (i + 1 >= n) break;
    // One unit at a time until the next ASCII unit, where a run may begin again.
    uint32_t unit;
    do {
      unit = unitOf(p[i], p[i + 1]);
      Unit(unit, out);
      i += 2;
    } while (i + 1 < n && (unit >= 0x80 || highHalf_ != 0));
  }
  if (i < n) pendingByte_ = p[i];
}

void Utf16Decoder::Finish(std::string& out) {
  if (highHalf_ != 0) out.append(kReplacement);
  if (pendingByte_ >= 0) out.append(kReplacement);
  highHalf_ = 0;
  pendingByte_ = -1;
}

}  // namespace tavrin
