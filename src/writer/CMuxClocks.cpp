#include "writer/CMuxClocks.h"

#include <algorithm>

void CMuxClocks::Start(uint32_t dwRateNum, uint32_t dwRateDen, uint32_t dwSampleRate) noexcept {
    *this = CMuxClocks();
    m_dwRateNum = dwRateNum;
    m_dwRateDen = dwRateDen;
    m_dwSampleRate = dwSampleRate;
    m_bAudioEnd = dwSampleRate == 0;
}

// 25 frames at 25/1 are 25 x 1 x 1000 / 25 = 1000 ms. Without video the
// clock stays at 0.
uint32_t CMuxClocks::VideoTime(uint32_t nFrames) const noexcept {
    if (m_dwRateNum == 0) return 0;
    return static_cast<uint32_t>(uint64_t{nFrames} * m_dwRateDen * 1000 / m_dwRateNum);
}

// 1152 sample frames at 48000 Hz are 24 ms.
uint32_t CMuxClocks::AudioTime(uint32_t nFrames) const noexcept {
    if (m_dwSampleRate == 0) return 0;
    return static_cast<uint32_t>(uint64_t{nFrames} * 1000 / m_dwSampleRate);
}

void CMuxClocks::AddVideoFrame(bool bLast) noexcept {
    ++m_nVideoIn;
    m_dwVideoMs = VideoTime(m_nVideoIn);
    if (bLast) m_bVideoEnd = true;
}

void CMuxClocks::RestartVideoCount() noexcept {
    m_nVideoIn = 0;
}

bool CMuxClocks::DropsAudio() const noexcept {
    return m_bVideoEnd && m_dwRateNum > 0 && m_dwAudioMs > m_dwVideoMs;
}

void CMuxClocks::AddAudioFrames(uint32_t nFrames, bool bLast) noexcept {
    m_nAudioIn += nFrames;
    m_dwAudioMs = AudioTime(m_nAudioIn);
    if (bLast) m_bAudioEnd = true;
}

uint32_t CMuxClocks::SilenceDue() const noexcept {
    if (!m_bAudioEnd || m_dwSampleRate == 0 || m_dwVideoMs <= m_dwAudioMs) return 0;
    // The first sample frame count whose time reaches the video clock: at
    // 48000 Hz, 40 ms take 1920 frames.
    const uint64_t nTarget = (uint64_t{m_dwVideoMs} * m_dwSampleRate + 999) / 1000;
    return static_cast<uint32_t>(std::min<uint64_t>(nTarget - m_nAudioIn, kSilenceBlockFrames));
}

bool CMuxClocks::IsAudioBehind() const noexcept {
    return m_dwSampleRate > 0 && m_dwVideoMs > m_dwAudioMs;
}
