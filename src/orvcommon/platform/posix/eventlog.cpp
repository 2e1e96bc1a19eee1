#include <syslog.h>

#include <mutex>

#include "orvcommon/platform/eventlog.hpp"

namespace orv::platform {
namespace {
std::mutex gMutex;
std::function<void(const Text&)> gSink;
}  // namespace

void writeEventLog(TextView message) {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gSink) {
            gSink(Text(message));
            return;
        }
    }
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("orvcommon", LOG_PID, LOG_USER); });
    syslog(LOG_ERR, "%s", toUtf8(message).c_str());
}

void setEventLogSinkForTesting(std::function<void(const Text&)> sink) {
    std::lock_guard<std::mutex> lock(gMutex);
    gSink = std::move(sink);
}

}  // namespace orv::platform
