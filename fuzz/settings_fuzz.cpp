// Fuzz target: a settings file of arbitrary bytes. Every one of the twelve keys is read, the
// reads are compared with a reading of the file made here, then new values are written, and
// every value must read back unchanged while every line that the program does not own keeps
// its bytes (its characters, in a UTF-16 file, which must stay UTF-16).
//
// Input layout: the file's bytes, then a zero byte, then the material that the new values are
// made from (no zero byte: the whole input is both). An empty file part means no file at all.
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "shell/ini_encoding.h"
#include "shell/settings.h"

namespace tavrin::fuzz {
namespace {

enum class Kind { Number, Flag, Text };

struct Key {
  const char* section;
  const char* name;
  Kind kind;
};

// In the order of the write at close.
constexpr std::array<Key, 12> kKeys = {{
    {"Main", "Maximized", Kind::Flag},
    {"Main", "Top", Kind::Number},
    {"Main", "Left", Kind::Number},
    {"Main", "Width", Kind::Number},
    {"Main", "Height", Kind::Number},
    {"Main", "ButtonHeight", Kind::Number},
    {"Main", "ButtonWidth", Kind::Number},
    {"Main", "FileName", Kind::Text},
    {"HTML", "OuterHead", Kind::Text},
    {"HTML", "OuterFoot", Kind::Text},
    {"HTML", "InnerHead", Kind::Text},
    {"HTML", "InnerFoot", Kind::Text},
}};

// ---- A reading of the file made independently of the settings module ------------------------

struct FileLine {
  std::string raw;      // the line's bytes with its line end
  std::string content;  // without its line end: CR LF, LF or CR
  bool terminated;      // has a line end
};

// The lines of a decoded text, which ends at its first Ctrl+Z.
std::vector<FileLine> LinesOf(const std::string& whole) {
  const std::string text = whole.substr(0, whole.find('\x1A'));
  std::vector<FileLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t br = text.find_first_of("\r\n", pos);
    std::size_t end = br == std::string::npos ? text.size() : br + 1;
    if (br != std::string::npos && text[br] == '\r' && end < text.size() && text[end] == '\n') {
      ++end;
    }
    FileLine line{text.substr(pos, end - pos), "", br != std::string::npos};
    line.content = text.substr(pos, (br == std::string::npos ? text.size() : br) - pos);
    lines.push_back(line);
    pos = end;
  }
  return lines;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trimmed(std::string s) {
  while (!s.empty() && IsBlank(s.front())) s.erase(0, 1);
  while (!s.empty() && IsBlank(s.back())) s.pop_back();
  return s;
}

bool SameName(const std::string& stored, const std::string& wanted) {
  std::string a = Trimmed(stored), b = Trimmed(wanted);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// What a line is: a section header (its name), a key (its name and the offset of its value in
// `content`), or something else (blank, comment, text without "=").
struct Parsed {
  bool section = false;
  bool key = false;
  std::string name;
  std::size_t valueAt = 0;
};

Parsed Parse(const FileLine& line, bool first) {
  std::string content = line.content;
  std::size_t skip = first && content.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  std::size_t i = skip;
  while (i < content.size() && IsBlank(content[i])) ++i;
  Parsed p;
  if (i == content.size() || content[i] == ';' || content[i] == '#') return p;
  if (content[i] == '[') {
    p.section = true;
    std::size_t close = content.find(']', i + 1);
    p.name = content.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    return p;
  }
  std::size_t eq = content.find('=', skip);
  if (eq == std::string::npos) return p;
  p.key = true;
  p.name = content.substr(skip, eq - skip);
  p.valueAt = eq + 1;
  return p;
}

// Line index of each key's line (the first such key in the first section of its name), and of
// the first header of each section; -1 where there is none.
struct Owned {
  std::array<int, 12> keyLine;
  int mainHeader = -1, htmlHeader = -1;
};

Owned FindOwned(const std::vector<FileLine>& lines) {
  std::vector<Parsed> parsed;
  for (std::size_t i = 0; i < lines.size(); ++i) parsed.push_back(Parse(lines[i], i == 0));
  Owned owned;
  for (int k = 0; k < 12; ++k) {
    owned.keyLine[k] = -1;
    int header = -1;
    for (std::size_t i = 0; i < parsed.size() && header < 0; ++i) {
      if (parsed[i].section && SameName(parsed[i].name, kKeys[k].section)) header = int(i);
    }
    if (header < 0) continue;
    (std::string(kKeys[k].section) == "Main" ? owned.mainHeader : owned.htmlHeader) = header;
    for (std::size_t i = header + 1; i < parsed.size() && !parsed[i].section; ++i) {
      if (parsed[i].key && SameName(parsed[i].name, kKeys[k].name)) {
        owned.keyLine[k] = int(i);
        break;
      }
    }
  }
  return owned;
}

// The value that a read of key k should give, or false when the key is not in the file: trimmed
// of blanks, then of one pair of quotes, cut to 2047 bytes (to whole characters for UTF-16).
bool StoredValue(const std::vector<FileLine>& lines, const Owned& owned, int k, bool utf16,
                 std::string& value) {
  if (owned.keyLine[k] < 0) return false;
  const FileLine& line = lines[owned.keyLine[k]];
  value = Trimmed(line.content.substr(Parse(line, owned.keyLine[k] == 0).valueAt));
  value = Trimmed(value.substr(0, value.find('\0')));
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\'')) {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > 2047) {
    std::size_t cut = 2047;
    while (utf16 && cut > 2044 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    value.resize(cut);
  }
  return true;
}

// The number that a stored text stands for, or false when it is not one.
bool NumberOf(std::string t, int32_t& out) {
  while (!t.empty() && IsBlank(t.front())) t.erase(0, 1);
  if (t.empty()) return false;
  std::string digits;
  int base = 10;
  bool negative = false;
  if (t.starts_with("0x") || t.starts_with("0X")) {
    base = 16, digits = t.substr(2);
  } else if (t[0] == '$' || t[0] == 'x' || t[0] == 'X') {
    base = 16, digits = t.substr(1);
  } else {
    if (t[0] == '+' || t[0] == '-') negative = t[0] == '-', t.erase(0, 1);
    digits = t;
  }
  if (digits.empty()) return false;
  if (base == 16) {
    if (digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return false;
    out = static_cast<int32_t>(std::stoul(digits, nullptr, 16));
    return true;
  }
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  std::size_t nonzero = digits.find_first_not_of('0');
  std::string significant = nonzero == std::string::npos ? "0" : digits.substr(nonzero);
  if (significant.size() > 10) return false;
  long long v = std::stoll(significant);
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// ---- New values -----------------------------------------------------------------------------

struct Values {
  std::array<int32_t, 12> numbers{};
  std::array<std::string, 12> texts;
};

Values MakeValues(std::string_view material) {
  Values v;
  // Text values: the pieces of the material between line feeds, without line breaks or zero
  // bytes, so that each is one line. A few characters that mean something in the file are mixed in.
  std::vector<std::string> pieces(1);
  for (char c : material) {
    if (c == '\n') {
      pieces.emplace_back();
    } else if (c != '\r' && c != '\0' && c != '\x1A') {
      pieces.back() += c;
    }
  }
  static const char* const kSpice[] = {"", " ", "=", ";x", "[Main]", "\t", "\xE9\x82", "#"};
  uint32_t hash = 2166136261u;
  for (char c : material) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  for (int k = 0; k < 12; ++k) {
    uint32_t h = hash ^ (static_cast<uint32_t>(k) * 0x9E3779B9u);
    h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
    std::string text = pieces[k % pieces.size()];
    text = kSpice[h & 7] + text + kSpice[(h >> 3) & 7];
    v.texts[k] = text.substr(0, 2047);
    switch ((h >> 6) & 7) {
      case 0:
        v.numbers[k] = INT32_MIN;
        break;
      case 1:
        v.numbers[k] = INT32_MAX;
        break;
      case 2:
        v.numbers[k] = 0;
        break;
      case 3:
        v.numbers[k] = -1;
        break;
      default:
        v.numbers[k] = static_cast<int32_t>(h);
        break;
    }
  }
  return v;
}

// ---- The run of one input --------------------------------------------------------------------

const std::string& SettingsPath() {
  static const std::string path = [] {
    const std::string config = ScratchFolder() + "/config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::string p = SettingsFilePath();
    // Never touch a settings file outside the scratch folder.
    FUZZ_CHECK(p.starts_with(config + "/"), p);
    return p;
  }();
  return path;
}

void CheckReads(const SettingsFile& settings, const std::string& original) {
  const ini::DecodedFile file = ini::DecodeFile(original);
  const bool utf16 = file.encoding != ini::Encoding::kBytes;
  std::vector<FileLine> lines = LinesOf(file.text);
  Owned owned = FindOwned(lines);
  for (int k = 0; k < 12; ++k) {
    const Key& key = kKeys[k];
    std::string stored;
    bool present = StoredValue(lines, owned, k, utf16, stored);
    std::string text = settings.ReadText(key.section, key.name, "<default>");
    FUZZ_CHECK(text == (present ? stored : "<default>"),
               std::string(key.name) + " read " + Escaped(text) + ", stored " + Escaped(stored));
    int32_t number = 0;
    bool isNumber = present && NumberOf(stored, number);
    for (int32_t fallback : {0, 1, -7, INT32_MIN}) {
      int32_t got = settings.ReadNumber(key.section, key.name, fallback);
      FUZZ_CHECK(
          got == (isNumber ? number : fallback),
          std::string(key.name) + " as number " + std::to_string(got) + " from " + Escaped(stored));
    }
    for (bool fallback : {false, true}) {
      bool flag = settings.ReadFlag(key.section, key.name, fallback);
      FUZZ_CHECK(flag == (isNumber ? number != 0 : fallback), std::string(key.name) + " as flag");
    }
  }
}

void CheckForeignLines(const std::string& beforeBytes, const std::string& afterBytes) {
  const ini::DecodedFile oldFile = ini::DecodeFile(beforeBytes);
  const ini::DecodedFile newFile = ini::DecodeFile(afterBytes);
  FUZZ_CHECK(beforeBytes.empty() || newFile.encoding == oldFile.encoding, "the encoding changed");
  FUZZ_CHECK(newFile.oddByte == oldFile.oddByte, "the odd byte changed");
  const std::string& before = oldFile.text;
  const std::string& after = newFile.text;
  // What follows a Ctrl+Z is no part of the text, and stays.
  FUZZ_CHECK(before.substr(std::min(before.find('\x1A'), before.size())) ==
                 after.substr(std::min(after.find('\x1A'), after.size())),
             "the bytes after Ctrl+Z changed");
  std::vector<FileLine> oldLines = LinesOf(before), newLines = LinesOf(after);
  Owned oldOwned = FindOwned(oldLines), newOwned = FindOwned(newLines);
  for (int k = 0; k < 12; ++k) {
    FUZZ_CHECK(newOwned.keyLine[k] >= 0, std::string(kKeys[k].name) + " missing after the write");
  }
  auto isOwnedLine = [](const Owned& owned, int i) {
    for (int line : owned.keyLine) {
      if (line == i) return true;
    }
    return false;
  };
  std::vector<int> oldForeign, newForeign;
  for (int i = 0; i < int(oldLines.size()); ++i) {
    if (!isOwnedLine(oldOwned, i)) oldForeign.push_back(i);
  }
  for (int i = 0; i < int(newLines.size()); ++i) {
    // A section header that the writes added belongs to them.
    bool addedHeader = (i == newOwned.mainHeader && oldOwned.mainHeader < 0) ||
                       (i == newOwned.htmlHeader && oldOwned.htmlHeader < 0);
    if (!isOwnedLine(newOwned, i) && !addedHeader) newForeign.push_back(i);
  }
  FUZZ_CHECK(oldForeign.size() == newForeign.size(), std::to_string(oldForeign.size()) +
                                                         " foreign lines became " +
                                                         std::to_string(newForeign.size()));
  for (std::size_t j = 0; j < oldForeign.size(); ++j) {
    const FileLine& was = oldLines[oldForeign[j]];
    const FileLine& now = newLines[newForeign[j]];
    // Only a last line without a line end may gain one (or a last lone CR its LF), when
    // something is written after it.
    bool same = now.raw == was.raw ||
                (!was.terminated && now.raw.starts_with(was.raw) && now.terminated &&
                 now.raw.size() - was.raw.size() <= 2) ||
                (was.raw.ends_with('\r') && now.raw == was.raw + "\n");
    FUZZ_CHECK(same && now.content == was.content,
               "foreign line " + Escaped(was.raw) + " became " + Escaped(now.raw));
  }
  // A key line that existed keeps everything up to its "=" and its line end (which, again, only
  // a last line may gain).
  for (int k = 0; k < 12; ++k) {
    if (oldOwned.keyLine[k] < 0) continue;
    const FileLine& was = oldLines[oldOwned.keyLine[k]];
    const FileLine& now = newLines[newOwned.keyLine[k]];
    std::size_t at = Parse(was, oldOwned.keyLine[k] == 0).valueAt;
    std::string wasEnd = was.raw.substr(was.content.size());
    std::string nowEnd = now.raw.substr(now.content.size());
    FUZZ_CHECK(now.raw.compare(0, at, was.raw, 0, at) == 0 &&
                   (nowEnd == wasEnd || (!was.terminated && nowEnd.starts_with(wasEnd)) ||
                    (wasEnd == "\r" && nowEnd == "\r\n")),
               "key line " + Escaped(was.raw) + " became " + Escaped(now.raw));
  }
}

}  // namespace
}  // namespace tavrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tavrin::fuzz;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view fileBytes = input, material = input;
  if (std::size_t nul = input.rfind('\0'); nul != std::string_view::npos) {
    fileBytes = input.substr(0, nul);
    material = input.substr(nul + 1);
  }
  const std::string& path = SettingsPath();
  std::string folder = path.substr(0, path.rfind('/'));
  std::filesystem::create_directories(folder);
  std::filesystem::remove(path);
  if (!fileBytes.empty()) WriteFileBytes(path, fileBytes.data(), fileBytes.size());
  const std::string original(fileBytes);

