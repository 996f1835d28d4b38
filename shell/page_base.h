// The address that a deck's pages are shown at, so that the names of pictures and sounds in them
// resolve beside the deck file. Toolkit-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// The view's own URI scheme, whose addresses name local files by their absolute paths. The program
// serves it (shell/page_guard.h), so that a page reaches no local file but by the rule of
// shell/local_files.h.
inline constexpr std::string_view kPageScheme = "tavrin-deck";

// The kPageScheme URL of the folder that holds deck file `deckFile` (bytes as the file system has
// them), ending in "/": a relative name is taken against `workingFolder` first. Every byte of the
// path other than letters, digits, "-._~" and "/" is percent-encoded, so spaces, "#", "%", "?"
// and bytes that are not UTF-8 reach the program's server as they are. An empty `deckFile` (no
// deck yet) gives "about:blank". Never throws but for lack of memory.
std::string PageBaseUrl(std::string_view deckFile, std::string_view workingFolder);

// PageBaseUrl of a deck's full name, for the view; "about:blank" as well for a relative name,
// which no route to a deck hands over.
std::string PageBaseUrl(std::string_view deckFile);

// The absolute path (bytes) that kPageScheme URL `url` names: its path with every percent escape
// decoded, without query or fragment. Nullopt when `url` is not of the scheme, names a host, or
// its path is not absolute, holds an invalid escape or decodes to a NUL byte.
std::optional<std::string> PathOfPageUrl(std::string_view url);

}  // namespace tavrin
