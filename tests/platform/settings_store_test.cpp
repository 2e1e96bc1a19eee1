// The settings store file: reads, writes, refusals, and writers and readers
// in several processes at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/formats/reg_document.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "orvcommon/registry/registry_utility.hpp"
#include "support/environment.hpp"
#include "support/sandbox.hpp"

namespace orv::platform {
namespace {

using namespace formats;

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
const char* memoryTempFolder() {
    return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
}

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
    for (int i = 0; i < 60; ++i) {
        const Text v = i % 2 ? u"odd" : u"evn";
        // From the 41st on through another process's write: this process has
        // the old parse cached and must notice the replacement.
        if (i < 40) {
            ASSERT_TRUE(setText(u"K", u"V", v));
        } else {
            ASSERT_EQ(waitFor(spawn([&] { return setText(u"K", u"V", v).ok(); })), 0);
        }
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
    EXPECT_EQ(createKey(key(u"K")).error(), err::kPathFileAccess);
    EXPECT_EQ(setText(u"K", u"V", u"1").error(), err::kPathFileAccess);
    EXPECT_EQ(readText(u"K", u"V"), u"<missing>");
    setSettingsStorePath(std::nullopt);
}

// The system calls a test puts in place of the real ones.
using OpenCall = int (*)(const char*, int, mode_t);
int openWithoutUnnamedFiles(const char* p, int f, mode_t m) {
    if ((f & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;  // as a file system without unnamed files answers
        return -1;
    }
    return reinterpret_cast<OpenCall>(originalSystemCall("open"))(p, f, m);
}
int killedAtSync(int) {
    ::raise(SIGKILL);
    return -1;
}

// Replacement files, with unnamed files and where the file system has none.
class StoreReplacement : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam())
            setSystemCall("open", reinterpret_cast<SystemCall>(&openWithoutUnnamedFiles));
    }
    void TearDown() override { restoreSystemCalls(); }
};

std::vector<std::string> replacementFiles(const test::Sandbox& box) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(box.dir()))
        if (e.path().filename().string().rfind("registry.reg.tmp.", 0) == 0)
            out.push_back(e.path().filename().string());
    return out;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST_P(StoreReplacement, IsPrivateUnguessableAndNeverLeftBehind) {
    test::Sandbox box(false);
    // A per-user store the library creates is its owner's alone.
    ASSERT_TRUE(setText(u"K", u"Password", u"S3cretPW"));
    EXPECT_EQ(modeOf(box.store()) & 07777, 0600u);
    // A link planted where the old name of the replacement was is not
    // followed: the file it points at is untouched, the store stays a file.
    test::writeBytes(box.path("victim"), "victim");
    const std::string planted = box.store() + ".tmp." + std::to_string(::getpid());
    ASSERT_EQ(::symlink(box.path("victim").c_str(), planted.c_str()), 0);
    ASSERT_TRUE(setText(u"K", u"Password", u"two"));
    EXPECT_EQ(test::readBytes(box.path("victim")), "victim");
    EXPECT_TRUE(S_ISREG(modeOf(box.store())));
    EXPECT_EQ(readText(u"K", u"Password"), u"two");
    // A writer killed before its replacement is in place leaves the store
    // as it was, and at most a replacement file that the next write removes.
    pid_t child = spawn([] {
        setSystemCall("fsync", reinterpret_cast<SystemCall>(&killedAtSync));
        return setText(u"K", u"Password", u"three").ok();
    });
    EXPECT_EQ(waitFor(child), 128 + SIGKILL);
    EXPECT_EQ(readText(u"K", u"Password"), u"two");
    EXPECT_EQ(replacementFiles(box).size(), GetParam() ? 1u : 0u);
    ASSERT_TRUE(setText(u"K", u"Password", u"four"));
    EXPECT_EQ(replacementFiles(box), std::vector<std::string>());
    EXPECT_EQ(readText(u"K", u"Password"), u"four");
    EXPECT_EQ(modeOf(box.store()) & 07777, 0600u);
}

