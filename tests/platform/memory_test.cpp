// HeapGrowth: it gives the heap's new pages their memory ahead of the
// allocator's first writes, and never changes what the heap holds.
#include "orvcommon/platform/memory.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace orv::platform {
namespace {

uintptr_t heapEnd() {
    return reinterpret_cast<uintptr_t>(sbrk(0));
}
uintptr_t pageSize() {
    return static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
}

// How many of the whole pages in [from, to) are resident.
size_t residentPages(uintptr_t from, uintptr_t to) {
    const uintptr_t page = pageSize();
    from = (from + page - 1) & ~(page - 1);
    to &= ~(page - 1);
    if (to <= from) return 0;
    std::vector<unsigned char> in((to - from) / page);
    if (mincore(reinterpret_cast<void*>(from), to - from, in.data()) != 0) return 0;
    size_t n = 0;
    for (unsigned char c : in)
        n += c & 1;
    return n;
}

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    size_t size;
    unsigned char seed;
};

TEST(HeapGrowth, KeepsEveryAllocationsContentsWhileTheHeapGrowsAndShrinks) {
    // Blocks of each size are written with their own pattern and checked at
    // the end; large ones are freed between rounds so that the heap also
    // shrinks and grows again under the same HeapGrowth.
    struct Case {
        size_t size;
        int count;
        bool freeAfterRound;
    };
    const Case cases[] = {{24, 20000, false}, {200, 5000, false}, {3000, 300, true},
                          {60000, 40, true},  {16, 20000, false}, {900, 2000, false}};
    HeapGrowth heap;
    std::vector<Block> kept;
    unsigned char seed = 1;
    for (int round = 0; round < 3; ++round) {
        for (const Case& c : cases) {
            std::vector<Block> made;
            for (int i = 0; i < c.count; ++i, ++seed) {
                Block b{std::make_unique<unsigned char[]>(c.size), c.size, seed};
                for (size_t k = 0; k < c.size; ++k)
                    b.bytes[k] = static_cast<unsigned char>(seed + k);
                made.push_back(std::move(b));
                heap.catchUp();
            }
            if (!c.freeAfterRound)
                for (Block& b : made)
                    kept.push_back(std::move(b));
        }
    }
    for (const Block& b : kept)
        for (size_t k = 0; k < b.size; ++k)
            ASSERT_EQ(b.bytes[k], static_cast<unsigned char>(b.seed + k)) << "block of " << b.size;
}

TEST(HeapGrowth, GivesTheNewPagesTheirMemoryAtOnce) {
    // Small allocations until the heap grows by one step: the pages of that
    // step past the allocator's own writes are not resident yet, and are
    // after catchUp.
    // (Enough of them to use up what earlier tests left free in the heap.)
    constexpr size_t kMostBlocks = 2000000;
    std::vector<std::unique_ptr<char[]>> blocks;
    blocks.reserve(kMostBlocks);
    HeapGrowth heap;
    const uintptr_t before = heapEnd();
    while (heapEnd() == before && blocks.size() < kMostBlocks)
        blocks.push_back(std::make_unique<char[]>(40));
    const uintptr_t after = heapEnd();
    if (after == before) GTEST_SKIP() << "the allocator does not grow the heap with brk";
    // Leave out the pages at the start of the step, where the allocator has
    // written its headers, and a margin at its end.
    const uintptr_t from = before + 2 * pageSize();
    const uintptr_t to = after - 2 * pageSize();
    if (to <= from || residentPages(from, to) != 0)
        GTEST_SKIP() << "the system already gave these pages their memory";
    heap.catchUp();
    EXPECT_EQ(residentPages(from, to), (to - from) / pageSize());
}

}  // namespace
}  // namespace orv::platform
