// The settings file: where it lies, its reads and writes through the INI text and the durable
// file, and the start-up read and the write at close over the key table.

#include "shell/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/error.h"
#include "engine/text_list.h"
#include "shell/durable_file.h"
#include "shell/ini_encoding.h"
#include "shell/ini_text.h"

namespace tavrin {

namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

// The four templates with their keys, in the order of the write at close.
struct TemplateKey {
  const SettingsKey& key;
  std::string StartupTemplates::*member;
};
constexpr TemplateKey kTemplateKeys[] = {
    {keys::kOuterHead, &StartupTemplates::OuterHead},
    {keys::kOuterFoot, &StartupTemplates::OuterFoot},
    {keys::kInnerHead, &StartupTemplates::InnerHead},
    {keys::kInnerFoot, &StartupTemplates::InnerFoot},
};

int32_t ReadNumber(const SettingsFile& settings, const SettingsKey& key) {
  return settings.ReadNumber(key.section, key.name, key.fallback);
}

std::string ReadText(const SettingsFile& settings, const SettingsKey& key) {
  return settings.ReadText(key.section, key.name, std::string());
}

void AddText(std::vector<SettingsFile::Entry>& entries, const SettingsKey& key, std::string value) {
  entries.push_back({key.section, key.name, std::move(value)});
}

void AddNumber(std::vector<SettingsFile::Entry>& entries, const SettingsKey& key, int32_t value) {
  AddText(entries, key, std::to_string(value));
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// ---- SettingsFile ------------------------------------------------------------------------------

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

std::string SettingsFile::ReadText(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
  std::string bytes;
  if (ReadWholeFile(path_, bytes) == ReadResult::kRead) {
    ini::DecodedFile file = ini::DecodeFile(bytes);
    if (std::optional<std::string_view> raw = ini::FindValue(file.text, section, key)) {
      // Text decoded from UTF-16 is UTF-8, and a cut keeps its characters whole.
      bool utf8 = file.encoding != ini::Encoding::kBytes;
      return std::string(ini::CutValue(ini::ValueOf(*raw), utf8));
    }
  }
  std::string_view value = defaultValue;
  return std::string(ini::CutValue(value.substr(0, value.find('\0')), false));
}

int32_t SettingsFile::ReadNumber(const std::string& section, const std::string& key,
                                 int32_t defaultValue) const {
  return ini::ParseNumber(ReadText(section, key, std::string())).value_or(defaultValue);
}

bool SettingsFile::ReadFlag(const std::string& section, const std::string& key,
                            bool defaultValue) const {
  return ReadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::WriteText(const std::string& section, const std::string& key,
                             const std::string& value) {
  WriteTexts({{section, key, value}});
}

void SettingsFile::WriteTexts(const std::vector<Entry>& entries) {
  // A UTF-16 file stays UTF-16: the keys are set in its decoded text, which is encoded back.
  auto edit = [&](const std::string& old) -> std::optional<std::string> {
    ini::DecodedFile file = ini::DecodeFile(old);
    for (const Entry& e : entries) file.text = ini::WithValue(file.text, e.section, e.key, e.value);
    return ini::EncodeFile(file);
  };
  const bool writable = std::all_of(entries.begin(), entries.end(), [](const Entry& e) {
    return ini::CanWrite(e.section, e.key, e.value);
  });
  if (!writable || !ReplaceFileDurably(path_, edit)) {
    throw Error(FullPath(path_) + " に書き込めません");
  }
}

void SettingsFile::WriteNumber(const std::string& section, const std::string& key, int32_t value) {
  WriteText(section, key, std::to_string(value));
}

void SettingsFile::WriteFlag(const std::string& section, const std::string& key, bool value) {
  WriteText(section, key, value ? "1" : "0");
}

// ---- Location ----------------------------------------------------------------------------------

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir) {
    return found->pw_dir;
  }
  return {};
}

std::string ProgramFolder(const std::string& xdgFolder, const std::string& home,
                          const char* fallback) {
  // A relative folder is invalid and ignored, as the XDG rules say.
  std::string base;
  if (xdgFolder.starts_with('/')) {
    base = xdgFolder;
  } else if (!home.empty()) {
    base = home + "/" + fallback;
  } else {
    return {};
  }
  if (!base.ends_with('/')) base += '/';
  return base + "tavrin/";
}

std::string SettingsFilePath(const std::string& executablePath, const std::string& configHome,
                             const std::string& home) {
  std::string exe = executablePath;
  // The kernel marks an executable replaced while it runs (an upgrade); its name is still ours.
  if (exe.ends_with(kDeletedSuffix) && !IsExistingFile(exe)) {
    exe.resize(exe.size() - kDeletedSuffix.size());
  }
  std::string beside;
  if (!exe.empty()) {
    beside = exe;
    std::size_t dot = beside.rfind('.');
    if (dot != std::string::npos && beside.find('/', dot) == std::string::npos) beside.resize(dot);
    beside += ".ini";
    if (IsExistingFile(beside)) return beside;
  }
  std::string name = beside.empty() ? std::string("tavrin.ini") : BaseNameOf(beside);
  const std::string folder = ProgramFolder(configHome, home, ".config");
  if (folder.empty()) return beside.empty() ? name : beside;
  return folder + name;
}

std::string SettingsFilePath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  return SettingsFilePath(ExecutablePath(), configHome ? configHome : "", HomeDirectory());
}

