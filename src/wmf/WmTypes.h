// Structures, enumerations and flags of the Windows Media Format interfaces,
// with the byte layout the platform gives them, so that media types and
// format blocks can be handed between the plug-in and this layer unchanged.
#pragma once

#include <cstddef>

#include "win/Guid.h"
#include "win/Unknown.h"
#include "win/WinError.h"

using REFERENCE_TIME = LONGLONG;  // 100 ns units

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
static_assert(sizeof(RECT) == 16);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: bottom-up rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;  // BI_RGB, BI_BITFIELDS or a four-character code
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(offsetof(BITMAPINFOHEADER, biCompression) == 16);
static_assert(offsetof(BITMAPINFOHEADER, biClrImportant) == 36);

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

// The codec's own data, when a stream has any, follows bmiHeader directly
// and is counted in bmiHeader.biSize.
struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, dwBitRate) == 32);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

// Byte-packed on the platform: 18 bytes, cbSize extra bytes follow.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;  // wFormatTag WAVE_FORMAT_EXTENSIBLE, cbSize 22
    union {
        WORD wValidBitsPerSample;
        WORD wSamplesPerBlock;
        WORD wReserved;
    } Samples;
    DWORD dwChannelMask;
    GUID SubFormat;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8);
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, dwChannelMask) == 20);
static_assert(offsetof(WAVEFORMATEXTENSIBLE, SubFormat) == 24);

inline constexpr WORD WAVE_FORMAT_PCM = 0x0001;
inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
inline constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
inline constexpr WORD WAVE_FORMAT_WMAVOICE9 = 0x000A;
inline constexpr WORD WAVE_FORMAT_MSAUDIO1 = 0x0160;
inline constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x0161;  // Windows Media Audio 7/8/9 Standard
inline constexpr WORD WAVE_FORMAT_WMAUDIO3 = 0x0162;  // Professional
inline constexpr WORD WAVE_FORMAT_WMAUDIO_LOSSLESS = 0x0163;

// WAVE speaker positions, the bits of dwChannelMask in WAVE channel order.
inline constexpr DWORD SPEAKER_FRONT_LEFT = 0x1;
inline constexpr DWORD SPEAKER_FRONT_RIGHT = 0x2;
inline constexpr DWORD SPEAKER_FRONT_CENTER = 0x4;
inline constexpr DWORD SPEAKER_LOW_FREQUENCY = 0x8;
inline constexpr DWORD SPEAKER_BACK_LEFT = 0x10;
inline constexpr DWORD SPEAKER_BACK_RIGHT = 0x20;
inline constexpr DWORD SPEAKER_FRONT_LEFT_OF_CENTER = 0x40;
inline constexpr DWORD SPEAKER_FRONT_RIGHT_OF_CENTER = 0x80;
inline constexpr DWORD SPEAKER_BACK_CENTER = 0x100;
inline constexpr DWORD SPEAKER_SIDE_LEFT = 0x200;
inline constexpr DWORD SPEAKER_SIDE_RIGHT = 0x400;

// A media type as the interfaces exchange it. pbFormat points at cbFormat
// bytes owned by whoever filled the structure (see WmMediaType.h).
struct WM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};
static_assert(offsetof(WM_MEDIA_TYPE, bFixedSizeSamples) == 32);
static_assert(offsetof(WM_MEDIA_TYPE, lSampleSize) == 40);
static_assert(offsetof(WM_MEDIA_TYPE, formattype) == 44);
static_assert(offsetof(WM_MEDIA_TYPE, pUnk) == 64);
static_assert(offsetof(WM_MEDIA_TYPE, cbFormat) == 72);
static_assert(offsetof(WM_MEDIA_TYPE, pbFormat) == 80);
static_assert(sizeof(WM_MEDIA_TYPE) == 88);

enum WMT_ATTR_DATATYPE : int32_t {
    WMT_TYPE_DWORD = 0,
    WMT_TYPE_STRING = 1,
    WMT_TYPE_BINARY = 2,
    WMT_TYPE_BOOL = 3,  // stored as a 4-byte BOOL
    WMT_TYPE_QWORD = 4,
    WMT_TYPE_WORD = 5,
    WMT_TYPE_GUID = 6,
};

