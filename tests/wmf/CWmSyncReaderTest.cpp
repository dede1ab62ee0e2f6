// The reader on files made by FFmpeg: outputs and formats, the exact frame
// grid, seeking that equals a sequential decode, compressed delivery, AAC
// frames and the codes for bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>

#include "support/TempDir.h"
#include "wmf/ReaderTestSupport.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

struct SClip {
    const char* name;
    std::vector<std::string> args;  // ffmpeg arguments before the output file
};

const std::vector<SClip>& Clips() {
    static const std::vector<SClip> clips = {
        {"cfr25", {"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:duration=2", "-f", "lavfi", "-i",
                   "sine=frequency=440:sample_rate=44100:duration=2", "-c:v", "wmv2", "-g", "10", "-c:a",
                   "wmav2", "-b:a", "64k"}},
        {"cfr25negts", {"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:duration=2", "-f", "lavfi", "-i",
                        "sine=frequency=440:sample_rate=44100:duration=2", "-c:v", "wmv2", "-g", "10", "-c:a",
                        "wmav2", "-b:a", "64k", "-avoid_negative_ts", "disabled"}},
        {"ntsc", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=30000/1001:duration=2", "-f", "lavfi", "-i",
                  "sine=frequency=300:sample_rate=44100:duration=2", "-c:v", "msmpeg4", "-g", "12", "-c:a",
                  "libmp3lame", "-b:a", "64k"}},
        {"fps15", {"-f", "lavfi", "-i", "testsrc=size=128x96:rate=15:duration=2", "-f", "lavfi", "-i",
                   "sine=frequency=500:sample_rate=22050:duration=3", "-c:v", "wmv1", "-g", "8", "-c:a",
                   "pcm_s16le"}},
        {"fps24", {"-f", "lavfi", "-i", "testsrc=size=160x96:rate=24:duration=2", "-c:v", "wmv2", "-g", "12"}},
        {"dropped", {"-f", "lavfi", "-i", "testsrc=size=128x96:rate=25:duration=2", "-vf",
                     "select=not(between(n\\,10\\,14))", "-fps_mode", "passthrough", "-c:v", "wmv2", "-g", "10"}},
        {"vfr", {"-f", "lavfi", "-i", "testsrc=size=128x96:rate=25:duration=2", "-vf",
                 "settb=1/1000,setpts=if(lt(N\\,20)\\,N*0.04\\,0.8+(N-20)*0.0333)/TB", "-fps_mode",
                 "passthrough", "-enc_time_base", "1/1000", "-c:v", "wmv2", "-g", "10"}},
        {"wma", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2", "-ac", "2", "-c:a",
                 "wmav2", "-b:a", "96k"}},
        {"mp3", {"-f", "lavfi", "-i", "sine=frequency=700:sample_rate=48000:duration=2", "-c:a", "libmp3lame",
                 "-b:a", "128k"}},
        {"twovideo", {"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:duration=1", "-f", "lavfi", "-i",
                      "testsrc2=size=160x120:rate=15:duration=1", "-map", "0", "-map", "1", "-c:v:0", "wmv2",
                      "-c:v:1", "wmv1", "-g", "10"}},
        {"h264", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i",
                  "sine=frequency=440:sample_rate=48000:duration=2", "-c:v", "libx264", "-bf", "2", "-g", "12",
                  "-pix_fmt", "yuv420p", "-bsf:v", "dump_extra", "-c:a", "aac", "-b:a", "96k"}},
        {"h264negts", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "libx264", "-bf",
                       "2", "-g", "12", "-pix_fmt", "yuv420p", "-bsf:v", "dump_extra", "-avoid_negative_ts",
                       "disabled"}},
        {"divx", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mpeg4", "-tag:v",
                  "DIVX", "-bsf:v", "dump_extra", "-g", "12"}},
    };
    return clips;
}

// The file up to the end of its data object, with the file size in its
// File Properties object made to match: a file without an index.
void WriteWithoutIndex(const std::filesystem::path& from, const std::filesystem::path& to) {
    auto bytes = FileBytes(from);
    const auto find = [&](std::initializer_list<BYTE> guid) {
        const auto it = std::search(bytes.begin(), bytes.end(), guid.begin(), guid.end());
        return static_cast<size_t>(it - bytes.begin());
    };
    const size_t data = find({0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11});
    const size_t props = find({0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11});
    ASSERT_LT(data + 24, bytes.size());
    ASSERT_LT(props + 48, bytes.size());
    uint64_t size = 0;
    std::memcpy(&size, &bytes[data + 16], sizeof size);
    ASSERT_LT(data + size, bytes.size()) << "the fixture should have an index after its data";
    bytes.resize(data + size);
    const uint64_t fileSize = bytes.size();
    std::memcpy(&bytes[props + 40], &fileSize, sizeof fileSize);
    std::ofstream(to, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

class CWmSyncReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("syncreader");
        for (const auto& clip : Clips()) {
            auto args = clip.args;
            args.push_back((s_dir->Path() / (std::string(clip.name) + ".wmv")).string());
            std::string error;
            ASSERT_TRUE(RunFfmpeg(args, &error)) << error;
        }
        ASSERT_NO_FATAL_FAILURE(WriteWithoutIndex(Clip("cfr25"), Clip("noindex")));
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static std::filesystem::path Clip(const char* name) { return s_dir->Path() / (std::string(name) + ".wmv"); }

    CComScope m_com;
    static inline std::unique_ptr<TempDir> s_dir;
};

// The file with more objects appended to its header object (their GUID and
// size included); the data that follows is unchanged.
std::vector<BYTE> WithHeaderObjects(std::vector<BYTE> bytes, const std::vector<BYTE>& objects) {
    uint64_t size = 0;
    uint32_t count = 0;
    std::memcpy(&size, &bytes[16], sizeof size);
    std::memcpy(&count, &bytes[24], sizeof count);
    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(size), objects.begin(), objects.end());
    size += objects.size();
    count += 1;
    std::memcpy(&bytes[16], &size, sizeof size);
    std::memcpy(&bytes[24], &count, sizeof count);
    return bytes;
}

