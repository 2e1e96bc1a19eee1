// Fails each system call an operation makes, one at a time, with each error
// of the system's half (fault_posix.hpp, fault_win32.hpp): the operation ends
// in its documented result, a log never holds part of a line, the settings
// store is the old file or the new one, and nothing crashes.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/platform/eventlog.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "orvcommon/results/enums.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "support/sandbox.hpp"
#include "support/system_call.hpp"
#ifdef _WIN32
#include "platform/fault_win32.hpp"
#else
#include "platform/fault_posix.hpp"
#endif

namespace orv {

fault::InstallFaults::InstallFaults() {
#define ORV_FAULT_INSTALL(name, result, params, args) \
    platform::setSystemCall(#name, reinterpret_cast<platform::SystemCall>(&fault_##name));
    ORV_FAULT_SYSCALLS(ORV_FAULT_INSTALL)
#undef ORV_FAULT_INSTALL
}
void fault::InstallFaults::halfWrites(bool on) {
    platform::setSystemCall(
        kWriteCall, reinterpret_cast<platform::SystemCall>(on ? &halfWrite : kWriteWrapper));
}
fault::InstallFaults::~InstallFaults() {
    platform::restoreSystemCalls();
}

namespace {

using fault::gPlan;
using fault::InstallFaults;
using fault::Plan;

// Reads every log in the sandbox (rotated copies included): counts the lines
// holding `what`, and names the first line that is not whole in `bad`.
int logLines(const test::Sandbox& box, const std::string& what, std::string& bad) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(box.dir())) {
        const std::string name = entry.path().filename().string();
        if (name.find(".log") == std::string::npos) continue;
        const std::string bytes = test::readBytes(entry.path().string());
        if (!bytes.empty() && !bytes.ends_with("\r\n") && bad.empty()) bad = name + ": no line end";
        for (const std::string& line : test::crlfLines(bytes)) {
            n += line.find(what) != std::string::npos;
            if ((line.size() < 4 || !line.starts_with("\"[") || !line.ends_with("\"")) &&
                bad.empty())
                bad = name + ": " + line;
        }
    }
    return n;
}

int32_t logMain(test::Sandbox&) {
    ErrInfo e;
    e.fill(err::kFileNotFound, u"File not found", eiERRORTYPE, u"readFile");
    return e.writeLog().numberInfo();
}

// An operation under faults (what it may make of them: the system's half);
// a writeLog (logMain) always answers success. A named log is written by the
// same shared log file as the main one: the main log stands for both.
struct Scenario {
    const char* name;
    void (*prepare)(test::Sandbox&);
    int32_t (*run)(test::Sandbox&);
};

const Scenario kScenarios[] = {
    {"writeLog main", [](test::Sandbox&) {}, logMain},
    {"writeLog main rotating",
     [](test::Sandbox& b) {
         test::Sandbox::setText(u"SOFTWARE\\VELN\\LogSystem", u"SwitchDimension", u"100");
         // One whole line, past the switch size.
         test::writeBytes(b.mainLog(), "\"[" + std::string(100, 'o') + "]\"\r\n");
     },
     logMain},
    {"settings write", [](test::Sandbox&) {},
     [](test::Sandbox&) {
         return platform::writeTextValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Fault", u"Name",
                                         u"new value")
             .error();
     }},
    {"writeFile", [](test::Sandbox&) {},
     [](test::Sandbox& b) {
         return FileUtility().writeFile(b.textPath("w.txt"), 0, u"text").numberInfo();
     }},
    {"readBinaryFile", [](test::Sandbox& b) { test::writeBytes(b.path("b.bin"), "bytes"); },
     [](test::Sandbox& b) {
         Variant out;
         return FileUtility().readBinaryFile(b.textPath("b.bin"), out).numberInfo();
     }},
    {"ooReadFile",
     [](test::Sandbox& b) {
         test::writeBytes(b.path("r.dat"),
                          std::string(20, 'x') + "\r\n" + std::string(20, 'y') + "\r\n");
     },
     [](test::Sandbox& b) {
         Array<Text> list({1, 2});
         int16_t n = 2;
         return FileUtility().ooReadFile(b.textPath("r.dat"), 20, 1, n, list).numberInfo();
     }},
    {"numFileInDir", [](test::Sandbox& b) { test::writeBytes(b.path("f.txt"), "x"); },
     [](test::Sandbox& b) {
         int16_t n = 0;
         return FileUtility().numFileInDir(b.textPath("*.txt"), n).numberInfo();
     }},
    {"UpdateFileTime", [](test::Sandbox& b) { test::writeBytes(b.path("t.txt"), "x"); },
     [](test::Sandbox& b) {
         Variant name = b.textPath("t.txt"), y = int16_t{2024}, m = int16_t{3}, dow = int16_t{0},
                 d = int16_t{5}, h = int16_t{10}, mi = int16_t{30}, s = int16_t{0};
         return FileUtility().UpdateFileTime(name, y, m, dow, d, h, mi, s).numberInfo();
     }},
};

