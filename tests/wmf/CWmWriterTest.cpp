#include "wmf/CWmWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/TempDir.h"
#include "win/Com.h"
#include "win/NsError.h"
#include "wmf/WriterTestSupport.h"

namespace {

// A writer set up for one file of the given profile.
struct SOpenWriter {
    ComPtr<IWMWriter> pWriter;
    SInputs inputs;
};
SOpenWriter OpenWriter(IWMProfile* pProfile, const std::filesystem::path& file) {
    SOpenWriter w;
    EXPECT_EQ(CWmWriter::Create(w.pWriter.Put()), S_OK);
    EXPECT_EQ(w.pWriter->SetProfile(pProfile), S_OK);
    w.inputs = FindInputs(w.pWriter.Get());
    EXPECT_EQ(w.pWriter->SetOutputFilename(Wide(file.string()).c_str()), S_OK);
    return w;
}

// Raw 160x120 I420 pictures alone, one per frame of 25 fps.
SDelivery PicturesOnly(const std::vector<BYTE>& video, int frames) {
    SDelivery d;
    d.pVideo = &video;
    d.cbFrame = 160 * 120 * 3 / 2;
    d.frames = frames;
    return d;
}

// A file of pictures alone, written with a one-stream profile.
void WritePictures(const SVideoSpec& v, const std::vector<BYTE>& video, int frames,
                   const std::filesystem::path& file) {
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, PicturesOnly(video, frames)), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
}

struct SRoundTrip {
    const char* name;
    uint32_t fourCC;
    int rateNum;
    int rateDen;
    DWORD sampleRate;
    WORD channels;
    DWORD audioBitrate;
};
constexpr SRoundTrip kRoundTrips[] = {
    {"Wmv2At25With44k1Stereo", MakeFourCC('W', 'M', 'V', '2'), 25, 1, 44100, 2, 128000},
    {"Wmv1At29_97With48kStereo", MakeFourCC('W', 'M', 'V', '1'), 30000, 1001, 48000, 2, 64000},
    {"Wmv2At15With44k1Mono", MakeFourCC('W', 'M', 'V', '2'), 15, 1, 44100, 1, 32000},
    {"Wmv1At24With32kStereo", MakeFourCC('W', 'M', 'V', '1'), 24, 1, 32000, 2, 40000},
};

class CWmWriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = std::make_unique<TempDir>("wmwriter"); }
    static void TearDownTestSuite() { s_dir.reset(); }
    static std::filesystem::path Dir() { return s_dir->Path(); }
    static inline std::unique_ptr<TempDir> s_dir;
};

class RoundTripTest : public CWmWriterTest, public ::testing::WithParamInterface<SRoundTrip> {};

