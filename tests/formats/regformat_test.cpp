// The .reg text form of the settings store: reading, the lines it refuses,
// writing back, and the key helpers.
#include <gtest/gtest.h>

#include <tuple>

#include "orvcommon/formats/reg_document.hpp"
#include "support/sandbox.hpp"

namespace orv::formats {
namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00\r\n";

std::string utf16leWithBom(const std::string& utf8) {
    const std::string data = regStringData(fromUtf8(utf8));  // ends in a NUL
    return "\xFF\xFE" + data.substr(0, data.size() - 2);
}

std::vector<size_t> lineNumbers(const std::vector<RegParseError>& lines) {
    std::vector<size_t> out;
    for (const auto& l : lines)
        out.push_back(l.line);
    return out;
}

const RegValue* valueAt(const RegistryDocument& doc, TextView key, TextView name) {
    const RegKey* k = doc.find(key);
    return k ? k->find(name) : nullptr;
}

TEST(RegFormat, ReadsEveryValueForm) {
    const std::tuple<const char*, uint32_t, std::string> rows[] = {
        {"\"A\"=\"plain\"", kRegSz, regStringData(u"plain")},
        {"\"A\"=\"q\\\"uo\\\\te\"", kRegSz, regStringData(u"q\"uo\\te")},
        {"\"A\" = \"spaced\"  ", kRegSz, regStringData(u"spaced")},
        {"\"A\"=\"\"", kRegSz, regStringData(u"")},
        {"\"A\"=dword:0000000a", kRegDword, regDwordData(10)},
        {"\"A\"=DWORD:FFFFFFFF", kRegDword, regDwordData(0xFFFFFFFFu)},
        {"\"A\"=hex:00,ff,7f", kRegBinary, std::string("\x00\xff\x7f", 3)},
        {"\"A\"=hex:", kRegBinary, ""},
        {"\"A\"=hex(2):25,00,50,00,00,00", kRegExpandSz, regStringData(u"%P")},
        {"\"A\"=hex(7):61,00,00,00,62,00,00,00,00,00", kRegMultiSz,
         regMultiStringData({u"a", u"b"})},
        {"\"A\"=hex(b):01,00,00,00,00,00,00,00", kRegQword, std::string("\x01\0\0\0\0\0\0\0", 8)},
    };
    for (const auto& [line, type, data] : rows) {
        SCOPED_TRACE(line);
        std::vector<RegParseError> errors;
        RegistryDocument doc = documentFromText(
            std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\K]\r\n" + line + "\r\n", &errors);
        EXPECT_TRUE(errors.empty());
        const RegValue* v = valueAt(doc, u"HKEY_LOCAL_MACHINE\\K", u"a");  // names ignore case
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*v, (RegValue{v->name, type, data}));
    }
}

// How the bytes become text: a byte-order mark decides; without one a
// REGEDIT4 file is code page 1252 throughout, any other file UTF-8 when it
// decodes as UTF-8, else code page 1252. Hex data of expandable texts is
// 8-bit in a REGEDIT4 file whatever the mark.
TEST(RegFormat, TextsDecodeByByteOrderMarkAndHeader) {
    const std::string r4 = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const std::string v5 = std::string(kHeader) + "\r\n[HKEY_CURRENT_USER\\K]\r\n";
    // The name of the case, the file, the text of the value "S".
    const std::tuple<const char*, std::string, Text> cases[] = {
        {"REGEDIT4, bytes that would be UTF-8", r4 + "\"S\"=\"\xC3\xA9\"\r\n", u"\u00c3\u00a9"},
        {"REGEDIT4 after a comment, euro sign", "; tweak\r\n" + r4 + "\"S\"=\"\x80\"\r\n",
         u"\u20ac"},
        {"REGEDIT4 with a UTF-8 mark", "\xEF\xBB\xBF" + r4 + "\"S\"=\"\xC3\xA9\"\r\n", u"\u00e9"},
        {"version 5, UTF-8", v5 + "\"S\"=\"caf\xC3\xA9\"\r\n", u"caf\u00e9"},
        {"version 5, not UTF-8", v5 + "\"S\"=\"caf\xE9 \x80\"\r\n", u"caf\u00e9 \u20ac"},
        {"version 5, UTF-8 mark, a stray byte", "\xEF\xBB\xBF" + v5 + "\"S\"=\"caf\xE9\"\r\n",
         u"caf\ufffd"},
        {"REGEDIT4, expandable text in hex", r4 + "\"S\"=hex(2):25,e9,00\r\n", u"%\u00e9"},
        {"UTF-16 with its mark, a value continued on the next line",
         utf16leWithBom(v5 + "\"S\"=hex(2):e9,00,\\\r\n  ac,20,00,00\r\n"), u"\u00e9\u20ac"},
    };
    for (const auto& [name, file, text] : cases) {
        SCOPED_TRACE(name);
        std::vector<RegParseError> errors;
        RegistryDocument doc = documentFromText(file, &errors);
        EXPECT_TRUE(errors.empty());
        const RegValue* v = valueAt(doc, u"HKEY_CURRENT_USER\\K", u"S");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(regDataText(v->data), text);
    }
}

