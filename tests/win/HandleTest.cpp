#include "win/Handle.h"

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "win/Files.h"
#include "win/FindFile.h"
#include "win/LastError.h"
#include "win/Sync.h"

namespace {

TEST(HandleTest, CloseHandleClosesEveryKindOnce) {
    TempDir dir("handle");
    const std::u16string file = Wide((dir.Path() / "a.prx").string());
    WIN32_FIND_DATAW data{};
    const HANDLE handles[] = {
        CreateEventW(nullptr, FALSE, FALSE, nullptr),
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
        FindFirstFileW(Wide((dir.Path() / "*.prx").string()).c_str(), &data),
    };
    for (const HANDLE h : handles) {
        ASSERT_NE(h, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(CloseHandle(h));
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(h)) << "a second close";
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(HandleTest, FindCloseRefusesOtherKinds) {
    const UniqueHandle ev(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(FindClose(ev.get()));
    EXPECT_TRUE(SetEvent(ev.get())) << "the refused close left the event open";
}

TEST(HandleTest, HandlesAreDistinctNonNullAndNeverInvalidHandleValue) {
    std::vector<UniqueHandle> open;
    std::set<HANDLE> seen;
    for (int i = 0; i < 200; ++i) {
        open.emplace_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        ASSERT_TRUE(open.back());
        EXPECT_NE(open.back().get(), INVALID_HANDLE_VALUE);
        EXPECT_TRUE(seen.insert(open.back().get()).second) << "handle given out twice";
        if (i % 3 == 0) open.erase(open.begin());
    }
}

// Many threads create, use and close handles while others keep using a
// shared one: no lookup may see another thread's object or a freed one.
TEST(HandleTest, ConcurrentCreateUseAndClose) {
    const UniqueHandle shared(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                HANDLE h = CreateEventW(nullptr, FALSE, TRUE, nullptr);
                if (WaitForSingleObject(h, 0) != WAIT_OBJECT_0) ++failures;
                if (WaitForSingleObject(h, 0) != WAIT_TIMEOUT) ++failures;
                if (WaitForSingleObject(shared.get(), 0) != WAIT_OBJECT_0) ++failures;
                if (!CloseHandle(h)) ++failures;
                if (SetEvent(h)) ++failures;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
