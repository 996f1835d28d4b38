// Benchmarks of the deck engine, each beside an anchor measured in the same run.
//
//   tavrin-bench generate DIR      writes the generated decks into DIR
//   tavrin-bench run DIR [--reps N] [--min-time SECONDS] [--fresh-memory] [--hot-anchors]
//                        [--benchmark_filter=REGEX]
//                                  measures and prints the figures (decks from `generate`)
//
// Every run of an operation is timed twice: by the CPU time of the measuring thread (for wc -l,
// of the child process), and by the wall clock. An operation, its anchor and its half-size version
// run in turn within one benchmark, so that they meet the same conditions on a shared machine. A
// figure is the fastest run of several repetitions (each as many rounds as fit in the minimum
// time), and its anchor is taken the same way. The ratios use CPU time, which other work on a
// shared machine disturbs least; the wall-clock ratio is printed beside them. The hostile inputs
// also run at half size, to show how their cost grows.
//
// With --fresh-memory every buffer of 128 KiB or more comes fresh from the kernel, as on an
// operation's first call; by default freed memory is reused from one run to the next.

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/deck.h"
#include "engine/double_byte.h"
#include "engine/navigation.h"
#include "engine/random.h"
#include "engine/text.h"
#include "engine/text_list.h"
#include "shell/place_file.h"

extern char** environ;

namespace {

using namespace tavrin;
using Clock = std::chrono::steady_clock;

// ---- Generated inputs -------------------------------------------------------------------------

constexpr int kDeckCards = 1'000'000;
constexpr int kLongCardFields = 100'000;
constexpr std::size_t kSplitBytes = 8'000'000;
constexpr std::size_t kSplitSeparators = 4'000'000;
constexpr std::size_t kFindBytes = 8'000'000;
constexpr std::size_t kReplaceOccurrences = 1'000'000;

const char* const kDeckFile = "deck-1m.txt";
// The same deck saved as UTF-16 (little-endian, with its mark).
const char* const kUtf16DeckFile = "deck-1m-utf16.txt";

// A hostile input is made at two sizes, `part` 1 (half) and 2 (full): the full one gives the
// figure, and the step from half to full shows how the cost grows.
std::size_t Part(std::size_t full, int part) {
  return full * static_cast<std::size_t>(part) / 2;
}

std::string LongCardFile(int part) {
  return part == 2 ? "long-card.txt" : "long-card-half.txt";
}

struct Word {
  const char* kanji;
  const char* reading;
  const char* english;
  const char* kind;
};

const Word kWords[] = {
    {"猫", "ねこ", "cat", "noun"},          {"犬", "いぬ", "dog", "noun"},
    {"鳥", "とり", "bird", "noun"},         {"魚", "さかな", "fish", "noun"},
    {"山", "やま", "mountain", "noun"},     {"川", "かわ", "river", "noun"},
    {"食べる", "たべる", "to eat", "verb"}, {"飲む", "のむ", "to drink", "verb"},
    {"読む", "よむ", "to read", "verb"},    {"書く", "かく", "to write", "verb"},
    {"高い", "たかい", "high", "adj"},      {"新しい", "あたらしい", "new", "adj"},
    {"学校", "がっこう", "school", "noun"}, {"先生", "せんせい", "teacher", "noun"},
    {"友達", "ともだち", "friend", "noun"}, {"電車", "でんしゃ", "train", "noun"},
};

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// A UTF-8 vocabulary deck with CR LF line ends: valid UTF-8 throughout, so that loading under the
// automatic code page reads every byte to decide.
std::string MakeDeck(int cards) {
  std::string d;
  d.reserve(static_cast<std::size_t>(cards) * 52 + 512);
  d += "|\r\n";
  d += "OuterHead=<html><body class=$1>|InnerHead=<p>|InnerFoot=</p>|OuterFoot=</body></html>"
       "|CommentIntroducer=#|DefaultParameters=#plain\r\n";
  d += "日本語の単語#title\r\n";
  const std::size_t n = sizeof kWords / sizeof kWords[0];
  for (int i = 0; i < cards; ++i) {
    const Word& w = kWords[static_cast<std::size_t>(i) % n];
    d += w.kanji;
    d += '|';
    d += w.reading;
    d += '#';
    d += w.kind;
    d += '|';
    d += w.english;
    d += " (card ";
    d += std::to_string(i + 1);
    d += ")|lesson ";
    d += std::to_string(i % 48 + 1);
    d += "\r\n";
  }
  return d;
}

// A deck whose one card has `fields` fields; every other field carries a parameter, and the inner
// head uses it, so the page of all fields takes every composition path.
std::string MakeLongCardDeck(int fields) {
  std::string d;
  d += "|\r\n";
  d += "OuterHead=<html><body class=$1>|InnerHead=<p class=$1>|InnerFoot=</p>"
       "|OuterFoot=</body></html>|CommentIntroducer=#|DefaultParameters=#plain\r\n";
  d += "A long card\r\n";
  for (int i = 0; i < fields; ++i) {
    if (i > 0) d += '|';
    d += "word" + std::to_string(i);
    if (i % 2 == 1) d += "#noun";
  }
  d += "\r\n";
  return d;
}

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string s;
  s.reserve(unit.size() * times + 4);
  for (std::size_t i = 0; i < times; ++i) s.append(unit);
  return s;
}

