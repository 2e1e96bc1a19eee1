#include <windows.h>

#include <mutex>
#include <random>

#include "orvcommon/platform/clock.hpp"

namespace orv::platform {
namespace {
std::mutex gMutex;
std::function<LocalTime()> gClock;
std::function<float()> gRandom;
}  // namespace

LocalTime now() {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gClock) return gClock();
    }
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

void setClockForTesting(std::function<LocalTime()> clock) {
    std::lock_guard<std::mutex> lock(gMutex);
    gClock = std::move(clock);
}

float randomUnit() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gRandom) return gRandom();
    // std::random_device draws from the system's cryptographic source here.
    static std::mt19937 engine{std::random_device{}()};
    float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(engine);
    return r < 1.0f ? r : 0.0f;  // some library versions can round up to 1
}

void setRandomForTesting(std::function<float()> source) {
    std::lock_guard<std::mutex> lock(gMutex);
    gRandom = std::move(source);
}

}  // namespace orv::platform
