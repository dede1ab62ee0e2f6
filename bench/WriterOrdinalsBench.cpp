// The writer as a host drives it, through the built plug-in's ordinals: 504,
// 505, then every picture through 509 with audio blocks whenever 508 says
// the audio is behind, and 501 to finish the file.
//   ordinals_write     5 s of 1280x720 25 fps I420 with 48 kHz stereo PCM,
//                      read from raw files, to WMV2 at 2 Mbit/s (a key frame
//                      every 4 s) and WMA v2 at 128 kbit/s, against the
//                      ffmpeg tool making the same file from the same raw
//                      files with -threads 1 (ratio: ffmpeg's CPU time /
//                      ours, at least 0.9);
//   ordinals_two_pass  the same with the two-pass sequence of ordinal 600
//                      (a video-only pass between controls 11 and 12, then
//                      the final pass) against one pass (ratio: less than
//                      2.2).
// Every file written is opened again and must hold all 125 pictures and
// the audio. Each ratio is the median of three iterations. Each line reads
// "bench <name> ratio=<r> target=<t> met|missed".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "support/TempDir.h"
#include "wmf/AvPtr.h"
#include "wmf/CWmCodecInfo.h"
#include "writer/WriterHost.h"

namespace {

namespace fs = std::filesystem;

constexpr SWmvEncode kEncode{};
constexpr uint32_t kAudioBlock = 1152;  // sample frames per delivery, as hosts send them
constexpr uint32_t kToneFrames = kRawSampleRate / kRawRate * kRawFrames;

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File OpenRaw(const fs::path& path) {
    return File(fopen(path.c_str(), "rb"), fclose);
}

// Reads the next picture of the raw clip into frame and delivers it;
// continuation 2 marks the last.
bool PutPicture(void* hWriter, FILE* pVideo, std::vector<uint8_t>& frame, uint32_t dwContinuation) {
    if (fread(frame.data(), 1, frame.size(), pVideo) != frame.size()) return false;
    SPlugFrameInfo info{};
    info.dwSize = sizeof(SPlugFrameInfo);
    info.dwKind = 1;
    info.dwFrameType = 5;
    info.dwContinuation = dwContinuation;
    info.nDataLength = static_cast<int32_t>(frame.size());
    return Plug().put(hWriter, 0, frame.data(), &info) == 0;
}

// Encodes the raw clip into target as a host does; false when a call fails.
bool EncodeThroughOrdinals(const fs::path& target, bool bTwoPass) {
    const SPlugApi& api = Plug();
    if (!api.create) return false;
    SClipSpec spec;
    spec.width = kRawWidth;
    spec.height = kRawHeight;
    spec.rateNum = kRawRate;
    spec.frames = kRawFrames;
    spec.sampleRate = kRawSampleRate;
    spec.channels = kRawChannels;
    spec.aspectX = 16;
    spec.aspectY = 9;
    SPlugMediaInfo info = MediaInfoOf(spec);
    info.Video.dwBitRate = static_cast<uint32_t>(kEncode.videoBitrate);
    info.Video.dwKeyFrameInterval = static_cast<uint32_t>(kEncode.keyFrameInterval);
    if (api.normalise(nullptr, &info) != 0) return false;
    // The reference must make the same file: 504 may not move the format.
    if (info.Video.dwKeyFrameInterval != static_cast<uint32_t>(kEncode.keyFrameInterval) ||
        info.Audio.dwSampleRate != kRawSampleRate || info.Audio.dwChannels != kRawChannels)
        return false;
    COpenRequest request(target, info);
    CWriter writer;
    void* h = writer.Get();
    if (api.open(h, request.Target(), request.Params()) != 0) return false;
    std::vector<uint8_t> frame(kRawFrameBytes);

    if (bTwoPass) {
        uint32_t dwSize = 0;
        uint32_t dwTwoPass = 0;
        if (api.query(h, 2, 10, nullptr, &dwSize, &dwTwoPass) != 0 || dwTwoPass != 1) return false;
        if (api.query(h, 1, 11, nullptr, nullptr, nullptr) != 0) return false;
        const File video = OpenRaw(RawVideoClip());
        for (int k = 0; k < kRawFrames; ++k) {
            if (!video || !PutPicture(h, video.get(), frame, 1)) return false;
        }
        if (api.query(h, 1, 12, nullptr, nullptr, nullptr) != 0) return false;
    }

    const File video = OpenRaw(RawVideoClip());
    const File audio = OpenRaw(RawToneClip());
    if (!video || !audio) return false;
    std::vector<uint8_t> pcm(size_t{kAudioBlock} * kRawChannels * 2);
    uint32_t sent = 0;
    SPlugFrameInfo audioInfo{};
    audioInfo.dwSize = sizeof(SPlugFrameInfo);
    audioInfo.dwKind = 2;
    auto putAudio = [&] {
        const uint32_t n = std::min(kAudioBlock, kToneFrames - sent);
        const size_t cb = size_t{n} * kRawChannels * 2;
        if (fread(pcm.data(), 1, cb, audio.get()) != cb) return false;
        sent += n;
        audioInfo.dwContinuation = sent == kToneFrames ? 2 : 1;
        audioInfo.nDataLength = static_cast<int32_t>(cb);
        return api.put(h, 1, pcm.data(), &audioInfo) == 0;
    };
    for (int k = 0; k < kRawFrames; ++k) {
        if (!PutPicture(h, video.get(), frame, k + 1 == kRawFrames ? 2 : 1)) return false;
        while (sent < kToneFrames && api.isAudioBehind(h) == 1) {
            if (!putAudio()) return false;
        }
    }
    while (sent < kToneFrames) {
        if (!putAudio()) return false;
    }
    return writer.Destroy() == 0;
}

// What a written file holds: its pictures, and the bit rate libavcodec's
// wmav2 encodes its audio format at (0 without audio).
struct SWritten {
    int64_t pictures = 0;
    int64_t audioEncoderBitrate = 0;
};

SWritten Inspect(const fs::path& file) {
    SWritten written;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) return written;
    AvPtr<AVFormatContext> format(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) return written;
    const int video = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio >= 0) {
        const AVCodecParameters& par = *raw->streams[audio]->codecpar;
        WAVEFORMATEX wfx{};
        wfx.wFormatTag = static_cast<WORD>(par.codec_tag);
        wfx.nSamplesPerSec = static_cast<DWORD>(par.sample_rate);
        wfx.nChannels = static_cast<WORD>(par.ch_layout.nb_channels);
        wfx.nBlockAlign = static_cast<WORD>(par.block_align);
        written.audioEncoderBitrate = CWmCodecInfo::WmaEncoderBitRate(wfx);
    }
    auto pkt = MakePacket();
    while (av_read_frame(raw, pkt.get()) >= 0) {
        if (pkt->stream_index == video) ++written.pictures;
        av_packet_unref(pkt.get());
    }
    return written;
}

