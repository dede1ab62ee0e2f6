// The demo's frame numbers must survive lossy compression: drawn, encoded
// by the ffmpeg tool at a low bit rate, decoded and read back.
#include <gtest/gtest.h>

#include <memory>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CFramePattern.h"

namespace {

TEST(CFramePatternTest, DrawnNumberReadsBack) {
    CFramePattern pattern(320, 240, {25, 1}, 1);
    CPictureBuffer picture;
    picture.Allocate(AV_PIX_FMT_YUV420P, 320, 240);
    for (const uint32_t index : {0u, 1u, 2u, 255u, 256u, 4097u, 65535u}) {
        SCOPED_TRACE(index);
        pattern.Draw(index, picture);
        EXPECT_EQ(CFramePattern::ReadIndex(picture.Plane(0), picture.Stride(0), 320, 240), index);
    }
}

TEST(CFramePatternTest, PicturesWithoutCellsReadAsNothing) {
    std::vector<uint8_t> grey(160 * 120, 128);
    EXPECT_EQ(CFramePattern::ReadIndex(grey.data(), 160, 160, 120), -1);
}

TEST(CFramePatternTest, SourceRewindsAndEnds) {
    CFramePattern pattern(160, 120, {25, 1}, 2);
    ASSERT_NE(pattern.Next(), nullptr);
    const SPicture* second = pattern.Next();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CFramePattern::ReadIndex(second->planes[0], second->strides[0], 160, 120), 1);
    EXPECT_EQ(pattern.Next(), nullptr);
    pattern.Rewind();
    const SPicture* first = pattern.Next();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CFramePattern::ReadIndex(first->planes[0], first->strides[0], 160, 120), 0);
}

TEST(CFramePatternTest, NumbersSurviveLowBitRateWmv2) {
    TempDir dir("pattern");
    const auto y4m = dir.Path() / "p.y4m";
    const auto wmv = dir.Path() / "p.wmv";
    ASSERT_NO_FATAL_FAILURE(MakePatternY4m(y4m, 160, 120, 60));
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-i", y4m.string(), "-c:v", "wmv2", "-b:v", "100k", wmv.string()}, &error)) << error;
    const auto indices = PatternIndices(wmv, 160, 120);
    ASSERT_EQ(indices.size(), 60u);
    for (size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], static_cast<int64_t>(i));
}

}  // namespace
