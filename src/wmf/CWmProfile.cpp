#include "wmf/CWmProfile.h"

#include <new>

#include "win/NsError.h"
#include "wmf/CWmMutualExclusion.h"
#include "wmf/WmCopyOut.h"

namespace {

// Type and member streams of an exclusion, to recognise one by content.
struct ExclusionContent {
    GUID guidType = GUID_NULL;
    std::vector<WORD> streams;
    friend bool operator==(const ExclusionContent&, const ExclusionContent&) = default;
};

HRESULT ReadExclusion(IWMMutualExclusion* pME, ExclusionContent* pContent) {
    HRESULT hr = pME->GetType(&pContent->guidType);
    if (FAILED(hr)) return hr;
    WORD cStreams = 0;
    hr = pME->GetStreams(nullptr, &cStreams);
    if (FAILED(hr)) return hr;
    pContent->streams.resize(cStreams);
    return pME->GetStreams(pContent->streams.data(), &cStreams);
}

}  // namespace

HRESULT CWmProfile::Create(WMT_VERSION dwVersion, IWMProfile** ppProfile) noexcept {
    if (!ppProfile) return E_POINTER;
    *ppProfile = nullptr;
    switch (dwVersion) {
    case WMT_VER_4_0:
    case WMT_VER_7_0:
    case WMT_VER_8_0:
    case WMT_VER_9_0: break;
    default: return E_INVALIDARG;
    }
    *ppProfile = new (std::nothrow) CWmProfile(dwVersion);
    return *ppProfile ? S_OK : E_OUTOFMEMORY;
}

HRESULT CWmProfile::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IWMProfile || riid == IID_IWMProfile2 ||
          riid == IID_IWMProfile3))
        return E_NOINTERFACE;
    *ppv = static_cast<IWMProfile3*>(this);
    AddRef();
    return S_OK;
}

ULONG CWmProfile::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

ptrdiff_t CWmProfile::FindStream(WORD wStreamNum) const noexcept {
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (m_streams[i]->StreamNumber() == wStreamNum) return static_cast<ptrdiff_t>(i);
    return -1;
}

HRESULT CWmProfile::GetVersion(WMT_VERSION* pdwVersion) noexcept {
    if (!pdwVersion) return E_POINTER;
    *pdwVersion = m_dwVersion;
    return S_OK;
}

HRESULT CWmProfile::GetName(WCHAR* pwszName, DWORD* pcchName) noexcept {
    return CopyStringOut(m_strName, pwszName, pcchName);
}