TEST_P(RoundTripTest, FileReadsBackEverywhere) {
    const SRoundTrip& c = GetParam();
    const int frames = 2 * c.rateNum / c.rateDen;
    const std::string rate = std::to_string(c.rateNum) + "/" + std::to_string(c.rateDen);
    const auto yuv = Dir() / (std::string(c.name) + ".yuv");
    const auto pcm = Dir() / (std::string(c.name) + ".pcm");
    const auto file = Dir() / (std::string(c.name) + ".wmv");
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, rate, frames);
    const double seconds = static_cast<double>(frames) * c.rateDen / c.rateNum;
    const std::vector<BYTE> audio = MakeTone(pcm, static_cast<int>(c.sampleRate), c.channels, seconds);

    SVideoSpec v;
    v.fourCC = c.fourCC;
    v.rateNum = c.rateNum;
    v.rateDen = c.rateDen;
    v.bitrate = 2'000'000;
    SAudioSpec a{c.sampleRate, c.channels, c.audioBitrate};
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, &a);
    ASSERT_TRUE(pProfile);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    ASSERT_GE(w.inputs.video, 0);
    ASSERT_GE(w.inputs.audio, 0);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    SDelivery d;
    d.pVideo = &video;
    d.cbFrame = 160 * 120 * 3 / 2;
    d.frames = frames;
    d.cnsFrame = FrameDuration(c.rateNum, c.rateDen);
    d.pAudio = &audio;
    d.cbBlock = 2u * c.channels;
    d.sampleRate = c.sampleRate;
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, d), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);

    const auto streams = FfprobeRows("-count_frames -show_entries stream=codec_name,nb_read_frames", file);
    ASSERT_EQ(streams.size(), 2u) << Ffprobe("-show_streams", file);
    EXPECT_EQ(streams[0][0], "wmav2") << "audio is stream 1";
    EXPECT_EQ(streams[1][0], c.fourCC == MakeFourCC('W', 'M', 'V', '1') ? "wmv1" : "wmv2");
    EXPECT_EQ(streams[1][1], std::to_string(frames));

    const auto rates = FfprobeRows("-select_streams v -show_entries stream=avg_frame_rate,r_frame_rate", file);
    ASSERT_EQ(rates.size(), 1u);
    const double fps = static_cast<double>(c.rateNum) / c.rateDen;
    for (const std::string& r : rates[0]) {
        const double num = std::atof(r.c_str());
        const double den = r.find('/') != std::string::npos ? std::atof(r.c_str() + r.find('/') + 1) : 1.0;
        EXPECT_NEAR(num / den, fps, fps * 0.005) << r;
    }
    const auto videoDuration = FfprobeRows("-select_streams v -show_entries stream=duration", file);
    ASSERT_EQ(videoDuration.size(), 1u);
    EXPECT_NEAR(std::atof(videoDuration[0][0].c_str()), frames / fps, 0.0015);
    // The file starts with the audio's priming, before 0.
    const auto format = FfprobeRows("-show_entries format=start_time,duration", file);
    ASSERT_EQ(format.size(), 1u);
    EXPECT_LT(std::atof(format[0][0].c_str()), 0.0);
    EXPECT_NEAR(std::atof(format[0][0].c_str()) + std::atof(format[0][1].c_str()), frames / fps, 1.0 / fps);

    const std::vector<SPacketInfo> vp = Packets(file, "v");
    ASSERT_EQ(vp.size(), static_cast<size_t>(frames));
    for (size_t n = 0; n < vp.size(); ++n) {
        SCOPED_TRACE(n);
        // Stored in whole milliseconds, rounded to the nearest.
        const double ms = std::round(static_cast<double>(n) * 1000.0 * c.rateDen / c.rateNum);
        EXPECT_NEAR(vp[n].pts * 1000.0, ms, 1e-6);
    }
    EXPECT_TRUE(vp[0].bKey);

    const std::vector<SPacketInfo> ap = Packets(file, "a");
    ASSERT_FALSE(ap.empty());
    const double videoEnd = static_cast<double>(frames) * c.rateDen / c.rateNum;
    const double audioEnd = ap.back().pts + ap.back().duration;
    EXPECT_NEAR(audioEnd, videoEnd, static_cast<double>(c.rateDen) / c.rateNum)
        << "audio and video end within one frame";

    EXPECT_GE(VideoPsnr(file, yuv, 160, 120), 30.0);
    EXPECT_TRUE(GstreamerPlays(file));
}

std::string RoundTripName(const ::testing::TestParamInfo<SRoundTrip>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(Codecs, RoundTripTest, ::testing::ValuesIn(kRoundTrips), RoundTripName);


// ---- inputs ---------------------------------------------------------------

struct SInputCase {
    const char* name;
    const GUID* pSubtype;
    const char* pixFmt;
    const char* filter;  // a DIB with a positive height starts at the bottom row
};
const SInputCase kInputCases[] = {
    {"Yuy2", &WMMEDIASUBTYPE_YUY2, "yuyv422", ""},
    {"Uyvy", &WMMEDIASUBTYPE_UYVY, "uyvy422", ""},
    {"Rgb32BottomUp", &WMMEDIASUBTYPE_RGB32, "bgr0", "vflip"},
    {"Rgb24BottomUp", &WMMEDIASUBTYPE_RGB24, "bgr24", "vflip"},
};

class InputFormatTest : public CWmWriterTest, public ::testing::WithParamInterface<SInputCase> {};

TEST_P(InputFormatTest, PicturesAreConverted) {
    const SInputCase& c = GetParam();
    const auto yuv = Dir() / (std::string(c.name) + ".yuv");
    const auto raw = Dir() / (std::string(c.name) + ".raw");
    const auto file = Dir() / (std::string(c.name) + ".wmv");
    MakeRawVideo(yuv, 160, 120, "25", 25);
    const std::vector<BYTE> video = MakeRawVideo(raw, 160, 120, "25", 25, c.pixFmt, c.filter);
    SVideoSpec v;
    v.bitrate = 2'000'000;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    DWORD cFormats = 0;
    ASSERT_EQ(w.pWriter->GetInputFormatCount(w.inputs.video, &cFormats), S_OK);
    ComPtr<IWMInputMediaProps> pChosen;
    for (DWORD i = 0; i < cFormats && !pChosen; ++i) {
        ComPtr<IWMInputMediaProps> pProps;
        ASSERT_EQ(w.pWriter->GetInputFormat(w.inputs.video, i, pProps.Put()), S_OK);
        if (ReadMediaType(pProps.Get()).SubType() == *c.pSubtype) pChosen = pProps;
    }
    ASSERT_TRUE(pChosen) << "the writer offers " << c.name;
    ASSERT_EQ(w.pWriter->SetInputProps(w.inputs.video, pChosen.Get()), S_OK);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    SDelivery d;
    d.pVideo = &video;
    d.cbFrame = static_cast<DWORD>(video.size() / 25);
    d.frames = 25;
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, d), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
    EXPECT_GE(VideoPsnr(file, yuv, 160, 120), 30.0) << "same picture, right side up";
}

