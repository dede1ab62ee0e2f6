#include "BenchSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/Media.h"

extern "C" char** environ;

namespace fs = std::filesystem;

namespace {

struct SRatio {
    std::string name;
    double ratio;
    double target;
    bool atLeast;
    bool strict;
};

std::vector<SRatio>& Ratios() {
    static std::vector<SRatio> s_ratios;
    return s_ratios;
}

}  // namespace

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
    if (wait4(pid, &status, 0, &ru) != pid) return usage;
    usage.seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                    static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
    usage.megabytes = static_cast<double>(ru.ru_maxrss) / 1024.0;
    usage.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return usage;
}

SChildUsage RunFfmpegChild(const std::vector<std::string>& args) {
    std::vector<std::string> full = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    full.insert(full.end(), args.begin(), args.end());
    return RunChild(std::move(full));
}

fs::path SelfPath() {
    return fs::read_symlink("/proc/self/exe");
}

double ReadAllPeakMegabytes(const fs::path& clip) {
    const SChildUsage usage = RunChild({SelfPath().string(), "--read-all", clip.string()});
    return usage.ok ? usage.megabytes : -1;
}

fs::path BenchMedia(const std::string& name, const std::vector<std::string>& args) {
    const fs::path dir = SelfPath().parent_path().parent_path() / "bench-media";
    fs::create_directories(dir);
    const fs::path path = dir / name;
    if (fs::exists(path)) return path;
    // Made under another name first: an interrupted run leaves no clip
    // that looks finished.
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
    return BenchMedia("hd60.wmv", {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-t", "60", "-c:v",
                                   "wmv2", "-g", "50", "-b:v", "4M"});
}

fs::path SdClip(int seconds) {
    return BenchMedia("sd" + std::to_string(seconds) + ".wmv",
                      {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                       "sine=frequency=440:sample_rate=44100", "-t", std::to_string(seconds), "-c:v", "wmv2",
                       "-g", "250", "-b:v", "300k", "-c:a", "wmav2", "-b:a", "64k"});
}

fs::path RawVideoClip() {
    return BenchMedia("hd5.yuv", {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-frames:v",
                                  std::to_string(kRawFrames), "-f", "rawvideo", "-pix_fmt", "yuv420p"});
}

fs::path RawToneClip() {
    return BenchMedia("tone5.pcm", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=5", "-ac",
                                    "2", "-f", "s16le"});
}

SChildUsage EncodeRawWithFfmpeg(const SWmvEncode& encode, const fs::path& out) {
    const std::string rate = std::to_string(encode.videoBitrate);
    return RunFfmpegChild({"-threads", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s",
                           std::to_string(kRawWidth) + "x" + std::to_string(kRawHeight), "-r",
                           std::to_string(kRawRate), "-i", RawVideoClip().string(), "-f", "s16le", "-ar",
                           std::to_string(kRawSampleRate), "-ac", std::to_string(kRawChannels), "-i",
                           RawToneClip().string(), "-c:v", "wmv2", "-b:v", rate, "-maxrate", rate, "-bufsize",
                           std::to_string(encode.videoBitrate * 3), "-g", std::to_string(encode.keyFrameInterval),
                           "-c:a", "wmav2", "-b:a", std::to_string(encode.audioBitrate), "-threads", "1", "-f",
                           "asf", out.string()});
}

double MedianOf(std::vector<double> ratios) {
    if (ratios.empty()) return 0;
    const size_t middle = ratios.size() / 2;
    std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(middle), ratios.end());
    const double upper = ratios[middle];
    if (ratios.size() % 2 != 0) return upper;
    const double lower = *std::max_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2;
}

void RecordRatio(const std::string& name, double ratio, double target, bool atLeast, bool strict) {
    Ratios().push_back({name, ratio, target, atLeast, strict});
}

void PrintRatios() {
    for (const SRatio& r : Ratios()) {
        const bool met = r.atLeast ? (r.strict ? r.ratio > r.target : r.ratio >= r.target)
                                   : (r.strict ? r.ratio < r.target : r.ratio <= r.target);
        std::printf("bench %s ratio=%.3f target=%g %s\n", r.name.c_str(), r.ratio, r.target,
                    met ? "met" : "missed");
    }
}
