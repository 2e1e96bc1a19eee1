// File attributes, directory listing, file times and volume information on
// POSIX. Attributes map as follows: read-only is the absence of every write
// permission bit; hidden is a dot-name or the hidden bit of `user.DOSATTRIB`;
// system and archive live only in that extended attribute.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/paths.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {
using posix::sys;
namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr int32_t kXattrBits = attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive;

Failure failureAt(int e, const std::string& p) {
    return posix::failureAt(e, p);
}

uint32_t readLe(const unsigned char* b, size_t n) {
    uint32_t v = 0;
    for (size_t i = n; i-- > 0;)
        v = (v << 8) | b[i];
    return v;
}

// The attribute bits kept in `user.DOSATTRIB`, 0 when there are none. The
// text form is "0x" and hexadecimal digits; the binary form starts with an
// empty NUL-terminated text, a 16-bit version (and the same value again as
// the record's level), then for versions 4 and up a 32-bit validity mask,
// then the 32-bit attribute bits.
int32_t storedBits(const std::string& p) {
    unsigned char buf[256];
    ssize_t n = sys.getxattr(p.c_str(), kDosAttrib, buf, sizeof buf);
    if (n <= 0) return 0;
    const size_t len = static_cast<size_t>(n);
    if (len >= 2 && buf[0] == '0' && (buf[1] == 'x' || buf[1] == 'X')) {
        uint32_t v = 0;
        for (size_t i = 2; i < len && i < 10; ++i) {
            const char c = static_cast<char>(buf[i]);
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d < 0) break;
            v = (v << 4) | static_cast<uint32_t>(d);
        }
        return static_cast<int32_t>(v) & kXattrBits;
    }
    if (buf[0] == 0 && len >= 3) {
        size_t at = 1;
        const uint32_t version = readLe(buf + at, 2);
        at += 2;
        if (len >= at + 2 && readLe(buf + at, 2) == version) at += 2;
        if (version >= 4) at += 4;
        if (version >= 1 && version <= 5 && len >= at + 4)
            return static_cast<int32_t>(readLe(buf + at, 4)) & kXattrBits;
    }
    return 0;
}

std::string baseName(const std::string& p) {
    std::string s = p;
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    auto slash = s.find_last_of('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

int32_t attributesOf(const std::string& p, const std::string& name, const struct stat& st) {
    int32_t a = storedBits(p) & (attr::kHidden | attr::kSystem | attr::kArchive);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) a |= attr::kReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= attr::kHidden;
    if (S_ISDIR(st.st_mode)) a |= attr::kDirectory;
    return a;
}

}  // namespace

bool matchesPattern(TextView name, TextView pattern) {
    if (pattern == u"*.*") return true;
    return matchesWildcard(name, pattern, [](char16_t a, char16_t b) { return a == b; });
}

Result<int32_t> getAttributes(TextView path) {
    const std::string p = toUtf8(path);
    struct stat st {};
    if (p.empty() || sys.stat(p.c_str(), &st) != 0) return failureAt(p.empty() ? ENOENT : errno, p);
    return attributesOf(p, baseName(p), st);
}

Status setAttributes(TextView path, int32_t attributes) {
    if ((attributes & ~kXattrBits) != 0) return Failure{err::kInvalidArgument};
    const std::string p = toUtf8(path);
    struct stat st {};
    if (p.empty() || sys.stat(p.c_str(), &st) != 0) return failureAt(p.empty() ? ENOENT : errno, p);
    mode_t mode = st.st_mode & 07777;
    if (attributes & attr::kReadOnly)
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && sys.chmod(p.c_str(), mode) != 0) return failureAt(errno, p);
    const int32_t kept = attributes & (attr::kHidden | attr::kSystem | attr::kArchive);
    int r;
    if (kept == 0) {
        r = sys.removexattr(p.c_str(), kDosAttrib);
        if (r != 0 && errno == ENODATA) r = 0;
    } else {
        char text[16];
        const int len = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(kept));
        r = sys.setxattr(p.c_str(), kDosAttrib, text, static_cast<size_t>(len), 0);
    }
    // No extended attributes on this file system: read-only and hidden
    // (dot-names) still work, the other bits are not kept.
    if (r != 0 && errno != ENOTSUP && errno != EOPNOTSUPP) return failureAt(errno, p);
    return Status();
}

