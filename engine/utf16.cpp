#include "engine/utf16.h"

#include <algorithm>

#include "engine/platform.h"

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

// The unit of the two bytes at `p`.
inline uint32_t UnitAt(const unsigned char* p, bool bigEndian) {
  return bigEndian ? static_cast<uint32_t>(p[0] << 8 | p[1])
                   : static_cast<uint32_t>(p[1] << 8 | p[0]);
}

// Converts the eight units at `p` one by one.
inline char* PutEightUnits(const unsigned char* p, bool bigEndian, uint32_t& high, char* o) {
  for (int k = 0; k < 16; k += 2) o = PutUnit(UnitAt(p + k, bigEndian), high, o);
  return o;
}

#if defined(__SSE2__)
// The eight units at `p`, in the processor's byte order.
inline __m128i LoadUnits(const unsigned char* p, bool bigEndian) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return bigEndian ? _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)) : v;
}

inline bool AllAscii(__m128i units) {
  const __m128i high = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
}
#endif

// Converts the whole blocks of eight units of the `n` bytes at `p`, eight ASCII units at once;
// returns the bytes converted. `high` is as for PutUnit; `out`, where the UTF-8 goes, moves on.
std::size_t ConvertBlocks(const unsigned char* p, std::size_t n, bool bigEndian, uint32_t& high,
                          char*& out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  char* o = out;
  uint32_t waiting = high;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = LoadUnits(p + i, bigEndian);
    if (waiting == 0 && AllAscii(v)) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      o += 8;
    } else {
      o = PutEightUnits(p + i, bigEndian, waiting, o);
    }
  }
  out = o;
  high = waiting;
#else
  (void)p, (void)n, (void)bigEndian, (void)high, (void)out;
#endif
  return i;
}

#if defined(TAVRIN_AVX2_DISPATCH)
// For four units of up to three UTF-8 bytes each, one in each 32-bit lane: which lane bytes make
// their UTF-8, and how many. Indexed by four bits of units from U+0080 and four above of units from
// U+0800 on.
struct LaneBytes {
  uint8_t shuffle[256][16];
  uint8_t length[256];
};

constexpr LaneBytes MakeLaneBytes() {
  LaneBytes t{};
  for (int index = 0; index < 256; ++index) {
    int at = 0;
    for (int lane = 0; lane < 4; ++lane) {
      const int bytes = 1 + (index >> lane & 1) + (index >> (lane + 4) & 1);
      for (int b = 0; b < bytes; ++b) t.shuffle[index][at++] = static_cast<uint8_t>(lane * 4 + b);
    }
    t.length[index] = static_cast<uint8_t>(at);
    for (; at < 16; ++at) t.shuffle[index][at] = 0x80;  // a zero byte, written past the end
  }
  return t;
}

alignas(64) constexpr LaneBytes kLaneBytes = MakeLaneBytes();

// Writes the UTF-8 of eight units, none of them a surrogate, at `o` and returns the end. Each
// unit's one, two or three bytes are made in its own lane and the lanes closed up by a shuffle;
// 16 bytes are stored for each four units, so `o` needs room for four bytes more than they make.
__attribute__((target("avx2"))) inline char* PutEightBmpUnits(__m128i units, char* o) {
  const __m256i u = _mm256_cvtepu16_epi32(units);
  const __m256i low6 = _mm256_set1_epi32(0x3F);
  const __m256i last = _mm256_or_si256(_mm256_and_si256(u, low6), _mm256_set1_epi32(0x80));
  const __m256i middle =
      _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(u, 6), low6), _mm256_set1_epi32(0x80));
  const __m256i two =
      _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi32(u, 6), _mm256_set1_epi32(0xC0)),
                      _mm256_slli_epi32(last, 8));
  const __m256i three =
      _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi32(u, 12), _mm256_set1_epi32(0xE0)),
                      _mm256_or_si256(_mm256_slli_epi32(middle, 8), _mm256_slli_epi32(last, 16)));
  const __m256i fromTwo = _mm256_cmpgt_epi32(u, _mm256_set1_epi32(0x7F));
  const __m256i fromThree = _mm256_cmpgt_epi32(u, _mm256_set1_epi32(0x7FF));
  const __m256i lanes = _mm256_blendv_epi8(_mm256_blendv_epi8(u, two, fromTwo), three, fromThree);
  const auto twoBits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(fromTwo)));
  const auto threeBits = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(fromThree)));
  const unsigned first = (twoBits & 0xF) | (threeBits & 0xF) << 4;
  const unsigned second = twoBits >> 4 | (threeBits >> 4) << 4;
  const __m256i shuffle =
      _mm256_set_m128i(_mm_load_si128(reinterpret_cast<const __m128i*>(kLaneBytes.shuffle[second])),
                       _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneBytes.shuffle[first])));
  const __m256i bytes = _mm256_shuffle_epi8(lanes, shuffle);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(bytes));
  o += kLaneBytes.length[first];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(bytes, 1));
  return o + kLaneBytes.length[second];
}

