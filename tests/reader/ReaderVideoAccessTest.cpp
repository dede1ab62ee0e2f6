// Video through the reader's ordinals, as a host reads it: every frame by
// index first, then seeks, index reads in random order and sequential reads
// must give exactly the same pictures with the right numbers and times.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <ostream>
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

struct VideoClip {
    const char* name;
    // The ffmpeg arguments after -y; empty for a sample file.
    std::vector<std::string> args;
    // The sample file's name when args is empty.
    const char* sample;
    bool bDecoded;
};

void PrintTo(const VideoClip& clip, std::ostream* os) {
    *os << clip.name;
}

const std::vector<std::string> kMoving25 = {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const VideoClip kGeneratedClips[] = {
    {"Wmv2", Join(kMoving25, {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2", "-c:v",
                              "wmv2", "-g", "12", "-c:a", "wmav2"}),
     nullptr, true},
    {"Wmv1At15", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=15:duration=2", "-c:v", "wmv1", "-g", "8"},
     nullptr, true},
    {"H264", Join(kMoving25, {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-g", "10", "-bf", "2", "-bsf:v",
                              "dump_extra"}),
     nullptr, false},
    {"Mpeg4", Join(kMoving25, {"-c:v", "mpeg4", "-tag:v", "DIVX", "-g", "10", "-bsf:v", "dump_extra"}), nullptr,
     false},
};

// What every test of a clip starts from: the file, its description and the
// hash of every frame read by index.
struct ClipState {
    std::filesystem::path file;
    SPlugStreamDesc desc{};
    std::vector<uint64_t> byIndex;
    std::vector<uint32_t> frameTypes;
};

class VideoAccessTest : public ::testing::TestWithParam<VideoClip> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("videoaccess"); }
    static void TearDownTestSuite() {
        s_states.clear();
        s_dir.reset();
    }

    void SetUp() override {
        m_api = LoadReaderApi();
        ASSERT_NE(m_api, nullptr);
        ASSERT_NO_FATAL_FAILURE(Prepare());
        m_pHandle = std::make_unique<ReaderHandle>(*m_api);
        ASSERT_EQ(m_pHandle->Open(State().file), 0u);
    }
    void TearDown() override { m_pHandle.reset(); }

    const VideoClip& Clip() const { return GetParam(); }
    ClipState& State() const { return s_states[Clip().name]; }
    void* Handle() const { return m_pHandle->Get(); }
    uint32_t Frames() const { return State().desc.dwVideoFrameCount; }
    uint64_t Step() const {
        const auto& v = State().desc.Video;
        return Clip().bDecoded ? DecodedFrameStep(v.dwFrameRateNum, v.dwFrameRateDen)
                               : CompressedFrameStep(v.dwFrameRateNum, v.dwFrameRateDen);
    }

    // Makes the file and reads every frame by index, once per clip.
    void Prepare() {
        ClipState& state = s_states[Clip().name];
        if (!state.byIndex.empty()) return;
        if (Clip().args.empty()) {
            const auto dir = SamplesDir();
            if (dir.empty()) GTEST_SKIP() << "no sample folder";
            state.file = dir / Clip().sample;
        } else {
            state.file = s_dir->Path() / (std::string(Clip().name) + ".wmv");
            std::string error;
            ASSERT_TRUE(RunFfmpeg(Join(Clip().args, {"-f", "asf", state.file.string()}), &error)) << error;
        }
        ReaderHandle handle(*m_api);
        ASSERT_EQ(handle.Open(state.file), 0u);
        ASSERT_EQ(m_api->GetVideoStreamDesc(handle.Get(), 0, 0, &state.desc), 0u);
        const uint32_t nFrames = state.desc.dwVideoFrameCount;
        ASSERT_GT(nFrames, 2u);
        for (uint32_t i = 0; i < nFrames; ++i) {
            SCOPED_TRACE(i);
            SPlugFrameInfo info = NewFrameInfo();
            uint8_t* pBuffer = nullptr;
            ASSERT_EQ(m_api->GetFrame(handle.Get(), i, &pBuffer, &info), 0u);
            ASSERT_GT(info.nDataLength, 0);
            ASSERT_LE(static_cast<uint32_t>(info.nDataLength), m_api->GetFrameBufferSize(handle.Get()));
            EXPECT_EQ(info.qwFrameNumber, i);
            EXPECT_EQ(info.dwContinuation, i + 1 < nFrames ? kContinues : kLast);
            EXPECT_EQ(info.dwKind, 1u);
            state.byIndex.push_back(HashBytes(pBuffer, info.nDataLength));
            state.frameTypes.push_back(info.dwFrameType);
        }
    }

    // The frame an answer to a seek must hold: the frame itself for decoded
    // video, the key frame at or before it for compressed video.
    uint32_t SeekTarget(uint32_t i) const {
        if (Clip().bDecoded) return i;
        while (i > 0 && State().frameTypes[i] != 1) --i;
        return i;
    }

    void ExpectSeek(uint32_t i) {
        SCOPED_TRACE("seek " + std::to_string(i));
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        ASSERT_EQ(m_api->SeekFrame(Handle(), i, &pBuffer, &info), 0u);
        const uint32_t k = SeekTarget(i);
        EXPECT_EQ(info.qwFrameNumber, k);
        EXPECT_EQ(info.qwFrameNumber2, k);
        EXPECT_EQ(info.qwPts, FrameTicks(k, Step()));
        EXPECT_EQ(info.qwDts, info.qwPts);
        EXPECT_EQ(info.dwFrameType, Clip().bDecoded ? 5u : 1u);
        EXPECT_EQ(info.dwContinuation, k + 1 < Frames() ? kContinues : kLast);
        ASSERT_GT(info.nDataLength, 0);
        EXPECT_EQ(HashBytes(pBuffer, info.nDataLength), State().byIndex[k]);
    }
    void ExpectByIndex(uint32_t i, bool bGet) {
        SCOPED_TRACE((bGet ? "get " : "read ") + std::to_string(i));
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = m_pFrameBuffer;
        if (bGet) {
            ASSERT_EQ(m_api->GetFrame(Handle(), i, &pBuffer, &info), 0u);
            m_pFrameBuffer = pBuffer;
        } else {
            ASSERT_NE(pBuffer, nullptr) << "a read by index follows a get";
            ASSERT_EQ(m_api->ReadFrame(Handle(), i, nullptr, &info), 0u);
        }
        EXPECT_EQ(info.qwFrameNumber, i);
        EXPECT_EQ(info.dwContinuation, i + 1 < Frames() ? kContinues : kLast);
        EXPECT_EQ(info.dwFrameType, State().frameTypes[i]);
        ASSERT_GT(info.nDataLength, 0);
        EXPECT_EQ(HashBytes(pBuffer, info.nDataLength), State().byIndex[i]);
    }
    // A sequential read: whatever frame it delivers, its number and its
    // content agree.
    uint64_t ExpectNext() {
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        EXPECT_EQ(m_api->GetNextFrame(Handle(), &pBuffer, &info), 0u);
        EXPECT_LT(info.qwFrameNumber, Frames());
        if (info.qwFrameNumber >= Frames() || info.nDataLength <= 0) return ~uint64_t{0};
        EXPECT_EQ(info.qwPts, FrameTicks(info.qwFrameNumber, Step()));
        EXPECT_EQ(info.dwContinuation, info.qwFrameNumber + 1 < Frames() ? kContinues : kLast);
        EXPECT_EQ(HashBytes(pBuffer, info.nDataLength), State().byIndex[info.qwFrameNumber]);
        return info.qwFrameNumber;
    }

    static inline std::unique_ptr<TempDir> s_dir;
    static inline std::map<std::string, ClipState> s_states;
    ComScope m_com;
    const ReaderApi* m_api = nullptr;
    std::unique_ptr<ReaderHandle> m_pHandle;
    uint8_t* m_pFrameBuffer = nullptr;
};

