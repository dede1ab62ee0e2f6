// Encoding speed of the writer against the ffmpeg tool doing the same work:
// 1280x720 25 fps I420 and 48 kHz stereo PCM, read from the same raw files,
// to WMV2 (2 Mbit/s, CBR with a 3 s buffer, a key frame every 10 s) and
// WMA v2 (128 kbit/s) in ASF, one thread each.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "support/TempDir.h"
#include "wmf/CWmCodecInfo.h"
#include "wmf/CWmWriter.h"
#include "wmf/WriterTestSupport.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFrames = 125;  // 5 s
constexpr int kRate = 48000;
constexpr DWORD kVideoBitrate = 2'000'000;
constexpr DWORD kFrameBytes = kWidth * kHeight * 3 / 2;

struct SClip {
    std::unique_ptr<TempDir> pDir;
    std::filesystem::path video;
    std::filesystem::path audio;
};

const SClip& BenchClip() {
    static const SClip clip = [] {
        SClip c;
        c.pDir = std::make_unique<TempDir>("writerbench");
        c.video = c.pDir->Path() / "in.yuv";
        c.audio = c.pDir->Path() / "in.pcm";
        RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-frames:v", std::to_string(kFrames),
                   "-f", "rawvideo", "-pix_fmt", "yuv420p", c.video.string()});
        RunFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=5", "-ac", "2",
                   "-f", "s16le", c.audio.string()});
        return c;
    }();
    return clip;
}

template <class F>
double SecondsOf(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

ComPtr<IWMProfile> BenchProfile() {
    SVideoSpec v;
    v.width = kWidth;
    v.height = kHeight;
    v.bitrate = kVideoBitrate;
    SAudioSpec a{kRate, 2, 128'000};
    return MakeProfile(&v, &a);
}

// The bit rate libavcodec's wmav2 is opened with for the profile's format.
int64_t AudioEncoderBitrate(IWMProfile* pProfile) {
    ComPtr<IWMStreamConfig> pConfig;
    pProfile->GetStreamByNumber(1, pConfig.Put());
    ComPtr<IWMMediaProps> pProps;
    if (!pConfig || FAILED(pConfig.As(pProps))) return 0;
    return CWmCodecInfo::WmaEncoderBitRate(*ReadMediaType(pProps.Get()).WaveFormat());
}

bool EncodeWithFfmpeg(const SClip& clip, int64_t audioBitrate, const std::filesystem::path& out) {
    return RunFfmpeg({"-threads", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "1280x720", "-r", "25",
                      "-i", clip.video.string(), "-f", "s16le", "-ar", "48000", "-ac", "2", "-i",
                      clip.audio.string(), "-c:v", "wmv2", "-b:v", "2000000", "-maxrate", "2000000",
                      "-bufsize", "6000000", "-g", "250", "-c:a", "wmav2", "-b:a",
                      std::to_string(audioBitrate), "-threads", "1", "-f", "asf", out.string()});
}

// Pictures and audio through WriteSample, read from the files as they go.
bool EncodeWithWriter(const SClip& clip, IWMProfile* pProfile, const std::filesystem::path& out) {
    ComPtr<IWMWriter> pWriter;
    if (FAILED(CWmWriter::Create(pWriter.Put())) || FAILED(pWriter->SetProfile(pProfile)) ||
        FAILED(pWriter->SetOutputFilename(Wide(out.string()).c_str())) || FAILED(pWriter->BeginWriting()))
        return false;
    const SInputs inputs = FindInputs(pWriter.Get());
    std::unique_ptr<FILE, int (*)(FILE*)> video(fopen(clip.video.c_str(), "rb"), fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> audio(fopen(clip.audio.c_str(), "rb"), fclose);
    if (!video || !audio) return false;
    constexpr int kBlock = kRate / 25;  // one picture's worth of sample frames
    std::vector<BYTE> frame(kFrameBytes);
    std::vector<BYTE> pcm(kBlock * 4);
    for (int n = 0; n < kFrames; ++n) {
        if (fread(frame.data(), 1, frame.size(), video.get()) != frame.size()) return false;
        if (FAILED(WriteBytes(pWriter.Get(), inputs.video, static_cast<QWORD>(n) * 400'000, frame.data(), kFrameBytes)))
            return false;
        const size_t got = fread(pcm.data(), 1, pcm.size(), audio.get());
        if (got > 0 && FAILED(WriteBytes(pWriter.Get(), inputs.audio, static_cast<QWORD>(n) * 400'000, pcm.data(),
                                         static_cast<DWORD>(got))))
            return false;
    }
    return SUCCEEDED(pWriter->EndWriting());
}

void BM_WriteWmv2AndWma(benchmark::State& state) {
    const SClip& clip = BenchClip();
    ComPtr<IWMProfile> pProfile = BenchProfile();
    const int64_t audioBitrate = AudioEncoderBitrate(pProfile.Get());
    const auto refOut = clip.pDir->Path() / "ref.wmv";
    const auto ourOut = clip.pDir->Path() / "ours.wmv";
    double ours = 0;
    double ref = 0;
    for (auto _ : state) {
        bool bRef = false;
        bool bOurs = false;
        ref += SecondsOf([&] { bRef = EncodeWithFfmpeg(clip, audioBitrate, refOut); });
        ours += SecondsOf([&] { bOurs = EncodeWithWriter(clip, pProfile.Get(), ourOut); });
        if (!bRef || !bOurs) return state.SkipWithError("an encoding failed");
    }
    state.counters["ratio"] = ours / ref;  // < 1: we are faster
}
BENCHMARK(BM_WriteWmv2AndWma)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
