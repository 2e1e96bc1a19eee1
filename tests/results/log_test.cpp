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

TEST(LogSettings, TraceAndSwitchDimensionRules) {
    const struct {
        const char* name;
        Text trace, switchSize;  // "" when not set
        uint32_t dwordSwitch;    // a DWORD SwitchDimension instead, when not 0
        int16_t wantTrace;       // after runInitialize
        int32_t wantSwitch;
        bool wantOk;  // getInfoForLogSystem's answer
    } cases[] = {
        {"nothing set", u"", u"", 0, 1, 1024000, true},
        // Numbers are read as the core converts text (hex, halves to even).
        {"numeric texts", u"&h4", u"10.5", 0, 4, 10, true},
        // A DWORD reads as hex text, which the log reads back as a number.
        {"DWORD switch", u"2", u"", 4096, 2, 4096, true},
        {"switch zero falls back", u"2", u"0", 0, 2, 1024000, true},
        {"letters keep trace 1", u"abc", u"100", 0, 1, 100, true},
        {"trace out of 16 bits", u"40000", u"100", 0, 1, 1024000, false},
        {"switch out of 32 bits", u"3", u"3000000000", 0, 3, 1024000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::Sandbox box(false);
        if (!c.trace.empty()) test::Sandbox::setText(kKey, u"Trace", c.trace);
        if (!c.switchSize.empty()) test::Sandbox::setText(kKey, u"SwitchDimension", c.switchSize);
        if (c.dwordSwitch) test::Sandbox::setDword(kKey, u"SwitchDimension", c.dwordSwitch);
        ErrInfo e;
        Text path = u"junk";
        int16_t trace = 0;
        int32_t size = 0;
        EXPECT_EQ(e.getInfoForLogSystem(path, trace, size), c.wantOk);
        // No Path: the library's own folder.
        EXPECT_EQ(path, platform::moduleFolder() + platform::kPathSeparator);
        e.runInitialize();
        EXPECT_EQ(e.logFolder(), path);
        EXPECT_EQ(e.traceLevel(), c.wantTrace);
        EXPECT_EQ(e.switchSize(), c.wantSwitch);
    }
}

TEST(LogSettings, PathMustNameAnExistingFolderAndGetsASeparator) {
    test::Sandbox box;
    Text path;
    int16_t t;
    int32_t s;
    test::Sandbox::setText(kKey, u"Path", u"  " + fromUtf8(box.dir()) + u"  ");
    ErrInfo().getInfoForLogSystem(path, t, s);
    EXPECT_EQ(path, fromUtf8(box.dir()) + platform::kPathSeparator);
    test::Sandbox::setText(kKey, u"Path", fromUtf8(box.dir()) + u"/missing");
    ErrInfo().getInfoForLogSystem(path, t, s);
    EXPECT_EQ(path, platform::moduleFolder() + platform::kPathSeparator);
}

TEST(WriteLog, QuotedRecordWithCrLfInCodePage1252) {
    test::Sandbox box;
    ErrInfo e = makeResult(eiERRORTYPE, 53, u"caf\u00e9 \u20ac \"q\"");
    ErrInfo done;
    done.fill(0, u"", eiINFORMATIONTYPE, u"writeLog");
    EXPECT_EQ(e.writeLog(), done);
    EXPECT_EQ(test::readBytes(box.mainLog()),
              "\"[4/12/26 9:05] [orvcommon] [FileUtility] [readFile] [] [1] [53] "
              "[caf\xE9 \x80 \"q\"]\"\r\n");
    // The date and the time take the separators of the settings.
    Regional dotted = Regional::english();
    dotted.dateSeparator = u'.';
    dotted.timeSeparator = u'.';
    ScopedRegional scoped(dotted);
    EXPECT_EQ(e.logLine(46360.0 + (9 * 60 + 5) / 1440.0).substr(0, 15), u"[4.12.26 9.05] ");
}

TEST(WriteLog, TraceLevelRules) {
    const struct {
        const char* name;
        int16_t trace, type;
        bool named, main;  // the line reaches the named file, the main log
    } cases[] = {
        {"warning, default trace", 1, 2, false, true},
        {"warning, trace 2", 2, 2, true, true},
        {"information, trace 3", 3, 3, true, false},
        {"unfilled type 0, trace 0", 0, 0, true, false},
        {"type 7 counts as level 0", 0, 7, true, false},
        {"error, trace 0", 0, 1, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::Sandbox box;
        test::Sandbox::setText(kKey, u"Trace", decimalText(c.trace));
        ErrInfo e = makeResult(c.type);
        e.writeLog(Variant(box.textPath("named.log")));
        EXPECT_EQ(test::exists(box.path("named.log")), c.named);
        EXPECT_EQ(test::crlfLines(test::readBytes(box.path("named.log"))).size(),
                  c.named ? 1u : 0u);
        EXPECT_EQ(test::exists(box.mainLog()), c.main);
    }
}

// A line nowhere can take is lost silently; a main log whose folder is
// missing falls back to the library's folder.
TEST(WriteLog, DestinationsThatCannotTakeTheLine) {
    const std::string fallback = toUtf8(platform::moduleFolder()) + "/orvmira.log";
    test::Sandbox box;
    ErrInfo e = makeResult(eiERRORTYPE, 77, u"fallback marker");
    e.writeLog(Variant(Text()));  // an empty or non-text name: the main log only
    e.writeLog(Null{});
    EXPECT_TRUE(e.writeLog(Variant(box.textPath("no/such/folder/named.log"))).isSuccess());
    EXPECT_FALSE(test::exists(box.path("no")));
    EXPECT_EQ(box.logLines(), 3u);

    test::Sandbox::setText(kKey, u"Path", fromUtf8(box.path("gone")));
    const std::string before = test::readBytes(fallback);
    makeResult(eiERRORTYPE, 77, u"fallback marker").writeLog();
    const std::string after = test::readBytes(fallback);
    if (before.empty()) std::remove(fallback.c_str());
    EXPECT_NE(after.find("[77] [fallback marker]", before.size()), std::string::npos);
    EXPECT_FALSE(test::exists(box.path("gone")));

    // A file where the folder should be: the main line is lost.
    const std::string file = box.path("not-a-folder");
    test::writeBytes(file, "keep");
    test::Sandbox::setText(kKey, u"Path", fromUtf8(file));
    const std::string kept = test::readBytes(fallback);
    EXPECT_TRUE(makeResult(eiERRORTYPE, 77, u"file marker").writeLog().isSuccess());
    EXPECT_EQ(test::readBytes(fallback), kept);
    EXPECT_EQ(test::readBytes(file), "keep");
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
        EXPECT_EQ(test::readBytes(named + ".old"), extra ? old : "earlier copy");
        EXPECT_EQ(test::readBytes(named),
                  (extra ? "" : old) +
                      "\"[4/12/26 9:05] [orvcommon] [FileUtility] [readFile] [] [1] [53] "
                      "[File not found]\"\r\n");
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

// Several processes log to one main log at once, rotating it exactly once.
TEST(Rotation, ConcurrentProcessesLoseNoLine) {
    test::Sandbox box;
    constexpr int kProcs = 8, kLines = 2000;
    test::Sandbox::setText(kKey, u"SwitchDimension", u"1000000");
    const auto text = [](int p, int i) {
        return "line " + std::to_string(i) + " of process " + std::to_string(p) +
               " padded to make the line longer";
    };
    const auto writeLines = [&](int p) {
        for (int i = 0; i < kLines; ++i)
            makeResult(eiERRORTYPE, 1000 + p, fromUtf8(text(p, i))).writeLog();
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
    // Rotated once, at the configured size (the default is 1024000).
    EXPECT_TRUE(old.size() > 1000000u && old.size() < 1024000u) << old.size();
    EXPECT_LT(current.size(), 1000000u);  // a second rotation would have lost lines
    // Each line is whole and there once.
    std::multiset<std::string> lines, want;
    for (const std::string* part : {&old, &current}) {
        EXPECT_TRUE(part->ends_with("\r\n"));
        for (const std::string& line : test::crlfLines(*part))
            lines.insert(line);
    }
    for (int p = 0; p < kProcs; ++p)
        for (int i = 0; i < kLines; ++i)
            want.insert("\"[4/12/26 9:05] [orvcommon] [FileUtility] [readFile] [] [1] [" +
                        std::to_string(1000 + p) + "] [" + text(p, i) + "]\"");
    EXPECT_TRUE(lines == want) << lines.size() << " lines, " << want.size() << " written";
}

}  // namespace
}  // namespace orv
