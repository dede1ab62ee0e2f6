// The status callbacks registered with a writer or one of its sinks
// (IWMRegisterCallback::Advise), and their notification. Thread-safe: a
// callback may be added while another thread notifies; the callbacks are
// called outside the lock, so one may call back into its writer.
#pragma once

#include <mutex>
#include <vector>

#include "wmf/WmInterfaces.h"

class CWmStatusListeners {
public:
    // E_POINTER for a null callback. The same callback may be registered
    // with several contexts; each gets its own notification.
    HRESULT Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept;
    // E_INVALIDARG when that callback and context were not registered.
    HRESULT Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept;
    // Calls every callback's OnStatus with no value (WMT_TYPE_DWORD, null).
    void Notify(WMT_STATUS status, HRESULT hr) noexcept;

private:
    struct SEntry {
        ComPtr<IWMStatusCallback> pCallback;
        void* pvContext;
    };
    std::mutex m_lock;
    std::vector<SEntry> m_entries;
};
