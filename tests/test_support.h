// Scratch folders, whole-file reads and writes, and the double-byte rule guard, shared by every
// test (engine, settings, tavrin-deck and the window tests). Toolkit-free.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

#include "engine/double_byte.h"

namespace tavrin::testing_support {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object goes;
// folders inside that a test made unreadable are opened up first so that they can go too.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix = "tavrin-test") {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
    path_ = pattern;
    ::chmod(path_.c_str(), 0755);  // a child running as another user must reach the files
  }
  ~ScratchFolder() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole file at `path` as bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file at `path` by `bytes` and returns `path`.
inline std::string WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

// Sets the engine's double-byte rule for the guard's life and puts back the one before.
class CodePageGuard {
 public:
  explicit CodePageGuard(int codePage) : saved_(DoubleByteCodePage()) {
    SetDoubleByteCodePage(codePage);
  }
  ~CodePageGuard() { SetDoubleByteCodePage(saved_); }
  CodePageGuard(const CodePageGuard&) = delete;
  CodePageGuard& operator=(const CodePageGuard&) = delete;

 private:
  int saved_;
};

}  // namespace tavrin::testing_support
