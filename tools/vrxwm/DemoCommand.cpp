// vrxwm demo [--out DIR] [--seconds S]: the library end to end on content
// made for the purpose. A moving test pattern that carries its own frame
// number and a steady tone are encoded through the writer in two passes,
// read back through the reader and checked: every frame is the right one
// and close to what was encoded, the tone is intact, video and audio are
// equally long, seeking to random frames gives the same pictures as
// reading in order. A contact sheet of frames picked by index is saved.
#include <cstddef>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "vrxwm/CContactSheet.h"
#include "vrxwm/CEncodeJob.h"
#include "vrxwm/CFramePattern.h"
#include "vrxwm/CPlugReader.h"
#include "vrxwm/CPlugin.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/CToneSource.h"
#include "vrxwm/CVideoConverter.h"
#include "vrxwm/Commands.h"
#include "vrxwm/MediaNames.h"
#include "vrxwm/ReaderPicture.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr AVRational kFrameRate{25, 1};
constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;
constexpr double kToneHz = 440;
constexpr const char* kVideoBitRate = "600k";
constexpr int kSeekChecks = 12;
constexpr int kSheetColumns = 4;
constexpr int kSheetRows = 3;
// Pass marks: a picture this close to the source, this much of the audio
// energy at the tone, the streams' ends this close together.
constexpr double kMinPsnr = 25;
constexpr double kMinToneShare = 0.9;
constexpr double kMaxAvGapSeconds = 0.1;
// The audio's first and last moments carry the codec's ramp-in and -out.
constexpr double kToneSkipSeconds = 0.1;
constexpr uint32_t kSeekSeed = 20240501;

struct SDemoOptions {
    std::string out = "vrxwm-demo";
    uint32_t seconds = 10;
};

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t Fnv1a(const uint8_t* p, size_t cb) {
    uint64_t hash = 0xCBF29CE484222325;
    for (size_t i = 0; i < cb; ++i) hash = (hash ^ p[i]) * 0x100000001B3;
    return hash;
}