std::string InputName(const ::testing::TestParamInfo<SInputCase>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(Host, InputFormatTest, ::testing::ValuesIn(kInputCases), InputName);

double MeanVolume(const std::string& input) {
    std::string out;
    RunCommand("ffmpeg -nostdin -hide_banner " + input + " -af volumedetect -vn -f null - 2>&1", &out);
    const size_t at = out.find("mean_volume:");
    return at == std::string::npos ? 0.0 : std::atof(out.c_str() + at + 12);
}

TEST_F(CWmWriterTest, EightBitPcmAtAnotherRateIsConverted) {
    const auto pcm = Dir() / "tone8.pcm";
    const auto file = Dir() / "tone8.wma";
    const std::vector<BYTE> audio = MakeTone(pcm, 22050, 1, 2.0, "u8");
    SAudioSpec a{44100, 2, 128000};
    ComPtr<IWMProfile> pProfile = MakeProfile(nullptr, &a);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    ComPtr<IWMInputMediaProps> pProps;
    ASSERT_EQ(w.pWriter->GetInputProps(w.inputs.audio, pProps.Put()), S_OK);
    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    WmMediaType type = WmMediaType::FromWaveFormat(wfx);
    WM_MEDIA_TYPE mt = type.Get();
    ASSERT_EQ(pProps->SetMediaType(&mt), S_OK);
    ASSERT_EQ(w.pWriter->SetInputProps(w.inputs.audio, pProps.Get()), S_OK);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    SDelivery d;
    d.pAudio = &audio;
    d.cbBlock = 1;
    d.sampleRate = 22050;
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, d), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
    const double source = MeanVolume("-f u8 -ar 22050 -ac 1 -i '" + pcm.string() + "'");
    EXPECT_NEAR(MeanVolume("-i '" + file.string() + "'"), source, 3.0);
    const std::vector<SPacketInfo> ap = Packets(file, "a");
    ASSERT_FALSE(ap.empty());
    EXPECT_NEAR(ap.back().pts + ap.back().duration, 2.0, 0.047) << "audio alone ends after its last sample";
}

// ---- header ---------------------------------------------------------------

TEST_F(CWmWriterTest, HeaderCarriesTextsAndAspectRatio) {
    const auto yuv = Dir() / "header.yuv";
    const auto file = Dir() / "header.wmv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 5);
    SVideoSpec v;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    ComPtr<IWMHeaderInfo3> pHeader;
    ASSERT_EQ(w.pWriter.As(pHeader), S_OK);
    const std::u16string title = u"Zebra test";
    const DWORD x = 4;
    const DWORD y = 3;
    WORD index = 0;
    ASSERT_EQ(pHeader->AddAttribute(0, g_wszWMTitle, &index, WMT_TYPE_STRING, 0,
                                    reinterpret_cast<const BYTE*>(title.c_str()),
                                    static_cast<DWORD>((title.size() + 1) * 2)),
              S_OK);
    ASSERT_EQ(pHeader->AddAttribute(2, g_wszWMAspectRatioX, &index, WMT_TYPE_DWORD, 0,
                                    reinterpret_cast<const BYTE*>(&x), 4),
              S_OK);
    ASSERT_EQ(pHeader->AddAttribute(2, g_wszWMAspectRatioY, &index, WMT_TYPE_DWORD, 0,
                                    reinterpret_cast<const BYTE*>(&y), 4),
              S_OK);
    EXPECT_EQ(index, 1) << "the second attribute of stream 2";
    EXPECT_EQ(pHeader->AddAttribute(2, g_wszWMAspectRatioX, &index, WMT_TYPE_DWORD, 0,
                                    reinterpret_cast<const BYTE*>(&x), 2),
              E_INVALIDARG);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    EXPECT_EQ(pHeader->AddAttribute(0, g_wszWMAuthor, &index, WMT_TYPE_STRING, 0,
                                    reinterpret_cast<const BYTE*>(title.c_str()), 2),
              NS_E_INVALID_REQUEST)
        << "the header is written when writing begins";
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, PicturesOnly(video, 5)), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
    EXPECT_NE(Ffprobe("-show_entries format_tags=title -of csv=p=0", file).find("Zebra test"),
              std::string::npos);
    EXPECT_EQ(Ffprobe("-select_streams v -show_entries stream=sample_aspect_ratio -of csv=p=0", file),
              "4:3\n");
}

