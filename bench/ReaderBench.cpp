// Speed and memory of the reader against the least the same work can cost:
//   decode_yuy2    every frame of a 1280x720 WMV2 file (25 fps, 60 s, a key
//                  frame every 50) through GetNextSample and
//                  GetBufferAndLength in YUY2, against
//                  ffmpeg -threads 1 -i F -pix_fmt yuyv422 -f null -
//                  (ratio: ffmpeg's time / ours, at least 1);
//   random_seek    200 SetRange to random times and the first picture,
//                  against a libav loop that knows where every key frame
//                  is and decodes from it straight to the frame (ratio:
//                  ours / that, at most 1.2);
//   forward_scan   SetRange, 500 samples of which only the last picture is
//                  looked at, against the same exact seek to that frame;
//   open_length    OpenStream of a 1-hour 320x240 file against a 1-minute
//                  one (ratio: at most 1.2, time independent of length);
//   peak_rss       peak memory reading all of a 10-minute file, in MB above
//                  that of the 1-minute file (at most 4).
// Each timed ratio is the median of three iterations. Each line reads
// "bench <name> ratio=<r> target=<t> met|missed".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "LeastSeek.h"
#include "win/Com.h"
#include "win/NsError.h"
#include "wmf/FileStream.h"
#include "wmf/WmInterfaces.h"
#include "wmf/WmTestSupport.h"

