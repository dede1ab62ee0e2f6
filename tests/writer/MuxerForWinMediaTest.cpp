// Files written through the writer's ordinals, read back with ffprobe and
// ffmpeg: every frame once and in order, the right way up, on the frame
// grid from 0, audio as long as the video, the aspect ratio carried.
#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "writer/WriterHost.h"

namespace {

class MuxerForWinMediaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("muxer"); }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override { ASSERT_NE(Plug().create, nullptr) << "plug-in not loaded"; }

    static std::filesystem::path File(const std::string& name) { return s_dir->Path() / name; }

    static inline std::unique_ptr<TempDir> s_dir;
};

struct SClipCase {
    const char* name;
    SClipSpec spec;
};

SClipSpec Clip(PLUG_COLOR_FORMAT_ format, uint32_t rateNum, uint32_t rateDen, uint32_t frames,
               uint32_t sampleRate, bool normalise = true, bool twoPass = false) {
    SClipSpec spec;
    spec.format = format;
    spec.rateNum = rateNum;
    spec.rateDen = rateDen;
    spec.frames = frames;
    spec.sampleRate = sampleRate;
    spec.normalise = normalise;
    spec.twoPass = twoPass;
    return spec;
}

const SClipCase kClipCases[] = {
    {"I420Audio", Clip(PLUG_COLOR_FORMAT_I420, 25, 1, 25, 48000)},
    {"Yuy2VideoOnly", Clip(PLUG_COLOR_FORMAT_YUY2, 25, 1, 25, 0)},
    {"UyvyAudioNotNormalised", Clip(PLUG_COLOR_FORMAT_UYVY, 25, 1, 25, 44100, false)},
    {"Rgb32Audio", Clip(PLUG_COLOR_FORMAT_RGB32, 25, 1, 25, 48000)},
    {"Ntsc", Clip(PLUG_COLOR_FORMAT_I420, 30000, 1001, 30, 48000)},
    {"Fifty", Clip(PLUG_COLOR_FORMAT_YUY2, 50, 1, 50, 44100)},
    {"TwoPassAudio", Clip(PLUG_COLOR_FORMAT_I420, 25, 1, 25, 48000, true, true)},
    {"TwoPassRgb32VideoOnly", Clip(PLUG_COLOR_FORMAT_RGB32, 30000, 1001, 30, 0, false, true)},
};

class ClipTest : public MuxerForWinMediaTest, public ::testing::WithParamInterface<SClipCase> {};

TEST_P(ClipTest, FileHoldsEveryFrameInOrderWithAudioAlongside) {
    const SClipSpec& spec = GetParam().spec;
    SCOPED_TRACE(Describe(spec));
    const auto file = File(std::string(GetParam().name) + ".wmv");
    const SEncodeResult result = EncodeWithPlug(file, spec);
    ASSERT_NO_FATAL_FAILURE(ExpectEncodeSucceeded(result, spec));
    ExpectFileMatches(ReadBack(file), spec);
}

INSTANTIATE_TEST_SUITE_P(Small, ClipTest, ::testing::ValuesIn(kClipCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MuxerForWinMediaTest, DisplayAspectRatioIsCarried) {
    SClipSpec spec = Clip(PLUG_COLOR_FORMAT_I420, 25, 1, 10, 0);
    spec.aspectX = 16;
    spec.aspectY = 9;
    const auto file = File("aspect.wmv");
    ASSERT_NO_FATAL_FAILURE(ExpectEncodeSucceeded(EncodeWithPlug(file, spec), spec));
    const SFileReport report = ReadBack(file);
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.displayAspect, "16:9");
}

// The host's audio runs on for twice the video's length; what passes the
// video's end is dropped.
TEST_F(MuxerForWinMediaTest, AudioPastTheVideosEndIsDropped) {
    SClipSpec spec = Clip(PLUG_COLOR_FORMAT_I420, 25, 1, 25, 48000);
    spec.audioShare = 2.0;
    const auto file = File("longaudio.wmv");
    const SEncodeResult result = EncodeWithPlug(file, spec);
    ASSERT_NO_FATAL_FAILURE(ExpectEncodeSucceeded(result, spec));
    EXPECT_EQ(result.audioFramesSent, 96000u);
    ExpectFileMatches(ReadBack(file), spec);
}

// The host's audio ends halfway; silence carries it to the video's end.
TEST_F(MuxerForWinMediaTest, AudioThatEndsEarlyIsFilledWithSilence) {
    for (const uint32_t rateNum : {25u, 50u}) {
        SCOPED_TRACE(rateNum);
        SClipSpec spec = Clip(PLUG_COLOR_FORMAT_I420, rateNum, 1, rateNum, 44100);
        spec.audioShare = 0.5;
        const auto file = File("shortaudio" + std::to_string(rateNum) + ".wmv");
        ASSERT_NO_FATAL_FAILURE(ExpectEncodeSucceeded(EncodeWithPlug(file, spec), spec));
        const SFileReport report = ReadBack(file);
        ExpectFileMatches(report, spec);
    }
}

// A second open finishes the first file, also when it is then refused.
TEST_F(MuxerForWinMediaTest, AnotherOpenFinishesTheFileFirst) {
    const SPlugApi& api = Plug();
    const SClipSpec spec = Clip(PLUG_COLOR_FORMAT_I420, 25, 1, 12, 0);
    const SPlugMediaInfo info = MediaInfoOf(spec);
    const auto first = File("reopen1.wmv");
    const auto second = File("reopen2.wmv");
    COpenRequest request1(first, info);
    COpenRequest request2(second, info);
    CWriter writer;
    ASSERT_EQ(api.open(writer.Get(), request1.Target(), request1.Params()), 0u);
    ASSERT_NO_FATAL_FAILURE(PutFrames(writer.Get(), spec, 0, 12));
    request2.MutableParams().dwOpenMode = 1;
    EXPECT_EQ(api.open(writer.Get(), request2.Target(), request2.Params()), 0x80000002u);
    ExpectFileMatches(ReadBack(first), spec);

    // The handle writes the next file from scratch, its clocks from 0.
    request2.MutableParams().dwOpenMode = 0;
    ASSERT_EQ(api.open(writer.Get(), request2.Target(), request2.Params()), 0u);
    ASSERT_NO_FATAL_FAILURE(PutFrames(writer.Get(), spec, 0, 12));
    EXPECT_EQ(writer.Destroy(), 0u);
    ExpectFileMatches(ReadBack(second), spec);
}

}  // namespace
