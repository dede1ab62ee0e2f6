#include "wmf/CAudioEncoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "win/NsError.h"

namespace {

struct SEnds {
    int64_t firstPts = INT64_MAX;
    int64_t end = 0;  // samples
};

// 44100 Hz stereo: wmav2 frames of 2048 samples.
SEnds EncodeSamples(int64_t cSamples, int64_t cMaxOverhang) {
    std::unique_ptr<CAudioEncoder> pEncoder;
    EXPECT_EQ(CAudioEncoder::Create(SAudioEncoderSettings{}, &pEncoder), S_OK);
    if (!pEncoder) return {};
    SEnds ends;
    const auto sink = [&](AVPacket* pkt) {
        ends.firstPts = std::min(ends.firstPts, pkt->pts);
        ends.end = std::max(ends.end, pkt->pts + pkt->duration);
        return S_OK;
    };
    const std::vector<BYTE> pcm(static_cast<size_t>(cSamples) * 4);
    EXPECT_EQ(pEncoder->Encode(pcm.data(), static_cast<DWORD>(pcm.size()), sink), S_OK);
    EXPECT_EQ(pEncoder->Flush(sink, cMaxOverhang), S_OK);
    EXPECT_EQ(pEncoder->Encode(pcm.data(), 4, sink), NS_E_INVALID_REQUEST) << "nothing after the end";
    return ends;
}

TEST(CAudioEncoderTest, PrimingLiesBeforeZero) {
    EXPECT_EQ(EncodeSamples(10 * 2048, 0).firstPts, -2048);
}

struct SEndCase {
    const char* name;
    int64_t cSamples;
    int64_t cMaxOverhang;
    int64_t end;
};
constexpr SEndCase kEndCases[] = {
    {"WholeFrames", 4 * 2048, 0, 4 * 2048},
    {"ShortRestCompleted", 4 * 2048 + 2000, 100, 5 * 2048},
    {"LongOverhangLeftOut", 4 * 2048 + 100, 1024, 4 * 2048},
    {"EverythingCovered", 4 * 2048 + 1, 2048, 5 * 2048},
};
class AudioEndTest : public ::testing::TestWithParam<SEndCase> {};

TEST_P(AudioEndTest, EndsWhereTheCallerAllows) {
    const SEndCase& c = GetParam();
    EXPECT_EQ(EncodeSamples(c.cSamples, c.cMaxOverhang).end, c.end);
}
std::string EndName(const ::testing::TestParamInfo<SEndCase>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(Flush, AudioEndTest, ::testing::ValuesIn(kEndCases), EndName);

TEST(CAudioEncoderTest, WhatWmav2CannotMakeIsRefused) {
    std::unique_ptr<CAudioEncoder> pEncoder;
    EXPECT_EQ(CAudioEncoder::Create(SAudioEncoderSettings{48000, 6, 192000}, &pEncoder), NS_E_INVALID_OUTPUT_FORMAT);
    EXPECT_EQ(CAudioEncoder::Create(SAudioEncoderSettings{96000, 2, 192000}, &pEncoder), NS_E_INVALID_OUTPUT_FORMAT);
    EXPECT_EQ(CAudioEncoder::Create(SAudioEncoderSettings{22050, 1, 16000}, &pEncoder), NS_E_INVALID_OUTPUT_FORMAT);
    ASSERT_EQ(CAudioEncoder::Create(SAudioEncoderSettings{}, &pEncoder), S_OK);
    EXPECT_EQ(pEncoder->SetInput(SAudioInputFormat{44100, 2, 24}), NS_E_INVALID_INPUT_FORMAT);
    EXPECT_EQ(pEncoder->SetInput(SAudioInputFormat{44100, 6, 16}), NS_E_INVALID_INPUT_FORMAT);
    EXPECT_EQ(pEncoder->SetInput(SAudioInputFormat{8000, 1, 8}), S_OK);
    const BYTE odd[3] = {};
    EXPECT_EQ(pEncoder->Encode(odd, 3, nullptr), S_OK) << "one-byte sample frames";
    EXPECT_EQ(pEncoder->SetInput(SAudioInputFormat{44100, 2, 16}), NS_E_INVALID_REQUEST)
        << "not once samples were taken";
}

}  // namespace
