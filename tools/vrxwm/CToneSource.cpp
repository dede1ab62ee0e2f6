#include "vrxwm/CToneSource.h"

#include <cstddef>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Half of full scale: loud, and far from clipping after lossy coding.
constexpr double kAmplitude = 16384;

}  // namespace

CToneSource::CToneSource(int sampleRate, int channels, double frequency, int64_t nFrames)
    : m_nRate(sampleRate), m_nChannels(channels), m_frequency(frequency), m_nFrames(nFrames) {}

int CToneSource::Read(uint8_t* pOut, int maxFrames) {
    const int nFrames = static_cast<int>(std::min<int64_t>(maxFrames, m_nFrames - m_iNext));
    auto* pSamples = reinterpret_cast<int16_t*>(pOut);
    const double step = 2 * std::numbers::pi * m_frequency / m_nRate;
    for (int i = 0; i < nFrames; ++i) {
        const auto value = static_cast<int16_t>(std::lround(kAmplitude * std::sin(step * double(m_iNext + i))));
        std::fill_n(pSamples + static_cast<std::ptrdiff_t>(i) * m_nChannels, m_nChannels, value);
    }
    m_iNext += nFrames;
    return nFrames;
}

double CToneSource::ToneShare(const int16_t* pSamples, int64_t nFrames, int channels, int sampleRate,
                              double frequency) {
    if (nFrames <= 0) return 0;
    // Goertzel: the power of one DFT bin, against the power of the whole
    // signal (Parseval: a pure tone puts half of N * sum(x^2) into its bin).
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / sampleRate);
    double s1 = 0;
    double s2 = 0;
    double energy = 0;
    for (int64_t i = 0; i < nFrames; ++i) {
        const double x = pSamples[i * channels];
        const double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += x * x;
    }
    if (energy == 0) return 0;
    const double binPower = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return std::min(2 * binPower / (static_cast<double>(nFrames) * energy), 1.0);
}
