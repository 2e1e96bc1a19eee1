#include <windows.h>

#include <string>

#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {

backend::ModuleInfo backend::probeModule() {
    // The module that holds this very function is the DLL (or, in a static
    // build, the executable).
    ModuleInfo info;
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&backend::probeModule), &self))
        return info;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return info;
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const Text full = win32::fromWide(path);
    const auto sep = full.find_last_of(u"\\/");
    Text base = sep == Text::npos ? full : full.substr(sep + 1);
    if (sep != Text::npos) info.folder = full.substr(0, sep);
    // A DLL names the module by its file name without ".dll"; an executable
    // (a static build) keeps "orvcommon".
    const auto dot = base.find_last_of(u'.');
    if (dot != Text::npos && equalsIgnoreCase(TextView(base).substr(dot), u".dll")) {
        base.resize(dot);
        info.name = base;
    }
    return info;
}

}  // namespace orv::platform
