#include "win/Interlocked.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(InterlockedTest, OperationsReturnThePlatformsValues) {
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6) << "increment gives the new value";
    EXPECT_EQ(InterlockedDecrement(&value), 5) << "decrement gives the new value";
    EXPECT_EQ(InterlockedExchange(&value, 9), 5) << "exchange gives the old value";
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 3), 9) << "no match: old value, no store";
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9) << "match: old value, stored";
    EXPECT_EQ(value, 1);
    volatile LONG top = 0x7FFFFFFF;
    EXPECT_EQ(InterlockedIncrement(&top), static_cast<LONG>(0x80000000)) << "wraps like the platform";
}

TEST(InterlockedTest, ConcurrentCountsAreNotLost) {
    volatile LONG count = 0;
    constexpr int kThreads = 4;
    constexpr int kEach = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                InterlockedIncrement(&count);
                InterlockedIncrement(&count);
                InterlockedDecrement(&count);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(count, kThreads * kEach);
}

}  // namespace
