// The fixed records that the host and the plug-in exchange across the
// ordinals. Little-endian, byte offsets as the host lays them out; every
// offset the plug-in uses is checked below. Fields named HostWord* belong to
// the host: the plug-in passes them through or leaves them alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrx {
using WChar = char16_t;
}

// Host colour formats (PLUG_COLOR_FORMAT_).
enum PLUG_COLOR_FORMAT_ : uint32_t {
    PLUG_COLOR_FORMAT_RGB32 = 1,
    PLUG_COLOR_FORMAT_YUY2 = 13,
    PLUG_COLOR_FORMAT_UYVY = 14,
    PLUG_COLOR_FORMAT_I420 = 23,
};

// Host audio types (PLUG_AUDIO_TYPE) the plug-in sets or reads.
enum PLUG_AUDIO_TYPE : uint32_t {
    PLUG_AUDIO_TYPE_NONE = 0,
    PLUG_AUDIO_TYPE_PCM = 1,
    PLUG_AUDIO_TYPE_AAC = 7,
    PLUG_AUDIO_TYPE_WINMEDIA = 11,
};

// Host video codec types the plug-in sets or reads.
enum : uint32_t {
    PLUG_VIDEO_CODEC_MPEG4 = 8,
    PLUG_VIDEO_CODEC_WINMEDIA = 12,
    PLUG_VIDEO_CODEC_OTHER = 14,
    PLUG_VIDEO_CODEC_H264 = 20,
};

struct SPlugVideoStreamInfo {
    uint32_t dwSize;            // 0: always 108
    uint32_t dwCodecType;       // 4
    uint32_t dwCodecSubType;    // 8
    uint32_t dwWidth;           // 12
    uint32_t dwHeight;          // 16
    uint32_t dwAspectX;         // 20: display aspect
    uint32_t dwAspectY;         // 24
    uint32_t dwFrameRateNum;    // 28
    uint32_t dwFrameRateDen;    // 32
    uint32_t dwFieldOrder;      // 36: 0 top first, 1 bottom first, 2 progressive
    uint32_t dwColorFormat;     // 40: PLUG_COLOR_FORMAT_
    uint32_t dwColorCodes[3];   // 44, 48, 52
    uint32_t dwHostWord56;      // 56
    uint32_t dwKeyFrameInterval;// 60
    uint32_t dwHostWord64;      // 64
    uint32_t dwHostWord68;      // 68
    uint32_t dwRateControl;     // 72: 1 CBR, otherwise peak-constrained VBR
    uint32_t dwBitRate;         // 76
    uint32_t dwHostWord80;      // 80
    uint32_t dwPeakBitRate;     // 84
    uint32_t dwHostWords88[5];  // 88..107
};

struct SPlugAudioStreamInfo {
    uint32_t dwSize;            // 0: always 60
    uint32_t dwAudioType;       // 4: PLUG_AUDIO_TYPE
    uint32_t dwAudioSubType;    // 8
    uint32_t dwChannels;        // 12
    uint32_t dwBitsPerSample;   // 16
    uint32_t dwSampleRate;      // 20
    uint32_t dwBitRate;         // 24
    uint32_t dwBlockAlign;      // 28: bytes per sample frame, all channels
    uint32_t dwHostWord32;      // 32
    uint32_t dwHostWord36;      // 36
    uint32_t dwSamplesPerFrame; // 40
    uint32_t dwHostWords44[4];  // 44..59
};

struct SPlugMediaInfo {
    uint32_t dwFormatCode;          // 0
    uint32_t dwHostWord4;           // 4
    uint32_t dwVideoPresent;        // 8
    SPlugVideoStreamInfo Video;     // 12
    uint32_t dwAudioPresent;        // 120
    SPlugAudioStreamInfo Audio;     // 124
    uint32_t dwHostWords184[8];     // 184
    uint32_t dwHostWords216[6];     // 216: left out of the reader's own copy
    uint64_t qwFileSize;            // 240
    uint32_t dwVideoFrameCount;     // 248
    uint32_t dwAudioSampleCount;    // 252
};

// A format block handed to the host beside a stream description.
struct SPlugExtraData {
    uint32_t dwKind;    // 0 none, 3 BITMAPINFOHEADER followed by codec data
    uint32_t dwHostPad;
    uint8_t* pData;     // owned by whoever filled the record
    int32_t nSize;
    uint32_t dwHostPad2;
};

