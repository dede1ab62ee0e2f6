// vrxwm encode from Y4M and WAV files; the results are looked at with the
// ffmpeg tools: streams, sizes, every frame in its place.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CY4mWriter.h"

namespace {

constexpr int kFrames = 50;

std::vector<int64_t> Sequence(int count) {
    std::vector<int64_t> indices(static_cast<size_t>(count));
    std::iota(indices.begin(), indices.end(), 0);
    return indices;
}

class VrxwmEncodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("vrxwmencode");
        ASSERT_NO_FATAL_FAILURE(MakePatternY4m(s_dir->Path() / "p.y4m", 160, 120, kFrames));
        std::string error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2", "-ac", "2",
                               (s_dir->Path() / "tone.wav").string()},
                              &error))
            << error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=2",
                               (s_dir->Path() / "tone8k.wav").string()},
                              &error))
            << error;
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static SRun Run(const std::vector<std::string>& args) { return RunVrxwm(args, s_dir->Path()); }
    static std::filesystem::path File(const char* name) { return s_dir->Path() / name; }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(VrxwmEncodeTest, OnePassKeepsEveryFrameAndTheAudio) {
    const SRun run = Run({"encode", "--video", "p.y4m", "--audio", "tone.wav", "--out", "one.wmv"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "") << "nothing to note for a format the encoder takes";
    EXPECT_NE(run.out.find("50 frames WMV2 160x120 25/1"), std::string::npos) << run.out;
    const auto probe = Probe(File("one.wmv"));
    const auto& video = StreamOf(probe, "video");
    EXPECT_EQ(video.value("codec_name", ""), "wmv2");
    EXPECT_EQ(video.value("width", 0), 160);
    EXPECT_EQ(video.value("height", 0), 120);
    EXPECT_EQ(video.value("r_frame_rate", ""), "25/1");
    const auto& audio = StreamOf(probe, "audio");
    EXPECT_EQ(audio.value("codec_name", ""), "wmav2");
    EXPECT_EQ(audio.value("sample_rate", ""), "44100");
    EXPECT_EQ(audio.value("channels", 0), 2);
    EXPECT_EQ(PatternIndices(File("one.wmv"), 160, 120), Sequence(kFrames));
}

TEST_F(VrxwmEncodeTest, TwoPassVariableBitRateWmv1) {
    const SRun run = Run({"encode", "--video", "p.y4m", "--audio", "tone.wav", "--out", "two.wmv", "--two-pass",
                          "--codec", "wmv1", "--bitrate", "200k", "--vbr", "400k", "--keyint", "25"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("two-pass"), std::string::npos) << run.out;
    const auto probe = Probe(File("two.wmv"));
    EXPECT_EQ(StreamOf(probe, "video").value("codec_name", ""), "wmv1");
    EXPECT_EQ(StreamOf(probe, "audio").value("codec_name", ""), "wmav2");
    EXPECT_EQ(PatternIndices(File("two.wmv"), 160, 120), Sequence(kFrames));
}

TEST_F(VrxwmEncodeTest, LowRateAudioIsResampledWithOneLineSayingSo) {
    const SRun run = Run({"encode", "--video", "p.y4m", "--audio", "tone8k.wav", "--out", "low.wmv"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("8000 Hz mono"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("resampling to 44100 Hz mono"), std::string::npos) << run.err;
    const auto& audio = StreamOf(Probe(File("low.wmv")), "audio");
    EXPECT_EQ(audio.value("sample_rate", ""), "44100");
    EXPECT_EQ(audio.value("channels", 0), 1);
}

TEST_F(VrxwmEncodeTest, VideoFromAPipeInOnePassOnly) {
    const SRun once = RunVrxwm({"encode", "--video", "-", "--out", "piped.wmv"}, s_dir->Path(), File("p.y4m"));
    VRXWM_SKIP_IF_NOT_SUPPORTED(once);
    ASSERT_EQ(once.exitCode, 0) << once.err;
    EXPECT_EQ(PatternIndices(File("piped.wmv"), 160, 120), Sequence(kFrames));
    const SRun twice =
        RunVrxwm({"encode", "--video", "-", "--out", "piped2.wmv", "--two-pass"}, s_dir->Path(), File("p.y4m"));
    EXPECT_EQ(twice.exitCode, 1);
    EXPECT_NE(twice.err.find("is a pipe"), std::string::npos) << twice.err;
    EXPECT_NE(twice.err.find("0x80070057"), std::string::npos) << twice.err;
}

TEST_F(VrxwmEncodeTest, OddSizeIsScaledToEvenAndAspectIsKept) {
    // ffmpeg's generators round sizes to even; this one is written here.
    CPictureBuffer grey;
    grey.Allocate(AV_PIX_FMT_GRAY8, 161, 121);
    SY4mFormat format;
    format.width = 161;
    format.height = 121;
    {
        CY4mWriter odd(File("odd.y4m"), format);
        for (int i = 0; i < 10; ++i) odd.Write(grey.View());
        odd.Close();
    }
    const SRun run = Run({"encode", "--video", "odd.y4m", "--out", "odd.wmv", "--aspect", "16:9"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("scaling 161x121 to 160x120"), std::string::npos) << run.err;
    const auto& video = StreamOf(Probe(File("odd.wmv")), "video");
    EXPECT_EQ(video.value("width", 0), 160);
    EXPECT_EQ(video.value("height", 0), 120);
    EXPECT_EQ(video.value("display_aspect_ratio", ""), "16:9");
    EXPECT_EQ(video.value("nb_read_frames", ""), "10");
}

}  // namespace
