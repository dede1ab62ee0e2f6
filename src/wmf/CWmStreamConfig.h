// One stream of a profile: its number, names, bit rate, buffer window and
// media type (IWMStreamConfig/2/3), the video settings of the same object
// (IWMMediaProps, and IWMVideoMediaProps for video streams, as the platform
// answers them on the configuration itself), and the stream's encoding
// properties (IWMPropertyVault).
//
// Profiles hold copies: IWMProfile::AddStream and GetStream copy the
// configuration, and ReconfigStream puts a changed copy back.
// Not thread-safe: one caller at a time.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "wmf/WmInterfaces.h"
#include "wmf/WmMediaType.h"
#include "wmf/WmPropertyStore.h"

// Answered only by CWmStreamConfig, so that the layer can tell its own
// configurations from a caller's (a profile keeps only its own kind).
inline constexpr IID IID_CWmStreamConfig{0xE0C63C8A, 0x7559, 0x4D3D,
                                         {0xA5, 0xC4, 0xD4, 0xBF, 0x58, 0x3B, 0x24, 0x78}};

class CWmStreamConfig final : public IWMStreamConfig3,
                              public IWMVideoMediaProps,
                              public IWMPropertyVault {
public:
    static constexpr const IID& kIid = IID_CWmStreamConfig;

    // A configuration of the given stream type (a major type), with stream
    // number 0 and no media type yet.
    static HRESULT Create(REFGUID guidStreamType, CWmStreamConfig** ppConfig) noexcept;
    // A configuration carrying a media type; the stream type is its major type.
    static HRESULT Create(const WmMediaType& mediaType, CWmStreamConfig** ppConfig) noexcept;
    // A deep copy of this configuration.
    HRESULT Clone(CWmStreamConfig** ppCopy) const noexcept;
    // The layer's own object behind an interface pointer, or null (no
    // reference is added).
    static CWmStreamConfig* FromInterface(IUnknown* pUnk) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMStreamConfig
    HRESULT GetStreamType(GUID* pguidStreamType) noexcept override;
    HRESULT GetStreamNumber(WORD* pwStreamNum) noexcept override;
    // ASF stream numbers are 7 bits: 1 to 127; anything else is E_INVALIDARG.
    HRESULT SetStreamNumber(WORD wStreamNum) noexcept override;
    HRESULT GetStreamName(WCHAR* pwszStreamName, WORD* pcchStreamName) noexcept override;
    HRESULT SetStreamName(const WCHAR* pwszStreamName) noexcept override;
    HRESULT GetConnectionName(WCHAR* pwszInputName, WORD* pcchInputName) noexcept override;
    HRESULT SetConnectionName(const WCHAR* pwszInputName) noexcept override;
    HRESULT GetBitrate(DWORD* pdwBitrate) noexcept override;
    HRESULT SetBitrate(DWORD dwBitrate) noexcept override;
    HRESULT GetBufferWindow(DWORD* pmsBufferWindow) noexcept override;
    HRESULT SetBufferWindow(DWORD msBufferWindow) noexcept override;

    // IWMStreamConfig2
    HRESULT GetTransportType(WMT_TRANSPORT_TYPE* pnTransportType) noexcept override;
    HRESULT SetTransportType(WMT_TRANSPORT_TYPE nTransportType) noexcept override;
    HRESULT AddDataUnitExtension(GUID guidExtensionSystemID, WORD cbExtensionDataSize,
                                 BYTE* pbExtensionSystemInfo,
                                 DWORD cbExtensionSystemInfo) noexcept override;
    HRESULT GetDataUnitExtensionCount(WORD* pcDataUnitExtensions) noexcept override;
    HRESULT GetDataUnitExtension(WORD wDataUnitExtensionNumber, GUID* pguidExtensionSystemID,
                                 WORD* pcbExtensionDataSize, BYTE* pbExtensionSystemInfo,
                                 DWORD* pcbExtensionSystemInfo) noexcept override;
    HRESULT RemoveAllDataUnitExtensions() noexcept override;

    // IWMStreamConfig3
    HRESULT GetLanguage(WCHAR* pwszLanguageString, WORD* pcchLanguageStringLength) noexcept override;
    HRESULT SetLanguage(const WCHAR* pwszLanguageString) noexcept override;

    // IWMMediaProps
    HRESULT GetType(GUID* pguidType) noexcept override;
    HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) noexcept override;
    // Also makes the type's major type the stream type.
    HRESULT SetMediaType(WM_MEDIA_TYPE* pType) noexcept override;

    // IWMVideoMediaProps
    HRESULT GetMaxKeyFrameSpacing(LONGLONG* pllTime) noexcept override;
    HRESULT SetMaxKeyFrameSpacing(LONGLONG llTime) noexcept override;
    HRESULT GetQuality(DWORD* pdwQuality) noexcept override;
    // 0 to 100; E_INVALIDARG above.
    HRESULT SetQuality(DWORD dwQuality) noexcept override;

    // IWMPropertyVault
    HRESULT GetPropertyCount(DWORD* pdwCount) noexcept override;
    HRESULT GetPropertyByName(const WCHAR* pszName, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                              DWORD* pdwSize) noexcept override;
    HRESULT SetProperty(const WCHAR* pszName, WMT_ATTR_DATATYPE type, BYTE* pValue,
                        DWORD dwSize) noexcept override;
    HRESULT GetPropertyByIndex(DWORD dwIndex, WCHAR* pszName, DWORD* pdwNameLen,
                               WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                               DWORD* pdwSize) noexcept override;
    HRESULT CopyPropertiesFrom(IWMPropertyVault* pIWMPropertyVault) noexcept override;
    HRESULT Clear() noexcept override;

    // Direct access for the layer's reader and writer.
    WORD StreamNumber() const noexcept { return m_wStreamNum; }
    const GUID& StreamType() const noexcept { return m_guidStreamType; }
    const WmMediaType& MediaType() const noexcept { return m_mediaType; }
    const WmPropertyStore& Properties() const noexcept { return m_properties; }
    const std::u16string& StreamName() const noexcept { return m_strName; }
    const std::u16string& ConnectionName() const noexcept { return m_strConnectionName; }
    DWORD Bitrate() const noexcept { return m_dwBitrate; }
    DWORD BufferWindow() const noexcept { return m_msBufferWindow; }
    LONGLONG MaxKeyFrameSpacing() const noexcept { return m_llMaxKeyFrameSpacing; }
    DWORD Quality() const noexcept { return m_dwQuality; }

    struct DataUnitExtension {
        GUID guidExtensionSystemID;
        WORD cbExtensionDataSize;  // 0xFFFF: variable size
        std::vector<BYTE> systemInfo;
    };
    const std::vector<DataUnitExtension>& DataUnitExtensions() const noexcept {
        return m_extensions;
    }

private:
    explicit CWmStreamConfig(const GUID& guidStreamType) noexcept;
    CWmStreamConfig(const CWmStreamConfig& other);  // deep copy with a fresh count
    ~CWmStreamConfig() = default;
    bool IsVideo() const noexcept;

    std::atomic<ULONG> m_cRef{1};
    GUID m_guidStreamType;
    WORD m_wStreamNum = 0;
    std::u16string m_strName;
    std::u16string m_strConnectionName;
    std::u16string m_strLanguage;
    DWORD m_dwBitrate = 0;
    // The platform's codec formats come with a three-second buffer window.
    DWORD m_msBufferWindow = 3000;
    WMT_TRANSPORT_TYPE m_nTransportType = WMT_Transport_Type_Unreliable;
    WmMediaType m_mediaType;
    LONGLONG m_llMaxKeyFrameSpacing = 0;
    DWORD m_dwQuality = 0;
    std::vector<DataUnitExtension> m_extensions;
    WmPropertyStore m_properties;
};
