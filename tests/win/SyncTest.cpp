#include "win/Sync.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "win/LastError.h"

namespace {

UniqueHandle MakeEvent(bool bManualReset, bool bInitialState) {
    return UniqueHandle(CreateEventW(nullptr, bManualReset, bInitialState, nullptr));
}

// Threads that each wait once for the event without a time limit and count
// the waits that succeeded.
std::vector<std::thread> StartWaiters(HANDLE hEvent, int count, std::atomic<int>& woken) {
    std::vector<std::thread> waiters;
    for (int i = 0; i < count; ++i)
        waiters.emplace_back([hEvent, &woken] {
            if (WaitForSingleObject(hEvent, INFINITE) == WAIT_OBJECT_0) ++woken;
        });
    return waiters;
}

TEST(SyncTest, AutoResetEventIsConsumedByOneWait) {
    const auto ev = MakeEvent(false, true);
    ASSERT_TRUE(ev);
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_TIMEOUT) << "the first wait consumed the signal";
    ASSERT_TRUE(SetEvent(ev.get()));
    ASSERT_TRUE(SetEvent(ev.get()));
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_TIMEOUT) << "two sets with nobody waiting count once";
}

TEST(SyncTest, AutoResetEventWakesExactlyOneOfSeveralWaiters) {
    const auto ev = MakeEvent(false, false);
    ASSERT_TRUE(ev);
    std::atomic<int> woken{0};
    auto waiters = StartWaiters(ev.get(), 3, woken);
    for (int expected = 1; expected <= 3; ++expected) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(SetEvent(ev.get()));
        ASSERT_TRUE(Eventually([&] { return woken.load() >= expected; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(woken.load(), expected) << "one SetEvent released more than one waiter";
    }
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_TIMEOUT);
}

TEST(SyncTest, ManualResetEventWakesAllAndStaysSet) {
    const auto ev = MakeEvent(true, false);
    ASSERT_TRUE(ev);
    std::atomic<int> woken{0};
    auto waiters = StartWaiters(ev.get(), 3, woken);
    ASSERT_TRUE(SetEvent(ev.get()));
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(woken.load(), 3);
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_OBJECT_0) << "a manual-reset event stays set";
    ASSERT_TRUE(ResetEvent(ev.get()));
    EXPECT_EQ(WaitForSingleObject(ev.get(), 0), WAIT_TIMEOUT);
}

TEST(SyncTest, WaitTimesOutAfterAtLeastItsTime) {
    const auto ev = MakeEvent(false, false);
    ASSERT_TRUE(ev);
    DWORD result = 0;
    EXPECT_GE(MillisecondsOf([&] { result = WaitForSingleObject(ev.get(), 60); }), 60);
    EXPECT_EQ(result, WAIT_TIMEOUT);

    const HANDLE handles[] = {ev.get(), ev.get()};
    EXPECT_GE(MillisecondsOf([&] { result = WaitForMultipleObjects(2, handles, FALSE, 40); }), 40);
    EXPECT_EQ(result, WAIT_TIMEOUT);
}

TEST(SyncTest, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
    const auto e0 = MakeEvent(false, false);
    const auto e1 = MakeEvent(false, false);
    const auto e2 = MakeEvent(true, false);
    const HANDLE handles[] = {e0.get(), e1.get(), e2.get()};
    ASSERT_TRUE(SetEvent(e1.get()));
    ASSERT_TRUE(SetEvent(e2.get()));
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(e1.get(), 0), WAIT_TIMEOUT) << "the returned auto-reset event is consumed";
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);

    ASSERT_TRUE(SetEvent(e0.get()));
    ASSERT_TRUE(SetEvent(e1.get()));
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e1.get(), 0), WAIT_OBJECT_0) << "an event that lost stays signalled";
}

