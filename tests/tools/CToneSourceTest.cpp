// The demo's tone, its measure, and the audio feed that brings any PCM to
// the writer's format.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "vrxwm/CAudioFeed.h"
#include "vrxwm/CToneSource.h"

namespace {

std::vector<int16_t> ReadAll(IAudioSource& source, int channels) {
    std::vector<int16_t> samples;
    std::vector<int16_t> chunk(1000 * static_cast<size_t>(channels));
    while (const int n = source.Read(reinterpret_cast<uint8_t*>(chunk.data()), 1000))
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + n * channels);
    return samples;
}

TEST(CToneSourceTest, ToneIsAllAtItsFrequency) {
    CToneSource tone(48000, 2, 440, 48000);
    const auto samples = ReadAll(tone, 2);
    ASSERT_EQ(samples.size(), 96000u);
    EXPECT_EQ(samples[0], samples[1]) << "the same on both channels";
    EXPECT_GT(CToneSource::ToneShare(samples.data(), 48000, 2, 48000, 440), 0.99);
    EXPECT_LT(CToneSource::ToneShare(samples.data(), 48000, 2, 48000, 1000), 0.01);
}

TEST(CToneSourceTest, NoiseHasNoTone) {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> value(-10000, 10000);
    std::vector<int16_t> noise(48000);
    for (auto& s : noise) s = static_cast<int16_t>(value(random));
    EXPECT_LT(CToneSource::ToneShare(noise.data(), 48000, 1, 48000, 440), 0.01);
}

// 8 kHz mono to 44.1 kHz stereo: the length scales with the rate, the
// blocks are whole, the last one is known as such, and the tone stays.
TEST(CAudioFeedTest, ResamplesInBlocksAndKeepsTheTone) {
    CToneSource tone(8000, 1, 440, 16000);
    CAudioFeed feed(tone, 44100, 2);
    std::vector<int16_t> all;
    std::vector<uint8_t> block;
    int blocks = 0;
    int nDone = 0;  // blocks after which the feed said it was done
    while (feed.NextBlock(block)) {
        ++blocks;
        EXPECT_EQ(nDone, 0) << "a block came after the feed said it was done";
        ASSERT_EQ(block.size() % 4, 0u);
        if (feed.Done()) ++nDone;
        else EXPECT_EQ(block.size(), size_t{CAudioFeed::kBlockFrames} * 4) << "only the last block is short";
        const auto* p = reinterpret_cast<const int16_t*>(block.data());
        all.insert(all.end(), p, p + block.size() / 2);
    }
    EXPECT_EQ(nDone, 1);
    EXPECT_TRUE(feed.Done());
    const int64_t frames = static_cast<int64_t>(all.size()) / 2;
    EXPECT_EQ(frames, feed.FramesOut());
    EXPECT_NEAR(static_cast<double>(frames), 88200.0, 100.0);
    EXPECT_GE(blocks, 43);
    EXPECT_GT(CToneSource::ToneShare(all.data() + 2000, frames - 2000, 2, 44100, 440), 0.95);
}

}  // namespace
