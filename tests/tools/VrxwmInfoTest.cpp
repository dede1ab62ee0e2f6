// vrxwm info on generated files, against ffprobe, and on the sample files
// the platform's own tools made.
#include <gtest/gtest.h>

#include <memory>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"

namespace {

class VrxwmInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("vrxwminfo");
        ASSERT_NO_FATAL_FAILURE(MakePatternWmv(s_dir->Path() / "clip.wmv", 160, 120, 50));
        std::string error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=1.5", "-c:a",
                               "wmav2", "-b:a", "32k", (s_dir->Path() / "tone.wma").string()},
                              &error))
            << error;
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static SRun Run(const std::vector<std::string>& args) { return RunVrxwm(args, s_dir->Path()); }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(VrxwmInfoTest, JsonAgreesWithFfprobe) {
    const SRun run = Run({"info", "clip.wmv", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto info = nlohmann::json::parse(run.out);
    const auto probe = Probe(s_dir->Path() / "clip.wmv");
    const auto& video = StreamOf(probe, "video");
    EXPECT_EQ(info["video"]["codec"], "WMV2");
    EXPECT_EQ(info["video"]["width"], video.value("width", 0));
    EXPECT_EQ(info["video"]["height"], video.value("height", 0));
    EXPECT_EQ(info["video"]["frame_rate"], video.value("r_frame_rate", ""));
    EXPECT_EQ(std::to_string(info["video"]["frame_count"].get<int>()), video.value("nb_read_frames", ""));
    EXPECT_EQ(info["video"]["display_aspect"], "4:3");
    EXPECT_NEAR(info["video"]["duration"].get<double>(), 2.0, 0.05);
    const auto& audio = StreamOf(probe, "audio");
    EXPECT_EQ(std::to_string(info["audio"]["sample_rate"].get<int>()), audio.value("sample_rate", ""));
    EXPECT_EQ(info["audio"]["channels"], audio.value("channels", 0));
    // Two seconds of audio, give or take the codec's last block.
    EXPECT_NEAR(info["audio"]["sample_count"].get<double>(), 88200.0, 2048.0);
    EXPECT_EQ(info["size"], std::filesystem::file_size(s_dir->Path() / "clip.wmv"));
}

TEST_F(VrxwmInfoTest, TableNamesStreamsAndFormats) {
    const SRun run = Run({"info", "clip.wmv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* text : {"video\n", "WMV2", "160x120", "25/1", "frames           50", "audio\n",
                             "44100 Hz stereo, 16-bit"})
        EXPECT_NE(run.out.find(text), std::string::npos) << "no \"" << text << "\" in\n" << run.out;
}

// The name reaches the reader as UTF-16 and the disk as UTF-8 again.
TEST_F(VrxwmInfoTest, NamesBeyondAsciiAreFound) {
    std::filesystem::copy_file(s_dir->Path() / "clip.wmv", s_dir->Path() / "clïp ü€.wmv",
                               std::filesystem::copy_options::overwrite_existing);
    const SRun run = Run({"info", "clïp ü€.wmv", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)["video"]["frame_count"], 50);
}

TEST_F(VrxwmInfoTest, AudioOnlyFileHasNoVideo) {
    const SRun run = Run({"info", "tone.wma", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto info = nlohmann::json::parse(run.out);
    EXPECT_TRUE(info["video"].is_null()) << run.out;
    EXPECT_EQ(info["audio"]["sample_rate"], 22050);
    EXPECT_EQ(info["audio"]["channels"], 1);
    EXPECT_NEAR(info["audio"]["sample_count"].get<double>(), 33075.0, 2048.0);
}

struct SSampleCase {
    const char* file;
    const char* videoCodec;  // null: no video
    const char* audioCodec;
};

void PrintTo(const SSampleCase& c, std::ostream* os) {
    *os << c.file;
}

constexpr SSampleCase kSamples[] = {
    {"wmv3-wmav2_ball.wmv", "WMV3", "Windows Media Audio"},
    {"wvc1-wmapro_ladybug.wmv", "VC-1 Advanced", "WMA Pro"},
    {"wmv2-wmavoice_seattle.wmv", "WMV2", "WMA Voice"},
    {"wmavoice_date_in_year.wma", nullptr, "WMA Voice"},
};

class VrxwmSampleInfoTest : public ::testing::TestWithParam<SSampleCase> {};

TEST_P(VrxwmSampleInfoTest, NamesTheCodecsOfPlatformMadeFiles) {
    const SSampleCase& c = GetParam();
    ASSERT_FALSE(SamplesDir().empty()) << "the sample files (VRX_SAMPLES_DIR) are missing";
    TempDir dir("vrxwmsample");
    const SRun run = RunVrxwm({"info", (SamplesDir() / c.file).string(), "--json"}, dir.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto info = nlohmann::json::parse(run.out);
    if (c.videoCodec) {
        EXPECT_EQ(info["video"]["codec"], c.videoCodec);
        EXPECT_GT(info["video"]["frame_count"].get<int>(), 0);
    } else {
        EXPECT_TRUE(info["video"].is_null());
    }
    EXPECT_EQ(info["audio"]["codec"], c.audioCodec);
    EXPECT_GT(info["audio"]["sample_count"].get<int>(), 0);
}

INSTANTIATE_TEST_SUITE_P(Samples, VrxwmSampleInfoTest, ::testing::ValuesIn(kSamples), [](const auto& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    std::erase_if(name, [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); });
    return name;
});

}  // namespace
