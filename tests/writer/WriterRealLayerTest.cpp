// The encoder with the real Windows Media layer, kept short enough for every
// build: the requests the layer cannot encode, a short clip through the
// whole life of an encoder, and a two-pass encode.
#include "writer/CWMVEncoder.h"

#include <string>

#include <gtest/gtest.h>

#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"
#include "win/Com.h"
#include "writer/EncodedClip.h"
#include "writer/LogCapture.h"
#include "writer/ProfileBuilder.h"

namespace {

constexpr char16_t kNoProfileMessage[] =
    u"GenerateProfile() error, Plaese Intall Winmedia player 11 or high version!\n";

SPlugMediaInfo SmallRecord(const SClipFormat& format) {
    SPlugMediaInfo info;
    InitMediaInfo(info);
    info.dwVideoPresent = 1;
    info.Video.dwColorFormat = format.dwColorFormat;
    info.Video.dwWidth = format.dwWidth;
    info.Video.dwHeight = format.dwHeight;
    info.Video.dwFrameRateNum = format.dwRateNum;
    info.Video.dwFrameRateDen = format.dwRateDen;
    info.Video.dwBitRate = 300000;
    info.dwAudioPresent = format.dwSampleRate != 0 ? 1 : 0;
    info.Audio.dwSampleRate = format.dwSampleRate;
    info.Audio.dwChannels = format.dwChannels;
    info.Audio.dwBitRate = 128000;
    return info;
}

class WriterRealLayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
        s_dir = std::make_unique<TempDir>("wlayer");
    }
    static void TearDownTestSuite() {
        s_dir.reset();
        CoUninitialize();
    }
    void SetUp() override { VRX_ClearDiskError(s_dir->Path().c_str()[0]); }

    static std::u16string FileName(const std::string& name) { return Wide((s_dir->Path() / name).string()); }
    static std::filesystem::path File(const std::string& name) { return s_dir->Path() / name; }

    CLogCapture m_log;
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(WriterRealLayerTest, ShortClipThroughTheWholeLife) {
    const SClipFormat format{PLUG_COLOR_FORMAT_I420, 64, 48, 25, 1, 48000, 2};
    CWMVEncoderPtr pEncoder(CWMVEncoder::Create(FileName("short.wmv").c_str()));
    ASSERT_EQ(pEncoder->InitCompress(SmallRecord(format)), 0u);
    ASSERT_NO_FATAL_FAILURE(FeedClip(*pEncoder, format, 0, 10));
    ASSERT_EQ(pEncoder->FinishCompress(), 0u);
    pEncoder.reset();

    const std::vector<ProbeRow> packets =
        Probe(File("short.wmv"), "-show_packets -show_entries packet=codec_type");
    EXPECT_EQ(std::ranges::count_if(packets, [](const ProbeRow& p) { return p.at("codec_type") == "video"; }), 10);
    const std::vector<int> levels = BandLevels(File("short.wmv"));
    ASSERT_EQ(levels.size(), 10u);
    ExpectLevelsInOrder(levels);
}

TEST_F(WriterRealLayerTest, TwoPassWritesTheFinalPass) {
    const SClipFormat format{PLUG_COLOR_FORMAT_YUY2, 64, 48, 25, 1, 44100, 2};
    SClipFormat videoOnly = format;
    videoOnly.dwSampleRate = 0;
    CWMVEncoderPtr pEncoder(CWMVEncoder::Create(FileName("twopass.wmv").c_str()));
    ASSERT_EQ(pEncoder->InitCompress(SmallRecord(format)), 0u);
    ASSERT_EQ(pEncoder->IsPreprocessingSupported(), 1u);
    ASSERT_EQ(pEncoder->BeginPreprocessingPass(), 0u);
    ASSERT_NO_FATAL_FAILURE(FeedClip(*pEncoder, format, 0, 12));
    ASSERT_EQ(pEncoder->EndPreprocessingPass(), 0u);
    ASSERT_NO_FATAL_FAILURE(FeedClip(*pEncoder, videoOnly, 0, 12));
    ASSERT_EQ(pEncoder->FinishCompress(), 0u);
    pEncoder.reset();

    const std::vector<ProbeRow> streams = Probe(File("twopass.wmv"), "-show_streams");
    EXPECT_EQ(streams.size(), 2u) << "audio of the first pass is kept";
    const std::vector<int> levels = BandLevels(File("twopass.wmv"));
    ASSERT_EQ(levels.size(), 12u) << "only the final pass is in the file";
    ExpectLevelsInOrder(levels);
}

