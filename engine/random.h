// The shuffle's pseudo-random generator, seeded from the time of day.
#pragma once

#include <cstdint>
#include <functional>

namespace tavrin {

// Milliseconds since midnight UTC, from 0 to 86399999.
using TimeOfDayClock = std::function<uint32_t()>;

// Replaces the clock that SeedRandom reads; an empty function restores the system clock.
void SetTimeOfDayClock(TimeOfDayClock clock);

// RandomState := the clock's milliseconds since midnight UTC.
void SeedRandom();

// Advances RandomState and returns a value from 0 to n - 1 (n >= 1).
uint32_t RandomBelow(uint32_t n);

// The generator's state, for tests and for tools that replay a run.
uint32_t RandomState();
void SetRandomState(uint32_t state);

}  // namespace tavrin
