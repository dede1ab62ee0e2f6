#include "vrxwm/EncodeReport.h"

#include <cstdio>
#include <string>

#include "vrxwm/MediaNames.h"

void PrintEncodeReport(const std::filesystem::path& out, const SEncodeResult& result) {
    const SPlugMediaInfo& p = result.params;
    std::string line = out.string() + ":";
    if (p.dwVideoPresent) {
        const SPlugVideoStreamInfo& v = p.Video;
        line += " " + std::to_string(result.nFrames) + " frames " + VideoCodecName(v) + " " +
                std::to_string(v.dwWidth) + "x" + std::to_string(v.dwHeight) + " " +
                FrameRateText(v) + " fps at " +
                std::to_string(v.dwBitRate / 1000) + " kbit/s" +
                (v.dwRateControl == 1 ? "" : " (peak " + std::to_string(v.dwPeakBitRate / 1000) + ")") +
                (result.bTwoPass ? ", two-pass" : ", one pass");
    }
    if (p.dwAudioPresent) {
        const SPlugAudioStreamInfo& a = p.Audio;
        line += std::string(p.dwVideoPresent ? ";" : "") + " audio " + std::to_string(result.nAudioFrames) +
                " samples " + std::to_string(a.dwSampleRate) + " Hz " + ChannelsName(a.dwChannels) + " at " +
                std::to_string(a.dwBitRate / 1000) + " kbit/s";
    }
    std::error_code ec;
    const auto cbFile = std::filesystem::file_size(out, ec);
    char tail[96];
    std::snprintf(tail, sizeof tail, "; %llu bytes in %.1f s", ec ? 0ULL : static_cast<unsigned long long>(cbFile),
                  result.seconds);
    std::printf("%s%s\n", line.c_str(), tail);
}
