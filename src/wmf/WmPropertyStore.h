// Named, typed values as IWMPropertyVault and the codec settings keep them:
// each name once, in the order first set. Not thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmf/WmTypes.h"

class WmPropertyStore {
public:
    // Adds the value or replaces the one of that name (names compare exactly).
    // E_INVALIDARG for a null name, or a null value of non-zero size.
    HRESULT Set(const WCHAR* pszName, WMT_ATTR_DATATYPE type, const BYTE* pValue,
                DWORD cbValue) noexcept;
    // Size-query convention of WmCopyOut.h for the value; hrNotFound when no
    // value has that name (each interface has its own code for that).
    HRESULT GetByName(const WCHAR* pszName, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                      DWORD* pcbValue, HRESULT hrNotFound) const noexcept;
    // Name and value of entry dwIndex, both with the size-query convention;
    // E_INVALIDARG past the end.
    HRESULT GetByIndex(DWORD dwIndex, WCHAR* pszName, DWORD* pcchName, WMT_ATTR_DATATYPE* pType,
                       BYTE* pValue, DWORD* pcbValue) const noexcept;
    DWORD Count() const noexcept { return static_cast<DWORD>(m_entries.size()); }
    void Clear() noexcept { m_entries.clear(); }

    // A DWORD, BOOL or WORD value as a number; empty when absent or of
    // another type or size.
    std::optional<DWORD> GetDword(std::u16string_view name) const noexcept;

    friend bool operator==(const WmPropertyStore&, const WmPropertyStore&) = default;

private:
    struct Entry {
        std::u16string name;
        WMT_ATTR_DATATYPE type;
        std::vector<BYTE> value;
        friend bool operator==(const Entry&, const Entry&) = default;
    };
    const Entry* Find(std::u16string_view name) const noexcept;

    std::vector<Entry> m_entries;
};