TEST_P(StoreReplacement, FilesGetTheAccessAskedFor) {
    test::Sandbox box(false);
    const mode_t mask = ::umask(022);
    const struct {
        FileAccess access;
        mode_t mode;
    } rows[] = {{FileAccess::OwnerOnly, 0600}, {FileAccess::AllRead, 0644}};
    for (const auto& row : rows) {
        auto f = File::createTemporary(box.textPath("t.tmp."), row.access);
        ASSERT_TRUE(f);
        ASSERT_TRUE(f->writeAll("x"));
        ASSERT_TRUE(f->replace(box.textPath("t")));
        EXPECT_EQ(modeOf(box.path("t")) & 07777, row.mode);
    }
    ::umask(mask);
    // A file never put in place leaves nothing.
    { ASSERT_TRUE(File::createTemporary(box.textPath("t.tmp."), FileAccess::OwnerOnly)); }
    size_t left = 0;
    for (const auto& e : std::filesystem::directory_iterator(box.dir()))
        left += e.path().filename().string().rfind("t.tmp.", 0) == 0;
    EXPECT_EQ(left, 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, StoreReplacement, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST(SettingsStore, RewriteKeepsThePermissionsGivenToTheFile) {
    test::Sandbox box(false);
    ASSERT_TRUE(setText(u"K", u"Password", u"a"));
    ASSERT_EQ(::chmod(box.store().c_str(), 0640), 0);
    ASSERT_TRUE(setText(u"K", u"Password", u"b"));
    EXPECT_EQ(modeOf(box.store()) & 07777, 0640u);
}

TEST(SettingsStore, TwoWritersAndAReaderNeverSeeATornFile) {
    test::ScopedEnv memory("TMPDIR", memoryTempFolder());
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
    // The index a writer wrote, -1 for the start value, -2 for anything else.
    const auto written = [](const Text& v) {
        if (v == u"start") return -1;
        if (v.size() != 6 || (v[0] != u'A' && v[0] != u'B')) return -2;
        const int n = std::stoi(toUtf8(v.substr(1))) - 10000;
        return n >= 0 && n < kWrites ? n : -2;
    };
    // Read beside them until both are done: the raw file always parses, and
    // the value is the start value or one a writer wrote, never going back
    // to an older value of the same writer.
    const pid_t writers[2] = {writer(u'A'), writer(u'B')};
    int latest[2] = {-1, -1}, status[2] = {-1, -1}, reads = 0, bad = 0;
    while (status[0] < 0 || status[1] < 0) {
        std::vector<RegParseError> errors;
        RegistryDocument doc = documentFromText(test::readBytes(box.store()), &errors);
        const RegKey* key = doc.find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Race");
        const RegValue* v = key ? key->find(u"V") : nullptr;
        const Text raw = v ? regDataText(v->data) : Text();
        reads += 2;
        bad += !errors.empty() + (written(raw) == -2) +
               (written(readText(u"SOFTWARE\\Race", u"V")) == -2);
        // Monotonic per writer, from the raw reads (they are in time order).
        if (const int n = written(raw); n >= 0) {
            bad += n < latest[raw[0] == u'B'];
            latest[raw[0] == u'B'] = n;
        }
        for (int w = 0; w < 2; ++w) {
            int st = 0;
            if (status[w] < 0 && ::waitpid(writers[w], &st, WNOHANG) == writers[w])
                status[w] = WEXITSTATUS(st);
        }
    }
    EXPECT_EQ(status[0], 0);
    EXPECT_EQ(status[1], 0);
    EXPECT_EQ(bad, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 10);
    const Text last = readText(u"SOFTWARE\\Race", u"V");
    EXPECT_TRUE(last == u"A10999" || last == u"B10999") << toUtf8(last);
}

TEST(SettingsStore, ConcurrentConnectionSavesLoseNothing) {
    test::ScopedEnv memory("TMPDIR", memoryTempFolder());
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
    RegistryDocument doc = documentFromText(test::readBytes(box.store()), &errors);
    EXPECT_TRUE(errors.empty());
    const char16_t* names[] = {u"connectionDbName", u"connectionUser", u"connectionPassword"};
    int wrong = 0;
    for (int p = 0; p < kProcesses; ++p) {
        for (int slot = 0; slot < kApps; ++slot) {
            const Text app = appName(p, slot);
            const auto v = values(app, kSaves - kApps + slot);  // the last save of that slot
            const RegKey* key = doc.find(u"HKEY_LOCAL_MACHINE\\" + connectionKeyName(app));
            for (size_t k = 0; k < 3; ++k) {
                const RegValue* found = key ? key->find(names[k]) : nullptr;
                wrong += !found || regDataText(found->data) != v[k];
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    // No error line: every value read back was there.
    EXPECT_FALSE(test::exists(box.mainLog()));
}

}  // namespace
}  // namespace orv::platform
