// The stream object's reads on a scripted runtime: when they seek, what they
// make of odd sample times, how pictures and audio reach the caller's
// buffers. The paths the real layer rarely takes are scripted here.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FakeOpenFixture.h"

namespace {

constexpr HRESULT kOutOfRange = MakeHr(0x80000006);
constexpr HRESULT kFrameNotFound = MakeHr(0x80000306);
constexpr QWORD kNoTime = ~QWORD{0};

// 2048 sample frames of 16-bit audio per decoded sample; channel c of frame
// f holds f * 8 + c, so that every byte tells where it came from.
std::vector<FakeSample> PcmSamples(size_t cSamples, WORD nChannels, DWORD nRate) {
    std::vector<FakeSample> samples(cSamples);
    for (size_t s = 0; s < cSamples; ++s) {
        samples[s].cnsTime = s * 2048 * 10000000 / nRate;
        samples[s].data.resize(2048 * nChannels * 2);
        for (size_t f = 0; f < 2048; ++f)
            for (size_t c = 0; c < nChannels; ++c) {
                const auto value = static_cast<uint16_t>((s * 2048 + f) * 8 + c);
                std::memcpy(&samples[s].data[(f * nChannels + c) * 2], &value, 2);
            }
    }
    return samples;
}

uint16_t Channel(const std::vector<BYTE>& buffer, size_t frame, size_t channel, size_t nChannels) {
    uint16_t value = 0;
    std::memcpy(&value, &buffer[(frame * nChannels + channel) * 2], 2);
    return value;
}

class CAsfStreamReadTest : public FakeOpenTest {
protected:
    // Decoded video whose samples hold their own index.
    void UseVideo(size_t cFrames, QWORD cnsFirst = 0) {
        FakeOutput video = DecodedVideo(64, 48, kFrame25, cFrames);
        video.samples = EvenSamples(cFrames, kFrame25, cnsFirst);
        for (size_t i = 0; i < cFrames; ++i) video.samples[i].data = {static_cast<BYTE>(i), 0x5A};
        Fake().file.outputs.push_back(video);
        Fake().file.duration = cnsFirst + cFrames * kFrame25;
    }
    // Decoded 16-bit audio of 20 samples of 2048 frames.
    void UseAudio(WORD nChannels = 2, DWORD nRate = 44100) {
        FakeOutput audio = DecodedAudio(0x0161, nChannels, nRate);
        audio.samples = PcmSamples(20, nChannels, nRate);
        Fake().file.outputs.push_back(audio);
        if (!Fake().file.duration) Fake().file.duration = (20 * 2048 * QWORD{10000000} + nRate - 1) / nRate;
    }
    HRESULT OpenForReading() {
        const HRESULT hr = Open();
        m_buffer.assign(size_t{m_info.Video.dwWidth} * m_info.Video.dwHeight * 4, 0);
        Fake().calls.ranges.clear();
        return hr;
    }
    void ExpectFrame(DWORD dwIndex) {
        SCOPED_TRACE(dwIndex);
        m_frame = SPlugFrameInfo{};
        ASSERT_EQ(m_pStream->ReadFrame(dwIndex, m_buffer.data(), &m_frame), S_OK);
        EXPECT_EQ(m_frame.nDataLength, 2);
        EXPECT_EQ(m_buffer[0], static_cast<BYTE>(dwIndex));
        EXPECT_EQ(m_frame.qwFrameNumber, dwIndex);
        EXPECT_EQ(m_frame.dwFrameType, 5u);
    }

    std::vector<BYTE> m_buffer;
    SPlugFrameInfo m_frame{};
};

TEST_F(CAsfStreamReadTest, IndexAtTheCountIsRefusedWithItsLine) {
    UseVideo(250);
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_info.dwVideoFrameCount, 250u);
    EXPECT_EQ(m_pStream->ReadFrame(250, m_buffer.data(), &m_frame), kOutOfRange);
    EXPECT_EQ(m_pStream->ReadFrameBySeek(250, m_buffer.data(), &m_frame), kOutOfRange);
    const std::u16string line = u"CAsfStream:: Index: 250 TotalFrame: 250(dwQZRVELMORA_OverMaxValue)\n";
    EXPECT_EQ(std::count(m_log.Debug().begin(), m_log.Debug().end(), line), 2);
    EXPECT_TRUE(Fake().calls.ranges.empty());
}

