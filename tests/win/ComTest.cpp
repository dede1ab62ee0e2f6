#include "win/Com.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "win/Sync.h"
#include "win/Thread.h"

namespace {

// Each case runs its COM calls on fresh threads, so that no apartment
// outlives the case that made it.
template <class F>
void OnNewThread(F f) {
    std::thread(f).join();
}

TEST(ComTest, FirstInitialisationIsSOkThenCounted) {
    OnNewThread([] {
        EXPECT_FALSE(VrxComIsInitialized());
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
        EXPECT_TRUE(VrxComIsInitialized());
        CoUninitialize();
        EXPECT_TRUE(VrxComIsInitialized()) << "one CoUninitialize left of two";
        CoUninitialize();
        EXPECT_FALSE(VrxComIsInitialized());
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << "an extra CoUninitialize is ignored";
        CoUninitialize();
    });
}

TEST(ComTest, OtherModeOnAnInitialisedThreadIsRefused) {
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        EXPECT_FALSE(VrxComIsInitialized()) << "the refused call was not counted";
    });
}

TEST(ComTest, BadArgumentsAreRefused) {
    OnNewThread([] {
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
        EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
        EXPECT_FALSE(VrxComIsInitialized());
    });
}

// A thread that holds the multithreaded apartment until told to leave it.
class CMtaHolder {
public:
    CMtaHolder()
        : m_entered(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_leave(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_thread([this] {
              m_hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
              SetEvent(m_entered.get());
              WaitForSingleObject(m_leave.get(), INFINITE);
              CoUninitialize();
          }) {
        WaitForSingleObject(m_entered.get(), INFINITE);
    }
    ~CMtaHolder() { Leave(); }
    int32_t Result() const { return m_hr; }
    void Leave() {
        SetEvent(m_leave.get());
        if (m_thread.joinable()) m_thread.join();
    }

private:
    UniqueHandle m_entered;
    UniqueHandle m_leave;
    int32_t m_hr = E_FAIL;
    std::thread m_thread;
};

TEST(ComTest, MultithreadedApartmentHeldElsewhereCoversEveryThread) {
    CMtaHolder holder;
    ASSERT_EQ(holder.Result(), S_OK);
    OnNewThread([] { EXPECT_TRUE(VrxComIsInitialized()) << "a thread that never initialised COM"; });
    holder.Leave();
    OnNewThread([] { EXPECT_FALSE(VrxComIsInitialized()); });
}

TEST(ComTest, SingleThreadedApartmentCoversOnlyItsThread) {
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        OnNewThread([] { EXPECT_FALSE(VrxComIsInitialized()); });
        CoUninitialize();
    });
}

// Holds up the end of a thread's thread-local cleanup.
struct SlowThreadExit {
    ~SlowThreadExit() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }
};

DWORD EnterMtaAndForget(void*) {
    const auto hr = static_cast<DWORD>(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    // Made after the thread's apartment record, so destroyed before it: a
    // release left to thread-local cleanup would come well after the handle
    // is signalled.
    thread_local SlowThreadExit slow;
    static_cast<void>(&slow);
    return hr;
}

TEST(ComTest, ThreadThatEndsWithoutUninitialisingGivesTheApartmentUp) {
    const UniqueHandle thread(CreateThread(nullptr, 0, EnterMtaAndForget, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    DWORD dwCode = 1;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &dwCode));
    ASSERT_EQ(dwCode, static_cast<DWORD>(S_OK));
    EXPECT_FALSE(VrxComIsInitialized()) << "released before the thread's handle was signalled";

    OnNewThread([] { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); });
    EXPECT_FALSE(VrxComIsInitialized()) << "released when a plain thread's storage went";
}

TEST(ComTest, TaskMemoryRoundTrips) {
    auto* p = static_cast<char*>(CoTaskMemAlloc(16));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5A, 16);
    CoTaskMemFree(p);
    CoTaskMemFree(nullptr);
}

}  // namespace
