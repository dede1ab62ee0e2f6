#include "vrxwm/MediaNames.h"

#include <utility>

namespace {

std::string FourCcText(uint32_t fourcc) {
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) text += static_cast<char>((fourcc >> shift) & 0xFF);
    return text;
}

}  // namespace

std::string VideoCodecName(const SPlugVideoStreamInfo& video) {
    switch (video.dwCodecType) {
    case PLUG_VIDEO_CODEC_WINMEDIA:
        switch (video.dwCodecSubType) {
        case 0: return "WMV2";
        case 1: return "WMV3";
        case 2: return "WMV1";
        case 3: return "VC-1 Advanced";
        // The MS-MPEG-4 variants keep their FourCC as the sub-type.
        case 0x3234504D: return "MS-MPEG-4 v2";
        case 0x3334504D: return "MS-MPEG-4 v3";
        default: return "Windows Media video " + FourCcText(video.dwCodecSubType);
        }
    case PLUG_VIDEO_CODEC_MPEG4: return "MPEG-4 Visual";
    case PLUG_VIDEO_CODEC_H264: return "H.264";
    default: return "other (type " + std::to_string(video.dwCodecType) + ")";
    }
}

std::string AudioCodecName(const SPlugAudioStreamInfo& audio) {
    switch (audio.dwAudioType) {
    case PLUG_AUDIO_TYPE_WINMEDIA:
        switch (audio.dwAudioSubType) {
        // Sub-type 0 covers WMA v1/v2, MP3 and PCM alike.
        case 0: return "Windows Media Audio";
        case 1: return "WMA Pro";
        case 2: return "WMA Lossless";
        case 4: return "ACELP.net";
        case 10: return "WMA Voice";
        default: return "Windows Media audio (sub-type " + std::to_string(audio.dwAudioSubType) + ")";
        }
    case PLUG_AUDIO_TYPE_AAC: return "AAC";
    default: return "unsupported (type " + std::to_string(audio.dwAudioType) + ")";
    }
}

std::string ChannelsName(uint32_t dwChannels) {
    switch (dwChannels) {
    case 1: return "mono";
    case 2: return "stereo";
    default: return std::to_string(dwChannels) + " channels";
    }
}

std::string ColourFormatName(uint32_t dwColorFormat) {
    switch (dwColorFormat) {
    case PLUG_COLOR_FORMAT_RGB32: return "RGB";
    case PLUG_COLOR_FORMAT_YUY2: return "YUY2";
    case PLUG_COLOR_FORMAT_UYVY: return "UYVY";
    case PLUG_COLOR_FORMAT_I420: return "I420";
    default: return "format " + std::to_string(dwColorFormat);
    }
}

std::string FrameRateText(const SPlugVideoStreamInfo& video) {
    uint32_t a = video.dwFrameRateNum;
    uint32_t b = video.dwFrameRateDen;
    while (b) a = std::exchange(b, a % b);
    if (a == 0 || video.dwFrameRateDen == 0) return "unknown";
    return std::to_string(video.dwFrameRateNum / a) + "/" + std::to_string(video.dwFrameRateDen / a);
}

std::string FieldOrderName(uint32_t dwFieldOrder) {
    switch (dwFieldOrder) {
    case 0: return "top field first";
    case 1: return "bottom field first";
    default: return "progressive";
    }
}
