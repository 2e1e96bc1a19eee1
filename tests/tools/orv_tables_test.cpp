// End-to-end runs of `orv` through the member tables of FileUtility,
// Funzioni, NxInet and RegistryUtility: each argument reaching its parameter,
// by-reference arguments written back, properties and result objects. What
// the operations compute is checked in their own folders.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "support/command.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

using json = nlohmann::ordered_json;

struct ToolOutput {
    int exitCode = -1;
    std::vector<json> lines;  // one parsed output line per call
};

// Runs `orv ARGS` with `input` on standard input, inside `box` (its
// settings store and log folder are in the environment while it runs).
ToolOutput orv(const test::Sandbox& box, const std::string& args, const std::string& input = "") {
    const std::string in = box.path("stdin.txt");
    test::writeBytes(in, input);
    const test::CommandResult run = test::runCommand(std::string("'") + ORV_TOOL_PATH + "' " +
                                                     args + " <'" + in + "' 2>/dev/null");
    ToolOutput r{run.exitCode, {}};
    const std::string& out = run.output;
    size_t start = 0;
    for (size_t k; (k = out.find('\n', start)) != std::string::npos; start = k + 1)
        r.lines.push_back(json::parse(out.substr(start, k - start)));
    return r;
}

// Script lines: an object made as `name`, and a call (or property read).
std::string make(const std::string& cls, const std::string& name) {
    return json{{"new", cls}, {"as", name}}.dump() + "\n";
}
std::string call(const std::string& member, json::initializer_list_t args = {}) {
    return json{{"call", member}, {"args", json::array(args)}}.dump() + "\n";
}
json var(const std::string& name) {
    return json{{"var", name}};
}

json str(const std::string& s) {
    return json{{"type", "String"}, {"value", s}};
}
json typed(const std::string& type, const json& value) {
    return json{{"type", type}, {"value", value}};
}

// One script through FileUtility, Funzioni and RegistryUtility: arguments
// reaching their parameters, by-reference arguments written back into the
// script's variables, properties and result objects.
TEST(OrvTables, ScriptCallsReachTheirParametersAndWriteBack) {
    test::Sandbox box;
    test::Sandbox::setDword(u"SOFTWARE\\VELN\\LogSystem", u"Trace", 26);
    // The stand-in engine's "PDF" is its command file.
    const test::ScopedEnv tmp("TMPDIR", box.dir().c_str()), engine("ORV_TVPDF", ORV_FAKE_ENGINE);
    test::writeBytes(box.path("ok.cmd"), "OK");
    const std::string file = box.path("note.txt");
    ToolOutput r = orv(
        box, "run -",
        make("FileUtility", "f") + call("f.writeFile", {file, 0, "abc"}) +
            call("f.readFile", {file, var("t")}) + "{\"set\":\"f.utcoffset\",\"value\":\"90\"}\n" +
            "{\"set\":\"f.daylightoffset\",\"value\":-2}\n" + call("f.utcoffset") +
            call("f.daylightoffset") + make("Funzioni", "fz") +
            call("fz.simpleEncrypt", {"Tabelle 42", var("x")}) +
            call("fz.simpleDecrypt", {var("x"), var("y")}) +
            call("fz.createPdfFile", {box.path("ok.cmd"), box.path("ok.pdf")}) +
            make("RegistryUtility", "r") +
            call("r.saveInfoForConnection", {"Shop", "db1  ", "ann", "pw"}) +
            call("r.getInfoForConnection", {"Shop", var("db"), var("user"), var("pw")}) +
            call("r.getKeyValue", {-2147483646, "SOFTWARE\\VELN\\LogSystem", "Trace"}));
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.lines.size(), 10u);
    EXPECT_EQ(r.lines[0]["result"]["value"]["locationInfo"], "writeFile");
    EXPECT_EQ(test::readBytes(file), "abc\r\n");
    EXPECT_EQ(r.lines[1]["args"][1], str("abc\r\n"));
    // Each property pair reads and writes its own field, as an Integer.
    EXPECT_EQ(r.lines[2]["result"], typed("Integer", 90));
    EXPECT_EQ(r.lines[3]["result"], typed("Integer", -2));
    EXPECT_NE(r.lines[4]["args"][1], str("Tabelle 42"));
    EXPECT_EQ(r.lines[5]["args"][1], str("Tabelle 42"));
    EXPECT_EQ(r.lines[6]["result"]["value"]["numberInfo"], 0);
    EXPECT_EQ(test::readBytes(box.path("ok.pdf")), "OK");
    EXPECT_EQ(r.lines[7]["result"]["value"]["numberInfo"], 0);
    // Saved without trailing spaces, read back into the three variables.
    EXPECT_EQ(r.lines[8]["args"], json::array({str("Shop"), str("db1"), str("ann"), str("pw")}));
    EXPECT_EQ(r.lines[9]["result"], str("&h1A"));
    EXPECT_EQ(r.lines[9]["args"][0], typed("Long", -2147483646));
}

