// Pictures and sound beside a deck, in a real window: decks in folders whose names need
// percent-encoding, or are no UTF-8, show a picture named relative to the deck, one by absolute
// path or file URL, and a sound whose metadata loads, each seen by the page itself.
#include <gtest/gtest.h>

#include <cstdint>
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
#include "window_test.h"

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

// `samples` (2,400 by default: 0.3 s) of a square wave, 8-bit mono at 8,000 samples a second,
// as a WAV file.
void WriteWav(const std::string& path, uint32_t samples = 2400) {
  std::string wav("RIFF....WAVEfmt \x10\0\0\0\1\0\1\0\x40\x1f\0\0\x40\x1f\0\0\1\0\x08\0data....",
                  44);
  auto put = [&wav](std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) wav[at + i] = static_cast<char>(value >> (8 * i));
  };
  put(4, 36 + samples);
  put(40, samples);
  for (uint32_t i = 0; i < samples; ++i) wav.push_back(i / 9 % 2 ? '\xA0' : '\x60');
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

// A deck of one card in a scratch folder, shown in the window; the page is read back by script.
class PageTest : public gui::WindowTest {
 protected:
  void Open(const std::string& header, const std::string& card) {
    WriteWav(scratch_ / "tone.wav", 8000 * 20);
    Start(WriteFile(scratch_ / "deck.txt", "|\n" + header + "\nTitle\n" + card + "\n"));
  }
  // Presses `button` as a click does, then waits until the page has element `id` (none: none
  // of `gone`) and has loaded.
  void Click(wxButton* button, const std::string& id, const std::string& gone = "") {
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    button->GetEventHandler()->ProcessEvent(click);
    const std::string test = id.empty() ? "!document.getElementById('" + gone + "')"
                                        : "!!document.getElementById('" + id + "')";
    EXPECT_TRUE(gui::PumpUntil([&] { return Eval(test) == "true" && !View().IsBusy(); })) << test;
  }
  // Waits until `expression` is "true" in the page.
  void ExpectSoon(const std::string& expression) {
    EXPECT_TRUE(
        gui::PumpUntil([&] { return Eval(expression) == "true"; }, std::chrono::seconds(20)))
        << expression << "; page at " << Eval("[scrollY, innerHeight, document.body.scrollHeight]");
  }
  std::string Eval(const std::string& expression) { return Evaluate(View(), expression); }
  wxWebView& View() { return *form_->WebBrowser1; }

  ScratchFolder scratch_{"tavrin-page"};
};

constexpr char kAtTop[] = "scrollY === 0";
constexpr char kAtEnd[] = "Math.abs(scrollY + innerHeight - document.body.scrollHeight) <= 1";
std::string TopIsAtViewTop(const std::string& id) {
  return "Math.abs(document.getElementById('" + id + "').getBoundingClientRect().top) <= 1";
}

TEST_F(PageTest, RevealedFieldComesIntoViewAndPageKeysScrollFromTheButtons) {
  Open("InnerHead=<section>|InnerFoot=</section>",
       "<div id=one style=height:3000px>1</div>|<div id=two style=height:3000px>2</div>"
       "|<div id=three>3</div>");
  Click(form_->BitBtnOK, "one");
  ExpectSoon(kAtTop);
  Click(form_->BitBtnOK, "two");
  ExpectSoon(TopIsAtViewTop("two"));
  Click(form_->BitBtnOK, "three");  // too short to reach the top: the page's end shows
  ExpectSoon(kAtEnd);

  // Page keys on a button scroll the page and leave the focus where it is.
  form_->BitBtnOK->SetFocus();
  const struct {
    int key;
    std::string where;
  } rows[] = {
      {WXK_HOME, kAtTop},
      {WXK_PAGEDOWN, "Math.abs(scrollY - 0.875 * innerHeight) <= 1"},
      {WXK_END, kAtEnd},
      {WXK_PAGEUP, "Math.abs(scrollY + 1.875 * innerHeight - document.body.scrollHeight) <= 1"},
  };
  for (const auto& row : rows) {
    gui::Type(row.key);
    ExpectSoon(row.where);
    EXPECT_EQ(Focus(), form_->BitBtnOK);
  }
  Click(form_->BitBtnZ, "", "two");  // Back opens the card at its first field, at the top
  ExpectSoon(kAtTop);
}

TEST_F(PageTest, AutoplaySoundPlaysWithItsFieldAndAltPOrPReplaysIt) {
  Open("", "<b id=front>front</b>|<audio id=sound autoplay src=tone.wav></audio>");
  Click(form_->BitBtnOK, "front");
  Click(form_->BitBtnOK, "sound");
  // Played 3 s, then replayed: back under 2 s however slowly the page is read.
  const std::string playing = "!sound.paused && !sound.muted && sound.volume > 0";
  ExpectSoon(playing + " && sound.currentTime > 3");
  gui::Type('P', wxMOD_ALT);
  ExpectSoon(playing + " && sound.currentTime < 2");
  ExpectSoon("sound.currentTime > 3");
  form_->BitBtnOK->SetFocus();
  gui::Type('P');
  ExpectSoon(playing + " && sound.currentTime < 2");
}

}  // namespace
