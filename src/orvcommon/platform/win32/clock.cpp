// The local date and time from the system's clock.
#include <windows.h>

#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/system_calls.hpp"

namespace orv::platform {

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

}  // namespace orv::platform