// Single calls through `orv call`: the exit code, the result (for a result
// object, its number) and the second argument after the call.
TEST(OrvTables, SingleCallsRewriteByReferenceArguments) {
    test::Sandbox box;
    struct Case {
        std::string args;
        int exitCode;
        json result, written;
    };
    const std::vector<Case> cases{
        // A Double becomes its text with a point, in the variable too.
        {"Funzioni.getNumberForDB 1 double:2.5", 0, str("2.5"), str("2.5")},
        // A whole number is converted; the argument is left alone.
        {"Funzioni.getNumberForDB 3 long:7", 0, typed("Long", 7), typed("Long", 7)},
        {"Funzioni.normStringForDb \"str:O'Brien\" :empty", 0, json(), str("O''Brien")},
        {"Funzioni.isYYYYBisestile 2024", 0, typed("Boolean", true), json()},
        // An engine that is not a number is refused as the declared enumeration.
        {"Funzioni.getBoolForDB str:oracle", 1, json(), json()},
        // Closed handles report nothing and clear the buffer.
        {"NxInet.IReadFile 987654 str:stale", 0, 0, str("")},
        {"NxInet.IClose 0", 0, typed("Long", 0), json()},
        {"NxInet.Buffer", 0, str(""), json()},
        // A proxy name that is no text is an error of the call, not a result object.
        {"NxInet.IOpenExtended :empty :missing :missing json:[1,2]", 1, json(), json()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ToolOutput r = orv(box, "call " + c.args);
        ASSERT_EQ(r.exitCode, c.exitCode);
        if (c.exitCode) continue;
        ASSERT_EQ(r.lines.size(), 1u);
        const json& result = r.lines[0]["result"];
        if (c.result.is_number()) {
            EXPECT_EQ(result["value"]["numberInfo"], c.result);
        } else if (!c.result.is_null()) {
            EXPECT_EQ(result, c.result);
        }
        if (!c.written.is_null()) {
            EXPECT_EQ(r.lines[0]["args"][1], c.written);
        }
    }
}

// The demo tour: every step of the script shows its heading, no call fails,
// both logs receive their lines, and it ends by saying where its files are.
TEST(OrvTables, DemoTourNarratesEveryStepAndFillsBothLogs) {
    test::Sandbox box;  // keeps the caller's settings store out of the way
    const std::string tool = ORV_TOOL_PATH;
    const std::string build = tool.substr(0, tool.rfind("/tools/"));
    const std::string cmd = "ORV_DEMO_DIR='" + box.path("demo") + "' bash '" + ORV_SOURCE_DIR +
                            "/examples/demo.sh' '" + build + "' 2>&1";
    const auto [exitCode, out] = test::runCommand(cmd);
    ASSERT_EQ(exitCode, 0) << out;
    EXPECT_EQ(out.find("\n  error "), std::string::npos) << out;
    EXPECT_EQ(out.find("{\""), std::string::npos) << "raw JSON in the tour:\n" << out;

    // Each "# --- Title" of the script is a heading, underlined.
    std::ifstream script(std::string(ORV_SOURCE_DIR) + "/examples/demo.jsonl");
    int steps = 0;
    for (std::string line; std::getline(script, line);) {
        if (line.rfind("# --- ", 0) != 0) continue;
        ++steps;
        const std::string title = line.substr(6);
        EXPECT_NE(out.find(title + "\n" + std::string(title.size(), '=') + "\n"), std::string::npos)
            << title;
    }
    EXPECT_GE(steps, 5);
    // Notes before the first step are not told.
    EXPECT_EQ(out.find("A tour of orvcommon"), std::string::npos) << out;
    // The table read back shows as a table.
    EXPECT_NE(out.find("| Pear; Williams | 7"), std::string::npos) << out;

    // The named log holds the information line, the main log only errors.
    const size_t mainLog = out.find("orvmira.log:\n");
    const size_t files = out.find("Where the files are\n");
    ASSERT_TRUE(mainLog != std::string::npos && files != std::string::npos) << out;
    EXPECT_NE(out.substr(0, mainLog).find("[Demo started]"), std::string::npos) << out;
    EXPECT_EQ(out.substr(mainLog, files - mainLog).find("[Demo started]"), std::string::npos);
    EXPECT_NE(out.find("  prices.csv\n", files), std::string::npos) << out;
    // The PDF step leaves its PDF beside the demo's files.
    EXPECT_NE(out.find("\ndemo.pdf ("), std::string::npos) << out;
    EXPECT_NE(out.find("  demo.pdf\n", files), std::string::npos) << out;
}

}  // namespace
}  // namespace orv
