// Pictures and sound beside a deck, in a real window: decks in folders whose names need
// percent-encoding, or are no UTF-8, show a picture named relative to the deck, one by absolute
// path or file URL, and a sound whose metadata loads, each seen by the page itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/webview.h>

#include "gui_harness.h"
#include "shell/Main.h"
#include "shell/open_deck.h"
#include "shell/page_base.h"
#include "tests/test_support.h"

namespace {

using tavrin::testing_support::ScratchFolder;
using tavrin::testing_support::WriteFile;

// A black picture `width` pixels wide as a PNG file.
void WritePng(const std::string& path, int width) {
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
  wxMemoryOutputStream png;
  wxImage(width, 1).SaveFile(png, wxBITMAP_TYPE_PNG);
  std::string bytes(png.GetLength(), '\0');
  png.CopyTo(bytes.data(), bytes.size());
  WriteFile(path, bytes);
}

// 0.3 s of a square wave, 8-bit mono at 8,000 samples a second, as a WAV file.
void WriteWav(const std::string& path) {
  std::string wav(
      "RIFF\x84\x09\0\0WAVEfmt "
      "\x10\0\0\0\1\0\1\0\x40\x1f\0\0\x40\x1f\0\0\1\0\x08\0data\x60\x09\0\0",
      44);
  for (int i = 0; i < 2400; ++i) wav.push_back(i / 9 % 2 ? '\xA0' : '\x60');
  WriteFile(path, wav);
}

// The value of `expression` in the page, as text; empty when the script fails.
std::string Evaluate(wxWebView& view, const std::string& expression) {
  wxLogNull quiet;  // a page still on its way has no such elements yet
  wxString result;
  if (!view.RunScript("String(" + expression + ")", &result)) return {};
  return result.utf8_string();
}

// Writes a deck into `folder` with a picture and a sound beside it, which names `farPicture` by
// absolute path or URL; its page colours itself when the sound's metadata has loaded. Returns its
// path.
std::string WriteDeck(const std::string& folder, const std::string& farPicture) {
  std::filesystem::create_directories(folder);
  WritePng(folder + "/cat.png", 3);
  WriteWav(folder + "/meow.wav");
  return WriteFile(folder + "/deck.txt",
                   "|\nCommentIntroducer=@@\n<img id=near src=\"cat.png\"><img id=far src=\"" +
                       farPicture +
                       "\"><audio id=sound preload=auto src=\"meow.wav\" "
                       "onloadedmetadata=\"document.body.style.color='green'\" "
                       "onerror=\"document.body.style.color='red'\"></audio>\n");
}

// Both pictures are in, at their own widths, and the page saw the sound's metadata.
void ExpectMediaLoaded(wxWebView& view) {
  std::string seen;
  gui::PumpUntil(
      [&] {
        seen = Evaluate(view,
                        "[near.naturalWidth, far.naturalWidth, sound.duration > 0.2, "
                        "document.body.style.color]");
        return seen == "3,5,true,green";
      },
      std::chrono::seconds(30));
  EXPECT_EQ(seen, "3,5,true,green") << view.GetCurrentURL();
}

TEST(MediaTest, PicturesAndSoundLoadBesideTheDeckAndByAbsolutePath) {
  std::filesystem::remove(gui::SettingsPath());
  ScratchFolder scratch("tavrin-media");
  const std::string elsewhere = scratch / "pictures";
  std::filesystem::create_directories(elsewhere);
  WritePng(elsewhere + "/dog.png", 5);
  // Shift-JIS 日本, which is no UTF-8; then space, "#", "%", "?" and UTF-8 日本, with the far
  // picture as a file URL.
  const std::string first = WriteDeck(scratch / "\x93\xfa\x96\x7b", elsewhere + "/dog.png");
  const std::string second = WriteDeck(scratch / "my cards #2 50% why? \xe6\x97\xa5\xe6\x9c\xac",
                                       "file://" + elsewhere + "/dog.png");

  tavrin::SetOpenDialogAnswer([&](const std::string&) { return second; });
  wxWeakRef<TForm1> form = gui::StartWithArgument(first);
  ASSERT_TRUE(form);
  wxWebView& view = *form->WebBrowser1;
  ASSERT_TRUE(gui::PumpUntil([&] { return form->Deck().DeckFile == first; }));
  ExpectMediaLoaded(view);

  wxCommandEvent open(wxEVT_BUTTON, form->ButtonO->GetId());
  form->ButtonO->GetEventHandler()->ProcessEvent(open);
  // The old page has the same elements: wait for the new one's address first.
  const std::string url = tavrin::PageBaseUrl(second);
  EXPECT_TRUE(gui::PumpUntil([&] { return view.GetCurrentURL() == url && !view.IsBusy(); }))
      << view.GetCurrentURL();
  ExpectMediaLoaded(view);
  // Shown is not readable: the page's script cannot read the files beside it.
  EXPECT_EQ(
      Evaluate(view,
               "(() => { try { const r = new XMLHttpRequest(); r.open('GET', 'meow.wav', false);"
               " r.send(); return r.status + ' ' + r.responseText.length; }"
               " catch (e) { return 'refused'; } })()"),
      "refused");

  tavrin::SetOpenDialogAnswer({});
  form->Destroy();
  gui::PumpUntil([&] { return !form; });
  EXPECT_TRUE(gui::TakeMessageBoxes().empty());
}

}  // namespace
