// CAsfStream: choosing and describing the streams of an opened file.
#include "reader/CAsfStream.h"

#include <algorithm>
#include <cstddef>

#include "plugin/Diagnostics.h"
#include "reader/CMediaTypeBuffer.h"
#include "reader/CodecTables.h"
#include "reader/ExtraData.h"
#include "reader/FrameTiming.h"
#include "vrx/VRXHost.h"
#include "win/MulDiv.h"
#include "wmf/WmAttributes.h"

namespace {

// Pictures narrower than 720 pixels, and 1280-wide HD-ready ones, are taken
// as progressive; standard definition and full HD as interlaced, top field
// first, until the first frame says otherwise.
constexpr uint32_t kInterlacedMinWidth = 720;
constexpr uint32_t kProgressiveHdWidth = 1280;

// "SpeakerConfig" 6: the runtime's code for 5.1 speakers, so that it keeps
// up to six channels instead of folding them down to stereo.
constexpr DWORD kSpeakerConfig51 = 6;

constexpr uint32_t kDefaultBitsPerSample = 16;
constexpr uint32_t kDefaultSampleRate = 44100;

HRESULT SetBoolSetting(IWMSyncReader* pReader, DWORD dwOutput, const WCHAR* pwszName) noexcept {
    const BOOL fOn = TRUE;
    return pReader->SetOutputSetting(dwOutput, pwszName, WMT_TYPE_BOOL, reinterpret_cast<const BYTE*>(&fOn),
                                     sizeof(fOn));
}

// A 32-bit header attribute of a stream (0: the file), or a failure.
HRESULT ReadDwordAttribute(IWMHeaderInfo3* pHeader, WORD wStream, const WCHAR* pwszName, DWORD& dwValue) noexcept {
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    WORD cbValue = sizeof(dwValue);
    return pHeader->GetAttributeByName(&wStream, pwszName, &type, reinterpret_cast<BYTE*>(&dwValue), &cbValue);
}

// One of the output's formats with its media type; false when either
// cannot be had.
bool ReadOutputFormat(IWMSyncReader* pReader, DWORD dwOutput, DWORD dwFormat,
                      ComPtr<IWMOutputMediaProps>& pFormat, CMediaTypeBuffer& formatType) noexcept {
    return SUCCEEDED(pReader->GetOutputFormat(dwOutput, dwFormat, pFormat.Put())) && pFormat &&
           formatType.Read(pFormat.Get()) == S_OK;
}

}  // namespace

HRESULT CAsfStream::DeselectStream(WORD wStream) noexcept {
    WMT_STREAM_SELECTION selection = WMT_OFF;
    return m_pReader->SetStreamsSelected(1, &wStream, &selection);
}

// The status is the last one recorded, which belongs to the last output
// examined: a failure on an earlier output does not end the open, so a file
// whose first streams are odd still opens with the ones that work.
HRESULT CAsfStream::GetMediaProps(SPlugMediaInfo& info, SPlugExtraData* pExtra) noexcept {
    DWORD cOutputs = 0;
    const HRESULT hr = m_pReader->GetOutputCount(&cOutputs);
    if (FAILED(hr)) return hr;
    ComPtr<IWMProfile> pProfile;
    HRESULT hrLast = m_pReader.As(pProfile);
    if (FAILED(hrLast)) return hrLast;
    // Without header information no stream can be timed; the file is then
    // described as holding none.
    ComPtr<IWMHeaderInfo3> pHeader;
    if (FAILED(m_pReader.As(pHeader)) || !pHeader) return hrLast;

    WORD wFileAttributes = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
    QWORD cnsDuration = 0;
    WORD cbDuration = sizeof(cnsDuration);
    m_cnsDuration = SUCCEEDED(pHeader->GetAttributeByName(&wFileAttributes, g_wszWMDuration, &type,
                                                          reinterpret_cast<BYTE*>(&cnsDuration), &cbDuration))
                        ? cnsDuration
                        : 0;

    for (DWORD dwOutput = 0; dwOutput < cOutputs; ++dwOutput) {
        ComPtr<IWMOutputMediaProps> pProps;
        WORD wStream = 0;
        GUID guidType{};
        hrLast = m_pReader->GetOutputProps(dwOutput, pProps.Put());
        if (FAILED(hrLast) || !pProps) continue;
        hrLast = m_pReader->GetStreamNumberForOutput(dwOutput, &wStream);
        if (FAILED(hrLast)) continue;
        hrLast = pProps->GetType(&guidType);
        if (FAILED(hrLast)) continue;

        // The first output of each kind is the one the host gets; the
        // others are switched off so that the runtime does not read them.
        if (guidType == MEDIATYPE_Audio || guidType == MEDIATYPE_Stream) {
            if (m_wAudioStream != 0) {
                hrLast = DeselectStream(wStream);
                continue;
            }
            m_wAudioStream = wStream;
            SetBoolSetting(m_pReader.Get(), dwOutput, g_wszEnableDiscreteOutput);
            m_pReader->SetOutputSetting(dwOutput, g_wszSpeakerConfig, WMT_TYPE_DWORD,
                                        reinterpret_cast<const BYTE*>(&kSpeakerConfig51), sizeof(kSpeakerConfig51));
        } else if (guidType == MEDIATYPE_Video) {
            if (m_wVideoStream != 0) {
                hrLast = DeselectStream(wStream);
                continue;
            }
            m_wVideoStream = wStream;
            SetBoolSetting(m_pReader.Get(), dwOutput, g_wszAllowInterlacedOutput);
        }

        CMediaTypeBuffer outputType;
        hrLast = outputType.Read(pProps.Get());
        if (FAILED(hrLast)) continue;
        const GUID& major = outputType.Get()->majortype;
        const bool bVideo = major == MEDIATYPE_Video;
        if (!bVideo && !(major == MEDIATYPE_Audio || major == MEDIATYPE_Stream)) continue;

        ComPtr<IWMStreamConfig> pConfig;
        if (FAILED(pProfile->GetStreamByNumber(wStream, pConfig.Put())) || !pConfig) {
            // A stream the profile does not know cannot be described; it
            // must not be read as if it had been.
            if (m_wVideoStream == wStream) m_wVideoStream = 0;
            if (m_wAudioStream == wStream) m_wAudioStream = 0;
            DeselectStream(wStream);
            continue;
        }
        SOutput output{dwOutput, wStream, major == MEDIATYPE_Stream, pConfig.Get(), 0};
        hrLast = pConfig->GetBitrate(&output.dwBitrate);
        if (bVideo)
            DescribeVideo(output, pHeader.Get(), info, pExtra, hrLast);
        else
            DescribeAudio(output, info, hrLast);
    }
    return hrLast;
}