// ---- rate control ----------------------------------------------------------

TEST_F(CWmWriterTest, QualityModeFollowsSetQuality) {
    const auto yuv = Dir() / "quality.yuv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 25);
    uint64_t bytes[2] = {};
    double psnr[2] = {};
    const DWORD qualities[2] = {20, 100};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(qualities[i]);
        const auto file = Dir() / ("quality" + std::to_string(qualities[i]) + ".wmv");
        SVideoSpec v;
        v.bitrate = 0;
        v.quality = qualities[i];
        ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
        SOpenWriter w = OpenWriter(pProfile.Get(), file);
        ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
        ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, PicturesOnly(video, 25)), S_OK);
        ComPtr<IWMWriterAdvanced> pAdvanced;
        ASSERT_EQ(w.pWriter.As(pAdvanced), S_OK);
        WM_WRITER_STATISTICS stats{};
        ASSERT_EQ(pAdvanced->GetStatistics(2, &stats), S_OK);
        EXPECT_EQ(stats.qwSampleCount, 25u);
        ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
        for (const auto& row : FfprobeRows("-select_streams v -show_entries packet=size", file))
            bytes[i] += std::stoull(row[0]);
        EXPECT_EQ(bytes[i], stats.qwByteCount) << "statistics count the stored bytes";
        psnr[i] = VideoPsnr(file, yuv, 160, 120);
    }
    EXPECT_GT(bytes[1], bytes[0] * 2);
    EXPECT_GT(psnr[1], psnr[0] + 3.0);
}

TEST_F(CWmWriterTest, KeyFramesAtMostTheSpacingApart) {
    const auto yuv = Dir() / "keys.yuv";
    const auto file = Dir() / "keys.wmv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 75);
    SVideoSpec v;
    v.cnsKeyFrameSpacing = 5'000'000;  // half a second: 12.5 pictures, so 13
    ASSERT_NO_FATAL_FAILURE(WritePictures(v, video, 75, file));
    const std::vector<SPacketInfo> vp = Packets(file, "v");
    ASSERT_EQ(vp.size(), 75u);
    int since = 0;
    int keys = 0;
    for (const SPacketInfo& p : vp) {
        since = p.bKey ? 0 : since + 1;
        keys += p.bKey;
        EXPECT_LT(since, 13);
    }
    EXPECT_GE(keys, 6);
}

