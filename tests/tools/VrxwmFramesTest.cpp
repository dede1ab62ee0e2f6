// vrxwm frames on a clip whose every frame carries its own number: the
// files hold exactly the frames asked for, and look as ffmpeg decodes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CFramePattern.h"
#include "vrxwm/CY4mReader.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kFrames = 25;

class VrxwmFramesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("vrxwmframes");
        ASSERT_NO_FATAL_FAILURE(MakePatternWmv(s_dir->Path() / "clip.wmv", kWidth, kHeight, kFrames));
        s_ffmpegFrames = DecodeGrey(s_dir->Path() / "clip.wmv", kWidth, kHeight);
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static SRun Run(const std::vector<std::string>& args) { return RunVrxwm(args, s_dir->Path()); }
    static std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    static inline std::unique_ptr<TempDir> s_dir;
    static inline std::vector<std::vector<uint8_t>> s_ffmpegFrames;
};

TEST_F(VrxwmFramesTest, PngFilesHoldExactlyTheFramesAsked) {
    const SRun run = Run({"frames", "clip.wmv", "--out", "png", "--range", "10:14"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FilesIn(s_dir->Path() / "png"),
              (std::vector<std::string>{"frame_000010.png", "frame_000011.png", "frame_000012.png",
                                        "frame_000013.png", "frame_000014.png"}));
    ASSERT_EQ(s_ffmpegFrames.size(), static_cast<size_t>(kFrames));
    for (int index = 10; index <= 14; ++index) {
        SCOPED_TRACE(index);
        char name[32];
        std::snprintf(name, sizeof name, "png/frame_%06d.png", index);
        const auto pictures = DecodeGrey(s_dir->Path() / name, kWidth, kHeight);
        ASSERT_EQ(pictures.size(), 1u);
        EXPECT_EQ(CFramePattern::ReadIndex(pictures[0].data(), kWidth, kWidth, kHeight), index);
        // Our YUY2 to RGB against ffmpeg's own decode: the same picture, up
        // to the rounding of the colour conversions.
        long diff = 0;
        for (size_t i = 0; i < pictures[0].size(); ++i)
            diff += std::abs(int(pictures[0][i]) - int(s_ffmpegFrames[static_cast<size_t>(index)][i]));
        EXPECT_LT(double(diff) / double(pictures[0].size()), 3.0);
    }
}

TEST_F(VrxwmFramesTest, EveryNthFrameOfTheRange) {
    const SRun run = Run({"frames", "clip.wmv", "--out", "every", "--range", "3:", "--every", "7"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FilesIn(s_dir->Path() / "every"),
              (std::vector<std::string>{"frame_000003.png", "frame_000010.png", "frame_000017.png",
                                        "frame_000024.png"}));
    EXPECT_NE(run.out.find("4 frames"), std::string::npos) << run.out;
}

TEST_F(VrxwmFramesTest, Y4mToAFileAndToStdoutAlike) {
    const SRun toFile = Run({"frames", "clip.wmv", "--format", "y4m", "--out", "part.y4m", "--range", "5:9"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(toFile);
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    CY4mReader reader(s_dir->Path() / "part.y4m");
    EXPECT_EQ(reader.Width(), kWidth);
    EXPECT_EQ(reader.FrameRate().num, 25);
    for (int index = 5; index <= 9; ++index) {
        const SPicture* picture = reader.Next();
        ASSERT_NE(picture, nullptr) << index;
        EXPECT_EQ(CFramePattern::ReadIndex(picture->planes[0], picture->strides[0], kWidth, kHeight), index);
    }
    EXPECT_EQ(reader.Next(), nullptr);

    const SRun toStdout = Run({"frames", "clip.wmv", "--format", "y4m", "--out", "-", "--range", "5:9"});
    ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_TRUE(toStdout.out == ReadBytes(s_dir->Path() / "part.y4m")) << "stdout differs from the file";
    EXPECT_NE(toStdout.err.find("5 frames"), std::string::npos) << "the summary goes to stderr";
}

TEST_F(VrxwmFramesTest, AllFramesByDefault) {
    const SRun run = Run({"frames", "clip.wmv", "--out", "all"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FilesIn(s_dir->Path() / "all").size(), static_cast<size_t>(kFrames));
}

}  // namespace
