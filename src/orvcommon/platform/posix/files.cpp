#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "orvcommon/core/errors.hpp"
#include "orvcommon/platform/files.hpp"

namespace orv::platform {
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
    return ::stat(p.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

}  // namespace

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

File::~File() {
    close();
}
File::File(File&& o) noexcept : fd_(o.fd_) {
    o.fd_ = -1;
}
File& File::operator=(File&& o) noexcept {
    if (this != &o) {
        close();
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

std::string nativePath(TextView path) {
    return native(path);
}

File File::open(TextView path, OpenMode mode, int32_t* error) {
    return openNative(native(path), mode, error);
}

File File::openNative(const std::string& p, OpenMode mode, int32_t* error) {
    File f;
    if (p.empty() || p.find('\0') != std::string::npos) {
        if (error) *error = p.empty() ? err::kFileNotFound : err::kBadFileNameOrNumber;
        return f;
    }
    int fd;
    do {
        fd = ::open(p.c_str(), flagsFor(mode) | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        int e = errno;
        if (error) *error = errorFromOs(e, e == ENOENT && parentIsMissing(p));
        return f;
    }
    // A folder opens for reading on POSIX; files are what callers want. (Any
    // mode that writes fails on a folder by itself, with EISDIR.)
    struct stat st {};
    if (mode == OpenMode::Read && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error) *error = err::kPathFileAccess;
        return f;
    }
    f.fd_ = fd;
    return f;
}

void File::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool File::lockExclusive() {
    int r;
    do {
        r = ::flock(fd_, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    return r == 0;
}

int64_t File::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool File::isStillAt(TextView path) const {
    struct stat mine {
    }, there{};
    if (::fstat(fd_, &mine) != 0) return false;
    if (::stat(native(path).c_str(), &there) != 0) return false;
    return mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

bool File::writeAll(std::string_view bytes, int32_t* error) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) *error = errorFromOs(errno);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> File::read(size_t n, int32_t* error) {
    std::string buf(n, '\0');
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd_, buf.data() + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (error) *error = errorFromOs(errno);
            return std::nullopt;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    buf.resize(got);
    return buf;
}

int64_t File::readInto(char* buffer, size_t n, int32_t* error) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd_, buffer + got, n - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (error) *error = errorFromOs(errno);
            return -1;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(got);
}

std::optional<std::string> File::readAll(int32_t* error) {
    int64_t sz = size();
    std::string out;
    if (sz > 0) out.reserve(static_cast<size_t>(sz));
    char chunk[65536];
    for (;;) {
        ssize_t r = ::read(fd_, chunk, sizeof chunk);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (error) *error = errorFromOs(errno);
            return std::nullopt;
        }
        if (r == 0) break;
        out.append(chunk, static_cast<size_t>(r));
    }
    return out;
}

bool File::seek(int64_t offset) {
    return ::lseek(fd_, offset, SEEK_SET) >= 0;
}

PathKind pathKind(TextView path) {
    struct stat st {};
    if (path.empty() || ::stat(native(path).c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    return PathKind::Other;
}

bool fileExists(TextView path) {
    auto k = pathKind(path);
    return k == PathKind::File || k == PathKind::Other;
}
bool folderExists(TextView path) {
    return pathKind(path) == PathKind::Folder;
}
bool pathExists(TextView path) {
    return pathKind(path) != PathKind::Missing;
}

int64_t fileSize(TextView path) {
    struct stat st {};
    if (::stat(native(path).c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool renameReplace(TextView from, TextView to) {
    return ::rename(native(from).c_str(), native(to).c_str()) == 0;
}

bool copyFile(TextView from, TextView to) {
    File in = File::open(from, OpenMode::Read);
    if (!in.isOpen()) return false;
    auto bytes = in.readAll();
    if (!bytes) return false;
    File out = File::open(to, OpenMode::WriteTruncate);
    return out.isOpen() && out.writeAll(*bytes);
}

bool removeFile(TextView path) {
    return ::unlink(native(path).c_str()) == 0;
}

bool createFolders(TextView path) {
    std::string p = native(path);
    if (p.empty()) return false;
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            std::string part = p.substr(0, i);
            if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        }
    }
    return folderExists(path);
}

Text parentFolder(TextView path) {
    auto slash = path.find_last_of(kPathSeparator);
    if (slash == TextView::npos) return Text();
    if (slash == 0) return Text(1, kPathSeparator);
    return Text(path.substr(0, slash));
}

Text joinPath(TextView folder, TextView name) {
    Text out(folder);
    if (!out.empty() && out.back() != kPathSeparator) out.push_back(kPathSeparator);
    out.append(name);
    return out;
}

Text tempFolder() {
    const char* t = std::getenv("TMPDIR");
    Text out = fromUtf8(t && *t ? t : "/tmp");
    if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
    return out;
}

}  // namespace orv::platform