TEST_F(CWmWriterTest, PeakConstrainedProfileWrites) {
    const auto yuv = Dir() / "vbr.yuv";
    const auto file = Dir() / "vbr.wmv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 50);
    SVideoSpec v;
    v.bitrate = 300'000;
    v.bVbr = true;
    v.peakRate = 600'000;
    v.msPeakBuffer = 5000;
    ASSERT_NO_FATAL_FAILURE(WritePictures(v, video, 50, file));
    uint64_t bytes = 0;
    for (const auto& row : FfprobeRows("-select_streams v -show_entries packet=size", file))
        bytes += std::stoull(row[0]);
    EXPECT_LE(bytes * 8 / 2, 600'000u) << "never above the peak on average";
    EXPECT_TRUE(GstreamerPlays(file));
}

// ---- two-pass --------------------------------------------------------------

TEST_F(CWmWriterTest, PreprocessingPasses) {
    SVideoSpec v;
    SAudioSpec a;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, &a);
    SOpenWriter w = OpenWriter(pProfile.Get(), Dir() / "passes.wmv");
    ComPtr<IWMWriterPreprocess> pPre;
    ASSERT_EQ(w.pWriter.As(pPre), S_OK);
    DWORD passes = 9;
    ASSERT_EQ(pPre->GetMaxPreprocessingPasses(w.inputs.video, 0, &passes), S_OK);
    EXPECT_EQ(passes, 1u);
    ASSERT_EQ(pPre->GetMaxPreprocessingPasses(w.inputs.audio, 0, &passes), S_OK);
    EXPECT_EQ(passes, 0u);
    EXPECT_EQ(pPre->SetNumPreprocessingPasses(w.inputs.audio, 0, 1), NS_E_INVALID_NUM_PASSES);
    EXPECT_EQ(pPre->SetNumPreprocessingPasses(w.inputs.video, 0, 2), NS_E_INVALID_NUM_PASSES);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    EXPECT_EQ(pPre->BeginPreprocessingPass(w.inputs.video, 0), NS_E_INVALID_REQUEST)
        << "no pass was asked for";
    ASSERT_EQ(pPre->SetNumPreprocessingPasses(w.inputs.video, 0, 1), S_OK);
    ASSERT_EQ(pPre->BeginPreprocessingPass(w.inputs.video, 0), S_OK);
    EXPECT_EQ(pPre->EndPreprocessingPass(w.inputs.audio, 0), NS_E_INVALID_REQUEST);
    ASSERT_EQ(pPre->EndPreprocessingPass(w.inputs.video, 0), S_OK);
    EXPECT_EQ(pPre->BeginPreprocessingPass(w.inputs.video, 0), NS_E_INVALID_REQUEST)
        << "one pass only";
    EXPECT_EQ(w.pWriter->EndWriting(), S_OK);
}

struct STwoPassCase {
    const char* name;
    int preprocessed;
    int written;
};
constexpr STwoPassCase kTwoPassCases[] = {
    {"SameFrames", 50, 50},
    {"FinalPassLonger", 20, 50},
};
class TwoPassTest : public CWmWriterTest, public ::testing::WithParamInterface<STwoPassCase> {};

TEST_P(TwoPassTest, OnlyTheFinalPassIsStored) {
    const STwoPassCase& c = GetParam();
    const auto yuv = Dir() / (std::string(c.name) + "2p.yuv");
    const auto pcm = Dir() / (std::string(c.name) + "2p.pcm");
    const auto file = Dir() / (std::string(c.name) + "2p.wmv");
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", c.written);
    const std::vector<BYTE> audio = MakeTone(pcm, 44100, 2, c.written / 25.0);
    SVideoSpec v;
    v.bitrate = 1'500'000;
    SAudioSpec a;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, &a);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    CStatusRecorder recorder;
    ComPtr<IWMRegisterCallback> pRegister;
    ASSERT_EQ(w.pWriter.As(pRegister), S_OK);
    ASSERT_EQ(pRegister->Advise(&recorder, nullptr), S_OK);
    ComPtr<IWMWriterPreprocess> pPre;
    ASSERT_EQ(w.pWriter.As(pPre), S_OK);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    ASSERT_EQ(pPre->SetNumPreprocessingPasses(w.inputs.video, 0, 1), S_OK);
    ASSERT_EQ(pPre->BeginPreprocessingPass(w.inputs.video, 0), S_OK);
    // The audio goes with the first pass and waits for the final one.
    SDelivery first;
    first.pVideo = &video;
    first.cbFrame = 160 * 120 * 3 / 2;
    first.frames = c.preprocessed;
    first.bVideoPreprocessOnly = true;
    first.pAudio = &audio;
    first.cbBlock = 4;
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, first), S_OK);
    EXPECT_EQ(WriteBytes(w.pWriter.Get(), w.inputs.video, 0, video.data(), first.cbFrame),
              NS_E_INVALID_REQUEST)
        << "pictures of a preprocessing pass are not written";
    EXPECT_EQ(recorder.Errors(), 1);
    ASSERT_EQ(pPre->EndPreprocessingPass(w.inputs.video, 0), S_OK);
    SDelivery final = first;
    final.frames = c.written;
    final.bVideoPreprocessOnly = false;
    final.bSkipAudio = true;
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, final), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
    EXPECT_EQ(recorder.Errors(), 1);
    ASSERT_EQ(pRegister->Unadvise(&recorder, nullptr), S_OK);

    const std::vector<SPacketInfo> vp = Packets(file, "v");
    ASSERT_EQ(vp.size(), static_cast<size_t>(c.written));
    EXPECT_EQ(vp[0].pts, 0.0);
    const std::vector<SPacketInfo> ap = Packets(file, "a");
    ASSERT_FALSE(ap.empty());
    EXPECT_NEAR(ap.back().pts + ap.back().duration, c.written / 25.0, 0.04);
    EXPECT_GE(VideoPsnr(file, yuv, 160, 120), 30.0);
    EXPECT_TRUE(GstreamerPlays(file));
}

