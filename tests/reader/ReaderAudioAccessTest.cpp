// Audio through the reader's ordinals, as a host reads it: decoded audio in
// any chunks from any sample equals one sequential read, compressed AAC
// frames equal the stored ones, and the interleaved read delivers both
// streams of a file once, in time order.
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderHost.h"
#include "support/Media.h"
#include "support/TempDir.h"

namespace {

constexpr uint32_t kContinues = 1;
constexpr uint32_t kLast = 2;

const std::vector<std::string> kSine = {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2",
                                        "-ac", "2"};
const std::vector<std::string> kMoving = {"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25:duration=2"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class AudioAccessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("audioaccess");
        s_wma = s_dir->Path() / "sine.wma";
        s_both = s_dir->Path() / "both.wmv";
        s_aac = s_dir->Path() / "aac.asf";
        std::string error;
        ASSERT_TRUE(RunFfmpeg(Join(kSine, {"-c:a", "wmav2", "-f", "asf", s_wma.string()}), &error)) << error;
        ASSERT_TRUE(RunFfmpeg(Join(Join(kMoving, kSine), {"-c:v", "wmv2", "-c:a", "wmav2", "-f", "asf",
                                                          s_both.string()}),
                              &error))
            << error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=1000:sample_rate=48000:duration=2", "-ac",
                               "2", "-c:a", "aac", "-f", "asf", s_aac.string()},
                              &error))
            << error;
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        m_api = LoadReaderApi();
        ASSERT_NE(m_api, nullptr);
    }

    std::unique_ptr<ReaderHandle> Open(const std::filesystem::path& file) {
        auto pHandle = std::make_unique<ReaderHandle>(*m_api);
        EXPECT_EQ(pHandle->Open(file), 0u);
        EXPECT_EQ(m_api->GetAudioStreamCount(pHandle->Get()), 1u);
        SPlugStreamDesc desc{};
        EXPECT_EQ(m_api->GetAudioStreamDesc(pHandle->Get(), 0, 0, &desc), 0u);
        m_desc = desc;
        return pHandle;
    }
    uint32_t Align() const { return m_desc.Audio.dwBlockAlign; }
    uint32_t Total() const { return m_desc.dwAudioFrameCount; }

    // The whole stream read front to back with ReadAudio.
    std::vector<uint8_t> ReadSequentially(void* hReader, uint32_t dwChunk) {
        std::vector<uint8_t> all(size_t{Total()} * Align());
        for (uint32_t first = 0; first < Total(); first += dwChunk) {
            SCOPED_TRACE(first);
            SPlugFrameInfo info = NewFrameInfo();
            const uint32_t count = std::min(dwChunk, Total() - first);
            EXPECT_EQ(m_api->ReadAudio(hReader, first, count, all.data() + size_t{first} * Align(), &info), 0u);
            EXPECT_EQ(info.dwSampleCount, count);
            EXPECT_EQ(info.nDataLength, static_cast<int32_t>(count * Align()));
            EXPECT_EQ(info.dwKind, 2u);
            EXPECT_EQ(info.dwFrameType, 5u);
            EXPECT_EQ(info.dwContinuation, first + count + 1 < Total() ? kContinues : kLast);
        }
        return all;
    }
    bool Equal(const uint8_t* p, const std::vector<uint8_t>& all, uint32_t first, uint32_t count) const {
        return std::memcmp(p, all.data() + size_t{first} * Align(), size_t{count} * Align()) == 0;
    }

    static inline std::unique_ptr<TempDir> s_dir;
    static inline std::filesystem::path s_wma, s_both, s_aac;
    ComScope m_com;
    const ReaderApi* m_api = nullptr;
    SPlugStreamDesc m_desc{};
};

