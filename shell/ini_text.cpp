// The INI text: a line splitter and parser over offsets, and the edit that replaces or inserts one
// key's line while keeping every other byte.

#include "shell/ini_text.h"

#include <algorithm>
#include <vector>

namespace tavrin::ini {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// One line of the file as offsets: [begin, contentEnd) is the text, [contentEnd, end) the line end
// (CR LF, LF or CR alone; empty for an unterminated last line).
struct Line {
  std::size_t begin;
  std::size_t contentEnd;
  std::size_t end;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t contentEnd = std::min(text.find_first_of("\r\n", pos), text.size());
    std::size_t end = contentEnd;
    if (end < text.size()) end += text.substr(end).starts_with("\r\n") ? 2 : 1;
    lines.push_back({pos, contentEnd, end});
    pos = end;
  }
  return lines;
}

enum class LineKind { kBlank, kComment, kSection, kKey, kOther };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;       // section or key name, untrimmed
  std::size_t valueBegin = 0;  // absolute offset of the value, for keys
};

ParsedLine ParseLine(std::string_view text, const Line& line) {
  std::size_t begin = line.begin;
  // A UTF-8 mark in front of the first line is kept but not read as part of it.
  if (begin == 0 && text.substr(0, line.contentEnd).starts_with(kUtf8Mark)) begin = 3;
  std::string_view content = text.substr(begin, line.contentEnd - begin);
  std::size_t first = 0;
  while (first < content.size() && IsBlank(content[first])) ++first;
  ParsedLine parsed;
  if (first == content.size()) {
    parsed.kind = LineKind::kBlank;
  } else if (content[first] == '[') {
    parsed.kind = LineKind::kSection;
    std::string_view rest = content.substr(first + 1);
    parsed.name = rest.substr(0, rest.find(']'));
  } else if (content[first] == ';' || content[first] == '#') {
    parsed.kind = LineKind::kComment;
  } else if (std::size_t eq = content.find('='); eq != std::string_view::npos) {
    parsed.kind = LineKind::kKey;
    parsed.name = content.substr(0, eq);
    parsed.valueBegin = begin + eq + 1;
  }
  return parsed;
}

// Where a key lies: only the first section of the name counts, and in it the first key line.
struct KeyLocation {
  bool sectionFound = false;
  std::size_t sectionLine = 0;
  // The last line of the section that is neither blank nor a comment (a new key goes after it, so
  // that blank lines and comments in front of the next section stay with that section).
  std::size_t lastContentLine = 0;
  bool keyFound = false;
  std::size_t keyLine = 0;
  std::size_t valueBegin = 0;
};

KeyLocation Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                   std::string_view key) {
  KeyLocation where;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ParsedLine parsed = ParseLine(text, lines[i]);
    if (parsed.kind == LineKind::kSection) {
      if (inSection) break;
      if (!where.sectionFound && SameName(parsed.name, section)) {
        inSection = true;
        where.sectionFound = true;
        where.sectionLine = i;
        where.lastContentLine = i;
      }
      continue;
    }
    if (!inSection) continue;
    if (parsed.kind == LineKind::kKey || parsed.kind == LineKind::kOther) where.lastContentLine = i;
    if (parsed.kind == LineKind::kKey && SameName(parsed.name, key)) {
      where.keyFound = true;
      where.keyLine = i;
      where.valueBegin = parsed.valueBegin;
      return where;
    }
  }
  return where;
}

// The file's own line end: that of its first line, LF for a file without one.
std::string_view LineEndOf(std::string_view text) {
  std::size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos || text[at] == '\n') return "\n";
  return text.substr(at).starts_with("\r\n") ? "\r\n" : "\r";
}

// Where the text ends for a reader: at the first Ctrl+Z, which old editors leave at the end.
std::size_t TextEnd(std::string_view text) {
  return std::min(text.find('\x1A'), text.size());
}

// True when `value` begins and ends with the same quotation mark, which a read removes.
bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && value.front() == value.back() &&
         (value.front() == '"' || value.front() == '\'');
}

