#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StreamBytes.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"

namespace {

// The frame rate the caller had; a VOL without fixed_vop_rate must keep it.
constexpr uint32_t kCallerRateNum = 7;
constexpr uint32_t kCallerRateDen = 3;

struct Mpeg4Case {
    const char* name;
    const char* encoder;
    const char* size;
    const char* rate;
    std::vector<std::string> extra;
    uint32_t width, height, aspectX, aspectY;
    uint32_t rateNum, rateDen;  // 0/0: the caller's rate stays
    uint32_t fieldOrder;
};

const Mpeg4Case kMpeg4Cases[] = {
    {"Square", "mpeg4", "320x240", "25", {}, 320, 240, 4, 3, 0, 0, 2},
    {"AnamorphicWide", "mpeg4", "720x576", "25", {"-aspect", "16:9"}, 720, 576, 16, 9, 0, 0, 2},
    {"TablePixelAspect", "mpeg4", "720x576", "25", {"-vf", "setsar=12/11"}, 720, 576, 15, 11, 0, 0, 2},
    {"FixedRateNtsc", "libxvid", "352x240", "30000/1001", {}, 352, 240, 22, 15, 30000, 1001, 2},
    {"FixedRatePal", "libxvid", "320x240", "25", {}, 320, 240, 4, 3, 25, 1, 2},
    {"TopFieldFirst", "mpeg4", "320x240", "25", {"-vf", "setfield=tff", "-flags", "+ildct+ilme"},
     320, 240, 4, 3, 0, 0, 0},
    {"BottomFieldFirst", "mpeg4", "320x240", "25", {"-vf", "setfield=bff", "-flags", "+ildct+ilme"},
     320, 240, 4, 3, 0, 0, 1},
    // B-frames make the encoder write a version-2 VOL, and MPEG quantisation
    // puts matrices into it: both move the fields in front of the first VOP.
    {"BottomFieldFirstVersion2", "mpeg4", "320x240", "25",
     {"-vf", "setfield=bff", "-flags", "+ildct+ilme", "-bf", "2", "-mpeg_quant", "1"},
     320, 240, 4, 3, 0, 0, 1},
};

class Mpeg4VideoInfoTest : public ::testing::TestWithParam<Mpeg4Case> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("mpeg4info"); }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::vector<uint8_t> Encode(const Mpeg4Case& c) {
        std::vector<std::string> args = {"-f", "lavfi", "-i",
                                         std::string("testsrc=size=") + c.size + ":rate=" + c.rate,
                                         "-frames:v", "3"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        args.insert(args.end(), {"-c:v", c.encoder, "-f", "m4v"});
        return EncodeStream(args, s_dir->Path() / (std::string(c.name) + ".m4v"));
    }

