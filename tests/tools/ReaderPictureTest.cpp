// The reader's decoded frames as pictures: every colour format it may
// deliver, odd sizes, and frames too short for their picture.
#include <gtest/gtest.h>

#include <vector>

#include "vrxwm/CStatusError.h"
#include "vrxwm/CVideoConverter.h"
#include "vrxwm/HostRecords.h"
#include "vrxwm/ReaderPicture.h"

namespace {

SPlugVideoStreamInfo Video(uint32_t width, uint32_t height, uint32_t colourFormat) {
    SPlugVideoStreamInfo video = DefaultMediaInfo().Video;
    video.dwCodecType = PLUG_VIDEO_CODEC_WINMEDIA;
    video.dwWidth = width;
    video.dwHeight = height;
    video.dwColorFormat = colourFormat;
    return video;
}

SPlugFrame Frame(const std::vector<uint8_t>& bytes) {
    SPlugFrame frame;
    frame.pData = bytes.data();
    frame.cbData = static_cast<uint32_t>(bytes.size());
    return frame;
}

// The picture converted to top-down RGB24, as a PNG would hold it.
std::vector<uint8_t> Rgb(const SPicture& picture) {
    CPictureBuffer rgb;
    rgb.Allocate(AV_PIX_FMT_RGB24, picture.width, picture.height);
    CVideoConverter().Convert(picture, rgb);
    return {rgb.Data(), rgb.Data() + rgb.Size()};
}

TEST(ReaderPictureTest, OddWidthYuy2TakesWholePixelPairs) {
    // 5 pixels wide: three pairs, 12 bytes a row.
    const std::vector<uint8_t> bytes(12 * 3, 128);
    const SPicture picture = PictureOfFrame(Video(5, 3, PLUG_COLOR_FORMAT_YUY2), Frame(bytes));
    EXPECT_EQ(picture.format, AV_PIX_FMT_YUYV422);
    EXPECT_EQ(picture.strides[0], 12);
    const std::vector<uint8_t> shorter(12 * 3 - 1, 128);
    EXPECT_THROW(PictureOfFrame(Video(5, 3, PLUG_COLOR_FORMAT_YUY2), Frame(shorter)), CStatusError);
}

// Reads by index give 24-bit rows bottom-up, padded to four bytes; reads by
// seek give 32-bit rows top-down. Both show the same picture.
TEST(ReaderPictureTest, BothRgbShapesGiveTheSamePicture) {
    constexpr int kWidth = 5;
    constexpr int kHeight = 2;
    constexpr int kStride24 = 16;  // 15 bytes of pixels, padded to four
    std::vector<uint8_t> rgb24(kStride24 * kHeight, 0);
    std::vector<uint8_t> rgb32(4 * kWidth * kHeight, 0xFF);
    for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) {
            // B, G, R bytes: the top row pure blue, the bottom row shades.
            const auto topValue = static_cast<uint8_t>(c == 0 ? 255 : 0);
            const auto bottomValue = static_cast<uint8_t>(10 * (3 * x + c + 1));
            rgb24[0 * kStride24 + 3 * x + c] = bottomValue;  // bottom-up: the bottom row comes first
            rgb24[1 * kStride24 + 3 * x + c] = topValue;
            rgb32[0 * 4 * kWidth + 4 * x + c] = topValue;
            rgb32[1 * 4 * kWidth + 4 * x + c] = bottomValue;
        }
    const auto video = Video(kWidth, kHeight, PLUG_COLOR_FORMAT_RGB32);
    const std::vector<uint8_t> fromIndex = Rgb(PictureOfFrame(video, Frame(rgb24)));
    const std::vector<uint8_t> fromSeek = Rgb(PictureOfFrame(video, Frame(rgb32)));
    EXPECT_EQ(fromIndex, fromSeek);
    // Top left is blue, bottom left B 10, G 20, R 30.
    EXPECT_EQ(fromIndex[0], 0);
    EXPECT_EQ(fromIndex[2], 255);
    EXPECT_EQ(fromIndex[3 * kWidth + 0], 30);
    EXPECT_EQ(fromIndex[3 * kWidth + 2], 10);
}

TEST(ReaderPictureTest, CompressedVideoIsNamedAndRefused) {
    auto video = Video(16, 16, PLUG_COLOR_FORMAT_I420);
    video.dwCodecType = PLUG_VIDEO_CODEC_H264;
    const std::vector<uint8_t> bytes(16 * 16 * 2);
    try {
        PictureOfFrame(video, Frame(bytes));
        FAIL() << "took a compressed frame for a picture";
    } catch (const CStatusError& e) {
        EXPECT_EQ(e.Status(), 0xC00D0BC4u);
        EXPECT_NE(std::string(e.what()).find("H.264"), std::string::npos) << e.what();
    }
}

}  // namespace