std::string TwoPassName(const ::testing::TestParamInfo<STwoPassCase>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(Passes, TwoPassTest, ::testing::ValuesIn(kTwoPassCases), TwoPassName);

// ---- interleaving -----------------------------------------------------------

TEST_F(CWmWriterTest, StreamsWrittenOneAfterTheOtherAreInterleaved) {
    const auto yuv = Dir() / "apart.yuv";
    const auto pcm = Dir() / "apart.pcm";
    const auto file = Dir() / "apart.wmv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 50);
    const std::vector<BYTE> audio = MakeTone(pcm, 44100, 2, 2.0);
    SVideoSpec v;
    SAudioSpec a;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, &a);
    SOpenWriter w = OpenWriter(pProfile.Get(), file);
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    SDelivery d;
    d.pVideo = &video;
    d.cbFrame = 160 * 120 * 3 / 2;
    d.frames = 50;
    d.pAudio = &audio;
    d.cbBlock = 4;
    d.bSkipAudio = true;  // all the video first ...
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, d), S_OK);
    d.pVideo = nullptr;
    d.bSkipAudio = false;  // ... then all the audio
    ASSERT_EQ(Deliver(w.pWriter.Get(), w.inputs, d), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
    double last = -1.0;
    const auto rows = FfprobeRows("-show_entries packet=pts_time", file);
    ASSERT_GT(rows.size(), 50u);
    for (const auto& row : rows) {
        const double pts = std::atof(row[0].c_str());
        EXPECT_GE(pts, last) << "the file holds the packets in time order";
        last = pts;
    }
}

// ---- failures ----------------------------------------------------------------

TEST(CWmWriterComTest, CreationNeedsCom) {
    ComPtr<IWMWriter> pWriter;
    EXPECT_EQ(WMCreateWriter(nullptr, pWriter.Put()), CO_E_NOTINITIALIZED);
    EXPECT_FALSE(pWriter);
    ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
    EXPECT_EQ(WMCreateWriter(nullptr, pWriter.Put()), S_OK);
    EXPECT_TRUE(pWriter);
    CoUninitialize();
    EXPECT_EQ(WMCreateWriter(nullptr, nullptr), E_POINTER);
}

// A writer whose sink reports to a recorder, as the plug-in registers itself.
struct SWatchedWriter : SOpenWriter {
    CStatusRecorder recorder;
};
void Watch(SWatchedWriter& w) {
    ComPtr<IWMWriterAdvanced> pAdvanced;
    ASSERT_EQ(w.pWriter.As(pAdvanced), S_OK);
    DWORD cSinks = 0;
    ASSERT_EQ(pAdvanced->GetSinkCount(&cSinks), S_OK);
    ASSERT_EQ(cSinks, 1u) << "SetOutputFilename adds a file sink";
    ComPtr<IWMWriterSink> pSink;
    ASSERT_EQ(pAdvanced->GetSink(0, pSink.Put()), S_OK);
    ComPtr<IWMRegisterCallback> pRegister;
    ASSERT_EQ(pSink.As(pRegister), S_OK);
    ASSERT_EQ(pRegister->Advise(&w.recorder, nullptr), S_OK);
}

