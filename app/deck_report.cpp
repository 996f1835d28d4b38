#include "app/deck_report.h"
#include "engine/double_byte.h"

#include <cerrno>

#include <nlohmann/json.hpp>

#include "engine/nothing_shown.h"

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

void Append(std::string_view utf8, bool escaped, std::string& out) {
  if (escaped) {
    AppendEscaped(utf8, out);
  } else {
    out.append(utf8);
  }
}

}  // namespace

Quoter::Quoter(int codePage)
    : cd_(iconv_open("UTF-8", codePage == kCodePage932 ? "CP932" : "UTF-8")) {}

Quoter::~Quoter() {
  if (cd_ != kNoConverter) iconv_close(cd_);
}

std::string Quoter::operator()(std::string_view bytes) const {
  std::string out = Convert(bytes, true);
  out.insert(out.begin(), '"');
  out.push_back('"');
  return out;
}

std::string Quoter::Unquoted(std::string_view bytes) const {
  return Convert(bytes, false);
}

std::string Quoter::Convert(std::string_view bytes, bool escaped) const {
  std::string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    i += ConvertSome(bytes.substr(i), escaped, out);
    if (i == bytes.size()) break;
    const auto byte = static_cast<unsigned char>(bytes[i++]);
    if (cd_ == kNoConverter && byte < 0x80) {
      Append(std::string_view(&bytes[i - 1], 1), escaped, out);
    } else if (escaped) {
      AppendHex(byte, out);
    } else {
      out.append("\xEF\xBF\xBD");  // U+FFFD
    }
  }
  return out;
}

std::size_t Quoter::ConvertSome(std::string_view bytes, bool escaped, std::string& out) const {
  if (cd_ == kNoConverter) return 0;
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const std::size_t result = iconv(cd_, &in, &inLeft, &to, &toLeft);
    Append(std::string_view(buffer, sizeof buffer - toLeft), escaped, out);
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) break;
  }
  return bytes.size() - inLeft;
}

