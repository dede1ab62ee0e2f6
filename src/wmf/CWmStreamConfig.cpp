#include "wmf/CWmStreamConfig.h"

#include <new>

#include "win/NsError.h"
#include "wmf/WmCopyOut.h"

CWmStreamConfig::CWmStreamConfig(const GUID& guidStreamType) noexcept
    : m_guidStreamType(guidStreamType) {}

CWmStreamConfig::CWmStreamConfig(const CWmStreamConfig& other)
    : IWMStreamConfig3(),
      IWMVideoMediaProps(),
      IWMPropertyVault(),
      m_guidStreamType(other.m_guidStreamType),
      m_wStreamNum(other.m_wStreamNum),
      m_strName(other.m_strName),
      m_strConnectionName(other.m_strConnectionName),
      m_strLanguage(other.m_strLanguage),
      m_dwBitrate(other.m_dwBitrate),
      m_msBufferWindow(other.m_msBufferWindow),
      m_nTransportType(other.m_nTransportType),
      m_mediaType(other.m_mediaType),
      m_llMaxKeyFrameSpacing(other.m_llMaxKeyFrameSpacing),
      m_dwQuality(other.m_dwQuality),
      m_extensions(other.m_extensions),
      m_properties(other.m_properties) {}

HRESULT CWmStreamConfig::Create(REFGUID guidStreamType, CWmStreamConfig** ppConfig) noexcept {
    if (!ppConfig) return E_POINTER;
    *ppConfig = new (std::nothrow) CWmStreamConfig(guidStreamType);
    return *ppConfig ? S_OK : E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::Create(const WmMediaType& mediaType, CWmStreamConfig** ppConfig) noexcept try {
    if (!ppConfig) return E_POINTER;
    *ppConfig = nullptr;
    auto pConfig = ComPtr<CWmStreamConfig>::Adopt(new (std::nothrow) CWmStreamConfig(mediaType.MajorType()));
    if (!pConfig) return E_OUTOFMEMORY;
    pConfig->m_mediaType = mediaType;
    *ppConfig = pConfig.Detach();
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::Clone(CWmStreamConfig** ppCopy) const noexcept try {
    if (!ppCopy) return E_POINTER;
    *ppCopy = new (std::nothrow) CWmStreamConfig(*this);
    return *ppCopy ? S_OK : E_OUTOFMEMORY;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

CWmStreamConfig* CWmStreamConfig::FromInterface(IUnknown* pUnk) noexcept {
    if (!pUnk) return nullptr;
    void* pv = nullptr;
    if (FAILED(pUnk->QueryInterface(IID_CWmStreamConfig, &pv))) return nullptr;
    auto* pConfig = static_cast<CWmStreamConfig*>(pv);
    // The caller's own reference keeps the object alive.
    pConfig->Release();
    return pConfig;
}

HRESULT CWmStreamConfig::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IWMStreamConfig || riid == IID_IWMStreamConfig2 ||
        riid == IID_IWMStreamConfig3)
        *ppv = static_cast<IWMStreamConfig3*>(this);
    else if (riid == IID_IWMMediaProps || (riid == IID_IWMVideoMediaProps && IsVideo()))
        *ppv = static_cast<IWMVideoMediaProps*>(this);
    else if (riid == IID_IWMPropertyVault)
        *ppv = static_cast<IWMPropertyVault*>(this);
    else if (riid == IID_CWmStreamConfig)
        *ppv = this;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CWmStreamConfig::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

bool CWmStreamConfig::IsVideo() const noexcept {
    return m_guidStreamType == WMMEDIATYPE_Video;
}

HRESULT CWmStreamConfig::GetStreamType(GUID* pguidStreamType) noexcept {
    if (!pguidStreamType) return E_POINTER;
    *pguidStreamType = m_guidStreamType;
    return S_OK;
}

HRESULT CWmStreamConfig::GetStreamNumber(WORD* pwStreamNum) noexcept {
    if (!pwStreamNum) return E_POINTER;
    *pwStreamNum = m_wStreamNum;
    return S_OK;
}

HRESULT CWmStreamConfig::SetStreamNumber(WORD wStreamNum) noexcept {
    if (wStreamNum < 1 || wStreamNum > 127) return E_INVALIDARG;
    m_wStreamNum = wStreamNum;
    return S_OK;
}

HRESULT CWmStreamConfig::GetStreamName(WCHAR* pwszStreamName, WORD* pcchStreamName) noexcept {
    return CopyStringOut(m_strName, pwszStreamName, pcchStreamName);
}

HRESULT CWmStreamConfig::SetStreamName(const WCHAR* pwszStreamName) noexcept try {
    m_strName = WideOrEmpty(pwszStreamName);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::GetConnectionName(WCHAR* pwszInputName, WORD* pcchInputName) noexcept {
    return CopyStringOut(m_strConnectionName, pwszInputName, pcchInputName);
}

HRESULT CWmStreamConfig::SetConnectionName(const WCHAR* pwszInputName) noexcept try {
    m_strConnectionName = WideOrEmpty(pwszInputName);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::GetBitrate(DWORD* pdwBitrate) noexcept {
    if (!pdwBitrate) return E_POINTER;
    *pdwBitrate = m_dwBitrate;
    return S_OK;
}

HRESULT CWmStreamConfig::SetBitrate(DWORD dwBitrate) noexcept {
    m_dwBitrate = dwBitrate;
    return S_OK;
}

HRESULT CWmStreamConfig::GetBufferWindow(DWORD* pmsBufferWindow) noexcept {
    if (!pmsBufferWindow) return E_POINTER;
    *pmsBufferWindow = m_msBufferWindow;
    return S_OK;
}

HRESULT CWmStreamConfig::SetBufferWindow(DWORD msBufferWindow) noexcept {
    m_msBufferWindow = msBufferWindow;
    return S_OK;
}

HRESULT CWmStreamConfig::GetTransportType(WMT_TRANSPORT_TYPE* pnTransportType) noexcept {
    if (!pnTransportType) return E_POINTER;
    *pnTransportType = m_nTransportType;
    return S_OK;
}

HRESULT CWmStreamConfig::SetTransportType(WMT_TRANSPORT_TYPE nTransportType) noexcept {
    if (nTransportType != WMT_Transport_Type_Unreliable && nTransportType != WMT_Transport_Type_Reliable)
        return E_INVALIDARG;
    m_nTransportType = nTransportType;
    return S_OK;
}

HRESULT CWmStreamConfig::AddDataUnitExtension(GUID guidExtensionSystemID, WORD cbExtensionDataSize,
                                              BYTE* pbExtensionSystemInfo,
                                              DWORD cbExtensionSystemInfo) noexcept try {
    if (cbExtensionSystemInfo && !pbExtensionSystemInfo) return E_INVALIDARG;
    if (cbExtensionDataSize == 0) return E_INVALIDARG;
    m_extensions.push_back(DataUnitExtension{
        guidExtensionSystemID, cbExtensionDataSize,
        std::vector<BYTE>(pbExtensionSystemInfo, pbExtensionSystemInfo + cbExtensionSystemInfo)});
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::GetDataUnitExtensionCount(WORD* pcDataUnitExtensions) noexcept {
    if (!pcDataUnitExtensions) return E_POINTER;
    *pcDataUnitExtensions = static_cast<WORD>(m_extensions.size());
    return S_OK;
}

HRESULT CWmStreamConfig::GetDataUnitExtension(WORD wDataUnitExtensionNumber,
                                              GUID* pguidExtensionSystemID,
                                              WORD* pcbExtensionDataSize,
                                              BYTE* pbExtensionSystemInfo,
                                              DWORD* pcbExtensionSystemInfo) noexcept {
    if (!pguidExtensionSystemID || !pcbExtensionDataSize || !pcbExtensionSystemInfo)
        return E_POINTER;
    if (wDataUnitExtensionNumber >= m_extensions.size()) return E_INVALIDARG;
    const DataUnitExtension& ext = m_extensions[wDataUnitExtensionNumber];
    *pguidExtensionSystemID = ext.guidExtensionSystemID;
    *pcbExtensionDataSize = ext.cbExtensionDataSize;
    return CopyBytesOut(ext.systemInfo.data(), ext.systemInfo.size(), pbExtensionSystemInfo,
                        pcbExtensionSystemInfo);
}

HRESULT CWmStreamConfig::RemoveAllDataUnitExtensions() noexcept {
    m_extensions.clear();
    return S_OK;
}

HRESULT CWmStreamConfig::GetLanguage(WCHAR* pwszLanguageString,
                                     WORD* pcchLanguageStringLength) noexcept {
    return CopyStringOut(m_strLanguage, pwszLanguageString, pcchLanguageStringLength);
}

HRESULT CWmStreamConfig::SetLanguage(const WCHAR* pwszLanguageString) noexcept try {
    m_strLanguage = WideOrEmpty(pwszLanguageString);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::GetType(GUID* pguidType) noexcept {
    if (!pguidType) return E_POINTER;
    *pguidType = m_mediaType.MajorType();
    return S_OK;
}

HRESULT CWmStreamConfig::GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) noexcept {
    return m_mediaType.CopyTo(pType, pcbType);
}

HRESULT CWmStreamConfig::SetMediaType(WM_MEDIA_TYPE* pType) noexcept {
    if (!pType) return E_POINTER;
    const HRESULT hr = m_mediaType.Assign(*pType);
    if (FAILED(hr)) return hr;
    m_guidStreamType = m_mediaType.MajorType();
    return S_OK;
}

HRESULT CWmStreamConfig::GetMaxKeyFrameSpacing(LONGLONG* pllTime) noexcept {
    if (!pllTime) return E_POINTER;
    *pllTime = m_llMaxKeyFrameSpacing;
    return S_OK;
}

HRESULT CWmStreamConfig::SetMaxKeyFrameSpacing(LONGLONG llTime) noexcept {
    if (llTime < 0) return E_INVALIDARG;
    m_llMaxKeyFrameSpacing = llTime;
    return S_OK;
}

HRESULT CWmStreamConfig::GetQuality(DWORD* pdwQuality) noexcept {
    if (!pdwQuality) return E_POINTER;
    *pdwQuality = m_dwQuality;
    return S_OK;
}

HRESULT CWmStreamConfig::SetQuality(DWORD dwQuality) noexcept {
    if (dwQuality > 100) return E_INVALIDARG;
    m_dwQuality = dwQuality;
    return S_OK;
}

HRESULT CWmStreamConfig::GetPropertyCount(DWORD* pdwCount) noexcept {
    if (!pdwCount) return E_POINTER;
    *pdwCount = m_properties.Count();
    return S_OK;
}

HRESULT CWmStreamConfig::GetPropertyByName(const WCHAR* pszName, WMT_ATTR_DATATYPE* pType,
                                           BYTE* pValue, DWORD* pdwSize) noexcept {
    return m_properties.GetByName(pszName, pType, pValue, pdwSize, NS_E_UNSUPPORTED_PROPERTY);
}

HRESULT CWmStreamConfig::SetProperty(const WCHAR* pszName, WMT_ATTR_DATATYPE type, BYTE* pValue,
                                     DWORD dwSize) noexcept {
    return m_properties.Set(pszName, type, pValue, dwSize);
}

HRESULT CWmStreamConfig::GetPropertyByIndex(DWORD dwIndex, WCHAR* pszName, DWORD* pdwNameLen,
                                            WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                            DWORD* pdwSize) noexcept {
    return m_properties.GetByIndex(dwIndex, pszName, pdwNameLen, pType, pValue, pdwSize);
}

HRESULT CWmStreamConfig::CopyPropertiesFrom(IWMPropertyVault* pIWMPropertyVault) noexcept try {
    if (!pIWMPropertyVault) return E_POINTER;
    // Through the interface, so that any vault can be the source; the copy
    // is built aside and replaces ours only when it is complete.
    WmPropertyStore copy;
    DWORD cProperties = 0;
    HRESULT hr = pIWMPropertyVault->GetPropertyCount(&cProperties);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < cProperties; ++i) {
        DWORD cchName = 0, cbValue = 0;
        WMT_ATTR_DATATYPE type{};
        hr = pIWMPropertyVault->GetPropertyByIndex(i, nullptr, &cchName, &type, nullptr, &cbValue);
        if (FAILED(hr)) return hr;
        std::u16string name(cchName, u'\0');
        std::vector<BYTE> value(cbValue);
        hr = pIWMPropertyVault->GetPropertyByIndex(i, name.data(), &cchName, &type, value.data(),
                                                   &cbValue);
        if (FAILED(hr)) return hr;
        hr = copy.Set(name.c_str(), type, value.data(), cbValue);
        if (FAILED(hr)) return hr;
    }
    m_properties = std::move(copy);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmStreamConfig::Clear() noexcept {
    m_properties.Clear();
    return S_OK;
}
