#include "writer/ProfileBuilder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "plugin/Diagnostics.h"
#include "vrx/VRXHost.h"
#include "win/NsError.h"
#include "wmf/WmAttributes.h"
#include "writer/AudioBitrateTable.h"
#include "writer/FrameRate.h"

namespace {

constexpr size_t kWaveFormatBytes = sizeof(WAVEFORMATEX);  // 18, before cbSize extra bytes

// Above this video bit rate the codec is asked for less quality, more motion.
constexpr DWORD kHighQualityBitrateLimit = 200000;
constexpr DWORD kQualityLowRate = 90;
constexpr DWORD kQualityHighRate = 70;

// Peak-constrained variable bit rate: the peak buffer window.
constexpr DWORD kPeakBufferMs = 5000;

// A matching audio format may be this far from the requested bit rate; the
// codecs round their rates to whole bytes per packet.
constexpr DWORD kAudioBitrateSlack = 249;

struct SVideoCodecChoice {
    DWORD dwFourCC;
    WMT_VERSION dwVersion;
};

// Windows Media video profile codes: 0 WMV2, 1 WMV3, 2 WMV1, 3 WVC1.
SVideoCodecChoice VideoCodecOf(DWORD dwProfileCode) noexcept {
    switch (dwProfileCode) {
    case 1: return {MakeFourCC('W', 'M', 'V', '3'), WMT_VER_9_0};
    case 2: return {MakeFourCC('W', 'M', 'V', '1'), WMT_VER_7_0};
    case 3: return {MakeFourCC('W', 'V', 'C', '1'), WMT_VER_9_0};
    default: return {MakeFourCC('W', 'M', 'V', '2'), WMT_VER_8_0};
    }
}

// Windows Media audio codec codes: 0 standard, 1 Professional, 2 Lossless,
// 3 Voice, 4 ACELP.net.
WORD AudioFormatTagOf(DWORD dwCodecCode) noexcept {
    switch (dwCodecCode) {
    case 1: return WAVE_FORMAT_WMAUDIO3;
    case 2: return WAVE_FORMAT_WMAUDIO_LOSSLESS;
    case 3: return WAVE_FORMAT_WMAVOICE9;
    case 4: return 0x0130;
    default: return WAVE_FORMAT_WMAUDIO2;
    }
}

// The media type of props: the structure into mt, its format bytes into
// format, with mt.pbFormat pointing there. Throws std::bad_alloc.
HRESULT ReadMediaType(IWMMediaProps* pProps, WM_MEDIA_TYPE& mt, std::vector<BYTE>& format) {
    DWORD cbType = 0;
    HRESULT hr = pProps->GetMediaType(nullptr, &cbType);
    if (FAILED(hr)) return hr;
    // Whole WM_MEDIA_TYPEs, so that the structure at its start is aligned.
    std::vector<WM_MEDIA_TYPE> buffer((std::max<size_t>(cbType, sizeof(WM_MEDIA_TYPE)) +
                                       sizeof(WM_MEDIA_TYPE) - 1) / sizeof(WM_MEDIA_TYPE));
    hr = pProps->GetMediaType(buffer.data(), &cbType);
    if (FAILED(hr)) return hr;
    mt = buffer[0];
    if (mt.pbFormat && mt.cbFormat > 0) {
        format.assign(mt.pbFormat, mt.pbFormat + mt.cbFormat);
    } else {
        format.clear();
    }
    mt.cbFormat = static_cast<ULONG>(format.size());
    mt.pbFormat = format.data();
    mt.pUnk = nullptr;
    return S_OK;
}

HRESULT SetStreamBasics(IWMStreamConfig* pConfig, WORD wStreamNum, const WCHAR* pszStreamName,
                        const WCHAR* pszConnectionName, DWORD dwBitrate, WM_MEDIA_TYPE* pType) noexcept {
    HRESULT hr = pConfig->SetStreamNumber(wStreamNum);
    if (FAILED(hr)) return hr;
    hr = pConfig->SetStreamName(pszStreamName);
    if (FAILED(hr)) return hr;
    hr = pConfig->SetConnectionName(pszConnectionName);
    if (FAILED(hr)) return hr;
    hr = pConfig->SetBitrate(dwBitrate);
    if (FAILED(hr)) return hr;
    ComPtr<IWMMediaProps> pProps;
    hr = ComPtr<IWMStreamConfig>(pConfig).As(pProps);
    if (FAILED(hr)) return hr;
    return pProps->SetMediaType(pType);
}

bool AudioFormatMatches(const WAVEFORMATEX& wfx, const SAudioStreamReq& req) noexcept {
    // Lossless has no bit rate of its own to match.
    if (wfx.wFormatTag != WAVE_FORMAT_WMAUDIO_LOSSLESS) {
        // Unsigned wrap-around makes this one comparison cover both sides.
        const DWORD dwDifference = wfx.nAvgBytesPerSec * 8 - req.dwBitrate;
        if (dwDifference + kAudioBitrateSlack > 2 * kAudioBitrateSlack) return false;
    }
    return wfx.nSamplesPerSec == req.dwSampleRate && wfx.nChannels == req.wChannels &&
           wfx.wFormatTag == req.wFormatTag && wfx.wBitsPerSample == req.wBitsPerSample;
}

// With video the smallest packets leave room for the picture; alone, audio
// takes the largest. Among equals the later format wins.
bool ReplacesCandidate(const WAVEFORMATEX& match, const WAVEFORMATEX& candidate, bool bHasVideo) noexcept {
    return bHasVideo ? match.nBlockAlign <= candidate.nBlockAlign
                     : match.nBlockAlign >= candidate.nBlockAlign;
}

WAVEFORMATEX WaveFormatAt(const std::vector<BYTE>& format) noexcept {
    WAVEFORMATEX wfx{};
    std::memcpy(&wfx, format.data(), std::min(format.size(), kWaveFormatBytes));
    return wfx;
}

// The audio format the codecs offer for req into candidate (its WAVEFORMATEX
// and cbSize extra bytes). Throws std::bad_alloc.
HRESULT FindAudioFormat(IWMCodecInfo3* pCodecInfo, const SAudioStreamReq& req, bool bHasVideo,
                        std::vector<BYTE>& candidate) {
    DWORD cCodecs = 0;
    HRESULT hr = pCodecInfo->GetCodecInfoCount(WMMEDIATYPE_Audio, &cCodecs);
    if (FAILED(hr)) return hr;
    for (DWORD iCodec = 0; iCodec < cCodecs; ++iCodec) {
        DWORD cFormats = 0;
        hr = pCodecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, iCodec, &cFormats);
        if (FAILED(hr)) return hr;
        if (cFormats == 0) {
            // A codec that lists nothing by default may list its VBR formats.
            const BOOL bTrue = TRUE;
            hr = pCodecInfo->SetCodecEnumerationSetting(WMMEDIATYPE_Audio, iCodec, g_wszVBREnabled,
                                                        WMT_TYPE_BOOL,
                                                        reinterpret_cast<const BYTE*>(&bTrue),
                                                        sizeof(bTrue));
            if (FAILED(hr)) return hr;
            hr = pCodecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, iCodec, &cFormats);
            if (FAILED(hr)) return hr;
        }
        for (DWORD iFormat = 0; iFormat < cFormats; ++iFormat) {
            ComPtr<IWMStreamConfig> pConfig;
            hr = pCodecInfo->GetCodecFormat(WMMEDIATYPE_Audio, iCodec, iFormat, pConfig.Put());
            if (FAILED(hr)) return hr;
            ComPtr<IWMMediaProps> pProps;
            hr = pConfig.As(pProps);
            if (FAILED(hr)) return hr;
            pConfig.Reset();
            WM_MEDIA_TYPE mt{};
            std::vector<BYTE> format;
            hr = ReadMediaType(pProps.Get(), mt, format);
            if (FAILED(hr)) return hr;
            if (mt.formattype != WMFORMAT_WaveFormatEx || format.size() < kWaveFormatBytes) {
                return E_FAIL;
            }
            const WAVEFORMATEX wfx = WaveFormatAt(format);
            if (!AudioFormatMatches(wfx, req)) continue;
            if (!candidate.empty() && !ReplacesCandidate(wfx, WaveFormatAt(candidate), bHasVideo)) {
                continue;
            }
            // Exactly the structure and its extra bytes, zeros where the
            // runtime gave fewer.
            format.resize(kWaveFormatBytes + wfx.cbSize, 0);
            candidate = std::move(format);
        }
    }
    return candidate.empty() ? NS_E_AUDIO_CODEC_NOT_INSTALLED : S_OK;
}

