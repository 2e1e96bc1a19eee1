#include "orvcommon/platform/threads.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Counts the objects alive; a destroyed one no longer holds its first value.
struct Counted {
    static inline std::atomic<int> live{0};
    int value = 0xA11CE;
    Counted() { ++live; }
    ~Counted() {
        --live;
        value = 0;
    }
};

}  // namespace

// Four threads alive at once each get their own object, and every object is
// destroyed when its thread ends, before join returns.
TEST(PerThread, EachThreadOwnsItsObjectUntilItEnds) {
    constexpr int kThreads = 4;
    std::atomic<int> arrived{0};
    std::vector<int> seen(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            orv::platform::perThread<Counted>().value = i;
            ++arrived;
            while (arrived < kThreads)
                std::this_thread::yield();
            seen[i] = orv::platform::perThread<Counted>().value;
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Counted::live, 0);
}

TEST(PerThread, ExitCallsRunLastInFirstOut) {
    static std::vector<int> order;  // the join orders the one writer before the read
    auto record = [](void* p) { order.push_back(*static_cast<int*>(p)); };
    static int one = 1, two = 2, three = 3;
    std::thread([&] {
        orv::platform::atThreadExit(record, &one);
        orv::platform::atThreadExit(record, &two);
        orv::platform::atThreadExit(record, &three);
    }).join();
    EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
}

// An exit call registered before the object was made runs after it went;
// reaching perThread then gives a fresh object (not the freed one), which
// goes in its turn.
TEST(PerThread, AnExitCallAfterTheObjectWentGetsAFreshOne) {
    static std::atomic<int> seen{-1};
    std::thread([] {
        orv::platform::atThreadExit([](void*) { seen = orv::platform::perThread<Counted>().value; },
                                    nullptr);
        orv::platform::perThread<Counted>();
    }).join();
    EXPECT_EQ(seen, 0xA11CE);
    EXPECT_EQ(Counted::live, 0);
}
