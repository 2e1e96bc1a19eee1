// The fault test's POSIX half: wrappers that fail the table's calls, the
// errors tried, and what each operation makes of them.
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

inline const Error kErrors[] = {{ENOSPC, "ENOSPC", err::kDiskFull},
                                {EIO, "EIO", err::kDeviceIo},
                                {EMFILE, "EMFILE", err::kTooManyFiles},
                                {EACCES, "EACCES", err::kPathFileAccess},
                                {EINTR, "EINTR", err::kPathFileAccess}};
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
        errno = gPlan.error;
        return -1;
    }
    return real(fd, b, n);
}

#define ORV_FAULT_SYSCALLS ORV_POSIX_SYSCALLS
inline const auto kWriteWrapper = &fault_write;

// EINTR is retried by the read, write, open, lock and link loops; elsewhere
// it is an access failure like any other.
inline int32_t mappedNumber(const Error& error, const std::string& call) {
    static const std::set<std::string> kRetried = {"open", "read", "write", "flock", "linkat"};
    return error.code == EINTR && kRetried.count(call) ? 0 : error.number;
}

// Some file systems report a failed write only at the close: it is the
// write's failure, so the writers get past no close.
inline const std::map<std::string, Expectations> kExpectations = {
    {"settings write", {{"*"}}},
    {"writeFile", {{"stat"}}},
    {"readBinaryFile", {{"close", "fstat"}}},
    {"ooReadFile", {{"close", "fstat"}, {{"lseek", err::kBadRecordNumber}}}},
    {"numFileInDir", {{"closedir", "getxattr"}}},
    {"UpdateFileTime",
     {{"close", "futimens", "getxattr"}, {{"open", eiABORTED}, {"stat", eiABORTED}}}},
};

inline std::string storeState(const test::Sandbox& box) {
    return test::readBytes(box.store());
}

}  // namespace orv::fault
