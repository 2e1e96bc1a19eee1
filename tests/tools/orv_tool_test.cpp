// End-to-end runs of the built `orv` tool: output lines and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "orvcommon/version.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `orv` with a shell-quoted argument string and optional standard
// input.
ToolRun orv(const std::string& args, const std::string& input = "") {
    test::Sandbox box;  // a private settings store and log folder
    const std::string script = box.path("stdin.txt");
    test::writeBytes(script, input);
    const std::string errFile = box.path("stderr.txt");
    const std::string cmd =
        std::string("'") + ORV_TOOL_PATH + "' " + args + " <'" + script + "' 2>'" + errFile + "'";
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = test::readBytes(errFile);
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
         "{\"error\":{\"number\":13,\"description\":\"Type mismatch\",\"argument\":"
         "\"argument 1 (lNumberInfo As Long): \\\"abc\\\" is not a number\"}}\n"},
        // An enumeration member's name stands for its value.
        {"call Funzioni.getBoolForDB dbengineMSACCESS", 0,
         "{\"result\":{\"type\":\"Integer\",\"value\":1},\"args\":[{\"type\":\"Long\","
         "\"value\":2}]}\n"},
        {"call ErrInfo.ErrInfo 7 d", 1,
         "{\"error\":{\"number\":449,\"description\":\"Argument not optional\"}}\n"},
        {"call NxGlobal.anything", 1, nullptr},
        {"call ErrInfo.noSuchMember", 1, nullptr},
        {"call ErrInfo", 2, ""},
        {"call ErrInfo.isSuccess long:x", 2, ""},
        {"call ErrInfo.isSuccess 'json:{\"type\":\"Integer\",\"value\":99999}'", 2, ""},
        // Bounds past the 32-bit range: error 9, the same as the library raises.
        {"call Funzioni.getWorkFromXml "
         "'json:{\"type\":\"Array\",\"lbound\":[2147483647],\"items\":[\"a\",\"b\"]}'",
         1, "{\"error\":{\"number\":9,\"description\":\"Subscript out of range\"}}\n"},
        {"call Funzioni.getWorkFromXml "
         "'json:{\"type\":\"Array\",\"lbound\":[-2147483648,-2147483648],\"items\":[[\"a\"]]}'",
         1, "{\"error\":{\"number\":13,\"description\":\"Type mismatch\"}}\n"},
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

