// The address that a deck's pages are shown at, so that the names of pictures and sounds in them
// resolve beside the deck file. Toolkit-free.
#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// The file:// URL of the folder that holds deck file `deckFile` (bytes as the file system has
// them), ending in "/": a relative name is taken against `workingFolder` first. Every byte of the
// path other than letters, digits, "-._~" and "/" is percent-encoded, so spaces, "#", "%", "?"
// and bytes that are not UTF-8 reach the file system as they are. An empty `deckFile` (no deck
// yet) gives "about:blank". Never throws but for lack of memory.
std::string PageBaseUrl(std::string_view deckFile, std::string_view workingFolder);

// PageBaseUrl of a deck's full name, for the view: a folder whose path is not UTF-8 is given as
// /proc/PID/fd/N of a descriptor of it that the process keeps open until the next such folder,
// since the view refuses a page at a file address that does not decode to UTF-8. "about:blank" as
// well for a relative name, which no route to a deck hands over.
std::string PageBaseUrl(std::string_view deckFile);

}  // namespace tavrin
