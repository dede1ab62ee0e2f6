// The reader's ordinals on damaged files and in the wrong order: every call
// answers with a status, nothing crashes or hangs, nothing leaks (the
// sanitizer build checks that).
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderHost.h"
#include "support/Media.h"
#include "support/TempDir.h"

namespace {

// A status is 0 or a failure code; anything else would be read as a count
// or a flag by a host.
bool IsStatus(uint32_t status) {
    return status == 0 || (status & 0x80000000u) != 0;
}

std::vector<char> ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& file, const std::vector<char>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Damage {
    const char* name;
    double truncateAt;   // fraction of the file kept; 1 keeps it whole
    unsigned flipSeed;   // 0: no bytes flipped
    size_t flipWithin;   // flipped bytes lie in the first this many bytes; 0: anywhere
    // A cut behind the header leaves a file that opens and reads up to it.
    bool bReadable;
};
constexpr Damage kDamages[] = {
    {"CutInHeader", 0.02, 0, 0, false},   {"CutAtHalf", 0.5, 0, 0, true},
    {"CutNearEnd", 0.93, 0, 0, true},     {"FlippedData1", 1, 1, 0, false},
    {"FlippedData2", 1, 2, 0, false},     {"FlippedHeader", 1, 3, 4096, false},
    {"FlippedAndCut", 0.7, 4, 0, false},
};

struct BaseFile {
    const char* name;
    std::vector<std::string> args;  // ffmpeg arguments; empty for a sample
    const char* sample;
};
const BaseFile kBases[] = {
    {"Wmv2Wma",
     {"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25:duration=1", "-f", "lavfi", "-i",
      "sine=frequency=440:sample_rate=22050:duration=1", "-c:v", "wmv2", "-g", "8", "-c:a", "wmav2"},
     nullptr},
    {"H264Aac",
     {"-f", "lavfi", "-i", "testsrc2=size=96x64:rate=25:duration=1", "-f", "lavfi", "-i",
      "sine=frequency=440:sample_rate=48000:duration=1", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-g", "8",
      "-bsf:v", "dump_extra", "-c:a", "aac"},
     nullptr},
    {"Wmv3Sample", {}, "wmv3-wmav2_ball.wmv"},
};

class DamagedFileTest : public ::testing::TestWithParam<std::tuple<BaseFile, Damage>> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("damaged"); }
    static void TearDownTestSuite() { s_dir.reset(); }

    // The damaged copy of the base file.
    std::filesystem::path MakeFile() {
        const auto& [base, damage] = GetParam();
        std::filesystem::path original;
        if (base.args.empty()) {
            if (SamplesDir().empty()) return {};
            original = SamplesDir() / base.sample;
        } else {
            original = s_dir->Path() / (std::string(base.name) + ".wmv");
            if (!std::filesystem::exists(original)) {
                std::vector<std::string> args = base.args;
                args.insert(args.end(), {"-f", "asf", original.string()});
                std::string error;
                EXPECT_TRUE(RunFfmpeg(args, &error)) << error;
            }
        }
        std::vector<char> bytes = ReadFile(original);
        EXPECT_FALSE(bytes.empty());
        bytes.resize(static_cast<size_t>(bytes.size() * damage.truncateAt));
        if (damage.flipSeed != 0 && !bytes.empty()) {
            std::mt19937 random(damage.flipSeed);
            const size_t span = damage.flipWithin ? std::min(damage.flipWithin, bytes.size()) : bytes.size();
            std::uniform_int_distribution<size_t> at(0, span - 1);
            for (int n = 0; n < 12; ++n) bytes[at(random)] ^= static_cast<char>(0xFF);
        }
        const auto file = s_dir->Path() / (std::string(base.name) + damage.name + ".wmv");
        WriteFile(file, bytes);
        return file;
    }

    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_P(DamagedFileTest, EveryReadAnswersWithAStatus) {
    const ReaderApi* api = LoadReaderApi();
    ASSERT_NE(api, nullptr);
    const auto file = MakeFile();
    if (file.empty()) GTEST_SKIP() << "no sample folder";
    ComScope com;
    const std::clock_t start = std::clock();
    {
        ReaderHandle handle(*api);
        void* h = handle.Get();
        const uint32_t open = handle.Open(file);
        ASSERT_TRUE(IsStatus(open)) << std::hex << open;
        SPlugFrameInfo first = NewFrameInfo();
        uint8_t* pFirst = nullptr;
        if (std::get<1>(GetParam()).bReadable) {
            ASSERT_EQ(open, 0u);
            EXPECT_EQ(api->GetFrame(h, 0, &pFirst, &first), 0u);
        }
        SPlugStreamDesc desc{};
        const uint32_t nFrames =
            api->GetVideoStreamDesc(h, 0, 0, &desc) == 0 ? std::min(desc.dwVideoFrameCount, 400u) : 0;
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        for (uint32_t i = 0; i < nFrames; ++i) {
            const uint32_t status = api->GetFrame(h, i, &pBuffer, &info);
            ASSERT_TRUE(IsStatus(status)) << i << ": " << std::hex << status;
            if (status == 0) {
                ASSERT_LE(static_cast<uint32_t>(info.nDataLength), api->GetFrameBufferSize(h));
            }
        }
        std::mt19937 random(9);
        for (int n = 0; n < 30 && nFrames > 0; ++n) {
            const uint32_t i = random() % (nFrames + 2);
            ASSERT_TRUE(IsStatus(api->SeekFrame(h, i, &pBuffer, &info))) << i;
            ASSERT_TRUE(IsStatus(api->GetNextFrame(h, &pBuffer, &info))) << i;
            ASSERT_TRUE(IsStatus(api->ProbeFrame(h, i, &info))) << i;
        }

        SPlugStreamDesc audio{};
        if (api->GetAudioStreamDesc(h, 0, 0, &audio) == 0) {
            // All of it, frame by frame or in blocks of a second; a stream
            // that claims more than a minute is read only that far.
            const bool bFrames = audio.Audio.dwAudioType == 7;
            const uint32_t step = bFrames ? 1 : 48000;
            const uint32_t limit = bFrames ? 3000 : 60 * 48000;
            for (uint32_t first = 0; first < std::min(audio.dwAudioFrameCount, limit); first += step) {
                const uint32_t status = api->GetAudio(h, first, step, &pBuffer, &info);
                ASSERT_TRUE(IsStatus(status)) << first << ": " << std::hex << status;
                if (status == 0 && !bFrames) {
                    ASSERT_LE(info.dwSampleCount, step);
                }
            }
            std::vector<uint8_t> block(size_t{4096} * std::max(audio.Audio.dwBlockAlign, 1u));
            for (int n = 0; n < 10 && audio.Audio.dwAudioType != 7 && audio.Audio.dwBlockAlign > 0; ++n) {
                const uint32_t first = random() % (audio.dwAudioFrameCount + 100);
                ASSERT_TRUE(IsStatus(api->ReadAudio(h, first, 4096, block.data(), &info))) << first;
            }
        }
        for (int n = 0; n < 20; ++n) {
            uint32_t dwStream = 0;
            ASSERT_TRUE(IsStatus(api->GetNextSample(h, nullptr, &dwStream, &pBuffer, &info)));
        }
    }
    // Far above what the reads of a one-second clip cost: only a reader that
    // loops on damaged data gets near it.
    EXPECT_LT(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, 5.0);
}

