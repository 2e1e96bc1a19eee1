// The process's standard streams.
#pragma once

namespace orv::platform {

// True when standard output goes to a terminal (and not to a file or pipe).
bool standardOutputIsTerminal();

}  // namespace orv::platform