TEST_F(AudioAccessTest, SampleCountIsTheDecodedTotal) {
    auto pHandle = Open(s_wma);
    EXPECT_EQ(m_desc.Audio.dwAudioType, 11u);
    EXPECT_EQ(Total(), DecodedSampleCount(s_wma));
    std::vector<uint8_t> block(64 * Align());
    SPlugFrameInfo info = NewFrameInfo();
    EXPECT_EQ(m_api->ReadAudio(pHandle->Get(), Total(), 64, block.data(), &info), 0x80000107u);
    EXPECT_EQ(m_api->ReadAudio(pHandle->Get(), Total() - 10, 64, block.data(), &info), 0u);
    EXPECT_EQ(info.dwSampleCount, 10u);
}

class PcmAccessTest : public AudioAccessTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PcmAccessTest, ChunksFromRandomSamplesEqualASequentialRead) {
    auto pHandle = Open(GetParam() ? s_both : s_wma);
    ASSERT_GT(Total(), 44100u);
    const std::vector<uint8_t> all = ReadSequentially(pHandle->Get(), 4096);
    // Not silence throughout: the sine must be there.
    EXPECT_NE(std::count(all.begin(), all.end(), 0), static_cast<std::ptrdiff_t>(all.size()));

    std::mt19937 random(3);
    std::uniform_int_distribution<uint32_t> first(0, Total() - 1);
    std::uniform_int_distribution<uint32_t> size(1, 30000);
    std::vector<uint8_t> block;
    for (int n = 0; n < 60; ++n) {
        const uint32_t s = first(random);
        const uint32_t count = std::min(size(random), Total() - s);
        SCOPED_TRACE(std::to_string(s) + "+" + std::to_string(count));
        block.assign(size_t{count} * Align(), 0xAB);
        SPlugFrameInfo info = NewFrameInfo();
        ASSERT_EQ(m_api->ReadAudio(pHandle->Get(), s, count, block.data(), &info), 0u);
        EXPECT_EQ(info.dwSampleCount, count);
        EXPECT_TRUE(Equal(block.data(), all, s, count));
        // The following chunk continues without a seek, and equally exactly.
        const uint32_t next = std::min(size(random), Total() - s - count);
        if (next == 0) continue;
        block.assign(size_t{next} * Align(), 0xAB);
        ASSERT_EQ(m_api->ReadAudio(pHandle->Get(), s + count, next, block.data(), &info), 0u);
        EXPECT_TRUE(Equal(block.data(), all, s + count, next));
    }
    for (int n = 0; n < 60; ++n) {
        const uint32_t s = first(random);
        SCOPED_TRACE(s);
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        ASSERT_EQ(m_api->GetAudio(pHandle->Get(), s, 100000, &pBuffer, &info), 0u);
        const uint32_t count = std::min(48000u, Total() - s);
        ASSERT_EQ(info.dwSampleCount, count);
        EXPECT_TRUE(Equal(pBuffer, all, s, count));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, PcmAccessTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "BesideVideo" : "AudioOnly"); });

TEST_F(AudioAccessTest, AacFramesEqualTheStoredFrames) {
    auto pHandle = Open(s_aac);
    ASSERT_EQ(m_desc.Audio.dwAudioType, 7u);
    ASSERT_EQ(m_desc.dwSamplesPerFrame, 1024u);
    const auto stored = ReadStoredPackets(s_aac, /*isVideo=*/false);
    ASSERT_GT(stored.size(), 50u);
    const auto nFrames = static_cast<uint32_t>(stored.size());
    EXPECT_LE(Total(), nFrames);

    for (uint32_t i = 0; i < nFrames; ++i) {
        SCOPED_TRACE(i);
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        ASSERT_EQ(m_api->GetAudio(pHandle->Get(), i, 1, &pBuffer, &info), 0u);
        EXPECT_EQ(info.qwFrameNumber, i);
        EXPECT_EQ(info.dwKind, 2u);
        EXPECT_EQ(info.dwSampleCount, 1u);
        EXPECT_EQ(info.dwContinuation, i + 1 < nFrames ? kContinues : kLast);
        ASSERT_EQ(info.nDataLength, static_cast<int32_t>(stored[i].data.size()));
        EXPECT_EQ(std::memcmp(pBuffer, stored[i].data.data(), info.nDataLength), 0);
    }
    std::mt19937 random(5);
    std::uniform_int_distribution<uint32_t> index(0, nFrames - 1);
    for (int n = 0; n < 60; ++n) {
        const uint32_t i = index(random);
        SCOPED_TRACE(i);
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        ASSERT_EQ(m_api->GetAudio(pHandle->Get(), i, 1, &pBuffer, &info), 0u);
        EXPECT_EQ(info.qwFrameNumber, i);
        ASSERT_EQ(info.nDataLength, static_cast<int32_t>(stored[i].data.size()));
        EXPECT_EQ(std::memcmp(pBuffer, stored[i].data.data(), info.nDataLength), 0);
    }
}