// ConvertBlocks, sixteen ASCII units at once, and eight units of any other text without a
// surrogate: text mixing scripts in short runs would otherwise take a branch for each unit.
__attribute__((target("avx2"))) std::size_t ConvertBlocksAvx2(const unsigned char* p, std::size_t n,
                                                              bool bigEndian, uint32_t& high,
                                                              char*& out) {
  const __m128i surrogateBits = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
  char* o = out;
  uint32_t waiting = high;
  std::size_t i = 0;
  while (i + 16 <= n) {
    const __m128i v = LoadUnits(p + i, bigEndian);
    if (waiting != 0) {
      o = PutEightUnits(p + i, bigEndian, waiting, o);
    } else if (AllAscii(v)) {
      if (i + 32 <= n && AllAscii(LoadUnits(p + i + 16, bigEndian))) {
        const __m128i next = LoadUnits(p + i + 16, bigEndian);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, next));
        o += 16;
        i += 32;
        continue;
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      o += 8;
    } else if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, surrogateBits), surrogate)) ==
               0) {
      o = PutEightBmpUnits(v, o);
    } else {
      o = PutEightUnits(p + i, bigEndian, waiting, o);
    }
    i += 16;
  }
  out = o;
  high = waiting;
  return i;
}
#endif

}  // namespace

TextEncoding EncodingOfStart(std::string_view start) {
  if (start.starts_with("\xFF\xFE")) return TextEncoding::kUtf16Le;
  if (start.starts_with("\xFE\xFF")) return TextEncoding::kUtf16Be;
  return TextEncoding::kBytes;
}

void Utf16Decoder::Feed(std::string_view bytes, std::string& out) {
  // Converted a part at a time into a buffer that stays in the cache, then appended: sizing `out`
  // for the most the bytes could make would fill that room with zeros only to overwrite it.
  constexpr std::size_t kPart = 8 * 1024;
  char buffer[kPart / 2 * 3 + 16];  // see Convert
  while (!bytes.empty()) {
    const std::size_t part = std::min(bytes.size(), kPart);
    out.append(buffer, static_cast<std::size_t>(Convert(bytes.substr(0, part), buffer) - buffer));
    bytes.remove_prefix(part);
  }
}

char* Utf16Decoder::Convert(std::string_view bytes, char* o) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  const bool bigEndian = bigEndian_;
  uint32_t high = highHalf_;
  std::size_t i = 0;
  if (pendingByte_ >= 0 && n > 0) {
    const unsigned char unit[2] = {static_cast<unsigned char>(pendingByte_), p[0]};
    o = PutUnit(UnitAt(unit, bigEndian), high, o);
    pendingByte_ = -1;
    i = 1;
  }
#if defined(TAVRIN_AVX2_DISPATCH)
  if (avx2_ && HasAvx2()) {
    i += ConvertBlocksAvx2(p + i, n - i, bigEndian, high, o);
  } else {
    i += ConvertBlocks(p + i, n - i, bigEndian, high, o);
  }
#else
  i += ConvertBlocks(p + i, n - i, bigEndian, high, o);
#endif
  for (; i + 1 < n; i += 2) o = PutUnit(UnitAt(p + i, bigEndian), high, o);
  if (i < n) pendingByte_ = p[i];
  highHalf_ = high;
  return o;
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
