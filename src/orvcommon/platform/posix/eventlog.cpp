#include <syslog.h>

#include <mutex>

#include "orvcommon/platform/eventlog.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {

void eventlogService(TextView message) {
    static std::once_flag opened;
    std::call_once(opened, [] { posix::sys.openlog("orvcommon", LOG_PID, LOG_USER); });
    posix::sys.syslogText(LOG_ERR, toUtf8(message).c_str());
}

void writeEventLog(TextView message) {
    services.eventlog(message);
}

}  // namespace orv::platform