TEST_F(WriterRealLayerTest, UnwritableFileFailsTheWriter) {
    const SClipFormat format{PLUG_COLOR_FORMAT_I420, 64, 48, 25, 1, 0, 0};
    const std::u16string name = Wide((s_dir->Path() / "missing-folder" / "x.wmv").string());
    CWMVEncoderPtr pEncoder(CWMVEncoder::Create(name.c_str()));
    const uint32_t result = pEncoder->InitCompress(SmallRecord(format));
    EXPECT_NE(result, 0u);
    EXPECT_EQ(pEncoder->PutStreamData(0, 1, MakePicture(format, 0).data()), PLUG_E_WRITE_FAILED);
    EXPECT_EQ(pEncoder->FinishCompress(), 0u);
}

struct SRefusedCase {
    const char* name;
    DWORD dwProfileCode;
    DWORD dwAudioSubType;
    DWORD dwSampleRate;
    DWORD dwChannels;
    DWORD dwAudioBitrate;
};

class RefusedRequestTest : public WriterRealLayerTest, public ::testing::WithParamInterface<SRefusedCase> {};

TEST_P(RefusedRequestTest, FailsWithOneMessage) {
    const SRefusedCase& c = GetParam();
    SPlugMediaInfo info = SmallRecord({PLUG_COLOR_FORMAT_I420, 320, 240, 25, 1, c.dwSampleRate, c.dwChannels});
    info.Video.dwCodecSubType = c.dwProfileCode;
    info.Audio.dwAudioSubType = c.dwAudioSubType;
    info.Audio.dwBitRate = c.dwAudioBitrate;
    const std::string file = std::string(c.name) + ".wmv";
    CWMVEncoderPtr pEncoder(CWMVEncoder::Create(FileName(file).c_str()));
    EXPECT_EQ(pEncoder->InitCompress(info), PLUG_E_NO_PROFILE);
    EXPECT_EQ(m_log.Messages(), std::vector<std::u16string>{kNoProfileMessage});
    EXPECT_EQ(pEncoder->FinishCompress(), 0u);
    EXPECT_FALSE(std::filesystem::exists(File(file)));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RefusedRequestTest,
    ::testing::Values(SRefusedCase{"Wmv9", 1, 0, 48000, 2, 128000}, SRefusedCase{"Vc1", 3, 0, 48000, 2, 128000},
                      SRefusedCase{"WmaPro", 0, 1, 48000, 2, 128000},
                      SRefusedCase{"WmaLossless", 0, 2, 48000, 2, 128000},
                      SRefusedCase{"WmaVoice", 0, 3, 22050, 1, 20000},
                      SRefusedCase{"AcelpNet", 0, 4, 8000, 1, 8000},
                      SRefusedCase{"Row22050Stereo22k", 0, 0, 22050, 2, 22000},
                      SRefusedCase{"Row16000Mono16k", 0, 0, 16000, 1, 16000},
                      SRefusedCase{"Row11025Mono10k", 0, 0, 11025, 1, 10000},
                      SRefusedCase{"Row8000Stereo12k", 0, 0, 8000, 2, 12000},
                      SRefusedCase{"Row44100Mono20k", 0, 0, 44100, 1, 20000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
