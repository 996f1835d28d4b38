// The two sets of values that settings_writer alternates between, shared with the test that
// kills it, so that the test knows every value a key may hold.
#pragma once

#include <cstdint>
#include <string>

#include "shell/settings.h"

namespace tavrin::writer {

// A window that reports fixed values; Restore() has nothing to undo.
class FixedWindow : public SettingsWindow {
 public:
  explicit FixedWindow(int set) : set_(set) {}
  int32_t Top() const override { return set_ ? -1200 : 10; }
  int32_t Left() const override { return set_ ? 2560 : 20; }
  int32_t Width() const override { return set_ ? 1024 : 400; }
  int32_t Height() const override { return set_ ? 768 : 300; }
  bool IsMaximized() const override { return set_ != 0; }
  void SetTop(int32_t) override {}
  void SetLeft(int32_t) override {}
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  void SetMaximized() override {}
  void Restore() override {}
  int32_t OpenButtonHeight() const override { return set_ ? 120 : 46; }
  int32_t OpenButtonWidth() const override { return set_ ? 7 : 75; }

 private:
  int set_;
};

// Set 1 makes the file several kilobytes longer, so that the file's size changes at each save.
inline ShellSettings WriterValues(int set) {
  ShellSettings values;
  if (set == 0) {
    values.FileName = "/home/user/decks/a.txt";
    values.Templates = {"<html><body>", "</body></html>", "<p>", "</p>"};
  } else {
    values.FileName = "/home/user/\x93\xfa\x96\x7b\x8c\xea/long name = with; [marks].txt";
    values.Templates = {std::string(1500, 'h'), std::string(900, 'f') + "\xff\x80",
                        " <div class=\"card\"> ", std::string(2047, 'z')};
  }
  return values;
}

}  // namespace tavrin::writer
