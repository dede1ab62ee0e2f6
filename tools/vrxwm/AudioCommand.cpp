// vrxwm audio FILE --out X.wav [--range START:END]: the decoded audio as a
// PCM WAV file, sample for sample as the reader delivers it.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "vrxwm/CPlugReader.h"
#include "vrxwm/CPlugin.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/Commands.h"
#include "vrxwm/MediaNames.h"
#include "vrxwm/RangeParser.h"
#include "vrxwm/StatusText.h"
#include "vrxwm/WavFile.h"

namespace {

constexpr uint32_t kChunkFrames = 16384;

struct SAudioOptions {
    std::string file;
    std::string out;
    std::string range = ":";
};

void RunAudio(const SAudioOptions& options) {
    CPlugReader reader(CPlugin::Get(), options.file);
    if (!reader.Audio() || reader.Audio()->dwAudioFrameCount == 0)
        throw CStatusError(kStatusNoAudio, options.file + " has no audio");
    const SPlugAudioStreamInfo& a = reader.Audio()->Audio;
    if (a.dwAudioType != PLUG_AUDIO_TYPE_WINMEDIA)
        throw CStatusError(kStatusAudioCodecMissing,
                           "the reader hands out " + AudioCodecName(a) + " audio compressed, not as PCM");
    const SSampleRange range = ParseSampleRange(options.range, a.dwSampleRate, reader.Audio()->dwAudioFrameCount);

    CWavWriter wav(options.out, static_cast<int>(a.dwSampleRate), static_cast<int>(a.dwChannels),
                   static_cast<int>(a.dwBitsPerSample));
    std::vector<uint8_t> buffer(size_t{kChunkFrames} * a.dwBlockAlign);
    uint32_t next = range.first;
    while (next < range.end) {
        const uint32_t count = std::min(kChunkFrames, range.end - next);
        const uint32_t delivered = reader.ReadAudio(next, count, buffer.data());
        if (delivered == 0)
            throw CStatusError(kStatusFail, options.file + ": no audio delivered at sample " + std::to_string(next));
        wav.Write(buffer.data(), size_t{delivered} * a.dwBlockAlign);
        next += delivered;
    }
    wav.Close();
    const bool bToStdout = options.out == "-";
    std::fprintf(bToStdout ? stderr : stdout, "%u samples (%u to %u, %u Hz %s, %u-bit) written to %s\n",
                 range.end - range.first, range.first, range.end, a.dwSampleRate, ChannelsName(a.dwChannels).c_str(),
                 a.dwBitsPerSample, bToStdout ? "the standard output" : options.out.c_str());
}

}  // namespace

void AddAudioCommand(CLI::App& app) {
    auto options = std::make_shared<SAudioOptions>();
    CLI::App* command = app.add_subcommand("audio", "Extract the audio as a PCM WAV file");
    command->add_option("FILE", options->file, "Windows Media file to read")->required();
    command->add_option("--out", options->out, "WAV file to write (- for stdout)")->required();
    command->add_option("--range", options->range,
                        "START:END, END excluded, in seconds (1.5:4) or sample frames (48000smp:96000smp); "
                        "default all");
    command->callback([options] { RunAudio(*options); });
}
