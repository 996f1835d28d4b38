// Cross-checks the engine's text primitives against the naive model in text_reference.h on many
// generated inputs. The inputs lean heavily on the bytes that matter: separators, lead bytes,
// "$" and digits (placeholders), and zero bytes where a search must stop at them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/double_byte.h"
#include "engine/text.h"
#include "engine/text_list.h"
#include "tests/engine_test_support.h"
#include "text_reference.h"

namespace tavrin {
namespace {

using testing_support::CodePageGuard;
using testing_support::Entries;

constexpr int kInputsPerMode = 120000;
constexpr int kReportedMismatchesPerOperation = 8;

std::string Hex(const std::string& bytes) {
  std::string out = "[";
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "",
                  static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    out += buf;
  }
  return out + "]";
}

std::string Hex(const std::vector<std::string>& pieces) {
  std::string out = "{";
  for (std::size_t i = 0; i < pieces.size(); ++i) out += (i ? ", " : "") + Hex(pieces[i]);
  return out + "}";
}

// Fixed-seed generator. Raw mt19937 output is the same everywhere, unlike the library's
// distributions, so a failure seen once can be replayed anywhere.
class InputGenerator {
 public:
  explicit InputGenerator(uint32_t seed) : rng_(seed) {}

  uint32_t Below(uint32_t n) { return rng_() % n; }
  bool Chance(uint32_t percent) { return Below(100) < percent; }

  unsigned char Byte(bool allowZero) {
    static const char kSeparators[] = {'#', ';', '|', ','};
    uint32_t r = Below(100);
    if (r < 22) return kSeparators[Below(4)];
    if (r < 32) return LeadByte();
    if (r < 47) return Chance(50) ? 0x82 : 0x83;  // the commonest leads, so runs form often
    if (r < 55) return '$';
    if (r < 65) return static_cast<unsigned char>('0' + Below(10));
    if (r < 76) return Chance(50) ? 'a' : 'A';
    if (r < 86) return static_cast<unsigned char>(0x40 + Below(0xBF));  // any possible trail
    if (r < 90 && allowZero) return 0;
    return static_cast<unsigned char>(1 + Below(255));
  }

  unsigned char LeadByte() {
    uint32_t k = Below(31 + 29);
    return static_cast<unsigned char>(k < 31 ? 0x81 + k : 0xE0 + (k - 31));
  }

  std::size_t Length() {
    uint32_t r = Below(100);
    if (r < 5) return 0;
    if (r < 80) return 1 + Below(12);
    if (r < 97) return 13 + Below(40);
    return 53 + Below(250);
  }

  std::string Text(bool allowZero) {
    std::string s;
    std::size_t n = Length();
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(Byte(allowZero)));
    return s;
  }

  // A pattern or separator: mostly short and often present in `text`, so that matches, rejected
  // candidates at trail positions and overlaps all occur.
  std::string Pattern(const std::string& text) {
    static const char* const kFixed[] = {"#",        ";",  "|",  ",",   "##",
                                         ";;",       "aa", "$1", "$10", "\x82",
                                         "\x82\x82", "A",  "AA", "#|",  "\x83\x41"};
    uint32_t r = Below(100);
    if (r < 3) return "";
    if (r < 40) return kFixed[Below(sizeof kFixed / sizeof kFixed[0])];
    if (r < 70 && !text.empty()) {
      std::size_t from = Below(static_cast<uint32_t>(text.size()));
      std::size_t n = 1 + Below(3);
      std::string s = text.substr(from, n);
      if (s.find('\0') == std::string::npos) return s;
    }
    std::string s;
    std::size_t n = 1 + Below(3);
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(Byte(false)));
    return s;
  }

  int32_t Bound(std::size_t length) {
    static const int32_t kEdges[] = {
        std::numeric_limits<int32_t>::min(), -2, -1, 0, 1, std::numeric_limits<int32_t>::max() - 1,
        std::numeric_limits<int32_t>::max()};
    if (Chance(25)) return kEdges[Below(sizeof kEdges / sizeof kEdges[0])];
    return static_cast<int32_t>(Below(static_cast<uint32_t>(length) + 3));
  }

 private:
  std::mt19937 rng_;
};