namespace {

namespace fs = std::filesystem;

ComPtr<IWMSyncReader> Open(const fs::path& path, WORD& video, DWORD& output) {
    ComPtr<IWMSyncReader> reader;
    if (FAILED(WMCreateSyncReader(nullptr, 0, reader.Put()))) return {};
    ComPtr<IStream> stream = ComPtr<IStream>::Adopt(CFileStream::Open(path));
    if (!stream) return {};
    if (FAILED(reader->OpenStream(stream.Get()))) return {};
    DWORD count = 0;
    reader->GetOutputCount(&count);
    video = 0;
    for (DWORD i = 0; i < count && !video; ++i) {
        ComPtr<IWMOutputMediaProps> props;
        reader->GetOutputProps(i, props.Put());
        GUID type{};
        props->GetType(&type);
        if (!(type == MEDIATYPE_Video)) continue;
        reader->GetStreamNumberForOutput(i, &video);
        output = i;
        DWORD formats = 0;
        reader->GetOutputFormatCount(i, &formats);
        for (DWORD j = 0; j < formats; ++j) {
            ComPtr<IWMOutputMediaProps> format;
            reader->GetOutputFormat(i, j, format.Put());
            if (ReadMediaType(format.Get()).SubType() == MEDIASUBTYPE_YUY2) reader->SetOutputProps(i, format.Get());
        }
    }
    return reader;
}

// Reads a sample and, when asked, its picture; returns the first byte so
// that the work cannot be left out.
HRESULT Take(IWMSyncReader* reader, WORD stream, bool data, QWORD& time, BYTE& probe) {
    ComPtr<INSSBuffer> sample;
    QWORD duration = 0;
    DWORD flags = 0;
    const HRESULT hr = reader->GetNextSample(stream, sample.Put(), &time, &duration, &flags, nullptr, nullptr);
    if (FAILED(hr) || !data) return hr;
    BYTE* p = nullptr;
    DWORD cb = 0;
    const HRESULT hrData = sample->GetBufferAndLength(&p, &cb);
    if (SUCCEEDED(hrData) && cb) probe ^= p[cb / 2];
    return hrData;
}

void BM_DecodeYuy2(benchmark::State& state) {
    const fs::path clip = HdClip();
    std::vector<double> ratios;
    for (auto _ : state) {
        const SChildUsage ffmpeg =
            RunFfmpegChild({"-threads", "1", "-i", clip.string(), "-pix_fmt", "yuyv422", "-f", "null", "-"});
        if (!ffmpeg.ok) return state.SkipWithError("ffmpeg failed");
        int frames = 0;
        const double ours = CpuSecondsOf([&] {
            WORD video = 0;
            DWORD output = 0;
            auto reader = Open(clip, video, output);
            QWORD time = 0;
            BYTE probe = 0;
            while (reader && Take(reader.Get(), video, true, time, probe) == S_OK) ++frames;
            benchmark::DoNotOptimize(probe);
        });
        if (frames != 1500) return state.SkipWithError("frame count differs");
        ratios.push_back(ffmpeg.seconds / ours);
    }
    const double ratio = MedianOf(ratios);
    RecordRatio("decode_yuy2", ratio, 1.0, true);
    state.counters["ratio"] = ratio;
}

// Our reader against the least exact seek, for one piece of work per target
// frame; the ratio is ours over the least.
template <class FOurs>
void AgainstLeastSeek(benchmark::State& state, const char* name, const std::vector<int64_t>& frames,
                      CLeastSeek& least, FOurs&& ours) {
    std::vector<double> ratios;
    for (auto _ : state) {
        BYTE a = 0;
        BYTE b = 0;
        const double refTime = CpuSecondsOf([&] {
            for (const int64_t frame : frames) a ^= least.Decode(frame);
        });
        const double oursTime = CpuSecondsOf([&] {
            for (const int64_t frame : frames) b ^= ours(frame);
        });
        benchmark::DoNotOptimize(a ^ b);
        ratios.push_back(oursTime / refTime);
    }
    const double ratio = MedianOf(ratios);
    RecordRatio(name, ratio, 1.2, false);
    state.counters["ratio"] = ratio;
}

void BM_RandomSeek(benchmark::State& state) {
    const fs::path clip = HdClip();
    CLeastSeek least(clip);
    WORD video = 0;
    DWORD output = 0;
    auto reader = Open(clip, video, output);
    std::mt19937 rng(17);
    std::vector<int64_t> frames(200);
    for (auto& f : frames) f = rng() % least.Frames();
    AgainstLeastSeek(state, "random_seek", frames, least, [&](int64_t frame) {
        QWORD time = 0;
        BYTE probe = 0;
        // Between frames: the frame on screen there comes.
        reader->SetRange(static_cast<QWORD>(frame) * 400'000 + 123, 0);
        Take(reader.Get(), video, true, time, probe);
        return probe;
    });
}

void BM_ForwardScan(benchmark::State& state) {
    const fs::path clip = HdClip();
    CLeastSeek least(clip);
    WORD video = 0;
    DWORD output = 0;
    auto reader = Open(clip, video, output);
    std::mt19937 rng(29);
    std::vector<int64_t> frames(20);
    for (auto& f : frames) f = rng() % (least.Frames() - 500) + 499;
    AgainstLeastSeek(state, "forward_scan", frames, least, [&](int64_t frame) {
        QWORD time = 0;
        BYTE probe = 0;
        reader->SetRange(static_cast<QWORD>(frame - 499) * 400'000, 0);
        for (int i = 0; i < 500; ++i) Take(reader.Get(), video, i == 499, time, probe);
        return probe;
    });
}

void BM_OpenLength(benchmark::State& state) {
    const fs::path shortClip = SdClip(60);
    const fs::path longClip = SdClip(3600);
    double shortBest = 1e9;
    double longBest = 1e9;
    for (auto _ : state) {
        WORD video = 0;
        DWORD output = 0;
        shortBest = std::min(shortBest, CpuSecondsOf([&] { Open(shortClip, video, output); }));
        longBest = std::min(longBest, CpuSecondsOf([&] { Open(longClip, video, output); }));
    }
    RecordRatio("open_length", longBest / shortBest, 1.2, false);
    state.counters["ratio"] = longBest / shortBest;
}

void BM_PeakRss(benchmark::State& state) {
    const fs::path shortClip = SdClip(60);
    const fs::path longClip = SdClip(600);
    double shortPeak = 0;
    double longPeak = 0;
    for (auto _ : state) {
        shortPeak = ReadAllPeakMegabytes(shortClip);
        longPeak = ReadAllPeakMegabytes(longClip);
        if (shortPeak <= 0 || longPeak <= 0) return state.SkipWithError("reading failed");
    }
    RecordRatio("peak_rss", longPeak - shortPeak, 4.0, false);
    state.counters["short_mb"] = shortPeak;
    state.counters["long_mb"] = longPeak;
}

// The child of BM_PeakRss: every sample of every stream, with its data.
int ReadAll(const char* path) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WORD video = 0;
    DWORD output = 0;
    auto reader = Open(path, video, output);
    if (!reader) return 1;
    QWORD time = 0;
    BYTE probe = 0;
    while (Take(reader.Get(), 0, true, time, probe) == S_OK) {
    }
    return probe == 0xFF ? 2 : 0;
}

BENCHMARK(BM_DecodeYuy2)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_RandomSeek)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_ForwardScan)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_OpenLength)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakRss)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--read-all") == 0) return ReadAll(argv[2]);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    return 0;
}
