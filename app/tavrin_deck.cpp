// tavrin-deck: the deck engine from the command line, for deck authors, scripts and tests.
//
//   tavrin-deck pages DECK [OPS] [--clock MS] [--codepage auto|932|65001]
//     One line per operation: name TAB outcome TAB payload LF, where the payload is the page
//     exactly as the engine hands it over, or the error's message.
//   tavrin-deck check DECK [--codepage auto|932|65001]
//     A readable report on the deck, naming every line that would stop with an error.

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/deck.h"
#include "engine/navigation.h"
#include "engine/text.h"

namespace {

using tavrin::DeckState;
using tavrin::Error;

constexpr const char* kUsage =
    "usage: tavrin-deck pages DECK [OPS] [--clock MS] [--codepage auto|932|65001]\n"
    "       tavrin-deck check DECK [--codepage auto|932|65001]\n"
    "\n"
    "pages  loads DECK, then performs OPS, a string of letters: o = OK, b = Back,\n"
    "       s = Shuffle, l = load DECK again. Prints one line per operation, the load\n"
    "       included: name TAB outcome (page, none or error) TAB page or message.\n"
    "       --clock MS  the UTC time of day, in milliseconds since midnight, that\n"
    "                   seeds the shuffle (default: the system clock)\n"
    "check  reports the deck's settings, title and cards, and every line that\n"
    "       would stop with an error when shown. Exit status 0 when none does,\n"
    "       1 when some line fails, 2 when the deck cannot be read.\n"
    "       --codepage  how double-byte characters are told apart (default: auto,\n"
    "                   UTF-8 when the file is valid UTF-8, else 932)\n";

constexpr uint32_t kMillisecondsPerDay = 86400000;

enum class Verb { Help, Pages, Check };

struct Command {
  Verb verb = Verb::Help;
  std::string deck;
  std::string ops;
  std::optional<uint32_t> clock;
  tavrin::CodePagePolicy policy = tavrin::CodePagePolicy::Auto;
};

// ---- Command line ------------------------------------------------------------------------------

uint32_t ParseClock(const std::string& text) {
  uint64_t value = 0;
  bool ok = !text.empty() && text.size() <= 8;
  for (char c : text) {
    if (c < '0' || c > '9') ok = false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (!ok || value >= kMillisecondsPerDay) {
    throw Error("--clock takes milliseconds since midnight, 0 to 86399999, not \"" + text + "\"");
  }
  return static_cast<uint32_t>(value);
}

// The command that `args` (the arguments after the program name) ask for. Throws Error for
// anything that is not a valid command line.
Command ParseCommand(const std::vector<std::string>& args) {
  Command command;
  if (args.empty()) throw Error("no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return command;
  if (args[0] == "pages") {
    command.verb = Verb::Pages;
  } else if (args[0] == "check") {
    command.verb = Verb::Check;
  } else {
    throw Error("unknown command \"" + args[0] + "\"");
  }

  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !arg.starts_with("--")) {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // Both "--name value" and "--name=value".
    std::string name = arg;
    std::optional<std::string> value;
    if (std::size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name != "--clock" && name != "--codepage") throw Error("unknown option \"" + arg + "\"");
    if (name == "--clock" && command.verb != Verb::Pages) {
      throw Error("--clock applies to pages only");
    }
    if (!value) {
      if (i + 1 == args.size()) throw Error(name + " needs a value");
      value = args[++i];
    }
    if (name == "--clock") {
      command.clock = ParseClock(*value);
    } else {
      command.policy = tavrin::ParseCodePagePolicy(*value);
    }
  }

  const std::size_t most = command.verb == Verb::Pages ? 2 : 1;
  if (positional.empty()) throw Error("no deck file given");
  if (positional.size() > most) throw Error("unexpected argument \"" + positional[most] + "\"");
  command.deck = positional[0];
  if (positional.size() == 2) command.ops = positional[1];
  for (char op : command.ops) {
    if (op != 'o' && op != 'b' && op != 's' && op != 'l') {
      throw Error("unknown operation '" + std::string(1, op) + "' in \"" + command.ops +
                  "\" (use o, b, s and l)");
    }
  }
  return command;
}

// ---- Shared set-up -----------------------------------------------------------------------------

// The engine's state as the desktop program starts it: the built-in templates, no comment
// introducer, no default parameters, empty lists.
DeckState StartingDeck(tavrin::CodePagePolicy policy) {
  DeckState deck;
  deck.StartWith(tavrin::kDefaultStartupTemplates);
  deck.SetPolicy(policy);
  deck.MakeLists();
  return deck;
}

// Writes `bytes` to stdout. Throws Error when stdout cannot take them, so that a full disk or a
// closed pipe is not reported as success.
void WriteOut(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
    throw Error("cannot write to standard output");
  }
}

void FinishOutput() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    throw Error("cannot write to standard output");
  }
}

// ---- pages -------------------------------------------------------------------------------------

