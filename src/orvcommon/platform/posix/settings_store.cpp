// The POSIX settings store: one registry-export text file. Readers keep the
// last parse and read the file again only when it changed (identity, size or
// modification time); writers replace it whole under a lock file.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"
#include "orvcommon/platform/posix/reg_document.hpp"
#include "orvcommon/platform/settings.hpp"

namespace orv::platform {
using posix::sys;

namespace {

// The store as last read: shared and immutable.
struct Snapshot {
    RegDocument doc;
    std::vector<RegParseError> errors;
};
using SnapshotPtr = std::shared_ptr<const Snapshot>;

std::mutex gMutex;      // the parse cache
std::mutex gPathMutex;  // the path override
std::optional<Text> gPathOverride;

struct CacheEntry {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    SnapshotPtr snapshot;
};
CacheEntry gCache;

// The store path in the file system's encoding. The environment variable is
// taken as it is, so the common call converts nothing.
std::string nativeStorePath() {
    {
        std::lock_guard<std::mutex> lock(gPathMutex);
        if (gPathOverride) return toUtf8(*gPathOverride);
    }
    const char* env = std::getenv("ORV_REGISTRY");
    return env && *env ? std::string(env) : std::string("/etc/orvcommon/registry.reg");
}

bool sameStat(const struct stat& st, const CacheEntry& c) {
    return st.st_dev == c.dev && st.st_ino == c.ino && st.st_size == c.size &&
           st.st_mtim.tv_sec == c.mtime.tv_sec && st.st_mtim.tv_nsec == c.mtime.tv_nsec;
}

// The registry's own answer to "may not": 70 wherever permission is the
// cause; every other cause as the file services map it.
Failure storeFailure(int e) {
    if (e == EACCES || e == EPERM || e == EROFS) return Failure{err::kPermissionDenied};
    return Failure{posix::errorFromOs(e)};
}

SnapshotPtr emptySnapshot() {
    static const auto kEmpty = std::make_shared<const Snapshot>();
    return kEmpty;
}

// The store now: the cached parse while the file is unchanged, else a new
// one. A store that does not exist yet holds nothing. gMutex held.
Result<SnapshotPtr> current() {
    const std::string path = nativeStorePath();
    struct stat st {};
    if (sys.stat(path.c_str(), &st) != 0) {
        const int e = errno;
        gCache = CacheEntry{};
        if (e == ENOENT || e == ENOTDIR) return emptySnapshot();
        return storeFailure(e);
    }
    if (gCache.snapshot && gCache.path == path && sameStat(st, gCache)) return gCache.snapshot;
    int fd = sys.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return errno == ENOENT ? Result<SnapshotPtr>(emptySnapshot()) : storeFailure(errno);
    std::string bytes;
    struct stat fst {};
    Status read = sys.fstat(fd, &fst) == 0 ? posix::readToEnd(fd, bytes) : posix::lastFailure();
    sys.close(fd);
    if (!read) return Failure{read.error()};
    auto snap = std::make_shared<Snapshot>();
    snap->doc = documentFromText(bytes, &snap->errors);
    gCache.path = path;
    gCache.dev = fst.st_dev;
    gCache.ino = fst.st_ino;
    gCache.size = fst.st_size;
    gCache.mtime = fst.st_mtim;
    gCache.snapshot = snap;
    return SnapshotPtr(std::move(snap));
}

Result<SnapshotPtr> load() {
    std::lock_guard<std::mutex> lock(gMutex);
    return current();
}

}  // namespace

Text settingsStorePath() {
    {
        std::lock_guard<std::mutex> lock(gPathMutex);
        if (gPathOverride) return *gPathOverride;
    }
    const char* env = std::getenv("ORV_REGISTRY");
    return fromUtf8(env && *env ? env : "/etc/orvcommon/registry.reg");
}

void setSettingsStorePath(std::optional<Text> path) {
    std::lock_guard<std::mutex> lock(gPathMutex);
    gPathOverride = std::move(path);
}

Result<std::vector<std::optional<RegValue>>> readValues(TextView keyPath,
                                                        std::initializer_list<TextView> names) {
    auto snap = load();
    if (!snap) return Failure{snap.error()};
    const RegKey* key = (*snap)->doc.find(keyPath);
    std::vector<std::optional<RegValue>> out;
    out.reserve(names.size());
    for (TextView name : names) {
        const RegValue* v = key ? key->find(name) : nullptr;
        out.push_back(v ? std::optional<RegValue>(*v) : std::nullopt);
    }
    return out;
}

Result<std::optional<RegValue>> readValue(TextView keyPath, TextView name) {
    auto values = readValues(keyPath, {name});
    if (!values) return Failure{values.error()};
    return std::move(values->front());
}

Result<bool> keyExists(TextView keyPath) {
    auto snap = load();
    if (!snap) return Failure{snap.error()};
    return (*snap)->doc.keyExists(keyPath);
}

Result<std::vector<RegValue>> keyValues(TextView keyPath) {
    auto snap = load();
    if (!snap) return Failure{snap.error()};
    const RegKey* key = (*snap)->doc.find(keyPath);
    return key ? key->values : std::vector<RegValue>();
}

Result<std::vector<Text>> subkeys(TextView keyPath) {
    auto snap = load();
    if (!snap) return Failure{snap.error()};
    const Text prefix = toUpper(keyPath) + u"\\";
    std::vector<Text> out, seen;
    for (const RegKey& k : (*snap)->doc.keys()) {
        Text upper = toUpper(k.path);
        if (upper.size() <= prefix.size() || upper.compare(0, prefix.size(), prefix) != 0) continue;
        size_t end = upper.find(u'\\', prefix.size());
        Text childUpper = upper.substr(0, end);
        bool known = false;
        for (const Text& s : seen)
            known = known || s == childUpper;
        if (known) continue;
        seen.push_back(childUpper);
        out.push_back(k.path.substr(0, end));
    }
    return out;
}

Result<std::string> exportKey(TextView keyPath) {
    auto snap = load();
    if (!snap) return Failure{snap.error()};
    return writeRegText((*snap)->doc.subtree(keyPath));
}

Result<std::vector<StoreLineError>> unreadableLines() {
    auto snap = load();
    if (!snap) return Failure{snap.error()};
    return (*snap)->errors;
}

namespace {

// Applies `change` to the current store under the writers' lock and writes
// the result. `change` returns false to abandon the write (nothing changes).
Status modify(const std::function<bool(RegDocument&)>& change) {
    const std::string path = nativeStorePath();
    auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (slash != std::string::npos && !folder.empty()) {
        struct stat st {};
        if (sys.stat(folder.c_str(), &st) != 0) {
            // A missing store folder is created (first write on a new machine).
            for (size_t i = 1; i <= folder.size(); ++i) {
                if (i == folder.size() || folder[i] == '/') {
                    if (sys.mkdir(folder.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST)
                        return storeFailure(errno);
                }
            }
        }
    }
    const std::string lockPath = path + ".lock";
    int lockFd = sys.open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) return storeFailure(errno);
    (void)posix::lockExclusive(lockFd);  // without it, the write still replaces whole files
    struct Unlock {
        int fd;
        ~Unlock() { sys.close(fd); }
    } unlock{lockFd};

    // Read the file as it is now, under the lock.
    std::string bytes;
    bool exists = false;
    struct stat oldSt {};
    int fd = sys.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd >= 0) {
        exists = true;
        Status read =
            sys.fstat(fd, &oldSt) == 0 ? posix::readToEnd(fd, bytes) : posix::lastFailure();
        sys.close(fd);
        if (!read) return read;
    } else if (errno != ENOENT) {
        return storeFailure(errno);
    }
    std::vector<RegParseError> errors;
    RegDocument doc = documentFromText(bytes, &errors);
    if (exists && !errors.empty()) {
        // Whatever a person wrote there by hand is not to be destroyed.
        return Failure{err::kPathFileAccess};
    }
    if (!change(doc)) return Status();
    const std::string text = writeRegText(doc);
    // Never store what could not be read back (a name holding a line break,
    // say): the next writer would refuse the file.
    if (!parseRegText(text).errors.empty()) return Failure{err::kInvalidArgument};
    const std::string tmp = path + ".tmp." + std::to_string(::getpid());
    int out = sys.open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return storeFailure(errno);
    // The store may hold passwords: keep the permission bits an
    // administrator gave the file.
    if (exists) sys.fchmod(out, oldSt.st_mode & 07777);
    if (Status written = posix::writeFully(out, text); !written) {
        sys.close(out);
        sys.unlink(tmp.c_str());
        return written;
    }
    // Readers keep their parse while identity, size and modification time
    // stay the same. The replacement may reuse the old inode number and have
    // the same size within one clock tick, so its modification time is made
    // later than the old file's.
    struct stat newSt {};
    if (exists && sys.fstat(out, &newSt) == 0 &&
        (newSt.st_mtim.tv_sec < oldSt.st_mtim.tv_sec ||
         (newSt.st_mtim.tv_sec == oldSt.st_mtim.tv_sec &&
          newSt.st_mtim.tv_nsec <= oldSt.st_mtim.tv_nsec))) {
        timespec times[2] = {{0, UTIME_OMIT}, oldSt.st_mtim};
        times[1].tv_nsec += 1000;
        if (times[1].tv_nsec >= 1000000000L) {
            times[1].tv_sec += 1;
            times[1].tv_nsec -= 1000000000L;
        }
        sys.futimens(out, times);
    }
    if (sys.fsync(out) != 0 || sys.close(out) != 0) {
        Failure f = storeFailure(errno);
        sys.unlink(tmp.c_str());
        return f;
    }
    if (sys.rename(tmp.c_str(), path.c_str()) != 0) {
        Failure f = storeFailure(errno);
        sys.unlink(tmp.c_str());
        return f;
    }
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gCache = CacheEntry{};  // this process reads its own write back
    }
    return Status();
}

