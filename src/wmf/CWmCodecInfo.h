// Codec enumeration (IWMCodecInfo/2/3) over the codecs this layer can
// really encode with FFmpeg:
//   video codec 0: WMV2 ("Windows Media Video 8"), one format;
//   video codec 1: WMV1 ("Windows Media Video 7"), one format;
//   audio codec 0: WMA v2 (tag 0x0161), one format per sample rate, channel
//     count and bit rate that FFmpeg's wmav2 encoder accepts (16-bit, at
//     most 2 channels and 48 kHz, at least 24 kbit/s), highest bit rate first
//     within a rate and channel group, with the block align and byte rate the
//     encoder really produces.
// Anything else (WMV 9, VC-1, WMA Pro, Lossless, Voice) is simply absent, as
// on a machine without those codecs.
//
// The formats are found once per process by opening the encoder for each
// candidate (thread-safe). This class implements the codec methods; its
// owner, the profile manager, provides IUnknown so that both interfaces
// belong to one object. Enumeration settings are per object, for one caller
// at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "wmf/WmInterfaces.h"
#include "wmf/WmPropertyStore.h"

class CWmCodecInfo : public IWMCodecInfo3 {
public:
    // IWMCodecInfo. Major types other than video and audio are E_INVALIDARG,
    // as are codec and format indices past the end.
    HRESULT GetCodecInfoCount(REFGUID guidType, DWORD* pcCodecs) noexcept override;
    // 0 for the audio codec while _VBRENABLED is TRUE or _PASSESUSED is 2:
    // the WMA v2 encoder has neither.
    HRESULT GetCodecFormatCount(REFGUID guidType, DWORD dwCodecIndex,
                                DWORD* pcFormat) noexcept override;
    // A new stream configuration carrying the format's media type and bit rate.
    HRESULT GetCodecFormat(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                           IWMStreamConfig** ppIStreamConfig) noexcept override;

    // IWMCodecInfo2
    HRESULT GetCodecName(REFGUID guidType, DWORD dwCodecIndex, WCHAR* wszName,
                         DWORD* pcchName) noexcept override;
    // ppIStreamConfig may be null when only the description is wanted.
    HRESULT GetCodecFormatDesc(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                               IWMStreamConfig** ppIStreamConfig, WCHAR* wszDesc,
                               DWORD* pcchDesc) noexcept override;

    // IWMCodecInfo3. Codec property: _ISVBRSUPPORTED. Format properties:
    // _VBRENABLED and _PASSESUSED of the enumeration the format belongs to.
    // Enumeration settings: _VBRENABLED (BOOL, default FALSE) and _PASSESUSED
    // (DWORD 1 or 2, default 1). Other names: NS_E_UNSUPPORTED_PROPERTY.
    HRESULT GetCodecFormatProp(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                               const WCHAR* pszName, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                               DWORD* pdwSize) noexcept override;
    HRESULT GetCodecProp(REFGUID guidType, DWORD dwCodecIndex, const WCHAR* pszName,
                         WMT_ATTR_DATATYPE* pType, BYTE* pValue, DWORD* pdwSize) noexcept override;
    HRESULT SetCodecEnumerationSetting(REFGUID guidType, DWORD dwCodecIndex, const WCHAR* pszName,
                                       WMT_ATTR_DATATYPE Type, const BYTE* pValue,
                                       DWORD dwSize) noexcept override;
    HRESULT GetCodecEnumerationSetting(REFGUID guidType, DWORD dwCodecIndex, const WCHAR* pszName,
                                       WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                       DWORD* pdwSize) noexcept override;

    // The bit rate to open FFmpeg's wmav2 encoder with so that it produces
    // exactly the given offered format's nBlockAlign (the encoder derives
    // its block size from the bit rate, and its own reported bit rate does
    // not map back); 0 when no offered format has that rate, channel count
    // and block align.
    static int64_t WmaEncoderBitRate(const WAVEFORMATEX& wfx) noexcept;

protected:
    CWmCodecInfo() noexcept = default;
    ~CWmCodecInfo() = default;

private:
    // The settings of one codec, or null for an unknown type or index.
    WmPropertyStore* Settings(REFGUID guidType, DWORD dwCodecIndex) noexcept;
    // Whether the audio codec lists nothing under the current settings.
    bool AudioFormatsHidden(DWORD dwCodecIndex) noexcept;

    std::vector<WmPropertyStore> m_videoSettings;
    std::vector<WmPropertyStore> m_audioSettings;
};
