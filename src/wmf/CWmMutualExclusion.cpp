#include "wmf/CWmMutualExclusion.h"

#include <algorithm>
#include <new>

HRESULT CWmMutualExclusion::Create(IWMMutualExclusion** ppME) noexcept {
    if (!ppME) return E_POINTER;
    *ppME = new (std::nothrow) CWmMutualExclusion();
    return *ppME ? S_OK : E_OUTOFMEMORY;
}

HRESULT CWmMutualExclusion::CreateCopy(IWMMutualExclusion* pSource, IWMMutualExclusion** ppME) noexcept try {
    if (!ppME) return E_POINTER;
    *ppME = nullptr;
    if (!pSource) return E_INVALIDARG;
    auto pCopy = ComPtr<CWmMutualExclusion>::Adopt(new (std::nothrow) CWmMutualExclusion());
    if (!pCopy) return E_OUTOFMEMORY;
    HRESULT hr = pSource->GetType(&pCopy->m_guidType);
    if (FAILED(hr)) return hr;
    WORD cStreams = 0;
    hr = pSource->GetStreams(nullptr, &cStreams);
    if (FAILED(hr)) return hr;
    pCopy->m_streams.resize(cStreams);
    hr = pSource->GetStreams(pCopy->m_streams.data(), &cStreams);
    if (FAILED(hr)) return hr;
    pCopy->m_streams.resize(cStreams);
    *ppME = pCopy.Detach();
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmMutualExclusion::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IWMStreamList || riid == IID_IWMMutualExclusion))
        return E_NOINTERFACE;
    *ppv = static_cast<IWMMutualExclusion*>(this);
    AddRef();
    return S_OK;
}

ULONG CWmMutualExclusion::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

HRESULT CWmMutualExclusion::GetStreams(WORD* pwStreamNumArray, WORD* pcStreams) noexcept {
    if (!pcStreams) return E_POINTER;
    const WORD cGiven = *pcStreams;
    *pcStreams = static_cast<WORD>(m_streams.size());
    if (!pwStreamNumArray) return S_OK;
    if (static_cast<size_t>(cGiven) < m_streams.size()) return ASF_E_BUFFERTOOSMALL;
    std::copy(m_streams.begin(), m_streams.end(), pwStreamNumArray);
    return S_OK;
}

HRESULT CWmMutualExclusion::AddStream(WORD wStreamNum) noexcept try {
    if (wStreamNum == 0 || std::find(m_streams.begin(), m_streams.end(), wStreamNum) != m_streams.end())
        return E_INVALIDARG;
    m_streams.push_back(wStreamNum);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmMutualExclusion::RemoveStream(WORD wStreamNum) noexcept {
    const auto it = std::find(m_streams.begin(), m_streams.end(), wStreamNum);
    if (it == m_streams.end()) return E_INVALIDARG;
    m_streams.erase(it);
    return S_OK;
}

HRESULT CWmMutualExclusion::GetType(GUID* pguidType) noexcept {
    if (!pguidType) return E_POINTER;
    *pguidType = m_guidType;
    return S_OK;
}

HRESULT CWmMutualExclusion::SetType(REFGUID guidType) noexcept {
    m_guidType = guidType;
    return S_OK;
}
