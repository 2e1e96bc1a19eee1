// Differential check of the CSV file reader: arbitrary file bytes (first byte
// the table width, second the block size, see csvFileInput) read by the
// streaming reader and by the line-by-line composition of the public line
// reader and line splitter must give the same table, line count, result
// object and log lines. The text-line splitter on the same bytes: the lines
// plus their line ends rebuild the input exactly, and no line holds a CR. The
// record reader on the same file (the first bytes choose the record length,
// the start and the count): the stored count stays within what was asked.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "orvcommon/files/csv_table.hpp"
#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/files/line_reader.hpp"
#include "support/csv_reference.hpp"

namespace {

std::string takeLog(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(path);
    return text;
}

void checkLines(std::string_view bytes) {
    std::string rebuilt;
    size_t seen = 0;
    const size_t count = orv::files::forEachLine(bytes, [&](std::string_view line) {
        if (line.find('\r') != std::string_view::npos) std::abort();
        rebuilt.append(line);
        ++seen;
        // Whatever line end followed this line in the input.
        if (rebuilt.size() < bytes.size() && bytes[rebuilt.size()] == '\r') {
            rebuilt.push_back('\r');
            if (rebuilt.size() < bytes.size() && bytes[rebuilt.size()] == '\n')
                rebuilt.push_back('\n');
        }
    });
    if (count != seen || count != orv::files::countLines(bytes) || rebuilt != bytes) std::abort();
}

void checkRecords(const orv::Text& path, const uint8_t* data, size_t size) {
    if (size < 3) return;
    static const int16_t lengths[] = {20,  25,  125, 150, 160, 207, 247,
                                      400, 450, 962, 970, 30,  -2,  0};
    const int16_t len = lengths[data[0] % std::size(lengths)];
    const int32_t start = static_cast<int32_t>(data[1] % 16) - 2;
    int16_t count = static_cast<int16_t>(static_cast<int32_t>(data[2] % 20) - 2);
    const int16_t asked = count;
    orv::Array<orv::Text> list({1, 8});
    orv::FileUtility().ooReadFile(path, len, start, count, list);
    if (count > asked && asked >= 0) std::abort();
    for (const orv::Text& s : list.storage())
        if (s.size() > 970) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    static const fuzz::QuietLog quiet;
    static const std::string folder = toUtf8(quiet.folder());
    static const std::string file = folder + "input.csv";
    static const std::string log = folder + "orvmira.log";
    const test::CsvFileInput in = test::csvFileInput(data, size);
    checkLines(in.bytes);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << in.bytes;
    const Text path = fromUtf8(file);
    takeLog(log);

    Array<Text> want;
    int32_t wantLines = -7;
    const ErrInfo wantResult = test::readTableLineByLine(path, want, in.width, wantLines);
    const std::string wantLog = takeLog(log);

    Array<Text> got;
    int32_t gotLines = -7;
    const ErrInfo gotResult = files::readCsvTable(path, got, in.width, gotLines, in.blockSize);
    if (!(gotResult == wantResult) || gotLines != wantLines || !(got == want) ||
        takeLog(log) != wantLog)
        std::abort();
    checkRecords(path, data, size);  // its log lines go before the next input
    return 0;
}
