#include <windows.h>

#include <mutex>
#include <random>

#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
namespace win32 {

LocalTime clockService() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    return t;
}

float randomService() {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    // std::random_device draws from the system's cryptographic source here.
    static std::mt19937 engine{std::random_device{}()};
    float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(engine);
    return r < 1.0f ? r : 0.0f;  // some library versions can round up to 1
}

}  // namespace win32

LocalTime now() {
    return win32::sys.clock();
}

float randomUnit() {
    return win32::sys.random();
}

}  // namespace orv::platform