TEST(SyncTest, BlockedMultipleWaitReturnsTheEventThatIsSet) {
    const auto finish = MakeEvent(true, false);
    const auto data = MakeEvent(false, false);
    const HANDLE handles[] = {finish.get(), data.get()};
    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForMultipleObjects(2, handles, FALSE, INFINITE); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(SetEvent(data.get()));
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(data.get(), 0), WAIT_TIMEOUT) << "the wait consumed the data event";
    EXPECT_EQ(WaitForSingleObject(finish.get(), 0), WAIT_TIMEOUT);
}

// The writer's hand-off: a request written before SetEvent(data) is seen
// whole by the worker, whose answer is seen whole after done; finish, listed
// first, ends the worker even while requests could still come.
TEST(SyncTest, EventHandOffCarriesDataBetweenThreads) {
    const auto finish = MakeEvent(true, false);
    const auto data = MakeEvent(false, false);
    const auto done = MakeEvent(false, false);
    struct Request {
        int a = 0;
        int b = 0;
        int sum = 0;
    } request;
    std::atomic<int> served{0};
    std::thread worker([&] {
        const HANDLE handles[] = {finish.get(), data.get()};
        while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            request.sum = request.a + request.b;
            ++served;
            SetEvent(done.get());
        }
    });
    constexpr int kRequests = 2000;
    for (int i = 0; i < kRequests; ++i) {
        request.a = i;
        request.b = 2 * i;
        ASSERT_TRUE(SetEvent(data.get()));
        ASSERT_EQ(WaitForSingleObject(done.get(), INFINITE), WAIT_OBJECT_0);
        ASSERT_EQ(request.sum, 3 * i);
    }
    ASSERT_TRUE(SetEvent(finish.get()));
    worker.join();
    EXPECT_EQ(served.load(), kRequests);
}

TEST(SyncTest, FinishListedFirstWinsOverPendingData) {
    const auto finish = MakeEvent(true, false);
    const auto data = MakeEvent(false, false);
    ASSERT_TRUE(SetEvent(data.get()));
    ASSERT_TRUE(SetEvent(finish.get()));
    const HANDLE handles[] = {finish.get(), data.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(data.get(), 0), WAIT_OBJECT_0) << "the request was not consumed";
}

TEST(SyncTest, NullClosedAndMadeUpHandlesFailAtOnce) {
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(ev, nullptr);
    ASSERT_TRUE(CloseHandle(ev));
    const HANDLE bad[] = {nullptr, ev, INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(uintptr_t{0x1234})};
    for (const HANDLE h : bad) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
        SetLastError(0);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(ResetEvent(h));
        EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_FAILED);
        EXPECT_FALSE(CloseHandle(h));
    }
    const auto good = MakeEvent(true, true);
    const HANDLE mixed[] = {good.get(), ev};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, INFINITE), WAIT_FAILED)
        << "one bad handle fails the whole wait, even with another one signalled";
}

TEST(SyncTest, ClosedHandleStaysInvalidWhenItsEntryIsReused) {
    HANDLE first = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(CloseHandle(first));
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const auto next = MakeEvent(true, true);
        ASSERT_TRUE(next);
        EXPECT_NE(next.get(), first);
        EXPECT_EQ(WaitForSingleObject(next.get(), 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
        EXPECT_FALSE(SetEvent(first));
    }
}

TEST(SyncTest, WaitArgumentsOutsideTheContractFail) {
    const auto a = MakeEvent(true, true);
    const auto b = MakeEvent(true, true);
    const HANDLE handles[] = {a.get(), b.get()};
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(WaitForMultipleObjects(1, handles, TRUE, 0), WAIT_OBJECT_0)
        << "wait-all over one handle is wait-any";
    EXPECT_EQ(WaitForMultipleObjects(0, handles, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(2, nullptr, FALSE, 0), WAIT_FAILED);
    std::vector<HANDLE> tooMany(MAXIMUM_WAIT_OBJECTS + 1, a.get());
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, tooMany.data(), FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, tooMany.data(), FALSE, 0), WAIT_OBJECT_0);
}

TEST(SyncTest, NamedEventsAreRefused) {
    SetLastError(0);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, u"Global\\x"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

}  // namespace
