// PieceWriter, which writes a result of many short pieces into a string front to back, sixteen
// bytes at a time where it can. For the text unit's replace (text.cpp); no other unit includes it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin {

// Sixteen bytes held in a register.
#if defined(__SSE2__)
using Sixteen = __m128i;
inline Sixteen LoadSixteen(const char* data) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}
inline void StoreSixteen(char* to, Sixteen bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
}
#else
struct Sixteen {
  char bytes[16];
};
inline Sixteen LoadSixteen(const char* data) {
  Sixteen s;
  std::memcpy(s.bytes, data, 16);
  return s;
}
inline void StoreSixteen(char* to, Sixteen bytes) {
  std::memcpy(to, bytes.bytes, 16);
}
#endif

// Writes a result front to back into a string through a plain pointer, for results made of many
// short pieces, where a call of append per piece costs more than the bytes it moves. The string's
// length grows a stretch at a time, so the zeros that growing writes are still in the cache when
// the pieces overwrite them; Finish cuts off what was not written.
//
// Pieces go through a Room, a pair of pointers that the writing loop keeps as a local variable:
// a byte stored through a char pointer could be any variable in memory, so pointers kept in an
// object that other code can see would be loaded again after every piece.
class PieceWriter {
 public:
  struct Room {
    char* at;   // where the next piece goes
    char* end;  // end of the string's current length
  };

  // Empties `out` and makes room for `most` bytes, the result's largest possible size.
  PieceWriter(std::string& out, std::size_t most) : out_(out) {
    out_.clear();
    ReserveFresh(out_, most + kSlack);
    room_ = Take(0);
  }

  Room Open() const { return room_; }
  void Close(Room room) { room_ = room; }

  // Appends `n` bytes from `data`, of which at least `readable` may be read: a piece of up to 16
  // bytes is moved 16 bytes at once when that many can be read.
  void Put(Room& room, const char* data, std::size_t n, std::size_t readable) {
    if (static_cast<std::size_t>(room.end - room.at) < n + kSlack) room = Grow(room, n);
    if (n <= 16 && readable >= 16) {
      StoreSixteen(room.at, LoadSixteen(data));
    } else {
      std::memcpy(room.at, data, n);
    }
    room.at += n;
  }

  static constexpr std::size_t kSlack = 16;  // written past the end by a 16-byte move

  // Appends the first `n` (at most 16) of `bytes` by storing all 16; `room` must have n + kSlack
  // bytes to spare.
  static void PutShort(Room& room, Sixteen bytes, std::size_t n) {
    StoreSixteen(room.at, bytes);
    room.at += n;
  }

  // Appends `piece` after what was closed last.
  void Put(std::string_view piece) {
    Room room = Open();
    Put(room, piece.data(), piece.size(), piece.size());
    Close(room);
  }

  // Gives the string the length of what was written.
  void Finish() { out_.resize(static_cast<std::size_t>(room_.at - out_.data())); }

 private:
  static constexpr std::size_t kStretch = 64 * 1024;

  Room Grow(Room room, std::size_t n) {
    const auto used = static_cast<std::size_t>(room.at - out_.data());
    // Within the room reserved where it suffices: past it, resize would move the string.
    out_.resize(std::max(used + n + kSlack, std::min(out_.capacity(), used + kStretch)));
    return Take(used);
  }
  Room Take(std::size_t used) { return {out_.data() + used, out_.data() + out_.size()}; }

  std::string& out_;
  Room room_{};
};

}  // namespace tavrin
