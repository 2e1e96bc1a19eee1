// The current local date and time, and the pseudo-random source. Both can be
// replaced in tests (a fixed "now", a fixed random sequence).
#pragma once

#include <functional>

namespace orv::platform {

struct LocalTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime now();

// Replaces the clock for the whole process; pass nullptr to restore it.
void setClockForTesting(std::function<LocalTime()> clock);

// A pseudo-random number in [0, 1), as the automation Rnd gives it.
float randomUnit();
// Replaces the random source for the whole process; nullptr restores it.
void setRandomForTesting(std::function<float()> source);

}  // namespace orv::platform
