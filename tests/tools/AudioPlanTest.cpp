// Choosing the audio format for the writer, with the plug-in's own
// normalisation (ordinal 504) as the judge of what it takes.
#include <gtest/gtest.h>

#include "vrxwm/AudioPlan.h"
#include "vrxwm/CPlugin.h"

namespace {

struct SPlanCase {
    const char* name;
    int rate;
    int channels;
    uint32_t wanted;  // 0: the usual rate
    int plannedRate;
    int plannedChannels;
    uint32_t plannedBitRate;
    bool bResampled;
};

void PrintTo(const SPlanCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr SPlanCase kCases[] = {
    // Taken as they are, the bit rate snapped to the codec's offer.
    {"Stereo48k", 48000, 2, 0, 48000, 2, 128000, false},
    {"Stereo48kBitRateSnapsDown", 48000, 2, 150000, 48000, 2, 128000, false},
    {"Stereo44k", 44100, 2, 0, 44100, 2, 128000, false},
    {"Mono44k", 44100, 1, 0, 44100, 1, 48000, false},
    // Mono 48 kHz is moved to 44.1 kHz by the writer itself.
    {"Mono48kMovesTo44k", 48000, 1, 0, 44100, 1, 48000, true},
    // Rates whose bit rates all lie below 24 kbit/s: the nearest rate up
    // with the same channels.
    {"Mono8kUpTo44k", 8000, 1, 0, 44100, 1, 48000, true},
    {"Stereo22kUpTo32k", 22050, 2, 0, 32000, 2, 48000, true},
    // A bit rate asked below the encoder's minimum is raised to it.
    {"Stereo32kLowBitRateRaised", 32000, 2, 20000, 32000, 2, 32000, false},
    // More channels than the encoder takes, or a rate above its table.
    {"SixChannelsDownmixed", 48000, 6, 0, 48000, 2, 128000, true},
    {"Rate96kDownTo48k", 96000, 2, 0, 48000, 2, 128000, true},
};

class AudioPlanTest : public ::testing::TestWithParam<SPlanCase> {};

TEST_P(AudioPlanTest, PicksTheNearestEncodableFormat) {
    const SPlanCase& c = GetParam();
    const SAudioPlan plan = PlanAudio(CPlugin::Get(), c.rate, c.channels, c.wanted);
    EXPECT_EQ(plan.sampleRate, c.plannedRate);
    EXPECT_EQ(plan.channels, c.plannedChannels);
    EXPECT_EQ(plan.dwBitRate, c.plannedBitRate);
    EXPECT_EQ(!plan.note.empty(), c.bResampled) << plan.note;
    if (c.bResampled) {
        EXPECT_NE(plan.note.find(std::to_string(c.rate) + " Hz"), std::string::npos) << plan.note;
        EXPECT_NE(plan.note.find(std::to_string(c.plannedRate) + " Hz"), std::string::npos) << plan.note;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioPlanTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
