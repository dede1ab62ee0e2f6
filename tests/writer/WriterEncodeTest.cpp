// The encoder end to end with the real Windows Media layer: a pairwise
// selection of the encodable requests is started, fed two seconds of
// pictures and tone, finished, and the file is checked with ffprobe and
// ffmpeg.
#include "writer/CWMVEncoder.h"

#include <string>

#include <gtest/gtest.h>

#include "plugin/MediaRecords.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"
#include "win/Com.h"
#include "writer/EncodedClip.h"
#include "writer/LogCapture.h"

namespace {

constexpr int kSeconds = 2;

struct SEncodeCase {
    const char* name;
    DWORD dwProfileCode;  // 0 WMV2, 2 WMV1
    DWORD dwColorFormat;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwAspectX;
    DWORD dwAspectY;
    DWORD dwRateNum;
    DWORD dwRateDen;
    DWORD dwRateControl;  // 1 CBR, 0 peak-constrained VBR
    DWORD dwVideoBitrate;
    DWORD dwSampleRate;   // 0: no audio
    DWORD dwChannels;
    DWORD dwAudioBitrate;
    const char* videoCodec;
    DWORD dwExpectedAudioBitrate;  // after snapping to the offered rates
};

// Pairwise over codec x colour format x aspect x rate control x audio row.
constexpr SEncodeCase kEncodeCases[] = {
    {"Wmv2I420Square43Cbr48kStereo", 0, 23, 320, 240, 4, 3, 25, 1, 1, 700000, 48000, 2, 128000, "wmv2", 128000},
    {"Wmv1Yuy2Square169Vbr44kStereo", 2, 13, 320, 180, 16, 9, 25, 1, 0, 600000, 44100, 2, 64000, "wmv1", 64000},
    {"Wmv2UyvyAnamorphicCbr44kMono", 0, 14, 352, 288, 16, 9, 25, 1, 1, 900000, 44100, 1, 48000, "wmv2", 48000},
    {"Wmv1Rgb32Square43Vbr32kStereo", 2, 1, 320, 240, 4, 3, 30000, 1001, 0, 350000, 32000, 2, 48000, "wmv1", 48000},
    {"Wmv2Rgb32Square169Cbr48kMono", 0, 1, 320, 180, 16, 9, 25, 1, 1, 350000, 48000, 1, 100000, "wmv2", 96000},
    {"Wmv1I420AnamorphicCbr44kStereo", 2, 23, 352, 288, 4, 3, 15, 1, 1, 700000, 44100, 2, 128000, "wmv1", 128000},
    {"Wmv2Yuy2Square43Vbr48kStereo", 0, 13, 320, 240, 4, 3, 25, 1, 0, 700000, 48000, 2, 192000, "wmv2", 192000},
    {"Wmv1UyvyAnamorphicVbrNoAudio", 2, 14, 352, 288, 16, 9, 25, 1, 0, 800000, 0, 0, 0, "wmv1", 0},
};

SPlugMediaInfo RecordOf(const SEncodeCase& c) {
    SPlugMediaInfo info;
    InitMediaInfo(info);
    info.dwVideoPresent = 1;
    info.Video.dwCodecSubType = c.dwProfileCode;
    info.Video.dwColorFormat = c.dwColorFormat;
    info.Video.dwWidth = c.dwWidth;
    info.Video.dwHeight = c.dwHeight;
    info.Video.dwAspectX = c.dwAspectX;
    info.Video.dwAspectY = c.dwAspectY;
    info.Video.dwFrameRateNum = c.dwRateNum;
    info.Video.dwFrameRateDen = c.dwRateDen;
    info.Video.dwRateControl = c.dwRateControl;
    info.Video.dwBitRate = c.dwVideoBitrate;
    info.Video.dwKeyFrameInterval = 25;
    info.dwAudioPresent = c.dwSampleRate != 0 ? 1 : 0;
    info.Audio.dwSampleRate = c.dwSampleRate;
    info.Audio.dwChannels = c.dwChannels;
    info.Audio.dwBitRate = c.dwAudioBitrate;
    return info;
}

class WriterEncodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
        s_dir = std::make_unique<TempDir>("wenc");
    }
    static void TearDownTestSuite() {
        s_dir.reset();
        CoUninitialize();
    }
    void SetUp() override { VRX_ClearDiskError(s_dir->Path().c_str()[0]); }

    static inline std::unique_ptr<TempDir> s_dir;
};

class EncodableTest : public WriterEncodeTest, public ::testing::WithParamInterface<SEncodeCase> {};

