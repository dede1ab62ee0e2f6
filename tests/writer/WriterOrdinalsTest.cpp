// The writer's ordinals and ordinal 600 as a host calls them: null
// arguments, refused opens, handles without an encoder, and the fixed
// answers, with the buffers a failing call must leave alone.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "writer/WriterHost.h"

namespace {

constexpr uint32_t kNotSupported = 0x80000002;
constexpr uint32_t kNoHandle = 0x80000004;
constexpr uint32_t kNullArgument = 0x80000005;
constexpr uint32_t kOutOfRange = 0x80000006;

class WriterOrdinalsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("ordinals"); }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override { ASSERT_NE(Plug().create, nullptr) << "plug-in not loaded"; }

    static std::filesystem::path File(const std::string& name) { return s_dir->Path() / name; }
    static SClipSpec WithAudio() {
        SClipSpec spec;
        spec.sampleRate = 48000;
        return spec;
    }
    static void Open(CWriter& writer, const std::string& name, const SClipSpec& spec) {
        const COpenRequest request(File(name), MediaInfoOf(spec));
        ASSERT_EQ(Plug().open(writer.Get(), request.Target(), request.Params()), 0u);
    }

    static inline std::unique_ptr<TempDir> s_dir;
};

// A buffer that shows whether a call wrote into it.
struct SMarkedBuffer {
    SMarkedBuffer() { bytes.fill(0xA5); }
    bool Untouched() const {
        return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xA5; });
    }
    uint32_t Dword() const {
        uint32_t v;
        std::memcpy(&v, bytes.data(), sizeof v);
        return v;
    }
    std::array<uint8_t, 16> bytes;
};

TEST_F(WriterOrdinalsTest, NullHandleIsAnsweredWithoutATouch) {
    const SPlugApi& api = Plug();
    EXPECT_EQ(api.destroy(nullptr), 0u);
    const COpenRequest request(File("null.wmv"), MediaInfoOf(SClipSpec{}));
    EXPECT_EQ(api.open(nullptr, request.Target(), request.Params()), kNoHandle);
    EXPECT_EQ(api.isAudioBehind(nullptr), kNoHandle);
    SPlugFrameInfo info{};
    const uint8_t data[4] = {};
    EXPECT_EQ(api.put(nullptr, 0, data, &info), kNoHandle);
    for (const auto& [category, item] : {std::pair{2u, 2u}, {2u, 0u}, {1u, 10u}, {1u, 11u}, {3u, 0u}}) {
        SCOPED_TRACE(std::to_string(category) + "/" + std::to_string(item));
        SMarkedBuffer out;
        uint32_t dwSize = sizeof out.bytes;
        EXPECT_EQ(api.query(nullptr, category, item, nullptr, &dwSize, out.bytes.data()), kNoHandle);
        EXPECT_TRUE(out.Untouched());
        EXPECT_EQ(dwSize, sizeof out.bytes);
    }
    EXPECT_FALSE(std::filesystem::exists(File("null.wmv")));
}

TEST_F(WriterOrdinalsTest, FixedQueriesAnswerTheirConstants) {
    CWriter writer;
    ASSERT_NE(writer.Get(), nullptr);
    for (const auto& [category, item, answer] :
         {std::tuple{2u, 0u, 2u}, std::tuple{2u, 1u, 2u}, std::tuple{1u, 10u, 0u}}) {
        SCOPED_TRACE(std::to_string(category) + "/" + std::to_string(item));
        SMarkedBuffer out;
        uint32_t dwSize = 16;
        EXPECT_EQ(Plug().query(writer.Get(), category, item, nullptr, &dwSize, out.bytes.data()), 0u);
        EXPECT_EQ(out.Dword(), answer);
        EXPECT_EQ(dwSize, 16u) << "size is not written";
        EXPECT_TRUE(std::all_of(out.bytes.begin() + 4, out.bytes.end(), [](uint8_t b) { return b == 0xA5; }));
        EXPECT_EQ(Plug().query(writer.Get(), category, item, nullptr, &dwSize, nullptr), kNullArgument);
    }
}

