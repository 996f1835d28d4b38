#include "shell/page_script.h"

#include <webkit2/webkit2.h>

#include <wx/webview.h>

namespace tavrin {

namespace {

// The script world that Tavrin's scripts run in.
constexpr char kWorld[] = "tavrin";

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Finds where the parsed `prefix` ends, as a path of child indexes from the document down to the
// place, by parsing it with a comment after it; follows the same path in the page, whose parse
// went the same way up to there; and scrolls to the first thing shown from there on. A place not
// found (the prefix ends inside a script or an attribute, or a script changed the page) scrolls
// to the end, where the field just revealed usually is.
constexpr char kScrollToField[] = R"(((prefix) => {
  const mark = 'tavrin-revealed-field';
  const parsed = new DOMParser().parseFromString(prefix + '<!--' + mark + '-->', 'text/html');
  const walker = parsed.createTreeWalker(parsed, NodeFilter.SHOW_COMMENT);
  let found = null;
  while (walker.nextNode()) if (walker.currentNode.data === mark) found = walker.currentNode;
  const path = [];
  for (let n = found; n && n.parentNode; n = n.parentNode)
    path.push(Array.prototype.indexOf.call(n.parentNode.childNodes, n));
  let parent = found ? document : null;
  for (let i = path.length - 1; i > 0 && parent; --i) parent = parent.childNodes[path[i]];
  let node = null;
  if (parent) {
    node = parent.childNodes[path[0]] || null;
    for (let p = parent; !node && p; p = p.parentNode) node = p.nextSibling;
  }
  const box = (n) => {
    if (n.nodeType === Node.TEXT_NODE && n.data.trim()) {
      const range = document.createRange();
      range.selectNodeContents(n);
      return range.getClientRects()[0];
    }
    return n.nodeType === Node.ELEMENT_NODE ? n.getClientRects()[0] : undefined;
  };
  let top = null;
  if (node) {
    const all = document.createTreeWalker(document, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
    all.currentNode = node;
    for (let n = node; n && top === null; n = all.nextNode()) {
      const b = box(n);
      if (b) top = b.top + window.scrollY;
    }
  }
  const end = Math.max(document.documentElement.scrollHeight,
                       document.body ? document.body.scrollHeight : 0);
  window.scrollTo({left: window.scrollX, top: top === null ? end : top, behavior: 'instant'});
}))";

}  // namespace

std::string ScriptString(const wxString& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.length() + 2);
  out.push_back('"');
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const auto c = static_cast<char32_t>((*it).GetValue());
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x2028 || c == 0x2029 || (c >= 0xD800 && c <= 0xDFFF)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
    } else {
      AppendUtf8(c, out);
    }
  }
  out.push_back('"');
  return out;
}

std::string ScrollToFieldScript(const wxString& prefix) {
  std::string script = kScrollToField;
  script += '(';
  script += ScriptString(prefix);
  script += ");\n";
  return script;
}

std::string AutoplayScript() {
  // WebKit lets a page start only media without sound by itself; media that wait are started here,
  // and media that a muted autoplay finished already stay as they are.
  return "for (const m of document.querySelectorAll('audio[autoplay], video[autoplay]'))\n"
         "  if (m.paused && !m.ended) m.play().catch(() => {});\n";
}

std::string ReplayScript() {
  return "for (const m of document.querySelectorAll('audio, video')) {\n"
         "  m.currentTime = 0;\n"
         "  m.play().catch(() => {});\n"
         "}\n";
}

std::string PageKeyScript(KeyEffect how) {
  // A screen less an eighth, as the view's own Page Down steps, so that a line stays in sight.
  switch (how) {
    case KeyEffect::kPageUp:
      return "window.scrollBy({top: -0.875 * window.innerHeight, behavior: 'instant'});";
    case KeyEffect::kPageDown:
      return "window.scrollBy({top: 0.875 * window.innerHeight, behavior: 'instant'});";
    case KeyEffect::kPageTop:
      return "window.scrollTo({left: window.scrollX, top: 0, behavior: 'instant'});";
    case KeyEffect::kPageEnd:
      return "window.scrollTo({left: window.scrollX, behavior: 'instant', top: Math.max("
             "document.documentElement.scrollHeight, "
             "document.body ? document.body.scrollHeight : 0)});";
    default:
      return {};
  }
}

void RunPageScript(wxWebView& view, const std::string& script) {
  auto* widget = static_cast<WebKitWebView*>(view.GetNativeBackend());
  if (widget == nullptr || script.empty()) return;
  // Scripts that the program runs count as the user's gesture in WebKit.
  webkit_web_view_evaluate_javascript(widget, script.data(), static_cast<gssize>(script.size()),
                                      kWorld, nullptr, nullptr, nullptr, nullptr);
}

bool IsLoadingPage(wxWebView& view) {
  auto* widget = static_cast<WebKitWebView*>(view.GetNativeBackend());
  return widget != nullptr && webkit_web_view_is_loading(widget);
}

}  // namespace tavrin
