// The view as a place where a deck's page shows what it likes and reaches nothing else: it loads
// local files only by the rule of shell/local_files.h, downloads nothing, keeps no website data on
// disk and stays in its window. Every raw WebKit call of that is made here.
#pragma once

#include <string>

class wxWebView;

namespace tavrin {

// Makes every platform view made from now on, and the context WebKit makes for the first, keep
// website data (local storage, databases, cache, salts, HSTS) in memory only, so that nothing of
// a page's outlives the view and nothing is written at start; and hold the pages' security policy
// as their own, so that a page is handed over whole. Never throws.
void KeepNextViewsEphemeral();

// Guards `view`, which a platform view must be, once, before its first page:
// - its context serves kPageScheme (shell/page_base.h): the address ShowDeckPage gives gets that
//   page, with a policy that lets scripts, styles and fonts come from anywhere but local files and
//   lets pictures, sound and video come from file: addresses too; any other address gets the file
//   it names when MayLoad allows it for the page's deck folder (links resolved), as its type,
//   never to be taken as another type nor read by the page's script; anything else is refused;
// - every download is cancelled before it creates a file;
// - local storage, databases and the disk cache are off;
// - requests to fill the screen are refused.
// A view without a platform widget is left as it is. Never throws.
void GuardView(wxWebView& view);

// Starts showing `html` (UTF-8) as the page at `pageUrl`, a PageBaseUrl of a deck folder, in
// `view`, which GuardView has guarded, and returns at once. The view asks for the page after
// this returns; of several pages handed over in quick succession it gets the last. False, with
// nothing done, when `view` is not guarded. Never throws but for lack of memory.
bool ShowDeckPage(wxWebView& view, const std::string& html, const std::string& pageUrl);

}  // namespace tavrin
