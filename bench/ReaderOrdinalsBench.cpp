// The reader as a host drives it, through the built plug-in's ordinals:
//   ordinals_decode_yuy2  open, seek to frame 0 (422), then every frame in
//                         turn (424) in YUY2, of a 1280x720 WMV2 file (25 fps,
//                         60 s, a key frame every 50), against
//                         ffmpeg -threads 1 -i F -pix_fmt yuyv422 -f null -
//                         (ratio: ffmpeg's CPU time / ours, at least 1);
//   ordinals_random_421   200 frames by index (421) in random order against
//                         the least exact seek to each (ratio: ours / that,
//                         at most 1.2): a forward jump must not decode
//                         everything in between;
//   ordinals_peak_rss     peak memory of a process that reads all of a
//                         10-minute file with video and audio (every frame
//                         by 422 + 424, all audio by 428, then the whole file
//                         again interleaved by 427), in MB above the same for
//                         a 1-minute file (at most 4: memory flat in length).
// Each timed ratio is the median of three iterations. Each line reads
// "bench <name> ratio=<r> target=<t> met|missed".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "BenchSupport.h"
#include "LeastSeek.h"
#include "reader/ReaderHost.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLast = 2;

// The middle byte of a delivered buffer, so that reading it cannot be left out.
uint8_t Probe(const uint8_t* pBuffer, const SPlugFrameInfo& info) {
    return pBuffer && info.nDataLength > 0 ? pBuffer[info.nDataLength / 2] : 0;
}

// Every video frame from the first: 422 of frame 0, then 424 until the last.
// The number of frames delivered, or -1 when a call fails or a frame comes
// out of order.
int64_t ReadAllVideo(const ReaderApi& api, void* hReader, uint8_t& probe) {
    SPlugFrameInfo info = NewFrameInfo();
    uint8_t* pBuffer = nullptr;
    if (api.SeekFrame(hReader, 0, &pBuffer, &info) != 0 || info.qwFrameNumber != 0) return -1;
    probe ^= Probe(pBuffer, info);
    int64_t frames = 1;
    while (info.dwContinuation != kLast) {
        info = NewFrameInfo();
        if (api.GetNextFrame(hReader, &pBuffer, &info) != 0) return -1;
        if (info.qwFrameNumber != static_cast<uint64_t>(frames)) return -1;
        probe ^= Probe(pBuffer, info);
        ++frames;
    }
    return frames;
}

void BM_DecodeYuy2(benchmark::State& state) {
    const ReaderApi* api = LoadReaderApi();
    if (!api) return state.SkipWithError("the plug-in could not be loaded");
    const fs::path clip = HdClip();
    ComScope com;
    std::vector<double> ratios;
    for (auto _ : state) {
        const SChildUsage ffmpeg =
            RunFfmpegChild({"-threads", "1", "-i", clip.string(), "-pix_fmt", "yuyv422", "-f", "null", "-"});
        if (!ffmpeg.ok) return state.SkipWithError("ffmpeg failed");
        int64_t frames = -1;
        uint32_t colorFormat = 0;
        uint8_t probe = 0;
        const double ours = CpuSecondsOf([&] {
            ReaderHandle handle(*api);
            if (handle.Open(clip) != 0) return;
            SPlugStreamDesc desc{};
            api->GetVideoStreamDesc(handle.Get(), 0, 0, &desc);
            colorFormat = desc.Video.dwColorFormat;
            frames = ReadAllVideo(*api, handle.Get(), probe);
        });
        benchmark::DoNotOptimize(probe);
        if (colorFormat != PLUG_COLOR_FORMAT_YUY2) return state.SkipWithError("the frames are not YUY2");
        if (frames != 1500) return state.SkipWithError("not every frame was delivered in order");
        ratios.push_back(ffmpeg.seconds / ours);
    }
    const double ratio = MedianOf(ratios);
    RecordRatio("ordinals_decode_yuy2", ratio, 1.0, true);
    state.counters["ratio"] = ratio;
}

