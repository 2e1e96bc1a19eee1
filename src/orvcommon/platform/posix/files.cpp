#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {
using posix::sys;
namespace {

std::string native(TextView path) {
    return toUtf8(path);
}

int flagsFor(OpenMode m) {
    switch (m) {
        case OpenMode::Read:
            return O_RDONLY;
        case OpenMode::WriteTruncate:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case OpenMode::Append:
            return O_WRONLY | O_CREAT | O_APPEND;
        case OpenMode::AppendExisting:
            return O_WRONLY | O_APPEND;
        case OpenMode::ReadWriteExisting:
            return O_RDWR;
        case OpenMode::WriteExisting:
            return O_WRONLY;
    }
    return O_RDONLY;
}

bool parentIsMissing(const std::string& p) {
    auto slash = p.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    struct stat st {};
    return sys.stat(p.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

int fdOf(intptr_t handle) {
    return static_cast<int>(handle);
}

// Opens a path already in the file system's encoding; the descriptor or the
// failure.
Result<int> openFd(const std::string& p, OpenMode mode) {
    if (p.empty()) return Failure{err::kFileNotFound};
    if (p.find('\0') != std::string::npos) return Failure{err::kBadFileNameOrNumber};
    int fd;
    do {
        fd = sys.open(p.c_str(), flagsFor(mode) | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return posix::failureAt(errno, p);
    // A folder opens for reading on POSIX; files are what callers want. (Any
    // mode that writes fails on a folder by itself, with EISDIR.)
    struct stat st {};
    if (mode == OpenMode::Read && sys.fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        sys.close(fd);
        return Failure{err::kPathFileAccess};
    }
    return fd;
}

Status lockFd(int fd) {
    return posix::lockExclusive(fd);
}

}  // namespace

namespace posix {

int32_t errorFromOs(int e, bool parentMissing) {
    switch (e) {
        case ENOENT:
            return parentMissing ? err::kPathNotFound : err::kFileNotFound;
        case ENOTDIR:
            return err::kPathNotFound;
        case EACCES:
        case EISDIR:
        case EROFS:
        case ETXTBSY:
            return err::kPathFileAccess;
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK:
            return err::kPermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return err::kDiskFull;
        case EMFILE:
        case ENFILE:
            return err::kTooManyFiles;
        case EIO:
            return err::kDeviceIo;
        case ENXIO:
        case ENODEV:
            return err::kDeviceUnavailable;
        case EEXIST:
            return err::kFileAlreadyExists;
        case EXDEV:
            return err::kRenameAcrossDrives;
        case ENAMETOOLONG:
        case EINVAL:
        case ELOOP:
            return err::kBadFileNameOrNumber;
        case ENOMEM:
            return err::kOutOfMemory;
        default:
            return err::kPathFileAccess;
    }
}

Failure failureAt(int e, const std::string& path) {
    return Failure{errorFromOs(e, e == ENOENT && parentIsMissing(path)), e};
}

Failure lastFailure() {
    return Failure{errorFromOs(errno), errno};
}

Result<size_t> readFully(int fd, char* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = sys.read(fd, buf + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return lastFailure();
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return got;
}

Status writeFully(int fd, std::string_view bytes, size_t* written) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = sys.write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written) *written = done;
            return lastFailure();
        }
        done += static_cast<size_t>(n);
    }
    if (written) *written = done;
    return Status();
}

Status lockExclusive(int fd) {
    int r;
    do {
        r = sys.flock(fd, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    return r == 0 ? Status() : lastFailure();
}

}  // namespace posix

Result<File> File::open(TextView path, OpenMode mode) {
    auto fd = openFd(native(path), mode);
    if (!fd) return fd.failure();
    File f;
    f.handle_ = *fd;
    return f;
}

Status File::close() {
    Status closed;
    if (isOpen()) {
        // Linux releases the descriptor even when close fails (EINTR too):
        // never closed twice, the failure is reported.
        if (sys.close(fdOf(handle_)) != 0) closed = posix::lastFailure();
        handle_ = kClosed;
    }
    // A named temporary file that was never put in place goes with it.
    if (!temporaryName_.empty()) sys.unlink(temporaryName_.c_str());
    temporaryName_.clear();
    temporaryPrefix_.clear();
    return closed;
}

Result<File> File::createTemporary(TextView namePrefix, FileAccess access) {
    const std::string prefix = native(namePrefix);
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0644;
    const auto slash = prefix.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : prefix.substr(0, slash);
    File f;
    f.temporaryPrefix_ = prefix;
    int fd;
    do {
        fd = sys.open(folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        f.handle_ = fd;
        return f;
    }
    // File systems without unnamed files answer one of these.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return posix::failureAt(errno, folder);
    for (int attempt = 0; attempt < backend::kNameAttempts; ++attempt) {
        const std::string name = prefix + backend::randomSuffix();
        fd = sys.open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            f.handle_ = fd;
            f.temporaryName_ = name;
            return f;
        }
        if (errno != EEXIST && errno != EINTR) return posix::failureAt(errno, name);
    }
    return Failure{err::kFileAlreadyExists};
}

Status File::replace(TextView target) {
    const std::string to = native(target);
    if (temporaryName_.empty()) {
        // An unnamed file gets a name first (a link cannot replace a file),
        // then takes the target's place.
        const std::string self = "/proc/self/fd/" + std::to_string(fdOf(handle_));
        for (int attempt = 0;; ++attempt) {
            if (attempt == backend::kNameAttempts) return Failure{err::kFileAlreadyExists};
            const std::string name = temporaryPrefix_ + backend::randomSuffix();
            int r = sys.linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
            if (r != 0 && errno == ENOENT)  // no /proc: only privileged processes get here
                r = sys.linkat(fdOf(handle_), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
            if (r == 0) {
                temporaryName_ = name;
                break;
            }
            if (errno != EEXIST && errno != EINTR) return posix::failureAt(errno, name);
        }
    }
    if (sys.rename(temporaryName_.c_str(), to.c_str()) != 0) return posix::failureAt(errno, to);
    temporaryName_.clear();
    temporaryPrefix_.clear();
    return Status();
}

Status File::sync() {
    return sys.fsync(fdOf(handle_)) == 0 ? Status() : posix::lastFailure();
}

Status File::copyAccessFrom(const File& other) {
    struct stat from {
    }, self{};
    if (sys.fstat(fdOf(other.handle_), &from) != 0 || sys.fstat(fdOf(handle_), &self) != 0)
        return posix::lastFailure();
    // Only a privileged process may give a file away; others keep it.
    if (from.st_uid != self.st_uid || from.st_gid != self.st_gid)
        (void)sys.fchown(fdOf(handle_), from.st_uid, from.st_gid);
    if (sys.fchmod(fdOf(handle_), from.st_mode & 07777) != 0) return posix::lastFailure();
    return Status();
}

Result<uint64_t> File::modifiedTime() const {
    struct stat st {};
    if (sys.fstat(fdOf(handle_), &st) != 0) return posix::lastFailure();
    // 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
    constexpr int64_t kEpochDelta = 116444736000000000LL;
    return static_cast<uint64_t>(static_cast<int64_t>(st.st_mtim.tv_sec) * 10000000 +
                                 st.st_mtim.tv_nsec / 100 + kEpochDelta);
}

Status File::lockExclusive() {
    return lockFd(fdOf(handle_));
}

Result<int64_t> File::size() const {
    struct stat st {};
    if (sys.fstat(fdOf(handle_), &st) != 0) return posix::lastFailure();
    return static_cast<int64_t>(st.st_size);
}

Status File::writeAll(std::string_view bytes) {
    return posix::writeFully(fdOf(handle_), bytes);
}

Result<std::string> File::read(size_t n) {
    std::string buf(n, '\0');
    auto got = posix::readFully(fdOf(handle_), buf.data(), n);
    if (!got) return got.failure();
    buf.resize(*got);
    return buf;
}

Result<size_t> File::readInto(char* buffer, size_t n) {
    return posix::readFully(fdOf(handle_), buffer, n);
}

Status File::seek(int64_t offset) {
    return sys.lseek(fdOf(handle_), offset, SEEK_SET) >= 0 ? Status() : posix::lastFailure();
}

// ---- The shared log file

SharedLogFile::SharedLogFile(TextView path, TextView oldCopy)
    : path_(path), oldCopy_(oldCopy), prepared_(native(path)), preparedOld_(native(oldCopy)) {}

namespace {

// Appends under the lock already held; a write that fails part way is cut
// back to where the file ended, so no part of a line stays.
Status appendWhole(int fd, std::string_view line, off_t sizeBefore) {
    size_t written = 0;
    Status s = posix::writeFully(fd, line, &written);
    if (!s && written > 0) {
        while (sys.ftruncate(fd, sizeBefore) != 0 && errno == EINTR) {
        }
    }
    return s;
}

// Appends the line, then closes the file: the first failure of the two.
template <class Closer>
Status appendThenClose(Closer& file, std::string_view line, off_t sizeBefore) {
    Status written = appendWhole(file.fd, line, sizeBefore);
    Status closed = file.close();
    return !written ? written : closed;
}

}  // namespace

Status SharedLogFile::run(const std::string_view* line, int64_t switchSize) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        auto opened = openFd(prepared_, line ? OpenMode::Append : OpenMode::AppendExisting);
        if (!opened) return opened.failure();
        // A line is written only once its file closed without a failure
        // (some file systems report a failed write only there).
        struct Closer {
            int fd;
            Status close() {
                const int r = sys.close(std::exchange(fd, -1));
                return r == 0 ? Status() : posix::lastFailure();
            }
            ~Closer() {
                if (fd >= 0) sys.close(fd);
            }
        } f{*opened};
        if (Status locked = lockFd(f.fd); !locked) return locked;
        struct stat st {};
        if (sys.fstat(f.fd, &st) != 0) return posix::lastFailure();
        // A file renamed away by another process's rotation was larger than
        // the switch size then and has only grown, so the identity check is
        // needed only for a file that is over the size now.
        if (st.st_size > switchSize) {
            struct stat there {};
            if (sys.stat(prepared_.c_str(), &there) != 0 || there.st_dev != st.st_dev ||
                there.st_ino != st.st_ino)
                continue;  // rotated away meanwhile: reopen
            if (sys.rename(prepared_.c_str(), preparedOld_.c_str()) == 0) {
                if (!line) return Status();
                auto fresh = openFd(prepared_, OpenMode::Append);
                if (!fresh) return fresh.failure();
                Closer g{*fresh};
                if (Status locked = lockFd(g.fd); !locked) return locked;
                struct stat freshSt {};
                if (sys.fstat(g.fd, &freshSt) != 0) return posix::lastFailure();
                return appendThenClose(g, *line, freshSt.st_size);
            }
        }
        if (!line) return Status();
        return appendThenClose(f, *line, st.st_size);
    }
    // Renamed away eight times in a row under our feet: give up the line.
    return Failure{err::kPathFileAccess};
}

PathKind pathKind(TextView path) {
    struct stat st {};
    if (path.empty() || sys.stat(native(path).c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    return PathKind::Other;
}

Status renameReplace(TextView from, TextView to) {
    const std::string f = native(from);
    if (sys.rename(f.c_str(), native(to).c_str()) != 0) return posix::failureAt(errno, f);
    return Status();
}

Status removeFile(TextView path) {
    const std::string p = native(path);
    if (sys.unlink(p.c_str()) != 0) return posix::failureAt(errno, p);
    return Status();
}

Status createFolders(TextView path) {
    std::string p = native(path);
    if (p.empty()) return Failure{err::kPathNotFound};
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            if (sys.mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return posix::lastFailure();
        }
    }
    return folderExists(path) ? Status() : Failure{err::kPathNotFound};
}

namespace {

// A folder only `uid` may put files in (or take them away from).
bool privateFolder(const std::string& path, uid_t uid) {
    struct stat st {};
    return sys.lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

Text withSeparator(const std::string& folder) {
    Text out = fromUtf8(folder);
    if (out.empty() || out.back() != kPathSeparator) out.push_back(kPathSeparator);
    return out;
}

// A work file that is not this user's own regular file, with no other name.
bool foreign(const struct stat& st) {
    return !S_ISREG(st.st_mode) || st.st_uid != sys.geteuid() || st.st_nlink != 1;
}

}  // namespace

Text tempFolder() {
    // A folder the user chose is the user's business.
    if (const char* t = std::getenv("TMPDIR"); t && *t) return withSeparator(t);
    const uid_t uid = sys.geteuid();
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run && privateFolder(run, uid))
        return withSeparator(run);
    const std::string own = "/tmp/orvcommon-" + std::to_string(uid);
    if (sys.mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return Text();
    // Made by someone else first, or opened up since: not used.
    return privateFolder(own, uid) ? withSeparator(own) : Text();
}

Result<File> File::openWorkFile(TextView path, bool lock, bool* created) {
    const std::string p = native(path);
    if (p.empty()) return Failure{err::kFileNotFound};
    if (p.find('\0') != std::string::npos) return Failure{err::kBadFileNameOrNumber};
    // Created new, or else the file already there; never through a link, and
    // never blocked by a FIFO.
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    bool made = true;
    int fd;
    do {
        made = true;
        fd = sys.open(p.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
        if (fd < 0 && errno == EEXIST) {
            made = false;
            fd = sys.open(p.c_str(), kFlags, 0);
        }
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int e = errno;
        // A link (ELOOP), a folder, a device or another user's file: not ours.
        struct stat there {};
        if (e == ELOOP || (sys.lstat(p.c_str(), &there) == 0 && foreign(there)))
            return Failure{err::kFileAlreadyExists};
        return posix::failureAt(e, p);
    }
    File f;
    f.handle_ = fd;
    struct stat st {};
    if (sys.fstat(fd, &st) != 0) return posix::lastFailure();
    if (foreign(st)) return Failure{err::kFileAlreadyExists};
    if (lock) {
        int r;
        do {
            r = sys.flock(fd, LOCK_EX | LOCK_NB);
        } while (r != 0 && errno == EINTR);
        if (r != 0)
            return errno == EWOULDBLOCK ? Failure{err::kFileAlreadyExists} : posix::lastFailure();
    }
    if (created) *created = made;
    return f;
}

}  // namespace orv::platform