// What an operation leaves behind, logs aside: the settings store and every
// other file in the sandbox, with the sandbox's own folder written as "~".
std::string leftBehind(const test::Sandbox& box) {
    std::string state = fault::storeState(box);
    for (const auto& entry : std::filesystem::directory_iterator(box.dir())) {
        const std::string name = entry.path().filename().string();
        if (name.find(".log") == std::string::npos && entry.path().string() != box.store())
            state += "\n" + name + ": " + test::readBytes(entry.path().string());
    }
    for (size_t p = state.find(box.dir()); p != std::string::npos; p = state.find(box.dir(), p))
        state.replace(p, box.dir().size(), "~");
    return state;
}

TEST(FaultInjection, EveryCallFailingEndsInADocumentedOutcome) {
    constexpr int kModes = std::size(fault::kErrors) + 1;
    int points = 0;
    // An unreadable settings store sends the main log to the library's own
    // folder, as a missing one does: that file is put back afterwards.
    const std::string fallback = toUtf8(platform::moduleFolder()) + "/orvmira.log";
    const bool hadFallback = test::exists(fallback);
    const std::string fallbackBefore = test::readBytes(fallback);
    InstallFaults faults;
    for (const Scenario& sc : kScenarios) {
        const bool log = sc.run == &logMain;
        // A clean run counts the calls: each one is an injection point.
        std::map<std::string, int> calls;
        std::string cleanState, bad;
        int cleanLines = 0;
        {
            test::Sandbox box;
            sc.prepare(box);
            gPlan = Plan{};
            ASSERT_EQ(sc.run(box), 0) << sc.name;
            calls = gPlan.counts;
            cleanLines = logLines(box, "readFile", bad);
            cleanState = leftBehind(box);
        }
        ASSERT_TRUE(!log || cleanLines > 0) << sc.name;
        const fault::Expectations ex = fault::kExpectations.contains(sc.name)
                                           ? fault::kExpectations.at(sc.name)
                                           : fault::Expectations{};
        for (const auto& [call, count] : calls) {
            for (int at = 0; at < count; ++at) {
                for (int mode = 0; mode < kModes; ++mode) {
                    // The last mode (writes only) writes half, then fails
                    // the next write: a log takes the half line back.
                    const bool half = mode == kModes - 1;
                    if (half && call != fault::kWriteCall) continue;
                    const fault::Error& error = half ? fault::kErrors[0] : fault::kErrors[mode];
                    InstallFaults::halfWrites(half);
                    test::Sandbox box;
                    sc.prepare(box);
                    const std::string storeBefore = fault::storeState(box);
                    gPlan = Plan{call, at, error.code, {}};
                    const int32_t number = sc.run(box);
                    const std::string where = std::string(sc.name) + " " + call + "#" +
                                              std::to_string(at) + (half ? " half, then " : " ") +
                                              error.name;
                    gPlan = Plan{};
                    InstallFaults::halfWrites(false);
                    ++points;
                    bad.clear();
                    const int lines = logLines(box, "readFile", bad);
                    EXPECT_EQ(bad, "") << where << " left part of a line";
                    if (log) {
                        // A log line is written whole or lost; the call succeeds.
                        EXPECT_EQ(number, 0) << where;
                        EXPECT_TRUE(lines == cleanLines || lines == cleanLines - 1) << where;
                        continue;
                    }
                    const bool mayPass = ex.mayPass.count("*") || ex.mayPass.count(call);
                    // An interrupted call that is retried succeeds.
                    int32_t documented = fault::mappedNumber(error, call);
                    if (documented != 0 && ex.own.count(call)) documented = ex.own.at(call);
                    if (number != 0 || !mayPass) {
                        EXPECT_EQ(number, documented) << where;
                    }
                    // Success leaves what a run without faults leaves; a
                    // failure leaves the settings store as it was.
                    if (number == 0) {
                        EXPECT_EQ(leftBehind(box), cleanState) << where;
                    } else {
                        EXPECT_EQ(fault::storeState(box), storeBefore) << where;
                    }
                }
            }
        }
    }
    if (hadFallback)
        test::writeBytes(fallback, fallbackBefore);
    else
        std::remove(fallback.c_str());
    EXPECT_GE(points, 60) << "injection points tried";
}