void BM_RandomGetFrame(benchmark::State& state) {
    const ReaderApi* api = LoadReaderApi();
    if (!api) return state.SkipWithError("the plug-in could not be loaded");
    const fs::path clip = HdClip();
    ComScope com;
    CLeastSeek least(clip);
    ReaderHandle handle(*api);
    if (handle.Open(clip) != 0) return state.SkipWithError("the file did not open");
    std::mt19937 rng(23);
    std::vector<uint32_t> frames(200);
    for (auto& f : frames) f = static_cast<uint32_t>(rng() % least.Frames());
    std::vector<double> ratios;
    for (auto _ : state) {
        uint8_t a = 0;
        uint8_t b = 0;
        bool bExact = true;
        const double refTime = CpuSecondsOf([&] {
            for (const uint32_t frame : frames) a ^= least.Decode(frame);
        });
        const double oursTime = CpuSecondsOf([&] {
            for (const uint32_t frame : frames) {
                SPlugFrameInfo info = NewFrameInfo();
                uint8_t* pBuffer = nullptr;
                bExact = bExact && api->GetFrame(handle.Get(), frame, &pBuffer, &info) == 0 &&
                         info.qwFrameNumber == frame;
                b ^= Probe(pBuffer, info);
            }
        });
        benchmark::DoNotOptimize(a ^ b);
        if (!bExact) return state.SkipWithError("a read by index failed or gave another frame");
        ratios.push_back(oursTime / refTime);
    }
    const double ratio = MedianOf(ratios);
    RecordRatio("ordinals_random_421", ratio, 1.2, false);
    state.counters["ratio"] = ratio;
}

// The child of BM_PeakRss: everything a host reads from a file, through the
// ordinals. Exit status 0 when every read succeeded.
int ReadAll(const char* path) {
    const ReaderApi* api = LoadReaderApi();
    if (!api) return 1;
    ComScope com;
    ReaderHandle handle(*api);
    if (handle.Open(path) != 0) return 1;
    uint8_t probe = 0;
    if (ReadAllVideo(*api, handle.Get(), probe) <= 0) return 1;

    SPlugStreamDesc audio{};
    if (api->GetAudioStreamDesc(handle.Get(), 0, 0, &audio) != 0) return 1;
    const uint32_t total = audio.dwAudioFrameCount;
    const uint32_t chunk = audio.Audio.dwSampleRate;
    std::vector<uint8_t> block(size_t{chunk} * audio.Audio.dwBlockAlign);
    for (uint32_t first = 0; first < total; first += chunk) {
        SPlugFrameInfo info = NewFrameInfo();
        if (api->ReadAudio(handle.Get(), first, std::min(chunk, total - first), block.data(), &info) != 0) return 1;
        probe ^= block[block.size() / 2];
    }

    // A fresh handle played from the start, both streams interleaved.
    ReaderHandle player(*api);
    if (player.Open(path) != 0) return 1;
    bool bVideoDone = false;
    bool bAudioDone = false;
    for (uint32_t n = 0; n < 10'000'000 && !(bVideoDone && bAudioDone); ++n) {
        SPlugFrameInfo info = NewFrameInfo();
        uint8_t* pBuffer = nullptr;
        uint32_t dwStream = 0;
        const uint32_t status = api->GetNextSample(player.Get(), nullptr, &dwStream, &pBuffer, &info);
        bool& bDone = dwStream == 1 ? bAudioDone : bVideoDone;
        if (status != 0) {
            // Only a stream that has ended may fail while the other goes on.
            if (!bDone) return 1;
            continue;
        }
        probe ^= Probe(pBuffer, info);
        bDone = info.dwContinuation == kLast;
    }
    benchmark::DoNotOptimize(probe);
    return bVideoDone && bAudioDone ? 0 : 1;
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
    RecordRatio("ordinals_peak_rss", longPeak - shortPeak, 4.0, false);
    state.counters["short_mb"] = shortPeak;
    state.counters["long_mb"] = longPeak;
}

BENCHMARK(BM_DecodeYuy2)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_RandomGetFrame)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_PeakRss)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--read-all") == 0) return ReadAll(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    return 0;
}
