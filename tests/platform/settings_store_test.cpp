// The settings store file: reads, writes, refusals, and writers and readers
// in several processes at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/posix/reg_document.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/registry/registry_utility.hpp"
#include "support/sandbox.hpp"

namespace orv::platform {
namespace {

const Text kHklm = u"HKEY_LOCAL_MACHINE";

Text key(TextView subkey) {
    return kHklm + u"\\" + Text(subkey);
}

// Writes a text value under HKEY_LOCAL_MACHINE.
Status setText(TextView subkey, TextView name, TextView text) {
    return writeTextValue(key(subkey), name, text);
}

Text readText(TextView subkey, TextView name) {
    auto r = readValue(key(subkey), name);
    if (!r) return u"<error " + decimalText(r.error()) + u">";
    return *r ? regDataText((*r)->data) : u"<missing>";
}

// Runs `body` in a child process; the child's exit code (0 when body
// returned true, 1 otherwise).
pid_t spawn(const std::function<bool()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) _exit(body() ? 0 : 1);
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The many-process tests are about locking and atomic replacement, not about
// how long the disk takes to flush: where a memory file system is at hand
// their sandbox lives there, so thousands of flushed writes take seconds.
class MemoryTempFolder {
  public:
    MemoryTempFolder() {
        const char* old = std::getenv("TMPDIR");
        if (old) old_ = old;
        hadOld_ = old != nullptr;
        if (::access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
    }
    ~MemoryTempFolder() {
        if (hadOld_)
            setenv("TMPDIR", old_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

  private:
    std::string old_;
    bool hadOld_ = false;
};

TEST(SettingsStore, ReadsWhatWasWrittenAndRefusesWhatItCannotHold) {
    test::Sandbox box(false);
    EXPECT_EQ(readText(u"SOFTWARE\\App", u"x"), u"<missing>");
    ASSERT_TRUE(setText(u"SOFTWARE\\App\\Deep", u"V", u"1"));
    // Names compare without regard to case; a missing value, a missing key,
    // another root and an unknown root are all simply not there.
    EXPECT_EQ(readText(u"software\\app\\deep", u"v"), u"1");
    EXPECT_EQ(readText(u"SOFTWARE\\App\\Deep", u"W"), u"<missing>");
    EXPECT_EQ(readText(u"SOFTWARE\\App", u"V"), u"<missing>");
    EXPECT_FALSE(*readValue(u"HKEY_CURRENT_USER\\SOFTWARE\\App\\Deep", u"V"));
    EXPECT_FALSE(*readValue(fullKeyPath(0x12345u, u"SOFTWARE\\App\\Deep"), u"V"));
    // Names the format cannot carry are refused, and nothing is written.
    const std::string before = test::readBytes(box.store());
    const struct {
        const char16_t* path;
        const char16_t* name;
    } refused[] = {{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\a\nb", u"V"},
                   {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App", u"V\r"},
                   {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\\\App", u"V"},
                   {u"HKEY_NOWHERE\\App", u"V"},
                   {u"", u"V"}};
    for (const auto& r : refused) {
        EXPECT_EQ(writeTextValue(r.path, r.name, u"1").error(), err::kInvalidArgument)
            << toUtf8(r.path);
        EXPECT_EQ(deleteValue(r.path, r.name).error(), err::kInvalidArgument) << toUtf8(r.path);
    }
    EXPECT_EQ(test::readBytes(box.store()), before);
}

TEST(SettingsStore, KeyAndValueOperations) {
    test::Sandbox box(false);
    const Text app = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App";
    ASSERT_TRUE(importText("Windows Registry Editor Version 5.00\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\A\\Deep]\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\B]\r\n",
                           nullptr)
                    .ok());
    ASSERT_TRUE(writeTextValue(app, u"Name", u"text").ok());
    ASSERT_TRUE(writeDwordValue(app, u"Count", 7).ok());
    // A key only implied by a deeper one is a subkey all the same.
    EXPECT_EQ(*subkeys(app), (std::vector<Text>{app + u"\\A", app + u"\\B"}));
    EXPECT_TRUE(*keyExists(app + u"\\a"));
    const auto values = *keyValues(app);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], (RegValue{u"Name", kRegSz, regStringData(u"text")}));
    EXPECT_EQ(values[1], (RegValue{u"Count", kRegDword, regDwordData(7)}));
    EXPECT_NE(exportKey(app + u"\\B")->find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\B]"),
              std::string::npos);

    ASSERT_TRUE(deleteValue(app, u"name").ok());
    EXPECT_EQ(keyValues(app)->size(), 1u);
    ASSERT_TRUE(deleteValues(app).ok());
    EXPECT_TRUE(keyValues(app)->empty());
    ASSERT_TRUE(deleteKey(app + u"\\A").ok());
    EXPECT_FALSE(*keyExists(app + u"\\A\\Deep"));
    EXPECT_TRUE(deleteKey(app + u"\\A").ok());  // nothing there: nothing to do

    // Text with a line that cannot be read changes nothing.
    const std::string before = test::readBytes(box.store());
    std::vector<StoreLineError> errors;
    EXPECT_EQ(importText("Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                         "junk\r\n",
                         &errors)
                  .error(),
              err::kInvalidArgument);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, 3u);
    EXPECT_EQ(test::readBytes(box.store()), before);
}

TEST(SettingsStore, EachWriteIsSeenAtOnceEvenWhenTheFileKeepsItsSize) {
    test::Sandbox box(false);
    for (int i = 0; i < 40; ++i) {
        const Text v = i % 2 ? u"odd" : u"evn";
        ASSERT_TRUE(setText(u"K", u"V", v));
        ASSERT_EQ(readText(u"K", u"V"), v) << i;
    }
    // The same through another process's write: this process has the old
    // parse cached and must notice the replacement.
    for (int i = 0; i < 20; ++i) {
        const Text v = i % 2 ? u"odd" : u"evn";
        readText(u"K", u"V");
        pid_t child = spawn([&] { return setText(u"K", u"V", v).ok(); });
        ASSERT_EQ(waitFor(child), 0);
        ASSERT_EQ(readText(u"K", u"V"), v) << i;
    }
}

TEST(SettingsStore, EachReplacementIsLaterThanTheFileItReplaces) {
    // Readers trust (inode, size, modification time); a replacement of the
    // same size may get the old inode number within one clock tick, so its
    // time must move forward even when the clock has not.
    test::Sandbox box(false);
    ASSERT_TRUE(setText(u"K", u"V", u"1"));
    struct stat before {};
    ASSERT_EQ(::stat(box.store().c_str(), &before), 0);
    const timespec future[2] = {{before.st_mtim.tv_sec + 3600, 0},
                                {before.st_mtim.tv_sec + 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, box.store().c_str(), future, 0), 0);
    ASSERT_TRUE(setText(u"K", u"V", u"2"));
    struct stat after {};
    ASSERT_EQ(::stat(box.store().c_str(), &after), 0);
    EXPECT_TRUE(after.st_mtim.tv_sec > future[1].tv_sec ||
                (after.st_mtim.tv_sec == future[1].tv_sec && after.st_mtim.tv_nsec > 0));
}

TEST(SettingsStore, StoreThatIsNotRegTextIsReadButNeverOverwritten) {
    test::Sandbox box(false);
    const std::string handWritten =
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n"
        "\"Good\"=\"kept\"\n"
        "Server = db01   ; typed by hand\n";
    test::writeBytes(box.store(), handWritten);
    const auto unread = *unreadableLines();
    ASSERT_EQ(unread.size(), 1u);
    EXPECT_EQ(unread[0].line, 4u);
    EXPECT_EQ(readText(u"SOFTWARE\\App", u"Good"), u"kept");

    EXPECT_EQ(setText(u"SOFTWARE\\App", u"New", u"x").error(), err::kPathFileAccess);
    EXPECT_EQ(createKey(key(u"SOFTWARE\\App")).error(), err::kPathFileAccess);
    const std::string why = describeStoreFailure(err::kPathFileAccess);
    EXPECT_NE(why.find("line 4"), std::string::npos) << why;
    EXPECT_NE(why.find(box.store()), std::string::npos) << why;
    EXPECT_EQ(test::readBytes(box.store()), handWritten);
}

TEST(SettingsStore, WriteWhereTheProcessMayNotWriteIsRefused) {
    test::Sandbox box(false);
    // Not even root may create files in the kernel's own file system.
    setSettingsStorePath(u"/sys/orvcommon-test.reg");
    EXPECT_EQ(createKey(key(u"K")).error(), err::kPermissionDenied);
    EXPECT_EQ(setText(u"K", u"V", u"1").error(), err::kPermissionDenied);
    EXPECT_EQ(readText(u"K", u"V"), u"<missing>");
    setSettingsStorePath(std::nullopt);
}

TEST(SettingsStore, RewriteKeepsThePermissionsGivenToTheFile) {
    test::Sandbox box(false);
    ASSERT_TRUE(setText(u"K", u"Password", u"a"));
    ASSERT_EQ(::chmod(box.store().c_str(), 0600), 0);
    ASSERT_TRUE(setText(u"K", u"Password", u"b"));
    struct stat st {};
    ASSERT_EQ(::stat(box.store().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // No temporary file is left beside the store.
    EXPECT_FALSE(test::exists(box.store() + ".tmp." + std::to_string(::getpid())));
}

TEST(SettingsStore, TwoWritersAndAReaderNeverSeeATornFile) {
    MemoryTempFolder memory;
    test::Sandbox box(false);
    constexpr int kWrites = 1000;
    ASSERT_TRUE(setText(u"SOFTWARE\\Race", u"V", u"start"));
    auto writer = [&](char16_t tag) {
        return spawn([=] {
            for (int i = 0; i < kWrites; ++i) {
                Text v(1, tag);
                v += decimalText(10000 + i);
                if (!setText(u"SOFTWARE\\Race", u"V", v)) return false;
            }
            return true;
        });
    };
    pid_t a = writer(u'A');
    pid_t b = writer(u'B');
    // Read beside them until both are done: the raw file always parses, and
    // the value is the start value or one a writer wrote, never going back
    // to an older value of the same writer.
    int lastA = -1, lastB = -1, reads = 0, bad = 0;
    int statusA = -1, statusB = -1;
    for (;;) {
        std::vector<RegParseError> errors;
        RegDocument doc = documentFromText(test::readBytes(box.store()), &errors);
        const RegKey* key = doc.find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Race");
        const RegValue* v = key ? key->find(u"V") : nullptr;
        const Text raw = v ? regDataText(v->data) : Text();
        const Text cached = readText(u"SOFTWARE\\Race", u"V");
        for (const Text& seen : {raw, cached}) {
            ++reads;
            if (!errors.empty() || seen.empty()) {
                ++bad;
                continue;
            }
            if (seen == u"start") continue;
            int n = (seen.size() == 6 && (seen[0] == u'A' || seen[0] == u'B'))
                        ? std::stoi(toUtf8(seen.substr(1))) - 10000
                        : -1;
            if (n < 0 || n >= kWrites) {
                ++bad;
                continue;
            }
        }
        // Monotonic per writer, from the raw reads (they are in time order).
        if (!raw.empty() && raw != u"start") {
            int n = std::stoi(toUtf8(raw.substr(1))) - 10000;
            int& last = raw[0] == u'A' ? lastA : lastB;
            if (n < last) ++bad;
            last = n;
        }
        int s = 0;
        if (statusA < 0 && ::waitpid(a, &s, WNOHANG) == a) statusA = WEXITSTATUS(s);
        if (statusB < 0 && ::waitpid(b, &s, WNOHANG) == b) statusB = WEXITSTATUS(s);
        if (statusA >= 0 && statusB >= 0) break;
    }
    EXPECT_EQ(statusA, 0);
    EXPECT_EQ(statusB, 0);
    EXPECT_EQ(bad, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 10);
    const Text last = readText(u"SOFTWARE\\Race", u"V");
    EXPECT_TRUE(last == u"A10999" || last == u"B10999") << toUtf8(last);
}

TEST(SettingsStore, ConcurrentConnectionSavesLoseNothing) {
    MemoryTempFolder memory;
    test::Sandbox box;
    // Each process saves 200 times, cycling over ten applications of its
    // own; after each save it reads its values back. A writer that replaced
    // the store from a stale read would undo another process's save.
    constexpr int kProcesses = 4, kSaves = 200, kApps = 10;
    auto appName = [](int p, int slot) {
        return u"App" + decimalText(p) + u"_" + decimalText(slot);
    };
    auto values = [](const Text& app, int i) {
        const Text n = decimalText(i);
        return std::array<Text, 3>{u"db " + app + u" " + n, u"user" + n, u"pw" + n};
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(spawn([=] {
            RegistryUtility reg;
            for (int i = 0; i < kSaves; ++i) {
                const Text app = appName(p, i % kApps);
                const auto v = values(app, i);
                if (!reg.saveInfoForConnection(app, v[0], v[1], v[2]).isSuccess()) return false;
                Text db, user, pw;
                reg.getInfoForConnection(app, db, user, pw);
                if (db != v[0] || user != v[1] || pw != v[2]) return false;
            }
            return true;
        }));
    }
    for (pid_t c : children)
        EXPECT_EQ(waitFor(c), 0);
    std::vector<RegParseError> errors;
    RegDocument doc = documentFromText(test::readBytes(box.store()), &errors);
    EXPECT_TRUE(errors.empty());
    int wrong = 0;
    for (int p = 0; p < kProcesses; ++p) {
        for (int slot = 0; slot < kApps; ++slot) {
            const Text app = appName(p, slot);
            const auto v = values(app, kSaves - kApps + slot);  // the last save of that slot
            const RegKey* key = doc.find(u"HKEY_LOCAL_MACHINE\\" + connectionKeyName(app));
            const char16_t* names[] = {u"connectionDbName", u"connectionUser",
                                       u"connectionPassword"};
            for (int k = 0; k < 3; ++k) {
                const RegValue* found = key ? key->find(names[k]) : nullptr;
                if (!found || regDataText(found->data) != v[static_cast<size_t>(k)]) ++wrong;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    // No error line: every value read back was there.
    EXPECT_FALSE(test::exists(box.mainLog()));
}

}  // namespace
}  // namespace orv::platform
