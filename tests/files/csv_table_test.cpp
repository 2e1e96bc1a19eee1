// The streaming table reader against the line-by-line composition of the
// public line reader and line splitter, and the line reader against the rules
// written out one character at a time: generated files and every block size
// from one byte up (the fuzz target draws the rest).
#include "orvcommon/files/csv_table.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "orvcommon/base/cp1252.hpp"
#include "support/csv_reference.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

using test::Sandbox;

std::string takeLog(const Sandbox& sb) {
    const std::string bytes = test::exists(sb.mainLog()) ? test::readBytes(sb.mainLog()) : "";
    std::filesystem::remove(sb.mainLog());
    return bytes;
}

// Reads `bytes` both ways and compares table, line count, result and log
// (FileUtility::getArrayFromCsvFile is this reader, passed through).
void expectSameAsLineByLine(const Sandbox& sb, const std::string& bytes, int32_t width,
                            size_t blockSize) {
    SCOPED_TRACE("width " + std::to_string(width) + ", block " + std::to_string(blockSize));
    test::writeBytes(sb.path("t.csv"), bytes);
    const Text path = sb.textPath("t.csv");
    takeLog(sb);
    Array<Text> want({1, 2});
    int32_t wantLines = -7;
    const ErrInfo wantResult = test::readTableLineByLine(path, want, width, wantLines);
    const std::string wantLog = takeLog(sb);

    Array<Text> got({1, 2});
    int32_t gotLines = -7;
    const ErrInfo gotResult = files::readCsvTable(path, got, width, gotLines, blockSize);
    EXPECT_EQ(gotResult, wantResult);
    EXPECT_EQ(gotLines, wantLines);
    EXPECT_EQ(got, want);
    EXPECT_EQ(takeLog(sb), wantLog);
}

// A file of random lines built from the pieces that matter to the rules.
std::string randomCsv(std::mt19937& rng) {
    static const char* const kPieces[] = {"",
                                          "a",
                                          "abc def",
                                          "\"x;y\"",
                                          "\"say \"\"hi\"\"\"",
                                          "\xe9\x80\x9f",
                                          "\"",
                                          "  ",
                                          "1,5",
                                          "\"\"",
                                          "a\"b",
                                          "\n",
                                          ";",
                                          "\"\r\"",
                                          "\r",
                                          " ",
                                          "\"\"\"",
                                          "x\r\n",
                                          "\xff\x81",
                                          "\"a;b\";c\""};
    std::string out;
    const int lines = static_cast<int>(rng() % 12);
    for (int l = 0; l < lines; ++l) {
        switch (rng() % 8) {
            case 0:
                out += std::string(rng() % 3, ' ');  // blank
                break;
            case 1:  // long enough for the 16-bit position limit
                out += std::string(32766 + rng() % 3, 'x') + ";y";
                break;
            default: {
                const int fields = 1 + static_cast<int>(rng() % 6);
                for (int f = 0; f < fields; ++f) {
                    if (f) out += ';';
                    out += kPieces[rng() % std::size(kPieces)];
                }
            }
        }
        static const char* const kEnds[] = {"\r\n", "\r\n", "\r", "\n\r\n", ""};
        out += kEnds[rng() % std::size(kEnds)];
    }
    return out;
}

TEST(CsvTable, GeneratedFilesMatchTheLineByLineReader) {
    Sandbox sb;
    std::mt19937 rng(2026);
    for (int file = 0; file < 60; ++file) {
        const std::string bytes = randomCsv(rng);
        SCOPED_TRACE("file " + std::to_string(file));
        for (int32_t width : {1, 2, 4})
            for (size_t block : {size_t{1}, size_t{3}, size_t{16}, size_t{256} << 10})
                expectSameAsLineByLine(sb, bytes, width, block);
    }
}

TEST(CsvTable, EdgeFilesMatchTheLineByLineReader) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"", 2},                                 // empty: error 9 at sizing
        {"a;b\r\n", 0},                          // no room: error 9 first
        {"a;b\r\n", -5},                         // a negative width: the same
        {"  \r\n \r", 2},                        // blank lines only
        {"a;\"\r\nb", 2},                        // a single quote field, then a line
        {"a;b;c\r\nd", 2},                       // too many fields, then a good line
        {"d\r\na;b;c", 2},                       // too many fields last
        {"a;b\r\n", 32767},                      // too wide for 16-bit positions
        {std::string(40000, 'q') + "\r\nz", 2},  // a line longer than any block
        {"x\ry\r\n\nz", 3},                      // CR alone, LF kept in a line
    };
    Sandbox sb;
    for (const auto& [bytes, width] : cases)
        for (size_t block : {size_t{1}, size_t{2}, size_t{256} << 10})
            expectSameAsLineByLine(sb, bytes, width, block);
}

TEST(CsvTable, LineReaderFollowsTheCharacterRules) {
    Sandbox sb;
    std::mt19937 rng(11);
    FileUtility fu;
    for (int i = 0; i < 200; ++i) {
        std::string bytes(rng() % 30, 'a');
        for (char& c : bytes)
            c = "a\r\n \x80"[rng() % 5];
        test::writeBytes(sb.path("l.txt"), bytes);
        std::vector<Text> want;
        for (const std::string& line : test::naiveLines(bytes))
            want.push_back(cp1252::decode(line));
        Array<Text> rows;
        int32_t n = -1;
        ASSERT_EQ(fu.readAndLoadInArrayByCRLF(sb.textPath("l.txt"), rows, n), test::cleared());
        ASSERT_EQ(n, static_cast<int32_t>(want.size()));
        if (want.empty()) want.emplace_back();  // an empty file still gives one empty element
        ASSERT_EQ(rows.lbound(1), 1);
        ASSERT_EQ(rows.storage(), want);
    }
}

}  // namespace
}  // namespace orv