TEST_F(CAsfStreamReadTest, ReadFrameSeeksOnlyForFramesBehindIt) {
    UseVideo(50);
    ASSERT_EQ(OpenForReading(), S_OK);
    for (DWORD i : {10u, 11u, 12u}) ASSERT_NO_FATAL_FAILURE(ExpectFrame(i));
    EXPECT_EQ(Fake().calls.ranges, std::vector<QWORD>{10 * kFrame25});
    ASSERT_NO_FATAL_FAILURE(ExpectFrame(10));
    ASSERT_NO_FATAL_FAILURE(ExpectFrame(10));
    ASSERT_NO_FATAL_FAILURE(ExpectFrame(30));
    EXPECT_EQ(Fake().calls.ranges, (std::vector<QWORD>{10 * kFrame25, 10 * kFrame25}));
    EXPECT_EQ(m_frame.dwContinuation, 1u);
    EXPECT_EQ(m_frame.qwFrameNumber2, 0u);
}

TEST_F(CAsfStreamReadTest, FarFrameTimesNeedMoreThan32Bits) {
    UseVideo(20001);
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_NO_FATAL_FAILURE(ExpectFrame(20000));
    EXPECT_EQ(Fake().calls.ranges, std::vector<QWORD>{8000000000});
    EXPECT_EQ(m_frame.dwContinuation, 2u);
}

TEST_F(CAsfStreamReadTest, FrameBeforeTheFirstSampleIsNotInTheFile) {
    UseVideo(50, /*cnsFirst=*/10000000);
    ASSERT_EQ(OpenForReading(), S_OK);
    EXPECT_EQ(m_pStream->ReadFrame(5, m_buffer.data(), &m_frame), kFrameNotFound);
    ASSERT_EQ(m_pStream->ReadFrame(25, m_buffer.data(), &m_frame), S_OK);
    EXPECT_EQ(m_buffer[0], 0) << "the file's first sample";
    EXPECT_EQ(m_frame.qwFrameNumber, 25u);
}

TEST_F(CAsfStreamReadTest, LastFrameEndsTheStream) {
    UseVideo(50);
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_pStream->ReadFrameBySeek(49, m_buffer.data(), &m_frame), S_OK);
    EXPECT_EQ(m_frame.dwContinuation, 2u);
    EXPECT_EQ(m_frame.qwFrameNumber, 49u);
    EXPECT_EQ(m_frame.qwPts, 49 * kFrame25 * 9 / 1000);
    // Nothing is held after the last frame: reading it by index seeks again.
    ASSERT_NO_FATAL_FAILURE(ExpectFrame(49));
    EXPECT_EQ(m_frame.dwContinuation, 2u);
    EXPECT_EQ(Fake().calls.ranges.size(), 2u);
    EXPECT_EQ(m_pStream->ReadNextFrame(m_buffer.data(), &m_frame), S_OK) << "the frame held";
    EXPECT_EQ(m_pStream->ReadNextFrame(m_buffer.data(), &m_frame), kOutOfRange);
}

struct JumpCase { const char* name; QWORD cnsFourth; bool bLosesTime; };
constexpr JumpCase kJumpCases[] = {
    {"BackInTime", kFrame25, true},
    {"MoreThanTenSecondsAhead", 3 * kFrame25 + 100000001, true},
    {"TenSecondsAhead", 3 * kFrame25 + 100000000, false},
};
class TimeJumpTest : public CAsfStreamReadTest, public ::testing::WithParamInterface<JumpCase> {};

TEST_P(TimeJumpTest, SequentialReadsDropTimesThatJump) {
    UseVideo(8);
    Fake().file.outputs[0].samples[4].cnsTime = GetParam().cnsFourth;
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_pStream->ReadFrameBySeek(2, m_buffer.data(), &m_frame), S_OK);
    ASSERT_EQ(m_pStream->ReadNextFrame(m_buffer.data(), &m_frame), S_OK);
    EXPECT_EQ(m_frame.qwFrameNumber, 3u);
    EXPECT_EQ(m_frame.qwPts, 3 * kFrame25 * 9 / 1000);
    ASSERT_EQ(m_pStream->ReadNextFrame(m_buffer.data(), &m_frame), S_OK);
    EXPECT_EQ(m_buffer[0], 4) << "the file's fifth frame all the same";
    if (!GetParam().bLosesTime) {
        EXPECT_EQ(m_frame.qwFrameNumber, 253u);
        EXPECT_EQ(m_frame.qwPts, GetParam().cnsFourth * 9 / 1000);
        return;
    }
    // Once lost, every later time is lost too: each one is judged against
    // the lost one.
    for (BYTE b = 4; b < 7; ++b) {
        SCOPED_TRACE(b);
        if (b > 4) {
            ASSERT_EQ(m_pStream->ReadNextFrame(m_buffer.data(), &m_frame), S_OK);
        }
        EXPECT_EQ(m_buffer[0], b);
        EXPECT_EQ(m_frame.qwFrameNumber, 0xFFFFFFFFu);
        EXPECT_EQ(m_frame.qwFrameNumber2, 0xFFFFFFFFu);
        EXPECT_EQ(m_frame.qwPts, kNoTime);
        EXPECT_EQ(m_frame.qwDts, kNoTime);
    }
}

