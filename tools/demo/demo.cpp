// A first look at what the library writes: a settings store and a log folder
// in a temporary directory, a failure result written to the main log and to
// a named log, and the two files' contents.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/registry_as_text.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void show(const std::string& title, const std::string& path) {
    std::cout << "---- " << title << " (" << path << ")\n";
    std::string bytes = slurp(path);
    // Show line ends as the bytes they are.
    for (char c : bytes) {
        if (c == '\r')
            std::cout << "<CR>";
        else if (c == '\n')
            std::cout << "<LF>\n";
        else
            std::cout << c;
    }
}

}  // namespace

// ---- CSV tables: write a small table, read it back, print it.
#include "orvcommon/files/file_utility.hpp"

namespace {

void showCsvRoundTrip(const std::string& base) {
    using namespace orv;
    const std::vector<std::vector<Text>> rows = {
        {u"Codice", u"Descrizione", u"Prezzo", u"Data"},
        {u"A1", u"Vite; acciaio", u"0.25", u"12/31/2024"},
        {u"B2", u"Dado \"M6\"", u"1250", u""},
    };
    Array<Text> table({1, 4}, {1, 3});
    for (int32_t r = 1; r <= 3; ++r)
        for (int32_t c = 1; c <= 4; ++c)
            table.at(c, r) = rows[static_cast<size_t>(r - 1)][static_cast<size_t>(c - 1)];

    FileUtility files;
    const Text path = fromUtf8(base + "/table.csv");
    ErrInfo written = files.writeCsvFileFromArray(path, table, 3, 4);
    std::cout << "\nwriteCsvFileFromArray: " << toUtf8(written.descriptionInfo()) << "\n";
    show("CSV file", toUtf8(path));

    Array<Text> back;
    int32_t lines = 0;
    ErrInfo read = files.getArrayFromCsvFile(path, back, 4, lines);
    std::cout << "getArrayFromCsvFile: isSuccess " << (read.isSuccess() ? "true" : "false") << ", "
              << lines << " lines\n";
    for (int32_t r = 1; r <= back.ubound(2); ++r) {
        std::cout << "  row " << r << ":";
        for (int32_t c = 1; c <= back.ubound(1); ++c)
            std::cout << " [" << toUtf8(back.at(c, r)) << "]";
        std::cout << "\n";
    }
}

}  // namespace

int main() {
    using namespace orv;
    char tmpl[] = "/tmp/orvcommon-demo-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = dir;
    const std::string store = base + "/registry.reg";
    setenv("ORV_REGISTRY", store.c_str(), 1);

    // Log settings: the main log goes to the temporary folder.
    (void)platform::writeValue(
        u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
        {u"Path", platform::kRegSz, platform::regStringData(fromUtf8(base))});
    (void)platform::writeValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
                               {u"Trace", platform::kRegDword, platform::regDwordData(3)});
    show("settings store", store);

    ErrInfo failure;
    failure.fill(eiREGISTRYERROR, u"Error in writing registry:HKEY_LOCAL_MACHINE", eiERRORTYPE,
                 u"saveInfoForConnection", Variant(Text(u"RegistryUtility")),
                 Variant(Text(u"orvcommon")));
    std::cout << "\nisSuccess: " << (failure.isSuccess() ? "true" : "false") << "\n";
    std::cout << "getAttrEqualValue: " << toUtf8(failure.getAttrEqualValue()) << "\n\n";

    const std::string named = base + "/application.log";
    ErrInfo written = failure.writeLog(Variant(fromUtf8(named)));
    std::cout << "writeLog returned number " << written.numberInfo() << ", location "
              << toUtf8(written.locationInfo()) << "\n\n";

    // An information line reaches the named file at trace level 3, never the main log.
    ErrInfo info;
    info.fill(eiSUCCESFULL, u"Operazione eseguita correttamente", eiINFORMATIONTYPE, u"demo",
              Variant(Text(u"Demo")), Variant(Text(u"orvcommon")));
    info.writeLog(Variant(fromUtf8(named)));

    show("main log", toUtf8(failure.logFolder()) + "orvmira.log");
    show("named log", named);
    showCsvRoundTrip(base);
    std::cout << "\n(files left in " << base << ")\n";
    return 0;
}

// ---- Funzioni: a compact date-time as XML and as the three SQL literals.
#include "orvcommon/core/regional.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/results/enums.hpp"

namespace {
const bool kFunzioniDemo = [] {
    std::atexit([] {
        using namespace orv;
        const Text compact = u"20230506102030";
        std::cout << "\n---- Funzioni: compact date-time " << toUtf8(compact) << "\n";
        for (const auto& [name, regional] :
             {std::pair<const char*, Regional>{"Italian", Regional::italian()},
              std::pair<const char*, Regional>{"English", Regional::english()}}) {
            ScopedRegional scoped(regional);
            Funzioni f;
            std::cout << name << " settings\n";
            std::cout << "  XML:        " << toUtf8(f.getDate2Xml(compact)) << "\n";
            const char* engines[] = {"Oracle:     ", "Access:     ", "SQL Server: "};
            for (int32_t engine = dbengineORACLE; engine <= dbengineSQLSERVER; ++engine)
                std::cout << "  " << engines[engine - 1]
                          << toUtf8(*f.getDataForDB(engine, Variant(compact)).text()) << "\n";
        }
    });
    return true;
}();
}  // namespace
