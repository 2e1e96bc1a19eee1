// Makes the system fail on purpose, one call at a time, under the operations
// that write logs, settings and files: every call an operation makes is an
// injection point, and each point is tried with each error below. Whatever
// fails, the operation ends in its documented result, a log never holds part
// of a line, the settings store is the old file or the new one, and nothing
// crashes. The same on Windows, with the Win32 calls of that backend.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <type_traits>

#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "orvcommon/results/enums.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "support/sandbox.hpp"

#ifdef _WIN32
#include "orvcommon/platform/win32/win32_io.hpp"
// The library's own root constants, not the system's handles.
#undef HKEY_LOCAL_MACHINE
#define ORV_TEST_SYSCALLS ORV_WIN32_SYSCALLS
#define ORV_CALLS WINAPI
#else
#include <errno.h>

#include "orvcommon/platform/posix/posix_io.hpp"
#define ORV_TEST_SYSCALLS ORV_POSIX_SYSCALLS
#define ORV_CALLS
#endif

namespace orv {
namespace {

#ifdef _WIN32
constexpr const char* kWrite = "WriteFile";
// Disk full, a device failure, too many files, no access, a file in use.
constexpr int kErrors[] = {ERROR_DISK_FULL, ERROR_WRITE_FAULT, ERROR_TOO_MANY_OPEN_FILES,
                           ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION};
constexpr int kDiskFull = ERROR_DISK_FULL;
bool releasesFirst(const std::string& call) {
    return call == "CloseHandle" || call == "FindClose" || call == "RegCloseKey";
}
std::string errorName(int e) {
    return "system error " + std::to_string(e);
}
#else
constexpr const char* kWrite = "write";
constexpr int kErrors[] = {ENOSPC, EIO, EMFILE, EACCES, EINTR};
constexpr int kDiskFull = ENOSPC;
bool releasesFirst(const std::string& call) {
    return call == "close" || call == "closedir";
}
std::string errorName(int e) {
    return std::strerror(e);
}
#endif

// The call to fail: its name, its index among the calls of that name since
// the counts were reset, and the error it reports.
struct Plan {
    std::string call;
    int at = -1;
    int error = 0;
    bool fired = false;
    // For a write: the failing call first writes half of its bytes, the
    // next write reports the error (a disk that fills up part way).
    bool half = false;
    std::map<std::string, int> counts;
};
Plan gPlan;

// The failure of a call: POSIX calls set errno and return -1 or null; Win32
// calls set the last error and return FALSE, an invalid handle or invalid
// attributes, and the registry calls return the error itself.
template <class R>
R failedResult(int error) {
#ifdef _WIN32
    SetLastError(static_cast<DWORD>(error));
    if constexpr (std::is_same_v<R, HANDLE>)
        return INVALID_HANDLE_VALUE;
    else if constexpr (std::is_same_v<R, BOOL>)
        return FALSE;
    else if constexpr (std::is_same_v<R, LONG>)
        return static_cast<LONG>(error);
    else
        return static_cast<R>(-1);
#else
    errno = error;
    if constexpr (std::is_pointer_v<R>)
        return nullptr;
    else
        return static_cast<R>(-1);
#endif
}

// A failing close still releases what it closes (as Linux does), so those
// run before they report the error.
#define ORV_FAULT_WRAPPER(name, result, params, args)                                  \
    result ORV_CALLS fault_##name params {                                             \
        using Real = result(ORV_CALLS*) params;                                        \
        const auto real = reinterpret_cast<Real>(platform::originalSystemCall(#name)); \
        const int index_ = gPlan.counts[#name]++;                                      \
        if (index_ == gPlan.at && gPlan.call == #name) {                               \
            if (releasesFirst(gPlan.call)) (void)real args;                            \
            gPlan.fired = true;                                                        \
            return failedResult<result>(gPlan.error);                                  \
        }                                                                              \
        return real args;                                                              \
    }
ORV_TEST_SYSCALLS(ORV_FAULT_WRAPPER)
#undef ORV_FAULT_WRAPPER

// The write that writes half of its bytes; the next write fails.
#ifdef _WIN32
BOOL WINAPI halfWrite(HANDLE h, LPCVOID b, DWORD n, LPDWORD put, LPOVERLAPPED o) {
    using Real = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    const auto real = reinterpret_cast<Real>(platform::originalSystemCall(kWrite));
    const int index = gPlan.counts[kWrite]++;
    if (gPlan.call == kWrite && index == gPlan.at && n > 1) return real(h, b, n / 2, put, o);
    if (gPlan.call == kWrite && index == gPlan.at + 1) {
        gPlan.fired = true;
        if (put) *put = 0;
        return failedResult<BOOL>(gPlan.error);
    }
    return real(h, b, n, put, o);
}
#else
ssize_t halfWrite(int fd, const void* b, size_t n) {
    using Real = ssize_t (*)(int, const void*, size_t);
    const auto real = reinterpret_cast<Real>(platform::originalSystemCall(kWrite));
    const int index = gPlan.counts[kWrite]++;
    if (gPlan.call == kWrite && index == gPlan.at && n > 1) return real(fd, b, n / 2);
    if (gPlan.call == kWrite && index == gPlan.at + 1) {
        gPlan.fired = true;
        return failedResult<ssize_t>(gPlan.error);
    }
    return real(fd, b, n);
}
#endif

struct InstallFaults {
    InstallFaults() {
#define ORV_FAULT_INSTALL(name, result, params, args) \
    platform::setSystemCall(#name, reinterpret_cast<platform::SystemCall>(&fault_##name));
        ORV_TEST_SYSCALLS(ORV_FAULT_INSTALL)
#undef ORV_FAULT_INSTALL
    }
    static void halfWrites(bool on) {
#ifdef _WIN32
        auto* const plain = &fault_WriteFile;
#else
        auto* const plain = &fault_write;
#endif
        platform::setSystemCall(kWrite,
                                reinterpret_cast<platform::SystemCall>(on ? &halfWrite : plain));
    }
    ~InstallFaults() {
        platform::restoreSystemCalls();
    }
};

// Every file in the sandbox that ends in ".log" or ".old" holds whole lines.
bool onlyWholeLines(const test::Sandbox& box, std::string& bad) {
    for (const auto& entry : std::filesystem::directory_iterator(box.dir())) {
        const std::string name = entry.path().filename().string();
        if (name.find(".log") == std::string::npos) continue;
        const std::string bytes = test::readBytes(entry.path().string());
        size_t start = 0;
        while (start < bytes.size()) {
            const size_t end = bytes.find("\r\n", start);
            const std::string line =
                bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (end == std::string::npos || line.size() < 4 || line.front() != '"' ||
                line.back() != '"' || line.compare(0, 2, "\"[") != 0) {
                bad = name + ": " + line;
                return false;
            }
            start = end + 2;
        }
    }
    return true;
}

// The run-time errors a file failure may end in, as the automation run time
// maps them, the file utility's own "could not open" failure, and the
// record reader's "bad record number" for a position it cannot reach.
const std::set<int32_t> kFileErrors = {
    err::kFileNotFound,     err::kDeviceIo,       err::kDiskFull,     err::kTooManyFiles,
    err::kPermissionDenied, err::kPathFileAccess, err::kPathNotFound, eiABORTED,
    err::kBadRecordNumber};

struct Scenario {
    const char* name;
    // Prepares the sandbox (before the counting starts).
    std::function<void(test::Sandbox&)> prepare;
    // The operation; returns its result number (0 for success).
    std::function<int32_t(test::Sandbox&)> run;
    bool logOnly;  // a writeLog: its result is always success
};

ErrInfo sampleError() {
    ErrInfo e;
    e.fill(err::kFileNotFound, u"File not found", eiERRORTYPE, u"readFile", Variant(u"FileUtility"),
           Variant(u"orvcommon"));
    return e;
}

void fillLog(const std::string& path, size_t lines) {
    std::string bytes;
    for (size_t i = 0; i < lines; ++i)
        bytes += "\"[old line " + std::to_string(i) + "]\"\r\n";
    test::writeBytes(path, bytes);
}

const std::string kStoreKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fault";

std::vector<Scenario> scenarios() {
    const auto smallSwitch = [](test::Sandbox&) {
        test::Sandbox::setText(u"SOFTWARE\\VELN\\LogSystem", u"SwitchDimension", u"100");
    };
    return {
        {"writeLog main", [](test::Sandbox&) {},
         [](test::Sandbox&) { return sampleError().writeLog().numberInfo(); }, true},
        {"writeLog main rotating",
         [=](test::Sandbox& b) {
             smallSwitch(b);
             fillLog(b.mainLog(), 10);
         },
         [](test::Sandbox&) { return sampleError().writeLog().numberInfo(); }, true},
        {"writeLog named", [](test::Sandbox&) {},
         [](test::Sandbox& b) {
             return sampleError().writeLog(Variant(b.textPath("named.log"))).numberInfo();
         },
         true},
        {"writeLog named rotating",
         [=](test::Sandbox& b) {
             smallSwitch(b);
             fillLog(b.path("named.log"), 10);
         },
         [](test::Sandbox& b) {
             return sampleError().writeLog(Variant(b.textPath("named.log"))).numberInfo();
         },
         true},
        {"settings write", [](test::Sandbox&) {},
         [](test::Sandbox&) {
             return platform::writeTextValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Fault", u"Name",
                                             u"new value")
                 .error();
         },
         false},
        {"writeFile", [](test::Sandbox&) {},
         [](test::Sandbox& b) {
             return FileUtility().writeFile(b.textPath("w.txt"), 0, u"text").numberInfo();
         },
         false},
        {"writeCsvFileFromArray", [](test::Sandbox&) {},
         [](test::Sandbox& b) {
             Array<Text> t({1, 2}, {1, 2});
             t.at(1, 1) = u"a";
             t.at(2, 2) = u"b";
             return FileUtility().writeCsvFileFromArray(b.textPath("c.csv"), t, 2, 2).numberInfo();
         },
         false},
        {"readBinaryFile", [](test::Sandbox& b) { test::writeBytes(b.path("b.bin"), "bytes"); },
         [](test::Sandbox& b) {
             Variant out;
             return FileUtility().readBinaryFile(b.textPath("b.bin"), out).numberInfo();
         },
         false},
        {"ooReadFile",
         [](test::Sandbox& b) {
             test::writeBytes(b.path("r.dat"),
                              std::string(20, 'x') + "\r\n" + std::string(20, 'y') + "\r\n");
         },
         [](test::Sandbox& b) {
             Array<Text> list({1, 2});
             int16_t n = 2;
             return FileUtility().ooReadFile(b.textPath("r.dat"), 20, 1, n, list).numberInfo();
         },
         false},
        {"numFileInDir", [](test::Sandbox& b) { test::writeBytes(b.path("f.txt"), "x"); },
         [](test::Sandbox& b) {
             int16_t n = 0;
             return FileUtility().numFileInDir(b.textPath("*.txt"), n).numberInfo();
         },
         false},
        {"UpdateFileTime", [](test::Sandbox& b) { test::writeBytes(b.path("t.txt"), "x"); },
         [](test::Sandbox& b) {
             Variant name = b.textPath("t.txt"), y = int16_t{2024}, m = int16_t{3},
                     dow = int16_t{0}, d = int16_t{5}, h = int16_t{10}, mi = int16_t{30},
                     s = int16_t{0};
             return FileUtility().UpdateFileTime(name, y, m, dow, d, h, mi, s).numberInfo();
         },
         false},
    };
}

TEST(FaultInjection, EveryCallFailingEndsInADocumentedState) {
    std::map<std::string, int> outcomes;
    int points = 0, problems = 0;
    // An unreadable settings store sends the main log to the library's own
    // folder, as a missing one does: that file is put back afterwards.
    const std::string fallback = toUtf8(platform::moduleFolder()) + "/orvmira.log";
    const bool hadFallback = test::exists(fallback);
    const std::string fallbackBefore = test::readBytes(fallback);
    InstallFaults faults;
    for (const Scenario& sc : scenarios()) {
        // A clean run counts the calls: each one is an injection point.
        std::map<std::string, int> calls;
        std::string storeAfter, cleanDir;
        {
            test::Sandbox box;
            sc.prepare(box);
            gPlan = Plan{};
            ASSERT_EQ(sc.run(box), 0) << sc.name;
            calls = gPlan.counts;
            storeAfter = test::readBytes(box.store());
            cleanDir = box.dir();
        }
        for (const auto& [call, count] : calls) {
            for (int at = 0; at < count; ++at) {
                for (int mode = 0; mode < 6; ++mode) {
                    // Modes 0-4 fail the call with one error; mode 5 (writes
                    // only) writes half, then fails the next write.
                    const bool half = mode == 5;
                    if (half && call != kWrite) continue;
                    const int error = half ? kDiskFull : kErrors[mode];
                    InstallFaults::halfWrites(half);
                    test::Sandbox box;
                    sc.prepare(box);
                    const std::string storeBefore = test::readBytes(box.store());
                    gPlan = Plan{call, at, error, false, false, {}};
                    const int32_t number = sc.run(box);
                    const std::string where = std::string(sc.name) + " " + call + "#" +
                                              std::to_string(at) + (half ? " half, then " : " ") +
                                              errorName(error);
                    gPlan = Plan{};
                    InstallFaults::halfWrites(false);
                    ++points;
                    std::string outcome = number == 0 ? "ok" : std::to_string(number);
                    if (sc.logOnly) {
                        EXPECT_EQ(number, 0) << where;
                    } else if (number != 0 && !kFileErrors.count(number)) {
                        ADD_FAILURE() << where << " ended in " << number;
                    }
                    std::string bad;
                    if (!onlyWholeLines(box, bad)) {
                        ADD_FAILURE() << where << " left part of a line: " << bad;
                        outcome = "partial line";
                        ++problems;
                    }
                    // The new store as the clean run wrote it, in this sandbox.
                    std::string expected = storeAfter;
                    for (size_t p = expected.find(cleanDir); p != std::string::npos;
                         p = expected.find(cleanDir, p + box.dir().size()))
                        expected.replace(p, cleanDir.size(), box.dir());
                    const std::string store = test::readBytes(box.store());
                    if (store != storeBefore && store != expected) {
                        ADD_FAILURE() << where << " left a torn store";
                        outcome = "torn store";
                        ++problems;
                    }
                    ++outcomes[std::string(sc.name) + ": " + outcome];
                }
            }
        }
    }
    if (hadFallback)
        test::writeBytes(fallback, fallbackBefore);
    else
        std::remove(fallback.c_str());
    std::cout << "fault injection: " << points << " points, " << problems << " problems\n";
    for (const auto& [what, n] : outcomes)
        std::cout << "  " << what << " x" << n << "\n";
    EXPECT_GE(points, 60);
    EXPECT_EQ(problems, 0);
}

// The disk fills up in the middle of a log line: the write goes half way,
// the rest fails with ENOSPC. The half line is taken back, so the next line
// starts on a line of its own instead of being glued to it.
TEST(FaultInjection, DiskFullInTheMiddleOfALogLineLeavesNoPartOfIt) {
    const struct {
        const char* name;
        std::string file;  // in the sandbox
        bool named;
    } cases[] = {{"main log", "orvmira.log", false}, {"named log", "named.log", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::Sandbox box;
        fillLog(box.path(c.file), 3);
        const std::string before = test::readBytes(box.path(c.file));
        const auto writeLine = [&](const Text& description) {
            ErrInfo e;
            e.fill(err::kDiskFull, description, eiERRORTYPE, u"writeLog", Variant(u"FaultTest"),
                   Variant(u"orvcommon"));
            return c.named ? e.writeLog(Variant(box.textPath(c.file))) : e.writeLog();
        };
        {
            InstallFaults faults;
            InstallFaults::halfWrites(true);
            gPlan = Plan{"write", 0, ENOSPC, false, true, {}};  // the first line written
            EXPECT_TRUE(writeLine(u"lost on a full disk").isSuccess());
            EXPECT_TRUE(gPlan.fired);
            gPlan = Plan{};
        }
        EXPECT_EQ(test::readBytes(box.path(c.file)), before);
        EXPECT_TRUE(writeLine(u"written once there is room").isSuccess());
        const std::vector<std::string> lines = test::crlfLines(test::readBytes(box.path(c.file)));
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[3].rfind("\"[", 0), 0u) << lines[3];
        EXPECT_NE(lines[3].find("[written once there is room]\""), std::string::npos) << lines[3];
    }
}

TEST(FaultInjection, SeamKnowsItsCallsByName) {
    EXPECT_FALSE(platform::setSystemCall("no-such-call", nullptr));
    int listed = 0;
    for (const char* n = platform::nextSystemCall(nullptr); n; n = platform::nextSystemCall(n)) {
        EXPECT_NE(platform::systemCall(n), nullptr) << n;
        ++listed;
    }
    EXPECT_GE(listed, 14);
}

}  // namespace
}  // namespace orv