TEST_P(EncodableTest, FileHoldsWhatWasAskedFor) {
    const SEncodeCase& c = GetParam();
    const std::filesystem::path file = s_dir->Path() / (std::string(c.name) + ".wmv");
    const std::u16string name = Wide(file.string());
    CLogCapture log;
    CWMVEncoderPtr pEncoder(CWMVEncoder::Create(name.c_str()));
    ASSERT_TRUE(pEncoder);
    ASSERT_EQ(pEncoder->InitCompress(RecordOf(c)), 0u);

    const int cFrames = kSeconds * static_cast<int>(c.dwRateNum) / static_cast<int>(c.dwRateDen);
    const SClipFormat format{c.dwColorFormat, c.dwWidth,      c.dwHeight, c.dwRateNum,
                             c.dwRateDen,     c.dwSampleRate, c.dwChannels};
    ASSERT_NO_FATAL_FAILURE(FeedClip(*pEncoder, format, 0, cFrames));
    ASSERT_EQ(pEncoder->FinishCompress(), 0u);
    pEncoder.reset();
    EXPECT_TRUE(log.DebugHas(u"m_pWMWriter->EndWriting() end\n"));

    const auto streams = Probe(file, "-show_streams");
    ASSERT_EQ(streams.size(), c.dwSampleRate ? 2u : 1u);
    std::map<std::string, std::string> video;
    std::map<std::string, std::string> audio;
    for (const auto& s : streams) (s.at("codec_type") == "video" ? video : audio) = s;
    EXPECT_EQ(video["codec_name"], c.videoCodec);
    EXPECT_EQ(video["width"], std::to_string(c.dwWidth));
    EXPECT_EQ(video["height"], std::to_string(c.dwHeight));
    EXPECT_NEAR(Ratio(video["avg_frame_rate"]), double(c.dwRateNum) / c.dwRateDen, 0.02);
    uint32_t dwSarX = 0;
    uint32_t dwSarY = 0;
    DARtoSAR(c.dwWidth, c.dwHeight, c.dwAspectX, c.dwAspectY, &dwSarX, &dwSarY);
    EXPECT_EQ(video["sample_aspect_ratio"], std::to_string(dwSarX) + ":" + std::to_string(dwSarY));
    EXPECT_NEAR(Ratio(video["display_aspect_ratio"]), double(c.dwAspectX) / c.dwAspectY, 0.01);
    if (c.dwSampleRate) {
        EXPECT_EQ(audio["codec_name"], "wmav2");
        EXPECT_EQ(audio["sample_rate"], std::to_string(c.dwSampleRate));
        EXPECT_EQ(audio["channels"], std::to_string(c.dwChannels == 1 && c.dwSampleRate == 48000 ? 2 : c.dwChannels));
    }

    // Every frame, once, in order, on the frame grid.
    const auto packets = Probe(file, "-show_packets -show_entries packet=stream_index,pts_time,size,codec_type");
    std::vector<double> videoTimes;
    uint64_t cbVideo = 0;
    uint64_t cbAudio = 0;
    for (const auto& p : packets) {
        if (p.at("codec_type") == "video") {
            videoTimes.push_back(std::stod(p.at("pts_time")));
            cbVideo += std::stoull(p.at("size"));
        } else {
            cbAudio += std::stoull(p.at("size"));
        }
    }
    ASSERT_EQ(videoTimes.size(), static_cast<size_t>(cFrames));
    const double frameSeconds = double(c.dwRateDen) / c.dwRateNum;
    for (int i = 1; i < cFrames; ++i) {
        EXPECT_NEAR(videoTimes[i] - videoTimes[0], i * frameSeconds, 0.0011) << "frame " << i;
    }
    const double seconds = cFrames * frameSeconds;
    // Two seconds are too short for the codec's rate control to settle.
    EXPECT_NEAR(cbVideo * 8 / seconds, c.dwVideoBitrate, c.dwVideoBitrate * 0.4) << "video bit rate";
    if (c.dwSampleRate) {
        EXPECT_NEAR(cbAudio * 8 / seconds, c.dwExpectedAudioBitrate, c.dwExpectedAudioBitrate * 0.1)
            << "audio bit rate";
    }

    const std::vector<int> levels = BandLevels(file);
    ASSERT_EQ(levels.size(), static_cast<size_t>(cFrames));
    ExpectLevelsInOrder(levels);
}

INSTANTIATE_TEST_SUITE_P(Pairwise, EncodableTest, ::testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WriterEncodeTest, AudioOnlyFile) {
    const std::filesystem::path file = s_dir->Path() / "audio.wmv";
    const std::u16string name = Wide(file.string());
    SPlugMediaInfo info;
    InitMediaInfo(info);
    info.dwAudioPresent = 1;
    info.Audio.dwSampleRate = 44100;
    info.Audio.dwBitRate = 96000;
    CWMVEncoderPtr pEncoder(CWMVEncoder::Create(name.c_str()));
    ASSERT_EQ(pEncoder->InitCompress(info), 0u);
    const std::vector<BYTE> silence(1152 * 4, 0);
    for (int i = 0; i < 44100 * kSeconds / 1152; ++i) ASSERT_EQ(pEncoder->PutStreamData(1, 1152, silence.data()), 0u);
    ASSERT_EQ(pEncoder->FinishCompress(), 0u);
    pEncoder.reset();
    const auto streams = Probe(file, "-show_streams");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].at("codec_name"), "wmav2");
    EXPECT_EQ(streams[0].at("channels"), "2");
}

}  // namespace
