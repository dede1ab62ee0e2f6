#include "wmf/CWmCodecInfo.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "win/NsError.h"
#include "wmf/AvPtr.h"
#include "wmf/CWmStreamConfig.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmCopyOut.h"
#include "wmf/WmGuids.h"
#include "wmf/WmMediaType.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

struct CodecFormat {
    WmMediaType mediaType;
    DWORD dwBitrate;
    std::u16string description;
    int64_t encoderBitRate;  // audio: see CWmCodecInfo::WmaEncoderBitRate
};

struct Codec {
    std::u16string name;
    bool bVbrSupported;
    std::vector<CodecFormat> formats;
};

struct Catalog {
    std::vector<Codec> video;
    std::vector<Codec> audio;
};

std::u16string Widen(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The writer takes width, height, rate and bit rate from its caller; these
// are only the format's starting values.
constexpr LONG kDefaultWidth = 320;
constexpr LONG kDefaultHeight = 240;
constexpr DWORD kDefaultVideoBitrate = 300'000;
constexpr REFERENCE_TIME kDefaultFrameDuration = 333'333;  // 30 fps in 100 ns

void AddVideoCodec(Catalog& catalog, AVCodecID codecId, uint32_t fourCC, const char16_t* name) {
    if (!avcodec_find_encoder(codecId)) return;
    VIDEOINFOHEADER vih{};
    vih.rcSource = RECT{0, 0, kDefaultWidth, kDefaultHeight};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = kDefaultVideoBitrate;
    vih.AvgTimePerFrame = kDefaultFrameDuration;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = kDefaultWidth;
    vih.bmiHeader.biHeight = kDefaultHeight;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biCompression = fourCC;
    Codec codec{name, /*bVbrSupported=*/true, {}};
    codec.formats.push_back(
        CodecFormat{WmMediaType::FromVideoInfo(vih), kDefaultVideoBitrate, name, 0});
    catalog.video.push_back(std::move(codec));
}

// What FFmpeg's wmav2 encoder makes of a request, or nothing when it refuses.
struct WmaEncoding {
    int blockAlign = 0;
    int frameSize = 0;
    std::vector<BYTE> extradata;
};

bool OpenWmaEncoder(const AVCodec* pCodec, int sampleRate, int channels, int64_t bitRate,
                    WmaEncoding* pResult) {
    AvPtr<AVCodecContext> pContext(avcodec_alloc_context3(pCodec));
    if (!pContext) throw std::bad_alloc();
    pContext->sample_rate = sampleRate;
    av_channel_layout_default(&pContext->ch_layout, channels);
    pContext->sample_fmt = AV_SAMPLE_FMT_FLTP;
    pContext->bit_rate = bitRate;
    if (avcodec_open2(pContext.get(), pCodec, nullptr) < 0) return false;
    if (pContext->block_align <= 0 || pContext->frame_size <= 0) return false;
    pResult->blockAlign = pContext->block_align;
    pResult->frameSize = pContext->frame_size;
    pResult->extradata.assign(pContext->extradata, pContext->extradata + pContext->extradata_size);
    return true;
}

// The host's audio table (rates, channels, bit rates it asks for).
struct AudioRow {
    int sampleRate;
    int channels;
    std::array<int, 9> bitRates;  // ascending, 0 for none
};
const AudioRow kAudioRows[] = {
    {48000, 2, {64000, 96000, 128000, 160000, 192000}},
    {48000, 6, {128000, 160000, 192000, 256000, 384000, 440000, 640000, 768000}},
    {44100, 1, {20000, 32000, 48000}},
    {44100, 2, {48000, 64000, 80000, 96000, 128000, 160000, 192000, 256000, 320000}},
    {32000, 1, {20000}},
    {32000, 2, {20000, 32000, 40000, 48000}},
    {22050, 1, {16000, 20000}},
    {22050, 2, {20000, 22000}},
    {16000, 1, {10000, 12000, 16000}},
    {16000, 2, {16000}},
    {11025, 1, {8000, 10000}},
    {8000, 1, {5000, 6000, 8000}},
    {8000, 2, {12000}},
};

// The encoder refuses these outright (and says so on the log), so they are
// not even tried.
constexpr int kWmaMinBitRate = 24000;
constexpr int kWmaMaxChannels = 2;
constexpr int kWmaMaxSampleRate = 48000;

std::u16string AudioDescription(int bitRate, int sampleRate, int channels) {
    return Widen(std::to_string(bitRate / 1000) + " kbps, " + std::to_string(sampleRate / 1000) +
                 " kHz, " + (channels == 1 ? "mono" : "stereo") + " CBR");
}

void AddWmaCodec(Catalog& catalog) {
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!pCodec) return;
    Codec codec{u"Windows Media Audio 8", /*bVbrSupported=*/false, {}};
    for (const AudioRow& row : kAudioRows) {
        if (row.channels > kWmaMaxChannels || row.sampleRate > kWmaMaxSampleRate) continue;
        for (auto it = row.bitRates.rbegin(); it != row.bitRates.rend(); ++it) {
            if (*it < kWmaMinBitRate) continue;  // also the unused slots
            WmaEncoding encoding;
            if (!OpenWmaEncoder(pCodec, row.sampleRate, row.channels, *it, &encoding)) continue;
            // The encoder sizes its blocks from the bit rate and rounds down;
            // the rounded-up rate of the block it chose gives that block back.
            const int64_t blockBits = int64_t{encoding.blockAlign} * 8 * row.sampleRate;
            const int64_t encoderBitRate = (blockBits + encoding.frameSize - 1) / encoding.frameSize;
            WmaEncoding check;
            if (!OpenWmaEncoder(pCodec, row.sampleRate, row.channels, encoderBitRate, &check) ||
                check.blockAlign != encoding.blockAlign)
                continue;

            std::vector<BYTE> format(sizeof(WAVEFORMATEX) + encoding.extradata.size());
            WAVEFORMATEX wfx{};
            wfx.wFormatTag = WAVE_FORMAT_WMAUDIO2;
            wfx.nChannels = static_cast<WORD>(row.channels);
            wfx.nSamplesPerSec = static_cast<DWORD>(row.sampleRate);
            wfx.nAvgBytesPerSec = static_cast<DWORD>(int64_t{encoding.blockAlign} * row.sampleRate /
                                                     encoding.frameSize);
            wfx.nBlockAlign = static_cast<WORD>(encoding.blockAlign);
            wfx.wBitsPerSample = 16;
            wfx.cbSize = static_cast<WORD>(encoding.extradata.size());
            std::memcpy(format.data(), &wfx, sizeof wfx);
            std::copy(encoding.extradata.begin(), encoding.extradata.end(),
                      format.begin() + sizeof wfx);
            codec.formats.push_back(
                CodecFormat{WmMediaType::FromWaveFormat(*reinterpret_cast<const WAVEFORMATEX*>(format.data())),
                            wfx.nAvgBytesPerSec * 8,
                            AudioDescription(*it, row.sampleRate, row.channels), encoderBitRate});
        }
    }
    if (!codec.formats.empty()) catalog.audio.push_back(std::move(codec));
}

