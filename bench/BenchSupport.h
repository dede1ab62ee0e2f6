// What the benchmarks share: CPU time of our side and of a child process,
// the clips they are measured on (made once with ffmpeg and kept beside the
// build's binaries), and the report of every ratio against its target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

// CPU seconds of the whole process while work runs: the machine may be
// shared, and both sides of each comparison run alone. Worker threads of
// our own (the writer's encoder thread) are counted with the caller.
template <class F>
double CpuSecondsOf(F&& work) {
    const auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    };
    const double start = now();
    work();
    return now() - start;
}

// A program run to its end, its standard output thrown away.
struct SChildUsage {
    double seconds = 0;    // user and system CPU time, every thread
    double megabytes = 0;  // peak resident memory
    bool ok = false;       // exit status 0
};
SChildUsage RunChild(std::vector<std::string> args);

// The ffmpeg tool, quiet and overwriting, with args after its own options;
// the references pass -threads 1 themselves.
SChildUsage RunFfmpegChild(const std::vector<std::string>& args);

// This benchmark's own executable, to run it again as a child.
std::filesystem::path SelfPath();

// Peak memory in MB of this executable run again as
//   <self> --read-all clip
// (each memory benchmark's main reads the whole clip then); negative when
// that run fails.
double ReadAllPeakMegabytes(const std::filesystem::path& clip);

// A clip made with ffmpeg from args (output file appended) once per build
// folder; exits the benchmark when ffmpeg fails.
std::filesystem::path BenchMedia(const std::string& name, const std::vector<std::string>& args);

// 1280x720 WMV2, 25 fps, 60 s, a key frame every 50: the decoding clip.
std::filesystem::path HdClip();
// 320x240 WMV2 with WMA v2 at 44.1 kHz, 25 fps, a key frame every 250.
std::filesystem::path SdClip(int seconds);

// The encoding benchmarks' input: 5 s of 1280x720 25 fps I420 (125
// pictures, testsrc2) and of 48 kHz stereo 16-bit PCM (a 440 Hz tone), raw.
constexpr int kRawWidth = 1280;
constexpr int kRawHeight = 720;
constexpr int kRawFrames = 125;
constexpr int kRawRate = 25;
constexpr int kRawSampleRate = 48000;
constexpr int kRawChannels = 2;
constexpr size_t kRawFrameBytes = size_t{kRawWidth} * kRawHeight * 3 / 2;
std::filesystem::path RawVideoClip();
std::filesystem::path RawToneClip();

// What both sides of an encoding comparison make: WMV2 at videoBitrate
// bit/s, held to it with a buffer of three seconds, a key frame every
// keyFrameInterval pictures; WMA v2 at audioBitrate.
struct SWmvEncode {
    int64_t videoBitrate = 2'000'000;
    int keyFrameInterval = 100;
    int64_t audioBitrate = 0;
};
// The reference: the ffmpeg tool encoding the raw clip to ASF in out, one
// thread.
SChildUsage EncodeRawWithFfmpeg(const SWmvEncode& encode, const std::filesystem::path& out);

// The middle of the ratios measured in one run's iterations (the mean of
// the middle two for an even count, 0 for none): one iteration disturbed by
// another process on a shared machine does not decide the figure.
double MedianOf(std::vector<double> ratios);

// A ratio measured by this run, and its target. atLeast: the ratio is a
// speed (reference time / ours) that must reach the target; otherwise a
// cost that must stay at or under it. strict: "less than", not "at most".
void RecordRatio(const std::string& name, double ratio, double target, bool atLeast, bool strict = false);

// One line per recorded ratio, in the order they were recorded:
//   bench <name> ratio=<r> target=<t> met|missed
void PrintRatios();
