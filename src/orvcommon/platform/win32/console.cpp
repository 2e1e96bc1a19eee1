#include "orvcommon/platform/console.hpp"

#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "orvcommon/base/text.hpp"

namespace orv::platform {

// A console answers GetConsoleMode; a file or a pipe does not.
bool standardOutputIsTerminal() {
    DWORD mode = 0;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    return out != nullptr && out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode) != 0;
}

// The wide command line split the way the C run-time splits it; `main`'s own
// arguments when it cannot be had.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide || count != argc) {
        if (wide) LocalFree(wide);
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>{};
    }
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i)
        out.push_back(toUtf8(Text(reinterpret_cast<const char16_t*>(wide[i]))));
    LocalFree(wide);
    return out;
}

}  // namespace orv::platform
