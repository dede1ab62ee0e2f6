// vrxwm audio on a clip with a 440 Hz tone: the WAV holds the tone, the
// whole stream or exactly the slice asked for.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CToneSource.h"
#include "vrxwm/WavFile.h"

namespace {

std::vector<int16_t> Samples(const std::filesystem::path& file, int* pChannels, int* pRate) {
    CWavReader wav(file);
    *pChannels = wav.Channels();
    *pRate = wav.SampleRate();
    EXPECT_EQ(wav.SampleFormat(), AV_SAMPLE_FMT_S16);
    std::vector<int16_t> samples;
    std::vector<int16_t> chunk(4096 * static_cast<size_t>(wav.Channels()));
    while (const int n = wav.Read(reinterpret_cast<uint8_t*>(chunk.data()), 4096))
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + n * wav.Channels());
    return samples;
}

class VrxwmAudioTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("vrxwmaudio");
        ASSERT_NO_FATAL_FAILURE(MakePatternWmv(s_dir->Path() / "clip.wmv", 160, 120, 50));
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static SRun Run(const std::vector<std::string>& args) { return RunVrxwm(args, s_dir->Path()); }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(VrxwmAudioTest, WholeStreamIsTheTone) {
    const SRun info = Run({"info", "clip.wmv", "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const int sampleCount = nlohmann::json::parse(info.out)["audio"]["sample_count"];
    const SRun run = Run({"audio", "clip.wmv", "--out", "all.wav"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int channels = 0;
    int rate = 0;
    const auto samples = Samples(s_dir->Path() / "all.wav", &channels, &rate);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100);
    ASSERT_EQ(samples.size(), static_cast<size_t>(sampleCount) * 2);
    // The codec's ramp at either end aside.
    const int64_t skip = 4410;
    EXPECT_GT(CToneSource::ToneShare(samples.data() + skip * 2, sampleCount - 2 * skip, 2, 44100, 440), 0.9);
}

TEST_F(VrxwmAudioTest, RangeIsExactlyThatSliceOfTheWhole) {
    const SRun whole = Run({"audio", "clip.wmv", "--out", "whole.wav"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(whole);
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    int channels = 0;
    int rate = 0;
    const auto all = Samples(s_dir->Path() / "whole.wav", &channels, &rate);
    struct SSlice {
        const char* range;
        size_t first;
        size_t end;
    };
    for (const SSlice& slice : {SSlice{"0.5:1.5", 22050, 66150}, SSlice{"1000smp:1100smp", 1000, 1100},
                                SSlice{"1.25s:", 55125, all.size() / 2}}) {
        SCOPED_TRACE(slice.range);
        const SRun run = Run({"audio", "clip.wmv", "--out", "slice.wav", "--range", slice.range});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto part = Samples(s_dir->Path() / "slice.wav", &channels, &rate);
        ASSERT_EQ(part.size(), (slice.end - slice.first) * 2);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), all.begin() + static_cast<std::ptrdiff_t>(slice.first * 2)))
            << "the slice differs from the same samples of the whole";
    }
}

}  // namespace
