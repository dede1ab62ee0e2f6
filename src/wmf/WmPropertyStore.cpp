#include "wmf/WmPropertyStore.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "wmf/WmCopyOut.h"

HRESULT WmPropertyStore::Set(const WCHAR* pszName, WMT_ATTR_DATATYPE type, const BYTE* pValue,
                             DWORD cbValue) noexcept try {
    if (!pszName || (cbValue && !pValue)) return E_INVALIDARG;
    std::vector<BYTE> value(pValue, pValue + cbValue);
    const std::u16string_view name(pszName);
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.name == name; });
    if (it != m_entries.end()) {
        it->type = type;
        it->value = std::move(value);
        return S_OK;
    }
    m_entries.push_back(Entry{pszName, type, std::move(value)});
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT WmPropertyStore::GetByName(const WCHAR* pszName, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                   DWORD* pcbValue, HRESULT hrNotFound) const noexcept {
    if (!pszName || !pType || !pcbValue) return E_INVALIDARG;
    const Entry* pEntry = Find(pszName);
    if (!pEntry) return hrNotFound;
    *pType = pEntry->type;
    return CopyBytesOut(pEntry->value.data(), pEntry->value.size(), pValue, pcbValue);
}

HRESULT WmPropertyStore::GetByIndex(DWORD dwIndex, WCHAR* pszName, DWORD* pcchName,
                                    WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                    DWORD* pcbValue) const noexcept {
    if (!pcchName || !pType || !pcbValue) return E_INVALIDARG;
    if (dwIndex >= m_entries.size()) return E_INVALIDARG;
    const Entry& entry = m_entries[dwIndex];
    *pType = entry.type;
    const HRESULT hrName = CopyStringOut(entry.name, pszName, pcchName);
    const HRESULT hrValue = CopyBytesOut(entry.value.data(), entry.value.size(), pValue, pcbValue);
    // Both sizes are reported even when one buffer is too small.
    return FAILED(hrName) ? hrName : hrValue;
}

std::optional<DWORD> WmPropertyStore::GetDword(std::u16string_view name) const noexcept {
    const Entry* pEntry = Find(name);
    if (!pEntry) return std::nullopt;
    const bool bFourBytes = pEntry->type == WMT_TYPE_DWORD || pEntry->type == WMT_TYPE_BOOL;
    if (bFourBytes && pEntry->value.size() == sizeof(DWORD)) {
        DWORD dw = 0;
        std::memcpy(&dw, pEntry->value.data(), sizeof dw);
        return dw;
    }
    if (pEntry->type == WMT_TYPE_WORD && pEntry->value.size() == sizeof(WORD)) {
        WORD w = 0;
        std::memcpy(&w, pEntry->value.data(), sizeof w);
        return w;
    }
    return std::nullopt;
}

const WmPropertyStore::Entry* WmPropertyStore::Find(std::u16string_view name) const noexcept {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.name == name; });
    return it == m_entries.end() ? nullptr : &*it;
}
