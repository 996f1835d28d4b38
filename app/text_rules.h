// Byte rules of `tavrin-deck check`'s warnings: which texts a decoder or a page reads otherwise
// than their author may expect. Each is linear in the text.
#pragma once

#include <string_view>

namespace tavrin::deck_tool {

// True when `text` holds a byte above 7F.
bool HasNonAscii(std::string_view text);

// True when every character of `bytes` converts from code page 932, so that the window shows no
// substitute for it: a lone lead byte, a lead byte before a byte that cannot follow it, a code
// without a character (85 40) and the bytes 80, A0, FD-FF do not. True for every text when the
// system has no converter for 932.
bool IsValidCp932(std::string_view bytes);

// The name of the first tag in `text` whose name is no HTML, SVG or MathML element name, which a
// page shows as nothing ("<Aalmolch>" gives "Aalmolch"); empty when there is none. A tag is "<" or
// "</" and an ASCII letter, its name running to white space, "/", ">" or the end of the text;
// comments and "<!DOCTYPE" are not tags, and nor is "<" before anything else ("a < b", "<3").
std::string_view UnknownTagName(std::string_view text);

}  // namespace tavrin::deck_tool
