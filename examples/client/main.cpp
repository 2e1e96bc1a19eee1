// A program outside the library: writes a small CSV table, reads it back and
// prints the result object of each step. Built against the installed library
// with find_package (CMakeLists.txt here) or with pkg-config:
//   c++ -std=c++20 main.cpp $(pkg-config --cflags --libs orvcommon)
#include <orvcommon/files/file_utility.hpp>
#include <orvcommon/version.hpp>

#include <iostream>

using namespace orv;

static void show(const char* step, const ErrInfo& r) {
    std::cout << step << ": numberInfo=" << r.numberInfo() << " descriptionInfo=\""
              << toUtf8(r.descriptionInfo()) << "\" typeInfo=" << r.typeInfo() << " locationInfo=\""
              << toUtf8(r.locationInfo()) << "\"\n";
}

int main(int argc, char** argv) {
    const Text file = fromUtf8(argc > 1 ? argv[1] : "prices.csv");
    std::cout << "orvcommon " << ORVCOMMON_VERSION_STRING << "\n";

    // A table is (column, row): two columns, three rows.
    Array<Text> table(Bounds{1, 2}, Bounds{1, 3});
    table.at(1, 1) = u"Item", table.at(2, 1) = u"Price";
    table.at(1, 2) = u"Apple", table.at(2, 2) = u"12";
    table.at(1, 3) = u"Pear; Williams", table.at(2, 3) = u"7";

    FileUtility files;
    const ErrInfo written = files.writeCsvFileFromArray(file, table, 3, 2);
    show("write", written);

    Array<Text> back;
    int32_t lines = 0;
    const ErrInfo read = files.getArrayFromCsvFile(file, back, 2, lines);
    show("read", read);
    for (int32_t row = 1; row <= lines; ++row)
        std::cout << "  " << toUtf8(back.at(1, row)) << " | " << toUtf8(back.at(2, row)) << "\n";
    return written.isSuccess() && read.isSuccess() && lines == 3 ? 0 : 1;
}