struct SPlugStreamDesc {
    uint32_t dwHostWord0;           // 0: default 1
    uint32_t dwFormatCode;          // 4
    uint32_t dwHostWord8;           // 8
    uint32_t dwStreamNumber;        // 12
    uint32_t dwStreamKind;          // 16: 1 video, 2 audio
    uint32_t dwHostWord20;          // 20
    uint64_t qwFileSize;            // 24
    SPlugVideoStreamInfo Video;     // 32
    uint32_t dwVideoFrameCount;     // 140
    SPlugAudioStreamInfo Audio;     // 144
    uint32_t dwSamplesPerFrame;     // 204
    uint32_t dwAudioFrameCount;     // 208
    uint8_t abHost212[32];          // 212
    vrx::WChar szText[4][100];      // 244, 444, 644, 844
    uint8_t abHost1044[12];         // 1044
    SPlugExtraData ExtraData;       // 1056
    uint8_t abHost1080[536];        // 1080..1615
};

struct SPlugSourceItem {
    uint32_t dwKind;                // 0: 0 = a file given by name
    uint8_t abHost4[1568];          // 4
    vrx::WChar szFileName[260];     // 1572: zero-terminated
};

struct SPlugSourceList {
    uint32_t dwCount;               // 0
    uint32_t dwHostPad;             // 4
    SPlugSourceItem* pItems;        // 8
};

struct SPlugFrameInfo {
    uint32_t dwSize;                // 0: 144, set by the record's owner
    uint32_t dwKind;                // 4: 1 video, 2 audio
    uint32_t dwContinuation;        // 8: 1 more follows, 2 last
    int32_t nDataLength;            // 12
    uint64_t qwHostWord16;          // 16
    uint64_t qwFrameNumber;         // 24
    uint32_t dwSampleCount;         // 32
    uint32_t dwHostWord36;          // 36
    uint64_t qwPts;                 // 40: 90 kHz
    uint64_t qwDts;                 // 48: 90 kHz
    uint64_t qwHostTime56;          // 56
    uint64_t qwFrameNumber2;        // 64
    uint32_t dwFrameType;           // 72: 1 key/AAC, 2 other compressed, 5 decoded
    uint32_t dwHostWords76[17];     // 76..143
};

struct SPlugReadOptions {
    uint32_t dwWords[10];           // 0 video on, 1 audio on, 2..9 stored only
};

struct SPlugMuxParam {
    uint32_t dwHostWord0;           // 0
    uint32_t dwHostWord4;           // 4: copied into the format code
    uint32_t dwHostWord8;           // 8: copied into the word after it
    int32_t nStreamCount;           // 12
    SPlugStreamDesc* pStreams;      // 16: 1616 bytes apart
    uint32_t dwOpenMode;            // 24: 1 append, 2 read while writing
    uint32_t dwReserved[9];         // 28..63: zero
};

// Never filled by the plug-in (always passed as null); declared for the
// analyser's signature.
struct SPlugAppendInfo_T;

#define VRX_CHECK_FIELD(T, f, off) static_assert(offsetof(T, f) == (off), #T "." #f)
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwCodecType, 4);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwCodecSubType, 8);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwWidth, 12);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwHeight, 16);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwAspectX, 20);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwAspectY, 24);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwFrameRateNum, 28);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwFrameRateDen, 32);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwFieldOrder, 36);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwColorFormat, 40);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwColorCodes, 44);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwHostWord56, 56);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwKeyFrameInterval, 60);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwHostWord64, 64);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwHostWord68, 68);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwRateControl, 72);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwBitRate, 76);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwHostWord80, 80);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwPeakBitRate, 84);
VRX_CHECK_FIELD(SPlugVideoStreamInfo, dwHostWords88, 88);
static_assert(sizeof(SPlugVideoStreamInfo) == 108);

VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwAudioType, 4);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwAudioSubType, 8);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwChannels, 12);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwBitsPerSample, 16);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwSampleRate, 20);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwBitRate, 24);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwBlockAlign, 28);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwHostWord32, 32);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwHostWord36, 36);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwSamplesPerFrame, 40);
VRX_CHECK_FIELD(SPlugAudioStreamInfo, dwHostWords44, 44);
static_assert(sizeof(SPlugAudioStreamInfo) == 60);

