// The profile builder against the fake runtime: codec lists with and
// without a match, every request field, and a failure at every step.
#include "writer/ProfileBuilder.h"

#include <string>

#include <gtest/gtest.h>

#include "plugin/MediaRecords.h"
#include "win/NsError.h"
#include "writer/FakeWm.h"
#include "writer/LogCapture.h"

namespace {

constexpr char16_t kNoProfileMessage[] =
    u"GenerateProfile() error, Plaese Intall Winmedia player 11 or high version!\n";
constexpr DWORD kWmv2 = MakeFourCC('W', 'M', 'V', '2');

SPlugMediaInfo MakeRecord(bool bVideo, bool bAudio) {
    SPlugMediaInfo info;
    InitMediaInfo(info);
    info.dwVideoPresent = bVideo ? 1 : 0;
    info.Video.dwWidth = 320;
    info.Video.dwHeight = 240;
    info.Video.dwBitRate = 500000;
    info.dwAudioPresent = bAudio ? 1 : 0;
    info.Audio.dwBitRate = 128000;
    return info;
}

class ProfileBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorld();
        m_cLiveBefore = LiveFakeObjects();
    }
    void TearDown() override {
        m_pProfile.Reset();
        EXPECT_EQ(LiveFakeObjects(), m_cLiveBefore) << "every runtime object was released";
    }
    // Builds into m_pProfile and snapshots it.
    uint32_t Build(SPlugMediaInfo& info, BYTE byContentType = 0) {
        const uint32_t result = GenerateProfile(byContentType, info, m_pProfile.Put());
        if (m_pProfile) m_snapshot = SnapshotProfile(m_pProfile.Get());
        return result;
    }

    CLogCapture m_log;
    ComPtr<IWMProfile> m_pProfile;
    SProfileSnapshot m_snapshot;
    int m_cLiveBefore = 0;
};

TEST_F(ProfileBuilderTest, AudioOnlyIsStreamOneAtVersion7) {
    SPlugMediaInfo info = MakeRecord(false, true);
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(World().emptyProfileVersions, std::vector<WMT_VERSION>{WMT_VER_7_0});
    EXPECT_EQ(m_snapshot.name, u"Custom Profile");
    ASSERT_EQ(m_snapshot.streams.size(), 1u);
    const SStreamSnapshot& audio = m_snapshot.streams[0];
    EXPECT_EQ(audio.wNumber, 1);
    EXPECT_EQ(audio.name, u"Audio Stream");
    EXPECT_EQ(audio.connection, u"Audio");
    EXPECT_EQ(audio.dwBitrate, 128000u);
    EXPECT_EQ(audio.mediaType.subtype, GuidFromFourCC(WAVE_FORMAT_WMAUDIO2));
    EXPECT_EQ(audio.mediaType.formattype, WMFORMAT_WaveFormatEx);
    EXPECT_TRUE(audio.mediaType.bFixedSizeSamples);
    EXPECT_FALSE(audio.mediaType.bTemporalCompression);
    EXPECT_EQ(audio.mediaType.lSampleSize, 5945u);
    EXPECT_EQ(audio.format.size(), 18u + 10u) << "the format and its extra bytes";
    EXPECT_EQ(audio.format.back(), 0xEE) << "the codec's extra bytes are kept";
    EXPECT_FALSE(World().Called("Manager::GetCodecInfoCount(video)"));
    EXPECT_EQ(m_log.HostLog(), std::vector<std::u16string>{u"_AddAudioStream(dwFormatTag:0x161, "
                                                           u"dwBitrate:128000(bps), dwSampleRate:(48000), "
                                                           u"dwChannels2"});
}

