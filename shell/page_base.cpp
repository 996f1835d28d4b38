#include "shell/page_base.h"

#include <fcntl.h>
#include <unistd.h>

#include "engine/utf8.h"

namespace tavrin {

namespace {

constexpr std::string_view kBlank = "about:blank";

bool IsKeptAsIs(unsigned char b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
         b == '.' || b == '_' || b == '~' || b == '/';
}

// Appends `path` to `url` (which ends in "file://" or more) percent-encoded, each run of
// slashes written as one.
void AppendPath(std::string_view path, std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '/' && url.back() == '/') continue;
    if (IsKeptAsIs(b)) {
      url.push_back(c);
    } else {
      url.push_back('%');
      url.push_back(kHex[b >> 4]);
      url.push_back(kHex[b & 0xF]);
    }
  }
}

// The folder part of `deckFile` (everything before its last slash) made absolute against
// `workingFolder`.
std::string AbsoluteFolder(std::string_view deckFile, std::string_view workingFolder) {
  const std::size_t slash = deckFile.rfind('/');
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : deckFile.substr(0, slash);
  if (deckFile.starts_with('/')) return std::string(folder);
  std::string path(workingFolder);
  path.push_back('/');
  path.append(folder);
  return path;
}

std::string FolderUrl(std::string_view folder) {
  std::string url = "file:///";
  url.reserve(url.size() + 3 * folder.size() + 1);
  AppendPath(folder, url);
  if (url.back() != '/') url.push_back('/');
  return url;
}

// WebKit refuses to show a page whose file address does not decode to UTF-8, although it loads
// the files. Such a folder is named through a descriptor of it that this process holds open
// (until the next such folder): /proc/PID/fd/N is the same folder for the view's processes,
// which run as the same user. O_PATH opens it even without read permission. The folder as it
// is when it cannot be opened.
std::string FolderForTheView(const std::string& folder) {
  if (IsValidUtf8(folder)) return folder;
  static std::string heldFolder;
  static int held = -1;
  if (folder != heldFolder) {
    if (held >= 0) ::close(held);
    held = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    heldFolder = held >= 0 ? folder : std::string();
  }
  if (held < 0) return folder;
  return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(held);
}

}  // namespace

std::string PageBaseUrl(std::string_view deckFile, std::string_view workingFolder) {
  if (deckFile.empty()) return std::string(kBlank);
  return FolderUrl(AbsoluteFolder(deckFile, workingFolder));
}

std::string PageBaseUrl(std::string_view deckFile) {
  // No deck yet; every route to a deck hands it over as a full name.
  if (!deckFile.starts_with('/')) return std::string(kBlank);
  return FolderUrl(FolderForTheView(AbsoluteFolder(deckFile, "")));
}

}  // namespace tavrin
