// The reports of `tavrin-deck check`, made from one DeckCheck: readable text for a terminal.
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

 private:
  // Converts as much of `bytes` as converts cleanly, appending it escaped; returns its length.
  std::size_t ConvertSome(std::string_view bytes, std::string& out) const;

  iconv_t cd_;
};

// Why problem `problem` of `check` stops its line, in words, with the deck's texts quoted by
// `show`.
std::string ProblemReason(const DeckCheck& check, const Problem& problem, const Quoter& show);

// The readable report on deck `fileName`: its settings, title and cards, then its problems.
std::string TextReport(const std::string& fileName, const DeckCheck& check);

}  // namespace tavrin::deck_tool
