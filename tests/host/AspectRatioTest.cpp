#include <string>

#include <gtest/gtest.h>

#include "vrx/VRXHost.h"

namespace {

// One picture, its display aspect and the pixel aspect that belongs to it.
struct AspectCase {
    const char* name;
    uint32_t width, height;
    uint32_t darX, darY;
    uint32_t sarX, sarY;
};

const AspectCase kAspectCases[] = {
    {"Pal43", 720, 576, 4, 3, 16, 15},
    {"Pal169", 720, 576, 16, 9, 64, 45},
    {"Ntsc43", 720, 480, 4, 3, 8, 9},
    {"Ntsc169", 720, 480, 16, 9, 32, 27},
    {"FullHd", 1920, 1080, 16, 9, 1, 1},
    {"Hdv", 1440, 1080, 16, 9, 4, 3},
    {"Vga", 640, 480, 4, 3, 1, 1},
    {"Cinema", 1998, 1080, 37, 20, 1, 1},
    {"OddSize", 351, 239, 4, 3, 956, 1053},
};

class AspectRatioTest : public ::testing::TestWithParam<AspectCase> {};

TEST_P(AspectRatioTest, DisplayToSample) {
    const AspectCase& c = GetParam();
    uint32_t x = 0, y = 0;
    ASSERT_EQ(DARtoSAR(c.width, c.height, c.darX, c.darY, &x, &y), 1);
    EXPECT_EQ(x, c.sarX);
    EXPECT_EQ(y, c.sarY);
    x = y = 0;
    ASSERT_EQ(DARtoSAR(c.width, c.height, c.darX * 5, c.darY * 5, &x, &y), 1);
    EXPECT_EQ(x, c.sarX) << "reduced from an unreduced ratio";
    EXPECT_EQ(y, c.sarY);
}

TEST_P(AspectRatioTest, SampleToDisplay) {
    const AspectCase& c = GetParam();
    uint32_t x = 0, y = 0;
    ASSERT_EQ(SARtoDAR(c.width, c.height, c.sarX, c.sarY, &x, &y), 1);
    EXPECT_EQ(x, c.darX);
    EXPECT_EQ(y, c.darY);
}

INSTANTIATE_TEST_SUITE_P(Pictures, AspectRatioTest, ::testing::ValuesIn(kAspectCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AspectRatioEdgeTest, ZeroRatioMeansSquarePixels) {
    uint32_t x = 0, y = 0;
    ASSERT_EQ(DARtoSAR(720, 576, 0, 0, &x, &y), 1);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 1u);
    ASSERT_EQ(DARtoSAR(720, 576, 4, 0, &x, &y), 1);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 1u);
    ASSERT_EQ(SARtoDAR(720, 576, 0, 0, &x, &y), 1);
    EXPECT_EQ(x, 5u);
    EXPECT_EQ(y, 4u);
    ASSERT_EQ(SARtoDAR(1920, 1080, 0, 7, &x, &y), 1);
    EXPECT_EQ(x, 16u);
    EXPECT_EQ(y, 9u);
}

TEST(AspectRatioEdgeTest, RefusesEmptyPictureAndMissingOutputs) {
    uint32_t x = 11, y = 13;
    EXPECT_EQ(DARtoSAR(0, 576, 4, 3, &x, &y), 0);
    EXPECT_EQ(SARtoDAR(720, 0, 1, 1, &x, &y), 0);
    EXPECT_EQ(x, 11u) << "outputs untouched on failure";
    EXPECT_EQ(y, 13u);
    EXPECT_EQ(DARtoSAR(720, 576, 4, 3, nullptr, &y), 0);
    EXPECT_EQ(SARtoDAR(720, 576, 1, 1, &x, nullptr), 0);
}

TEST(AspectRatioEdgeTest, ExtremeTermsStayExactOrNearest) {
    uint32_t x = 0, y = 0;
    // 0xFFFFFFFF x 0xFFFFFFFF needs 64 bits before it reduces to 1:1.
    ASSERT_EQ(SARtoDAR(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, &x, &y), 1);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 1u);
    // Products of four large terms reduce to no 32-bit ratio: a close one
    // comes back instead.
    const uint32_t w = 4294967291u, h = 4294967279u, sx = 4294967231u, sy = 4294967197u;
    ASSERT_EQ(SARtoDAR(w, h, sx, sy, &x, &y), 1);
    const double exact = (double(sx) * w) / (double(sy) * h);
    EXPECT_NEAR(double(x) / y / exact, 1.0, 1e-6);
}

TEST(PixBitsTest, BitsPerPixelOfHostFormats) {
    EXPECT_EQ(GetPixBits(PLUG_COLOR_FORMAT_RGB32), 32);
    EXPECT_EQ(GetPixBits(PLUG_COLOR_FORMAT_YUY2), 16);
    EXPECT_EQ(GetPixBits(PLUG_COLOR_FORMAT_UYVY), 16);
    EXPECT_EQ(GetPixBits(PLUG_COLOR_FORMAT_I420), 12);
    EXPECT_EQ(GetPixBits(static_cast<PLUG_COLOR_FORMAT_>(0)), 0);
    EXPECT_EQ(GetPixBits(static_cast<PLUG_COLOR_FORMAT_>(2)), 0);
}

}  // namespace
