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

// Gives `button` the picture `file` (a PNG) left of its caption, 4 pixels apart, olive pixels
// transparent, with its greyed image for the disabled state. A picture that cannot be read leaves
// the button as it was. Never throws.
void SetPicture(wxButton& button, const artwork::File& file);

// Gives `window` the program's icon; an icon that cannot be read leaves it without. Never throws.
void SetProgramIcon(wxTopLevelWindow& window);

}  // namespace tavrin