HRESULT CWmProfile::SetName(const WCHAR* pwszName) noexcept try {
    if (!pwszName) return E_POINTER;
    m_strName = pwszName;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmProfile::GetDescription(WCHAR* pwszDescription, DWORD* pcchDescription) noexcept {
    return CopyStringOut(m_strDescription, pwszDescription, pcchDescription);
}

HRESULT CWmProfile::SetDescription(const WCHAR* pwszDescription) noexcept try {
    if (!pwszDescription) return E_POINTER;
    m_strDescription = pwszDescription;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmProfile::GetStreamCount(DWORD* pcStreams) noexcept {
    if (!pcStreams) return E_POINTER;
    *pcStreams = static_cast<DWORD>(m_streams.size());
    return S_OK;
}

HRESULT CWmProfile::GetStream(DWORD dwStreamIndex, IWMStreamConfig** ppConfig) noexcept {
    if (!ppConfig) return E_POINTER;
    *ppConfig = nullptr;
    if (dwStreamIndex >= m_streams.size()) return E_INVALIDARG;
    CWmStreamConfig* pCopy = nullptr;
    const HRESULT hr = m_streams[dwStreamIndex]->Clone(&pCopy);
    *ppConfig = pCopy;
    return hr;
}

HRESULT CWmProfile::GetStreamByNumber(WORD wStreamNum, IWMStreamConfig** ppConfig) noexcept {
    if (!ppConfig) return E_POINTER;
    *ppConfig = nullptr;
    const ptrdiff_t index = FindStream(wStreamNum);
    if (index < 0) return NS_E_NO_STREAM;
    return GetStream(static_cast<DWORD>(index), ppConfig);
}

HRESULT CWmProfile::RemoveStream(IWMStreamConfig* pConfig) noexcept {
    if (!pConfig) return E_POINTER;
    WORD wStreamNum = 0;
    const HRESULT hr = pConfig->GetStreamNumber(&wStreamNum);
    if (FAILED(hr)) return hr;
    return RemoveStreamByNumber(wStreamNum);
}

HRESULT CWmProfile::RemoveStreamByNumber(WORD wStreamNum) noexcept {
    const ptrdiff_t index = FindStream(wStreamNum);
    if (index < 0) return NS_E_NO_STREAM;
    m_streams.erase(m_streams.begin() + index);
    return S_OK;
}

HRESULT CWmProfile::AddStream(IWMStreamConfig* pConfig) noexcept try {
    if (!pConfig) return E_POINTER;
    CWmStreamConfig* pOurs = CWmStreamConfig::FromInterface(pConfig);
    if (!pOurs) return E_INVALIDARG;
    if (pOurs->StreamNumber() == 0 || !pOurs->MediaType().IsSet()) return NS_E_INVALID_STREAM;
    if (FindStream(pOurs->StreamNumber()) >= 0) return ASF_E_STREAMNUMBERINUSE;
    ComPtr<CWmStreamConfig> pCopy;
    const HRESULT hr = pOurs->Clone(pCopy.Put());
    if (FAILED(hr)) return hr;
    m_streams.push_back(std::move(pCopy));
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmProfile::ReconfigStream(IWMStreamConfig* pConfig) noexcept {
    if (!pConfig) return E_POINTER;
    CWmStreamConfig* pOurs = CWmStreamConfig::FromInterface(pConfig);
    if (!pOurs) return E_INVALIDARG;
    if (!pOurs->MediaType().IsSet()) return NS_E_INVALID_STREAM;
    const ptrdiff_t index = FindStream(pOurs->StreamNumber());
    if (index < 0) return NS_E_NO_STREAM;
    ComPtr<CWmStreamConfig> pCopy;
    const HRESULT hr = pOurs->Clone(pCopy.Put());
    if (FAILED(hr)) return hr;
    m_streams[static_cast<size_t>(index)] = std::move(pCopy);
    return S_OK;
}

HRESULT CWmProfile::CreateNewStream(REFGUID guidStreamType, IWMStreamConfig** ppConfig) noexcept {
    if (!ppConfig) return E_POINTER;
    *ppConfig = nullptr;
    if (guidStreamType == GUID_NULL) return E_INVALIDARG;
    CWmStreamConfig* pConfig = nullptr;
    const HRESULT hr = CWmStreamConfig::Create(guidStreamType, &pConfig);
    *ppConfig = pConfig;
    return hr;
}

HRESULT CWmProfile::GetMutualExclusionCount(DWORD* pcME) noexcept {
    if (!pcME) return E_POINTER;
    *pcME = static_cast<DWORD>(m_exclusions.size());
    return S_OK;
}

HRESULT CWmProfile::GetMutualExclusion(DWORD dwMEIndex, IWMMutualExclusion** ppME) noexcept {
    if (!ppME) return E_POINTER;
    *ppME = nullptr;
    if (dwMEIndex >= m_exclusions.size()) return E_INVALIDARG;
    *ppME = ComPtr<IWMMutualExclusion>(m_exclusions[dwMEIndex]).Detach();
    return S_OK;
}

HRESULT CWmProfile::RemoveMutualExclusion(IWMMutualExclusion* pME) noexcept try {
    if (!pME) return E_POINTER;
    for (auto it = m_exclusions.begin(); it != m_exclusions.end(); ++it) {
        if (it->Get() == pME) {
            m_exclusions.erase(it);
            return S_OK;
        }
    }
    // Not one of ours: the caller may hold the exclusion it added, of which
    // the profile keeps a copy.
    ExclusionContent wanted;
    HRESULT hr = ReadExclusion(pME, &wanted);
    if (FAILED(hr)) return hr;
    for (auto it = m_exclusions.begin(); it != m_exclusions.end(); ++it) {
        ExclusionContent content;
        hr = ReadExclusion(it->Get(), &content);
        if (FAILED(hr)) return hr;
        if (content == wanted) {
            m_exclusions.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmProfile::AddMutualExclusion(IWMMutualExclusion* pME) noexcept try {
    if (!pME) return E_POINTER;
    ComPtr<IWMMutualExclusion> pCopy;
    const HRESULT hr = CWmMutualExclusion::CreateCopy(pME, pCopy.Put());
    if (FAILED(hr)) return hr;
    m_exclusions.push_back(std::move(pCopy));
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmProfile::CreateNewMutualExclusion(IWMMutualExclusion** ppME) noexcept {
    return CWmMutualExclusion::Create(ppME);
}

HRESULT CWmProfile::GetProfileID(GUID* pguidID) noexcept {
    if (!pguidID) return E_POINTER;
    // Only the platform's stored system profiles have an id.
    *pguidID = GUID_NULL;
    return S_OK;
}

HRESULT CWmProfile::GetStorageFormat(WMT_STORAGE_FORMAT* pnStorageFormat) noexcept {
    if (!pnStorageFormat) return E_POINTER;
    *pnStorageFormat = m_nStorageFormat;
    return S_OK;
}

HRESULT CWmProfile::SetStorageFormat(WMT_STORAGE_FORMAT nStorageFormat) noexcept {
    // The layer writes ASF only.
    if (nStorageFormat != WMT_Storage_Format_V1) return E_INVALIDARG;
    m_nStorageFormat = nStorageFormat;
    return S_OK;
}

HRESULT CWmProfile::GetBandwidthSharingCount(DWORD* pcBS) noexcept {
    if (!pcBS) return E_POINTER;
    *pcBS = 0;
    return S_OK;
}

HRESULT CWmProfile::GetBandwidthSharing(DWORD, IWMBandwidthSharing**) noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::RemoveBandwidthSharing(IWMBandwidthSharing*) noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::AddBandwidthSharing(IWMBandwidthSharing*) noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::CreateNewBandwidthSharing(IWMBandwidthSharing**) noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::GetStreamPrioritization(IWMStreamPrioritization**) noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::SetStreamPrioritization(IWMStreamPrioritization*) noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::RemoveStreamPrioritization() noexcept { return E_NOTIMPL; }
HRESULT CWmProfile::CreateNewStreamPrioritization(IWMStreamPrioritization**) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmProfile::GetExpectedPacketCount(QWORD, QWORD*) noexcept { return E_NOTIMPL; }