// A value that a read would trim or unquote is written inside double quotes, so that it reads back.
bool NeedsQuotes(std::string_view value) {
  return !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value));
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view stored, std::string_view wanted) {
  stored = TrimBlanks(stored);
  wanted = TrimBlanks(wanted);
  if (stored.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (AsciiLower(stored[i]) != AsciiLower(wanted[i])) return false;
  }
  return true;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
  text = text.substr(0, TextEnd(text));
  std::vector<Line> lines = SplitLines(text);
  KeyLocation where = Locate(text, lines, section, key);
  if (!where.keyFound) return std::nullopt;
  return text.substr(where.valueBegin, lines[where.keyLine].contentEnd - where.valueBegin);
}

std::string_view ValueOf(std::string_view raw) {
  std::string_view value = TrimBlanks(raw.substr(0, raw.find('\0')));
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

std::string_view CutValue(std::string_view value, bool wholeUtf8) {
  if (value.size() <= kMaxValueBytes) return value;
  std::size_t cut = kMaxValueBytes;
  // Back to the first byte of a character that the cut would split (continuation bytes 10xxxxxx).
  auto continues = [&](std::size_t at) {
    return (static_cast<unsigned char>(value[at]) & 0xC0) == 0x80;
  };
  while (wholeUtf8 && cut > kMaxValueBytes - 3 && continues(cut)) --cut;
  return value.substr(0, cut);
}

std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
  std::string_view tail = text.substr(TextEnd(text));
  text = text.substr(0, text.size() - tail.size());
  std::string quoted;
  if (NeedsQuotes(value)) {
    quoted.append("\"").append(value).append("\"");
    value = quoted;
  }
  std::vector<Line> lines = SplitLines(text);
  KeyLocation where = Locate(text, lines, section, key);
  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (where.keyFound) {
    result.append(text.substr(0, where.valueBegin));
    result.append(value);
    result.append(text.substr(lines[where.keyLine].contentEnd)).append(tail);
    return result;
  }
  std::string_view eol = LineEndOf(text);
  // Insert after the line that ends at `at`; that line may lack a line end of its own.
  std::size_t at = where.sectionFound ? lines[where.lastContentLine].end : text.size();
  // A CR alone in front of an LF line would join it into one line end.
  if (eol == "\r" && text.substr(at).starts_with('\n')) eol = "\r\n";
  result.append(text.substr(0, at));
  // A lone CR at the end of a file of CR LF lines only lacks its LF.
  if (at > 0 && text[at - 1] == '\r' && at == text.size() && eol == "\r\n") {
    result.append("\n");
  } else if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') {
    result.append(eol);
  }
  if (!where.sectionFound) {
    result.append("[").append(section).append("]").append(eol);
  }
  result.append(key).append("=").append(value).append(eol);
  result.append(text.substr(at)).append(tail);
  return result;
}

bool IsStorableValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0\x1A", 4)) == std::string_view::npos;
}

bool CanWrite(std::string_view section, std::string_view key, std::string_view value) {
  auto hasBreak = [](std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0\x1A", 4)) != std::string_view::npos;
  };
  std::string_view sectionName = TrimBlanks(section);
  std::string_view keyName = TrimBlanks(key);
  if (sectionName.empty() || hasBreak(section) || section.find(']') != std::string_view::npos) {
    return false;
  }
  if (keyName.empty() || hasBreak(key) || key.find('=') != std::string_view::npos) return false;
  if (keyName.front() == '[' || keyName.front() == ';' || keyName.front() == '#') return false;
  return IsStorableValue(value);
}

std::optional<int32_t> ParseNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
  if (text.empty()) return std::nullopt;
  std::size_t markerLength = 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') {
    markerLength = 1;
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    markerLength = 2;
  }
  if (markerLength > 0) {
    std::string_view digits = text.substr(markerLength);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t pattern = 0;
    for (char c : digits) {
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return std::nullopt;
      }
      pattern = (pattern << 4) | static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(pattern);
  }
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace tavrin::ini
