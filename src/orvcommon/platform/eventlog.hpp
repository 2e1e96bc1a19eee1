// The host's event log (syslog on POSIX, ident "orvcommon").
#pragma once

#include <functional>

#include "orvcommon/base/text.hpp"

namespace orv::platform {

void writeEventLog(TextView message);

// Sends event-log messages to `sink` instead (tests); nullptr restores.
void setEventLogSinkForTesting(std::function<void(const Text&)> sink);

}  // namespace orv::platform
