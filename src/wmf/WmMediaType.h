// An owning media type: the WM_MEDIA_TYPE fields and a copy of its format
// block. Value semantics (copies are deep); not thread-safe.
#pragma once

#include <span>
#include <vector>

#include "wmf/WmTypes.h"

class WmMediaType {
public:
    WmMediaType() = default;

    // Builders. They throw std::bad_alloc like any container.
    //
    // A video type around a VIDEOINFOHEADER; codecData (the stream's own
    // codec data) is appended after bmiHeader and counted in biSize.
    static WmMediaType FromVideoInfo(const VIDEOINFOHEADER& vih,
                                     std::span<const BYTE> codecData = {});
    // The same with source and target rectangles of the whole picture, no
    // bit rate and no frame duration.
    static WmMediaType FromBitmapInfo(const BITMAPINFOHEADER& bih,
                                      std::span<const BYTE> codecData = {});
    // An audio type around a WAVEFORMATEX and the cbSize bytes that follow it
    // in memory (the whole WAVEFORMATEXTENSIBLE for tag 0xFFFE).
    static WmMediaType FromWaveFormat(const WAVEFORMATEX& wfx);

    // Copies the caller's type and its cbFormat bytes; pUnk is not kept.
    // E_INVALIDARG when cbFormat is set but pbFormat is null.
    HRESULT Assign(const WM_MEDIA_TYPE& mt) noexcept;

    // The SDK's GetMediaType: with a null pType only *pcbType is set (the
    // size of the structure plus its format block); otherwise the structure
    // is written at pType with its format bytes right behind it and pbFormat
    // pointing at them. ASF_E_BUFFERTOOSMALL (and the size needed in
    // *pcbType) when the buffer is too small.
    HRESULT CopyTo(WM_MEDIA_TYPE* pType, DWORD* pcbType) const noexcept;

    // The fields, pbFormat pointing into this object (valid while it lives
    // unchanged); pUnk is null.
    WM_MEDIA_TYPE Get() const noexcept;
    DWORD Size() const noexcept { return static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + m_format.size()); }

    const GUID& MajorType() const noexcept { return m_mt.majortype; }
    const GUID& SubType() const noexcept { return m_mt.subtype; }
    const GUID& FormatType() const noexcept { return m_mt.formattype; }
    bool IsSet() const noexcept { return !(m_mt.majortype == GUID_NULL); }
    std::span<const BYTE> Format() const noexcept { return m_format; }

    // The format block seen as its structure, or null when the format type
    // differs or the block is too short to hold it.
    const VIDEOINFOHEADER* VideoInfo() const noexcept;
    VIDEOINFOHEADER* VideoInfo() noexcept;
    const WAVEFORMATEX* WaveFormat() const noexcept;

    void SetMajorType(const GUID& majortype) noexcept { m_mt.majortype = majortype; }
    void SetSubType(const GUID& subtype) noexcept { m_mt.subtype = subtype; }
    void SetSamples(bool bFixedSize, bool bTemporalCompression, ULONG lSampleSize) noexcept;
    // Throws std::bad_alloc.
    void SetFormat(const GUID& formattype, std::span<const BYTE> format);

    friend bool operator==(const WmMediaType& a, const WmMediaType& b) noexcept;

private:
    WM_MEDIA_TYPE m_mt{};  // pUnk and pbFormat stay null; see Get()
    std::vector<BYTE> m_format;
};

// The video subtype a bitmap header describes: the four-character code's
// subtype, or for BI_RGB/BI_BITFIELDS the RGB subtype of its bit count.
GUID VideoSubtypeFromBitmap(const BITMAPINFOHEADER& bih) noexcept;
// The audio subtype of a format: the tag's subtype, or SubFormat of a
// WAVEFORMATEXTENSIBLE (whose cbSize must then be at least 22).
GUID AudioSubtypeFromWave(const WAVEFORMATEX& wfx) noexcept;
