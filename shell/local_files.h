// Which local file a deck's page may load, and as what: the rule that the view's server applies to
// every file that a page names. Toolkit-free.
#pragma once

#include <string_view>

namespace tavrin {

// What a file is, by its name.
enum class FileKind { kNone, kPicture, kSound, kVideo, kFont, kStyle, kScript };

struct FileType {
  FileKind kind;
  const char* contentType;  // the MIME type it is served as; "" for kNone
};

// The type of a file named `name` (a path or a bare name), by the extension of its last component,
// in any case: kNone when it has none or one that no card shows.
FileType TypeOfName(std::string_view name);

// Whether a page of the deck in `deckFolder` may load `file`: pictures, sound and video from
// anywhere, fonts, stylesheets and scripts only from `deckFolder` and the folders below it, and
// nothing else. Both are absolute paths with every link resolved, `deckFolder` without a final "/"
// unless it is the root; a path with an empty, "." or ".." component is refused, whatever its name,
// and a `deckFolder` that is not such a path (empty: the folder cannot be found) lets no font,
// stylesheet or script load.
bool MayLoad(std::string_view file, std::string_view deckFolder);

}  // namespace tavrin
