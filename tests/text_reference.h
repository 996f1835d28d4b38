// A deliberately naive model of the text primitives, used to cross-check the engine.
//
// Everything here copies remainders and recounts lead-byte runs from scratch at every candidate, so
// it is quadratic and slow, and easy to check by reading. The double-byte rule is passed in
// explicitly (on: lead bytes 81-9F and E0-FC; off: no lead bytes) instead of read from the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::reference {

inline bool IsLead(unsigned char byte, bool doubleByte) {
  return doubleByte && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

// Position p (1-based) is a trail byte when the run of lead bytes right before it is odd.
inline bool IsTrail(const std::string& text, int64_t p, bool doubleByte) {
  if (!doubleByte || p <= 1) return false;
  int64_t run = 0;
  for (int64_t i = p - 1; i >= 1; --i) {
    if (!IsLead(static_cast<unsigned char>(text[i - 1]), doubleByte)) break;
    ++run;
  }
  return run % 2 == 1;
}

inline int32_t FindText(const std::string& pattern, const std::string& text, bool doubleByte) {
  std::string t = text.substr(0, text.find('\0'));  // the text ends at its first zero byte
  if (t.empty() || pattern.empty()) return 0;
  std::size_t from = 0;
  while (true) {
    std::size_t candidate = t.find(pattern, from);
    if (candidate == std::string::npos) return 0;
    int64_t p = static_cast<int64_t>(candidate) + 1;
    if (!IsTrail(t, p, doubleByte)) return static_cast<int32_t>(p);
    from = candidate + 1;
  }
}

inline std::string CopyRange(const std::string& text, int32_t start, int32_t count) {
  if (text.empty()) return "";
  int64_t s = start;
  int64_t c = count;
  if (s < 1) s = 1;
  int64_t length = static_cast<int64_t>(text.size());
  if (s > length) return "";
  if (c < 0) return "";
  if (c > length - s + 1) c = length - s + 1;
  return text.substr(static_cast<std::size_t>(s - 1), static_cast<std::size_t>(c));
}

inline std::string ReplaceAll(const std::string& text, const std::string& pattern,
                              const std::string& replacement, bool doubleByte) {
  std::string result;
  std::string remainder = text;
  while (!remainder.empty()) {
    int32_t p = FindText(pattern, remainder, doubleByte);
    if (p == 0) {
      result += remainder;
      break;
    }
    result += remainder.substr(0, p - 1);
    result += replacement;
    remainder = remainder.substr(p - 1 + pattern.size());
  }
  return result;
}

// Cuts `work` at each separator found from its front, dropping whatever follows the last one.
inline std::vector<std::string> CutPieces(const std::string& separator, std::string work,
                                          bool doubleByte) {
  std::vector<std::string> pieces;
  int32_t p = FindText(separator, work, doubleByte);
  while (p > 0) {
    pieces.push_back(work.substr(0, p - 1));
    work = work.substr(p - 1 + separator.size());
    p = FindText(separator, work, doubleByte);
  }
  return pieces;
}

inline std::vector<std::string> SplitKeepingEmpty(const std::string& separator,
                                                  const std::string& text, bool doubleByte) {
  if (separator.empty()) return {text};
  return CutPieces(separator, text + separator, doubleByte);
}

inline std::vector<std::string> SplitDroppingDoubles(const std::string& separator,
                                                     const std::string& text, bool doubleByte) {
  if (separator.empty()) return {text};
  std::string work = ReplaceAll(text + separator, separator + separator, separator, doubleByte);
  return CutPieces(separator, work, doubleByte);
}

}  // namespace tavrin::reference
