#include <ctime>
#include <mutex>
#include <random>

#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {
namespace posix {

LocalTime clockService() {
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

float randomService() {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    static std::mt19937 engine{std::random_device{}()};
    float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(engine);
    return r < 1.0f ? r : 0.0f;  // some library versions can round up to 1
}

}  // namespace posix

LocalTime now() {
    return posix::sys.clock();
}

float randomUnit() {
    return posix::sys.random();
}

}  // namespace orv::platform