class TextDifferentialTest : public ::testing::TestWithParam<int> {
 protected:
  // Counts a mismatch for `operation` and reports the first few of each kind in full.
  void Mismatch(const std::string& operation, const std::string& details) {
    if (++mismatches_[operation] <= kReportedMismatchesPerOperation) {
      ADD_FAILURE() << operation << " (code page " << GetParam() << "): " << details;
    }
  }

  std::map<std::string, int> mismatches_;

 private:
  CodePageGuard codePage_{GetParam()};
};

TEST_P(TextDifferentialTest, EngineAgreesWithNaiveModel) {
  const bool doubleByte = GetParam() == kCodePage932;
  ASSERT_EQ(DoubleByteMode(), doubleByte);
  InputGenerator gen(doubleByte ? 20240601u : 20240602u);
  TextList list;

  for (int n = 0; n < kInputsPerMode; ++n) {
    // FindText, zero bytes included: the search must stop at the first one.
    {
      std::string text = gen.Text(true);
      std::string pattern = gen.Pattern(text);
      int32_t want = reference::FindText(pattern, text, doubleByte);
      int32_t got = FindText(pattern, text);
      if (got != want) {
        Mismatch("FindText", "pattern " + Hex(pattern) + " text " + Hex(text) + ": expected " +
                                 std::to_string(want) + ", got " + std::to_string(got));
      }
    }

    std::string text = gen.Text(false);

    if (!text.empty()) {
      std::size_t pos = 1 + gen.Below(static_cast<uint32_t>(text.size()));
      bool want = reference::IsTrail(text, static_cast<int64_t>(pos), doubleByte);
      if (IsTrailPosition(text, pos) != want) {
        Mismatch("IsTrailPosition", "text " + Hex(text) + " position " + std::to_string(pos) +
                                        ": expected " + (want ? "true" : "false"));
      }
    }

    {
      int32_t start = gen.Bound(text.size());
      int32_t count = gen.Bound(text.size());
      std::string want = reference::CopyRange(text, start, count);
      std::string got = CopyRange(text, start, count);
      if (got != want) {
        Mismatch("CopyRange", "text " + Hex(text) + " start " + std::to_string(start) + " count " +
                                  std::to_string(count) + ": expected " + Hex(want) + ", got " +
                                  Hex(got));
      }
    }

    {
      std::string pattern = gen.Pattern(text);
      std::string replacement = gen.Chance(20) ? std::string() : gen.Pattern(text);
      if (gen.Chance(10)) replacement = pattern + pattern;
      std::string want = reference::ReplaceAll(text, pattern, replacement, doubleByte);
      std::string got = ReplaceAll(text, pattern, replacement);
      if (got != want) {
        Mismatch("ReplaceAll", "text " + Hex(text) + " pattern " + Hex(pattern) + " replacement " +
                                   Hex(replacement) + ": expected " + Hex(want) + ", got " +
                                   Hex(got));
      }
    }

    for (int dropping = 0; dropping < 2; ++dropping) {
      std::string separator = gen.Pattern(text);
      std::string input = text;
      // The list's previous entries must go, and the text may be one of them.
      list.Clear();
      list.Append("stale");
      list.Append(text);
      bool aliased = gen.Chance(30);
      std::vector<std::string> want =
          dropping ? reference::SplitDroppingDoubles(separator, input, doubleByte)
                   : reference::SplitKeepingEmpty(separator, input, doubleByte);
      std::string_view source = aliased ? list.At(1) : std::string_view(input);
      if (dropping) {
        SplitDroppingDoubles(separator, source, list);
      } else {
        SplitKeepingEmpty(separator, source, list);
      }
      std::vector<std::string> got = Entries(list);
      if (got != want) {
        Mismatch(dropping ? "SplitDroppingDoubles" : "SplitKeepingEmpty",
                 "separator " + Hex(separator) + " text " + Hex(input) +
                     (aliased ? " (text is an entry of the list)" : "") + ": expected " +
                     Hex(want) + ", got " + Hex(got));
      }
    }
  }

  for (const auto& [operation, count] : mismatches_) {
    EXPECT_EQ(count, 0) << operation << " mismatches in " << kInputsPerMode << " inputs";
  }
}

