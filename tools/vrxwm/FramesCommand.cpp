// vrxwm frames FILE --out DIR [--range A:B] [--every N] [--format png|y4m]:
// frames by index, exactly the ones asked for, as PNG files or as one
// YUV4MPEG2 stream (to a file, or "-" for a pipe).
#include <cstdio>
#include <memory>
#include <optional>

#include "vrxwm/CPlugReader.h"
#include "vrxwm/CPlugin.h"
#include "vrxwm/CPngWriter.h"
#include "vrxwm/CProgressBar.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/CY4mWriter.h"
#include "vrxwm/Commands.h"
#include "vrxwm/RangeParser.h"
#include "vrxwm/ReaderPicture.h"
#include "vrxwm/StatusText.h"

namespace {

struct SFramesOptions {
    std::string file;
    std::string out;
    std::string range = ":";
    uint32_t every = 1;
    std::string format = "png";
};

std::filesystem::path PngName(const std::filesystem::path& dir, uint32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u.png", index);
    return dir / name;
}

void CreateFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir))
        throw CStatusError(ec ? StatusFromErrno(ec.value()) : kStatusAccessDenied,
                           "cannot create the folder " + dir.string() + (ec ? ": " + ec.message() : ""));
}

void RunFrames(const SFramesOptions& options) {
    CPlugReader reader(CPlugin::Get(), options.file);
    if (!reader.Video() || reader.Video()->dwVideoFrameCount == 0)
        throw CStatusError(kStatusNoVideo, options.file + " has no video frames");
    const SPlugStreamDesc& desc = *reader.Video();
    RequireDecodedVideo(desc.Video);
    const SFrameRange range = ParseFrameRange(options.range, desc.dwVideoFrameCount);
    const bool bPng = options.format == "png";
    const bool bToStdout = !bPng && options.out == "-";

    std::optional<CY4mWriter> y4m;
    CPngWriter png;
    if (bPng) {
        CreateFolder(options.out);
    } else {
        SY4mFormat format;
        format.width = static_cast<int>(desc.Video.dwWidth);
        format.height = static_cast<int>(desc.Video.dwHeight);
        if (desc.Video.dwFrameRateNum && desc.Video.dwFrameRateDen)
            av_reduce(&format.frameRate.num, &format.frameRate.den, desc.Video.dwFrameRateNum,
                      desc.Video.dwFrameRateDen, INT32_MAX);
        // Y4M carries the pixel aspect; the reader states the display aspect.
        if (desc.Video.dwAspectX && desc.Video.dwAspectY)
            av_reduce(&format.pixelAspect.num, &format.pixelAspect.den,
                      int64_t{desc.Video.dwAspectX} * desc.Video.dwHeight,
                      int64_t{desc.Video.dwAspectY} * desc.Video.dwWidth, 65535);
        format.dwFieldOrder = desc.Video.dwFieldOrder;
        y4m.emplace(options.out, format);
    }

    const int64_t total = (int64_t{range.last} - range.first) / options.every + 1;
    CProgressBar bar("frames", total);
    int64_t done = 0;
    for (uint64_t index = range.first; index <= range.last; index += options.every) {
        const SPlugFrame frame = reader.GetFrame(static_cast<uint32_t>(index));
        const SPicture picture = PictureOfFrame(desc.Video, frame);
        if (bPng) png.Write(picture, PngName(options.out, static_cast<uint32_t>(index)));
        else y4m->Write(picture);
        bar.Update(++done);
    }
    bar.Finish();
    if (y4m) y4m->Close();
    std::FILE* pReport = bToStdout ? stderr : stdout;
    std::fprintf(pReport, "%lld frames (%u to %u, every %u) written to %s\n", static_cast<long long>(done),
                 range.first, range.last, options.every, bToStdout ? "the standard output" : options.out.c_str());
}

}  // namespace

void AddFramesCommand(CLI::App& app) {
    auto options = std::make_shared<SFramesOptions>();
    CLI::App* command = app.add_subcommand("frames", "Extract frames by index as PNG or Y4M");
    command->add_option("FILE", options->file, "Windows Media file to read")->required();
    command->add_option("--out", options->out,
                        "Folder for the PNG files (frame_000100.png, ...), or the Y4M file (- for stdout)")
        ->required();
    command->add_option("--range", options->range, "Frames A:B, both included (100:110, 100: or :50); default all");
    command->add_option("--every", options->every, "Every Nth frame of the range")->check(CLI::PositiveNumber);
    command->add_option("--format", options->format, "Output format")
        ->check(CLI::IsMember({"png", "y4m"}))
        ->capture_default_str();
    command->callback([options] { RunFrames(*options); });
}
