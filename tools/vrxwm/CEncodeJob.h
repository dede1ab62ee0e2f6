// One file written through the writer from a video source and an optional
// audio source, as `encode`, `transcode` and `demo` do it: parameters
// built and normalised, audio planned (and resampled when the encoder
// cannot take it as it is), then frames and audio delivered the way the
// writer wants them:
//
//  - after every frame, audio while the writer says audio is behind;
//  - in two-pass mode the frames go through twice, the first time inside a
//    preprocessing pass, and only the final pass's last frame is marked as
//    the last; audio is delivered once, while the writer asks for it;
//  - the last audio block is marked, so that the writer pads with silence
//    when the audio is the shorter stream.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "vrx/PlugRecords.h"
#include "vrxwm/EncodeOptions.h"
#include "vrxwm/MediaSource.h"

class CPlugin;

struct SEncodeResult {
    SPlugMediaInfo params{};  // as the writer was opened with them
    int64_t nFrames = 0;      // frames of the final pass
    int64_t nAudioFrames = 0;  // sample frames delivered
    bool bTwoPass = false;
    double seconds = 0;        // wall-clock time of the whole job
};

// Either source may be null, not both (an audio-only file has no video
// source). Notes (resampling, parameters
// the writer changed, two-pass not possible) go to stderr, one line each.
// Throws CStatusError.
SEncodeResult RunEncodeJob(const CPlugin& plugin, const std::filesystem::path& out, IVideoSource* pVideo,
                           IAudioSource* pAudio, const SEncodeOptions& options);