INSTANTIATE_TEST_SUITE_P(Times, TimeJumpTest, ::testing::ValuesIn(kJumpCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CAsfStreamReadTest, DecodedRgb24PicturesBecomeBottomUp32Bit) {
    FakeOutput video = DecodedVideo(4, 2, kFrame25, 10);
    video.formats = {PictureType(MEDIASUBTYPE_NV12)};
    for (auto& sample : video.samples) {
        sample.data.resize(24);
        for (size_t i = 0; i < 24; ++i) sample.data[i] = static_cast<BYTE>(i + 1);
    }
    Fake().file.outputs = {video};
    Fake().file.duration = 10 * kFrame25;
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_info.Video.dwColorFormat, 1u);
    ASSERT_EQ(m_pStream->ReadFrameBySeek(3, m_buffer.data(), &m_frame), S_OK);
    ASSERT_EQ(m_frame.nDataLength, 32);
    const std::vector<BYTE> expected{13, 14, 15, 0xFF, 16, 17, 18, 0xFF, 19, 20, 21, 0xFF, 22, 23, 24, 0xFF,
                                     1,  2,  3,  0xFF, 4,  5,  6,  0xFF, 7,  8,  9,  0xFF, 10, 11, 12, 0xFF};
    EXPECT_EQ(m_buffer, expected);
    ASSERT_EQ(m_pStream->ReadFrame(3, m_buffer.data(), &m_frame), S_OK);
    EXPECT_EQ(m_frame.nDataLength, 24) << "read by index as stored";
}

TEST_F(CAsfStreamReadTest, ProbeWithoutBufferDeliversNothing) {
    UseVideo(20);
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_pStream->ReadFrameBySeek(7, nullptr, &m_frame), S_OK);
    EXPECT_EQ(m_frame.nDataLength, 2);
    EXPECT_EQ(m_frame.qwFrameNumber, 7u);
    BYTE* pBuffer = nullptr;
    ASSERT_EQ(m_pStream->GetNextFrame(&pBuffer, &m_frame), S_OK);
    ASSERT_NE(pBuffer, nullptr);
    EXPECT_EQ(pBuffer[0], 8) << "the sequence goes on after the probe";
}

TEST_F(CAsfStreamReadTest, AudioLeftOverFromASampleServesTheNextRead) {
    UseAudio();
    ASSERT_EQ(OpenForReading(), S_OK);
    std::vector<BYTE> block(1000 * 4);
    DWORD cb = 0;
    ASSERT_EQ(m_pStream->ReadAudio(0, 1000, block.data(), &cb), 1000u);
    EXPECT_EQ(cb, 4000u);
    EXPECT_EQ(Channel(block, 999, 1, 2), 999 * 8 + 1);
    ASSERT_EQ(m_pStream->ReadAudio(1000, 1000, block.data(), &cb), 1000u);
    EXPECT_EQ(Channel(block, 0, 0, 2), 1000 * 8);
    EXPECT_EQ(Channel(block, 999, 0, 2), 1999 * 8);
    EXPECT_EQ(Fake().calls.ranges, std::vector<QWORD>{0}) << "only the first read seeks";
    // Across the sample boundary and on.
    ASSERT_EQ(m_pStream->ReadAudio(2000, 1000, block.data(), &cb), 1000u);
    EXPECT_EQ(Channel(block, 999, 0, 2), static_cast<uint16_t>(2999 * 8));
}

