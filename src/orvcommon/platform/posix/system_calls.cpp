#include "orvcommon/platform/system_calls.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/xattr.h>
#include <syslog.h>
#include <unistd.h>

#include "orvcommon/platform/posix/posix_io.hpp"

// syslog with the message itself, never a format (the table's entries are
// not variadic).
static void syslogText(int priority, const char* message) {
    ::syslog(priority, "%s", message);
}

namespace orv::platform {
namespace posix {
namespace {

// The system's own calls, one plain function each (open is variadic).
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
    ORV_POSIX_SYSCALLS(ORV_SYSCALL_INIT)
#undef ORV_SYSCALL_INIT
};

}  // namespace

SystemCalls sys = kReal;

}  // namespace posix

std::span<const SystemCallEntry> systemCallEntries() {
    static const SystemCallEntry kEntries[] = {
#define ORV_SYSCALL_NAMED(name, result, params, args)                                              \
    {#name, [] { return reinterpret_cast<SystemCall>(posix::sys.name); },                          \
     [](SystemCall call) { posix::sys.name = reinterpret_cast<decltype(posix::sys.name)>(call); }, \
     reinterpret_cast<SystemCall>(posix::kReal.name)},
        ORV_POSIX_SYSCALLS(ORV_SYSCALL_NAMED)
#undef ORV_SYSCALL_NAMED
    };
    return kEntries;
}

}  // namespace orv::platform
