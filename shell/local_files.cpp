#include "shell/local_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace tavrin {

namespace {

struct Extension {
  std::string_view name;  // lower case, without the dot
  FileType type;
};

// The formats that the view shows or plays, and the fonts and code that pages use.
constexpr std::array kExtensions = {
    Extension{"png", {FileKind::kPicture, "image/png"}},
    Extension{"apng", {FileKind::kPicture, "image/apng"}},
    Extension{"jpg", {FileKind::kPicture, "image/jpeg"}},
    Extension{"jpeg", {FileKind::kPicture, "image/jpeg"}},
    Extension{"jfif", {FileKind::kPicture, "image/jpeg"}},
    Extension{"gif", {FileKind::kPicture, "image/gif"}},
    Extension{"webp", {FileKind::kPicture, "image/webp"}},
    Extension{"avif", {FileKind::kPicture, "image/avif"}},
    Extension{"bmp", {FileKind::kPicture, "image/bmp"}},
    Extension{"ico", {FileKind::kPicture, "image/x-icon"}},
    Extension{"svg", {FileKind::kPicture, "image/svg+xml"}},
    Extension{"wav", {FileKind::kSound, "audio/wav"}},
    Extension{"mp3", {FileKind::kSound, "audio/mpeg"}},
    Extension{"ogg", {FileKind::kSound, "audio/ogg"}},
    Extension{"oga", {FileKind::kSound, "audio/ogg"}},
    Extension{"opus", {FileKind::kSound, "audio/ogg"}},
    Extension{"m4a", {FileKind::kSound, "audio/mp4"}},
    Extension{"aac", {FileKind::kSound, "audio/aac"}},
    Extension{"flac", {FileKind::kSound, "audio/flac"}},
    Extension{"weba", {FileKind::kSound, "audio/webm"}},
    Extension{"mp4", {FileKind::kVideo, "video/mp4"}},
    Extension{"m4v", {FileKind::kVideo, "video/mp4"}},
    Extension{"webm", {FileKind::kVideo, "video/webm"}},
    Extension{"ogv", {FileKind::kVideo, "video/ogg"}},
    Extension{"mov", {FileKind::kVideo, "video/quicktime"}},
    Extension{"mkv", {FileKind::kVideo, "video/x-matroska"}},
    Extension{"woff", {FileKind::kFont, "font/woff"}},
    Extension{"woff2", {FileKind::kFont, "font/woff2"}},
    Extension{"ttf", {FileKind::kFont, "font/ttf"}},
    Extension{"otf", {FileKind::kFont, "font/otf"}},
    Extension{"css", {FileKind::kStyle, "text/css"}},
    Extension{"js", {FileKind::kScript, "text/javascript"}},
    Extension{"mjs", {FileKind::kScript, "text/javascript"}},
};

// Whether every component of absolute path `path` is a name: none empty, "." or "..".
bool IsPlainAbsolute(std::string_view path) {
  if (!path.starts_with('/')) return false;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

FileType TypeOfName(std::string_view name) {
  name = name.substr(name.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  // A name that is only an extension (".js") is a hidden file, not a script.
  if (dot == std::string_view::npos || dot == 0) return {FileKind::kNone, ""};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const Extension& known : kExtensions) {
    if (known.name == extension) return known.type;
  }
  return {FileKind::kNone, ""};
}

bool MayLoad(std::string_view file, std::string_view deckFolder) {
  if (!IsPlainAbsolute(file)) return false;
  switch (TypeOfName(file).kind) {
    case FileKind::kPicture:
    case FileKind::kSound:
    case FileKind::kVideo:
      return true;
    case FileKind::kFont:
    case FileKind::kStyle:
    case FileKind::kScript:
      if (deckFolder == "/") return true;
      return IsPlainAbsolute(deckFolder) && file.size() > deckFolder.size() + 1 &&
             file.starts_with(deckFolder) && file[deckFolder.size()] == '/';
    case FileKind::kNone:
      break;
  }
  return false;
}

}  // namespace tavrin
