// WAV files in the shapes tools write them, against the ffmpeg tool.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/WavFile.h"

namespace {

struct SWavCase {
    const char* name;
    const char* codec;
    int channels;
    AVSampleFormat format;  // as the reader hands the samples out
};

void PrintTo(const SWavCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr SWavCase kCases[] = {
    {"S16Stereo", "pcm_s16le", 2, AV_SAMPLE_FMT_S16},
    {"S24SixChannels", "pcm_s24le", 6, AV_SAMPLE_FMT_S32},
    {"F32Mono", "pcm_f32le", 1, AV_SAMPLE_FMT_FLT},
    {"U8Mono", "pcm_u8", 1, AV_SAMPLE_FMT_U8},
};

class WavFileTest : public ::testing::TestWithParam<SWavCase> {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("wav"); }
    static void TearDownTestSuite() { s_dir.reset(); }
    static inline std::unique_ptr<TempDir> s_dir;
};

// The reader's samples equal ffmpeg's decode of the same file, converted to
// the same sample format.
TEST_P(WavFileTest, SamplesEqualFfmpegDecode) {
    const SWavCase& c = GetParam();
    const auto wav = s_dir->Path() / (std::string(c.name) + ".wav");
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=1000:sample_rate=22050:duration=0.5", "-ac",
                           std::to_string(c.channels), "-c:a", c.codec, wav.string()},
                          &error))
        << error;
    const char* rawFormat = c.format == AV_SAMPLE_FMT_S32 ? "s32le"
                            : c.format == AV_SAMPLE_FMT_FLT ? "f32le"
                            : c.format == AV_SAMPLE_FMT_U8  ? "u8"
                                                            : "s16le";
    std::string expected;
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + wav.string() + "' -f " + rawFormat + " -", &expected), 0);

    CWavReader reader(wav);
    EXPECT_EQ(reader.SampleRate(), 22050);
    EXPECT_EQ(reader.Channels(), c.channels);
    EXPECT_EQ(reader.SampleFormat(), c.format);
    EXPECT_EQ(reader.FrameCount(), 11025);
    std::string got;
    std::vector<uint8_t> chunk(1000 * static_cast<size_t>(reader.BytesPerFrame()));
    while (const int n = reader.Read(chunk.data(), 1000))
        got.append(reinterpret_cast<const char*>(chunk.data()), static_cast<size_t>(n * reader.BytesPerFrame()));
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "samples differ";
}

INSTANTIATE_TEST_SUITE_P(Formats, WavFileTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

class CWavWriterTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = std::make_unique<TempDir>("wavwriter"); }
    std::unique_ptr<TempDir> m_dir;
};

TEST_F(CWavWriterTest, WrittenFileDecodesToTheSameSamples) {
    for (const int channels : {2, 6}) {
        SCOPED_TRACE(channels);
        std::vector<int16_t> samples(4410 * static_cast<size_t>(channels));
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 37 % 65536 - 32768);
        const auto file = m_dir->Path() / ("out" + std::to_string(channels) + ".wav");
        CWavWriter writer(file, 44100, channels, 16);
        // In two writes of whole sample frames.
        const size_t cbFirst = 1001 * 2 * static_cast<size_t>(channels);
        writer.Write(reinterpret_cast<const uint8_t*>(samples.data()), cbFirst);
        writer.Write(reinterpret_cast<const uint8_t*>(samples.data()) + cbFirst, samples.size() * 2 - cbFirst);
        writer.Close();

        const auto probe = Probe(file);
        const auto& audio = StreamOf(probe, "audio");
        EXPECT_EQ(audio.value("sample_rate", ""), "44100");
        EXPECT_EQ(audio.value("channels", 0), channels);
        std::string decoded;
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + file.string() + "' -f s16le -", &decoded), 0);
        ASSERT_EQ(decoded.size(), samples.size() * 2);
        EXPECT_EQ(std::memcmp(decoded.data(), samples.data(), decoded.size()), 0);
    }
}

TEST_F(CWavWriterTest, ReaderRefusesWhatIsNotPcmWave) {
    const auto file = m_dir->Path() / "tone.mp3";
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=duration=0.2", "-f", "mp3", file.string()}, &error)) << error;
    EXPECT_THROW(CWavReader reader(file), CStatusError);
    const auto alaw = m_dir->Path() / "alaw.wav";
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=duration=0.2", "-c:a", "pcm_alaw", alaw.string()}, &error))
        << error;
    EXPECT_THROW(CWavReader reader(alaw), CStatusError);
}

}  // namespace
