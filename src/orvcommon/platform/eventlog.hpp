// The host's event log (syslog on POSIX, ident "orvcommon"). Tests catch its
// messages through the "eventlog" entry of the system-call table.
#pragma once

#include "orvcommon/base/text.hpp"

namespace orv::platform {

void writeEventLog(TextView message);

}  // namespace orv::platform
