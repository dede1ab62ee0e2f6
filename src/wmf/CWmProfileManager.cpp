#include "wmf/CWmProfileManager.h"

#include <new>

#include "win/Com.h"
#include "wmf/CWmProfile.h"

namespace {

bool IsKnownVersion(WMT_VERSION dwVersion) noexcept {
    return dwVersion == WMT_VER_4_0 || dwVersion == WMT_VER_7_0 || dwVersion == WMT_VER_8_0 ||
           dwVersion == WMT_VER_9_0;
}

}  // namespace

extern "C" HRESULT WMCreateProfileManager(IWMProfileManager** ppProfileManager) noexcept {
    if (!ppProfileManager) return E_POINTER;
    *ppProfileManager = nullptr;
    if (!VrxComIsInitialized()) return CO_E_NOTINITIALIZED;
    return CWmProfileManager::Create(ppProfileManager);
}

HRESULT CWmProfileManager::Create(IWMProfileManager** ppManager) noexcept {
    if (!ppManager) return E_POINTER;
    *ppManager = new (std::nothrow) CWmProfileManager();
    return *ppManager ? S_OK : E_OUTOFMEMORY;
}

HRESULT CWmProfileManager::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IWMProfileManager || riid == IID_IWMProfileManager2)
        *ppv = static_cast<IWMProfileManager2*>(this);
    else if (riid == IID_IWMCodecInfo || riid == IID_IWMCodecInfo2 || riid == IID_IWMCodecInfo3)
        *ppv = static_cast<IWMCodecInfo3*>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CWmProfileManager::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

HRESULT CWmProfileManager::CreateEmptyProfile(WMT_VERSION dwVersion, IWMProfile** ppProfile) noexcept {
    return CWmProfile::Create(dwVersion, ppProfile);
}

HRESULT CWmProfileManager::LoadProfileByID(REFGUID, IWMProfile** ppProfile) noexcept {
    if (!ppProfile) return E_POINTER;
    *ppProfile = nullptr;
    // No system profiles, so no id names one.
    return E_INVALIDARG;
}

HRESULT CWmProfileManager::LoadProfileByData(const WCHAR*, IWMProfile** ppProfile) noexcept {
    if (!ppProfile) return E_POINTER;
    *ppProfile = nullptr;
    return E_NOTIMPL;
}

HRESULT CWmProfileManager::SaveProfile(IWMProfile*, WCHAR*, DWORD*) noexcept {
    return E_NOTIMPL;
}

HRESULT CWmProfileManager::GetSystemProfileCount(DWORD* pcProfiles) noexcept {
    if (!pcProfiles) return E_POINTER;
    *pcProfiles = 0;
    return S_OK;
}

HRESULT CWmProfileManager::LoadSystemProfile(DWORD, IWMProfile** ppProfile) noexcept {
    if (!ppProfile) return E_POINTER;
    *ppProfile = nullptr;
    return E_INVALIDARG;
}

HRESULT CWmProfileManager::GetSystemProfileVersion(WMT_VERSION* pdwVersion) noexcept {
    if (!pdwVersion) return E_POINTER;
    *pdwVersion = m_dwSystemProfileVersion;
    return S_OK;
}

HRESULT CWmProfileManager::SetSystemProfileVersion(WMT_VERSION dwVersion) noexcept {
    if (!IsKnownVersion(dwVersion)) return E_INVALIDARG;
    m_dwSystemProfileVersion = dwVersion;
    return S_OK;
}