void noCall() {}
std::string gSyslogged;

// A failure keeps the system's own code beside its number, also when a
// result hands it on (readAll reads through readInto): a full disk and a full
// quota are one number to callers, two codes to a test.
TEST(FaultInjection, AFailureKeepsTheSystemsOwnCode) {
    const struct {
        const char* call;
        int code;
        int32_t number;
    } cases[] = {{fault::kWriteCall, fault::kDiskFull, err::kDiskFull},
                 {fault::kWriteCall, fault::kQuotaFull, err::kDiskFull},
                 {fault::kReadCall, fault::kErrors[1].code, err::kDeviceIo}};
    test::Sandbox box;
    test::writeBytes(box.path("kept.txt"), "bytes");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.code));
        const bool write = std::string(c.call) == fault::kWriteCall;
        auto file =
            platform::File::open(box.textPath("kept.txt"),
                                 write ? platform::OpenMode::Append : platform::OpenMode::Read);
        ASSERT_TRUE(file);
        InstallFaults faults;
        gPlan = Plan{c.call, 0, c.code, {}};
        const Status done = write ? file->writeAll("more") : Status(file->readAll().failure());
        EXPECT_GE(gPlan.counts[c.call], 1);  // the failing call was made
        gPlan = Plan{};
        EXPECT_EQ(done.error(), c.number);
        EXPECT_EQ(done.systemError(), c.code);
    }
}

// Every entry of the table is replaced and put back by name; on POSIX the
// event log reaches the system through the table too.
TEST(SystemCallTable, EveryEntryIsReplacedAndRestoredByName) {
    EXPECT_FALSE(platform::setSystemCall("no-such-call", nullptr));
    const auto mine = reinterpret_cast<platform::SystemCall>(&noCall);
    std::set<std::string> names;
    for (const char* n = platform::nextSystemCall(nullptr); n; n = platform::nextSystemCall(n)) {
        names.insert(n);
        ASSERT_TRUE(platform::setSystemCall(n, mine)) << n;
        EXPECT_EQ(platform::systemCall(n), mine) << n;
        platform::restoreSystemCalls();
        EXPECT_EQ(platform::systemCall(n), platform::originalSystemCall(n)) << n;
    }
    EXPECT_GT(names.size(), 20u);
#ifndef _WIN32
    for (const char* n : {"clock_gettime", "localtime_r", "madvise", "dlopen", "dlsym"})
        EXPECT_NE(platform::originalSystemCall(n), nullptr) << n;
    test::ReplacedCall opened("openlog", [](const char*, int, int) {});
    test::ReplacedCall logged("syslogText", [](int, const char* m) { gSyslogged = m; });
    platform::writeEventLog(u"through the table");
    EXPECT_EQ(gSyslogged, "through the table");
#endif
}

}  // namespace
}  // namespace orv
