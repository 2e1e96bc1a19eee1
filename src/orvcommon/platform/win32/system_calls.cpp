#include "orvcommon/platform/system_calls.hpp"

#include <cstring>

#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
namespace win32 {
namespace {

// The system's own calls, one plain function each, so that the table of
// them is a constant (the system's entry points are imported at load time).
namespace real {
#define ORV_SYSCALL_REAL(name, result, params, args) \
    result WINAPI name params {                      \
        return ::name args;                          \
    }
ORV_WIN32_SYSCALLS(ORV_SYSCALL_REAL)
#undef ORV_SYSCALL_REAL
}  // namespace real

constexpr SystemCalls kReal = {
#define ORV_SYSCALL_INIT(name, result, params, args) &real::name,
#define ORV_SERVICE_INIT(name, result, params, args) &name##Service,
    ORV_WIN32_SYSCALLS(ORV_SYSCALL_INIT) ORV_PLATFORM_SERVICES(ORV_SERVICE_INIT)
#undef ORV_SERVICE_INIT
#undef ORV_SYSCALL_INIT
};

struct Entry {
    const char* name;
    SystemCall* slot;  // the entry of `sys`, seen as a plain pointer
    SystemCall original;
};

}  // namespace

SystemCalls sys = kReal;

namespace {

const Entry* entries(size_t& count) {
    static const Entry kEntries[] = {
#define ORV_SYSCALL_NAMED(name, result, params, args) \
    {#name, reinterpret_cast<SystemCall*>(&sys.name), reinterpret_cast<SystemCall>(kReal.name)},
        ORV_WIN32_SYSCALLS(ORV_SYSCALL_NAMED) ORV_PLATFORM_SERVICES(ORV_SYSCALL_NAMED)
#undef ORV_SYSCALL_NAMED
    };
    count = sizeof kEntries / sizeof kEntries[0];
    return kEntries;
}

const Entry* find(const char* name) {
    size_t n = 0;
    const Entry* e = entries(n);
    for (size_t i = 0; name && i < n; ++i)
        if (std::strcmp(e[i].name, name) == 0) return &e[i];
    return nullptr;
}

}  // namespace
}  // namespace win32

bool setSystemCall(const char* name, SystemCall replacement) {
    const win32::Entry* e = win32::find(name);
    if (!e) return false;
    *e->slot = replacement ? replacement : e->original;
    return true;
}

SystemCall systemCall(const char* name) {
    const win32::Entry* e = win32::find(name);
    return e ? *e->slot : nullptr;
}

SystemCall originalSystemCall(const char* name) {
    const win32::Entry* e = win32::find(name);
    return e ? e->original : nullptr;
}

const char* nextSystemCall(const char* name) {
    size_t n = 0;
    const win32::Entry* e = win32::entries(n);
    if (!name) return e[0].name;
    for (size_t i = 0; i + 1 < n; ++i)
        if (std::strcmp(e[i].name, name) == 0) return e[i + 1].name;
    return nullptr;
}

void restoreSystemCalls() {
    win32::sys = win32::kReal;
}

}  // namespace orv::platform