// Bytes 81 82 81 82 ...: every 82 stands at a trail position under code page 932. The text ends
// in 81 81 82 (+ `tail`): the run of lead bytes before that last 82 is even, so it is the single
// match, after a lead run of the whole text.
std::string MakeLeadRun(std::size_t bytes, std::string_view tail) {
  std::string s = Repeat("\x81\x82", (bytes - 3 - tail.size()) / 2);
  s += "\x81\x81\x82";
  s += tail;
  return s;
}

// `utf8` (valid UTF-8) as UTF-16 little-endian with its byte-order mark.
std::string Utf16LeOf(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  out.reserve(utf8.size() * 2 + 2);
  auto unit = [&out](uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k)
      cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

void Generate(const std::string& dir) {
  const std::string deck = MakeDeck(kDeckCards);
  WriteFile(dir + "/" + kDeckFile, deck);
  WriteFile(dir + "/" + kUtf16DeckFile, Utf16LeOf(deck));
  for (int part : {1, 2}) {
    WriteFile(dir + "/" + LongCardFile(part),
              MakeLongCardDeck(static_cast<int>(Part(kLongCardFields, part))));
  }
}

// ---- Measurement ------------------------------------------------------------------------------

int g_repetitions = 5;
double g_minTime = 0.3;

// Where large buffers get their memory. Fresh memory costs page faults, which are dear on a virtual
// machine, so the choice shows in the figures. By default freed memory is kept for the next run, as
// in a program that has run for a while (glibc adapts so after its first large buffer); with
// --fresh-memory every large buffer comes fresh from the kernel, as on a first call. LoadDeck
// always gets fresh memory: a deck is loaded once, and that is the cost a user meets.
bool g_freshMemory = false;

// With --hot-anchors each memchr anchor runs in a loop of its own, which keeps its bytes in the
// processor's cache: the strictest anchor, and not the conditions the operation meets.
bool g_hotAnchors = false;

void UseFreshMemory() {
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
}

void UseUsualMemory() {
  if (g_freshMemory) {
    UseFreshMemory();
    return;
  }
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
}

// One timed run of an operation.
struct Lap {
  double cpu;   // seconds of CPU time
  double wall;  // seconds by the wall clock
};

double ThreadCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

template <class Op>
Lap Time(Op&& op) {
  const auto w0 = Clock::now();
  const double c0 = ThreadCpuSeconds();
  op();
  const double c1 = ThreadCpuSeconds();
  const auto w1 = Clock::now();
  return {c1 - c0, Seconds(w0, w1)};
}

// One of the operations that a benchmark runs in turn: a unique name and one timed run. A run
// that goes wrong throws std::runtime_error.
struct Contestant {
  std::string name;
  std::function<Lap()> run;
};

// The fastest run of each repetition, in seconds, by contestant.
struct Times {
  std::vector<double> cpu, wall;
};
std::map<std::string, Times> g_times;
std::vector<std::string> g_errors;

// Registers a benchmark that runs its contestants in turn, each once per iteration, so that an
// operation, its anchor and its half-size version meet the same conditions on a shared machine.
// Each repetition reports the fastest run of every contestant, by CPU time and by the wall clock.
void RegisterContest(const std::string& name, std::vector<Contestant> contestants) {
  auto all = std::make_shared<std::vector<Contestant>>(std::move(contestants));
  benchmark::RegisterBenchmark(name.c_str(),
                               [all](benchmark::State& state) {
                                 std::vector<Lap> best(all->size(), Lap{1e30, 1e30});
                                 try {
                                   for (auto _ : state) {
                                     double cpu = 0;
                                     for (std::size_t i = 0; i < all->size(); ++i) {
                                       const Lap lap = (*all)[i].run();
                                       best[i].cpu = std::min(best[i].cpu, lap.cpu);
                                       best[i].wall = std::min(best[i].wall, lap.wall);
                                       cpu += lap.cpu;
                                     }
                                     state.SetIterationTime(cpu);
                                   }
                                 } catch (const std::exception& e) {
                                   state.SkipWithError(e.what());
                                   return;
                                 }
                                 for (std::size_t i = 0; i < all->size(); ++i) {
                                   state.counters["cpu:" + (*all)[i].name] = best[i].cpu;
                                   state.counters["wall:" + (*all)[i].name] = best[i].wall;
                                 }
                               })
      ->UseManualTime()
      ->Repetitions(g_repetitions)
      ->MinTime(g_minTime)
      ->Unit(benchmark::kMillisecond);
}

class CollectingReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      if (r.error_occurred) {
        g_errors.push_back(r.run_name.function_name + ": " + r.error_message);
        continue;
      }
      for (const auto& [key, counter] : r.counters) {
        if (key.starts_with("cpu:")) g_times[key.substr(4)].cpu.push_back(counter.value);
        if (key.starts_with("wall:")) g_times[key.substr(5)].wall.push_back(counter.value);
      }
    }
    std::fputc('.', stderr);
  }
};

