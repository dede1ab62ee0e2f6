// Audio for the writer: pulls PCM from a source, converts it with
// libswresample to interleaved 16-bit at the planned rate and channel
// count, and hands it out in blocks of equal length. Knows after each block
// whether it was the last, so that the writer can be told.
#pragma once

#include <cstdint>
#include <vector>

#include "vrxwm/AvPtr.h"
#include "vrxwm/MediaSource.h"

class CAudioFeed {
public:
    // Throws CStatusError when the conversion cannot be set up.
    CAudioFeed(IAudioSource& source, int sampleRate, int channels);

    // The next block (at most blockFrames sample frames); false when the
    // audio is used up.
    bool NextBlock(std::vector<uint8_t>& block);
    // True once the last block has been handed out.
    bool Done() const noexcept { return m_bSourceDone && m_pending.empty(); }
    int BytesPerFrame() const noexcept { return 2 * m_nChannels; }
    int64_t FramesOut() const noexcept { return m_nFramesOut; }

    static constexpr int kBlockFrames = 2048;

private:
    void Pull();

    IAudioSource& m_source;
    SAudioFormat m_in;
    int m_nChannels;
    AvPtr<SwrContext> m_pResampler;
    std::vector<uint8_t> m_input;
    std::vector<uint8_t> m_pending;
    bool m_bSourceDone = false;
    int64_t m_nFramesOut = 0;
};