std::unique_ptr<const Catalog> BuildCatalog() noexcept try {
    auto pCatalog = std::make_unique<Catalog>();
    AddVideoCodec(*pCatalog, AV_CODEC_ID_WMV2, MakeFourCC('W', 'M', 'V', '2'), u"Windows Media Video 8");
    AddVideoCodec(*pCatalog, AV_CODEC_ID_WMV1, MakeFourCC('W', 'M', 'V', '1'), u"Windows Media Video 7");
    AddWmaCodec(*pCatalog);
    return pCatalog;
} catch (const std::bad_alloc&) {
    return nullptr;
}

// Built on first use; C++ makes the first use thread-safe.
const Catalog* GetCatalog() noexcept {
    static const std::unique_ptr<const Catalog> s_pCatalog = BuildCatalog();
    return s_pCatalog.get();
}

const std::vector<Codec>* CodecsOf(const Catalog& catalog, REFGUID guidType) noexcept {
    if (guidType == WMMEDIATYPE_Video) return &catalog.video;
    if (guidType == WMMEDIATYPE_Audio) return &catalog.audio;
    return nullptr;
}

HRESULT FindCodec(REFGUID guidType, DWORD dwCodecIndex, const Codec** ppCodec) noexcept {
    const Catalog* pCatalog = GetCatalog();
    if (!pCatalog) return E_OUTOFMEMORY;
    const std::vector<Codec>* pCodecs = CodecsOf(*pCatalog, guidType);
    if (!pCodecs || dwCodecIndex >= pCodecs->size()) return E_INVALIDARG;
    *ppCodec = &(*pCodecs)[dwCodecIndex];
    return S_OK;
}

HRESULT CopyDwordOut(DWORD dwValue, WMT_ATTR_DATATYPE type, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                     DWORD* pdwSize) noexcept {
    if (!pType) return E_POINTER;
    *pType = type;
    return CopyBytesOut(&dwValue, sizeof dwValue, pValue, pdwSize);
}

}  // namespace

