#include "shell/place_label.h"

#include <utility>

#include <wx/stattext.h>
#include <wx/strconv.h>

#include "shell/durable_file.h"

namespace tavrin {

namespace {

// The texts hold the deck's file name, whose bytes need not be UTF-8; the file system's encoding
// keeps bytes that form no character.
wxString ToToolkit(const std::string& text) {
  return wxString(text.c_str(), *wxConvFileName);
}

}  // namespace

PlaceLabel::PlaceLabel(wxWindow* parent, const wxFont& font)
    : label_(new wxStaticText(parent, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                              wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END, "PlaceLine")) {
  label_->SetFont(font);
  label_->Hide();
}

bool PlaceLabel::Update(const DeckState& deck, bool resumed) {
  const bool showsNothing = !deck.DeckFile.empty() && deck.Lines.Count() < 3;
  PlaceLineTexts texts = PlaceLineFor(
      deck, resumed, showsNothing ? WhyNothingShown(deck.DeckFile) : NothingShown::kTooFewLines);
  // Most presses reveal a field and change nothing here; the window is left alone then, so that
  // the page loads without a new layout of the window beside it.
  if (deck.DeckFile != tipFile_) {
    tipFile_ = deck.DeckFile;
    label_->SetToolTip(tipFile_.empty() ? wxString() : ToToolkit(FullPath(tipFile_)));
  }
  if (texts.place == texts_.place && texts.withName == texts_.withName) return false;
  texts_ = std::move(texts);
  return true;
}

void PlaceLabel::Arrange(ControlBounds& layout, int buttonWidth) {
  // A pixel or two more than the text measures, so that the label never cuts its last letter.
  constexpr int kSlack = 2;
  const wxString withName = ToToolkit(texts_.withName);
  const wxString place = ToToolkit(texts_.place);
  const wxSize withNameSize = label_->GetTextExtent(withName);
  const int placeWidth = place.empty() ? 0 : label_->GetTextExtent(place).x + kSlack;
  const PlaceLineSlot slot =
      MakeRoomForPlaceLine(layout, buttonWidth, withName.empty() ? 0 : withNameSize.x + kSlack,
                           placeWidth, withNameSize.y + kSlack);
  if (slot.fit == PlaceLineFit::kNone) {
    label_->Hide();
    return;
  }
  // SetLabelText: an "&" in a file name is a letter, not a mnemonic.
  label_->SetLabelText(slot.fit == PlaceLineFit::kWithName ? withName : place);
  label_->SetSize(slot.bounds);
  label_->Show();
}

}  // namespace tavrin
