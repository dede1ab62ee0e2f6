// vrxwm info FILE [--json]: what the reader sees in a file, as a table for
// people or as JSON for scripts.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "vrxwm/CPlugReader.h"
#include "vrxwm/CPlugin.h"
#include "vrxwm/Commands.h"
#include "vrxwm/MediaNames.h"
#include "vrxwm/ReaderPicture.h"

namespace {

struct SInfoOptions {
    std::string file;
    bool bJson = false;
};

std::string AspectText(const SPlugVideoStreamInfo& v) {
    return std::to_string(v.dwAspectX) + ":" + std::to_string(v.dwAspectY);
}

std::optional<double> VideoSeconds(const SPlugStreamDesc& d) {
    if (d.Video.dwFrameRateNum == 0 || d.Video.dwFrameRateDen == 0) return std::nullopt;
    return double(d.dwVideoFrameCount) * d.Video.dwFrameRateDen / d.Video.dwFrameRateNum;
}

std::optional<double> AudioSeconds(const SPlugStreamDesc& d) {
    if (d.Audio.dwSampleRate == 0) return std::nullopt;
    return double(d.dwAudioFrameCount) * d.Audio.dwSamplesPerFrame / d.Audio.dwSampleRate;
}

nlohmann::json VideoJson(const SPlugStreamDesc& d) {
    const SPlugVideoStreamInfo& v = d.Video;
    const auto seconds = VideoSeconds(d);
    return {
        {"codec", VideoCodecName(v)},
        {"decoded", IsDecodedVideo(v)},
        {"width", v.dwWidth},
        {"height", v.dwHeight},
        {"display_aspect", AspectText(v)},
        {"frame_rate", FrameRateText(v)},
        {"frame_count", d.dwVideoFrameCount},
        {"duration", seconds ? nlohmann::json(*seconds) : nlohmann::json()},
        {"field_order", FieldOrderName(v.dwFieldOrder)},
        {"colour_format", ColourFormatName(v.dwColorFormat)},
        {"bit_rate", v.dwBitRate},
    };
}

nlohmann::json AudioJson(const SPlugStreamDesc& d) {
    const SPlugAudioStreamInfo& a = d.Audio;
    const auto seconds = AudioSeconds(d);
    // The description counts frames; for PCM a frame is one sample frame.
    const uint64_t samples = uint64_t{d.dwAudioFrameCount} * a.dwSamplesPerFrame;
    return {
        {"codec", AudioCodecName(a)},
        {"decoded", a.dwAudioType == PLUG_AUDIO_TYPE_WINMEDIA},
        {"sample_rate", a.dwSampleRate},
        {"channels", a.dwChannels},
        {"bits_per_sample", a.dwBitsPerSample},
        {"bit_rate", a.dwBitRate},
        {"sample_count", samples},
        {"duration", seconds ? nlohmann::json(*seconds) : nlohmann::json()},
    };
}

void Row(const std::string& name, const std::string& value) {
    std::printf("  %-16s %s\n", name.c_str(), value.c_str());
}

std::string Seconds(const std::optional<double>& seconds) {
    if (!seconds) return "unknown";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", *seconds);
    return text;
}

void PrintTable(const CPlugReader& reader, const std::string& file) {
    std::printf("%s: %llu bytes\n", file.c_str(), static_cast<unsigned long long>(reader.FileSize()));
    if (const auto& d = reader.Video()) {
        const SPlugVideoStreamInfo& v = d->Video;
        std::printf("video\n");
        Row("codec", VideoCodecName(v) + (IsDecodedVideo(v) ? ", decoded to " + ColourFormatName(v.dwColorFormat)
                                                            : ", handed out compressed"));
        Row("size", std::to_string(v.dwWidth) + "x" + std::to_string(v.dwHeight));
        Row("display aspect", AspectText(v));
        Row("frame rate", FrameRateText(v));
        Row("frames", std::to_string(d->dwVideoFrameCount));
        Row("duration", Seconds(VideoSeconds(*d)));
        Row("field order", FieldOrderName(v.dwFieldOrder));
        Row("bit rate", std::to_string(v.dwBitRate / 1000) + " kbit/s");
    } else {
        std::printf("video: none\n");
    }
    if (const auto& d = reader.Audio()) {
        const SPlugAudioStreamInfo& a = d->Audio;
        std::printf("audio\n");
        Row("codec", AudioCodecName(a));
        Row("format", std::to_string(a.dwSampleRate) + " Hz " + ChannelsName(a.dwChannels) + ", " +
                          std::to_string(a.dwBitsPerSample) + "-bit");
        Row("bit rate", std::to_string(a.dwBitRate / 1000) + " kbit/s");
        Row("samples", std::to_string(uint64_t{d->dwAudioFrameCount} * a.dwSamplesPerFrame));
        Row("duration", Seconds(AudioSeconds(*d)));
    } else {
        std::printf("audio: none\n");
    }
}

void RunInfo(const SInfoOptions& options) {
    const CPlugReader reader(CPlugin::Get(), options.file);
    if (!options.bJson) {
        PrintTable(reader, options.file);
        return;
    }
    const nlohmann::json info = {
        {"file", options.file},
        {"size", reader.FileSize()},
        {"video", reader.Video() ? VideoJson(*reader.Video()) : nlohmann::json()},
        {"audio", reader.Audio() ? AudioJson(*reader.Audio()) : nlohmann::json()},
    };
    std::cout << info.dump(2) << '\n';
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
    auto options = std::make_shared<SInfoOptions>();
    CLI::App* command = app.add_subcommand("info", "Show the streams of a Windows Media file");
    command->add_option("FILE", options->file, "File to inspect")->required();
    command->add_flag("--json", options->bJson,
                      "JSON for scripts: video.width, video.frame_rate (\"num/den\"), audio.sample_count, ...");
    command->callback([options] { RunInfo(*options); });
}
