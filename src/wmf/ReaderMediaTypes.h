// The media types the reader hands out: a stream's stored format (stream
// configurations, and the outputs of streams delivered as stored), and the
// uncompressed formats of decoded outputs. Video never states a frame
// duration (AvgTimePerFrame 0): callers measure the step from the sample
// times, which lie on the exact grid. Builders throw std::bad_alloc.
#pragma once

#include <vector>

#include "wmf/CAsfHeaderInfo.h"
#include "wmf/CAudioCursor.h"
#include "wmf/CPictureConverter.h"
#include "wmf/WmMediaType.h"

// The stored format as a media type. Audio the layer does not decode is
// MEDIATYPE_Stream; streams that are neither audio nor video get their ASF
// stream type as the major type and no format.
WmMediaType StoredMediaType(const SAsfStream& stream, bool bDecodedAudio);

// A decoded picture of width x height in format.
WmMediaType VideoOutputType(VideoOut format, int width, int height);

// Decoded PCM at the stream's rate: WAVEFORMATEXTENSIBLE beyond two channels
// (channel mask in WAVE order), WAVEFORMATEX otherwise.
WmMediaType AudioOutputType(int sampleRate, const SAudioOut& out);

// The decoded formats offered, best first: the stream's own channel count
// at 16 bits (after its own bit depth, with discrete output), then fewer
// channels and 8 bits.
std::vector<SAudioOut> AudioOutputChoices(int channels, int storedBits, bool bDiscrete);

// The PCM format a media type describes at this rate, false when it is no
// PCM the reader can make.
bool AudioOutFromType(const WmMediaType& type, int sampleRate, SAudioOut& out) noexcept;