void CAsfStream::DescribeVideo(const SOutput& output, IWMHeaderInfo3* pHeader, SPlugMediaInfo& info,
                               SPlugExtraData* pExtra, HRESULT& hrLast) noexcept {
    info.dwVideoPresent = 1;
    info.Video.dwBitRate = output.dwBitrate;
    hrLast = S_OK;
    {
        ComPtr<IWMVideoMediaProps> pVideoProps;
        CMediaTypeBuffer streamType;
        if (output.pConfig->QueryInterface(IID_IWMVideoMediaProps, reinterpret_cast<void**>(pVideoProps.Put())) ==
                S_OK &&
            pVideoProps && streamType.Read(pVideoProps.Get()) == S_OK &&
            streamType.Get()->majortype == MEDIATYPE_Video && streamType.VideoInfo())
            DescribeVideoFormat(streamType, pHeader, info, pExtra);
    }
    ChooseColorFormat(output.dwNumber, info, hrLast);
}

void CAsfStream::DescribeVideoFormat(const CMediaTypeBuffer& streamType, IWMHeaderInfo3* pHeader,
                                     SPlugMediaInfo& info, SPlugExtraData* pExtra) noexcept {
    const VIDEOINFOHEADER& vih = *streamType.VideoInfo();
    SPlugVideoStreamInfo& video = info.Video;
    DescribeVideoCodec(vih.bmiHeader.biCompression, video);
    if (video.dwCodecType == PLUG_VIDEO_CODEC_OTHER && pExtra) {
        // The host decodes an unknown codec itself and needs its header
        // and codec data. biSize counts the codec data; the copy stops at
        // the end of what the format block really holds.
        const DWORD cbHeld = streamType.FormatBytesFrom(offsetof(VIDEOINFOHEADER, bmiHeader));
        SetBitmapExtraData(*pExtra, &vih.bmiHeader, std::min(vih.bmiHeader.biSize, cbHeld));
    }
    // The host's records hold 16-bit sizes; biHeight's sign (row order)
    // goes with the upper bits.
    video.dwWidth = static_cast<uint32_t>(vih.bmiHeader.biWidth) & 0xFFFF;
    video.dwHeight = static_cast<uint32_t>(vih.bmiHeader.biHeight) & 0xFFFF;
    video.dwFieldOrder = video.dwWidth < kInterlacedMinWidth || video.dwWidth == kProgressiveHdWidth ? 2 : 0;

    if (vih.AvgTimePerFrame == 0) {
        video.dwFrameRateNum = 0;
        video.dwFrameRateDen = 0;
        HostLog(INFOTYPE_DIAGNOSTIC, u"CAsfStream::GetMediaProps()--pVIH->AvgTimePerFrame is Zero !!!");
    } else {
        const auto cnsFrame = static_cast<double>(vih.AvgTimePerFrame);
        FrameRateFromDuration(cnsFrame, video.dwFrameRateNum, video.dwFrameRateDen);
        info.dwVideoFrameCount = TruncatedRatio(static_cast<double>(m_cnsDuration), cnsFrame);
        m_dwAvgTimePerFrame = static_cast<DWORD>(MulDiv(10000000, static_cast<int>(video.dwFrameRateDen),
                                                        static_cast<int>(video.dwFrameRateNum)));
    }
    ReadAspectRatio(pHeader, info);
}