TEST_P(VideoAccessTest, FramesByIndexAreDistinctPictures) {
    // A generated clip moves in every frame: a reader that delivered one
    // picture twice would show up as two equal hashes. The samples repeat
    // pictures where their frames were dropped.
    if (Clip().args.empty()) GTEST_SKIP() << "a sample file";
    const auto& hashes = State().byIndex;
    std::map<uint64_t, int> counts;
    for (uint64_t h : hashes) ++counts[h];
    EXPECT_EQ(counts.size(), hashes.size());
    EXPECT_EQ(State().frameTypes[0], Clip().bDecoded ? 5u : 1u);
}

TEST_P(VideoAccessTest, RandomSeeksGiveTheFramesByIndex) {
    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> index(0, Frames() - 1);
    for (int n = 0; n < 200; ++n) ASSERT_NO_FATAL_FAILURE(ExpectSeek(index(random)));
}

TEST_P(VideoAccessTest, IndexReadsInRandomOrderGiveTheFramesByIndex) {
    std::mt19937 random(11);
    std::uniform_int_distribution<uint32_t> index(0, Frames() - 1);
    ASSERT_NO_FATAL_FAILURE(ExpectByIndex(index(random), true));
    for (int n = 0; n < 200; ++n) ASSERT_NO_FATAL_FAILURE(ExpectByIndex(index(random), (n % 3) == 0));
}

