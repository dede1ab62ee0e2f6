#include "win/Sync.h"

#include <array>
#include <memory>
#include <new>

#include "win/CWaitable.h"
#include "win/LastError.h"

namespace {

using vrx::CKernelObject;
using vrx::CWaitable;

// Only events and threads are waitable; both are CWaitable.
std::shared_ptr<CWaitable> LookupWaitable(HANDLE h) noexcept {
    auto pObject = vrx::LookupHandle(h);
    if (!pObject) return nullptr;
    const auto kind = pObject->GetKind();
    if (kind != CKernelObject::Kind::Event && kind != CKernelObject::Kind::Thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<CWaitable>(std::move(pObject));
}

}  // namespace

extern "C" HANDLE CreateEventW(void* /*lpEventAttributes*/, BOOL bManualReset, BOOL bInitialState,
                               LPCWSTR lpName) noexcept try {
    if (lpName && *lpName) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return vrx::InsertHandle(std::make_shared<CWaitable>(CKernelObject::Kind::Event,
                                                         /*bAutoReset=*/!bManualReset,
                                                         /*bSignaled=*/bInitialState != FALSE));
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

extern "C" BOOL SetEvent(HANDLE hEvent) noexcept {
    const auto pEvent = vrx::LookupHandleAs<CWaitable>(hEvent, CKernelObject::Kind::Event);
    if (!pEvent) return FALSE;
    pEvent->Set();
    return TRUE;
}

extern "C" BOOL ResetEvent(HANDLE hEvent) noexcept {
    const auto pEvent = vrx::LookupHandleAs<CWaitable>(hEvent, CKernelObject::Kind::Event);
    if (!pEvent) return FALSE;
    pEvent->Reset();
    return TRUE;
}

extern "C" DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) noexcept {
    const auto pObject = LookupWaitable(hHandle);
    if (!pObject) return WAIT_FAILED;
    CWaitable* const objects[] = {pObject.get()};
    return CWaitable::WaitAny(objects, dwMilliseconds);
}

extern "C" DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                        DWORD dwMilliseconds) noexcept {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (bWaitAll && nCount > 1) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return WAIT_FAILED;
    }
    // The references keep every object alive for the whole wait, even if
    // another thread closes its handle meanwhile.
    std::array<std::shared_ptr<CWaitable>, MAXIMUM_WAIT_OBJECTS> owners;
    std::array<CWaitable*, MAXIMUM_WAIT_OBJECTS> objects{};
    for (DWORD i = 0; i < nCount; ++i) {
        owners[i] = LookupWaitable(lpHandles[i]);
        if (!owners[i]) return WAIT_FAILED;
        objects[i] = owners[i].get();
    }
    return CWaitable::WaitAny(std::span(objects.data(), nCount), dwMilliseconds);
}
