// Choosing and describing the streams of a file, on the fake runtime.
#include <algorithm>

#include "FakeOpenFixture.h"

namespace {

using CAsfStreamMediaPropsTest = FakeOpenTest;

TEST_F(CAsfStreamMediaPropsTest, KeepsTheFirstOutputOfEachKind) {
    FakeOutput video2 = DecodedVideo();
    video2.wStream = 3;
    FakeOutput audio2 = DecodedAudio();
    audio2.wStream = 4;
    Fake().file.outputs = {DecodedVideo(), DecodedAudio(), video2, audio2};
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    const std::map<WORD, WMT_STREAM_SELECTION> expected{{1, WMT_ON}, {2, WMT_ON}, {3, WMT_OFF}, {4, WMT_OFF}};
    EXPECT_EQ(Fake().calls.selection, expected);
    EXPECT_EQ(Fake().calls.settings,
              (std::vector<std::u16string>{u"AllowInterlacedOutput", u"EnableDiscreteOutput", u"SpeakerConfig"}));
}

TEST_F(CAsfStreamMediaPropsTest, StreamUnknownToTheProfileIsNotTaken) {
    FakeOutput video2 = DecodedVideo(640, 480);
    video2.wStream = 3;
    Fake().file.outputs = {DecodedVideo(), video2};
    Fake().file.outputs[0].bInProfile = false;
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(Fake().calls.selection.at(kVideoStream), WMT_OFF);
    EXPECT_EQ(Fake().calls.selection.at(3), WMT_ON) << "the next video output takes its place";
    EXPECT_EQ(m_info.Video.dwWidth, 640u);
}

struct DurationCase {
    const char* name;
    LONGLONG cnsFrame;
    uint32_t dwNum;
    uint32_t dwDen;
};
constexpr DurationCase kDurationCases[] = {
    {"Ntsc", 333667, 30000, 1001},
    {"Pal", 400000, 25000, 1000},
    {"Twenty", 500000, 20000, 1000},
};

class CAsfStreamStatedDurationTest : public FakeOpenTest, public ::testing::WithParamInterface<DurationCase> {};

TEST_P(CAsfStreamStatedDurationTest, StatedFrameDurationGivesRateAndCount) {
    const DurationCase& c = GetParam();
    Fake().file.outputs = {DecodedVideo(320, 240, c.cnsFrame, 40, static_cast<QWORD>(c.cnsFrame))};
    Fake().file.duration = 40 * c.cnsFrame + c.cnsFrame / 2;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Video.dwFrameRateNum, c.dwNum);
    EXPECT_EQ(m_info.Video.dwFrameRateDen, c.dwDen);
    EXPECT_EQ(m_info.dwVideoFrameCount, 40u);
    EXPECT_TRUE(m_log.HostTexts(INFOTYPE_DIAGNOSTIC).empty()) << "nothing to measure";
}

INSTANTIATE_TEST_SUITE_P(Rates, CAsfStreamStatedDurationTest, ::testing::ValuesIn(kDurationCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CAsfStreamMediaPropsTest, DisplayAspectComesFromThePixelAspect) {
    Fake().file.outputs = {DecodedVideo(720, 576)};
    Fake().file.duration = 50 * kFrame25;
    Fake().file.aspectX = 16;
    Fake().file.aspectY = 15;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Video.dwAspectX, 4u);
    EXPECT_EQ(m_info.Video.dwAspectY, 3u);
    EXPECT_TRUE(m_log.Debug().empty());
}

TEST_F(CAsfStreamMediaPropsTest, MissingPixelAspectMeansSquarePixels) {
    Fake().file.outputs = {DecodedVideo(720, 576)};
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Video.dwAspectX, 5u);
    EXPECT_EQ(m_info.Video.dwAspectY, 4u);
    EXPECT_EQ(m_log.Debug(), (std::vector<std::u16string>{u"Windows media: No AspectRatioX Attribute\n",
                                                          u"Windows media: No AspectRatioY Attribute\n"}));
}