void BM_WriteThroughOrdinals(benchmark::State& state) {
    if (!Plug().create) return state.SkipWithError("the plug-in could not be loaded");
    TempDir dir("writerordinalsbench");
    const fs::path ours = dir.Path() / "ours.wmv";
    const fs::path twoPass = dir.Path() / "twopass.wmv";
    const fs::path ref = dir.Path() / "ref.wmv";
    std::vector<double> writeRatios;
    std::vector<double> twoPassRatios;
    for (auto _ : state) {
        bool bOnePass = false;
        bool bTwoPass = false;
        const double onePassTime = CpuSecondsOf([&] { bOnePass = EncodeThroughOrdinals(ours, false); });
        const double twoPassTime = CpuSecondsOf([&] { bTwoPass = EncodeThroughOrdinals(twoPass, true); });
        if (!bOnePass || !bTwoPass) return state.SkipWithError("an encoding through the ordinals failed");
        const SWritten written = Inspect(ours);
        if (written.pictures != kRawFrames || Inspect(twoPass).pictures != kRawFrames)
            return state.SkipWithError("a written file lacks pictures");
        if (written.audioEncoderBitrate <= 0) return state.SkipWithError("a written file lacks its audio");
        SWmvEncode encode = kEncode;
        encode.audioBitrate = written.audioEncoderBitrate;
        const SChildUsage ffmpeg = EncodeRawWithFfmpeg(encode, ref);
        if (!ffmpeg.ok) return state.SkipWithError("ffmpeg failed");
        writeRatios.push_back(ffmpeg.seconds / onePassTime);
        twoPassRatios.push_back(twoPassTime / onePassTime);
    }
    const double write = MedianOf(writeRatios);
    const double twoPassCost = MedianOf(twoPassRatios);
    RecordRatio("ordinals_write", write, 0.9, true);
    RecordRatio("ordinals_two_pass", twoPassCost, 2.2, false, true);
    state.counters["ratio"] = write;
    state.counters["two_pass"] = twoPassCost;
}
BENCHMARK(BM_WriteThroughOrdinals)->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    return 0;
}
