#include "shell/place_file.h"

#include <sys/stat.h>

#include <cstdlib>

#include "engine/navigation.h"
#include "shell/durable_file.h"
#include "shell/settings.h"

namespace tavrin {

namespace {

constexpr std::string_view kMark = "tavrin place 1\n";

void PutNumber(uint64_t value, int bytes, std::string& out) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// Reads little-endian numbers from the front of a byte string, failing once it runs out.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool Number(int bytes, uint64_t& value) {
    if (rest_.size() < static_cast<std::size_t>(bytes)) return false;
    value = 0;
    for (int i = 0; i < bytes; ++i) {
      value |= static_cast<uint64_t>(static_cast<unsigned char>(rest_[i])) << (8 * i);
    }
    rest_.remove_prefix(static_cast<std::size_t>(bytes));
    return true;
  }
  bool Signed(int64_t& value) {
    uint64_t raw = 0;
    if (!Number(8, raw)) return false;
    value = static_cast<int64_t>(raw);
    return true;
  }
  bool Bytes(std::size_t count, std::string_view& bytes) {
    if (rest_.size() < count) return false;
    bytes = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return true;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

std::string EncodePlace(const DeckPlace& place) {
  std::string out(kMark);
  out.reserve(kMark.size() + 40 + place.deckFile.size() + 4 * place.cards.size());
  PutNumber(place.deckFile.size(), 4, out);
  out += place.deckFile;
  PutNumber(static_cast<uint64_t>(place.stamp.size), 8, out);
  PutNumber(static_cast<uint64_t>(place.stamp.seconds), 8, out);
  PutNumber(static_cast<uint64_t>(place.stamp.nanoseconds), 8, out);
  PutNumber(static_cast<uint32_t>(place.position), 4, out);
  PutNumber(place.cards.size(), 4, out);
  for (const int32_t card : place.cards) PutNumber(static_cast<uint32_t>(card), 4, out);
  return out;
}

std::optional<DeckPlace> DecodePlace(std::string_view bytes) {
  if (!bytes.starts_with(kMark)) return std::nullopt;
  Reader in(bytes.substr(kMark.size()));
  DeckPlace place;
  uint64_t length = 0, position = 0, count = 0;
  std::string_view deckFile;
  if (!in.Number(4, length) || !in.Bytes(length, deckFile) || !in.Signed(place.stamp.size) ||
      !in.Signed(place.stamp.seconds) || !in.Signed(place.stamp.nanoseconds) ||
      !in.Number(4, position) || !in.Number(4, count) || in.Rest().size() != 4 * count) {
    return std::nullopt;
  }
  place.deckFile.assign(deckFile);
  place.position = static_cast<int32_t>(static_cast<uint32_t>(position));
  place.cards.resize(count);
  for (int32_t& card : place.cards) {
    uint64_t value = 0;
    in.Number(4, value);
    card = static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  return place;
}

std::string PlaceFilePath(const std::string& stateHome, const std::string& home) {
  const std::string folder = ProgramFolder(stateHome, home, ".local/state");
  return folder.empty() ? folder : folder + "place";
}

std::string PlaceFilePath() {
  const char* stateHome = std::getenv("XDG_STATE_HOME");
  return PlaceFilePath(stateHome ? stateHome : "", HomeDirectory());
}

std::optional<DeckPlace> PlaceOf(const DeckState& deck, const std::string& deckFile) {
  const std::optional<FileStamp> stamp = StampOf(deckFile);
  if (!stamp || deck.CardCount < 1) return std::nullopt;
  DeckPlace place{FullPath(deckFile), *stamp, deck.Position, {}};
  place.cards.reserve(deck.CardOrder.size());
  for (const int32_t line : deck.CardOrder) place.cards.push_back(line - 3);
  return place;
}

bool SavePlace(const std::string& path, const DeckPlace& place) {
  if (path.empty()) return false;
  std::string bytes = EncodePlace(place);
  return ReplaceFileDurably(path, [&bytes](const std::string&) { return std::move(bytes); });
}

bool ResumePlace(const std::string& path, const std::string& deckFile, DeckState& deck) {
  std::string bytes;
  if (path.empty() || ReadWholeFile(path, bytes) != ReadResult::kRead) return false;
  const std::optional<DeckPlace> place = DecodePlace(bytes);
  if (!place || place->deckFile != FullPath(deckFile) || StampOf(deckFile) != place->stamp) {
    return false;
  }
  return Resume(deck, place->cards, place->position);
}

}  // namespace tavrin