int RunPages(const Command& command) {
  if (command.clock) {
    tavrin::SetTimeOfDayClock([ms = *command.clock] { return ms; });
  }
  DeckState deck = StartingDeck(command.policy);
  std::string page;
  bool shown = false;
  deck.ShowHtml = [&](const std::string& html) {
    page = html;
    shown = true;
  };

  std::string line;
  auto perform = [&](char op) {
    static constexpr std::string_view kNames[] = {"load", "ok", "back", "shuffle"};
    const std::string_view name = kNames[op == 'l' ? 0 : op == 'o' ? 1 : op == 'b' ? 2 : 3];
    shown = false;
    std::string message;
    bool failed = false;
    // An error abandons this operation only, as it would abandon one button press.
    try {
      switch (op) {
        case 'l':
          tavrin::LoadDeck(deck, command.deck);
          break;
        case 'o':
          tavrin::Ok(deck);
          break;
        case 'b':
          tavrin::Back(deck);
          break;
        default:
          tavrin::Shuffle(deck);
          break;
      }
    } catch (const Error& e) {
      failed = true;
      message = e.what();
    }
    line.assign(name).append("\t");
    if (failed) {
      line.append("error\t").append(message);
    } else if (shown) {
      line.append("page\t").append(page);
    } else {
      line.append("none\t");
    }
    line.append("\n");
    WriteOut(line);
  };

  perform('l');
  for (char op : command.ops) perform(op);
  FinishOutput();
  return 0;
}

// ---- check -------------------------------------------------------------------------------------

