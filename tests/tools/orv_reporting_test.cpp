// Reporting through `orv run`: the member table, by-reference write-back,
// run-time errors reported as the tool reports them, and files written by the
// real targets.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "reporting/render_support.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

using json = nlohmann::ordered_json;

// Runs a script with `orv run -` and the given environment settings; one
// parsed line per call.
std::vector<json> runScript(const test::Sandbox& box, const std::string& env,
                            const std::string& script) {
    test::writeBytes(box.path("script.jsonl"), script);
    const auto r = test::runCommand("env -u DISPLAY " + env + " '" + ORV_TOOL_PATH + "' run - <'" +
                                    box.path("script.jsonl") + "' 2>/dev/null");
    std::vector<json> lines;
    size_t start = 0;
    for (size_t k; (k = r.output.find('\n', start)) != std::string::npos; start = k + 1)
        lines.push_back(json::parse(r.output.substr(start, k - start)));
    return lines;
}

// A run stops at its first run-time error, which it prints.
TEST(OrvReporting, RunTimeErrorsReachTheScript) {
    struct Case {
        const char* env;
        const char* call;
        int number;
        const char* description;
    };
    const Case cases[] = {
        {"", R"({"call":"r.formattaStringa","args":["abc",-1]})", 5,
         "Invalid procedure call or argument"},
        {"", R"({"call":"r.formattaStringa","args":["abc",32767]})", 6, "Overflow"},
        {"", R"({"call":"r.prtBox","args":[1,"x",2,2,0]})", 13, "Type mismatch"},
        {"ORV_PRINTER=orv-no-such-queue CUPS_SERVER=127.0.0.1:9",
         R"({"set":"r.outputMode","value":2}
{"call":"r.openReport"})",
         482, "Printer error"},
    };
    test::Sandbox box;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const auto lines = runScript(
            box, c.env, std::string("{\"new\":\"Reporting\",\"as\":\"r\"}\n") + c.call + "\n");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["error"]["number"], c.number);
        EXPECT_EQ(lines[0]["error"]["description"], c.description);
    }
}

TEST(OrvReporting, PrinterAndPreviewWriteTheirFiles) {
    test::Sandbox box;
    const std::string pdf = box.path("r.pdf"), png = box.path("r.png");
    const std::string page =
        R"({"call":"r.prtLayoutPaginaBase","args":["Header","Footer",1,true]}
{"call":"r.prtBoxWithTesto","args":[2,3,12,true,false,"Total",65535,5]}
)";
    const auto lines =
        runScript(box, "ORV_PRINTER='file:" + pdf + "' ORV_PREVIEW_PNG='" + png + "'",
                  R"({"new":"Reporting","as":"r"}
{"call":"r.outputMode"}
{"set":"r.outputMode","value":2}
{"call":"r.openReport"}
)" + page + R"({"call":"r.newPage"}
)" + page + R"({"call":"r.closeReport"}
{"call":"r.formattaStringa","args":[{"var":"s"},10]}
{"call":"r.formattaStringa","args":["the quick brown fox",10]}
{"set":"r.outputMode","value":1}
{"call":"r.openReport"}
)" + page + R"({"call":"r.closeReport"}
)");
    for (const json& l : lines)
        EXPECT_FALSE(l.contains("error")) << l.dump();
    // outputMode starts at 0; formattaStringa writes the rest back.
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0]["result"]["value"], 0);
    EXPECT_EQ(lines[8]["result"]["value"], "");
    EXPECT_EQ(lines[9]["result"]["value"], "the quick");
    EXPECT_EQ(lines[9]["args"][0]["value"], "brown fox");
    const auto info = test::runCommand("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.output.find("Pages:           2"), std::string::npos) << info.output;
    auto img = test::Image::load(png);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 539);
    // The yellow box behind "Total": 0x00FFFF is yellow.
    EXPECT_EQ(img->at(3 * 567 * 7 / 150 + 40, static_cast<int>(3.2 * 567 * 0.7 / 15)), 0xFFFF00u);
}

}  // namespace
}  // namespace orv
