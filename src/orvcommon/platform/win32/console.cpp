#include "orvcommon/platform/console.hpp"

#include <windows.h>

namespace orv::platform {

// A console answers GetConsoleMode; a file or a pipe does not.
bool standardOutputIsTerminal() {
    DWORD mode = 0;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    return out != nullptr && out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode) != 0;
}

}  // namespace orv::platform
