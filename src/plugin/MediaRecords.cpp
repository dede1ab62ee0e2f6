#include "plugin/MediaRecords.h"

#include <algorithm>

void InitVideoStreamInfo(SPlugVideoStreamInfo& video) noexcept {
    video = SPlugVideoStreamInfo{};
    video.dwSize = sizeof(SPlugVideoStreamInfo);
    video.dwWidth = 720;
    video.dwHeight = 576;
    video.dwAspectX = 4;
    video.dwAspectY = 3;
    video.dwFrameRateNum = 25;
    video.dwFrameRateDen = 1;
    video.dwColorFormat = PLUG_COLOR_FORMAT_I420;
    std::ranges::fill(video.dwColorCodes, 5u);
    video.dwHostWord56 = 0xFFFFFFFF;
    video.dwKeyFrameInterval = 12;
    video.dwHostWord64 = 2;
    video.dwHostWord68 = 1;
    video.dwRateControl = 1;
}

void InitAudioStreamInfo(SPlugAudioStreamInfo& audio) noexcept {
    audio = SPlugAudioStreamInfo{};
    audio.dwSize = sizeof(SPlugAudioStreamInfo);
    audio.dwAudioType = PLUG_AUDIO_TYPE_PCM;
    audio.dwChannels = 2;
    audio.dwBitsPerSample = 16;
    audio.dwSampleRate = 48000;
    audio.dwBitRate = 1536000;
    // The host's own default, although a stereo 16-bit frame takes 4 bytes:
    // normalisation and the reader's open write the real value.
    audio.dwBlockAlign = 2;
    audio.dwHostWord32 = 1;
    audio.dwHostWord36 = 1;
    audio.dwSamplesPerFrame = 1;
}

void InitMediaInfo(SPlugMediaInfo& info) noexcept {
    info = SPlugMediaInfo{};
    InitVideoStreamInfo(info.Video);
    InitAudioStreamInfo(info.Audio);
}

void InitStreamDesc(SPlugStreamDesc& desc) noexcept {
    desc = SPlugStreamDesc{};
    desc.dwHostWord0 = 1;
    InitVideoStreamInfo(desc.Video);
    InitAudioStreamInfo(desc.Audio);
    desc.dwSamplesPerFrame = 1;
}

void CopyVideoStreamInfo(SPlugVideoStreamInfo& dest, const SPlugVideoStreamInfo& src) noexcept {
    dest = src;
    dest.dwSize = sizeof(SPlugVideoStreamInfo);
}

void CopyMediaInfoForReader(SPlugMediaInfo& dest, const SPlugMediaInfo& src) noexcept {
    dest.dwFormatCode = src.dwFormatCode;
    dest.dwHostWord4 = src.dwHostWord4;
    dest.dwVideoPresent = src.dwVideoPresent;
    CopyVideoStreamInfo(dest.Video, src.Video);
    dest.dwAudioPresent = src.dwAudioPresent;
    dest.Audio = src.Audio;
    std::ranges::copy(src.dwHostWords184, dest.dwHostWords184);
    dest.qwFileSize = src.qwFileSize;
    dest.dwVideoFrameCount = src.dwVideoFrameCount;
    dest.dwAudioSampleCount = src.dwAudioSampleCount;
}

void CopyMediaInfo(SPlugMediaInfo& dest, const SPlugMediaInfo& src) noexcept {
    CopyMediaInfoForReader(dest, src);
    std::ranges::copy(src.dwHostWords216, dest.dwHostWords216);
}

void CopyStreamDesc(SPlugStreamDesc& dest, const SPlugStreamDesc& src) noexcept {
    dest = src;
    dest.Video.dwSize = sizeof(SPlugVideoStreamInfo);
}