std::string ProblemReason(const DeckCheck& check, const Problem& problem, const Quoter& show) {
  std::string reason;
  switch (problem.kind) {
    case Problem::Kind::TooFewLines:
      return NothingShownReason(NothingShown::kTooFewLines, check.lineCount) +
             " (field separator, header, title) to be shown; nothing is shown";
    case Problem::Kind::NotText:
      return NothingShownReason(NothingShown::kNotText, check.lineCount) +
             " (it holds a zero byte near its start), so it has no lines to show; nothing is shown";
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

// Where the code page of a deck of three or more lines comes from.
const char* CodePageReason(const DeckCheck& check) {
  if (check.encoding != TextEncoding::kBytes) return "UTF-16, read as UTF-8";
  return check.codePageChosen ? "chosen from the file's bytes" : "set by --codepage";
}

// The settings, title and cards of a deck of three or more lines.
void AppendDeck(const DeckCheck& check, const Quoter& show, std::string& out) {
  out.append("Code page: ")
      .append(check.codePage == kCodePage932 ? "932 (Shift-JIS)" : "65001 (UTF-8)")
      .append(", ")
      .append(CodePageReason(check))
      .append("\n");
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

// "1 card line", "2 card lines".
std::string Lines(std::size_t count, std::string_view what) {
  return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

// One kind of warning: a heading, then its first kShownLines lines, each with what `note` says of
// it, then how many more.
template <typename Entry, typename Note>
void AppendWarning(const std::vector<Entry>& lines, const std::string& heading, Note note,
                   std::string& out) {
  if (lines.empty()) return;
  constexpr std::size_t kShownLines = 20;
  out.append("  ").append(heading).append("\n");
  for (std::size_t i = 0; i < lines.size() && i < kShownLines; ++i) {
    out.append("    line ").append(note(lines[i])).append("\n");
  }
  if (lines.size() > kShownLines) {
    out.append("    and ").append(Lines(lines.size() - kShownLines, "more line")).append("\n");
  }
}

void AppendWarnings(const DeckCheck& check, const Quoter& show, std::string& out) {
  const Warnings& w = check.warnings;
  if (w.Empty()) return;
  out.append("Warnings (the deck is shown, but perhaps not as meant):\n");
  AppendWarning(
      w.droppedEmptyFields,
      "empty fields vanish at doubled separators " +
          show(check.fieldSeparator + check.fieldSeparator) +
          " and the fields after them move up; put a space or &nbsp; into an empty "
          "field (" +
          Lines(w.droppedEmptyFields.size(), "card line") + "):",
      [](const Warnings::DroppedField& d) {
        return std::to_string(d.line) + ": " + Lines(static_cast<std::size_t>(d.fields), "field");
      },
      out);
  const auto number = [](int32_t line) { return std::to_string(line); };
  AppendWarning(w.notUtf8,
                "not valid UTF-8, so the deck is read as code page 932; without these lines it "
                "would be read as UTF-8 (" +
                    Lines(w.notUtf8.size(), "line") + "):",
                number, out);
  AppendWarning(w.notCp932,
                "not valid code page 932 (" + Lines(w.notCp932.size(), "line") + "):", number, out);
  AppendWarning(
      w.unknownTags,
      "text that the page takes for an unknown HTML tag and hides; write &lt; for < (" +
          Lines(w.unknownTags.size(), "card line") + "):",
      [&show](const Warnings::UnknownTag& t) {
        const std::string name = show(t.name);  // escaped, in quotes
        return std::to_string(t.line) + ": <" + name.substr(1, name.size() - 2) + ">";
      },
      out);
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
  AppendWarnings(check, show, out);
  return out;
}

namespace {

using Json = nlohmann::ordered_json;

Json Texts(const std::vector<std::string>& texts, const Quoter& show) {
  Json list = Json::array();
  for (const std::string& text : texts) list.push_back(show.Unquoted(text));
  return list;
}

Json LineNumbers(const std::vector<int32_t>& lines) {
  Json list = Json::array();
  for (int32_t line : lines) list.push_back(line);
  return list;
}

// The name of a problem's kind in the JSON report.
const char* KindName(Problem::Kind kind) {
  switch (kind) {
    case Problem::Kind::TooFewLines:
      return "too_few_lines";
    case Problem::Kind::NotText:
      return "not_text";
    case Problem::Kind::SplitsToNothing:
      return "splits_to_nothing";
    case Problem::Kind::LoadStops:
      return "load_stops";
  }
  return "";
}

// The settings, title and cards of a deck of three or more lines; null for the others.
void AddDeck(const DeckCheck& check, const Quoter& show, Json& report) {
  const bool read = check.lineCount >= 3;
  report["code_page"] = read ? Json(check.codePage) : Json();
  report["code_page_reason"] = read ? Json(CodePageReason(check)) : Json();
  report["field_separator"] = read ? Json(show.Unquoted(check.fieldSeparator)) : Json();
  Json settings = read ? Json::object() : Json();
  for (int k = 0; read && k < kDeckSettingCount; ++k) {
    settings[kDeckSettingKeys[k]] = {{"in_header", check.settings[k].inHeader},
                                     {"value", show.Unquoted(check.settings[k].value)}};
  }
  report["header_settings"] = settings;
  report["default_parameters"] = read ? Texts(check.defaultParameters, show) : Json();
  report["title"] = !check.titleShown ? Json()
                                      : Json{{"text", show.Unquoted(check.title)},
                                             {"parameters", Texts(check.titleParameters, show)}};
  report["cards"] = read ? Json(check.cardCount) : Json();
  report["fields_per_card"] = check.cardCount > 0
                                  ? Json{{"fewest", check.fewestFields}, {"most", check.mostFields}}
                                  : Json();
}

}  // namespace

std::string JsonReport(const std::string& fileName, const DeckCheck& check) {
  const Quoter show(check.codePage);
  Json report;
  report["deck_file"] = fileName;
  report["lines"] = check.lineCount;
  AddDeck(check, show, report);

  Json problems = Json::array();
  for (const Problem& problem : check.problems) {
    problems.push_back({{"line", problem.line == 0 ? Json() : Json(problem.line)},
                        {"kind", KindName(problem.kind)},
                        {"reason", ProblemReason(check, problem, show)}});
  }
  report["problems"] = problems;

  const Warnings& w = check.warnings;
  Json dropped = Json::array();
  for (const Warnings::DroppedField& d : w.droppedEmptyFields) {
    dropped.push_back({{"line", d.line}, {"fields", d.fields}});
  }
  Json tags = Json::array();
  for (const Warnings::UnknownTag& t : w.unknownTags) {
    tags.push_back({{"line", t.line}, {"tag", show.Unquoted(t.name)}});
  }
  report["warnings"] = {{"empty_fields_dropped", dropped},
                        {"not_utf8", LineNumbers(w.notUtf8)},
                        {"not_cp932", LineNumbers(w.notCp932)},
                        {"unknown_tags", tags}};
  // A file name need not be UTF-8; JSON text must be.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tavrin::deck_tool
