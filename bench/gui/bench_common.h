// What the two window benchmarks share: an event loop driven by hand, real key presses through the
// X server, the view's "loaded" notification, and the figures.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

namespace bench {

using Clock = std::chrono::steady_clock;

// Counts the view's "loaded" notifications and notes when the last one came.
struct LoadWatch {
  int loads = 0;
  Clock::time_point last;
  void Attach(wxWebView* view) {
    view->Bind(wxEVT_WEBVIEW_LOADED, [this](wxWebViewEvent& event) {
      last = Clock::now();
      ++loads;
      event.Skip();
    });
  }
};

// Runs the loop until `done` holds; false after `limit`.
inline bool PumpUntil(wxEventLoopBase& loop, const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    loop.DispatchTimeout(1);
    wxTheApp->ProcessPendingEvents();
  }
  return true;
}

// Presses Enter `count` times through the X server, each time waiting for the view to report the
// page loaded; returns each press's time from the key to the notification, in milliseconds.
inline std::vector<double> TimePresses(wxEventLoopBase& loop, LoadWatch& watch, int count) {
  std::vector<double> times;
  wxUIActionSimulator keys;
  for (int i = 0; i < count; ++i) {
    const int before = watch.loads;
    const auto start = Clock::now();
    keys.Char(WXK_RETURN);
    if (!PumpUntil(loop, [&] { return watch.loads > before; })) break;
    times.push_back(std::chrono::duration<double, std::milli>(watch.last - start).count());
    // Let the view settle, so that every press meets the same idle view.
    const auto settle = Clock::now() + std::chrono::milliseconds(20);
    PumpUntil(loop, [&] { return Clock::now() > settle; });
  }
  return times;
}

// Prints "<label> median=<ms> p10=<ms> p90=<ms> n=<count>".
inline void PrintFigures(const char* label, std::vector<double> times) {
  if (times.empty()) {
    std::printf("%s none\n", label);
    return;
  }
  std::sort(times.begin(), times.end());
  auto at = [&](double q) { return times[static_cast<std::size_t>(q * (times.size() - 1))]; };
  std::printf("%s median=%.3f p10=%.3f p90=%.3f n=%zu\n", label, at(0.5), at(0.1), at(0.9),
              times.size());
}

// Milliseconds since BENCH_T0_NS (CLOCK_REALTIME nanoseconds, set by whoever started this
// process), or -1 when it is not set.
inline double MillisecondsSinceStart() {
  const char* t0 = std::getenv("BENCH_T0_NS");
  if (t0 == nullptr) return -1;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const long double ns = static_cast<long double>(now.tv_sec) * 1e9L + now.tv_nsec;
  return static_cast<double>((ns - std::strtold(t0, nullptr)) / 1e6L);
}

}  // namespace bench
