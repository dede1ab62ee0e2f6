// A profile: version, name, description, streams and mutual exclusions
// (IWMProfile/2/3). Streams are kept as copies of the configurations given
// (AddStream) and handed out as copies (GetStream, GetStreamByNumber); a
// changed copy goes back with ReconfigStream, as with the platform's
// profiles. Not thread-safe: one caller at a time.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "wmf/CWmStreamConfig.h"
#include "wmf/WmInterfaces.h"

class CWmProfile final : public IWMProfile3 {
public:
    static HRESULT Create(WMT_VERSION dwVersion, IWMProfile** ppProfile) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMProfile
    HRESULT GetVersion(WMT_VERSION* pdwVersion) noexcept override;
    HRESULT GetName(WCHAR* pwszName, DWORD* pcchName) noexcept override;
    HRESULT SetName(const WCHAR* pwszName) noexcept override;
    HRESULT GetDescription(WCHAR* pwszDescription, DWORD* pcchDescription) noexcept override;
    HRESULT SetDescription(const WCHAR* pwszDescription) noexcept override;
    HRESULT GetStreamCount(DWORD* pcStreams) noexcept override;
    HRESULT GetStream(DWORD dwStreamIndex, IWMStreamConfig** ppConfig) noexcept override;
    // NS_E_NO_STREAM when no stream has that number.
    HRESULT GetStreamByNumber(WORD wStreamNum, IWMStreamConfig** ppConfig) noexcept override;
    HRESULT RemoveStream(IWMStreamConfig* pConfig) noexcept override;
    HRESULT RemoveStreamByNumber(WORD wStreamNum) noexcept override;
    // Takes a copy of a configuration made by this layer (E_INVALIDARG for
    // others) that has a stream number and a media type (NS_E_INVALID_STREAM
    // otherwise); ASF_E_STREAMNUMBERINUSE when the number is taken.
    HRESULT AddStream(IWMStreamConfig* pConfig) noexcept override;
    // Replaces the stream of the configuration's number with a copy of it.
    HRESULT ReconfigStream(IWMStreamConfig* pConfig) noexcept override;
    HRESULT CreateNewStream(REFGUID guidStreamType, IWMStreamConfig** ppConfig) noexcept override;
    HRESULT GetMutualExclusionCount(DWORD* pcME) noexcept override;
    // The profile's own exclusion: changes to it change the profile.
    HRESULT GetMutualExclusion(DWORD dwMEIndex, IWMMutualExclusion** ppME) noexcept override;
    HRESULT RemoveMutualExclusion(IWMMutualExclusion* pME) noexcept override;
    // Takes a copy of the exclusion.
    HRESULT AddMutualExclusion(IWMMutualExclusion* pME) noexcept override;
    HRESULT CreateNewMutualExclusion(IWMMutualExclusion** ppME) noexcept override;

    // IWMProfile2
    HRESULT GetProfileID(GUID* pguidID) noexcept override;

    // IWMProfile3
    HRESULT GetStorageFormat(WMT_STORAGE_FORMAT* pnStorageFormat) noexcept override;
    HRESULT SetStorageFormat(WMT_STORAGE_FORMAT nStorageFormat) noexcept override;
    HRESULT GetBandwidthSharingCount(DWORD* pcBS) noexcept override;
    HRESULT GetBandwidthSharing(DWORD dwBSIndex, IWMBandwidthSharing** ppBS) noexcept override;
    HRESULT RemoveBandwidthSharing(IWMBandwidthSharing* pBS) noexcept override;
    HRESULT AddBandwidthSharing(IWMBandwidthSharing* pBS) noexcept override;
    HRESULT CreateNewBandwidthSharing(IWMBandwidthSharing** ppBS) noexcept override;
    HRESULT GetStreamPrioritization(IWMStreamPrioritization** ppSP) noexcept override;
    HRESULT SetStreamPrioritization(IWMStreamPrioritization* pSP) noexcept override;
    HRESULT RemoveStreamPrioritization() noexcept override;
    HRESULT CreateNewStreamPrioritization(IWMStreamPrioritization** ppSP) noexcept override;
    HRESULT GetExpectedPacketCount(QWORD msDuration, QWORD* pcPackets) noexcept override;

    // The profile's own stream objects, in the order added, for the layer's
    // reader and writer (no copies; do not change them).
    const std::vector<ComPtr<CWmStreamConfig>>& Streams() const noexcept { return m_streams; }

private:
    explicit CWmProfile(WMT_VERSION dwVersion) noexcept : m_dwVersion(dwVersion) {}
    ~CWmProfile() = default;
    // Index of the stream with that number, or -1.
    ptrdiff_t FindStream(WORD wStreamNum) const noexcept;

    std::atomic<ULONG> m_cRef{1};
    WMT_VERSION m_dwVersion;
    WMT_STORAGE_FORMAT m_nStorageFormat = WMT_Storage_Format_V1;
    std::u16string m_strName;
    std::u16string m_strDescription;
    std::vector<ComPtr<CWmStreamConfig>> m_streams;
    std::vector<ComPtr<IWMMutualExclusion>> m_exclusions;
};