TEST_F(CAsfStreamReadTest, AudioNearTheEndDeliversWhatIsLeft) {
    UseAudio();
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_info.dwAudioSampleCount, 40960u);
    std::vector<BYTE> block(1000 * 4, 0xAB);
    DWORD cb = 0;
    ASSERT_EQ(m_pStream->ReadAudio(40860, 1000, block.data(), &cb), 100u);
    EXPECT_EQ(cb, 400u);
    // The scripted runtime has no sample at that time: silence stands in.
    EXPECT_EQ(std::count(block.begin(), block.begin() + 400, 0), 400);
    EXPECT_EQ(block[400], 0xAB) << "nothing written past the delivered frames";
    cb = 7;
    EXPECT_EQ(m_pStream->ReadAudio(40960, 1000, block.data(), &cb), 0u);
    EXPECT_EQ(cb, 7u);
}

TEST_F(CAsfStreamReadTest, SixChannelsArriveInHostOrder) {
    UseAudio(6, 48000);
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_info.Audio.dwChannels, 6u);
    ASSERT_EQ(m_info.Audio.dwBlockAlign, 12u);
    std::vector<BYTE> block(3000 * 12);
    DWORD cb = 0;
    // Across a sample boundary, then from what the second sample left over.
    ASSERT_EQ(m_pStream->ReadAudio(0, 3000, block.data(), &cb), 3000u);
    ASSERT_EQ(m_pStream->ReadAudio(3000, 500, block.data() + 3000 * 12 - 500 * 12, &cb), 500u);
    const size_t order[6] = {0, 1, 2, 4, 5, 3};
    for (size_t f : {size_t{0}, size_t{2047}, size_t{2048}, size_t{2499}, size_t{2500}, size_t{2999}}) {
        const size_t source = f < 2500 ? f : f + 500;
        for (size_t c = 0; c < 6; ++c)
            EXPECT_EQ(Channel(block, f, c, 6), static_cast<uint16_t>(source * 8 + order[c])) << f << "/" << c;
    }
}

TEST_F(CAsfStreamReadTest, FailedAudioSeekGivesSilenceWithoutBytes) {
    UseAudio();
    ASSERT_EQ(OpenForReading(), S_OK);
    Fake().file.cnsSeekLimit = 0;
    std::vector<BYTE> block(100 * 4, 0xAB);
    DWORD cb = 777;
    ASSERT_EQ(m_pStream->ReadAudio(5000, 100, block.data(), &cb), 100u);
    EXPECT_EQ(cb, 777u);
    EXPECT_EQ(std::count(block.begin(), block.end(), 0), 400);
}

TEST_F(CAsfStreamReadTest, UnseekableFileReadsAudioExactlyFromTheStart) {
    UseVideo(50);
    UseAudio();
    Fake().file.cnsSeekLimit = 0;
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_pStream->IsSeekable(), 0u);
    std::vector<BYTE> block(1000 * 4);
    DWORD cb = 0;
    ASSERT_EQ(m_pStream->ReadAudio(3000, 1000, block.data(), &cb), 1000u);
    EXPECT_EQ(Channel(block, 0, 0, 2), 3000 * 8);
    EXPECT_EQ(Channel(block, 999, 1, 2), 3999 * 8 + 1);
    ASSERT_EQ(m_pStream->ReadAudio(100, 10, block.data(), &cb), 10u);
    EXPECT_EQ(Channel(block, 0, 0, 2), 100 * 8);
    EXPECT_EQ(Fake().calls.ranges, (std::vector<QWORD>{0, 0}));
}

// A raw AAC frame, which the host's analyser takes as 1024 samples per
// frame at the rate the stored format gives.
const std::vector<BYTE> kRawAacFrame{0x21, 0x10, 0x05, 0x00};
// At 32 kHz a frame lasts exactly 320000 units.
constexpr QWORD kAacFrame = 320000;

class AacReadTest : public CAsfStreamReadTest {
protected:
    void UseAac(const std::vector<std::vector<BYTE>>& frames) {
        FakeOutput aac = DecodedAudio();
        aac.outputType = WaveType(MEDIATYPE_Stream, 0x00FF, 2, 32000, 16);
        aac.streamType = aac.outputType;
        aac.formats.clear();
        aac.samples.resize(frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            aac.samples[i].cnsTime = i * kAacFrame;
            aac.samples[i].data = frames[i];
        }
        Fake().file.outputs = {aac};
        Fake().file.duration = frames.size() * kAacFrame;
    }
};

struct AdtsCase { const char* name; std::vector<BYTE> frame; size_t cbDropped; };
class AdtsTest : public AacReadTest, public ::testing::WithParamInterface<AdtsCase> {};