TEST_F(CWmWriterTest, OutputInAMissingFolderFails) {
    SVideoSpec v;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    SWatchedWriter w;
    static_cast<SOpenWriter&>(w) = OpenWriter(pProfile.Get(), Dir() / "missing" / "x.wmv");
    ASSERT_NO_FATAL_FAILURE(Watch(w));
    EXPECT_EQ(w.pWriter->BeginWriting(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(w.recorder.Errors(), 1);
    EXPECT_EQ(w.recorder.LastError(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(Dir() / "missing"));
}

TEST_F(CWmWriterTest, FifoWithoutReaderFails) {
    const auto fifo = Dir() / "nobody.wmv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    SVideoSpec v;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    SWatchedWriter w;
    static_cast<SOpenWriter&>(w) = OpenWriter(pProfile.Get(), fifo);
    ASSERT_NO_FATAL_FAILURE(Watch(w));
    EXPECT_EQ(w.pWriter->BeginWriting(), NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(w.recorder.Errors(), 1);
}

TEST_F(CWmWriterTest, FullDiskFailsEveryLaterCall) {
    const auto yuv = Dir() / "full.yuv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 50);
    SVideoSpec v;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    SWatchedWriter w;
    static_cast<SOpenWriter&>(w) = OpenWriter(pProfile.Get(), "/dev/full");
    ASSERT_NO_FATAL_FAILURE(Watch(w));
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK) << "the header waits in the buffer";
    SDelivery d;
    d.pVideo = &video;
    d.cbFrame = 160 * 120 * 3 / 2;
    d.frames = 50;
    HRESULT hr = Deliver(w.pWriter.Get(), w.inputs, d);
    if (SUCCEEDED(hr)) hr = w.pWriter->EndWriting();
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_EQ(w.recorder.Errors(), 1);
    EXPECT_EQ(w.recorder.LastError(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
}

TEST_F(CWmWriterTest, MisuseIsRefused) {
    const auto yuv = Dir() / "misuse.yuv";
    const auto file = Dir() / "misuse.wmv";
    const std::vector<BYTE> video = MakeRawVideo(yuv, 160, 120, "25", 2);
    const DWORD cbFrame = 160 * 120 * 3 / 2;
    SVideoSpec v;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    ComPtr<IWMWriter> pWriter;
    ASSERT_EQ(CWmWriter::Create(pWriter.Put()), S_OK);
    EXPECT_EQ(pWriter->BeginWriting(), NS_E_NOT_CONFIGURED);
    SWatchedWriter w;
    static_cast<SOpenWriter&>(w) = OpenWriter(pProfile.Get(), file);
    ASSERT_NO_FATAL_FAILURE(Watch(w));
    EXPECT_EQ(WriteBytes(w.pWriter.Get(), 0, 0, video.data(), cbFrame), NS_E_INVALID_REQUEST)
        << "before BeginWriting";
    ASSERT_EQ(w.pWriter->BeginWriting(), S_OK);
    EXPECT_EQ(w.pWriter->SetProfile(pProfile.Get()), NS_E_INVALID_REQUEST);
    EXPECT_EQ(WriteBytes(w.pWriter.Get(), 0, 0, video.data(), cbFrame - 1), NS_E_INVALID_INPUT_FORMAT);
    EXPECT_EQ(WriteBytes(w.pWriter.Get(), 0, 0, video.data(), cbFrame), S_OK)
        << "a sample that does not match its input stops nothing";
    EXPECT_EQ(WriteBytes(w.pWriter.Get(), 0, 400'000, video.data() + cbFrame, cbFrame), S_OK);
    ASSERT_EQ(w.pWriter->EndWriting(), S_OK);
    EXPECT_EQ(WriteBytes(w.pWriter.Get(), 0, 800'000, video.data(), cbFrame), NS_E_INVALID_REQUEST);
    EXPECT_EQ(w.pWriter->EndWriting(), NS_E_INVALID_REQUEST);
    EXPECT_EQ(w.recorder.Errors(), 4) << "each refusal is reported";
    EXPECT_EQ(Packets(file, "v").size(), 2u) << "the file is complete";
}

TEST_F(CWmWriterTest, UnsupportedInputsAreRefused) {
    SVideoSpec v;
    SAudioSpec a;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, &a);
    SOpenWriter w = OpenWriter(pProfile.Get(), Dir() / "inputs.wmv");
    ComPtr<IWMInputMediaProps> pProps;
    ASSERT_EQ(w.pWriter->GetInputProps(w.inputs.video, pProps.Put()), S_OK);
    WmMediaType type = ReadMediaType(pProps.Get());
    type.SetSubType(WMMEDIASUBTYPE_NV12);
    WM_MEDIA_TYPE mt = type.Get();
    ASSERT_EQ(pProps->SetMediaType(&mt), S_OK);
    EXPECT_EQ(w.pWriter->SetInputProps(w.inputs.video, pProps.Get()), NS_E_INVALID_INPUT_FORMAT);
    EXPECT_EQ(w.pWriter->SetInputProps(w.inputs.audio, pProps.Get()), NS_E_INVALID_INPUT_FORMAT)
        << "a picture for the audio input";
    ASSERT_EQ(w.pWriter->GetInputProps(w.inputs.audio, pProps.Put()), S_OK);
    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 2, 44100, 44100 * 6, 6, 24, 0};
    WmMediaType pcm24 = WmMediaType::FromWaveFormat(wfx);
    mt = pcm24.Get();
    ASSERT_EQ(pProps->SetMediaType(&mt), S_OK);
    EXPECT_EQ(w.pWriter->SetInputProps(w.inputs.audio, pProps.Get()), NS_E_INVALID_INPUT_FORMAT);
    ComPtr<IWMWriterAdvanced2> pAdvanced2;
    ASSERT_EQ(w.pWriter.As(pAdvanced2), S_OK);
    const BOOL bTrue = TRUE;
    const BOOL bFalse = FALSE;
    EXPECT_EQ(pAdvanced2->SetInputSetting(w.inputs.video, g_wszInterlacedCoding, WMT_TYPE_BOOL,
                                          reinterpret_cast<const BYTE*>(&bTrue), 4),
              NS_E_UNSUPPORTED_PROPERTY);
    EXPECT_EQ(pAdvanced2->SetInputSetting(w.inputs.video, g_wszInterlacedCoding, WMT_TYPE_BOOL,
                                          reinterpret_cast<const BYTE*>(&bFalse), 4),
              S_OK);
}

// Profiles the codecs cannot make, as another machine's profile could ask.
struct SOutputCase {
    const char* name;
    std::function<void(WmMediaType&)> change;
    HRESULT hr;
};
const SOutputCase kOutputCases[] = {
    {"Wmv3", [](WmMediaType& t) { if (auto* p = t.VideoInfo()) p->bmiHeader.biCompression = MakeFourCC('W', 'M', 'V', '3'); },
     NS_E_VIDEO_CODEC_NOT_INSTALLED},
    {"WmaVersion1", [](WmMediaType& t) { const_cast<WAVEFORMATEX*>(t.WaveFormat())->wFormatTag = WAVE_FORMAT_MSAUDIO1; },
     NS_E_AUDIO_CODEC_NOT_INSTALLED},
    {"Audio24Bit", [](WmMediaType& t) { const_cast<WAVEFORMATEX*>(t.WaveFormat())->wBitsPerSample = 24; },
     NS_E_INVALID_OUTPUT_FORMAT},
    {"SixChannels", [](WmMediaType& t) { const_cast<WAVEFORMATEX*>(t.WaveFormat())->nChannels = 6; },
     NS_E_INVALID_OUTPUT_FORMAT},
    {"Below24kbps", [](WmMediaType& t) { const_cast<WAVEFORMATEX*>(t.WaveFormat())->nAvgBytesPerSec = 2000; },
     NS_E_INVALID_OUTPUT_FORMAT},
};
class UnreachableOutputTest : public CWmWriterTest, public ::testing::WithParamInterface<SOutputCase> {};

TEST_P(UnreachableOutputTest, ProfileIsRefused) {
    const SOutputCase& c = GetParam();
    SVideoSpec v;
    SAudioSpec a;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, &a);
    const WORD wStream = std::string(c.name) == "Wmv3" ? 2 : 1;
    ComPtr<IWMStreamConfig> pConfig;
    ASSERT_EQ(pProfile->GetStreamByNumber(wStream, pConfig.Put()), S_OK);
    ComPtr<IWMMediaProps> pProps;
    ASSERT_EQ(pConfig.As(pProps), S_OK);
    WmMediaType type = ReadMediaType(pProps.Get());
    c.change(type);
    WM_MEDIA_TYPE mt = type.Get();
    ASSERT_EQ(pProps->SetMediaType(&mt), S_OK);
    ASSERT_EQ(pProfile->ReconfigStream(pConfig.Get()), S_OK);
    ComPtr<IWMWriter> pWriter;
    ASSERT_EQ(CWmWriter::Create(pWriter.Put()), S_OK);
    EXPECT_EQ(pWriter->SetProfile(pProfile.Get()), c.hr);
    DWORD cInputs = 0;
    EXPECT_EQ(pWriter->GetInputCount(&cInputs), NS_E_NOT_CONFIGURED);
}

std::string OutputName(const ::testing::TestParamInfo<SOutputCase>& info) { return info.param.name; }
INSTANTIATE_TEST_SUITE_P(Formats, UnreachableOutputTest, ::testing::ValuesIn(kOutputCases), OutputName);

}  // namespace