// Long texts: runs of matches longer than a 64-byte block, gaps and replacements on either side of
// 16 bytes, results that outgrow the first stretch of their string, and long runs of lead bytes or
// separators. Fewer inputs, since the model copies the remainder after every match.
TEST_P(TextDifferentialTest, LongTextsAgreeWithNaiveModel) {
  const bool doubleByte = GetParam() == kCodePage932;
  InputGenerator gen(doubleByte ? 20261209u : 20261210u);
  static const char* const kPatterns[] = {"$1", "#", "|", "||", "ab", "\x82", "\x81\x40", "a|"};
  static const std::size_t kReplacementSizes[] = {0, 1, 2, 15, 16, 17, 40, 300};
  TextList list;
  for (int n = 0; n < 48; ++n) {
    const std::string pattern = kPatterns[gen.Below(sizeof kPatterns / sizeof kPatterns[0])];
    std::string text;
    const std::size_t size = 2000 + gen.Below(18000);
    while (text.size() < size) {
      const std::size_t length = 1 + gen.Below(200);
      switch (gen.Below(5)) {
        case 0:  // matches back to back, or a byte apart
          for (std::size_t i = 0; i < length; ++i) text += pattern + (gen.Chance(30) ? "," : "");
          break;
        case 1:  // a gap of about 16 bytes
          text += std::string(14 + gen.Below(5), 'g') + pattern;
          break;
        case 2:  // a run of lead bytes, so that the next match may stand at a trail position
          for (std::size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>(gen.LeadByte()));
          text += pattern;
          break;
        default:
          for (std::size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>(gen.Byte(false)));
      }
    }
    std::string replacement;
    const std::size_t replacementSize = kReplacementSizes[gen.Below(8)];
    for (std::size_t i = 0; i < replacementSize; ++i)
      replacement.push_back(static_cast<char>('A' + i % 26));
    if (gen.Chance(10)) text[gen.Below(static_cast<uint32_t>(text.size()))] = '\0';

    // In a buffer of exactly its size, so that the sanitizers see any read past its end.
    std::unique_ptr<char[]> exact(new char[text.size()]);
    std::memcpy(exact.get(), text.data(), text.size());
    const std::string_view input(exact.get(), text.size());

    const std::string want = reference::ReplaceAll(text, pattern, replacement, doubleByte);
    const std::string got = ReplaceAll(input, pattern, replacement);
    if (got != want) {
      Mismatch("ReplaceAll", "pattern " + Hex(pattern) + ", replacement of " +
                                 std::to_string(replacementSize) + " bytes, text " + Hex(text));
    }
    for (int dropping = 0; dropping < 2; ++dropping) {
      const std::vector<std::string> wantPieces =
          dropping ? reference::SplitDroppingDoubles(pattern, text, doubleByte)
                   : reference::SplitKeepingEmpty(pattern, text, doubleByte);
      if (dropping) {
        SplitDroppingDoubles(pattern, input, list);
      } else {
        SplitKeepingEmpty(pattern, input, list);
      }
      if (Entries(list) != wantPieces) {
        Mismatch(dropping ? "SplitDroppingDoubles" : "SplitKeepingEmpty",
                 "separator " + Hex(pattern) + " text " + Hex(text));
      }
    }
  }
  for (const auto& [operation, count] : mismatches_) {
    EXPECT_EQ(count, 0) << operation << " mismatches in long texts";
  }
}

INSTANTIATE_TEST_SUITE_P(CodePages, TextDifferentialTest,
                         ::testing::Values(kCodePage932, kCodePageUtf8),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == kCodePage932 ? std::string("DoubleByteOn")
                                                             : std::string("DoubleByteOff");
                         });

}  // namespace
}  // namespace tavrin
