// The local date and time from the system's clock.
#include <ctime>

#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {

LocalTime clockService() {
    using posix::sys;
    timespec ts{};
    sys.clock_gettime(CLOCK_REALTIME, &ts);
    const time_t secs = ts.tv_sec;
    tm parts{};
    sys.localtime_r(&secs, &parts);
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return t;
}

}  // namespace orv::platform
