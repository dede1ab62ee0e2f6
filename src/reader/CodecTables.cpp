#include "reader/CodecTables.h"

#include "wmf/WmGuids.h"

namespace {

struct SVideoCodecRow {
    DWORD dwFourCC;
    uint32_t dwCodecType;
    uint32_t dwCodecSubType;
};

// Windows Media video profiles as the host numbers them.
constexpr SVideoCodecRow kDecodedVideo[] = {
    {MakeFourCC('W', 'V', 'C', '1'), PLUG_VIDEO_CODEC_WINMEDIA, 3},
    {MakeFourCC('W', 'M', 'V', 'A'), PLUG_VIDEO_CODEC_WINMEDIA, 3},
    {MakeFourCC('W', 'M', 'V', '3'), PLUG_VIDEO_CODEC_WINMEDIA, 1},
    {MakeFourCC('W', 'M', 'V', '2'), PLUG_VIDEO_CODEC_WINMEDIA, 0},
    {MakeFourCC('W', 'M', 'V', '1'), PLUG_VIDEO_CODEC_WINMEDIA, 2},
    // The host tells the MS-MPEG-4 versions apart by the code itself.
    {MakeFourCC('M', 'P', '4', '2'), PLUG_VIDEO_CODEC_WINMEDIA, MakeFourCC('M', 'P', '4', '2')},
    {MakeFourCC('M', 'P', '4', '3'), PLUG_VIDEO_CODEC_WINMEDIA, MakeFourCC('M', 'P', '4', '3')},
};

constexpr DWORD kCompressedH264[] = {MakeFourCC('h', '2', '6', '4'), MakeFourCC('H', '2', '6', '4')};
constexpr DWORD kCompressedMpeg4[] = {MakeFourCC('D', 'I', 'V', 'X'), MakeFourCC('d', 'i', 'v', 'x')};

template <size_t N>
bool Contains(const DWORD (&codes)[N], DWORD dwFourCC) noexcept {
    for (DWORD code : codes)
        if (code == dwFourCC) return true;
    return false;
}

struct SAudioCodecRow {
    WORD wFormatTag;
    uint32_t dwAudioSubType;
};

constexpr SAudioCodecRow kDecodedAudio[] = {
    {0x0001, 0},   // PCM
    {0x000A, 10},  // Windows Media Audio Voice
    {0x0050, 0},   // MPEG audio
    {0x0055, 0},   // MP3
    {0x0130, 4},   // ACELP.net
    {0x0161, 0},   // Windows Media Audio
    {0x0162, 1},   // Professional
    {0x0163, 2},   // Lossless
};

constexpr WORD kAacTags[] = {0x00FF, 0xFFFE};
constexpr uint32_t kAacSubType = 4;

}  // namespace

void DescribeVideoCodec(DWORD dwFourCC, SPlugVideoStreamInfo& video) noexcept {
    for (const auto& row : kDecodedVideo) {
        if (row.dwFourCC == dwFourCC) {
            video.dwCodecType = row.dwCodecType;
            video.dwCodecSubType = row.dwCodecSubType;
            return;
        }
    }
    video.dwCodecType = Contains(kCompressedH264, dwFourCC)    ? PLUG_VIDEO_CODEC_H264
                        : Contains(kCompressedMpeg4, dwFourCC) ? PLUG_VIDEO_CODEC_MPEG4
                                                               : PLUG_VIDEO_CODEC_OTHER;
}

void DescribeAudioCodec(WORD wFormatTag, bool bStreamMajorType, SPlugAudioStreamInfo& audio) noexcept {
    for (const auto& row : kDecodedAudio) {
        if (row.wFormatTag == wFormatTag) {
            audio.dwAudioType = PLUG_AUDIO_TYPE_WINMEDIA;
            audio.dwAudioSubType = row.dwAudioSubType;
            return;
        }
    }
    for (WORD tag : kAacTags) {
        if (tag == wFormatTag) {
            audio.dwAudioType = bStreamMajorType ? PLUG_AUDIO_TYPE_AAC : PLUG_AUDIO_TYPE_NONE;
            audio.dwAudioSubType = kAacSubType;
            return;
        }
    }
    audio.dwAudioType = PLUG_AUDIO_TYPE_NONE;
}
