// The `orv reg` command, run as administrators run it.
#include <gtest/gtest.h>

#include <string>

#include "orvcommon/platform/settings.hpp"
#include "support/command.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `orv reg ARGS` against the sandbox's store, feeding `input`.
ToolRun reg(const test::Sandbox& box, const std::vector<std::string>& args,
            const std::string& input = "") {
    std::string cmd = shellQuote(ORV_TOOL_PATH) + " reg";
    for (const std::string& a : args)
        cmd += " " + shellQuote(a);
    test::writeBytes(box.path("stdin"), input);
    const test::CommandResult r = test::runCommand(cmd + " <" + shellQuote(box.path("stdin")) +
                                                   " 2>" + shellQuote(box.path("stderr")));
    return {r.exitCode, r.output, test::readBytes(box.path("stderr"))};
}

bool contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

TEST(RegTool, AddQueryAndDeleteValuesOfEveryType) {
    test::Sandbox box(false);
    const std::string key = "HKLM\\SOFTWARE\\VELN\\LogSystem";
    struct Row {
        std::vector<std::string> add;
        std::string shown;
    };
    const Row rows[] = {
        {{"/v", "Path", "/d", "/var/log/orv/"}, "    Path    REG_SZ    /var/log/orv/"},
        {{"/v", "Trace", "/t", "REG_DWORD", "/d", "3"}, "    Trace    REG_DWORD    0x3"},
        {{"/v", "ByteSwitch", "/t", "reg_dword", "/d", "0x100000"},
         "    ByteSwitch    REG_DWORD    0x100000"},
        {{"/v", "Home", "/t", "REG_EXPAND_SZ", "/d", "%HOME%/x"},
         "    Home    REG_EXPAND_SZ    %HOME%/x"},
        {{"/v", "List", "/t", "REG_MULTI_SZ", "/d", "a\\0b c"},
         "    List    REG_MULTI_SZ    a\\0b c"},
        {{"/v", "List2", "/t", "REG_MULTI_SZ", "/s", ";", "/d", "x;y"},
         "    List2    REG_MULTI_SZ    x\\0y"},
        {{"/v", "Bin", "/t", "REG_BINARY", "/d", "00ff7A"}, "    Bin    REG_BINARY    00FF7A"},
        {{"/ve", "/d", "default"}, "    (Default)    REG_SZ    default"},
    };
    for (const Row& r : rows) {
        std::vector<std::string> args{"add", key};
        args.insert(args.end(), r.add.begin(), r.add.end());
        EXPECT_EQ(reg(box, args).code, 0);
    }
    ToolRun q = reg(box, {"query", "HKEY_LOCAL_MACHINE\\software\\veln\\logsystem"});
    EXPECT_EQ(q.code, 0) << q.err;
    for (const Row& r : rows)
        EXPECT_TRUE(contains(q.out, r.shown + "\n")) << r.shown << "\n" << q.out;

    ToolRun one = reg(box, {"query", key, "/v", "trace"});
    EXPECT_EQ(one.out,
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem\n    Trace    REG_DWORD    0x3\n\n");

    // Recursive query from above, and the subkey listing without /s.
    ToolRun tree = reg(box, {"query", "HKLM\\SOFTWARE", "/s"});
    EXPECT_TRUE(contains(tree.out, "HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem\n    "));
    ToolRun flat = reg(box, {"query", "HKLM\\SOFTWARE\\VELN"});
    EXPECT_TRUE(contains(flat.out, "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem\n"));
    EXPECT_FALSE(contains(flat.out, "REG_DWORD"));

    EXPECT_EQ(reg(box, {"delete", key, "/v", "Trace", "/f"}).code, 0);
    EXPECT_EQ(reg(box, {"query", key, "/v", "Trace"}).code, 1);
    EXPECT_EQ(reg(box, {"delete", key, "/va", "/f"}).code, 0);
    EXPECT_FALSE(contains(reg(box, {"query", key}).out, "REG_"));
    EXPECT_EQ(reg(box, {"delete", "HKLM\\SOFTWARE\\VELN", "/f"}).code, 0);
    EXPECT_EQ(reg(box, {"query", key}).code, 1);
}

TEST(RegTool, FailuresNameTheKeyOrValueAndExitWithOne) {
    test::Sandbox box(false);
    ASSERT_EQ(reg(box, {"add", "HKLM\\SOFTWARE\\App", "/v", "Old", "/d", "1"}).code, 0);
    struct Row {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const Row rows[] = {
        {{"query", "HKLM\\SOFTWARE\\Nope"}, 1, "key HKEY_LOCAL_MACHINE\\SOFTWARE\\Nope not found"},
        {{"query", "HKLM\\SOFTWARE\\App", "/v", "Gone"},
         1,
         "value \"Gone\" not found in HKEY_LOCAL_MACHINE\\SOFTWARE\\App"},
        {{"delete", "HKLM", "/f"}, 1, "cannot be deleted"},
        {{"export", "HKLM\\SOFTWARE\\Nope", "x.reg"}, 1, "SOFTWARE\\Nope not found"},
        {{"import", "/nonexistent/file.reg"}, 1, "cannot open /nonexistent/file.reg"},
        {{"add", "HKXX\\SOFTWARE", "/v", "a"}, 2, "unknown root in key HKXX\\SOFTWARE"},
        {{"add", "HKLM\\a\\\\b", "/v", "a"}, 2, "invalid key name"},
        {{"add", "HKLM\\a", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"},
         2,
         "invalid REG_DWORD"},
        {{"add", "HKLM\\a", "/v", "n", "/t", "REG_BINARY", "/d", "0g"}, 2, "not hexadecimal"},
        {{"add", "HKLM\\a", "/v", "n", "/t", "REG_FOO"}, 2, "unsupported type REG_FOO"},
        {{"add", "HKLM\\a", "/v", "n", "/ve"}, 2, "only one of"},
        {{"add", "HKLM\\a", "/x"}, 2, "unknown switch /x"},
        {{"frobnicate"}, 2, "unknown operation"},
    };
    for (const Row& r : rows) {
        ToolRun run = reg(box, r.args);
        EXPECT_EQ(run.code, r.code) << r.args[0] << " " << r.args[1];
        EXPECT_TRUE(contains(run.err, r.message)) << run.err;
    }
    // Without /f an existing value is only replaced when the user says yes.
    EXPECT_EQ(reg(box, {"add", "HKLM\\SOFTWARE\\App", "/v", "Old", "/d", "2"}, "no\n").code, 1);
    EXPECT_EQ(readRegistryText(kHkeyLocalMachine, u"SOFTWARE\\App", u"Old").text, u"1");
    EXPECT_EQ(reg(box, {"add", "HKLM\\SOFTWARE\\App", "/v", "Old", "/d", "2"}, "yes\n").code, 0);
    EXPECT_EQ(readRegistryText(kHkeyLocalMachine, u"SOFTWARE\\App", u"Old").text, u"2");
    EXPECT_EQ(reg(box, {"delete", "HKLM\\SOFTWARE\\App"}, "").code, 1);
    EXPECT_TRUE(platform::keyExists(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App").valueOr(false));
}

TEST(RegTool, ExportThenImportGivesTheSameStore) {
    test::Sandbox box(false);
    const std::vector<std::vector<std::string>> adds = {
        {"HKLM\\SOFTWARE\\VELN\\LogSystem", "/v", "Path", "/d", "C:\\Logs\\ \"quoted\""},
        {"HKLM\\SOFTWARE\\VELN\\LogSystem", "/v", "Trace", "/t", "REG_DWORD", "/d", "2"},
        {"HKLM\\SOFTWARE\\Sales\\DbAccess", "/v", "connectionUser", "/d", "caf\xC3\xA9"},
        {"HKLM\\SOFTWARE\\Sales\\DbAccess", "/v", "Long", "/t", "REG_BINARY", "/d",
         std::string(200, 'a')},
        {"HKLM\\SOFTWARE\\Sales\\Empty"},
        {"HKCU\\Other", "/v", "x", "/d", "y"},
    };
    for (auto args : adds) {
        args.insert(args.begin(), "add");
        ASSERT_EQ(reg(box, args).code, 0);
    }
    const std::string before = test::readBytes(box.store());
    const std::string file = box.path("software.reg");
    ToolRun ex = reg(box, {"export", "HKLM\\SOFTWARE", file});
    ASSERT_EQ(ex.code, 0) << ex.err;
    EXPECT_FALSE(contains(test::readBytes(file), "HKEY_CURRENT_USER"));
    ASSERT_EQ(reg(box, {"delete", "HKLM\\SOFTWARE", "/f"}).code, 0);
    ASSERT_NE(test::readBytes(box.store()), before);
    // A second export to the same file asks first.
    EXPECT_EQ(reg(box, {"export", "HKCU\\Other", file}, "n\n").code, 1);
    ToolRun im = reg(box, {"import", file});
    ASSERT_EQ(im.code, 0) << im.err;
    EXPECT_EQ(test::readBytes(box.store()), before);
}

// Reading the files is checked in tests/formats; here, that the tool names
// the line it could not read and changes nothing.
TEST(RegTool, UnreadableLinesAreNamed) {
    test::Sandbox box(false);
    ASSERT_EQ(reg(box, {"add", "HKLM\\SOFTWARE\\App", "/v", "A", "/d", "1"}).code, 0);
    const std::string store = test::readBytes(box.store()) + "Server = db01\r\n";
    test::writeBytes(box.store(), store);
    ToolRun q = reg(box, {"query", "HKLM\\SOFTWARE\\App"});
    EXPECT_EQ(q.code, 0);
    EXPECT_TRUE(contains(q.out, "A    REG_SZ    1"));
    EXPECT_TRUE(contains(q.err, "line " + std::to_string(test::crlfLines(store).size()))) << q.err;

    test::writeBytes(
        box.path("bad.reg"),
        "Windows Registry Editor Version 5.00\n[HKLM\\X]\n\"a\"=\"1\"\n\"b\"=dword:xyz\n");
    ToolRun im = reg(box, {"import", box.path("bad.reg")});
    EXPECT_EQ(im.code, 1);
    EXPECT_TRUE(contains(im.err, "bad.reg line 4")) << im.err;
    EXPECT_EQ(test::readBytes(box.store()), store);
}

TEST(RegTool, StoreOptionOverridesTheEnvironment) {
    test::Sandbox box(false);
    const std::string other = box.path("other.reg");
    ASSERT_EQ(reg(box, {"--store", other, "add", "HKCU\\K", "/v", "V", "/d", "x"}).code, 0);
    EXPECT_TRUE(contains(test::readBytes(other), "[HKEY_CURRENT_USER\\K]"));
    EXPECT_FALSE(test::exists(box.store()));
    EXPECT_EQ(reg(box, {"query", "HKCU\\K"}).code, 1);
    EXPECT_EQ(reg(box, {"query", "HKCU\\K", "--store", other}).code, 0);
}

}  // namespace
}  // namespace orv
