#include "wmf/CWmStatusListeners.h"

#include <algorithm>

HRESULT CWmStatusListeners::Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept try {
    if (!pCallback) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    m_entries.push_back(SEntry{ComPtr<IWMStatusCallback>(pCallback), pvContext});
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStatusListeners::Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept {
    const std::lock_guard<std::mutex> lock(m_lock);
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const SEntry& e) {
        return e.pCallback.Get() == pCallback && e.pvContext == pvContext;
    });
    if (it == m_entries.end()) return E_INVALIDARG;
    m_entries.erase(it);
    return S_OK;
}

void CWmStatusListeners::Notify(WMT_STATUS status, HRESULT hr) noexcept try {
    std::vector<SEntry> entries;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        entries = m_entries;
    }
    for (const SEntry& e : entries)
        e.pCallback->OnStatus(status, hr, WMT_TYPE_DWORD, nullptr, e.pvContext);
} catch (const std::bad_alloc&) {
    // Without memory for the copy nobody hears of this status; the caller
    // still gets the result code itself.
}
