// The settings file: window placement, button size, the last deck file and the start-up templates,
// kept in a private-profile (INI) file. Free of any toolkit: the main window reaches it through
// SettingsWindow.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/templates.h"

namespace tavrin {

// One key of the settings file: its section, its name, and what a read of a number or flag gives
// when the key is missing or unreadable (texts default to empty).
struct SettingsKey {
  const char* section;
  const char* name;
  int32_t fallback;
};

// The keys, each named here and nowhere else.
namespace keys {
inline constexpr SettingsKey kMaximized{"Main", "Maximized", 0};
inline constexpr SettingsKey kTop{"Main", "Top", 0};
inline constexpr SettingsKey kLeft{"Main", "Left", 0};
inline constexpr SettingsKey kWidth{"Main", "Width", 400};
inline constexpr SettingsKey kHeight{"Main", "Height", 300};
inline constexpr SettingsKey kButtonHeight{"Main", "ButtonHeight", 46};
inline constexpr SettingsKey kButtonWidth{"Main", "ButtonWidth", 75};
inline constexpr SettingsKey kFileName{"Main", "FileName", 0};
inline constexpr SettingsKey kOuterHead{"HTML", "OuterHead", 0};
inline constexpr SettingsKey kOuterFoot{"HTML", "OuterFoot", 0};
inline constexpr SettingsKey kInnerHead{"HTML", "InnerHead", 0};
inline constexpr SettingsKey kInnerFoot{"HTML", "InnerFoot", 0};
// The page zoom in percent, in a section of its own after the twelve keys above.
inline constexpr SettingsKey kZoom{"View", "Zoom", 100};
}  // namespace keys

// What the settings file feeds into the main window for the whole run.
struct ShellSettings {
  int32_t ButtonHeight = 0;
  int32_t ButtonWidth = 0;
  std::string FileName;
  StartupTemplates Templates;
  // The page zoom in percent, kMinZoom to kMaxZoom.
  int32_t Zoom = keys::kZoom.fallback;
};

// The range of the page zoom; a stored zoom outside it reads as 100.
inline constexpr int32_t kMinZoom = 30;
inline constexpr int32_t kMaxZoom = 300;

// The parts of the main window that the settings file reads and writes.
class SettingsWindow {
 public:
  virtual ~SettingsWindow() = default;
  virtual int32_t Top() const = 0;
  virtual int32_t Left() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual bool IsMaximized() const = 0;
  virtual void SetTop(int32_t top) = 0;
  virtual void SetLeft(int32_t left) = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  // Maximized when shown next (the window is not yet visible when this is called).
  virtual void SetMaximized() = 0;
  // Back to the normal state, so that the edges and size read afterwards are the normal ones.
  virtual void Restore() = 0;
  // Current size of the Open button.
  virtual int32_t OpenButtonHeight() const = 0;
  virtual int32_t OpenButtonWidth() const = 0;
};

// One settings file; every operation goes to the file by itself, nothing stays open in between.
class SettingsFile {
 public:
  explicit SettingsFile(std::string path);
  const std::string& Path() const { return path_; }

  // The value of `key` in `section` (at most 2047 bytes), or `defaultValue` when the file, the
  // section or the key is missing. Never throws.
  std::string ReadText(const std::string& section, const std::string& key,
                       const std::string& defaultValue) const;
  // The value as a 32-bit number (decimal with sign, or "$", "x", "X", "0x", "0X" and one to
  // eight hex digits, after leading blanks), or `defaultValue` for anything else. Never throws.
  int32_t ReadNumber(const std::string& section, const std::string& key,
                     int32_t defaultValue) const;
  // ReadNumber with 1 or 0 as default; true when the number is not 0.
  bool ReadFlag(const std::string& section, const std::string& key, bool defaultValue) const;

  // Writes `value` verbatim, replacing the file atomically (in place when the folder allows no new
  // file); creates the file and its folder as needed. Throws Error "%s に書き込めません" with the
  // file's full path when it cannot be written, and also for a value holding a line feed or a zero
  // byte or for a name that would not read back (blank, a line break or zero byte, "]" in a
  // section, "=" in a key or a key beginning with "[", ";" or "#"); the file is then as it was.
  void WriteText(const std::string& section, const std::string& key, const std::string& value);
  // One key's new value for WriteTexts.
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  // WriteText of every entry in turn, with one replacement of the file: when one cannot be
  // written, none is, and the error is WriteText's.
  void WriteTexts(const std::vector<Entry>& entries);
  void WriteNumber(const std::string& section, const std::string& key, int32_t value);
  void WriteFlag(const std::string& section, const std::string& key, bool value);

 private:
  std::string path_;
};

// The settings file's path for the running program: beside the executable (extension replaced by
// ".ini") when that file exists, else $XDG_CONFIG_HOME/tavrin/<name>.ini (~/.config when unset).
// The executable is the one /proc/self/exe names. Never throws.
std::string SettingsFilePath();
// The same for an executable at `executablePath` (as /proc/self/exe reads; empty when unknown),
// with the values of XDG_CONFIG_HOME and HOME (empty when unset). A relative `configHome` is
// ignored. Returns the path beside the executable when neither folder is known.
std::string SettingsFilePath(const std::string& executablePath, const std::string& configHome,
                             const std::string& home);

// The user's home folder: $HOME, else the password database's; empty when neither knows it.
std::string HomeDirectory();
// The program's folder, with a "/" at its end, in the XDG folder whose variable holds `xdgFolder`
// (empty when unset): `xdgFolder`/tavrin/, or `home`/`fallback`/tavrin/ when `xdgFolder` is
// empty or relative; empty when `home` is empty too.
std::string ProgramFolder(const std::string& xdgFolder, const std::string& home,
                          const char* fallback);

// A settings-file object bound to SettingsFilePath().
std::unique_ptr<SettingsFile> OpenSettingsFile();

// Reads the placement into `window`, only when the file exists.
void LoadWindowPlacement(const SettingsFile& settings, SettingsWindow& window);
// Adds "Maximized" to `entries`, restores the window, then adds "Top", "Left", "Width", "Height".
void SaveWindowPlacement(SettingsWindow& window, std::vector<SettingsFile::Entry>& entries);

// The start-up read from OpenSettingsFile(): placement, button size, FileName, templates with
// their defaults applied, and Zoom (100 when missing, unreadable or outside kMinZoom..kMaxZoom).
// Never throws.
ShellSettings LoadSettings(SettingsWindow& window);
// The same from `settings`.
ShellSettings LoadSettings(const SettingsFile& settings, SettingsWindow& window);
// The write at close to OpenSettingsFile(): all twelve keys in their order, then Zoom as given, in
// one replacement of the file (WriteTexts). Throws its Error, the file then as it was. A FileName
// holding a line break, a zero byte or a Ctrl+Z cannot be stored and is written as empty.
void SaveSettings(SettingsWindow& window, const ShellSettings& values);
// The same to `settings`.
void SaveSettings(SettingsFile& settings, SettingsWindow& window, const ShellSettings& values);

}  // namespace tavrin
