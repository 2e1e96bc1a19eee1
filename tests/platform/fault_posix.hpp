// The fault test's POSIX half: the wrappers that fail the calls of the
// POSIX system-call table, the errors tried, and what each operation makes
// of them.
#pragma once

#include <errno.h>

#include <type_traits>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "orvcommon/results/enums.hpp"
#include "platform/fault_plan.hpp"
#include "support/sandbox.hpp"

namespace orv::fault {

inline const Error kErrors[] = {
    {ENOSPC, "ENOSPC"}, {EIO, "EIO"}, {EMFILE, "EMFILE"}, {EACCES, "EACCES"}, {EINTR, "EINTR"}};
constexpr int kDiskFull = ENOSPC;
constexpr int kQuotaFull = EDQUOT;  // also a full disk to callers
constexpr const char* kWriteCall = "write";
constexpr const char* kReadCall = "read";

template <class R>
R failedResult() {
    if constexpr (std::is_pointer_v<R>)
        return nullptr;
    else
        return static_cast<R>(-1);
}

// A failing close still releases what it closes (as Linux does), so those
// two run before they report the error.
#define ORV_FAULT_WRAPPER(name, result, params, args)                                  \
    inline result fault_##name params {                                                \
        using Real = result(*) params;                                                 \
        const auto real = reinterpret_cast<Real>(platform::originalSystemCall(#name)); \
        const int index_ = gPlan.counts[#name]++;                                      \
        if (index_ == gPlan.at && gPlan.call == #name) {                               \
            if (gPlan.call == "close" || gPlan.call == "closedir") (void)real args;    \
            gPlan.fired = true;                                                        \
            errno = gPlan.error;                                                       \
            return failedResult<result>();                                             \
        }                                                                              \
        return real args;                                                              \
    }
ORV_POSIX_SYSCALLS(ORV_FAULT_WRAPPER)
#undef ORV_FAULT_WRAPPER

inline ssize_t halfWrite(int fd, const void* b, size_t n) {
    using Real = ssize_t (*)(int, const void*, size_t);
    const auto real = reinterpret_cast<Real>(platform::originalSystemCall("write"));
    const int index = gPlan.counts["write"]++;
    if (gPlan.call == "write" && index == gPlan.at && n > 1) return real(fd, b, n / 2);
    if (gPlan.call == "write" && index == gPlan.at + 1) {
        gPlan.fired = true;
        errno = gPlan.error;
        return -1;
    }
    return real(fd, b, n);
}

struct InstallFaults {
    InstallFaults() {
#define ORV_FAULT_INSTALL(name, result, params, args) \
    platform::setSystemCall(#name, reinterpret_cast<platform::SystemCall>(&fault_##name));
        ORV_POSIX_SYSCALLS(ORV_FAULT_INSTALL)
#undef ORV_FAULT_INSTALL
    }
    static void halfWrites(bool on) {
        platform::setSystemCall(
            "write", reinterpret_cast<platform::SystemCall>(on ? &halfWrite : &fault_write));
    }
    ~InstallFaults() {
        platform::restoreSystemCalls();
    }
};

// The number a file operation answers for each injected error, as the
// automation run time maps them. EINTR is retried by the read, write, open,
// lock and link loops; elsewhere it is an access failure like any other.
inline int32_t mappedNumber(int error, const std::string& call) {
    static const std::set<std::string> kRetried = {"open", "read", "write", "flock", "linkat"};
    switch (error) {
        case ENOSPC:
            return err::kDiskFull;
        case EIO:
            return err::kDeviceIo;
        case EMFILE:
            return err::kTooManyFiles;
        case EINTR:
            return kRetried.count(call) ? 0 : err::kPathFileAccess;
        default:
            return err::kPathFileAccess;  // EACCES
    }
}
// What an interrupted call that is not retried answers.
constexpr int32_t kNotRetried = err::kPathFileAccess;

// Reading the settings store: its open is tried once.
inline const std::set<std::string> kStoreRead = {"open#0"};
// Closing, rotating and the regional settings never cost a log line.
inline const std::set<std::string> kLogPasses = {"close",     "rename",        "stat#1",
                                                 "newlocale", "nl_langinfo_l", "freelocale"};

inline const std::map<std::string, Expectations> kExpectations = {
    {"writeLog main", {kLogPasses, {}, kStoreRead}},
    {"writeLog main rotating", {kLogPasses, {}, kStoreRead}},
    {"writeLog named", {kLogPasses, {}, kStoreRead}},
    {"writeLog named rotating", {kLogPasses, {}, kStoreRead}},
    // The store's replacement is flushed before it takes the store's place:
    // a failed write shows there, not at the close.
    {"settings write",
     {{"close", "closedir", "opendir", "readdir", "stat", "fstat#0", "fstat#1", "fstat#4",
       "fstat#5"},
      {}}},
    // Some file systems report a failed write only at the close: it is the
    // write's failure.
    {"writeFile", {{"stat#0"}, {}}},
    {"writeCsvFileFromArray", {{"stat#0"}, {}}},
    {"readBinaryFile", {{"close", "fstat"}, {}}},
    {"ooReadFile", {{"close", "fstat"}, {{"lseek", err::kBadRecordNumber}}}},
    {"numFileInDir", {{"closedir", "getxattr"}, {}}},
    {"UpdateFileTime",
     {{"close", "futimens", "getxattr"}, {{"open", eiABORTED}, {"stat", eiABORTED}}}},
};

// The settings store as the operation left it: the store file's bytes.
inline std::string storeState(const test::Sandbox& box) {
    return test::readBytes(box.store());
}

}  // namespace orv::fault
