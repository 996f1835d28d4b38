#include "shell/error_reports.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>
#include <utility>

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/window.h>

#include "engine/double_byte.h"
#include "engine/error.h"
#include "shell/html_view.h"

namespace tavrin {

const char kApplicationTitle[] = "Nubelo";
const char kStartupReportCaption[] = "アプリケーション エラー";

namespace {

MessageBoxFunction& BoxFunction() {
  static MessageBoxFunction show;
  return show;
}

int& OpenModalWindows() {
  static int count = 0;
  return count;
}

void ShowBox(wxWindow* owner, const std::string& text, const char* caption) {
  const ModalWindowScope modal;
  const wxString wxText = DecodeText(text, kCodePageUtf8);
  const wxString wxCaption = wxString::FromUTF8(caption);
  const long style = wxOK | wxICON_ERROR;
  if (BoxFunction()) {
    BoxFunction()(owner, wxText, wxCaption, style);
    return;
  }
  wxMessageDialog box(owner, wxText, wxCaption, style);
  box.ShowModal();
}

// The class name of `type`, without namespaces or template arguments: "Error" for tavrin::Error.
std::string KindName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  if (std::size_t angle = name.find('<'); angle != std::string::npos) name.resize(angle);
  if (std::size_t colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
  return name;
}

// The message and the kind name of the exception in flight.
std::pair<std::string, std::string> CurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return {e.what(), KindName(typeid(e))};
  } catch (...) {
    const std::type_info* type = abi::__cxa_current_exception_type();
    return {"不明なエラーです", type ? KindName(*type) : std::string("Exception")};
  }
}

std::string BaseName(std::string path) {
  if (std::size_t slash = path.rfind('/'); slash != std::string::npos) path.erase(0, slash + 1);
  return path;
}

}  // namespace

std::string WithApplicationFullStop(std::string_view message) {
  std::string text(message);
  if (text.empty()) return text;
  std::size_t last = text.size() - 1;
  // Back over the continuation bytes of a character of several bytes to its lead byte.
  while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) --last;
  if (static_cast<unsigned char>(text[last]) > '.') text += '.';
  return text;
}

std::string StartupReportText(std::string_view kind, std::string_view module, std::uint32_t place,
                              std::string_view message) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(place));
  std::string text;
  text.append(kind).append("がモジュール ").append(module).append(" の ").append(hex);
  text.append(" で発生しました。\n").append(message);
  if (!message.empty() && message.back() != '.') text += '.';
  return text;
}

ModalWindowScope::ModalWindowScope() {
  ++OpenModalWindows();
}

ModalWindowScope::~ModalWindowScope() {
  --OpenModalWindows();
}

bool IsModalWindowOpen() {
  return OpenModalWindows() > 0;
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction show) {
  return std::exchange(BoxFunction(), std::move(show));
}

void ReportCurrentException() {
  const std::string message = CurrentException().first;
  if (wxWindow* captor = wxWindow::GetCapture()) captor->ReleaseMouse();
  wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  ShowBox(owner, WithApplicationFullStop(message), kApplicationTitle);
}

void ReportStartupException(const void* place) {
  const auto [message, kind] = CurrentException();
  std::string module;
  std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(place);
  Dl_info info{};
  if (dladdr(place, &info) != 0) {
    offset -= reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    if (info.dli_fname != nullptr) module = BaseName(info.dli_fname);
  }
  // The main program's own entry may come without a name.
  if (module.empty()) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    module = BaseName(std::string(path, n > 0 ? static_cast<std::size_t>(n) : 0));
  }
  ShowBox(nullptr, StartupReportText(kind, module, static_cast<std::uint32_t>(offset), message),
          kStartupReportCaption);
}

}  // namespace tavrin
