// The writer handle over a real encoder and a fake Windows Media runtime:
// what reaches the runtime's writer, sample by sample, when the handle
// keeps audio and video equally long and drives two-pass encoding.
#include "writer/MuxerForWinMedia.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>
#include <string>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "vrx/VRXHost.h"
#include "writer/FakeWm.h"
#include "writer/PluginQueryControl.h"

namespace {

constexpr WCHAR kDrive = u'Q';
constexpr WCHAR kFileName[] = u"Q:\\handle.wmv";
// The fake writer's inputs follow the profile's streams: audio first.
constexpr DWORD kAudioInput = 0;
constexpr DWORD kVideoInput = 1;
constexpr uint32_t kWidth = 64;
constexpr uint32_t kHeight = 48;
constexpr uint32_t kFrameBytes = kWidth * kHeight * 12 / 8;
constexpr uint32_t kStereo16 = 4;  // bytes per sample frame

struct SStreams {
    SPlugStreamDesc video;
    SPlugStreamDesc audio;
};

class MuxerForWinMediaFakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorld();
        VRX_ClearDiskError(kDrive);
        unsetenv("VRX_SETTING_HandleTimeOut");
        m_pMuxer = MuxerForWinMedia::Create();
        ASSERT_TRUE(m_pMuxer);
        std::memcpy(m_item.szFileName, kFileName, sizeof kFileName);
        m_target.dwCount = 1;
        m_target.pItems = &m_item;
    }

    // Opens a 64 x 48 I420 file at rateNum/1 frames per second with 16-bit
    // stereo audio at sampleRate (none when 0).
    uint32_t Open(uint32_t rateNum, uint32_t sampleRate) {
        InitStreamDesc(m_streams.video);
        m_streams.video.dwStreamKind = 1;
        m_streams.video.Video.dwWidth = kWidth;
        m_streams.video.Video.dwHeight = kHeight;
        m_streams.video.Video.dwFrameRateNum = rateNum;
        m_streams.video.Video.dwBitRate = 500000;
        InitStreamDesc(m_streams.audio);
        m_streams.audio.dwStreamKind = 2;
        m_streams.audio.Audio.dwSampleRate = sampleRate;
        m_streams.audio.Audio.dwBitRate = 128000;
        SPlugMuxParam params{};
        params.nStreamCount = sampleRate ? 2 : 1;
        params.pStreams = &m_streams.video;
        return m_pMuxer->Open(&m_target, &params);
    }
    uint32_t PutFrame(bool bLast = false) {
        const std::vector<uint8_t> frame(kFrameBytes, 0x80);
        SPlugFrameInfo info{};
        info.dwContinuation = bLast ? 2 : 1;
        info.nDataLength = kFrameBytes;
        return m_pMuxer->PutStreamData(0, frame.data(), &info);
    }
    uint32_t PutAudio(uint32_t nFrames, bool bLast = false) {
        const std::vector<uint8_t> pcm(size_t{nFrames} * kStereo16, 0x11);
        SPlugFrameInfo info{};
        info.dwContinuation = bLast ? 2 : 1;
        info.nDataLength = static_cast<int32_t>(pcm.size());
        return m_pMuxer->PutStreamData(1, pcm.data(), &info);
    }
    static uint64_t AudioFramesWritten() {
        const auto samples = World().Samples(kAudioInput);
        return std::accumulate(samples.begin(), samples.end(), uint64_t{0},
                               [](uint64_t n, const SFakeSample& s) { return n + s.data.size() / kStereo16; });
    }
    static std::vector<QWORD> VideoTimes(bool bPreprocessed) {
        std::vector<QWORD> times;
        for (const SFakeSample& sample : World().Samples(kVideoInput)) {
            if (sample.bPreprocessed == bPreprocessed) times.push_back(sample.cnsTime);
        }
        return times;
    }
    static std::vector<QWORD> Grid(size_t n, QWORD step) {
        std::vector<QWORD> times(n);
        for (size_t k = 0; k < n; ++k) times[k] = k * step;
        return times;
    }

    std::unique_ptr<MuxerForWinMedia> m_pMuxer;
    SPlugSourceItem m_item{};
    SPlugSourceList m_target{};
    SStreams m_streams{};
};

TEST_F(MuxerForWinMediaFakeTest, EveryFrameReachesTheWriterOnTheGrid) {
    ASSERT_EQ(Open(25, 48000), 0u);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(PutFrame(k == 9), 0u);
    ASSERT_EQ(m_pMuxer->Close(), 0u);
    EXPECT_EQ(VideoTimes(false), Grid(10, 400000));
    EXPECT_EQ(World().Samples(kVideoInput).size(), 10u);
}

// The host's audio ends after half the video: silence takes the audio to
// the video's end, to the sample frame.
TEST_F(MuxerForWinMediaFakeTest, AudioThatEndsEarlyIsFilledToTheVideosEnd) {
    struct SCase {
        uint32_t rate;
        uint32_t sampleRate;
    };
    for (const SCase c : {SCase{25, 48000}, SCase{50, 44100}}) {
        SCOPED_TRACE(std::to_string(c.rate) + " fps, " + std::to_string(c.sampleRate) + " Hz");
        ResetWorld();
        ASSERT_EQ(Open(c.rate, c.sampleRate), 0u);
        ASSERT_EQ(PutAudio(c.sampleRate / 2, /*bLast=*/true), 0u);
        for (uint32_t k = 0; k < c.rate; ++k) ASSERT_EQ(PutFrame(k + 1 == c.rate), 0u);
        EXPECT_EQ(m_pMuxer->IsAudioBehind(), 0u);
        ASSERT_EQ(m_pMuxer->Close(), 0u);
        EXPECT_EQ(AudioFramesWritten(), c.sampleRate) << "one second of audio";
        // Everything after the host's block is silence.
        const auto samples = World().Samples(kAudioInput);
        ASSERT_GT(samples.size(), 1u);
        for (size_t i = 1; i < samples.size(); ++i) {
            EXPECT_TRUE(std::all_of(samples[i].data.begin(), samples[i].data.end(), [](BYTE b) { return b == 0; }));
            EXPECT_LE(samples[i].data.size(), 1152u * kStereo16);
        }
    }
}

