// The look of the main window's buttons and of the window itself: the buttons' face and their
// pictures, and the program's icon, all from the artwork embedded in the program.
#pragma once

#include <wx/font.h>

#include "resources/artwork.h"

class wxButton;
class wxTopLevelWindow;
class wxWindow;

namespace tavrin {

// The buttons' font: "ＭＳ Ｐゴシック" (or, when it is not installed, the platform's nearest
// face for Japanese text), Shift-JIS, 9 points, that is 12 pixels at 96 dots per inch, so that it
// scales with the screen's resolution. Never throws.
wxFont ButtonFont();

// Gives `button` the buttons' font and the window-text colour. Never throws.
void SetButtonFace(wxWindow& button, const wxFont& font);

// The gap between a button's picture and its caption, in pixels.
inline constexpr int kPictureGap = 4;

// Gives `button` the picture `file` (a PNG), and `file2x` (the same at twice the size) for screens
// that scale by 2, left of its caption, kPictureGap pixels apart and centred together; olive
// pixels are transparent, and a greyed image serves the disabled state. A button too narrow for
// both clips its caption at its right edge; the picture keeps its place. A picture that cannot be
// read leaves the button as it was. Never throws.
void SetPicture(wxButton& button, const artwork::File& file, const artwork::File& file2x);

// Gives `window` the program's icon; an icon that cannot be read leaves it without. Never throws.
void SetProgramIcon(wxTopLevelWindow& window);

}  // namespace tavrin
