// Opening real files through the Windows Media layer: clips made with ffmpeg
// for every codec path of the reader, the sample files made by the
// platform's own tools, and files that are no ASF at all.
#include "reader/CAsfStream.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "plugin/MediaRecords.h"
#include "plugin/WMSdkProbe.h"
#include "reader/ExtraData.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "win/Com.h"
#include "wmf/WmAttributes.h"

namespace {

// COM held by the test's own thread for the length of one test, so that no
// thread holds it between tests.
class ComScope {
public:
    ComScope() { m_hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ComScope() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_hr;
};

// The file's duration as the layer reports it, read the way the reader does.
QWORD LayerDuration(const std::filesystem::path& file) {
    ComPtr<IWMSyncReader> pReader;
    EXPECT_EQ(WMCreateSyncReader(nullptr, 0, pReader.Put()), S_OK);
    auto pStream = CROStream::Create();
    EXPECT_EQ(pStream->OpenSource(Wide(file.string()).c_str(), 0, nullptr), S_OK);
    EXPECT_EQ(pReader->OpenStream(pStream.get()), S_OK);
    ComPtr<IWMHeaderInfo3> pHeader;
    EXPECT_EQ(pReader.As(pHeader), S_OK);
    WORD wStream = 0;
    WMT_ATTR_DATATYPE type{};
    QWORD cnsDuration = 0;
    WORD cb = sizeof(cnsDuration);
    EXPECT_EQ(pHeader->GetAttributeByName(&wStream, g_wszWMDuration, &type, reinterpret_cast<BYTE*>(&cnsDuration), &cb),
              S_OK);
    pHeader.Reset();
    pReader->Close();
    pReader.Reset();
    return cnsDuration;
}

struct OpenResult {
    HRESULT hr = E_FAIL;
    SPlugMediaInfo info{};
    SPlugExtraData extra{};
    ~OpenResult() { FreeExtraData(extra); }
};

void OpenFile(const std::filesystem::path& file, OpenResult& result) {
    InitMediaInfo(result.info);
    auto pStream = CAsfStream::Create();
    ASSERT_TRUE(pStream);
    result.hr = pStream->GetStreamInfo(Wide(file.string()).c_str(), 0, nullptr, &result.info, &result.extra);
}

// What a clip holds, and so what its description must say.
struct ClipCase {
    const char* name;
    std::vector<std::string> args;  // ffmpeg's, after -y and before the output
    double cSeconds;                // the clip's length
    bool bVideo;
    uint32_t dwCodecType, dwCodecSubType, dwWidth, dwHeight, dwAspectX, dwAspectY, dwRateNum, dwRateDen,
        dwFrames, dwColorFormat;
    bool bAudio;
    uint32_t dwAudioType, dwAudioSubType, dwSampleRate, dwChannels, dwBits, dwBlockAlign, dwSamplesPerFrame;
};

void PrintTo(const ClipCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<std::string> Inputs(const std::string& video, const std::string& audio) {
    std::vector<std::string> args;
    if (!video.empty()) args.insert(args.end(), {"-f", "lavfi", "-i", video});
    if (!audio.empty()) args.insert(args.end(), {"-f", "lavfi", "-i", audio});
    return args;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kVideo25 = "testsrc=size=320x240:rate=25:duration=2";
const std::string kSine44 = "sine=frequency=440:sample_rate=44100:duration=2";

const ClipCase kClips[] = {
    {"Wmv2WithWma", Join(Inputs(kVideo25, kSine44), {"-ac", "2", "-c:v", "wmv2", "-c:a", "wmav2", "-b:a", "128k"}),
     2.0, true, 12, 0, 320, 240, 4, 3, 25000, 1000, 50, 13, true, 11, 0, 44100, 2, 16, 4, 1},
    {"Wmv1Ntsc", Join(Inputs("testsrc=size=320x240:rate=30000/1001", ""), {"-frames:v", "45", "-c:v", "wmv1"}),
     1.5015, true, 12, 2, 320, 240, 4, 3, 30000, 1001, 45, 13, false, 0, 0, 0, 0, 0, 0, 0},
    {"MsMpeg4V3Fifteen", Join(Inputs("testsrc=size=176x144:rate=15:duration=2", ""), {"-c:v", "msmpeg4"}),
     2.0, true, 12, 0x3334504D, 176, 144, 11, 9, 15000, 1000, 30, 13, false, 0, 0, 0, 0, 0, 0, 0},
    {"Wmv2DroppedFrames",
     Join(Inputs(kVideo25, ""), {"-vf", "select='not(between(n,10,14))'", "-fps_mode", "passthrough", "-c:v", "wmv2"}),
     2.0, true, 12, 0, 320, 240, 4, 3, 25000, 1000, 50, 13, false, 0, 0, 0, 0, 0, 0, 0},
    // ffmpeg's VOL states no fixed rate: the rate is measured from the
    // compressed grid, whose step is 10^7 / 15 rounded, 666667.
    {"Mpeg4Part2",
     Join(Inputs("testsrc=size=320x240:rate=15:duration=2", ""),
          {"-vf", "setsar=12/11", "-c:v", "mpeg4", "-tag:v", "DIVX", "-bsf:v", "dump_extra"}),
     2.0, true, 8, 0, 320, 240, 16, 11, 10000000, 666667, 30, 23, false, 0, 0, 0, 0, 0, 0, 0},
    {"H264",
     Join(Inputs("testsrc=size=352x288:rate=30000/1001", ""),
          {"-frames:v", "45", "-vf", "setsar=12/11", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-bsf:v", "dump_extra"}),
     1.5015, true, 20, 0, 352, 288, 4, 3, 30000, 1001, 45, 23, false, 0, 0, 0, 0, 0, 0, 0},
    {"Mp3", Join(Inputs("", kSine44), {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k"}),
     2.0, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, true, 11, 0, 44100, 2, 16, 4, 1},
    {"Pcm", Join(Inputs("", "sine=frequency=440:sample_rate=22050:duration=2"), {"-c:a", "pcm_s16le"}),
     2.0, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, true, 11, 0, 22050, 1, 16, 2, 1},
    {"Aac", Join(Inputs("", "sine=frequency=440:sample_rate=48000:duration=2"), {"-ac", "2", "-c:a", "aac"}),
     2.0, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, true, 7, 4, 48000, 2, 16, 2, 1024},
    {"Wmv2WithWmaV1", Join(Inputs(kVideo25, kSine44), {"-c:v", "wmv2", "-c:a", "wmav1"}),
     2.0, true, 12, 0, 320, 240, 4, 3, 25000, 1000, 50, 13, false, 0, 0, 0, 0, 0, 0, 0},
};

class CAsfStreamFileTest : public ::testing::TestWithParam<ClipCase> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("asfstream"); }
    static void TearDownTestSuite() { s_dir.reset(); }
    static inline std::unique_ptr<TempDir> s_dir;
    ComScope m_com;
};

TEST_P(CAsfStreamFileTest, DescriptionMatchesTheClip) {
    const ClipCase& c = GetParam();
    const auto file = s_dir->Path() / (std::string(c.name) + ".wmv");
    std::string error;
    ASSERT_TRUE(RunFfmpeg(Join(c.args, {"-f", "asf", file.string()}), &error)) << error;

    OpenResult result;
    ASSERT_NO_FATAL_FAILURE(OpenFile(file, result));
    ASSERT_EQ(result.hr, S_OK);
    const SPlugMediaInfo& info = result.info;
    EXPECT_EQ(info.dwFormatCode, 25u);
    EXPECT_EQ(info.qwFileSize, std::filesystem::file_size(file));

    // The layer's duration ends with the longest stream.
    const QWORD cnsDuration = LayerDuration(file);
    EXPECT_GE(cnsDuration, static_cast<QWORD>(c.cSeconds * 1e7) - 10000) << "within a millisecond of the clip";
    EXPECT_LE(cnsDuration, static_cast<QWORD>(c.cSeconds * 1e7) + 1500000) << "at most 150 ms of audio padding";

    ASSERT_EQ(info.dwVideoPresent, c.bVideo ? 1u : 0u);
    if (c.bVideo) {
        const SPlugVideoStreamInfo& v = info.Video;
        EXPECT_EQ(v.dwCodecType, c.dwCodecType);
        EXPECT_EQ(v.dwCodecSubType, c.dwCodecSubType);
        EXPECT_EQ(v.dwWidth, c.dwWidth);
        EXPECT_EQ(v.dwHeight, c.dwHeight);
        EXPECT_EQ(v.dwAspectX, c.dwAspectX);
        EXPECT_EQ(v.dwAspectY, c.dwAspectY);
        EXPECT_EQ(v.dwFrameRateNum, c.dwRateNum);
        EXPECT_EQ(v.dwFrameRateDen, c.dwRateDen);
        EXPECT_EQ(info.dwVideoFrameCount, c.dwFrames);
        EXPECT_EQ(v.dwFieldOrder, 2u) << "progressive material";
        EXPECT_EQ(v.dwColorFormat, c.dwColorFormat);
        EXPECT_EQ(result.extra.dwKind, 0u) << "only an unknown codec hands its header over";
    }
    ASSERT_EQ(info.dwAudioPresent, c.bAudio ? 1u : 0u);
    if (c.bAudio) {
        const SPlugAudioStreamInfo& a = info.Audio;
        EXPECT_EQ(a.dwAudioType, c.dwAudioType);
        EXPECT_EQ(a.dwAudioSubType, c.dwAudioSubType);
        EXPECT_EQ(a.dwSampleRate, c.dwSampleRate);
        EXPECT_EQ(a.dwChannels, c.dwChannels);
        EXPECT_EQ(a.dwBitsPerSample, c.dwBits);
        EXPECT_EQ(a.dwBlockAlign, c.dwBlockAlign);
        EXPECT_EQ(a.dwSamplesPerFrame, c.dwSamplesPerFrame);
        const auto cExpected = static_cast<uint32_t>(static_cast<double>(cnsDuration) / 1e7 * c.dwSampleRate);
        EXPECT_EQ(info.dwAudioSampleCount, cExpected);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, CAsfStreamFileTest, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.name); });

// What ffprobe reads from a file, to compare the layer's answers with.
std::vector<std::string> ProbeLines(const std::filesystem::path& file, const std::string& options) {
    std::string out;
    EXPECT_EQ(RunCommand("ffprobe -v error " + options + " -of csv=p=0 '" + file.string() + "'", &out), 0);
    std::vector<std::string> lines;
    std::istringstream text(out);
    for (std::string line; std::getline(text, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// Frame grid points from the first video frame to the last: the frames a
// decoder gives, plus the points the gaps between their times leave empty
// (dropped frames). A frame without a time of its own still takes one.
uint32_t GridPoints(const std::filesystem::path& file, double fps) {
    std::vector<double> times;
    uint32_t cFrames = 0;
    const auto lines = ProbeLines(file, "-select_streams v:0 -show_entries frame=best_effort_timestamp_time");
    for (const std::string& line : lines) {
        ++cFrames;
        if (line != "N/A") times.push_back(std::stod(line));
    }
    std::sort(times.begin(), times.end());
    for (size_t i = 1; i < times.size(); ++i)
        cFrames += static_cast<uint32_t>(std::lround((times[i] - times[i - 1]) * fps)) - 1;
    return cFrames;
}

struct SampleCase {
    const char* file;
    bool bVideo;
    uint32_t dwCodecSubType, dwFps, dwAspectX, dwAspectY;
    uint32_t dwAudioSubType;
};
constexpr SampleCase kSamples[] = {
    {"wmv3-wmav2_ball.wmv", true, 1, 30, 4, 3, 0},
    {"wvc1-wmapro_ladybug.wmv", true, 3, 25, 16, 9, 1},
    {"wmv2-wmavoice_seattle.wmv", true, 0, 15, 10, 7, 10},
    {"wmavoice_date_in_year.wma", false, 0, 0, 0, 0, 10},
};

void PrintTo(const SampleCase& c, std::ostream* os) {
    *os << c.file;
}

class CAsfStreamSampleTest : public ::testing::TestWithParam<SampleCase> {
protected:
    ComScope m_com;
};

TEST_P(CAsfStreamSampleTest, DescriptionMatchesThePlatformMadeFile) {
    const SampleCase& c = GetParam();
    if (SamplesDir().empty()) GTEST_SKIP() << "no sample files";
    const auto file = SamplesDir() / c.file;
    OpenResult result;
    ASSERT_NO_FATAL_FAILURE(OpenFile(file, result));
    ASSERT_EQ(result.hr, S_OK);
    const SPlugMediaInfo& info = result.info;
    EXPECT_EQ(info.qwFileSize, std::filesystem::file_size(file));

    ASSERT_EQ(info.dwVideoPresent, c.bVideo ? 1u : 0u);
    if (c.bVideo) {
        const std::vector<std::string> size = ProbeLines(file, "-select_streams v:0 -show_entries stream=width,height");
        ASSERT_EQ(size.size(), 1u);
        EXPECT_EQ(std::to_string(info.Video.dwWidth) + "," + std::to_string(info.Video.dwHeight), size[0]);
        EXPECT_EQ(info.Video.dwCodecType, 12u);
        EXPECT_EQ(info.Video.dwCodecSubType, c.dwCodecSubType);
        EXPECT_EQ(info.Video.dwAspectX, c.dwAspectX);
        EXPECT_EQ(info.Video.dwAspectY, c.dwAspectY);
        // Decoded video steps by 10^7 / fps truncated; its rate in
        // thousandths is then the whole fps.
        EXPECT_EQ(info.Video.dwFrameRateNum, c.dwFps * 1000);
        EXPECT_EQ(info.Video.dwFrameRateDen, 1000u);
        EXPECT_EQ(info.dwVideoFrameCount, GridPoints(file, c.dwFps)) << "dropped frames count as repeated";
        EXPECT_EQ(info.Video.dwFieldOrder, 2u);
        EXPECT_EQ(info.Video.dwColorFormat, 13u);
    }
    ASSERT_EQ(info.dwAudioPresent, 1u);
    const std::vector<std::string> audio =
        ProbeLines(file, "-select_streams a:0 -show_entries stream=sample_rate,channels");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(std::to_string(info.Audio.dwSampleRate) + "," + std::to_string(info.Audio.dwChannels), audio[0]);
    EXPECT_EQ(info.Audio.dwAudioType, 11u);
    EXPECT_EQ(info.Audio.dwAudioSubType, c.dwAudioSubType);
    EXPECT_TRUE(info.Audio.dwBitsPerSample == 16 || info.Audio.dwBitsPerSample == 24) << info.Audio.dwBitsPerSample;
    EXPECT_EQ(info.Audio.dwBlockAlign, info.Audio.dwChannels * info.Audio.dwBitsPerSample / 8);
    const QWORD cnsDuration = LayerDuration(file);
    EXPECT_EQ(info.dwAudioSampleCount,
              static_cast<uint32_t>(static_cast<double>(cnsDuration) / 1e7 * info.Audio.dwSampleRate));
}

INSTANTIATE_TEST_SUITE_P(Samples, CAsfStreamSampleTest, ::testing::ValuesIn(kSamples), [](const auto& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    std::erase_if(name, [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); });
    return name;
});

struct BadInput {
    const char* name;
    // Makes the input in dir and returns its path.
    std::filesystem::path (*make)(const std::filesystem::path& dir);
};

const BadInput kBadInputs[] = {
    {"Missing", [](const std::filesystem::path& dir) { return dir / "missing.wmv"; }},
    {"Directory", [](const std::filesystem::path& dir) { return dir; }},
    {"Empty",
     [](const std::filesystem::path& dir) {
         std::ofstream(dir / "empty.wmv").close();
         return dir / "empty.wmv";
     }},
    {"Garbage",
     [](const std::filesystem::path& dir) {
         std::ofstream out(dir / "garbage.wmv", std::ios::binary);
         for (int i = 0; i < 100000; ++i) out.put(static_cast<char>((i * 7919) >> 3));
         return dir / "garbage.wmv";
     }},
    {"WaveFile",
     [](const std::filesystem::path& dir) {
         EXPECT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=duration=1", (dir / "tone.wav").string()}));
         return dir / "tone.wav";
     }},
};

void PrintTo(const BadInput& c, std::ostream* os) {
    *os << c.name;
}

class CAsfStreamBadInputTest : public ::testing::TestWithParam<BadInput> {
protected:
    ComScope m_com;
};

TEST_P(CAsfStreamBadInputTest, OpeningGivesAFailureStatus) {
    TempDir dir("badinput");
    const auto file = GetParam().make(dir.Path());
    OpenResult result;
    ASSERT_NO_FATAL_FAILURE(OpenFile(file, result));
    EXPECT_TRUE(FAILED(result.hr)) << std::hex << result.hr;
    EXPECT_EQ(result.info.dwVideoPresent, 0u);
    EXPECT_EQ(result.info.dwAudioPresent, 0u);
}

INSTANTIATE_TEST_SUITE_P(Inputs, CAsfStreamBadInputTest, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CAsfStreamBadInputReasonTest, MissingFileAndDirectorySayWhy) {
    ComScope com;
    TempDir dir("badinput");
    OpenResult missing;
    ASSERT_NO_FATAL_FAILURE(OpenFile(dir.Path() / "missing.wmv", missing));
    EXPECT_EQ(missing.hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    OpenResult folder;
    ASSERT_NO_FATAL_FAILURE(OpenFile(dir.Path(), folder));
    EXPECT_EQ(folder.hr, E_ACCESSDENIED);
}

// No test of this process holds COM outside its own body, so a fresh thread
// that does not initialise it has none.
TEST(WMSdkProbeTest, AnswersByTheCallingThreadsCom) {
    {
        ComScope com;
        EXPECT_EQ(IsWMSDKAvailable(), 1u);
    }
    uint32_t dwAvailable = 2;
    HRESULT hrOpen = S_OK;
    std::vector<std::u16string> debugLines;
    std::thread([&] {
        LogCapture log;
        dwAvailable = IsWMSDKAvailable();
        OpenResult result;
        OpenFile("/any/file.wmv", result);
        hrOpen = result.hr;
        debugLines = log.Debug();
    }).join();
    EXPECT_EQ(dwAvailable, 0u);
    EXPECT_EQ(hrOpen, MakeHr(0x8000000C));
    EXPECT_EQ(debugLines, std::vector<std::u16string>{u"Need Initialize COM for winmedia SDK\n"});
}

}  // namespace