    static SPlugVideoStreamInfo CallerInfo() {
        SPlugVideoStreamInfo info{};
        info.dwSize = sizeof info;
        info.dwFrameRateNum = kCallerRateNum;
        info.dwFrameRateDen = kCallerRateDen;
        info.dwFieldOrder = 9;
        return info;
    }

    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_P(Mpeg4VideoInfoTest, DescribesEncodedStream) {
    const Mpeg4Case& c = GetParam();
    if (!HasEncoder(c.encoder)) GTEST_SKIP() << c.encoder << " is not in this ffmpeg";
    const std::vector<uint8_t> stream = Encode(c);
    ASSERT_FALSE(stream.empty());

    SPlugVideoStreamInfo info = CallerInfo();
    ASSERT_EQ(GetMpeg4VideoInfo(stream.data(), static_cast<int32_t>(stream.size()), &info), 1);
    EXPECT_EQ(info.dwWidth, c.width);
    EXPECT_EQ(info.dwHeight, c.height);
    EXPECT_EQ(info.dwAspectX, c.aspectX) << "display aspect x";
    EXPECT_EQ(info.dwAspectY, c.aspectY) << "display aspect y";
    EXPECT_EQ(info.dwFrameRateNum, c.rateDen ? c.rateNum : kCallerRateNum);
    EXPECT_EQ(info.dwFrameRateDen, c.rateDen ? c.rateDen : kCallerRateDen);
    EXPECT_EQ(info.dwFieldOrder, c.fieldOrder);
    EXPECT_EQ(info.dwSize, sizeof info) << "fields the parser does not own stay";
}

INSTANTIATE_TEST_SUITE_P(Encoded, Mpeg4VideoInfoTest, ::testing::ValuesIn(kMpeg4Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Offset of the first VOL start code's last byte, or npos.
size_t FindVol(const std::vector<uint8_t>& s) {
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && (s[i + 3] & 0xF0) == 0x20) return i + 3;
    return std::string::npos;
}

TEST_F(Mpeg4VideoInfoTest, CutStreamsFailOrDescribeTheWholeStream) {
    const std::vector<uint8_t> stream = Encode(kMpeg4Cases[0]);
    const size_t vol = FindVol(stream);
    ASSERT_NE(vol, std::string::npos);
    for (size_t n = 0; n <= std::min(stream.size(), vol + 64); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        const std::vector<uint8_t> cut = Prefix(stream, n);
        SPlugVideoStreamInfo info = CallerInfo();
        const int32_t result = GetMpeg4VideoInfo(cut.data(), static_cast<int32_t>(n), &info);
        // Four bytes after the start code end before the picture size.
        if (n <= vol + 5) {
            EXPECT_EQ(result, 0);
        }
        if (result == 1) {
            EXPECT_EQ(info.dwWidth, 320u);
            EXPECT_EQ(info.dwHeight, 240u);
        } else {
            EXPECT_EQ(info.dwWidth, 0u) << "a failed parse writes nothing";
        }
    }
}

TEST_F(Mpeg4VideoInfoTest, VolWithoutMarkerBitsIsDamaged) {
    std::vector<uint8_t> stream = Encode(kMpeg4Cases[0]);
    const size_t vol = FindVol(stream);
    ASSERT_NE(vol, std::string::npos);
    ASSERT_GT(stream.size(), vol + 20);
    std::fill(stream.begin() + static_cast<std::ptrdiff_t>(vol) + 1,
              stream.begin() + static_cast<std::ptrdiff_t>(vol) + 20, uint8_t{0x00});
    SPlugVideoStreamInfo info = CallerInfo();
    EXPECT_EQ(GetMpeg4VideoInfo(stream.data(), static_cast<int32_t>(stream.size()), &info), 0);
}

TEST(Mpeg4VideoInfoInputTest, RejectsMissingOrForeignData) {
    SPlugVideoStreamInfo info{};
    const uint8_t vopOnly[] = {0, 0, 1, 0xB6, 0x10, 0x60, 0xB1, 0x82};
    EXPECT_EQ(GetMpeg4VideoInfo(nullptr, 8, &info), 0);
    EXPECT_EQ(GetMpeg4VideoInfo(vopOnly, 0, &info), 0);
    EXPECT_EQ(GetMpeg4VideoInfo(vopOnly, -8, &info), 0);
    EXPECT_EQ(GetMpeg4VideoInfo(vopOnly, sizeof vopOnly, nullptr), 0);
    EXPECT_EQ(GetMpeg4VideoInfo(vopOnly, sizeof vopOnly, &info), 0) << "no VOL in the sample";

    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Half the rounds start like a VOL so that the bit reader runs on noise.
        const bool bPlanted = round % 2 != 0;
        const std::vector<uint8_t> noise =
            Noise(random, 512, bPlanted ? std::vector<uint8_t>{0, 0, 1, 0x20} : std::vector<uint8_t>{});
        SPlugVideoStreamInfo out{};
        const int32_t result = GetMpeg4VideoInfo(noise.data(), static_cast<int32_t>(noise.size()), &out);
        if (!bPlanted) {
            EXPECT_EQ(result, 0);
        } else if (result == 1) {
            EXPECT_GT(out.dwWidth, 0u);
            EXPECT_LT(out.dwWidth, 8192u) << "13 bits of width";
            EXPECT_LE(out.dwFieldOrder, 2u);
        }
    }
}

}  // namespace