void CAsfStream::ReadAspectRatio(IWMHeaderInfo3* pHeader, SPlugMediaInfo& info) noexcept {
    // The file stores the pixel aspect; the host wants the picture's.
    DWORD dwPixelX = 0;
    DWORD dwPixelY = 0;
    if (FAILED(ReadDwordAttribute(pHeader, m_wVideoStream, g_wszWMAspectRatioX, dwPixelX))) {
        dwPixelX = 0;
        DebugOutput(u"Windows media: No AspectRatioX Attribute\n");
    }
    if (FAILED(ReadDwordAttribute(pHeader, m_wVideoStream, g_wszWMAspectRatioY, dwPixelY))) {
        dwPixelY = 0;
        DebugOutput(u"Windows media: No AspectRatioY Attribute\n");
    }
    SARtoDAR(info.Video.dwWidth, info.Video.dwHeight, dwPixelX, dwPixelY, &info.Video.dwAspectX,
             &info.Video.dwAspectY);
}

void CAsfStream::ChooseColorFormat(DWORD dwOutput, SPlugMediaInfo& info, HRESULT& hrLast) noexcept {
    SPlugVideoStreamInfo& video = info.Video;
    if (video.dwCodecType == PLUG_VIDEO_CODEC_OTHER) {
        video.dwColorFormat = PLUG_COLOR_FORMAT_RGB32;
        return;
    }
    if (video.dwCodecType != PLUG_VIDEO_CODEC_WINMEDIA) return;

    // Decoded pictures come packed 4:2:2 when the runtime offers it;
    // otherwise in its default format.
    video.dwColorFormat = 0;
    DWORD cFormats = 0;
    hrLast = m_pReader->GetOutputFormatCount(dwOutput, &cFormats);
    if (FAILED(hrLast)) cFormats = 0;
    for (DWORD dwFormat = 0; dwFormat < cFormats; ++dwFormat) {
        ComPtr<IWMOutputMediaProps> pFormat;
        CMediaTypeBuffer formatType;
        if (!ReadOutputFormat(m_pReader.Get(), dwOutput, dwFormat, pFormat, formatType)) continue;
        const WM_MEDIA_TYPE& mt = *formatType.Get();
        if (!(mt.formattype == FORMAT_VideoInfo)) continue;
        if (mt.subtype == MEDIASUBTYPE_YUY2)
            video.dwColorFormat = PLUG_COLOR_FORMAT_YUY2;
        else if (mt.subtype == MEDIASUBTYPE_UYVY)
            video.dwColorFormat = PLUG_COLOR_FORMAT_UYVY;
        else
            continue;
        hrLast = m_pReader->SetOutputProps(dwOutput, pFormat.Get());
        return;
    }
    video.dwColorFormat = PLUG_COLOR_FORMAT_RGB32;
}

void CAsfStream::DescribeAudio(const SOutput& output, SPlugMediaInfo& info, HRESULT& hrLast) noexcept {
    SPlugAudioStreamInfo& audio = info.Audio;
    info.dwAudioPresent = 1;
    audio.dwBitRate = output.dwBitrate;
    audio.dwChannels = 0;
    {
        ComPtr<IWMMediaProps> pAudioProps;
        CMediaTypeBuffer streamType;
        if (output.pConfig->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void**>(pAudioProps.Put())) == S_OK &&
            pAudioProps && streamType.Read(pAudioProps.Get()) == S_OK) {
            audio.dwAudioType = PLUG_AUDIO_TYPE_NONE;
            const GUID& major = streamType.Get()->majortype;
            const bool bStreamMajor = major == MEDIATYPE_Stream;
            const WAVEFORMATEX* pWfx = major == MEDIATYPE_Audio || bStreamMajor ? streamType.WaveFormat() : nullptr;
            if (pWfx) {
                DescribeAudioCodec(pWfx->wFormatTag, bStreamMajor, audio);
                if (audio.dwAudioType == PLUG_AUDIO_TYPE_NONE) {
                    DropAudioStream(output.wStream, info, hrLast);
                    return;
                }
                HostLogF(INFOTYPE_DIAGNOSTIC, u"WMA--wFormatTag = 0x%x\n", static_cast<unsigned>(pWfx->wFormatTag));
                audio.dwChannels = pWfx->nChannels;
                audio.dwBitsPerSample = pWfx->wBitsPerSample != 0 ? pWfx->wBitsPerSample : kDefaultBitsPerSample;
                audio.dwSampleRate = pWfx->nSamplesPerSec != 0 ? pWfx->nSamplesPerSec : kDefaultSampleRate;
                if (audio.dwAudioType == PLUG_AUDIO_TYPE_WINMEDIA) audio.dwBitRate = pWfx->nAvgBytesPerSec * 8;
            }
        }
    }
    if (!output.bStreamMajorType) {
        if (!ChooseAudioFormat(output.dwNumber, info, hrLast)) info.dwAudioPresent = 0;
        // Every read divides by the block alignment; a format without one
        // cannot be served.
        if (info.dwAudioPresent && audio.dwBlockAlign == 0) {
            DropAudioStream(output.wStream, info, hrLast);
            return;
        }
    }
    info.dwAudioSampleCount =
        TruncatedRatio(static_cast<double>(m_cnsDuration) / kUnitsPerSecond * audio.dwSampleRate, 1.0);
}