double Best(const std::vector<double>& v) {
  return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}
double BestCpu(const std::string& name) {
  auto it = g_times.find(name);
  return it == g_times.end() ? -1 : Best(it->second.cpu);
}
double BestWall(const std::string& name) {
  auto it = g_times.find(name);
  return it == g_times.end() ? -1 : Best(it->second.wall);
}

// Bytes a list takes as a result: its entries, and 8 bytes of index (offset and length) each.
std::size_t ListBytes(const TextList& list) {
  std::size_t bytes = 8 * static_cast<std::size_t>(list.Count());
  for (int32_t i = 0; i < list.Count(); ++i) bytes += list.At(i).size();
  return bytes;
}

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("benchmark input is not what it should be: " + what);
}

// The plain scan of `bytes` bytes: memchr for a byte that does not occur.
std::string g_scanBuffer;

Contestant Scan(const std::string& name, std::size_t bytes) {
  if (g_scanBuffer.size() < bytes) g_scanBuffer.assign(bytes, 'a');
  return {name, [bytes] {
            const char* data = g_scanBuffer.data();
            const void* hit = nullptr;
            Lap lap = Time([&] { hit = std::memchr(data, 'z', bytes); });
            benchmark::DoNotOptimize(hit);
            return lap;
          }};
}

// ---- Figures ----------------------------------------------------------------------------------

