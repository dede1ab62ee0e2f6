#include "win/Thread.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

#include <limits.h>
#include <pthread.h>

#include "win/CWaitable.h"
#include "win/Com.h"
#include "win/LastError.h"

namespace {

using vrx::CKernelObject;

std::atomic<DWORD> g_nNextThreadId{1};
thread_local DWORD t_dwThreadId = 0;

DWORD NewThreadId() noexcept {
    DWORD id = g_nNextThreadId.fetch_add(1, std::memory_order_relaxed);
    // Past 2^32 ids the count wraps; 0 stays reserved for "none".
    while (id == 0)
        id = g_nNextThreadId.fetch_add(1, std::memory_order_relaxed);
    return id;
}

class CThreadObject final : public vrx::CWaitable {
public:
    explicit CThreadObject(DWORD dwThreadId) noexcept
        : CWaitable(Kind::Thread, /*bAutoReset=*/false, /*bSignaled=*/false), m_dwThreadId(dwThreadId) {}

    DWORD ThreadId() const noexcept { return m_dwThreadId; }
    DWORD ExitCode() const noexcept { return m_dwExitCode.load(std::memory_order_acquire); }
    void Finish(DWORD dwExitCode) noexcept {
        m_dwExitCode.store(dwExitCode, std::memory_order_release);
        Set();
    }

private:
    const DWORD m_dwThreadId;
    std::atomic<DWORD> m_dwExitCode{STILL_ACTIVE};
};

// Everything the new thread needs; it owns this from its first instruction.
struct ThreadStart {
    std::shared_ptr<CThreadObject> pThread;
    LPTHREAD_START_ROUTINE pfnStart;
    void* pParameter;
};

void* ThreadMain(void* pArg) noexcept {
    const std::unique_ptr<ThreadStart> pStart(static_cast<ThreadStart*>(pArg));
    t_dwThreadId = pStart->pThread->ThreadId();
    const DWORD dwExitCode = pStart->pfnStart(pStart->pParameter);
    // On the platform a thread leaves COM before its handle is signalled;
    // whoever waits for the handle may rely on the apartment being gone.
    vrx::ReleaseThreadApartment();
    pStart->pThread->Finish(dwExitCode);
    return nullptr;
}

// pthread attributes, destroyed on every path.
class CThreadAttributes {
public:
    CThreadAttributes() noexcept { m_nInitError = pthread_attr_init(&m_attr); }
    ~CThreadAttributes() {
        if (m_nInitError == 0) pthread_attr_destroy(&m_attr);
    }
    CThreadAttributes(const CThreadAttributes&) = delete;
    CThreadAttributes& operator=(const CThreadAttributes&) = delete;

    // Detached: the thread's resources go back when it ends, whether or not
    // anybody still holds its handle.
    bool Configure(size_t cbStack) noexcept {
        if (m_nInitError != 0) return false;
        if (pthread_attr_setdetachstate(&m_attr, PTHREAD_CREATE_DETACHED) != 0) return false;
        return cbStack == 0 ||
               pthread_attr_setstacksize(&m_attr, std::max<size_t>(cbStack, PTHREAD_STACK_MIN)) == 0;
    }
    const pthread_attr_t* Get() const noexcept { return &m_attr; }

private:
    pthread_attr_t m_attr{};
    int m_nInitError;
};

}  // namespace

extern "C" HANDLE CreateThread(void* /*lpThreadAttributes*/, size_t dwStackSize,
                               LPTHREAD_START_ROUTINE lpStartAddress, void* lpParameter, DWORD dwCreationFlags,
                               DWORD* lpThreadId) noexcept try {
    if (!lpStartAddress || (dwCreationFlags & ~(CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags & CREATE_SUSPENDED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    CThreadAttributes attributes;
    if (!attributes.Configure(dwStackSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pThread = std::make_shared<CThreadObject>(NewThreadId());
    const DWORD dwThreadId = pThread->ThreadId();
    auto pStart = std::make_unique<ThreadStart>(ThreadStart{pThread, lpStartAddress, lpParameter});
    const HANDLE hThread = vrx::InsertHandle(std::move(pThread));
    if (!hThread) return nullptr;
    pthread_t thread;
    if (pthread_create(&thread, attributes.Get(), ThreadMain, pStart.get()) != 0) {
        vrx::RemoveHandle(hThread);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    static_cast<void>(pStart.release());  // the new thread owns it now
    if (lpThreadId) *lpThreadId = dwThreadId;
    return hThread;
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

extern "C" BOOL GetExitCodeThread(HANDLE hThread, DWORD* lpExitCode) noexcept {
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto pThread = vrx::LookupHandleAs<CThreadObject>(hThread, CKernelObject::Kind::Thread);
    if (!pThread) return FALSE;
    *lpExitCode = pThread->ExitCode();
    return TRUE;
}

extern "C" DWORD GetCurrentThreadId(void) noexcept {
    if (t_dwThreadId == 0) t_dwThreadId = NewThreadId();
    return t_dwThreadId;
}
