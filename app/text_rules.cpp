#include "app/text_rules.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace tavrin::deck_tool {

bool HasNonAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
}

bool IsValidCp932(std::string_view bytes) {
  if (!HasNonAscii(bytes)) return true;
  // Opened once for the run: opening costs far more than converting one line.
  static const iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return true;  // nothing to judge by
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char buffer[1024];
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) &&
        errno != E2BIG) {
      return false;
    }
  }
  return true;
}

namespace {

// Element names a page knows, lowercase and sorted: HTML's, including the obsolete ones that
// browsers still parse, and those of SVG and MathML, which a page may hold inline.
// clang-format off
constexpr std::string_view kElementNames[] = {
    "a", "abbr", "acronym", "address", "animate", "annotation", "applet", "area", "article",
    "aside", "audio", "b", "base", "basefont", "bdi", "bdo", "bgsound", "big", "blink",
    "blockquote", "body", "br", "button", "canvas", "caption", "center", "circle", "cite",
    "clippath", "code", "col", "colgroup", "data", "datalist", "dd", "defs", "del", "desc",
    "details", "dfn", "dialog", "dir", "div", "dl", "dt", "ellipse", "em", "embed", "feblend",
    "fecolormatrix", "fegaussianblur", "feoffset", "fieldset", "figcaption", "figure", "filter",
    "font", "footer", "foreignobject", "form", "frame", "frameset", "g", "h1", "h2", "h3", "h4",
    "h5", "h6", "head", "header", "hgroup", "hr", "html", "i", "iframe", "image", "img", "input",
    "ins", "isindex", "kbd", "keygen", "label", "legend", "li", "line", "lineargradient", "link",
    "listing", "main", "map", "mark", "marker", "marquee", "mask", "math", "menu", "menuitem",
    "merror", "meta", "meter", "mfrac", "mi", "mmultiscripts", "mn", "mo", "mover", "mpadded",
    "mphantom", "mprescripts", "mroot", "mrow", "ms", "mspace", "msqrt", "mstyle", "msub",
    "msubsup", "msup", "mtable", "mtd", "mtext", "mtr", "multicol", "munder", "munderover", "nav",
    "nextid", "nobr", "noembed", "noframes", "noscript", "object", "ol", "optgroup", "option",
    "output", "p", "param", "path", "pattern", "picture", "plaintext", "polygon", "polyline", "pre",
    "progress", "q", "radialgradient", "rb", "rect", "rp", "rt", "rtc", "ruby", "s", "samp",
    "script", "search", "section", "select", "semantics", "slot", "small", "source", "spacer",
    "span", "stop", "strike", "strong", "style", "sub", "summary", "sup", "svg", "switch", "symbol",
    "table", "tbody", "td", "template", "text", "textarea", "textpath", "tfoot", "th", "thead",
    "time", "title", "tr", "track", "tspan", "tt", "u", "ul", "use", "var", "video", "wbr", "xmp",
};
// clang-format on
static_assert(std::is_sorted(std::begin(kElementNames), std::end(kElementNames)));

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool EndsTagName(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '/' || c == '>';
}

// True when `name` is in kElementNames, letters compared without case.
bool IsElementName(std::string_view name) {
  constexpr std::size_t kLongest = 16;
  if (name.size() > kLongest) return false;
  char lower[kLongest];
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return std::binary_search(std::begin(kElementNames), std::end(kElementNames),
                            std::string_view(lower, name.size()));
}

}  // namespace

std::string_view UnknownTagName(std::string_view text) {
  std::size_t at = 0;
  while (true) {
    const void* found = std::memchr(text.data() + at, '<', text.size() - at);
    if (found == nullptr) return {};
    std::size_t start = static_cast<const char*>(found) - text.data() + 1;
    if (start < text.size() && text[start] == '/') ++start;
    at = start;
    if (start == text.size() || !IsAsciiLetter(text[start])) continue;
    std::size_t end = start;
    while (end < text.size() && !EndsTagName(text[end])) ++end;
    const std::string_view name = text.substr(start, end - start);
    if (!IsElementName(name)) return name;
    at = end;
  }
}

}  // namespace tavrin::deck_tool
