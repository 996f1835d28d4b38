// The address a deck's pages are shown at, from the deck file's name as bytes.
#include "shell/page_base.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(PageBaseUrlTest, IsTheDeckFoldersUrlWithEveryOtherBytePercentEncoded) {
  struct Case {
    const char* deckFile;
    const char* workingFolder;
    const char* url;
  };
  const Case cases[] = {
      {"", "/w", "about:blank"},
      {"/home/me/deck.txt", "/w", "tavrin-deck:///home/me/"},
      {"/deck.txt", "/w", "tavrin-deck:///"},
      {"deck.txt", "/home/me", "tavrin-deck:///home/me/"},
      {"sub/deck.txt", "/", "tavrin-deck:///sub/"},
      {"../decks/d.txt", "/home/me/", "tavrin-deck:///home/me/../decks/"},
      {"//srv//x///d.txt", "/w", "tavrin-deck:///srv/x/"},
      {"/a b/#1/50%/why?/d.txt", "/w", "tavrin-deck:///a%20b/%231/50%25/why%3F/"},
      {"/tmp/\x93\xfa\x96\x7b/d.txt", "/w", "tavrin-deck:///tmp/%93%FA%96%7B/"},
      {"x.txt", "/\xe7\x8c\xab;&+", "tavrin-deck:///%E7%8C%AB%3B%26%2B/"},
      {"/Az09-._~/d.txt", "/w", "tavrin-deck:///Az09-._~/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tavrin::PageBaseUrl(c.deckFile, c.workingFolder), c.url) << c.deckFile;
  }
  // The view's form takes full names only: a relative one is never guessed at.
  EXPECT_EQ(tavrin::PageBaseUrl("d.txt"), "about:blank");
  EXPECT_EQ(tavrin::PageBaseUrl("/d/x.txt"), "tavrin-deck:///d/");
}

TEST(PageBaseUrlTest, PathOfPageUrlDecodesEveryByteAndRefusesOtherAddresses) {
  struct Case {
    const char* url;
    std::optional<std::string> path;
  };
  const Case cases[] = {
      {"tavrin-deck:///a%20b/%231/50%25/why%3F/x.png", "/a b/#1/50%/why?/x.png"},
      {"tavrin-deck:///tmp/%93%fa%96%7B/", "/tmp/\x93\xfa\x96\x7b/"},
      {"tavrin-deck:///d/x.png?v=2#top", "/d/x.png"},
      {"tavrin-deck:///d/a%2F..%2F..%2Fx.js", "/d/a/../../x.js"},
      {"tavrin-deck://host/x.png", std::nullopt},
      {"tavrin-deck:x.png", std::nullopt},
      {"file:///d/x.png", std::nullopt},
      {"tavrin-deck:///d/%2", std::nullopt},
      {"tavrin-deck:///d/%zz", std::nullopt},
      {"tavrin-deck:///d/%00.png", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(tavrin::PathOfPageUrl(c.url), c.path) << c.url;
  // Every address that PageBaseUrl makes leads back to its folder.
  const char* folder = "/a b/\x93\xfa?#%/";
  EXPECT_EQ(tavrin::PathOfPageUrl(tavrin::PageBaseUrl(std::string(folder) + "d.txt", "/")), folder);
}

}  // namespace