HRESULT AddAudioStream(IWMProfile* pProfile, IWMProfileManager* pManager, WORD wStreamNum,
                       const SAudioStreamReq& req, bool bHasVideo) noexcept try {
    HostLogF(INFOTYPE_DIAGNOSTIC,
             u"_AddAudioStream(dwFormatTag:0x%x, dwBitrate:%d(bps), dwSampleRate:(%d), dwChannels%d",
             DWORD{req.wFormatTag}, req.dwBitrate, req.dwSampleRate, DWORD{req.wChannels});
    ComPtr<IWMCodecInfo3> pCodecInfo;
    HRESULT hr = ComPtr<IWMProfileManager>(pManager).As(pCodecInfo);
    if (FAILED(hr)) return hr;
    std::vector<BYTE> candidate;
    hr = FindAudioFormat(pCodecInfo.Get(), req, bHasVideo, candidate);
    if (FAILED(hr)) return hr;

    const WAVEFORMATEX wfx = WaveFormatAt(candidate);
    WM_MEDIA_TYPE mt{};
    mt.majortype = WMMEDIATYPE_Audio;
    mt.subtype = GuidFromFourCC(wfx.wFormatTag);
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = wfx.nBlockAlign;
    mt.formattype = WMFORMAT_WaveFormatEx;
    mt.cbFormat = static_cast<ULONG>(candidate.size());
    mt.pbFormat = candidate.data();

    ComPtr<IWMStreamConfig> pConfig;
    hr = pProfile->CreateNewStream(WMMEDIATYPE_Audio, pConfig.Put());
    if (FAILED(hr)) return hr;
    hr = SetStreamBasics(pConfig.Get(), wStreamNum, u"Audio Stream", u"Audio",
                         wfx.nAvgBytesPerSec * 8, &mt);
    if (FAILED(hr)) return hr;
    return pProfile->AddStream(pConfig.Get());
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

// The first video format whose bitmap compression is dwFourCC: its stream
// configuration, its media type into mt and format. Throws std::bad_alloc.
HRESULT FindVideoFormat(IWMCodecInfo* pCodecInfo, DWORD dwFourCC, ComPtr<IWMStreamConfig>& pFound,
                        WM_MEDIA_TYPE& mt, std::vector<BYTE>& format) {
    DWORD cCodecs = 0;
    HRESULT hr = pCodecInfo->GetCodecInfoCount(WMMEDIATYPE_Video, &cCodecs);
    if (FAILED(hr)) return hr;
    for (DWORD iCodec = 0; iCodec < cCodecs; ++iCodec) {
        DWORD cFormats = 0;
        hr = pCodecInfo->GetCodecFormatCount(WMMEDIATYPE_Video, iCodec, &cFormats);
        if (FAILED(hr)) return hr;
        for (DWORD iFormat = 0; iFormat < cFormats; ++iFormat) {
            ComPtr<IWMStreamConfig> pConfig;
            hr = pCodecInfo->GetCodecFormat(WMMEDIATYPE_Video, iCodec, iFormat, pConfig.Put());
            if (FAILED(hr)) return hr;
            ComPtr<IWMVideoMediaProps> pProps;
            hr = pConfig.As(pProps);
            if (FAILED(hr)) return hr;
            hr = ReadMediaType(pProps.Get(), mt, format);
            if (FAILED(hr)) return hr;
            if (mt.formattype != WMFORMAT_VideoInfo || format.size() < sizeof(VIDEOINFOHEADER)) {
                continue;
            }
            VIDEOINFOHEADER vih;
            std::memcpy(&vih, format.data(), sizeof(vih));
            if (vih.bmiHeader.biCompression != dwFourCC) continue;
            pFound = std::move(pConfig);
            return S_OK;
        }
    }
    return NS_E_VIDEO_CODEC_NOT_INSTALLED;
}

HRESULT AddVideoStream(IWMProfile* pProfile, IWMProfileManager* pManager, WORD wStreamNum,
                       const SVideoStreamReq& req) noexcept try {
    ComPtr<IWMCodecInfo> pCodecInfo;
    HRESULT hr = ComPtr<IWMProfileManager>(pManager).As(pCodecInfo);
    if (FAILED(hr)) return hr;
    ComPtr<IWMStreamConfig> pConfig;
    WM_MEDIA_TYPE mt{};
    std::vector<BYTE> format;
    hr = FindVideoFormat(pCodecInfo.Get(), req.dwFourCC, pConfig, mt, format);
    if (FAILED(hr)) return hr;

    VIDEOINFOHEADER vih;
    std::memcpy(&vih, format.data(), sizeof(vih));
    vih.dwBitRate = req.dwBitrate;
    vih.rcSource.right = vih.rcTarget.right = static_cast<LONG>(req.dwWidth);
    vih.rcSource.bottom = vih.rcTarget.bottom = static_cast<LONG>(req.dwHeight);
    vih.bmiHeader.biWidth = static_cast<LONG>(req.dwWidth);
    vih.bmiHeader.biHeight = static_cast<LONG>(req.dwHeight);
    vih.AvgTimePerFrame = static_cast<REFERENCE_TIME>(FrameDurationFromRate(req.dwRateNum, req.dwRateDen));
    std::memcpy(format.data(), &vih, sizeof(vih));

    ComPtr<IWMVideoMediaProps> pProps;
    hr = pConfig.As(pProps);
    if (FAILED(hr)) return hr;
    hr = pProps->SetQuality(req.dwQuality);
    if (FAILED(hr)) return hr;
    hr = pProps->SetMaxKeyFrameSpacing(LONGLONG{req.dwKeyFrameSeconds} * 10'000'000);
    if (FAILED(hr)) return hr;
    hr = SetStreamBasics(pConfig.Get(), wStreamNum, u"Video Stream", u"Video", req.dwBitrate, &mt);
    if (FAILED(hr)) return hr;
    return pProfile->AddStream(pConfig.Get());
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

// Video streams 2 to cVideo + 1 are one choice of bit rates.
HRESULT AddBitrateExclusion(IWMProfile* pProfile, DWORD cVideo) noexcept {
    ComPtr<IWMMutualExclusion> pExclusion;
    HRESULT hr = pProfile->CreateNewMutualExclusion(pExclusion.Put());
    if (FAILED(hr)) return hr;
    hr = pExclusion->SetType(CLSID_WMMUTEX_Bitrate);
    if (FAILED(hr)) return hr;
    for (DWORD iVideo = 0; iVideo < cVideo; ++iVideo) {
        hr = pExclusion->AddStream(static_cast<WORD>(iVideo + 2));
        if (FAILED(hr)) return hr;
    }
    return pProfile->AddMutualExclusion(pExclusion.Get());
}

SVideoStreamReq VideoRequestOf(const SPlugVideoStreamInfo& video, const SVideoCodecChoice& codec) noexcept {
    SVideoStreamReq req{};
    req.dwWidth = video.dwWidth;
    req.dwHeight = video.dwHeight;
    req.dwRateNum = video.dwFrameRateNum;
    req.dwRateDen = video.dwFrameRateDen;
    req.dwBitrate = video.dwBitRate;
    req.dwQuality = video.dwBitRate < kHighQualityBitrateLimit ? kQualityLowRate : kQualityHighRate;
    req.dwKeyFrameSeconds =
        KeyFrameSeconds(video.dwKeyFrameInterval, video.dwFrameRateNum, video.dwFrameRateDen);
    req.dwFourCC = codec.dwFourCC;
    return req;
}

// Snaps the record's audio to a format the codecs offer, in place.
SAudioStreamReq AudioRequestOf(SPlugAudioStreamInfo& audio) noexcept {
    // The codecs offer no mono format at 48000 Hz, and only mono at 11025 Hz.
    if (audio.dwSampleRate == 48000 && audio.dwChannels < 2) audio.dwChannels = 2;
    if (audio.dwSampleRate == 11025) audio.dwChannels = 1;
    audio.dwBitRate =
        SnapAudioBitrate(FindAudioBitrateRow(audio.dwSampleRate, audio.dwChannels), audio.dwBitRate);

    SAudioStreamReq req{};
    req.wFormatTag = AudioFormatTagOf(audio.dwAudioSubType);
    req.wChannels = static_cast<WORD>(audio.dwChannels);
    req.wBitsPerSample = static_cast<WORD>(audio.dwBitsPerSample);
    req.dwSampleRate = audio.dwSampleRate;
    req.dwBitrate = audio.dwBitRate;
    return req;
}

// Peak-constrained variable bit rate on the video stream. Failures leave the
// stream at constant bit rate and are not reported.
void EnablePeakVbr(IWMProfile* pProfile, SPlugVideoStreamInfo& video) noexcept {
    ComPtr<IWMStreamConfig> pConfig;
    if (FAILED(FindVideoStream(pProfile, pConfig.Put()))) return;
    ComPtr<IWMPropertyVault> pVault;
    if (SUCCEEDED(pConfig.As(pVault))) {
        BOOL bTrue = TRUE;
        pVault->SetProperty(g_wszVBREnabled, WMT_TYPE_BOOL, reinterpret_cast<BYTE*>(&bTrue), sizeof(bTrue));
        video.dwRateControl = 2;
        DWORD dwPeak = video.dwPeakBitRate < video.dwBitRate ? video.dwBitRate * 2 : video.dwPeakBitRate;
        pVault->SetProperty(g_wszVBRBitrateMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&dwPeak),
                            sizeof(dwPeak));
        DWORD dwBufferMs = kPeakBufferMs;
        pVault->SetProperty(g_wszVBRBufferWindowMax, WMT_TYPE_DWORD,
                            reinterpret_cast<BYTE*>(&dwBufferMs), sizeof(dwBufferMs));
    }
    pProfile->ReconfigStream(pConfig.Get());
}

// Lets every video sample carry its one-byte interlace flags.
void AddContentTypeExtension(IWMProfile* pProfile) noexcept {
    ComPtr<IWMStreamConfig> pConfig;
    if (FAILED(FindVideoStream(pProfile, pConfig.Put()))) return;
    ComPtr<IWMStreamConfig2> pConfig2;
    if (pConfig.As(pConfig2) == S_OK &&
        FAILED(pConfig2->AddDataUnitExtension(WM_SampleExtensionGUID_ContentType,
                                              /*cbExtensionDataSize=*/1, nullptr, 0))) {
        DebugOutput(u"Support Interlace Video Error\n");
    }
    pProfile->ReconfigStream(pConfig.Get());
}

}  // namespace

