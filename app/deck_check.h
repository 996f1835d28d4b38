// What `tavrin-deck check` finds in a deck: the deck as the engine reads it, every line that would
// stop with an error when shown, and warnings of what is shown otherwise than its author may
// expect. Toolkit-free (the standard library, the engine, and iconv for code page 932); the
// reports that turn the findings into text or JSON are in deck_report.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/deck.h"
#include "engine/double_byte.h"

namespace tavrin::deck_tool {

// The engine's state as the desktop program starts it: the built-in templates, no comment
// introducer, no default parameters, empty lists, and the double-byte rule of `policy`.
DeckState StartingDeck(CodePagePolicy policy);

// One line that stops with an error when shown, or the deck as a whole when it shows nothing.
struct Problem {
  enum class Kind {
    TooFewLines,      // the deck has fewer than three lines
    NotText,          // fewer than three lines, because the file is no text (NothingShown)
    SplitsToNothing,  // `part` cut at a separator gives no pieces
    LoadStops,        // the title splits, yet loading stops with `loadError`
  };
  Kind kind = Kind::TooFewLines;
  int32_t line = 0;  // 1-based line of the file; 0 for the deck as a whole
  // SplitsToNothing: the text that splits into nothing ("the title", "the card", "field 2"),
  // which separator it is cut at, and the byte it ends in when that byte is half a character.
  std::string part;
  bool atFieldSeparator = false;  // else at the comment introducer
  bool halfCharacter = false;
  unsigned char lastByte = 0;
  std::string loadError;
  // What the failure stops, as a clause ("opening the card stops with an error").
  std::string outcome;
};

// What is shown, but not as its author may expect. Lines are 1-based, in file order.
struct Warnings {
  // Card lines in which a doubled field separator drops an empty field, and the fields each has.
  struct DroppedField {
    int32_t line;
    int32_t fields;
  };
  std::vector<DroppedField> droppedEmptyFields;
  // Read as 932 by choice: the lines that are not valid UTF-8, when they are fewer than the lines
  // of UTF-8 text beyond ASCII, so that the deck would be read as UTF-8 without them. Else empty.
  std::vector<int32_t> notUtf8;
  // Read as 932: the lines that are not valid code page 932 (IsValidCp932, text_rules.h).
  std::vector<int32_t> notCp932;
  // Card lines with a field that holds a tag of no HTML element, which the page hides, and the
  // first such tag's name.
  struct UnknownTag {
    int32_t line;
    std::string name;
  };
  std::vector<UnknownTag> unknownTags;

  bool Empty() const {
    return droppedEmptyFields.empty() && notUtf8.empty() && notCp932.empty() && unknownTags.empty();
  }
};

struct HeaderSetting {
  bool inHeader = false;  // false: the header leaves it out and the start value stays
  std::string value;
};

// The findings. The fields after `lineCount` are set only for a deck of three or more lines.
struct DeckCheck {
  int32_t lineCount = 0;
  int codePage = kCodePage932;
  bool codePageChosen = false;  // chosen from the file's bytes, not set by an option
  TextEncoding encoding = TextEncoding::kBytes;  // a UTF-16 file is read as UTF-8
  std::string fieldSeparator;
  std::string commentIntroducer;  // the one the deck's parts are cut at
  std::array<HeaderSetting, kDeckSettingCount> settings;
  std::vector<std::string> defaultParameters;  // $1, $2, ...
  bool titleShown = false;
  std::string title;
  std::vector<std::string> titleParameters;  // $1, $2, ...
  int32_t cardCount = 0;
  int32_t fewestFields = 0;
  int32_t mostFields = 0;
  std::vector<Problem> problems;  // in line order, the deck as a whole first
  Warnings warnings;              // they never make a deck fail
};

// Reads deck `fileName` as the desktop program would under `policy` and checks every line; the
// time taken is linear in the deck's size.
// Throws Error when the file is missing or a directory, or cannot be opened or read; a deck that
// loads but fails somewhere is not an error but findings. Sets the engine's double-byte rule to
// the deck's code page.
DeckCheck CheckDeck(const std::string& fileName, CodePagePolicy policy);

}  // namespace tavrin::deck_tool
