// Tavrin's own scripts in the page that the view shows: scrolling to the field just revealed,
// scrolling by the page keys, and playing the page's sound. They run in a script world of their
// own, which shares the page's document but not its script objects, so that a deck's script can
// neither see them nor change what they call.
#pragma once

#include <string>

#include <wx/string.h>

#include "shell/keyboard.h"

class wxWebView;

namespace tavrin {

// `text` as a JavaScript string literal in double quotes, in UTF-8: backslash, quote, control
// characters, line and paragraph separators and lone surrogates escaped. Linear. Never throws.
std::string ScriptString(const wxString& text);

// The script that scrolls the page so that what follows `prefix`, the page's text up to the start
// of the field just revealed, is at the top of the view, or the page's end is in view. It finds
// that place by parsing `prefix` apart from the page, so the page itself stays as the deck made it.
std::string ScrollToFieldScript(const wxString& prefix);

// The script that starts the page's autoplay media that wait, with their sound.
std::string AutoplayScript();

// The script that plays every sound and video of the page again from its start.
std::string ReplayScript();

// The script that scrolls the page as a page key does: `how` is kPageUp, kPageDown, kPageTop or
// kPageEnd; anything else gives an empty script.
std::string PageKeyScript(KeyEffect how);

// Starts `script` (UTF-8) in the page that `view` shows, in Tavrin's script world, as a gesture of
// the user (so that media may play with sound), and returns at once; its result is dropped. Does
// nothing for a view without a platform widget. Never throws.
void RunPageScript(wxWebView& view, const std::string& script);

// Whether `view` is still loading a page: a load that ends while another is on its way is not the
// one that was handed over last. False for a view without a platform widget. Never throws.
bool IsLoadingPage(wxWebView& view);

}  // namespace tavrin
