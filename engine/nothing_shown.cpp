#include "engine/nothing_shown.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "engine/utf16.h"

namespace tavrin {

NothingShown WhyNothingShown(const std::string& fileName) {
  // Text tools take a zero byte near the start for the mark of a binary file; so does this.
  char start[8000];
  ssize_t n = -1;
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    n = ::read(fd, start, sizeof start);
    ::close(fd);
  }
  if (n <= 0) return NothingShown::kTooFewLines;
  const std::string_view bytes(start, static_cast<std::size_t>(n));
  const bool binary = bytes.find('\0') != std::string_view::npos;
  return binary && EncodingOfStart(bytes) == TextEncoding::kBytes ? NothingShown::kNotText
                                                                  : NothingShown::kTooFewLines;
}

std::string NothingShownReason(NothingShown why, int32_t lineCount) {
  if (why == NothingShown::kNotText) return "the file is not text";
  return "the deck has " + std::to_string(lineCount) + (lineCount == 1 ? " line" : " lines") +
         ", but it needs at least three";
}

}  // namespace tavrin