// Mistakes a user makes: each keeps its exit code and gets a message on
// standard error that names the problem.
TEST(OrvTool, MistakesAreNamed) {
    const std::string newF = "{\"new\":\"FileUtility\",\"as\":\"f\"}\n";
    struct Case {
        const char* args;
        std::string input;
        int exitCode;
        const char* err;  // expected within standard error
    } cases[] = {
        {"call FileUtilty.readFile x", "", 1, "no class named 'FileUtilty'; nearest: FileUtility"},
        {"call FileUtility.readFiel x", "", 1,
         "FileUtility has no member 'readFiel'; nearest: readFile"},
        {"run -", "{\"new\":\"funzione\",\"as\":\"f\"}\n", 1,
         "no class named 'funzione'; nearest: Funzioni"},
        {"run -", newF + "{\"call\":\"f.writefiles\"}\n", 1, "nearest: writeFile"},
        {"call NxGlobal.x", "", 1, "class NxGlobal cannot be created"},
        {"call FileUtility.readFile", "", 1,
         "the parameters are FileUtility.readFile(ByVal sFileName As String, ByRef sTextFile As "
         "String) As ErrInfo"},
        {"run -", newF + "{\"call\":\"f.readFile\",\"args\":[1,2,3]}\n", 1,
         "too many arguments; the parameters are FileUtility.readFile("},
        {"call ErrInfo.ErrInfo duble:2.5", "", 2, "unknown type prefix 'duble:' (known: str int"},
        {"call --format xml ErrInfo.isSuccess", "", 2, "unknown format 'xml'"},
        {"run /nonexistent/tour.jsonl", "", 1,
         "cannot open /nonexistent/tour.jsonl: No such file or directory"},
        {"reg import /nonexistent/x.reg", "", 1,
         "cannot open /nonexistent/x.reg: No such file or directory"},
        {"help nosuch", "", 2, "unknown command 'nosuch'"},
        {"list Funzoni", "", 2,
         "no class, enumeration or record named 'Funzoni'; nearest: Funzioni"},
        // A type mismatch names the argument; a script's run-time errors name its line.
        {"call FileUtility.writeFile n.txt zero x", "", 1,
         "orv call: argument 2 (attributeFile As Long): \"zero\" is not a number"},
        {"run -", newF + "\n{\"call\":\"f.writeFile\",\"args\":[\"n.txt\",\"zero\",\"x\"]}\n", 1,
         "orv run: line 3: argument 2 (attributeFile As Long)"},
        {"run -",
         "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n{\"call\":\"e.ErrInfo\",\"args\":[1,\"d\",70000,"
         "\"l\"]}\n",
         1, "orv run: line 2: error 6: Overflow"},
        // Values that cannot be built: an error of the call (never an abort),
        // or a usage error for what no array can be.
        {"run -",
         "{\"new\":\"Funzioni\",\"as\":\"f\"}\n{\"call\":\"f.getWorkFromXml\",\"args\":[{\"type\":"
         "\"Array\",\"lbound\":[2147483647],\"items\":[\"a\",\"b\"]}]}\n",
         1, "argument 1: Subscript out of range"},
        {"run -",
         newF + "{\"set\":\"f.utcoffset\",\"value\":{\"type\":\"Array\",\"lbound\":[2147483647],"
                "\"items\":[1,2]}}\n",
         1, "the value: Subscript out of range"},
        {"call --set 'utcoffset=json:[[1]]' --set 'daylightoffset=json:{\"type\":\"Array\","
         "\"lbound\":[2147483647],\"items\":[1,2]}' FileUtility.numFileInDir x :empty",
         "", 1, "--set daylightoffset: Subscript out of range"},
        {"call ErrInfo.isSuccess 'json:{\"type\":\"Array\",\"lbound\":[0,0,0],\"items\":[]}'", "",
         2, "Array needs \"lbound\" (0 to 2 numbers)"},
        {"call ErrInfo.isSuccess "
         "'json:{\"type\":\"Array\",\"lbound\":[1,1],\"items\":[[1],[2,3]]}'",
         "", 2, "rows of equal length"},
        {"call ErrInfo.isSuccess 'json:{\"type\":\"Array\",\"lbound\":[4294967296],\"items\":[]}'",
         "", 2, "lbound must hold whole numbers of 32 bits"},
        {"run -",
         newF + "{\"call\":\"f.readFile\",\"args\":[" + std::string(100000, '[') +
             std::string(100000, ']') + "]}\n",
         2, "arrays nested more than 64 deep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        ToolRun r = orv(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    // Text with a word and a colon is written str:, and stays text.
    EXPECT_EQ(orv("call ErrInfo.ErrInfo 1 'str:Note: x' 1 l").exitCode, 0);
}

TEST(OrvTool, VersionAndHelpForACommand) {
    ToolRun v = orv("--version");
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, std::string("orv (orvcommon) ") + ORVCOMMON_VERSION_STRING + "\n");
    for (const char* command : {"call", "run", "list", "reg"}) {
        SCOPED_TRACE(command);
        ToolRun viaHelp = orv(std::string("help ") + command);
        ToolRun direct = orv(std::string(command) + " --help");
        EXPECT_EQ(viaHelp.exitCode, 0);
        EXPECT_FALSE(viaHelp.out.empty());
        EXPECT_EQ(viaHelp.out, direct.out);
    }
}

// Readable output: the call, the result object as its fields, a table as
// rows of cells, by-reference values by name; headings and narration.
TEST(OrvTool, TextFormatShowsResultsReadably) {
    ToolRun call =
        orv("call --format text Funzioni.getValueFromCsvString 'a;\"b;c\"' 'json:[\"\",\"\",\"\"]' "
            ":empty");
    EXPECT_EQ(call.exitCode, 0);
    EXPECT_EQ(call.out,
              "  result: ErrInfo, success\n"
              "    numberInfo      0\n"
              "    descriptionInfo \"\"\n"
              "    typeInfo        4 (debug)\n"
              "  sArrayValue = array (0 to 2):\n"
              "    0: \"\"\n"
              "    1: \"a\"\n"
              "    2: \"b;c\"\n"
              "  lNumFieldFound = 2 (Long)\n");

    // A byte string shows its length and how it starts, never every byte.
    for (const auto& [hex, shown] :
         {std::pair<std::string, std::string>{"255044462d312e350a" + std::string(2200, 'a'),
                                              "bytes, 1,109: %PDF-1.5 ..."},
          {"00ff41", "bytes, 3: hex 00ff41"}}) {
        ToolRun r =
            orv("call --format text Funzioni.getNumberForDB 1 "
                "'json:{\"type\":\"ByteString\",\"hex\":\"" +
                hex + "\"}'");
        EXPECT_NE(r.out.find("  vntValue = " + shown + "\n"), std::string::npos) << r.out;
    }

    const std::string script =
        "# notes before the first step are not told\n"
        "# --- A table\n"
        "# Written and read back.\n"
        "{\"new\":\"FileUtility\",\"as\":\"f\"}\n"
        "{\"call\":\"f.writeCsvFileFromArray\",\"args\":[\"t.csv\",{\"type\":\"Array\","
        "\"lbound\":[1,1],\"items\":[[\"Name\",\"Ann\"],[\"Age\",\"7\"]]},2,2]}\n"
        "{\"call\":\"f.getArrayFromCsvFile\",\"args\":[\"t.csv\",{\"var\":\"t\"},2,{\"var\":\"n\"}]"
        "}\n"
        "{\"call\":\"f.readFile\",\"args\":[\"missing.txt\",{\"var\":\"x\"}]}\n";
    ToolRun run = orv("run --format text --narrate -", script);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.find("notes before"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.rfind("A table\n=======\nWritten and read back.\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("f.getArrayFromCsvFile(\"t.csv\", t, 2, n)\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  t = table of 2 columns (1 to 2) and 3 rows (1 to 3)\n"
                           "      | 1    | 2\n"
                           "    1 | Name | Age\n"
                           "    2 | Ann  | 7\n"
                           "    3 |      |\n"
                           "  n = 2 (Long)\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        run.out.find("  result: ErrInfo, failure\n    numberInfo      53\n"
                     "    descriptionInfo \"File not found\"\n    typeInfo        1 (error)\n"),
        std::string::npos)
        << run.out;
    // JSON stays the default into a pipe, and narration is for text only.
    ToolRun json = orv("run --narrate -", script);
    EXPECT_EQ(json.out.find("A table"), std::string::npos);
    EXPECT_EQ(json.out.rfind("{\"result\":", 0), 0u) << json.out;
}

// Found through PATH and run from another folder with nothing configured:
// `orv` finds the PDF engine the build made, and its main log goes beside
// the executable, not into the current folder.
TEST(OrvTool, FoundThroughPathItFindsItsEngineAndLogFolder) {
    test::Sandbox box(false);
    const std::string here = box.path("elsewhere");
    std::filesystem::create_directory(here);
    const std::string tool = ORV_TOOL_PATH;
    const std::string cmd = "cd '" + here + "' && env -u ORV_TVPDF TMPDIR='" + here + "' PATH='" +
                            tool.substr(0, tool.rfind('/')) +
                            "':\"$PATH\" sh -c 'orv call Funzioni.createPdfStream "
                            "\"TEXT 10 10 \\\"x\\\"\" :empty; orv call FileUtility.readFile nope "
                            ":empty' >'" +
                            box.path("out.txt") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string out = test::readBytes(box.path("out.txt"));
    EXPECT_NE(out.find("{\"result\":{\"type\":\"ErrInfo\",\"value\":{\"numberInfo\":0,"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("{\"type\":\"ByteString\",\"hex\":\"255044462d"), std::string::npos) << out;
    EXPECT_NE(out.find("\"numberInfo\":53,"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(here + "/orvmira.log"));
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
    EXPECT_NE(all.out.find("class NxGlobal  (a name clients may refer to: no members, not "
                           "creatable)"),
              std::string::npos);
    // Enumerations and records are listed too, and each one by its name.
    EXPECT_NE(all.out.find("\nenumeration typeOutputReport  ("), std::string::npos);
    EXPECT_NE(all.out.find("\nrecord SYSTEMTIME  ("), std::string::npos);
    ToolRun engines = orv("list typedatabaseengine");
    EXPECT_EQ(engines.exitCode, 0);
    EXPECT_NE(engines.out.find("\n  dbengineORACLE     1\n  dbengineMSACCESS   2\n"
                               "  dbengineSQLSERVER  3\n"),
              std::string::npos)
        << engines.out;
    EXPECT_EQ(orv("call --help").exitCode, 0);
    EXPECT_EQ(orv("--help").exitCode, 0);
}

}  // namespace
}  // namespace orv
