#include "shell/page_base.h"

namespace tavrin {

namespace {

constexpr std::string_view kBlank = "about:blank";

bool IsKeptAsIs(unsigned char b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
         b == '.' || b == '_' || b == '~' || b == '/';
}

// Appends `path` to `url` (which ends in ":///" or more) percent-encoded, each run of
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

// The value of hexadecimal digit `c`, or -1.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string FolderUrl(std::string_view folder) {
  std::string url(kPageScheme);
  url += ":///";
  url.reserve(url.size() + 3 * folder.size() + 1);
  AppendPath(folder, url);
  if (url.back() != '/') url.push_back('/');
  return url;
}

}  // namespace

std::string PageBaseUrl(std::string_view deckFile, std::string_view workingFolder) {
  if (deckFile.empty()) return std::string(kBlank);
  return FolderUrl(AbsoluteFolder(deckFile, workingFolder));
}

std::string PageBaseUrl(std::string_view deckFile) {
  // No deck yet; every route to a deck hands it over as a full name.
  if (!deckFile.starts_with('/')) return std::string(kBlank);
  return FolderUrl(AbsoluteFolder(deckFile, ""));
}

std::optional<std::string> PathOfPageUrl(std::string_view url) {
  if (!url.starts_with(kPageScheme) || url.substr(kPageScheme.size(), 3) != "://") return {};
  url.remove_prefix(kPageScheme.size() + 3);
  url = url.substr(0, url.find_first_of("?#"));
  if (!url.starts_with('/')) return {};  // a host, or nothing
  std::string path;
  path.reserve(url.size());
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url[i] != '%') {
      path.push_back(url[i]);
      continue;
    }
    const int high = i + 2 < url.size() ? HexValue(url[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(url[i + 2]) : -1;
    if (low < 0 || (high == 0 && low == 0)) return {};
    path.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return path;
}

}  // namespace tavrin