TEST_F(WriterOrdinalsTest, VersionFillsTheWholeBuffer) {
    CWriter writer;
    SMarkedBuffer out;
    uint32_t dwSize = sizeof out.bytes;
    ASSERT_EQ(Plug().query(writer.Get(), 2, 2, nullptr, &dwSize, out.bytes.data()), 0u);
    EXPECT_EQ(dwSize, 7u);
    const std::array<uint8_t, 16> expected = {'3', '.', '0', '.', '0', '.', '0'};
    EXPECT_EQ(out.bytes, expected);

    // Exactly seven bytes fit; the byte after them is not the call's.
    SMarkedBuffer exact;
    dwSize = 7;
    ASSERT_EQ(Plug().query(writer.Get(), 2, 2, nullptr, &dwSize, exact.bytes.data()), 0u);
    EXPECT_EQ(std::string(exact.bytes.begin(), exact.bytes.begin() + 7), "3.0.0.0");
    EXPECT_EQ(exact.bytes[7], 0xA5);
}

TEST_F(WriterOrdinalsTest, VersionRefusesABufferTooSmall) {
    CWriter writer;
    for (uint32_t cb : {0u, 6u}) {
        SMarkedBuffer out;
        uint32_t dwSize = cb;
        EXPECT_EQ(Plug().query(writer.Get(), 2, 2, nullptr, &dwSize, out.bytes.data()), kOutOfRange);
        EXPECT_TRUE(out.Untouched());
        EXPECT_EQ(dwSize, cb);
    }
    SMarkedBuffer out;
    EXPECT_EQ(Plug().query(writer.Get(), 2, 2, nullptr, nullptr, out.bytes.data()), kNullArgument);
    uint32_t dwSize = 16;
    EXPECT_EQ(Plug().query(writer.Get(), 2, 2, nullptr, &dwSize, nullptr), kNullArgument);
    EXPECT_TRUE(out.Untouched());
}

TEST_F(WriterOrdinalsTest, UnlistedRequestsLeaveBothBuffersAlone) {
    CWriter writer;
    for (const auto& [category, item] :
         {std::pair{2u, 3u}, {2u, 11u}, {1u, 0u}, {1u, 13u}, {0u, 2u}, {3u, 10u}, {0xFFFFFFFFu, 2u}}) {
        SCOPED_TRACE(std::to_string(category) + "/" + std::to_string(item));
        SMarkedBuffer out;
        uint32_t dwSize = 16;
        EXPECT_EQ(Plug().query(writer.Get(), category, item, nullptr, &dwSize, out.bytes.data()), kNotSupported);
        EXPECT_TRUE(out.Untouched());
        EXPECT_EQ(dwSize, 16u);
    }
}

// Checks a handle that holds no running encoder: no two-pass, no data.
void ExpectNoEncoderAnswers(void* hWriter) {
    const SPlugApi& api = Plug();
    SMarkedBuffer out;
    uint32_t dwSize = 16;
    EXPECT_EQ(api.query(hWriter, 2, 10, nullptr, &dwSize, out.bytes.data()), 0u);
    EXPECT_EQ(out.Dword(), 0u);
    EXPECT_EQ(dwSize, 4u);
    EXPECT_EQ(api.query(hWriter, 1, 11, nullptr, nullptr, nullptr), kNotSupported);
    EXPECT_EQ(api.query(hWriter, 1, 12, nullptr, nullptr, nullptr), kNotSupported);
    const auto frame = MakeFrame(PLUG_COLOR_FORMAT_I420, 160, 120, 0);
    SPlugFrameInfo info{};
    info.nDataLength = static_cast<int32_t>(frame.size());
    EXPECT_EQ(api.put(hWriter, 0, frame.data(), &info), kNoHandle);
    EXPECT_EQ(api.isAudioBehind(hWriter), 0u);
}

TEST_F(WriterOrdinalsTest, HandleNeverOpenedHasNothingToWriteTo) {
    CWriter writer;
    ExpectNoEncoderAnswers(writer.Get());
    EXPECT_EQ(writer.Destroy(), 0u);
}

TEST_F(WriterOrdinalsTest, PreprocessQueryNeedsBothBuffers) {
    CWriter writer;
    SMarkedBuffer out;
    uint32_t dwSize = 16;
    EXPECT_EQ(Plug().query(writer.Get(), 2, 10, nullptr, nullptr, out.bytes.data()), kNullArgument);
    EXPECT_EQ(Plug().query(writer.Get(), 2, 10, nullptr, &dwSize, nullptr), kNullArgument);
    EXPECT_TRUE(out.Untouched());
    EXPECT_EQ(dwSize, 16u);
}

struct SRefusedOpen {
    const char* name;
    void (*spoil)(COpenRequest&);
    uint32_t answer;
};