std::string DamageName(const ::testing::TestParamInfo<DamagedFileTest::ParamType>& info) {
    const auto& [base, damage] = info.param;
    return std::string(base.name) + damage.name;
}
INSTANTIATE_TEST_SUITE_P(Files, DamagedFileTest,
                         ::testing::Combine(::testing::ValuesIn(kBases), ::testing::ValuesIn(kDamages)),
                         DamageName);

class WrongOrderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("wrongorder");
        s_clip = s_dir->Path() / "clip.wmv";
        std::string error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=25:duration=1", "-f", "lavfi", "-i",
                               "sine=sample_rate=22050:duration=1", "-c:v", "wmv2", "-c:a", "wmav2", "-f", "asf",
                               s_clip.string()},
                              &error))
            << error;
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override {
        m_api = LoadReaderApi();
        ASSERT_NE(m_api, nullptr);
    }

    // Every read, none of which may succeed on a handle without a file.
    void ExpectReadsFail(void* h) {
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        uint8_t block[64];
        EXPECT_EQ(m_api->ReadFrame(h, 0, nullptr, &info), 0x80000305u);
        EXPECT_EQ(m_api->GetFrame(h, 0, &pBuffer, &info), 0x80000305u);
        EXPECT_EQ(m_api->SeekFrame(h, 0, &pBuffer, &info), 0x80000305u);
        EXPECT_EQ(m_api->GetNextFrame(h, &pBuffer, &info), 0x80000305u);
        EXPECT_EQ(m_api->PeekNextFrame(h, &info), 0x80000305u);
        EXPECT_EQ(m_api->ProbeFrame(h, 0, &info), 0x80000006u);
        EXPECT_EQ(m_api->ReadAudio(h, 0, 16, block, &info), 0x80000404u);
        EXPECT_EQ(m_api->GetAudio(h, 0, 16, &pBuffer, &info), 0x80000404u);
    }

    static inline std::unique_ptr<TempDir> s_dir;
    static inline std::filesystem::path s_clip;
    ComScope m_com;
    const ReaderApi* m_api = nullptr;
};