// Operations apply in file order. A tweak file deletes a key and goes on
// with value lines for it: they are skipped with a warning, as the registry
// editor skips them, until the next key line; a line that cannot be read is
// still an error.
TEST(RegFormat, AppliesInOrderAndSkipsValuesUnderADeletedKeyWithAWarning) {
    const std::string text = std::string(kHeader) +         // 1
                             "[HKLM\\Soft\\App]\n"          // 2
                             "@=\"default\"\n"              // 3
                             "\"Gone\"=\"x\"\n"             // 4
                             "\"Kept\"=\"y\"\n"             // 5
                             "[HKLM\\Soft\\App\\Sub]\n"     // 6
                             "\"In\"=\"z\"\n"               // 7
                             "[-HKLM\\Soft\\App\\Sub]\n"    // 8
                             "\"Lost\"=dword:00000001\n"    // 9
                             "@=\"also gone\"\n"            // 10
                             "[HKLM\\Soft\\App]\n"          // 11
                             "\"Gone\"=-\n"                 // 12
                             "[-HKEY_CURRENT_USER\\Old]\n"  // 13
                             "\"Bad\"=dword:xyz\n";         // 14
    const RegParse parsed = parseRegText(text);
    EXPECT_EQ(lineNumbers(parsed.warnings), (std::vector<size_t>{9, 10}));
    EXPECT_EQ(lineNumbers(parsed.errors), (std::vector<size_t>{14}));
    EXPECT_EQ(regTextWarnings(text).size(), 2u);
    RegistryDocument doc;
    doc.setValue(u"HKEY_CURRENT_USER\\Old", {u"Before", kRegSz, regStringData(u"x")});
    applyOps(doc, parsed.ops);
    const Text key = u"HKEY_LOCAL_MACHINE\\Soft\\App";
    ASSERT_NE(valueAt(doc, key, u""), nullptr);
    EXPECT_EQ(regDataText(valueAt(doc, key, u"")->data), u"default");
    EXPECT_EQ(valueAt(doc, key, u"Gone"), nullptr);
    EXPECT_NE(valueAt(doc, key, u"Kept"), nullptr);
    EXPECT_EQ(doc.find(key + u"\\Sub"), nullptr);
    EXPECT_FALSE(doc.keyExists(u"HKEY_CURRENT_USER\\Old"));
    // In the store itself such lines would be lost by the next write: they
    // count with the unreadable ones there.
    std::vector<RegParseError> storeLines;
    documentFromText(text, &storeLines);
    EXPECT_EQ(storeLines.size(), 3u);
}

TEST(RegFormat, ReportsUnreadableLinesAndKeepsTheRest) {
    const std::string text = std::string(kHeader) +              // line 1
                             "\r\n"                              // 2
                             "[HKEY_LOCAL_MACHINE\\K]\r\n"       // 3
                             "\"Good\"=\"1\"\r\n"                // 4
                             "\"Bad\"=\"unterminated\r\n"        // 5
                             "\"Dw\"=dword:123456789\r\n"        // 6
                             "junk line\r\n"                     // 7
                             "[HKEY_NOWHERE\\K]\r\n"             // 8
                             "\"Lost\"=\"in unknown root\"\r\n"  // 9
                             "[HKEY_LOCAL_MACHINE\\K\r\n"        // 10
                             "\"Also\"=\"2\"\r\n";               // 11
    std::vector<RegParseError> errors;
    RegistryDocument doc = documentFromText(text, &errors);
    EXPECT_EQ(lineNumbers(errors), (std::vector<size_t>{5, 6, 7, 8, 9, 10, 11}));
    EXPECT_NE(valueAt(doc, u"HKEY_LOCAL_MACHINE\\K", u"Good"), nullptr);
    EXPECT_EQ(valueAt(doc, u"HKEY_LOCAL_MACHINE\\K", u"Bad"), nullptr);

    std::vector<RegParseError> noHeader;
    documentFromText("[HKEY_LOCAL_MACHINE\\K]\n", &noHeader);
    EXPECT_EQ(lineNumbers(noHeader), std::vector<size_t>{1});
}