HRESULT FindVideoStream(IWMProfile* pProfile, IWMStreamConfig** ppConfig) noexcept {
    *ppConfig = nullptr;
    DWORD cStreams = 0;
    const HRESULT hr = pProfile->GetStreamCount(&cStreams);
    if (FAILED(hr)) return hr;
    for (DWORD iStream = 0; iStream < cStreams; ++iStream) {
        ComPtr<IWMStreamConfig> pConfig;
        if (FAILED(pProfile->GetStream(iStream, pConfig.Put()))) continue;
        GUID type = GUID_NULL;
        if (SUCCEEDED(pConfig->GetStreamType(&type)) && type == WMMEDIATYPE_Video) {
            *ppConfig = pConfig.Detach();
            return S_OK;
        }
    }
    return NS_E_NO_STREAM;
}

HRESULT CreateProfile(const CProfileStore& store, IWMProfile** ppProfile, const SStreamReqList* pList,
                      const WCHAR* pszName, const WCHAR* pszDescription) noexcept {
    if (ppProfile) *ppProfile = nullptr;
    if (!pList) return E_INVALIDARG;
    IWMProfileManager* pManager = store.Manager();
    if (!pManager) return E_POINTER;

    ComPtr<IWMProfile> pProfile;
    HRESULT hr = pManager->CreateEmptyProfile(store.ProfileVersion(), pProfile.Put());
    if (FAILED(hr)) return hr;
    hr = pProfile->SetName(pszName ? pszName : u"Custom Profile");
    if (SUCCEEDED(hr) && pszDescription) hr = pProfile->SetDescription(pszDescription);

    const DWORD cAudio = std::min(pList->cAudio, SStreamReqList::kMaxStreams);
    const DWORD cVideo = std::min(pList->cVideo, SStreamReqList::kMaxStreams);
    for (DWORD iAudio = 0; iAudio < cAudio && SUCCEEDED(hr); ++iAudio) {
        hr = AddAudioStream(pProfile.Get(), pManager, static_cast<WORD>(iAudio + 1),
                            *pList->audio[iAudio], cVideo != 0);
    }
    // Video follows every audio stream.
    const DWORD dwFirstVideo = 2 + (cAudio > 1 ? cAudio - 1 : 0);
    for (DWORD iVideo = 0; iVideo < cVideo && SUCCEEDED(hr); ++iVideo) {
        hr = AddVideoStream(pProfile.Get(), pManager, static_cast<WORD>(dwFirstVideo + iVideo),
                            *pList->video[iVideo]);
    }
    if (SUCCEEDED(hr) && cVideo > 1) hr = AddBitrateExclusion(pProfile.Get(), cVideo);

    if (SUCCEEDED(hr) && ppProfile) *ppProfile = pProfile.Detach();
    return hr;
}

