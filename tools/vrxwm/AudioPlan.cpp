#include "vrxwm/AudioPlan.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "vrxwm/CPlugWriter.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/HostRecords.h"
#include "vrxwm/MediaNames.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr uint32_t kEncoderMinBitRate = 24000;
constexpr int kEncoderMaxChannels = 2;
constexpr uint32_t kMaxBitRateAsked = 1'000'000;
// The rates the writer has bit-rate rows for, highest first.
constexpr int kRates[] = {48000, 44100, 32000, 22050, 16000, 11025, 8000};

uint32_t UsualBitRate(int channels) noexcept {
    return channels == 1 ? 48000 : 128000;
}

struct SCandidate {
    int sampleRate;
    int channels;
    uint32_t dwBitRate;
};

// What the writer makes of a request, or nothing when it refuses it.
std::optional<SCandidate> Normalised(const CPlugin& plugin, int sampleRate, int channels, uint32_t dwBitRate) {
    SPlugMediaInfo params = DefaultMediaInfo();
    params.dwAudioPresent = 1;
    params.Audio.dwChannels = static_cast<uint32_t>(channels);
    params.Audio.dwBitsPerSample = 16;
    params.Audio.dwSampleRate = static_cast<uint32_t>(sampleRate);
    params.Audio.dwBitRate = dwBitRate;
    if (CPlugWriter::Normalise(plugin, params) != 0) return std::nullopt;
    return SCandidate{static_cast<int>(params.Audio.dwSampleRate), static_cast<int>(params.Audio.dwChannels),
                      params.Audio.dwBitRate};
}

bool Encodable(const SCandidate& c) noexcept {
    return c.channels <= kEncoderMaxChannels && c.dwBitRate >= kEncoderMinBitRate;
}

// The format the writer settles on for (rate, channels), with the bit rate
// raised to the lowest the encoder takes when the wanted one is below it.
// The writer's snapping is monotonic in the bit rate asked for, so the
// lowest usable one is found by bisection.
std::optional<SCandidate> Settle(const CPlugin& plugin, int sampleRate, int channels, uint32_t dwWanted) {
    auto c = Normalised(plugin, sampleRate, channels, dwWanted);
    if (!c || Encodable(*c)) return c;
    const auto top = Normalised(plugin, sampleRate, channels, kMaxBitRateAsked);
    if (!top || !Encodable(*top)) return std::nullopt;
    uint32_t low = dwWanted;
    uint32_t high = kMaxBitRateAsked;
    while (high - low > 1) {
        const uint32_t mid = low + (high - low) / 2;
        const auto m = Normalised(plugin, sampleRate, channels, mid);
        if (m && Encodable(*m)) high = mid;
        else low = mid;
    }
    return Normalised(plugin, sampleRate, channels, high);
}

std::string Describe(int sampleRate, int channels) {
    return std::to_string(sampleRate) + " Hz " + ChannelsName(static_cast<uint32_t>(channels));
}

}  // namespace

SAudioPlan PlanAudio(const CPlugin& plugin, int sampleRate, int channels, uint32_t wantedBitRate) {
    const int wantedChannels = std::clamp(channels, 1, kEncoderMaxChannels);
    const uint32_t dwWanted = wantedBitRate ? wantedBitRate : UsualBitRate(wantedChannels);

    // Nearest first: the source's own channel count before the other one,
    // and among rates the smallest step up (nothing is lost), then the
    // smallest step down.
    std::vector<std::pair<int, int>> order;
    for (const int c : {wantedChannels, wantedChannels == 1 ? 2 : 1}) {
        std::vector<int> rates(std::begin(kRates), std::end(kRates));
        std::sort(rates.begin(), rates.end(), [&](int a, int b) {
            const bool upA = a >= sampleRate;
            const bool upB = b >= sampleRate;
            if (upA != upB) return upA;
            return std::abs(a - sampleRate) < std::abs(b - sampleRate);
        });
        for (const int r : rates) order.emplace_back(r, c);
    }
    for (const auto& [rate, c] : order) {
        const auto settled = Settle(plugin, rate, c, dwWanted);
        if (!settled) continue;
        SAudioPlan plan{settled->sampleRate, settled->channels, settled->dwBitRate, {}};
        if (plan.sampleRate != sampleRate || plan.channels != channels)
            plan.note = "the encoder takes no " + Describe(sampleRate, channels) + " audio; resampling to " +
                        Describe(plan.sampleRate, plan.channels) + " at " + std::to_string(plan.dwBitRate / 1000) +
                        " kbit/s";
        return plan;
    }
    throw CStatusError(kStatusAudioFormat, "no audio format the encoder takes");
}
