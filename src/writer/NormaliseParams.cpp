#include "writer/NormaliseParams.h"

#include "plugin/PlugStatus.h"
#include "writer/AudioBitrateTable.h"

namespace {

// WMV3 pictures smaller than 720 x 480 are held to constant bit rate.
constexpr uint32_t kWmv3VbrMinPixels = 345600;

constexpr uint32_t kKeyFrameIntervalMin = 10;
constexpr uint32_t kKeyFrameIntervalMax = 100;
constexpr uint32_t kKeyFrameIntervalFallback = 25;

// Windows Media video profile codes: 0 WMV2, 1 WMV3, 2 WMV1, 3 WVC1.
constexpr uint32_t kProfileWmv2 = 0;
constexpr uint32_t kProfileWmv3 = 1;
constexpr uint32_t kProfileLast = 3;

void NormaliseVideo(SPlugVideoStreamInfo& video) noexcept {
    // The encoder works on 2 x 2 chroma blocks.
    if (video.dwHeight & 1) video.dwHeight -= 1;
    if (video.dwWidth & 1) video.dwWidth -= 1;

    if (video.dwKeyFrameInterval > kKeyFrameIntervalMax) {
        video.dwKeyFrameInterval = kKeyFrameIntervalMax;
    } else if (video.dwKeyFrameInterval < kKeyFrameIntervalMin) {
        video.dwKeyFrameInterval = kKeyFrameIntervalFallback;
    }

    switch (video.dwColorFormat) {
    case PLUG_COLOR_FORMAT_RGB32:
    case PLUG_COLOR_FORMAT_YUY2:
    case PLUG_COLOR_FORMAT_UYVY:
        break;
    default:
        video.dwColorFormat = PLUG_COLOR_FORMAT_I420;
        break;
    }

    if (video.dwCodecSubType > kProfileLast) video.dwCodecSubType = kProfileWmv2;

    // The product wraps at 32 bits, like every comparison of this record.
    if (video.dwCodecSubType == kProfileWmv3 && video.dwWidth * video.dwHeight < kWmv3VbrMinPixels) {
        video.dwRateControl = 1;
    }
}

}  // namespace

uint32_t NormaliseMediaInfo(SPlugMediaInfo& info) noexcept {
    info.Video.dwCodecType = PLUG_VIDEO_CODEC_WINMEDIA;
    info.Audio.dwAudioType = PLUG_AUDIO_TYPE_WINMEDIA;

    if (info.dwVideoPresent != 0) NormaliseVideo(info.Video);
    if (info.dwAudioPresent == 0) return PLUG_S_OK;

    SPlugAudioStreamInfo& audio = info.Audio;
    if (audio.dwBitsPerSample != 16 && audio.dwBitsPerSample != 24) {
        return PLUG_E_AUDIO_FORMAT_UNSUPPORTED;
    }
    // The codecs offer no mono format at 48000 Hz.
    if (audio.dwChannels == 1 && audio.dwSampleRate == 48000) audio.dwSampleRate = 44100;
    if (audio.dwSampleRate == 11025) audio.dwChannels = 1;
    audio.dwBitRate =
        SnapAudioBitrate(FindAudioBitrateRow(audio.dwSampleRate, audio.dwChannels), audio.dwBitRate);

    if (!IsTableSampleRate(audio.dwSampleRate)) return PLUG_E_AUDIO_FORMAT_UNSUPPORTED;
    audio.dwBlockAlign = (audio.dwChannels * audio.dwBitsPerSample) >> 3;
    return PLUG_S_OK;
}

uint32_t WriterNormaliseParams(void* /*pUnused*/, SPlugMediaInfo* pInfo) noexcept {
    if (!pInfo) return PLUG_E_NULL_ARGUMENT;
    return NormaliseMediaInfo(*pInfo);
}
