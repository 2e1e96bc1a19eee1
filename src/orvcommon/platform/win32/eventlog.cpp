#include <windows.h>

#include <mutex>

#include "orvcommon/platform/eventlog.hpp"

namespace orv::platform {
namespace {
std::mutex gMutex;
std::function<void(const Text&)> gSink;
}  // namespace

// The Application log, source "orvcommon", one error entry per message.
void writeEventLog(TextView message) {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gSink) {
            gSink(Text(message));
            return;
        }
    }
    static HANDLE source = RegisterEventSourceW(nullptr, L"orvcommon");
    if (!source) return;
    const Text text(message);
    LPCWSTR strings[1] = {reinterpret_cast<LPCWSTR>(text.c_str())};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}

void setEventLogSinkForTesting(std::function<void(const Text&)> sink) {
    std::lock_guard<std::mutex> lock(gMutex);
    gSink = std::move(sink);
}

}  // namespace orv::platform
