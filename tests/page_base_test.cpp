// The address a deck's pages are shown at, from the deck file's name as bytes.
#include "shell/page_base.h"

#include <gtest/gtest.h>

namespace {

TEST(PageBaseUrlTest, IsTheDeckFoldersFileUrlWithEveryOtherBytePercentEncoded) {
  struct Case {
    const char* deckFile;
    const char* workingFolder;
    const char* url;
  };
  const Case cases[] = {
      {"", "/w", "about:blank"},
      {"/home/me/deck.txt", "/w", "file:///home/me/"},
      {"/deck.txt", "/w", "file:///"},
      {"deck.txt", "/home/me", "file:///home/me/"},
      {"sub/deck.txt", "/", "file:///sub/"},
      {"../decks/d.txt", "/home/me/", "file:///home/me/../decks/"},
      {"//srv//x///d.txt", "/w", "file:///srv/x/"},
      {"/a b/#1/50%/why?/d.txt", "/w", "file:///a%20b/%231/50%25/why%3F/"},
      {"/tmp/\x93\xfa\x96\x7b/d.txt", "/w", "file:///tmp/%93%FA%96%7B/"},
      {"x.txt", "/\xe7\x8c\xab;&+", "file:///%E7%8C%AB%3B%26%2B/"},
      {"/Az09-._~/d.txt", "/w", "file:///Az09-._~/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tavrin::PageBaseUrl(c.deckFile, c.workingFolder), c.url) << c.deckFile;
  }
  // The view's form takes full names only: a relative one is never guessed at.
  EXPECT_EQ(tavrin::PageBaseUrl("d.txt"), "about:blank");
  EXPECT_EQ(tavrin::PageBaseUrl("/d/x.txt"), "file:///d/");
}

}  // namespace