int64_t CWmCodecInfo::WmaEncoderBitRate(const WAVEFORMATEX& wfx) noexcept {
    const Catalog* pCatalog = GetCatalog();
    if (!pCatalog) return 0;
    for (const Codec& codec : pCatalog->audio) {
        for (const CodecFormat& format : codec.formats) {
            const WAVEFORMATEX* pOffered = format.mediaType.WaveFormat();
            if (pOffered->wFormatTag == wfx.wFormatTag &&
                pOffered->nSamplesPerSec == wfx.nSamplesPerSec &&
                pOffered->nChannels == wfx.nChannels && pOffered->nBlockAlign == wfx.nBlockAlign)
                return format.encoderBitRate;
        }
    }
    return 0;
}

WmPropertyStore* CWmCodecInfo::Settings(REFGUID guidType, DWORD dwCodecIndex) noexcept try {
    const Catalog* pCatalog = GetCatalog();
    if (!pCatalog) return nullptr;
    const std::vector<Codec>* pCodecs = CodecsOf(*pCatalog, guidType);
    if (!pCodecs || dwCodecIndex >= pCodecs->size()) return nullptr;
    std::vector<WmPropertyStore>& settings =
        guidType == WMMEDIATYPE_Video ? m_videoSettings : m_audioSettings;
    if (settings.size() < pCodecs->size()) settings.resize(pCodecs->size());
    return &settings[dwCodecIndex];
} catch (const std::bad_alloc&) {
    return nullptr;
}

bool CWmCodecInfo::AudioFormatsHidden(DWORD dwCodecIndex) noexcept {
    const WmPropertyStore* pSettings = Settings(WMMEDIATYPE_Audio, dwCodecIndex);
    if (!pSettings) return false;
    return pSettings->GetDword(g_wszVBREnabled).value_or(FALSE) != FALSE ||
           pSettings->GetDword(g_wszNumPasses).value_or(1) != 1;
}

HRESULT CWmCodecInfo::GetCodecInfoCount(REFGUID guidType, DWORD* pcCodecs) noexcept {
    if (!pcCodecs) return E_POINTER;
    const Catalog* pCatalog = GetCatalog();
    if (!pCatalog) return E_OUTOFMEMORY;
    const std::vector<Codec>* pCodecs = CodecsOf(*pCatalog, guidType);
    if (!pCodecs) return E_INVALIDARG;
    *pcCodecs = static_cast<DWORD>(pCodecs->size());
    return S_OK;
}

HRESULT CWmCodecInfo::GetCodecFormatCount(REFGUID guidType, DWORD dwCodecIndex,
                                          DWORD* pcFormat) noexcept {
    if (!pcFormat) return E_POINTER;
    const Codec* pCodec = nullptr;
    const HRESULT hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    const bool bHidden = guidType == WMMEDIATYPE_Audio && AudioFormatsHidden(dwCodecIndex);
    *pcFormat = bHidden ? 0 : static_cast<DWORD>(pCodec->formats.size());
    return S_OK;
}

HRESULT CWmCodecInfo::GetCodecFormat(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                                     IWMStreamConfig** ppIStreamConfig) noexcept {
    if (!ppIStreamConfig) return E_POINTER;
    *ppIStreamConfig = nullptr;
    DWORD cFormats = 0;
    HRESULT hr = GetCodecFormatCount(guidType, dwCodecIndex, &cFormats);
    if (FAILED(hr)) return hr;
    if (dwFormatIndex >= cFormats) return E_INVALIDARG;
    const Codec* pCodec = nullptr;
    hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    const CodecFormat& format = pCodec->formats[dwFormatIndex];
    ComPtr<CWmStreamConfig> pConfig;
    hr = CWmStreamConfig::Create(format.mediaType, pConfig.Put());
    if (FAILED(hr)) return hr;
    hr = pConfig->SetBitrate(format.dwBitrate);
    if (FAILED(hr)) return hr;
    *ppIStreamConfig = pConfig.Detach();
    return S_OK;
}

HRESULT CWmCodecInfo::GetCodecName(REFGUID guidType, DWORD dwCodecIndex, WCHAR* wszName,
                                   DWORD* pcchName) noexcept {
    const Codec* pCodec = nullptr;
    const HRESULT hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    return CopyStringOut(pCodec->name, wszName, pcchName);
}

