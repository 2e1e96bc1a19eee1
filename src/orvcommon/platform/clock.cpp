// The clock and the random source as callers see them, through the services
// in force (a test can fix both), and the random source itself, the same on
// every system.
#include "orvcommon/platform/clock.hpp"

#include <mutex>
#include <random>

#include "orvcommon/platform/system_calls.hpp"

namespace orv::platform {

float randomService() {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    // std::random_device draws from the system's own source (the
    // cryptographic one on Windows).
    static std::mt19937 engine{std::random_device{}()};
    float r = std::uniform_real_distribution<float>(0.0f, 1.0f)(engine);
    return r < 1.0f ? r : 0.0f;  // some library versions can round up to 1
}

LocalTime now() {
    return services.clock();
}

float randomUnit() {
    return services.random();
}

}  // namespace orv::platform
