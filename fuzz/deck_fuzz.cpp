// Fuzz target: a deck of arbitrary bytes, loaded and then driven by a string of button presses
// and reloads, under a fixed clock. After every step the engine's state is checked against its
// invariants and against what the step should have done, and the page it handed over is
// composed again here from the templates and the fields.
//
// Input layout:
//   byte 0            code page policy (value % 3: auto, 932, 65001); the rest picks the clock
//   bytes 1 .. NUL    the steps, one letter each (other bytes are skipped):
//                       o OK, b Back, s Shuffle,
//                       r load the deck again, h load a copy of its first half,
//                       m load a name that does not exist, d load a folder,
//                       p switch to the next policy and load the deck again
//   after the NUL     the deck file's bytes (no NUL: the whole rest is the deck, no steps)
// The deck is always loaded once before the steps.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compose.h"
#include "engine/deck.h"
#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/navigation.h"
#include "engine/random.h"
#include "engine/text.h"
#include "engine/text_list.h"
#include "engine/utf8.h"
#include "fuzz_support.h"

namespace tavrin::fuzz {
namespace {

using Strings = std::vector<std::string>;

Strings Entries(const TextList& list) {
  Strings out;
  for (int32_t i = 0; i < list.Count(); ++i) out.emplace_back(list.At(i));
  return out;
}

Strings SplitKeeping(std::string_view separator, std::string_view text) {
  TextList list;
  SplitKeepingEmpty(separator, text, list);
  return Entries(list);
}

// Everything of the state that a step may change, copied so that it can be compared afterwards.
struct Snapshot {
  std::string FieldSeparator, ParamSeparator;
  DeckSettings Settings;
  Strings Lines, CardFields, Params, DefaultParams;
  int32_t CardCount, Position, RevealedField;
  std::vector<int32_t> CardOrder;
  int CodePage;
  int DoubleByteCodePage;

  explicit Snapshot(const DeckState& d)
      : FieldSeparator(d.FieldSeparator),
        ParamSeparator(d.ParamSeparator),
        Settings(d.Settings),
        Lines(Entries(d.Lines)),
        CardFields(Entries(d.CardFields)),
        Params(Entries(d.Params)),
        DefaultParams(Entries(d.DefaultParams)),
        CardCount(d.CardCount),
        Position(d.Position),
        RevealedField(d.RevealedField),
        CardOrder(d.CardOrder),
        CodePage(d.CodePage),
        DoubleByteCodePage(tavrin::DoubleByteCodePage()) {}