TEST_P(AdtsTest, HeaderIsDroppedFromTheFrame) {
    const std::vector<BYTE>& frame = GetParam().frame;
    UseAac({kRawAacFrame, frame, kRawAacFrame});
    ASSERT_EQ(OpenForReading(), S_OK);
    ASSERT_EQ(m_info.Audio.dwAudioType, 7u);
    ASSERT_EQ(m_info.Audio.dwSampleRate, 32000u);
    BYTE* pBuffer = nullptr;
    ASSERT_EQ(m_pStream->ReadAudioFrame(1, 1, &pBuffer, &m_frame), S_OK);
    EXPECT_EQ(std::vector<BYTE>(pBuffer, pBuffer + m_frame.nDataLength),
              std::vector<BYTE>(frame.begin() + GetParam().cbDropped, frame.end()));
    EXPECT_EQ(m_frame.qwFrameNumber, 1u);
    EXPECT_EQ(m_frame.qwFrameNumber2, 1u);
    EXPECT_EQ(m_frame.dwSampleCount, 1u);
    EXPECT_EQ(m_frame.dwKind, 2u);
    EXPECT_EQ(m_frame.dwFrameType, 1u);
    EXPECT_EQ(m_frame.qwPts, 2880u);
    EXPECT_EQ(m_frame.dwContinuation, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, AdtsTest,
    ::testing::Values(AdtsCase{"WithoutChecksum", {0xFF, 0xF1, 1, 2, 3, 4, 5, 0xC0, 0xDE}, 7},
                      AdtsCase{"WithChecksum", {0xFF, 0xF0, 1, 2, 3, 4, 5, 6, 7, 0xC0, 0xDE}, 9},
                      AdtsCase{"NoSyncWord", {0xFF, 0xE0, 1, 0xC0, 0xDE}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AacReadTest, FrameSharingItsTimeWithThePreviousHasNone) {
    UseAac({kRawAacFrame, {0x01}, {0x02}, {0x03}});
    auto& samples = Fake().file.outputs[0].samples;
    samples[2].cnsTime = samples[1].cnsTime;
    ASSERT_EQ(OpenForReading(), S_OK);
    BYTE* pBuffer = nullptr;
    ASSERT_EQ(m_pStream->ReadAudioFrame(0, 1, &pBuffer, &m_frame), S_OK);
    ASSERT_EQ(m_pStream->ReadNextAudioFrame(1, &pBuffer, &m_frame), S_OK);
    EXPECT_EQ(pBuffer[0], 0x01);
    EXPECT_EQ(m_frame.qwFrameNumber, 1u);
    ASSERT_EQ(m_pStream->ReadNextAudioFrame(1, &pBuffer, &m_frame), S_OK);
    EXPECT_EQ(pBuffer[0], 0x02);
    EXPECT_EQ(m_frame.qwFrameNumber, 0xFFFFFFFFu);
    EXPECT_EQ(m_frame.qwPts, kNoTime);
    ASSERT_EQ(m_pStream->ReadNextAudioFrame(1, &pBuffer, &m_frame), S_OK);
    EXPECT_EQ(m_frame.qwFrameNumber, 3u);
    EXPECT_EQ(m_frame.dwContinuation, 2u);
    EXPECT_EQ(m_pStream->ReadNextAudioFrame(1, &pBuffer, &m_frame), kOutOfRange);
}

TEST_F(CAsfStreamReadTest, ReadsOfAStreamThatFailedToOpenGiveStatuses) {
    Fake().bComReady = false;
    EXPECT_NE(Open(), S_OK);
    BYTE* pBuffer = nullptr;
    BYTE block[16];
    DWORD cb = 0;
    EXPECT_EQ(m_pStream->ReadFrame(0, block, &m_frame), kOutOfRange);
    EXPECT_EQ(m_pStream->GetFrameBySeek(0, &pBuffer, &m_frame), kOutOfRange);
    EXPECT_EQ(m_pStream->ReadNextFrame(block, &m_frame), kOutOfRange);
    EXPECT_EQ(m_pStream->ReadAudio(0, 4, block, &cb), 0u);
    EXPECT_EQ(m_pStream->ReadAudioFrame(0, 1, &pBuffer, &m_frame), kOutOfRange);
    EXPECT_EQ(m_pStream->ReadNextAudioFrame(1, &pBuffer, &m_frame), kOutOfRange);
}

}  // namespace
