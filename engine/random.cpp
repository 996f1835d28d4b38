// The shuffle's pseudo-random generator.
#include <chrono>
#include <utility>

#include "engine/random.h"

namespace tavrin {

namespace {

uint32_t g_randomState = 0;
TimeOfDayClock g_clock;

uint32_t SystemTimeOfDay() {
  using namespace std::chrono;
  auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(now % 86400000);
}

}  // namespace

void SetTimeOfDayClock(TimeOfDayClock clock) {
  g_clock = std::move(clock);
}

void SeedRandom() {
  g_randomState = g_clock ? g_clock() : SystemTimeOfDay();
}

uint32_t RandomBelow(uint32_t n) {
  g_randomState = g_randomState * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(n) * g_randomState) >> 32);
}

uint32_t RandomState() {
  return g_randomState;
}
void SetRandomState(uint32_t state) {
  g_randomState = state;
}

}  // namespace tavrin
