#include "shell/html_view.h"

#include <iconv.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include <wx/clntdata.h>
#include <wx/webview.h>

#include "engine/double_byte.h"
#include "engine/error.h"
#include "engine/utf8.h"
#include "shell/page_guard.h"
#include "shell/page_script.h"

namespace tavrin {

namespace {

constexpr wchar_t kSubstitute = 0xFFFD;

// Appends the UTF-8 reading of `bytes`. A byte that cannot begin a character, and the longest
// start of a character that breaks off, each become one substitute character, by the sequence
// rule that the engine's validation uses.
void DecodeUtf8(std::string_view bytes, std::wstring& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    if (s[i] < 0x80) {
      out.push_back(static_cast<wchar_t>(s[i]));
      ++i;
      continue;
    }
    const Utf8Sequence sequence = Utf8SequenceAt(bytes, i);
    if (sequence.valid) {
      // The lead byte's payload is 5, 4 or 3 bits for a sequence of 2, 3 or 4 bytes.
      char32_t code = s[i] & (0x7F >> sequence.length);
      for (std::size_t k = 1; k < sequence.length; ++k) code = (code << 6) | (s[i + k] & 0x3F);
      out.push_back(static_cast<wchar_t>(code));
    } else {
      out.push_back(kSubstitute);
    }
    i += sequence.length;
  }
}

bool IsShiftJisTrail(unsigned char b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Code page 932 to wide characters through iconv, opened once for the process.
class Cp932Decoder {
 public:
  Cp932Decoder() : cd_(iconv_open("WCHAR_T", "CP932")) {}
  ~Cp932Decoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;

  // Appends the reading of `bytes`. iconv stops at a byte sequence that forms no character; that
  // sequence (a double-byte code without a character, or else the single byte) becomes one
  // substitute character and the conversion goes on after it, so the cost stays linear.
  void Decode(std::string_view bytes, std::wstring& out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      // Without the converter only ASCII is certain; every other byte is substituted.
      for (unsigned char b : bytes) out.push_back(b < 0x80 ? static_cast<wchar_t>(b) : kSubstitute);
      return;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    const std::size_t start = out.size();
    // Never more characters than bytes.
    out.resize(start + bytes.size());
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = reinterpret_cast<char*>(out.data() + start);
    std::size_t dstLeft = bytes.size() * sizeof(wchar_t);
    while (inLeft > 0) {
      if (iconv(cd_, &in, &inLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) break;
      if (errno != EILSEQ && errno != EINVAL) break;  // E2BIG cannot happen: see the size above
      const auto b = static_cast<unsigned char>(in[0]);
      const std::size_t skip =
          inLeft >= 2 && IsLead932(b) && IsShiftJisTrail(static_cast<unsigned char>(in[1])) ? 2 : 1;
      *reinterpret_cast<wchar_t*>(dst) = kSubstitute;
      dst += sizeof(wchar_t);
      dstLeft -= sizeof(wchar_t);
      in += skip;
      inLeft -= skip;
    }
    out.resize(static_cast<std::size_t>(reinterpret_cast<wchar_t*>(dst) - out.data()));
  }

 private:
  iconv_t cd_;
};

wxWebView* MakePlatformView(wxWindow* parent) {
  if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) return nullptr;
  KeepNextViewsEphemeral();
  // No start address: the view shows nothing until the window's first navigation.
  wxWebView* view = wxWebView::New(parent, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                   wxWebViewBackendDefault, wxBORDER_NONE, "WebBrowser1");
  if (view != nullptr) GuardView(*view);
  return view;
}

// A deck's page goes through the view's own server, which keeps it from the computer's files; a
// view that has none (a test's stand-in) gets it at no address at all.
void HandOver(wxWebView& view, const wxString& text, const std::string& baseUrl) {
  if (baseUrl == "about:blank" || !ShowDeckPage(view, text.utf8_string(), baseUrl)) {
    view.SetPage(text, "about:blank");
  }
}

// The last page handed to a view, kept with the view itself.
class LastPage : public wxClientData {
 public:
  wxString text;
  std::string baseUrl;
  // Characters of `text` before the field that the page reveals; npos to show it from its top.
  std::size_t fieldStart = wxString::npos;
  bool scrollPending = false;  // until the page has loaded
  // When ShowHtmlAgain last handed it over, if it has since the page was new.
  std::optional<std::chrono::steady_clock::time_point> shownAgainAt;
};

// A page that ends its web process this soon after it was shown again is not shown a third time.
constexpr auto kShownAgainWindow = std::chrono::seconds(10);

HtmlViewFactory& Factory() {
  static HtmlViewFactory factory;
  return factory;
}

}  // namespace

wxString DecodeText(std::string_view bytes, int codePage) {
  std::wstring text;
  text.reserve(bytes.size());
  if (codePage == kCodePage932) {
    static Cp932Decoder decoder;
    decoder.Decode(bytes, text);
  } else {
    DecodeUtf8(bytes, text);
  }
  return wxString(text.data(), text.size());
}

const char kAboutPage[] =
    "<html><head><title></title></head><body><h1>Tavrin " TAVRIN_VERSION
    "</h1><p>"
    "To study a deck, open its file with Open (Alt+O) or drop it onto this window."
    "</p></body></html>";

wxWebView* MakeHtmlView(wxWindow* parent) {
  wxWebView* view = Factory() ? Factory()(parent) : MakePlatformView(parent);
  if (view == nullptr) throw Error("HTML ビューを作成できません");
  return view;
}

HtmlViewFactory SetHtmlViewFactory(HtmlViewFactory factory) {
  return std::exchange(Factory(), std::move(factory));
}

void ShowBlankPage(wxWebView& view) {
  view.LoadURL("about:blank");
}

void ShowHtml(wxWebView& view, std::string_view html, int codePage, const std::string& baseUrl,
              std::size_t revealedFieldStart) {
  auto* last = static_cast<LastPage*>(view.GetClientObject());
  if (last == nullptr) {
    last = new LastPage;
    view.SetClientObject(last);
  }
  last->text = DecodeText(html, codePage);
  last->baseUrl = baseUrl;
  // The field starts at a character's start, so its prefix decodes to a prefix of the text.
  last->fieldStart = revealedFieldStart <= html.size()
                         ? DecodeText(html.substr(0, revealedFieldStart), codePage).length()
                         : wxString::npos;
  last->scrollPending = true;
  last->shownAgainAt.reset();
  HandOver(view, last->text, last->baseUrl);
}

const char kEndedPageNotice[] =
    "<html><head><title></title></head><body><p>"
    "This page stopped working twice, so it is not shown again. The buttons work as usual."
    "</p></body></html>";

void ShowHtmlAgain(wxWebView& view) {
  auto* last = static_cast<LastPage*>(view.GetClientObject());
  if (last == nullptr) {
    ShowBlankPage(view);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (last->shownAgainAt && now - *last->shownAgainAt < kShownAgainWindow) {
    // A notice of our own, without scripts, so that its web process has nothing to end it.
    view.SetPage(kEndedPageNotice, "about:blank");
    return;
  }
  last->shownAgainAt = now;
  last->scrollPending = true;
  HandOver(view, last->text, last->baseUrl);
}

void ShowAboutPage(wxWebView& view) {
  ShowHtml(view, kAboutPage, kCodePageUtf8, "about:blank");
}

void PageLoaded(wxWebView& view) {
  if (IsLoadingPage(view)) return;
  std::string script = AutoplayScript();
  auto* last = static_cast<LastPage*>(view.GetClientObject());
  if (last != nullptr && std::exchange(last->scrollPending, false) &&
      last->fieldStart != wxString::npos) {
    script += ScrollToFieldScript(last->text.Left(last->fieldStart));
  }
  RunPageScript(view, script);
}

void ReplayMedia(wxWebView& view) {
  RunPageScript(view, ReplayScript());
}

void ScrollPage(wxWebView& view, KeyEffect how) {
  RunPageScript(view, PageKeyScript(how));
}

}  // namespace tavrin
