// vrxwm transcode IN OUT.wmv [options]: a Windows Media file read through
// the reader and written again through the writer.
#include <memory>
#include <optional>

#include "vrxwm/CEncodeJob.h"
#include "vrxwm/CPlugReader.h"
#include "vrxwm/CPlugin.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/Commands.h"
#include "vrxwm/EncodeReport.h"
#include "vrxwm/ReaderSources.h"
#include "vrxwm/StatusText.h"

namespace {

struct STranscodeOptions {
    std::string in;
    std::string out;
    SEncodeOptions encode;
};

void RunTranscode(const STranscodeOptions& options) {
    CPlugin& plugin = CPlugin::Get();
    CPlugReader reader(plugin, options.in);
    if (!reader.Video() && !reader.Audio())
        throw CStatusError(kStatusNoVideo, options.in + " has neither video nor audio the reader can use");
    std::optional<CReaderVideoSource> video;
    std::optional<CReaderAudioSource> audio;
    if (reader.Video()) video.emplace(reader);
    if (reader.Audio()) audio.emplace(reader);
    const SEncodeResult result =
        RunEncodeJob(plugin, options.out, video ? &*video : nullptr, audio ? &*audio : nullptr, options.encode);
    PrintEncodeReport(options.out, result);
}

}  // namespace

void AddTranscodeCommand(CLI::App& app) {
    auto options = std::make_shared<STranscodeOptions>();
    CLI::App* command = app.add_subcommand("transcode", "Re-encode a Windows Media file through the writer");
    command->add_option("IN", options->in, "Windows Media file to read")->required();
    command->add_option("OUT", options->out, "Windows Media file to write")->required();
    AddEncodeOptions(*command, options->encode);
    command->callback([options] { RunTranscode(*options); });
}
