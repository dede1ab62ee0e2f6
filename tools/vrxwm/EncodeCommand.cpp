// vrxwm encode --video IN.y4m [--audio IN.wav] --out X.wmv [options]:
// uncompressed video and PCM through the writer into a Windows Media file.
#include <memory>
#include <optional>

#include "vrxwm/CEncodeJob.h"
#include "vrxwm/CPlugin.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/CY4mReader.h"
#include "vrxwm/Commands.h"
#include "vrxwm/EncodeReport.h"
#include "vrxwm/StatusText.h"
#include "vrxwm/WavFile.h"

namespace {

struct SEncodeCommandOptions {
    std::string video;
    std::string audio;
    std::string out;
    SEncodeOptions encode;
};

void RunEncode(const SEncodeCommandOptions& options) {
    CY4mReader video(options.video);
    if (options.encode.bTwoPass && !video.CanRewind())
        throw CStatusError(kStatusInvalidArg, "--two-pass reads the video twice; " + options.video +
                                                  " is a pipe (use a file, or encode in one pass)");
    std::optional<CWavReader> audio;
    if (!options.audio.empty()) audio.emplace(options.audio);
    const SEncodeResult result =
        RunEncodeJob(CPlugin::Get(), options.out, &video, audio ? &*audio : nullptr, options.encode);
    PrintEncodeReport(options.out, result);
}

}  // namespace

void AddEncodeCommand(CLI::App& app) {
    auto options = std::make_shared<SEncodeCommandOptions>();
    CLI::App* command = app.add_subcommand("encode", "Encode Y4M video (and WAV audio) into a Windows Media file");
    command->add_option("--video", options->video, "YUV4MPEG2 video (- for stdin; one pass only)")->required();
    command->add_option("--audio", options->audio, "PCM WAV audio");
    command->add_option("--out", options->out, "Windows Media file to write")->required();
    AddEncodeOptions(*command, options->encode);
    command->callback([options] { RunEncode(*options); });
}