TEST_P(VideoAccessTest, SequentialReadsContinueAfterASeek) {
    for (uint32_t i : {0u, Frames() / 3, Frames() - 4}) {
        ASSERT_NO_FATAL_FAILURE(ExpectSeek(i));
        uint64_t expected = SeekTarget(i);
        for (int n = 0; n < 3; ++n) EXPECT_EQ(ExpectNext(), ++expected);
    }
    // To the end: the last frame says so.
    ASSERT_NO_FATAL_FAILURE(ExpectSeek(Frames() - 2));
    uint64_t last = SeekTarget(Frames() - 2);
    for (uint32_t n = 0; n < Frames() && last + 1 < Frames(); ++n) {
        const uint64_t next = ExpectNext();
        ASSERT_EQ(next, last + 1);
        last = next;
    }
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pBuffer = nullptr;
    EXPECT_NE(m_api->GetNextFrame(Handle(), &pBuffer, &info), 0u) << "nothing after the last frame";
}

TEST_P(VideoAccessTest, ScriptedSequenceIsExactAtEveryStep) {
    const uint32_t last = Frames() - 1;
    const uint32_t middle = Frames() / 2;
    ASSERT_NO_FATAL_FAILURE(ExpectSeek(last));
    ASSERT_NO_FATAL_FAILURE(ExpectByIndex(0, true));
    SPlugFrameInfo probe = NewFrameInfo();
    ASSERT_EQ(m_api->ProbeFrame(Handle(), last, &probe), 0u);
    EXPECT_EQ(probe.qwFrameNumber, SeekTarget(last));
    EXPECT_EQ(probe.dwContinuation, SeekTarget(last) == last ? kLast : kContinues);
    EXPECT_GT(probe.nDataLength, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectByIndex(middle, false));
    // After a read by index the sequential read starts from that frame.
    EXPECT_EQ(ExpectNext(), middle);
    ASSERT_NO_FATAL_FAILURE(ExpectSeek(0));
    EXPECT_EQ(ExpectNext(), 1u);
    ASSERT_NO_FATAL_FAILURE(ExpectByIndex(last, true));
    ASSERT_NO_FATAL_FAILURE(ExpectByIndex(last - 1, false));
}

