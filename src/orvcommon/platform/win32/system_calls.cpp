#include "orvcommon/platform/system_calls.hpp"

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
    ORV_WIN32_SYSCALLS(ORV_SYSCALL_INIT)
#undef ORV_SYSCALL_INIT
};

}  // namespace

SystemCalls sys = kReal;

}  // namespace win32

std::span<const SystemCallEntry> systemCallEntries() {
    static const SystemCallEntry kEntries[] = {
#define ORV_SYSCALL_NAMED(name, result, params, args)                                              \
    {#name, [] { return reinterpret_cast<SystemCall>(win32::sys.name); },                          \
     [](SystemCall call) { win32::sys.name = reinterpret_cast<decltype(win32::sys.name)>(call); }, \
     reinterpret_cast<SystemCall>(win32::kReal.name)},
        ORV_WIN32_SYSCALLS(ORV_SYSCALL_NAMED)
#undef ORV_SYSCALL_NAMED
    };
    return kEntries;
}

}  // namespace orv::platform
