// The larger matrix of written files: every colour format at several sizes
// and frame rates, with and without audio, with and without normalisation,
// in one pass and in two, each file read back with ffmpeg and played with
// GStreamer.
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "support/TempDir.h"
#include "writer/WriterHost.h"

namespace {

// Each format with a size and an audio rate of its own.
struct SFormatCase {
    const char* name;
    PLUG_COLOR_FORMAT_ format;
    uint32_t width;
    uint32_t height;
    uint32_t sampleRate;
};
constexpr SFormatCase kFormats[] = {
    {"I420", PLUG_COLOR_FORMAT_I420, 352, 288, 48000},
    {"Yuy2", PLUG_COLOR_FORMAT_YUY2, 320, 240, 44100},
    {"Uyvy", PLUG_COLOR_FORMAT_UYVY, 176, 144, 48000},
    {"Rgb32", PLUG_COLOR_FORMAT_RGB32, 160, 120, 44100},
};

struct SRateCase {
    const char* name;
    uint32_t num;
    uint32_t den;
};
constexpr SRateCase kRates[] = {{"Pal", 25, 1}, {"Ntsc", 30000, 1001}, {"Fifty", 50, 1}};

struct SModeCase {
    const char* name;
    bool normalise;
    bool twoPass;
};
constexpr SModeCase kModes[] = {{"Normalised", true, false}, {"Raw", false, false}, {"TwoPass", true, true}};

using MatrixParam = std::tuple<SFormatCase, SRateCase, SModeCase, bool>;

class MuxerForWinMediaMatrixTest : public ::testing::TestWithParam<MatrixParam> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("matrix"); }
    static void TearDownTestSuite() { s_dir.reset(); }
    void SetUp() override { ASSERT_NE(Plug().create, nullptr) << "plug-in not loaded"; }

    static inline std::unique_ptr<TempDir> s_dir;
};

// Video frames GStreamer decodes from the file while it plays both
// streams; -1 when it cannot play it.
int GStreamerVideoFrames(const std::filesystem::path& file, bool bAudio) {
    std::string pipeline = "timeout 60 gst-launch-1.0 -v filesrc location='" + file.string() +
                           "' ! asfdemux name=d d.video_0 ! queue ! decodebin ! videoconvert ! "
                           "fakesink name=vsink silent=false";
    if (bAudio) pipeline += " d.audio_0 ! queue ! decodebin ! audioconvert ! fakesink";
    std::string out;
    if (RunCommand(pipeline + " 2>&1", &out) != 0) return -1;
    int frames = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("vsink") != std::string::npos && line.find("chain") != std::string::npos) ++frames;
    }
    return frames;
}

TEST_P(MuxerForWinMediaMatrixTest, FileIsRightAndPlays) {
    const auto& [format, rate, mode, bAudio] = GetParam();
    SClipSpec spec;
    spec.format = format.format;
    spec.width = format.width;
    spec.height = format.height;
    spec.rateNum = rate.num;
    spec.rateDen = rate.den;
    spec.frames = (2 * rate.num + rate.den / 2) / rate.den;  // two seconds
    spec.sampleRate = bAudio ? format.sampleRate : 0;
    spec.normalise = mode.normalise;
    spec.twoPass = mode.twoPass;
    SCOPED_TRACE(Describe(spec));
    const auto file = s_dir->Path() / "clip.wmv";
    ASSERT_NO_FATAL_FAILURE(ExpectEncodeSucceeded(EncodeWithPlug(file, spec), spec));
    ExpectFileMatches(ReadBack(file), spec);

    if (RunCommand("command -v gst-launch-1.0 >/dev/null") != 0) GTEST_SKIP() << "no GStreamer";
    EXPECT_EQ(GStreamerVideoFrames(file, bAudio), static_cast<int>(spec.frames)) << "frames GStreamer played";
}

std::string MatrixName(const ::testing::TestParamInfo<MatrixParam>& info) {
    const auto& [format, rate, mode, bAudio] = info.param;
    return std::string(format.name) + rate.name + mode.name + (bAudio ? "Audio" : "VideoOnly");
}

INSTANTIATE_TEST_SUITE_P(Matrix, MuxerForWinMediaMatrixTest,
                         ::testing::Combine(::testing::ValuesIn(kFormats), ::testing::ValuesIn(kRates),
                                            ::testing::ValuesIn(kModes), ::testing::Bool()),
                         MatrixName);

}  // namespace
