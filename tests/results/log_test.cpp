#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <set>
#include <thread>

#include "orvcommon/core/regional.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/paths.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

constexpr const char16_t* kKey = u"SOFTWARE\\VELN\\LogSystem";

ErrInfo makeResult(int16_t type, int32_t number = 53, Text description = u"File not found") {
    ErrInfo e;
    e.fill(number, description, type, u"readFile", Variant(u"FileUtility"), Variant(u"orvcommon"));
    return e;
}

TEST(LogSettings, DefaultsWhenTheKeyIsMissing) {
    test::Sandbox box(false);
    ErrInfo e;
    Text path = u"junk";
    int16_t trace = 9;
    int32_t size = 9;
    EXPECT_TRUE(e.getInfoForLogSystem(path, trace, size));
    EXPECT_EQ(path, platform::moduleFolder() + platform::kPathSeparator);
    EXPECT_EQ(trace, 1);
    EXPECT_EQ(size, 1024000);
    EXPECT_EQ(e.logFolder(), path);
}

struct SettingCase {
    const char* name;
    Text trace;         // "" = not set
    Text switchSize;    // "" = not set
    int16_t wantTrace;  // after runInitialize
    int32_t wantSwitch;
    bool wantOk;  // getInfoForLogSystem's answer
};

TEST(LogSettings, TraceAndSwitchDimensionRules) {
    const SettingCase cases[] = {
        // Numbers are read as the core converts text (hex, halves to even).
        {"numeric texts", u"&h4", u"10.5", 4, 10, true},
        {"switch zero falls back", u"2", u"0", 2, 1024000, true},
        {"negative switch falls back", u"2", u"-5", 2, 1024000, true},
        {"letters keep trace 1", u"abc", u"100", 1, 100, true},
        {"trace out of 16 bits", u"40000", u"100", 1, 1024000, false},
        {"switch out of 32 bits", u"3", u"3000000000", 3, 1024000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::Sandbox box;
        test::Sandbox::setText(kKey, u"Trace", c.trace);
        test::Sandbox::setText(kKey, u"SwitchDimension", c.switchSize);
        ErrInfo e;
        Text path;
        int16_t trace = 0;
        int32_t size = 0;
        EXPECT_EQ(e.getInfoForLogSystem(path, trace, size), c.wantOk);
        e.runInitialize();
        EXPECT_EQ(e.traceLevel(), c.wantTrace);
        EXPECT_EQ(e.switchSize(), c.wantSwitch);
    }
}

// A DWORD reads as hex text (the registry's own tests), which the log reads back.
TEST(LogSettings, DwordSettingsAreNumbers) {
    test::Sandbox box;
    test::Sandbox::setDword(kKey, u"Trace", 3);
    test::Sandbox::setDword(kKey, u"SwitchDimension", 1024000);
    ErrInfo e;
    e.runInitialize();
    EXPECT_EQ(e.traceLevel(), 3);
    EXPECT_EQ(e.switchSize(), 1024000);
}

TEST(LogSettings, PathMustNameAnExistingFolderAndGetsASeparator) {
    test::Sandbox box;
    ErrInfo e;
    Text path;
    int16_t t;
    int32_t s;
    test::Sandbox::setText(kKey, u"Path", u"  " + fromUtf8(box.dir()) + u"  ");
    e.getInfoForLogSystem(path, t, s);
    EXPECT_EQ(path, fromUtf8(box.dir()) + platform::kPathSeparator);
    test::Sandbox::setText(kKey, u"Path", fromUtf8(box.dir()) + u"/missing");
    e.getInfoForLogSystem(path, t, s);
    EXPECT_EQ(path, platform::moduleFolder() + platform::kPathSeparator);
}

TEST(LogLine, ExactFormatWithLocaleSeparators) {
    ErrInfo e;
    e.fill(eiREGISTRYERROR, u"Error in writing registry:HKEY_LOCAL_MACHINE", eiERRORTYPE,
           u"saveInfoForConnection", Variant(u"RegistryUtility"), Variant(u"orvcommon"));
    const double when = 46360.0 + (9 * 60 + 5) / 1440.0;  // 4 Dec 2026 09:05
    {
        ScopedRegional it(Regional::italian());
        EXPECT_EQ(e.logLine(when),
                  u"[4/12/26 9:05] [orvcommon] [RegistryUtility] [saveInfoForConnection] [] [1] "
                  u"[-2147220901] [Error in writing registry:HKEY_LOCAL_MACHINE]");
    }
    Regional dotted = Regional::english();
    dotted.dateSeparator = u'.';
    dotted.timeSeparator = u'.';
    ScopedRegional scoped(dotted);
    EXPECT_EQ(e.logLine(when).substr(0, 15), u"[4.12.26 9.05] ");
}

TEST(WriteLog, QuotedRecordWithCrLfInCodePage1252) {
    test::Sandbox box;
    ErrInfo e = makeResult(eiERRORTYPE, 53, u"caf\u00e9 \u20ac \"q\"");
    ErrInfo r = e.writeLog();
    EXPECT_EQ(r.numberInfo(), 0);
    EXPECT_EQ(r.typeInfo(), eiINFORMATIONTYPE);
    EXPECT_EQ(r.locationInfo(), u"writeLog");
    EXPECT_EQ(test::readBytes(box.mainLog()),
              "\"[4/12/26 9:05] [orvcommon] [FileUtility] [readFile] [] [1] [53] "
              "[caf\xE9 \x80 \"q\"]\"\r\n");
}

struct TraceCase {
    const char* name;
    int16_t trace;
    int16_t type;
    bool named;  // line reaches the named file
    bool main;   // line reaches the main log
};

TEST(WriteLog, TraceLevelRules) {
    const TraceCase cases[] = {
        {"warning, default trace", 1, 2, false, true},
        {"warning, trace 2", 2, 2, true, true},
        {"information, trace 3", 3, 3, true, false},
        {"debug, trace 4", 4, 4, true, false},
        {"unfilled type 0, trace 0", 0, 0, true, false},
        {"type 7 counts as level 0", 0, 7, true, false},
        {"error, trace 0", 0, 1, false, true},
        {"negative type", 1, -1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::Sandbox box;
        test::Sandbox::setText(kKey, u"Trace", decimalText(c.trace));
        ErrInfo e = makeResult(c.type);
        e.writeLog(Variant(box.textPath("named.log")));
        EXPECT_EQ(test::exists(box.path("named.log")), c.named);
        EXPECT_EQ(test::exists(box.mainLog()), c.main);
        if (c.named) {
            EXPECT_EQ(test::crlfLines(test::readBytes(box.path("named.log"))).size(), 1u);
        }
    }
}

// Where a line goes when the named file or the main folder cannot take it:
// the line is lost silently, or the main log falls back to the library's
// folder when its folder is missing.
TEST(WriteLog, DestinationsThatCannotTakeTheLine) {
    const std::string fallback = toUtf8(platform::moduleFolder()) + "/orvmira.log";
    {
        test::Sandbox box;
        ErrInfo e = makeResult(eiERRORTYPE);
        e.writeLog(Variant(Text()));  // an empty or non-text name: the main log only
        e.writeLog(Null{});
        EXPECT_TRUE(e.writeLog(Variant(box.textPath("no/such/folder/named.log"))).isSuccess());
        EXPECT_FALSE(test::exists(box.path("no")));
        EXPECT_EQ(test::crlfLines(test::readBytes(box.mainLog())).size(), 3u);
    }
    {
        test::Sandbox box;
        test::Sandbox::setText(kKey, u"Path", fromUtf8(box.path("gone")));
        const std::string before = test::readBytes(fallback);
        makeResult(eiERRORTYPE, 77, u"fallback marker").writeLog();
        const std::string after = test::readBytes(fallback);
        if (before.empty()) std::remove(fallback.c_str());
        EXPECT_NE(after.find("[77] [fallback marker]", before.size()), std::string::npos);
        EXPECT_FALSE(test::exists(box.path("gone")));
    }
    {
        // A file where the folder should be: the main line is lost.
        test::Sandbox box;
        const std::string file = box.path("not-a-folder");
        test::writeBytes(file, "keep");
        test::Sandbox::setText(kKey, u"Path", fromUtf8(file));
        const std::string before = test::readBytes(fallback);
        EXPECT_TRUE(makeResult(eiERRORTYPE, 77, u"file marker").writeLog().isSuccess());
        EXPECT_EQ(test::readBytes(fallback), before);
        EXPECT_EQ(test::readBytes(file), "keep");
        Text folder;
        int16_t trace = 0;
        int32_t size = 0;
        EXPECT_TRUE(ErrInfo().getInfoForLogSystem(folder, trace, size));
        EXPECT_EQ(folder, fromUtf8(file) + platform::kPathSeparator);
    }
}

TEST(Rotation, OnlyAFileLargerThanTheSwitchSizeRotates) {
    for (int64_t extra : {0, 1}) {
        SCOPED_TRACE(extra);
        test::Sandbox box;
        const std::string named = box.path("app.log");
        const std::string old(static_cast<size_t>(1024000 + extra), 'x');
        test::writeBytes(named, old);
        test::writeBytes(box.path("app.log.old"), "earlier copy");
        makeResult(eiERRORTYPE).writeLog(Variant(fromUtf8(named)));
        const std::string now = test::readBytes(named);
        if (extra) {
            EXPECT_EQ(test::readBytes(named + ".old"), old);
            EXPECT_EQ(test::crlfLines(now).size(), 1u);
            EXPECT_EQ(now.front(), '"');
        } else {
            EXPECT_EQ(test::readBytes(named + ".old"), "earlier copy");
            EXPECT_EQ(now.substr(0, old.size()), old);
            EXPECT_GT(now.size(), old.size());
        }
    }
}

TEST(Rotation, NamedFileRotatesEvenWhenTheLineIsFilteredOut) {
    test::Sandbox box;
    test::Sandbox::setText(kKey, u"SwitchDimension", u"10");
    const std::string named = box.path("app.log");
    test::writeBytes(named, std::string(11, 'y'));
    makeResult(eiDEBUGTYPE).writeLog(Variant(fromUtf8(named)));
    EXPECT_EQ(test::readBytes(named + ".old"), std::string(11, 'y'));
    EXPECT_FALSE(test::exists(named));
}

TEST(Rotation, MainLogRotatesAtTheConfiguredSize) {
    test::Sandbox box;
    test::Sandbox::setText(kKey, u"SwitchDimension", u"100");
    ErrInfo e = makeResult(eiWARNINGTYPE);
    for (int i = 0; i < 3; ++i)
        e.writeLog();
    // Each line is about 90 bytes: the second write finds 90 (kept), the
    // third finds 180 (rotated).
    EXPECT_EQ(test::crlfLines(test::readBytes(box.mainLog())).size(), 1u);
    EXPECT_EQ(test::crlfLines(test::readBytes(box.mainLog() + ".old")).size(), 2u);
}

// Several processes log to one main log at once; the switch size makes the
// run rotate exactly once. Every line must survive whole, exactly once.
TEST(Rotation, ConcurrentProcessesLoseNoLine) {
    test::Sandbox box;
    constexpr int kProcs = 8, kLines = 2000;
    test::Sandbox::setText(kKey, u"SwitchDimension", u"1000000");
    const auto writeLines = [](int p) {
        for (int i = 0; i < kLines; ++i) {
            ErrInfo e;
            e.fill(1000 + p,
                   u"line " + decimalText(i) + u" of process " + decimalText(p) +
                       u" padded to make the line longer",
                   eiERRORTYPE, u"stress", Variant(u"LogTest"), Variant(u"orvcommon"));
            e.writeLog();
        }
    };
#ifdef _WIN32
    // Threads here: every line opens the log on its own handle, and Windows
    // locks and shares per handle, so the writers meet as processes would.
    std::vector<std::thread> writers;
    for (int p = 0; p < kProcs; ++p)
        writers.emplace_back(writeLines, p);
    for (auto& w : writers)
        w.join();
#else
    std::vector<pid_t> children;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            writeLines(p);
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
#endif
    const std::string current = test::readBytes(box.mainLog());
    const std::string old = test::readBytes(box.mainLog() + ".old");
    ASSERT_FALSE(old.empty()) << "the run should have rotated once";
    EXPECT_GT(old.size(), 1000000u);
    EXPECT_LT(current.size(), 1000000u);  // a second rotation would have lost lines
    // Each line is whole, its number is its process's, and it is there once.
    std::set<std::string> seen;
    size_t total = 0;
    for (const std::string* part : {&old, &current}) {
        ASSERT_TRUE(part->ends_with("\r\n"));
        for (const std::string& line : test::crlfLines(*part)) {
            int number = 0, proc = 0;
            const auto at = line.find("] [10");
            ASSERT_TRUE(line.starts_with("\"[") && line.ends_with(" longer]\"") &&
                        at != std::string::npos &&
                        std::sscanf(line.c_str() + at, "] [%d] [line %*d of process %d", &number,
                                    &proc) == 2)
                << line;
            EXPECT_EQ(number, 1000 + proc);
            seen.insert(line.substr(at));
            ++total;
        }
    }
    EXPECT_EQ(total, static_cast<size_t>(kProcs * kLines));
    EXPECT_EQ(seen.size(), total);
}

}  // namespace
}  // namespace orv
