// The writer handle's two running clocks, in whole milliseconds, and the
// decisions that keep the audio and video of a file equally long: audio
// that arrives after the video has ended is dropped once it is ahead, and
// silence fills the audio after it has ended while video goes on.
//
// Plain arithmetic with no I/O, so the decisions can be checked without an
// encoder. Times are truncated to whole milliseconds, in 64-bit arithmetic
// and then kept in 32 bits: 7 frames at 30000/1001 are 233 ms.
#pragma once

#include <cstdint>

class CMuxClocks {
public:
    // Silence is inserted in blocks of at most this many sample frames.
    static constexpr uint32_t kSilenceBlockFrames = 1152;

    // Starts the clocks of a new file at 0. dwRateNum / dwRateDen is the
    // video frame rate, with dwRateNum 0 for a file without video;
    // dwSampleRate is the audio rate, 0 for a file without audio (whose
    // audio then counts as ended from the start).
    void Start(uint32_t dwRateNum, uint32_t dwRateDen, uint32_t dwSampleRate) noexcept;

    // One video frame has been received; bLast when the host marked it the
    // last one of its stream.
    void AddVideoFrame(bool bLast) noexcept;
    // A new pass of a two-pass encoding counts its frames from 0 again. The
    // end mark stays: a host that marked the end in the first pass has
    // ended the video.
    void RestartVideoCount() noexcept;

    // Whether an audio block arriving now is dropped: the video has ended
    // and the audio has already gone past it.
    bool DropsAudio() const noexcept;
    // Sample frames received (or inserted as silence); bLast when the host
    // marked the block the last one of its stream.
    void AddAudioFrames(uint32_t nFrames, bool bLast) noexcept;

    // Sample frames of silence to insert now, 0 when none: the audio has
    // ended and lags the video. Never more than a block, and the last block
    // only as long as needed to reach the video's time, so that the audio
    // ends where the video does rather than up to a block later.
    uint32_t SilenceDue() const noexcept;

    // The audio clock lags the video clock in a file that has audio.
    bool IsAudioBehind() const noexcept;

    uint32_t VideoMs() const noexcept { return m_dwVideoMs; }
    uint32_t AudioMs() const noexcept { return m_dwAudioMs; }
    uint32_t VideoFrames() const noexcept { return m_nVideoIn; }
    uint32_t AudioFrames() const noexcept { return m_nAudioIn; }
    bool VideoEnded() const noexcept { return m_bVideoEnd; }
    bool AudioEnded() const noexcept { return m_bAudioEnd; }

private:
    uint32_t VideoTime(uint32_t nFrames) const noexcept;
    uint32_t AudioTime(uint32_t nFrames) const noexcept;

    uint32_t m_nVideoIn = 0;
    uint32_t m_nAudioIn = 0;
    uint32_t m_dwSampleRate = 0;
    uint32_t m_dwRateNum = 0;
    uint32_t m_dwRateDen = 0;
    uint32_t m_dwVideoMs = 0;
    uint32_t m_dwAudioMs = 0;
    bool m_bVideoEnd = false;
    bool m_bAudioEnd = true;
};