std::string HexByte(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

// Deck bytes made readable on a UTF-8 terminal: converted from the deck's code page, in double
// quotes, with control bytes, quotes and backslashes escaped and bytes that do not convert shown
// as \xNN.
class Quoter {
 public:
  explicit Quoter(int codePage)
      : cd_(iconv_open("UTF-8", codePage == tavrin::kCodePage932 ? "CP932" : "UTF-8")) {}
  ~Quoter() {
    if (cd_ != kNoConverter) iconv_close(cd_);
  }
  Quoter(const Quoter&) = delete;
  Quoter& operator=(const Quoter&) = delete;

  std::string operator()(std::string_view bytes) const {
    std::string out = "\"";
    std::size_t i = 0;
    while (i < bytes.size()) {
      i += ConvertSome(bytes.substr(i), out);
      if (i == bytes.size()) break;
      // Without a converter, ASCII still reads as itself.
      const auto byte = static_cast<unsigned char>(bytes[i++]);
      if (cd_ == kNoConverter && byte < 0x80) {
        AppendEscaped(std::string_view(&bytes[i - 1], 1), out);
      } else {
        AppendHex(byte, out);
      }
    }
    return out + "\"";
  }

 private:
  // Converts as much of `bytes` as converts cleanly, appending it escaped; returns its length.
  std::size_t ConvertSome(std::string_view bytes, std::string& out) const {
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

  static void AppendEscaped(std::string_view utf8, std::string& out) {
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

  static void AppendHex(unsigned char byte, std::string& out) {
    out.append("\\x").append(HexByte(byte));
  }

  static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_;
};

// True when `text` ends in half a double-byte character: a run of lead bytes of odd length, so
// that whatever follows it is taken as the character's second byte.
bool EndsInHalfCharacter(std::string_view text) {
  std::size_t run = 0;
  while (run < text.size() &&
         tavrin::IsLeadByte(static_cast<unsigned char>(text[text.size() - 1 - run]))) {
    ++run;
  }
  return tavrin::DoubleByteMode() && run % 2 == 1;
}

// Why `text` cut at `separator` gives no pieces, in words, beginning with `what` ("the card").
std::string NoPiecesReason(std::string_view what, std::string_view text,
                           std::string_view separatorName, std::string_view separator,
                           const Quoter& show) {
  std::string reason(what);
  if (EndsInHalfCharacter(text)) {
    reason.append(" ends in half a double-byte character (byte ")
        .append(HexByte(static_cast<unsigned char>(text.back())))
        .append("), which hides the ")
        .append(separatorName)
        .append(" ")
        .append(show(separator))
        .append(" that should close it, so it splits into nothing");
  } else {
    reason.append(" splits into nothing at the ").append(separatorName).append(" ");
    reason.append(show(separator));
  }
  return reason;
}

struct Problem {
  int64_t line;  // 1-based line of the file; 0 for the deck as a whole
  std::string reason;
};

int RunCheck(const Command& command) {
  if (!tavrin::IsExistingFile(command.deck)) {
    throw Error("no deck file named " + command.deck + " (missing, or a directory)");
  }
  // No page sink: the pages themselves do not matter here, only whether they can be made.
  DeckState deck = StartingDeck(command.policy);
  std::string titleError;
  try {
    tavrin::LoadDeck(deck, command.deck);
  } catch (const Error& e) {
    // Before the lines are read the only failure is the open error, which ends the check; after
    // that, a failing load is what this report is for.
    if (deck.Lines.Count() < 3) throw;
    titleError = e.what();
  }

  const tavrin::TextList& lines = deck.Lines;
  const Quoter show(deck.CodePage);
  std::vector<Problem> problems;
  std::string out;
  out.append("Deck file: ").append(command.deck).append("\n");
  out.append("Lines: ").append(std::to_string(lines.Count())).append("\n");

  if (lines.Count() < 3) {
    problems.push_back({0, "the deck has " + std::to_string(lines.Count()) +
                               (lines.Count() == 1 ? " line" : " lines") +
                               ", but it needs at least three (field separator, header, title)"
                               " to be shown; nothing is shown"});
  } else {
    const bool chosen = command.policy == tavrin::CodePagePolicy::Auto;
    out.append("Code page: ")
        .append(deck.CodePage == tavrin::kCodePage932 ? "932 (Shift-JIS)" : "65001 (UTF-8)")
        .append(chosen ? ", chosen from the file's bytes\n" : ", set by --codepage\n");
    out.append("Field separator: ").append(show(deck.FieldSeparator)).append("\n");

    out.append("Header settings:\n");
    const std::string_view header = lines.At(1);
    for (int k = 0; k < tavrin::kDeckSettingCount; ++k) {
      const std::string key = tavrin::kDeckSettingKeys[k];
      const bool set = tavrin::FindText(key + "=", header) != 0;
      out.append("  ").append(key);
      out.append(set ? " = " : ": not in the header, stays ").append(show(deck.Settings[k]));
      out.append("\n");
    }
    for (int32_t i = 1; i < deck.DefaultParams.Count(); ++i) {
      out.append(i == 1 ? "Default parameters:" : ",");
      out.append(" $").append(std::to_string(i)).append(" = ");
      out.append(show(deck.DefaultParams.At(i)));
      if (i + 1 == deck.DefaultParams.Count()) out.append("\n");
    }

    // The title: its own split, so that the report does not depend on how far the load got.
    tavrin::TextList parts;
    tavrin::SplitKeepingEmpty(deck.ParamSeparator, lines.At(2), parts);
    if (parts.Count() == 0 || !titleError.empty()) {
      out.append("Title: cannot be shown (see line 3 below)\n");
      std::string reason = parts.Count() == 0
                               ? NoPiecesReason("the title", lines.At(2), "comment introducer",
                                                deck.ParamSeparator, show)
                               : "loading stops with the error \"" + titleError + "\"";
      problems.push_back(
          {3, reason + "; loading the deck stops there, so no page is shown and no card opens"});
    } else {
      out.append("Title: ").append(show(parts.At(0))).append("\n");
      for (int32_t i = 1; i < parts.Count(); ++i) {
        out.append("  $").append(std::to_string(i)).append(" = ");
        out.append(show(parts.At(i))).append("\n");
      }
    }

    // Every card as OK would open it and reveal its fields, one split at a time.
    const int32_t cardCount = lines.Count() - 3;
    out.append("Cards: ").append(std::to_string(cardCount)).append("\n");
    tavrin::TextList fields;
    int32_t fewest = INT32_MAX;
    int32_t most = 0;
    for (int32_t index = 3; index < lines.Count(); ++index) {
      const std::string_view card = lines.At(index);
      tavrin::SplitDroppingDoubles(deck.FieldSeparator, card, fields);
      fewest = std::min(fewest, fields.Count());
      most = std::max(most, fields.Count());
      if (fields.Count() == 0) {
        problems.push_back({index + 1, NoPiecesReason("the card", card, "field separator",
                                                      deck.FieldSeparator, show) +
                                           "; opening the card stops with an error"});
        continue;
      }
      for (int32_t j = 0; j < fields.Count(); ++j) {
        tavrin::SplitKeepingEmpty(deck.ParamSeparator, fields.At(j), parts);
        if (parts.Count() != 0) continue;
        const std::string field = "field " + std::to_string(j + 1);
        problems.push_back(
            {index + 1,
             NoPiecesReason(field, fields.At(j), "comment introducer", deck.ParamSeparator, show) +
                 (j == 0 ? "; opening the card stops with an error"
                         : "; revealing " + field + " stops with an error")});
        break;
      }
    }
    if (cardCount > 0) {
      out.append("Fields per card: fewest ").append(std::to_string(fewest));
      out.append(", most ").append(std::to_string(most)).append("\n");
    }
  }

  if (problems.empty()) {
    out.append("Problems: none\n");
  } else {
    out.append("Problems: ").append(std::to_string(problems.size())).append("\n");
    for (const Problem& problem : problems) {
      out.append(problem.line == 0 ? "  deck: " : "  line " + std::to_string(problem.line) + ": ");
      out.append(problem.reason).append("\n");
    }
  }
  WriteOut(out);
  FinishOutput();
  return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  bool parsed = false;
  try {
    const Command command = ParseCommand(args);
    parsed = true;
    switch (command.verb) {
      case Verb::Pages:
        return RunPages(command);
      case Verb::Check:
        return RunCheck(command);
      case Verb::Help:
        WriteOut(kUsage);
        FinishOutput();
        return 0;
    }
  } catch (const Error& e) {
    std::fprintf(stderr, "tavrin-deck: %s\n%s", e.what(), parsed ? "" : kUsage);
  }
  return 2;
}
