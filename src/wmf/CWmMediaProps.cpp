#include "wmf/CWmMediaProps.h"

#include <new>

#include "wmf/WmCopyOut.h"

CWmMediaProps::CWmMediaProps(Role role, WmMediaType mediaType, std::u16string groupName,
                             std::u16string connectionName) noexcept
    : m_role(role),
      m_mediaType(std::move(mediaType)),
      m_strGroupName(std::move(groupName)),
      m_strConnectionName(std::move(connectionName)) {}

HRESULT CWmMediaProps::Make(Role role, const WmMediaType& mediaType, std::u16string_view groupName,
                            std::u16string_view connectionName, CWmMediaProps** ppProps) noexcept try {
    *ppProps = new (std::nothrow) CWmMediaProps(role, mediaType, std::u16string(groupName),
                                                std::u16string(connectionName));
    return *ppProps ? S_OK : E_OUTOFMEMORY;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmMediaProps::CreateOutput(const WmMediaType& mediaType, std::u16string_view groupName,
                                    std::u16string_view connectionName,
                                    IWMOutputMediaProps** ppProps) noexcept {
    if (!ppProps) return E_POINTER;
    CWmMediaProps* pProps = nullptr;
    const HRESULT hr = Make(Role::Output, mediaType, groupName, connectionName, &pProps);
    *ppProps = pProps;
    return hr;
}

HRESULT CWmMediaProps::CreateInput(const WmMediaType& mediaType, std::u16string_view connectionName,
                                   std::u16string_view groupName,
                                   IWMInputMediaProps** ppProps) noexcept {
    if (!ppProps) return E_POINTER;
    CWmMediaProps* pProps = nullptr;
    const HRESULT hr = Make(Role::Input, mediaType, groupName, connectionName, &pProps);
    *ppProps = pProps;
    return hr;
}

HRESULT CWmMediaProps::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // Every interface of one role goes through that role's base, so the
    // object keeps one identity.
    if (m_role == Role::Output) {
        if (riid == IID_IUnknown || riid == IID_IWMMediaProps || riid == IID_IWMOutputMediaProps)
            *ppv = static_cast<IWMOutputMediaProps*>(this);
    } else if (riid == IID_IUnknown || riid == IID_IWMMediaProps || riid == IID_IWMInputMediaProps) {
        *ppv = static_cast<IWMInputMediaProps*>(this);
    }
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CWmMediaProps::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

HRESULT CWmMediaProps::GetType(GUID* pguidType) noexcept {
    if (!pguidType) return E_POINTER;
    *pguidType = m_mediaType.MajorType();
    return S_OK;
}

HRESULT CWmMediaProps::GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) noexcept {
    return m_mediaType.CopyTo(pType, pcbType);
}

HRESULT CWmMediaProps::SetMediaType(WM_MEDIA_TYPE* pType) noexcept {
    if (!pType) return E_POINTER;
    return m_mediaType.Assign(*pType);
}

HRESULT CWmMediaProps::GetStreamGroupName(WCHAR* pwszName, WORD* pcchName) noexcept {
    return CopyStringOut(m_strGroupName, pwszName, pcchName);
}

HRESULT CWmMediaProps::GetConnectionName(WCHAR* pwszName, WORD* pcchName) noexcept {
    return CopyStringOut(m_strConnectionName, pwszName, pcchName);
}

HRESULT CWmMediaProps::GetGroupName(WCHAR* pwszName, WORD* pcchName) noexcept {
    return CopyStringOut(m_strGroupName, pwszName, pcchName);
}
