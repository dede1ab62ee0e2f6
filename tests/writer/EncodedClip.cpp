#include "writer/EncodedClip.h"

#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

#include "support/Media.h"

namespace {

uint8_t BandLevel(int frame) { return static_cast<uint8_t>(40 + 24 * (frame % kLevelCycle)); }

}  // namespace

std::vector<BYTE> MakePicture(const SClipFormat& format, int frame) {
    const int w = static_cast<int>(format.dwWidth);
    const int h = static_cast<int>(format.dwHeight);
    auto luma = [&](int x, int y) -> uint8_t {
        if (y < kBandRows || y >= h - kBandRows) return BandLevel(frame);
        const unsigned hash = (static_cast<unsigned>(x + 3 * frame) * 2654435761u) ^
                              (static_cast<unsigned>(y) * 40503u);
        return static_cast<uint8_t>(64 + (x + y + 2 * frame) % 96 + (hash >> 29));
    };
    std::vector<BYTE> picture;
    switch (format.dwColorFormat) {
    case PLUG_COLOR_FORMAT_I420:
        picture.resize(size_t(w) * h * 3 / 2, 128);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) picture[size_t(y) * w + x] = luma(x, y);
        }
        break;
    case PLUG_COLOR_FORMAT_YUY2:
    case PLUG_COLOR_FORMAT_UYVY: {
        picture.resize(size_t(w) * h * 2);
        const int iLuma = format.dwColorFormat == PLUG_COLOR_FORMAT_YUY2 ? 0 : 1;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                BYTE* p = &picture[(size_t(y) * w + x) * 2];
                p[iLuma] = luma(x, y);
                p[1 - iLuma] = 128;
            }
        }
        break;
    }
    default:
        picture.resize(size_t(w) * h * 4);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                BYTE* p = &picture[(size_t(y) * w + x) * 4];
                p[0] = p[1] = p[2] = luma(x, y);
                p[3] = 255;
            }
        }
        break;
    }
    return picture;
}

void FeedClip(CWMVEncoder& encoder, const SClipFormat& format, int first, int count) {
    const uint32_t cbHostFrame = format.dwChannels * 2;
    for (int frame = first; frame < first + count; ++frame) {
        const std::vector<BYTE> picture = MakePicture(format, frame);
        ASSERT_EQ(encoder.PutStreamData(0, 1, picture.data()), 0u) << "frame " << frame;
        if (format.dwSampleRate == 0) continue;
        const auto SampleAt = [&](int f) {
            return uint64_t(f) * format.dwSampleRate * format.dwRateDen / format.dwRateNum;
        };
        std::vector<int16_t> block;
        for (uint64_t n = SampleAt(frame); n < SampleAt(frame + 1); ++n) {
            const auto sample = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * n / format.dwSampleRate));
            block.insert(block.end(), format.dwChannels, sample);
        }
        const auto nCount = static_cast<uint32_t>(block.size() * 2 / cbHostFrame);
        ASSERT_EQ(encoder.PutStreamData(1, nCount, reinterpret_cast<const BYTE*>(block.data())), 0u)
            << "audio after frame " << frame;
    }
}

std::vector<ProbeRow> Probe(const std::filesystem::path& file, const std::string& what) {
    std::string out;
    const std::string command = "ffprobe -v error " + what + " -of compact=p=0 '" + file.string() + "' 2>&1";
    EXPECT_EQ(RunCommand(command, &out), 0) << command << "\n" << out;
    std::vector<ProbeRow> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        ProbeRow row;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '|');) {
            const size_t eq = field.find('=');
            if (eq != std::string::npos) row[field.substr(0, eq)] = field.substr(eq + 1);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

double Ratio(const std::string& text) {
    const size_t sep = text.find_first_of("/:");
    if (sep == std::string::npos) return std::stod(text);
    const double den = std::stod(text.substr(sep + 1));
    return den == 0 ? 0 : std::stod(text.substr(0, sep)) / den;
}

std::vector<int> BandLevels(const std::filesystem::path& file) {
    // The band scaled to one pixel: one byte per frame.
    const std::string command = "ffmpeg -nostdin -v error -i '" + file.string() + "' -map 0:v -vf crop=iw:" +
                                std::to_string(kBandRows) +
                                ":0:0,scale=1:1:flags=area -vsync passthrough -f rawvideo -pix_fmt gray -";
    std::string bytes;
    EXPECT_EQ(RunCommand(command, &bytes), 0) << command;
    return std::vector<int>(reinterpret_cast<const uint8_t*>(bytes.data()),
                            reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size());
}

void ExpectLevelsInOrder(const std::vector<int>& levels) {
    for (size_t i = 1; i < levels.size(); ++i) {
        if (i % kLevelCycle == 0) {
            EXPECT_LT(levels[i], levels[i - 1] - 100) << "frame " << i << " starts a cycle";
        } else {
            EXPECT_GT(levels[i], levels[i - 1] + 10) << "frame " << i << " follows frame " << i - 1;
        }
    }
}