VRX_CHECK_FIELD(SPlugMediaInfo, dwHostWord4, 4);
VRX_CHECK_FIELD(SPlugMediaInfo, dwVideoPresent, 8);
VRX_CHECK_FIELD(SPlugMediaInfo, Video, 12);
VRX_CHECK_FIELD(SPlugMediaInfo, dwAudioPresent, 120);
VRX_CHECK_FIELD(SPlugMediaInfo, Audio, 124);
VRX_CHECK_FIELD(SPlugMediaInfo, dwHostWords184, 184);
VRX_CHECK_FIELD(SPlugMediaInfo, dwHostWords216, 216);
VRX_CHECK_FIELD(SPlugMediaInfo, qwFileSize, 240);
VRX_CHECK_FIELD(SPlugMediaInfo, dwVideoFrameCount, 248);
VRX_CHECK_FIELD(SPlugMediaInfo, dwAudioSampleCount, 252);
static_assert(sizeof(SPlugMediaInfo) == 256);

VRX_CHECK_FIELD(SPlugExtraData, dwKind, 0);
VRX_CHECK_FIELD(SPlugExtraData, pData, 8);
VRX_CHECK_FIELD(SPlugExtraData, nSize, 16);
static_assert(sizeof(SPlugExtraData) == 24);

VRX_CHECK_FIELD(SPlugStreamDesc, dwFormatCode, 4);
VRX_CHECK_FIELD(SPlugStreamDesc, dwStreamNumber, 12);
VRX_CHECK_FIELD(SPlugStreamDesc, dwStreamKind, 16);
VRX_CHECK_FIELD(SPlugStreamDesc, qwFileSize, 24);
VRX_CHECK_FIELD(SPlugStreamDesc, Video, 32);
VRX_CHECK_FIELD(SPlugStreamDesc, dwVideoFrameCount, 140);
VRX_CHECK_FIELD(SPlugStreamDesc, Audio, 144);
VRX_CHECK_FIELD(SPlugStreamDesc, dwSamplesPerFrame, 204);
VRX_CHECK_FIELD(SPlugStreamDesc, dwAudioFrameCount, 208);
VRX_CHECK_FIELD(SPlugStreamDesc, szText, 244);
static_assert(offsetof(SPlugStreamDesc, szText) + 1 * 200 == 444);
static_assert(offsetof(SPlugStreamDesc, szText) + 3 * 200 == 844);
VRX_CHECK_FIELD(SPlugStreamDesc, ExtraData, 1056);
static_assert(offsetof(SPlugStreamDesc, ExtraData) + offsetof(SPlugExtraData, pData) == 1064);
static_assert(offsetof(SPlugStreamDesc, ExtraData) + offsetof(SPlugExtraData, nSize) == 1072);
static_assert(sizeof(SPlugStreamDesc) == 1616);

VRX_CHECK_FIELD(SPlugSourceItem, szFileName, 1572);
static_assert(sizeof(SPlugSourceItem) == 2092);
VRX_CHECK_FIELD(SPlugSourceList, pItems, 8);
static_assert(sizeof(SPlugSourceList) == 16);

VRX_CHECK_FIELD(SPlugFrameInfo, dwKind, 4);
VRX_CHECK_FIELD(SPlugFrameInfo, dwContinuation, 8);
VRX_CHECK_FIELD(SPlugFrameInfo, nDataLength, 12);
VRX_CHECK_FIELD(SPlugFrameInfo, qwFrameNumber, 24);
VRX_CHECK_FIELD(SPlugFrameInfo, dwSampleCount, 32);
VRX_CHECK_FIELD(SPlugFrameInfo, qwPts, 40);
VRX_CHECK_FIELD(SPlugFrameInfo, qwDts, 48);
VRX_CHECK_FIELD(SPlugFrameInfo, qwHostTime56, 56);
VRX_CHECK_FIELD(SPlugFrameInfo, qwFrameNumber2, 64);
VRX_CHECK_FIELD(SPlugFrameInfo, dwFrameType, 72);
static_assert(sizeof(SPlugFrameInfo) == 144);

static_assert(sizeof(SPlugReadOptions) == 40);

VRX_CHECK_FIELD(SPlugMuxParam, dwHostWord4, 4);
VRX_CHECK_FIELD(SPlugMuxParam, dwHostWord8, 8);
VRX_CHECK_FIELD(SPlugMuxParam, nStreamCount, 12);
VRX_CHECK_FIELD(SPlugMuxParam, pStreams, 16);
VRX_CHECK_FIELD(SPlugMuxParam, dwOpenMode, 24);
static_assert(sizeof(SPlugMuxParam) == 64);
#undef VRX_CHECK_FIELD
