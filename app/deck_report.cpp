#include "app/deck_report.h"

#include <cerrno>

namespace tavrin::deck_tool {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

std::string HexByte(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

void AppendHex(unsigned char byte, std::string& out) {
  out.append("\\x").append(HexByte(byte));
}

void AppendEscaped(std::string_view utf8, std::string& out) {
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.append(1, '\\').append(1, c);
    } else if (c == '\t') {
      out.append("\\t");
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendHex(byte, out);
    } else {
      out.append(1, c);
    }
  }
}

}  // namespace

Quoter::Quoter(int codePage)
    : cd_(iconv_open("UTF-8", codePage == kCodePage932 ? "CP932" : "UTF-8")) {}

Quoter::~Quoter() {
  if (cd_ != kNoConverter) iconv_close(cd_);
}

std::string Quoter::operator()(std::string_view bytes) const {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < bytes.size()) {
    i += ConvertSome(bytes.substr(i), out);
    if (i == bytes.size()) break;
    const auto byte = static_cast<unsigned char>(bytes[i++]);
    if (cd_ == kNoConverter && byte < 0x80) {
      AppendEscaped(std::string_view(&bytes[i - 1], 1), out);
    } else {
      AppendHex(byte, out);
    }
  }
  return out + "\"";
}

std::size_t Quoter::ConvertSome(std::string_view bytes, std::string& out) const {
  if (cd_ == kNoConverter) return 0;
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const std::size_t result = iconv(cd_, &in, &inLeft, &to, &toLeft);
    AppendEscaped(std::string_view(buffer, sizeof buffer - toLeft), out);
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) break;
  }
  return bytes.size() - inLeft;
}

std::string ProblemReason(const DeckCheck& check, const Problem& problem, const Quoter& show) {
  std::string reason;
  switch (problem.kind) {
    case Problem::Kind::TooFewLines:
      return "the deck has " + std::to_string(check.lineCount) +
             (check.lineCount == 1 ? " line" : " lines") +
             ", but it needs at least three (field separator, header, title) to be shown; "
             "nothing is shown";
    case Problem::Kind::LoadStops:
      reason = "loading stops with the error \"" + problem.loadError + "\"";
      break;
    case Problem::Kind::SplitsToNothing: {
      const std::string_view name =
          problem.atFieldSeparator ? "field separator" : "comment introducer";
      const std::string separator =
          show(problem.atFieldSeparator ? check.fieldSeparator : check.commentIntroducer);
      reason = problem.part;
      if (problem.halfCharacter) {
        reason.append(" ends in half a double-byte character (byte ")
            .append(HexByte(problem.lastByte))
            .append("), which hides the ")
            .append(name)
            .append(" ")
            .append(separator)
            .append(" that should close it, so it splits into nothing");
      } else {
        reason.append(" splits into nothing at the ").append(name).append(" ").append(separator);
      }
      break;
    }
  }
  return reason + "; " + problem.outcome;
}

namespace {

// The settings, title and cards of a deck of three or more lines.
void AppendDeck(const DeckCheck& check, const Quoter& show, std::string& out) {
  out.append("Code page: ")
      .append(check.codePage == kCodePage932 ? "932 (Shift-JIS)" : "65001 (UTF-8)")
      .append(check.codePageChosen ? ", chosen from the file's bytes\n" : ", set by --codepage\n");
  out.append("Field separator: ").append(show(check.fieldSeparator)).append("\n");

  out.append("Header settings:\n");
  for (int k = 0; k < kDeckSettingCount; ++k) {
    out.append("  ").append(kDeckSettingKeys[k]);
    out.append(check.settings[k].inHeader ? " = " : ": not in the header, stays ");
    out.append(show(check.settings[k].value)).append("\n");
  }
  for (std::size_t i = 0; i < check.defaultParameters.size(); ++i) {
    out.append(i == 0 ? "Default parameters:" : ",");
    out.append(" $").append(std::to_string(i + 1)).append(" = ");
    out.append(show(check.defaultParameters[i]));
    if (i + 1 == check.defaultParameters.size()) out.append("\n");
  }

  if (!check.titleShown) {
    out.append("Title: cannot be shown (see line 3 below)\n");
  } else {
    out.append("Title: ").append(show(check.title)).append("\n");
    for (std::size_t i = 0; i < check.titleParameters.size(); ++i) {
      out.append("  $").append(std::to_string(i + 1)).append(" = ");
      out.append(show(check.titleParameters[i])).append("\n");
    }
  }

  out.append("Cards: ").append(std::to_string(check.cardCount)).append("\n");
  if (check.cardCount > 0) {
    out.append("Fields per card: fewest ").append(std::to_string(check.fewestFields));
    out.append(", most ").append(std::to_string(check.mostFields)).append("\n");
  }
}

}  // namespace

std::string TextReport(const std::string& fileName, const DeckCheck& check) {
  const Quoter show(check.codePage);
  std::string out;
  out.append("Deck file: ").append(fileName).append("\n");
  out.append("Lines: ").append(std::to_string(check.lineCount)).append("\n");
  if (check.lineCount >= 3) AppendDeck(check, show, out);

  if (check.problems.empty()) {
    out.append("Problems: none\n");
  } else {
    out.append("Problems: ").append(std::to_string(check.problems.size())).append("\n");
    for (const Problem& problem : check.problems) {
      out.append(problem.line == 0 ? "  deck: " : "  line " + std::to_string(problem.line) + ": ");
      out.append(ProblemReason(check, problem, show)).append("\n");
    }
  }
  return out;
}

}  // namespace tavrin::deck_tool
