#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StreamBytes.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"

namespace {

struct H264Case {
    const char* name;
    const char* size;
    const char* rate;
    const char* pixelFormat;
    std::vector<std::string> extra;
    uint32_t width, height, aspectX, aspectY, rateNum, rateDen, fieldOrder;
};

const H264Case kH264Cases[] = {
    {"Square25", "320x240", "25", "yuv420p", {}, 320, 240, 4, 3, 25, 1, 2},
    {"NtscTablePixelAspect", "352x240", "30000/1001", "yuv420p", {"-vf", "setsar=10/11"},
     352, 240, 4, 3, 30000, 1001, 2},
    {"PalNarrow", "720x576", "25", "yuv420p", {"-vf", "setsar=16/15"}, 720, 576, 4, 3, 25, 1, 2},
    {"PalWideExtendedSar", "720x576", "25", "yuv420p", {"-aspect", "16:9"}, 720, 576, 16, 9, 25, 1, 2},
    // Heights and widths off the 16-pixel grid are cropped in chroma units.
    {"Cropped420", "352x200", "25", "yuv420p", {}, 352, 200, 44, 25, 25, 1, 2},
    {"Cropped422", "352x200", "25", "yuv422p", {}, 352, 200, 44, 25, 25, 1, 2},
    {"Cropped444", "350x202", "25", "yuv444p", {}, 350, 202, 175, 101, 25, 1, 2},
    {"ScalingLists", "320x240", "25", "yuv420p", {"-x264-params", "cqm=jvt"}, 320, 240, 4, 3, 25, 1, 2},
    {"TopFieldFirst", "320x240", "25", "yuv420p", {"-flags", "+ildct", "-x264-params", "tff=1"},
     320, 240, 4, 3, 25, 1, 0},
    {"BottomFieldFirst", "320x240", "30000/1001", "yuv420p", {"-flags", "+ildct", "-x264-params", "bff=1"},
     320, 240, 4, 3, 30000, 1001, 1},
};

class H264VideoInfoTest : public ::testing::TestWithParam<H264Case> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("h264info"); }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::vector<uint8_t> Encode(const H264Case& c) {
        std::vector<std::string> args = {"-f", "lavfi", "-i",
                                         std::string("testsrc=size=") + c.size + ":rate=" + c.rate,
                                         "-frames:v", "2", "-pix_fmt", c.pixelFormat};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-f", "h264"});
        return EncodeStream(args, s_dir->Path() / (std::string(c.name) + ".264"));
    }

    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_P(H264VideoInfoTest, DescribesEncodedStream) {
    const H264Case& c = GetParam();
    if (!HasEncoder("libx264")) GTEST_SKIP() << "libx264 is not in this ffmpeg";
    const std::vector<uint8_t> stream = Encode(c);
    ASSERT_FALSE(stream.empty());

    SPlugVideoStreamInfo info{};
    info.dwColorFormat = PLUG_COLOR_FORMAT_I420;
    ASSERT_EQ(GetH264VideoInfo(stream.data(), static_cast<int32_t>(stream.size()), &info), 1);
    EXPECT_EQ(info.dwWidth, c.width);
    EXPECT_EQ(info.dwHeight, c.height);
    EXPECT_EQ(info.dwAspectX, c.aspectX) << "display aspect x";
    EXPECT_EQ(info.dwAspectY, c.aspectY) << "display aspect y";
    EXPECT_EQ(info.dwFrameRateNum, c.rateNum);
    EXPECT_EQ(info.dwFrameRateDen, c.rateDen);
    EXPECT_EQ(info.dwFieldOrder, c.fieldOrder);
    EXPECT_EQ(info.dwColorFormat, PLUG_COLOR_FORMAT_I420) << "fields the parser does not own stay";
}

INSTANTIATE_TEST_SUITE_P(Encoded, H264VideoInfoTest, ::testing::ValuesIn(kH264Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(H264VideoInfoTest, CutStreamsFailOrDescribeTheWholeStream) {
    if (!HasEncoder("libx264")) GTEST_SKIP() << "libx264 is not in this ffmpeg";
    const std::vector<uint8_t> stream = Encode(kH264Cases[4]);
    ASSERT_GT(stream.size(), 64u);
    // The sequence parameter set is the first unit: 00 00 00 01 67 ...
    ASSERT_EQ(stream[4] & 0x1F, 7);
    for (size_t n = 0; n <= 160; ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        const std::vector<uint8_t> cut = Prefix(stream, n);
        SPlugVideoStreamInfo info{};
        const int32_t result = GetH264VideoInfo(cut.data(), static_cast<int32_t>(n), &info);
        // Profile, level and the size need more than eight bytes.
        if (n <= 12) {
            EXPECT_EQ(result, 0);
        }
        if (result == 1) {
            EXPECT_EQ(info.dwWidth, 352u);
            EXPECT_EQ(info.dwHeight, 200u);
        } else {
            EXPECT_EQ(info.dwWidth, 0u) << "a failed parse writes nothing";
        }
    }
}

TEST(H264VideoInfoInputTest, RejectsMissingOrForeignData) {
    SPlugVideoStreamInfo info{};
    const uint8_t ppsOnly[] = {0, 0, 0, 1, 0x68, 0xCE, 0x38, 0x80};
    EXPECT_EQ(GetH264VideoInfo(nullptr, 8, &info), 0);
    EXPECT_EQ(GetH264VideoInfo(ppsOnly, 0, &info), 0);
    EXPECT_EQ(GetH264VideoInfo(ppsOnly, -1, &info), 0);
    EXPECT_EQ(GetH264VideoInfo(ppsOnly, sizeof ppsOnly, nullptr), 0);
    EXPECT_EQ(GetH264VideoInfo(ppsOnly, sizeof ppsOnly, &info), 0) << "no SPS in the sample";

    std::mt19937 random(7031);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Most rounds start like an SPS so that the parser runs on noise.
        const bool bPlanted = round % 4 != 0;
        const std::vector<uint8_t> noise =
            Noise(random, 256, bPlanted ? std::vector<uint8_t>{0, 0, 0, 1, 0x67} : std::vector<uint8_t>{});
        SPlugVideoStreamInfo out{};
        const int32_t result = GetH264VideoInfo(noise.data(), static_cast<int32_t>(noise.size()), &out);
        if (!bPlanted) {
            EXPECT_EQ(result, 0);
        } else if (result == 1) {
            EXPECT_LE(out.dwWidth, 32768u);
            EXPECT_LE(out.dwHeight, 65536u);
            EXPECT_GT(out.dwAspectX, 0u);
            EXPECT_LE(out.dwFieldOrder, 2u);
        }
    }
}

}  // namespace
