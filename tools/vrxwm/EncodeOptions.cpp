#include "vrxwm/EncodeOptions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavutil/rational.h>
}

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

// Windows Media video profile codes of the record's codec sub-type.
constexpr uint32_t kProfileWmv2 = 0;
constexpr uint32_t kProfileWmv1 = 2;
constexpr uint32_t kRateControlCbr = 1;
constexpr uint32_t kRateControlPeakVbr = 2;
// A default of about 0.15 bit per pixel, within sensible bounds.
constexpr double kDefaultBitsPerPixel = 0.15;
constexpr double kMinDefaultBitRate = 100'000;
constexpr double kMaxDefaultBitRate = 8'000'000;

AVRational ParseAspect(const std::string& text) {
    const size_t colon = text.find(':');
    char* end = nullptr;
    const long x = std::strtol(text.c_str(), &end, 10);
    const bool bNumber = colon != std::string::npos && end == text.c_str() + colon;
    const long y = bNumber ? std::strtol(text.c_str() + colon + 1, &end, 10) : 0;
    if (!bNumber || *end != '\0' || x <= 0 || y <= 0 || x > 65535 || y > 65535)
        throw CStatusError(kStatusInvalidArg, "--aspect " + text + ": expected W:H, e.g. 16:9");
    return {static_cast<int>(x), static_cast<int>(y)};
}

}  // namespace

void AddEncodeOptions(CLI::App& command, SEncodeOptions& options) {
    command.add_option("--codec", options.codec, "Video codec")
        ->check(CLI::IsMember({"wmv1", "wmv2"}))
        ->capture_default_str();
    command.add_option("--bitrate", options.bitRate,
                       "Video bit rate in bit/s (800k, 1.5M); default about 0.15 bit per pixel");
    command.add_option("--vbr", options.vbrPeak,
                       "Peak-constrained variable bit rate with this peak (bit/s); default constant bit rate");
    command.add_option("--audio-bitrate", options.audioBitRate,
                       "Audio bit rate in bit/s, snapped to what the codec offers; default 128k stereo, 48k mono");
    command.add_flag("--two-pass", options.bTwoPass, "Analyse the video in a first pass, then encode");
    command.add_option("--keyint", options.keyInterval, "Frames between key frames (10-100)")
        ->check(CLI::Range(1u, 100000u));
    command.add_option("--aspect", options.aspect, "Display aspect ratio W:H; default the source's");
}

uint32_t ParseBitRate(const std::string& text, const char* option) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    const std::string suffix = end ? end : "";
    if (suffix == "k" || suffix == "K") value *= 1e3;
    else if (suffix == "m" || suffix == "M") value *= 1e6;
    else if (!suffix.empty()) value = -1;
    if (text.empty() || !std::isfinite(value) || value < 1000 || value > 100e6)
        throw CStatusError(kStatusInvalidArg, std::string(option) + " " + text +
                                                  ": expected a bit rate between 1k and 100M bit/s (800k, 1.5M)");
    return static_cast<uint32_t>(std::lround(value));
}

void FillVideoParams(const SVideoFormat& format, const SEncodeOptions& options, SPlugMediaInfo& params) {
    SPlugVideoStreamInfo& v = params.Video;
    params.dwVideoPresent = 1;
    v.dwCodecType = PLUG_VIDEO_CODEC_WINMEDIA;
    v.dwCodecSubType = options.codec == "wmv1" ? kProfileWmv1 : kProfileWmv2;
    v.dwWidth = static_cast<uint32_t>(format.width);
    v.dwHeight = static_cast<uint32_t>(format.height);
    AVRational aspect = options.aspect.empty() ? format.displayAspect : ParseAspect(options.aspect);
    if (aspect.num <= 0 || aspect.den <= 0) aspect = {format.width, format.height};
    av_reduce(&aspect.num, &aspect.den, aspect.num, aspect.den, 65535);
    v.dwAspectX = static_cast<uint32_t>(aspect.num);
    v.dwAspectY = static_cast<uint32_t>(aspect.den);
    v.dwFrameRateNum = static_cast<uint32_t>(format.frameRate.num);
    v.dwFrameRateDen = static_cast<uint32_t>(format.frameRate.den);
    v.dwFieldOrder = format.dwFieldOrder;
    v.dwColorFormat = PLUG_COLOR_FORMAT_I420;
    if (options.keyInterval) v.dwKeyFrameInterval = options.keyInterval;
    if (options.bitRate.empty()) {
        const double pixelsPerSecond = double(format.width) * format.height * av_q2d(format.frameRate);
        v.dwBitRate = static_cast<uint32_t>(
            std::clamp(pixelsPerSecond * kDefaultBitsPerPixel, kMinDefaultBitRate, kMaxDefaultBitRate));
    } else {
        v.dwBitRate = ParseBitRate(options.bitRate, "--bitrate");
    }
    v.dwRateControl = kRateControlCbr;
    if (!options.vbrPeak.empty()) {
        v.dwRateControl = kRateControlPeakVbr;
        v.dwPeakBitRate = ParseBitRate(options.vbrPeak, "--vbr");
        if (v.dwPeakBitRate < v.dwBitRate)
            throw CStatusError(kStatusInvalidArg, "--vbr " + options.vbrPeak + ": the peak is below the bit rate (" +
                                                      std::to_string(v.dwBitRate) + " bit/s)");
    }
}
