#include "wmf/WmMediaType.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "wmf/WmGuids.h"

namespace {

bool IsUncompressedVideo(const GUID& subtype) noexcept {
    static constexpr const GUID* kUncompressed[] = {
        &WMMEDIASUBTYPE_NV12, &WMMEDIASUBTYPE_YV12,   &WMMEDIASUBTYPE_IYUV,
        &WMMEDIASUBTYPE_I420, &WMMEDIASUBTYPE_YUY2,   &WMMEDIASUBTYPE_UYVY,
        &WMMEDIASUBTYPE_YVYU, &WMMEDIASUBTYPE_RGB32,  &WMMEDIASUBTYPE_RGB24,
        &WMMEDIASUBTYPE_RGB565, &WMMEDIASUBTYPE_RGB555};
    return std::any_of(std::begin(kUncompressed), std::end(kUncompressed),
                       [&](const GUID* p) { return *p == subtype; });
}

}  // namespace

GUID VideoSubtypeFromBitmap(const BITMAPINFOHEADER& bih) noexcept {
    if (bih.biCompression == BI_RGB || bih.biCompression == BI_BITFIELDS) {
        switch (bih.biBitCount) {
        case 32: return WMMEDIASUBTYPE_RGB32;
        case 24: return WMMEDIASUBTYPE_RGB24;
        // 16-bit BI_RGB is 5-5-5; the masks of BI_BITFIELDS are taken as 5-6-5.
        case 16: return bih.biCompression == BI_RGB ? WMMEDIASUBTYPE_RGB555 : WMMEDIASUBTYPE_RGB565;
        default: return GUID_NULL;
        }
    }
    return GuidFromFourCC(bih.biCompression);
}

GUID AudioSubtypeFromWave(const WAVEFORMATEX& wfx) noexcept {
    if (wfx.wFormatTag == WAVE_FORMAT_EXTENSIBLE && wfx.cbSize >= 22)
        return reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(wfx).SubFormat;
    return GuidFromFourCC(wfx.wFormatTag);
}

WmMediaType WmMediaType::FromVideoInfo(const VIDEOINFOHEADER& vih, std::span<const BYTE> codecData) {
    std::vector<BYTE> format(sizeof(VIDEOINFOHEADER) + codecData.size());
    VIDEOINFOHEADER header = vih;
    header.bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + codecData.size());
    std::memcpy(format.data(), &header, sizeof header);
    if (!codecData.empty())
        std::memcpy(format.data() + sizeof header, codecData.data(), codecData.size());

    WmMediaType mt;
    mt.m_mt.majortype = WMMEDIATYPE_Video;
    mt.m_mt.subtype = VideoSubtypeFromBitmap(vih.bmiHeader);
    if (IsUncompressedVideo(mt.m_mt.subtype))
        mt.SetSamples(/*bFixedSize=*/true, /*bTemporalCompression=*/false, vih.bmiHeader.biSizeImage);
    else
        mt.SetSamples(/*bFixedSize=*/false, /*bTemporalCompression=*/true, 0);
    mt.m_mt.formattype = WMFORMAT_VideoInfo;
    mt.m_format = std::move(format);
    return mt;
}

WmMediaType WmMediaType::FromBitmapInfo(const BITMAPINFOHEADER& bih, std::span<const BYTE> codecData) {
    VIDEOINFOHEADER vih{};
    vih.rcSource = RECT{0, 0, bih.biWidth, std::abs(bih.biHeight)};
    vih.rcTarget = vih.rcSource;
    vih.bmiHeader = bih;
    return FromVideoInfo(vih, codecData);
}

WmMediaType WmMediaType::FromWaveFormat(const WAVEFORMATEX& wfx) {
    const auto* pBytes = reinterpret_cast<const BYTE*>(&wfx);
    WmMediaType mt;
    mt.m_mt.majortype = WMMEDIATYPE_Audio;
    mt.m_mt.subtype = AudioSubtypeFromWave(wfx);
    mt.SetSamples(/*bFixedSize=*/true, /*bTemporalCompression=*/false, wfx.nBlockAlign);
    mt.m_mt.formattype = WMFORMAT_WaveFormatEx;
    mt.m_format.assign(pBytes, pBytes + sizeof(WAVEFORMATEX) + wfx.cbSize);
    return mt;
}

HRESULT WmMediaType::Assign(const WM_MEDIA_TYPE& mt) noexcept try {
    if (mt.cbFormat && !mt.pbFormat) return E_INVALIDARG;
    std::vector<BYTE> format(mt.pbFormat, mt.pbFormat + mt.cbFormat);
    m_mt = mt;
    m_mt.pUnk = nullptr;
    m_mt.pbFormat = nullptr;
    m_mt.cbFormat = 0;
    m_format = std::move(format);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT WmMediaType::CopyTo(WM_MEDIA_TYPE* pType, DWORD* pcbType) const noexcept {
    if (!pcbType) return E_INVALIDARG;
    const DWORD cbNeeded = Size();
    const DWORD cbGiven = *pcbType;
    *pcbType = cbNeeded;
    if (!pType) return S_OK;
    if (cbGiven < cbNeeded) return ASF_E_BUFFERTOOSMALL;
    *pType = Get();
    if (!m_format.empty()) {
        // The format block lives in the caller's buffer, right behind the
        // structure, so one allocation holds the whole type.
        pType->pbFormat = reinterpret_cast<BYTE*>(pType) + sizeof(WM_MEDIA_TYPE);
        std::memcpy(pType->pbFormat, m_format.data(), m_format.size());
    }
    return S_OK;
}

WM_MEDIA_TYPE WmMediaType::Get() const noexcept {
    WM_MEDIA_TYPE mt = m_mt;
    mt.cbFormat = static_cast<ULONG>(m_format.size());
    mt.pbFormat = m_format.empty() ? nullptr : const_cast<BYTE*>(m_format.data());
    return mt;
}

const VIDEOINFOHEADER* WmMediaType::VideoInfo() const noexcept {
    if (!(m_mt.formattype == WMFORMAT_VideoInfo) || m_format.size() < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(m_format.data());
}

VIDEOINFOHEADER* WmMediaType::VideoInfo() noexcept {
    return const_cast<VIDEOINFOHEADER*>(std::as_const(*this).VideoInfo());
}

const WAVEFORMATEX* WmMediaType::WaveFormat() const noexcept {
    if (!(m_mt.formattype == WMFORMAT_WaveFormatEx) || m_format.size() < sizeof(WAVEFORMATEX))
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(m_format.data());
}

void WmMediaType::SetSamples(bool bFixedSize, bool bTemporalCompression, ULONG lSampleSize) noexcept {
    m_mt.bFixedSizeSamples = bFixedSize ? TRUE : FALSE;
    m_mt.bTemporalCompression = bTemporalCompression ? TRUE : FALSE;
    m_mt.lSampleSize = lSampleSize;
}

void WmMediaType::SetFormat(const GUID& formattype, std::span<const BYTE> format) {
    m_format.assign(format.begin(), format.end());
    m_mt.formattype = formattype;
}

bool operator==(const WmMediaType& a, const WmMediaType& b) noexcept {
    return a.m_mt.majortype == b.m_mt.majortype && a.m_mt.subtype == b.m_mt.subtype &&
           a.m_mt.bFixedSizeSamples == b.m_mt.bFixedSizeSamples &&
           a.m_mt.bTemporalCompression == b.m_mt.bTemporalCompression &&
           a.m_mt.lSampleSize == b.m_mt.lSampleSize && a.m_mt.formattype == b.m_mt.formattype &&
           a.m_format == b.m_format;
}
