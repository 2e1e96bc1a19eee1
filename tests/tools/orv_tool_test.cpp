// End-to-end runs of the built `orv` tool: output lines and exit codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orvcommon/version.hpp"
#include "support/command.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `orv` inside a sandbox folder (relative names land there) with a
// shell-quoted argument string and optional standard input.
ToolRun orv(const std::string& args, const std::string& input = "") {
    test::Sandbox box;  // a private settings store and log folder
    const std::string script = box.path("stdin.txt"), errFile = box.path("stderr.txt");
    test::writeBytes(script, input);
    const test::CommandResult r =
        test::runCommand("cd '" + box.path(".") + "' && '" + ORV_TOOL_PATH + "' " + args + " <'" +
                         script + "' 2>'" + errFile + "'");
    return {r.exitCode, r.output, test::readBytes(errFile)};
}

// Exit codes: 0 done, 1 a run-time error or a name that is not there, 2 a
// usage error. Errors go to standard output as JSON; mistakes get a message
// on standard error that names the problem.
TEST(OrvTool, ExitCodesAndMessages) {
    const std::string newF = "{\"new\":\"FileUtility\",\"as\":\"f\"}\n";
    struct Case {
        const char* args;
        std::string input;
        int exitCode;
        const char* out;  // expected standard output, or null
        const char* err;  // expected within standard error, or null
    } cases[] = {
        // The result, then every argument after the call.
        {"call ErrInfo.getInfo :empty :empty :empty :empty str:long:1", "", 0,
         "{\"result\":{\"type\":\"Long\",\"value\":0},\"args\":["
         "{\"type\":\"Long\",\"value\":0},{\"type\":\"String\",\"value\":\"\"},"
         "{\"type\":\"Long\",\"value\":0},{\"type\":\"String\",\"value\":\"\"},"
         "{\"type\":\"String\",\"value\":\"\"}]}\n",
         nullptr},
        // Readable output: the result object as its fields, by-reference values by name.
        {"call --format text Funzioni.getValueFromCsvString 'a;\"b;c\"' 'json:[\"\",\"\",\"\"]' "
         ":empty",
         "", 0,
         "  result: ErrInfo, success\n"
         "    numberInfo      0\n"
         "    descriptionInfo \"\"\n"
         "    typeInfo        4 (debug)\n"
         "  sArrayValue = array (0 to 2):\n"
         "    0: \"\"\n"
         "    1: \"a\"\n"
         "    2: \"b;c\"\n"
         "  lNumFieldFound = 2 (Long)\n",
         nullptr},
        {"call errinfo.ISSUCCESS", "", 0,
         "{\"result\":{\"type\":\"Boolean\",\"value\":true},\"args\":[]}\n", nullptr},
        {"call ErrInfo.ErrInfo abc d 1 loc", "", 1,
         "{\"error\":{\"number\":13,\"description\":\"Type mismatch\",\"argument\":"
         "\"argument 1 (lNumberInfo As Long): \\\"abc\\\" is not a number\"}}\n",
         "orv call: argument 1 (lNumberInfo As Long): \"abc\" is not a number"},
        // An enumeration member's name stands for its value.
        {"call Funzioni.getBoolForDB dbengineMSACCESS", "", 0,
         "{\"result\":{\"type\":\"Integer\",\"value\":1},\"args\":[{\"type\":\"Long\","
         "\"value\":2}]}\n",
         nullptr},
        {"call FileUtilty.readFile x", "", 1, nullptr,
         "no class named 'FileUtilty'; nearest: FileUtility"},
        {"call FileUtility.readFiel x", "", 1, nullptr,
         "FileUtility has no member 'readFiel'; nearest: readFile"},
        {"call NxGlobal.x", "", 1, nullptr, "class NxGlobal cannot be created"},
        {"call FileUtility.readFile", "", 1, nullptr,
         "the parameters are FileUtility.readFile(ByVal sFileName As String, ByRef sTextFile As "
         "String) As ErrInfo"},
        {"run -", newF + "{\"call\":\"f.readFile\",\"args\":[1,2,3]}\n", 1, nullptr,
         "too many arguments; the parameters are FileUtility.readFile("},
        {"run /nonexistent/tour.jsonl", "", 1, nullptr,
         "cannot open /nonexistent/tour.jsonl: No such file or directory"},
        // A script stops at its first run-time error and names its line.
        {"run -", newF + "\n{\"call\":\"f.writeFile\",\"args\":[\"n.txt\",\"zero\",\"x\"]}\n", 1,
         nullptr, "orv run: line 3: argument 2 (attributeFile As Long)"},
        {"run -",
         "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n{\"call\":\"e.ErrInfo\",\"args\":[1,\"d\",70000,"
         "\"l\"]}\n{\"call\":\"e.isSuccess\"}\n",
         1, "{\"error\":{\"number\":6,\"description\":\"Overflow\"}}\n",
         "orv run: line 2: error 6: Overflow"},
        // A value that cannot be built is an error of the call, never an abort.
        {"call --set 'daylightoffset=json:{\"type\":\"Array\",\"lbound\":[2147483647],"
         "\"items\":[1,2]}' FileUtility.numFileInDir x :empty",
         "", 1, nullptr, "--set daylightoffset: Subscript out of range"},
        {"call ErrInfo", "", 2, "", nullptr},
        {"call --bogus ErrInfo.isSuccess", "", 2, "", nullptr},
        {"run", "", 2, "", nullptr},
        {"call ErrInfo.ErrInfo duble:2.5", "", 2, nullptr,
         "unknown type prefix 'duble:' (known: str int"},
        {"call --format xml ErrInfo.isSuccess", "", 2, nullptr, "unknown format 'xml'"},
        {"help nosuch", "", 2, nullptr, "unknown command 'nosuch'"},
        {"list Funzoni", "", 2, nullptr,
         "no class, enumeration or record named 'Funzoni'; nearest: Funzioni"},
        {"call ErrInfo.isSuccess 'json:{\"type\":\"Array\",\"lbound\":[0,0,0],\"items\":[]}'", "",
         2, nullptr, "Array needs \"lbound\" (0 to 2 numbers)"},
        {"run -",
         newF + "{\"call\":\"f.readFile\",\"args\":[" + std::string(100000, '[') +
             std::string(100000, ']') + "]}\n",
         2, nullptr, "arrays nested more than 64 deep"},
        // Script lines that are not calls.
        {"run -", "{\"call\":\"e.isSuccess\"}\n", 2, nullptr, nullptr},
        {"run -", "not json\n", 2, nullptr, nullptr},
        {"run -", "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n{\"call\":\"e\"}\n", 2, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " <<< " + c.input.substr(0, 80));
        ToolRun r = orv(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.out) {
            EXPECT_EQ(r.out, c.out);
        }
        if (c.err) {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        }
    }
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

// Readable output: byte strings shortened, a table as rows of cells, a failed
// result object.
TEST(OrvTool, TextFormatShowsResultsReadably) {
    // A byte string shows its length and how it starts, never every byte.
    ToolRun bytes =
        orv("call --format text Funzioni.getNumberForDB 1 "
            "'json:{\"type\":\"ByteString\",\"hex\":\"255044462d312e350a" +
            std::string(2200, 'a') + "\"}'");
    EXPECT_NE(bytes.out.find("  vntValue = bytes, 1,109: %PDF-1.5 ...\n"), std::string::npos)
        << bytes.out;

    // A table as rows of cells, a failed result; JSON stays the default into a pipe.
    const std::string script =
        "{\"new\":\"FileUtility\",\"as\":\"f\"}\n"
        "{\"call\":\"f.writeCsvFileFromArray\",\"args\":[\"t.csv\",{\"type\":\"Array\","
        "\"lbound\":[1,1],\"items\":[[\"Name\",\"Ann\"],[\"Age\",\"7\"]]},2,2]}\n"
        "{\"call\":\"f.getArrayFromCsvFile\",\"args\":[\"t.csv\",{\"var\":\"t\"},2,{\"var\":\"n\"}]"
        "}\n"
        "{\"call\":\"f.readFile\",\"args\":[\"missing.txt\",{\"var\":\"x\"}]}\n";
    ToolRun run = orv("run --format text -", script);
    EXPECT_EQ(run.exitCode, 0);
    for (const char* part :
         {"  t = table of 2 columns (1 to 2) and 3 rows (1 to 3)\n"
          "      | 1    | 2\n"
          "    1 | Name | Age\n"
          "    2 | Ann  | 7\n"
          "    3 |      |\n"
          "  n = 2 (Long)\n",
          "  result: ErrInfo, failure\n    numberInfo      53\n"
          "    descriptionInfo \"File not found\"\n    typeInfo        1 (error)\n"})
        EXPECT_NE(run.out.find(part), std::string::npos) << run.out;
    EXPECT_EQ(orv("run -", script).out.rfind("{\"result\":", 0), 0u);
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
    for (const char* part : {"{\"result\":{\"type\":\"ErrInfo\",\"value\":{\"numberInfo\":0,",
                             "{\"type\":\"ByteString\",\"hex\":\"255044462d", "\"numberInfo\":53,"})
        EXPECT_NE(out.find(part), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(here + "/orvmira.log"));
}

// Comments and blank lines are skipped; a by-reference object and a result
// object named with "as" are variables of the script.
TEST(OrvTool, RunPassesVariablesByReferenceAcrossCalls) {
    const std::string script =
        "# a comment\n"
        "{\"new\":\"ErrInfo\",\"as\":\"e\"}\n"
        "{\"call\":\"e.ErrInfo\",\"args\":[53,\"File not found\",1,\"readFile\"]}\n"
        "\n"
        "{\"call\":\"e.clone\",\"args\":[{\"var\":\"copy\"}],\"as\":\"r\"}\n"
        "{\"call\":\"copy.numberInfo\"}\n"
        "{\"call\":\"r.typeInfo\"}\n";
    ToolRun r = orv("run -", script);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\n{\"result\":{\"type\":\"Long\",\"value\":53},\"args\":[]}\n"
                         "{\"result\":{\"type\":\"Integer\",\"value\":4},\"args\":[]}\n"),
              std::string::npos)
        << r.out;
}

TEST(OrvTool, ExampleScriptRuns) {
    ToolRun r = orv(std::string("run '") + ORV_SOURCE_DIR + "/examples/errinfo.jsonl'");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("\"error\""), std::string::npos) << r.out;
}

// Members with their kinds and parameters; enumerations and records too,
// each also by its name.
TEST(OrvTool, ListShowsSlotsKindsAndParameters) {
    const std::pair<const char*, const char*> cases[] = {
        {"list ErrInfo", "property get"},
        {"list ErrInfo", "Optional ByVal sErrLogName As Variant"},
        {"list", "class NxGlobal  (a name clients may refer to: no members, not creatable)"},
        {"list", "\nenumeration typeOutputReport  ("},
        {"list", "\nrecord SYSTEMTIME  ("},
        {"list typedatabaseengine",
         "\n  dbengineORACLE     1\n  dbengineMSACCESS   2\n  dbengineSQLSERVER  3\n"},
    };
    for (const auto& [args, part] : cases) {
        ToolRun r = orv(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find(part), std::string::npos) << args << "\n" << r.out;
    }
}

}  // namespace
}  // namespace orv
