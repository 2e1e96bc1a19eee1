#include "orvcommon/platform/console.hpp"

#include <unistd.h>

namespace orv::platform {

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace orv::platform
