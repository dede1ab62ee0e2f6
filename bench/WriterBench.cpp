// Encoding speed of the Windows Media layer's writer against the ffmpeg tool
// doing the same work, one thread each:
//   layer_write   5 s of 1280x720 25 fps I420 and 48 kHz stereo PCM, read
//                 from the same raw files, to WMV2 (2 Mbit/s, a 3 s buffer,
//                 a key frame every 4 s) and WMA v2 at 128 kbit/s in ASF
//                 through WriteSample (ratio: ffmpeg's CPU time / ours, at
//                 least 0.9, what the whole path through the plug-in must
//                 reach).
// The ratio is the median of three iterations. Each line reads
// "bench <name> ratio=<r> target=<t> met|missed".
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "support/TempDir.h"
#include "wmf/CWmCodecInfo.h"
#include "wmf/CWmWriter.h"
#include "wmf/WriterTestSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr SWmvEncode kEncode{};

ComPtr<IWMProfile> BenchProfile() {
    SVideoSpec v;
    v.width = kRawWidth;
    v.height = kRawHeight;
    v.rateNum = kRawRate;
    v.bitrate = static_cast<DWORD>(kEncode.videoBitrate);
    v.cnsKeyFrameSpacing = LONGLONG{kEncode.keyFrameInterval} * 10'000'000 / kRawRate;
    SAudioSpec a{kRawSampleRate, kRawChannels, 128'000};
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

// Pictures and audio through WriteSample, read from the files as they go.
bool EncodeWithWriter(IWMProfile* pProfile, const fs::path& out) {
    ComPtr<IWMWriter> pWriter;
    if (FAILED(CWmWriter::Create(pWriter.Put())) || FAILED(pWriter->SetProfile(pProfile)) ||
        FAILED(pWriter->SetOutputFilename(Wide(out.string()).c_str())) || FAILED(pWriter->BeginWriting()))
        return false;
    const SInputs inputs = FindInputs(pWriter.Get());
    std::unique_ptr<FILE, int (*)(FILE*)> video(fopen(RawVideoClip().c_str(), "rb"), fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> audio(fopen(RawToneClip().c_str(), "rb"), fclose);
    if (!video || !audio) return false;
    constexpr int kBlock = kRawSampleRate / kRawRate;  // one picture's worth of sample frames
    constexpr QWORD kFrameTime = 10'000'000 / kRawRate;
    std::vector<BYTE> frame(kRawFrameBytes);
    std::vector<BYTE> pcm(size_t{kBlock} * kRawChannels * 2);
    for (int n = 0; n < kRawFrames; ++n) {
        if (fread(frame.data(), 1, frame.size(), video.get()) != frame.size()) return false;
        if (FAILED(WriteBytes(pWriter.Get(), inputs.video, n * kFrameTime, frame.data(),
                              static_cast<DWORD>(frame.size()))))
            return false;
        const size_t got = fread(pcm.data(), 1, pcm.size(), audio.get());
        if (got > 0 &&
            FAILED(WriteBytes(pWriter.Get(), inputs.audio, n * kFrameTime, pcm.data(), static_cast<DWORD>(got))))
            return false;
    }
    return SUCCEEDED(pWriter->EndWriting());
}

void BM_WriteWmv2AndWma(benchmark::State& state) {
    TempDir dir("writerbench");
    ComPtr<IWMProfile> pProfile = BenchProfile();
    SWmvEncode encode = kEncode;
    encode.audioBitrate = AudioEncoderBitrate(pProfile.Get());
    std::vector<double> ratios;
    for (auto _ : state) {
        const SChildUsage ffmpeg = EncodeRawWithFfmpeg(encode, dir.Path() / "ref.wmv");
        bool bOurs = false;
        const double ours =
            CpuSecondsOf([&] { bOurs = EncodeWithWriter(pProfile.Get(), dir.Path() / "ours.wmv"); });
        if (!ffmpeg.ok || !bOurs) return state.SkipWithError("an encoding failed");
        ratios.push_back(ffmpeg.seconds / ours);
    }
    const double ratio = MedianOf(ratios);
    RecordRatio("layer_write", ratio, 0.9, true);
    state.counters["ratio"] = ratio;
}
BENCHMARK(BM_WriteWmv2AndWma)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    return 0;
}
