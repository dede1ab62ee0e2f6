#include "win/Thread.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "win/LastError.h"
#include "win/Sync.h"

namespace {

// What a test thread sees and does; the handles belong to the test.
struct Shared {
    HANDLE hGo = nullptr;
    HANDLE hDone = nullptr;
    std::atomic<DWORD> dwIdInside{0};
    std::atomic<bool> bRan{false};
};

DWORD WaitGoThenFinish(void* pArg) {
    auto* p = static_cast<Shared*>(pArg);
    p->dwIdInside = GetCurrentThreadId();
    WaitForSingleObject(p->hGo, INFINITE);
    p->bRan = true;
    if (p->hDone) SetEvent(p->hDone);
    return 42;
}

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_go.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(m_go && m_done);
        m_shared.hGo = m_go.get();
        m_shared.hDone = m_done.get();
    }
    UniqueHandle m_go;
    UniqueHandle m_done;
    Shared m_shared;
};

TEST_F(ThreadTest, HandleIsSignalledWhenTheThreadEnds) {
    DWORD dwId = 0;
    const UniqueHandle thread(CreateThread(nullptr, 0, WaitGoThenFinish, &m_shared, 0, &dwId));
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 20), WAIT_TIMEOUT);
    DWORD dwCode = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &dwCode));
    EXPECT_EQ(dwCode, STILL_ACTIVE);

    ASSERT_TRUE(SetEvent(m_go.get()));
    EXPECT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0) << "a thread's handle stays signalled";
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &dwCode));
    EXPECT_EQ(dwCode, 42u);
    EXPECT_NE(dwId, 0u);
    EXPECT_EQ(m_shared.dwIdInside.load(), dwId) << "the id given out is the thread's own";
    EXPECT_NE(dwId, GetCurrentThreadId());
}

TEST_F(ThreadTest, ClosingARunningThreadsHandleNeitherJoinsNorStopsIt) {
    HANDLE hThread = CreateThread(nullptr, 0, WaitGoThenFinish, &m_shared, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    ASSERT_TRUE(CloseHandle(hThread)) << "closing must not wait for the thread, which waits for us";
    EXPECT_FALSE(m_shared.bRan.load());
    EXPECT_EQ(WaitForSingleObject(hThread, 0), WAIT_FAILED);
    ASSERT_TRUE(SetEvent(m_go.get()));
    EXPECT_EQ(WaitForSingleObject(m_done.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(m_shared.bRan.load());
}

TEST_F(ThreadTest, ThreadHandleTakesPartInMultipleWaits) {
    const UniqueHandle thread(CreateThread(nullptr, 64 * 1024, WaitGoThenFinish, &m_shared, 0, nullptr));
    ASSERT_TRUE(thread);
    const UniqueHandle never(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    const HANDLE handles[] = {never.get(), thread.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 10), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(m_go.get()));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
}

TEST_F(ThreadTest, ThreadHandlesAreNotEvents) {
    const UniqueHandle thread(CreateThread(nullptr, 0, WaitGoThenFinish, &m_shared, 0, nullptr));
    ASSERT_TRUE(thread);
    SetLastError(0);
    EXPECT_FALSE(SetEvent(thread.get()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ResetEvent(thread.get()));
    DWORD dwCode = 0;
    EXPECT_FALSE(GetExitCodeThread(m_go.get(), &dwCode)) << "an event has no exit code";
    ASSERT_TRUE(SetEvent(m_go.get()));
    EXPECT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
}

TEST_F(ThreadTest, SuspendedCreationIsRefused) {
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, WaitGoThenFinish, &m_shared, CREATE_SUSPENDED, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, &m_shared, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(ThreadIdTest, EveryThreadHasItsOwnStableId) {
    const DWORD dwMain = GetCurrentThreadId();
    EXPECT_NE(dwMain, 0u);
    EXPECT_EQ(GetCurrentThreadId(), dwMain);
    DWORD dwOther = 0;
    std::thread([&] { dwOther = GetCurrentThreadId(); }).join();
    EXPECT_NE(dwOther, 0u);
    EXPECT_NE(dwOther, dwMain);
}

}  // namespace
