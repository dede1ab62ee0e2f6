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
// Each line reads "bench <name> ratio=<r> target=<t> met|missed".
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/Media.h"
#include "win/Com.h"
#include "win/NsError.h"
#include "wmf/AvPtr.h"
#include "wmf/FileStream.h"
#include "wmf/WmInterfaces.h"
#include "wmf/WmTestSupport.h"

extern "C" char** environ;

namespace {

namespace fs = std::filesystem;

std::map<std::string, double> g_ratios;

// CPU seconds of the calling thread: the machine may be shared, and both
// sides of each comparison run single-threaded.
template <class F>
double SecondsOf(F&& work) {
    const auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    };
    const double start = now();
    work();
    return now() - start;
}

// Runs a program to its end; its CPU seconds, or its peak memory in MB.
struct SChildUsage {
    double seconds = 0;
    double megabytes = 0;
    bool ok = false;
};

SChildUsage RunChild(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    SChildUsage usage;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return usage;
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    usage.seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                    static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
    usage.megabytes = static_cast<double>(ru.ru_maxrss) / 1024.0;
    usage.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return usage;
}

fs::path SelfPath() { return fs::read_symlink("/proc/self/exe"); }

// Bench media are made once and kept beside the build's binaries.
fs::path Media(const std::string& name, const std::vector<std::string>& args) {
    const fs::path dir = SelfPath().parent_path().parent_path() / "bench-media";
    fs::create_directories(dir);
    const fs::path path = dir / name;
    if (fs::exists(path)) return path;
    const fs::path partial = dir / ("partial-" + name);
    auto full = args;
    full.push_back(partial.string());
    std::string error;
    if (!RunFfmpeg(full, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    fs::rename(partial, path);
    return path;
}

fs::path HdClip() {
    return Media("hd60.wmv", {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-t", "60", "-c:v", "wmv2",
                              "-g", "50", "-b:v", "4M"});
}

fs::path SdClip(int seconds) {
    return Media("sd" + std::to_string(seconds) + ".wmv",
                 {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                  "sine=frequency=440:sample_rate=44100", "-t", std::to_string(seconds), "-c:v", "wmv2", "-g",
                  "250", "-b:v", "300k", "-c:a", "wmav2", "-b:a", "64k"});
}

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

// The least an exact seek costs: a fresh decoder fed from the key frame
// at or before the frame, known in advance, straight to the frame, and the
// frame converted to YUY2.
class CLeastSeek {
public:
    explicit CLeastSeek(const fs::path& path) {
        AVFormatContext* raw = avformat_alloc_context();
        raw->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
        avformat_open_input(&raw, path.c_str(), av_find_input_format("asf"), nullptr);
        m_pFormat.reset(raw);
        auto pkt = MakePacket();
        while (av_read_frame(raw, pkt.get()) >= 0) {
            if (raw->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                m_video = pkt->stream_index;
                if (pkt->flags & AV_PKT_FLAG_KEY) m_keys.push_back({m_frames, pkt->pos});
                ++m_frames;
            }
            av_packet_unref(pkt.get());
        }
    }
    int64_t Frames() const { return m_frames; }

    BYTE Decode(int64_t frame) {
        auto key = std::upper_bound(m_keys.begin(), m_keys.end(), std::make_pair(frame, INT64_MAX));
        --key;
        av_seek_frame(m_pFormat.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
        avio_seek(m_pFormat->pb, key->second, SEEK_SET);
        const AVCodecParameters* par = m_pFormat->streams[m_video]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        AvPtr<AVCodecContext> decoder(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(decoder.get(), par);
        decoder->thread_count = 1;
        avcodec_open2(decoder.get(), codec, nullptr);
        auto pkt = MakePacket();
        auto picture = MakeFrame();
        int64_t index = key->first;
        while (index <= frame && av_read_frame(m_pFormat.get(), pkt.get()) >= 0) {
            if (pkt->stream_index == m_video) {
                avcodec_send_packet(decoder.get(), pkt.get());
                while (avcodec_receive_frame(decoder.get(), picture.get()) >= 0 && index < frame) av_frame_unref(picture.get());
                ++index;
            }
            av_packet_unref(pkt.get());
        }
        std::vector<BYTE> out(static_cast<size_t>(picture->width) * picture->height * 2);
        AvPtr<SwsContext> scaler(sws_getContext(picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                                picture->width, picture->height, AV_PIX_FMT_YUYV422, SWS_BICUBIC,
                                                nullptr, nullptr, nullptr));
        uint8_t* planes[1] = {out.data()};
        int strides[1] = {picture->width * 2};
        sws_scale(scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, strides);
        return out[out.size() / 2];
    }

private:
    AvPtr<AVFormatContext> m_pFormat;
    int m_video = 0;
    int64_t m_frames = 0;
    std::vector<std::pair<int64_t, int64_t>> m_keys;
};

void BM_DecodeYuy2(benchmark::State& state) {
    const fs::path clip = HdClip();
    double ours = 0;
    double ref = 0;
    for (auto _ : state) {
        const SChildUsage ffmpeg = RunChild({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-threads",
                                             "1", "-i", clip.string(), "-pix_fmt", "yuyv422", "-f", "null", "-"});
        if (!ffmpeg.ok) return state.SkipWithError("ffmpeg failed");
        ref += ffmpeg.seconds;
        int frames = 0;
        ours += SecondsOf([&] {
            WORD video = 0;
            DWORD output = 0;
            auto reader = Open(clip, video, output);
            QWORD time = 0;
            BYTE probe = 0;
            while (reader && Take(reader.Get(), video, true, time, probe) == S_OK) ++frames;
            benchmark::DoNotOptimize(probe);
        });
        if (frames != 1500) return state.SkipWithError("frame count differs");
    }
    g_ratios["decode_yuy2"] = ref / ours;
    state.counters["ratio"] = ref / ours;
}

// Our reader against the least exact seek, for one piece of work per target
// frame; the ratio is ours over the least.
template <class FOurs>
void AgainstLeastSeek(benchmark::State& state, const char* name, const std::vector<int64_t>& frames,
                      CLeastSeek& least, FOurs&& ours) {
    double oursTime = 0;
    double refTime = 0;
    for (auto _ : state) {
        BYTE a = 0;
        BYTE b = 0;
        refTime += SecondsOf([&] {
            for (const int64_t frame : frames) a ^= least.Decode(frame);
        });
        oursTime += SecondsOf([&] {
            for (const int64_t frame : frames) b ^= ours(frame);
        });
        benchmark::DoNotOptimize(a ^ b);
    }
    g_ratios[name] = oursTime / refTime;
    state.counters["ratio"] = oursTime / refTime;
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
        shortBest = std::min(shortBest, SecondsOf([&] { Open(shortClip, video, output); }));
        longBest = std::min(longBest, SecondsOf([&] { Open(longClip, video, output); }));
    }
    g_ratios["open_length"] = longBest / shortBest;
    state.counters["ratio"] = longBest / shortBest;
}

// Peak memory of a fresh process reading all of a file, in MB; negative
// when the process fails.
double PeakMegabytes(const fs::path& clip) {
    const SChildUsage usage = RunChild({SelfPath().string(), "--read-all", clip.string()});
    return usage.ok ? usage.megabytes : -1;
}

void BM_PeakRss(benchmark::State& state) {
    const fs::path shortClip = SdClip(60);
    const fs::path longClip = SdClip(600);
    double shortPeak = 0;
    double longPeak = 0;
    for (auto _ : state) {
        shortPeak = PeakMegabytes(shortClip);
        longPeak = PeakMegabytes(longClip);
        if (shortPeak <= 0 || longPeak <= 0) return state.SkipWithError("reading failed");
    }
    g_ratios["peak_rss"] = longPeak - shortPeak;
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

BENCHMARK(BM_DecodeYuy2)->Iterations(2)->Unit(benchmark::kSecond);
BENCHMARK(BM_RandomSeek)->Iterations(2)->Unit(benchmark::kSecond);
BENCHMARK(BM_ForwardScan)->Iterations(2)->Unit(benchmark::kSecond);
BENCHMARK(BM_OpenLength)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakRss)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--read-all") == 0) return ReadAll(argv[2]);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    struct STarget {
        const char* name;
        double target;
        bool atLeast;
    };
    constexpr STarget kTargets[] = {{"decode_yuy2", 1.0, true},
                                    {"random_seek", 1.2, false},
                                    {"forward_scan", 1.2, false},
                                    {"open_length", 1.2, false},
                                    {"peak_rss", 4.0, false}};
    for (const auto& t : kTargets) {
        const auto it = g_ratios.find(t.name);
        if (it == g_ratios.end()) continue;
        const bool met = t.atLeast ? it->second >= t.target : it->second <= t.target;
        std::printf("bench %s ratio=%.3f target=%.1f %s\n", t.name, it->second, t.target, met ? "met" : "missed");
    }
    return 0;
}
