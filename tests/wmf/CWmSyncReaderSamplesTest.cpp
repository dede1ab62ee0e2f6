// The reader on the sample files made by the platform's own tools (WMV3,
// VC-1 with B-frames, WMV2 with dropped frames, WMA v2, Pro and Voice):
// every frame on the grid, the frame count, and SetRange results equal to a
// sequential decode, for video and audio alike.
#include <gtest/gtest.h>

#include <random>

#include "wmf/ReaderTestSupport.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

struct SSample {
    const char* file;
};
constexpr SSample kSamples[] = {{"wmv3-wmav2_ball.wmv"},
                                {"wvc1-wmapro_ladybug.wmv"},
                                {"wmv2-wmavoice_seattle.wmv"},
                                {"wmavoice_date_in_year.wma"}};

// The last stored video time (ms) and the number of video objects, as
// FFmpeg's demuxer reads them.
void StoredVideo(const std::filesystem::path& path, int64_t& lastMs, size_t& objects) {
    lastMs = -1;
    objects = 0;
    AVFormatContext* raw = avformat_alloc_context();
    raw->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    if (avformat_open_input(&raw, path.c_str(), av_find_input_format("asf"), nullptr) < 0) return;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(raw, pkt) >= 0) {
        if (raw->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            lastMs = std::max<int64_t>(lastMs, pkt->dts);
            ++objects;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&raw);
}

class CWmSyncReaderSamplesTest : public ::testing::TestWithParam<SSample> {
protected:
    void SetUp() override {
        const auto dir = SamplesDir();
        if (dir.empty()) GTEST_SKIP() << "VRX_SAMPLES_DIR is not set";
        m_path = dir / GetParam().file;
        if (!std::filesystem::exists(m_path)) GTEST_SKIP() << m_path << " is missing";
    }
    CComScope m_com;
    std::filesystem::path m_path;
};

TEST_P(CWmSyncReaderSamplesTest, VideoFramesLieOnTheGridAndSeekExactly) {
    auto reader = OpenReader(m_path);
    ASSERT_TRUE(reader);
    DWORD output = 0;
    const WORD stream = OutputStream(reader.Get(), MEDIATYPE_Video, &output);
    if (!stream) GTEST_SKIP() << "no video";
    ASSERT_TRUE(UseOutputFormat(reader.Get(), output, MEDIASUBTYPE_YUY2));
    std::vector<SReadSample> samples;
    SReadSample s;
    while (ReadSample(reader.Get(), stream, s) == S_OK) samples.push_back(s);
    ASSERT_GE(samples.size(), 2u);
    const QWORD step = samples[1].time;
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(samples[i].time, i * step) << i;
    // Every stored frame has a point of its own, and no point lies beyond
    // the last stored time (B-frame streams store times ahead of their
    // pictures, so theirs end a little earlier).
    int64_t lastMs = 0;
    size_t objects = 0;
    StoredVideo(m_path, lastMs, objects);
    const auto spanned = static_cast<size_t>((lastMs * 10'000 + static_cast<int64_t>(step) / 2) / step) + 1;
    EXPECT_GE(samples.size(), objects);
    EXPECT_LE(samples.size(), spanned);
    EXPECT_GE(DurationOf(reader.Get()), samples.size() * step);

    std::mt19937 rng(2024);
    const QWORD end = samples.size() * step;
    for (int k = 0; k < 120; ++k) {
        QWORD t = (rng() % (samples.size() + 2)) * step;
        if (k % 3 == 1) t += rng() % step;
        if (k % 3 == 2 && t) --t;
        SCOPED_TRACE(t);
        ASSERT_EQ(reader->SetRange(t, 0), S_OK);
        const HRESULT hr = ReadSample(reader.Get(), stream, s);
        if (t >= end) {
            EXPECT_EQ(hr, NS_E_NO_MORE_SAMPLES);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(s.time, samples[t / step].time);
        EXPECT_EQ(s.hash, samples[t / step].hash);
    }
}

TEST_P(CWmSyncReaderSamplesTest, AudioAfterSetRangeEqualsSequentialDecode) {
    auto reader = OpenReader(m_path);
    ASSERT_TRUE(reader);
    DWORD output = 0;
    const WORD stream = OutputStream(reader.Get(), MEDIATYPE_Audio, &output);
    if (!stream) GTEST_SKIP() << "no decoded audio";
    ComPtr<IWMOutputMediaProps> props;
    ASSERT_EQ(reader->GetOutputProps(output, props.Put()), S_OK);
    const WmMediaType type = ReadMediaType(props.Get());
    const WAVEFORMATEX wfx = *type.WaveFormat();
    const size_t block = wfx.nBlockAlign;
    std::vector<BYTE> all;
    SReadSample s;
    while (ReadSample(reader.Get(), stream, s) == S_OK) all.insert(all.end(), s.data.begin(), s.data.end());
    const uint64_t total = all.size() / block;
    ASSERT_GT(total, 0u);
    // Duration covers the whole sample count.
    EXPECT_GE(DurationOf(reader.Get()) * wfx.nSamplesPerSec / 10'000'000, total);
    std::mt19937 rng(77);
    for (int k = 0; k < 60; ++k) {
        const QWORD t = rng() % (total * 10'000'000 / wfx.nSamplesPerSec);
        SCOPED_TRACE(t);
        ASSERT_EQ(reader->SetRange(t, 0), S_OK);
        const uint64_t first = (t * wfx.nSamplesPerSec + 9'999'999) / 10'000'000;
        std::vector<BYTE> got;
        while (got.size() < 8192 * block && ReadSample(reader.Get(), stream, s) == S_OK)
            got.insert(got.end(), s.data.begin(), s.data.end());
        ASSERT_FALSE(got.empty());
        const size_t cmp = std::min(got.size(), all.size() - first * block);
        EXPECT_EQ(std::memcmp(got.data(), all.data() + first * block, cmp), 0);
    }
}

std::string SampleName(const ::testing::TestParamInfo<SSample>& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('.'));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}
INSTANTIATE_TEST_SUITE_P(Platform, CWmSyncReaderSamplesTest, ::testing::ValuesIn(kSamples), SampleName);

}  // namespace