struct Figure {
  std::string label;
  std::string op;
  std::string anchorLabel;
  std::string anchor;
  double limit;
};

struct Growth {
  std::string label;
  std::string small;
  std::string large;
};

std::vector<Figure> g_figures;
std::vector<Growth> g_growth;

// 4000000 as "4M", 50000 as "50k".
std::string Count(std::size_t n) {
  if (n % 1'000'000 == 0) return std::to_string(n / 1'000'000) + "M";
  if (n % 1'000 == 0) return std::to_string(n / 1'000) + "k";
  return std::to_string(n);
}

std::string Megabytes(std::size_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return buf;
}

// Registers a hostile case at its half and its full size; `make(part)` prepares the input and
// returns the timed operation and the bytes it reads plus writes.
struct Prepared {
  std::function<Lap()> run;  // performs the operation once and times it
  std::size_t bytes;
  std::string size;
};

void RegisterHostile(const std::string& label, const std::function<Prepared(int)>& make,
                     double limit = 10) {
  Prepared half = make(1), full = make(2);
  const std::string anchor = "memchr for " + label;
  if (g_hotAnchors) {
    RegisterContest(label,
                    {{label, std::move(full.run)}, {label + " (half)", std::move(half.run)}});
    RegisterContest(anchor, {Scan(anchor, full.bytes)});
  } else {
    RegisterContest(label, {{label, std::move(full.run)},
                            Scan(anchor, full.bytes),
                            {label + " (half)", std::move(half.run)}});
  }
  g_figures.push_back(
      {label + ", " + full.size, label, "memchr " + Megabytes(full.bytes), anchor, limit});
  g_growth.push_back({label, label + " (half)", label});
}

void RegisterSplit(const std::string& label, std::string_view unit, bool dropDoubles) {
  RegisterHostile(label, [=](int part) {
    auto line = std::make_shared<std::string>(Repeat(unit, Part(kSplitBytes, part) / unit.size()));
    Check(static_cast<std::size_t>(std::count(line->begin(), line->end(), '|')) ==
              Part(kSplitSeparators, part),
          label + " separators");
    auto split = [line, dropDoubles](TextList& list) {
      if (dropDoubles) {
        SplitDroppingDoubles("|", *line, list);
      } else {
        SplitKeepingEmpty("|", *line, list);
      }
    };
    SetDoubleByteCodePage(kCodePage932);
    TextList probe;
    split(probe);
    Check(static_cast<std::size_t>(probe.Count()) > Part(kSplitSeparators, part) / 4,
          label + " pieces");
    Prepared p;
    p.bytes = line->size() + ListBytes(probe);
    p.size =
        Megabytes(line->size()) + " line, " + Count(Part(kSplitSeparators, part)) + " separators";
    p.run = [split] {
      SetDoubleByteCodePage(kCodePage932);
      TextList list;
      Lap lap = Time([&] { split(list); });
      benchmark::DoNotOptimize(list);
      return lap;
    };
    return p;
  });
}

void RegisterFind(const std::string& label, std::string pattern, std::string_view tail,
                  std::size_t matchFromEnd) {
  RegisterHostile(label, [=](int part) {
    auto text = std::make_shared<std::string>(MakeLeadRun(Part(kFindBytes, part), tail));
    SetDoubleByteCodePage(kCodePage932);
    int32_t at = FindText(pattern, *text);
    Check(at == static_cast<int32_t>(text->size() - matchFromEnd), label + " match position");
    Prepared p;
    p.bytes = text->size();
    p.size = Megabytes(text->size()) + " of lead bytes";
    p.run = [text, pattern] {
      SetDoubleByteCodePage(kCodePage932);
      int32_t r = 0;
      Lap lap = Time([&] { r = FindText(pattern, *text); });
      benchmark::DoNotOptimize(r);
      return lap;
    };
    return p;
  });
}

