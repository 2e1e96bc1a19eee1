// The current local date and time, and the pseudo-random source. Tests fix
// them through the "clock" and "random" entries of the system-call table.
#pragma once

namespace orv::platform {

struct LocalTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime now();

// A pseudo-random number in [0, 1), as the automation Rnd gives it.
float randomUnit();

}  // namespace orv::platform
