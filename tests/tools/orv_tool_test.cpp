// End-to-end runs of the built `orv` tool: output lines and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/sandbox.hpp"

namespace orv {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

// Runs `orv` with a shell-quoted argument string and optional standard
// input; standard error is discarded.
ToolRun orv(const std::string& args, const std::string& input = "") {
    test::Sandbox box;  // a private settings store and log folder
    const std::string script = box.path("stdin.txt");
    test::writeBytes(script, input);
    const std::string cmd =
        std::string("'") + ORV_TOOL_PATH + "' " + args + " <'" + script + "' 2>/dev/null";
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(OrvTool, CallPrintsResultAndArgumentsAfterTheCall) {
    ToolRun r = orv("call ErrInfo.getInfo :empty :empty :empty :empty str:long:1");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "{\"result\":{\"type\":\"Long\",\"value\":0},\"args\":["
              "{\"type\":\"Long\",\"value\":0},{\"type\":\"String\",\"value\":\"\"},"
              "{\"type\":\"Long\",\"value\":0},{\"type\":\"String\",\"value\":\"\"},"
              "{\"type\":\"String\",\"value\":\"\"}]}\n");
}

TEST(OrvTool, ExitCodes) {
    struct Case {
        const char* args;
        int exitCode;
        const char* out;  // expected standard output, or null to skip
    } cases[] = {
        {"call ErrInfo.ErrInfo 7 d int:1 loc", 0, nullptr},
        {"call errinfo.ISSUCCESS", 0,
         "{\"result\":{\"type\":\"Boolean\",\"value\":true},\"args\":[]}\n"},
        {"call ErrInfo.ErrInfo 7 d long:40000 loc", 1,
         "{\"error\":{\"number\":6,\"description\":\"Overflow\"}}\n"},
        {"call ErrInfo.ErrInfo abc d 1 loc", 1,
         "{\"error\":{\"number\":13,\"description\":\"Type mismatch\"}}\n"},
        {"call ErrInfo.ErrInfo 7 d", 1,
         "{\"error\":{\"number\":449,\"description\":\"Argument not optional\"}}\n"},
        {"call NxGlobal.anything", 1, nullptr},
        {"call ErrInfo.noSuchMember", 1, nullptr},
        {"call ErrInfo", 2, ""},
        {"call ErrInfo.isSuccess long:x", 2, ""},
        {"call ErrInfo.isSuccess 'json:{\"type\":\"Integer\",\"value\":99999}'", 2, ""},
        {"call --bogus ErrInfo.isSuccess", 2, ""},
        {"nosuchcommand", 2, ""},
        {"run", 2, ""},
        {"list NoSuchClass", 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        ToolRun r = orv(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.out) {
            EXPECT_EQ(r.out, c.out);
        }
    }
}

TEST(OrvTool, RunPassesVariablesByReferenceAcrossCalls) {
    const std::string script =
        "# a comment\n"
        "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n"
        "{\"call\":\"e.ErrInfo\",\"args\":[53,\"File not found\",1,\"readFile\"]}\n"
        "\n"
        "{\"call\":\"e.clone\",\"args\":[{\"var\":\"copy\"}],\"as\":\"r\"}\n"
        "{\"call\":\"copy.numberInfo\"}\n"
        "{\"call\":\"r.typeInfo\"}\n"
        "{\"call\":\"e.getInfo\",\"args\":[{\"var\":\"n\"},\"\",0,\"\"]}\n"
        "{\"call\":\"copy.getInfo\",\"args\":[{\"var\":\"n\"},\"\",0,\"\"]}\n";
    ToolRun r = orv("run -", script);
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t k; (k = r.out.find('\n', start)) != std::string::npos; start = k + 1)
        out.push_back(r.out.substr(start, k - start));
    ASSERT_EQ(out.size(), 6u) << r.out;
    EXPECT_NE(out[1].find("\"args\":[{\"type\":\"ErrInfo\",\"value\":{\"numberInfo\":53,"),
              std::string::npos);
    EXPECT_EQ(out[2], "{\"result\":{\"type\":\"Long\",\"value\":53},\"args\":[]}");
    EXPECT_EQ(out[3], "{\"result\":{\"type\":\"Integer\",\"value\":4},\"args\":[]}");
    EXPECT_NE(out[5].find("\"args\":[{\"type\":\"Long\",\"value\":53}"), std::string::npos);
}

TEST(OrvTool, RunStopsAtTheFirstRunTimeErrorAndRejectsBadLines) {
    ToolRun failed = orv("run -",
                         "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n"
                         "{\"call\":\"e.ErrInfo\",\"args\":[1,\"d\",70000,\"l\"]}\n"
                         "{\"call\":\"e.isSuccess\"}\n");
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, "{\"error\":{\"number\":6,\"description\":\"Overflow\"}}\n");

    for (const char* bad :
         {"{\"call\":\"e.isSuccess\"}\n", "not json\n", "{\"new\":\"ErrInfo\"}\n", "{\"what\":1}\n",
          "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n{\"call\":\"e\"}\n"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(orv("run -", bad).exitCode, 2);
    }
    EXPECT_EQ(orv("run -", "{\"new\":\"Nope\",\"as\":\"x\"}\n").exitCode, 1);
}

TEST(OrvTool, ExampleScriptRuns) {
    ToolRun r = orv(std::string("run '") + ORV_SOURCE_DIR + "/examples/errinfo.jsonl'");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 16) << r.out;
    EXPECT_EQ(r.out.find("\"error\""), std::string::npos);
}

TEST(OrvTool, ListShowsSlotsKindsAndParameters) {
    ToolRun r = orv("list ErrInfo");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("clone(ByRef oObject As ErrInfo) As ErrInfo"), std::string::npos);
    EXPECT_NE(r.out.find("property get"), std::string::npos);
    EXPECT_NE(r.out.find(" 17 "), std::string::npos);
    EXPECT_NE(r.out.find("Optional ByVal sErrLogName As Variant"), std::string::npos);
    ToolRun all = orv("list");
    EXPECT_NE(all.out.find("class NxGlobal  (not creatable)"), std::string::npos);
    EXPECT_EQ(orv("call --help").exitCode, 0);
    EXPECT_EQ(orv("--help").exitCode, 0);
}

}  // namespace
}  // namespace orv
