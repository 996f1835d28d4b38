// Fast byte scanning for the hot paths of the text unit (text.cpp and its parts); no other unit
// includes it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform.h"
#include "engine/text.h"

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

// Sixteen bytes held in a register.
#if defined(__SSE2__)
using Sixteen = __m128i;
inline Sixteen LoadSixteen(const char* data) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}
inline void StoreSixteen(char* to, Sixteen bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
}
#else
struct Sixteen {
  char bytes[16];
};
inline Sixteen LoadSixteen(const char* data) {
  Sixteen s;
  std::memcpy(s.bytes, data, 16);
  return s;
}
inline void StoreSixteen(char* to, Sixteen bytes) {
  std::memcpy(to, bytes.bytes, 16);
}
#endif

// Writes a result front to back into a string through a plain pointer, for results made of many
// short pieces, where a call of append per piece costs more than the bytes it moves. The string's
// length grows a stretch at a time, so the zeros that growing writes are still in the cache when
// the pieces overwrite them; Finish cuts off what was not written.
//
// Pieces go through a Room, a pair of pointers that the writing loop keeps as a local variable:
// a byte stored through a char pointer could be any variable in memory, so pointers kept in an
// object that other code can see would be loaded again after every piece.
class PieceWriter {
 public:
  struct Room {
    char* at;   // where the next piece goes
    char* end;  // end of the string's current length
  };

  // Empties `out` and makes room for `most` bytes, the result's largest possible size.
  PieceWriter(std::string& out, std::size_t most) : out_(out) {
    out_.clear();
    ReserveFresh(out_, most + kSlack);
    room_ = Take(0);
  }

  Room Open() const { return room_; }
  void Close(Room room) { room_ = room; }

  // Appends `n` bytes from `data`, of which at least `readable` may be read: a piece of up to 16
  // bytes is moved 16 bytes at once when that many can be read.
  void Put(Room& room, const char* data, std::size_t n, std::size_t readable) {
    if (static_cast<std::size_t>(room.end - room.at) < n + kSlack) room = Grow(room, n);
    if (n <= 16 && readable >= 16) {
      StoreSixteen(room.at, LoadSixteen(data));
    } else {
      std::memcpy(room.at, data, n);
    }
    room.at += n;
  }

  static constexpr std::size_t kSlack = 16;  // written past the end by a 16-byte move

  // Appends the first `n` (at most 16) of `bytes` by storing all 16; `room` must have n + kSlack
  // bytes to spare.
  static void PutShort(Room& room, Sixteen bytes, std::size_t n) {
    StoreSixteen(room.at, bytes);
    room.at += n;
  }

  // Appends `piece` after what was closed last.
  void Put(std::string_view piece) {
    Room room = Open();
    Put(room, piece.data(), piece.size(), piece.size());
    Close(room);
  }

  // Gives the string the length of what was written.
  void Finish() { out_.resize(static_cast<std::size_t>(room_.at - out_.data())); }

 private:
  static constexpr std::size_t kStretch = 64 * 1024;

  Room Grow(Room room, std::size_t n) {
    const auto used = static_cast<std::size_t>(room.at - out_.data());
    // Within the room reserved where it suffices: past it, resize would move the string.
    out_.resize(std::max(used + n + kSlack, std::min(out_.capacity(), used + kStretch)));
    return Take(used);
  }
  Room Take(std::size_t used) { return {out_.data() + used, out_.data() + out_.size()}; }

  std::string& out_;
  Room room_{};
};

// Number of bytes of `data` equal to `a` or to `b`.
inline std::size_t CountBytes(std::string_view data, char a, char b) {
  const char* d = data.data();
  const std::size_t n = data.size();
  std::size_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    // Byte-wide counters, summed before any of them can pass 255.
    __m128i counters = zero;
    for (int round = 0; round < 255 && i + 16 <= n; ++round, i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
      __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb));
      counters = _mm_sub_epi8(counters, hit);
    }
    __m128i sums = _mm_sad_epu8(counters, zero);
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; i < n; ++i) count += d[i] == a || d[i] == b;
  return count;
}

