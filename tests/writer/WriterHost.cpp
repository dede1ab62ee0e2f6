#include "writer/WriterHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "support/TempDir.h"

namespace {

// The picture is a grid of cells: the top row light, the bottom row dark,
// and the two rows between them the index's bits, lowest first.
constexpr uint32_t kGridColumns = 6;
constexpr uint32_t kGridRows = 4;
constexpr uint32_t kIndexBits = 2 * kGridColumns;

constexpr uint8_t kLumaLight = 235;
constexpr uint8_t kLumaDark = 16;
constexpr uint8_t kChromaNeutral = 128;

bool IsLight(uint32_t x, uint32_t y, uint32_t width, uint32_t height, uint32_t index) {
    const uint32_t column = x * kGridColumns / width;
    const uint32_t row = y * kGridRows / height;
    if (row == 0) return true;
    if (row == kGridRows - 1) return false;
    const uint32_t bit = (row - 1) * kGridColumns + column;
    return ((index >> bit) & 1) != 0;
}

std::string Quote(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// key=value lines of one ffprobe section.
std::string Field(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
    }
    return {};
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Mean luma of the middle half of a cell of a gray picture.
double CellMean(const uint8_t* gray, uint32_t width, uint32_t height, uint32_t column, uint32_t row) {
    const uint32_t x0 = column * width / kGridColumns;
    const uint32_t x1 = (column + 1) * width / kGridColumns;
    const uint32_t y0 = row * height / kGridRows;
    const uint32_t y1 = (row + 1) * height / kGridRows;
    const uint32_t mx = (x1 - x0) / 4;
    const uint32_t my = (y1 - y0) / 4;
    double sum = 0;
    uint32_t count = 0;
    for (uint32_t y = y0 + my; y < y1 - my; ++y) {
        for (uint32_t x = x0 + mx; x < x1 - mx; ++x) {
            sum += gray[size_t{y} * width + x];
            ++count;
        }
    }
    return count ? sum / count : 0;
}

SFrameMark ReadMark(const uint8_t* gray, uint32_t width, uint32_t height) {
    auto light = [&](uint32_t column, uint32_t row) {
        return CellMean(gray, width, height, column, row) >= 128;
    };
    auto rowIs = [&](uint32_t row, bool bLight) {
        for (uint32_t c = 0; c < kGridColumns; ++c) {
            if (light(c, row) != bLight) return false;
        }
        return true;
    };
    SFrameMark mark;
    if (rowIs(0, true) && rowIs(kGridRows - 1, false)) {
        mark.upsideDown = false;
    } else if (rowIs(0, false) && rowIs(kGridRows - 1, true)) {
        mark.upsideDown = true;
    } else {
        return mark;
    }
    int index = 0;
    for (uint32_t bit = 0; bit < kIndexBits; ++bit) {
        uint32_t row = 1 + bit / kGridColumns;
        if (mark.upsideDown) row = kGridRows - 1 - row;
        if (light(bit % kGridColumns, row)) index |= 1 << bit;
    }
    mark.index = index;
    return mark;
}

std::vector<double> ParseNumbers(const std::string& text) {
    std::vector<double> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line != "N/A") values.push_back(std::stod(line));
    }
    return values;
}

template <class PFN>
PFN Proc(void* (*getProc)(unsigned int), unsigned int ordinal) {
    return reinterpret_cast<PFN>(getProc(ordinal));
}

