#include "orvcommon/platform/console.hpp"

#include <unistd.h>

namespace orv::platform {

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

}  // namespace orv::platform
