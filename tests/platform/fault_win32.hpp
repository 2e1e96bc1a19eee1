// The fault test's Windows half: the wrappers that fail the calls of the
// Win32 system-call table, the errors tried, and what each operation makes
// of them.
#pragma once

#include <windows.h>

#include <type_traits>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"
#include "orvcommon/results/enums.hpp"
#include "platform/fault_plan.hpp"
#include "support/sandbox.hpp"

namespace orv::fault {

inline const Error kErrors[] = {{ERROR_DISK_FULL, "ERROR_DISK_FULL"},
                                {ERROR_IO_DEVICE, "ERROR_IO_DEVICE"},
                                {ERROR_TOO_MANY_OPEN_FILES, "ERROR_TOO_MANY_OPEN_FILES"},
                                {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
                                {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION"}};
constexpr int kDiskFull = ERROR_DISK_FULL;
constexpr int kQuotaFull = ERROR_HANDLE_DISK_FULL;  // also a full disk to callers
constexpr const char* kWriteCall = "WriteFile";
constexpr const char* kReadCall = "ReadFile";

// How each kind of call says that it failed: the registry calls answer their
// error, the others answer FALSE, an invalid handle or invalid attributes and
// leave the error to GetLastError.
template <class R>
R failedResult(int error) {
    if constexpr (std::is_same_v<R, LONG>) {
        return error;
    } else {
        SetLastError(static_cast<DWORD>(error));
        if constexpr (std::is_same_v<R, HANDLE>)
            return INVALID_HANDLE_VALUE;
        else if constexpr (std::is_same_v<R, DWORD>)
            return INVALID_FILE_ATTRIBUTES;
        else
            return FALSE;
    }
}

// A failing close still releases what it closes, so those two run before
// they report the error.
#define ORV_FAULT_WRAPPER(name, result, params, args)                                      \
    inline result WINAPI fault_##name params {                                             \
        using Real = result(WINAPI*) params;                                               \
        const auto real = reinterpret_cast<Real>(platform::originalSystemCall(#name));     \
        const int index_ = gPlan.counts[#name]++;                                          \
        if (index_ == gPlan.at && gPlan.call == #name) {                                   \
            if (gPlan.call == "CloseHandle" || gPlan.call == "FindClose") (void)real args; \
            return failedResult<result>(gPlan.error);                                      \
        }                                                                                  \
        return real args;                                                                  \
    }
ORV_WIN32_SYSCALLS(ORV_FAULT_WRAPPER)
#undef ORV_FAULT_WRAPPER

inline BOOL WINAPI halfWrite(HANDLE h, LPCVOID b, DWORD n, LPDWORD put, LPOVERLAPPED o) {
    using Real = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    const auto real = reinterpret_cast<Real>(platform::originalSystemCall("WriteFile"));
    const int index = gPlan.counts["WriteFile"]++;
    if (gPlan.call == "WriteFile" && index == gPlan.at && n > 1) return real(h, b, n / 2, put, o);
    if (gPlan.call == "WriteFile" && index == gPlan.at + 1) {
        return failedResult<BOOL>(gPlan.error);
    }
    return real(h, b, n, put, o);
}

struct InstallFaults {
    InstallFaults() {
#define ORV_FAULT_INSTALL(name, result, params, args) \
    platform::setSystemCall(#name, reinterpret_cast<platform::SystemCall>(&fault_##name));
        ORV_WIN32_SYSCALLS(ORV_FAULT_INSTALL)
#undef ORV_FAULT_INSTALL
    }
    static void halfWrites(bool on) {
        platform::setSystemCall("WriteFile", reinterpret_cast<platform::SystemCall>(
                                                 on ? &halfWrite : &fault_WriteFile));
    }
    ~InstallFaults() {
        platform::restoreSystemCalls();
    }
};

// The number a file operation answers for each error, as the automation
// run time documents them. Nothing here is interrupted and retried.
// The registry refuses a write with 70 "Permission denied"; a file answers
// refused access with 75.
inline int32_t mappedNumber(int error, const std::string& call) {
    if (error == ERROR_ACCESS_DENIED && call.starts_with("Reg")) return err::kPermissionDenied;
    switch (error) {
        case ERROR_DISK_FULL:
            return err::kDiskFull;
        case ERROR_IO_DEVICE:
            return err::kDeviceIo;
        case ERROR_TOO_MANY_OPEN_FILES:
            return err::kTooManyFiles;
        case ERROR_SHARING_VIOLATION:
            return err::kPermissionDenied;
        default:
            return err::kPathFileAccess;  // ERROR_ACCESS_DENIED
    }
}

inline const std::map<std::string, Expectations> kExpectations = {
    {"settings write", {{"*"}}},
    // A failed write that shows only when the file closes is the write's failure.
    {"writeFile", {{"GetFileAttributesW"}}},
    {"writeCsvFileFromArray", {{"GetFileAttributesW"}}},
    {"readBinaryFile", {{"CloseHandle", "GetFileSizeEx"}}},
    {"ooReadFile", {{"CloseHandle"}, {{"SetFilePointerEx", err::kBadRecordNumber}}}},
    {"numFileInDir", {{"FindClose"}}},
    {"UpdateFileTime",
     {{"CloseHandle", "SetFileTime"},
      {{"CreateFileW", eiABORTED}, {"GetFileAttributesW", eiABORTED}}}},
};

// The setting the fault test writes, as the operation left it. The registry
// itself cannot be torn by a process; a value write that fails after its key
// was made leaves the key, empty, which is not looked at here.
inline std::string storeState(const test::Sandbox&) {
    auto value = platform::readValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Fault", u"Name");
    if (!value) return "(unreadable)";
    return *value ? (*value)->data : "(none)";
}

}  // namespace orv::fault
