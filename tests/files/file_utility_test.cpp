#ifdef _WIN32
// Before the library's headers: none of their names may collide with the
// system's macros (HKEY_LOCAL_MACHINE and the other root keys among them).
#include <windows.h>
#endif

#include "orvcommon/files/file_utility.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "orvcommon/core/regional.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/paths.hpp"
#include "orvcommon/platform/system_calls.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

using test::cleared;
using test::Sandbox;
namespace fs = std::filesystem;

// Takes every write permission away: the read-only attribute on Windows.
void makeReadOnly(const std::string& p) {
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// The whole result object: number 0 is the success text as information, any
// other number an error with its standard message unless one is given; a
// result that names a class names the process too.
void expectResult(const ErrInfo& r, int32_t number, TextView location,
                  TextView cls = u"FileUtility", const Text& description = {}) {
    EXPECT_EQ(r.numberInfo(), number);
    EXPECT_EQ(r.descriptionInfo(), !description.empty() ? description
                                   : number             ? standardMessage(number)
                                            : Text(u"Operazione eseguita correttamente"));
    EXPECT_EQ(r.typeInfo(), number ? eiERRORTYPE : eiINFORMATIONTYPE);
    EXPECT_EQ(r.locationInfo(), location);
    EXPECT_EQ(r.classInfo(), cls);
    EXPECT_EQ(r.processInfo(), cls.empty() ? TextView() : TextView(u"orvcommon"));
}

// Overwriting replaces the attributes, read-only among them.
TEST(FileUtilityText, WriteAddsCrLfInCodePage1252AndReadsBack) {
    Sandbox sb;
    FileUtility fu;
    const Text path = sb.textPath("a.txt");
    ASSERT_TRUE(fu.writeFile(path, 1 | 2 | 32, u"one").isSuccess());
    EXPECT_EQ(platform::getAttributes(path).valueOr(0) & 1, 1);
    const std::pair<Text, std::string> cases[] = {
        {u"abc", "abc\r\n"}, {u"", "\r\n"}, {u"\u20ac\u00e0", "\x80\xe0\r\n"}};
    for (const auto& [text, bytes] : cases) {
        expectResult(fu.writeFile(path, 0, text), 0, u"writeFile");
        EXPECT_EQ(test::readBytes(sb.path("a.txt")), bytes);
        Text read = u"old";
        EXPECT_EQ(fu.readFile(path, read), ErrInfo());  // unfilled on success
        EXPECT_EQ(read, text + u"\r\n");
    }
    EXPECT_EQ(platform::getAttributes(path).valueOr(-1), test::underWine() ? 32 : 0);
    for (const std::string& bytes : {std::string("\x00\xff\x41", 3), std::string()}) {
        test::writeBytes(sb.path("b.bin"), bytes);
        Variant v;
        EXPECT_EQ(fu.readBinaryFile(sb.textPath("b.bin"), v), ErrInfo());
        EXPECT_EQ(v, Variant(ByteString{bytes}));
    }
    EXPECT_EQ(sb.logLines(), 0u);
}

#ifdef _WIN32
// Windows keeps every attribute bit in the file system, and hidden and system
// on folders too (Wine adds the archive bit to every regular file, and keeps
// neither read-only nor archive on a folder).
TEST(FileUtilityText, EveryAttributeBitIsKept) {
    Sandbox sb;
    test::writeBytes(sb.path("x.txt"), "x");
    fs::create_directory(sb.path("d"));
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
#else
// user.DOSATTRIB and hidden dot-names are how POSIX keeps the attribute bits.
TEST(FileUtilityText, DosAttributeTextFormAndDotNames) {
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
}

// Without TMPDIR work files (the PDF stream's among them) go to a folder of
// the user's own: the runtime folder when only its owner may write there,
// else one made for the user alone under /tmp.
TEST(FileUtilityPaths, TheTemporaryFolderIsTheUsersOwn) {
    test::Sandbox box;
    const std::string run = box.path("run");
    ASSERT_EQ(::mkdir(run.c_str(), 0700), 0);
    test::ScopedEnv noTmp("TMPDIR", nullptr), runtime("XDG_RUNTIME_DIR", run.c_str());
    EXPECT_EQ(platform::tempFolder(), fromUtf8(run + "/"));
    ASSERT_EQ(::chmod(run.c_str(), 0777), 0);
    const std::string own = "/tmp/orvcommon-" + std::to_string(::geteuid());
    EXPECT_EQ(platform::tempFolder(), fromUtf8(own + "/"));
    struct stat st {};
    ASSERT_EQ(::lstat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & (S_IFMT | 0022), S_IFDIR);  // a folder only its owner writes
}
#endif

TEST(FileUtilityText, ReadAndWriteFailuresAreTrappedAndLoggedOnce) {
    // Paths in a sandbox with the folder "sub" and the file "plain.txt", and
    // the error of reading, and of writing (0: the write succeeds).
    std::vector<std::tuple<std::string, int32_t, int32_t>> cases = {
        {"nope.txt", 53, 0}, {"nodir/nope.txt", 76, 76}, {"sub", 75, 75}, {"plain.txt/x", 76, 76}};
    // Creating a file in sysfs is refused even to root.
    if (test::exists("/sys/kernel")) cases.push_back({"/sys/kernel/orv-new.txt", 53, 75});
    for (const auto& [name, readNumber, writeNumber] : cases) {
        SCOPED_TRACE(name);
        Sandbox sb;
        fs::create_directory(sb.path("sub"));
        test::writeBytes(sb.path("plain.txt"), "x");
        const Text path = fromUtf8(name.front() == '/' ? name : sb.path(name));
        FileUtility fu;
        Text text = u"keep";
        expectResult(fu.readFile(path, text), readNumber, u"readFile");
        Variant bin = Text(u"keep");
        expectResult(fu.readBinaryFile(path, bin), readNumber, u"readBinaryFile");
        Array<Text> rows({1, 3}), table;
        int32_t n = 99, cols = 7;
        expectResult(fu.readAndLoadInArrayByCRLF(path, rows, n), readNumber,
                     u"readAndLoadInArrayByCRLF", u"Utilita");
        // The CSV reader logs the line reader's failure, then its own (error 9).
        expectResult(fu.getArrayFromCsvFile(path, table, 3, cols), 9, u"getArrayFromCsvFile");
        if (writeNumber) expectResult(fu.writeFile(path, 0, u"x"), writeNumber, u"writeFile");
        EXPECT_EQ(sb.logLines(), writeNumber ? 6u : 5u);
        EXPECT_EQ(text, u"keep");
        EXPECT_EQ(std::make_pair(n, cols), std::make_pair(99, 0));
        EXPECT_EQ(bin, Variant(Text(u"keep")));
        EXPECT_EQ(rows, Array<Text>({1, 1}));
    }
}

Array<Text> table(const std::vector<std::vector<Text>>& rows) {
    Array<Text> t({1, static_cast<int32_t>(rows.empty() ? 0 : rows[0].size())},
                  {1, static_cast<int32_t>(rows.size())});
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            t.at(static_cast<int32_t>(c + 1), static_cast<int32_t>(r + 1)) = rows[r][c];
    return t;
}

TEST(FileUtilityCsv, WrittenFormAndRoundTrip) {
    Sandbox sb;
    ScopedRegional it(Regional::italian());
    FileUtility fu;
    Array<Text> t = table({{u"abc", u"12", u"", u"31/12/2024", u"say \"hi\""},
                           {u"", u"  ", u"", u"", u""},
                           {u"   ", u"-1,5", u"12:30", u"x;y", u"1.000"}});
    // The separator argument is not used; an empty line is left out, so with no column every
    // line is, however many rows (the largest bound once looped for ever).
    const std::tuple<int32_t, int32_t, Text> forms[] = {
        {3, 5, u"\"abc\";12;;31/12/2024;\"say \"\"hi\"\"\"\r\n   ;-1,5;12:30;\"x;y\";1.000\r\n"},
        {0, 5, u""},
        {INT32_MAX, 0, u""}};
    for (const auto& [rows, cols, want] : forms) {
        Text out = u"junk";
        EXPECT_EQ(fu.getCsvStringFromArray(out, t, rows, cols, u","), cleared());
        EXPECT_EQ(out, want);
    }
    ASSERT_TRUE(fu.writeCsvFileFromArray(sb.textPath("e.csv"), t, INT32_MAX, 0).isSuccess());
    EXPECT_EQ(test::readBytes(sb.path("e.csv")), "\r\n");

    std::vector<std::vector<Text>> rows = {{u"abc", u"12", u"", u"31/12/2024", u"say \"hi\""},
                                           {u"  sp  ", u"x;y", u"\"q\"", u"-3,25", u"   "},
                                           {u"\u00e8\u20ac", u"a\"b", u"0", u"12:30", u"end"}};
    t = table(rows);
    expectResult(fu.writeCsvFileFromArray(sb.textPath("t.csv"), t, 3, 5), 0, u"writeFile");
    EXPECT_EQ(platform::getAttributes(sb.textPath("t.csv")).valueOr(-1) & 1, 0);
    Array<Text> back;
    int32_t lines = -1;
    EXPECT_EQ(fu.getArrayFromCsvFile(sb.textPath("t.csv"), back, 5, lines), cleared());
    EXPECT_EQ(lines, 3);
    rows.push_back(std::vector<Text>(5));  // the file ends with an empty line
    EXPECT_EQ(back, table(rows));
    EXPECT_EQ(sb.logLines(), 0u);
}

TEST(FileUtilityCsv, BadTablesFailWithError9AndKeepCompletedLines) {
    Sandbox sb;
    FileUtility fu;
    Array<Text> one({1, 2}), small = table({{u"a", u"b"}, {u"c", u"d"}}), none;
    // The table, the rows and columns asked for, the text made before the failure.
    const std::tuple<Array<Text>*, int32_t, int32_t, Text> cases[] = {
        {&one, 1, 1, u""},
        {&none, 1, 1, u""},
        {&small, 3, 2, u"\"a\";\"b\"\r\n\"c\";\"d\"\r\n"},
        {&small, 1, 3, u""}};
    size_t logged = 0;
    for (const auto& [t, rows, cols, partial] : cases) {
        Text out;
        expectResult(fu.getCsvStringFromArray(out, *t, rows, cols, u";"), 9,
                     u"getCsvStringFromArray");
        EXPECT_EQ(out, partial);
        EXPECT_EQ(sb.logLines(), ++logged);
        // writeCsvFileFromArray passes the step's object on and writes nothing.
        EXPECT_EQ(fu.writeCsvFileFromArray(sb.textPath("no.csv"), *t, rows, cols).locationInfo(),
                  u"getCsvStringFromArray");
        EXPECT_FALSE(test::exists(sb.path("no.csv")));
        EXPECT_EQ(sb.logLines(), ++logged);
    }
}

std::string records(int n, int len) {
    std::string out;
    for (int i = 1; i <= n; ++i) {
        std::string rec = "r" + std::to_string(i);
        rec.resize(static_cast<size_t>(len), ' ');
        out += rec + "\r\n";
    }
    return out;
}

// The record count rules are checked through ooReadFile: 220, 42 and 0 bytes in
// records of 20 read, 65 bytes do not, 62 in records of 30 pass the count.
TEST(FileUtilityRecords, ReadsCleanedRecordsFromAStart) {
    Sandbox sb;
    FileUtility fu;
    std::string ten = records(10, 20);
    ten.replace(22 * 8 + 2, 3, "\x01\x93z");  // record 9: code 1 and a curly quote
    const std::string blank(20, ' ');
    // The file, the first record asked for, the count asked for and read, the records stored.
    const std::tuple<std::string, int32_t, int16_t, int16_t, std::vector<Text>> cases[] = {
        {ten, 8, 5, 3, {u"r8", u"r9  z", u"r10"}},
        {ten, 1, 2, 2, {u"r1", u"r2"}},
        {ten, 11, 5, 0, {}},
        {ten, 10, 1, 1, {u"r10"}},
        {blank + "\r\n" + blank, 1, 5, 2, {u" ", u" "}},  // no last separator
        {"", 1, 5, 0, {}},
    };
    for (const auto& [body, start, asked, expectNum, stored] : cases) {
        test::writeBytes(sb.path("r.dat"), body);
        Array<Text> list({1, 5});
        int16_t num = asked;
        expectResult(fu.ooReadFile(sb.textPath("r.dat"), 20, start, num, list), 0, u"ooReadFile");
        EXPECT_EQ(num, expectNum) << start;
        std::vector<Text> want = stored;
        want.resize(5);
        EXPECT_EQ(list.storage(), want);
    }
    EXPECT_EQ(sb.logLines(), 0u);
}

TEST(FileUtilityRecords, Failures) {
    Sandbox sb;
    FileUtility fu;
    test::writeBytes(sb.path("r.dat"), records(3, 20));
    test::writeBytes(sb.path("65.dat"), std::string(65, 'x'));
    test::writeBytes(sb.path("62.dat"), std::string(62, 'x'));
    fs::create_directory(sb.path("dir"));
    // The file, record length, start, number, description and class. An empty
    // description is the standard message with the file's name, logged once.
    const std::tuple<const char*, int16_t, int32_t, int32_t, Text, Text> cases[] = {
        {"65.dat", 20, 1, eiABORTED, u"File length [65] not compatible with string length[20]",
         u""},
        {"65.dat", 30, 1, eiABORTED, u"File length [65] not compatible with string length[30]",
         u""},
        {"62.dat", 30, 1, eiABORTED, u"Lenght string not supported[30] supported type are: 20, 25",
         u"FileUtility"},
        {"r.dat", 20, 0, 63, standardMessage(63), u""},
        {"missing.dat", 20, 1, 53, u"", u"FileUtility"},
        {"dir", 20, 1, 75, u"", u"FileUtility"},
        {"r.dat", 32766, 1, 6, u"", u"FileUtility"},  // overflow
        {"r.dat", -2, 1, 11, u"", u"FileUtility"},    // division by zero
    };
    for (const auto& [name, len, start, number, description, cls] : cases) {
        SCOPED_TRACE(len);
        const size_t before = sb.logLines();
        const Text file = sb.textPath(name);
        Array<Text> list({1, 5});
        int16_t num = 2;
        expectResult(
            fu.ooReadFile(file, len, start, num, list), number, u"ooReadFile", cls,
            description.empty() ? standardMessage(number) + u" file [" + file + u"]" : description);
        EXPECT_EQ(sb.logLines() - before, description.empty() ? 1u : 0u);
    }
    // An undersized list fails at the next record; a failed store of the
    // last record goes unreported.
    test::writeBytes(sb.path("r.dat"), records(4, 25));
    Array<Text> list({1, 1});
    int16_t num = 3;
    expectResult(fu.ooReadFile(sb.textPath("r.dat"), 25, 1, num, list), 9, u"ooReadFile", u"");
    EXPECT_EQ(list.at(1), u"r1");
    num = 2;
    EXPECT_TRUE(fu.ooReadFile(sb.textPath("r.dat"), 25, 3, num, list).isSuccess());
    EXPECT_EQ(list.at(1), u"r3");
}

TEST(FileUtilityDir, CountsPlainFilesMatchingThePattern) {
    Sandbox sb;
    FileUtility fu;
    const std::string d = sb.path("data");
    fs::create_directories(d + "/sub");
    for (const char* n : {"a.csv", "b.csv", "c.txt", ".hidden.csv", "d.csv.bak", "ro.csv"})
        test::writeBytes(d + "/" + n, "x");
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
    const std::pair<Text, int16_t> cases[] = {
        {u"/", 5},         {u"/*.csv", 3}, {u"/*.*", 5},
        {u"/?.csv", 2},    {u"", 0},       {u"/sub", 0},
        {u"/nothere/", 0}, {u"/a.csv", 1}, {u"/*.CSV", upperCaseMatches},
        {u"/*", 5},
    };
    for (const auto& [pattern, want] : cases) {
        int16_t n = -1;
        expectResult(fu.numFileInDir(td + pattern, n), 0, u"numFileInDir");
        EXPECT_EQ(n, want) << toUtf8(pattern);
    }
    // A file marked system or hidden is not counted (on POSIX the mark lives
    // in an extended attribute, which not every file system keeps).
#ifdef _WIN32
    if (platform::setAttributes(fromUtf8(d + "/a.csv"), platform::attr::kSystem).ok()) {
#else
    if (::setxattr((d + "/a.csv").c_str(), "user.DOSATTRIB", "0x4", 3, 0) == 0) {
#endif
        int16_t n = 0;
        ASSERT_TRUE(fu.numFileInDir(td + u"/*.csv", n).isSuccess());
        EXPECT_EQ(n, 2);
    }
    int16_t n = 7;
    EXPECT_EQ(fu.numFileInDir(u"", n).numberInfo(), 5);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(sb.logLines(), 1u);
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
    fs::create_directory(d);
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
    const auto dropOne = [&] { fs::remove(d + "/0"); };
#endif
    int16_t n = 3;
    expectResult(fu.numFileInDir(fromUtf8(d + "/"), n), 6, u"numFileInDir");
    EXPECT_EQ(n, 3);
    EXPECT_EQ(sb.logLines(), 1u);
    dropOne();
    ASSERT_TRUE(fu.numFileInDir(fromUtf8(d + "/"), n).isSuccess());
    EXPECT_EQ(n, 32767);
}

TEST(FileUtilityTimes, SystemTimeConversion) {
    EXPECT_EQ(systemTimeToFileTime({1601, 1, 0, 1, 0, 0, 0, 0}), 0u);  // the epoch is 0
    EXPECT_EQ(systemTimeToFileTime({1970, 1, 0, 1, 0, 0, 1, 0}),
              116444736000000000ull + 10000000ull);
    EXPECT_NE(systemTimeToFileTime({2024, 2, 0, 29, 23, 59, 59, 0}), 0u);
    for (SYSTEMTIME bad :
         {SYSTEMTIME{2024, 13, 0, 1, 0, 0, 0, 0}, SYSTEMTIME{2024, 3, 0, 1, -1, 0, 0, 0},
          SYSTEMTIME{2024, 3, 0, 1, 24, 0, 0, 0}, SYSTEMTIME{1600, 3, 0, 1, 0, 0, 0, 0},
          SYSTEMTIME{2024, 3, 0, 1, 0, 60, 0, 0}, SYSTEMTIME{-1, 3, 0, 1, 0, 0, 0, 0}})
        EXPECT_EQ(systemTimeToFileTime(bad), 0u);
    // Every month of a common year ends where the standard calendar says.
    for (unsigned m = 1; m <= 12; ++m) {
        using namespace std::chrono;
        const auto last = static_cast<int16_t>(
            static_cast<unsigned>(year_month_day_last(year(2023), month_day_last(month(m))).day()));
        const auto mm = static_cast<int16_t>(m);
        EXPECT_NE(systemTimeToFileTime({2023, mm, 0, last, 0, 0, 0, 0}), 0u) << m;
        EXPECT_EQ(systemTimeToFileTime({2023, mm, 0, static_cast<int16_t>(last + 1), 0, 0, 0, 0}),
                  0u)
            << m;
    }
}

TEST(FileUtilityTimes, HourShiftAndUnchangedTimes) {
    Sandbox sb;
    const std::string p = sb.path("t.txt");
    test::writeBytes(p, "content");
    const int64_t base = 1710498600, old = 1000000000;  // 15 March 2024 10:30:00 UTC
    // Offsets in minutes and for daylight saving, hour, day, the time set (0: unchanged).
    const std::tuple<int16_t, int16_t, int16_t, int16_t, int64_t> cases[] = {
        {0, 0, 10, 15, base},
        {-60, 1, 14, 15, base + 3600 * 2},   // 14:00 becomes 12:00
        {-90, 0, 11, 15, base},              // -90 minutes count as -1 hour
        {120, 0, 23, 15, base + 3600 * 15},  // 01:30 on 16 March
        {120, 0, 23, 31, 0},                 // day 32: no date
        {0, 1, 0, 15, 0},                    // hour -1: no date
    };
    for (const auto& [utc, daylight, hour, day, expect] : cases) {
        SCOPED_TRACE(hour);
        struct utimbuf times {};
        times.actime = times.modtime = old;
        ASSERT_EQ(::utime(p.c_str(), &times), 0);
        FileUtility fu;
        fu.setUtcoffset(utc);
        fu.setDaylightoffset(daylight);
        Variant name = fromUtf8(p), y = int16_t{2024}, m = int16_t{3}, dow = int16_t{0}, d = day,
                h = hour, mi = int16_t{30}, s = Text(u"0");
        EXPECT_EQ(fu.UpdateFileTime(name, y, m, dow, d, h, mi, s), cleared());
        struct stat st {};
        ASSERT_EQ(::stat(p.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, expect ? expect : old);
        EXPECT_EQ(st.st_atime, expect ? expect : old);
#ifdef _WIN32
        // Windows keeps a creation time (st_ctime in its C run time), and it is set too.
        if (expect) {
            EXPECT_EQ(st.st_ctime, expect);
        }
#endif
    }
    EXPECT_EQ(test::readBytes(p), "content");
    EXPECT_EQ(sb.logLines(), 0u);
}

TEST(FileUtilityTimes, Failures) {
    Sandbox sb;
    test::writeBytes(sb.path("t.txt"), "x");
    test::writeBytes(sb.path("ro.txt"), "x");
    makeReadOnly(sb.path("ro.txt"));
    fs::create_directory(sb.path("dir"));
    FileUtility fu;
    Variant ok = int16_t{1}, null = Null{};
    // Not opened: eiABORTED, not logged, whatever the other arguments hold.
    for (const char* n : {"missing.txt", "ro.txt", "dir"}) {
        Variant name = sb.textPath(n);
        expectResult(fu.UpdateFileTime(name, null, ok, ok, ok, ok, ok, ok), eiABORTED,
                     u"UpdateFileTime", u"FileUtility", u"Could not open file " + sb.textPath(n));
    }
    EXPECT_EQ(sb.logLines(), 0u);
    Variant name = sb.textPath("t.txt");
    // Year, hour, offset in minutes, the error.
    const std::tuple<Variant, Variant, int16_t, int32_t> cases[] = {
        {Null{}, int16_t{1}, 0, 94},
        {Text(u"abc"), int16_t{1}, 0, 13},
        {int32_t{40000}, int16_t{1}, 0, 6},
        {int16_t{2024}, int16_t{32767}, 60, 6},
    };
    size_t logged = 0;
    for (auto [year, hour, utc, number] : cases) {
        fu.setUtcoffset(utc);
        expectResult(fu.UpdateFileTime(name, year, ok, ok, ok, hour, ok, ok), number,
                     u"UpdateFileTime");
        EXPECT_EQ(sb.logLines(), ++logged);
    }
    EXPECT_EQ(fu.UpdateFileTime(null, ok, ok, ok, ok, ok, ok, ok).numberInfo(), 94);
}

}  // namespace
}  // namespace orv
