#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StreamBytes.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"

namespace {

struct AacCase {
    const char* name;
    uint32_t sampleRate;
    uint32_t channels;
};

const AacCase kAacCases[] = {{"Stereo44100", 44100, 2}, {"Mono48000", 48000, 1}, {"Stereo22050", 22050, 2}};

// What the ASF format block gave before the analyser runs.
SPlugAudioStreamInfo FormatBlockInfo() {
    SPlugAudioStreamInfo info{};
    info.dwSize = sizeof info;
    info.dwAudioType = PLUG_AUDIO_TYPE_AAC;
    info.dwChannels = 6;
    info.dwBitsPerSample = 16;
    info.dwSampleRate = 96000;
    info.dwBitRate = 128000;
    info.dwSamplesPerFrame = 1;
    return info;
}

class CVRXAudioAnalyserTest : public ::testing::TestWithParam<AacCase> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("aacinfo"); }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::vector<uint8_t> Encode(const AacCase& c) {
        return EncodeStream({"-f", "lavfi", "-i",
                             "sine=frequency=440:sample_rate=" + std::to_string(c.sampleRate),
                             "-t", "0.2", "-ac", std::to_string(c.channels), "-c:a", "aac", "-f", "adts"},
                            s_dir->Path() / (std::string(c.name) + ".aac"));
    }

    static int32_t Analyse(const std::vector<uint8_t>& data, SPlugAudioStreamInfo* info) {
        CVRXAudioAnalyser analyser;
        analyser.InitAudioAnalyser(PLUG_AUDIO_TYPE_AAC, 0);
        const int32_t result =
            analyser.GetAudioInfo(0, data.data(), static_cast<int32_t>(data.size()), info, nullptr);
        EXPECT_EQ(analyser.Release(), 0);
        return result;
    }

    // The first ADTS frame: its length is in the header.
    static std::vector<uint8_t> FirstFrame(const std::vector<uint8_t>& stream) {
        if (stream.size() < 7) return {};
        const size_t length = ((stream[3] & 0x03u) << 11) | (stream[4] << 3) | (stream[5] >> 5);
        return Prefix(stream, length);
    }

    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_P(CVRXAudioAnalyserTest, AdtsFrameGivesConfiguration) {
    const AacCase& c = GetParam();
    const std::vector<uint8_t> frame = FirstFrame(Encode(c));
    ASSERT_GE(frame.size(), 7u);

    SPlugAudioStreamInfo info = FormatBlockInfo();
    ASSERT_EQ(Analyse(frame, &info), 1);
    EXPECT_EQ(info.dwSampleRate, c.sampleRate);
    EXPECT_EQ(info.dwChannels, c.channels);
    EXPECT_EQ(info.dwSamplesPerFrame, 1024u);
    EXPECT_EQ(info.dwBitRate, frame.size() * 8 * c.sampleRate / 1024) << "the frame's own rate";
    EXPECT_EQ(info.dwBitsPerSample, 16u);
    EXPECT_EQ(info.dwAudioType, static_cast<uint32_t>(PLUG_AUDIO_TYPE_AAC));
}

TEST_P(CVRXAudioAnalyserTest, RawFrameKeepsFormatBlockValues) {
    const std::vector<uint8_t> frame = FirstFrame(Encode(GetParam()));
    ASSERT_GE(frame.size(), 9u);
    // ASF stores the payload alone: 7 header bytes, 9 with a checksum.
    const size_t header = (frame[1] & 1) ? 7 : 9;
    const std::vector<uint8_t> raw(frame.begin() + static_cast<std::ptrdiff_t>(header), frame.end());

    SPlugAudioStreamInfo info = FormatBlockInfo();
    const SPlugAudioStreamInfo before = info;
    ASSERT_EQ(Analyse(raw, &info), 1);
    EXPECT_EQ(info.dwSamplesPerFrame, 1024u);
    EXPECT_EQ(info.dwSampleRate, before.dwSampleRate);
    EXPECT_EQ(info.dwChannels, before.dwChannels);
    EXPECT_EQ(info.dwBitRate, before.dwBitRate);
}

INSTANTIATE_TEST_SUITE_P(Encoded, CVRXAudioAnalyserTest, ::testing::ValuesIn(kAacCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CVRXAudioAnalyserTest, CutOrDamagedAdtsHeadersFail) {
    const std::vector<uint8_t> frame = FirstFrame(Encode(kAacCases[0]));
    ASSERT_GE(frame.size(), 7u);
    for (size_t n = 1; n < 7; ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        SPlugAudioStreamInfo info = FormatBlockInfo();
        EXPECT_EQ(Analyse(Prefix(frame, n), &info), 0);
        EXPECT_EQ(info.dwSampleRate, 96000u) << "a failed parse writes nothing";
    }
    std::vector<uint8_t> badRate = frame;
    badRate[2] = static_cast<uint8_t>((badRate[2] & ~0x3C) | (13 << 2));  // reserved rate index
    SPlugAudioStreamInfo info = FormatBlockInfo();
    EXPECT_EQ(Analyse(badRate, &info), 0);
    std::vector<uint8_t> badLayer = frame;
    badLayer[1] |= 0x06;
    EXPECT_EQ(Analyse(badLayer, &info), 0);
}

TEST(CVRXAudioAnalyserInputTest, AnalysesOnlyAacWithData) {
    const uint8_t data[] = {0x21, 0x10, 0x04, 0x60, 0x8C, 0x1C};
    SPlugAudioStreamInfo info = FormatBlockInfo();

    CVRXAudioAnalyser uninitialised;
    EXPECT_EQ(uninitialised.GetAudioInfo(0, data, sizeof data, &info, nullptr), 0);

    CVRXAudioAnalyser pcm;
    EXPECT_EQ(pcm.InitAudioAnalyser(PLUG_AUDIO_TYPE_PCM, 0), 0);
    EXPECT_EQ(pcm.GetAudioInfo(0, data, sizeof data, &info, nullptr), 0);

    CVRXAudioAnalyser aac;
    EXPECT_EQ(aac.InitAudioAnalyser(PLUG_AUDIO_TYPE_AAC, 0), 1);
    EXPECT_EQ(aac.GetAudioInfo(0, nullptr, 6, &info, nullptr), 0);
    EXPECT_EQ(aac.GetAudioInfo(0, data, 0, &info, nullptr), 0);
    EXPECT_EQ(aac.GetAudioInfo(0, data, sizeof data, nullptr, nullptr), 0);
    EXPECT_EQ(info.dwSamplesPerFrame, 1u) << "nothing written by a refused call";
    EXPECT_EQ(aac.Release(), 0);
    EXPECT_EQ(aac.GetAudioInfo(0, data, sizeof data, &info, nullptr), 0) << "released";
}

}  // namespace