void RegisterReplace() {
  RegisterHostile("ReplaceAll", [](int part) {
    auto text = std::make_shared<std::string>(Repeat("$1,", Part(kReplaceOccurrences, part)));
    SetDoubleByteCodePage(kCodePage932);
    std::string probe = ReplaceAll(*text, "$1", "value");
    Check(probe.size() == text->size() + 3 * Part(kReplaceOccurrences, part), "ReplaceAll result");
    Prepared p;
    p.bytes = text->size() + probe.size();
    p.size = Count(Part(kReplaceOccurrences, part)) + " occurrences of \"$1\" in " +
             Megabytes(text->size());
    p.run = [text] {
      SetDoubleByteCodePage(kCodePage932);
      std::string result;
      Lap lap = Time([&] { result = ReplaceAll(*text, "$1", "value"); });
      benchmark::DoNotOptimize(result);
      return lap;
    };
    return p;
  });
}

// A deck loaded from `path` under code page 932, its one card open, with a sink that records the
// size of the last page.
struct OpenCardDeck {
  DeckState deck;
  std::size_t pageSize = 0;
  std::string page;
  bool keepPage = false;

  explicit OpenCardDeck(const std::string& path) {
    deck.StartWith(kDefaultStartupTemplates);
    deck.SetPolicy(CodePagePolicy::Cp932);
    deck.MakeLists();
    deck.ShowHtml = [this](const std::string& html) {
      pageSize = html.size();
      if (keepPage) page = html;
    };
    LoadDeck(deck, path);
    Ok(deck);  // opens the card at its first field
  }
};

// Pressing OK until the last field is quadratic in all (each press writes a page holding every
// field shown so far), so the benchmark jumps close to the end: the earlier presses only raise
// RevealedField, rewrite Params and keep the fields composed so far, all of which a press near the
// end does again. This check proves that shortcut on a card small enough to press through.
void CheckOkShortcut(const std::string& dir) {
  std::string path = dir + "/shortcut-check.txt";
  WriteFile(path, MakeLongCardDeck(2000));
  OpenCardDeck pressed(path), jumped(path);
  pressed.keepPage = jumped.keepPage = true;
  while (pressed.deck.RevealedField < pressed.deck.CardFields.Count() - 1) Ok(pressed.deck);
  jumped.deck.RevealedField = jumped.deck.CardFields.Count() - 3;
  Ok(jumped.deck);
  Ok(jumped.deck);
  auto entries = [](const TextList& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.Count(); ++i) out.emplace_back(list.At(i));
    return out;
  };
  Check(pressed.page == jumped.page && jumped.deck.RevealedField == pressed.deck.RevealedField &&
            entries(jumped.deck.Params) == entries(pressed.deck.Params),
        "the last OK after a jump equals the last OK after pressing through");
  ::unlink(path.c_str());
}

// The OK that reveals the last field of the long card. A user reaches it by the OK that revealed
// the field before, so that is the state each timed press starts from: the deck jumps to three
// fields before the end (see CheckOkShortcut), one press reveals the last but one and composes
// every field so far, and the fields that press kept are restored before every timed press.
// With `keep` false, every timed press starts with nothing kept and composes all the fields: not
// a state the program is ever in on the last field, printed for information.
void RegisterOk(const std::string& dir, const std::string& label, bool keep) {
  RegisterHostile(
      label,
      [dir, keep](int part) {
        auto state = std::make_shared<OpenCardDeck>(dir + "/" + LongCardFile(part));
        DeckState& deck = state->deck;
        const int32_t fields = deck.CardFields.Count();
        Check(static_cast<std::size_t>(fields) == Part(kLongCardFields, part),
              "fields of the long card");
        deck.RevealedField = fields - 3;
        Ok(deck);
        const RevealedFieldsMemo kept = deck.Revealed;
        Check(kept.fields == fields - 1, "the press before the last keeps its fields");
        Ok(deck);
        Check(deck.RevealedField == fields - 1, "Ok revealed the last field");
        Prepared p;
        p.bytes = deck.Lines.At(3).size() + state->pageSize;
        p.size =
            Count(static_cast<std::size_t>(fields)) + " fields, page " + Megabytes(state->pageSize);
        p.run = [state, kept, keep] {
          DeckState& d = state->deck;
          SetDoubleByteCodePage(kCodePage932);
          d.RevealedField = d.CardFields.Count() - 2;
          if (keep) {
            d.Revealed.fields = kept.fields;
            d.Revealed.inner.resize(kept.inner.size());  // a prefix of what the last press kept
          } else {
            d.Revealed = {};
          }
          return Time([&] { Ok(d); });
        };
        return p;
      },
      keep ? 10 : 0);
}

