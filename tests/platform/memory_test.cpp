// The memory hint of a large table: it goes to the table's own block and to
// nothing else of the process (the heap belongs to the library's host).
#include "orvcommon/platform/memory.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "orvcommon/files/csv_table.hpp"
#include "support/sandbox.hpp"
#include "support/system_call.hpp"

namespace orv::platform {
namespace {

std::vector<std::pair<uintptr_t, uintptr_t>> gAdvised;

int recordAdvice(void* a, size_t n, int) {
    gAdvised.emplace_back(reinterpret_cast<uintptr_t>(a), reinterpret_cast<uintptr_t>(a) + n);
    return 0;
}

TEST(MemoryHint, ALargeTableAdvisesItsOwnBlockAndNothingElse) {
    test::Sandbox box;
    // 70,000 lines of two fields: a block of 140,000 cells, several MiB.
    std::string csv;
    for (int i = 0; i < 70000; ++i)
        csv += "a;" + std::to_string(i) + "\r\n";
    test::writeBytes(box.path("big.csv"), csv);
    gAdvised.clear();
    Array<Text> table;
    int32_t lines = 0;
    {
        test::ReplacedCall advise("madvise", &recordAdvice);
        ASSERT_TRUE(files::readCsvTable(box.textPath("big.csv"), table, 2, lines).isSuccess());
    }
    ASSERT_EQ(lines, 70000);
    const auto block = reinterpret_cast<uintptr_t>(table.elements().data());
    const uintptr_t blockEnd = block + table.capacity() * sizeof(Text);
    ASSERT_FALSE(gAdvised.empty());
    for (const auto& [from, to] : gAdvised) {
        EXPECT_GE(from, block);
        EXPECT_LE(to, blockEnd);
    }
}

}  // namespace
}  // namespace orv::platform