TEST_F(WrongOrderTest, ReadsBeforeOpenAndAfterAFailedOpenFail) {
    ReaderHandle handle(*m_api);
    ExpectReadsFail(handle.Get());
    EXPECT_EQ(m_api->GetVideoStreamCount(handle.Get()), 0u);
    EXPECT_NE(handle.Open(s_dir->Path() / "missing.wmv"), 0u);
    ExpectReadsFail(handle.Get());
    EXPECT_NE(handle.Open(s_dir->Path()), 0u) << "a folder is no file";
    ExpectReadsFail(handle.Get());
    ASSERT_EQ(handle.Open(s_clip), 0u) << "the handle is still usable";
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pBuffer = nullptr;
    EXPECT_EQ(m_api->GetFrame(handle.Get(), 3, &pBuffer, &info), 0u);
}

TEST_F(WrongOrderTest, DoubleOpenReadsTheSecondFile) {
    ReaderHandle handle(*m_api);
    ASSERT_EQ(handle.Open(s_clip), 0u);
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pFirst = nullptr;
    ASSERT_EQ(m_api->GetFrame(handle.Get(), 5, &pFirst, &info), 0u);
    const uint64_t hash = HashBytes(pFirst, info.nDataLength);
    ASSERT_EQ(handle.Open(s_clip), 0u);
    uint8_t* pSecond = nullptr;
    ASSERT_EQ(m_api->GetFrame(handle.Get(), 5, &pSecond, &info), 0u);
    EXPECT_EQ(HashBytes(pSecond, info.nDataLength), hash);
}

TEST_F(WrongOrderTest, RangesOutsideTheStreamAreNarrowed) {
    ReaderHandle handle(*m_api);
    ASSERT_EQ(handle.Open(s_clip), 0u);
    SPlugStreamDesc desc{};
    ASSERT_EQ(m_api->GetVideoStreamDesc(handle.Get(), 0, 0, &desc), 0u);
    uint32_t start = 1000, end = 5000;
    ASSERT_EQ(m_api->SetRange(handle.Get(), &start, &end, 0), 0u);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, desc.dwVideoFrameCount);
    EXPECT_EQ(m_api->SetRange(handle.Get(), &start, &end, 7), 0x80000006u);
    start = 2;
    end = 4;
    ASSERT_EQ(m_api->SetRange(handle.Get(), &start, &end, 0), 0u);
    SPlugFrameInfo info = NewFrameInfo();
    EXPECT_EQ(m_api->ProbeFrame(handle.Get(), 4, &info), 0x80000006u);
    EXPECT_EQ(m_api->ProbeFrame(handle.Get(), 3, &info), 0u);
    EXPECT_EQ(m_api->GetVideoStreamDesc(handle.Get(), 0, 1, &desc), 0x80000006u);
    EXPECT_EQ(m_api->SelectStreams(handle.Get(), 0, 0, 0, 1), 0x80000006u);
}

TEST_F(WrongOrderTest, NullHandlesAndPointersGetStatuses) {
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pBuffer = nullptr;
    EXPECT_EQ(m_api->Destroy(nullptr), 0u);
    EXPECT_EQ(m_api->GetFrame(nullptr, 0, &pBuffer, &info), 0x80000004u);
    EXPECT_EQ(m_api->GetNextSample(nullptr, nullptr, nullptr, &pBuffer, &info), 0x80000004u);
    ReaderHandle handle(*m_api);
    ASSERT_EQ(handle.Open(s_clip), 0u);
    EXPECT_EQ(m_api->Open(handle.Get(), nullptr, 0, nullptr), 0x80000005u);
    EXPECT_EQ(m_api->GetFrame(handle.Get(), 0, nullptr, &info), 0x80000005u);
    EXPECT_EQ(m_api->GetFrame(handle.Get(), 0, &pBuffer, nullptr), 0x80000005u);
    EXPECT_EQ(m_api->ReadAudio(handle.Get(), 0, 16, nullptr, &info), 0x80000005u);
    EXPECT_EQ(m_api->SetRange(handle.Get(), nullptr, nullptr, 0), 0x80000005u);
    EXPECT_EQ(m_api->SetOptions(handle.Get(), nullptr), 0x80000005u);
    EXPECT_EQ(m_api->GetVideoStreamDesc(handle.Get(), 0, 0, nullptr), 0u);
}

}  // namespace
