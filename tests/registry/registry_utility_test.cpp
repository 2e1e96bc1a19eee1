// RegistryUtility: reading values, connection settings, the write probe, and
// what each operation reports and logs.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "orvcommon/registry/registry_utility.hpp"
#include "support/sandbox.hpp"
#include "support/system_call.hpp"

namespace orv {
namespace {

using platform::kRegMultiSz;

const int32_t kHklm = static_cast<int32_t>(kHkeyLocalMachine);

// The log lines of the main log that end in the given fields, without the
// date (which depends on the regional settings).
size_t countLogLines(const test::Sandbox& box, const std::string& tail) {
    const std::vector<std::string> lines = test::crlfLines(test::readBytes(box.mainLog()));
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.ends_with(tail); });
}
// A result object of RegistryUtility: `number` 0 is information.
void expectResult(const ErrInfo& r, int32_t number, TextView location, TextView description) {
    EXPECT_EQ(r.numberInfo(), number);
    EXPECT_EQ(r.descriptionInfo(), description);
    EXPECT_EQ(r.typeInfo(), number ? eiERRORTYPE : eiINFORMATIONTYPE);
    EXPECT_EQ(r.locationInfo(), location);
    EXPECT_EQ(r.classInfo(), u"RegistryUtility");
    EXPECT_EQ(r.processInfo(), u"orvcommon");
}
const char kGetKeyValueLine[] = "] [orvcommon] [RegistryUtility] [getKeyValue] [] [1] [0] []\"";

// Stores through the real store writer, but answers false, without writing,
// to the write numbered `refuse` (1-based; 0 refuses nothing). Counts writes.
struct RefusingWriter : RegistryWriter {
    int refuse;
    int* calls;
    RefusingWriter(int r, int* c) : refuse(r), calls(c) {}
    bool setStringValue(int32_t root, const Text& key, const Text& name,
                        const Text& value) override {
        if (++*calls == refuse) return false;
        return makeStoreRegistryWriter()->setStringValue(root, key, name, value);
    }
};

struct ThrowingWriter : RegistryWriter {
    bool setStringValue(int32_t, const Text&, const Text&, const Text&) override {
        throw RuntimeError(70);
    }
};

Text storedText(TextView key, TextView name) {
    auto r = platform::readValue(platform::fullKeyPath(kHkeyLocalMachine, key), name);
    return r && *r ? platform::regDataText((*r)->data) : u"<none>";
}

TEST(RegistryUtility, GetKeyValueReadsByTheRegistryRuleAndLogsWhatItCannotRead) {
    test::Sandbox box;
    test::Sandbox::setText(u"SOFTWARE\\App", u"Text", u"caf\u00e9 \u20ac");
    test::Sandbox::setDword(u"SOFTWARE\\App", u"Three", 3);
    test::Sandbox::setText(u"Environment", u"User", u"me", kHkeyCurrentUser);
    const Text app = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App";
    ASSERT_TRUE(platform::writeValue(
        app, {u"Multi", kRegMultiSz, platform::regMultiStringData({u"a", u"b"})}));
    struct Row {
        int32_t root;
        const char16_t* key;
        const char16_t* name;
        const char16_t* expected;
        size_t logLines;
    };
    const Row rows[] = {
        {kHklm, u"SOFTWARE\\App", u"Text", u"caf\u00e9 \u20ac", 0},
        {kHklm, u"software\\app", u"three", u"&h3", 0},
        {static_cast<int32_t>(kHkeyCurrentUser), u"Environment", u"User", u"me", 0},
        {kHklm, u"SOFTWARE\\App", u"Multi", u"", 0},
        {kHklm, u"SOFTWARE\\App", u"Missing", u"", 1},
        {kHklm, u"SOFTWARE\\NoSuchApp", u"Text", u"", 1},
        {0x1234, u"SOFTWARE\\App", u"Text", u"", 1},
    };
    RegistryUtility reg;
    size_t logged = 0;
    for (const Row& r : rows) {
        int32_t root = r.root;
        Text key = r.key, name = r.name;
        EXPECT_EQ(reg.getKeyValue(root, key, name), r.expected);
        EXPECT_EQ(std::tie(root, key, name), std::make_tuple(r.root, Text(r.key), Text(r.name)));
        EXPECT_EQ(countLogLines(box, kGetKeyValueLine), logged += r.logLines);
    }
}

// What was saved reads back as text; a missing application reads as empty
// texts, logging each value, and still succeeds.
TEST(RegistryUtility, ConnectionSettingsSaveWithoutTrailingSpacesAndReadBack) {
    test::Sandbox box;
    RegistryUtility reg;
    expectResult(reg.saveInfoForConnection(u"New App", u"  DB name  ", u" user ", u"pw \t "), 0,
                 u"saveInfoForConnection", u"");
    EXPECT_FALSE(test::exists(box.mainLog()));
    Text db = u"x", user = u"x", pw = u"x";
    expectResult(reg.getInfoForConnection(u"New App", db, user, pw), 0, u"getInfoForConnection",
                 u"");
    EXPECT_EQ(std::tie(db, user, pw), std::make_tuple(u"  DB name", u" user", u"pw \t"));
    EXPECT_EQ(countLogLines(box, kGetKeyValueLine), 0u);
    expectResult(reg.getInfoForConnection(u"Unknown", db, user, pw), 0, u"getInfoForConnection",
                 u"");
    EXPECT_EQ(db + user + pw, u"");
    EXPECT_EQ(countLogLines(box, kGetKeyValueLine), 3u);
}

