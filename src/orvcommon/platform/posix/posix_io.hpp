// Private to the POSIX backend: the table of system calls it makes, the one
// mapping from system error codes to run-time error numbers, and the one read
// and one write loop.
#pragma once

#include <dirent.h>
#include <dlfcn.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <ctime>

#include <cstdint>
#include <string>
#include <string_view>

#include "orvcommon/base/result.hpp"
#include "orvcommon/platform/system_calls.hpp"

// Every system call the backend makes, X(name, result, parameters,
// arguments). Each goes through `sys`, whose entries a test can replace by
// name (setSystemCall in platform/system_calls.hpp) to make the system fail
// on purpose.
#define ORV_POSIX_SYSCALLS(X)                                                             \
    X(open, int, (const char* p, int f, mode_t m), (p, f, m))                             \
    X(close, int, (int fd), (fd))                                                         \
    X(read, ssize_t, (int fd, void* b, size_t n), (fd, b, n))                             \
    X(write, ssize_t, (int fd, const void* b, size_t n), (fd, b, n))                      \
    X(lseek, off_t, (int fd, off_t o, int w), (fd, o, w))                                 \
    X(fsync, int, (int fd), (fd))                                                         \
    X(ftruncate, int, (int fd, off_t n), (fd, n))                                         \
    X(flock, int, (int fd, int op), (fd, op))                                             \
    X(fstat, int, (int fd, struct stat* st), (fd, st))                                    \
    X(stat, int, (const char* p, struct stat* st), (p, st))                               \
    X(fchmod, int, (int fd, mode_t m), (fd, m))                                           \
    X(chmod, int, (const char* p, mode_t m), (p, m))                                      \
    X(futimens, int, (int fd, const struct timespec* t), (fd, t))                         \
    X(rename, int, (const char* a, const char* b), (a, b))                                \
    X(linkat, int, (int a, const char* p, int b, const char* q, int f), (a, p, b, q, f))  \
    X(fchown, int, (int fd, uid_t u, gid_t g), (fd, u, g))                                \
    X(unlink, int, (const char* p), (p))                                                  \
    X(mkdir, int, (const char* p, mode_t m), (p, m))                                      \
    X(opendir, DIR*, (const char* p), (p))                                                \
    X(readdir, struct dirent*, (DIR * d), (d))                                            \
    X(closedir, int, (DIR * d), (d))                                                      \
    X(getxattr, ssize_t, (const char* p, const char* n, void* v, size_t s), (p, n, v, s)) \
    X(setxattr, int, (const char* p, const char* n, const void* v, size_t s, int f),      \
      (p, n, v, s, f))                                                                    \
    X(removexattr, int, (const char* p, const char* n), (p, n))                           \
    X(statvfs, int, (const char* p, struct statvfs* v), (p, v))                           \
    X(realpath, char*, (const char* p, char* r), (p, r))                                  \
    X(dladdr, int, (const void* a, Dl_info* i), (a, i))                                   \
    X(newlocale, locale_t, (int c, const char* n, locale_t b), (c, n, b))                 \
    X(nl_langinfo_l, char*, (nl_item i, locale_t l), (i, l))                              \
    X(freelocale, void, (locale_t l), (l))                                                \
    X(geteuid, uid_t, (), ())                                                             \
    X(lstat, int, (const char* p, struct stat* st), (p, st))                              \
    X(clock_gettime, int, (clockid_t c, struct timespec * t), (c, t))                     \
    X(localtime_r, struct tm*, (const time_t* t, struct tm* r), (t, r))                   \
    X(openlog, void, (const char* id, int o, int f), (id, o, f))                          \
    X(syslogText, void, (int priority, const char* message), (priority, message))         \
    X(madvise, int, (void* a, size_t n, int advice), (a, n, advice))                      \
    X(dlopen, void*, (const char* p, int f), (p, f))                                      \
    X(dlsym, void*, (void* h, const char* s), (h, s))

namespace orv::platform::posix {

struct SystemCalls {
#define ORV_SYSCALL_ENTRY(name, result, params, args) result(*name) params;
    ORV_POSIX_SYSCALLS(ORV_SYSCALL_ENTRY)
#undef ORV_SYSCALL_ENTRY
};
// The calls in force.
extern SystemCalls sys;

// The run-time error number for errno value `e`. `parentMissing` tells a
// missing file (53) from a missing folder on the way to it (76).
int32_t errorFromOs(int e, bool parentMissing = false);
// The same for a failure on `path`: ENOENT is looked at more closely.
Failure failureAt(int e, const std::string& path);
// errno as a failure.
Failure lastFailure();

// Reads until `n` bytes or the end of the file; EINTR is retried.
Result<size_t> readFully(int fd, char* buf, size_t n);
// Writes all of `bytes`; EINTR is retried. On failure `written` holds how
// much went out before it.
Status writeFully(int fd, std::string_view bytes, size_t* written = nullptr);
// Takes an exclusive advisory lock on the whole file; EINTR is retried.
Status lockExclusive(int fd);

}  // namespace orv::platform::posix