Result<std::vector<DirEntry>> listDirectory(TextView pattern, int32_t attributeFilter) {
    std::vector<DirEntry> out;
    Text folder, namePattern;
    const auto slash = pattern.find_last_of(kPathSeparator);
    if (slash == TextView::npos) {
        folder = u".";
        namePattern = Text(pattern);
    } else {
        folder = Text(pattern.substr(0, slash + 1));
        namePattern = Text(pattern.substr(slash + 1));
    }
    if (namePattern.empty()) namePattern = u"*";
    const std::string dirPath = toUtf8(folder);
    DIR* dir = sys.opendir(dirPath.c_str());
    if (!dir) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR) return out;
        return failureAt(e, dirPath);
    }
    const std::string prefix = dirPath.back() == '/' ? dirPath : dirPath + "/";
    for (;;) {
        errno = 0;
        const struct dirent* d = sys.readdir(dir);
        if (!d) {
            // The end of the folder, or a failure part way through the listing.
            const int e = errno;
            sys.closedir(dir);
            if (e != 0) return failureAt(e, dirPath);
            return out;
        }
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        const Text wname = fromUtf8(name);
        if (!matchesPattern(wname, namePattern)) continue;
        const std::string full = prefix + name;
        struct stat st {};
        if (sys.stat(full.c_str(), &st) != 0) {
            if (errno == ENOENT) continue;  // dangling link: no entry
            const int e = errno;
            sys.closedir(dir);
            return failureAt(e, full);
        }
        const int32_t a = attributesOf(full, name, st);
        const int32_t special = a & (attr::kHidden | attr::kSystem | attr::kDirectory);
        if ((special & ~attributeFilter) != 0) continue;
        out.push_back(DirEntry{wname, a});
    }
}

Status File::setTimes(uint64_t fileTime) {
    if (fileTime == 0) return Status();
    // 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
    constexpr int64_t kEpochDelta = 116444736000000000LL;
    const int64_t rel = static_cast<int64_t>(fileTime) - kEpochDelta;
    struct timespec ts[2];
    int64_t secs = rel / 10000000;
    int64_t rest = rel % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --secs;
    }
    ts[0].tv_sec = static_cast<time_t>(secs);
    ts[0].tv_nsec = static_cast<long>(rest * 100);
    ts[1] = ts[0];
    if (sys.futimens(static_cast<int>(handle_), ts) != 0) return posix::lastFailure();
    return Status();
}

Result<int64_t> fileSize(TextView path) {
    const std::string p = toUtf8(path);
    struct stat st {};
    if (p.empty() || sys.stat(p.c_str(), &st) != 0) return failureAt(p.empty() ? ENOENT : errno, p);
    if (S_ISDIR(st.st_mode)) return Failure{err::kPathFileAccess};
    return static_cast<int64_t>(st.st_size);
}

Text windowsFolder() {
    return folderExists(u"/etc") ? Text(u"/etc") : Text();
}

Text systemFolder() {
    if (folderExists(u"/usr/lib")) return u"/usr/lib";
    if (folderExists(u"/lib")) return u"/lib";
    return Text();
}

Result<uint32_t> volumeSerial(TextView root) {
    const std::string p = toUtf8(root);
    struct statvfs vs {};
    if (p.empty() || sys.statvfs(p.c_str(), &vs) != 0)
        return failureAt(p.empty() ? ENOENT : errno, p);
    return static_cast<uint32_t>(vs.f_fsid & 0xFFFFFFFFu);
}

}  // namespace orv::platform
