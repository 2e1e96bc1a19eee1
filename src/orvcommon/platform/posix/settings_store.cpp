#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

#include "orvcommon/platform/posix/posix_io.hpp"
#include "orvcommon/platform/reg_document.hpp"
#include "orvcommon/platform/settings.hpp"

namespace orv::platform {
using posix::sys;

class StoreSnapshot {
  public:
    RegDocument doc;
    std::vector<RegParseError> errors;
    bool exists = false;
};

namespace {

std::mutex gMutex;      // the parse cache
std::mutex gPathMutex;  // the path override
std::optional<Text> gPathOverride;

struct CacheEntry {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    std::shared_ptr<const StoreSnapshot> snapshot;
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

bool readWhole(int fd, std::string& out) {
    return posix::readToEnd(fd, out).ok();
}

std::shared_ptr<const StoreSnapshot> emptySnapshot() {
    static const auto kEmpty = std::make_shared<const StoreSnapshot>();
    return kEmpty;
}

// Parses the store file if it changed since the cached parse. gMutex held.
std::shared_ptr<const StoreSnapshot> current() {
    const std::string path = nativeStorePath();
    struct stat st {};
    if (sys.stat(path.c_str(), &st) != 0) {
        gCache = CacheEntry{};
        return emptySnapshot();
    }
    if (gCache.snapshot && gCache.path == path && sameStat(st, gCache)) return gCache.snapshot;
    int fd = sys.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return emptySnapshot();
    std::string bytes;
    struct stat fst {};
    bool ok = sys.fstat(fd, &fst) == 0 && readWhole(fd, bytes);
    sys.close(fd);
    if (!ok) return emptySnapshot();
    auto snap = std::make_shared<StoreSnapshot>();
    snap->doc = documentFromText(bytes, &snap->errors);
    snap->exists = true;
    gCache.path = path;
    gCache.dev = fst.st_dev;
    gCache.ino = fst.st_ino;
    gCache.size = fst.st_size;
    gCache.mtime = fst.st_mtim;
    gCache.snapshot = snap;
    return snap;
}

StoreWrite statusFromErrno(int e) {
    return (e == EACCES || e == EPERM || e == EROFS) ? StoreWrite::Refused : StoreWrite::Failed;
}

std::string describe(const std::string& what, const std::string& path, int e) {
    return what + " " + path + ": " + std::strerror(e);
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

std::shared_ptr<const StoreSnapshot> loadSettingsStore() {
    std::lock_guard<std::mutex> lock(gMutex);
    return current();
}

SettingRead readSetting(uint32_t root, TextView keyPath, TextView valueName) {
    return readSetting(*loadSettingsStore(), root, keyPath, valueName);
}

std::vector<SettingRead> readSettings(const StoreSnapshot& snapshot, uint32_t root,
                                      TextView keyPath, std::initializer_list<TextView> names) {
    std::vector<SettingRead> out(names.size());
    const RegRoot* r = rootByHandle(root);
    if (!r) return out;
    Text full = r->name;
    if (!keyPath.empty()) {
        full += u'\\';
        full += keyPath;
    }
    const RegKey* key = snapshot.doc.find(full);
    const SettingStatus missing =
        key || snapshot.doc.keyExists(full) ? SettingStatus::NoValue : SettingStatus::NoKey;
    size_t i = 0;
    for (TextView name : names) {
        SettingRead& one = out[i++];
        const RegValue* v = key ? key->find(name) : nullptr;
        if (!v) {
            one.status = missing;
            continue;
        }
        one.status = SettingStatus::Ok;
        one.type = v->type;
        one.data = v->data;
    }
    return out;
}

SettingRead readSetting(const StoreSnapshot& snapshot, uint32_t root, TextView keyPath,
                        TextView valueName) {
    return std::move(readSettings(snapshot, root, keyPath, {valueName}).front());
}

namespace {

// Applies `change` to the current store under the writers' lock and writes
// the result. `change` returns false to abandon the write (nothing changes).
StoreWriteResult modify(const std::function<bool(RegDocument&)>& change) {
    StoreWriteResult res;
    const std::string path = nativeStorePath();
    auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (slash != std::string::npos && !folder.empty()) {
        struct stat st {};
        if (sys.stat(folder.c_str(), &st) != 0) {
            // A missing store folder is created (first write on a new machine).
            for (size_t i = 1; i <= folder.size(); ++i) {
                if (i == folder.size() || folder[i] == '/') {
                    if (sys.mkdir(folder.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) {
                        int e = errno;
                        res.status = statusFromErrno(e);
                        res.message = describe("cannot create folder", folder.substr(0, i), e);
                        return res;
                    }
                }
            }
        }
    }
    const std::string lockPath = path + ".lock";
    int lockFd = sys.open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) {
        int e = errno;
        res.status = statusFromErrno(e);
        res.message = describe("cannot open lock file", lockPath, e);
        return res;
    }
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
        bool ok = sys.fstat(fd, &oldSt) == 0 && readWhole(fd, bytes);
        sys.close(fd);
        if (!ok) {
            res.status = StoreWrite::Failed;
            res.message = "cannot read " + path;
            return res;
        }
    } else if (errno != ENOENT) {
        int e = errno;
        res.status = statusFromErrno(e);
        res.message = describe("cannot read", path, e);
        return res;
    }
    std::vector<RegParseError> errors;
    RegDocument doc = documentFromText(bytes, &errors);
    if (exists && !errors.empty()) {
        // Whatever a person wrote there by hand is not to be destroyed.
        res.status = StoreWrite::Unreadable;
        res.message = path + " line " + std::to_string(errors.front().line) + ": " +
                      errors.front().message + "; the store is left unchanged";
        return res;
    }
    if (!change(doc)) {
        res.status = StoreWrite::Ok;
        return res;
    }
    const std::string text = writeRegText(doc);
    // Never store what could not be read back (a name holding a line break,
    // say): the next writer would refuse the file.
    if (!parseRegText(text).errors.empty()) {
        res.status = StoreWrite::Failed;
        res.message = "the change cannot be written as .reg text; " + path + " is left unchanged";
        return res;
    }
    const std::string tmp = path + ".tmp." + std::to_string(::getpid());
    int out = sys.open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        int e = errno;
        res.status = statusFromErrno(e);
        res.message = describe("cannot write", tmp, e);
        return res;
    }
    // The store may hold passwords: keep the permission bits an
    // administrator gave the file.
    if (exists) sys.fchmod(out, oldSt.st_mode & 07777);
    if (!posix::writeFully(out, text)) {
        int e = errno;
        sys.close(out);
        sys.unlink(tmp.c_str());
        res.status = statusFromErrno(e);
        res.message = describe("cannot write", tmp, e);
        return res;
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
        int e = errno;
        sys.unlink(tmp.c_str());
        res.status = StoreWrite::Failed;
        res.message = describe("cannot flush", tmp, e);
        return res;
    }
    if (sys.rename(tmp.c_str(), path.c_str()) != 0) {
        int e = errno;
        sys.unlink(tmp.c_str());
        res.status = statusFromErrno(e);
        res.message = describe("cannot replace", path, e);
        return res;
    }
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gCache = CacheEntry{};  // this process reads its own write back
    }
    res.status = StoreWrite::Ok;
    return res;
}

}  // namespace

bool keyExists(const StoreSnapshot& snapshot, TextView fullPath) {
    return snapshot.doc.keyExists(fullPath);
}

std::vector<RegValue> keyValues(const StoreSnapshot& snapshot, TextView fullPath) {
    const RegKey* key = snapshot.doc.find(fullPath);
    return key ? key->values : std::vector<RegValue>();
}

std::vector<Text> subkeys(const StoreSnapshot& snapshot, TextView fullPath) {
    const Text prefix = toUpper(fullPath) + u"\\";
    std::vector<Text> out, seen;
    for (const RegKey& k : snapshot.doc.keys()) {
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

const std::vector<StoreLineError>& unreadLines(const StoreSnapshot& snapshot) {
    return snapshot.errors;
}

StoreWriteResult writeValue(TextView fullPath, const RegValue& value) {
    return modify([&](RegDocument& doc) {
        doc.setValue(fullPath, value);
        return true;
    });
}

StoreWriteResult writeTextValue(TextView fullPath, TextView name, TextView text) {
    return writeValue(fullPath, RegValue{Text(name), kRegSz, regStringData(text)});
}

StoreWriteResult writeDwordValue(TextView fullPath, TextView name, uint32_t value) {
    return writeValue(fullPath, RegValue{Text(name), kRegDword, regDwordData(value)});
}

StoreWriteResult createKey(TextView fullPath) {
    return modify([&](RegDocument& doc) {
        doc.ensure(fullPath);
        return true;
    });
}

StoreWriteResult deleteValue(TextView fullPath, TextView name) {
    return modify([&](RegDocument& doc) { return doc.deleteValue(fullPath, name); });
}

StoreWriteResult deleteValues(TextView fullPath) {
    return modify([&](RegDocument& doc) {
        const RegKey* key = doc.find(fullPath);
        if (!key || key->values.empty()) return false;
        std::vector<Text> names;
        for (const RegValue& v : key->values)
            names.push_back(v.name);
        for (const Text& n : names)
            doc.deleteValue(fullPath, n);
        return true;
    });
}

StoreWriteResult deleteKey(TextView fullPath) {
    return modify([&](RegDocument& doc) { return doc.deleteKey(fullPath); });
}

std::string exportKey(const StoreSnapshot& snapshot, TextView fullPath) {
    return writeRegText(snapshot.doc.subtree(fullPath));
}

StoreWriteResult importText(std::string_view text, std::vector<StoreLineError>* errors) {
    const RegParse parsed = parseRegText(text);
    if (!parsed.errors.empty()) {
        if (errors) *errors = parsed.errors;
        StoreWriteResult r;
        r.status = StoreWrite::Failed;
        r.message = "the text has lines that cannot be read";
        return r;
    }
    return modify([&](RegDocument& doc) {
        applyOps(doc, parsed.ops);
        return true;
    });
}

bool writeSetting(uint32_t root, TextView keyPath, const RegValue& value) {
    const RegRoot* r = rootByHandle(root);
    if (!r) return false;
    Text full = r->name;
    if (!keyPath.empty()) full += u"\\" + Text(keyPath);
    Text normalised = normaliseKeyPath(full);
    if (!regKeyPathStorable(normalised) || !regNameStorable(value.name)) return false;
    return writeValue(normalised, value).ok();
}

}  // namespace orv::platform
