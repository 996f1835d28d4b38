// Helpers shared by the fuzz targets: a failure that stops the run at once, and a private
// scratch folder for the files that the targets write.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace tavrin::fuzz {

// Reports `what` and stops the process, so that both libFuzzer and the corpus replay see a crash
// and keep the input that caused it.
[[noreturn]] inline void Fail(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "\n%s:%d: invariant violated: %s\n", file, line, what.c_str());
  std::fflush(stderr);
  __builtin_trap();
}

#define FUZZ_CHECK(cond, what)                                                                 \
  do {                                                                                         \
    if (!(cond)) ::tavrin::fuzz::Fail(__FILE__, __LINE__, std::string(#cond) + ": " + (what)); \
  } while (0)

// A folder of its own for this process, removed when the process exits normally. Prefers a
// memory-backed folder, since the targets write files for every input.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string base;
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp == '/') {
      base = tmp;
    } else if (::access("/dev/shm", W_OK) == 0) {
      base = "/dev/shm";
    } else {
      base = "/tmp";
    }
    std::string pattern = base + "/tavrin-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    return pattern;
  }();
  static const struct Remover {
    ~Remover() {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    }
  } remover;
  return folder;
}

inline void WriteFileBytes(const std::string& path, const char* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
}

// Bytes shown as C string escapes, for messages.
inline std::string Escaped(const std::string& bytes, std::size_t limit = 200) {
  std::string out;
  char buf[8];
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  if (bytes.size() > limit) out += "...(" + std::to_string(bytes.size()) + " bytes)";
  return "\"" + out + "\"";
}

}  // namespace tavrin::fuzz