// A contestant that loads deck `path` of kDeckCards cards, as `name`.
Contestant LoadContestant(const std::string& name, const std::string& path) {
  return {name, [path] {
            // A deck is loaded once, into memory fresh from the kernel: that is the cost a user
            // meets, whatever the other figures assume.
            UseFreshMemory();
            auto deck = std::make_unique<DeckState>();
            std::size_t pageSize = 0;
            deck->ShowHtml = [&pageSize](const std::string& html) { pageSize = html.size(); };
            const Lap lap = Time([&] { LoadDeck(*deck, path); });
            const bool loaded = deck->CardCount == kDeckCards && pageSize > 0;
            deck.reset();
            UseUsualMemory();
            if (!loaded) throw std::runtime_error("the deck did not load");
            return lap;
          }};
}

void RegisterLoad(const std::string& dir) {
  const std::string path = dir + "/" + kDeckFile;
  Contestant load = LoadContestant("LoadDeck", path);
  auto arguments =
      std::make_shared<std::vector<std::string>>(std::vector<std::string>{"wc", "-l", path});
  Contestant wc{"wc -l", [arguments] {
                  posix_spawn_file_actions_t actions;
                  posix_spawn_file_actions_init(&actions);
                  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY,
                                                   0);
                  char* argv[] = {(*arguments)[0].data(), (*arguments)[1].data(),
                                  (*arguments)[2].data(), nullptr};
                  pid_t pid;
                  int status = 0;
                  rusage usage{};
                  const auto t0 = Clock::now();
                  const int rc = posix_spawnp(&pid, "wc", &actions, nullptr, argv, environ);
                  if (rc == 0) ::wait4(pid, &status, 0, &usage);
                  const auto t1 = Clock::now();
                  posix_spawn_file_actions_destroy(&actions);
                  if (rc != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                    throw std::runtime_error("wc -l failed");
                  }
                  // The child's own CPU time, user and system: what reading and counting cost it.
                  const double cpu =
                      static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
                  return Lap{cpu, Seconds(t0, t1)};
                }};
  RegisterContest("LoadDeck", {std::move(load), std::move(wc)});
  struct stat st {};
  ::stat(path.c_str(), &st);
  g_figures.push_back(
      {"LoadDeck, 1,000,000 cards, " + Megabytes(static_cast<std::size_t>(st.st_size)), "LoadDeck",
       "wc -l, same file", "wc -l", 3});

  // The conversion streams with the read, so a UTF-16 deck costs about what the same in UTF-8 does.
  const std::string utf16 = dir + "/" + kUtf16DeckFile;
  RegisterContest("LoadDeck UTF-16", {LoadContestant("LoadDeck UTF-16", utf16),
                                      LoadContestant("LoadDeck UTF-8", path)});
  ::stat(utf16.c_str(), &st);
  g_figures.push_back(
      {"LoadDeck, the same deck in UTF-16, " + Megabytes(static_cast<std::size_t>(st.st_size)),
       "LoadDeck UTF-16", "LoadDeck, in UTF-8", "LoadDeck UTF-8", 1.5});
}

