#include "shell/page_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <memory>

#include <wx/webview.h>

#include "engine/utf8.h"
#include "shell/local_files.h"
#include "shell/page_base.h"

namespace tavrin {

namespace {

constexpr char kPageKey[] = "tavrin-page";
constexpr char kGuardedKey[] = "tavrin-guarded";

// The page that a view is handed, and the deck folder whose files it may load.
struct DeckPage {
  std::string url;
  std::string folder;  // links resolved; empty when it cannot be found
  GBytes* html = nullptr;
  WebKitUserScript* script = nullptr;  // gives the players file addresses
  std::string alias;                   // the script's address for the folder, if any
  ~DeckPage() {
    if (html != nullptr) g_bytes_unref(html);
    if (script != nullptr) webkit_user_script_unref(script);
  }
};

// What a page may load: everything from its own scheme and the web, file: addresses for pictures,
// sound and video only. Fetches and frames reach the web alone, so that a script never reads the
// deck's files.
const std::string& PagePolicy() {
  static const std::string policy = [] {
    const std::string any = "* " + std::string(kPageScheme) + ": data: blob:";
    return "default-src " + any + " 'unsafe-inline' 'unsafe-eval'; img-src " + any +
           " file:; media-src " + any +
           " file:; connect-src http: https: ws: wss:; frame-src http: https: data: blob:";
  }();
  return policy;
}
// Whether views made from now on hold PagePolicy() as their own; without it each page is served
// with the policy as a header.
bool& PolicyIsTheViews() {
  static bool set = false;
  return set;
}
// A served file opened as a document (a picture in a frame) gets an origin of its own, so that
// the page cannot read it.
constexpr char kFilePolicy[] = "sandbox";

// `path` with every link resolved, or empty when it does not exist.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

// Finishes `request` with `stream`, `length` bytes of `type`, under `policy`.
void Respond(WebKitURISchemeRequest* request, GInputStream* stream, gint64 length, const char* type,
             const char* policy) {
  WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, length);
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Content-Security-Policy", policy);
  soup_message_headers_append(headers, "X-Content-Type-Options", "nosniff");
  // The type as a header too: nosniff reads the header, the view the response's own type.
  soup_message_headers_replace(headers, "Content-Type", type);
  webkit_uri_scheme_response_set_http_headers(response, headers);  // takes the headers
  webkit_uri_scheme_response_set_content_type(response, type);
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
}

void Refuse(WebKitURISchemeRequest* request) {
  GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, "Not served");
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

// Serves the file at `path`, `size` bytes, whole.
void ServeFile(WebKitURISchemeRequest* request, const std::string& path, goffset size) {
  GFile* file = g_file_new_for_path(path.c_str());
  GFileInputStream* stream = g_file_read(file, nullptr, nullptr);
  g_object_unref(file);
  if (stream == nullptr) return Refuse(request);
  Respond(request, G_INPUT_STREAM(stream), static_cast<gint64>(size), TypeOfName(path).contentType,
          kFilePolicy);
  g_object_unref(stream);
}

// Serves the page itself, or a file that its deck may load.
void Serve(WebKitURISchemeRequest* request, gpointer) {
  WebKitWebView* web = webkit_uri_scheme_request_get_web_view(request);
  const auto* page =
      web ? static_cast<const DeckPage*>(g_object_get_data(G_OBJECT(web), kPageKey)) : nullptr;
  const std::string_view uri = webkit_uri_scheme_request_get_uri(request);
  if (page == nullptr) return Refuse(request);
  if (uri == page->url) {
    GInputStream* stream = g_memory_input_stream_new_from_bytes(page->html);
    Respond(request, stream, static_cast<gint64>(g_bytes_get_size(page->html)),
            "text/html; charset=utf-8", PagePolicy().c_str());
    g_object_unref(stream);
    return;
  }
  const std::optional<std::string> path = PathOfPageUrl(uri);
  const std::string real = path ? RealPath(*path) : std::string();
  // Players take sound and video by their file: addresses alone (MediaByFileScript).
  const FileKind kind = TypeOfName(real).kind;
  if (kind == FileKind::kSound || kind == FileKind::kVideo) return Refuse(request);
  struct stat status {};
  if (!MayLoad(real, page->folder) || ::stat(real.c_str(), &status) != 0 ||
      !S_ISREG(status.st_mode)) {
    return Refuse(request);
  }
  ServeFile(request, real, status.st_size);
}

// The view's players read only file: addresses, so a sound or video that a page names by the
// view's own scheme is given its file: address, whenever an element gets it. The policy lets
// media and pictures alone load from there.
// A folder whose path is not UTF-8 is named by `alias`, a file: address of it that the players
// can open, when it is given.
std::string MediaByFileScript(const std::string& folderUrl, const std::string& alias) {
  const std::string scheme(kPageScheme);
  return "(() => { if (location.protocol !== '" + scheme + ":') return; const alias = ['" +
         (alias.empty() ? std::string() : folderUrl) + "', '" + alias + R"('];
  const fix = (e) => {
    if (!(e instanceof HTMLMediaElement || e instanceof HTMLSourceElement)) return;
    const url = e.src;
    if (alias[0] && url.startsWith(alias[0])) e.src = alias[1] + url.slice(alias[0].length);
    else if (url.startsWith(location.protocol)) e.src = 'file:' + url.slice(location.protocol.length);
  };
  new MutationObserver((records) => { for (const r of records) {
    if (r.type === 'attributes') { fix(r.target); continue; }
    for (const n of r.addedNodes) {
      if (n.nodeType !== 1) continue;
      fix(n);
      n.querySelectorAll('audio,video,source').forEach(fix);
    } } }).observe(document, {subtree: true, childList: true, attributes: true,
                             attributeFilter: ['src']});
  const src = Object.getOwnPropertyDescriptor(HTMLMediaElement.prototype, 'src');
  Object.defineProperty(HTMLMediaElement.prototype, 'src', {...src,
    set(value) { src.set.call(this, value); fix(this); }});
})();)";
}