enum WMT_STATUS : int32_t {
    WMT_ERROR = 0,
    WMT_OPENED = 1,
    WMT_BUFFERING_START = 2,
    WMT_BUFFERING_STOP = 3,
    WMT_EOF = 4,
    WMT_END_OF_FILE = 4,
    WMT_END_OF_SEGMENT = 5,
    WMT_END_OF_STREAMING = 6,
    WMT_LOCATING = 7,
    WMT_CONNECTING = 8,
    WMT_NO_RIGHTS = 9,
    WMT_MISSING_CODEC = 10,
    WMT_STARTED = 11,
    WMT_STOPPED = 12,
    WMT_CLOSED = 13,
    WMT_STRIDING = 14,
    WMT_TIMER = 15,
    WMT_INDEX_PROGRESS = 16,
    WMT_SAVEAS_START = 17,
    WMT_SAVEAS_STOP = 18,
    WMT_NEW_SOURCEFLAGS = 19,
    WMT_NEW_METADATA = 20,
    WMT_BACKUPRESTORE_BEGIN = 21,
    WMT_SOURCE_SWITCH = 22,
    WMT_ACQUIRE_LICENSE = 23,
    WMT_INDIVIDUALIZE = 24,
    WMT_NEEDS_INDIVIDUALIZATION = 25,
    WMT_NO_RIGHTS_EX = 26,
    WMT_BACKUPRESTORE_END = 27,
    WMT_BACKUPRESTORE_CONNECTING = 28,
    WMT_BACKUPRESTORE_DISCONNECTING = 29,
    WMT_ERROR_WITHURL = 30,
    WMT_RESTRICTED_LICENSE = 31,
    WMT_CLIENT_CONNECT = 32,
    WMT_CLIENT_DISCONNECT = 33,
    WMT_NATIVE_OUTPUT_PROPS_CHANGED = 34,
    WMT_RECONNECT_START = 35,
    WMT_RECONNECT_END = 36,
    WMT_CLIENT_CONNECT_EX = 37,
    WMT_CLIENT_DISCONNECT_EX = 38,
    WMT_SET_FEC_SPAN = 39,
    WMT_PREROLL_READY = 40,
    WMT_PREROLL_COMPLETE = 41,
    WMT_CLIENT_PROPERTIES = 42,
    WMT_LICENSEURL_SIGNATURE_STATE = 43,
};

enum WMT_STREAM_SELECTION : int32_t {
    WMT_OFF = 0,
    WMT_CLEANPOINT_ONLY = 1,
    WMT_ON = 2,
};

enum WMT_VERSION : int32_t {
    WMT_VER_4_0 = 0x00040000,
    WMT_VER_7_0 = 0x00070000,
    WMT_VER_8_0 = 0x00080000,
    WMT_VER_9_0 = 0x00090000,
};

enum WMT_CODEC_INFO_TYPE : uint32_t {
    WMT_CODECINFO_AUDIO = 0,
    WMT_CODECINFO_VIDEO = 1,
    WMT_CODECINFO_UNKNOWN = 0xFFFFFFFF,
};

enum WMT_TRANSPORT_TYPE : int32_t {
    WMT_Transport_Type_Unreliable = 0,
    WMT_Transport_Type_Reliable = 1,
};

enum WMT_STORAGE_FORMAT : int32_t {
    WMT_Storage_Format_MP3 = 0,
    WMT_Storage_Format_V1 = 1,
};

struct WM_WRITER_STATISTICS {
    QWORD qwSampleCount;
    QWORD qwByteCount;
    QWORD qwDroppedSampleCount;
    QWORD qwDroppedByteCount;
    DWORD dwCurrentBitrate;
    DWORD dwAverageBitrate;
    DWORD dwExpectedBitrate;
    DWORD dwCurrentSampleRate;
    DWORD dwAverageSampleRate;
    DWORD dwExpectedSampleRate;
};
static_assert(sizeof(WM_WRITER_STATISTICS) == 56);

// Sample flags of GetNextSample and WriteSample.
inline constexpr DWORD WM_SF_CLEANPOINT = 0x1;
inline constexpr DWORD WM_SF_DISCONTINUITY = 0x2;
inline constexpr DWORD WM_SF_DATALOSS = 0x4;

// Bits of the one-byte WM_SampleExtensionGUID_ContentType sample property.
inline constexpr BYTE WM_CT_REPEAT_FIRST_FIELD = 0x10;
inline constexpr BYTE WM_CT_BOTTOM_FIELD_FIRST = 0x20;
inline constexpr BYTE WM_CT_TOP_FIELD_FIRST = 0x40;
inline constexpr BYTE WM_CT_INTERLACED = 0x80;

// ASF result codes of the format runtime (asferr.h); the NS_E_* codes are in
// win/NsError.h.
inline constexpr HRESULT ASF_E_BUFFERTOOSMALL = MakeHr(0xC00D07D1);
inline constexpr HRESULT ASF_E_NOTFOUND = MakeHr(0xC00D07F0);
inline constexpr HRESULT ASF_E_INVALIDINDEX = MakeHr(0xC00D0805);
inline constexpr HRESULT ASF_E_STREAMNUMBERINUSE = MakeHr(0xC00D0806);
inline constexpr HRESULT ASF_E_BADMEDIATYPE = MakeHr(0xC00D0807);