double LumaPsnr(const CPictureBuffer& a, const CPictureBuffer& b) {
    double squares = 0;
    for (int y = 0; y < a.Height(); ++y) {
        const uint8_t* pa = a.Data() + static_cast<std::ptrdiff_t>(y) * a.Stride(0);
        const uint8_t* pb = b.Data() + static_cast<std::ptrdiff_t>(y) * b.Stride(0);
        for (int x = 0; x < a.Width(); ++x) squares += double(pa[x] - pb[x]) * (pa[x] - pb[x]);
    }
    const double mse = squares / (double(a.Width()) * a.Height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

class CDemo {
public:
    explicit CDemo(const SDemoOptions& options)
        : m_dir(options.out),
          m_file(m_dir / "demo.wmv"),
          m_nFrames(options.seconds * static_cast<uint32_t>(kFrameRate.num / kFrameRate.den)),
          m_pattern(kWidth, kHeight, kFrameRate, m_nFrames) {
        m_source.Allocate(AV_PIX_FMT_YUV420P, kWidth, kHeight);
        m_decoded.Allocate(AV_PIX_FMT_YUV420P, kWidth, kHeight);
    }

    void Run() {
        std::error_code ec;
        std::filesystem::create_directories(m_dir, ec);
        if (ec)
            throw CStatusError(StatusFromErrno(ec.value()), "cannot create " + m_dir.string() + ": " + ec.message());
        std::printf("vrxwm demo: %u frames of %dx%d at %d fps with a %.0f Hz tone (%d Hz stereo)\n", m_nFrames,
                    kWidth, kHeight, kFrameRate.num / kFrameRate.den, kToneHz, kSampleRate);
        Encode();
        CPlugReader reader(CPlugin::Get(), m_file);
        CheckStreams(reader);
        CheckFrames(reader);
        CheckAudio(reader);
        CheckSeeks(reader);
        MakeSheet(reader);
        Finish();
    }

private:
    void Line(const char* topic, const std::string& text) { std::printf("  %-9s%s\n", topic, text.c_str()); }

    void Check(const char* topic, bool bPassed, const std::string& text) {
        Line(topic, text + (bPassed ? "   [ok]" : "   [FAILED]"));
        if (!bPassed) m_failed += std::string(m_failed.empty() ? "" : ", ") + topic;
    }

    void Encode() {
        const int64_t nSamples = int64_t{m_nFrames} * kSampleRate * kFrameRate.den / kFrameRate.num;
        CToneSource tone(kSampleRate, kChannels, kToneHz, nSamples);
        SEncodeOptions options;
        options.codec = "wmv2";
        options.bitRate = kVideoBitRate;
        options.bTwoPass = true;
        m_encode = RunEncodeJob(CPlugin::Get(), m_file, &m_pattern, &tone, options);
        const SPlugMediaInfo& p = m_encode.params;
        const std::string text = m_file.string() + ": " + VideoCodecName(p.Video) +
                                 (m_encode.bTwoPass ? " two-pass" : " one pass") + " at " +
                                 std::to_string(p.Video.dwBitRate / 1000) + " kbit/s + WMA " +
                                 std::to_string(p.Audio.dwBitRate / 1000) + " kbit/s in " +
                                 Fixed(m_encode.seconds, 1) + " s (" +
                                 Fixed(double(m_encode.nFrames) / m_encode.seconds, 0) + " fps)";
        // The writer must have taken the two passes, not fallen back to one.
        Check("encode", m_encode.bTwoPass, text);
    }

    void CheckStreams(const CPlugReader& reader) {
        if (!reader.Video() || !reader.Audio())
            throw CStatusError(reader.Video() ? kStatusNoAudio : kStatusNoVideo,
                               m_file.string() + " came back without " + (reader.Video() ? "audio" : "video"));
        const SPlugStreamDesc& v = *reader.Video();
        const SPlugStreamDesc& a = *reader.Audio();
        const bool bMatch = VideoCodecName(v.Video) == "WMV2" && v.Video.dwWidth == kWidth &&
                            v.Video.dwHeight == kHeight && a.Audio.dwSampleRate == kSampleRate &&
                            a.Audio.dwChannels == kChannels;
        Check("codecs", bMatch,
              VideoCodecName(v.Video) + " " + std::to_string(v.Video.dwWidth) + "x" +
                  std::to_string(v.Video.dwHeight) + " " + FrameRateText(v.Video) + " + " +
                  AudioCodecName(a.Audio) + " " + std::to_string(a.Audio.dwSampleRate) + " Hz " +
                  ChannelsName(a.Audio.dwChannels));
        const double seconds = double(m_nFrames) * kFrameRate.den / kFrameRate.num;
        std::error_code ec;
        const double bits = 8.0 * static_cast<double>(std::filesystem::file_size(m_file, ec));
        const uint32_t asked = m_encode.params.Video.dwBitRate + m_encode.params.Audio.dwBitRate;
        Line("bit rate", Fixed(bits / seconds / 1000, 0) + " kbit/s over the whole file (asked " +
                             std::to_string(asked / 1000) + " kbit/s for video and audio)");
    }

    void CheckFrames(CPlugReader& reader) {
        const SPlugStreamDesc& desc = *reader.Video();
        const uint32_t nRead = std::min(desc.dwVideoFrameCount, m_nFrames);
        m_hashes.assign(nRead, 0);
        uint32_t nExact = 0;
        double minPsnr = 99;
        double sumPsnr = 0;
        const auto start = Clock::now();
        for (uint32_t i = 0; i < nRead; ++i) {
            const SPlugFrame frame = reader.GetFrame(i);
            m_hashes[i] = Fnv1a(frame.pData, frame.cbData);
            m_converter.Convert(PictureOfFrame(desc.Video, frame), m_decoded);
            m_pattern.Draw(i, m_source);
            if (CFramePattern::ReadIndex(m_decoded.Data(), m_decoded.Stride(0), kWidth, kHeight) == i) ++nExact;
            const double psnr = LumaPsnr(m_source, m_decoded);
            minPsnr = std::min(minPsnr, psnr);
            sumPsnr += psnr;
        }
        m_readSeconds = SecondsSince(start);
        Check("frames", desc.dwVideoFrameCount == m_nFrames && nExact == m_nFrames && minPsnr >= kMinPsnr,
              std::to_string(nExact) + "/" + std::to_string(m_nFrames) +
                  " exact (the frame number read back from every frame), PSNR min " + Fixed(minPsnr, 1) +
                  " dB, mean " + Fixed(nRead ? sumPsnr / nRead : 0, 1) + " dB");
    }

    void CheckAudio(CPlugReader& reader) {
        const SPlugStreamDesc& desc = *reader.Audio();
        const uint32_t nSamples = desc.dwAudioFrameCount;
        std::vector<int16_t> samples(size_t{nSamples} * kChannels);
        constexpr uint32_t kChunk = 16384;
        for (uint32_t first = 0; first < nSamples;) {
            auto* pOut = reinterpret_cast<uint8_t*>(&samples[size_t{first} * kChannels]);
            const uint32_t delivered = reader.ReadAudio(first, std::min(kChunk, nSamples - first), pOut);
            if (delivered == 0) break;
            first += delivered;
        }
        const auto skip = static_cast<int64_t>(kToneSkipSeconds * kSampleRate);
        const int64_t nMiddle = static_cast<int64_t>(nSamples) - 2 * skip;
        const double share = nMiddle > 0 ? CToneSource::ToneShare(samples.data() + skip * kChannels, nMiddle,
                                                                  kChannels, kSampleRate, kToneHz)
                                         : 0;
        Check("audio", share >= kMinToneShare,
              std::to_string(nSamples) + " samples, " + Fixed(100 * share, 1) + "% of the energy at " +
                  Fixed(kToneHz, 0) + " Hz");
        const double videoSeconds = double(reader.Video()->dwVideoFrameCount) * kFrameRate.den / kFrameRate.num;
        const double audioSeconds = double(nSamples) / kSampleRate;
        const double gap = std::abs(videoSeconds - audioSeconds);
        Check("A/V", gap <= kMaxAvGapSeconds,
              "video " + Fixed(videoSeconds, 3) + " s, audio " + Fixed(audioSeconds, 3) + " s (" +
                  Fixed(gap * 1000, 0) + " ms apart)");
    }

    void CheckSeeks(CPlugReader& reader) {
        std::mt19937 random(kSeekSeed);
        std::uniform_int_distribution<uint32_t> pick(0, static_cast<uint32_t>(m_hashes.size()) - 1);
        int nSame = 0;
        double seconds = 0;
        for (int i = 0; i < kSeekChecks; ++i) {
            const uint32_t index = pick(random);
            const auto start = Clock::now();
            const SPlugFrame frame = reader.SeekFrame(index);
            seconds += SecondsSince(start);
            if (Fnv1a(frame.pData, frame.cbData) == m_hashes[index]) ++nSame;
        }
        Check("seek", nSame == kSeekChecks,
              std::to_string(nSame) + "/" + std::to_string(kSeekChecks) +
                  " random frames identical to sequential reading, " + Fixed(1000 * seconds / kSeekChecks, 1) +
                  " ms per seek");
        Line("read", std::to_string(m_hashes.size()) + " frames read and checked in " + Fixed(m_readSeconds, 2) +
                         " s (" + Fixed(double(m_hashes.size()) / m_readSeconds, 0) + " fps)");
    }

    void MakeSheet(CPlugReader& reader) {
        constexpr int kSlots = kSheetColumns * kSheetRows;
        CContactSheet sheet(kSheetColumns, kSheetRows, kWidth / 2, kHeight / 2);
        const SPlugStreamDesc& desc = *reader.Video();
        const uint32_t last = static_cast<uint32_t>(m_hashes.size()) - 1;
        std::string picked;
        for (int slot = 0; slot < kSlots; ++slot) {
            const uint32_t index = static_cast<uint32_t>(uint64_t{last} * static_cast<uint32_t>(slot) / (kSlots - 1));
            sheet.Place(slot, PictureOfFrame(desc.Video, reader.GetFrame(index)), index);
            picked += " " + std::to_string(index);
        }
        const auto file = m_dir / "contact-sheet.png";
        sheet.Save(file);
        Line("sheet", file.string() + ": frames" + picked);
    }

    void Finish() {
        if (!m_failed.empty()) throw CStatusError(kStatusFail, "demo: checks failed: " + m_failed);
        std::printf("all checks passed\n");
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_file;
    uint32_t m_nFrames;
    CFramePattern m_pattern;
    SEncodeResult m_encode;
    CVideoConverter m_converter;
    CPictureBuffer m_source;
    CPictureBuffer m_decoded;
    std::vector<uint64_t> m_hashes;
    double m_readSeconds = 0;
    std::string m_failed;
};

}  // namespace

void AddDemoCommand(CLI::App& app) {
    auto options = std::make_shared<SDemoOptions>();
    CLI::App* command = app.add_subcommand(
        "demo", "Encode a test pattern and a tone, read them back, check them and make a contact sheet");
    command->add_option("--out", options->out, "Folder for demo.wmv and contact-sheet.png")->capture_default_str();
    command->add_option("--seconds", options->seconds, "Length of the test clip")
        ->check(CLI::Range(1u, 120u))
        ->capture_default_str();
    command->callback([options] { CDemo(*options).Run(); });
}