SPlugApi LoadPlug() {
    SPlugApi api{};
    void* hPlugin = dlopen(VRX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!hPlugin) return api;
    auto getProc = reinterpret_cast<void* (*)(unsigned int)>(dlsym(hPlugin, "VRXPlugGetProcByOrdinal"));
    auto coInit = reinterpret_cast<int32_t (*)(void*, uint32_t)>(dlsym(hPlugin, "CoInitializeEx"));
    if (!getProc || !coInit) return api;
    coInit(nullptr, /*COINIT_MULTITHREADED=*/0);
    api.create = Proc<PFN_WriterCreate>(getProc, PLUG_ORD_WRITER_CREATE);
    api.destroy = Proc<PFN_WriterDestroy>(getProc, PLUG_ORD_WRITER_DESTROY);
    api.normalise = Proc<PFN_WriterNormaliseParams>(getProc, PLUG_ORD_WRITER_NORMALISE_PARAMS);
    api.open = Proc<PFN_WriterOpen>(getProc, PLUG_ORD_WRITER_OPEN);
    api.isAudioBehind = Proc<PFN_WriterIsAudioBehind>(getProc, PLUG_ORD_WRITER_IS_AUDIO_BEHIND);
    api.put = Proc<PFN_WriterPutStreamData>(getProc, PLUG_ORD_WRITER_PUT_STREAM_DATA);
    api.query = Proc<PFN_PluginQueryControl>(getProc, PLUG_ORD_QUERY_CONTROL);
    // The host's own libraries come along with the plug-in.
    api.getDiskStatus = reinterpret_cast<int32_t (*)(char16_t)>(dlsym(hPlugin, "GetDiskStatus"));
    api.clearDiskError = reinterpret_cast<void (*)(char16_t)>(dlsym(hPlugin, "VRX_ClearDiskError"));
    return api;
}

}  // namespace

const SPlugApi& Plug() {
    static const SPlugApi s_api = LoadPlug();
    return s_api;
}

uint32_t CWriter::Destroy() {
    const uint32_t dwStatus = Plug().destroy(m_h);
    m_h = nullptr;
    return dwStatus;
}

std::string Describe(const SClipSpec& spec) {
    std::ostringstream text;
    text << "format " << spec.format << " " << spec.width << "x" << spec.height << " @" << spec.rateNum
         << "/" << spec.rateDen << " frames " << spec.frames << " audio " << spec.sampleRate << "x"
         << spec.channels << (spec.normalise ? " normalised" : "") << (spec.twoPass ? " two-pass" : "");
    return text.str();
}

SPlugMediaInfo MediaInfoOf(const SClipSpec& spec) {
    SPlugMediaInfo info{};
    info.dwVideoPresent = 1;
    SPlugVideoStreamInfo& video = info.Video;
    video.dwSize = sizeof(SPlugVideoStreamInfo);
    video.dwCodecType = PLUG_VIDEO_CODEC_WINMEDIA;
    video.dwCodecSubType = 0;  // WMV2
    video.dwWidth = spec.width;
    video.dwHeight = spec.height;
    video.dwAspectX = spec.aspectX;
    video.dwAspectY = spec.aspectY;
    video.dwFrameRateNum = spec.rateNum;
    video.dwFrameRateDen = spec.rateDen;
    video.dwFieldOrder = 2;
    video.dwColorFormat = spec.format;
    video.dwColorCodes[0] = video.dwColorCodes[1] = video.dwColorCodes[2] = 5;
    video.dwHostWord56 = 0xFFFFFFFF;
    video.dwKeyFrameInterval = 25;
    video.dwHostWord64 = 2;
    video.dwHostWord68 = 1;
    video.dwRateControl = 1;
    video.dwBitRate = 1'000'000;

    SPlugAudioStreamInfo& audio = info.Audio;
    audio.dwSize = sizeof(SPlugAudioStreamInfo);
    audio.dwAudioType = PLUG_AUDIO_TYPE_WINMEDIA;
    audio.dwChannels = spec.channels;
    audio.dwBitsPerSample = 16;
    audio.dwSampleRate = spec.sampleRate;
    audio.dwBitRate = 128'000;
    audio.dwBlockAlign = spec.channels * 2;
    audio.dwHostWord32 = audio.dwHostWord36 = 1;
    audio.dwSamplesPerFrame = 1;
    info.dwAudioPresent = spec.sampleRate != 0;
    return info;
}

COpenRequest::COpenRequest(const std::filesystem::path& target, const SPlugMediaInfo& info) {
    const std::u16string name = Wide(target.string());
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 259), m_item.szFileName);
    m_list.dwCount = 1;
    m_list.pItems = &m_item;
    if (info.dwVideoPresent) {
        SPlugStreamDesc desc{};
        desc.dwStreamKind = 1;
        desc.Video = info.Video;
        m_streams.push_back(desc);
    }
    if (info.dwAudioPresent) {
        SPlugStreamDesc desc{};
        desc.dwStreamKind = 2;
        desc.Audio = info.Audio;
        m_streams.push_back(desc);
    }
    m_params.nStreamCount = static_cast<int32_t>(m_streams.size());
    m_params.pStreams = m_streams.data();
}

