// The HTML view: the page area of the main window. Every page reaches it through ShowHtml, which
// makes the given HTML text the view's whole document at the address it is given: "about:blank",
// or for a deck's pages the deck's folder.
// The raw platform plumbing of the view (keys it leaves, focus, drops on the page area) is in
// shell/native_view.h.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <wx/string.h>

#include "shell/keyboard.h"
#include "shell/page_base.h"

class wxWebView;
class wxWindow;

namespace tavrin {

// Unicode text of `bytes` read in `codePage`: 932 reads Shift-JIS as Windows code page 932, any
// other value reads UTF-8. Every byte, or run of bytes, that forms no character becomes one
// U+FFFD; the rest of the text is converted all the same. Linear in the length of `bytes`. Never
// throws.
wxString DecodeText(std::string_view bytes, int codePage);

// The page shown before any deck, written in ASCII.
extern const char kAboutPage[];

// Makes the view as a child of `parent` and returns it. Throws Error "HTML ビューを作成できません"
// when the platform cannot make it.
wxWebView* MakeHtmlView(wxWindow* parent);

// What MakeHtmlView uses to make the view; a null result means that it cannot be made.
using HtmlViewFactory = std::function<wxWebView*(wxWindow* parent)>;
// Replaces the factory (an empty function restores the platform's own) and returns the previous.
// Tests use it to refuse the view.
HtmlViewFactory SetHtmlViewFactory(HtmlViewFactory factory);

// Starts replacing whatever the view shows by an empty document at "about:blank" and returns at
// once. Never throws.
void ShowBlankPage(wxWebView& view);

// Makes `html`, bytes in `codePage` (see DecodeText), the view's whole document at `baseUrl`
// (ASCII; "about:blank", or a deck folder's PageBaseUrl so that its pictures and sounds load,
// served by the view itself under the rule of shell/page_guard.h).
// It hands the page over and returns without waiting for the view, so no event is handled inside
// it; of several pages handed over in quick succession the view ends with the last. The page shows
// from its top, or from `revealedFieldStart`, the offset in `html` of the field that it reveals,
// once loaded (see PageLoaded). Never throws.
void ShowHtml(wxWebView& view, std::string_view html, int codePage, const std::string& baseUrl,
              std::size_t revealedFieldStart = std::string_view::npos);

// What the view shows instead of a page that keeps ending its web process, written in ASCII.
extern const char kEndedPageNotice[];

// Hands the view once more the last page that ShowHtml handed it, at the same address, or an empty
// document when there was none, as a view whose web process ended needs. A page that ends it again
// within ten seconds of being handed over again is not handed over a third time: the view gets
// kEndedPageNotice instead, until ShowHtml hands it a page. Never throws.
void ShowHtmlAgain(wxWebView& view);

// ShowHtml of kAboutPage at "about:blank".
void ShowAboutPage(wxWebView& view);

// For the view's wxEVT_WEBVIEW_LOADED: once the last page handed over has loaded, scrolls it to the
// field that it reveals, the first time only, and starts its autoplay media with their sound. A
// load that ends while a later page is on its way does nothing. Never throws.
void PageLoaded(wxWebView& view);

// Plays every sound and video of the page shown again from its start. Never throws.
void ReplayMedia(wxWebView& view);

// Scrolls the page shown as the page key of `how` does (see PageKeyScript). Never throws.
void ScrollPage(wxWebView& view, KeyEffect how);

}  // namespace tavrin
