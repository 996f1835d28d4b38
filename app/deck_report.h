// The reports of `tavrin-deck check`, made from one DeckCheck: readable text for a terminal, and
// JSON.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

#include "app/deck_check.h"

namespace tavrin::deck_tool {

// Deck bytes made readable on a UTF-8 terminal: converted from the deck's code page, in double
// quotes, with control bytes, quotes and backslashes escaped and bytes that do not convert shown
// as \xNN.
class Quoter {
 public:
  explicit Quoter(int codePage);
  ~Quoter();
  Quoter(const Quoter&) = delete;
  Quoter& operator=(const Quoter&) = delete;

  // `bytes` quoted; never fails (without a converter, ASCII still reads as itself).
  std::string operator()(std::string_view bytes) const;
  // `bytes` in UTF-8, neither quoted nor escaped, with U+FFFD for each byte that does not convert.
  std::string Unquoted(std::string_view bytes) const;

 private:
  std::string Convert(std::string_view bytes, bool escaped) const;
  // Converts as much of `bytes` as converts cleanly, appending it (escaped when `escaped`);
  // returns its length.
  std::size_t ConvertSome(std::string_view bytes, bool escaped, std::string& out) const;

  iconv_t cd_;
};

// Why problem `problem` of `check` stops its line, in words, with the deck's texts quoted by
// `show`.
std::string ProblemReason(const DeckCheck& check, const Problem& problem, const Quoter& show);

// The readable report on deck `fileName`: its settings, title and cards, then its problems, then
// its warnings (left out when there are none).
std::string TextReport(const std::string& fileName, const DeckCheck& check);

// The same report as one JSON object, for editors and scripts. Texts of the deck are converted to
// UTF-8 (U+FFFD for bytes that do not convert); values that a deck of fewer than three lines does
// not have are null, and so is the line of a problem of the whole deck.
std::string JsonReport(const std::string& fileName, const DeckCheck& check);

}  // namespace tavrin::deck_tool
