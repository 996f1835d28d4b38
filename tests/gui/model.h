// The deck engine driven alone beside the window, as the window drives it: the pages that the
// window must show for the same steps. Shared by the window tests and the soak.
#pragma once

#include <string>

#include <wx/string.h>

#include "engine/deck.h"
#include "engine/error.h"
#include "engine/navigation.h"
#include "shell/html_view.h"

namespace gui {

class Model {
 public:
  Model() {
    deck_.StartWith(tavrin::kDefaultStartupTemplates);
    deck_.ShowHtml = [this](const std::string& html) {
      page_ = html;
      ++pages_;
    };
    deck_.MakeLists();
  }
  // Loads `deckFile` at once; an error of the load passes through.
  explicit Model(const std::string& deckFile) : Model() { tavrin::LoadDeck(deck_, deckFile); }

  // Loads a further deck, which inherits the settings that its header leaves out. Returns the
  // message of the error that the load raises; empty when there is none.
  std::string Load(const std::string& deckFile) {
    try {
      tavrin::LoadDeck(deck_, deckFile);
    } catch (const tavrin::Error& e) {
      return e.what();
    }
    return {};
  }
  void Ok() { tavrin::Ok(deck_); }
  void Back() { tavrin::Back(deck_); }
  void Shuffle() { tavrin::Shuffle(deck_); }
  // The last page handed over, as the view reads it, and as bytes; and how many were handed over.
  wxString Page() const { return tavrin::DecodeText(page_, deck_.CodePage); }
  const std::string& Bytes() const { return page_; }
  long Pages() const { return pages_; }

 private:
  tavrin::DeckState deck_;
  std::string page_;
  long pages_ = 0;
};

}  // namespace gui
