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
#include "orvcommon/formats/reg_document.hpp"
#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"
#include "orvcommon/platform/settings.hpp"

namespace orv::platform {
using posix::sys;
using namespace formats;  // the store file is registry export text

namespace {

// The store as last read: shared and immutable.
struct Snapshot {
    RegistryDocument doc;
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

constexpr const char* kMachineStore = "/etc/orvcommon/registry.reg";

// The store named by ORV_REGISTRY, else the machine's store.
const char* defaultStorePath() {
    const char* env = std::getenv("ORV_REGISTRY");
    return env && *env ? env : kMachineStore;
}

// The store path in the file system's encoding. The system's own answer is
// taken as it is, so the common call converts nothing.
std::string nativeStorePath() {
    {
        std::lock_guard<std::mutex> lock(gPathMutex);
        if (gPathOverride) return toUtf8(*gPathOverride);
    }
    if (services.settingsstore != &settingsstoreService) return toUtf8(services.settingsstore());
    return defaultStorePath();
}

bool sameStat(const struct stat& st, const CacheEntry& c) {
    return st.st_dev == c.dev && st.st_ino == c.ino && st.st_size == c.size &&
           st.st_mtim.tv_sec == c.mtime.tv_sec && st.st_mtim.tv_nsec == c.mtime.tv_nsec;
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
        return posix::failureAt(e, path);
    }
    if (gCache.snapshot && gCache.path == path && sameStat(st, gCache)) return gCache.snapshot;
    int fd = sys.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        if (errno == ENOENT) return emptySnapshot();
        return posix::failureAt(errno, path);
    }
    std::string bytes;
    struct stat fst {};
    Status read =
        sys.fstat(fd, &fst) == 0
            ? backend::readToEnd(
                  [fd](char* buffer, size_t n) { return posix::readFully(fd, buffer, n); }, bytes)
            : posix::lastFailure();
    sys.close(fd);
    if (!read) return read.failure();
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

Text settingsstoreService() {
    return fromUtf8(defaultStorePath());
}

Text settingsStorePath() {
    {
        std::lock_guard<std::mutex> lock(gPathMutex);
        if (gPathOverride) return *gPathOverride;
    }
    return services.settingsstore();
}

void setSettingsStorePath(std::optional<Text> path) {
    std::lock_guard<std::mutex> lock(gPathMutex);
    gPathOverride = std::move(path);
}

Result<std::vector<std::optional<RegValue>>> readValues(TextView keyPath,
                                                        std::initializer_list<TextView> names) {
    auto snap = load();
    if (!snap) return snap.failure();
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
    if (!values) return values.failure();
    return std::move(values->front());
}

Result<bool> keyExists(TextView keyPath) {
    auto snap = load();
    if (!snap) return snap.failure();
    return (*snap)->doc.keyExists(keyPath);
}

Result<std::vector<RegValue>> keyValues(TextView keyPath) {
    auto snap = load();
    if (!snap) return snap.failure();
    const RegKey* key = (*snap)->doc.find(keyPath);
    return key ? key->values : std::vector<RegValue>();
}

Result<std::vector<Text>> subkeys(TextView keyPath) {
    auto snap = load();
    if (!snap) return snap.failure();
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
    if (!snap) return snap.failure();
    return writeRegText((*snap)->doc.subtree(keyPath));
}

Result<std::vector<StoreLineError>> unreadableLines() {
    auto snap = load();
    if (!snap) return snap.failure();
    return (*snap)->errors;
}

namespace {

// A store named by ORV_REGISTRY or chosen for the process belongs to one
// user; the machine's store is read by all.
bool perUserStore() {
    return nativeStorePath() != kMachineStore;
}

// Removes replacement files that writers killed half way left behind. Only
// the holder of the writers' lock makes one, so under the lock every one
// there is stale. Best effort: what cannot be removed stays for next time.
void removeStaleReplacements(const Text& prefix) {
    auto stale = listDirectory(prefix + u"*", attr::kHidden | attr::kSystem);
    if (!stale) return;
    const Text folder = parentFolder(prefix);
    for (const DirEntry& e : *stale)
        (void)removeFile(joinPath(folder, e.name));
}

// Applies `change` to the current store under the writers' lock and puts the
// result in its place whole. `change` returns false to abandon the write
// (nothing changes).
Status modify(const std::function<bool(RegistryDocument&)>& change) {
    const Text path = settingsStorePath();
    const Text folder = parentFolder(path);
    if (!folder.empty() && !folderExists(folder)) {
        // A missing store folder is created (first write on a new machine).
        if (Status made = createFolders(folder); !made) return made;
    }
    auto lock = File::open(path + u".lock", OpenMode::Append);
    if (!lock) return lock.failure();
    // Without the lock another writer's change made meanwhile would be lost:
    // no lock, no write (the caller sees the failure as of a full disk).
    if (Status locked = lock->lockExclusive(); !locked) return locked;

    // The store as it is now, under the lock.
    std::string bytes;
    auto old = File::open(path, OpenMode::Read);
    if (old) {
        auto all = old->readAll();
        if (!all) return all.failure();
        bytes = std::move(*all);
    } else if (old.error() != err::kFileNotFound) {
        return old.failure();
    }
    std::vector<RegParseError> errors;
    RegistryDocument doc = documentFromText(bytes, &errors);
    // Whatever a person wrote there by hand is not to be destroyed.
    if (old && !errors.empty()) return Failure{err::kPathFileAccess};
    if (!change(doc)) return Status();
    const std::string text = writeRegText(doc);
    // Never store what could not be read back: the next writer would refuse it.
    if (!parseRegText(text).errors.empty()) return Failure{err::kInvalidArgument};

    const Text prefix = path + u".tmp.";
    removeStaleReplacements(prefix);
    // The store may hold passwords: a per-user store is its owner's alone,
    // the machine's is read by every user (as the machine's registry is), and
    // a store that exists keeps the rights its administrator gave it.
    auto fresh =
        File::createTemporary(prefix, perUserStore() ? FileAccess::OwnerOnly : FileAccess::AllRead);
    if (!fresh) return fresh.failure();
    if (old) {
        if (Status kept = fresh->copyAccessFrom(*old); !kept) return kept;
    }
    if (Status written = fresh->writeAll(text); !written) return written;
    // Readers keep their parse while identity, size and modification time
    // stay the same. The replacement may get a freed inode number of an
    // earlier store and the same size within one clock tick, so its
    // modification time is made later than the store it replaces.
    if (old) {
        auto before = old->modifiedTime();
        auto now = fresh->modifiedTime();
        if (before && now && *now <= *before) (void)fresh->setTimes(*before + 10);
    }
    if (Status synced = fresh->sync(); !synced) return synced;
    if (Status placed = fresh->replace(path); !placed) return placed;
    {
        std::lock_guard<std::mutex> guard(gMutex);
        gCache = CacheEntry{};  // this process reads its own write back
    }
    return Status();
}

}  // namespace

Status writeValue(TextView keyPath, const RegValue& value) {
    if (!storable(keyPath, value.name)) return Failure{err::kInvalidArgument};
    return modify([&](RegistryDocument& doc) {
        doc.setValue(keyPath, value);
        return true;
    });
}

Status createKey(TextView keyPath) {
    if (!storable(keyPath)) return Failure{err::kInvalidArgument};
    return modify([&](RegistryDocument& doc) {
        doc.ensure(keyPath);
        return true;
    });
}

Status deleteValue(TextView keyPath, TextView name) {
    if (!storable(keyPath, name)) return Failure{err::kInvalidArgument};
    return modify([&](RegistryDocument& doc) { return doc.deleteValue(keyPath, name); });
}

Status deleteValues(TextView keyPath) {
    if (!storable(keyPath)) return Failure{err::kInvalidArgument};
    return modify([&](RegistryDocument& doc) {
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
    return modify([&](RegistryDocument& doc) { return doc.deleteKey(keyPath); });
}

Status importText(std::string_view text, std::vector<StoreLineError>* errors) {
    const RegParse parsed = parseRegText(text);
    if (!parsed.errors.empty()) {
        if (errors) *errors = parsed.errors;
        return Failure{err::kInvalidArgument};
    }
    return modify([&](RegistryDocument& doc) {
        applyOps(doc, parsed.ops);
        return true;
    });
}

}  // namespace orv::platform
