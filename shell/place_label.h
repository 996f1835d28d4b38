// The place line in the window: a plain label in the button row, in the buttons' font, that no key
// reaches and Tab passes by. What it says comes from PlaceLineFor; here it is measured and given
// the room the buttons leave.
#pragma once

#include <string>

#include "shell/controls.h"
#include "shell/place_line.h"

class wxStaticText;
class wxWindow;
class wxFont;

namespace tavrin {

class PlaceLabel {
 public:
  // Makes the label on `parent`, empty. Never throws but for lack of memory.
  PlaceLabel(wxWindow* parent, const wxFont& font);

  // Takes the texts for `deck` as it is shown now (`resumed` as for PlaceLineFor), and the deck's
  // full path for the tooltip. Reads the deck file's first bytes when it shows nothing, to say why.
  // Returns whether the texts changed, and so the label wants arranging again.
  bool Update(const DeckState& deck, bool resumed);

  // Gives the label room in `layout` (ArrangedBounds for buttons `buttonWidth` wide), with the
  // deck's name where it fits, and places it there; hidden where not even its place fits.
  void Arrange(ControlBounds& layout, int buttonWidth);

  wxStaticText* Label() const { return label_; }
  const PlaceLineTexts& Texts() const { return texts_; }

 private:
  wxStaticText* label_;
  PlaceLineTexts texts_;
  std::string tipFile_;  // the deck whose path the tooltip shows
};

}  // namespace tavrin