uint32_t FrameBytes(PLUG_COLOR_FORMAT_ format, uint32_t width, uint32_t height) {
    switch (format) {
    case PLUG_COLOR_FORMAT_RGB32: return width * height * 4;
    case PLUG_COLOR_FORMAT_YUY2:
    case PLUG_COLOR_FORMAT_UYVY: return width * height * 2;
    default: return width * height * 3 / 2;
    }
}

std::vector<uint8_t> MakeFrame(PLUG_COLOR_FORMAT_ format, uint32_t width, uint32_t height, uint32_t index) {
    std::vector<uint8_t> frame(FrameBytes(format, width, height));
    auto luma = [&](uint32_t x, uint32_t y) {
        return IsLight(x, y, width, height, index) ? kLumaLight : kLumaDark;
    };
    switch (format) {
    case PLUG_COLOR_FORMAT_RGB32:
        for (uint32_t y = 0; y < height; ++y) {
            // Bottom-up: the buffer's first row is the picture's last.
            uint8_t* row = frame.data() + size_t{height - 1 - y} * width * 4;
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t v = IsLight(x, y, width, height, index) ? 255 : 0;
                row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = v;
                row[4 * x + 3] = 255;
            }
        }
        break;
    case PLUG_COLOR_FORMAT_YUY2:
    case PLUG_COLOR_FORMAT_UYVY: {
        const bool bYFirst = format == PLUG_COLOR_FORMAT_YUY2;
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = frame.data() + size_t{y} * width * 2;
            for (uint32_t x = 0; x < width; ++x) {
                row[2 * x + (bYFirst ? 0 : 1)] = luma(x, y);
                row[2 * x + (bYFirst ? 1 : 0)] = kChromaNeutral;
            }
        }
        break;
    }
    default:
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) frame[size_t{y} * width + x] = luma(x, y);
        }
        std::fill(frame.begin() + size_t{width} * height, frame.end(), kChromaNeutral);
        break;
    }
    return frame;
}

std::vector<uint8_t> MakeTone(uint32_t sampleRate, uint32_t channels, uint32_t first, uint32_t count) {
    std::vector<uint8_t> pcm(size_t{count} * channels * 2);
    for (uint32_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(first + i) / sampleRate;
        const auto v = static_cast<int16_t>(std::lround(8000.0 * std::sin(2 * std::numbers::pi * 440.0 * t)));
        for (uint32_t c = 0; c < channels; ++c) std::memcpy(&pcm[(size_t{i} * channels + c) * 2], &v, 2);
    }
    return pcm;
}

