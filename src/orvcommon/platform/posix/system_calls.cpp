#include "orvcommon/platform/system_calls.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {
namespace posix {
namespace {

// The system's own calls, one plain function each (open is variadic); the
// services are the backend's own functions.
namespace real {
#define ORV_SYSCALL_REAL(name, result, params, args) \
    result name params {                             \
        return ::name args;                          \
    }
ORV_POSIX_SYSCALLS(ORV_SYSCALL_REAL)
#undef ORV_SYSCALL_REAL
}  // namespace real

constexpr SystemCalls kReal = {
#define ORV_SYSCALL_INIT(name, result, params, args) &real::name,
#define ORV_SERVICE_INIT(name, result, params, args) &name##Service,
    ORV_POSIX_SYSCALLS(ORV_SYSCALL_INIT) ORV_PLATFORM_SERVICES(ORV_SERVICE_INIT)
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
        ORV_POSIX_SYSCALLS(ORV_SYSCALL_NAMED) ORV_PLATFORM_SERVICES(ORV_SYSCALL_NAMED)
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
}  // namespace posix

bool setSystemCall(const char* name, SystemCall replacement) {
    const posix::Entry* e = posix::find(name);
    if (!e) return false;
    *e->slot = replacement ? replacement : e->original;
    return true;
}

SystemCall systemCall(const char* name) {
    const posix::Entry* e = posix::find(name);
    return e ? *e->slot : nullptr;
}

SystemCall originalSystemCall(const char* name) {
    const posix::Entry* e = posix::find(name);
    return e ? e->original : nullptr;
}

const char* nextSystemCall(const char* name) {
    size_t n = 0;
    const posix::Entry* e = posix::entries(n);
    if (!name) return e[0].name;
    for (size_t i = 0; i + 1 < n; ++i)
        if (std::strcmp(e[i].name, name) == 0) return e[i + 1].name;
    return nullptr;
}

void restoreSystemCalls() {
    posix::sys = posix::kReal;
}

}  // namespace orv::platform
