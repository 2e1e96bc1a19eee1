// The settings store file: reads, writes, refusals, several processes at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/formats/reg_document.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "support/environment.hpp"
#include "support/sandbox.hpp"
#include "support/system_call.hpp"

namespace orv::platform {
namespace {

using namespace formats;

const Text kHklm = u"HKEY_LOCAL_MACHINE";

Text key(TextView subkey) {
    return kHklm + u"\\" + Text(subkey);
}

Status setText(TextView subkey, TextView name, TextView text) {
    return writeTextValue(key(subkey), name, text);
}

Text readText(TextView subkey, TextView name) {
    auto r = readValue(key(subkey), name);
    if (!r) return u"<error " + decimalText(r.error()) + u">";
    return *r ? regDataText((*r)->data) : u"<missing>";
}

// Runs `body` in a child process, which exits with 0 when it returns true.
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
    for (const auto& [path, name] : {std::pair{key(u"SOFTWARE\\a\nb"), Text(u"V")},
                                     std::pair{key(u"SOFTWARE\\App"), Text(u"V\r")}}) {
        EXPECT_EQ(writeTextValue(path, name, u"1").error(), err::kInvalidArgument) << toUtf8(path);
        EXPECT_EQ(deleteValue(path, name).error(), err::kInvalidArgument) << toUtf8(path);
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
    const RegValue count{u"Count", kRegDword, regDwordData(7)};
    EXPECT_EQ(*keyValues(app),
              (std::vector<RegValue>{{u"Name", kRegSz, regStringData(u"text")}, count}));
    EXPECT_NE(exportKey(app + u"\\B")->find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\B]"),
              std::string::npos);