std::unique_ptr<SettingsFile> OpenSettingsFile() {
  return std::make_unique<SettingsFile>(SettingsFilePath());
}

// ---- Window placement and the whole set --------------------------------------------------------

void LoadWindowPlacement(const SettingsFile& settings, SettingsWindow& window) {
  if (!IsExistingFile(settings.Path())) return;
  window.SetTop(ReadNumber(settings, keys::kTop));
  window.SetLeft(ReadNumber(settings, keys::kLeft));
  window.SetWidth(ReadNumber(settings, keys::kWidth));
  window.SetHeight(ReadNumber(settings, keys::kHeight));
  if (ReadNumber(settings, keys::kMaximized) != 0) window.SetMaximized();
}

void SaveWindowPlacement(SettingsWindow& window, std::vector<SettingsFile::Entry>& entries) {
  AddNumber(entries, keys::kMaximized, window.IsMaximized() ? 1 : 0);
  window.Restore();
  AddNumber(entries, keys::kTop, window.Top());
  AddNumber(entries, keys::kLeft, window.Left());
  AddNumber(entries, keys::kWidth, window.Width());
  AddNumber(entries, keys::kHeight, window.Height());
}

ShellSettings LoadSettings(const SettingsFile& settings, SettingsWindow& window) {
  ShellSettings values;
  LoadWindowPlacement(settings, window);
  values.ButtonHeight = ReadNumber(settings, keys::kButtonHeight);
  values.ButtonWidth = ReadNumber(settings, keys::kButtonWidth);
  values.FileName = ReadText(settings, keys::kFileName);
  // An empty template, stored or missing, is its built-in default.
  for (const TemplateKey& t : kTemplateKeys) {
    std::string& text = values.Templates.*t.member;
    text = ReadText(settings, t.key);
    if (text.empty()) text = kDefaultStartupTemplates.*t.member;
  }
  values.Zoom = ReadNumber(settings, keys::kZoom);
  if (values.Zoom < kMinZoom || values.Zoom > kMaxZoom) values.Zoom = keys::kZoom.fallback;
  return values;
}

ShellSettings LoadSettings(SettingsWindow& window) {
  std::unique_ptr<SettingsFile> settings = OpenSettingsFile();
  return LoadSettings(*settings, window);
}

void SaveSettings(SettingsFile& settings, SettingsWindow& window, const ShellSettings& values) {
  std::vector<SettingsFile::Entry> entries;
  SaveWindowPlacement(window, entries);
  AddNumber(entries, keys::kButtonHeight, window.OpenButtonHeight());
  AddNumber(entries, keys::kButtonWidth, window.OpenButtonWidth());
  // A file name with a line break (possible here, not where the format comes from) cannot be
  // stored; forgetting it beats a close that fails every time.
  const std::string& fileName = values.FileName;
  AddText(entries, keys::kFileName, ini::IsStorableValue(fileName) ? fileName : std::string());
  // A template ending in CR cannot come from the file, which ends lines there; one given so is
  // stored without, rather than failing every close.
  for (const TemplateKey& t : kTemplateKeys) {
    std::string text = values.Templates.*t.member;
    while (!text.empty() && text.back() == '\r') text.pop_back();
    AddText(entries, t.key, std::move(text));
  }
  AddNumber(entries, keys::kZoom, values.Zoom);
  // One replacement: a close that fails part-way leaves the file as it was, never half updated.
  settings.WriteTexts(entries);
}

void SaveSettings(SettingsWindow& window, const ShellSettings& values) {
  std::unique_ptr<SettingsFile> settings = OpenSettingsFile();
  SaveSettings(*settings, window, values);
}

}  // namespace tavrin
