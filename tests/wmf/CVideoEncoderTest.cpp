#include "wmf/CVideoEncoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "win/NsError.h"
#include "wmf/CNSSBuffer.h"
#include "wmf/WmGuids.h"

namespace {

struct SSizeCase {
    const char* name;
    const GUID* pSubtype;
    int width;
    int height;
    DWORD cbFrame;  // 0: not taken
};
const SSizeCase kSizeCases[] = {
    {"I420", &WMMEDIASUBTYPE_I420, 160, 120, 28800},
    {"Yv12", &WMMEDIASUBTYPE_YV12, 160, 120, 28800},
    {"Yuy2", &WMMEDIASUBTYPE_YUY2, 160, 120, 38400},
    {"Rgb32", &WMMEDIASUBTYPE_RGB32, 160, 120, 76800},
    {"Rgb24RowsPaddedToFourBytes", &WMMEDIASUBTYPE_RGB24, 150, 2, 2 * 452},
    {"I420OddWidth", &WMMEDIASUBTYPE_I420, 161, 120, 0},
    {"Yuy2OddWidth", &WMMEDIASUBTYPE_YUY2, 161, 120, 0},
    {"Nv12", &WMMEDIASUBTYPE_NV12, 160, 120, 0},
};
class FrameSizeTest : public ::testing::TestWithParam<SSizeCase> {};

TEST_P(FrameSizeTest, PictureBytes) {
    const SSizeCase& c = GetParam();
    const SVideoInputFormat input{*c.pSubtype, c.width, c.height, true};
    EXPECT_EQ(CVideoEncoder::FrameSize(input), c.cbFrame);
    EXPECT_EQ(CVideoEncoder::IsInputSupported(input), c.cbFrame != 0);
}
std::string SizeName(const ::testing::TestParamInfo<SSizeCase>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(Formats, FrameSizeTest, ::testing::ValuesIn(kSizeCases), SizeName);

SVideoEncoderSettings SmallSettings() {
    SVideoEncoderSettings s;
    s.width = 64;
    s.height = 48;
    s.bitRate = 200'000;
    return s;
}

TEST(CVideoEncoderTest, SecondPassKeepsTheCodecDataOfTheHeader) {
    std::unique_ptr<CVideoEncoder> pSingle;
    std::unique_ptr<CVideoEncoder> pFirst;
    ASSERT_EQ(CVideoEncoder::Create(SmallSettings(), CVideoEncoder::Pass::Single, nullptr, &pSingle), S_OK);
    ASSERT_EQ(CVideoEncoder::Create(SmallSettings(), CVideoEncoder::Pass::First, nullptr, &pFirst), S_OK);
    std::vector<BYTE> picture(64 * 48 * 3 / 2, 0x80);
    int packets = 0;
    const auto count = [&](AVPacket*) {
        ++packets;
        return S_OK;
    };
    for (int n = 0; n < 10; ++n) ASSERT_EQ(pFirst->Encode(picture.data(), static_cast<DWORD>(picture.size()), n, count), S_OK);
    ASSERT_EQ(pFirst->Flush(count), S_OK);
    EXPECT_EQ(packets, 0) << "a first pass keeps nothing";
    const std::string stats = pFirst->Stats();
    EXPECT_EQ(CVideoEncoder::StatsFrameCount(stats), 10);
    std::unique_ptr<CVideoEncoder> pSecond;
    ASSERT_EQ(CVideoEncoder::Create(SmallSettings(), CVideoEncoder::Pass::Second, &stats, &pSecond), S_OK);
    const AVCodecContext& a = pSingle->Context();
    const AVCodecContext& b = pSecond->Context();
    ASSERT_EQ(a.extradata_size, b.extradata_size);
    EXPECT_EQ(std::vector<uint8_t>(a.extradata, a.extradata + a.extradata_size),
              std::vector<uint8_t>(b.extradata, b.extradata + b.extradata_size));
    EXPECT_EQ(pSecond->Encode(picture.data(), static_cast<DWORD>(picture.size()) - 1, 0, count),
              NS_E_INVALID_INPUT_FORMAT);
    ASSERT_EQ(pSecond->Encode(picture.data(), static_cast<DWORD>(picture.size()), 0, count), S_OK);
    EXPECT_EQ(packets, 1);
    const std::string none;
    EXPECT_EQ(CVideoEncoder::Create(SmallSettings(), CVideoEncoder::Pass::Second, &none, &pSecond), E_INVALIDARG);
}

// A picture handed over with its owner is encoded without a copy: the
// owner may let go of it at once, the stream is the same as from copied
// pictures, and the encoder gives back every reference it took.
TEST(CVideoEncoderTest, OwnedPicturesAreKeptAliveAndEncodedAsCopiedOnes) {
    std::unique_ptr<CVideoEncoder> pCopying;
    std::unique_ptr<CVideoEncoder> pReferencing;
    ASSERT_EQ(CVideoEncoder::Create(SmallSettings(), CVideoEncoder::Pass::Single, nullptr, &pCopying), S_OK);
    ASSERT_EQ(CVideoEncoder::Create(SmallSettings(), CVideoEncoder::Pass::Single, nullptr, &pReferencing), S_OK);
    const DWORD cbPicture = pCopying->InputFrameSize();
    std::vector<std::vector<uint8_t>> copied;
    std::vector<std::vector<uint8_t>> referenced;
    const auto into = [](std::vector<std::vector<uint8_t>>& packets) {
        return [&packets](AVPacket* pkt) {
            packets.emplace_back(pkt->data, pkt->data + pkt->size);
            return S_OK;
        };
    };
    ComPtr<INSSBuffer> pKept;
    for (int n = 0; n < 12; ++n) {
        std::vector<BYTE> picture(cbPicture);
        for (DWORD i = 0; i < cbPicture; ++i) picture[i] = static_cast<BYTE>(i * 7 + n * 13);
        ASSERT_EQ(pCopying->Encode(picture.data(), cbPicture, n, into(copied)), S_OK);
        ComPtr<INSSBuffer> pSample;
        ASSERT_EQ(CNSSBuffer::CreateCopy(picture.data(), cbPicture, pSample.Put()), S_OK);
        BYTE* pData = nullptr;
        DWORD cbData = 0;
        ASSERT_EQ(pSample->GetBufferAndLength(&pData, &cbData), S_OK);
        // This round's reference to the sample ends with the round.
        ASSERT_EQ(pReferencing->Encode(pData, cbData, n, into(referenced), pSample.Get()), S_OK);
        if (n == 5) pKept = pSample;
    }
    ASSERT_EQ(pCopying->Flush(into(copied)), S_OK);
    ASSERT_EQ(pReferencing->Flush(into(referenced)), S_OK);
    EXPECT_EQ(referenced, copied);
    pReferencing.reset();
    pKept->AddRef();
    EXPECT_EQ(pKept->Release(), 1u) << "the encoder still holds the picture";
}

TEST(CVideoEncoderTest, OnlyWmv1AndWmv2) {
    SVideoEncoderSettings s = SmallSettings();
    s.codecId = AV_CODEC_ID_WMV3;
    std::unique_ptr<CVideoEncoder> pEncoder;
    EXPECT_EQ(CVideoEncoder::Create(s, CVideoEncoder::Pass::Single, nullptr, &pEncoder),
              NS_E_VIDEO_CODEC_NOT_INSTALLED);
    EXPECT_FALSE(pEncoder);
}

}  // namespace