TEST_F(MuxerForWinMediaFakeTest, AudioAfterTheVideosEndStopsOncePastIt) {
    ASSERT_EQ(Open(25, 48000), 0u);
    for (int k = 0; k < 25; ++k) ASSERT_EQ(PutFrame(k == 24), 0u);
    for (int i = 0; i < 60; ++i) ASSERT_EQ(PutAudio(1152), 0u) << "block " << i;
    ASSERT_EQ(m_pMuxer->Close(), 0u);
    // 42 blocks reach 1008 ms, past the video's 1000 ms; the rest is dropped.
    EXPECT_EQ(AudioFramesWritten(), 42u * 1152);
}

TEST_F(MuxerForWinMediaFakeTest, TwoPassPreprocessesThenWritesFromZero) {
    ASSERT_EQ(Open(25, 48000), 0u);
    uint32_t dwAnswer = 0;
    uint32_t dwSize = 0;
    ASSERT_EQ(QueryControl(*m_pMuxer, 2, 10, &dwSize, &dwAnswer), 0u);
    EXPECT_EQ(dwAnswer, 1u);
    EXPECT_EQ(dwSize, 4u);
    ASSERT_EQ(QueryControl(*m_pMuxer, 1, 11, nullptr, nullptr), 0u);
    for (int k = 0; k < 8; ++k) ASSERT_EQ(PutFrame(), 0u);
    ASSERT_EQ(QueryControl(*m_pMuxer, 1, 12, nullptr, nullptr), 0u);
    for (int k = 0; k < 8; ++k) {
        ASSERT_EQ(PutFrame(k == 7), 0u);
        while (m_pMuxer->IsAudioBehind()) ASSERT_EQ(PutAudio(1920), 0u);
    }
    ASSERT_EQ(m_pMuxer->Close(), 0u);
    EXPECT_EQ(VideoTimes(true), Grid(8, 400000)) << "the preprocessing pass";
    EXPECT_EQ(VideoTimes(false), Grid(8, 400000)) << "the final pass";
    EXPECT_EQ(AudioFramesWritten(), 8u * 1920);
    // A pass without one begun is refused, and the count restarts anyway.
    EXPECT_EQ(QueryControl(*m_pMuxer, 1, 12, nullptr, nullptr), PLUG_E_NOT_SUPPORTED);
}

// An encoder that failed to start stays until the next open; ordinal 600
// leaves it alone and deliveries answer as it says.
TEST_F(MuxerForWinMediaFakeTest, EncoderThatFailedToStartIsLeftAlone) {
    World().failures["Writer::BeginWriting"] = {E_FAIL};
    EXPECT_EQ(Open(25, 48000), static_cast<uint32_t>(E_FAIL));
    const size_t cCalls = World().calls.size();
    uint32_t dwAnswer = 7;
    uint32_t dwSize = 0;
    EXPECT_EQ(QueryControl(*m_pMuxer, 2, 10, &dwSize, &dwAnswer), 0u);
    EXPECT_EQ(dwAnswer, 0u);
    EXPECT_EQ(dwSize, 4u);
    EXPECT_EQ(QueryControl(*m_pMuxer, 1, 11, nullptr, nullptr), PLUG_E_NOT_SUPPORTED);
    EXPECT_EQ(QueryControl(*m_pMuxer, 1, 12, nullptr, nullptr), PLUG_E_NOT_SUPPORTED);
    EXPECT_EQ(World().calls.size(), cCalls) << "the writer was touched";
    // The failed writer drops the frame; the handle says so.
    EXPECT_EQ(PutFrame(), PLUG_E_WRITE_FAILED);
    EXPECT_EQ(m_pMuxer->Close(), 0u);
}

TEST_F(MuxerForWinMediaFakeTest, OpenHandsTheStreamsAndNameToTheEncoder) {
    ASSERT_EQ(Open(30, 44100), 0u);
    ASSERT_EQ(m_pMuxer->Close(), 0u);
    EXPECT_EQ(World().outputFilename, std::u16string(kFileName));
    bool bVideo = false;
    bool bAudio = false;
    for (const SStreamSnapshot& stream : World().writerProfile) {
        if (stream.type == WMMEDIATYPE_Video) {
            bVideo = true;
            EXPECT_EQ(stream.VideoInfo().bmiHeader.biWidth, static_cast<LONG>(kWidth));
            EXPECT_EQ(stream.VideoInfo().bmiHeader.biHeight, static_cast<LONG>(kHeight));
        } else if (stream.type == WMMEDIATYPE_Audio) {
            bAudio = true;
            EXPECT_EQ(stream.WaveFormat().nSamplesPerSec, 44100u);
        }
    }
    EXPECT_TRUE(bVideo && bAudio);
}

}  // namespace