  std::unique_ptr<tavrin::SettingsFile> settings = tavrin::OpenSettingsFile();
  FUZZ_CHECK(settings->Path() == path, settings->Path());
  CheckReads(*settings, original);

  Values values = MakeValues(material);
  const std::size_t rotation = material.empty() ? 0 : static_cast<unsigned char>(material[0]) % 12;
  try {
    for (std::size_t n = 0; n < 12; ++n) {
      const std::size_t k = (n + rotation) % 12;
      const Key& key = kKeys[k];
      switch (key.kind) {
        case Kind::Number:
          settings->WriteNumber(key.section, key.name, values.numbers[k]);
          break;
        case Kind::Flag:
          settings->WriteFlag(key.section, key.name, values.numbers[k] & 1);
          break;
        case Kind::Text:
          settings->WriteText(key.section, key.name, values.texts[k]);
          break;
      }
    }
  } catch (const std::exception& e) {
    Fail(__FILE__, __LINE__, std::string("a write failed: ") + e.what());
  }

  for (std::size_t k = 0; k < 12; ++k) {
    const Key& key = kKeys[k];
    std::string text = settings->ReadText(key.section, key.name, "<default>");
    switch (key.kind) {
      case Kind::Number:
        FUZZ_CHECK(text == std::to_string(values.numbers[k]), key.name + (": " + Escaped(text)));
        FUZZ_CHECK(settings->ReadNumber(key.section, key.name, 5) == values.numbers[k], key.name);
        break;
      case Kind::Flag:
        FUZZ_CHECK(text == ((values.numbers[k] & 1) ? "1" : "0"),
                   key.name + (": " + Escaped(text)));
        FUZZ_CHECK(settings->ReadFlag(key.section, key.name, false) == (values.numbers[k] & 1),
                   key.name);
        break;
      case Kind::Text:
        FUZZ_CHECK(text == values.texts[k],
                   key.name + (": wrote " + Escaped(values.texts[k]) + ", read " + Escaped(text)));
        break;
    }
  }

  std::string after;
  {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(f != nullptr, "the settings file is gone after the writes");
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) after.append(buffer, n);
    std::fclose(f);
  }
  CheckForeignLines(original, after);
  return 0;
}
