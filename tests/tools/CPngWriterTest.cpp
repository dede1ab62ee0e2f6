// PNG files from the tool's pictures, decoded again by the ffmpeg tool.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CPngWriter.h"
#include "vrxwm/CStatusError.h"

namespace {

// An RGB picture goes through unchanged: PNG is lossless.
TEST(CPngWriterTest, RgbPictureRoundTripsExactly) {
    TempDir dir("png");
    CPictureBuffer rgb;
    rgb.Allocate(AV_PIX_FMT_RGB24, 37, 21);
    for (uint32_t i = 0; i < rgb.Size(); ++i) rgb.Plane(0)[i] = static_cast<uint8_t>(i * 7 + i / 111);
    CPngWriter writer;
    writer.Write(rgb.View(), dir.Path() / "a.png");
    // Once more at another size, through the same encoder object.
    CPictureBuffer small;
    small.Allocate(AV_PIX_FMT_RGB24, 8, 8);
    writer.Write(small.View(), dir.Path() / "b.png");

    const auto probe = Probe(dir.Path() / "a.png");
    EXPECT_EQ(StreamOf(probe, "video").value("codec_name", ""), "png");
    std::string decoded;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + (dir.Path() / "a.png").string() +
                             "' -f rawvideo -pix_fmt rgb24 -",
                         &decoded),
              0);
    EXPECT_TRUE(decoded == std::string(reinterpret_cast<const char*>(rgb.Data()), rgb.Size())) << "pixels differ";
    EXPECT_EQ(StreamOf(Probe(dir.Path() / "b.png"), "video").value("width", 0), 8);
}

TEST(CPngWriterTest, UnwritablePathIsAnError) {
    TempDir dir("pngbad");
    CPictureBuffer rgb;
    rgb.Allocate(AV_PIX_FMT_YUV420P, 16, 16);
    std::ofstream(dir.Path() / "file") << "x";
    try {
        CPngWriter().Write(rgb.View(), dir.Path() / "file" / "a.png");
        FAIL() << "wrote below a file";
    } catch (const CStatusError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create"), std::string::npos) << e.what();
    }
}

}  // namespace
