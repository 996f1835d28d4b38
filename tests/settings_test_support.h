// The fixture and the window without a display shared by the settings tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/error.h"
#include "shell/settings.h"
#include "test_support.h"

namespace tavrin::settings_testing {

using testing_support::ReadFile;
using testing_support::ScratchFolder;
using testing_support::WriteFile;

// The names in `dir`, sorted.
inline std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A main window without a display. Restore() leaves the maximized state, as the real one does.
class FakeWindow : public SettingsWindow {
 public:
  struct Rect {
    int32_t top, left, width, height;
  };
  Rect normal{-7, -8, 640, 480};
  Rect maximizedRect{0, 0, 1920, 1080};
  bool maximized = false;
  int setMaximizedCalls = 0;
  std::function<void()> onRestore;

  const Rect& Shown() const { return maximized ? maximizedRect : normal; }
  int32_t Top() const override { return Shown().top; }
  int32_t Left() const override { return Shown().left; }
  int32_t Width() const override { return Shown().width; }
  int32_t Height() const override { return Shown().height; }
  bool IsMaximized() const override { return maximized; }
  void SetTop(int32_t v) override { normal.top = v; }
  void SetLeft(int32_t v) override { normal.left = v; }
  void SetWidth(int32_t v) override { normal.width = v; }
  void SetHeight(int32_t v) override { normal.height = v; }
  void SetMaximized() override {
    maximized = true;
    ++setMaximizedCalls;
  }
  void Restore() override {
    maximized = false;
    if (onRestore) onRestore();
  }
  int32_t OpenButtonHeight() const override { return 50; }
  int32_t OpenButtonWidth() const override { return 80; }
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1); }
  void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

  ScratchFolder scratch_{"tavrin-settings"};
  const std::string dir_ = scratch_.Path();
  const std::string configHome_ = scratch_ / "config";
  const std::string path_ = scratch_ / "settings.ini";
};

// 0 when writing Top=9 to `path` raised the error naming `path`, 1 when it was written.
inline int TryWrite(const std::string& path) {
  try {
    SettingsFile(path).WriteNumber("Main", "Top", 9);
    return 1;
  } catch (const Error& e) {
    return std::string(e.what()) == path + " に書き込めません" ? 0 : 2;
  }
}

}  // namespace tavrin::settings_testing