TEST(RegistryUtility, SaveInfoForConnectionStopsAtTheFirstRefusedWrite) {
    const char16_t* names[] = {u"connectionDbName", u"connectionUser", u"connectionPassword"};
    for (int refuse = 1; refuse <= 3; ++refuse) {
        test::Sandbox box;
        int calls = 0;
        RegistryUtility reg([&] { return std::make_unique<RefusingWriter>(refuse, &calls); });
        expectResult(reg.saveInfoForConnection(u"Sales", u"db", u"user", u"pw"), eiREGISTRYERROR,
                     u"saveInfoForConnection", u"Error in writing registry:HKEY_LOCAL_MACHINE");
        EXPECT_EQ(calls, refuse);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(storedText(u"SOFTWARE\\Sales\\DbAccess", names[i]) != u"<none>",
                      i < refuse - 1)
                << toUtf8(names[i]);
        EXPECT_EQ(countLogLines(box,
                                "] [orvcommon] [RegistryUtility] [saveInfoForConnection] [] "
                                "[1] [-2147220901] [Error in writing "
                                "registry:HKEY_LOCAL_MACHINE]\""),
                  1u);
    }
}

TEST(RegistryUtility, SaveInfoForConnectionTrapsAWriterThatCannotBeCreated) {
    test::Sandbox box;
    RegistryUtility reg([] { return std::unique_ptr<RegistryWriter>(); });
    expectResult(reg.saveInfoForConnection(u"Sales", u"db", u"user", u"pw"), 429,
                 u"saveInfoForConnection", u"ActiveX component can't create object");
    EXPECT_EQ(countLogLines(box,
                            "[saveInfoForConnection] [] [1] [429] [ActiveX component can't "
                            "create object]\""),
              1u);
    EXPECT_EQ(storedText(u"SOFTWARE\\Sales\\DbAccess", u"connectionDbName"), u"<none>");
}

TEST(RegistryUtility, SaveIntoAStoreThatIsNotRegTextIsRefusedAndTheStoreKept) {
#ifdef _WIN32
    GTEST_SKIP() << "the registry export file is the POSIX store; Windows has the registry";
#endif
    test::Sandbox box;
    std::string bytes = test::readBytes(box.store()) + "this line is not .reg text\r\n";
    test::writeBytes(box.store(), bytes);
    test::EventLogCapture log;
    RegistryUtility reg;
    ErrInfo r = reg.saveInfoForConnection(u"Sales", u"db", u"user", u"pw");
    const std::vector<Text> events = log.messages();
    EXPECT_EQ(r.numberInfo(), eiREGISTRYERROR);
    EXPECT_EQ(test::readBytes(box.store()), bytes);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find(u"connectionDbName"), Text::npos) << toUtf8(events[0]);
    EXPECT_NE(events[0].find(u"line "), Text::npos) << toUtf8(events[0]);
}

TEST(RegistryUtility, WriteProbeStoresTheTimeAndAnswersTheWritersBoolean) {
    test::Sandbox box;
    test::ReplacedCall clock("clock",
                             [] { return platform::LocalTime{2026, 12, 4, 3, 47, 22, 0}; });
    EXPECT_TRUE(RegistryUtility().isRegistryInWritePermission());
    EXPECT_EQ(storedText(u"SOFTWARE\\VELN", u"Check"), u"20261204034722");

    // A writer that answers no, none, a factory that throws.
    int calls = 0;
    const RegistryWriterFactory refusing[] = {
        [&] { return std::make_unique<RefusingWriter>(1, &calls); },
        [] { return std::unique_ptr<RegistryWriter>(); },
        []() -> std::unique_ptr<RegistryWriter> { throw std::runtime_error("no writer"); }};
    for (const RegistryWriterFactory& factory : refusing)
        EXPECT_FALSE(RegistryUtility(factory).isRegistryInWritePermission());
    // A write that fails with an error rather than a "no" leaves the answer
    // set just before it.
    EXPECT_TRUE(RegistryUtility([] {
                    return std::make_unique<ThrowingWriter>();
                }).isRegistryInWritePermission());
#ifndef _WIN32
    // A store the process may not write (not even root writes under /proc).
    test::ReplacedCall store("settingsstore",
                             [] { return Text(u"/proc/orvcommon-test/registry.reg"); });
    EXPECT_FALSE(RegistryUtility().isRegistryInWritePermission());
#endif
    // Nothing of this is logged.
    EXPECT_FALSE(test::exists(box.mainLog()));
}

}  // namespace
}  // namespace orv