// Bits for the bytes 00, LF and CR among the `count` (at most 64) bytes at `d`, lowest first.
inline uint64_t LineEndBits(const char* d, std::size_t count) {
  uint64_t bits = 0;
#if defined(__SSE2__)
  if (count == 64) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (int k = 0; k < 4; ++k) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * k));
      __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, zero),
                                 _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
      bits |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(hit))) << (16 * k);
    }
    return bits;
  }
#endif
  for (std::size_t i = 0; i < count; ++i) {
    const char c = d[i];
    if (c == '\0' || c == '\n' || c == '\r') bits |= uint64_t{1} << i;
  }
  return bits;
}

// Cuts data into lines while it is read: CR LF, a lone CR and a lone LF each end a line, a zero
// byte ends the data, a last line without a line end counts, a line end at the very end adds no
// empty line. The line ends of each 64 bytes are found together, so a short line costs no search
// of its own, and each part of the data is cut just after it arrives, while it is in the cache.
class LineCutter {
 public:
  explicit LineCutter(std::vector<TextList::Span>& spans) : spans_(spans) {}

  // Cuts what it can of `data`, all the bytes that have arrived so far: the blocks of 64 that
  // some byte follows, since the LF of a CR LF may be the next.
  void Feed(std::string_view data) {
    while (!done_ && block_ + 64 < data.size()) Cut(data, 64);
  }

  // Cuts the rest of `data`, which is complete.
  void Finish(std::string_view data) {
    while (!done_ && block_ < data.size()) {
      Cut(data, std::min<std::size_t>(64, data.size() - block_));
    }
    if (!done_ && pos_ < data.size()) Add(data.size());
    done_ = true;
  }

 private:
  void Cut(std::string_view data, std::size_t count) {
    const char* d = data.data();
    uint64_t bits = LineEndBits(d + block_, count);
    while (bits != 0) {
      const std::size_t end = block_ + static_cast<std::size_t>(std::countr_zero(bits));
      bits &= bits - 1;
      if (end < pos_) continue;  // the LF of a CR LF
      if (d[end] == '\0') {
        if (end > pos_) Add(end);
        done_ = true;
        return;
      }
      Add(end);
      pos_ = end + 1;
      if (d[end] == '\r' && pos_ < data.size() && d[pos_] == '\n') ++pos_;
    }
    block_ += 64;
  }
  void Add(std::size_t end) {
    spans_.push_back({static_cast<uint32_t>(pos_), static_cast<uint32_t>(end - pos_)});
  }

  std::vector<TextList::Span>& spans_;
  std::size_t block_ = 0;  // the next block to cut
  std::size_t pos_ = 0;    // start of the next line
  bool done_ = false;
};

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

// Bits of the bytes that begin a double-byte character in code page 932 (81-9F and E0-FC) among
// the 64 bytes at `d`.
inline uint64_t Lead932Bits(const char* d) {
  uint64_t bits = 0;
#if defined(__SSE2__)
  const __m128i low1 = _mm_set1_epi8(static_cast<char>(0x81));
  const __m128i span1 = _mm_set1_epi8(0x9F - 0x81);
  const __m128i low2 = _mm_set1_epi8(static_cast<char>(0xE0));
  const __m128i span2 = _mm_set1_epi8(0xFC - 0xE0);
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
    bits |= static_cast<uint64_t>((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) << i;
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
  const __m256i low1 = _mm256_set1_epi8(static_cast<char>(0x81));
  const __m256i span1 = _mm256_set1_epi8(0x9F - 0x81);
  const __m256i low2 = _mm256_set1_epi8(static_cast<char>(0xE0));
  const __m256i span2 = _mm256_set1_epi8(0xFC - 0xE0);
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
