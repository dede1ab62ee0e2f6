#include "win/CWaitable.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>

#include "win/Sync.h"

namespace vrx {
namespace {
constexpr DWORD kPending = 0xFFFFFFFF;
constexpr DWORD kTimedOut = 0xFFFFFFFE;
}  // namespace

// One blocked wait. Its result moves from kPending exactly once: to the index
// of the object that claims it, or to kTimedOut by the waiter itself.
class CWaiter {
public:
    // Called with the claiming object's lock held, which keeps the waiter
    // alive: it unlinks itself from every object before it returns.
    bool Claim(DWORD nIndex) noexcept {
        DWORD expected = kPending;
        if (!m_nResult.compare_exchange_strong(expected, nIndex, std::memory_order_acq_rel)) return false;
        // Under the waiter's lock, so the wakeup cannot fall between its check
        // and its sleep.
        std::lock_guard lock(m_mutex);
        m_cv.notify_one();
        return true;
    }

    DWORD Result() const noexcept { return m_nResult.load(std::memory_order_acquire); }

    DWORD Block(DWORD dwMilliseconds, std::chrono::steady_clock::time_point deadline) noexcept {
        std::unique_lock lock(m_mutex);
        while (Result() == kPending) {
            if (dwMilliseconds == INFINITE) {
                m_cv.wait(lock);
            } else if (m_cv.wait_until(lock, deadline) == std::cv_status::timeout) {
                DWORD expected = kPending;
                m_nResult.compare_exchange_strong(expected, kTimedOut, std::memory_order_acq_rel);
            }
        }
        return Result();
    }

private:
    std::atomic<DWORD> m_nResult{kPending};
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

void CWaitable::Set() noexcept {
    std::lock_guard lock(m_mutex);
    m_bSignaled = true;
    while (CWaitNode* pNode = m_pFirst) {
        Unlink(pNode);
        if (pNode->pWaiter->Claim(pNode->nIndex) && m_bAutoReset) {
            m_bSignaled = false;
            return;
        }
    }
}

void CWaitable::Reset() noexcept {
    std::lock_guard lock(m_mutex);
    m_bSignaled = false;
}

void CWaitable::Append(CWaitNode* pNode) noexcept {
    pNode->pPrev = m_pLast;
    pNode->pNext = nullptr;
    (m_pLast ? m_pLast->pNext : m_pFirst) = pNode;
    m_pLast = pNode;
    pNode->bLinked = true;
}

void CWaitable::Unlink(CWaitNode* pNode) noexcept {
    (pNode->pPrev ? pNode->pPrev->pNext : m_pFirst) = pNode->pNext;
    (pNode->pNext ? pNode->pNext->pPrev : m_pLast) = pNode->pPrev;
    pNode->bLinked = false;
}

DWORD CWaitable::WaitAny(std::span<CWaitable* const> objects, DWORD dwMilliseconds) noexcept {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    CWaiter waiter;
    std::array<CWaitNode, MAXIMUM_WAIT_OBJECTS> nodes;
    size_t nLinked = 0;
    DWORD nResult = kPending;

    // Objects are checked in index order, each under its own lock. One found
    // signalled ends the wait unless an object checked before it has meanwhile
    // claimed the waiter; that object's index is then the result, and the one
    // found here is left as it is.
    for (size_t i = 0; i < objects.size(); ++i) {
        CWaitable& object = *objects[i];
        std::lock_guard lock(object.m_mutex);
        if (object.m_bSignaled) {
            if (waiter.Claim(static_cast<DWORD>(i)) && object.m_bAutoReset) object.m_bSignaled = false;
            nResult = waiter.Result();
            break;
        }
        if (dwMilliseconds == 0) continue;
        nodes[i].pWaiter = &waiter;
        nodes[i].nIndex = static_cast<DWORD>(i);
        object.Append(&nodes[i]);
        nLinked = i + 1;
    }
    if (nResult == kPending) nResult = dwMilliseconds == 0 ? kTimedOut : waiter.Block(dwMilliseconds, deadline);

    for (size_t i = 0; i < nLinked; ++i) {
        std::lock_guard lock(objects[i]->m_mutex);
        if (nodes[i].bLinked) objects[i]->Unlink(&nodes[i]);
    }
    return nResult == kTimedOut ? WAIT_TIMEOUT : WAIT_OBJECT_0 + nResult;
}

}  // namespace vrx