    ASSERT_TRUE(deleteValue(app, u"name").ok());
    EXPECT_EQ(*keyValues(app), std::vector<RegValue>{count});
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
    EXPECT_EQ(errors.size() == 1 ? errors[0].line : 0u, 3u);
    EXPECT_EQ(test::readBytes(box.store()), before);
}

TEST(SettingsStore, EachWriteIsSeenAtOnceAndDatedAfterTheFileItReplaces) {
    test::Sandbox box(false);
    for (int i = 0; i < 60; ++i) {
        const Text v = i % 2 ? u"odd" : u"evn";
        // From the 41st on another process writes: the cached parse is stale.
        if (i < 40) {
            ASSERT_TRUE(setText(u"K", u"V", v));
        } else {
            ASSERT_EQ(waitFor(spawn([&] { return setText(u"K", u"V", v).ok(); })), 0);
        }
        ASSERT_EQ(readText(u"K", u"V"), v) << i;
    }
    // Readers trust (inode, size, modification time); a replacement of the
    // same size may get the old inode number within one clock tick, so its
    // time must move forward even when the clock has not.
    const auto future = std::filesystem::last_write_time(box.store()) + std::chrono::hours(1);
    std::filesystem::last_write_time(box.store(), future);
    ASSERT_TRUE(setText(u"K", u"V", u"2"));
    EXPECT_GT(std::filesystem::last_write_time(box.store()), future);
}

TEST(SettingsStore, StoreThatIsNotRegTextOrNotWritableIsNeverWritten) {
    test::Sandbox box(false);
    const std::string handWritten =
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n"
        "\"Good\"=\"kept\"\n"
        "Server = db01   ; typed by hand\n";
    test::writeBytes(box.store(), handWritten);
    const auto unread = *unreadableLines();
    EXPECT_EQ(unread.size() == 1 ? unread[0].line : 0u, 4u);
    EXPECT_EQ(readText(u"SOFTWARE\\App", u"Good"), u"kept");

    EXPECT_EQ(setText(u"SOFTWARE\\App", u"New", u"x").error(), err::kPathFileAccess);
    const std::string why = describeStoreFailure(err::kPathFileAccess);
    EXPECT_NE(why.find("line 4"), std::string::npos) << why;
    EXPECT_NE(why.find(box.store()), std::string::npos) << why;
    EXPECT_EQ(test::readBytes(box.store()), handWritten);
    // Where the process may not write (not even root may create files in the
    // kernel's own file system) the same refusal, and nothing to read.
    setSettingsStorePath(u"/sys/orvcommon-test.reg");
    EXPECT_EQ(setText(u"K", u"V", u"1").error(), err::kPathFileAccess);
    EXPECT_EQ(readText(u"K", u"V"), u"<missing>");
    setSettingsStorePath(std::nullopt);
}

using OpenCall = int (*)(const char*, int, mode_t);
int openWithoutUnnamedFiles(const char* p, int f, mode_t m) {
    if ((f & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;  // as a file system without unnamed files answers
        return -1;
    }
    return reinterpret_cast<OpenCall>(originalSystemCall("open"))(p, f, m);
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

size_t filesStartingWith(const test::Sandbox& box, const std::string& prefix) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(box.dir()))
        n += e.path().filename().string().starts_with(prefix);
    return n;
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
    // A link planted at an old replacement name is not followed.
    test::writeBytes(box.path("victim"), "victim");
    const std::string planted = box.store() + ".tmp." + std::to_string(::getpid());
    ASSERT_EQ(::symlink(box.path("victim").c_str(), planted.c_str()), 0);
    ASSERT_TRUE(setText(u"K", u"Password", u"two"));
    EXPECT_EQ(test::readBytes(box.path("victim")), "victim");
    EXPECT_EQ(readText(u"K", u"Password"), u"two");
    // A writer killed before its replacement is in place leaves the store
    // as it was, and at most a replacement file that the next write removes.
    pid_t child = spawn([] {
        test::ReplacedCall sync("fsync", [](int) { return ::raise(SIGKILL); });
        return setText(u"K", u"Password", u"three").ok();
    });
    EXPECT_EQ(waitFor(child), 128 + SIGKILL);
    EXPECT_EQ(readText(u"K", u"Password"), u"two");
    EXPECT_EQ(filesStartingWith(box, "registry.reg.tmp."), GetParam() ? 1u : 0u);
    ASSERT_TRUE(setText(u"K", u"Password", u"four"));
    EXPECT_EQ(filesStartingWith(box, "registry.reg.tmp."), 0u);
    EXPECT_EQ(readText(u"K", u"Password"), u"four");
    // A rewrite keeps the permissions given to the file since.
    ASSERT_EQ(::chmod(box.store().c_str(), 0640), 0);
    ASSERT_TRUE(setText(u"K", u"Password", u"five"));
    EXPECT_EQ(modeOf(box.store()) & 07777, 0640u);
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
    EXPECT_EQ(filesStartingWith(box, "t.tmp."), 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, StoreReplacement, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

// Two processes each write their own value a thousand times while this one
// reads: the file always parses, no value goes back to an older one (as a
// replacement from a stale read would), and both last writes stay.
TEST(SettingsStore, TwoWritersAndAReaderNeverSeeATornFileNorALostWrite) {
    // About locking, not disk speed: on a memory file system where there is one.
    test::ScopedEnv memory("TMPDIR",
                           ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR"));
    test::Sandbox box(false);
    constexpr int kWrites = 1000;
    const char16_t* names[2] = {u"A", u"B"};
    for (const char16_t* name : names)
        ASSERT_TRUE(setText(u"SOFTWARE\\Race", name, u"-1"));
    for (int w = 0; w < 2; ++w)
        spawn([&, w] {
            for (int i = 0; i < kWrites; ++i)
                if (!setText(u"SOFTWARE\\Race", names[w], decimalText(i))) return false;
            return true;
        });
    int latest[2] = {-1, -1}, running = 2, failed = 0, reads = 0, bad = 0;
    while (running > 0) {
        std::vector<RegParseError> errors;
        RegistryDocument doc = documentFromText(test::readBytes(box.store()), &errors);
        const RegKey* key = doc.find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Race");
        bad += !errors.empty() || !key;
        for (int w = 0; w < 2 && key; ++w) {
            const RegValue* v = key->find(names[w]);
            const int n = v ? std::stoi(toUtf8(regDataText(v->data))) : -2;
            bad += n < latest[w] || n >= kWrites;
            latest[w] = n;
        }
        // The library's own read (its parse is cached) sees a value too.
        bad += readText(u"SOFTWARE\\Race", u"A").starts_with(u"<");
        ++reads;
        for (int st = 0; ::waitpid(-1, &st, WNOHANG) > 0; --running)
            failed += !WIFEXITED(st) || WEXITSTATUS(st) != 0;
    }
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(bad, 0) << "of " << reads << " reads";
    for (const char16_t* name : names)
        EXPECT_EQ(readText(u"SOFTWARE\\Race", name), decimalText(kWrites - 1));
}

}  // namespace
}  // namespace orv::platform
