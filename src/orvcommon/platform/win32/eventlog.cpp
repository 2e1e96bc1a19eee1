#include <windows.h>

#include "orvcommon/platform/eventlog.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {

// The Application log, source "orvcommon", one error entry per message.
void eventlogService(TextView message) {
    static HANDLE source = RegisterEventSourceW(nullptr, L"orvcommon");
    if (!source) return;
    const Text text(message);
    LPCWSTR strings[1] = {reinterpret_cast<LPCWSTR>(text.c_str())};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}

void writeEventLog(TextView message) {
    services.eventlog(message);
}

}  // namespace orv::platform