bool storable(TextView keyPath, TextView name = {}) {
    return regKeyPathStorable(keyPath) && regNameStorable(name);
}

}  // namespace

Status writeValue(TextView keyPath, const RegValue& value) {
    if (!storable(keyPath, value.name)) return Failure{err::kInvalidArgument};
    return modify([&](RegDocument& doc) {
        doc.setValue(keyPath, value);
        return true;
    });
}

Status writeTextValue(TextView keyPath, TextView name, TextView text) {
    return writeValue(keyPath, RegValue{Text(name), kRegSz, regStringData(text)});
}

Status writeDwordValue(TextView keyPath, TextView name, uint32_t value) {
    return writeValue(keyPath, RegValue{Text(name), kRegDword, regDwordData(value)});
}

Status createKey(TextView keyPath) {
    if (!storable(keyPath)) return Failure{err::kInvalidArgument};
    return modify([&](RegDocument& doc) {
        doc.ensure(keyPath);
        return true;
    });
}

Status deleteValue(TextView keyPath, TextView name) {
    if (!storable(keyPath, name)) return Failure{err::kInvalidArgument};
    return modify([&](RegDocument& doc) { return doc.deleteValue(keyPath, name); });
}

Status deleteValues(TextView keyPath) {
    if (!storable(keyPath)) return Failure{err::kInvalidArgument};
    return modify([&](RegDocument& doc) {
        const RegKey* key = doc.find(keyPath);
        if (!key || key->values.empty()) return false;
        std::vector<Text> names;
        for (const RegValue& v : key->values)
            names.push_back(v.name);
        for (const Text& n : names)
            doc.deleteValue(keyPath, n);
        return true;
    });
}

Status deleteKey(TextView keyPath) {
    if (!storable(keyPath)) return Failure{err::kInvalidArgument};
    return modify([&](RegDocument& doc) { return doc.deleteKey(keyPath); });
}

Status importText(std::string_view text, std::vector<StoreLineError>* errors) {
    const RegParse parsed = parseRegText(text);
    if (!parsed.errors.empty()) {
        if (errors) *errors = parsed.errors;
        return Failure{err::kInvalidArgument};
    }
    return modify([&](RegDocument& doc) {
        applyOps(doc, parsed.ops);
        return true;
    });
}

}  // namespace orv::platform