  bool operator==(const Snapshot&) const = default;
};

// ---- Independent expectations -----------------------------------------------------------------

// Lines of a file's bytes, cut the plain way: CR LF, CR or LF end a line, a zero byte ends the
// data, and a line end at the very end adds no empty line.
Strings CutLinesPlainly(const std::string& bytes) {
  Strings lines;
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n && bytes[i] != '\0') {
    std::string line;
    while (i < n && bytes[i] != '\0' && bytes[i] != '\r' && bytes[i] != '\n') line += bytes[i++];
    lines.push_back(line);
    if (i < n && bytes[i] == '\r') {
      ++i;
      if (i < n && bytes[i] == '\n') ++i;
    } else if (i < n && bytes[i] == '\n') {
      ++i;
    }
  }
  return lines;
}

// Strict UTF-8, decoded one character at a time: no overlong forms, no surrogates, nothing
// above U+10FFFF.
bool IsStrictUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80             ? 0
                : (c & 0xE0) == 0xC0 ? 1
                : (c & 0xF0) == 0xE0 ? 2
                : (c & 0xF8) == 0xF0 ? 3
                                     : -1;
    if (extra < 0 || i + extra >= text.size()) return false;
    uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      code = (code << 6) | (t & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

// The value of header key `key`, or false when the header does not name it.
bool HeaderValue(const std::string& header, const std::string& key, const std::string& separator,
                 std::string& value) {
  std::string keyEquals = key + "=";
  int32_t p = FindText(keyEquals, header);
  if (p == 0) return false;
  std::string rest = CopyRange(header, p + static_cast<int32_t>(keyEquals.size()), 2147483647);
  int32_t end = separator.empty() ? 0 : FindText(separator, rest);
  value = end > 0 ? CopyRange(rest, 1, end - 1) : rest;
  return true;
}

std::string SingleFieldPageOf(const DeckState& d, const TextList& params) {
  const DeckSettings& s = d.Settings;
  return ExpandTemplate(s[kOuterHead] + s[kInnerHead], params, d.DefaultParams) +
         std::string(params.At(0)) +
         ExpandTemplate(s[kInnerFoot] + s[kOuterFoot], params, d.DefaultParams);
}

// Fields 0 to k of CardFields shown together, composed field by field without shortcuts.
std::string RevealedPageOf(const DeckState& d, int32_t k) {
  const DeckSettings& s = d.Settings;
  std::string body;
  TextList params;
  for (int32_t j = 0; j <= k; ++j) {
    SplitKeepingEmpty(d.ParamSeparator, d.CardFields.At(j), params);
    body += ExpandTemplate(s[kInnerHead], params, d.DefaultParams) + std::string(params.At(0)) +
            ExpandTemplate(s[kInnerFoot], params, d.DefaultParams);
  }
  return ExpandTemplate(s[kOuterHead], params, d.DefaultParams) + body +
         ExpandTemplate(s[kOuterFoot], params, d.DefaultParams);
}

std::string TitlePageOf(const DeckState& d) {
  TextList params;
  SplitKeepingEmpty(d.ParamSeparator, d.Lines.At(2), params);
  return SingleFieldPageOf(d, params);
}

// The order that a shuffle of `order` gives with the generator seeded to `seed`.
std::vector<int32_t> ShuffledOrder(std::vector<int32_t> order, uint32_t seed) {
  const uint64_t n = order.size();
  uint32_t state = seed;
  auto draw = [&] {
    state = state * 0x08088405u + 1u;
    return static_cast<std::size_t>((n * state) >> 32);
  };
  draw();
  for (std::size_t i = 0; i < n; ++i) std::swap(order[i], order[draw()]);
  return order;
}

bool IsAllowedError(const std::string& message, const Strings& fileNames) {
  if (message ==
      "ページが " + std::to_string(PageSizeLimit()) + " バイトを超えるため表示できません") {
    return true;
  }
  for (const std::string& name : fileNames) {
    if (message == "ファイル " + name + " は開けません") return true;
  }
  const std::string prefix = "リストのインデックスが範囲を超えています (";
  if (!message.starts_with(prefix) || !message.ends_with(")")) return false;
  std::string number = message.substr(prefix.size(), message.size() - prefix.size() - 1);
  if (number.starts_with("-")) number.erase(0, 1);
  return !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
}

// ---- The run of one input ---------------------------------------------------------------------

constexpr CodePagePolicy kPolicies[] = {CodePagePolicy::Auto, CodePagePolicy::Cp932,
                                        CodePagePolicy::Utf8};

class Run {
 public:
  Run(uint8_t control, std::string deckBytes) : deckBytes_(std::move(deckBytes)) {
    const std::string& dir = ScratchFolder();
    deckPath_ = dir + "/deck.txt";
    halfPath_ = dir + "/half.txt";
    missingPath_ = dir + "/missing.txt";
    folderPath_ = dir;
    halfBytes_ = deckBytes_.substr(0, deckBytes_.size() / 2);
    WriteFileBytes(deckPath_, deckBytes_.data(), deckBytes_.size());
    WriteFileBytes(halfPath_, halfBytes_.data(), halfBytes_.size());

    policyIndex_ = control % 3;
    seed_ = (static_cast<uint32_t>(control) * 2654435761u) % 86400000u;
    const uint32_t seed = seed_;
    SetTimeOfDayClock([seed] { return seed; });
    SetDoubleByteCodePage(kCodePage932);
    // Small pages keep every input fast; a deck that doubles its page step by step meets the limit.
    SetPageSizeLimit(std::size_t{1} << 20);

    deck_.Settings = {
        "<html class=\"$1\"><body>", "<p title=\"$2\">", "</p>", "</body></html>", "", ""};
    deck_.MakeLists();
    deck_.SetPolicy(kPolicies[policyIndex_]);
    deck_.ShowHtml = [this](const std::string& page) { pages_.push_back(page); };
  }

  ~Run() { SetTimeOfDayClock({}); }

  void Step(char op) {
    switch (op) {
      case 'o':
        Navigate(op, [this] { Ok(deck_); });
        break;
      case 'b':
        Navigate(op, [this] { Back(deck_); });
        break;
      case 's':
        Navigate(op, [this] { Shuffle(deck_); });
        break;
      case 'r':
        Load(deckPath_, &deckBytes_);
        break;
      case 'h':
        Load(halfPath_, &halfBytes_);
        break;
      case 'm':
        Load(missingPath_, nullptr);
        break;
      case 'd':
        Load(folderPath_, nullptr);
        break;
      case 'p':
        policyIndex_ = (policyIndex_ + 1) % 3;
        deck_.SetPolicy(kPolicies[policyIndex_]);
        Load(deckPath_, &deckBytes_);
        break;
      default:
        break;
    }
  }

 private:
  // Runs `action`; returns whether it raised one of the engine's errors. Anything else fails.
  template <typename Action>
  bool Attempt(Action action) {
    pages_.clear();
    try {
      action();
      return false;
    } catch (const Error& e) {
      FUZZ_CHECK(IsAllowedError(e.what(), {deckPath_, halfPath_, missingPath_, folderPath_}),
                 Escaped(e.what()));
      FUZZ_CHECK(pages_.empty(), "a failing step handed over a page");
    } catch (const std::exception& e) {
      Fail(__FILE__, __LINE__, std::string("foreign exception: ") + e.what());
    } catch (...) {
      Fail(__FILE__, __LINE__, "foreign exception");
    }
    return true;
  }

  void CheckInvariants() {
    const DeckState& d = deck_;
    if (d.CardCount >= 1) {
      FUZZ_CHECK(d.CardOrder.size() == static_cast<std::size_t>(d.CardCount), "CardOrder length");
      std::vector<bool> seen(d.CardOrder.size(), false);
      for (int32_t line : d.CardOrder) {
        FUZZ_CHECK(line >= 3 && line <= d.CardCount + 2, std::to_string(line));
        FUZZ_CHECK(!seen[line - 3], "line " + std::to_string(line) + " twice in CardOrder");
        seen[line - 3] = true;
      }
      FUZZ_CHECK(d.Position >= -1 && d.Position < d.CardCount, std::to_string(d.Position));
      if (d.Position >= 0 && d.CardFields.Count() > 0) {
        FUZZ_CHECK(d.RevealedField >= 0 && d.RevealedField < d.CardFields.Count(),
                   std::to_string(d.RevealedField));
      }
    }
    FUZZ_CHECK(d.CodePage == kCodePage932 || d.CodePage == kCodePageUtf8,
               std::to_string(d.CodePage));
  }

  // After a step that opened the card at Position: its fields, first field shown.
  void CheckCardOpened() {
    const DeckState& d = deck_;
    TextList fields;
    SplitDroppingDoubles(d.FieldSeparator, d.Lines.At(d.CardOrder[d.Position]), fields);
    FUZZ_CHECK(Entries(d.CardFields) == Entries(fields), "CardFields of the opened card");
    FUZZ_CHECK(d.RevealedField == 0, std::to_string(d.RevealedField));
    TextList params;
    SplitKeepingEmpty(d.ParamSeparator, d.CardFields.At(0), params);
    FUZZ_CHECK(Entries(d.Params) == Entries(params), "Params of field 0");
    FUZZ_CHECK(pages_.size() == 1, std::to_string(pages_.size()) + " pages");
    FUZZ_CHECK(pages_[0] == SingleFieldPageOf(d, params), Escaped(pages_[0]));
  }

  template <typename Action>
  void Navigate(char op, Action action) {
    const Snapshot before(deck_);
    const bool failed = Attempt(action);
    CheckInvariants();
    if (failed) return;
    const DeckState& d = deck_;
    if (before.CardCount < 1) {
      FUZZ_CHECK(Snapshot(d) == before, "a step without cards changed the state");
      FUZZ_CHECK(pages_.empty(), "a step without cards showed a page");
      return;
    }
    FUZZ_CHECK(d.CardCount == before.CardCount, "CardCount changed");
    const int32_t high = d.CardCount - 1;
    if (op == 's') {
      FUZZ_CHECK(d.CardOrder == ShuffledOrder(before.CardOrder, seed_), "shuffled order");
      FUZZ_CHECK(d.Position == -1, std::to_string(d.Position));
      FUZZ_CHECK(pages_.size() == 1 && pages_[0] == TitlePageOf(d), "title page after Shuffle");
      return;
    }
    FUZZ_CHECK(d.CardOrder == before.CardOrder, "a step other than Shuffle changed CardOrder");
    if (op == 'b') {
      int32_t expected = before.Position <= 0      ? 0
                         : before.Position <= high ? before.Position - 1
                                                   : high;
      FUZZ_CHECK(d.Position == expected, std::to_string(d.Position));
      CheckCardOpened();
      return;
    }
    // OK: open the first card, reveal one more field, or move on to the next card.
    const int32_t fieldCount = static_cast<int32_t>(before.CardFields.size());
    if (before.Position == -1) {
      FUZZ_CHECK(d.Position == 0, std::to_string(d.Position));
      CheckCardOpened();
    } else if (before.RevealedField < fieldCount - 1) {
      FUZZ_CHECK(d.Position == before.Position, "OK within a card moved it");
      FUZZ_CHECK(d.RevealedField == before.RevealedField + 1, std::to_string(d.RevealedField));
      FUZZ_CHECK(Entries(d.CardFields) == before.CardFields, "OK within a card changed its fields");
      FUZZ_CHECK(pages_.size() == 1, std::to_string(pages_.size()) + " pages");
      FUZZ_CHECK(pages_[0] == RevealedPageOf(d, d.RevealedField), Escaped(pages_[0]));
      TextList params;
      SplitKeepingEmpty(d.ParamSeparator, d.CardFields.At(d.RevealedField), params);
      FUZZ_CHECK(Entries(d.Params) == Entries(params), "Params of the last revealed field");
    } else {
      FUZZ_CHECK(d.Position == (before.Position < high ? before.Position + 1 : high),
                 std::to_string(d.Position));
      CheckCardOpened();
    }
  }

  // Loads `path`, whose bytes are `bytes` (nullptr: a name that is not an existing file).
  void Load(const std::string& path, const std::string* bytes) {
    const Snapshot before(deck_);
    const bool failed = Attempt([&] { LoadDeck(deck_, path); });
    CheckInvariants();
    if (failed) return;
    const DeckState& d = deck_;
    if (bytes == nullptr) {
      FUZZ_CHECK(Snapshot(d) == before, "loading a missing name or a folder changed the state");
      FUZZ_CHECK(pages_.empty(), "loading a missing name or a folder showed a page");
      return;
    }
    Strings lines = CutLinesPlainly(*bytes);
    const int32_t lineCount = static_cast<int32_t>(lines.size());
    if (lineCount >= 3) {
      int expectedPage = kCodePage932;
      if (d.Policy == CodePagePolicy::Utf8) {
        expectedPage = kCodePageUtf8;
      } else if (d.Policy == CodePagePolicy::Auto) {
        std::string_view text(*bytes);
        text = text.substr(0, text.find('\0'));
        expectedPage = IsStrictUtf8(text) ? kCodePageUtf8 : kCodePage932;
      }
      FUZZ_CHECK(d.CodePage == expectedPage, std::to_string(d.CodePage));
      FUZZ_CHECK(DoubleByteCodePage() == expectedPage, "double-byte rule of the loaded deck");
      if (expectedPage == kCodePageUtf8 && lines[0].starts_with("\xEF\xBB\xBF")) {
        lines[0].erase(0, 3);
      }
    } else {
      FUZZ_CHECK(d.CodePage == before.CodePage, "a deck of fewer than three lines set a code page");
    }
    FUZZ_CHECK(Entries(d.Lines) == lines, "Lines differ from the file's lines");
    FUZZ_CHECK(Entries(d.CardFields) == before.CardFields, "a load changed CardFields");
    FUZZ_CHECK(d.RevealedField == before.RevealedField, "a load changed RevealedField");

    if (lineCount >= 3) {
      FUZZ_CHECK(d.FieldSeparator == lines[0], Escaped(d.FieldSeparator));
      DeckSettings settings = before.Settings;
      for (int k = 0; k < kDeckSettingCount; ++k) {
        HeaderValue(lines[1], kDeckSettingKeys[k], lines[0], settings[k]);
      }
      FUZZ_CHECK(d.Settings == settings, "settings read from the header");
      FUZZ_CHECK(d.ParamSeparator == settings[kCommentIntroducer], "ParamSeparator");
      FUZZ_CHECK(
          Entries(d.DefaultParams) == SplitKeeping(d.ParamSeparator, settings[kDefaultParameters]),
          "DefaultParams");
      FUZZ_CHECK(Entries(d.Params) == SplitKeeping(d.ParamSeparator, lines[2]), "title Params");
      FUZZ_CHECK(pages_.size() == 1 && pages_[0] == TitlePageOf(d), "title page after a load");
    } else {
      FUZZ_CHECK(d.FieldSeparator == before.FieldSeparator && d.Settings == before.Settings &&
                     d.ParamSeparator == before.ParamSeparator &&
                     Entries(d.Params) == before.Params &&
                     Entries(d.DefaultParams) == before.DefaultParams,
                 "a deck of fewer than three lines changed the settings");
      FUZZ_CHECK(pages_.empty(), "a deck of fewer than three lines showed a page");
    }

    FUZZ_CHECK(d.CardCount == lineCount - 3, std::to_string(d.CardCount));
    if (d.CardCount >= 1) {
      for (int32_t i = 0; i < d.CardCount; ++i) FUZZ_CHECK(d.CardOrder[i] == i + 3, "file order");
      FUZZ_CHECK(d.Position == -1, std::to_string(d.Position));
    } else {
      FUZZ_CHECK(d.CardOrder == before.CardOrder && d.Position == before.Position,
                 "a deck without cards changed the order or the position");
    }
  }

  DeckState deck_;
  std::vector<std::string> pages_;
  std::string deckBytes_, halfBytes_;
  std::string deckPath_, halfPath_, missingPath_, folderPath_;
  int policyIndex_ = 0;
  uint32_t seed_ = 0;
};

}  // namespace
}  // namespace tavrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tavrin::fuzz;
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string_view steps;
  std::size_t nul = rest.find('\0');
  if (nul != std::string_view::npos) {
    steps = rest.substr(0, nul);
    rest.remove_prefix(nul + 1);
  }
  // The validator that picks the code page, on the deck's bytes and on every tail of them (so
  // that every alignment of its wide steps is met).
  for (std::size_t from = 0; from < rest.size() && from < 32; ++from) {
    std::string_view tail = rest.substr(from);
    FUZZ_CHECK(tavrin::IsValidUtf8(tail) == IsStrictUtf8(tail), Escaped(std::string(tail)));
  }
  Run run(data[0], std::string(rest));
  run.Step('r');
  for (char op : steps) run.Step(op);
  return 0;
}