SEncodeResult EncodeWithPlug(const std::filesystem::path& target, const SClipSpec& spec) {
    const SPlugApi& api = Plug();
    SEncodeResult result;
    SPlugMediaInfo info = MediaInfoOf(spec);
    if (spec.normalise) result.normalise = api.normalise(nullptr, &info);
    COpenRequest request(target, info);
    CWriter writer;
    void* h = writer.Get();
    result.open = api.open(h, request.Target(), request.Params());
    if (result.open != 0) return result;

    auto note = [&](uint32_t dwStatus) {
        if (dwStatus != 0 && result.firstPutFailure == 0) result.firstPutFailure = dwStatus;
    };
    SPlugFrameInfo frameInfo{};
    frameInfo.dwSize = sizeof(SPlugFrameInfo);
    frameInfo.dwKind = 1;
    frameInfo.dwFrameType = 5;

    if (spec.twoPass) {
        uint32_t dwSize = 0;
        result.queryTwoPass = api.query(h, 2, 10, nullptr, &dwSize, &result.twoPassAnswer);
        result.beginPass = api.query(h, 1, 11, nullptr, nullptr, nullptr);
        for (uint32_t k = 0; k < spec.frames; ++k) {
            const auto frame = MakeFrame(spec.format, spec.width, spec.height, k);
            frameInfo.dwContinuation = 1;
            frameInfo.nDataLength = static_cast<int32_t>(frame.size());
            note(api.put(h, 0, frame.data(), &frameInfo));
        }
        result.endPass = api.query(h, 1, 12, nullptr, nullptr, nullptr);
    }

    // Normalisation may have moved the audio format.
    const uint32_t sampleRate = info.dwAudioPresent ? info.Audio.dwSampleRate : 0;
    const uint32_t channels = info.Audio.dwChannels;
    const uint32_t audioTotal = static_cast<uint32_t>(
        std::llround(spec.audioShare * spec.frames * spec.rateDen * static_cast<double>(sampleRate) / spec.rateNum));
    SPlugFrameInfo audioInfo{};
    audioInfo.dwSize = sizeof(SPlugFrameInfo);
    audioInfo.dwKind = 2;
    auto sendAudio = [&] {
        const uint32_t n = std::min(spec.audioBlock, audioTotal - result.audioFramesSent);
        const auto pcm = MakeTone(sampleRate, channels, result.audioFramesSent, n);
        audioInfo.dwContinuation = result.audioFramesSent + n == audioTotal ? 2 : 1;
        audioInfo.nDataLength = static_cast<int32_t>(pcm.size());
        note(api.put(h, 1, pcm.data(), &audioInfo));
        result.audioFramesSent += n;
    };
    for (uint32_t k = 0; k < spec.frames; ++k) {
        const auto frame = MakeFrame(spec.format, spec.width, spec.height, k);
        frameInfo.dwContinuation = k + 1 == spec.frames ? 2 : 1;
        frameInfo.nDataLength = static_cast<int32_t>(frame.size());
        note(api.put(h, 0, frame.data(), &frameInfo));
        while (result.audioFramesSent < audioTotal && api.isAudioBehind(h) == 1) sendAudio();
    }
    // The rest of the host's audio; what runs past the video is the
    // plug-in's to drop.
    while (result.audioFramesSent < audioTotal) sendAudio();
    result.destroy = writer.Destroy();
    return result;
}

SFileReport ReadBack(const std::filesystem::path& file) {
    SFileReport report;
    std::string out;
    if (RunCommand("ffprobe -v error -select_streams v:0 -show_entries "
                   "stream=codec_name,width,height,display_aspect_ratio -of default=nw=1 " + Quote(file) + " 2>&1",
                   &out) != 0) {
        report.error = "ffprobe: " + out;
        return report;
    }
    report.videoCodec = Field(out, "codec_name");
    report.displayAspect = Field(out, "display_aspect_ratio");
    report.width = static_cast<uint32_t>(std::atoi(Field(out, "width").c_str()));
    report.height = static_cast<uint32_t>(std::atoi(Field(out, "height").c_str()));

    out.clear();
    RunCommand("ffprobe -v error -select_streams v:0 -show_entries frame=pts_time -of csv=p=0 " +
                   Quote(file),
               &out);
    report.videoPts = ParseNumbers(out);

    TempDir dir("readback");
    const auto gray = dir.Path() / "frames.gray";
    if (!RunFfmpeg({"-i", file.string(), "-map", "0:v:0", "-fps_mode", "passthrough", "-f", "rawvideo",
                    "-pix_fmt", "gray", gray.string()},
                   &report.error)) {
        return report;
    }
    const auto pixels = ReadAll(gray);
    const size_t frameSize = size_t{report.width} * report.height;
    for (size_t at = 0; frameSize && at + frameSize <= pixels.size(); at += frameSize) {
        report.marks.push_back(ReadMark(pixels.data() + at, report.width, report.height));
    }

    out.clear();
    RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of default=nw=1 " +
                   Quote(file),
               &out);
    report.hasAudio = !Field(out, "sample_rate").empty();
    if (!report.hasAudio) return report;
    report.sampleRate = static_cast<uint32_t>(std::atoi(Field(out, "sample_rate").c_str()));
    // The stream's extent as stored: its packets are evenly spaced codec
    // frames, the first of them the encoder's priming before 0.
    out.clear();
    RunCommand("ffprobe -v error -select_streams a:0 -show_entries packet=pts_time -of csv=p=0 " + Quote(file),
               &out);
    const std::vector<double> audioPts = ParseNumbers(out);
    if (audioPts.size() < 2) {
        report.error = "fewer than two audio packets";
        return report;
    }
    report.audioStart = audioPts.front();
    report.audioEnd = audioPts.back() + (audioPts.back() - audioPts.front()) / static_cast<double>(audioPts.size() - 1);

    const auto pcmFile = dir.Path() / "audio.pcm";
    if (!RunFfmpeg({"-i", file.string(), "-map", "0:a:0", "-f", "s16le", "-ac", "1", pcmFile.string()},
                   &report.error)) {
        return report;
    }
    const auto pcm = ReadAll(pcmFile);
    const size_t samples = pcm.size() / 2;
    int peak = 0;
    for (size_t i = 0; i < samples; ++i) {
        int16_t v;
        std::memcpy(&v, &pcm[2 * i], 2);
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    report.audioPeak = peak / 32768.0;
    return report;
}

