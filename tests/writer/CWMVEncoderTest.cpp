// The encoder against the fake runtime: start and its failures, sample
// delivery, finishing, status callbacks, two-pass, and writers that block.
#include "writer/CWMVEncoder.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "vrx/VRXHost.h"
#include "win/NsError.h"
#include "win/WideString.h"
#include "writer/CEncoderRegistry.h"
#include "writer/FakeWm.h"
#include "writer/LogCapture.h"
#include "writer/ProfileBuilder.h"

namespace {

using namespace std::chrono_literals;

constexpr WCHAR kDrive = u'Q';
constexpr WCHAR kFileName[] = u"Q:\\clip.wmv";
// The fake writer's inputs follow the profile's streams: audio first.
constexpr DWORD kAudioInput = 0;
constexpr DWORD kVideoInput = 1;
constexpr DWORD kOnlyInput = 0;
constexpr uint32_t kFrameBytes = 64 * 48 * 12 / 8;

SPlugMediaInfo MakeRecord(bool bVideo = true, bool bAudio = true) {
    SPlugMediaInfo info;
    InitMediaInfo(info);
    info.dwVideoPresent = bVideo ? 1 : 0;
    info.Video.dwWidth = 64;
    info.Video.dwHeight = 48;
    info.Video.dwBitRate = 500000;
    info.dwAudioPresent = bAudio ? 1 : 0;
    info.Audio.dwBitRate = 128000;
    return info;
}

std::vector<BYTE> Filled(size_t cb, BYTE value) { return std::vector<BYTE>(cb, value); }

class CWMVEncoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorld();
        VRX_ClearDiskError(kDrive);
        unsetenv("VRX_SETTING_HandleTimeOut");
        unsetenv("VRX_SETTING_CloseErrorWMV");
        m_cLiveBefore = LiveFakeObjects();
        m_cParkedBefore = CEncoderRegistry::Instance().ParkedEncoderCount();
        m_cAbandonedBefore = CEncoderRegistry::Instance().AbandonedWriterCount();
        m_pEncoder.reset(CWMVEncoder::Create(kFileName));
        ASSERT_TRUE(m_pEncoder);
    }
    void TearDown() override {
        World().writeSampleGate.Open();
        World().endWritingGate.Open();
        if (m_pEncoder && !m_bFinished) m_pEncoder->FinishCompress();
        m_pEncoder.reset();
        EXPECT_TRUE(WaitForParkedEncoders()) << "a parked encoder was freed when its thread ended";
        // A writer abandoned after a failure is kept, with what it holds.
        const bool bAbandoned = CEncoderRegistry::Instance().AbandonedWriterCount() != m_cAbandonedBefore;
        EXPECT_EQ(LiveFakeObjects(), m_cLiveBefore + (bAbandoned ? World().cWriterObjects : 0))
            << "every other runtime object was released";
        unsetenv("VRX_SETTING_HandleTimeOut");
        unsetenv("VRX_SETTING_CloseErrorWMV");
        VRX_ClearDiskError(kDrive);
    }

    bool WaitForParkedEncoders() {
        for (int i = 0; i < 1000; ++i) {
            if (CEncoderRegistry::Instance().ParkedEncoderCount() == m_cParkedBefore) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    uint32_t Start(const SPlugMediaInfo& info = MakeRecord()) { return m_pEncoder->InitCompress(info); }
    uint32_t Finish() {
        m_bFinished = true;
        return m_pEncoder->FinishCompress();
    }
    uint32_t PutFrame(BYTE value) {
        const std::vector<BYTE> frame = Filled(kFrameBytes, value);
        return m_pEncoder->PutStreamData(0, 1, frame.data());
    }
    uint32_t PutAudio(uint32_t nFrames, BYTE value, uint32_t cbFrame = 4) {
        const std::vector<BYTE> block = Filled(size_t{nFrames} * cbFrame, value);
        return m_pEncoder->PutStreamData(1, nFrames, block.data());
    }

    CLogCapture m_log;
    CWMVEncoderPtr m_pEncoder;
    bool m_bFinished = false;
    int m_cLiveBefore = 0;
    size_t m_cParkedBefore = 0;
    size_t m_cAbandonedBefore = 0;
};

// The calls of names, in this order, among all the calls made.
bool CalledInOrder(const std::vector<std::string>& names) {
    auto it = World().calls.begin();
    for (const std::string& name : names) {
        it = std::find(it, World().calls.end(), name);
        if (it == World().calls.end()) {
            ADD_FAILURE() << "missing or out of order: " << name;
            return false;
        }
        ++it;
    }
    return true;
}

TEST_F(CWMVEncoderTest, StartsAndFinishesInOrder) {
    ASSERT_EQ(Start(), 0u);
    EXPECT_TRUE(CalledInOrder({"WMCreateProfileManager", "Manager::CreateEmptyProfile", "WMCreateWriter",
                               "Writer::SetProfile", "Writer::GetInputCount", "Writer::GetInputProps",
                               "InputProps::GetType", "Writer::SetOutputFilename",
                               "InputProps::SetMediaType(video)", "Writer::SetInputProps",
                               "Writer::AddAttribute", "Writer::AddAttribute",
                               "InputProps::SetMediaType(audio)", "Writer::SetInputProps", "Sink::Advise",
                               "Writer::BeginWriting"}));
    EXPECT_EQ(World().outputFilename, kFileName);
    EXPECT_EQ(World().cAdvised, 1);
    EXPECT_TRUE(m_log.DebugHas(u"construct winmedia profile OK\n"));
    EXPECT_TRUE(m_log.DebugHas(u"construct winmedia writer OK\n"));

    ASSERT_EQ(Finish(), 0u);
    EXPECT_TRUE(CalledInOrder({"Writer::Flush", "Writer::EndWriting"}));
    const std::vector<std::u16string> expected = {
        u"CWMVEncoder::FinishCompress() begin\n", u"m_pWMWriter->EndWriting() begin\n",
        u"m_pWMWriter->EndWriting() end\n",       u"CWMVEncoder::FinishCompress() end\n",
        u"SAFE_RELEASE( m_pWMWriter ) begin\n",  u"SAFE_RELEASE( m_pWMWriter ) end\n"};
    const std::vector<std::u16string> debug = m_log.Debug();
    EXPECT_EQ(std::vector<std::u16string>(debug.end() - 6, debug.end()), expected);
}

TEST_F(CWMVEncoderTest, EveryCallbackSinkIsAdvised) {
    World().cSinks = 3;
    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(World().cAdvised, 3);
}

struct SPixelCase {
    const char* name;
    DWORD dwColorFormat;
    GUID subtype;
    DWORD dwCompression;
    WORD wBitCount;
};

class VideoInputTest : public CWMVEncoderTest, public ::testing::WithParamInterface<SPixelCase> {};

TEST_P(VideoInputTest, FormatBlockDescribesTheHostsPictures) {
    const SPixelCase& c = GetParam();
    SPlugMediaInfo info = MakeRecord();
    info.Video.dwColorFormat = c.dwColorFormat;
    info.Video.dwFrameRateNum = 30000;
    info.Video.dwFrameRateDen = 1001;
    ASSERT_EQ(Start(info), 0u);
    const WM_MEDIA_TYPE* pType = InputType(kVideoInput);
    ASSERT_NE(pType, nullptr);
    const DWORD cbFrame = 64 * 48 * c.wBitCount / 8;
    EXPECT_EQ(pType->majortype, WMMEDIATYPE_Video);
    EXPECT_EQ(pType->subtype, c.subtype);
    EXPECT_TRUE(pType->bFixedSizeSamples);
    EXPECT_FALSE(pType->bTemporalCompression);
    EXPECT_EQ(pType->lSampleSize, cbFrame);
    EXPECT_EQ(pType->formattype, WMFORMAT_VideoInfo);
    ASSERT_EQ(pType->cbFormat, 132u);
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, pType->pbFormat, sizeof(vih));
    EXPECT_EQ(vih.rcSource.right, 64);
    EXPECT_EQ(vih.rcTarget.bottom, 48);
    EXPECT_EQ(vih.dwBitRate, static_cast<DWORD>(cbFrame * 8 * (30000.0 / 1001)));
    EXPECT_EQ(vih.dwBitErrorRate, 0xFFFFFFFFu);
    EXPECT_EQ(vih.AvgTimePerFrame, 333667);
    EXPECT_EQ(vih.bmiHeader.biSize, 40u);
    EXPECT_EQ(vih.bmiHeader.biPlanes, 1);
    EXPECT_EQ(vih.bmiHeader.biBitCount, c.wBitCount);
    EXPECT_EQ(vih.bmiHeader.biCompression, c.dwCompression);
    EXPECT_EQ(vih.bmiHeader.biSizeImage, cbFrame);
    EXPECT_TRUE(std::all_of(pType->pbFormat + sizeof(vih), pType->pbFormat + 132, [](BYTE b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(
    Colours, VideoInputTest,
    ::testing::Values(SPixelCase{"Rgb32", 1, WMMEDIASUBTYPE_RGB32, 0, 32},
                      SPixelCase{"Yuy2", 13, WMMEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2'), 16},
                      SPixelCase{"Uyvy", 14, WMMEDIASUBTYPE_UYVY, MakeFourCC('U', 'Y', 'V', 'Y'), 16},
                      SPixelCase{"I420", 23, WMMEDIASUBTYPE_I420, MakeFourCC('I', '4', '2', '0'), 12},
                      SPixelCase{"Unknown", 24, GUID_NULL, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CWMVEncoderTest, PixelAspectRatioGoesIntoTheHeader) {
    SPlugMediaInfo info = MakeRecord();
    info.Video.dwWidth = 720;
    info.Video.dwHeight = 576;
    info.Video.dwAspectX = 16;
    info.Video.dwAspectY = 9;
    ASSERT_EQ(Start(info), 0u);
    ASSERT_EQ(World().attributes.size(), 2u);
    uint32_t dwExpectedX = 0;
    uint32_t dwExpectedY = 0;
    DARtoSAR(720, 576, 16, 9, &dwExpectedX, &dwExpectedY);
    const WORD wVideoStream = 2;
    for (size_t i = 0; i < 2; ++i) {
        const SFakeAttribute& a = World().attributes[i];
        EXPECT_EQ(a.wStreamNum, wVideoStream);
        EXPECT_EQ(a.type, WMT_TYPE_DWORD);
        ASSERT_EQ(a.value.size(), 4u);
        uint32_t dwValue = 0;
        std::memcpy(&dwValue, a.value.data(), 4);
        EXPECT_EQ(a.name, i == 0 ? u"AspectRatioX" : u"AspectRatioY");
        EXPECT_EQ(dwValue, i == 0 ? dwExpectedX : dwExpectedY);
    }
    EXPECT_EQ(dwExpectedX * 720 * 9, dwExpectedY * 576 * 16) << "the pixel ratio gives 16:9 back";
}

TEST_F(CWMVEncoderTest, WriterWithoutHeaderInfoStillStarts) {
    World().failures["Writer::QI(IWMHeaderInfo3)"] = {E_NOINTERFACE};
    ASSERT_EQ(Start(), 0u);
    EXPECT_TRUE(World().attributes.empty());
}

TEST_F(CWMVEncoderTest, AudioInputIsPcm) {
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwChannels = 6;
    info.Audio.dwBitRate = 384000;
    World().audioCodecs = {{{WmaFormat(48000, 6, 384000, 8000)}}};
    ASSERT_EQ(Start(info), 0u);
    const WM_MEDIA_TYPE* pType = InputType(kAudioInput);
    ASSERT_NE(pType, nullptr);
    EXPECT_EQ(pType->subtype, WMMEDIASUBTYPE_PCM);
    EXPECT_EQ(pType->formattype, WMFORMAT_WaveFormatEx);
    EXPECT_EQ(pType->lSampleSize, 12u);
    ASSERT_EQ(pType->cbFormat, 18u);
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, pType->pbFormat, sizeof(wfx));
    EXPECT_EQ(wfx.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wfx.nChannels, 6);
    EXPECT_EQ(wfx.nSamplesPerSec, 48000u);
    EXPECT_EQ(wfx.nBlockAlign, 12);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 12u * 48000);
    EXPECT_EQ(wfx.wBitsPerSample, 16);
    EXPECT_EQ(wfx.cbSize, 0);
}

TEST_F(CWMVEncoderTest, DriveMarkedFailedStopsAtOnce) {
    SetDiskError(kDrive);
    EXPECT_EQ(Start(), PLUG_E_DRIVE_OR_TIMEOUT);
    EXPECT_TRUE(World().calls.empty());
    EXPECT_EQ(PutFrame(1), 0u) << "nothing to hand over to";
    EXPECT_EQ(Finish(), 0u);
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::FinishCompress() end\n"));
}

TEST_F(CWMVEncoderTest, UnusableRuntimeIsRefused) {
    World().videoCodecs.clear();
    EXPECT_EQ(Start(), PLUG_E_WINMEDIA_UNUSABLE);
    EXPECT_TRUE(m_log.DebugHas(u"Need Initialize COM for winmedia SDK\n"));
    EXPECT_FALSE(World().Called("WMCreateWriter"));
    EXPECT_EQ(PutFrame(1), 0u);
}

TEST_F(CWMVEncoderTest, ProfileFailureLeavesTheWriterFailed) {
    World().videoCodecs = {{{MakeFourCC('W', 'M', 'V', '1')}}};
    EXPECT_EQ(Start(), PLUG_E_NO_PROFILE);
    EXPECT_TRUE(m_log.DebugHas(u"construct winmedia profile err \n"));
    EXPECT_EQ(m_log.Messages().size(), 1u);
    EXPECT_EQ(PutFrame(1), PLUG_E_WRITE_FAILED);
    EXPECT_EQ(Finish(), 0u);
}

struct SStartFailure {
    const char* name;
    const char* step;
    uint32_t result;
    const char16_t* log;
};

class StartFailureTest : public CWMVEncoderTest, public ::testing::WithParamInterface<SStartFailure> {};

TEST_P(StartFailureTest, ReturnsItsResultAndLeaksNothing) {
    const SStartFailure& c = GetParam();
    const std::string step = c.step;
    if (step == "extra input") {
        World().extraInputType = WMMEDIATYPE_Script;
    } else {
        World().failures[step] = {E_ACCESSDENIED};
    }
    EXPECT_EQ(Start(), c.result);
    if (c.log) {
        EXPECT_TRUE(m_log.DebugHas(c.log)) << vrx::Utf16ToUtf8(c.log);
    }
    EXPECT_FALSE(World().Called("Writer::BeginWriting"));
    EXPECT_EQ(Finish(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StartFailureTest,
    ::testing::Values(
        SStartFailure{"CreateWriter", "WMCreateWriter", PLUG_E_CREATE_WRITER,
                      u"Failed to Create WMWriter (hr=0x80070005)\n"},
        SStartFailure{"SetProfile", "Writer::SetProfile", PLUG_E_SET_PROFILE,
                      u"Failed to SetProfile (hr=0x80070005)\n"},
        SStartFailure{"InputCount", "Writer::GetInputCount", 0x80070005, u"construct winmedia writer err \n"},
        SStartFailure{"InputProps", "Writer::GetInputProps", 0x80070005, nullptr},
        SStartFailure{"InputType", "InputProps::GetType", 0x80070005, nullptr},
        SStartFailure{"OtherInput", "extra input", 0x80004005, nullptr},
        SStartFailure{"OutputFile", "Writer::SetOutputFilename", PLUG_E_NO_PROFILE,
                      u"CWMVEncoder: Open Q:\\clip.wmv error!"},
        SStartFailure{"AudioType", "InputProps::SetMediaType(audio)", 0x80070005, nullptr},
        SStartFailure{"AudioInput", "Writer::SetInputProps", 0x80070005, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CWMVEncoderTest, VideoInputFailuresDoNotStopTheStart) {
    World().failures["InputProps::SetMediaType(video)"] = {E_FAIL};
    SPlugMediaInfo info = MakeRecord(true, false);
    EXPECT_EQ(Start(info), 0u);
    EXPECT_TRUE(World().Called("Writer::BeginWriting"));
}

TEST_F(CWMVEncoderTest, FailedBeginWritingStillStopsTheWorker) {
    World().failures["Writer::BeginWriting"] = {NS_E_FILE_OPEN_FAILED};
    EXPECT_EQ(Start(), static_cast<uint32_t>(NS_E_FILE_OPEN_FAILED));
    EXPECT_EQ(PutFrame(1), PLUG_E_WRITE_FAILED);
    EXPECT_EQ(Finish(), 0u);
    EXPECT_FALSE(World().Called("Writer::AllocateSample"));
}

TEST_F(CWMVEncoderTest, FramesAreWrittenOneLateOnTheFrameGrid) {
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    ASSERT_EQ(PutFrame(10), 0u);
    EXPECT_TRUE(World().Samples(kOnlyInput).empty()) << "the first frame is held back";
    for (BYTE value = 11; value < 15; ++value) ASSERT_EQ(PutFrame(value), 0u);
    ASSERT_EQ(World().Samples(kOnlyInput).size(), 4u);
    ASSERT_EQ(Finish(), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kOnlyInput);
    ASSERT_EQ(samples.size(), 5u);
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(samples[i].cnsTime, 400000u * i);
        EXPECT_EQ(samples[i].dwFlags, 0u);
        EXPECT_EQ(samples[i].data, Filled(kFrameBytes, static_cast<BYTE>(10 + i)));
        EXPECT_EQ(samples[i].HasProperty(WM_SampleExtensionGUID_OutputCleanPoint), i == 4);
        EXPECT_FALSE(samples[i].HasProperty(WM_SampleExtensionGUID_ContentType));
    }
}

TEST_F(CWMVEncoderTest, VideoRequestTakesOneFrameWhateverItsCount) {
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    const std::vector<BYTE> frames = Filled(5 * kFrameBytes, 7);
    ASSERT_EQ(m_pEncoder->PutStreamData(0, 5, frames.data()), 0u);
    ASSERT_EQ(Finish(), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kOnlyInput);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].data.size(), kFrameBytes);
}

TEST_F(CWMVEncoderTest, AudioTimesAreWholeMilliseconds) {
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwSampleRate = 44100;
    ASSERT_EQ(Start(info), 0u);
    for (BYTE value = 1; value <= 3; ++value) ASSERT_EQ(PutAudio(1152, value), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kAudioInput);
    ASSERT_EQ(samples.size(), 3u);
    const QWORD expected[] = {0, 260000, 520000};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[i].cnsTime, expected[i]);
        EXPECT_EQ(samples[i].data, Filled(1152 * 4, static_cast<BYTE>(i + 1)));
    }
}

TEST_F(CWMVEncoderTest, SixChannelsAreReordered) {
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwChannels = 6;
    info.Audio.dwBitRate = 384000;
    World().audioCodecs = {{{WmaFormat(48000, 6, 384000, 8000)}}};
    ASSERT_EQ(Start(info), 0u);
    const uint16_t in[2][6] = {{1, 2, 3, 4, 5, 6}, {11, 12, 13, 14, 15, 16}};
    ASSERT_EQ(m_pEncoder->PutStreamData(1, 2, reinterpret_cast<const BYTE*>(in)), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kAudioInput);
    ASSERT_EQ(samples.size(), 1u);
    ASSERT_EQ(samples[0].data.size(), sizeof(in));
    uint16_t out[2][6];
    std::memcpy(out, samples[0].data.data(), sizeof(out));
    const uint16_t expected[2][6] = {{1, 2, 3, 6, 4, 5}, {11, 12, 13, 16, 14, 15}};
    EXPECT_EQ(std::memcmp(out, expected, sizeof(out)), 0);
}

TEST_F(CWMVEncoderTest, MonoAt48000IsDuplicatedIntoStereo) {
    SPlugMediaInfo info = MakeRecord(false, true);
    info.Audio.dwChannels = 1;
    info.Audio.dwBitRate = 100000;
    World().audioCodecs = {{{WmaFormat(48000, 2, 96000, 4459)}}};
    ASSERT_EQ(Start(info), 0u);
    ASSERT_EQ(InputType(kAudioInput)->lSampleSize, 4u) << "a stereo input";
    // Exactly the host's bytes, on the heap, so that reading beyond them is
    // caught by the sanitizer build.
    auto pMono = std::make_unique<uint16_t[]>(3);
    pMono[0] = 100;
    pMono[1] = 200;
    pMono[2] = 300;
    ASSERT_EQ(m_pEncoder->PutStreamData(1, 3, reinterpret_cast<const BYTE*>(pMono.get())), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kAudioInput);
    ASSERT_EQ(samples.size(), 1u);
    ASSERT_EQ(samples[0].data.size(), 12u);
    uint16_t stereo[6];
    std::memcpy(stereo, samples[0].data.data(), sizeof(stereo));
    EXPECT_EQ(std::vector<uint16_t>(stereo, stereo + 6), (std::vector<uint16_t>{100, 100, 200, 200, 300, 300}));
}

TEST_F(CWMVEncoderTest, InterlacedFramesCarryTheirFieldOrder) {
    World().videoCodecs = {{{MakeFourCC('W', 'V', 'C', '1')}}};
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwCodecSubType = 3;
    info.Video.dwFieldOrder = 1;
    ASSERT_EQ(Start(info), 0u);
    ASSERT_EQ(World().inputSettings.size(), 1u);
    EXPECT_EQ(World().inputSettings[0].first, u"InterlacedCoding");
    EXPECT_EQ(World().inputSettings[0].second, TRUE);
    ASSERT_EQ(World().writerProfile.size(), 1u);
    EXPECT_EQ(World().writerProfile[0].extensions.size(), 1u);
    for (BYTE value = 0; value < 3; ++value) ASSERT_EQ(PutFrame(value), 0u);
    ASSERT_EQ(Finish(), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kOnlyInput);
    ASSERT_EQ(samples.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(samples[i].HasProperty(WM_SampleExtensionGUID_ContentType));
        EXPECT_EQ(samples[i].properties[0].second, std::vector<BYTE>{0xA0});
    }
    EXPECT_FALSE(samples[2].HasProperty(WM_SampleExtensionGUID_ContentType));
}

struct SFieldCase {
    const char* name;
    DWORD dwProfileCode;
    DWORD dwFieldOrder;
    bool bInterlaced;
};

class FieldOrderTest : public CWMVEncoderTest, public ::testing::WithParamInterface<SFieldCase> {};

TEST_P(FieldOrderTest, OnlyVc1CodesInterlaced) {
    const SFieldCase& c = GetParam();
    World().videoCodecs = {{{MakeFourCC('W', 'V', 'C', '1')}, {MakeFourCC('W', 'M', 'V', '3')}}};
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwCodecSubType = c.dwProfileCode;
    info.Video.dwFieldOrder = c.dwFieldOrder;
    ASSERT_EQ(Start(info), 0u);
    EXPECT_EQ(World().inputSettings.size(), c.bInterlaced ? 1u : 0u);
    EXPECT_EQ(World().writerProfile.at(0).extensions.size(), c.bInterlaced ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Orders, FieldOrderTest,
                         ::testing::Values(SFieldCase{"Vc1TopFirst", 3, 0, true},
                                           SFieldCase{"Vc1Progressive", 3, 2, false},
                                           SFieldCase{"Wmv3TopFirst", 1, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CWMVEncoderTest, FailedInterlacedSettingIsLogged) {
    World().videoCodecs = {{{MakeFourCC('W', 'V', 'C', '1')}}};
    World().failures["Writer::SetInputSetting"] = {NS_E_UNSUPPORTED_PROPERTY};
    SPlugMediaInfo info = MakeRecord(true, false);
    info.Video.dwCodecSubType = 3;
    info.Video.dwFieldOrder = 0;
    ASSERT_EQ(Start(info), 0u);
    EXPECT_TRUE(m_log.DebugHas(u"pWriterAdvanced2->SetInputSettin(g_wszInterlacedCoding) error\n"));
}

TEST_F(CWMVEncoderTest, FailedVideoWriteFailsTheWriter) {
    World().failures["Writer::WriteSample"] = {NS_E_DISK_WRITE, 1};
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    ASSERT_EQ(PutFrame(1), 0u);
    EXPECT_EQ(PutFrame(2), PLUG_E_WRITE_FAILED) << "the held-back frame failed";
    const int cAllocated = World().CountCalls("Writer::AllocateSample");
    EXPECT_EQ(cAllocated, 2) << "the frame that came with the failure is still taken";
    EXPECT_EQ(PutFrame(3), PLUG_E_WRITE_FAILED);
    EXPECT_EQ(World().CountCalls("Writer::AllocateSample"), cAllocated) << "dropped at once";
    EXPECT_EQ(m_log.HostLog(), std::vector<std::u16string>{u"CWMVEncoder::WriteMediaStreamFrame() error:0xc00d0016"});
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder()--Failed( wmv sdk code:80000108), iEsPid:0\n"));
    const std::vector<std::u16string> debug = m_log.Debug();
    EXPECT_TRUE(std::ranges::any_of(debug, [](const std::u16string& line) {
        return line.starts_with(u"CWMVEncoder--OnStatus;0xc00d0016 ");
    })) << "the runtime's error status reached the encoder";

    // "CloseErrorWMV" 0: the failed writer is abandoned, unfinished.
    const size_t cAbandoned = CEncoderRegistry::Instance().AbandonedWriterCount();
    ASSERT_EQ(Finish(), 0u);
    EXPECT_EQ(CEncoderRegistry::Instance().AbandonedWriterCount(), cAbandoned + 1);
    EXPECT_FALSE(World().Called("Writer::EndWriting"));
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::FinishCompress() end\n"));
    EXPECT_FALSE(m_log.DebugHas(u"m_pWMWriter->EndWriting() begin\n"));
    EXPECT_EQ(LiveFakeObjects(), m_cLiveBefore + World().cWriterObjects) << "the writer is not released";
}

TEST_F(CWMVEncoderTest, CloseErrorSettingFinishesAFailedWriter) {
    setenv("VRX_SETTING_CloseErrorWMV", "1", 1);
    World().failures["Writer::WriteSample"] = {NS_E_DISK_WRITE};
    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(PutAudio(1152, 1), PLUG_E_WRITE_FAILED);
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::WriteMediaStreamSamples() error:0xc00d0016\n"));
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder()--Failed( wmv sdk code:c00d0016), iEsPid:1\n"));
    ASSERT_EQ(Finish(), 0u);
    EXPECT_TRUE(CalledInOrder({"Writer::Flush", "Writer::EndWriting"}));
}

TEST_F(CWMVEncoderTest, LostAllocationIsReportedButNotFatal) {
    World().failures["Writer::AllocateSample"] = {E_OUTOFMEMORY, 1};
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    EXPECT_EQ(PutFrame(1), 0u);
    EXPECT_EQ(m_log.HostLog(), std::vector<std::u16string>{u"AllocateSample() Failed"});
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder()--Failed( wmv sdk code:8007000e), iEsPid:0\n"));
    ASSERT_EQ(Finish(), 0u);
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::FinishCompress() Find FinishWrite FALSE\n"));
    EXPECT_TRUE(World().Samples(kOnlyInput).empty());
}

TEST_F(CWMVEncoderTest, LostAudioAllocation) {
    World().failures["Writer::AllocateSample"] = {E_OUTOFMEMORY, 1};
    ASSERT_EQ(Start(MakeRecord(false, true)), 0u);
    EXPECT_EQ(PutAudio(1152, 1), 0u);
    EXPECT_TRUE(m_log.DebugHas(u"AllocateSample() Failed  \n"));
    EXPECT_EQ(PutAudio(1152, 2), 0u);
    const std::vector<SFakeSample> samples = World().Samples(kAudioInput);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].cnsTime, 240000u) << "the lost block still counts";
}

TEST_F(CWMVEncoderTest, StatusOtherThanErrorIsIgnored) {
    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(m_pEncoder->OnStatus(WMT_OPENED, E_FAIL, WMT_TYPE_DWORD, nullptr, nullptr), S_OK);
    EXPECT_EQ(PutFrame(1), 0u);
    EXPECT_EQ(m_pEncoder->OnStatus(WMT_ERROR, NS_E_DISK_WRITE, WMT_TYPE_DWORD, nullptr, nullptr), S_OK);
    EXPECT_EQ(PutFrame(2), PLUG_E_WRITE_FAILED);
}

TEST_F(CWMVEncoderTest, OffersNoInterfaceAndCountsReferences) {
    void* pv = &pv;
    EXPECT_EQ(m_pEncoder->QueryInterface(IID_IUnknown, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(m_pEncoder->QueryInterface(IID_IWMStatusCallback, &pv), E_NOINTERFACE);
    EXPECT_EQ(m_pEncoder->AddRef(), 1u);
    EXPECT_EQ(m_pEncoder->AddRef(), 2u);
    EXPECT_EQ(m_pEncoder->Release(), 1u);
    EXPECT_EQ(m_pEncoder->Release(), 0u);
}

TEST_F(CWMVEncoderTest, TwoPassPreprocessesVideoAndWritesAudio) {
    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(m_pEncoder->EndPreprocessingPass(), PLUG_E_NOT_SUPPORTED) << "no pass begun";
    EXPECT_EQ(m_pEncoder->IsPreprocessingSupported(), 1u);
    ASSERT_EQ(PutFrame(1), 0u);
    ASSERT_EQ(PutFrame(2), 0u);
    EXPECT_FALSE(World().Called("Writer::PreprocessSample")) << "supported is not begun";

    ASSERT_EQ(m_pEncoder->BeginPreprocessingPass(), 0u);
    for (BYTE value = 3; value < 6; ++value) ASSERT_EQ(PutFrame(value), 0u);
    ASSERT_EQ(PutAudio(1152, 9), 0u);
    ASSERT_EQ(m_pEncoder->EndPreprocessingPass(), 0u);
    for (BYTE value = 6; value < 8; ++value) ASSERT_EQ(PutFrame(value), 0u);
    ASSERT_EQ(Finish(), 0u);

    std::vector<QWORD> written;
    std::vector<QWORD> preprocessed;
    for (const SFakeSample& s : World().Samples(kVideoInput)) {
        (s.bPreprocessed ? preprocessed : written).push_back(s.cnsTime);
    }
    // Frame 2 was held back when the pass began, so it is the pass's first;
    // the frame count goes on through the pass and restarts after it.
    EXPECT_EQ(written, (std::vector<QWORD>{0, 0, 400000}));
    EXPECT_EQ(preprocessed, (std::vector<QWORD>{400000, 800000, 1200000, 1600000}));
    EXPECT_EQ(World().Samples(kAudioInput).size(), 1u);
}

TEST_F(CWMVEncoderTest, NoPreprocessingWithoutVideo) {
    ASSERT_EQ(Start(MakeRecord(false, true)), 0u);
    EXPECT_EQ(m_pEncoder->IsPreprocessingSupported(), 0u);
}

TEST_F(CWMVEncoderTest, NoPreprocessingWithoutPasses) {
    World().dwMaxPasses = 0;
    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(m_pEncoder->IsPreprocessingSupported(), 0u);
    EXPECT_EQ(m_pEncoder->BeginPreprocessingPass(), PLUG_E_NOT_SUPPORTED);
    EXPECT_EQ(m_pEncoder->EndPreprocessingPass(), PLUG_E_NOT_SUPPORTED);
}

TEST_F(CWMVEncoderTest, FailingPassStartEndsTwoPass) {
    World().failures["Writer::BeginPreprocessingPass"] = {E_FAIL};
    ASSERT_EQ(Start(), 0u);
    EXPECT_EQ(m_pEncoder->BeginPreprocessingPass(), static_cast<uint32_t>(E_FAIL));
    ASSERT_EQ(PutFrame(1), 0u);
    ASSERT_EQ(PutFrame(2), 0u);
    EXPECT_FALSE(World().Called("Writer::PreprocessSample"));
    EXPECT_EQ(m_pEncoder->EndPreprocessingPass(), PLUG_E_NOT_SUPPORTED);
}

// Writers that block: the host's thread gets its answer within the time-out,
// the drive is reported failed, and the encoder outlives its threads.
class CWMVEncoderTimeOutTest : public CWMVEncoderTest {
protected:
    void SetUp() override {
        CWMVEncoderTest::SetUp();
        setenv("VRX_SETTING_HandleTimeOut", "1000", 1);
    }
    template <class F>
    static std::chrono::milliseconds Timed(F f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
};

// Generous for a loaded machine; what matters is that the host is not held
// until the writer comes back.
constexpr auto kTimeOutMargin = 4000ms;

TEST_F(CWMVEncoderTimeOutTest, BlockedWriteSampleTimesOut) {
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    ASSERT_EQ(PutFrame(1), 0u);
    World().writeSampleGate.Close();
    uint32_t result = 0;
    const auto elapsed = Timed([&] { result = PutFrame(2); });
    EXPECT_EQ(result, PLUG_E_DRIVE_OR_TIMEOUT);
    EXPECT_GE(elapsed, 990ms);
    EXPECT_LT(elapsed, 1000ms + kTimeOutMargin);
    EXPECT_TRUE(World().writeSampleGate.WaitUntilHeld());
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::PutStreamData()--Time Out!!!(Q:\\clip.wmv)\n"));

    EXPECT_EQ(PutFrame(3), PLUG_E_DRIVE_OR_TIMEOUT) << "refused at once from now on";
    EXPECT_EQ(World().CountCalls("Writer::AllocateSample"), 1);
    EXPECT_EQ(m_pEncoder->IsPreprocessingSupported(), 0u);
    EXPECT_EQ(m_pEncoder->BeginPreprocessingPass(), PLUG_E_DRIVE_OR_TIMEOUT);
    EXPECT_EQ(m_pEncoder->EndPreprocessingPass(), PLUG_E_DRIVE_OR_TIMEOUT);
    EXPECT_FALSE(World().Called("Writer::QI(IWMWriterPreprocess)")) << "the writer is left to its thread";

    const auto finishElapsed = Timed([&] { EXPECT_EQ(Finish(), PLUG_E_DRIVE_OR_TIMEOUT); });
    EXPECT_LT(finishElapsed, 1000ms + kTimeOutMargin);
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::FinishCompress()--WriteThread Time out!!!\n"));
    EXPECT_EQ(GetDiskStatus(kDrive), 0);
    EXPECT_EQ(GetDiskStatus(u'R'), 1) << "only the output drive";

    m_pEncoder.reset();
    EXPECT_EQ(CEncoderRegistry::Instance().ParkedEncoderCount(), m_cParkedBefore + 1)
        << "kept while its thread is blocked";
    World().writeSampleGate.Open();
    // TearDown waits for the thread to end and free the encoder with the
    // writer it still held.
}

TEST_F(CWMVEncoderTimeOutTest, BlockedEndWritingTimesOut) {
    ASSERT_EQ(Start(), 0u);
    ASSERT_EQ(PutFrame(1), 0u);
    ASSERT_EQ(PutAudio(1152, 1), 0u);
    World().endWritingGate.Close();
    const auto elapsed = Timed([&] { EXPECT_EQ(Finish(), PLUG_E_DRIVE_OR_TIMEOUT); });
    EXPECT_GE(elapsed, 990ms);
    EXPECT_LT(elapsed, 1000ms + kTimeOutMargin);
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::FinishCompress()--EndWriting Time out!!!\n"));
    EXPECT_EQ(GetDiskStatus(kDrive), 0);
    m_pEncoder.reset();
    World().endWritingGate.Open();
}

TEST_F(CWMVEncoderTimeOutTest, BlockedLastFrameOfAPassTimesOut) {
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    ASSERT_EQ(m_pEncoder->BeginPreprocessingPass(), 0u);
    ASSERT_EQ(PutFrame(1), 0u);
    World().writeSampleGate.Close();
    EXPECT_EQ(m_pEncoder->EndPreprocessingPass(), PLUG_E_DRIVE_OR_TIMEOUT);
    EXPECT_TRUE(m_log.DebugHas(u"CWMVEncoder::EndPreprocessingPass()--EndWriting Time out!!!\n"));
    EXPECT_EQ(GetDiskStatus(kDrive), 0);
    EXPECT_EQ(PutFrame(2), PLUG_E_DRIVE_OR_TIMEOUT) << "the blocked thread still owns the held-back frame";
    EXPECT_EQ(Finish(), PLUG_E_DRIVE_OR_TIMEOUT) << "the blocked thread has to end first";
    m_pEncoder.reset();
    World().writeSampleGate.Open();
}

class TimeOutSettingTest : public CWMVEncoderTest, public ::testing::WithParamInterface<const char*> {};

// A setting below a second waits 10 s instead: a writer that is slow for a
// moment is waited for.
TEST_P(TimeOutSettingTest, ShortOrDefaultSettingWaitsForASlowWriter) {
    if (*GetParam()) setenv("VRX_SETTING_HandleTimeOut", GetParam(), 1);
    ASSERT_EQ(Start(MakeRecord(true, false)), 0u);
    ASSERT_EQ(PutFrame(1), 0u);
    World().writeSampleGate.Close();
    std::atomic<bool> bReturned{false};
    uint32_t result = 1;
    std::thread host([&] {
        result = PutFrame(2);
        bReturned = true;
    });
    ASSERT_TRUE(World().writeSampleGate.WaitUntilHeld());
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(bReturned) << "still waiting after the 1000 ms a literal setting would give";
    World().writeSampleGate.Open();
    host.join();
    EXPECT_EQ(result, 0u);
}

INSTANTIATE_TEST_SUITE_P(Settings, TimeOutSettingTest, ::testing::Values("999", "0", ""),
                         [](const auto& info) {
                             return std::string(*info.param ? info.param : "Unset");
                         });

}  // namespace
