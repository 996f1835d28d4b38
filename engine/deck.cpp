#include "engine/deck.h"

#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/platform.h"
#include "engine/text.h"
#include "engine/text_list.h"
#include "engine/utf8.h"

namespace tavrin {

const std::array<const char*, kDeckSettingCount> kDeckSettingKeys = {
    "OuterHead", "InnerHead", "InnerFoot", "OuterFoot", "CommentIntroducer", "DefaultParameters"};

CodePagePolicy ParseCodePagePolicy(const std::string& text) {
  if (text == "auto") return CodePagePolicy::Auto;
  if (text == "932") return CodePagePolicy::Cp932;
  if (text == "65001") return CodePagePolicy::Utf8;
  throw Error("unknown code page \"" + text + "\" (use auto, 932 or 65001)");
}

void DeckState::SetPolicy(CodePagePolicy policy) {
  Policy = policy;
  if (policy == CodePagePolicy::Auto) return;
  CodePage = policy == CodePagePolicy::Utf8 ? kCodePageUtf8 : kCodePage932;
  SetDoubleByteCodePage(CodePage);
}

void DeckState::MakeLists() {
  Lines.Clear();
  CardFields.Clear();
  Params.Clear();
  DefaultParams.Clear();
  RevealedField = -1;
}

void DeckState::StartWith(const StartupTemplates& templates) {
  Settings = {
      templates.OuterHead, templates.InnerHead, templates.InnerFoot, templates.OuterFoot, "", ""};
}

void ShowPage(DeckState& deck, const std::string& page, std::size_t revealedFieldStart) {
  deck.RevealedFieldStart = revealedFieldStart;
  if (deck.ShowHtml) deck.ShowHtml(page);
}

void ShowSingleField(DeckState& deck, std::string_view text) {
  SplitKeepingEmpty(deck.ParamSeparator, text, deck.Params);
  ShowPage(deck, SingleFieldPage(deck, deck.Params));
}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Settles the double-byte rule for a deck of three or more lines just read into deck.Lines.
void ChooseCodePage(DeckState& deck) {
  int codePage = deck.Policy == CodePagePolicy::Utf8 ? kCodePageUtf8 : kCodePage932;
  if (deck.Encoding != TextEncoding::kBytes) {
    codePage = kCodePageUtf8;  // converted to UTF-8 as it was read
  } else if (deck.Policy == CodePagePolicy::Auto) {
    // ReadLines cut the lines in file order out of one buffer, with only line ends between them.
    // Line ends are ASCII, so the file is valid UTF-8 exactly when the stretch from the start of
    // the first line to the end of the last is: one check instead of a million short ones.
    const std::string_view first = deck.Lines.At(0);
    const std::string_view last = deck.Lines.At(deck.Lines.Count() - 1);
    const std::string_view all(first.data(),
                               static_cast<std::size_t>(last.data() + last.size() - first.data()));
    codePage = IsValidUtf8(all) ? kCodePageUtf8 : kCodePage932;
  }
  SetDoubleByteCodePage(codePage);
  deck.CodePage = codePage;
  if (codePage == kCodePageUtf8 && deck.Lines.At(0).starts_with(kByteOrderMark)) {
    deck.Lines.DropPrefix(0, kByteOrderMark.size());
  }
}

// The 1-based position of the first "key=" in header line `header`, 0 when there is none.
int32_t FindHeaderKey(std::string_view header, const std::string& key) {
  return FindText(key + "=", header);
}

// The value of `key` in header line `header`: from after the first "key=" to the first field
// separator after it, or to the end of the line.
bool HeaderValue(std::string_view header, const std::string& key, std::string_view separator,
                 std::string& value) {
  const int32_t p = FindHeaderKey(header, key);
  if (p == 0) return false;
  std::string_view rest = header.substr(static_cast<std::size_t>(p) + key.size());
  int32_t end = separator.empty() ? 0 : FindText(separator, rest);
  value.assign(end > 0 ? rest.substr(0, static_cast<std::size_t>(end - 1)) : rest);
  return true;
}

}  // namespace

void SplitCardFields(const DeckState& deck, std::string_view card, TextList& fields) {
  SplitDroppingDoubles(deck.FieldSeparator, card, fields);
}

std::array<bool, kDeckSettingCount> HeaderKeysNamed(std::string_view header) {
  std::array<bool, kDeckSettingCount> named{};
  for (int k = 0; k < kDeckSettingCount; ++k) {
    named[k] = FindHeaderKey(header, kDeckSettingKeys[k]) != 0;
  }
  return named;
}

void LoadDeck(DeckState& deck, const std::string& fileName) {
  if (IsExistingFile(fileName)) ReadDeck(deck, fileName);
}

void ReadDeck(DeckState& deck, const std::string& fileName) {
  deck.Encoding = ReadLines(fileName, deck.Lines);
  deck.DeckFile = fileName;
  const int32_t lineCount = deck.Lines.Count();
  if (lineCount >= 3) {
    ChooseCodePage(deck);
    deck.FieldSeparator.assign(deck.Lines.At(0));
    std::string_view header = deck.Lines.At(1);
    for (int k = 0; k < kDeckSettingCount; ++k) {
      HeaderValue(header, kDeckSettingKeys[k], deck.FieldSeparator, deck.Settings[k]);
    }
    deck.ParamSeparator = deck.Settings[kCommentIntroducer];
    SplitKeepingEmpty(deck.ParamSeparator, deck.Settings[kDefaultParameters], deck.DefaultParams);
    ShowSingleField(deck, deck.Lines.At(2));
  }
  deck.CardCount = lineCount - 3;
  if (deck.CardCount >= 1) {
    if (deck.CardOrder.capacity() < static_cast<std::size_t>(deck.CardCount)) {
      deck.CardOrder.clear();  // nothing to keep: every entry is set below
      ReserveFresh(deck.CardOrder, static_cast<std::size_t>(deck.CardCount));
    }
    deck.CardOrder.resize(static_cast<std::size_t>(deck.CardCount));
    for (int32_t i = 0; i < deck.CardCount; ++i) deck.CardOrder[i] = i + 3;
    deck.Position = -1;
  }
}

}  // namespace tavrin
