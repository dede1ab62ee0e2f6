// The writer handle's clocks and the drop and silence decisions, driven as
// the handle drives them.
#include "writer/CMuxClocks.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Inserts silence as the handle does after each video frame and returns
// the blocks inserted.
std::vector<uint32_t> FillSilence(CMuxClocks& clocks) {
    std::vector<uint32_t> blocks;
    while (const uint32_t n = clocks.SilenceDue()) {
        blocks.push_back(n);
        clocks.AddAudioFrames(n, false);
    }
    return blocks;
}

TEST(CMuxClocksTest, VideoClockIsTheEndOfTheFramesTruncatedToMilliseconds) {
    CMuxClocks clocks;
    clocks.Start(30000, 1001, 0);
    const uint32_t expected[] = {33, 66, 100, 133, 166, 200, 233};
    for (uint32_t ms : expected) {
        clocks.AddVideoFrame(false);
        EXPECT_EQ(clocks.VideoMs(), ms) << "after frame " << clocks.VideoFrames();
    }
}

TEST(CMuxClocksTest, AudioClockCountsSampleFrames) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 44100);
    clocks.AddAudioFrames(1152, false);
    EXPECT_EQ(clocks.AudioMs(), 26u);  // 26.12 ms
    clocks.AddAudioFrames(1152, false);
    EXPECT_EQ(clocks.AudioMs(), 52u);  // 52.24 ms
    EXPECT_EQ(clocks.AudioFrames(), 2304u);
}

TEST(CMuxClocksTest, LongFilesDoNotOverflowTheArithmetic) {
    CMuxClocks clocks;
    clocks.Start(30000, 1001, 48000);
    // Three hours of audio: 518'400'000 frames, x 1000 needs 64 bits.
    clocks.AddAudioFrames(518'400'000, false);
    EXPECT_EQ(clocks.AudioMs(), 10'800'000u);
}

TEST(CMuxClocksTest, VideoOnlyFileNeverLagsOnAudio) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 0);
    EXPECT_TRUE(clocks.AudioEnded());
    for (int k = 0; k < 10; ++k) {
        clocks.AddVideoFrame(false);
        EXPECT_FALSE(clocks.IsAudioBehind());
        EXPECT_EQ(clocks.SilenceDue(), 0u);
    }
}

TEST(CMuxClocksTest, AudioOnlyFileKeepsEveryBlock) {
    CMuxClocks clocks;
    clocks.Start(0, 0, 48000);
    clocks.AddVideoFrame(true);  // a stray frame changes nothing
    EXPECT_EQ(clocks.VideoMs(), 0u);
    for (int k = 0; k < 10; ++k) {
        EXPECT_FALSE(clocks.DropsAudio());
        clocks.AddAudioFrames(4800, false);
    }
    EXPECT_EQ(clocks.AudioMs(), 1000u);
}

TEST(CMuxClocksTest, AudioIsBehindWhileItsClockLagsTheVideos) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 48000);
    EXPECT_FALSE(clocks.IsAudioBehind());
    clocks.AddVideoFrame(false);  // 40 ms
    EXPECT_TRUE(clocks.IsAudioBehind());
    clocks.AddAudioFrames(1152, false);  // 24 ms
    EXPECT_TRUE(clocks.IsAudioBehind());
    clocks.AddAudioFrames(768, false);  // 40 ms
    EXPECT_FALSE(clocks.IsAudioBehind());
}

TEST(CMuxClocksTest, AudioAfterTheVideosEndIsDroppedOnceAhead) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 48000);
    for (int k = 0; k < 24; ++k) clocks.AddVideoFrame(false);
    clocks.AddVideoFrame(true);  // 1000 ms, the last frame
    ASSERT_TRUE(clocks.VideoEnded());
    int delivered = 0;
    while (!clocks.DropsAudio()) {
        clocks.AddAudioFrames(1152, false);
        ++delivered;
    }
    // 42 blocks are 1008 ms: the first block past the video is still kept.
    EXPECT_EQ(delivered, 42);
    EXPECT_EQ(clocks.AudioMs(), 1008u);
    EXPECT_TRUE(clocks.DropsAudio());
}

TEST(CMuxClocksTest, AudioIsNotDroppedBeforeTheVideoEnds) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 48000);
    clocks.AddVideoFrame(false);
    clocks.AddAudioFrames(48000, false);  // a second ahead
    EXPECT_FALSE(clocks.DropsAudio());
}

TEST(CMuxClocksTest, SilenceFollowsTheVideoAfterTheAudioEnds) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 48000);
    clocks.AddVideoFrame(false);
    clocks.AddAudioFrames(1920, true);  // 40 ms, the last block
    ASSERT_TRUE(clocks.AudioEnded());
    EXPECT_EQ(clocks.SilenceDue(), 0u);

    clocks.AddVideoFrame(false);  // 80 ms: 40 ms of silence, 1920 frames
    EXPECT_EQ(FillSilence(clocks), (std::vector<uint32_t>{1152, 768}));
    EXPECT_EQ(clocks.AudioMs(), 80u);
    clocks.AddVideoFrame(false);
    EXPECT_EQ(FillSilence(clocks), (std::vector<uint32_t>{1152, 768}));
    EXPECT_EQ(clocks.AudioFrames(), 5760u);
    EXPECT_FALSE(clocks.IsAudioBehind());
}

TEST(CMuxClocksTest, SilenceReachesTheVideoAtOddRates) {
    for (const uint32_t rate : {8000u, 11025u, 22050u, 44100u}) {
        SCOPED_TRACE(rate);
        CMuxClocks clocks;
        clocks.Start(30000, 1001, rate);
        clocks.AddAudioFrames(0, true);
        for (int k = 0; k < 100; ++k) {
            clocks.AddVideoFrame(false);
            for (uint32_t n : FillSilence(clocks)) EXPECT_LE(n, CMuxClocks::kSilenceBlockFrames);
            EXPECT_EQ(clocks.AudioMs(), clocks.VideoMs());
            // Not a whole sample frame more than the video needs.
            EXPECT_LT((clocks.AudioFrames() - 1) * 1000.0 / rate, clocks.VideoMs());
        }
    }
}

TEST(CMuxClocksTest, NewPassCountsFramesFromZeroAndKeepsTheEndMark) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 48000);
    for (int k = 0; k < 10; ++k) clocks.AddVideoFrame(k == 9);
    clocks.RestartVideoCount();
    EXPECT_EQ(clocks.VideoFrames(), 0u);
    EXPECT_TRUE(clocks.VideoEnded());
    clocks.AddVideoFrame(false);
    EXPECT_EQ(clocks.VideoMs(), 40u);
}

TEST(CMuxClocksTest, StartForgetsTheEarlierFile) {
    CMuxClocks clocks;
    clocks.Start(25, 1, 48000);
    clocks.AddVideoFrame(true);
    clocks.AddAudioFrames(100, true);
    clocks.Start(50, 1, 44100);
    EXPECT_EQ(clocks.VideoFrames(), 0u);
    EXPECT_EQ(clocks.AudioFrames(), 0u);
    EXPECT_EQ(clocks.VideoMs(), 0u);
    EXPECT_EQ(clocks.AudioMs(), 0u);
    EXPECT_FALSE(clocks.VideoEnded());
    EXPECT_FALSE(clocks.AudioEnded());
    clocks.AddVideoFrame(false);
    EXPECT_EQ(clocks.VideoMs(), 20u);
}

}  // namespace
