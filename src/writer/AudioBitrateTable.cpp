#include "writer/AudioBitrateTable.h"

#include <algorithm>
#include <array>

namespace {

struct SAudioBitrateRow {
    uint32_t dwSampleRate;
    uint32_t dwChannels;
    std::span<const uint32_t> rates;
};

constexpr uint32_t k48000Stereo[] = {64000, 96000, 128000, 160000, 192000};
constexpr uint32_t k48000Surround[] = {128000, 160000, 192000, 256000,
                                       384000, 440000, 640000, 768000};
constexpr uint32_t k44100Mono[] = {20000, 32000, 48000};
constexpr uint32_t k44100Stereo[] = {48000,  64000,  80000,  96000, 128000,
                                     160000, 192000, 256000, 320000};
constexpr uint32_t k32000Mono[] = {20000};
constexpr uint32_t k32000Stereo[] = {20000, 32000, 40000, 48000};
constexpr uint32_t k22050Mono[] = {16000, 20000};
constexpr uint32_t k22050Stereo[] = {20000, 22000};
constexpr uint32_t k16000Mono[] = {10000, 12000, 16000};
constexpr uint32_t k16000Stereo[] = {16000};
constexpr uint32_t k11025Mono[] = {8000, 10000};
constexpr uint32_t k8000Mono[] = {5000, 6000, 8000};
constexpr uint32_t k8000Stereo[] = {12000};

// Mono at 48000 Hz has no row of its own: normalisation moves it to 44100 Hz
// first, and the profile builder raises it to stereo.
constexpr std::array kRows = {
    SAudioBitrateRow{48000, 2, k48000Stereo}, SAudioBitrateRow{48000, 6, k48000Surround},
    SAudioBitrateRow{44100, 1, k44100Mono},   SAudioBitrateRow{44100, 2, k44100Stereo},
    SAudioBitrateRow{32000, 1, k32000Mono},   SAudioBitrateRow{32000, 2, k32000Stereo},
    SAudioBitrateRow{22050, 1, k22050Mono},   SAudioBitrateRow{22050, 2, k22050Stereo},
    SAudioBitrateRow{16000, 1, k16000Mono},   SAudioBitrateRow{16000, 2, k16000Stereo},
    SAudioBitrateRow{11025, 1, k11025Mono},   SAudioBitrateRow{8000, 1, k8000Mono},
    SAudioBitrateRow{8000, 2, k8000Stereo},
};

constexpr uint32_t kTableSampleRates[] = {48000, 44100, 32000, 22050, 16000, 11025, 8000};

}  // namespace

std::span<const uint32_t> FindAudioBitrateRow(uint32_t dwSampleRate, uint32_t dwChannels) noexcept {
    const auto it = std::ranges::find_if(kRows, [&](const SAudioBitrateRow& row) {
        return row.dwSampleRate == dwSampleRate && row.dwChannels == dwChannels;
    });
    return it == kRows.end() ? std::span<const uint32_t>{} : it->rates;
}

uint32_t SnapAudioBitrate(std::span<const uint32_t> row, uint32_t dwBitRate) noexcept {
    if (row.empty()) return dwBitRate;
    // First rate above dwBitRate; the one before it is the largest not above.
    const auto above = std::ranges::upper_bound(row, dwBitRate);
    return above == row.begin() ? row.front() : *(above - 1);
}

bool IsTableSampleRate(uint32_t dwSampleRate) noexcept {
    return std::ranges::find(kTableSampleRates, dwSampleRate) != std::end(kTableSampleRates);
}