// Keys are written in tree order whatever order they came in.
TEST(RegFormat, WritesBackWhatItReadWithKeysInTreeOrder) {
    RegistryDocument doc;
    for (const char16_t* k : {u"HKEY_LOCAL_MACHINE\\b", u"HKEY_CURRENT_USER\\z",
                              u"HKEY_LOCAL_MACHINE\\A b", u"HKEY_LOCAL_MACHINE\\a\\c"})
        doc.ensure(k);
    const Text key = u"HKEY_LOCAL_MACHINE\\a";
    doc.setValue(key, {u"", kRegSz, regStringData(u"default \"quoted\" \\ back")});
    doc.setValue(key, {u"Line\"Name", kRegSz, regStringData(u"two\r\nlines")});
    doc.setValue(key, {u"Odd", kRegSz, std::string("abc", 3)});
    doc.setValue(key, {u"Big", kRegBinary, std::string(300, '\x5a')});
    doc.setValue(key, {u"D", kRegDword, regDwordData(0xdeadbeef)});
    doc.setValue(key, {u"Short", kRegDword, std::string("\x01", 1)});
    doc.setValue(key, {u"Odd type", 0x12345, "x"});
    const std::string text = writeRegText(doc);
    EXPECT_EQ(text.rfind(kHeader, 0), 0u);
    std::vector<RegParseError> errors;
    RegistryDocument again = documentFromText(text, &errors);
    EXPECT_TRUE(errors.empty());
    for (const RegKey& k : doc.keys())
        EXPECT_EQ(again.find(k.path) ? *again.find(k.path) : RegKey{}, k) << toUtf8(k.path);
    EXPECT_EQ(again.keys().size(), doc.keys().size());
    EXPECT_EQ(writeRegText(again), text);
    std::vector<std::string> order;
    for (const std::string& line : test::crlfLines(text)) {
        if (!line.empty() && line[0] == '[') order.push_back(line);
        EXPECT_LE(line.size(), 80u);  // long hex data is wrapped as Windows wraps it
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"[HKEY_CURRENT_USER\\z]", "[HKEY_LOCAL_MACHINE\\a]",
                                        "[HKEY_LOCAL_MACHINE\\a\\c]", "[HKEY_LOCAL_MACHINE\\A b]",
                                        "[HKEY_LOCAL_MACHINE\\b]"}));
}

TEST(RegFormat, KeysCompareWithoutCaseAndSubtreesStopAtNameBoundaries) {
    RegistryDocument doc;
    doc.ensure(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN");
    doc.ensure(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem");
    doc.ensure(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN2");
    doc.ensure(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\Deep");
    EXPECT_EQ(&doc.ensure(u"hkey_local_machine\\software\\veln"),
              doc.find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN"));
    EXPECT_EQ(doc.subtree(u"HKEY_LOCAL_MACHINE\\software\\veln").size(), 2u);
    EXPECT_TRUE(doc.keyExists(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"));
    EXPECT_FALSE(doc.keyExists(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Oth"));
    EXPECT_TRUE(doc.deleteKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN"));
    EXPECT_NE(doc.find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN2"), nullptr);
    EXPECT_EQ(doc.find(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem"), nullptr);
    EXPECT_FALSE(doc.deleteKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN"));
}

TEST(RegFormat, RootsAndKeyPaths) {
    // A key path, its full form, whether the store can hold it.
    const std::tuple<const char16_t*, const char16_t*, bool> rows[] = {
        {u"HKLM\\SOFTWARE\\VELN\\LogSystem", u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
         true},
        {u"hkcu\\x\\", u"HKEY_CURRENT_USER\\x", true},
        {u"HKEY_USERS", u"HKEY_USERS", true},
        {u"HKCR\\a", u"HKEY_CLASSES_ROOT\\a", true},
        {u"HKCC\\a", u"HKEY_CURRENT_CONFIG\\a", true},
        {u"HKLM\\a\\\\b", u"HKEY_LOCAL_MACHINE\\a\\\\b", false},
        {u"HKLM\\a\r\nb", u"HKEY_LOCAL_MACHINE\\a\r\nb", false},
        {u"HKXX\\a", u"", false},
        {u"SOFTWARE\\a", u"", false},
    };
    for (const auto& [in, out, storable] : rows) {
        EXPECT_EQ(normaliseKeyPath(in), out);
        EXPECT_EQ(regKeyPathStorable(normaliseKeyPath(in)), storable) << toUtf8(in);
    }
    std::vector<Text> roots;
    for (uint32_t h : {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u, 0x80000005u, 0x1234u})
        roots.push_back(rootByHandle(h) ? Text(rootByHandle(h)->name) : u"none");
    EXPECT_EQ(roots,
              (std::vector<Text>{u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE",
                                 u"HKEY_USERS", u"HKEY_CURRENT_CONFIG", u"none"}));
    EXPECT_EQ(fullKeyPath(0x80000001u, u"Software\\X\\"), u"HKEY_CURRENT_USER\\Software\\X");
    EXPECT_FALSE(regNameStorable(u"a\nb"));
    EXPECT_TRUE(regNameStorable(u"with \"quotes\" and \\"));
}

}  // namespace
}  // namespace orv::formats