// Decoded audio is taken in the stream's own channel count, sample size and
// rate when the runtime offers that; otherwise in the first format offered,
// whose values then describe the stream.
bool CAsfStream::ChooseAudioFormat(DWORD dwOutput, SPlugMediaInfo& info, HRESULT& hrLast) noexcept {
    SPlugAudioStreamInfo& audio = info.Audio;
    DWORD cFormats = 0;
    hrLast = m_pReader->GetOutputFormatCount(dwOutput, &cFormats);
    if (FAILED(hrLast)) cFormats = 0;
    for (const bool bMatching : {true, false}) {
        for (DWORD dwFormat = 0; dwFormat < cFormats; ++dwFormat) {
            ComPtr<IWMOutputMediaProps> pFormat;
            CMediaTypeBuffer formatType;
            if (!ReadOutputFormat(m_pReader.Get(), dwOutput, dwFormat, pFormat, formatType) ||
                !(formatType.Get()->majortype == MEDIATYPE_Audio))
                continue;
            const WAVEFORMATEX* pWfx = formatType.WaveFormat();
            if (!pWfx) continue;
            if (bMatching) {
                HostLogF(INFOTYPE_DIAGNOSTIC, u"WMA--0x%x, %d, %d, %d, %d, %d, %d",
                         static_cast<unsigned>(pWfx->wFormatTag), static_cast<int>(pWfx->nSamplesPerSec),
                         static_cast<int>(pWfx->nChannels), static_cast<int>(pWfx->wBitsPerSample),
                         static_cast<int>(pWfx->nAvgBytesPerSec), static_cast<int>(pWfx->nBlockAlign),
                         static_cast<int>(pWfx->cbSize));
                if (pWfx->nChannels != audio.dwChannels || pWfx->wBitsPerSample != audio.dwBitsPerSample ||
                    pWfx->nSamplesPerSec != audio.dwSampleRate)
                    continue;
                audio.dwBlockAlign = pWfx->nBlockAlign;
                HostLogF(INFOTYPE_DIAGNOSTIC,
                         u"WMA--Find match audio format--[dwSamplesPerSec:%d,dwBitsPerSample:%d,dwChannels:%d, "
                         u"dwBlockAlign:%d]",
                         static_cast<int>(audio.dwSampleRate), static_cast<int>(audio.dwBitsPerSample),
                         static_cast<int>(audio.dwChannels), static_cast<int>(audio.dwBlockAlign));
            } else {
                audio.dwBlockAlign = pWfx->nBlockAlign;
                audio.dwBitsPerSample = pWfx->wBitsPerSample;
                audio.dwChannels = pWfx->nChannels;
                audio.dwSampleRate = pWfx->nSamplesPerSec;
                HostLogF(INFOTYPE_DIAGNOSTIC,
                         u"WMA--Use first audio format[dwSamplesPerSec:%d,dwBitsPerSample:%d,dwChannels:%d, "
                         u"dwBlockAlign:%d]",
                         static_cast<int>(audio.dwSampleRate), static_cast<int>(audio.dwBitsPerSample),
                         static_cast<int>(audio.dwChannels), static_cast<int>(audio.dwBlockAlign));
            }
            hrLast = m_pReader->SetOutputProps(dwOutput, pFormat.Get());
            return true;
        }
        HostLog(INFOTYPE_DIAGNOSTIC, u"WMA--Can't find any match audio format!!!");
    }
    return false;
}

void CAsfStream::DropAudioStream(WORD wStream, SPlugMediaInfo& info, HRESULT& hrLast) noexcept {
    hrLast = DeselectStream(wStream);
    info.Audio.dwAudioType = PLUG_AUDIO_TYPE_NONE;
    info.dwAudioPresent = 0;
    m_wAudioStream = 0;
}