TEST_F(CAsfStreamMediaPropsTest, FirstPackedFormatIsInstalled) {
    Fake().file.outputs = {DecodedVideo()};
    Fake().file.outputs[0].formats = {PictureType(MEDIASUBTYPE_NV12), PictureType(MEDIASUBTYPE_UYVY),
                                      PictureType(MEDIASUBTYPE_YUY2)};
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Video.dwColorFormat, 14u);
    EXPECT_EQ(Fake().calls.installedFormat.at(0), 1u);
}

TEST_F(CAsfStreamMediaPropsTest, WithoutPackedFormatTheDefaultStays) {
    Fake().file.outputs = {DecodedVideo()};
    Fake().file.outputs[0].formats = {PictureType(MEDIASUBTYPE_NV12), PictureType(MEDIASUBTYPE_RGB24)};
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Video.dwColorFormat, 1u);
    EXPECT_TRUE(Fake().calls.installedFormat.empty());
}

TEST_F(CAsfStreamMediaPropsTest, MatchingAudioFormatIsChosen) {
    Fake().file.outputs = {DecodedAudio()};
    Fake().file.outputs[0].formats = {WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, 1, 44100, 16, 2),
                                      WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, 2, 44100, 16, 4)};
    Fake().file.duration = 20000000;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.dwAudioPresent, 1u);
    EXPECT_EQ(m_info.Audio.dwAudioType, 11u);
    EXPECT_EQ(m_info.Audio.dwAudioSubType, 0u);
    EXPECT_EQ(m_info.Audio.dwBlockAlign, 4u);
    EXPECT_EQ(m_info.Audio.dwBitRate, 44100u * 2 * 8) << "from the stored format's byte rate";
    EXPECT_EQ(m_info.dwAudioSampleCount, 88200u);
    EXPECT_EQ(Fake().calls.installedFormat.at(0), 1u);
    EXPECT_EQ(m_log.HostTexts(INFOTYPE_DIAGNOSTIC),
              (std::vector<std::u16string>{
                  u"WMA--wFormatTag = 0x161\n", u"WMA--0x1, 44100, 1, 16, 88200, 2, 0",
                  u"WMA--0x1, 44100, 2, 16, 176400, 4, 0",
                  u"WMA--Find match audio format--[dwSamplesPerSec:44100,dwBitsPerSample:16,dwChannels:2, "
                  u"dwBlockAlign:4]"}));
}

TEST_F(CAsfStreamMediaPropsTest, WithoutMatchTheFirstAudioFormatDescribesTheStream) {
    Fake().file.outputs = {DecodedAudio()};
    Fake().file.outputs[0].formats = {PictureType(MEDIASUBTYPE_YUY2),
                                      WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, 1, 22050, 8, 1)};
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.dwAudioPresent, 1u);
    EXPECT_EQ(m_info.Audio.dwSampleRate, 22050u);
    EXPECT_EQ(m_info.Audio.dwBitsPerSample, 8u);
    EXPECT_EQ(m_info.Audio.dwChannels, 1u);
    EXPECT_EQ(m_info.Audio.dwBlockAlign, 1u);
    EXPECT_EQ(Fake().calls.installedFormat.at(0), 1u);
    const auto texts = m_log.HostTexts(INFOTYPE_DIAGNOSTIC);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[2], u"WMA--Can't find any match audio format!!!");
    EXPECT_EQ(texts[3], u"WMA--Use first audio format[dwSamplesPerSec:22050,dwBitsPerSample:8,dwChannels:1, "
                        u"dwBlockAlign:1]");
}

TEST_F(CAsfStreamMediaPropsTest, NoAudioFormatAtAllMeansNoAudio) {
    Fake().file.outputs = {DecodedAudio()};
    Fake().file.outputs[0].formats.clear();
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.dwAudioPresent, 0u);
    EXPECT_EQ(m_log.HostTexts(INFOTYPE_DIAGNOSTIC),
              (std::vector<std::u16string>{u"WMA--wFormatTag = 0x161\n", u"WMA--Can't find any match audio format!!!",
                                           u"WMA--Can't find any match audio format!!!"}));
}

