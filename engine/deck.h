// The deck file and the engine's whole state.
//
// A deck is a text file: line 1 the field separator, line 2 the header (settings written as
// Key=value, separated by the field separator), line 3 the title card, then one card per line.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compose.h"
#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/templates.h"
#include "engine/text_list.h"

namespace tavrin {

// Header keys, indexed by DeckSetting.
extern const std::array<const char*, kDeckSettingCount> kDeckSettingKeys;

// How LoadDeck chooses the double-byte rule: a fixed code page, or per file (UTF-8 when the file's
// bytes before its first zero byte are valid UTF-8, 932 otherwise).
enum class CodePagePolicy { Auto, Cp932, Utf8 };

// Parses "auto", "932" or "65001". Throws Error for anything else.
CodePagePolicy ParseCodePagePolicy(const std::string& text);

inline constexpr std::size_t kShowFromTop = std::string::npos;

// Takes a complete HTML page as bytes in the deck's code page and shows it.
using PageSink = std::function<void(const std::string& html)>;

// The engine's single state. Field names follow the deck format's vocabulary; the settings, the
// comment introducer (ParamSeparator) and DefaultParams are the PageRules that composition reads.
struct DeckState : PageRules {
  std::string FieldSeparator;

  TextList Lines;
  TextList CardFields;
  TextList Params;

  int32_t CardCount = 0;
  int32_t Position = 0;
  int32_t RevealedField = -1;
  std::vector<int32_t> CardOrder;

  CodePagePolicy Policy = CodePagePolicy::Auto;
  // Code page of the deck last shown (932 or 65001): the window converts pages from it.
  int CodePage = kCodePage932;
  // The file that LoadDeck last read, as it was named; empty before any deck.
  std::string DeckFile;
  // How that file was read: a UTF-16 file is read as UTF-8, whatever the policy.
  TextEncoding Encoding = TextEncoding::kBytes;

  PageSink ShowHtml;
  // Where the field that the page last shown revealed begins in it, in bytes, for the view to
  // scroll to; kShowFromTop for a page that starts at its top (a title, a card's first field).
  std::size_t RevealedFieldStart = kShowFromTop;

  // Not part of the deck: what RevealedFieldsPage keeps from one page to the next.
  RevealedFieldsMemo Revealed;

  // Sets the policy and, for a fixed one, the double-byte rule at once.
  void SetPolicy(CodePagePolicy policy);
  // Empties the four lists and sets RevealedField to -1, as when the window is first shown.
  void MakeLists();
  // The settings a run starts from: the four templates, no comment introducer, no defaults.
  void StartWith(const StartupTemplates& templates);
};

// Reads deck `fileName` into `deck` and shows its title page (for a deck of three or more lines).
// A missing file or a directory changes nothing. Throws the open error of ReadLines, or the list
// index error for a title line that splits into no entries; changes made before the error stay.
void LoadDeck(DeckState& deck, const std::string& fileName);
// LoadDeck of a file that the caller found to exist: a missing one or a directory gives the open
// error.
void ReadDeck(DeckState& deck, const std::string& fileName);

// The fields of card line `card` as opening the card cuts them: at deck.FieldSeparator, each
// doubled separator taken as one. Never throws but for lack of memory.
void SplitCardFields(const DeckState& deck, std::string_view card, TextList& fields);

// Which settings header line `header` names, indexed by DeckSetting: those whose "Key=" LoadDeck
// finds in it. A setting it does not name keeps its start value.
std::array<bool, kDeckSettingCount> HeaderKeysNamed(std::string_view header);

// Hands `page` to deck.ShowHtml (nothing when no sink is set), with `revealedFieldStart` in
// deck.RevealedFieldStart.
void ShowPage(DeckState& deck, const std::string& page,
              std::size_t revealedFieldStart = kShowFromTop);

// Splits `text` at the comment introducer into deck.Params, empty pieces kept, and shows the
// single-field page for them. Throws the list index error when `text` splits into no entries.
void ShowSingleField(DeckState& deck, std::string_view text);

}  // namespace tavrin
