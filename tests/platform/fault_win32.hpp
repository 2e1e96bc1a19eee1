// The fault test's Windows half: wrappers that fail the table's calls, the
// errors tried, and what each operation makes of them.
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

inline const Error kErrors[] = {
    {ERROR_DISK_FULL, "ERROR_DISK_FULL", err::kDiskFull},
    {ERROR_IO_DEVICE, "ERROR_IO_DEVICE", err::kDeviceIo},
    {ERROR_TOO_MANY_OPEN_FILES, "ERROR_TOO_MANY_OPEN_FILES", err::kTooManyFiles},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED", err::kPathFileAccess},
    {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION", err::kPermissionDenied}};
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
    if (gPlan.call == "WriteFile" && index == gPlan.at + 1) return failedResult<BOOL>(gPlan.error);
    return real(h, b, n, put, o);
}

#define ORV_FAULT_SYSCALLS ORV_WIN32_SYSCALLS
inline const auto kWriteWrapper = &fault_WriteFile;

// Nothing here is interrupted and retried. The registry refuses a write with
// 70 "Permission denied"; a file answers refused access with 75.
inline int32_t mappedNumber(const Error& error, const std::string& call) {
    const bool registry = error.code == ERROR_ACCESS_DENIED && call.starts_with("Reg");
    return registry ? err::kPermissionDenied : error.number;
}

inline const std::map<std::string, Expectations> kExpectations = {
    {"settings write", {{"*"}}},
    // A failed write that shows only when the file closes is the write's failure.
    {"writeFile", {{"GetFileAttributesW"}}},
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
