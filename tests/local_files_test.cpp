// Which local files a deck's page may load, by name and place.
#include "shell/local_files.h"

#include <gtest/gtest.h>

namespace {

using tavrin::FileKind;

TEST(LocalFilesTest, PicturesSoundAndVideoFromAnywhereCodeOnlyFromTheDecksFolder) {
  struct Case {
    const char* file;
    const char* deckFolder;
    bool mayLoad;
  };
  const Case cases[] = {
      // Beside the deck and below it, every kind that a card shows.
      {"/d/cat.png", "/d", true},
      {"/d/sub/meow.WAV", "/d", true},
      {"/d/a b/#1/50%/clip.webm", "/d", true},
      {"/d/fonts/x.woff2", "/d", true},
      {"/d/look.css", "/d", true},
      {"/d/lib/app.js", "/d", true},
      {"/d/\x93\xfa\x96\x7b/run.mjs", "/d", true},
      // Pictures, sound and video by absolute path, anywhere.
      {"/home/me/pics/dog.jpeg", "/d", true},
      {"/home/me/song.mp3", "/d", true},
      // No other file, whatever element asks: the name decides the kind.
      {"/d/credentials.txt", "/d", false},
      {"/d/deck", "/d", false},
      {"/d/.js", "/d", false},
      {"/d/page.html", "/d", false},
      {"/home/me/.env", "/d", false},
      {"/home/me/.ssh/id_rsa", "/d", false},
      {"/etc/os-release", "/d", false},
      // Code, styles and fonts outside the deck's folder.
      {"/home/me/notes.js", "/d", false},
      {"/dx/app.js", "/d", false},
      {"/look.css", "/d", false},
      {"/d", "/d", false},
      {"/d/", "/d", false},
      // Paths that are not plain are refused, even for a picture.
      {"/d/../home/me/x.js", "/d", false},
      {"/d/./x.js", "/d", false},
      {"/d//x.js", "/d", false},
      {"/d/../x.png", "/d", false},
      {"d/x.png", "/d", false},
      {"", "/d", false},
      // A deck folder that could not be found lets no code load; the root lets all below it.
      {"/d/app.js", "", false},
      {"/d/app.js", "/d/../d", false},
      {"/d/app.js", "/", true},
      {"/d/cat.png", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tavrin::MayLoad(c.file, c.deckFolder), c.mayLoad)
        << c.file << " for a deck in " << c.deckFolder;
  }
}

TEST(LocalFilesTest, TypeOfNameIsTheLastComponentsExtensionInAnyCase) {
  struct Case {
    const char* name;
    FileKind kind;
    const char* contentType;
  };
  const Case cases[] = {
      {"a.PNG", FileKind::kPicture, "image/png"},
      {"/x.y/a.Jpg", FileKind::kPicture, "image/jpeg"},
      {"a.svg", FileKind::kPicture, "image/svg+xml"},
      {"a.ogg", FileKind::kSound, "audio/ogg"},
      {"a.mp4", FileKind::kVideo, "video/mp4"},
      {"a.ttf", FileKind::kFont, "font/ttf"},
      {"a.css", FileKind::kStyle, "text/css"},
      {"a.min.js", FileKind::kScript, "text/javascript"},
      {"/x.js/readme", FileKind::kNone, ""},
      {"a.js.txt", FileKind::kNone, ""},
      {"a.", FileKind::kNone, ""},
      {".css", FileKind::kNone, ""},
      {"a.jsx", FileKind::kNone, ""},
  };
  for (const Case& c : cases) {
    const tavrin::FileType type = tavrin::TypeOfName(c.name);
    EXPECT_EQ(type.kind, c.kind) << c.name;
    EXPECT_STREQ(type.contentType, c.contentType) << c.name;
  }
}

}  // namespace