void ExpectEncodeSucceeded(const SEncodeResult& result, const SClipSpec& spec) {
    EXPECT_EQ(result.normalise, 0u);
    ASSERT_EQ(result.open, 0u) << std::hex << result.open;
    if (spec.twoPass) {
        EXPECT_EQ(result.queryTwoPass, 0u);
        EXPECT_EQ(result.twoPassAnswer, 1u);
        EXPECT_EQ(result.beginPass, 0u) << std::hex << result.beginPass;
        EXPECT_EQ(result.endPass, 0u) << std::hex << result.endPass;
    }
    EXPECT_EQ(result.firstPutFailure, 0u) << std::hex << result.firstPutFailure;
    EXPECT_EQ(result.destroy, 0u);
}

void ExpectFileMatches(const SFileReport& report, const SClipSpec& spec) {
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.videoCodec, "wmv2");
    EXPECT_EQ(report.width, spec.width);
    EXPECT_EQ(report.height, spec.height);
    EXPECT_EQ(report.marks.size(), spec.frames) << "decoded frames";
    std::ostringstream wrongMarks;
    for (size_t k = 0; k < report.marks.size(); ++k) {
        const SFrameMark& mark = report.marks[k];
        if (mark.index != static_cast<int>(k) || mark.upsideDown) {
            wrongMarks << " [" << k << "]=" << mark.index << (mark.upsideDown ? "(upside down)" : "");
        }
    }
    EXPECT_EQ(wrongMarks.str(), "") << "frames whose picture is not their own";

    const double frameSeconds = static_cast<double>(spec.rateDen) / spec.rateNum;
    EXPECT_EQ(report.videoPts.size(), spec.frames) << "frame times";
    std::ostringstream offGrid;
    for (size_t k = 0; k < report.videoPts.size(); ++k) {
        // Stored times are whole milliseconds, rounded to the nearest.
        if (std::abs(report.videoPts[k] - k * frameSeconds) > 0.0006) offGrid << " [" << k << "]=" << report.videoPts[k];
    }
    EXPECT_EQ(offGrid.str(), "") << "frame times off the grid of " << frameSeconds << " s";

    EXPECT_EQ(report.hasAudio, spec.sampleRate != 0);
    if (!report.hasAudio) return;
    const double videoEnd = spec.frames * frameSeconds;
    // WMA stores whole frames (512, 1024 or 2048 samples by sample rate), so
    // the audio can end only on a frame edge: at most half a WMA frame from
    // the video's end, which is more than a picture at 50 fps.
    const double wmaFrame = (spec.sampleRate <= 16000 ? 512.0 : spec.sampleRate <= 22050 ? 1024.0 : 2048.0) /
                            spec.sampleRate;
    EXPECT_NEAR(report.audioEnd, videoEnd, std::max(frameSeconds, wmaFrame / 2))
        << "audio from " << report.audioStart << " s, " << report.sampleRate << " Hz";
    EXPECT_GT(report.audioPeak, 0.1) << "no tone";
}

void PutFrames(void* hWriter, const SClipSpec& spec, uint32_t first, uint32_t count) {
    SPlugFrameInfo info{};
    info.dwSize = sizeof(SPlugFrameInfo);
    info.dwKind = 1;
    for (uint32_t k = first; k < first + count; ++k) {
        const auto frame = MakeFrame(spec.format, spec.width, spec.height, k);
        info.dwContinuation = k + 1 == spec.frames ? 2 : 1;
        info.nDataLength = static_cast<int32_t>(frame.size());
        ASSERT_EQ(Plug().put(hWriter, 0, frame.data(), &info), 0u) << "frame " << k;
    }
}
