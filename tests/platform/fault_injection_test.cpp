// Makes the system fail on purpose, one call at a time, under the operations
// that write logs, settings and files: every call an operation makes is an
// injection point, and each point is tried with each error below. Whatever
// fails, the operation ends in its documented result, a log never holds part
// of a line, the settings store is the old file or the new one, and nothing
// crashes.
#include <errno.h>
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
#include "orvcommon/platform/posix/posix_io.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "orvcommon/results/enums.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

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

template <class R>
R failedResult() {
    if constexpr (std::is_pointer_v<R>)
        return nullptr;
    else
        return static_cast<R>(-1);
}

// A failing close still releases what it closes (as Linux does), so those
// two run before they report the error.
#define ORV_FAULT_WRAPPER(name, result, params, args)                                  \
    result fault_##name params {                                                       \
        using Real = result(*) params;                                                 \
        const auto real = reinterpret_cast<Real>(platform::originalSystemCall(#name)); \
        const int index_ = gPlan.counts[#name]++;                                      \
        if (index_ == gPlan.at && gPlan.call == #name) {                               \
            if (gPlan.call == "close" || gPlan.call == "closedir") (void)real args;    \
            gPlan.fired = true;                                                        \
            errno = gPlan.error;                                                       \
            return failedResult<result>();                                             \
        }                                                                              \
        return real args;                                                              \
    }
ORV_POSIX_SYSCALLS(ORV_FAULT_WRAPPER)
#undef ORV_FAULT_WRAPPER

ssize_t halfWrite(int fd, const void* b, size_t n) {
    using Real = ssize_t (*)(int, const void*, size_t);
    const auto real = reinterpret_cast<Real>(platform::originalSystemCall("write"));
    const int index = gPlan.counts["write"]++;
    if (gPlan.call == "write" && index == gPlan.at && n > 1) return real(fd, b, n / 2);
    if (gPlan.call == "write" && index == gPlan.at + 1) {
        gPlan.fired = true;
        errno = gPlan.error;
        return -1;
    }
    return real(fd, b, n);
}

struct InstallFaults {
    InstallFaults() {
#define ORV_FAULT_INSTALL(name, result, params, args) \
    platform::setSystemCall(#name, reinterpret_cast<platform::SystemCall>(&fault_##name));
        ORV_POSIX_SYSCALLS(ORV_FAULT_INSTALL)
#undef ORV_FAULT_INSTALL
    }
    static void halfWrites(bool on) {
        platform::setSystemCall(
            "write", reinterpret_cast<platform::SystemCall>(on ? &halfWrite : &fault_write));
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
    const int errors[] = {ENOSPC, EIO, EMFILE, EACCES, EINTR};
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
                    if (half && call != "write") continue;
                    const int error = half ? ENOSPC : errors[mode];
                    InstallFaults::halfWrites(half);
                    test::Sandbox box;
                    sc.prepare(box);
                    const std::string storeBefore = test::readBytes(box.store());
                    gPlan = Plan{call, at, error, false, false, {}};
                    const int32_t number = sc.run(box);
                    const std::string where = std::string(sc.name) + " " + call + "#" +
                                              std::to_string(at) + (half ? " half, then " : " ") +
                                              std::strerror(error);
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
