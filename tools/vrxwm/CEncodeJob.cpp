#include "vrxwm/CEncodeJob.h"

#include <chrono>
#include <iostream>
#include <optional>
#include <vector>

#include "vrxwm/AudioPlan.h"
#include "vrxwm/CAudioFeed.h"
#include "vrxwm/CPlugWriter.h"
#include "vrxwm/CProgressBar.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/CVideoConverter.h"
#include "vrxwm/HostRecords.h"
#include "vrxwm/StatusText.h"

namespace {

void Note(const std::string& text) {
    std::cerr << "vrxwm: note: " << text << '\n';
}

// The writer's normalisation may change what the encoder cannot take;
// the pictures are then scaled to the size it settled on.
void NoteChanges(const SPlugMediaInfo& asked, const SPlugMediaInfo& settled) {
    const SPlugVideoStreamInfo& a = asked.Video;
    const SPlugVideoStreamInfo& s = settled.Video;
    if (!settled.dwVideoPresent) return;
    if (a.dwWidth != s.dwWidth || a.dwHeight != s.dwHeight)
        Note("the encoder takes even picture sizes; scaling " + std::to_string(a.dwWidth) + "x" +
             std::to_string(a.dwHeight) + " to " + std::to_string(s.dwWidth) + "x" + std::to_string(s.dwHeight));
    if (a.dwKeyFrameInterval != s.dwKeyFrameInterval)
        Note("key-frame interval " + std::to_string(a.dwKeyFrameInterval) + " is outside 10-100 frames; using " +
             std::to_string(s.dwKeyFrameInterval));
}

// Frames and audio into an open writer.
class CPump {
public:
    CPump(CPlugWriter& writer, IVideoSource* pVideo, CAudioFeed* pFeed, const SPlugMediaInfo& params)
        : m_writer(writer), m_pVideo(pVideo), m_pFeed(pFeed) {
        if (pVideo)
            m_frame.Allocate(AV_PIX_FMT_YUV420P, static_cast<int>(params.Video.dwWidth),
                             static_cast<int>(params.Video.dwHeight));
    }

    // Every frame once; only the final pass marks its last frame.
    int64_t VideoPass(bool bFinal, const std::string& label) {
        CProgressBar bar(label, m_pVideo->FrameCount());
        const SPicture* pPicture = m_pVideo->Next();
        if (!pPicture) throw CStatusError(kStatusInvalidData, "the video holds no frames");
        int64_t nFrames = 0;
        while (pPicture) {
            // Converted before the source is asked for the next picture,
            // which replaces this one.
            m_converter.Convert(*pPicture, m_frame);
            const SPicture* pNext = m_pVideo->Next();
            m_writer.PutVideo(m_frame.Data(), m_frame.Size(), bFinal && !pNext);
            bar.Update(++nFrames);
            AudioWhileBehind();
            pPicture = pNext;
        }
        bar.Finish();
        return nFrames;
    }

    void AudioWhileBehind() {
        while (m_pFeed && !m_pFeed->Done() && m_writer.IsAudioBehind()) PutAudioBlock();
    }

    void AudioToEnd() {
        while (m_pFeed && !m_pFeed->Done()) PutAudioBlock();
    }

private:
    void PutAudioBlock() {
        if (!m_pFeed->NextBlock(m_block)) return;
        m_writer.PutAudio(m_block.data(), static_cast<uint32_t>(m_block.size()), m_pFeed->Done());
    }

    CPlugWriter& m_writer;
    IVideoSource* m_pVideo;
    CAudioFeed* m_pFeed;
    CVideoConverter m_converter;
    CPictureBuffer m_frame;
    std::vector<uint8_t> m_block;
};

}  // namespace

SEncodeResult RunEncodeJob(const CPlugin& plugin, const std::filesystem::path& out, IVideoSource* pVideo,
                           IAudioSource* pAudio, const SEncodeOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    SEncodeResult result;
    SPlugMediaInfo& params = result.params;
    params = DefaultMediaInfo();
    if (pVideo) FillVideoParams(pVideo->Format(), options, params);

    std::optional<CAudioFeed> feed;
    if (pAudio) {
        const SAudioFormat format = pAudio->Format();
        const uint32_t dwWanted =
            options.audioBitRate.empty() ? 0 : ParseBitRate(options.audioBitRate, "--audio-bitrate");
        const SAudioPlan plan = PlanAudio(plugin, format.sampleRate, format.channels, dwWanted);
        if (!plan.note.empty()) Note(plan.note);
        params.dwAudioPresent = 1;
        params.Audio.dwAudioType = PLUG_AUDIO_TYPE_WINMEDIA;
        params.Audio.dwAudioSubType = 0;  // Windows Media Audio
        params.Audio.dwChannels = static_cast<uint32_t>(plan.channels);
        params.Audio.dwBitsPerSample = 16;
        params.Audio.dwSampleRate = static_cast<uint32_t>(plan.sampleRate);
        params.Audio.dwBitRate = plan.dwBitRate;
        params.Audio.dwBlockAlign = static_cast<uint32_t>(2 * plan.channels);
        feed.emplace(*pAudio, plan.sampleRate, plan.channels);
    }
    const SPlugMediaInfo asked = params;
    CheckStatus(CPlugWriter::Normalise(plugin, params), "the writer refuses these encoding parameters");
    NoteChanges(asked, params);

    CPlugWriter writer(plugin);
    writer.Open(out, params);
    CPump pump(writer, pVideo, feed ? &*feed : nullptr, params);
    result.bTwoPass = options.bTwoPass && pVideo;
    if (options.bTwoPass && !pVideo) Note("two-pass encoding needs video; encoding in one pass");
    if (result.bTwoPass && !writer.TwoPassSupported()) {
        Note("the writer offers no two-pass encoding for these parameters; encoding in one pass");
        result.bTwoPass = false;
    }
    if (result.bTwoPass) {
        writer.BeginPreprocessingPass();
        pump.VideoPass(/*bFinal=*/false, "pass 1/2");
        writer.EndPreprocessingPass();
        pVideo->Rewind();
        result.nFrames = pump.VideoPass(/*bFinal=*/true, "pass 2/2");
    } else if (pVideo) {
        result.nFrames = pump.VideoPass(/*bFinal=*/true, "encode");
    } else {
        pump.AudioToEnd();
    }
    writer.Close();

    std::error_code ec;
    if (std::filesystem::file_size(out, ec) == 0 || ec)
        throw CStatusError(kStatusFail, "the writer left no file at " + out.string());
    result.nAudioFrames = feed ? feed->FramesOut() : 0;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