uint32_t GenerateProfile(BYTE byContentType, SPlugMediaInfo& info, IWMProfile** ppProfile) noexcept {
    *ppProfile = nullptr;
    CProfileStore store;
    SStreamReqList list;

    SVideoStreamReq video{};
    if (info.dwVideoPresent != 0) {
        const SVideoCodecChoice codec = VideoCodecOf(info.Video.dwCodecSubType);
        video = VideoRequestOf(info.Video, codec);
        store.SetProfileVersion(codec.dwVersion);
        list.video[list.cVideo++] = &video;
    }
    SAudioStreamReq audio{};
    if (info.dwAudioPresent != 0) {
        audio = AudioRequestOf(info.Audio);
        list.audio[list.cAudio++] = &audio;
    }

    ComPtr<IWMProfile> pProfile;
    if (CreateProfile(store, pProfile.Put(), &list, nullptr, nullptr) != S_OK || !pProfile) {
        VRXMSGW(u"VRXWinMediaCodec",
                u"GenerateProfile() error, Plaese Intall Winmedia player 11 or high version!\n");
        return PLUG_E_NO_PROFILE;
    }
    if (info.dwVideoPresent != 0 && info.Video.dwRateControl != 1) {
        EnablePeakVbr(pProfile.Get(), info.Video);
    }
    if (byContentType != 0) AddContentTypeExtension(pProfile.Get());
    *ppProfile = pProfile.Detach();
    return 0;
}
