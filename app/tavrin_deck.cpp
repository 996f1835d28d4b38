// tavrin-deck: the deck engine from the command line, for deck authors, scripts and tests.
//
//   tavrin-deck pages DECK [OPS] [--clock MS] [--codepage auto|932|65001]
//     One line per operation: name TAB outcome TAB payload LF, where the payload is the page
//     exactly as the engine hands it over, or the error's message.
//   tavrin-deck check DECK [--codepage auto|932|65001] [--format text|json]
//     A report on the deck, naming every line that would stop with an error and the lines that
//     are shown otherwise than their author may expect.
//   tavrin-deck --help, tavrin-deck --version

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/deck_check.h"
#include "app/deck_report.h"
#include "engine/deck.h"
#include "engine/error.h"
#include "engine/navigation.h"
#include "engine/random.h"

namespace {

using tavrin::DeckState;
using tavrin::Error;

constexpr const char* kUsage =
    "usage: tavrin-deck pages DECK [OPS] [--clock MS] [--codepage auto|932|65001]\n"
    "       tavrin-deck check DECK [--codepage auto|932|65001] [--format text|json]\n"
    "       tavrin-deck --help | -h | help\n"
    "       tavrin-deck --version\n"
    "\n"
    "pages      loads DECK, then performs OPS, a string of letters: o = OK, b = Back,\n"
    "           s = Shuffle, l = load DECK again. Prints one line per operation, the\n"
    "           load included: name TAB outcome (page, none or error) TAB page or\n"
    "           message. Exit status 0, or 2 when the output cannot be written.\n"
    "check      reports the deck's settings, title and cards, every line that would\n"
    "           stop with an error when shown, and warnings: empty fields dropped at\n"
    "           doubled separators, lines that decide or break the code page, text\n"
    "           the page takes for an unknown tag. Exit status 0 when no line fails\n"
    "           (warnings or not), 1 when some line fails, 2 when the deck cannot be\n"
    "           read.\n"
    "--help     prints this text.\n"
    "--version  prints the program's version.\n"
    "Any other command line: a message and this text on standard error, exit\n"
    "status 2.\n"
    "\n"
    "Options (\"--name value\" or \"--name=value\"; \"--\" ends the options):\n"
    "--clock MS       pages: the UTC time of day, in milliseconds since midnight,\n"
    "                 that seeds the shuffle (default: the system clock)\n"
    "--codepage CP    how double-byte characters are told apart: auto (the default:\n"
    "                 UTF-8 when the file is valid UTF-8, else 932), 932 or 65001\n"
    "--format FORMAT  check: text (the default), or json for the same report as one\n"
    "                 JSON object\n";

constexpr uint32_t kMillisecondsPerDay = 86400000;

enum class Verb { Help, Version, Pages, Check };

struct Command {
  Verb verb = Verb::Help;
  std::string deck;
  std::string ops;
  std::optional<uint32_t> clock;
  tavrin::CodePagePolicy policy = tavrin::CodePagePolicy::Auto;
  bool json = false;  // check: the report as JSON
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
  if (args[0] == "--version") {
    command.verb = Verb::Version;
    return command;
  }
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
    if (name != "--clock" && name != "--codepage" && name != "--format") {
      throw Error("unknown option \"" + arg + "\"");
    }
    if (name == "--clock" && command.verb != Verb::Pages) {
      throw Error("--clock applies to pages only");
    }
    if (name == "--format" && command.verb != Verb::Check) {
      throw Error("--format applies to check only");
    }
    if (!value) {
      if (i + 1 == args.size()) throw Error(name + " needs a value");
      value = args[++i];
    }
    if (name == "--clock") {
      command.clock = ParseClock(*value);
    } else if (name == "--format") {
      if (*value != "text" && *value != "json") {
        throw Error("unknown format \"" + *value + "\" (use text or json)");
      }
      command.json = *value == "json";
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

// ---- Output ------------------------------------------------------------------------------------

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

// What the engine last handed to the page sink.
struct Shown {
  bool shown = false;
  std::string page;
};

// Performs operation `op` (one of l, o, b, s) on `deck`, whose page sink fills `shown`, and
// returns its output line: name TAB outcome TAB page or message LF. An error abandons this
// operation only, as it would abandon one button press.
std::string Perform(char op, DeckState& deck, const std::string& fileName, Shown& shown) {
  static constexpr std::string_view kNames[] = {"load", "ok", "back", "shuffle"};
  const std::string_view name = kNames[op == 'l' ? 0 : op == 'o' ? 1 : op == 'b' ? 2 : 3];
  shown.shown = false;
  std::string line(name);
  line.append("\t");
  try {
    switch (op) {
      case 'l':
        tavrin::LoadDeck(deck, fileName);
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
    return line.append("error\t").append(e.what()).append("\n");
  }
  if (!shown.shown) return line.append("none\t\n");
  return line.append("page\t").append(shown.page).append("\n");
}

int RunPages(const Command& command) {
  if (command.clock) {
    tavrin::SetTimeOfDayClock([ms = *command.clock] { return ms; });
  }
  DeckState deck = tavrin::deck_tool::StartingDeck(command.policy);
  Shown shown;
  deck.ShowHtml = [&shown](const std::string& html) {
    shown.page = html;
    shown.shown = true;
  };
  WriteOut(Perform('l', deck, command.deck, shown));
  for (char op : command.ops) WriteOut(Perform(op, deck, command.deck, shown));
  FinishOutput();
  return 0;
}

// ---- check -------------------------------------------------------------------------------------

int RunCheck(const Command& command) {
  const tavrin::deck_tool::DeckCheck check =
      tavrin::deck_tool::CheckDeck(command.deck, command.policy);
  WriteOut(command.json ? tavrin::deck_tool::JsonReport(command.deck, check)
                        : tavrin::deck_tool::TextReport(command.deck, check));
  FinishOutput();
  return check.problems.empty() ? 0 : 1;
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
      case Verb::Version:
        WriteOut(command.verb == Verb::Help ? kUsage : "tavrin-deck " TAVRIN_VERSION "\n");
        FinishOutput();
        return 0;
    }
  } catch (const Error& e) {
    std::fprintf(stderr, "tavrin-deck: %s\n%s", e.what(), parsed ? "" : kUsage);
  }
  return 2;
}