// Players do not open a file address that is not UTF-8. Such a folder is named through a
// descriptor of it that this process holds open (until the next such folder): /proc/PID/fd/N is
// the same folder for the view's processes, which run as the same user. O_PATH opens it even
// without read permission. Empty for a UTF-8 folder, or one that cannot be opened.
std::string FolderAlias(const std::string& folder) {
  static std::string heldFolder;
  static int held = -1;
  if (IsValidUtf8(folder)) return {};
  if (folder != heldFolder) {
    if (held >= 0) ::close(held);
    held = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    heldFolder = held >= 0 ? folder : std::string();
  }
  if (held < 0) return {};
  return "file:///proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(held) + "/";
}

// Gives the page's players the file addresses of its deck folder at `folderUrl`.
void SetMediaByFile(WebKitWebView* web, DeckPage& page, const std::string& folderUrl,
                    const std::string& folder) {
  const std::string alias = FolderAlias(folder);
  if (page.script != nullptr && alias == page.alias) return;
  WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(web);
  if (page.script != nullptr) {
    webkit_user_content_manager_remove_script(manager, page.script);
    webkit_user_script_unref(page.script);
  }
  page.alias = alias;
  page.script = webkit_user_script_new(
      MediaByFileScript(folderUrl, alias).c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, page.script);
}

// Cancelled as soon as it starts: WebKit has not picked its file yet.
void DownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  webkit_download_cancel(download);
}

gboolean FullscreenRequested(WebKitWebView*, gpointer) {
  return TRUE;  // handled: the view stays as it is
}

