// Byte scanning for the hot paths of the text unit (text.cpp and text_list.cpp): a byte or a
// pattern found or counted, and 64-byte blocks turned into bit masks of bytes, lead bytes and
// trail positions. No other unit includes it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/double_byte.h"
#include "engine/platform.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin {

// Index of the first occurrence of `pattern` (not empty) in `text` at or after `from`, byte for
// byte, or npos. Linear in the bytes it passes.
inline std::size_t FindBytes(std::string_view text, std::string_view pattern, std::size_t from) {
  if (from >= text.size() || pattern.size() > text.size() - from) return std::string_view::npos;
  const char* base = text.data() + from;
  std::size_t n = text.size() - from;
  const void* hit = pattern.size() == 1 ? std::memchr(base, pattern[0], n)
                                        : ::memmem(base, n, pattern.data(), pattern.size());
  return hit == nullptr ? std::string_view::npos
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// Number of bytes of `data` equal to `byte`.
inline std::size_t CountByte(std::string_view data, char byte) {
  const char* d = data.data();
  const std::size_t n = data.size();
  std::size_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i vb = _mm_set1_epi8(byte);
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    // Byte-wide counters, summed before any of them can pass 255.
    __m128i counters = zero;
    for (int round = 0; round < 255 && i + 16 <= n; ++round, i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(v, vb));
    }
    __m128i sums = _mm_sad_epu8(counters, zero);
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; i < n; ++i) count += d[i] == byte;
  return count;
}

// ---- 64-byte blocks: searching by bit masks -----------------------------------------------------

// Bits of the bytes equal to `b` among the 64 bytes at `d`, lowest byte first.
inline uint64_t EqualBits(const char* d, char b) {
  uint64_t bits = 0;
#if defined(__SSE2__)
  const __m128i vb = _mm_set1_epi8(b);
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * k));
    bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vb))))
            << (16 * k);
  }
#else
  for (int i = 0; i < 64; ++i) bits |= static_cast<uint64_t>(d[i] == b) << i;
#endif
  return bits;
}

// Bits of the bytes that begin a double-byte character in code page 932 (kLead932) among the 64
// bytes at `d`.
inline uint64_t Lead932Bits(const char* d) {
  uint64_t bits = 0;
#if defined(__SSE2__)
  const __m128i low1 = _mm_set1_epi8(static_cast<char>(kLead932[0].first));
  const __m128i span1 = _mm_set1_epi8(static_cast<char>(kLead932[0].last - kLead932[0].first));
  const __m128i low2 = _mm_set1_epi8(static_cast<char>(kLead932[1].first));
  const __m128i span2 = _mm_set1_epi8(static_cast<char>(kLead932[1].last - kLead932[1].first));
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * k));
    // x lies in [low, low + span] exactly when x - low, taken unsigned, is at most span.
    __m128i a = _mm_sub_epi8(v, low1);
    __m128i b = _mm_sub_epi8(v, low2);
    __m128i in = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(a, span1), a),
                              _mm_cmpeq_epi8(_mm_min_epu8(b, span2), b));
    bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(in))) << (16 * k);
  }
#else
  for (int i = 0; i < 64; ++i) {
    const auto c = static_cast<unsigned char>(d[i]);
    bits |= static_cast<uint64_t>(IsLead932(c)) << i;
  }
#endif
  return bits;
}

// The run of lead bytes that a block's first byte continues: whether the byte before the block is
// a lead byte, and whether the run that ends there has odd length.
struct LeadRunCarry {
  bool lead = false;
  bool odd = false;
};

// Bits of the trail positions of a block with lead bits `lead`: the positions right after a run
// of lead bytes of odd length. Updates `carry` for the next block. Each run's length parity
// follows from where it starts: adding a run's lowest bit to it clears exactly that run.
inline uint64_t TrailBits(uint64_t lead, LeadRunCarry& carry) {
  constexpr uint64_t kEven = 0x5555555555555555u;  // bits at even positions
  const uint64_t starts = lead & ~((lead << 1) | static_cast<uint64_t>(carry.lead));
  uint64_t evenStarts = starts & kEven;
  // A run carried in with an even length so far behaves like one that starts at position 0.
  if (carry.lead && !carry.odd) evenStarts |= 1;
  const uint64_t evenRuns = lead & ~(lead + evenStarts);
  // Bits where the run that ends there (inclusive) has odd length.
  const uint64_t odd = (evenRuns & kEven) | (lead & ~evenRuns & ~kEven);
  const uint64_t trail = (odd << 1) | static_cast<uint64_t>(carry.odd);
  carry.lead = (lead >> 63) != 0;
  carry.odd = (odd >> 63) != 0;
  return trail;
}

// At least 65 readable bytes of `text` from `base` on: the text itself where it reaches that far,
// else a copy in `pad` filled up with zero bytes (never a lead byte, never in a pattern).
inline const char* BlockAt(std::string_view text, std::size_t base, char (&pad)[80]) {
  if (text.size() - base >= 65) return text.data() + base;
  std::memset(pad, 0, sizeof pad);
  std::memcpy(pad, text.data() + base, text.size() - base);
  return pad;
}

// Bits of the positions of `block` where `pattern` (one byte or more) has its first two bytes, or
// its only one; only the lowest `limit` (1 to 64) positions count.
template <uint64_t (*Equal)(const char*, char) = EqualBits>
inline uint64_t CandidateBits(const char* block, std::string_view pattern, std::size_t limit) {
  uint64_t bits = Equal(block, pattern[0]);
  if (pattern.size() >= 2) bits &= Equal(block + 1, pattern[1]);
  if (limit < 64) bits &= (uint64_t{1} << limit) - 1;
  return bits;
}

#if defined(TAVRIN_AVX2_DISPATCH)
// EqualBits and Lead932Bits, 32 bytes at a time.
__attribute__((target("avx2"))) inline uint64_t EqualBitsAvx2(const char* d, char b) {
  const __m256i vb = _mm256_set1_epi8(b);
  uint64_t bits = 0;
  for (int k = 0; k < 2; ++k) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 32 * k));
    bits |=
        static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, vb))))
        << (32 * k);
  }
  return bits;
}

__attribute__((target("avx2"))) inline uint64_t Lead932BitsAvx2(const char* d) {
  const __m256i low1 = _mm256_set1_epi8(static_cast<char>(kLead932[0].first));
  const __m256i span1 = _mm256_set1_epi8(static_cast<char>(kLead932[0].last - kLead932[0].first));
  const __m256i low2 = _mm256_set1_epi8(static_cast<char>(kLead932[1].first));
  const __m256i span2 = _mm256_set1_epi8(static_cast<char>(kLead932[1].last - kLead932[1].first));
  uint64_t bits = 0;
  for (int k = 0; k < 2; ++k) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 32 * k));
    __m256i a = _mm256_sub_epi8(v, low1);
    __m256i b = _mm256_sub_epi8(v, low2);
    __m256i in = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(a, span1), a),
                                 _mm256_cmpeq_epi8(_mm256_min_epu8(b, span2), b));
    bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(in))) << (32 * k);
  }
  return bits;
}
#endif

}  // namespace tavrin
