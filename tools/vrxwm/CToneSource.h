// The demo's sound: a steady sine tone, the same on every channel, as
// interleaved 16-bit PCM; and the measure the demo checks it by.
#pragma once

#include <cstdint>

#include "vrxwm/MediaSource.h"

class CToneSource final : public IAudioSource {
public:
    CToneSource(int sampleRate, int channels, double frequency, int64_t nFrames);

    SAudioFormat Format() const override { return {m_nRate, m_nChannels, AV_SAMPLE_FMT_S16}; }
    int Read(uint8_t* pOut, int maxFrames) override;

    // How much of the energy of interleaved 16-bit audio (channel 0) lies
    // at the frequency: 1 for a pure tone, near 0 for anything else.
    static double ToneShare(const int16_t* pSamples, int64_t nFrames, int channels, int sampleRate,
                            double frequency);

private:
    int m_nRate;
    int m_nChannels;
    double m_frequency;
    int64_t m_nFrames;
    int64_t m_iNext = 0;
};
