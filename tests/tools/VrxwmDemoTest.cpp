// vrxwm demo end to end on a short clip: its own checks pass, and its
// files are what it says they are.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"

namespace {

TEST(VrxwmDemoTest, ChecksPassAndFilesAreMade) {
    TempDir dir("vrxwmdemo");
    const SRun run = RunVrxwm({"demo", "--out", "d", "--seconds", "2"}, dir.Path());
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char* line : {"50/50 exact", "12/12 random frames identical", "all checks passed"})
        EXPECT_NE(run.out.find(line), std::string::npos) << "no \"" << line << "\" in\n" << run.out;
    const auto demo = Probe(dir.Path() / "d" / "demo.wmv");
    EXPECT_EQ(StreamOf(demo, "video").value("codec_name", ""), "wmv2");
    EXPECT_EQ(StreamOf(demo, "video").value("nb_read_frames", ""), "50");
    EXPECT_EQ(StreamOf(demo, "audio").value("codec_name", ""), "wmav2");
    // Four by three thumbnails of 160x120 with their labels.
    const auto& sheet = StreamOf(Probe(dir.Path() / "d" / "contact-sheet.png"), "video");
    EXPECT_EQ(sheet.value("codec_name", ""), "png");
    EXPECT_EQ(sheet.value("width", 0), 680);
    EXPECT_EQ(sheet.value("height", 0), 476);
}

}  // namespace
