// The double-byte rule, searching, replacing and the two splits. TextList and ReadLines are in
// text_list.cpp, the generator in random.cpp.
#include "engine/text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "engine/byte_blocks.h"
#include "engine/double_byte.h"
#include "engine/piece_writer.h"
#include "engine/text_list.h"

namespace tavrin {

// ---- Double-byte rule -------------------------------------------------------------------------

namespace {

struct DoubleByteRule {
  int codePage = kCodePage932;
  bool mode = false;
  std::array<bool, 256> lead{};
};

// The double-byte mode is on only with code page 932.
DoubleByteRule MakeRule(int codePage) {
  DoubleByteRule rule;
  rule.codePage = codePage;
  if (codePage == kCodePage932) {
    rule.mode = true;
    for (int b = 0; b < 256; ++b) rule.lead[b] = IsLead932(static_cast<unsigned char>(b));
  }
  return rule;
}

DoubleByteRule g_rule = MakeRule(kCodePage932);

// Length of the run of lead bytes that ends just before index `p` of `t`, looking back no further
// than `stop`. The memo makes a sequence of calls with growing `p` linear in total: the bytes
// between two calls are never looked at twice.
struct LeadRunMemo {
  std::size_t pos = 0;  // index the run below was measured at
  std::size_t run = 0;  // lead bytes ending just before `pos`
};

std::size_t LeadRunBefore(const unsigned char* t, std::size_t p, LeadRunMemo& memo) {
  std::size_t i = p;
  while (i > memo.pos && g_rule.lead[t[i - 1]]) --i;
  std::size_t run = p - i;
  if (i == memo.pos) run += memo.run;
  memo.pos = p;
  memo.run = run;
  return run;
}

// First occurrence of `pattern` in `text` at or after index `from` that is not at a trail
// position, or npos. `text` holds no zero byte; `memo` belongs to this very text.
std::size_t FindFrom(std::string_view pattern, std::string_view text, std::size_t from,
                     LeadRunMemo& memo) {
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  while (true) {
    std::size_t p = FindBytes(text, pattern, from);
    if (p == std::string_view::npos) return p;
    if (!g_rule.mode || p == 0 || (LeadRunBefore(t, p, memo) & 1) == 0) return p;
    from = p + 1;
  }
}

// The part of `text` that searches see: everything before its first zero byte.
std::string_view UpToZero(std::string_view text) {
  const void* zero = std::memchr(text.data(), 0, text.size());
  if (zero == nullptr) return text;
  return text.substr(0, static_cast<const char*>(zero) - text.data());
}

// Patterns up to this length are found by their first two bytes, 64 positions at a time, and
// checked in full where those occur: no call per occurrence. Longer ones go to memmem, which stays
// linear whatever the pattern.
constexpr std::size_t kBlockPatternMax = 16;

bool RestMatches(const char* at, std::string_view pattern) {
  return pattern.size() <= 2 || std::memcmp(at + 2, pattern.data() + 2, pattern.size() - 2) == 0;
}

// The first occurrence of `pattern` (1 to kBlockPatternMax bytes) in `text` (no zero byte) that
// is not at a trail position, under the code page 932 rule: the trail positions of each 64 bytes
// are worked out together from the runs of lead bytes, so that a text of lead bytes with a
// candidate at every other position costs no more than any other text.
template <uint64_t (*Lead)(const char*), uint64_t (*Equal)(const char*, char)>
inline std::size_t FindOutsideTrails932With(std::string_view pattern, std::string_view text) {
  const std::size_t n = text.size(), m = pattern.size();
  if (m > n) return std::string_view::npos;
  const std::size_t end = n - m + 1;  // where a match could begin: below end
  char pad[80];
  LeadRunCarry carry;
  for (std::size_t base = 0; base < end; base += 64) {
    const char* block = BlockAt(text, base, pad);
    const uint64_t trail = TrailBits(Lead(block), carry);
    uint64_t accept =
        CandidateBits<Equal>(block, pattern, std::min<std::size_t>(64, end - base)) & ~trail;
    while (accept != 0) {
      const std::size_t p = base + static_cast<std::size_t>(std::countr_zero(accept));
      if (RestMatches(text.data() + p, pattern)) return p;
      accept &= accept - 1;
    }
  }
  return std::string_view::npos;
}

#if defined(TAVRIN_AVX2_DISPATCH)
// The same loop built for AVX2 (flatten: the masks are made inline, 32 bytes at a time).
__attribute__((target("avx2"), flatten)) std::size_t FindOutsideTrails932Avx2(
    std::string_view pattern, std::string_view text) {
  return FindOutsideTrails932With<Lead932BitsAvx2, EqualBitsAvx2>(pattern, text);
}
#endif

std::size_t FindOutsideTrails932(std::string_view pattern, std::string_view text) {
#if defined(TAVRIN_AVX2_DISPATCH)
  if (HasAvx2()) return FindOutsideTrails932Avx2(pattern, text);
#endif
  return FindOutsideTrails932With<Lead932Bits, EqualBits>(pattern, text);
}

// True when two occurrences of `pattern` can overlap: some proper prefix is also a suffix.
bool CanOverlapItself(std::string_view pattern) {
  for (std::size_t k = 1; k < pattern.size(); ++k) {
    if (pattern.substr(0, k) == pattern.substr(pattern.size() - k)) return true;
  }
  return false;
}

// Walks the successive remainders of `text` as ReplaceAll and the splits do: finds the first
// occurrence of `pattern` in the remainder (a text of its own, so its runs of lead bytes begin at
// its start) and goes on with the remainder that follows it. The text ends at its first zero byte,
// and so does the pattern. Calls `onMatches(base, bits)` with the occurrences in order, a few at a
// time: bit i of `bits` stands for the occurrence at index base + i of `text`.
// Short patterns are found through the candidate masks of 64 bytes at a time, each mask made once
// for all the remainders that pass through it. Where the candidates of a block are the
// occurrences themselves (a pattern of one or two bytes that cannot overlap itself, and no lead
// byte before any of them), the block is handed on whole, without a step per occurrence.
template <class OnMatches>
void ForEachRemainderMatch(std::string_view text, std::string_view pattern, OnMatches&& onMatches) {
  const std::string_view searchable = UpToZero(text);
  pattern = UpToZero(pattern);
  const std::size_t n = searchable.size(), m = pattern.size();
  if (m == 0 || m > n) return;
  const auto* t = reinterpret_cast<const unsigned char*>(searchable.data());

  if (m > kBlockPatternMax) {
    for (std::size_t start = 0; start < n;) {
      LeadRunMemo memo;
      std::size_t p = FindFrom(pattern, searchable.substr(start), 0, memo);
      if (p == std::string_view::npos) return;
      onMatches(start + p, uint64_t{1});
      start += p + m;
    }
    return;
  }

  const std::size_t end = n - m + 1;  // where a match could begin: below end
  const bool doubleByte = g_rule.mode;
  const bool wholeBlocks = m <= 2 && !CanOverlapItself(pattern);
  std::size_t start = 0;
  LeadRunMemo memo{0, 0};
  char pad[80];
  for (std::size_t base = 0; base < end; base += 64) {
    if (start - base >= 64 && start > base) {
      base = start - (start - base) % 64;  // the block that holds `start`
      if (base >= end) return;
    }
    const char* block = BlockAt(searchable, base, pad);
    uint64_t bits = CandidateBits(block, pattern, std::min<std::size_t>(64, end - base));
    if (start > base) bits &= ~uint64_t{0} << (start - base);
    if (bits == 0) continue;
    // Only a lead byte right before a candidate can make it a trail position: bit i tells whether
    // the byte before position base + i is one.
    uint64_t leadBefore = 0;
    if (doubleByte) {
      leadBefore =
          (Lead932Bits(block) << 1) | static_cast<uint64_t>(base > 0 && g_rule.lead[t[base - 1]]);
    }
    if (wholeBlocks && (bits & leadBefore) == 0) {
      onMatches(base, bits);
      start = base + static_cast<std::size_t>(63 - std::countl_zero(bits)) + m;
      if (start >= n) return;
      continue;
    }
    uint64_t matches = 0;
    while (bits != 0) {
      const std::size_t p = base + static_cast<std::size_t>(std::countr_zero(bits));
      bits &= bits - 1;
      if (!RestMatches(searchable.data() + p, pattern)) continue;
      if (((leadBefore >> (p - base)) & 1) != 0 && p > start) {
        // The memo belongs to an earlier remainder until a lookup in this one sets it.
        if (memo.pos < start) memo = {start, 0};
        if (LeadRunBefore(t, p, memo) & 1) continue;
      }
      matches |= uint64_t{1} << (p - base);
      start = p + m;
      if (start - base >= 64) break;
      bits &= ~uint64_t{0} << (start - base);
    }
    if (matches != 0) onMatches(base, matches);
    if (start >= n) return;
  }
}

}  // namespace

void SetDoubleByteCodePage(int codePage) {
  g_rule = MakeRule(codePage);
}
int DoubleByteCodePage() {
  return g_rule.codePage;
}
bool DoubleByteMode() {
  return g_rule.mode;
}
bool IsLeadByte(unsigned char byte) {
  return g_rule.lead[byte];
}

bool IsTrailPosition(std::string_view text, std::size_t pos) {
  if (!g_rule.mode || pos <= 1 || pos > text.size()) return false;
  LeadRunMemo memo;
  return (LeadRunBefore(reinterpret_cast<const unsigned char*>(text.data()), pos - 1, memo) & 1) !=
         0;
}

// ---- Searching and replacing ------------------------------------------------------------------

int32_t FindText(std::string_view pattern, std::string_view text) {
  pattern = UpToZero(pattern);
  text = UpToZero(text);
  if (pattern.empty() || text.empty()) return 0;
  std::size_t p;
  if (g_rule.mode && g_rule.codePage == kCodePage932 && pattern.size() <= kBlockPatternMax) {
    p = FindOutsideTrails932(pattern, text);
  } else {
    LeadRunMemo memo;
    p = FindFrom(pattern, text, 0, memo);
  }
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

std::string CopyRange(std::string_view text, int32_t start, int32_t count) {
  if (text.empty()) return {};
  int64_t first = start < 1 ? 1 : start;
  if (first > static_cast<int64_t>(text.size()) || count < 0) return {};
  int64_t available = static_cast<int64_t>(text.size()) - first + 1;
  int64_t n = count > available ? available : count;
  return std::string(text.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(n)));
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  std::string result;
  // Every occurrence begins with the pattern's first byte: room for all of them at once, so that a
  // long result is neither copied as it grows nor faulted in page by page.
  std::size_t room = text.size();
  if (!pattern.empty() && replacement.size() > pattern.size()) {
    room += CountByte(text, pattern[0]) * (replacement.size() - pattern.size());
  }
  PieceWriter out(result, room);
  // A short replacement is moved from a copy that can be read 16 bytes at a time.
  char padded[16] = {};
  const bool shortReplacement = replacement.size() <= sizeof padded;
  if (shortReplacement) std::memcpy(padded, replacement.data(), replacement.size());
  std::size_t start = 0;
  ForEachRemainderMatch(text, pattern, [&](std::size_t base, uint64_t matches) {
    // Locals only: the stores below could otherwise be taken to change what the captures refer to.
    const char* const source = text.data();
    const std::size_t size = text.size(), m = pattern.size();
    const char* const with = shortReplacement ? padded : replacement.data();
    const std::size_t withSize = replacement.size();
    const std::size_t withReadable = shortReplacement ? sizeof padded : withSize;
    PieceWriter::Room room = out.Open();
    std::size_t from = start;
    // Most pieces are short: moved 16 bytes at once, when the block can be read 16 bytes past its
    // end and the room takes every piece it can give.
    const bool readable = shortReplacement && base + 64 + 16 <= size;
    const auto most = static_cast<std::ptrdiff_t>(64 * (16 + withSize) + PieceWriter::kSlack);
    bool quick = readable && room.end - room.at >= most;
    const Sixteen withBytes = LoadSixteen(padded);
    do {
      const std::size_t p = base + static_cast<std::size_t>(std::countr_zero(matches));
      matches &= matches - 1;
      const std::size_t gap = p - from;
      if (quick && gap <= 16) {
        PieceWriter::PutShort(room, LoadSixteen(source + from), gap);
        PieceWriter::PutShort(room, withBytes, withSize);
      } else {
        out.Put(room, source + from, gap, size - from);
        out.Put(room, with, withSize, withReadable);
        quick = readable && room.end - room.at >= most;
      }
      from = p + m;
    } while (matches != 0);
    out.Close(room);
    start = from;
  });
  if (start < text.size()) out.Put(text.substr(start));
  out.Finish();
  return result;
}

std::string DecimalText(int32_t n) {
  return std::to_string(n);
}

// ---- Splitting --------------------------------------------------------------------------------

namespace {

// Steps 3 to 5 of a split: cut `work` (which already ends in one separator) into pieces.
void CutPieces(std::string_view separator, std::string work, TextList& list) {
  std::vector<TextList::Span> spans;
  // Every piece ends where a separator begins, with its first byte: room for all at once.
  ReserveFresh(spans, CountByte(work, separator[0]));
  std::size_t start = 0;
  ForEachRemainderMatch(work, separator, [&](std::size_t base, uint64_t matches) {
    do {
      const std::size_t p = base + static_cast<std::size_t>(std::countr_zero(matches));
      matches &= matches - 1;
      spans.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(p - start)});
      start = p + separator.size();
    } while (matches != 0);
  });
  list.Assign(std::move(work), std::move(spans));
}