const SRefusedOpen kRefusedOpens[] = {
    {"AppendMode", [](COpenRequest& r) { r.MutableParams().dwOpenMode = 1; }, kNotSupported},
    {"ReadWhileWriting", [](COpenRequest& r) { r.MutableParams().dwOpenMode = 2; }, kNotSupported},
    {"TwoTargets", [](COpenRequest& r) { r.MutableTarget().dwCount = 2; }, kNotSupported},
    {"NoTarget", [](COpenRequest& r) { r.MutableTarget().dwCount = 0; }, kNotSupported},
    {"TargetNotAFile", [](COpenRequest& r) { r.MutableTarget().pItems->dwKind = 1; }, kNotSupported},
    {"TargetItemsMissing", [](COpenRequest& r) { r.MutableTarget().pItems = nullptr; }, kNullArgument},
    {"StreamsMissing", [](COpenRequest& r) { r.MutableParams().pStreams = nullptr; }, kNullArgument},
    {"FrameRateNumeratorZero", [](COpenRequest& r) { r.Streams()[0].Video.dwFrameRateNum = 0; }, kOutOfRange},
    {"FrameRateDenominatorZero", [](COpenRequest& r) { r.Streams()[0].Video.dwFrameRateDen = 0; },
     kOutOfRange},
    {"SampleRateZero", [](COpenRequest& r) { r.Streams()[1].Audio.dwSampleRate = 0; }, kOutOfRange},
    {"NoWholeBytePerSampleFrame",
     [](COpenRequest& r) {
         r.Streams()[1].Audio.dwChannels = 1;
         r.Streams()[1].Audio.dwBitsPerSample = 4;
     },
     kOutOfRange},
};

class RefusedOpenTest : public WriterOrdinalsTest, public ::testing::WithParamInterface<SRefusedOpen> {};