// The start's part in taking up a learner's place in a shuffled deck of a million cards: reading
// the place file, decoding it and checking the order, after the load that any start makes.
void RegisterResume(const std::string& dir) {
  const std::string deckFile = dir + "/" + kDeckFile;
  const std::string placeFile = dir + "/state/tavrin/place";
  auto deck = std::make_shared<DeckState>();
  LoadDeck(*deck, deckFile);
  SetTimeOfDayClock([] { return 43'200'000u; });
  Shuffle(*deck);
  deck->Position = kDeckCards / 2;
  Check(SavePlace(placeFile, *PlaceOf(*deck, deckFile)), "the place file was not written");
  RegisterContest("ResumePlace",
                  {{"ResumePlace",
                    [deck, deckFile, placeFile] {
                      deck->Position = -1;
                      const Lap lap = Time([&] { ResumePlace(placeFile, deckFile, *deck); });
                      Check(deck->Position == kDeckCards / 2, "the place was not taken up");
                      return lap;
                    }},
                   LoadContestant("LoadDeck before ResumePlace", deckFile)});
  g_figures.push_back({"ResumePlace, 1,000,000 shuffled cards (at most 50 ms)", "ResumePlace",
                       "LoadDeck, same deck", "LoadDeck before ResumePlace", 0});
}

void RegisterShuffle(const std::string& dir) {
  auto loaded = std::make_shared<DeckState>();
  LoadDeck(*loaded, dir + "/" + kDeckFile);
  Check(loaded->CardCount == kDeckCards, "cards of the shuffled deck");
  SetTimeOfDayClock([] { return 43'200'000u; });
  auto order = std::make_shared<std::vector<int32_t>>(loaded->CardOrder);
  auto rng = std::make_shared<std::mt19937>(12345);
  RegisterContest("Shuffle",
                  {{"Shuffle", [loaded] { return Time([&] { Shuffle(*loaded); }); }},
                   {"std::shuffle", [order, rng] {
                      Lap lap = Time([&] { std::shuffle(order->begin(), order->end(), *rng); });
                      benchmark::DoNotOptimize(order->data());
                      return lap;
                    }}});
  g_figures.push_back(
      {"Shuffle, 1,000,000 cards", "Shuffle", "std::shuffle, std::mt19937", "std::shuffle", 3});
}

// ---- Report -----------------------------------------------------------------------------------

std::string Millis(double seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f ms", seconds * 1e3);
  return buf;
}

constexpr double kGrowthLimit = 3.0;