std::string WithSeparator(std::string_view text, std::string_view separator) {
  std::string work;
  ReserveFresh(work, text.size() + separator.size());
  work.append(text);
  work.append(separator);
  return work;
}

// SplitDroppingDoubles in one pass, for a separator of one byte that is not a lead byte. Such a
// byte never extends a run of lead bytes, so a separator is at a trail position exactly when it
// is in the text as a whole, whichever remainder it is found in, and merging doubles changes no
// run either. Only the first of adjacent separators can be a trail byte; the merge turns the c
// separators after it into (c + 1) / 2, each of which cuts: one piece ends where they begin, and
// (c + 1) / 2 - 1 empty pieces follow. Every other piece stands in the text unchanged.
void CutPiecesMergingDoubles(char separator, std::string work, TextList& list) {
  const std::string_view searchable = UpToZero(work);
  const std::size_t n = searchable.size();
  std::vector<TextList::Span> spans;
  ReserveFresh(spans, CountByte(searchable, separator));
  const bool doubleByte = g_rule.mode;
  std::size_t pieceStart = 0;
  std::size_t runStart = 0, runLength = 0;  // adjacent separators not yet cut at
  auto cut = [&] {
    spans.push_back(
        {static_cast<uint32_t>(pieceStart), static_cast<uint32_t>(runStart - pieceStart)});
    for (std::size_t k = 1; k < (runLength + 1) / 2; ++k) {
      spans.push_back({static_cast<uint32_t>(runStart), 0});
    }
    pieceStart = runStart + runLength;
  };
  LeadRunCarry carry;
  char pad[80];
  for (std::size_t base = 0; base < n; base += 64) {
    const char* block = BlockAt(searchable, base, pad);
    uint64_t bits = EqualBits(block, separator);
    if (n - base < 64) bits &= (uint64_t{1} << (n - base)) - 1;
    if (doubleByte) bits &= ~TrailBits(Lead932Bits(block), carry);
    while (bits != 0) {
      const std::size_t q = base + static_cast<std::size_t>(std::countr_zero(bits));
      bits &= bits - 1;
      if (runLength > 0 && q == runStart + runLength) {
        ++runLength;
        continue;
      }
      if (runLength > 0) cut();
      runStart = q;
      runLength = 1;
    }
  }
  if (runLength > 0) cut();
  list.Assign(std::move(work), std::move(spans));
}

}  // namespace

void SplitKeepingEmpty(std::string_view separator, std::string_view text, TextList& list) {
  if (separator.empty()) {
    std::string whole(text);
    list.Assign(std::move(whole), {{0, static_cast<uint32_t>(text.size())}});
    return;
  }
  CutPieces(separator, WithSeparator(text, separator), list);
}

void SplitDroppingDoubles(std::string_view separator, std::string_view text, TextList& list) {
  if (separator.empty()) {
    SplitKeepingEmpty(separator, text, list);
    return;
  }
  if (separator.size() == 1 && !g_rule.lead[static_cast<unsigned char>(separator[0])]) {
    CutPiecesMergingDoubles(separator[0], WithSeparator(text, separator), list);
    return;
  }
  std::string doubled = WithSeparator(separator, separator);
  CutPieces(separator, ReplaceAll(WithSeparator(text, separator), doubled, separator), list);
}

}  // namespace tavrin