TEST_P(VideoAccessTest, IndexPastTheEndIsOutOfRange) {
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pBuffer = nullptr;
    EXPECT_EQ(m_api->GetFrame(Handle(), Frames(), &pBuffer, &info), 0x80000006u);
    EXPECT_EQ(m_api->SeekFrame(Handle(), Frames(), &pBuffer, &info), 0x80000006u);
    EXPECT_EQ(m_api->ProbeFrame(Handle(), Frames(), &info), 0x80000006u);
    ASSERT_NO_FATAL_FAILURE(ExpectByIndex(Frames() - 1, true));
}

TEST_P(VideoAccessTest, NeighboursOfKeyFramesAfterFarSeeks) {
    // Key frames in presentation order: their stored times on the frame grid.
    const auto packets = ReadStoredPackets(State().file, /*isVideo=*/true);
    ASSERT_FALSE(packets.empty());
    int64_t msFirst = packets[0].msTime;
    for (const auto& p : packets) msFirst = std::min(msFirst, p.msTime);
    const auto& video = State().desc.Video;
    std::vector<uint32_t> keys;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (!packets[i].bKey) continue;
        keys.push_back(Clip().bDecoded ? static_cast<uint32_t>(std::llround(
                                             (packets[i].msTime - msFirst) / 1000.0 * video.dwFrameRateNum /
                                             video.dwFrameRateDen))
                                       : static_cast<uint32_t>(i));
    }
    ASSERT_FALSE(keys.empty());
    for (uint32_t k : keys) {
        for (int d = -2; d <= 2; ++d) {
            const int64_t i = static_cast<int64_t>(k) + d;
            if (i < 0 || i >= Frames()) continue;
            const auto far = static_cast<uint32_t>((i + Frames() / 2) % Frames());
            ASSERT_NO_FATAL_FAILURE(ExpectSeek(far));
            ASSERT_NO_FATAL_FAILURE(ExpectSeek(static_cast<uint32_t>(i)));
            ASSERT_NO_FATAL_FAILURE(ExpectSeek(far));
            ASSERT_NO_FATAL_FAILURE(ExpectByIndex(static_cast<uint32_t>(i), true));
        }
    }
}

#ifdef VRX_READER_SAMPLES
// Files made by the platform's own tools: VC-1 with B-frames, WMV3, and WMV2
// with dropped frames.
const VideoClip kSampleClips[] = {
    {"Vc1Ladybug", {}, "wvc1-wmapro_ladybug.wmv", true},
    {"Wmv3Ball", {}, "wmv3-wmav2_ball.wmv", true},
    {"Wmv2Seattle", {}, "wmv2-wmavoice_seattle.wmv", true},
};
INSTANTIATE_TEST_SUITE_P(Samples, VideoAccessTest, ::testing::ValuesIn(kSampleClips),
                         [](const auto& info) { return std::string(info.param.name); });
#else
INSTANTIATE_TEST_SUITE_P(Generated, VideoAccessTest, ::testing::ValuesIn(kGeneratedClips),
                         [](const auto& info) { return std::string(info.param.name); });

// 15 frames a second are 666666 units apart: frame 1 is at 5999 ticks, not
// at 6000 as 90000 / 15 would give.
TEST(VideoTimesTest, FrameOneAtFifteenFramesASecond) {
    const ReaderApi* api = LoadReaderApi();
    ASSERT_NE(api, nullptr);
    TempDir dir("videotimes");
    const auto file = dir.Path() / "fifteen.wmv";
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=15:duration=1", "-c:v", "wmv2", "-f",
                           "asf", file.string()},
                          &error))
        << error;
    ComScope com;
    ReaderHandle handle(*api);
    ASSERT_EQ(handle.Open(file), 0u);
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pBuffer = nullptr;
    ASSERT_EQ(api->SeekFrame(handle.Get(), 1, &pBuffer, &info), 0u);
    EXPECT_EQ(info.qwPts, 5999u);
    ASSERT_EQ(api->SeekFrame(handle.Get(), 14, &pBuffer, &info), 0u);
    EXPECT_EQ(info.qwPts, 83999u);
}
#endif

}  // namespace
