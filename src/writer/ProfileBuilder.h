// Builds the Windows Media profile of a file to write from the host's
// encoding parameters: at most one audio and one video stream, each taken
// from a codec format the installed codecs offer and then adjusted to the
// requested size, rate, bit rate, quality and key-frame spacing.
//
// Everything goes through the profile manager of a CProfileStore; every
// interface obtained is released before a function returns, on success and
// on failure. Runs on the caller's thread (the encoder's start).
#pragma once

#include <array>
#include <cstdint>

#include "vrx/PlugRecords.h"
#include "writer/CProfileStore.h"

// No profile could be made for the request.
inline constexpr uint32_t PLUG_E_NO_PROFILE = 0x80000104;

struct SAudioStreamReq {
    WORD wFormatTag;
    WORD wChannels;
    DWORD dwSampleRate;
    WORD wBitsPerSample;
    DWORD dwBitrate;  // bits per second
};

struct SVideoStreamReq {
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwFourCC;  // first character in the lowest byte
    DWORD dwBitrate;  // bits per second
    DWORD dwQuality;  // 0 to 100
    DWORD dwKeyFrameSeconds;
    DWORD dwRateNum;
    DWORD dwRateDen;
};

// The streams of one profile; the requests belong to the caller.
struct SStreamReqList {
    static constexpr DWORD kMaxStreams = 12;
    DWORD cAudio = 0;
    DWORD cVideo = 0;
    std::array<const SAudioStreamReq*, kMaxStreams> audio{};
    std::array<const SVideoStreamReq*, kMaxStreams> video{};
};

// Builds the profile for info into *ppProfile. Writes back into info what
// the request became: the audio channel count and bit rate snapped to a
// format the codecs offer (48000 Hz mono becomes stereo), and rate-control
// mode 2 once peak-constrained variable bit rate is set. A non-zero
// byContentType (interlaced video) gives the video stream the one-byte
// content-type extension that each sample then carries.
//
// 0, or PLUG_E_NO_PROFILE with *ppProfile null after the user has been told
// once through the host's message box.
uint32_t GenerateProfile(BYTE byContentType, SPlugMediaInfo& info, IWMProfile** ppProfile) noexcept;

// A new profile of the store's version with the listed streams: audio
// request k as stream k + 1, video request j as stream j + 2 (shifted past
// any further audio streams), and a bit-rate exclusion over the video
// streams when there are several. pszName null means "Custom Profile".
// E_INVALIDARG without a list; NS_E_AUDIO_CODEC_NOT_INSTALLED or
// NS_E_VIDEO_CODEC_NOT_INSTALLED when no codec format matches a request;
// otherwise the runtime's own failure. On failure *ppProfile (optional) is
// null.
HRESULT CreateProfile(const CProfileStore& store, IWMProfile** ppProfile, const SStreamReqList* pList,
                      const WCHAR* pszName, const WCHAR* pszDescription) noexcept;

// The profile's first video stream (streams the profile refuses to hand out
// are skipped); NS_E_NO_STREAM when there is none.
HRESULT FindVideoStream(IWMProfile* pProfile, IWMStreamConfig** ppConfig) noexcept;
