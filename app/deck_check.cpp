#include "app/deck_check.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "app/text_rules.h"
#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/nothing_shown.h"
#include "engine/text.h"
#include "engine/text_list.h"
#include "engine/utf8.h"

namespace tavrin::deck_tool {

DeckState StartingDeck(CodePagePolicy policy) {
  DeckState deck;
  deck.StartWith(kDefaultStartupTemplates);
  deck.SetPolicy(policy);
  deck.MakeLists();
  return deck;
}

namespace {

// True when `text` ends in half a double-byte character under the current double-byte rule: a
// run of lead bytes of odd length, so that whatever follows it is taken as the character's second
// byte.
bool EndsInHalfCharacter(std::string_view text) {
  std::size_t run = 0;
  while (run < text.size() && IsLeadByte(static_cast<unsigned char>(text[text.size() - 1 - run]))) {
    ++run;
  }
  return DoubleByteMode() && run % 2 == 1;
}

// The problem of `part`, the text `text` that splits into nothing at one of the separators.
Problem NoPieces(int32_t line, std::string part, std::string_view text, bool atFieldSeparator,
                 std::string outcome) {
  Problem problem;
  problem.kind = Problem::Kind::SplitsToNothing;
  problem.line = line;
  problem.part = std::move(part);
  problem.atFieldSeparator = atFieldSeparator;
  problem.halfCharacter = EndsInHalfCharacter(text);
  if (problem.halfCharacter) problem.lastByte = static_cast<unsigned char>(text.back());
  problem.outcome = std::move(outcome);
  return problem;
}

// The pieces of `parts` after the first: a text's parameters.
std::vector<std::string> Parameters(const TextList& parts) {
  std::vector<std::string> values;
  for (int32_t i = 1; i < parts.Count(); ++i) values.emplace_back(parts.At(i));
  return values;
}

// The title as the load shows it. Split on its own, so that the findings do not depend on how far
// the load got.
void CheckTitle(const DeckState& deck, const std::string& loadError, DeckCheck& check) {
  TextList parts;
  SplitKeepingEmpty(deck.ParamSeparator, deck.Lines.At(2), parts);
  constexpr const char* kStops =
      "loading the deck stops there, so no page is shown and no card opens";
  if (parts.Count() == 0) {
    check.problems.push_back(NoPieces(3, "the title", deck.Lines.At(2), false, kStops));
  } else if (!loadError.empty()) {
    Problem problem;
    problem.kind = Problem::Kind::LoadStops;
    problem.line = 3;
    problem.loadError = loadError;
    problem.outcome = kStops;
    check.problems.push_back(std::move(problem));
  } else {
    check.titleShown = true;
    check.title.assign(parts.At(0));
    check.titleParameters = Parameters(parts);
  }
}

// The name of the first unknown tag (UnknownTagName) in `parts`; empty when none.
std::string_view FirstUnknownTag(const TextList& parts) {
  for (int32_t k = 0; k < parts.Count(); ++k) {
    const std::string_view name = UnknownTagName(parts.At(k));
    if (!name.empty()) return name;
  }
  return {};
}

// Every card as OK would open it and reveal its fields, one split at a time.
void CheckCards(const DeckState& deck, DeckCheck& check) {
  const TextList& lines = deck.Lines;
  check.cardCount = lines.Count() - 3;
  const std::string doubled = deck.FieldSeparator + deck.FieldSeparator;
  TextList fields;
  TextList parts;
  int32_t fewest = INT32_MAX;
  int32_t most = 0;
  for (int32_t index = 3; index < lines.Count(); ++index) {
    const std::string_view card = lines.At(index);
    const int32_t line = index + 1;
    SplitCardFields(deck, card, fields);
    fewest = std::min(fewest, fields.Count());
    most = std::max(most, fields.Count());
    // The plain search first: it is cheaper, and most cards have no doubled separator at all.
    if (!deck.FieldSeparator.empty() && card.find(doubled) != std::string_view::npos &&
        FindText(doubled, card) != 0) {
      check.warnings.droppedEmptyFields.push_back({line, fields.Count()});
    }
    if (fields.Count() == 0) {
      check.problems.push_back(
          NoPieces(line, "the card", card, true, "opening the card stops with an error"));
      continue;
    }
    // Most cards hold no "<" at all, and then none of their texts can hide a tag.
    const bool mayHoldTags = std::memchr(card.data(), '<', card.size()) != nullptr;
    std::string tag;
    for (int32_t j = 0; j < fields.Count(); ++j) {
      SplitKeepingEmpty(deck.ParamSeparator, fields.At(j), parts);
      if (mayHoldTags && tag.empty()) tag = FirstUnknownTag(parts);
      if (parts.Count() != 0) continue;
      const std::string field = "field " + std::to_string(j + 1);
      check.problems.push_back(NoPieces(line, field, fields.At(j), false,
                                        j == 0 ? "opening the card stops with an error"
                                               : "revealing " + field + " stops with an error"));
      break;
    }
    if (!tag.empty()) check.warnings.unknownTags.push_back({line, std::move(tag)});
  }
  if (check.cardCount > 0) {
    check.fewestFields = fewest;
    check.mostFields = most;
  }
}

// Under code page 932, the lines that are not valid 932, and, when 932 was chosen because the
// file is not valid UTF-8, the lines that are not, if fewer than those that hold UTF-8 text: such
// a deck is meant as UTF-8, and the few lines turn all its text into mojibake.
void CheckCodePage(const DeckState& deck, DeckCheck& check) {
  if (check.codePage != kCodePage932) return;
  const TextList& lines = deck.Lines;
  std::size_t utf8Lines = 0;  // valid UTF-8 beyond ASCII
  for (int32_t index = 0; index < lines.Count(); ++index) {
    const std::string_view text = lines.At(index);
    if (!IsValidCp932(text)) check.warnings.notCp932.push_back(index + 1);
    if (!check.codePageChosen) continue;
    if (!IsValidUtf8(text)) {
      check.warnings.notUtf8.push_back(index + 1);
    } else if (HasNonAscii(text)) {
      ++utf8Lines;
    }
  }
  if (check.warnings.notUtf8.size() >= utf8Lines) check.warnings.notUtf8.clear();
}

}  // namespace

DeckCheck CheckDeck(const std::string& fileName, CodePagePolicy policy) {
  if (!IsExistingFile(fileName)) {
    throw Error("no deck file named " + fileName + " (missing, or a directory)");
  }
  // No page sink: the pages themselves do not matter here, only whether they can be made.
  DeckState deck = StartingDeck(policy);
  std::string loadError;
  try {
    LoadDeck(deck, fileName);
  } catch (const Error& e) {
    // Before the lines are read the only failure is the open error, which ends the check; after
    // that, a failing load is what the findings are for.
    if (deck.Lines.Count() < 3) throw;
    loadError = e.what();
  }

  DeckCheck check;
  check.lineCount = deck.Lines.Count();
  check.encoding = deck.Encoding;
  if (check.lineCount < 3) {
    Problem problem;
    if (WhyNothingShown(fileName) == NothingShown::kNotText) problem.kind = Problem::Kind::NotText;
    check.problems.push_back(std::move(problem));
    return check;
  }
  check.codePage = deck.CodePage;
  check.codePageChosen = policy == CodePagePolicy::Auto;
  check.fieldSeparator = deck.FieldSeparator;
  check.commentIntroducer = deck.ParamSeparator;
  const std::array<bool, kDeckSettingCount> named = HeaderKeysNamed(deck.Lines.At(1));
  for (int k = 0; k < kDeckSettingCount; ++k) {
    check.settings[k].inHeader = named[k];
    check.settings[k].value = deck.Settings[k];
  }
  check.defaultParameters = Parameters(deck.DefaultParams);
  CheckTitle(deck, loadError, check);
  CheckCards(deck, check);
  CheckCodePage(deck, check);
  return check;
}

}  // namespace tavrin::deck_tool
