// Which stored formats the reader decodes, as the platform does for its own
// codecs, and what each decoder needs to be started in the middle of a
// stream. Everything else is delivered as the stored samples.
#pragma once

#include "wmf/AvPtr.h"
#include "wmf/WmTypes.h"

struct SCodecChoice {
    bool bDecoded = false;
    AVCodecID id = AV_CODEC_ID_NONE;
    // Objects to decode before the first one whose output must equal a
    // decode from the start of the stream.
    int warmupObjects = 0;
    // The decoder's output depends on everything before (a frame counter
    // feeds its noise), so only a decode from the start is exact.
    bool bWarmupFromStart = false;
};

// The stream's four-character code (biCompression).
SCodecChoice VideoCodecFor(DWORD fourCC) noexcept;
// The stored format; WAVEFORMATEXTENSIBLE subformats PCM and float count as
// their plain tags.
SCodecChoice AudioCodecFor(const WAVEFORMATEX& wfx, const BYTE* pExtra, size_t cbExtra) noexcept;

// A fresh single-threaded decoder for the stream (single-threaded so that
// each picture comes out for the same packet in every run).
HRESULT OpenDecoder(const AVCodecParameters& parameters, AVCodecID id, AvPtr<AVCodecContext>& decoder) noexcept;