struct TagCase {
    const char* name;
    WORD wTag;
    bool bStreamMajor;
    uint32_t dwAudioType;  // 0: the stream is dropped
    uint32_t dwAudioSubType;
};
constexpr TagCase kTagCases[] = {
    {"Pcm", 0x0001, false, 11, 0},        {"Voice", 0x000A, false, 11, 10},
    {"MpegAudio", 0x0050, false, 11, 0},  {"Mp3", 0x0055, false, 11, 0},
    {"Acelp", 0x0130, false, 11, 4},      {"Wma", 0x0161, false, 11, 0},
    {"WmaPro", 0x0162, false, 11, 1},     {"WmaLossless", 0x0163, false, 11, 2},
    {"WmaV1", 0x0160, false, 0, 0},       {"AacDecodedMajor", 0x00FF, false, 0, 0},
    {"AacStreamMajor", 0x00FF, true, 7, 4}, {"ExtensibleStream", 0xFFFE, true, 7, 4},
};

class CAsfStreamAudioTagTest : public FakeOpenTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(CAsfStreamAudioTagTest, FormatTagDecidesTheAudioType) {
    const TagCase& c = GetParam();
    FakeOutput audio = DecodedAudio(c.wTag);
    if (c.bStreamMajor) {
        audio.outputType = WaveType(MEDIATYPE_Stream, c.wTag, 2, 44100, 16);
        audio.streamType = WaveType(MEDIATYPE_Stream, c.wTag, 2, 44100, 16);
    }
    Fake().file.outputs = {DecodedVideo(), audio};
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Audio.dwAudioType, c.dwAudioType);
    if (c.dwAudioType == 0) {
        EXPECT_EQ(m_info.dwAudioPresent, 0u);
        EXPECT_EQ(Fake().calls.selection.at(kAudioStream), WMT_OFF);
        EXPECT_EQ(Fake().calls.compressed.count(kAudioStream), 0u) << "a dropped stream is not prepared";
    } else {
        EXPECT_EQ(m_info.dwAudioPresent, 1u);
        EXPECT_EQ(m_info.Audio.dwAudioSubType, c.dwAudioSubType);
        EXPECT_EQ(Fake().calls.selection.at(kAudioStream), WMT_ON);
    }
}

INSTANTIATE_TEST_SUITE_P(Tags, CAsfStreamAudioTagTest, ::testing::ValuesIn(kTagCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CAsfStreamMediaPropsTest, UnstatedSampleSizeAndRateHaveDefaults) {
    Fake().file.outputs = {DecodedAudio(0x0161, 2, /*nRate=*/0, /*wBits=*/0)};
    Fake().file.outputs[0].formats = {WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, 2, 44100, 16, 4)};
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.Audio.dwBitsPerSample, 16u);
    EXPECT_EQ(m_info.Audio.dwSampleRate, 44100u);
    EXPECT_EQ(Fake().calls.installedFormat.at(0), 0u) << "matched against the defaults";
}

TEST_F(CAsfStreamMediaPropsTest, AudioFormatWithoutBlockAlignmentIsNoAudio) {
    Fake().file.outputs = {DecodedVideo(), DecodedAudio()};
    Fake().file.outputs[1].formats = {WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, 2, 44100, 16, 0)};
    Fake().file.duration = 50 * kFrame25;
    ASSERT_EQ(Open(), S_OK);
    EXPECT_EQ(m_info.dwAudioPresent, 0u);
    EXPECT_EQ(m_info.Audio.dwAudioType, 0u);
    EXPECT_EQ(Fake().calls.selection.at(kAudioStream), WMT_OFF);
    EXPECT_EQ(m_info.dwVideoPresent, 1u);
}

}  // namespace