// Each refusal comes after the earlier file has been finished, and leaves a
// handle without an encoder.
TEST_P(RefusedOpenTest, FinishesTheEarlierFileThenRefuses) {
    const SPlugApi& api = Plug();
    SClipSpec spec;
    spec.frames = 5;
    spec.sampleRate = 48000;
    const auto earlier = File(std::string(GetParam().name) + "-earlier.wmv");
    const auto refused = File(std::string(GetParam().name) + "-refused.wmv");
    CWriter writer;
    COpenRequest first(earlier, MediaInfoOf(spec));
    ASSERT_EQ(api.open(writer.Get(), first.Target(), first.Params()), 0u);
    ASSERT_NO_FATAL_FAILURE(PutFrames(writer.Get(), spec, 0, spec.frames));
    ASSERT_EQ(api.isAudioBehind(writer.Get()), 1u);

    COpenRequest second(refused, MediaInfoOf(spec));
    GetParam().spoil(second);
    EXPECT_EQ(api.open(writer.Get(), second.Target(), second.Params()), GetParam().answer);
    EXPECT_FALSE(std::filesystem::exists(refused));

    // The earlier file is complete; its audio stream holds no sound.
    const SFileReport report = ReadBack(earlier);
    EXPECT_EQ(report.marks.size(), spec.frames);
    for (size_t k = 0; k < report.marks.size(); ++k) EXPECT_EQ(report.marks[k].index, static_cast<int>(k));
    ExpectNoEncoderAnswers(writer.Get());
    EXPECT_EQ(writer.Destroy(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedOpenTest, ::testing::ValuesIn(kRefusedOpens),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WriterOrdinalsTest, OpenNeedsBothRecords) {
    const SPlugApi& api = Plug();
    CWriter writer;
    const COpenRequest request(File("records.wmv"), MediaInfoOf(SClipSpec{}));
    EXPECT_EQ(api.open(writer.Get(), nullptr, request.Params()), kNullArgument);
    EXPECT_EQ(api.open(writer.Get(), request.Target(), nullptr), kNullArgument);
    ExpectNoEncoderAnswers(writer.Get());
}

TEST_F(WriterOrdinalsTest, PutNeedsItsDataAndRecord) {
    const SPlugApi& api = Plug();
    const SClipSpec spec = WithAudio();
    CWriter writer;
    ASSERT_NO_FATAL_FAILURE(Open(writer, "put.wmv", spec));
    const auto frame = MakeFrame(spec.format, spec.width, spec.height, 0);
    SPlugFrameInfo info{};
    info.nDataLength = static_cast<int32_t>(frame.size());
    for (uint32_t pid : {0u, 1u}) {
        EXPECT_EQ(api.put(writer.Get(), pid, nullptr, &info), kNullArgument);
        EXPECT_EQ(api.put(writer.Get(), pid, frame.data(), nullptr), kNullArgument);
    }
    info.nDataLength = -4;
    EXPECT_EQ(api.put(writer.Get(), 1, frame.data(), &info), kOutOfRange);
    // Streams other than video and audio are ignored.
    EXPECT_EQ(api.put(writer.Get(), 2, frame.data(), &info), 0u);
    EXPECT_EQ(api.put(writer.Get(), 2, nullptr, nullptr), 0u);
    EXPECT_EQ(api.isAudioBehind(writer.Get()), 0u) << "nothing was counted";
}

TEST_F(WriterOrdinalsTest, AudioBehindFollowsTheClocks) {
    const SPlugApi& api = Plug();
    const SClipSpec spec = WithAudio();
    CWriter writer;
    ASSERT_NO_FATAL_FAILURE(Open(writer, "behind.wmv", spec));
    EXPECT_EQ(api.isAudioBehind(writer.Get()), 0u);
    ASSERT_NO_FATAL_FAILURE(PutFrames(writer.Get(), spec, 0, 1));  // 40 ms
    EXPECT_EQ(api.isAudioBehind(writer.Get()), 1u);
    SPlugFrameInfo info{};
    const auto pcm = MakeTone(48000, 2, 0, 1152);  // 24 ms
    info.nDataLength = static_cast<int32_t>(pcm.size());
    ASSERT_EQ(api.put(writer.Get(), 1, pcm.data(), &info), 0u);
    EXPECT_EQ(api.isAudioBehind(writer.Get()), 1u);
    // 3843 bytes are 960 whole sample frames: 44 ms.
    const auto more = MakeTone(48000, 2, 1152, 961);
    info.nDataLength = 3843;
    ASSERT_EQ(api.put(writer.Get(), 1, more.data(), &info), 0u);
    EXPECT_EQ(api.isAudioBehind(writer.Get()), 0u);
}

// Writing into a folder that does not exist: the start fails with a
// status, the handle stays usable and answers as its encoder says.
TEST_F(WriterOrdinalsTest, MissingFolderFailsTheOpenCleanly) {
    const SPlugApi& api = Plug();
    SClipSpec spec;
    CWriter writer;
    const COpenRequest request(File("no-such-folder") / "x.wmv", MediaInfoOf(spec));
    const uint32_t dwOpen = api.open(writer.Get(), request.Target(), request.Params());
    EXPECT_NE(dwOpen, 0u);
    EXPECT_EQ(dwOpen & 0x80000000u, 0x80000000u) << std::hex << dwOpen;
    SMarkedBuffer out;
    uint32_t dwSize = 16;
    EXPECT_EQ(api.query(writer.Get(), 2, 10, nullptr, &dwSize, out.bytes.data()), 0u);
    EXPECT_EQ(out.Dword(), 0u);
    EXPECT_EQ(api.query(writer.Get(), 1, 11, nullptr, nullptr, nullptr), kNotSupported);
    const auto frame = MakeFrame(spec.format, spec.width, spec.height, 0);
    SPlugFrameInfo info{};
    const uint32_t dwPut = api.put(writer.Get(), 0, frame.data(), &info);
    EXPECT_TRUE(dwPut == 0 || dwPut == 0x80000108) << std::hex << dwPut;
    EXPECT_EQ(writer.Destroy(), 0u);
    EXPECT_FALSE(std::filesystem::exists(File("no-such-folder")));
}

// A full disk: the writer's failure comes back from the deliveries as a
// status, and nothing hangs.
TEST_F(WriterOrdinalsTest, FullDiskGivesAFailureStatus) {
    SClipSpec spec;
    spec.frames = 100;
    spec.sampleRate = 48000;
    const SEncodeResult result = EncodeWithPlug("/dev/full", spec);
    if (result.open == 0) {
        EXPECT_EQ(result.firstPutFailure, 0x80000108u) << std::hex << result.firstPutFailure;
    } else {
        EXPECT_EQ(result.open & 0x80000000u, 0x80000000u) << std::hex << result.open;
    }
    EXPECT_EQ(result.destroy, 0u);
}

}  // namespace