// Prints the figures; returns how many are over their limits and counts in `unmeasured` those
// that were not measured (left out by a filter, or failed). A figure with no limit (0) is printed
// for information only.
int Report(int& unmeasured) {
  int over = 0;
  unmeasured = 0;
  std::printf("\n%-52s %10s  %-24s %10s %7s %6s %11s\n", "figure", "CPU time", "anchor",
              "anchor CPU", "ratio", "limit", "wall ratio");
  for (const Figure& f : g_figures) {
    const double t = BestCpu(f.op), a = BestCpu(f.anchor);
    const double tw = BestWall(f.op), aw = BestWall(f.anchor);
    if (t < 0 || a <= 0 || tw < 0 || aw <= 0) {
      std::printf("%-52s not measured\n", f.label.c_str());
      ++unmeasured;
      continue;
    }
    const double ratio = t / a;
    const bool isOver = f.limit > 0 && ratio > f.limit;
    over += isOver;
    const std::string limit = f.limit > 0 ? std::to_string(static_cast<int>(f.limit)) : "-";
    std::printf("%-52s %10s  %-24s %10s %7.2f %6s %11.2f%s\n", f.label.c_str(), Millis(t).c_str(),
                f.anchorLabel.c_str(), Millis(a).c_str(), ratio, limit.c_str(), tw / aw,
                isOver ? "  OVER" : "");
  }
  std::printf(
      // clang-format off
      "\nAnchor of the hostile cases: memchr for a byte that does not occur, over B bytes, B being\n"
      "what the operation reads plus writes: its input text plus its result (a split: the pieces\n"
      "and 8 bytes of list index per piece; ReplaceAll: the new text; FindText: no result; Ok: the\n"
      "card's line in, the page handed to the sink out). Code page 932 throughout.\n%s",
      g_hotAnchors
          ? "Each anchor ran in a loop of its own (--hot-anchors), its bytes kept in the processor's\n"
            "cache.\n"
          : "Operation, anchor and half-size operation run in turn, round after round, so that none\n"
            "of them keeps its bytes in the processor's cache by repeating alone.\n");
  // clang-format on

  std::printf(
      "\nGrowth from N (half size) to 2N (the size above), CPU time. Linear: about 2; copying the\n"
      "remainder after each match: about 4 (marked above %.1f).\n",
      kGrowthLimit);
  for (const Growth& g : g_growth) {
    const double small = BestCpu(g.small), large = BestCpu(g.large);
    if (small <= 0 || large < 0) {
      std::printf("  %-44s not measured\n", g.label.c_str());
      ++unmeasured;
      continue;
    }
    const double factor = large / small;
    const bool isOver = factor > kGrowthLimit;
    over += isOver;
    std::printf("  %-44s %10s -> %10s   x%.2f%s\n", g.label.c_str(), Millis(small).c_str(),
                Millis(large).c_str(), factor, isOver ? "  OVER (not linear?)" : "");
  }
  for (const std::string& e : g_errors) std::printf("error: %s\n", e.c_str());
  return over;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tavrin-bench generate DIR\n"
               "       tavrin-bench run DIR [--reps N] [--min-time SECONDS] [--fresh-memory]\n"
               "                            [--hot-anchors] [--benchmark_...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1], dir = argv[2];
  try {
    if (command == "generate") {
      Generate(dir);
      return 0;
    }
    if (command != "run") return Usage();
    std::vector<char*> benchArgs = {argv[0]};
    for (int i = 3; i < argc; ++i) {
      std::string a = argv[i];
      if (a == "--reps" && i + 1 < argc) {
        g_repetitions = std::max(1, std::atoi(argv[++i]));
      } else if (a == "--min-time" && i + 1 < argc) {
        g_minTime = std::atof(argv[++i]);
      } else if (a == "--fresh-memory") {
        g_freshMemory = true;
      } else if (a == "--hot-anchors") {
        g_hotAnchors = true;
      } else if (a.starts_with("--benchmark_")) {
        benchArgs.push_back(argv[i]);  // e.g. --benchmark_filter=Split
      } else {
        return Usage();
      }
    }
    UseUsualMemory();
    int benchArgc = static_cast<int>(benchArgs.size());
    benchmark::Initialize(&benchArgc, benchArgs.data());

    CheckOkShortcut(dir);
    RegisterLoad(dir);
    RegisterSplit("SplitKeepingEmpty", "a|", false);
    RegisterSplit("SplitDroppingDoubles", "ab||", true);
    RegisterFind("FindText 82", "\x82", "", 0);
    RegisterFind("FindText 82 81", "\x82\x81", "\x81", 1);
    RegisterReplace();
    RegisterOk(dir, "Ok to the last field", true);
    RegisterOk(dir, "Ok to the last field, nothing kept", false);
    RegisterShuffle(dir);
    RegisterResume(dir);

    std::fprintf(stderr, "measuring (fastest run of %d repetitions of at least %gs each)",
                 g_repetitions, g_minTime);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fputc('\n', stderr);
    int unmeasured = 0;
    const int over = Report(unmeasured);
    std::string verdict = over == 0 ? "All figures measured are within their limits."
                                    : std::to_string(over) + " figure(s) over the limit.";
    if (unmeasured > 0) verdict += " " + std::to_string(unmeasured) + " not measured.";
    std::printf("\n%s\n", verdict.c_str());
    benchmark::Shutdown();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin-bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
