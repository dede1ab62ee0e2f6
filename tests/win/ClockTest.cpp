#include "win/Clock.h"

#include <gtest/gtest.h>

#include "WinTestUtil.h"

namespace {

TEST(ClockTest, SleepLastsAtLeastItsTimeAndTheTickCountFollows) {
    const ULONGLONG before = GetTickCount64();
    EXPECT_GE(MillisecondsOf([] { Sleep(30); }), 30);
    const ULONGLONG after = GetTickCount64();
    EXPECT_GE(after - before, 29u) << "tick counts are whole milliseconds";
    EXPECT_LE(GetTickCount() - static_cast<DWORD>(after), 1000u)
        << "GetTickCount is the low part of GetTickCount64";
}

}  // namespace