TEST_F(AudioAccessTest, InterleavedReadDeliversBothStreamsOnceInTimeOrder) {
    auto pHandle = Open(s_both);
    const std::vector<uint8_t> all = ReadSequentially(pHandle->Get(), 4096);
    SPlugStreamDesc video{};
    ASSERT_EQ(m_api->GetVideoStreamDesc(pHandle->Get(), 0, 0, &video), 0u);
    const uint32_t nFrames = video.dwVideoFrameCount;
    std::vector<uint64_t> byIndex;
    for (uint32_t i = 0; i < nFrames; ++i) {
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        ASSERT_EQ(m_api->GetFrame(pHandle->Get(), i, &pBuffer, &info), 0u);
        byIndex.push_back(HashBytes(pBuffer, info.nDataLength));
    }

    // A fresh handle, read from the start as a host plays the file.
    ReaderHandle handle(*m_api);
    ASSERT_EQ(handle.Open(s_both), 0u);
    uint32_t nextFrame = 0;
    uint32_t nextSample = 0;
    bool bVideoDone = false, bAudioDone = false;
    double msPrevious = 0;
    for (int n = 0; n < 1000 && !(bVideoDone && bAudioDone); ++n) {
        SCOPED_TRACE(n);
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        uint32_t dwStream = 9;
        const uint32_t status = m_api->GetNextSample(handle.Get(), nullptr, &dwStream, &pBuffer, &info);
        ASSERT_LE(dwStream, 1u);
        const bool bAudio = dwStream == 1;
        if (status != 0) {
            // Only a stream that has ended may fail, while the other runs on.
            EXPECT_TRUE(bAudio ? bAudioDone : bVideoDone) << std::hex << status;
            continue;
        }
        double msStart = 0;
        if (bAudio) {
            ASSERT_FALSE(bAudioDone) << "audio after its last block";
            ASSERT_EQ(info.dwKind, 2u);
            ASSERT_GT(info.dwSampleCount, 0u);
            EXPECT_TRUE(Equal(pBuffer, all, nextSample, info.dwSampleCount)) << nextSample;
            msStart = nextSample * 1000.0 / m_desc.Audio.dwSampleRate;
            nextSample += info.dwSampleCount;
            bAudioDone = info.dwContinuation == kLast;
            EXPECT_EQ(bAudioDone, nextSample + 1 >= Total());
        } else {
            ASSERT_FALSE(bVideoDone) << "video after its last frame";
            ASSERT_EQ(info.qwFrameNumber, nextFrame);
            EXPECT_EQ(HashBytes(pBuffer, info.nDataLength), byIndex[nextFrame]);
            msStart = nextFrame * 1000.0 * video.Video.dwFrameRateDen / video.Video.dwFrameRateNum;
            ++nextFrame;
            bVideoDone = info.dwContinuation == kLast;
            EXPECT_EQ(bVideoDone, nextFrame == nFrames);
        }
        EXPECT_GE(msStart, msPrevious);
        msPrevious = msStart;
    }
    EXPECT_TRUE(bVideoDone && bAudioDone);
    EXPECT_EQ(nextFrame, nFrames);
    EXPECT_GE(nextSample + 1, Total());
}

}  // namespace