// Once for the context that the process's views share.
void GuardContext(WebKitWebContext* context) {
  if (g_object_get_data(G_OBJECT(context), kGuardedKey) != nullptr) return;
  g_object_set_data(G_OBJECT(context), kGuardedKey, context);
  const std::string scheme(kPageScheme);
  webkit_web_context_register_uri_scheme(context, scheme.c_str(), Serve, nullptr, nullptr);
  // Local, so that its pages may show pictures by file: address (the policy keeps the rest out);
  // this also keeps their pictures from being read back through a canvas.
  webkit_security_manager_register_uri_scheme_as_local(
      webkit_web_context_get_security_manager(context), scheme.c_str());
  g_signal_connect(context, "download-started", G_CALLBACK(DownloadStarted), nullptr);
}

}  // namespace

void KeepNextViewsEphemeral() {
  // The toolkit makes the platform view, and WebKit the data manager of the view's context, with
  // the defaults of their construction properties, so the defaults are where both can be told to
  // keep website data in memory. A context's own manager would otherwise write its salts and HSTS
  // store under the user's data and cache folders at start, even for an ephemeral view.
  for (const GType type : {WEBKIT_TYPE_WEB_VIEW, WEBKIT_TYPE_WEBSITE_DATA_MANAGER}) {
    auto* klass = static_cast<GObjectClass*>(g_type_class_ref(type));
    GParamSpec* ephemeral = g_object_class_find_property(klass, "is-ephemeral");
    if (ephemeral != nullptr && G_IS_PARAM_SPEC_BOOLEAN(ephemeral)) {
      G_PARAM_SPEC_BOOLEAN(ephemeral)->default_value = TRUE;
    }
    g_type_class_unref(klass);
  }
  // The page's policy is the view's own, as if each page came with it as a header: pages are then
  // handed over whole, with no request back to the program.
  auto* klass = static_cast<GObjectClass*>(g_type_class_ref(WEBKIT_TYPE_WEB_VIEW));
  GParamSpec* policy = g_object_class_find_property(klass, "default-content-security-policy");
  if (policy != nullptr && G_IS_PARAM_SPEC_STRING(policy)) {
    G_PARAM_SPEC_STRING(policy)->default_value = g_strdup(PagePolicy().c_str());
    PolicyIsTheViews() = true;
  }
  g_type_class_unref(klass);
}

void GuardView(wxWebView& view) {
  auto* web = static_cast<WebKitWebView*>(view.GetNativeBackend());
  if (web == nullptr || !WEBKIT_IS_WEB_VIEW(web)) return;
  GuardContext(webkit_web_view_get_context(web));
  WebKitSettings* settings = webkit_web_view_get_settings(web);
  webkit_settings_set_enable_html5_local_storage(settings, FALSE);
  webkit_settings_set_enable_html5_database(settings, FALSE);
  webkit_settings_set_enable_fullscreen(settings, FALSE);
  g_signal_connect(web, "enter-fullscreen", G_CALLBACK(FullscreenRequested), nullptr);
  g_object_set_data_full(G_OBJECT(web), kPageKey, new DeckPage,
                         [](gpointer page) { delete static_cast<DeckPage*>(page); });
}

bool ShowDeckPage(wxWebView& view, const std::string& html, const std::string& pageUrl) {
  auto* web = static_cast<WebKitWebView*>(view.GetNativeBackend());
  auto* page = web ? static_cast<DeckPage*>(g_object_get_data(G_OBJECT(web), kPageKey)) : nullptr;
  if (page == nullptr) return false;
  if (page->html != nullptr) g_bytes_unref(page->html);
  page->html = g_bytes_new(html.data(), html.size());
  page->url = pageUrl;
  const std::optional<std::string> folder = PathOfPageUrl(pageUrl);
  page->folder = folder ? RealPath(*folder) : std::string();
  SetMediaByFile(web, *page, pageUrl, folder ? *folder : std::string());
  if (PolicyIsTheViews()) {
    webkit_web_view_load_bytes(web, page->html, "text/html", "UTF-8", pageUrl.c_str());
  } else {
    webkit_web_view_load_uri(web, pageUrl.c_str());
  }
  return true;
}

}  // namespace tavrin