HRESULT CWmCodecInfo::GetCodecFormatDesc(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                                         IWMStreamConfig** ppIStreamConfig, WCHAR* wszDesc,
                                         DWORD* pcchDesc) noexcept {
    if (!pcchDesc) return E_POINTER;
    ComPtr<IWMStreamConfig> pConfig;
    HRESULT hr = GetCodecFormat(guidType, dwCodecIndex, dwFormatIndex, pConfig.Put());
    if (FAILED(hr)) return hr;
    const Codec* pCodec = nullptr;
    hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    hr = CopyStringOut(pCodec->formats[dwFormatIndex].description, wszDesc, pcchDesc);
    if (FAILED(hr)) return hr;
    if (ppIStreamConfig) *ppIStreamConfig = pConfig.Detach();
    return S_OK;
}

HRESULT CWmCodecInfo::GetCodecFormatProp(REFGUID guidType, DWORD dwCodecIndex, DWORD dwFormatIndex,
                                         const WCHAR* pszName, WMT_ATTR_DATATYPE* pType,
                                         BYTE* pValue, DWORD* pdwSize) noexcept {
    if (!pszName) return E_INVALIDARG;
    DWORD cFormats = 0;
    const HRESULT hr = GetCodecFormatCount(guidType, dwCodecIndex, &cFormats);
    if (FAILED(hr)) return hr;
    if (dwFormatIndex >= cFormats) return E_INVALIDARG;
    const std::u16string_view name(pszName);
    if (name == g_wszVBREnabled || name == g_wszNumPasses)
        return GetCodecEnumerationSetting(guidType, dwCodecIndex, pszName, pType, pValue, pdwSize);
    return NS_E_UNSUPPORTED_PROPERTY;
}

HRESULT CWmCodecInfo::GetCodecProp(REFGUID guidType, DWORD dwCodecIndex, const WCHAR* pszName,
                                   WMT_ATTR_DATATYPE* pType, BYTE* pValue, DWORD* pdwSize) noexcept {
    if (!pszName) return E_INVALIDARG;
    const Codec* pCodec = nullptr;
    const HRESULT hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    if (std::u16string_view(pszName) == g_wszIsVBRSupported)
        return CopyDwordOut(pCodec->bVbrSupported ? TRUE : FALSE, WMT_TYPE_BOOL, pType, pValue,
                            pdwSize);
    return NS_E_UNSUPPORTED_PROPERTY;
}

HRESULT CWmCodecInfo::SetCodecEnumerationSetting(REFGUID guidType, DWORD dwCodecIndex,
                                                 const WCHAR* pszName, WMT_ATTR_DATATYPE Type,
                                                 const BYTE* pValue, DWORD dwSize) noexcept {
    if (!pszName || !pValue) return E_INVALIDARG;
    const Codec* pCodec = nullptr;
    const HRESULT hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    WmPropertyStore* pSettings = Settings(guidType, dwCodecIndex);
    if (!pSettings) return E_OUTOFMEMORY;
    const std::u16string_view name(pszName);
    if (name == g_wszVBREnabled) {
        if (Type != WMT_TYPE_BOOL || dwSize != sizeof(BOOL)) return E_INVALIDARG;
    } else if (name == g_wszNumPasses) {
        if (Type != WMT_TYPE_DWORD || dwSize != sizeof(DWORD)) return E_INVALIDARG;
        DWORD cPasses = 0;
        std::memcpy(&cPasses, pValue, sizeof cPasses);
        if (cPasses != 1 && cPasses != 2) return NS_E_INVALID_NUM_PASSES;
    } else {
        return NS_E_UNSUPPORTED_PROPERTY;
    }
    return pSettings->Set(pszName, Type, pValue, dwSize);
}

HRESULT CWmCodecInfo::GetCodecEnumerationSetting(REFGUID guidType, DWORD dwCodecIndex,
                                                 const WCHAR* pszName, WMT_ATTR_DATATYPE* pType,
                                                 BYTE* pValue, DWORD* pdwSize) noexcept {
    if (!pszName) return E_INVALIDARG;
    const Codec* pCodec = nullptr;
    const HRESULT hr = FindCodec(guidType, dwCodecIndex, &pCodec);
    if (FAILED(hr)) return hr;
    const WmPropertyStore* pSettings = Settings(guidType, dwCodecIndex);
    if (!pSettings) return E_OUTOFMEMORY;
    const std::u16string_view name(pszName);
    if (name == g_wszVBREnabled)
        return CopyDwordOut(pSettings->GetDword(name).value_or(FALSE), WMT_TYPE_BOOL, pType, pValue,
                            pdwSize);
    if (name == g_wszNumPasses)
        return CopyDwordOut(pSettings->GetDword(name).value_or(1), WMT_TYPE_DWORD, pType, pValue,
                            pdwSize);
    return NS_E_UNSUPPORTED_PROPERTY;
}
