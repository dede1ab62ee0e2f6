// The runtime's convention for handing strings and bytes to a caller's
// buffer: a null buffer asks for the size; a buffer that is too small fails
// with ASF_E_BUFFERTOOSMALL. Either way the size counter receives the size
// needed (characters including the terminator, or bytes).
#pragma once

#include <cstring>
#include <limits>
#include <string>

#include "wmf/WmTypes.h"

template <class TCount>
HRESULT CopyStringOut(const std::u16string& text, WCHAR* pwszOut, TCount* pcchOut) noexcept {
    if (!pcchOut) return E_POINTER;
    const size_t cchNeeded = text.size() + 1;
    if (cchNeeded > static_cast<size_t>(std::numeric_limits<TCount>::max())) return E_UNEXPECTED;
    const TCount cchGiven = *pcchOut;
    *pcchOut = static_cast<TCount>(cchNeeded);
    if (!pwszOut) return S_OK;
    if (static_cast<size_t>(cchGiven) < cchNeeded) return ASF_E_BUFFERTOOSMALL;
    std::memcpy(pwszOut, text.c_str(), cchNeeded * sizeof(WCHAR));
    return S_OK;
}

template <class TCount>
HRESULT CopyBytesOut(const void* pData, size_t cbData, void* pOut, TCount* pcbOut) noexcept {
    if (!pcbOut) return E_POINTER;
    if (cbData > static_cast<size_t>(std::numeric_limits<TCount>::max())) return E_UNEXPECTED;
    const TCount cbGiven = *pcbOut;
    *pcbOut = static_cast<TCount>(cbData);
    if (!pOut) return S_OK;
    if (static_cast<size_t>(cbGiven) < cbData) return ASF_E_BUFFERTOOSMALL;
    if (cbData) std::memcpy(pOut, pData, cbData);
    return S_OK;
}

// A caller's wide string, null meaning empty.
inline std::u16string WideOrEmpty(const WCHAR* pwsz) {
    return pwsz ? std::u16string(pwsz) : std::u16string();
}
