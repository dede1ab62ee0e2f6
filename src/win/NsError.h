// Result codes of the Windows Media Format SDK (facility 0xD), with the values
// the platform's nserror.h gives them, so that callers comparing against the
// platform's numbers see the same codes from our Windows Media layer.
#pragma once

#include "win/WinTypes.h"

inline constexpr DWORD FACILITY_NS = 0xD;

// Success codes.
inline constexpr HRESULT NS_S_CALLPENDING = MakeHr(0x000D0000);
inline constexpr HRESULT NS_S_CALLABORTED = MakeHr(0x000D0001);
inline constexpr HRESULT NS_S_STREAM_TRUNCATED = MakeHr(0x000D0002);
inline constexpr HRESULT NS_S_REBUFFERING = MakeHr(0x000D0BC8);
inline constexpr HRESULT NS_S_DEGRADING_QUALITY = MakeHr(0x000D0BC9);

// Server, network and file errors.
inline constexpr HRESULT NS_E_INVALID_INDEX = MakeHr(0xC00D0011);
inline constexpr HRESULT NS_E_TIMEOUT = MakeHr(0xC00D0013);
inline constexpr HRESULT NS_E_DISK_WRITE = MakeHr(0xC00D0016);
inline constexpr HRESULT NS_E_DISK_READ = MakeHr(0xC00D0017);
inline constexpr HRESULT NS_E_FILE_WRITE = MakeHr(0xC00D0018);
inline constexpr HRESULT NS_E_FILE_READ = MakeHr(0xC00D0019);
inline constexpr HRESULT NS_E_FILE_NOT_FOUND = MakeHr(0xC00D001A);
inline constexpr HRESULT NS_E_FILE_EXISTS = MakeHr(0xC00D001B);
inline constexpr HRESULT NS_E_INVALID_NAME = MakeHr(0xC00D001C);
inline constexpr HRESULT NS_E_FILE_OPEN_FAILED = MakeHr(0xC00D001D);
inline constexpr HRESULT NS_E_FILE_INIT_FAILED = MakeHr(0xC00D001F);
inline constexpr HRESULT NS_E_INTERNAL = MakeHr(0xC00D0024);
inline constexpr HRESULT NS_E_UNRECOGNIZED_STREAM_TYPE = MakeHr(0xC00D0026);
inline constexpr HRESULT NS_E_INVALID_REQUEST = MakeHr(0xC00D002B);
inline constexpr HRESULT NS_E_LATE_OPERATION = MakeHr(0xC00D002E);
inline constexpr HRESULT NS_E_INVALID_DATA = MakeHr(0xC00D002F);
inline constexpr HRESULT NS_E_NO_STREAM = MakeHr(0xC00D0033);
inline constexpr HRESULT NS_E_STREAM_END = MakeHr(0xC00D0034);
inline constexpr HRESULT NS_E_INVALID_STREAM = MakeHr(0xC00D003C);
inline constexpr HRESULT NS_E_INCOMPATIBLE_FORMAT = MakeHr(0xC00D0041);
inline constexpr HRESULT NS_E_NO_FORMATS = MakeHr(0xC00D006B);
inline constexpr HRESULT NS_E_INSUFFICIENT_DATA = MakeHr(0xC00D00CA);

// Format SDK errors.
inline constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = MakeHr(0xC00D0BB8);
inline constexpr HRESULT NS_E_MSAUDIO_NOT_INSTALLED = MakeHr(0xC00D0BB9);
inline constexpr HRESULT NS_E_UNEXPECTED_MSAUDIO_ERROR = MakeHr(0xC00D0BBA);
inline constexpr HRESULT NS_E_INVALID_OUTPUT_FORMAT = MakeHr(0xC00D0BBB);
inline constexpr HRESULT NS_E_NOT_CONFIGURED = MakeHr(0xC00D0BBC);
inline constexpr HRESULT NS_E_PROTECTED_CONTENT = MakeHr(0xC00D0BBD);
inline constexpr HRESULT NS_E_AUDIO_CODEC_NOT_INSTALLED = MakeHr(0xC00D0BC2);
inline constexpr HRESULT NS_E_AUDIO_CODEC_ERROR = MakeHr(0xC00D0BC3);
inline constexpr HRESULT NS_E_VIDEO_CODEC_NOT_INSTALLED = MakeHr(0xC00D0BC4);
inline constexpr HRESULT NS_E_VIDEO_CODEC_ERROR = MakeHr(0xC00D0BC5);
inline constexpr HRESULT NS_E_INVALIDPROFILE = MakeHr(0xC00D0BC6);
inline constexpr HRESULT NS_E_INCOMPATIBLE_VERSION = MakeHr(0xC00D0BC7);
inline constexpr HRESULT NS_E_TOO_MUCH_DATA = MakeHr(0xC00D0BCC);
inline constexpr HRESULT NS_E_UNSUPPORTED_PROPERTY = MakeHr(0xC00D0BCD);
inline constexpr HRESULT NS_E_8BIT_WAVE_UNSUPPORTED = MakeHr(0xC00D0BCE);
inline constexpr HRESULT NS_E_NO_MORE_SAMPLES = MakeHr(0xC00D0BCF);
inline constexpr HRESULT NS_E_INVALID_SAMPLING_RATE = MakeHr(0xC00D0BD0);
inline constexpr HRESULT NS_E_MAX_PACKET_SIZE_TOO_SMALL = MakeHr(0xC00D0BD1);
inline constexpr HRESULT NS_E_LATE_PACKET = MakeHr(0xC00D0BD2);
inline constexpr HRESULT NS_E_DUPLICATE_PACKET = MakeHr(0xC00D0BD3);
inline constexpr HRESULT NS_E_SDK_BUFFERTOOSMALL = MakeHr(0xC00D0BD4);
inline constexpr HRESULT NS_E_INVALID_NUM_PASSES = MakeHr(0xC00D0BD5);
inline constexpr HRESULT NS_E_ATTRIBUTE_READ_ONLY = MakeHr(0xC00D0BD6);
inline constexpr HRESULT NS_E_ATTRIBUTE_NOT_ALLOWED = MakeHr(0xC00D0BD7);
inline constexpr HRESULT NS_E_CODEC_DMO_ERROR = MakeHr(0xC00D0BDA);

// Player and encoder errors.
inline constexpr HRESULT NS_E_DAMAGED_FILE = MakeHr(0xC00D0FCB);
inline constexpr HRESULT NS_E_CODEC_UNAVAILABLE = MakeHr(0xC00D1B83);
