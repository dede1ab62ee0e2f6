// The profile manager (IWMProfileManager/2) and, on the same object, the
// codec enumeration (IWMCodecInfo/2/3, see CWmCodecInfo.h), as the platform's
// manager answers both. WMCreateProfileManager makes one.
//
// Profiles are built, not loaded: CreateEmptyProfile makes an empty custom
// profile of a version. There are no system profiles, and profiles in the
// XML form (LoadProfileByData, SaveProfile) are not supported (E_NOTIMPL).
// Not thread-safe: one caller at a time.
#pragma once

#include <atomic>

#include "wmf/CWmCodecInfo.h"
#include "wmf/WmInterfaces.h"

class CWmProfileManager final : public IWMProfileManager2, public CWmCodecInfo {
public:
    static HRESULT Create(IWMProfileManager** ppManager) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMProfileManager
    // E_INVALIDARG for a version that is not one of WMT_VER_4_0 to WMT_VER_9_0.
    HRESULT CreateEmptyProfile(WMT_VERSION dwVersion, IWMProfile** ppProfile) noexcept override;
    HRESULT LoadProfileByID(REFGUID guidProfile, IWMProfile** ppProfile) noexcept override;
    HRESULT LoadProfileByData(const WCHAR* pwszProfile, IWMProfile** ppProfile) noexcept override;
    HRESULT SaveProfile(IWMProfile* pIWMProfile, WCHAR* pwszProfile,
                        DWORD* pdwLength) noexcept override;
    HRESULT GetSystemProfileCount(DWORD* pcProfiles) noexcept override;
    HRESULT LoadSystemProfile(DWORD dwProfileIndex, IWMProfile** ppProfile) noexcept override;

    // IWMProfileManager2. The version starts at WMT_VER_4_0, as the
    // platform's does for backward compatibility.
    HRESULT GetSystemProfileVersion(WMT_VERSION* pdwVersion) noexcept override;
    HRESULT SetSystemProfileVersion(WMT_VERSION dwVersion) noexcept override;

private:
    CWmProfileManager() noexcept = default;
    ~CWmProfileManager() = default;

    std::atomic<ULONG> m_cRef{1};
    WMT_VERSION m_dwSystemProfileVersion = WMT_VER_4_0;
};