template <class T>
void Put(std::vector<BYTE>& out, T value) {
    const auto* p = reinterpret_cast<const BYTE*>(&value);
    out.insert(out.end(), p, p + sizeof value);
}

std::vector<BYTE> Object(const GUID& id, const std::vector<BYTE>& body) {
    std::vector<BYTE> out;
    Put(out, id);
    Put(out, static_cast<uint64_t>(24 + body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Every video sample of a reader opened fresh, with its picture in YUY2.
std::vector<SReadSample> ReadAllVideo(IWMSyncReader* reader, WORD stream) {
    std::vector<SReadSample> samples;
    EXPECT_EQ(reader->SetRange(0, 0), S_OK);
    SReadSample s;
    HRESULT hr;
    while ((hr = ReadSample(reader, stream, s)) == S_OK) samples.push_back(s);
    EXPECT_EQ(hr, NS_E_NO_MORE_SAMPLES);
    return samples;
}

ComPtr<IWMSyncReader> OpenForVideo(const std::filesystem::path& path, WORD& stream) {
    auto reader = OpenReader(path);
    DWORD output = 0;
    stream = reader ? OutputStream(reader.Get(), MEDIATYPE_Video, &output) : 0;
    if (stream) {
        EXPECT_TRUE(UseOutputFormat(reader.Get(), output, MEDIASUBTYPE_YUY2));
    }
    return reader;
}

struct SGridCase {
    const char* clip;
    QWORD step;
    size_t frames;
};
constexpr SGridCase kGridCases[] = {
    {"cfr25", 400'000, 50}, {"cfr25negts", 400'000, 50}, {"ntsc", 333'667, 60}, {"fps15", 666'666, 30},
    {"fps24", 416'666, 48}, {"dropped", 400'000, 50}, {"noindex", 400'000, 50},
};

class GridTest : public CWmSyncReaderTest, public ::testing::WithParamInterface<SGridCase> {};

TEST_P(GridTest, EveryFrameOnTheGridFromZero) {
    const SGridCase& c = GetParam();
    WORD stream = 0;
    auto reader = OpenForVideo(Clip(c.clip), stream);
    ASSERT_TRUE(reader && stream);
    const auto samples = ReadAllVideo(reader.Get(), stream);
    ASSERT_EQ(samples.size(), c.frames);
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(samples[i].time, i * c.step);
    }
    // The frame step comes from the times alone: no frame duration is stated.
    DWORD output = 0;
    OutputStream(reader.Get(), MEDIATYPE_Video, &output);
    ComPtr<IWMOutputMediaProps> props;
    ASSERT_EQ(reader->GetOutputProps(output, props.Put()), S_OK);
    EXPECT_EQ(ReadMediaType(props.Get()).VideoInfo()->AvgTimePerFrame, 0);
    EXPECT_GE(DurationOf(reader.Get()), c.frames * c.step);
}

std::string GridName(const ::testing::TestParamInfo<SGridCase>& info) { return info.param.clip; }
INSTANTIATE_TEST_SUITE_P(Clips, GridTest, ::testing::ValuesIn(kGridCases), GridName);

TEST_F(CWmSyncReaderTest, DroppedFramesRepeatThePreviousPicture) {
    WORD stream = 0;
    auto reader = OpenForVideo(Clip("dropped"), stream);
    ASSERT_TRUE(reader && stream);
    const auto samples = ReadAllVideo(reader.Get(), stream);
    ASSERT_EQ(samples.size(), 50u);
    for (size_t i = 10; i < 15; ++i) EXPECT_EQ(samples[i].hash, samples[9].hash) << "frame " << i;
    EXPECT_NE(samples[15].hash, samples[9].hash);
    EXPECT_NE(samples[9].hash, samples[8].hash);
}

TEST_F(CWmSyncReaderTest, VariableRateTakesTheLowestRateGivingEveryFrameItsPoint) {
    WORD stream = 0;
    auto reader = OpenForVideo(Clip("vfr"), stream);
    ASSERT_TRUE(reader && stream);
    const auto samples = ReadAllVideo(reader.Get(), stream);
    ASSERT_GE(samples.size(), 2u);
    const QWORD step = samples[1].time - samples[0].time;
    // No standard rate puts 80% of both a 40 ms and a 33 ms stretch within
    // an eighth of a frame; the lowest that gives every frame a point of its
    // own is 30000/1001.
    EXPECT_EQ(step, 333'667u);
    std::map<uint64_t, int> pictures;
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].time, i * step);
        ++pictures[samples[i].hash];
    }
    EXPECT_EQ(pictures.size(), 50u) << "every stored frame is shown";
}

struct SSeekCase {
    const char* clip;
};
constexpr SSeekCase kSeekCases[] = {{"cfr25"}, {"cfr25negts"}, {"ntsc"}, {"fps15"}, {"dropped"}, {"vfr"}, {"noindex"}};

class VideoSeekTest : public CWmSyncReaderTest, public ::testing::WithParamInterface<SSeekCase> {};

TEST_P(VideoSeekTest, FirstSampleAfterSetRangeEqualsSequentialDecode) {
    WORD stream = 0;
    auto reader = OpenForVideo(Clip(GetParam().clip), stream);
    ASSERT_TRUE(reader && stream);
    const auto samples = ReadAllVideo(reader.Get(), stream);
    ASSERT_GE(samples.size(), 2u);
    const QWORD step = samples[1].time;
    const QWORD end = samples.size() * step;
    std::mt19937 rng(1234);
    for (int k = 0; k < 200; ++k) {
        const QWORD frame = rng() % (samples.size() + 4);
        QWORD t = frame * step;
        switch (k % 4) {
        case 1: t += rng() % step; break;        // between frames
        case 2: t = t ? t - 1 : 0; break;        // just before a frame
        case 3: t = end + rng() % (4 * step); break;  // past the last
        default: break;                          // on a frame
        }
        SCOPED_TRACE(t);
        ASSERT_EQ(reader->SetRange(t, 0), S_OK);
        SReadSample s;
        const HRESULT hr = ReadSample(reader.Get(), stream, s);
        if (t >= end) {
            EXPECT_EQ(hr, NS_E_NO_MORE_SAMPLES);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        const size_t expected = static_cast<size_t>(t / step);
        EXPECT_EQ(s.time, samples[expected].time);
        EXPECT_EQ(s.hash, samples[expected].hash);
        EXPECT_TRUE(s.flags & WM_SF_DISCONTINUITY);
    }
}

std::string SeekName(const ::testing::TestParamInfo<SSeekCase>& info) { return info.param.clip; }
INSTANTIATE_TEST_SUITE_P(Clips, VideoSeekTest, ::testing::ValuesIn(kSeekCases), SeekName);

class AudioSeekTest : public CWmSyncReaderTest, public ::testing::WithParamInterface<SSeekCase> {};

TEST_P(AudioSeekTest, SamplesAfterSetRangeEqualSequentialDecode) {
    auto reader = OpenReader(Clip(GetParam().clip));
    ASSERT_TRUE(reader);
    DWORD output = 0;
    const WORD stream = OutputStream(reader.Get(), MEDIATYPE_Audio, &output);
    ASSERT_NE(stream, 0);
    ComPtr<IWMOutputMediaProps> props;
    ASSERT_EQ(reader->GetOutputProps(output, props.Put()), S_OK);
    const WAVEFORMATEX wfx = *ReadMediaType(props.Get()).WaveFormat();
    ASSERT_EQ(wfx.wBitsPerSample, 16);
    const size_t block = wfx.nBlockAlign;
    std::vector<BYTE> all;
    SReadSample s;
    uint64_t expectedFirst = 0;
    while (ReadSample(reader.Get(), stream, s) == S_OK) {
        // Consecutive samples follow each other without gap or overlap.
        EXPECT_EQ((s.time * wfx.nSamplesPerSec + 9'999'999) / 10'000'000, expectedFirst);
        expectedFirst += s.data.size() / block;
        all.insert(all.end(), s.data.begin(), s.data.end());
    }
    const uint64_t total = all.size() / block;
    ASSERT_GT(total, 0u);
    EXPECT_EQ(DurationOf(reader.Get()) >= (total * 10'000'000 + wfx.nSamplesPerSec - 1) / wfx.nSamplesPerSec, true);
    std::mt19937 rng(99);
    for (int k = 0; k < 100; ++k) {
        const QWORD t = rng() % ((total + wfx.nSamplesPerSec / 10) * 10'000'000 / wfx.nSamplesPerSec);
        SCOPED_TRACE(t);
        ASSERT_EQ(reader->SetRange(t, 0), S_OK);
        const uint64_t first = (t * wfx.nSamplesPerSec + 9'999'999) / 10'000'000;
        std::vector<BYTE> got;
        HRESULT hr = S_OK;
        while (got.size() < 4096 * block && (hr = ReadSample(reader.Get(), stream, s)) == S_OK) {
            if (got.empty()) {
                EXPECT_EQ((s.time * wfx.nSamplesPerSec + 9'999'999) / 10'000'000, first);
            }
            got.insert(got.end(), s.data.begin(), s.data.end());
        }
        if (first >= total) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        ASSERT_FALSE(got.empty());
        const size_t cmp = std::min(got.size(), all.size() - first * block);
        EXPECT_EQ(std::memcmp(got.data(), all.data() + first * block, cmp), 0);
    }
}

constexpr SSeekCase kAudioSeekCases[] = {{"cfr25"}, {"cfr25negts"}, {"ntsc"}, {"fps15"}, {"wma"}, {"mp3"}, {"noindex"}};
INSTANTIATE_TEST_SUITE_P(Clips, AudioSeekTest, ::testing::ValuesIn(kAudioSeekCases), SeekName);

TEST_F(CWmSyncReaderTest, OriginIsTheFirstVideoFrameAndEarlierAudioIsCut) {
    // FFmpeg's WMA encoder primes the audio, so the video starts later.
    AVFormatContext* raw = nullptr;
    ASSERT_EQ(avformat_open_input(&raw, Clip("cfr25").c_str(), nullptr, nullptr), 0);
    int64_t firstVideo = -1;
    AVPacket* pkt = av_packet_alloc();
    while (firstVideo < 0 && av_read_frame(raw, pkt) >= 0) {
        if (raw->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) firstVideo = pkt->dts;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&raw);
    ASSERT_GT(firstVideo, 0) << "the fixture's video should start after its audio";

    auto reader = OpenReader(Clip("cfr25"));
    const WORD audio = OutputStream(reader.Get(), MEDIATYPE_Audio);
    const WORD video = OutputStream(reader.Get(), MEDIATYPE_Video);
    SReadSample s;
    ASSERT_EQ(ReadSample(reader.Get(), video, s, false), S_OK);
    EXPECT_EQ(s.time, 0u);
    ASSERT_EQ(ReadSample(reader.Get(), audio, s, false), S_OK);
    EXPECT_EQ(s.time, 0u);
    // The audio runs 2 s from before the first frame, so it ends that much
    // before 2 s on the shifted time line, and Duration with it.
    const QWORD duration = DurationOf(reader.Get());
    const auto shift = static_cast<QWORD>(firstVideo) * 10'000;
    EXPECT_LE(duration, 20'000'000u - shift + 500'000u);
    EXPECT_GE(duration, 20'000'000u - shift - 500'000u);
}

TEST_F(CWmSyncReaderTest, OutputsOfferTheDecodedFormatsInOrder) {
    auto reader = OpenReader(Clip("cfr25"));
    DWORD count = 0;
    ASSERT_EQ(reader->GetOutputCount(&count), S_OK);
    ASSERT_EQ(count, 2u);
    DWORD videoOutput = 0;
    ASSERT_NE(OutputStream(reader.Get(), MEDIATYPE_Video, &videoOutput), 0);
    DWORD formats = 0;
    ASSERT_EQ(reader->GetOutputFormatCount(videoOutput, &formats), S_OK);
    const GUID expected[] = {MEDIASUBTYPE_NV12, MEDIASUBTYPE_YV12, MEDIASUBTYPE_IYUV, MEDIASUBTYPE_I420,
                             MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY, MEDIASUBTYPE_YVYU, MEDIASUBTYPE_RGB32,
                             MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB565, MEDIASUBTYPE_RGB555};
    ASSERT_EQ(formats, std::size(expected));
    for (DWORD j = 0; j < formats; ++j) {
        ComPtr<IWMOutputMediaProps> props;
        ASSERT_EQ(reader->GetOutputFormat(videoOutput, j, props.Put()), S_OK);
        const WmMediaType type = ReadMediaType(props.Get());
        EXPECT_EQ(type.SubType(), expected[j]) << "format " << j;
        ASSERT_NE(type.VideoInfo(), nullptr);
        EXPECT_EQ(type.VideoInfo()->AvgTimePerFrame, 0);
        EXPECT_EQ(type.VideoInfo()->bmiHeader.biWidth, 176);
        EXPECT_EQ(static_cast<ULONG>(type.VideoInfo()->bmiHeader.biSizeImage), type.Get().lSampleSize);
    }
    DWORD audioOutput = 0;
    ASSERT_NE(OutputStream(reader.Get(), MEDIATYPE_Audio, &audioOutput), 0);
    ComPtr<IWMOutputMediaProps> audioProps;
    ASSERT_EQ(reader->GetOutputFormat(audioOutput, 0, audioProps.Put()), S_OK);
    const WmMediaType audioType = ReadMediaType(audioProps.Get());
    const WAVEFORMATEX* wfx = audioType.WaveFormat();
    ASSERT_NE(wfx, nullptr);
    EXPECT_EQ(wfx->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wfx->wBitsPerSample, 16);
    EXPECT_EQ(wfx->nSamplesPerSec, 44100u);
    EXPECT_EQ(wfx->nChannels, 1);
}

TEST_F(CWmSyncReaderTest, EveryVideoFormatDeliversAPictureOfItsSize) {
    WORD stream = 0;
    DWORD output = 0;
    auto reader = OpenReader(Clip("fps15"));
    stream = OutputStream(reader.Get(), MEDIATYPE_Video, &output);
    DWORD formats = 0;
    reader->GetOutputFormatCount(output, &formats);
    for (DWORD j = 0; j < formats; ++j) {
        ComPtr<IWMOutputMediaProps> props;
        ASSERT_EQ(reader->GetOutputFormat(output, j, props.Put()), S_OK);
        ASSERT_EQ(reader->SetOutputProps(output, props.Get()), S_OK);
        const WmMediaType type = ReadMediaType(props.Get());
        ASSERT_EQ(reader->SetRange(0, 0), S_OK);
        SReadSample s;
        ASSERT_EQ(ReadSample(reader.Get(), stream, s), S_OK);
        EXPECT_EQ(s.data.size(), type.Get().lSampleSize) << "format " << j;
        EXPECT_NE(std::count(s.data.begin(), s.data.end(), s.data[0]), static_cast<long>(s.data.size()))
            << "format " << j << " is not a flat picture";
    }
}

TEST_F(CWmSyncReaderTest, DecodedFramesCarryTheirContentType) {
    auto reader = OpenReader(Clip("cfr25"));
    const WORD video = OutputStream(reader.Get(), MEDIATYPE_Video);
    ComPtr<INSSBuffer> sample;
    QWORD time = 0;
    ASSERT_EQ(reader->GetNextSample(video, sample.Put(), &time, nullptr, nullptr, nullptr, nullptr), S_OK);
    ComPtr<INSSBuffer3> props;
    ASSERT_EQ(sample.As(props), S_OK);
    for (int pass = 0; pass < 2; ++pass) {
        DWORD cb = 0;
        ASSERT_EQ(props->GetProperty(WM_SampleExtensionGUID_ContentType, nullptr, &cb), S_OK);
        ASSERT_EQ(cb, 1u);
        BYTE contentType = 0xFF;
        ASSERT_EQ(props->GetProperty(WM_SampleExtensionGUID_ContentType, &contentType, &cb), S_OK);
        // FFmpeg's WMV2 pictures are progressive: no field bits.
        EXPECT_EQ(contentType & (WM_CT_INTERLACED | WM_CT_TOP_FIELD_FIRST | WM_CT_BOTTOM_FIELD_FIRST), 0);
        BYTE* p = nullptr;
        DWORD length = 0;
        ASSERT_EQ(sample->GetBufferAndLength(&p, &length), S_OK);
    }
}

TEST_F(CWmSyncReaderTest, StreamConfigurationCarriesTheStoredFormat) {
    auto reader = OpenReader(Clip("cfr25"));
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(reader.As(profile), S_OK);
    const WORD video = OutputStream(reader.Get(), MEDIATYPE_Video);
    ComPtr<IWMStreamConfig> config;
    ASSERT_EQ(profile->GetStreamByNumber(video, config.Put()), S_OK);
    ComPtr<IWMVideoMediaProps> props;
    ASSERT_EQ(config.As(props), S_OK);
    const WmMediaType type = ReadMediaType(props.Get());
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    ASSERT_NE(vih, nullptr);
    EXPECT_EQ(vih->AvgTimePerFrame, 0);
    EXPECT_EQ(vih->bmiHeader.biCompression, MakeFourCC('W', 'M', 'V', '2'));
    // WMV2 keeps 4 bytes of codec data after the header, counted in biSize.
    EXPECT_EQ(vih->bmiHeader.biSize, sizeof(BITMAPINFOHEADER) + 4);
    EXPECT_EQ(type.Format().size(), sizeof(VIDEOINFOHEADER) + 4);
    const WORD audio = OutputStream(reader.Get(), MEDIATYPE_Audio);
    ComPtr<IWMStreamConfig> audioConfig;
    ASSERT_EQ(profile->GetStreamByNumber(audio, audioConfig.Put()), S_OK);
    ComPtr<IWMMediaProps> audioProps;
    ASSERT_EQ(audioConfig.As(audioProps), S_OK);
    const WmMediaType audioType = ReadMediaType(audioProps.Get());
    EXPECT_EQ(audioType.MajorType(), MEDIATYPE_Audio);
    EXPECT_EQ(audioType.WaveFormat()->wFormatTag, WAVE_FORMAT_WMAUDIO2);
    DWORD bitrate = 0;
    EXPECT_EQ(audioConfig->GetBitrate(&bitrate), S_OK);
    EXPECT_GT(bitrate, 0u);
}

// The payloads of a stream, as FFmpeg's demuxer stores them.
std::vector<std::vector<BYTE>> StoredPayloads(const std::filesystem::path& path, AVMediaType type) {
    std::vector<std::vector<BYTE>> payloads;
    AVFormatContext* raw = avformat_alloc_context();
    raw->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    if (avformat_open_input(&raw, path.c_str(), av_find_input_format("asf"), nullptr) < 0) return payloads;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(raw, pkt) >= 0) {
        if (raw->streams[pkt->stream_index]->codecpar->codec_type == type)
            payloads.emplace_back(pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&raw);
    return payloads;
}

class CompressedVideoTest : public CWmSyncReaderTest, public ::testing::WithParamInterface<SSeekCase> {};

TEST_P(CompressedVideoTest, DeliversStoredPayloadsOnTheDecodeOrderGrid) {
    const auto stored = StoredPayloads(Clip(GetParam().clip), AVMEDIA_TYPE_VIDEO);
    auto reader = OpenReader(Clip(GetParam().clip));
    DWORD output = 0;
    const WORD stream = OutputStream(reader.Get(), MEDIATYPE_Video, &output);
    ASSERT_NE(stream, 0);
    ComPtr<IWMOutputMediaProps> props;
    ASSERT_EQ(reader->GetOutputProps(output, props.Put()), S_OK);
    EXPECT_EQ(ReadMediaType(props.Get()).VideoInfo()->AvgTimePerFrame, 0);
    ASSERT_EQ(reader->SetReadStreamSamples(stream, TRUE), S_OK);
    std::vector<SReadSample> samples;
    SReadSample s;
    while (ReadSample(reader.Get(), stream, s) == S_OK) samples.push_back(s);
    ASSERT_EQ(samples.size(), stored.size());
    std::vector<QWORD> keys;
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(samples[i].data, stored[i]);
        // 25 fps stated by the stream's own headers: MulDiv(10^7, 1, 25).
        EXPECT_EQ(samples[i].time, i * 400'000u);
        if (samples[i].flags & WM_SF_CLEANPOINT) keys.push_back(samples[i].time);
    }
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(keys[0], 0u);
    // SetRange gives the key frame at or before the time; past the end the last.
    for (const QWORD t : {QWORD{0}, keys[1] - 1, keys[1], keys[1] + 123'456, samples.size() * 400'000u + 5'000'000u}) {
        SCOPED_TRACE(t);
        ASSERT_EQ(reader->SetRange(t, 0), S_OK);
        ASSERT_EQ(ReadSample(reader.Get(), stream, s), S_OK);
        EXPECT_TRUE(s.flags & WM_SF_CLEANPOINT);
        const auto after = std::upper_bound(keys.begin(), keys.end(), t);
        EXPECT_EQ(s.time, *(after - 1));
        EXPECT_EQ(s.data, stored[s.time / 400'000]);
    }
}

constexpr SSeekCase kCompressedCases[] = {{"h264"}, {"h264negts"}, {"divx"}};
INSTANTIATE_TEST_SUITE_P(Clips, CompressedVideoTest, ::testing::ValuesIn(kCompressedCases), SeekName);

TEST_F(CWmSyncReaderTest, AacIsAStreamOnItsFrameGrid) {
    auto reader = OpenReader(Clip("h264"));
    DWORD output = 0;
    const WORD stream = OutputStream(reader.Get(), MEDIATYPE_Stream, &output);
    ASSERT_NE(stream, 0) << "AAC is not decoded, so it is MEDIATYPE_Stream";
    EXPECT_EQ(OutputStream(reader.Get(), MEDIATYPE_Audio), 0);
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(reader.As(profile), S_OK);
    ComPtr<IWMStreamConfig> config;
    ASSERT_EQ(profile->GetStreamByNumber(stream, config.Put()), S_OK);
    GUID type{};
    ASSERT_EQ(config->GetStreamType(&type), S_OK);
    EXPECT_EQ(type, MEDIATYPE_Stream);
    const auto stored = StoredPayloads(Clip("h264"), AVMEDIA_TYPE_AUDIO);
    std::vector<SReadSample> samples;
    SReadSample s;
    while (ReadSample(reader.Get(), stream, s) == S_OK) samples.push_back(s);
    ASSERT_FALSE(samples.empty());
    ASSERT_LE(samples.size(), stored.size());
    // Frame k at ceil(k x 1024 x 10^7 / 48000), k counted from the origin.
    const auto timeOf = [](uint64_t k) { return (k * 1024 * 10'000'000 + 47'999) / 48'000; };
    const uint64_t first = samples[0].time * 48'000 / (1024ull * 10'000'000);
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(samples[i].time, timeOf(first + i));
        EXPECT_EQ(samples[i].data, stored[stored.size() - samples.size() + i]);
    }
    // The frame nearest the time.
    const QWORD t = samples[10].time + (samples[11].time - samples[10].time) / 3;
    ASSERT_EQ(reader->SetRange(t, 0), S_OK);
    ASSERT_EQ(ReadSample(reader.Get(), stream, s), S_OK);
    EXPECT_EQ(s.time, samples[10].time);
    EXPECT_EQ(s.data, samples[10].data);
}

TEST_F(CWmSyncReaderTest, TwoVideoStreamsReadIndependently) {
    auto reader = OpenReader(Clip("twovideo"));
    DWORD count = 0;
    ASSERT_EQ(reader->GetOutputCount(&count), S_OK);
    ASSERT_EQ(count, 2u);
    WORD streams[2];
    for (DWORD i = 0; i < 2; ++i) {
        ASSERT_EQ(reader->GetStreamNumberForOutput(i, &streams[i]), S_OK);
        ASSERT_TRUE(UseOutputFormat(reader.Get(), i, MEDIASUBTYPE_I420));
    }
    EXPECT_LT(streams[0], streams[1]);
    // One stream read to its end first, then the other...
    std::vector<SReadSample> apart[2];
    SReadSample s;
    for (int k = 0; k < 2; ++k)
        while (ReadSample(reader.Get(), streams[k], s) == S_OK) apart[k].push_back(s);
    EXPECT_EQ(apart[0].size(), 25u);
    EXPECT_EQ(apart[1].size(), 15u);
    // ...gives what reading them in turn gives.
    ASSERT_EQ(reader->SetRange(0, 0), S_OK);
    size_t next[2] = {0, 0};
    for (int round = 0; round < 40; ++round) {
        const int k = round % 3 == 2 ? 1 : 0;
        if (ReadSample(reader.Get(), streams[k], s) != S_OK) continue;
        ASSERT_LT(next[k], apart[k].size());
        EXPECT_EQ(s.hash, apart[k][next[k]].hash);
        EXPECT_EQ(s.time, apart[k][next[k]].time);
        ++next[k];
    }
    // Stream 0 reads the selected streams in time order.
    ASSERT_EQ(reader->SetRange(0, 0), S_OK);
    QWORD last = 0;
    size_t total = 0;
    while (ReadSample(reader.Get(), 0, s, false) == S_OK) {
        EXPECT_GE(s.time, last);
        last = s.time;
        ++total;
    }
    EXPECT_EQ(total, 40u);
}

TEST_F(CWmSyncReaderTest, BitrateExclusionOffersTheRichestStreamAndScriptsAreNoOutputs) {
    constexpr GUID kBitrates{0x7BF875CE, 0x468D, 0x11D1, {0x8D, 0x82, 0x00, 0x60, 0x97, 0xC9, 0xA2, 0xB2}};
    constexpr GUID kExclusion{0xD6E229DC, 0x35DA, 0x11D1, {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};
    constexpr GUID kStreamProperties{0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
    constexpr GUID kCommandMedia{0x59DACFC0, 0x59E6, 0x11D0, {0xA3, 0xAC, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6}};
    std::vector<BYTE> bitrates;
    Put<uint16_t>(bitrates, 2);
    Put<uint16_t>(bitrates, 1);
    Put<uint32_t>(bitrates, 100'000);
    Put<uint16_t>(bitrates, 2);
    Put<uint32_t>(bitrates, 900'000);
    std::vector<BYTE> exclusion;
    Put(exclusion, CLSID_WMMUTEX_Bitrate);
    Put<uint16_t>(exclusion, 2);
    Put<uint16_t>(exclusion, 1);
    Put<uint16_t>(exclusion, 2);
    std::vector<BYTE> script;
    Put(script, kCommandMedia);
    Put(script, GUID_NULL);
    Put<uint64_t>(script, 0);
    Put<uint32_t>(script, 0);
    Put<uint32_t>(script, 0);
    Put<uint16_t>(script, 5);
    Put<uint32_t>(script, 0);
    auto objects = Object(kBitrates, bitrates);
    const auto more = Object(kExclusion, exclusion);
    objects.insert(objects.end(), more.begin(), more.end());
    auto bytes = WithHeaderObjects(FileBytes(Clip("twovideo")), objects);
    bytes = WithHeaderObjects(bytes, Object(kStreamProperties, script));
    auto reader = OpenReaderOn(bytes);
    ASSERT_TRUE(reader);
    DWORD count = 0;
    ASSERT_EQ(reader->GetOutputCount(&count), S_OK);
    ASSERT_EQ(count, 1u);
    WORD stream = 0;
    ASSERT_EQ(reader->GetStreamNumberForOutput(0, &stream), S_OK);
    EXPECT_EQ(stream, 2) << "the member with the higher bit rate";
    WMT_STREAM_SELECTION selection{};
    ASSERT_EQ(reader->GetStreamSelected(1, &selection), S_OK);
    EXPECT_EQ(selection, WMT_OFF);
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(reader.As(profile), S_OK);
    DWORD streams = 0;
    ASSERT_EQ(profile->GetStreamCount(&streams), S_OK);
    EXPECT_EQ(streams, 3u);
    DWORD exclusions = 0;
    ASSERT_EQ(profile->GetMutualExclusionCount(&exclusions), S_OK);
    EXPECT_EQ(exclusions, 1u);
    SReadSample s;
    size_t read = 0;
    while (ReadSample(reader.Get(), 0, s, false) == S_OK) {
        EXPECT_EQ(s.stream, 2);
        ++read;
    }
    EXPECT_EQ(read, 15u);
}

TEST_F(CWmSyncReaderTest, VideoPastItsEndEndsAtOnceWhileAudioRunsOn) {
    auto reader = OpenReader(Clip("fps15"));
    const WORD video = OutputStream(reader.Get(), MEDIATYPE_Video);
    const QWORD end = 30 * 666'666u;
    const QWORD duration = DurationOf(reader.Get());
    ASSERT_GT(duration, end + 5'000'000u) << "the fixture's audio outlasts its video";
    // Duration ends with the 3 s of audio: its sample count, rounded up.
    EXPECT_EQ(duration * 22'050 / 10'000'000, 3u * 22'050);
    ASSERT_EQ(reader->SetRange(end, 0), S_OK);
    SReadSample s;
    EXPECT_EQ(ReadSample(reader.Get(), video, s), NS_E_NO_MORE_SAMPLES);
    ASSERT_EQ(reader->SetRange(duration - 1, 0), S_OK);
    EXPECT_EQ(ReadSample(reader.Get(), video, s), NS_E_NO_MORE_SAMPLES);
    ASSERT_EQ(reader->SetRange(end - 1, 0), S_OK);
    ASSERT_EQ(ReadSample(reader.Get(), video, s), S_OK);
    EXPECT_EQ(s.time, 29 * 666'666u);
    EXPECT_EQ(ReadSample(reader.Get(), video, s), NS_E_NO_MORE_SAMPLES);
}

TEST_F(CWmSyncReaderTest, TruncatedFileDeliversWhatItHolds) {
    auto bytes = FileBytes(Clip("fps24"));
    WORD stream = 0;
    auto whole = OpenForVideo(Clip("fps24"), stream);
    const auto all = ReadAllVideo(whole.Get(), stream);
    bytes.resize(bytes.size() * 2 / 3);
    auto reader = OpenReaderOn(bytes);
    ASSERT_TRUE(reader);
    DWORD output = 0;
    ASSERT_EQ(OutputStream(reader.Get(), MEDIATYPE_Video, &output), stream);
    ASSERT_TRUE(UseOutputFormat(reader.Get(), output, MEDIASUBTYPE_YUY2));
    const auto cut = ReadAllVideo(reader.Get(), stream);
    ASSERT_GT(cut.size(), 10u);
    ASSERT_LT(cut.size(), all.size());
    for (size_t i = 0; i < cut.size(); ++i) EXPECT_EQ(cut[i].hash, all[i].hash) << i;
    EXPECT_EQ(DurationOf(reader.Get()), cut.size() * 416'666u);
}

TEST_F(CWmSyncReaderTest, BadInputFailsWithThePlatformsCodes) {
    HRESULT hr = S_OK;
    EXPECT_FALSE(OpenReaderOn(std::vector<BYTE>(5000, 0x42), &hr));
    EXPECT_EQ(hr, NS_E_INVALID_INPUT_FORMAT);
    EXPECT_FALSE(OpenReaderOn({}, &hr));
    EXPECT_EQ(hr, NS_E_INVALID_INPUT_FORMAT);
    auto bytes = FileBytes(Clip("cfr25"));
    bytes.resize(200);
    EXPECT_FALSE(OpenReaderOn(bytes, &hr));
    EXPECT_EQ(hr, NS_E_INVALID_DATA);
    ComPtr<IWMSyncReader> closed;
    ASSERT_EQ(WMCreateSyncReader(nullptr, 0, closed.Put()), S_OK);
    QWORD t = 0;
    ComPtr<INSSBuffer> sample;
    EXPECT_EQ(closed->GetNextSample(1, sample.Put(), &t, nullptr, nullptr, nullptr, nullptr), NS_E_INVALID_REQUEST);
    EXPECT_EQ(closed->SetRange(0, 0), NS_E_INVALID_REQUEST);
}

// The bytes with the first occurrence of one pattern replaced by another.
std::vector<BYTE> Patched(std::vector<BYTE> bytes, std::initializer_list<BYTE> from, std::initializer_list<BYTE> to) {
    const auto it = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    EXPECT_NE(it, bytes.end());
    if (it != bytes.end()) std::copy(to.begin(), to.end(), it);
    return bytes;
}

TEST_F(CWmSyncReaderTest, StreamsTheDecoderRefusesFailWithTheCodecCodes) {
    // WMV2 data labelled WMV3 and WMA v2 labelled WMA Pro: their decoders
    // refuse the stored codec data.
    auto bytes = Patched(FileBytes(Clip("cfr25")), {'W', 'M', 'V', '2'}, {'W', 'M', 'V', '3'});
    bytes = Patched(bytes, {0x61, 0x01, 0x01, 0x00, 0x44, 0xAC}, {0x62, 0x01, 0x01, 0x00, 0x44, 0xAC});
    auto reader = OpenReaderOn(bytes);
    ASSERT_TRUE(reader);
    const WORD video = OutputStream(reader.Get(), MEDIATYPE_Video);
    const WORD audio = OutputStream(reader.Get(), MEDIATYPE_Audio);
    ASSERT_NE(video, 0);
    ASSERT_NE(audio, 0);
    SReadSample s;
    EXPECT_EQ(ReadSample(reader.Get(), video, s), NS_E_VIDEO_CODEC_NOT_INSTALLED);
    EXPECT_EQ(ReadSample(reader.Get(), audio, s), NS_E_AUDIO_CODEC_NOT_INSTALLED);
}

TEST_F(CWmSyncReaderTest, ReadsThroughAStreamThatRefusesMovesPastItsEnd) {
    ComPtr<CMemoryStream> stream = ComPtr<CMemoryStream>::Adopt(CMemoryStream::FromFile(Clip("cfr25")));
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(WMCreateSyncReader(nullptr, 0, reader.Put()), S_OK);
    ASSERT_EQ(reader->OpenStream(stream.Get()), S_OK);
    SReadSample s;
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(reader->SetRange(k * 7'000'000u, 0), S_OK);
        while (ReadSample(reader.Get(), 0, s, false) == S_OK) {
        }
    }
    EXPECT_EQ(stream->RefusedSeeks(), 0);
}

TEST_F(CWmSyncReaderTest, HeaderInfoAnswersDurationAndAspectRatio) {
    const auto path = s_dir->Path() / "aspect.wmv";
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-vf", "setsar=4/3",
                           "-c:v", "wmv2", "-metadata", "title=Grid", path.string()},
                          &error))
        << error;
    auto reader = OpenReader(path);
    ComPtr<IWMHeaderInfo3> info;
    ASSERT_EQ(reader.As(info), S_OK);
    EXPECT_EQ(DurationOf(reader.Get()), 25 * 400'000u);
    const WORD video = OutputStream(reader.Get(), MEDIATYPE_Video);
    WORD streamNum = video;
    WMT_ATTR_DATATYPE type{};
    WORD cb = 0;
    ASSERT_EQ(info->GetAttributeByName(&streamNum, g_wszWMAspectRatioX, &type, nullptr, &cb), S_OK);
    DWORD x = 0;
    DWORD y = 0;
    ASSERT_EQ(info->GetAttributeByName(&streamNum, g_wszWMAspectRatioX, &type, reinterpret_cast<BYTE*>(&x), &cb), S_OK);
    ASSERT_EQ(info->GetAttributeByName(&streamNum, g_wszWMAspectRatioY, &type, reinterpret_cast<BYTE*>(&y), &cb), S_OK);
    EXPECT_EQ(type, WMT_TYPE_DWORD);
    EXPECT_EQ(x * 3, y * 4);
    streamNum = 0;
    cb = 0;
    ASSERT_EQ(info->GetAttributeByName(&streamNum, g_wszWMTitle, &type, nullptr, &cb), S_OK);
    std::u16string title(cb / 2, u'\0');
    ASSERT_EQ(info->GetAttributeByName(&streamNum, g_wszWMTitle, &type, reinterpret_cast<BYTE*>(title.data()), &cb), S_OK);
    EXPECT_EQ(title, std::u16string(u"Grid", 5));
    streamNum = 0;
    EXPECT_EQ(info->GetAttributeByName(&streamNum, u"NoSuchAttribute", &type, nullptr, &cb), ASF_E_NOTFOUND);
}

}  // namespace
