// What events and threads have in common: a signalled state and the waits
// blocked on it. Internal to libVRXWin32.
//
// Every object has its own small lock; no lock is shared between objects and
// none is held while a thread blocks. A blocked wait is a CWaiter on the
// waiting thread's stack with one node linked into each object it waits for.
// The first object that claims the waiter decides the wait's result; an
// auto-reset event that fails to claim a waiter (because another object got
// there first, or the wait timed out) stays signalled for the next one.
#pragma once

#include <mutex>
#include <span>

#include "win/HandleTable.h"

namespace vrx {

class CWaiter;

// One wait's registration with one object, linked while the wait is blocked.
struct CWaitNode {
    CWaiter* pWaiter = nullptr;
    DWORD nIndex = 0;
    CWaitNode* pPrev = nullptr;
    CWaitNode* pNext = nullptr;
    bool bLinked = false;
};

class CWaitable : public CKernelObject {
public:
    CWaitable(Kind kind, bool bAutoReset, bool bSignaled) noexcept
        : CKernelObject(kind), m_bAutoReset(bAutoReset), m_bSignaled(bSignaled) {}

    // Signals the object. Waiters are served in the order they started
    // waiting: an auto-reset object satisfies the first that is still
    // waiting and stays unsignalled; a manual-reset one satisfies all and
    // stays signalled.
    void Set() noexcept;
    void Reset() noexcept;

    // Waits until one of the objects is signalled: WAIT_OBJECT_0 + its index
    // (the lowest among those signalled when the wait starts), or
    // WAIT_TIMEOUT. The caller keeps the objects alive and passes at most
    // MAXIMUM_WAIT_OBJECTS of them.
    static DWORD WaitAny(std::span<CWaitable* const> objects, DWORD dwMilliseconds) noexcept;

private:
    void Append(CWaitNode* pNode) noexcept;
    void Unlink(CWaitNode* pNode) noexcept;

    std::mutex m_mutex;
    const bool m_bAutoReset;
    bool m_bSignaled;
    CWaitNode* m_pFirst = nullptr;
    CWaitNode* m_pLast = nullptr;
};

}  // namespace vrx
