// What an encoding job reads from: pictures one after another, and PCM.
// The Y4M and WAV files of `encode`, the reader of `transcode` and the
// generated pattern and tone of `demo` all look like this to the job.
#pragma once

#include <cstdint>

#include "vrxwm/Picture.h"

extern "C" {
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
}

struct SVideoFormat {
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 1};
    AVRational displayAspect{0, 1};  // 0 when the source does not say
    uint32_t dwFieldOrder = 2;       // the host's code: 0 top first, 1 bottom first, 2 progressive
};

class IVideoSource {
public:
    virtual ~IVideoSource() = default;
    virtual SVideoFormat Format() const = 0;
    // -1 when the source does not know in advance.
    virtual int64_t FrameCount() const = 0;
    // The next picture, valid until the next call; null after the last.
    virtual const SPicture* Next() = 0;
    // Back to the first picture, for a second pass; throws when it cannot.
    virtual void Rewind() = 0;
};

struct SAudioFormat {
    int sampleRate = 0;
    int channels = 0;
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;  // interleaved
};

class IAudioSource {
public:
    virtual ~IAudioSource() = default;
    virtual SAudioFormat Format() const = 0;
    // Up to maxFrames sample frames into pOut; 0 after the last.
    virtual int Read(uint8_t* pOut, int maxFrames) = 0;
};