TEST_F(ProfileBuilderTest, VideoOnlyIsStreamTwo) {
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwFrameRateNum = 30000;
    info.Video.dwFrameRateDen = 1001;
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(World().emptyProfileVersions, std::vector<WMT_VERSION>{WMT_VER_8_0});
    ASSERT_EQ(m_snapshot.streams.size(), 1u);
    const SStreamSnapshot& video = m_snapshot.streams[0];
    EXPECT_EQ(video.wNumber, 2);
    EXPECT_EQ(video.name, u"Video Stream");
    EXPECT_EQ(video.connection, u"Video");
    EXPECT_EQ(video.dwBitrate, 500000u);
    const VIDEOINFOHEADER& vih = video.VideoInfo();
    EXPECT_EQ(vih.bmiHeader.biCompression, kWmv2);
    EXPECT_EQ(vih.dwBitRate, 500000u);
    EXPECT_EQ(vih.AvgTimePerFrame, 333667);
    EXPECT_EQ(vih.bmiHeader.biWidth, 320);
    EXPECT_EQ(vih.bmiHeader.biHeight, 240);
    EXPECT_EQ(vih.rcSource.right, 320);
    EXPECT_EQ(vih.rcTarget.bottom, 240);
    EXPECT_EQ(video.quality, 70u);
    EXPECT_EQ(video.keyFrameSpacing, 10'000'000) << "12 frames at 29.97 fps is under a second";
    EXPECT_FALSE(video.vbrEnabled.has_value()) << "constant bit rate";
    EXPECT_FALSE(World().Called("Manager::GetCodecInfoCount(audio)"));
}

TEST_F(ProfileBuilderTest, AudioFirstThenVideo) {
    SPlugMediaInfo info = MakeRecord(true, true);
    ASSERT_EQ(Build(info), 0u);
    ASSERT_EQ(m_snapshot.streams.size(), 2u);
    EXPECT_EQ(m_snapshot.streams[0].wNumber, 1);
    EXPECT_EQ(m_snapshot.streams[0].type, WMMEDIATYPE_Audio);
    EXPECT_EQ(m_snapshot.streams[1].wNumber, 2);
    EXPECT_EQ(m_snapshot.streams[1].type, WMMEDIATYPE_Video);
    EXPECT_EQ(m_snapshot.cExclusions, 0u);
}

struct SQualityCase {
    DWORD dwBitrate;
    DWORD dwQuality;
};

TEST_F(ProfileBuilderTest, QualityFollowsTheBitrate) {
    for (const SQualityCase c : {SQualityCase{199999, 90}, SQualityCase{200000, 70}, SQualityCase{0, 90}}) {
        SCOPED_TRACE(c.dwBitrate);
        SPlugMediaInfo info = MakeRecord(true, false);
        info.Video.dwBitRate = c.dwBitrate;
        ASSERT_EQ(Build(info), 0u);
        EXPECT_EQ(m_snapshot.streams.at(0).quality, c.dwQuality);
    }
}

struct SKeyFrameCase {
    const char* name;
    DWORD dwInterval;
    DWORD dwNum;
    DWORD dwDen;
    LONGLONG llSpacing;
};

class KeyFrameSpacingTest : public ProfileBuilderTest, public ::testing::WithParamInterface<SKeyFrameCase> {};

TEST_P(KeyFrameSpacingTest, SpacingInWholeSeconds) {
    const SKeyFrameCase& c = GetParam();
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwKeyFrameInterval = c.dwInterval;
    info.Video.dwFrameRateNum = c.dwNum;
    info.Video.dwFrameRateDen = c.dwDen;
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(m_snapshot.streams.at(0).keyFrameSpacing, c.llSpacing);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, KeyFrameSpacingTest,
    ::testing::Values(SKeyFrameCase{"Interval12At25", 12, 25, 1, 10'000'000},
                      SKeyFrameCase{"Interval100At2997", 100, 30000, 1001, 30'000'000},
                      SKeyFrameCase{"Interval75At25", 75, 25, 1, 30'000'000},
                      SKeyFrameCase{"Interval10AtHalfFps", 10, 1, 2, 200'000'000},
                      SKeyFrameCase{"Interval1AtTenthFps", 1, 1, 10, 100'000'000}),
    [](const auto& info) { return std::string(info.param.name); });

struct SCodecCase {
    const char* name;
    DWORD dwProfileCode;
    DWORD dwFourCC;
    WMT_VERSION dwVersion;
};

class VideoCodecTest : public ProfileBuilderTest, public ::testing::WithParamInterface<SCodecCase> {};

