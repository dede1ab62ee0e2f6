// Writes the fuzz corpus's seeds into the folder given: tiny ASF files of
// every codec family the reader handles, made with the ffmpeg tool, and the
// platform-made sample files when VRX_SAMPLES_DIR names their folder.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct SSeed {
    const char* name;
    const char* args;
};

constexpr SSeed kSeeds[] = {
    {"wmv2_wma.wmv", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.5 -f lavfi -i sine=duration=0.5 "
                     "-c:v wmv2 -g 5 -c:a wmav2 -b:a 32k"},
    {"wmv1_pcm.wmv", "-f lavfi -i testsrc=size=48x32:rate=15:duration=0.5 -f lavfi -i sine=duration=0.5:sample_rate=8000 "
                     "-c:v wmv1 -g 4 -c:a pcm_s16le"},
    {"msmpeg4_mp3.wmv", "-f lavfi -i testsrc=size=64x48:rate=30000/1001:duration=0.5 -f lavfi -i sine=duration=0.5 "
                        "-c:v msmpeg4 -g 6 -c:a libmp3lame -b:a 32k"},
    {"h264_aac.wmv", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.5 -f lavfi -i sine=duration=0.5 "
                     "-c:v libx264 -bf 2 -g 6 -pix_fmt yuv420p -bsf:v dump_extra -c:a aac -b:a 32k"},
    {"divx.wmv", "-f lavfi -i testsrc=size=64x48:rate=25:duration=0.5 -c:v mpeg4 -tag:v DIVX -bsf:v dump_extra -g 5"},
    {"wmav1.wma", "-f lavfi -i sine=duration=0.5 -c:a wmav1 -b:a 32k"},
    {"twovideo.wmv", "-f lavfi -i testsrc=size=48x32:rate=25:duration=0.4 -f lavfi -i testsrc2=size=32x32:rate=15:duration=0.4 "
                     "-map 0 -map 1 -c:v:0 wmv2 -c:v:1 wmv1"},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_DIR\n");
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    int failures = 0;
    for (const auto& seed : kSeeds) {
        const fs::path out = dir / seed.name;
        const std::string cmd = std::string("ffmpeg -nostdin -y -hide_banner -loglevel error ") + seed.args + " -f asf '" +
                                out.string() + "'";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "make_fuzz_seeds: %s failed\n", seed.name);
            ++failures;
        }
    }
    if (const char* samples = std::getenv("VRX_SAMPLES_DIR")) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(samples, ec)) {
            const auto ext = entry.path().extension();
            if (ext == ".wmv" || ext == ".wma") fs::copy_file(entry.path(), dir / entry.path().filename(),
                                                             fs::copy_options::overwrite_existing, ec);
        }
    }
    return failures ? 1 : 0;
}
