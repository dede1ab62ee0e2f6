// Integer PCM as it comes from WAV files and from the reader: 8, 16, 24 or
// 32 bits, where 24-bit samples take three bytes, which FFmpeg has no
// sample format for. They are widened to 32 bits before anything else.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/samplefmt.h>
}

// The interleaved sample format for integer PCM of this many bits, and
// whether the samples must go through Widen24 first. Throws CStatusError
// for any other size.
AVSampleFormat PcmFormat(uint32_t dwBits, bool* pbWiden24);

// count three-byte samples at the start of pSamples become four-byte ones
// (the buffer holds 4 x count bytes), in place.
void Widen24(uint8_t* pSamples, size_t count) noexcept;
