// vrxwm transcode: a file read through the reader and written through the
// writer keeps every frame in order and its audio.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"

namespace {

constexpr int kFrames = 25;

class VrxwmTranscodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("vrxwmtranscode");
        ASSERT_NO_FATAL_FAILURE(MakePatternWmv(s_dir->Path() / "clip.wmv", 160, 120, kFrames));
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static SRun Run(const std::vector<std::string>& args) { return RunVrxwm(args, s_dir->Path()); }
    static std::filesystem::path File(const char* name) { return s_dir->Path() / name; }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(VrxwmTranscodeTest, EveryFrameInOrderAndTheAudio) {
    for (const bool bTwoPass : {false, true}) {
        SCOPED_TRACE(bTwoPass ? "two-pass" : "one pass");
        std::vector<std::string> args = {"transcode", "clip.wmv", "out.wmv", "--codec", "wmv1"};
        if (bTwoPass) args.push_back("--two-pass");
        const SRun run = Run(args);
        VRXWM_SKIP_IF_NOT_SUPPORTED(run);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto probe = Probe(File("out.wmv"));
        const auto& video = StreamOf(probe, "video");
        EXPECT_EQ(video.value("codec_name", ""), "wmv1");
        EXPECT_EQ(video.value("width", 0), 160);
        EXPECT_EQ(video.value("r_frame_rate", ""), "25/1");
        const auto& audio = StreamOf(probe, "audio");
        EXPECT_EQ(audio.value("sample_rate", ""), "44100");
        EXPECT_EQ(audio.value("channels", 0), 2);
        std::vector<int64_t> expected(kFrames);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(PatternIndices(File("out.wmv"), 160, 120), expected);
    }
}

TEST_F(VrxwmTranscodeTest, AudioOnlyFileStaysAudioOnly) {
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1", "-c:a", "wmav2",
                           File("tone.wma").string()},
                          &error))
        << error;
    const SRun run = Run({"transcode", "tone.wma", "tone-out.wma"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto probe = Probe(File("tone-out.wma"));
    EXPECT_TRUE(StreamOf(probe, "video").empty());
    EXPECT_EQ(StreamOf(probe, "audio").value("codec_name", ""), "wmav2");
    EXPECT_NEAR(std::stod(probe["format"].value("duration", "0")), 1.0, 0.1);
}

}  // namespace