TEST_P(VideoCodecTest, ProfileCodeChoosesCodecAndVersion) {
    const SCodecCase& c = GetParam();
    World().videoCodecs = {{{MakeFourCC('M', 'P', '4', '3')}, {c.dwFourCC}}};
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwCodecSubType = c.dwProfileCode;
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(World().emptyProfileVersions, std::vector<WMT_VERSION>{c.dwVersion});
    EXPECT_EQ(m_snapshot.streams.at(0).VideoInfo().bmiHeader.biCompression, c.dwFourCC);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, VideoCodecTest,
    ::testing::Values(SCodecCase{"Wmv2", 0, MakeFourCC('W', 'M', 'V', '2'), WMT_VER_8_0},
                      SCodecCase{"Wmv3", 1, MakeFourCC('W', 'M', 'V', '3'), WMT_VER_9_0},
                      SCodecCase{"Wmv1", 2, MakeFourCC('W', 'M', 'V', '1'), WMT_VER_7_0},
                      SCodecCase{"Wvc1", 3, MakeFourCC('W', 'V', 'C', '1'), WMT_VER_9_0},
                      SCodecCase{"UnknownIsWmv2", 7, MakeFourCC('W', 'M', 'V', '2'), WMT_VER_8_0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileBuilderTest, SkipsFormatsThatAreNotVideoInfo) {
    World().videoCodecs = {{{kWmv2, /*bVideoInfo=*/false}, {kWmv2}}};
    SPlugMediaInfo info = MakeRecord(true, false);
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(World().CountCalls("Manager::GetCodecFormat(video)"), 2);
}

TEST_F(ProfileBuilderTest, NoMatchingVideoFormatFailsWithOneMessage) {
    World().videoCodecs = {{{MakeFourCC('W', 'M', 'V', '1')}}};
    SPlugMediaInfo info = MakeRecord(true, true);
    EXPECT_EQ(Build(info), PLUG_E_NO_PROFILE);
    EXPECT_FALSE(m_pProfile);
    EXPECT_EQ(m_log.Messages(), std::vector<std::u16string>{kNoProfileMessage});
}

struct SAudioMissCase {
    const char* name;
    DWORD dwSampleRate;
    DWORD dwChannels;
    DWORD dwBitrate;
    DWORD dwSubType;
};

class AudioNoMatchTest : public ProfileBuilderTest, public ::testing::WithParamInterface<SAudioMissCase> {};

TEST_P(AudioNoMatchTest, FailsWithOneMessage) {
    const SAudioMissCase& c = GetParam();
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwSampleRate = c.dwSampleRate;
    info.Audio.dwChannels = c.dwChannels;
    info.Audio.dwBitRate = c.dwBitrate;
    info.Audio.dwAudioSubType = c.dwSubType;
    EXPECT_EQ(Build(info), PLUG_E_NO_PROFILE);
    EXPECT_EQ(m_log.Messages(), std::vector<std::u16string>{kNoProfileMessage});
}

INSTANTIATE_TEST_SUITE_P(
    Requests, AudioNoMatchTest,
    ::testing::Values(SAudioMissCase{"UnofferedRate", 22050, 2, 22000, 0},
                      SAudioMissCase{"Professional", 48000, 2, 128000, 1},
                      SAudioMissCase{"Voice", 48000, 2, 128000, 3},
                      SAudioMissCase{"UnofferedBitrate", 48000, 2, 160000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileBuilderTest, NoAudioCodecAtAll) {
    World().audioCodecs.clear();
    SPlugMediaInfo info = MakeRecord(false, true);
    EXPECT_EQ(Build(info), PLUG_E_NO_PROFILE);
}

TEST_F(ProfileBuilderTest, MonoAt48000BecomesStereo) {
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwChannels = 1;
    info.Audio.dwBitRate = 100000;
    World().audioCodecs = {{{WmaFormat(48000, 2, 96000, 4459)}}};
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(info.Audio.dwChannels, 2u);
    EXPECT_EQ(info.Audio.dwBitRate, 96000u);
    EXPECT_EQ(info.Audio.dwSampleRate, 48000u) << "not moved to 44100 Hz";
    EXPECT_EQ(m_snapshot.streams.at(0).WaveFormat().nChannels, 2);
}

TEST_F(ProfileBuilderTest, UnlistedRateKeepsTheBitrate) {
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwSampleRate = 24000;
    info.Audio.dwBitRate = 33333;
    World().audioCodecs = {{{WmaFormat(24000, 2, 33333, 1000)}}};
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(info.Audio.dwBitRate, 33333u);
}

TEST_F(ProfileBuilderTest, BitrateMayDifferBy249) {
    // 24000 Hz has no row of its own, so the request keeps its rate.
    for (const DWORD dwRequested : {127751u, 128249u, 127750u, 128250u}) {
        SCOPED_TRACE(dwRequested);
        World().audioCodecs = {{{WmaFormat(24000, 2, 128000, 1000)}}};
        SPlugMediaInfo info = MakeRecord(false, true);
        info.Audio.dwSampleRate = 24000;
        info.Audio.dwBitRate = dwRequested;
        const bool bWithin = dwRequested >= 127751 && dwRequested <= 128249;
        EXPECT_EQ(Build(info), bWithin ? 0u : PLUG_E_NO_PROFILE);
        m_pProfile.Reset();
    }
}

TEST_F(ProfileBuilderTest, LosslessIgnoresTheBitrate) {
    WAVEFORMATEX wfx = WmaFormat(48000, 2, 1000000, 4096);
    wfx.wFormatTag = WAVE_FORMAT_WMAUDIO_LOSSLESS;
    World().audioCodecs = {{{wfx}}};
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwAudioSubType = 2;
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(m_snapshot.streams.at(0).mediaType.subtype, GuidFromFourCC(WAVE_FORMAT_WMAUDIO_LOSSLESS));
}

// Block aligns 3000, 2000, 2000 (the second of them marked by its byte rate).
void OfferThreeBlockAligns() {
    WAVEFORMATEX a = WmaFormat(48000, 2, 128000, 3000);
    WAVEFORMATEX b = WmaFormat(48000, 2, 128000, 2000);
    WAVEFORMATEX c = WmaFormat(48000, 2, 128008, 2000);
    World().audioCodecs = {{{a, b}}, {{c}}};
}

TEST_F(ProfileBuilderTest, WithVideoTheSmallestBlockWinsLastAmongEquals) {
    OfferThreeBlockAligns();
    SPlugMediaInfo info = MakeRecord(true, true);
    ASSERT_EQ(Build(info), 0u);
    const SStreamSnapshot* pAudio = m_snapshot.Find(WMMEDIATYPE_Audio);
    ASSERT_NE(pAudio, nullptr);
    EXPECT_EQ(pAudio->WaveFormat().nBlockAlign, 2000);
    EXPECT_EQ(pAudio->dwBitrate, 128008u) << "the later of two equal formats";
}

TEST_F(ProfileBuilderTest, AloneTheLargestBlockWins) {
    OfferThreeBlockAligns();
    SPlugMediaInfo info = MakeRecord(false, true);
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(m_snapshot.streams.at(0).WaveFormat().nBlockAlign, 3000);
}

TEST_F(ProfileBuilderTest, CodecListingOnlyVbrFormatsIsAskedForThem) {
    World().audioCodecs[0].bVbrOnly = true;
    SPlugMediaInfo info = MakeRecord(false, true);
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(World().CountCalls("Manager::SetCodecEnumerationSetting"), 1);
}

TEST_F(ProfileBuilderTest, AudioFormatWithoutWaveFormatFails) {
    World().audioCodecs[0].bNotWaveFormat = true;
    SPlugMediaInfo info = MakeRecord(false, true);
    EXPECT_EQ(Build(info), PLUG_E_NO_PROFILE);
    EXPECT_EQ(World().CountCalls("Manager::GetCodecFormat(audio)"), 1) << "the first such format ends the search";
}

TEST_F(ProfileBuilderTest, PeakConstrainedVbr) {
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwRateControl = 0;
    info.Video.dwBitRate = 1000000;
    ASSERT_EQ(Build(info), 0u);
    const SStreamSnapshot& video = m_snapshot.streams.at(0);
    EXPECT_EQ(video.vbrEnabled, TRUE);
    EXPECT_EQ(video.peakBitrate, 2000000u) << "twice the rate when the peak is below it";
    EXPECT_EQ(video.peakBufferMs, 5000u);
    EXPECT_EQ(info.Video.dwRateControl, 2u);

    info.Video.dwRateControl = 3;
    info.Video.dwPeakBitRate = 1500000;
    m_pProfile.Reset();
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(m_snapshot.streams.at(0).peakBitrate, 1500000u);
}

TEST_F(ProfileBuilderTest, InterlacedVideoCarriesTheContentType) {
    SPlugMediaInfo info = MakeRecord(true, true);
    ASSERT_EQ(Build(info, WM_CT_INTERLACED | WM_CT_TOP_FIELD_FIRST), 0u);
    const SStreamSnapshot* pVideo = m_snapshot.Find(WMMEDIATYPE_Video);
    ASSERT_NE(pVideo, nullptr);
    ASSERT_EQ(pVideo->extensions.size(), 1u);
    EXPECT_EQ(pVideo->extensions[0].first, WM_SampleExtensionGUID_ContentType);
    EXPECT_EQ(pVideo->extensions[0].second, 1);
    EXPECT_TRUE(m_snapshot.Find(WMMEDIATYPE_Audio)->extensions.empty());
}

TEST_F(ProfileBuilderTest, FailingContentTypeIsOnlyLogged) {
    World().failures["StreamConfig::AddDataUnitExtension"] = {E_FAIL};
    SPlugMediaInfo info = MakeRecord(true, false);
    ASSERT_EQ(Build(info, WM_CT_INTERLACED | WM_CT_BOTTOM_FIELD_FIRST), 0u);
    EXPECT_TRUE(m_log.DebugHas(u"Support Interlace Video Error\n"));
    EXPECT_EQ(World().CountCalls("Profile::ReconfigStream"), 1);
}

TEST_F(ProfileBuilderTest, NoManagerFailsTheNormalWay) {
    World().bNoManager = true;
    SPlugMediaInfo info = MakeRecord(true, true);
    EXPECT_EQ(Build(info), PLUG_E_NO_PROFILE);
    EXPECT_EQ(m_log.Messages(), std::vector<std::u16string>{kNoProfileMessage});
}

TEST_F(ProfileBuilderTest, ManagerWithoutVersionsBuildsAtVersion7) {
    World().bNoManager2 = true;
    SPlugMediaInfo info = MakeRecord(true, false);
    ASSERT_EQ(Build(info), 0u);
    EXPECT_EQ(World().emptyProfileVersions, std::vector<WMT_VERSION>{WMT_VER_7_0});
}

// Every step of the build failing: the request fails the one way, and
// nothing obtained is kept.
class BuildStepFailureTest : public ProfileBuilderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BuildStepFailureTest, FailsWithOneMessageAndNoLeak) {
    World().failures[GetParam()] = {MakeHr(0xC00D0BB8)};
    SPlugMediaInfo info = MakeRecord(true, true);
    EXPECT_EQ(Build(info), PLUG_E_NO_PROFILE);
    EXPECT_TRUE(World().Called(GetParam())) << "the step was reached";
    EXPECT_FALSE(m_pProfile);
    EXPECT_EQ(m_log.Messages(), std::vector<std::u16string>{kNoProfileMessage});
}

std::string StepName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name;
    for (const char* p = info.param; *p; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BuildStepFailureTest,
    ::testing::Values("WMCreateProfileManager", "Manager::CreateEmptyProfile", "Profile::SetName",
                      "Manager::QI(IWMCodecInfo3)", "Manager::GetCodecInfoCount(audio)",
                      "Manager::GetCodecFormatCount(audio)", "Manager::GetCodecFormat(audio)",
                      "StreamConfig::QI(IWMMediaProps)", "StreamConfig::GetMediaType",
                      "Profile::CreateNewStream", "StreamConfig::SetStreamNumber",
                      "StreamConfig::SetStreamName", "StreamConfig::SetConnectionName",
                      "StreamConfig::SetBitrate", "StreamConfig::SetMediaType", "Profile::AddStream",
                      "Manager::QI(IWMCodecInfo)", "Manager::GetCodecInfoCount(video)",
                      "Manager::GetCodecFormatCount(video)", "Manager::GetCodecFormat(video)",
                      "StreamConfig::QI(IWMVideoMediaProps)", "StreamConfig::SetQuality",
                      "StreamConfig::SetMaxKeyFrameSpacing"),
    StepName);

// The variable-bit-rate and interlace steps come after the profile exists:
// their failures leave it as it is.
class LateStepFailureTest : public ProfileBuilderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LateStepFailureTest, ProfileStillBuilt) {
    World().failures[GetParam()] = {E_FAIL};
    SPlugMediaInfo info = MakeRecord(true, true);
    info.Video.dwRateControl = 0;
    EXPECT_EQ(GenerateProfile(WM_CT_INTERLACED | WM_CT_TOP_FIELD_FIRST, info, m_pProfile.Put()), 0u);
    EXPECT_TRUE(World().Called(GetParam()));
    EXPECT_TRUE(m_pProfile);
    EXPECT_TRUE(m_log.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, LateStepFailureTest,
                         ::testing::Values("Profile::GetStreamCount", "Profile::GetStream",
                                           "StreamConfig::QI(IWMPropertyVault)", "StreamConfig::SetProperty",
                                           "Profile::ReconfigStream", "StreamConfig::QI(IWMStreamConfig2)"),
                         StepName);

TEST_F(ProfileBuilderTest, SeveralVideoStreamsShareABitrateExclusion) {
    const CProfileStore store;
    const SAudioStreamReq audio{WAVE_FORMAT_WMAUDIO2, 2, 48000, 16, 128000};
    const SVideoStreamReq high{320, 240, kWmv2, 800000, 70, 1, 25, 1};
    const SVideoStreamReq low{160, 120, kWmv2, 200000, 70, 1, 25, 1};
    SStreamReqList list;
    list.cAudio = 1;
    list.audio[0] = &audio;
    list.cVideo = 2;
    list.video = {&high, &low};
    ASSERT_EQ(CreateProfile(store, m_pProfile.Put(), &list, u"Two rates", u"described"), S_OK);
    m_snapshot = SnapshotProfile(m_pProfile.Get());
    EXPECT_EQ(m_snapshot.name, u"Two rates");
    ASSERT_EQ(m_snapshot.streams.size(), 3u);
    EXPECT_EQ(m_snapshot.streams[1].wNumber, 2);
    EXPECT_EQ(m_snapshot.streams[2].wNumber, 3);
    EXPECT_EQ(m_snapshot.cExclusions, 1u);
    EXPECT_EQ(World().CountCalls("Exclusion::AddStream"), 2);
    EXPECT_TRUE(World().Called("Profile::SetDescription"));
}

TEST_F(ProfileBuilderTest, VideoFollowsEveryAudioStream) {
    const CProfileStore store;
    const SAudioStreamReq stereo{WAVE_FORMAT_WMAUDIO2, 2, 48000, 16, 128000};
    const SAudioStreamReq mono{WAVE_FORMAT_WMAUDIO2, 1, 44100, 16, 48000};
    const SVideoStreamReq video{320, 240, kWmv2, 800000, 70, 1, 25, 1};
    SStreamReqList list;
    list.cAudio = 2;
    list.audio = {&stereo, &mono};
    list.cVideo = 1;
    list.video[0] = &video;
    ASSERT_EQ(CreateProfile(store, m_pProfile.Put(), &list, nullptr, nullptr), S_OK);
    m_snapshot = SnapshotProfile(m_pProfile.Get());
    ASSERT_EQ(m_snapshot.streams.size(), 3u);
    EXPECT_EQ(m_snapshot.streams[2].wNumber, 3);
    EXPECT_FALSE(World().Called("Profile::SetDescription"));
}

TEST_F(ProfileBuilderTest, CreateProfileNeedsAList) {
    const CProfileStore store;
    EXPECT_EQ(CreateProfile(store, m_pProfile.Put(), nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_FALSE(m_pProfile);
}

}  // namespace
