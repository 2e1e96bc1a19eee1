#include "orvcommon/files/file_utility.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>
#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "orvcommon/core/regional.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "support/sandbox.hpp"
#include "support/system_call.hpp"

#ifdef _WIN32
// After the library's headers: its root constants carry the system's names.
#include <windows.h>
#undef HKEY_LOCAL_MACHINE
#endif

namespace orv {
namespace {

using test::Sandbox;

// Takes every write permission away: the read-only attribute on Windows.
void makeReadOnly(const std::string& p) {
    namespace fs = std::filesystem;
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

size_t logLines(const Sandbox& sb) {
    return test::exists(sb.mainLog()) ? test::crlfLines(test::readBytes(sb.mainLog())).size() : 0;
}

void expectResult(const ErrInfo& r, int32_t number, TextView description, int16_t type,
                  TextView location, TextView cls, TextView process) {
    EXPECT_EQ(r.numberInfo(), number);
    EXPECT_EQ(r.descriptionInfo(), description);
    EXPECT_EQ(r.typeInfo(), type);
    EXPECT_EQ(r.locationInfo(), location);
    EXPECT_EQ(r.classInfo(), cls);
    EXPECT_EQ(r.processInfo(), process);
}

const Text kOk = u"Operazione eseguita correttamente";

// ---- writeFile / readFile

TEST(FileUtilityText, WriteThenReadAddsCrLf) {
    Sandbox sb;
    FileUtility fu;
    const Text path = sb.textPath("a.txt");
    expectResult(fu.writeFile(path, 0, u"abc"), 0, kOk, eiINFORMATIONTYPE, u"writeFile",
                 u"FileUtility", u"orvcommon");
    EXPECT_EQ(test::readBytes(sb.path("a.txt")), "abc\r\n");
    Text read = u"old";
    ErrInfo r = fu.readFile(path, read);
    EXPECT_EQ(read, u"abc\r\n");
    EXPECT_EQ(r, ErrInfo());  // unfilled on success
    EXPECT_EQ(r.typeInfo(), 0);

    ASSERT_TRUE(fu.writeFile(path, 0, u"").isSuccess());
    EXPECT_EQ(test::readBytes(sb.path("a.txt")), "\r\n");
    // Code page 1252 on disk, one byte per character.
    ASSERT_TRUE(fu.writeFile(path, 0, u"\u20ac\u00e0").isSuccess());
    EXPECT_EQ(test::readBytes(sb.path("a.txt")), "\x80\xe0\r\n");
    ASSERT_TRUE(fu.readFile(path, read).isSuccess());
    EXPECT_EQ(read, u"\u20ac\u00e0\r\n");
    EXPECT_EQ(logLines(sb), 0u);
}

TEST(FileUtilityText, AttributesAreReplacedOnOverwrite) {
    Sandbox sb;
    FileUtility fu;
    const Text path = sb.textPath("ro.txt");
    ASSERT_TRUE(fu.writeFile(path, 1 | 2 | 32, u"one").isSuccess());
    EXPECT_EQ(platform::getAttributes(path).valueOr(0) & 1, 1);
    ASSERT_TRUE(fu.writeFile(path, 0, u"two").isSuccess());
    EXPECT_EQ(test::readBytes(sb.path("ro.txt")), "two\r\n");
    EXPECT_EQ(platform::getAttributes(path).valueOr(-1), test::underWine() ? 32 : 0);
    const auto perms = std::filesystem::status(sb.path("ro.txt")).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}

#ifdef _WIN32
// Windows keeps every attribute bit in the file system, and hidden and system
// on folders too (Wine adds the archive bit to every regular file, and keeps
// neither read-only nor archive on a folder).
TEST(FileUtilityText, EveryAttributeBitIsKept) {
    Sandbox sb;
    test::writeBytes(sb.path("x.txt"), "x");
    std::filesystem::create_directory(sb.path("d"));
    for (const char* name : {"x.txt", "d"}) {
        const Text p = sb.textPath(name);
        const int32_t folder = std::string(name) == "d" ? 16 : 0;
        const int32_t added = folder ? 16 : test::underWine() ? 32 : 0;
        for (int32_t bits : {0, 1, 2, 4, 32, 1 | 2 | 4 | 32, 2 | 32, 2 | 4}) {
            if (folder && (bits & (1 | 32))) continue;
            SCOPED_TRACE(std::string(name) + " " + std::to_string(bits));
            ASSERT_TRUE(platform::setAttributes(p, bits));
            EXPECT_EQ(platform::getAttributes(p).valueOr(-1), bits | added);
            // The C run time reads the bits by its own way.
            __finddata64_t found{};
            const intptr_t h = _findfirst64(sb.path(name).c_str(), &found);
            ASSERT_NE(h, -1);
            _findclose(h);
            EXPECT_EQ(static_cast<int32_t>(found.attrib & 0x37), bits | added);
        }
        ASSERT_TRUE(platform::setAttributes(p, 0));
    }
    EXPECT_EQ(platform::setAttributes(sb.textPath("x.txt"), 16).error(), 5);
    EXPECT_EQ(platform::getAttributes(sb.textPath("none.txt")).error(), 53);
}
#endif

TEST(FileUtilityText, DosAttributeTextFormAndDotNames) {
#ifdef _WIN32
    GTEST_SKIP() << "user.DOSATTRIB and hidden dot-names are how POSIX keeps the attribute bits";
#else
    Sandbox sb;
    const std::string p = sb.path("x.txt");
    test::writeBytes(p, "x");
    const Text tp = fromUtf8(p);
    if (::setxattr(p.c_str(), "user.DOSATTRIB", "0x26", 4, 0) != 0)
        GTEST_SKIP() << "the temporary file system keeps no user extended attributes";
    EXPECT_EQ(platform::getAttributes(tp).valueOr(-1), 2 | 4 | 32);
    ASSERT_TRUE(platform::setAttributes(tp, 4 | 32));
    char buf[32] = {};
    ssize_t n = ::getxattr(p.c_str(), "user.DOSATTRIB", buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "0x24");
    // The binary record: empty text, version 4 twice, validity mask, bits.
    const unsigned char rec[] = {0, 4, 0, 4, 0, 1, 0, 0, 0, 0x22, 0, 0, 0};
    ASSERT_EQ(::setxattr(p.c_str(), "user.DOSATTRIB", rec, sizeof rec, 0), 0);
    EXPECT_EQ(platform::getAttributes(tp).valueOr(-1), 2 | 32);
    test::writeBytes(sb.path(".dot"), "x");
    EXPECT_EQ(platform::getAttributes(sb.textPath(".dot")).valueOr(-1), 2);
    EXPECT_FALSE(platform::setAttributes(tp, 16));
#endif
}

struct FailureCase {
    const char* name;
    std::string path;  // relative to the sandbox unless absolute
    int32_t number;
};

std::vector<FailureCase> readFailures() {
    return {{"missing file", "nope.txt", 53},
            {"missing folder", "nodir/nope.txt", 76},
            {"folder as file", "sub", 75},
            {"file as folder", "plain.txt/x", 76}};
}

std::string resolve(const Sandbox& sb, const std::string& p) {
    return p.front() == '/' ? p : sb.path(p);
}

void prepare(const Sandbox& sb) {
    std::filesystem::create_directory(sb.path("sub"));
    test::writeBytes(sb.path("plain.txt"), "x");
}

TEST(FileUtilityText, ReadFailuresAreTrappedAndLoggedOnce) {
    for (const auto& c : readFailures()) {
        SCOPED_TRACE(c.name);
        Sandbox sb;
        prepare(sb);
        FileUtility fu;
        const Text path = fromUtf8(resolve(sb, c.path));

        Text text = u"keep";
        expectResult(fu.readFile(path, text), c.number, standardMessage(c.number), eiERRORTYPE,
                     u"readFile", u"FileUtility", u"orvcommon");
        EXPECT_EQ(text, u"keep");
        EXPECT_EQ(logLines(sb), 1u);

        Variant bin = Text(u"keep");
        expectResult(fu.readBinaryFile(path, bin), c.number, standardMessage(c.number), eiERRORTYPE,
                     u"readBinaryFile", u"FileUtility", u"orvcommon");
        EXPECT_EQ(bin, Variant(Text(u"keep")));
        EXPECT_EQ(logLines(sb), 2u);

        Array<Text> rows({1, 3});
        int32_t n = 99;
        expectResult(fu.readAndLoadInArrayByCRLF(path, rows, n), c.number,
                     standardMessage(c.number), eiERRORTYPE, u"readAndLoadInArrayByCRLF",
                     u"Utilita", u"orvcommon");
        EXPECT_EQ(n, 99);
        EXPECT_EQ(rows, Array<Text>({1, 1}));
        EXPECT_EQ(logLines(sb), 3u);

        // The CSV reader: the line reader's failure, then its own (error 9).
        Array<Text> table;
        int32_t cols = 7;
        expectResult(fu.getArrayFromCsvFile(path, table, 3, cols), 9, standardMessage(9),
                     eiERRORTYPE, u"getArrayFromCsvFile", u"FileUtility", u"orvcommon");
        EXPECT_EQ(cols, 0);
        EXPECT_EQ(logLines(sb), 5u);
    }
}

TEST(FileUtilityText, WriteFailures) {
    Sandbox sb;
    prepare(sb);
    FileUtility fu;
    std::vector<std::pair<std::string, int32_t>> cases = {
        {"nodir/a.txt", 76}, {"sub", 75}, {"plain.txt/a.txt", 76}};
    // Creating a file in sysfs is refused even to root.
    if (test::exists("/sys/kernel")) cases.push_back({"/sys/kernel/orv-new.txt", 75});
    size_t logged = 0;
    for (const auto& [p, number] : cases) {
        SCOPED_TRACE(p);
        expectResult(fu.writeFile(fromUtf8(resolve(sb, p)), 0, u"x"), number,
                     standardMessage(number), eiERRORTYPE, u"writeFile", u"FileUtility",
                     u"orvcommon");
        EXPECT_EQ(logLines(sb), ++logged);
    }
}

#ifndef _WIN32
// Root ignores permission bits; there the open call is replaced through the
// platform's system-call seam by one that checks the owner's bits as an
// unprivileged user's open would. (Windows can take read access away only
// through access-control lists; its refusals are covered by the fault
// injection test.)
int openAsUnprivileged(const char* p, int flags, mode_t mode) {
    using Open = int (*)(const char*, int, mode_t);
    struct stat st {};
    const bool wantsRead = (flags & O_ACCMODE) != O_WRONLY;
    const bool wantsWrite = (flags & O_ACCMODE) != O_RDONLY;
    if (::stat(p, &st) == 0 &&
        ((wantsRead && !(st.st_mode & S_IRUSR)) || (wantsWrite && !(st.st_mode & S_IWUSR)))) {
        errno = EACCES;
        return -1;
    }
    return reinterpret_cast<Open>(platform::originalSystemCall("open"))(p, flags, mode);
}

TEST(FileUtilityText, PermissionDenied) {
    // Under root too, open answers as an unprivileged user's would.
    test::ReplacedCall open("open", &openAsUnprivileged);
    Sandbox sb;
    test::writeBytes(sb.path("secret.txt"), "x");
    ::chmod(sb.path("secret.txt").c_str(), 0);
    FileUtility fu;
    Text t;
    EXPECT_EQ(fu.readFile(sb.textPath("secret.txt"), t).numberInfo(), 75);
}
#endif

TEST(FileUtilityLines, LineEndsAreCrOrCrLf) {
    const std::vector<std::pair<std::string, std::vector<Text>>> cases = {
        {"", {}},
        {"a\r\nb\r\n", {u"a", u"b"}},
        {"a\r\nb", {u"a", u"b"}},
        {"a\r\n\r\n", {u"a", u""}},
        {"a\rb", {u"a", u"b"}},
        {"a\nb", {u"a\nb"}},
        {"\r", {u""}},
        {"\r\r\n\n", {u"", u"", u"\n"}},
        {"x\x80y", {u"x\u20acy"}},
    };
    Sandbox sb;
    FileUtility fu;
    for (const auto& [bytes, want] : cases) {
        SCOPED_TRACE(bytes);
        test::writeBytes(sb.path("l.txt"), bytes);
        Array<Text> rows;
        int32_t n = -1;
        ErrInfo r = fu.readAndLoadInArrayByCRLF(sb.textPath("l.txt"), rows, n);
        ErrInfo cleared;
        cleared.clear();
        EXPECT_EQ(r, cleared);
        EXPECT_EQ(r.typeInfo(), eiDEBUGTYPE);
        ASSERT_EQ(n, static_cast<int32_t>(want.size()));
        EXPECT_EQ(rows.lbound(1), 1);
        EXPECT_EQ(rows.ubound(1), std::max<int32_t>(1, n));
        for (int32_t i = 1; i <= n; ++i)
            EXPECT_EQ(rows.at(i), want[static_cast<size_t>(i - 1)]);
        if (n == 0) {
            EXPECT_EQ(rows.at(1), u"");
        }
    }
    // A very long line is one element.
    test::writeBytes(sb.path("long.txt"), std::string(40000, 'z') + "\r\nq");
    Array<Text> rows;
    int32_t n = 0;
    ASSERT_TRUE(fu.readAndLoadInArrayByCRLF(sb.textPath("long.txt"), rows, n).isSuccess());
    ASSERT_EQ(n, 2);
    EXPECT_EQ(rows.at(1).size(), 40000u);
}

// ---- CSV

Array<Text> table(const std::vector<std::vector<Text>>& rows) {
    Array<Text> t({1, static_cast<int32_t>(rows.empty() ? 0 : rows[0].size())},
                  {1, static_cast<int32_t>(rows.size())});
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            t.at(static_cast<int32_t>(c + 1), static_cast<int32_t>(r + 1)) = rows[r][c];
    return t;
}

TEST(FileUtilityCsv, WrittenForm) {
    Sandbox sb;
    ScopedRegional it(Regional::italian());
    FileUtility fu;
    Array<Text> t = table({{u"abc", u"12", u"", u"31/12/2024", u"say \"hi\""},
                           {u"", u"  ", u"", u"", u""},
                           {u"   ", u"-1,5", u"12:30", u"x;y", u"1.000"}});
    Text out = u"junk";
    ErrInfo r = fu.getCsvStringFromArray(out, t, 3, 5, u",");
    EXPECT_EQ(r.typeInfo(), eiDEBUGTYPE);
    EXPECT_TRUE(r.locationInfo().empty());
    EXPECT_EQ(out,
              u"\"abc\";12;;31/12/2024;\"say \"\"hi\"\"\"\r\n"
              u"   ;-1,5;12:30;\"x;y\";1.000\r\n");

    Text none = u"junk";
    EXPECT_TRUE(fu.getCsvStringFromArray(none, t, 0, 5, u";").isSuccess());
    EXPECT_EQ(none, u"");
    ASSERT_TRUE(fu.writeCsvFileFromArray(sb.textPath("e.csv"), t, 3, 0).isSuccess());
    EXPECT_EQ(test::readBytes(sb.path("e.csv")), "\r\n");
}

TEST(FileUtilityCsv, BadTablesFailWithError9AndKeepCompletedLines) {
    Sandbox sb;
    FileUtility fu;
    Array<Text> one({1, 2});
    Array<Text> small = table({{u"a", u"b"}, {u"c", u"d"}});
    Array<Text> none;
    struct Case {
        Array<Text>* t;
        int32_t rows, cols;
        Text partial;
    } cases[] = {{&one, 1, 1, u""},
                 {&none, 1, 1, u""},
                 {&small, 3, 2, u"\"a\";\"b\"\r\n\"c\";\"d\"\r\n"},
                 {&small, 1, 3, u""}};
    size_t logged = 0;
    for (auto& c : cases) {
        Text out;
        expectResult(fu.getCsvStringFromArray(out, *c.t, c.rows, c.cols, u";"), 9,
                     standardMessage(9), eiERRORTYPE, u"getCsvStringFromArray", u"FileUtility",
                     u"orvcommon");
        EXPECT_EQ(out, c.partial);
        EXPECT_EQ(logLines(sb), ++logged);
        // writeCsvFileFromArray passes the step's object on and writes nothing.
        EXPECT_EQ(
            fu.writeCsvFileFromArray(sb.textPath("no.csv"), *c.t, c.rows, c.cols).locationInfo(),
            u"getCsvStringFromArray");
        EXPECT_FALSE(test::exists(sb.path("no.csv")));
        EXPECT_EQ(logLines(sb), ++logged);
    }
}

TEST(FileUtilityCsv, RoundTrip) {
    Sandbox sb;
    ScopedRegional it(Regional::italian());
    FileUtility fu;
    Array<Text> t = table({{u"abc", u"12", u"", u"31/12/2024", u"say \"hi\""},
                           {u"  sp  ", u"x;y", u"\"q\"", u"-3,25", u"   "},
                           {u"\u00e8\u20ac", u"a\"b", u"0", u"12:30", u"end"}});
    ErrInfo w = fu.writeCsvFileFromArray(sb.textPath("t.csv"), t, 3, 5);
    expectResult(w, 0, kOk, eiINFORMATIONTYPE, u"writeFile", u"FileUtility", u"orvcommon");
    EXPECT_EQ(platform::getAttributes(sb.textPath("t.csv")).valueOr(-1) & 1, 0);

    Array<Text> back;
    int32_t lines = -1;
    ErrInfo r = fu.getArrayFromCsvFile(sb.textPath("t.csv"), back, 5, lines);
    EXPECT_TRUE(r.isSuccess());
    EXPECT_EQ(r.typeInfo(), eiDEBUGTYPE);
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(back.ubound(1), 5);
    EXPECT_EQ(back.ubound(2), 4);  // the file ends with an empty line
    for (int32_t i = 1; i <= 3; ++i)
        for (int32_t j = 1; j <= 5; ++j)
            EXPECT_EQ(back.at(j, i), t.at(j, i)) << j << "," << i;
    EXPECT_EQ(logLines(sb), 0u);
}

TEST(FileUtilityCsv, ReaderKeepsPhysicalLinesAndLastLineResult) {
    Sandbox sb;
    FileUtility fu;
    test::writeBytes(sb.path("b.csv"), "a;b\r\n   \r\nc;d\r\n");
    Array<Text> t;
    int32_t lines = 0;
    ASSERT_TRUE(fu.getArrayFromCsvFile(sb.textPath("b.csv"), t, 2, lines).isSuccess());
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(t.at(1, 3), u"c");
    EXPECT_EQ(t.at(2, 3), u"d");
    EXPECT_EQ(t.at(1, 2), u"");

    // A middle line with too many fields is counted, stays empty, and does
    // not decide the result; the last line does.
    test::writeBytes(sb.path("c.csv"), "a;b\r\n1;2;3\r\nc;d");
    ASSERT_TRUE(fu.getArrayFromCsvFile(sb.textPath("c.csv"), t, 2, lines).isSuccess());
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(t.at(1, 2), u"");
    test::writeBytes(sb.path("d.csv"), "a;b\r\n1;2;3\r\n");
    ErrInfo r = fu.getArrayFromCsvFile(sb.textPath("d.csv"), t, 2, lines);
    expectResult(r, eiABORTED, u"Array di input sottodimensionato", eiERRORTYPE,
                 u"getValueFromCsvString", u"Funzioni", u"orvcommon");
    EXPECT_EQ(t.at(1, 1), u"a");
    EXPECT_EQ(logLines(sb), 0u);

    // A file of blank lines only returns the line reader's cleared object.
    test::writeBytes(sb.path("blank.csv"), "  \r\n");
    r = fu.getArrayFromCsvFile(sb.textPath("blank.csv"), t, 2, lines);
    EXPECT_TRUE(r.isSuccess());
    EXPECT_EQ(lines, 0);

    // lNumRows below 1 fails before the file is touched; an empty file fails
    // at sizing the table. Each is one log line.
    size_t logged = 0;
    for (int32_t rowsArg : {0, -5}) {
        lines = 4;
        EXPECT_EQ(fu.getArrayFromCsvFile(sb.textPath("nope.csv"), t, rowsArg, lines).numberInfo(),
                  9);
        EXPECT_EQ(lines, 4);
        EXPECT_EQ(logLines(sb), ++logged);
    }
    test::writeBytes(sb.path("empty.csv"), "");
    EXPECT_EQ(fu.getArrayFromCsvFile(sb.textPath("empty.csv"), t, 2, lines).locationInfo(),
              u"getArrayFromCsvFile");
    EXPECT_EQ(logLines(sb), ++logged);
}

// ---- Binary and record files

TEST(FileUtilityBinary, BytesSurviveUnchanged) {
    Sandbox sb;
    FileUtility fu;
    test::writeBytes(sb.path("b.bin"), std::string("\x00\xff\x41", 3));
    Variant v;
    ErrInfo r = fu.readBinaryFile(sb.textPath("b.bin"), v);
    EXPECT_EQ(r, ErrInfo());
    ASSERT_TRUE(v.is<ByteString>());
    EXPECT_EQ(v.get<ByteString>().bytes, std::string("\x00\xff\x41", 3));
    test::writeBytes(sb.path("e.bin"), "");
    ASSERT_TRUE(fu.readBinaryFile(sb.textPath("e.bin"), v).isSuccess());
    EXPECT_EQ(v.get<ByteString>().bytes, "");
}

std::string records(int n, int len, bool lastEnd = true) {
    std::string out;
    for (int i = 1; i <= n; ++i) {
        std::string rec = "r" + std::to_string(i);
        rec.resize(static_cast<size_t>(len), ' ');
        out += rec;
        if (i < n || lastEnd) out += "\r\n";
    }
    return out;
}

TEST(FileUtilityRecords, RecordCountRules) {
    EXPECT_EQ(recordCount(66, 20), 3);
    EXPECT_EQ(recordCount(64, 20), 3);
    EXPECT_EQ(recordCount(0, 20), 0);
    EXPECT_EQ(recordCount(65, 20), -1);
    EXPECT_EQ(recordCount(65, 30), -1);
    EXPECT_EQ(recordCount(62, 30), 2);
}

TEST(FileUtilityRecords, ReadsCleanedRecordsFromAStart) {
    Sandbox sb;
    FileUtility fu;
    std::string body = records(10, 20);
    body.replace(22 * 8 + 2, 3, "\x01\x93z");  // record 9: code 1 and a curly quote
    test::writeBytes(sb.path("r.dat"), body);
    struct Case {
        int32_t start;
        int16_t num, expectNum;
        std::vector<Text> stored;
    } cases[] = {
        {8, 5, 3, {u"r8", u"r9  z", u"r10"}},
        {1, 2, 2, {u"r1", u"r2"}},
        {11, 5, 0, {}},
        {10, 1, 1, {u"r10"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        Array<Text> list({1, 5});
        int16_t num = c.num;
        expectResult(fu.ooReadFile(sb.textPath("r.dat"), 20, c.start, num, list), 0, kOk,
                     eiINFORMATIONTYPE, u"ooReadFile", u"FileUtility", u"orvcommon");
        EXPECT_EQ(num, c.expectNum);
        for (size_t i = 0; i < 5; ++i)
            EXPECT_EQ(list.at(static_cast<int32_t>(i + 1)),
                      i < c.stored.size() ? c.stored[i] : u"");
    }
    // Without the last separator, and records of spaces only.
    test::writeBytes(sb.path("s.dat"), std::string(20, ' ') + "\r\n" + std::string(20, ' '));
    Array<Text> list({1, 5});
    int16_t num = 5;
    ASSERT_TRUE(fu.ooReadFile(sb.textPath("s.dat"), 20, 1, num, list).isSuccess());
    EXPECT_EQ(num, 2);
    EXPECT_EQ(list.at(2), u" ");
    // An empty record file holds no record.
    test::writeBytes(sb.path("z.dat"), "");
    num = 5;
    ASSERT_TRUE(fu.ooReadFile(sb.textPath("z.dat"), 20, 1, num, list).isSuccess());
    EXPECT_EQ(num, 0);
    EXPECT_EQ(logLines(sb), 0u);
}

TEST(FileUtilityRecords, FailureRows) {
    Sandbox sb;
    FileUtility fu;
    test::writeBytes(sb.path("r.dat"), records(3, 20));
    test::writeBytes(sb.path("65.dat"), std::string(65, 'x'));
    test::writeBytes(sb.path("62.dat"), std::string(62, 'x'));
    std::filesystem::create_directory(sb.path("dir"));
    const Text missing = sb.textPath("missing.dat");
    struct Case {
        const char* name;
        Text file;
        int16_t len;
        int32_t start;
        int32_t number;
        Text description;
        Text cls, process;
        size_t logged;
    } cases[] = {
        {"length fits no rule", sb.textPath("65.dat"), 20, 1, eiABORTED,
         u"File length [65] not compatible with string length[20]", u"", u"", 0},
        {"length rule first", sb.textPath("65.dat"), 30, 1, eiABORTED,
         u"File length [65] not compatible with string length[30]", u"", u"", 0},
        {"unsupported length", sb.textPath("62.dat"), 30, 1, eiABORTED,
         u"Lenght string not supported[30] supported type are: 20, 25", u"FileUtility",
         u"orvcommon", 0},
        {"record zero", sb.textPath("r.dat"), 20, 0, 63, standardMessage(63), u"", u"", 0},
        {"missing file", missing, 20, 1, 53, standardMessage(53) + u" file [" + missing + u"]",
         u"FileUtility", u"orvcommon", 1},
        {"folder", sb.textPath("dir"), 20, 1, 75,
         standardMessage(75) + u" file [" + sb.textPath("dir") + u"]", u"FileUtility", u"orvcommon",
         1},
        {"overflow", sb.textPath("r.dat"), 32766, 1, 6,
         standardMessage(6) + u" file [" + sb.textPath("r.dat") + u"]", u"FileUtility",
         u"orvcommon", 1},
        {"division by zero", sb.textPath("r.dat"), -2, 1, 11,
         standardMessage(11) + u" file [" + sb.textPath("r.dat") + u"]", u"FileUtility",
         u"orvcommon", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = logLines(sb);
        Array<Text> list({1, 5});
        int16_t num = 2;
        expectResult(fu.ooReadFile(c.file, c.len, c.start, num, list), c.number, c.description,
                     eiERRORTYPE, u"ooReadFile", c.cls, c.process);
        EXPECT_EQ(logLines(sb) - before, c.logged);
    }
}

TEST(FileUtilityRecords, UndersizedListFailsAtTheNextRecord) {
    Sandbox sb;
    FileUtility fu;
    test::writeBytes(sb.path("r.dat"), records(4, 25));
    Array<Text> list({1, 1});
    int16_t num = 3;
    ErrInfo r = fu.ooReadFile(sb.textPath("r.dat"), 25, 1, num, list);
    EXPECT_EQ(r.numberInfo(), 9);
    EXPECT_TRUE(r.classInfo().empty());
    EXPECT_EQ(list.at(1), u"r1");
    // A failed store of the last record goes unreported.
    num = 2;
    EXPECT_TRUE(fu.ooReadFile(sb.textPath("r.dat"), 25, 3, num, list).isSuccess());
    EXPECT_EQ(list.at(1), u"r3");
}

// ---- Directory count

TEST(FileUtilityDir, CountsPlainFilesMatchingThePattern) {
    Sandbox sb;
    FileUtility fu;
    const std::string d = sb.path("data");
    std::filesystem::create_directories(d + "/sub");
    for (const char* n : {"a.csv", "b.csv", "c.txt", ".hidden.csv", "d.csv.bak"})
        test::writeBytes(d + "/" + n, "x");
    test::writeBytes(d + "/ro.csv", "x");
    makeReadOnly(d + "/ro.csv");
    const Text td = fromUtf8(d);
#ifdef _WIN32
    // Hidden by its attribute here (a dot-name is hidden only on POSIX), and
    // names match without regard to case.
    ASSERT_TRUE(platform::setAttributes(fromUtf8(d + "/.hidden.csv"), platform::attr::kHidden));
    const int16_t upperCaseMatches = 3;
#else
    const int16_t upperCaseMatches = 0;
#endif
    const std::vector<std::pair<Text, int16_t>> cases = {
        {td + u"/", 5},
        {td + u"/*.csv", 3},
        {td + u"/*.*", 5},
        {td + u"/?.csv", 2},
        {td, 0},
        {td + u"/sub", 0},
        {td + u"/nothere/", 0},
        {td + u"/a.csv", 1},
        {td + u"/*.CSV", upperCaseMatches},
        {td + u"/*", 5},
    };
    for (const auto& [pattern, want] : cases) {
        SCOPED_TRACE(toUtf8(pattern));
        int16_t n = -1;
        expectResult(fu.numFileInDir(pattern, n), 0, kOk, eiINFORMATIONTYPE, u"numFileInDir",
                     u"FileUtility", u"orvcommon");
        EXPECT_EQ(n, want);
    }
    // A file marked system or hidden is not counted (on POSIX the mark lives
    // in an extended attribute, which not every file system keeps).
#ifdef _WIN32
    const bool marked =
        platform::setAttributes(fromUtf8(d + "/a.csv"), platform::attr::kSystem).ok();
#else
    const bool marked = ::setxattr((d + "/a.csv").c_str(), "user.DOSATTRIB", "0x4", 3, 0) == 0;
#endif
    if (marked) {
        int16_t n = 0;
        ASSERT_TRUE(fu.numFileInDir(td + u"/*.csv", n).isSuccess());
        EXPECT_EQ(n, 2);
    }
    int16_t n = 7;
    EXPECT_EQ(fu.numFileInDir(u"", n).numberInfo(), 5);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(logLines(sb), 1u);
}

#ifdef _WIN32
// Wine takes minutes to make 32768 files: there the listing is made up
// through the system-call seam, entry by entry as FindFirstFileW and
// FindNextFileW hand them out.
int gListed = 0, gListSize = 0;
BOOL WINAPI fakeFindNext(HANDLE, LPWIN32_FIND_DATAW d) {
    if (gListed >= gListSize) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *d = WIN32_FIND_DATAW{};
    d->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    swprintf(d->cFileName, MAX_PATH, L"%d", gListed++);
    return TRUE;
}
HANDLE WINAPI fakeFindFirst(LPCWSTR, LPWIN32_FIND_DATAW d) {
    gListed = 0;
    return fakeFindNext(nullptr, d) ? reinterpret_cast<HANDLE>(intptr_t{1}) : INVALID_HANDLE_VALUE;
}
BOOL WINAPI fakeFindClose(HANDLE) {
    return TRUE;
}
#endif

TEST(FileUtilityDir, The32768thFileOverflows) {
    Sandbox sb;
    FileUtility fu;
    const std::string d = sb.path("many");
    std::filesystem::create_directory(d);
#ifdef _WIN32
    struct Seam {
        Seam() {
            platform::setSystemCall("FindFirstFileW",
                                    reinterpret_cast<platform::SystemCall>(&fakeFindFirst));
            platform::setSystemCall("FindNextFileW",
                                    reinterpret_cast<platform::SystemCall>(&fakeFindNext));
            platform::setSystemCall("FindClose",
                                    reinterpret_cast<platform::SystemCall>(&fakeFindClose));
        }
        ~Seam() { platform::restoreSystemCalls(); }
    } seam;
    gListSize = 32768;
    const auto dropOne = [] { gListSize = 32767; };
#else
    for (int i = 0; i < 32768; ++i)
        test::writeBytes(d + "/" + std::to_string(i), "");
    const auto dropOne = [&] { std::filesystem::remove(d + "/0"); };
#endif
    int16_t n = 3;
    expectResult(fu.numFileInDir(fromUtf8(d + "/"), n), 6, standardMessage(6), eiERRORTYPE,
                 u"numFileInDir", u"FileUtility", u"orvcommon");
    EXPECT_EQ(n, 3);
    EXPECT_EQ(logLines(sb), 1u);
    dropOne();
    ASSERT_TRUE(fu.numFileInDir(fromUtf8(d + "/"), n).isSuccess());
    EXPECT_EQ(n, 32767);
}

// ---- File times

int64_t mtimeOf(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return static_cast<int64_t>(st.st_mtime);
}
int64_t atimeOf(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return static_cast<int64_t>(st.st_atime);
}
#ifdef _WIN32
// The C run time of Windows reports the creation time as st_ctime.
int64_t ctimeOf(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return static_cast<int64_t>(st.st_ctime);
}
#endif

TEST(FileUtilityTimes, SystemTimeConversion) {
    SYSTEMTIME st{1601, 1, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(systemTimeToFileTime(st), 0u);  // the epoch itself is the value 0
    st = SYSTEMTIME{1970, 1, 0, 1, 0, 0, 1, 0};
    EXPECT_EQ(systemTimeToFileTime(st), 116444736000000000ull + 10000000ull);
    st = SYSTEMTIME{2024, 2, 0, 29, 23, 59, 59, 0};
    EXPECT_NE(systemTimeToFileTime(st), 0u);
    for (SYSTEMTIME bad :
         {SYSTEMTIME{2023, 2, 0, 29, 0, 0, 0, 0}, SYSTEMTIME{2024, 13, 0, 1, 0, 0, 0, 0},
          SYSTEMTIME{2024, 3, 0, 32, 0, 0, 0, 0}, SYSTEMTIME{2024, 3, 0, 1, -1, 0, 0, 0},
          SYSTEMTIME{2024, 3, 0, 1, 24, 0, 0, 0}, SYSTEMTIME{1600, 3, 0, 1, 0, 0, 0, 0},
          SYSTEMTIME{2024, 3, 0, 1, 0, 60, 0, 0}, SYSTEMTIME{-1, 3, 0, 1, 0, 0, 0, 0}})
        EXPECT_EQ(systemTimeToFileTime(bad), 0u);
}

TEST(FileUtilityTimes, HourShiftAndUnchangedTimes) {
    Sandbox sb;
    const std::string p = sb.path("t.txt");
    test::writeBytes(p, "content");
    const int64_t base = 1710498600;  // 15 March 2024 10:30:00 UTC
    struct Case {
        int16_t utc, daylight;
        int hour, day;
        int64_t expect;  // 0: unchanged
    } cases[] = {
        {0, 0, 10, 15, base},
        {-60, 1, 14, 15, base + 3600 * 2},   // 14:00 becomes 12:00
        {-90, 0, 11, 15, base},              // -90 minutes count as -1 hour
        {120, 0, 23, 15, base + 3600 * 15},  // 01:30 on 16 March
        {120, 0, 23, 31, 0},                 // day 32: no date
        {0, 1, 0, 15, 0},                    // hour -1: no date
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hour);
        struct utimbuf old {};
        old.actime = old.modtime = 1000000000;
        ASSERT_EQ(::utime(p.c_str(), &old), 0);
        FileUtility fu;
        fu.setUtcoffset(c.utc);
        fu.setDaylightoffset(c.daylight);
        Variant name = fromUtf8(p), y = int16_t{2024}, m = int16_t{3}, dow = int16_t{0},
                d = int16_t{static_cast<int16_t>(c.day)}, h = int16_t{static_cast<int16_t>(c.hour)},
                mi = int16_t{30}, s = Text(u"0");
        ErrInfo r = fu.UpdateFileTime(name, y, m, dow, d, h, mi, s);
        ErrInfo cleared;
        cleared.clear();
        EXPECT_EQ(r, cleared);
        const int64_t want = c.expect ? c.expect : 1000000000;
        EXPECT_EQ(mtimeOf(p), want);
        EXPECT_EQ(atimeOf(p), want);
#ifdef _WIN32
        // Windows keeps a creation time, and it is set too.
        if (c.expect) {
            EXPECT_EQ(ctimeOf(p), want);
        }
#endif
    }
    EXPECT_EQ(test::readBytes(p), "content");
    EXPECT_EQ(logLines(sb), 0u);
}

TEST(FileUtilityTimes, Failures) {
    Sandbox sb;
    test::writeBytes(sb.path("t.txt"), "x");
    test::writeBytes(sb.path("ro.txt"), "x");
    makeReadOnly(sb.path("ro.txt"));
    std::filesystem::create_directory(sb.path("dir"));
    FileUtility fu;
    Variant ok = int16_t{1};
    // Not opened: eiABORTED, not logged, whatever the other arguments hold.
    for (const char* n : {"missing.txt", "ro.txt", "dir"}) {
        Variant name = Text(fromUtf8(sb.path(n))), bad = Null{};
        expectResult(fu.UpdateFileTime(name, bad, ok, ok, ok, ok, ok, ok), eiABORTED,
                     u"Could not open file " + fromUtf8(sb.path(n)), eiERRORTYPE, u"UpdateFileTime",
                     u"FileUtility", u"orvcommon");
    }
    EXPECT_EQ(logLines(sb), 0u);
    Variant name = fromUtf8(sb.path("t.txt"));
    struct Case {
        Variant year, hour;
        int16_t utc;
        int32_t number;
    } cases[] = {
        {Null{}, int16_t{1}, 0, 94},
        {Text(u"abc"), int16_t{1}, 0, 13},
        {int32_t{40000}, int16_t{1}, 0, 6},
        {int16_t{2024}, int16_t{32767}, 60, 6},
    };
    size_t logged = 0;
    for (auto& c : cases) {
        fu.setUtcoffset(c.utc);
        expectResult(fu.UpdateFileTime(name, c.year, ok, ok, ok, c.hour, ok, ok), c.number,
                     standardMessage(c.number), eiERRORTYPE, u"UpdateFileTime", u"FileUtility",
                     u"orvcommon");
        EXPECT_EQ(logLines(sb), ++logged);
    }
    Variant nullName = Null{};
    EXPECT_EQ(fu.UpdateFileTime(nullName, ok, ok, ok, ok, ok, ok, ok).numberInfo(), 94);
}

}  // namespace
}  // namespace orv
